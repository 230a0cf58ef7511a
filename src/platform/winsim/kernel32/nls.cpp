// winsim: conversions between the ANSI code page and UTF-16.
//
// The ANSI code page is Windows-1252 on a machine of a Western language and
// UTF-8 on the others (ansiCodePage); the OEM code page is UTF-8, as on a
// Windows with the system-wide UTF-8 option. Asked for CP_UTF8 by number,
// the calls are as strict as Windows is with UTF-8 (only the flags it
// allows); asked for CP_ACP or CP_OEMCP when those are UTF-8 they accept and
// ignore the flags meant for single-byte code pages, so that a program
// written for those keeps working.
#include "kernel32/nls.h"

#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include "advapi32/registry_store.h"
#include "machine_settings.h"
#include "modules.h"

namespace winsim {

DecodeResult decodeUtf8(const unsigned char* s, size_t n) {
  DecodeResult r;
  r.units.reserve(n);
  size_t i = 0;
  auto put = [&](char32_t cp) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      r.units.push_back(static_cast<WCHAR>(0xD800 + (cp >> 10)));
      r.units.push_back(static_cast<WCHAR>(0xDC00 + (cp & 0x3FF)));
    } else {
      r.units.push_back(static_cast<WCHAR>(cp));
    }
  };
  while (i < n) {
    const unsigned char c = s[i];
    if (c < 0x80) {
      put(c);
      ++i;
      continue;
    }
    size_t len = 0;
    char32_t cp = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      cp = c & 0x0F;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      cp = c & 0x07;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    }
    if (len == 0) {
      r.invalid = true;
      put(0xFFFD);
      ++i;
      continue;
    }
    // One replacement for the longest valid start of a sequence, as the
    // Unicode standard recommends and Windows does.
    size_t k = 1;
    for (; k < len && i + k < n; ++k) {
      const unsigned char cc = s[i + k];
      const unsigned char low = k == 1 ? lo : 0x80;
      const unsigned char high = k == 1 ? hi : 0xBF;
      if (cc < low || cc > high) break;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (k == len) {
      put(cp);
    } else {
      r.invalid = true;
      put(0xFFFD);
    }
    i += k;
  }
  return r;
}

EncodeResult encodeUtf8(const WCHAR* w, size_t n) {
  EncodeResult r;
  r.bytes.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    char32_t cp = w[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (w[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      r.invalid = true;
      cp = 0xFFFD;
    }
    // Each character's bytes are kept together so that a short buffer is
    // filled with whole characters only.
    r.charEnds.push_back(0);
    if (cp < 0x80) {
      r.bytes.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      r.bytes.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      r.bytes.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      r.bytes.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      r.bytes.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      r.bytes.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      r.bytes.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      r.bytes.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      r.bytes.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      r.bytes.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    r.charEnds.back() = r.bytes.size();
  }
  return r;
}

// 0x80..0x9F; 0xA0..0xFF are U+00A0..U+00FF.
constexpr WCHAR kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

WCHAR cp1252ToUnicode(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kCp1252High[byte - 0x80] : static_cast<WCHAR>(byte);
}

int unicodeToCp1252(WCHAR unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return unit;
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == unit) return 0x80 + i;
  }
  return -1;
}

namespace {

UINT codePageOfLanguage(DWORD lang) {
  switch (PRIMARYLANGID(lang)) {
    case 0x03:  // Catalan
    case 0x06:  // Danish
    case 0x07:  // German
    case 0x09:  // English
    case 0x0A:  // Spanish
    case 0x0B:  // Finnish
    case 0x0C:  // French
    case 0x0F:  // Icelandic
    case 0x10:  // Italian
    case 0x13:  // Dutch
    case 0x14:  // Norwegian
    case 0x16:  // Portuguese
    case 0x1D:  // Swedish
    case 0x21:  // Indonesian
    case 0x2D:  // Basque
    case 0x36:  // Afrikaans
    case 0x38:  // Faroese
    case 0x3C:  // Irish
    case 0x3E:  // Malay
    case 0x41:  // Swahili
    case 0x56:  // Galician
      return 1252;
    default:
      return CP_UTF8;
  }
}

}  // namespace

UINT ansiCodePage() {
  // Windows fixes the code page when a process starts: a language set by
  // another process shows in the processes started after it. Kept with the
  // state of the hive it was read from, so that the many conversions of one
  // machine cost no lookup.
  static UINT s_kept = CP_UTF8;
  static unsigned long long s_keptGeneration = 0;
  UINT page = CP_UTF8;
  reg::inspectLastSeen(reg::Hive::LocalMachine, [&](const reg::Editor& e) {
    if (e.generation() != s_keptGeneration) {
      s_kept = codePageOfLanguage(e.getDword(kMachineKey, "LangID", MachineSettings{}.langId));
      s_keptGeneration = e.generation();
    }
    page = s_kept;
  });
  return page;
}

