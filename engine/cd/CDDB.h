// The CDDB client: looks a disc up on a CDDB server over HTTP, reads the chosen entry, keeps the local cache of
// disc data in the settings store, and submits a disc's data. One object per operation; it reads the settings
// of section "AudioCD" when it is made.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "CDDBProtocol.h"
#include "HttpClient.h"
#include "tavcore_cd.h"

// An entry read for a match.
struct CDDBDisc {
  std::wstring category, discId, artist, title, genre;
  int year = -1;
  std::vector<std::wstring> titles, extended;
};

// A disc's TOC and data, as the disc object hands them over for submitting and caching.
struct CDDBDiscData {
  cdrip::CDTOC toc = {};
  UINT32 serial = 0;
  std::wstring title, artist, genre, category;
  int year = -1;
  std::vector<std::wstring> titles, extended;
};

class CCDDB {
 public:
  static constexpr int kDefaultTimeoutMs = 15000;

  CCDDB();

  // The matches of the server and of the local cache. False when the server could not be contacted (the list
  // may still hold the cache's match).
  bool Query(const cdrip::CDTOC& toc, UINT32 serial, CDDBMatchList* list);
  // The entry of a match, from the cache or the server; false when it cannot be read.
  bool Read(const cdrip::CDDBMatch& match, CDDBDisc* disc, std::wstring* entryText);
  // Sends the disc's data as an xmcd entry, based on the previous entry's text when there is one.
  bool Submit(const CDDBDiscData& data, const std::wstring& previousEntry);
  // The xmcd text a submission sends.
  static std::wstring SubmissionText(const CDDBDiscData& data, const std::wstring& previousEntry);

  static void WriteCache(const CDDBDiscData& data);
  static std::wstring CacheSection(UINT32 serial);

 private:
  HttpExchangeResult Post(const std::string& body, size_t bufferSize) const;
  void MergeCache(const cdrip::CDTOC& toc, UINT32 serial, CDDBMatchList* list) const;

  bool useProxy = false;
  std::string proxyHost;
  int proxyPort = 0;
  std::string server;
  int serverPort = 80;
  std::string cgi;
  std::wstring email;
  DWORD timeoutMs = kDefaultTimeoutMs;
};

// The entry's data for a match: genre, year, track titles and extended data.
void CDDBDiscFromEntry(const cdrip::CDDBMatch& match, const std::wstring& entryText, CDDBDisc* disc);
