// Windows-1252, the ANSI code page of a machine of a Western language: every
// byte as Windows maps it, what the code page cannot hold, and the ANSI texts
// of files read through it.
#include <gtest/gtest.h>

#include <string>

#include "platform/scratch_folder.h"
#include "platform/win32.h"
#include "support/conformance.h"

namespace {

std::u16string u16(const WCHAR* w, size_t n) { return std::u16string(reinterpret_cast<const char16_t*>(w), n); }

// ASCII text as a wide string of either build.
std::basic_string<WCHAR> wide(const std::string& ascii) { return std::basic_string<WCHAR>(ascii.begin(), ascii.end()); }

// The characters of 0x80..0x9F; the five bytes the code page leaves
// undefined stand for the C1 controls of the same number.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t expected1252(unsigned b) { return b >= 0x80 && b <= 0x9F ? kHigh[b - 0x80] : static_cast<char16_t>(b); }

TEST(CodePage1252, EveryByteIsACharacterAndComesBackUnchanged) {
  for (unsigned b = 1; b <= 0xFF; ++b) {
    const char in = static_cast<char>(b);
    WCHAR w = 0;
    SetLastError(0xdeadbeef);
    ASSERT_EQ(MultiByteToWideChar(1252, MB_ERR_INVALID_CHARS, &in, 1, &w, 1), 1) << std::hex << b;
    EXPECT_EQ(static_cast<char16_t>(w), expected1252(b)) << std::hex << b;
    char back = 0;
    BOOL used = TRUE;
    ASSERT_EQ(WideCharToMultiByte(1252, 0, &w, 1, &back, 1, nullptr, &used), 1) << std::hex << b;
    EXPECT_EQ(static_cast<unsigned char>(back), b);
    EXPECT_FALSE(used) << std::hex << b;
  }
  EXPECT_EQ(GetLastError(), 0xdeadbeefu) << "success leaves the last error alone";
  WCHAR text[8] = {};
  ASSERT_EQ(MultiByteToWideChar(1252, 0, "caf\xE9 \x80", -1, text, 8), 7);
  EXPECT_EQ(u16(text, 7), std::u16string(u"caf\u00e9 \u20ac") + u'\0');
}

TEST(CodePage1252, WhatTheCodePageCannotHoldBecomesTheDefaultCharacter) {
  const WCHAR wcs[] = {u'T', u'h', 0x0440, u'i', 0};  // a Cyrillic letter
  char out[8] = {};
  BOOL used = FALSE;
  ASSERT_EQ(WideCharToMultiByte(1252, 0, wcs, -1, out, sizeof out, nullptr, &used), 5);
  EXPECT_STREQ(out, "Th?i");
  EXPECT_TRUE(used);
  ASSERT_EQ(WideCharToMultiByte(1252, 0, wcs, -1, out, sizeof out, "*", &used), 5);
  EXPECT_STREQ(out, "Th*i");
  const WCHAR han[] = {0x4E00, 0};
  ASSERT_EQ(WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, han, -1, out, sizeof out, nullptr, &used), 2);
  EXPECT_STREQ(out, "?");
  EXPECT_TRUE(used);
  EXPECT_EQ(WideCharToMultiByte(1252, 0, wcs, -1, nullptr, 0, nullptr, nullptr), 5) << "the size alone";

  // A short buffer holds what fitted.
  char one = 0;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(WideCharToMultiByte(1252, 0, wcs, -1, &one, 1, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(one, 'T');
  // WC_ERR_INVALID_CHARS belongs to UTF-8.
  KV_WINE_DEPARTS("Wine accepts WC_ERR_INVALID_CHARS with a single-byte code page") {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WideCharToMultiByte(1252, WC_ERR_INVALID_CHARS, wcs, -1, out, sizeof out, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
  }
}

// The default machine is an English one: its ANSI code page is 1252, and
// what reads ANSI text goes through it.
TEST(CodePage1252, AnsiTextOfTheMachineIsRead1252) {
  if (kvtest::runningOnWinsim()) {
    EXPECT_EQ(GetACP(), 1252u);
  }
  if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page here is " << GetACP();
  WCHAR w[8] = {};
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xE9t\xE9", 3, w, 8), 3);
  EXPECT_EQ(u16(w, 3), u"\u00e9t\u00e9");
  char a[8] = {};
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, w, 3, a, sizeof a, nullptr, nullptr), 3);
  EXPECT_EQ(std::string(a, 3), "\xE9t\xE9");

  // An ANSI profile file: the W functions see the characters, the A
  // functions the bytes, and a write keeps the other bytes as they were.
  kvtest::ScratchFolder dir;
  const std::string file = dir / "ansi.ini";
  ASSERT_TRUE(kvtest::ScratchFolder::writeFile(file, "[S]\r\nk=caf\xE9 \x80\x81\r\n"));
  WCHAR value[32] = {};
  ASSERT_EQ(GetPrivateProfileStringW(wide("S").c_str(), wide("k").c_str(), wide("").c_str(), value, 32,
                                     wide(file).c_str()),
            7u);
  EXPECT_EQ(u16(value, 7), u"caf\u00e9 \u20ac\u0081");
  char narrow[32] = {};
  ASSERT_EQ(GetPrivateProfileStringA("S", "k", "", narrow, sizeof narrow, file.c_str()), 7u);
  EXPECT_EQ(std::string(narrow), "caf\xE9 \x80\x81");
  ASSERT_TRUE(WritePrivateProfileStringA("S", "n", "\xFC", file.c_str()));
  EXPECT_EQ(kvtest::ScratchFolder::readFile(file), "[S]\r\nk=caf\xE9 \x80\x81\r\nn=\xFC\r\n");
}

}  // namespace
