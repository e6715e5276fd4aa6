#include "CDDBProtocol.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "Utf8Text.h"

namespace {

constexpr size_t kQueryBodyLimit = 1023;
constexpr int kAnswerLineLimit = 100;

// Seconds and frames of an absolute frame address: what the protocol rounds to.
UINT32 WholeSeconds(UINT32 frames) { return frames / 75; }

UINT32 DigitSum(UINT32 value) {
  UINT32 sum = 0;
  for (; value > 0; value /= 10) sum += value % 10;
  return sum;
}

std::string Hello(const std::string& user, const std::string& host) {
  return "&hello=" + user + "+" + host + "+tavcore+" + kCDDBClientVersion + "&proto=6";
}

}  // namespace

void CopyCDDBField(wchar_t* field, size_t limit, const std::wstring& text) {
  const size_t length = std::min(text.size(), limit);
  std::wmemcpy(field, text.data(), length);
  field[length] = 0;
}

bool CDDBMatchList::Add(const cdrip::CDDBMatch& match) {
  if (count >= kCapacity) return false;
  items[count++] = match;
  return true;
}

bool CDDBMatchList::Contains(const cdrip::CDDBMatch& match) const {
  for (int i = 0; i < count; ++i) {
    const cdrip::CDDBMatch& item = items[i];
    if (wcscmp(item.artist, match.artist) == 0 && wcscmp(item.title, match.title) == 0 &&
        wcscmp(item.discId, match.discId) == 0 && wcscmp(item.category, match.category) == 0)
      return true;
  }
  return false;
}

UINT32 CDDBDiscId(const cdrip::CDTOC& toc) {
  const UINT32 n = std::min<UINT32>(toc.count, 99);
  UINT32 sum = 0;
  for (UINT32 i = 0; i < n; ++i) sum += DigitSum(WholeSeconds(toc.offsets[i]));
  const UINT32 length = WholeSeconds(toc.offsets[n]) - WholeSeconds(toc.offsets[0]);
  return (sum % 255) << 24 | length << 8 | n;
}

void CleanCDDBBody(std::string& body) {
  for (size_t i = 1; i < body.size(); ++i)
    if (body[i] == ' ' || body[i] == '@') body[i] = '+';
}

std::string CDDBQueryBody(const cdrip::CDTOC& toc, const std::string& user, const std::string& host) {
  const UINT32 n = std::min<UINT32>(toc.count, 99);
  char piece[64];
  std::snprintf(piece, sizeof(piece), "cmd=cddb+query+%08x+%u", CDDBDiscId(toc), n);
  std::string body = piece;
  for (UINT32 i = 0; i < n; ++i) body += "+" + std::to_string(toc.offsets[i]);
  body += "+" + std::to_string(WholeSeconds(toc.offsets[n])) + Hello(user, host);
  if (body.size() > kQueryBodyLimit) return {};
  CleanCDDBBody(body);
  return body;
}

std::string CDDBReadBody(const std::wstring& category, const std::wstring& discId, const std::string& user,
                         const std::string& host) {
  std::string body = "cmd=cddb+read+" + EncodeText(category, CP_UTF8, nullptr) + "+" +
                     EncodeText(discId, CP_UTF8, nullptr) + Hello(user, host);
  CleanCDDBBody(body);
  return body;
}

bool ParseCDDBMatchLine(const std::wstring& line, cdrip::CDDBMatch* out) {
  cdrip::CDDBMatch match = {};
  size_t at = line.find(L' ');
  if (at == std::wstring::npos || at == 0 || at > 11) return false;
  CopyCDDBField(match.category, 11, line.substr(0, at));
  while (at < line.size() && line[at] == L' ') ++at;
  const size_t idStart = at;
  while (at < line.size() && at - idStart < 8 && iswxdigit(line[at])) ++at;
  if (at == idStart || at >= line.size() || line[at] != L' ') return false;
  CopyCDDBField(match.discId, 8, line.substr(idStart, at - idStart));
  while (at < line.size() && line[at] == L' ') ++at;
  const size_t slash = line.find(L'/', at);
  if (slash == std::wstring::npos || slash - at > 81) return false;
  std::wstring artist = line.substr(at, slash - at);
  if (!artist.empty() && artist.back() == L' ') artist.pop_back();
  if (artist.size() > 80) return false;
  CopyCDDBField(match.artist, 80, artist);
  at = slash + 1;
  while (at < line.size() && line[at] == L' ') ++at;
  std::wstring title = line.substr(at, 80);
  while (!title.empty() && (title.back() == L'\r' || title.back() == L'\n')) title.pop_back();
  CopyCDDBField(match.title, 80, title);
  *out = match;
  return true;
}

void ParseCDDBQueryAnswer(const std::string& answer, CDDBMatchList* list) {
  list->count = 0;
  list->responseCode = 0;
  const std::wstring text = CDDBText(answer);
  std::vector<std::wstring> lines;
  for (size_t start = 0; start < text.size() && lines.size() <= kAnswerLineLimit;) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  if (lines.empty() || lines[0].size() < 3 || !iswdigit(lines[0][0]) || !iswdigit(lines[0][1]) ||
      !iswdigit(lines[0][2]))
    return;
  const int code = (lines[0][0] - L'0') * 100 + (lines[0][1] - L'0') * 10 + (lines[0][2] - L'0');
  list->responseCode = code;
  cdrip::CDDBMatch match;
  if (code == 200) {
    if (lines[0].size() > 4 && ParseCDDBMatchLine(lines[0].substr(4), &match)) {
      match.exact = 1;
      list->Add(match);
    }
  } else if (code == 210 || code == 211) {
    for (size_t i = 1; i < lines.size() && list->count < CDDBMatchList::kCapacity; ++i) {
      if (lines[i] == L".") break;
      if (ParseCDDBMatchLine(lines[i], &match)) list->Add(match);
    }
  }
}

std::string DropHttpHeaders(const std::string& answer) {
  if (answer.compare(0, 4, "HTTP") != 0) return answer;
  const size_t end = answer.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

std::wstring CDDBText(const std::string& bytes) {
  std::wstring text = DecodeText(bytes.data(), bytes.size(), IsValidUtf8(bytes) ? CP_UTF8 : 28591);
  // A NUL in the answer would end the text wherever it is copied as a string.
  for (wchar_t& c : text)
    if (c == 0) c = L' ';
  return text;
}
