// An xmcd text in memory: ordered (key, value) pairs, comments as pairs with an empty key. Keys compare without
// regard to case; a key that comes again continues its value.
#pragma once

#include <string>
#include <utility>
#include <vector>

class CDDBEntry {
 public:
  static constexpr size_t kLineLimit = 255;     // characters of a line that are read
  static constexpr size_t kValueLimit = 2048;   // characters of a value handed out
  static constexpr size_t kTextLimit = 32000;   // characters of the text made for a submission

  // Lines split at LF (a CR before it dropped); "#..." lines are comments; "key=value" with \\, \n, \t escapes.
  void Parse(const std::wstring& text);
  // The value of key, at most 2048 characters; false when the key is absent.
  bool Get(const std::wstring& key, std::wstring* value) const;
  std::wstring Value(const std::wstring& key) const;
  // Replaces the value of key (appends the pair when absent).
  void Set(const std::wstring& key, const std::wstring& value);
  void AddComment(const std::wstring& text);
  // One line per pair ("#" + comment, key=value), each ended by CR LF, then two more CR LF; cut to 32000.
  std::wstring Text() const;
  const std::vector<std::pair<std::wstring, std::wstring>>& Pairs() const { return pairs; }

 private:
  std::vector<std::pair<std::wstring, std::wstring>> pairs;
};
