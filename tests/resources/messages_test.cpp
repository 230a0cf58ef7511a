// Message boxes, numbered message IDs and the detail-log settings of the
// resource component.
#include <gtest/gtest.h>

#include <string>

#include "resources/rsc_common.h"
#include "resources_wine/rsc_test_package.h"

using rsctest::ScratchPackage;

namespace {

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

class Messages : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pkg.makeDir("pkg\\DrvInst");
    m_pkg.writeAnsi("pkg\\ResourceDef.ini",
                    "[Precondition]\nDefaultLangID=0x0409\n" +
                        rsctest::langSection("English", "ENU", "EN", "0x0409", "0x09", "Y", "MSG.INI"));
    m_pkg.writeUtf16("pkg\\DrvInst\\KV_MSG.INI", u"[English]\nIDS_A=one\n");
    m_rsc.kSetModulePath(m_pkg.folder());
  }

  ScratchPackage m_pkg;
  CRscCommon m_rsc{"KV_"};
};

TEST(MessageText, DetailsFollowOnLinesOfTheirOwn) {
  struct Row {
    const char* pszText;
    const char* pszDetail1;
    const char* pszDetail2;
    const char* pszExpected;
  } rows[] = {
      {"Copy failed.", "", "", "Copy failed."},
      {"Copy failed.", "C:\\a.dll", "", "Copy failed.\nC:\\a.dll"},
      {"Copy failed.", "", "key", "Copy failed.\nkey"},
      {"Copy failed.", "C:\\a.dll", "key", "Copy failed.\nC:\\a.dll\nkey"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(CRscMsg::kAppendDetail(row.pszText, row.pszDetail1, row.pszDetail2), row.pszExpected);
  }
}

TEST_F(Messages, MissingIdShownOnRequest) {
  ASSERT_TRUE(m_rsc.kCollectiveFileAnalyze() && m_rsc.kTempDecideLanguage("en")) << m_rsc.kGetErrorMessage();
  m_rsc.kSetCaption("Caption");
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_MISSING", 1), "");
  // The box showed the description of the missing message, which stays.
  EXPECT_EQ(m_rsc.kGetErrorMessage().rfind("There is not a message text of the message ID.\nID=IDS_MISSING", 0), 0u)
      << m_rsc.kGetErrorMessage();
  EXPECT_EQ(m_rsc.kDispMessageBox("Text", "", MB_OK | MB_ICONEXCLAMATION), IDOK);
}

TEST_F(Messages, NumberedIdsNeedAStringResource) {
  ASSERT_TRUE(m_rsc.kCollectiveFileAnalyze() && m_rsc.kTempDecideLanguage("en"));
  EXPECT_EQ(m_rsc.kGetMessageText(0x10000u), "");
  EXPECT_EQ(m_rsc.kGetErrorMessage(), "Argument error.\nFunction=CRscCommon::kGetMessageText, code=1");
  EXPECT_EQ(m_rsc.kGetMessageText(54321u), "");
  EXPECT_EQ(m_rsc.kGetErrorMessage().rfind("Windows API error.\nAPI=LoadString, LastCode=", 0), 0u);
}

TEST_F(Messages, DetailLogSettingsReachEveryPart) {
  const std::string strLog = m_pkg.root() + "detail.log";
  struct Row {
    BOOL bEnable;
    DWORD dwLevel;
    bool bErrors;  // error lines of the parts
    bool bInfo;    // information lines
    bool bTrace;   // trace lines
  } rows[] = {{FALSE, 99, false, false, false},
              {TRUE, 0, true, false, false},
              {TRUE, 1, true, true, false},
              {TRUE, 99, true, true, true}};
  for (const Row& row : rows) {
    DeleteFileA(strLog.c_str());
    CRscCommon rsc("KV_");
    rsc.kSetModulePath(m_pkg.folder());
    rsc.kSetDetailLogFileSetting(row.bEnable, strLog, row.dwLevel);
    ASSERT_TRUE(rsc.kCollectiveFileAnalyze());
    ASSERT_TRUE(rsc.kTempDecideLanguage("en"));
    (void)rsc.kGetMessageText("IDS_A");
    (void)rsc.kGetMessageText("IDS_MISSING");
    const std::string strText = readFile(strLog);
    const std::string strRow = "enable " + std::to_string(row.bEnable) + " level " + std::to_string(row.dwLevel);
    EXPECT_EQ(strText.find("CRscMsg::kGetMessge() return (2)") != std::string::npos, row.bErrors) << strRow;
    EXPECT_EQ(strText.find("CRscLanguage::kSearchLanguage() return TRUE") != std::string::npos, row.bInfo)
        << strRow;
    EXPECT_EQ(strText.find("CRscIRCFile::kIRCFileAnalysis() return TRUE") != std::string::npos, row.bInfo)
        << strRow;
    EXPECT_EQ(strText.find("CRscCommonInfo::kGetPrivateProfile() return TRUE") != std::string::npos, row.bTrace)
        << strRow;
    EXPECT_EQ(strText.find("CRscMsg::kGetMessge() return (1)") != std::string::npos, row.bTrace) << strRow;
  }
}

}  // namespace
