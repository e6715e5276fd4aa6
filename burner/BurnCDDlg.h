// The burner's main window: the list of sources for a disc, the recorder, speed and disc format, and "&Record CD".
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "BurnJob.h"
#include "CdImageFile.h"
#include "Dialog.h"
#include "Imapi.h"
#include "tavcore.h"

// Every message box of the burner's windows goes through this (tests put a double in its place).
extern int(WINAPI* cdforgeMessageBox)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
// How the windows start the help viewer; tests replace it.
extern HINSTANCE(WINAPI* cdforgeShellExecute)(HWND owner, const wchar_t* verb, const wchar_t* file,
                                              const wchar_t* parameters, const wchar_t* folder, INT show);

// One row of the list; owns its source.
struct BurnRow {
  std::wstring path;
  IConvertSource* source = nullptr;
  UINT32 frames = 0;  // CD frames, 0 when unknown
  bool opened = false;
  std::wstring formatName;
};

class CBurnCDDlg : public CDialog {
 public:
  static constexpr const wchar_t* kProductName = L"Tavrel cdforge";
  static constexpr const wchar_t* kImageRecorderText = L"Image file (BIN/CUE or ISO)";

  // platformMaster: the opened platform disc master or null (only the image recorder is offered then); borrowed.
  explicit CBurnCDDlg(IDiscMaster* platformMaster);
  ~CBurnCDDlg();
  CBurnCDDlg(const CBurnCDDlg&) = delete;
  CBurnCDDlg& operator=(const CBurnCDDlg&) = delete;

  // What happens at start: these rows are added, then startImage (or, with no rows, "WorkingCDImage") is loaded.
  std::vector<std::wstring> startFiles;
  std::wstring startImage;

  // Runs the window until "&Close".
  INT_PTR DoModal(HWND parent);

  // Adds a path as a playlist's entries or as one row; refreshes the totals.
  void AddPath(const std::wstring& path);
  void RemoveRow(int index);
  void RemoveAll();
  void MoveRow(int from, int to);
  void OrderByTrackNumber();
  // Paths dropped on the window: a lone ".fgx" is loaded, everything else added.
  void DropFiles(const std::vector<std::wstring>& paths);

  // The list as a CD image, and an image put in place of the list.
  CdImage CurrentImage() const;
  void ApplyImage(const CdImage& image);

  int RowCount() const { return static_cast<int>(rows.size()); }
  const BurnRow& Row(int index) const { return rows[static_cast<size_t>(index)]; }
  UINT32 TotalFrames() const;
  int Format() const;  // 1, 2 or 3
  void SetFormat(int format);
  const std::wstring& Label() const { return label; }
  void SetLabel(const std::wstring& text) { label = text.substr(0, CdImage::kMaxLabelChars); }
  // The image recorder's output: the BIN path (the CUE sits beside it, an ISO replaces ".bin" by ".iso").
  std::wstring ImageBinPath() const;
  BurnOutcome LastOutcome() const { return lastOutcome; }

  // "%02d:%02d:%02d" of minutes, seconds and frames.
  static std::wstring LengthText(UINT32 frames);
  // The folder of the CD images (created when missing).
  static std::wstring ImagesFolder();

 private:
  struct Drive {
    IDiscRecorder* recorder = nullptr;  // owned reference; null for the image recorder
    bool image = false;
  };
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnInit();
  void OnCommand(int id, int code);
  LRESULT OnNotify(NMHDR* header);
  void OnSize(int width, int height);
  void OnClose();
  void FillDrives();
  void AddOnePath(const std::wstring& path);
  void RefreshList(int select);
  void RefreshTotals();
  void UpdateImageControls();
  std::wstring DiscInformation() const;
  int SelectedRow() const;
  void ShowContextMenu(bool onRow, int row);
  void AddFiles();
  void AddPlaylist();
  void RecordCD();
  void BrowseImageFile();
  void DeleteSelected();

  IDiscMaster* platformMaster;
  HIMAGELIST images = nullptr;
  std::vector<BurnRow> rows;
  std::vector<Drive> drives;
  IDiscRecorder* imageRecorderInfo = nullptr;  // answers the disc information of the image entry
  std::wstring label;
  BurnOutcome lastOutcome = BurnOutcome::Failed;
  // Layout: each control's rectangle at the template's size, and that client size.
  struct Placement {
    HWND control;
    RECT rect;
    int anchor;  // bit 1: follows the right edge, 2: stretches with the width, 4: follows the bottom, 8: stretches
  };
  std::vector<Placement> placements;
  SIZE templateClient = {};
  SIZE minTrack = {};
};

// The converter's list file handed to "/FL": one path per line.
enum class ListFileResult { Ok, CannotOpen, Empty };
ListFileResult ReadConversionList(const std::wstring& path, std::vector<std::wstring>& paths);

// The program after start-up: reads the command line ("/FL" list-file, "/IMG" name), shows the window until
// "&Close" and answers the exit code. platformMaster: the opened platform disc master, or null.
int RunCdforge(int argc, wchar_t** argv, IDiscMaster* platformMaster);
