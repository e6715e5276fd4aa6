// Header values made from the disc's data or the settings lose their line breaks: a category or an address
// must not add header lines of its own.
#include "CDDB.h"

#include <cstdio>
#include <cwchar>

#include "CDDBEntry.h"
#include "Utf8Text.h"
#include "tavcore.h"

namespace {

constexpr size_t kQueryAnswerBytes = 2048;
constexpr size_t kReadAnswerBytes = 32000;
constexpr char kSubmitPath[] = "/~cddb/submit.cgi";
constexpr char kDefaultServer[] = "gnudb.gnudb.org";
constexpr char kNote[] = "Sent by Tavrel; please report problems with this entry to the submitter.";

// A string of the settings store; fallback when the value is missing.
std::wstring StringValue(const std::wstring& section, const wchar_t* name, const wchar_t* fallback = L"") {
  wchar_t value[512] = {};
  return ReadPString(section.c_str(), name, value) ? std::wstring(value) : std::wstring(fallback);
}

std::wstring Setting(const wchar_t* name, const wchar_t* fallback) { return StringValue(L"AudioCD", name, fallback); }

int IntSetting(const wchar_t* name, int fallback) {
  int value = fallback;
  return ReadPInt(L"AudioCD", name, &value) ? value : fallback;
}

// Settings hold host names and paths as 8-bit text.
std::string Narrow(const std::wstring& text) {
  std::string result;
  for (wchar_t c : text) result += c < 0x80 ? static_cast<char>(c) : '?';
  return result;
}

std::string HeaderValue(const std::wstring& text) {
  std::string value = EncodeText(text, CP_UTF8, nullptr);
  for (char& c : value)
    if (c == '\r' || c == '\n') c = ' ';
  return value;
}

std::wstring Hex(UINT32 value, const wchar_t* format) {
  wchar_t text[16];
  std::swprintf(text, 16, format, value);
  return text;
}

bool YearInRange(int year) { return year >= 1001 && year <= 2099; }

// Cache value names of track i: "%03d" for its title, "Ext%03d" for its extended data.
std::wstring TrackValueName(size_t i, const wchar_t* prefix = L"") {
  wchar_t name[16];
  std::swprintf(name, 16, L"%ls%03u", prefix, static_cast<unsigned>(i));
  return name;
}

}  // namespace

CCDDB::CCDDB()
    : useProxy(IntSetting(L"CDDB_UseProxy", 0) != 0),
      proxyHost(Narrow(Setting(L"CDDB_ProxyAddress", L""))),
      proxyPort(IntSetting(L"CDDB_ProxyPort", 0)),
      server(Narrow(Setting(L"CDDB_Server", L""))),
      serverPort(IntSetting(L"CDDB_ServerPort", 80)),
      cgi(Narrow(Setting(L"CDDB_CGI", L"/~cddb/cddb.cgi"))),
      email(Setting(L"CDDB_EMailAddress", L"")),
      timeoutMs(static_cast<DWORD>(IntSetting(L"CDDB_Timeout", kDefaultTimeoutMs))) {
  if (server.empty()) server = kDefaultServer;
  if (timeoutMs == 0 || timeoutMs > 600000) timeoutMs = kDefaultTimeoutMs;
}

std::wstring CCDDB::CacheSection(UINT32 serial) { return L"CDDB\\" + Hex(serial, L"%X"); }

HttpExchangeResult CCDDB::Post(const std::string& body, size_t bufferSize) const {
  std::string request = useProxy ? "POST http://" + server + cgi + " HTTP/1.0\r\n" : "POST " + cgi + " HTTP/1.0\r\n";
  request += "Content-Type: application/x-www-form-urlencoded\r\nUser-Agent: Tavrel\r\n";
  request += "Content-Length: " + std::to_string(body.size() + 2) + "\r\n\r\n" + body + "\r\n";
  HttpExchangeResult result = useProxy ? HttpExchange(proxyHost, proxyPort, request, bufferSize, timeoutMs)
                                       : HttpExchange(server, serverPort, request, bufferSize, timeoutMs);
  result.answer = DropHttpHeaders(result.answer);
  return result;
}

