// winsim: locale-aware comparison (CompareStringA) and the lstr* functions.
//
// Windows compares strings in levels, not by code: first the letters
// without case or accent (punctuation before digits before letters), then
// the accents, then the case (lower before upper), and last the hyphens and
// apostrophes that a word sort skips at the first levels. lstrcmpA and
// lstrcmpiA are that comparison, so "a" sorts before "B" for both.
#include <algorithm>
#include <cstring>
#include <vector>

#include <windows.h>

#include "kernel32/nls.h"
#include "modules.h"

namespace {

struct Weights {
  std::vector<unsigned> primary;
  std::vector<unsigned> accent;
  std::vector<unsigned> caseW;
  std::vector<unsigned> special;  // position and character of each skipped hyphen or apostrophe
};

// Latin-1 letters with an accent: their base letter.
char32_t baseLetter(char32_t c, unsigned* accent) {
  static const char kBase[] =  // U+00C0 .. U+00FF
      "AAAAAAACEEEEIIII" "DNOOOOO*OUUUUYTs" "aaaaaaaceeeeiiii" "dnooooo/ouuuuyty";
  *accent = 0;
  if (c >= 0xC0 && c <= 0xFF) {
    const char b = kBase[c - 0xC0];
    if (b != '*' && b != '/') {
      // Upper and lower case of one accented letter share an accent weight.
      *accent = static_cast<unsigned>(c >= 0xE0 ? c - 0xDF : c - 0xBF);
      return static_cast<unsigned char>(b);
    }
  }
  return c;
}

bool isUpper(char32_t c) { return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7); }

bool isSymbol(char32_t c) {
  return c < 0x80 && !(c >= '0' && c <= '9') && !(c >= 'A' && c <= 'Z') && !(c >= 'a' && c <= 'z');
}

Weights weigh(const WCHAR* s, size_t n, DWORD flags) {
  Weights w;
  for (size_t i = 0; i < n; ++i) {
    char32_t c = s[i];
    if (c == 0) continue;  // NULs carry no weight
    const bool wordSortSkip = (c == '-' || c == '\'') && !(flags & SORT_STRINGSORT);
    if (wordSortSkip) {
      w.special.push_back(static_cast<unsigned>(i) << 8 | static_cast<unsigned>(c));
      continue;
    }
    if ((flags & NORM_IGNORESYMBOLS) && isSymbol(c)) continue;
    unsigned accent = 0;
    c = baseLetter(c, &accent);
    const bool upper = isUpper(c);
    char32_t folded = c;
    if (c >= 'A' && c <= 'Z') folded = c + 32;
    else if (c >= 0xC0 && c <= 0xDE && c != 0xD7) folded = c + 32;
    unsigned group;
    if (isSymbol(folded)) group = 1;
    else if (folded >= '0' && folded <= '9') group = 2;
    else if (folded < 0x80 || (folded >= 0xC0 && folded <= 0xFF)) group = 3;
    else group = 4;
    w.primary.push_back(group << 24 | static_cast<unsigned>(folded));
    w.accent.push_back(accent);
    w.caseW.push_back(upper ? 1 : 0);
  }
  return w;
}

int compareLevel(const std::vector<unsigned>& a, const std::vector<unsigned>& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return 0;
}

// The common case, two strings of ASCII characters, compared level by level
// straight from the bytes: the same weights as weigh() gives them, without
// building the weight lists. Every ASCII letter is its own base letter, so
// the accent level is all zeros and decides nothing.

bool isAscii(const char* s, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
  return true;
}

// A walk over the characters that carry weight at the first levels: not the
// NULs, not the hyphens and apostrophes a word sort holds back, not the
// symbols NORM_IGNORESYMBOLS drops.
struct AsciiWalk {
  const char* s;
  size_t n;
  size_t i = 0;
  DWORD flags;
  // The next weighted character, or -1 at the end.
  int next() {
    while (i < n) {
      const unsigned char c = static_cast<unsigned char>(s[i++]);
      if (c == 0) continue;
      if ((c == '-' || c == '\'') && !(flags & SORT_STRINGSORT)) continue;
      if ((flags & NORM_IGNORESYMBOLS) && isSymbol(c)) continue;
      return c;
    }
    return -1;
  }
};

