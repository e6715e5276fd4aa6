// The CDDB protocol's texts: the disc id, the request bodies of query and read, the answers' status codes and
// match lines, and the HTTP envelope around them. Everything from the server is data of bounded size.
#pragma once

#include <windows.h>

#include <string>

#include "tavcore_cd.h"

// The fixed parts of the hello of every request.
constexpr char kCDDBUser[] = "unknown";
constexpr char kCDDBHost[] = "localhost";
constexpr char kCDDBClientVersion[] = "v8.05";

struct CDDBMatchList {
  static constexpr int kCapacity = 10;
  int count = 0;
  int responseCode = 0;  // 0 when there was no answer
  cdrip::CDDBMatch items[kCapacity] = {};

  // False when the list is full.
  bool Add(const cdrip::CDDBMatch& match);
  // A match with the same artist, title, disc id and category.
  bool Contains(const cdrip::CDDBMatch& match) const;
};

UINT32 CDDBDiscId(const cdrip::CDTOC& toc);
// "cmd=cddb+query+..." with the hello, cleaned; empty when it would pass 1023 bytes.
std::string CDDBQueryBody(const cdrip::CDTOC& toc, const std::string& user, const std::string& host);
// "cmd=cddb+read+CATEGORY+DISCID" with the hello, cleaned.
std::string CDDBReadBody(const std::wstring& category, const std::wstring& discId, const std::string& user,
                         const std::string& host);
// Every blank and "@" from the second character on becomes "+".
void CleanCDDBBody(std::string& body);

// "category discid artist / title": false for a line that does not have that form or whose fields are too long.
bool ParseCDDBMatchLine(const std::wstring& line, cdrip::CDDBMatch* out);
// The status code and the matches of a query answer (HTTP headers already dropped).
void ParseCDDBQueryAnswer(const std::string& answer, CDDBMatchList* list);

// Copies at most `limit` characters of text into a field of limit + 1 characters.
void CopyCDDBField(wchar_t* field, size_t limit, const std::wstring& text);

// The answer without its HTTP headers, when it has them.
std::string DropHttpHeaders(const std::string& answer);
// Text from the server: UTF-8, or Latin-1 when the bytes are not UTF-8.
std::wstring CDDBText(const std::string& bytes);
