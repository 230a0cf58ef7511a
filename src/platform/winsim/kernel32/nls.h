// winsim: the UTF-8 codec behind the code-page conversions and the string
// comparisons, which must agree on what ill-formed input is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
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

// The machine's ANSI code page, as GetACP answers: 1252 for the languages
// whose Windows has it (English and the Western European ones), else
// CP_UTF8, as a Windows with the system-wide UTF-8 option: winsim carries no
// tables of the other code pages. Read from the machine's registry as this
// process last saw it: a change of language (kvsim set lang) shows in the
// processes started after it, as on Windows, where the code page is fixed
// when a process starts.
UINT ansiCodePage();
// Windows-1252: every byte is a character (the five bytes the code page
// leaves undefined are U+0081, U+008D, U+008F, U+0090 and U+009D, as on
// Windows), so bytes survive a round trip through UTF-16 unchanged.
WCHAR cp1252ToUnicode(unsigned char byte);
// The byte of a character, or -1 when the code page has none for it.
int unicodeToCp1252(WCHAR unit);

// Text of the ANSI code page to UTF-16 and back, as MultiByteToWideChar and
// WideCharToMultiByte with CP_ACP convert it ('?' for what the code page
// cannot hold).
wstring16 ansiToUtf16(std::string_view text);
// The same with the code page ansiCodePage() gave, for a caller converting
// many pieces of one text.
wstring16 ansiToUtf16(std::string_view text, UINT codePage);
std::string utf16ToAnsi(wstring16_view text);
// ANSI text for the host: its terminal and the transcript are UTF-8; and
// the host's text (a UI script, what a person types) for the controls.
std::string ansiToUtf8(std::string_view text);
std::string utf8ToAnsi(std::string_view text);

}  // namespace winsim