unsigned asciiPrimary(int c) {
  const unsigned folded = (c >= 'A' && c <= 'Z') ? static_cast<unsigned>(c) + 32 : static_cast<unsigned>(c);
  const unsigned group = isSymbol(folded) ? 1 : (folded >= '0' && folded <= '9') ? 2 : 3;
  return group << 24 | folded;
}

int compareAscii(const char* s1, size_t n1, const char* s2, size_t n2, DWORD flags) {
  // A common run of the same bytes gives both strings the same weights at
  // every level, at the same positions: the comparison starts after it. Names
  // sorted in a long list mostly differ only at their ends.
  size_t same = 0;
  const size_t shorter = std::min(n1, n2);
  while (same < shorter && s1[same] == s2[same]) ++same;
  if (same == n1 && same == n2) return 0;
  // Primary: the letters without case.
  {
    AsciiWalk a{s1, n1, same, flags}, b{s2, n2, same, flags};
    for (;;) {
      const int ca = a.next(), cb = b.next();
      if (ca < 0 || cb < 0) {
        if (ca != cb) return ca < 0 ? -1 : 1;
        break;
      }
      const unsigned wa = asciiPrimary(ca), wb = asciiPrimary(cb);
      if (wa != wb) return wa < wb ? -1 : 1;
    }
  }
  // Case: lower before upper. Both walks have the same length here.
  if (!(flags & (NORM_IGNORECASE | 0x10))) {
    AsciiWalk a{s1, n1, same, flags}, b{s2, n2, same, flags};
    for (;;) {
      const int ca = a.next(), cb = b.next();
      if (ca < 0 || cb < 0) break;
      const bool ua = ca >= 'A' && ca <= 'Z', ub = cb >= 'A' && cb <= 'Z';
      if (ua != ub) return ua ? 1 : -1;
    }
  }
  // Last the held-back hyphens and apostrophes: position, then character.
  if (!(flags & SORT_STRINGSORT)) {
    size_t i = same, j = same;
    for (;;) {
      while (i < n1 && s1[i] != '-' && s1[i] != '\'') ++i;
      while (j < n2 && s2[j] != '-' && s2[j] != '\'') ++j;
      if (i == n1 || j == n2) {
        if ((i == n1) != (j == n2)) return i == n1 ? -1 : 1;
        break;
      }
      const unsigned wa = static_cast<unsigned>(i) << 8 | static_cast<unsigned char>(s1[i]);
      const unsigned wb = static_cast<unsigned>(j) << 8 | static_cast<unsigned char>(s2[j]);
      if (wa != wb) return wa < wb ? -1 : 1;
      ++i;
      ++j;
    }
  }
  return 0;
}

}  // namespace

