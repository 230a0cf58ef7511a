// The installation report: the summary lines for each combination of the
// result flags, the installer's log after them byte for byte, and the old
// report kept whole when the new one cannot take its place.
#include <string>

#include "app/app_fixture.h"

namespace {

std::string readRaw(const std::string& strPath) {
  std::string strText;
  HANDLE h = CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return strText;
  char buffer[65536];
  DWORD dwRead = 0;
  while (ReadFile(h, buffer, sizeof(buffer), &dwRead, nullptr) && dwRead > 0) strText.append(buffer, dwRead);
  CloseHandle(h);
  return strText;
}

void writeRaw(const std::string& strPath, const std::string& strBytes) {
  HANDLE h = CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD dw = 0;
  ASSERT_TRUE(WriteFile(h, strBytes.data(), static_cast<DWORD>(strBytes.size()), &dw, nullptr));
  CloseHandle(h);
}

// The lines of the report (CR LF ends).
std::vector<std::string> lines(const std::string& strText) {
  std::vector<std::string> lst;
  size_t nStart = 0;
  for (;;) {
    const size_t nEnd = strText.find("\r\n", nStart);
    if (nEnd == std::string::npos) {
      lst.push_back(strText.substr(nStart));
      return lst;
    }
    lst.push_back(strText.substr(nStart, nEnd - nStart));
    nStart = nEnd + 2;
  }
}

class Report : public apptest::AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    m_pkg.writeUtf16("pkg\\DrvInst\\KV_MSG.INI",
                     u"[English]\nAFX_IDS_APP_TITLE=Test Setup\nIDS_LOGTITLE=Installation report\n"
                     u"IDS_LOG_KEY_DATE=Date\nIDS_LOG_KEY_VER=Version\nIDS_LOG_KEY_HOST=Computer\n"
                     u"IDS_LOG_KEY_USER=User\nIDS_LOG_KEY_OS=System\nIDS_LOG_KEY_SETUPKIND=Kind\n"
                     u"IDS_LOG_KEY_STATUS=Status\nIDS_ADDSELECTED=Add\nIDS_UPDATESELECTED=Update\n"
                     u"IDS_DELETESELECTED=Delete\nIDS_INSTSTAT_SUCCESS=SUCCESS\nIDS_INSTSTAT_FAILED=FAILED\n"
                     u"IDS_INSTSTAT_BREAKOFF=BREAKOFF\nIDS_INSTSTAT_WARNING=WARNING\n"
                     u"IDS_INSTSTAT_NEEDREBOOT=NEEDREBOOT\nIDS_DRIVERSNAMEWRITEERR=Names not written\n"
                     u"IDS_OVERDRIVERSNAMEKEY=No free name key\n");
    ASSERT_TRUE(m_app.m_pRscCommon->kCollectiveFileAnalyze());
    ASSERT_TRUE(m_app.kGetLocaleInfo(1));
    ASSERT_TRUE(CEnvironment::kGetOsVersionCheck());
    char szTemp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, szTemp);
    m_strTemp = szTemp;
    CreateDirectoryA(m_strTemp.c_str(), nullptr);
    m_app.m_strLogFile = m_strTemp + "INNELI.LOG";
    DeleteFileA(m_app.m_strLogFile.c_str());
  }
  void TearDown() override {
    DeleteFileA(m_app.m_strLogFile.c_str());
    AppFixture::TearDown();
  }
  // Report files left in the temporary folder besides the report.
  int leftovers() {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((m_strTemp + "KVIS*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do ++n;
    while (FindNextFileA(h, &data));
    FindClose(h);
    return n;
  }
  std::string m_strTemp;
};

TEST_F(Report, StatusWordsFollowTheFlagsInTheirOrder) {
  const std::string strIndent = std::string(std::string("Status : ").size(), ' ') + "\t\t\t";
  struct Row {
    int bError, bBreakOff, bWarning, bReboot;
    std::vector<std::string> lstWords;
  };
  const Row rows[] = {
      {0, 0, 0, 0, {"SUCCESS"}},
      {1, 0, 1, 0, {"FAILED", "WARNING"}},
      {0, 0, 0, 1, {"SUCCESS", "NEEDREBOOT"}},
      {0, 1, 0, 0, {"BREAKOFF"}},
      {1, 1, 1, 1, {"FAILED", "BREAKOFF", "WARNING", "NEEDREBOOT"}},
  };
  for (const Row& row : rows) {
    m_app.m_bInstallError = row.bError;
    m_app.m_bBreakOff = row.bBreakOff;
    m_app.m_bWarning = row.bWarning;
    m_app.m_bOSReboot = row.bReboot;
    DeleteFileA(m_app.m_strLogFile.c_str());
    m_app.kWriteKVISETUPLogInfo();
    const std::vector<std::string> lst = lines(readRaw(m_app.m_strLogFile));
    ASSERT_GE(lst.size(), 8u + row.lstWords.size());
    EXPECT_EQ(lst[7], "Status : \t\t" + row.lstWords[0]);
    for (size_t i = 1; i < row.lstWords.size(); ++i) EXPECT_EQ(lst[7 + i], strIndent + row.lstWords[i]);
    // Without a USB install the separator follows the status directly.
    EXPECT_EQ(lst[7 + row.lstWords.size()], "");
  }
}

TEST_F(Report, SummaryComesFirstAndTheInstallersLogFollowsUnchanged) {
  std::string strOld = "NELI: driver registered\r\nNELI: status 0x00000000\r\n";
  strOld += std::string("binary\0\x01\xff tail", 15);
  writeRaw(m_app.m_strLogFile, strOld);
  m_app.m_nSetupKind = SETUPKIND_UPDATE;
  m_app.kWriteKVISETUPLogInfo();
  const std::string strReport = readRaw(m_app.m_strLogFile);
  const std::vector<std::string> lst = lines(strReport);
  ASSERT_GE(lst.size(), 11u);
  EXPECT_EQ(lst[0], "Installation report");
  EXPECT_EQ(lst[1].rfind("Date : \t\t", 0), 0u) << lst[1];
  EXPECT_EQ(lst[1].size(), std::string("Date : \t\t2026/12/07 14:00:00").size()) << lst[1];
  EXPECT_EQ(lst[2].rfind("Version : \t", 0), 0u) << lst[2];
  EXPECT_EQ(lst[3].rfind("Computer : \t\t", 0), 0u) << lst[3];
  EXPECT_EQ(lst[4].rfind("User : \t\t", 0), 0u) << lst[4];
  EXPECT_EQ(lst[5].rfind("System : \t\t", 0), 0u) << lst[5];
  EXPECT_EQ(lst[6], "Kind : \t\tUpdate");
  EXPECT_EQ(lst[7], "Status : \t\tSUCCESS");
  EXPECT_EQ(lst[8], "");
  EXPECT_EQ(lst[9], "");
  // The separator is the line "\r\n": two line ends, then the old report
  // and one line end of its own.
  const size_t nAt = strReport.find("\r\n\r\n\r\n");
  ASSERT_NE(nAt, std::string::npos);
  EXPECT_EQ(strReport.substr(nAt + 6), strOld + "\r\n");
  EXPECT_EQ(leftovers(), 0);
}

TEST_F(Report, DriverNameFileFlagsAddTheirLines) {
  m_app.m_bDriversNameWriteErr = 1;
  m_app.m_bOverDriversNameKey = 1;
  m_app.m_nSetupKind = SETUPKIND_DELETE;
  m_app.kWriteKVISETUPLogInfo();
  const std::vector<std::string> lst = lines(readRaw(m_app.m_strLogFile));
  ASSERT_GE(lst.size(), 13u);
  EXPECT_EQ(lst[6], "Kind : \t\tDelete");
  EXPECT_EQ(lst[8], "Names not written");
  EXPECT_EQ(lst[9], "No free name key");
  // No installer log: only the separator and the empty piece follow.
  EXPECT_EQ(lst[10], "");
  EXPECT_EQ(lst[11], "");
  EXPECT_EQ(lst[12], "");
  EXPECT_EQ(lst.size(), 14u);
}

TEST_F(Report, AReportHeldOpenIsKeptWholeAndNothingIsLeftBehind) {
  const std::string strOld = "NELI: the installer's own words\r\n";
  writeRaw(m_app.m_strLogFile, strOld);
  HANDLE hHeld = CreateFileA(m_app.m_strLogFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr);
  ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
  m_app.kWriteKVISETUPLogInfo();
  CloseHandle(hHeld);
  EXPECT_EQ(readRaw(m_app.m_strLogFile), strOld);
  EXPECT_EQ(leftovers(), 0);
  EXPECT_NE(takeLog().find("the old report is kept"), std::string::npos);
}

TEST_F(Report, WithoutANewFileTheSummaryIsAppendedNotLost) {
  // The temporary folder takes no new file (here: the folder the system
  // names for new files does not exist); the report itself can still be
  // appended to, and the run's result must reach it.
  const std::string strOld = "NELI: the installer's own words\r\n";
  writeRaw(m_app.m_strLogFile, strOld);
  char szTmp[MAX_PATH + 1] = {};
  const DWORD dwTmp = GetEnvironmentVariableA("TMP", szTmp, sizeof szTmp);
  ASSERT_TRUE(SetEnvironmentVariableA("TMP", "C:\\NO SUCH FOLDER"));
  m_app.m_bInstallError = 1;
  m_app.kWriteKVISETUPLogInfo();
  SetEnvironmentVariableA("TMP", dwTmp > 0 && dwTmp < sizeof szTmp ? szTmp : nullptr);
  const std::string strReport = readRaw(m_app.m_strLogFile);
  EXPECT_EQ(strReport.rfind(strOld, 0), 0u) << strReport;
  EXPECT_NE(strReport.find("FAILED"), std::string::npos) << strReport;
  EXPECT_EQ(leftovers(), 0);
  EXPECT_NE(takeLog().find("the summary is appended to the report"), std::string::npos);
}

TEST_F(Report, ACancelledRunIsNoSuccess) {
  m_app.m_bCancel = 1;
  m_app.kWriteKVISETUPLogInfo();
  const std::string strReport = readRaw(m_app.m_strLogFile);
  EXPECT_NE(strReport.find("BREAKOFF"), std::string::npos) << strReport;
  EXPECT_EQ(strReport.find("SUCCESS"), std::string::npos) << strReport;
}

TEST_F(Report, SystemDescriptionOfA64BitWorkstation) {
  // The default machine: Windows 7 SP1, x64 workstation.
  EXPECT_EQ(m_app.kGetCurrentOSName(), "6.1.2.1 (x64) Service Pack 1");
}

TEST_F(Report, WriteLogFileAppendsALineAndRefusesAnEmptyPath) {
  const std::string strPath = m_strTemp + "line.txt";
  DeleteFileA(strPath.c_str());
  EXPECT_TRUE(m_app.kWriteLogFile(strPath, "one"));
  EXPECT_TRUE(m_app.kWriteLogFile(strPath, "two"));
  EXPECT_EQ(readRaw(strPath), "one\r\ntwo\r\n");
  DeleteFileA(strPath.c_str());
  EXPECT_FALSE(m_app.kWriteLogFile("", "x"));
  EXPECT_NE(takeLog().find("CKV_SETUPApp::kWriteLogFile() return FALSE (1) strPath is empty."), std::string::npos);
}

}  // namespace