namespace {

// ASCII reads the same in every code page winsim has, so most texts need
// neither the code page nor a decoder.
bool isAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool isAscii(wstring16_view text) {
  for (WCHAR unit : text) {
    if (unit >= 0x80) return false;
  }
  return true;
}

}  // namespace

wstring16 ansiToUtf16(std::string_view text) {
  if (isAscii(text)) return wstring16(text.begin(), text.end());
  return ansiToUtf16(text, ansiCodePage());
}

wstring16 ansiToUtf16(std::string_view text, UINT codePage) {
  if (isAscii(text)) return wstring16(text.begin(), text.end());
  if (codePage == CP_UTF8) return decodeUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size()).units;
  wstring16 out;
  out.reserve(text.size());
  for (char c : text) out.push_back(cp1252ToUnicode(static_cast<unsigned char>(c)));
  return out;
}

std::string utf16ToAnsi(wstring16_view text) {
  if (isAscii(text)) return std::string(text.begin(), text.end());
  if (ansiCodePage() == CP_UTF8) return encodeUtf8(text.data(), text.size()).bytes;
  std::string out;
  out.reserve(text.size());
  for (WCHAR unit : text) {
    const int b = unicodeToCp1252(unit);
    out.push_back(b < 0 ? '?' : static_cast<char>(b));
  }
  return out;
}

std::string ansiToUtf8(std::string_view text) {
  if (ansiCodePage() == CP_UTF8) return std::string(text);
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      const wstring16 wide = ansiToUtf16(text);
      return encodeUtf8(wide.data(), wide.size()).bytes;
    }
  }
  return std::string(text);  // ASCII: the same in both
}

std::string utf8ToAnsi(std::string_view text) {
  if (ansiCodePage() == CP_UTF8) return std::string(text);
  const DecodeResult wide = decodeUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size());
  return utf16ToAnsi(wide.units);
}

}  // namespace winsim

namespace {

// Ansi: UTF-8 standing for a single-byte code page (the OEM code page, or
// the ANSI one of a machine whose language winsim has no table for).
enum class Page { Invalid, Ansi, Utf8, Cp1252 };

Page pageOf(UINT codePage) {
  switch (codePage) {
    case CP_ACP:
    case CP_THREAD_ACP:
      return winsim::ansiCodePage() == 1252 ? Page::Cp1252 : Page::Ansi;
    case CP_OEMCP:
      return Page::Ansi;
    case CP_UTF8:
      return Page::Utf8;
    case 1252:
      return Page::Cp1252;
    default:
      return Page::Invalid;
  }
}

constexpr DWORD kMbAnsiFlags = MB_PRECOMPOSED | 0x2 /* MB_COMPOSITE */ | 0x4 /* MB_USEGLYPHCHARS */ | MB_ERR_INVALID_CHARS;
constexpr DWORD kWcAnsiFlags = WC_NO_BEST_FIT_CHARS | WC_ERR_INVALID_CHARS | 0x200 /* WC_COMPOSITECHECK */ |
                               0x40 /* WC_DEFAULTCHAR */ | 0x10 /* WC_DISCARDNS */ | 0x20 /* WC_SEPCHARS */;
// A real single-byte code page: WC_ERR_INVALID_CHARS is for UTF-8 alone.
constexpr DWORD kWc1252Flags = kWcAnsiFlags & ~DWORD{WC_ERR_INVALID_CHARS};

bool overlaps(const void* a, size_t an, const void* b, size_t bn) {
  const char* pa = static_cast<const char*>(a);
  const char* pb = static_cast<const char*>(b);
  return pa < pb + bn && pb < pa + an;
}

}  // namespace

