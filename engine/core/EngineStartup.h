// Engine-wide state fixed by start-up: application id, referrer id, language code.
#pragma once

#include <string>

std::string ReferrerId();
std::wstring ApplicationId();
std::wstring LanguageCode();
// Keeps the ASCII letters and digits of the first 80 bytes and turns every other byte into 'x'.
std::string SanitizeReferrer(const char* bytes, size_t count);
