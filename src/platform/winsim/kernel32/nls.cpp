// winsim: conversions between the ANSI code page and UTF-16.
//
// The ANSI and OEM code pages of winsim are UTF-8, as on a Windows with the
// system-wide UTF-8 option. Asked for CP_UTF8 by number, the calls are as
// strict as Windows is with UTF-8 (only the flags it allows); asked for
// CP_ACP they accept and ignore the flags meant for single-byte code pages,
// so that a program written for those keeps working.
#include "kernel32/nls.h"

#include <cstring>
#include <vector>

#include <windows.h>

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

}  // namespace winsim

namespace {

enum class Page { Invalid, Ansi, Utf8 };

Page pageOf(UINT codePage) {
  switch (codePage) {
    case CP_ACP:
    case CP_OEMCP:
    case CP_THREAD_ACP:
      return Page::Ansi;
    case CP_UTF8:
      return Page::Utf8;
    default:
      return Page::Invalid;
  }
}

constexpr DWORD kMbAnsiFlags = MB_PRECOMPOSED | 0x2 /* MB_COMPOSITE */ | 0x4 /* MB_USEGLYPHCHARS */ | MB_ERR_INVALID_CHARS;
constexpr DWORD kWcAnsiFlags = WC_NO_BEST_FIT_CHARS | WC_ERR_INVALID_CHARS | 0x200 /* WC_COMPOSITECHECK */ |
                               0x40 /* WC_DEFAULTCHAR */ | 0x10 /* WC_DISCARDNS */ | 0x20 /* WC_SEPCHARS */;

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
  const auto decoded = winsim::decodeUtf8(reinterpret_cast<const unsigned char*>(lpMultiByteStr), inLength);
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
  const DWORD allowed = page == Page::Utf8 ? DWORD{WC_ERR_INVALID_CHARS} : kWcAnsiFlags;
  if (dwFlags & ~allowed) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
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