// MultiByteToWideChar: 0 with ERROR_INVALID_PARAMETER for a zero length or
// bad buffers (a negative length is a NUL-terminated string), ERROR_INVALID_FLAGS, ERROR_NO_UNICODE_TRANSLATION for ill-formed
// input with MB_ERR_INVALID_CHARS, ERROR_INSUFFICIENT_BUFFER when the result
// does not fit (the buffer then holds what fitted).
extern "C" int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                          LPWSTR lpWideCharStr, int cchWideChar) {
  const Page page = pageOf(CodePage);
  if (page == Page::Invalid || !lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 ||
      (cchWideChar > 0 && !lpWideCharStr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // Any negative length means a NUL-terminated string, as Windows reads it.
  const size_t inLength = cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
  if (cchWideChar > 0 && overlaps(lpMultiByteStr, inLength, lpWideCharStr, static_cast<size_t>(cchWideChar) * 2)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const DWORD allowed = page == Page::Utf8 ? DWORD{MB_ERR_INVALID_CHARS} : kMbAnsiFlags;
  if (dwFlags & ~allowed) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  winsim::DecodeResult decoded;
  if (page == Page::Cp1252) {
    // Every byte is a character: nothing is invalid.
    decoded.units.reserve(inLength);
    for (size_t i = 0; i < inLength; ++i)
      decoded.units.push_back(winsim::cp1252ToUnicode(static_cast<unsigned char>(lpMultiByteStr[i])));
  } else {
    decoded = winsim::decodeUtf8(reinterpret_cast<const unsigned char*>(lpMultiByteStr), inLength);
  }
  if (decoded.invalid && (dwFlags & MB_ERR_INVALID_CHARS)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  const size_t count = decoded.units.size();
  if (cchWideChar == 0) return static_cast<int>(count);
  if (count > static_cast<size_t>(cchWideChar)) {
    std::memcpy(lpWideCharStr, decoded.units.data(), static_cast<size_t>(cchWideChar) * sizeof(WCHAR));
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(lpWideCharStr, decoded.units.data(), count * sizeof(WCHAR));
  return static_cast<int>(count);
}

namespace {

// WideCharToMultiByte to Windows-1252: what the code page cannot hold becomes
// the default character ('?', or the first byte of lpDefaultChar), one for
// each UTF-16 unit as the code page's table is read (an emoji is "??"), and
// sets *lpUsedDefaultChar. Windows would first try a
// "best fit" (U+0108 as 'C') unless WC_NO_BEST_FIT_CHARS is given; winsim
// has no best-fit table and always uses the default character. A buffer too
// short holds the bytes that fitted.
int wideTo1252(LPCWSTR w, size_t n, LPSTR out, int cbOut, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar) {
  const char fallback = lpDefaultChar ? lpDefaultChar[0] : '?';
  std::string bytes;
  bytes.reserve(n);
  bool usedDefault = false;
  for (size_t i = 0; i < n; ++i) {
    const int b = winsim::unicodeToCp1252(w[i]);
    if (b >= 0) {
      bytes.push_back(static_cast<char>(b));
      continue;
    }
    usedDefault = true;
    bytes.push_back(fallback);
  }
  if (lpUsedDefaultChar) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
  if (cbOut == 0) return static_cast<int>(bytes.size());
  if (bytes.size() > static_cast<size_t>(cbOut)) {
    std::memcpy(out, bytes.data(), static_cast<size_t>(cbOut));
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(out, bytes.data(), bytes.size());
  return static_cast<int>(bytes.size());
}

}  // namespace

// WideCharToMultiByte: 0 with ERROR_INVALID_PARAMETER for a zero length or
// bad buffers (and for a default character with CP_UTF8), ERROR_INVALID_FLAGS,
// ERROR_NO_UNICODE_TRANSLATION for a lone surrogate with
// WC_ERR_INVALID_CHARS, ERROR_INSUFFICIENT_BUFFER when the result does not
// fit (the buffer then holds the whole characters that fitted).
extern "C" int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                                          LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                          LPBOOL lpUsedDefaultChar) {
  const Page page = pageOf(CodePage);
  if (page == Page::Invalid || !lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && !lpMultiByteStr) ||
      (page == Page::Utf8 && (lpDefaultChar || lpUsedDefaultChar))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t inLength =
      cchWideChar < 0 ? winsim::wlen(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);
  if (cbMultiByte > 0 && overlaps(lpWideCharStr, inLength * 2, lpMultiByteStr, static_cast<size_t>(cbMultiByte))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const DWORD allowed = page == Page::Utf8 ? DWORD{WC_ERR_INVALID_CHARS} : page == Page::Cp1252 ? kWc1252Flags : kWcAnsiFlags;
  if (dwFlags & ~allowed) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  if (page == Page::Cp1252)
    return wideTo1252(lpWideCharStr, inLength, lpMultiByteStr, cbMultiByte, lpDefaultChar, lpUsedDefaultChar);
  const auto encoded = winsim::encodeUtf8(lpWideCharStr, inLength);
  if (encoded.invalid && (dwFlags & WC_ERR_INVALID_CHARS)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  // UTF-8 represents every character, so no default character is used.
  if (lpUsedDefaultChar) *lpUsedDefaultChar = FALSE;
  const size_t count = encoded.bytes.size();
  if (cbMultiByte == 0) return static_cast<int>(count);
  if (count > static_cast<size_t>(cbMultiByte)) {
    size_t fit = 0;
    for (size_t end : encoded.charEnds) {
      if (end > static_cast<size_t>(cbMultiByte)) break;
      fit = end;
    }
    std::memcpy(lpMultiByteStr, encoded.bytes.data(), fit);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(lpMultiByteStr, encoded.bytes.data(), count);
  return static_cast<int>(count);
}

static const winsim::ExportRegistrar kExports("kernel32.dll", {WINSIM_EXPORT(MultiByteToWideChar),
                                                                WINSIM_EXPORT(WideCharToMultiByte)});
