// Loads every MP3 of a folder into the metadata list view, as the Properties page does for a selection, and
// prints the time it took (best of several rounds): "files seconds".
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tavcore.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fwprintf(stderr, L"usage: tag_load_bench FOLDER [ROUNDS]\n");
    return 2;
  }
  const std::wstring folder = argv[1];
  const int rounds = argc > 2 ? _wtoi(argv[2]) : 5;
  InitAC(L"TAVBENCH", nullptr);
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);

  std::vector<std::wstring> paths;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*.mp3").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
    paths.push_back(folder + L"\\" + found.cFileName);
  if (search != INVALID_HANDLE_VALUE) FindClose(search);

  HWND window = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 500, 400, nullptr, nullptr, nullptr, nullptr);
  HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 480, 380, window, nullptr,
                              nullptr, nullptr);
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  double best = 1e9;
  int rows = 0;
  for (int round = 0; round < rounds; ++round) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    IMetadataLV* view = nullptr;
    if (FAILED(CreateMetaDataLV(&view))) return 1;
    view->Attach(list);
    std::vector<IMetadata*> files;
    for (const std::wstring& path : paths) {
      IMetadata* file = nullptr;
      if (SUCCEEDED(MetadataCreateFromFile(path.c_str(), &file))) files.push_back(file);
    }
    view->SetFiles(files.data(), static_cast<UINT32>(files.size()));
    QueryPerformanceCounter(&end);
    rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (IMetadata* file : files) file->Release();
    view->Release();
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    while (SendMessageW(list, LVM_DELETECOLUMN, 0, 0)) {
    }
    best = std::min(best, static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
  }
  std::printf("%zu %.3f %d\n", paths.size(), best, rows);
  DestroyWindow(window);
  return 0;
}
