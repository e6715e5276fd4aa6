#include "CDDBEntry.h"

#include <cwctype>

namespace {

bool SameKey(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (towlower(a[i]) != towlower(b[i])) return false;
  return true;
}

// \\ is a backslash, \n a line feed, \t a tab; a backslash with anything else is dropped with it.
std::wstring Unescape(const std::wstring& value) {
  std::wstring result;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != L'\\') {
      result += value[i];
      continue;
    }
    if (++i == value.size()) break;
    if (value[i] == L'\\') result += L'\\';
    else if (value[i] == L'n') result += L'\n';
    else if (value[i] == L't') result += L'\t';
  }
  return result;
}

}  // namespace

void CDDBEntry::Parse(const std::wstring& text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (line.size() > kLineLimit) line.resize(kLineLimit);
    if (!line.empty() && line[0] == L'#') {
      pairs.emplace_back(std::wstring(), line.substr(1));
      continue;
    }
    const size_t equals = line.find(L'=');
    if (equals == std::wstring::npos) continue;
    const std::wstring key = line.substr(0, equals);
    const std::wstring value = Unescape(line.substr(equals + 1));
    bool appended = false;
    for (auto& pair : pairs) {
      if (!pair.first.empty() && SameKey(pair.first, key)) {
        // Long values come in several lines; the whole value is never allowed to grow without bound.
        if (pair.second.size() < kTextLimit) pair.second += value;
        appended = true;
        break;
      }
    }
    if (!appended) pairs.emplace_back(key, value);
  }
}

bool CDDBEntry::Get(const std::wstring& key, std::wstring* value) const {
  for (const auto& pair : pairs) {
    if (!pair.first.empty() && SameKey(pair.first, key)) {
      *value = pair.second.substr(0, kValueLimit);
      return true;
    }
  }
  return false;
}

std::wstring CDDBEntry::Value(const std::wstring& key) const {
  std::wstring value;
  Get(key, &value);
  return value;
}

void CDDBEntry::Set(const std::wstring& key, const std::wstring& value) {
  for (auto& pair : pairs) {
    if (!pair.first.empty() && SameKey(pair.first, key)) {
      pair.second = value;
      return;
    }
  }
  pairs.emplace_back(key, value);
}

void CDDBEntry::AddComment(const std::wstring& text) { pairs.emplace_back(std::wstring(), text); }

std::wstring CDDBEntry::Text() const {
  std::wstring text;
  for (const auto& pair : pairs) text += (pair.first.empty() ? L"#" + pair.second : pair.first + L"=" + pair.second) + L"\r\n";
  text += L"\r\n\r\n";
  if (text.size() > kTextLimit) text.resize(kTextLimit);
  return text;
}
