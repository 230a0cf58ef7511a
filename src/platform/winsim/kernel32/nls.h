// winsim: the UTF-8 codec behind the code-page conversions and the string
// comparisons, which must agree on what ill-formed input is.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "unicode.h"

namespace winsim {

struct DecodeResult {
  wstring16 units;
  bool invalid = false;  // some input was ill-formed and became U+FFFD
};
// Decodes n bytes (NULs included); each maximal ill-formed subpart becomes
// one U+FFFD.
DecodeResult decodeUtf8(const unsigned char* s, size_t n);

struct EncodeResult {
  std::string bytes;
  std::vector<size_t> charEnds;  // byte offset after each character
  bool invalid = false;          // a lone surrogate became U+FFFD
};
EncodeResult encodeUtf8(const WCHAR* w, size_t n);

}  // namespace winsim
