// winsim: UTF-8 <-> UTF-16 conversions for the code that handles both
// (the ANSI code page of winsim is UTF-8).
#pragma once

#include <string>
#include <string_view>

#include <windows.h>

namespace winsim {

using wstring16 = std::basic_string<WCHAR>;
using wstring16_view = std::basic_string_view<WCHAR>;

// Ill-formed input becomes U+FFFD; never fails.
wstring16 utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(wstring16_view text);
// Length of a NUL-terminated UTF-16 string.
size_t wlen(const WCHAR* text);

}  // namespace winsim
