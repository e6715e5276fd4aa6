// CMetadataLV: the frames of the tags of one or more files in a report-style list control, one row per frame;
// adding, editing and deleting apply to every file shown, Save writes the tags back.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "ComPtr.h"
#include "RefCounted.h"
#include "tavcore.h"

class ID3_Frame;
class CMetadataTag;

class CMetadataLV final : public CRefCounted<IMetadataLV, IID_IMetadataLV, CMetadataLV> {
 public:
  CMetadataLV() = default;

  void STDMETHODCALLTYPE Attach(HWND listControl) override;
  HRESULT STDMETHODCALLTYPE SetFiles(IMetadata** files, UINT32 count) override;
  HRESULT STDMETHODCALLTYPE Save() override;
  HRESULT STDMETHODCALLTYPE ShowAddMenu(POINT* screenPoint) override;
  HRESULT STDMETHODCALLTYPE EditSelected() override;
  HRESULT STDMETHODCALLTYPE DeleteSelected() override;
  HRESULT STDMETHODCALLTYPE DeleteAll() override;
  LRESULT STDMETHODCALLTYPE OnNotify(NMHDR* notification) override;
  bool STDMETHODCALLTYPE IsModified() override { return modified; }

  // The kinds that may occur more than once in a tag.
  static bool IsRepeatable(const char* id);
  // The description shown as the info tip of a kind; null for kinds without one.
  static const wchar_t* KindDescription(const char* id);

 private:
  friend class CRefCounted<IMetadataLV, IID_IMetadataLV, CMetadataLV>;
  ~CMetadataLV();

  struct Row {
    bool readOnly = false;
    std::string id;  // four letters
    UINT32 number = 0;
    std::wstring name;
    std::vector<ID3_Frame*> frames;  // one slot per file, null where that file has none; the tags own them
    bool expanded = false;           // its field lines are shown below it
    ID3_Frame* First() const;
    bool Differs() const;
  };

  void Clear();
  void AddRow(std::unique_ptr<Row> row);
  void FillItem(const Row& row, int item);
  int ItemOf(const Row* row) const;
  Row* RowAt(int item) const;
  Row* SelectedRow() const;
  void ShowFieldLines(Row& row, bool show);
  void RemoveRow(Row* row);
  // Puts a copy of source's content into every file: into the row's frames, and attached where a file has none.
  void SpreadFrame(Row& row, const ID3_Frame& source);
  bool AddFrame(UINT32 number);
  void ShowRowMenu(Row& row, POINT screen);
  void ShowListMenu(POINT screen);
  HWND Owner() const { return list ? GetParent(list) : nullptr; }

  std::vector<ComPtr<IMetadata>> files;
  std::vector<ComPtr<IMetadataTag>> tags;
  std::vector<std::unique_ptr<Row>> rows;
  HWND list = nullptr;
  bool readOnly = false;
  bool modified = false;
  HIMAGELIST icons = nullptr;
  HIMAGELIST states = nullptr;
};