bool CCDDB::Query(const cdrip::CDTOC& toc, UINT32 serial, CDDBMatchList* list) {
  *list = CDDBMatchList();
  const std::string body = CDDBQueryBody(toc, kCDDBUser, kCDDBHost);
  bool contacted = false;
  if (!body.empty()) {
    const HttpExchangeResult result = Post(body, kQueryAnswerBytes);
    contacted = result.contacted;
    // Of an answer cut at the buffer's end only its whole lines count.
    const std::string whole = result.filled ? result.answer.substr(0, result.answer.rfind('\n') + 1) : result.answer;
    ParseCDDBQueryAnswer(whole, list);
  }
  MergeCache(toc, serial, list);
  return contacted;
}

void CCDDB::MergeCache(const cdrip::CDTOC& toc, UINT32 serial, CDDBMatchList* list) const {
  const std::wstring section = CacheSection(serial);
  if (_wtoi(StringValue(section, L"NumTracks").c_str()) == 0) return;
  cdrip::CDDBMatch match = {};
  CopyCDDBField(match.category, 11, StringValue(section, L"Genre"));
  CopyCDDBField(match.artist, 80, StringValue(section, L"Artist"));
  CopyCDDBField(match.title, 80, StringValue(section, L"Title"));
  CopyCDDBField(match.discId, 8, Hex(CDDBDiscId(toc), L"%08x"));
  match.cacheKey = serial;
  match.exact = 1;
  if (!list->Contains(match)) list->Add(match);
}

bool CCDDB::Read(const cdrip::CDDBMatch& match, CDDBDisc* disc, std::wstring* entryText) {
  std::wstring text;
  if (match.cacheKey != 0) {
    const std::wstring section = CacheSection(match.cacheKey);
    CDDBEntry entry;
    entry.Set(L"DTITLE", std::wstring(match.artist) + L" / " + match.title);
    entry.Set(L"DGENRE", StringValue(section, L"ID3Genre"));
    entry.Set(L"DYEAR", StringValue(section, L"Year"));
    const int tracks = std::min(_wtoi(StringValue(section, L"NumTracks").c_str()), 99);
    for (int i = 0; i < tracks; ++i) {
      entry.Set(L"TTITLE" + std::to_wstring(i),
                StringValue(section, TrackValueName(i).c_str(), (L"Track " + std::to_wstring(i + 1)).c_str()));
      entry.Set(L"EXTT" + std::to_wstring(i), StringValue(section, TrackValueName(i, L"Ext").c_str()));
    }
    text = entry.Text();
  } else {
    const HttpExchangeResult result = Post(CDDBReadBody(match.category, match.discId, kCDDBUser, kCDDBHost),
                                           kReadAnswerBytes);
    const std::string& answer = result.answer;
    const size_t lineEnd = answer.find('\n');
    // An answer that filled the buffer was cut: half an entry is not applied.
    if (answer.compare(0, 3, "210") != 0 || lineEnd == std::string::npos || result.filled)
      return false;
    text = CDDBText(answer.substr(lineEnd + 1));
    if (text.size() >= CDDBEntry::kTextLimit) return false;
  }
  CDDBDiscFromEntry(match, text, disc);
  if (entryText) *entryText = text;
  return true;
}

void CDDBDiscFromEntry(const cdrip::CDDBMatch& match, const std::wstring& entryText, CDDBDisc* disc) {
  CDDBEntry entry;
  entry.Parse(entryText);
  *disc = CDDBDisc();
  disc->category = match.category;
  disc->discId = match.discId;
  disc->artist = match.artist;
  disc->title = match.title;
  entry.Get(L"DGENRE", &disc->genre);
  const std::wstring year = entry.Value(L"DYEAR");
  disc->year = year.empty() ? -1 : _wtoi(year.c_str());
  std::wstring value;
  for (int i = 0; i < 100 && entry.Get(L"TTITLE" + std::to_wstring(i), &value); ++i) disc->titles.push_back(value);
  for (int i = 0; i < 100 && entry.Get(L"EXTT" + std::to_wstring(i), &value); ++i) disc->extended.push_back(value);
}