// CompareStringA: CSTR_LESS_THAN, CSTR_EQUAL or CSTR_GREATER_THAN; 0 with
// ERROR_INVALID_PARAMETER for a NULL string, and
// ERROR_INVALID_FLAGS for flags Windows does not know.
extern "C" int WINAPI CompareStringA(LCID Locale, DWORD dwCmpFlags, PCSTR lpString1, int cchCount1,
                                     PCSTR lpString2, int cchCount2) {
  (void)Locale;  // one collation serves every locale of the simulated machine
  constexpr DWORD kKnown = NORM_IGNORECASE | NORM_IGNORENONSPACE | NORM_IGNORESYMBOLS | SORT_STRINGSORT |
                           0x10 /* LINGUISTIC_IGNORECASE */ | 0x20 /* LINGUISTIC_IGNOREDIACRITIC */ |
                           0x8 /* SORT_DIGITSASNUMBERS */ | 0x10000 /* NORM_IGNOREKANATYPE */ |
                           0x20000 /* NORM_IGNOREWIDTH */ | 0x8000000 /* NORM_LINGUISTIC_CASING */;
  if (!lpString1 || !lpString2) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (dwCmpFlags & ~kKnown) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  // Any negative count means a NUL-terminated string.
  const size_t n1 = cchCount1 < 0 ? std::strlen(lpString1) : static_cast<size_t>(cchCount1);
  const size_t n2 = cchCount2 < 0 ? std::strlen(lpString2) : static_cast<size_t>(cchCount2);
  if (isAscii(lpString1, n1) && isAscii(lpString2, n2)) {
    const int r = compareAscii(lpString1, n1, lpString2, n2, dwCmpFlags);
    return r < 0 ? CSTR_LESS_THAN : r > 0 ? CSTR_GREATER_THAN : CSTR_EQUAL;
  }
  const auto u1 = winsim::ansiToUtf16(std::string_view(lpString1, n1));
  const auto u2 = winsim::ansiToUtf16(std::string_view(lpString2, n2));
  const Weights a = weigh(u1.data(), u1.size(), dwCmpFlags);
  const Weights b = weigh(u2.data(), u2.size(), dwCmpFlags);
  int r = compareLevel(a.primary, b.primary);
  if (r == 0 && !(dwCmpFlags & (NORM_IGNORENONSPACE | 0x20))) r = compareLevel(a.accent, b.accent);
  if (r == 0 && !(dwCmpFlags & (NORM_IGNORECASE | 0x10))) r = compareLevel(a.caseW, b.caseW);
  if (r == 0) r = compareLevel(a.special, b.special);
  return r < 0 ? CSTR_LESS_THAN : r > 0 ? CSTR_GREATER_THAN : CSTR_EQUAL;
}

// lstrlenA: the length in bytes; 0 for NULL.
extern "C" int WINAPI lstrlenA(LPCSTR lpString) {
  return lpString ? static_cast<int>(std::strlen(lpString)) : 0;
}

// lstrlenW: the length in UTF-16 units; 0 for NULL.
extern "C" int WINAPI lstrlenW(LPCWSTR lpString) {
  return lpString ? static_cast<int>(winsim::wlen(lpString)) : 0;
}

namespace {
int lstrCompare(LPCSTR a, LPCSTR b, DWORD flags) {
  // NULL sorts before every string, as Windows orders it.
  if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
  return CompareStringA(LOCALE_USER_DEFAULT, flags, a, -1, b, -1) - CSTR_EQUAL;
}
}  // namespace

// lstrcmpA: negative, 0 or positive by the user locale's word sort.
extern "C" int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) { return lstrCompare(lpString1, lpString2, 0); }

// lstrcmpiA: as lstrcmpA, without regard to case.
extern "C" int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
  return lstrCompare(lpString1, lpString2, NORM_IGNORECASE);
}

// lstrcpyA: the destination, or NULL when either pointer is NULL.
extern "C" LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2) {
  if (!lpString1 || !lpString2) return nullptr;
  std::memmove(lpString1, lpString2, std::strlen(lpString2) + 1);
  return lpString1;
}

// lstrcpynA: copies at most iMaxLength - 1 bytes and always ends the result
// with a NUL when iMaxLength is at least 1; NULL for NULL pointers.
extern "C" LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength) {
  if (!lpString1 || !lpString2) return nullptr;
  if (iMaxLength <= 0) return lpString1;
  size_t i = 0;
  const size_t limit = static_cast<size_t>(iMaxLength) - 1;
  while (i < limit && lpString2[i]) {
    lpString1[i] = lpString2[i];
    ++i;
  }
  lpString1[i] = '\0';
  return lpString1;
}

// lstrcatA: the destination, or NULL when either pointer is NULL.
extern "C" LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2) {
  if (!lpString1 || !lpString2) return nullptr;
  std::memmove(lpString1 + std::strlen(lpString1), lpString2, std::strlen(lpString2) + 1);
  return lpString1;
}

static const winsim::ExportRegistrar kExports(
    "kernel32.dll", {WINSIM_EXPORT(CompareStringA), WINSIM_EXPORT(lstrlenA), WINSIM_EXPORT(lstrlenW),
                     WINSIM_EXPORT(lstrcmpA), WINSIM_EXPORT(lstrcmpiA), WINSIM_EXPORT(lstrcpyA),
                     WINSIM_EXPORT(lstrcpynA), WINSIM_EXPORT(lstrcatA)});
