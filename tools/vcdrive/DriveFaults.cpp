#include "DriveFaults.h"

#include <cwchar>

DriveFaults DriveFaults::Parse(const std::wstring& text) {
  DriveFaults faults;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of(L";,", start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring word = text.substr(start, end - start);
    unsigned long first = 0, last = 0;
    if (word == L"nodisc") {
      faults.noDisc = true;
    } else if (word == L"refuse-readcd") {
      faults.refuseReadCd = true;
    } else if (word == L"blank-reads") {
      faults.blankReads = true;
    } else if (std::swscanf(word.c_str(), L"slow=%lu", &first) == 1) {
      faults.slowMs = first;
    } else if (std::swscanf(word.c_str(), L"unreadable=%lu-%lu", &first, &last) == 2 && first <= last) {
      faults.unreadable.emplace_back(first, last);
    }
    start = end + 1;
  }
  return faults;
}

bool DriveFaults::Unreadable(DWORD lba, DWORD count) const {
  for (const auto& range : unreadable)
    if (count > 0 && lba <= range.second && lba + count - 1 >= range.first) return true;
  return false;
}
