// File times and their conversions.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/scratch_folder.h"
#include "platform/win32.h"
#include "support/conformance.h"

namespace {

using kvtest::ScratchFolder;

ULONGLONG value(const FILETIME& ft) { return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }
FILETIME fileTime(ULONGLONG v) { return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)}; }

struct TimeCase {
  ULONGLONG ticks;
  SYSTEMTIME st;  // year, month, day of week, day, hour, minute, second, ms
};

TEST(FileTime, ConversionsBothWays) {
  const TimeCase cases[] = {
      {0, {1601, 1, 1, 1, 0, 0, 0, 0}},                                  // the epoch, a Monday
      {116444736000000000ULL, {1970, 1, 4, 1, 0, 0, 0, 0}},               // a Thursday
      {125911584000000000ULL, {2000, 1, 6, 1, 0, 0, 0, 0}},               // a Saturday
      {125962560000000000ULL, {2000, 2, 2, 29, 0, 0, 0, 0}},              // leap day of a 400-year leap year
      {128930059991230000ULL, {2009, 7, 6, 25, 14, 33, 19, 123}},
      {0x7FFFFFFFFFFFFFFFULL - 0x7FFFFFFFFFFFFFFFULL % 10000ULL, {30828, 9, 4, 14, 2, 48, 5, 477}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ticks);
    SYSTEMTIME st;
    memset(&st, 0xcc, sizeof st);
    FILETIME ft = fileTime(c.ticks);
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(st.wYear, c.st.wYear);
    EXPECT_EQ(st.wMonth, c.st.wMonth);
    EXPECT_EQ(st.wDayOfWeek, c.st.wDayOfWeek);
    EXPECT_EQ(st.wDay, c.st.wDay);
    EXPECT_EQ(st.wHour, c.st.wHour);
    EXPECT_EQ(st.wMinute, c.st.wMinute);
    EXPECT_EQ(st.wSecond, c.st.wSecond);
    EXPECT_EQ(st.wMilliseconds, c.st.wMilliseconds);
    if (c.st.wYear <= 30827) {
      FILETIME back;
      ASSERT_TRUE(SystemTimeToFileTime(&c.st, &back));
      EXPECT_EQ(value(back), c.ticks);
    }
  }
}

TEST(FileTime, OutOfRangeValuesAreRefused) {
  FILETIME ft = fileTime(0x8000000000000000ULL);
  SYSTEMTIME st;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(FileTimeToSystemTime(&ft, &st));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  const SYSTEMTIME bad[] = {
      {1600, 12, 0, 31, 0, 0, 0, 0}, {2001, 13, 0, 1, 0, 0, 0, 0}, {2001, 0, 0, 1, 0, 0, 0, 0},
      {2001, 2, 0, 29, 0, 0, 0, 0},  {1900, 2, 0, 29, 0, 0, 0, 0}, {2001, 4, 0, 31, 0, 0, 0, 0},
      {2001, 1, 0, 0, 0, 0, 0, 0},   {2001, 1, 0, 1, 24, 0, 0, 0}, {2001, 1, 0, 1, 0, 60, 0, 0},
      {2001, 1, 0, 1, 0, 0, 60, 0},  {2001, 1, 0, 1, 0, 0, 0, 1000},
  };
  for (const auto& s : bad) {
    SCOPED_TRACE(std::to_string(s.wYear) + "-" + std::to_string(s.wMonth) + "-" + std::to_string(s.wDay));
    FILETIME out = fileTime(42);
    SetLastError(0xdeadbeef);
    const bool feb29 = s.wMonth == 2 && s.wDay == 29;
    if (feb29) {
      KV_WINE_DEPARTS("Wine takes 29 February in any year") {
        EXPECT_FALSE(SystemTimeToFileTime(&s, &out));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
      }
      continue;
    }
    EXPECT_FALSE(SystemTimeToFileTime(&s, &out));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  // The day of the week is not checked.
  const SYSTEMTIME anyWeekday = {2001, 1, 6, 1, 0, 0, 0, 0};
  FILETIME out;
  EXPECT_TRUE(SystemTimeToFileTime(&anyWeekday, &out));
}

TEST(FileTime, LocalTimeUsesOneBiasForEveryDate) {
  // Windows converts with the bias in force now, whatever the season of the
  // converted time, so winter and summer dates move by the same amount.
  const ULONGLONG winter = 129383424000000000ULL;  // 2011-01-01
  const ULONGLONG summer = 129540672000000000ULL;  // 2011-07-02
  FILETIME w = fileTime(winter), s = fileTime(summer), lw, ls, back;
  ASSERT_TRUE(FileTimeToLocalFileTime(&w, &lw));
  ASSERT_TRUE(FileTimeToLocalFileTime(&s, &ls));
  EXPECT_EQ(static_cast<LONGLONG>(value(lw) - winter), static_cast<LONGLONG>(value(ls) - summer));
  ASSERT_TRUE(LocalFileTimeToFileTime(&ls, &back));
  EXPECT_EQ(value(back), summer);
}

TEST(FileTime, CompareFileTime) {
  struct Case {
    ULONGLONG a, b;
    LONG result;
  };
  const Case cases[] = {{1, 2, -1}, {2, 1, 1}, {5, 5, 0},
                        {0x100000000ULL, 0xFFFFFFFFULL, 1},  // the high part decides first
                        {0x8000000000000000ULL, 1, 1}};      // compared without sign
  for (const auto& c : cases) {
    const FILETIME a = fileTime(c.a), b = fileTime(c.b);
    EXPECT_EQ(CompareFileTime(&a, &b), c.result) << c.a << " vs " << c.b;
  }
}

TEST(FileTime, SetAndGetThroughAHandle) {
  ScratchFolder dir;
  const std::string path = dir / "times.txt";
  ASSERT_TRUE(ScratchFolder::writeFile(path, "t"));
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  const SYSTEMTIME written = {1999, 12, 5, 31, 23, 59, 58, 0};
  const SYSTEMTIME accessed = {2005, 6, 3, 15, 12, 0, 0, 0};
  FILETIME ftWrite, ftAccess;
  ASSERT_TRUE(SystemTimeToFileTime(&written, &ftWrite));
  ASSERT_TRUE(SystemTimeToFileTime(&accessed, &ftAccess));
  ASSERT_TRUE(SetFileTime(h, nullptr, &ftAccess, &ftWrite));
  FILETIME c = fileTime(1), a = fileTime(1), w = fileTime(1);
  ASSERT_TRUE(GetFileTime(h, &c, &a, &w));
  EXPECT_EQ(value(w), value(ftWrite));
  EXPECT_EQ(value(a), value(ftAccess));
  EXPECT_NE(value(c), 1u);
  // A zero time leaves that time alone.
  const FILETIME zero = fileTime(0);
  ASSERT_TRUE(SetFileTime(h, nullptr, &zero, &zero));
  ASSERT_TRUE(GetFileTime(h, nullptr, nullptr, &w));
  EXPECT_EQ(value(w), value(ftWrite));
  CloseHandle(h);

  // The time a search reports is the same.
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(path.c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_EQ(value(data.ftLastWriteTime), value(ftWrite));
  FindClose(find);

  // Setting a time needs the right to write attributes.
  h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  KV_WINE_DEPARTS("Wine sets file times through a handle without the right to write attributes") {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetFileTime(h, nullptr, nullptr, &ftAccess));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  }
  CloseHandle(h);
}

}  // namespace
