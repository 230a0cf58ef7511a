// A scratch driver package with a small message catalogue of its own, an
// application object that uses it, and the detail log in a file the test
// reads back.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/kv_setup_app.h"
#include "platform/win32.h"
#include "resources_wine/rsc_test_package.h"
#include "system/program_log.h"

namespace apptest {

inline std::string readText(const std::string& strPath) {
  std::string strText;
  HANDLE h = CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return strText;
  char buffer[4096];
  DWORD dwRead = 0;
  while (ReadFile(h, buffer, sizeof(buffer), &dwRead, nullptr) && dwRead > 0) strText.append(buffer, dwRead);
  CloseHandle(h);
  // The log is written with CR LF; the tests compare with "\n" alone.
  std::string strOut;
  for (char c : strText) {
    if (c != '\r') strOut.push_back(c);
  }
  return strOut;
}

// The catalogue texts the tests expect in message boxes.
inline constexpr const char kCmdLineText[] = "Bad option.";
inline constexpr const char kOrSwitchText[] = "Give both:";
inline constexpr const char kKeepOnText[] = "Cannot go on.";
inline constexpr const char kReadIniText[] = "Bad configuration.";

class AppFixture : public testing::Test {
 protected:
  void SetUp() override {
    m_pkg.makeDir("pkg\\DrvInst");
    m_pkg.writeAnsi("pkg\\ResourceDef.ini",
                    "[Precondition]\nDefaultLangID=0x0409\n" +
                        rsctest::langSection("English", "ENU", "EN", "0x0409", "0x09", "Y", "MSG.INI"));
    m_pkg.writeUtf16("pkg\\DrvInst\\KV_MSG.INI",
                     u"[English]\nAFX_IDS_APP_TITLE=Test Setup\nIDS_ERR_CMDLINE=Bad option.\n"
                     u"IDS_ERR_OR_SWITCH=Give both:\nIDS_ERR_CANNOT_KEEPON=Cannot go on.\n"
                     u"IDS_ERR_READINIFILE=Bad configuration.\n");
    m_app.m_pRscCommon->kSetModulePath(m_pkg.folder());
    ASSERT_TRUE(m_app.m_pRscCommon->kCollectiveFileAnalyze()) << m_app.m_pRscCommon->kGetErrorMessage();
    ASSERT_TRUE(m_app.kGetLocaleInfo(1)) << m_app.m_pRscCommon->kGetErrorMessage();
    m_app.m_strModulePath = m_pkg.folder();
    m_strLog = m_pkg.root() + "detail.log";
    kProgramLog().kSetDetailLogFileSetting(TRUE, m_strLog, 99);
  }
  void TearDown() override {
    kProgramLog().kSetDetailLogFileSetting(FALSE, "", 0);
    if (m_app.m_hMainWnd) DestroyWindow(m_app.m_hMainWnd);
  }

  // The detail log so far, and then empty.
  std::string takeLog() {
    const std::string strText = readText(m_strLog);
    DeleteFileA(m_strLog.c_str());
    return strText;
  }

  rsctest::ScratchPackage m_pkg;
  CKV_SETUPApp m_app;
  std::string m_strLog;
};

}  // namespace apptest
