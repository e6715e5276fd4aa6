// The CDDB client: the protocol's texts on their own (disc id, bodies, answers, xmcd entries, the submission and
// the cache), then against the tests' CDDB server with the virtual drive's discs: exact request bytes, lookups and
// submissions in the foreground and background, and every hostile answer the server can give.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "CdTestDrive.h"
#include "ComPtr.h"
#include "SettingsStore.h"
#include "TestSupport.h"
#include "cd/CDDB.h"
#include "cd/CDDBEntry.h"
#include "cd/CDDBProtocol.h"
#include "tavcore.h"

namespace {

cdrip::CDTOC Toc(std::vector<UINT32> offsets) {
  cdrip::CDTOC toc = {};
  toc.count = static_cast<UINT32>(offsets.size() - 1);
  for (size_t i = 0; i < offsets.size(); ++i) toc.offsets[i] = offsets[i];
  return toc;
}

const std::string kHello = "&hello=unknown+localhost+tavcore+v8.05&proto=6";

// The tests' server and the settings that lead to it; the cache starts empty.
class CddbServer {
 public:
  explicit CddbServer(const std::string& cgi = "/~cddb/cddb.cgi") {
    EXPECT_TRUE(OpenSettingsRoot());
    port = std::stoi(ReadFileBytes(L"cddb-server\\port.txt"));
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quennet\\Tavrel\\CDDB");
    Use(cgi);
    WritePInt(L"AudioCD", L"CDDB_UseProxy", 0);
    WritePInt(L"AudioCD", L"CDDB_ServerPort", port);
    WritePInt(L"AudioCD", L"CDDB_Timeout", 3000);
    WritePString(L"AudioCD", L"CDDB_Server", L"127.0.0.1");
    WritePString(L"AudioCD", L"CDDB_EMailAddress", L"tester@example.org");
  }
  void Use(const std::string& cgi) { WritePString(L"AudioCD", L"CDDB_CGI", std::wstring(cgi.begin(), cgi.end()).c_str()); }
  static std::string LastRequest() { return ReadFileBytes(L"cddb-server\\last.bin"); }
  static std::string Post(const std::string& line, const std::string& body) {
    return line + "\r\nContent-Type: application/x-www-form-urlencoded\r\nUser-Agent: Tavrel\r\nContent-Length: " +
           std::to_string(body.size() + 2) + "\r\n\r\n" + body + "\r\n";
  }
  int port = 0;
};

ComPtr<cdrip::IAudioCD> DiscInDrive() {
  ComPtr<cdrip::IAudioCDDevices> devices;
  EXPECT_EQ(S_OK, CreateAudioCDDevices(&devices));
  ComPtr<cdrip::IAudioCD> cd;
  EXPECT_EQ(S_OK, devices->GetCD(0, &cd));
  EXPECT_EQ(S_OK, cd->ReadTOC());
  return cd;
}

ComPtr<cdrip::ICDDBQuery> QueryOf(cdrip::IAudioCD* cd) {
  ComPtr<cdrip::ICDDBQuery> query;
  EXPECT_EQ(S_OK, cd->QueryInterface(cdrip::IID_ICDDBQuery, reinterpret_cast<void**>(&query)));
  return query;
}

std::wstring TrackTitle(cdrip::IAudioCD* cd, UINT32 index) {
  wchar_t text[128] = {};
  cd->GetTrackTitle(index, text, 128);
  return text;
}

// Records what a background operation reports; Finished releases the waiting test.
class RecordingCddbCallback : public cdrip::ICDDBCallback {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  int STDMETHODCALLTYPE SetStatus(const wchar_t* text) override {
    statuses.push_back(text);
    return 0;
  }
  int STDMETHODCALLTYPE ChooseMatch(const cdrip::CDDBMatch* matches, int count, int* chosen) override {
    offered.assign(matches, matches + count);
    *chosen = choice;
    return choice < 0 ? -1 : 0;
  }
  void STDMETHODCALLTYPE Finished(BOOL ok) override {
    success = ok;
    SetEvent(done);
  }
  bool Wait(DWORD ms = 20000) { return WaitForSingleObject(done, ms) == WAIT_OBJECT_0; }
  ~RecordingCddbCallback() { CloseHandle(done); }

