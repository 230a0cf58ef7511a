// The printer driver, print processor and colour folders.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32.h"
#include "support/conformance.h"

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

TEST(SpoolDirectories, ByEnvironment) {
  struct Case {
    const char* env;
    const char* driver;
    const char* prtprocs;
  };
  const Case cases[] = {
      {"Windows x64", "drivers\\x64", "prtprocs\\x64"},
      {"windows nt x86", "drivers\\w32x86", "prtprocs\\w32x86"},
      {"Windows 4.0", "drivers\\win40", "prtprocs\\win40"},
      {nullptr, "drivers\\x64", "prtprocs\\x64"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.env ? c.env : "(own)");
    BYTE buf[MAX_PATH * 2];
    DWORD need = 0;
    ASSERT_TRUE(GetPrinterDriverDirectoryA(nullptr, const_cast<LPSTR>(c.env), 1, buf, sizeof buf, &need));
    EXPECT_EQ(lower(reinterpret_cast<char*>(buf)), std::string("c:\\windows\\system32\\spool\\") + c.driver);
    ASSERT_TRUE(GetPrintProcessorDirectoryA(nullptr, const_cast<LPSTR>(c.env), 1, buf, sizeof buf, &need));
    EXPECT_EQ(lower(reinterpret_cast<char*>(buf)), std::string("c:\\windows\\system32\\spool\\") + c.prtprocs);
  }
}

TEST(SpoolDirectories, Errors) {
  BYTE buf[MAX_PATH];
  DWORD need = 0xdead;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetPrinterDriverDirectoryA(nullptr, const_cast<LPSTR>("Bogus"), 1, buf, sizeof buf, &need));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ENVIRONMENT));
  need = 0xdead;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetPrinterDriverDirectoryA(nullptr, nullptr, 2, buf, sizeof buf, &need));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
  KV_WINE_DEPARTS("the size is cleared for an invalid level") { EXPECT_EQ(need, 0xdeadu); }
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetPrinterDriverDirectoryA(nullptr, const_cast<LPSTR>("Windows x64"), 1, nullptr, 0, &need));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(need, std::strlen("C:\\windows\\system32\\spool\\drivers\\x64") + 1);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetPrintProcessorDirectoryA(nullptr, const_cast<LPSTR>("Windows NT R4000"), 1, buf, sizeof buf, &need));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ENVIRONMENT));
}

TEST(ColorDirectory, SizeThenText) {
  DWORD size = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetColorDirectoryA(nullptr, nullptr, &size));
  EXPECT_TRUE(GetLastError() == ERROR_INSUFFICIENT_BUFFER || GetLastError() == ERROR_MORE_DATA) << GetLastError();
  KV_WINE_DEPARTS("the size asked for leaves out the NUL") {
    EXPECT_EQ(size, std::strlen("C:\\windows\\system32\\spool\\drivers\\color") + 1);
  }
  size = MAX_PATH;
  std::string buf(size, 'x');
  ASSERT_TRUE(GetColorDirectoryA(nullptr, buf.data(), &size));
  EXPECT_EQ(lower(buf.c_str()), "c:\\windows\\system32\\spool\\drivers\\color");
}

}  // namespace
