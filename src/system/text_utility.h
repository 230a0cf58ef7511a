// Case-insensitive text helpers shared by every subsystem. Values read from
// INF, description, configuration and resource files are compared without
// regard to case; only the ASCII letters change case, so that a name in the
// ANSI code page compares the same on every system and in every locale.
#pragma once

#include <algorithm>
#include <string>

inline char kUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The text with its ASCII letters upper-cased.
inline std::string kToUpper(std::string str) {
  for (char& c : str) c = kUpperAscii(c);
  return str;
}

// Equal without regard to the case of ASCII letters.
inline bool kIEquals(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return kUpperAscii(x) == kUpperAscii(y); });
}

// Ordered without regard to the case of ASCII letters (for maps keyed by
// such names).
inline bool kILess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(kUpperAscii(x)) < static_cast<unsigned char>(kUpperAscii(y));
  });
}