  std::atomic<ULONG> references{1};
  std::vector<std::wstring> statuses;
  std::vector<cdrip::CDDBMatch> offered;
  int choice = 0;
  BOOL success = -1;
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

}  // namespace

TEST(CDDBProtocol, DiscIdAndRequestBodies) {
  const cdrip::CDTOC example = Toc({150, 15000, 30000, 45000});
  EXPECT_EQ(0x08025603u, CDDBDiscId(example));
  EXPECT_EQ("cmd=cddb+query+08025603+3+150+15000+30000+600" + kHello, CDDBQueryBody(example, "unknown", "localhost"));
  EXPECT_EQ("cmd=cddb+query+08025603+3+150+15000+30000+600&hello=jo+smith+home+my+host+tavcore+v8.05&proto=6",
            CDDBQueryBody(example, "jo smith@home", "my host"));
  EXPECT_EQ("cmd=cddb+read+rock+08025603" + kHello, CDDBReadBody(L"rock", L"08025603", "unknown", "localhost"));
  std::string body = "@a b@c";
  CleanCDDBBody(body);
  EXPECT_EQ("@a+b+c", body) << "from the second character on";
  // The most tracks a disc has still fit the body.
  std::vector<UINT32> many;
  for (UINT32 i = 0; i <= 99; ++i) many.push_back(150 + 33000 * i);
  EXPECT_FALSE(CDDBQueryBody(Toc(many), "unknown", "localhost").empty());
}

TEST(CDDBProtocol, MatchLinesAndAnswers) {
  struct Line {
    const wchar_t* text;
    bool parses;
    const wchar_t *category = nullptr, *id = nullptr, *artist = nullptr, *title = nullptr;
  } lines[] = {
      {L"rock 08025603 Example Artist / Example Disc", true, L"rock", L"08025603", L"Example Artist", L"Example Disc"},
      {L"misc   0a000a03   Band/Title\r", true, L"misc", L"0a000a03", L"Band", L"Title"},
      {L"soundtrack 1234 A / B", true, L"soundtrack", L"1234", L"A", L"B"},
      {L"averyverylongcategory 08025603 A / B", false},
      {L"rock 0802560399 A / B", false},
      {L"rock 08025603 no slash here", false},
      {L"rock", false},
      {L"", false},
  };
  for (const Line& line : lines) {
    cdrip::CDDBMatch match = {};
    ASSERT_EQ(line.parses, ParseCDDBMatchLine(line.text, &match)) << line.text;
    if (!line.parses) continue;
    EXPECT_STREQ(line.category, match.category);
    EXPECT_STREQ(line.id, match.discId);
    EXPECT_STREQ(line.artist, match.artist);
    EXPECT_STREQ(line.title, match.title);
  }
  cdrip::CDDBMatch longest = {};
  ASSERT_TRUE(ParseCDDBMatchLine(L"rock 1 " + std::wstring(80, L'a') + L" / " + std::wstring(200, L'b'), &longest));
  EXPECT_EQ(80u, wcslen(longest.artist));
  EXPECT_EQ(80u, wcslen(longest.title)) << "cut to its field";

  CDDBMatchList list;
  ParseCDDBQueryAnswer("200 rock 08025603 Example Artist / Example Disc\r\n", &list);
  EXPECT_EQ(200, list.responseCode);
  ASSERT_EQ(1, list.count);
  EXPECT_EQ(1u, list.items[0].exact);
  std::string twelve = "211 Found\r\n";
  for (int i = 0; i < 12; ++i) twelve += "misc 0a000a03 Band " + std::to_string(i) + " / T\r\n";
  ParseCDDBQueryAnswer(twelve, &list);
  EXPECT_EQ(10, list.count) << "the list's capacity";
  EXPECT_EQ(0u, list.items[9].exact);
  ParseCDDBQueryAnswer("210 Found\r\na 1 A / B\r\nbroken line\r\nc 3 C / D\r\n.\r\nd 4 E / F\r\n", &list);
  EXPECT_EQ(2, list.count) << "a bad line is skipped, '.' ends the list";
  ParseCDDBQueryAnswer("202 No match\r\n", &list);
  EXPECT_EQ(0, list.count);
  EXPECT_EQ(202, list.responseCode);
  ParseCDDBQueryAnswer("No code here\r\n", &list);
  EXPECT_EQ(0, list.responseCode);
  ParseCDDBQueryAnswer("", &list);
  EXPECT_EQ(0, list.count);
  EXPECT_EQ("200 x", DropHttpHeaders("HTTP/1.0 200 OK\r\nA: b\r\n\r\n200 x"));
  EXPECT_EQ("", DropHttpHeaders("HTTP/1.0 200 OK\r\nA: b"));
  EXPECT_EQ("210 y", DropHttpHeaders("210 y"));
  EXPECT_EQ(L"Zwei f\u00FCr", CDDBText("Zwei f\xFCr")) << "Latin-1 when the bytes are not UTF-8";
  EXPECT_EQ(L"Stra\u00DFe", CDDBText("Stra\xC3\x9F" "e"));
}

TEST(CDDBEntry, ParsesEscapesContinuedKeysAndMakesText) {
  CDDBEntry entry;
  entry.Parse(L"# xmcd\r\nTTITLE0=Part one\r\nttitle0= and two\r\nTTITLE1=a\\tb\\nc\\\\d\\qe\\\r\nno equals sign\n"
              L"LONG=" + std::wstring(300, L'x') + L"\nEMPTY=\n");
  EXPECT_EQ(L"Part one and two", entry.Value(L"TTITLE0"));
  EXPECT_EQ(L"a\tb\nc\\de", entry.Value(L"ttitle1"));
  EXPECT_EQ(250u, entry.Value(L"LONG").size()) << "lines are cut to 255 characters";
  std::wstring value = L"unchanged";
  EXPECT_TRUE(entry.Get(L"EMPTY", &value));
  EXPECT_EQ(L"", value);
  EXPECT_FALSE(entry.Get(L"MISSING", &value));
  entry.Set(L"TTITLE0", L"New");
  entry.Set(L"DYEAR", L"2001");
  EXPECT_EQ(L"# xmcd\r\nTTITLE0=New\r\nTTITLE1=a\tb\nc\\de\r\nLONG=" + std::wstring(250, L'x') +
                L"\r\nEMPTY=\r\nDYEAR=2001\r\n\r\n\r\n",
            entry.Text());
  CDDBEntry big;
  for (int i = 0; i < 20; ++i) big.Parse(L"K=" + std::wstring(250, L'y') + L"\n");
  EXPECT_EQ(2048u, big.Value(L"K").size()) << "values read back are at most 2048 characters";
}

TEST(CDDB, SubmissionTextAndCache) {
  CDDBDiscData data;
  data.toc = Toc({150, 15000, 30000, 45000});
  data.serial = 0x1300;
  data.artist = L"Artist";
  data.title = L"Title";
  data.genre = L"Rock";
  data.category = L"rock";
  data.year = 2100;
  data.titles = {L"One", L"Two", L"Three"};
  data.extended = {L"e1", L"", L""};
  const std::wstring previous = L"# xmcd\n# Revision: 4\nDISCID=08025603\nTTITLE0=Old\nEXTD=notes\nPLAYORDER=3,2,1\n";
  const std::wstring text = CCDDB::SubmissionText(data, previous);
  const std::wstring expected =
      L"# xmcd\r\n# Revision: 4\r\nDISCID=08025603\r\nTTITLE0=One\r\nEXTD=notes\r\nPLAYORDER=3,2,1\r\n"
      L"# xmcd\r\n#\r\n# Track frame offsets:\r\n#\t150\r\n#\t15000\r\n#\t30000\r\n#\r\n# Disc length: 600 seconds\r\n"
      L"#\r\n# Revision: 5\r\n# Submitted via: ";
  EXPECT_EQ(expected, text.substr(0, expected.size()));
  EXPECT_NE(std::wstring::npos, text.find(L"\r\n#\r\nDTITLE=Artist / Title\r\nDYEAR=\r\nDGENRE=Rock\r\nTTITLE1=Two\r\n"
                                          L"TTITLE2=Three\r\nEXTT0=e1\r\nEXTT1=\r\nEXTT2=\r\n\r\n\r\n"))
      << std::string(text.begin(), text.end());
  EXPECT_NE(std::wstring::npos, CCDDB::SubmissionText(data, L"").find(L"# Revision: 0\r\n"));
  data.year = 1999;
  EXPECT_NE(std::wstring::npos, CCDDB::SubmissionText(data, L"").find(L"DYEAR=1999\r\n"));

  ASSERT_TRUE(OpenSettingsRoot());
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quennet\\Tavrel\\CDDB");
  data.year = 1000;
  CCDDB::WriteCache(data);
  wchar_t value[512];
  const std::wstring section = CCDDB::CacheSection(0x1300);
  EXPECT_EQ(L"CDDB\\1300", section);
  struct Expected {
    const wchar_t *name, *value;
  } values[] = {{L"EntryType", L"1"}, {L"Artist", L"Artist"}, {L"Title", L"Title"}, {L"Genre", L"rock"},
                {L"ID3Genre", L"Rock"}, {L"Year", L""},       {L"NumTracks", L"3"},  {L"002", L"Three"},
                {L"Ext000", L"e1"}};
  for (const Expected& e : values) {
    ASSERT_TRUE(ReadPString(section.c_str(), e.name, value)) << e.name;
    EXPECT_STREQ(e.value, value) << e.name;
  }
  // The cache is read back as an entry of its own.
  cdrip::CDDBMatch match = {L"rock", L"08025603", L"Artist", L"Title", 0x1300, 1};
  CDDBDisc disc;
  ASSERT_TRUE(CCDDB().Read(match, &disc, nullptr));
  EXPECT_EQ(L"Rock", disc.genre);
  EXPECT_EQ(-1, disc.year);
  EXPECT_EQ(std::vector<std::wstring>({L"One", L"Two", L"Three"}), disc.titles);
  EXPECT_EQ(std::vector<std::wstring>({L"e1", L"", L""}), disc.extended);
}

TEST(CDDBServer, LooksUpReadsAndAppliesTheDisc) {
  ImageInDrive image;
  CddbServer server;
  ComPtr<cdrip::IAudioCD> cd = DiscInDrive();
  ComPtr<cdrip::ICDDBQuery> query = QueryOf(cd.Get());
  ASSERT_EQ(S_OK, query->Query());
  EXPECT_EQ(200, query->GetResponseCode());
  ASSERT_EQ(1, query->GetMatchCount());
  EXPECT_EQ(CddbServer::Post("POST /~cddb/cddb.cgi HTTP/1.0", "cmd=cddb+query+0a000a03+3+150+525+750+12" + kHello),
            CddbServer::LastRequest());
  wchar_t artist[81], title[81];
  ASSERT_EQ(S_OK, query->GetMatch(0, artist, title));
  EXPECT_STREQ(L"Tavrel Testers", artist);
  EXPECT_STREQ(L"Sine Tones", title);
  EXPECT_EQ(E_INVALIDARG, query->GetMatch(1, artist, title));

  ASSERT_EQ(S_OK, query->SelectMatch(0));
  EXPECT_EQ(CddbServer::Post("POST /~cddb/cddb.cgi HTTP/1.0", "cmd=cddb+read+misc+0a000a03" + kHello),
            CddbServer::LastRequest());
  EXPECT_EQ(L"Premi\u00E8re: A/B", TrackTitle(cd.Get(), 0));
  EXPECT_EQ(L"Zweite Stra\u00DFe", TrackTitle(cd.Get(), 1));
  EXPECT_EQ(L"\u0422\u0440\u0435\u0442\u0438\u0439", TrackTitle(cd.Get(), 2));
  wchar_t text[64];
  cd->GetCategory(text, 64);
  EXPECT_STREQ(L"misc", text);
  cd->GetGenre(text, 64);
  EXPECT_STREQ(L"Test", text);
  int year = 0;
  cd->GetYear(&year);
  EXPECT_EQ(2026, year);
  wchar_t extended[64] = {};
  cd->GetTrackExtended(0, extended, 64);
  EXPECT_STREQ(L"low tones", extended);

  // The track's tag carries the titles.
  ComPtr<cdrip::IAudioCDTrack> track;
  ASSERT_EQ(S_OK, cd->GetTrack(1, &track));
  ComPtr<IMetadata> metadata;
  ASSERT_EQ(S_OK, track->QueryInterface(IID_IMetadata, reinterpret_cast<void**>(&metadata)));
  ComPtr<IMetadataTag> tag;
  ASSERT_EQ(S_OK, metadata->GetTag(&tag));
  ComPtr<IMetadataFrameText> frame;
  ASSERT_EQ(S_OK, tag->FindFrame(kFrameTitle, IID_IMetadataFrameText, reinterpret_cast<void**>(&frame)));
  frame->GetText(text, 64);
  EXPECT_STREQ(L"Zweite Stra\u00DFe", text);
  track.Reset();
  frame.Reset();
  tag.Reset();
  metadata.Reset();

  // Releasing the modified disc writes the cache; the next query adds no second copy of the same match, and
  // with the server gone the cache still answers.
  query.Reset();
  cd.Reset();
  wchar_t cached[512];
  ASSERT_TRUE(ReadPString(L"CDDB\\1300", L"001", cached));
  EXPECT_STREQ(L"Zweite Stra\u00DFe", cached);
  cd = DiscInDrive();
  query = QueryOf(cd.Get());
  ASSERT_EQ(S_OK, query->Query());
  EXPECT_EQ(1, query->GetMatchCount());
  WritePString(L"AudioCD", L"CDDB_Server", L"no-such-host.invalid");
  ASSERT_EQ(S_OK, query->Query());
  ASSERT_EQ(1, query->GetMatchCount());
  ASSERT_EQ(S_OK, query->SelectMatch(0));
  EXPECT_EQ(L"Zweite Stra\u00DFe", TrackTitle(cd.Get(), 1));
}

TEST(CDDBServer, ListsLatin1AndTheProxyForm) {
  ImageInDrive image(L"mixed.cue");
  CddbServer server;
  ComPtr<cdrip::IAudioCD> cd = DiscInDrive();
  ComPtr<cdrip::ICDDBQuery> query = QueryOf(cd.Get());
  ASSERT_EQ(S_OK, query->Query());
  EXPECT_EQ(211, query->GetResponseCode());
  ASSERT_EQ(3, query->GetMatchCount());
  EXPECT_NE(std::string::npos, CddbServer::LastRequest().find("cmd=cddb+query+0e000803+3+150+300+600+10&"))
      << "the data track counts in the disc id";
  ASSERT_EQ(S_OK, query->SelectMatch(1));
  EXPECT_EQ(L"Zwei f\u00FCr dich", TrackTitle(cd.Get(), 1)) << "a Latin-1 entry";

  WritePInt(L"AudioCD", L"CDDB_UseProxy", 1);
  WritePString(L"AudioCD", L"CDDB_ProxyAddress", L"127.0.0.1");
  WritePInt(L"AudioCD", L"CDDB_ProxyPort", server.port);
  WritePString(L"AudioCD", L"CDDB_Server", L"cddb.example");
  WritePInt(L"AudioCD", L"CDDB_ServerPort", 1);  // not used through a proxy
  ASSERT_EQ(S_OK, query->Query());
  EXPECT_EQ(3, query->GetMatchCount());
  const std::string request = CddbServer::LastRequest();
  EXPECT_EQ(0u, request.find("POST http://cddb.example/~cddb/cddb.cgi HTTP/1.0\r\n")) << request;
}

TEST(CDDBServer, KeepsTenOfALongList) {
  ImageInDrive image(L"many.cue");
  CddbServer server;
  ComPtr<cdrip::IAudioCD> cd = DiscInDrive();
  ComPtr<cdrip::ICDDBQuery> query = QueryOf(cd.Get());
  ASSERT_EQ(S_OK, query->Query());
  EXPECT_EQ(10, query->GetMatchCount());
  EXPECT_NE(std::string::npos, CddbServer::LastRequest().find("cmd=cddb+query+c1000d63+99+150+160+"));
}

TEST(CDDBServer, LooksUpInTheBackground) {
  ImageInDrive image(L"mixed.cue");
  CddbServer server;
  ComPtr<cdrip::IAudioCD> cd = DiscInDrive();
  RecordingCddbCallback chooser;
  chooser.choice = 2;
  ASSERT_EQ(S_OK, cd->StartLookup(&chooser));
  ASSERT_TRUE(chooser.Wait());
  EXPECT_EQ(TRUE, chooser.success);
  EXPECT_EQ(std::vector<std::wstring>({L"Contacting CDDB Server...", L"Multiple CDDB Matches",
                                       L"Retrieving CD information..."}),
            chooser.statuses);
  ASSERT_EQ(3u, chooser.offered.size());
  EXPECT_STREQ(L"blues", chooser.offered[2].category);
  EXPECT_EQ(L"Dos", TrackTitle(cd.Get(), 1));
  for (int i = 0; i < 100 && chooser.references != 1; ++i) Sleep(20);
  EXPECT_EQ(1u, chooser.references.load()) << "the worker gave its reference back";

  // Cancelled at the choice: nothing applied.
  ComPtr<cdrip::IAudioCD> fresh = DiscInDrive();
  RecordingCddbCallback cancel;
  cancel.choice = -1;
  ASSERT_EQ(S_OK, fresh->StartLookup(&cancel));
  ASSERT_TRUE(cancel.Wait());
  EXPECT_EQ(FALSE, cancel.success);
  EXPECT_EQ(L"", cancel.statuses.back());
  EXPECT_EQ(L"Track 3", TrackTitle(fresh.Get(), 1));

  // A server that never answers: one lookup at a time, and it ends with the message after the time-out.
  server.Use("/mode/silent/~cddb/cddb.cgi");
  RecordingCddbCallback first, second;
  ASSERT_EQ(S_OK, fresh->StartLookup(&first));
  EXPECT_EQ(S_OK, fresh->StartLookup(&second));
  ASSERT_TRUE(first.Wait(10000));
  EXPECT_FALSE(second.Wait(100)) << "the second lookup never started";
  EXPECT_EQ(L"Unable to contact CDDB server", first.statuses.back());
  EXPECT_EQ(FALSE, first.success);

  cdrip::IAudioCD* none = nullptr;
  ComPtr<cdrip::IAudioCDDevices> devices;
  ASSERT_EQ(S_OK, CreateAudioCDDevices(&devices));
  ASSERT_EQ(S_OK, devices->GetCD(0, &none));
  EXPECT_EQ(E_FAIL, none->StartLookup(&first)) << "no TOC read yet";
  EXPECT_EQ(E_UNEXPECTED, QueryOf(none)->Query());
  none->Release();
}

TEST(CDDBServer, SubmitsTheDisc) {
  ImageInDrive image;
  CddbServer server;
  ComPtr<cdrip::IAudioCD> cd = DiscInDrive();
  ASSERT_EQ(S_OK, QueryOf(cd.Get())->Query());
  ASSERT_EQ(S_OK, QueryOf(cd.Get())->SelectMatch(0));
  cd->SetTrackTitle(2, L"Dritter");
  RecordingCddbCallback callback;
  ASSERT_EQ(S_OK, cd->StartSubmit(&callback));
  ASSERT_TRUE(callback.Wait());
  EXPECT_EQ(TRUE, callback.success);
  EXPECT_EQ(L"Submission succeeded", callback.statuses.back());
  EXPECT_EQ(L"Submitting to CDDB Server...", callback.statuses[callback.statuses.size() - 2]);
  const std::string request = CddbServer::LastRequest();
  const std::string head =
      "POST /~cddb/submit.cgi HTTP/1.0\r\nUser-Agent: Tavrel\r\nSubmit-Mode: submit\r\nCategory: misc\r\n"
      "Discid: 0a000a03\r\nUser-Email: tester@example.org\r\nCharset: UTF-8\r\nX-Cddbd-Note: ";
  EXPECT_EQ(0u, request.find(head)) << request;
  const size_t bodyStart = request.find("\r\n\r\n") + 4;
  const std::string length = "Content-Length: " + std::to_string(request.size() - bodyStart) + "\r\n";
  EXPECT_NE(std::string::npos, request.find(length)) << "the body and its final CR LF";
  EXPECT_NE(std::string::npos, request.find("# Revision: 2\r\n")) << "one more than the server's entry";
  EXPECT_NE(std::string::npos, request.find("TTITLE1=Zweite Stra\xC3\x9F" "e\r\nTTITLE2=Dritter\r\n")) << "UTF-8";
  EXPECT_NE(std::string::npos, request.find("DYEAR=2026\r\n"));

  // Without an address nothing is submitted.
  WritePString(L"AudioCD", L"CDDB_EMailAddress", L"");
  RecordingCddbCallback refused;
  ASSERT_EQ(S_OK, cd->StartSubmit(&refused));
  ASSERT_TRUE(refused.Wait());
  EXPECT_EQ(FALSE, refused.success);
  EXPECT_EQ(L"Submission failed", refused.statuses.back());
  EXPECT_EQ(std::string::npos, CddbServer::LastRequest().find("submit.cgi"));
}

TEST(CDDBServer, HostileAnswersEndInTimeWithTheDiscUnchanged) {
  ImageInDrive image;
  CddbServer server;
  struct Case {
    const char* mode;
    int matches;  // of a query
  } cases[] = {{"cut", 0},   {"big", 1},     {"garbage", 0}, {"nocode", 0},  {"silent", 0},
               {"slow", 0},  {"list500", 10}, {"longcat", 0}};
  for (const Case& c : cases) {
    server.Use(std::string("/mode/") + c.mode + "/~cddb/cddb.cgi");
    ComPtr<cdrip::IAudioCD> cd = DiscInDrive();
    ComPtr<cdrip::ICDDBQuery> query = QueryOf(cd.Get());
    ULONGLONG started = GetTickCount64();
    query->Query();
    EXPECT_LT(GetTickCount64() - started, 6000u) << c.mode;
    EXPECT_EQ(c.matches, query->GetMatchCount()) << c.mode;
    // A read from the same server fails and leaves the disc as it was.
    server.Use("/~cddb/cddb.cgi");
    ASSERT_EQ(S_OK, query->Query()) << c.mode;
    server.Use(std::string("/mode/") + c.mode + "/~cddb/cddb.cgi");
    started = GetTickCount64();
    EXPECT_EQ(E_FAIL, query->SelectMatch(0)) << c.mode;
    EXPECT_LT(GetTickCount64() - started, 6000u) << c.mode;
    EXPECT_EQ(L"Track 2", TrackTitle(cd.Get(), 1)) << c.mode;
  }
  // A closed port and a host that does not resolve: no contact, quickly.
  server.Use("/~cddb/cddb.cgi");
  WritePInt(L"AudioCD", L"CDDB_ServerPort", 1);
  ComPtr<cdrip::IAudioCD> cd = DiscInDrive();
  EXPECT_EQ(E_FAIL, QueryOf(cd.Get())->Query());
  WritePInt(L"AudioCD", L"CDDB_ServerPort", server.port);
  WritePString(L"AudioCD", L"CDDB_Server", L"no-such-host.invalid");
  EXPECT_EQ(E_FAIL, QueryOf(cd.Get())->Query());
  EXPECT_EQ(0, QueryOf(cd.Get())->GetResponseCode());
}
