// The application object of the wizard's tests (SETUP_GLOBAL, as the pages
// read it), reset to a fresh run's state, with a frame window, a package
// of candidates and a setup configuration the test may change.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/kv_setup_app.h"
#include "app/window_messages.h"
#include "platform/win32.h"
#include "user32/ui.h"
#include "wizard/kvi_dlg_form.h"

namespace wiztest {

namespace fs = std::filesystem;

inline CCandidateDriver candidate(const std::string& strName, DWORD dwVersion = 3, BOOL bUsb = FALSE,
                                  const char* pszPlatform = "NTamd64") {
  CCandidateDriver cde;
  cde.strDriverName = strName;
  cde.strModelName = strName;
  cde.dwInfOSVersion = dwVersion;
  cde.bUSBPermit = bUsb;
  cde.strPlatform = pszPlatform;
  return cde;
}

class WizardFixture : public testing::Test {
 protected:
  void SetUp() override {
    CKV_SETUPApp& app = SETUP_GLOBAL;
    static bool bRegistered = false;
    if (!bRegistered) {
      // The OS kind the frame's choices read (Windows 2000 and later).
      (void)CEnvironment::kGetOsVersionCheck();
      app.kRegisterMessageID();
      CMainFrame::kRegisterClass();
      bRegistered = true;
    }
    resetApp();
    m_dir = fs::temp_directory_path() / ("kvwiz-" + std::to_string(::getpid()) + "-" +
                                         testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(m_dir);
    setenv("KVSIM_TRANSCRIPT", (m_dir / "transcript.log").c_str(), 1);
  }
  void TearDown() override {
    dropQuit();
    CKVIDlgForm::kSetPageRunner(nullptr);
    SETUP_GLOBAL.m_pSetupIniInfo = nullptr;
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }

  // A destroyed frame leaves WM_QUIT in the thread's queue; it would end the
  // next modal page at once.
  static void dropQuit() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }

  static void resetApp() {
    CKV_SETUPApp& app = SETUP_GLOBAL;
    app.m_bOSReboot = app.m_bInstallError = app.m_bBreakOff = app.m_bWarning = app.m_bSuccess = 0;
    app.m_bRebootSelected = app.m_bCancel = 0;
    app.m_nSetupKind = SETUPKIND_ADD;
    app.m_bNQAvailable = app.m_bNetworkSearch = app.m_bUSBDriverExist = app.m_bUSBInstall = 0;
    app.m_bBSwitch = app.m_bQSwitch = app.m_bESwitch = app.m_bDivertPrinter = 0;
    app.m_nRebootMethod = RebootMethod_Undecided;
    app.m_bShowLicensePage = app.m_bShowCompletePage = 1;
    app.m_lstSetupCandidate.clear();
    app.m_lstUpdatePrinters.clear();
    app.m_pDriverInfomation->VEXOGetCandidateDriverList().clear();
    app.m_CDE = CCandidateDriver();
    app.m_pSetupIniInfo = nullptr;
    app.m_strLogFile.clear();
  }

  // A UI script for the next pages, and a fresh renderer to read it.
  void useScript(const std::string& strText) {
    const fs::path path = m_dir / "ui.txt";
    std::ofstream(path) << strText;
    setenv("KVSIM_UI", ("script:" + path.string()).c_str(), 1);
    winsim::ui::resetRendererForTests();
  }
  std::string transcript() const {
    std::ifstream in(m_dir / "transcript.log");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // A file under the scratch folder, as the program opens it.
  std::string writeFile(const std::string& strName, const std::string& strText) {
    const fs::path path = m_dir / strName;
    std::ofstream(path, std::ios::binary) << strText;
    std::string strWin = "Z:" + path.string();
    for (char& c : strWin) {
      if (c == '/') c = '\\';
    }
    return strWin;
  }

  CSetupIniSettings m_ini;
  fs::path m_dir;
};

}  // namespace wiztest