void CCDDB::WriteCache(const CDDBDiscData& data) {
  const std::wstring section = CacheSection(data.serial);
  const wchar_t* name = section.c_str();
  WritePString(name, L"EntryType", L"1");
  WritePString(name, L"Artist", data.artist.c_str());
  WritePString(name, L"Title", data.title.c_str());
  WritePString(name, L"Genre", data.category.c_str());
  WritePString(name, L"ID3Genre", data.genre.c_str());
  WritePString(name, L"Year", YearInRange(data.year) ? std::to_wstring(data.year).c_str() : L"");
  WritePString(name, L"NumTracks", std::to_wstring(data.titles.size()).c_str());
  for (size_t i = 0; i < data.titles.size(); ++i) {
    WritePString(name, TrackValueName(i).c_str(), data.titles[i].c_str());
    const std::wstring extended = i < data.extended.size() ? data.extended[i] : L"";
    WritePString(name, TrackValueName(i, L"Ext").c_str(), extended.c_str());
  }
}

std::wstring CCDDB::SubmissionText(const CDDBDiscData& data, const std::wstring& previousEntry) {
  CDDBEntry previous;
  previous.Parse(previousEntry);
  CDDBEntry entry = previous;
  int revision = 0;
  for (const auto& pair : previous.Pairs())
    if (pair.first.empty() && pair.second.compare(0, 11, L" Revision: ") == 0) revision = _wtoi(pair.second.c_str() + 11) + 1;
  const cdrip::CDTOC& toc = data.toc;
  const UINT32 n = std::min<UINT32>(toc.count, 99);
  entry.AddComment(L" xmcd");
  entry.AddComment(L"");
  entry.AddComment(L" Track frame offsets:");
  for (UINT32 i = 0; i < n; ++i) entry.AddComment(L"\t" + std::to_wstring(toc.offsets[i]));
  entry.AddComment(L"");
  entry.AddComment(L" Disc length: " + std::to_wstring(toc.offsets[n] / 75) + L" seconds");
  entry.AddComment(L"");
  entry.AddComment(L" Revision: " + std::to_wstring(revision));
  entry.AddComment(std::wstring(L" Submitted via: Tavrel ") + L"v8.05" + L" (Quennet audio tools)");
  entry.AddComment(L"");
  entry.Set(L"DISCID", Hex(CDDBDiscId(toc), L"%08x"));
  entry.Set(L"DTITLE", data.artist + L" / " + data.title);
  entry.Set(L"DYEAR", YearInRange(data.year) ? std::to_wstring(data.year) : L"");
  entry.Set(L"DGENRE", data.genre);
  for (size_t i = 0; i < data.titles.size(); ++i) entry.Set(L"TTITLE" + std::to_wstring(i), data.titles[i]);
  entry.Set(L"EXTD", previous.Value(L"EXTD"));
  for (size_t i = 0; i < data.extended.size(); ++i) entry.Set(L"EXTT" + std::to_wstring(i), data.extended[i]);
  entry.Set(L"PLAYORDER", previous.Value(L"PLAYORDER"));
  return entry.Text();
}

bool CCDDB::Submit(const CDDBDiscData& data, const std::wstring& previousEntry) {
  if (email.empty()) return false;
  const std::string text = EncodeText(SubmissionText(data, previousEntry), CP_UTF8, nullptr);
  char discId[16];
  std::snprintf(discId, sizeof(discId), "%08x", CDDBDiscId(data.toc));
  std::string request = std::string("POST ") + kSubmitPath + " HTTP/1.0\r\nUser-Agent: Tavrel\r\nSubmit-Mode: submit\r\n";
  request += "Category: " + HeaderValue(data.category) + "\r\nDiscid: " + discId + "\r\nUser-Email: " +
             HeaderValue(email) + "\r\nCharset: UTF-8\r\nX-Cddbd-Note: " + kNote + "\r\n";
  request += "Content-Length: " + std::to_string(text.size() + 2) + "\r\n\r\n" + text + "\r\n";
  const HttpExchangeResult result = HttpExchange(server, serverPort, request, kReadAnswerBytes, timeoutMs);
  return DropHttpHeaders(result.answer).compare(0, 3, "200") == 0;
}
