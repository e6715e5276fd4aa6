// The frame editors for text, user text, comments, languages, genres and URLs. Each takes the frame's values
// in its public fields and gives back what the user confirmed there; the frame stores them after IDOK.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "FrameEditorDlg.h"

// "Edit Text": one text with a hint line. The check returns the message that refuses a text, empty to accept.
class CTextEditorDlg : public CFrameEditorDlg {
 public:
  INT_PTR DoModal(HWND parent);

  std::wstring text;
  std::wstring hint;
  std::function<std::wstring(const std::wstring&)> check;
  // Shows the text without letting it change; the only way out is Close, which answers IDCANCEL.
  bool readOnly = false;

 protected:
  void OnInit() override;
  bool OnOK() override;
};

// TXXX: description and text, both taken as typed.
class CUserTextEditorDlg : public CFrameEditorDlg {
 public:
  INT_PTR DoModal(HWND parent);

  std::wstring description;
  std::wstring text;

 protected:
  void OnInit() override;
  bool OnOK() override;
};

// The platform's languages in a drop-down list; the entry of a code the platform does not know is kept.
class LanguageList {
 public:
  void Fill(HWND combo, const std::wstring& code);
  // The chosen entry's code as the platform spells it; empty when nothing is chosen.
  std::wstring Selected(HWND combo) const;

 private:
  std::wstring keptCode;
};

// TLAN: one language.
class CLanguageEditorDlg : public CFrameEditorDlg {
 public:
  INT_PTR DoModal(HWND parent);

  std::wstring language;

 protected:
  void OnInit() override;
  bool OnOK() override;

 private:
  LanguageList languages;
};

// COMM: description, a text that must not be empty, and the language.
class CCommentEditorDlg : public CFrameEditorDlg {
 public:
  INT_PTR DoModal(HWND parent);

  std::wstring description;
  std::wstring text;  // lines end with "\n" as in the tag
  std::wstring language;

 protected:
  void OnInit() override;
  bool OnOK() override;

 private:
  LanguageList languages;
};

// TCON: genre names and free texts in a list, stored as "(n)" references and text.
class CGenreEditorDlg : public CFrameEditorDlg {
 public:
  INT_PTR DoModal(HWND parent);

  std::wstring text;

 protected:
  void OnInit() override;
  bool OnOK() override;
  void OnCommand(int id, int code) override;

 private:
  void Add();
  void Remove();
};

// The entries of a TCON text, and the text of a list of entries.
std::vector<std::wstring> SplitGenreEntries(const std::wstring& text);
std::wstring JoinGenreEntries(const std::vector<std::wstring>& entries);

// WCOM to WPUB ("Edit URL") and WXXX (with a description that must not be empty).
class CUrlEditorDlg : public CFrameEditorDlg {
 public:
  explicit CUrlEditorDlg(bool withDescription) : hasDescription(withDescription) {}
  INT_PTR DoModal(HWND parent);

  std::wstring url;
  std::wstring description;

 protected:
  void OnInit() override;
  bool OnOK() override;
  void OnCommand(int id, int code) override;

 private:
  void OpenTypedUrl();
  const bool hasDescription;
};

// What the URL editors accept: the shell's URL test (a scheme followed by ":").
bool IsValidUrl(const std::wstring& url);
// What "Open URL..." hands to the system: web and mail addresses only, never a file or a program's own scheme
// taken from a tag.
bool IsOpenableUrl(const std::wstring& url);
