// The detail log shared by every subsystem.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "system/detail_log.h"

namespace {

std::string tempFile(const char* pszName) {
  char szTemp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, szTemp);
  std::string strPath = szTemp;
  if (!strPath.empty() && strPath.back() != '\\') strPath += '\\';
  return strPath + pszName + std::to_string(GetCurrentProcessId()) + ".log";
}

std::string readFile(const std::string& strPath) {
  std::string strText;
  HANDLE h = CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return strText;
  char buffer[4096];
  DWORD dwRead = 0;
  while (ReadFile(h, buffer, sizeof(buffer), &dwRead, nullptr) && dwRead > 0) strText.append(buffer, dwRead);
  CloseHandle(h);
  return strText;
}

TEST(DetailLog, WritersFollowTheLevel) {
  struct Row {
    BOOL bEnable;
    const char* pszPath;  // nullptr: the test's file
    DWORD dwLevel;
    const char* pszExpected;
  } rows[] = {
      {FALSE, nullptr, 99, ""},
      {TRUE, "", 99, ""},  // enabled without a file: nothing is written
      {TRUE, nullptr, 0, "base 0\r\n"},
      {TRUE, nullptr, 1, "base 1\r\nlevel1 1\r\n"},
      {TRUE, nullptr, 98, "base 98\r\nlevel1 98\r\n"},
      {TRUE, nullptr, 99, "base 99\r\nlevel1 99\r\nlevel99 99\r\n"},
  };
  const std::string strFile = tempFile("kvlog");
  for (const Row& row : rows) {
    DeleteFileA(strFile.c_str());
    CDetailLog log;
    log.kSetDetailLogFileSetting(row.bEnable, row.pszPath ? row.pszPath : strFile, row.dwLevel);
    log.kWriteLog("base %u\n", row.dwLevel);
    log.kWriteLogLevel1("level1 %u\n", row.dwLevel);
    log.kWriteLogLevel99("level99 %u\n", row.dwLevel);
    EXPECT_EQ(readFile(strFile), row.pszExpected) << "level " << row.dwLevel << " enable " << row.bEnable;
  }
  DeleteFileA(strFile.c_str());
}

TEST(DetailLog, EachLineIsAppendedAndResetsTheLastError) {
  const std::string strFile = tempFile("kvlog2");
  DeleteFileA(strFile.c_str());
  CDetailLog log;
  log.kSetDetailLogFileSetting(TRUE, strFile, 0);
  SetLastError(0xdeadbeef);
  log.kWriteLog("first %s\n", "line");
  EXPECT_EQ(GetLastError(), 0u);
  CDetailLog other;  // a second writer of the same file, as another thread would be
  other.kSetDetailLogFileSetting(TRUE, strFile, 0);
  other.kWriteLog("second\r\n");
  log.kWriteLog("third, no line end");
  EXPECT_EQ(readFile(strFile), "first line\r\nsecond\r\nthird, no line end");

  // A line that is not written costs nothing and leaves the last error alone.
  SetLastError(0xdeadbeef);
  log.kWriteLogLevel1("not written\n");
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  DeleteFileA(strFile.c_str());
}

TEST(DetailLog, TimestampForm) {
  const std::string strFile = tempFile("kvlog3");
  DeleteFileA(strFile.c_str());
  CDetailLog log;
  log.kSetDetailLogFileSetting(TRUE, strFile, 0);
  log.kWriteLogTime("started %d\n", 7);
  EXPECT_TRUE(std::regex_match(readFile(strFile), std::regex("\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2} started 7\r\n")))
      << readFile(strFile);
  DeleteFileA(strFile.c_str());
}

TEST(DetailLog, LevelComesFromTheRegistry) {
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, CDetailLog::kLogLevelKey);
  EXPECT_EQ(CDetailLog::kReadOutputLevel(), 0u);

  HKEY hKey = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, CDetailLog::kLogLevelKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &hKey, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(CDetailLog::kReadOutputLevel(), 0u);  // key without the value
  const DWORD dwLevel = 99;
  RegSetValueExA(hKey, "OutputLevel", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwLevel), sizeof(dwLevel));
  EXPECT_EQ(CDetailLog::kReadOutputLevel(), 99u);
  RegSetValueExA(hKey, "OutputLevel", 0, REG_SZ, reinterpret_cast<const BYTE*>("99"), 3);
  EXPECT_EQ(CDetailLog::kReadOutputLevel(), 0u);  // not a number the product wrote
  RegCloseKey(hKey);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, CDetailLog::kLogLevelKey);
}

}  // namespace
