// The start-up of the real kv_setup on the test machine: the detail log it
// leaves and the exit it ends with, from the command line to the setup
// configuration.
#include <filesystem>
#include <fstream>
#include <string>

#include "app_fixture.h"
#include "kv_source_dir.h"

namespace {

class Startup : public apptest::AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    kProgramLog().kSetDetailLogFileSetting(FALSE, "", 0);
    // The program finds its package beside itself.
    m_strExe = m_pkg.folder() + "kv_setup";
    const std::string strHost = kHostPath(m_strExe);
    std::error_code ec;
    std::filesystem::copy_file(KV_SETUP_EXE, strHost, std::filesystem::copy_options::overwrite_existing, ec);
    ASSERT_FALSE(ec) << ec.message() << " " << strHost;
    setOutputLevel(99);
    char szTemp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, szTemp);
    m_strDetailLog = std::string(szTemp) + "KV_SETUPDetail.LOG";
  }
  void TearDown() override {
    setOutputLevel(0);
    AppFixture::TearDown();
  }

  // Where the test process itself finds a file of the machine.
  static std::string kHostPath(const std::string& strWinPath) {
    char szHost[4096] = {};
    // The package lies on C:, which is the machine root's drive_c.
    const std::string strRoot = std::getenv("KVSIM_ROOT");
    std::string strRest = strWinPath.substr(2);
    for (char& c : strRest) {
      if (c == '\\') c = '/';
    }
    std::snprintf(szHost, sizeof(szHost), "%s/drive_c%s", strRoot.c_str(), strRest.c_str());
    return szHost;
  }

  static void setOutputLevel(DWORD dwLevel) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\HALVERN\\IMG\\DI\\LOG", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(hKey, "OutputLevel", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwLevel), sizeof(dwLevel));
    RegCloseKey(hKey);
  }

  // Runs kv_setup with the arguments; its exit code. A start-up that
  // passes reaches the licence page, which the run's UI script cancels.
  DWORD run(const std::string& strArguments, bool bReachesWizard = false) {
    const std::filesystem::path script = std::filesystem::temp_directory_path() / "kv-startup-cancel.txt";
    if (bReachesWizard) {
      std::ofstream(script) << "page 1000: cancel\n";
      setenv("KVSIM_UI", ("script:" + script.string()).c_str(), 1);
    }
    const DWORD dwExit = runProgram(strArguments);
    if (bReachesWizard) unsetenv("KVSIM_UI");
    return dwExit;
  }
  DWORD runProgram(const std::string& strArguments) {
    std::string strCommand = "\"" + m_strExe + "\" " + strArguments;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, strCommand.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      ADD_FAILURE() << "CreateProcessA " << GetLastError();
      return 0xFFFFFFFF;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD dwExit = 0xFFFFFFFF;
    GetExitCodeProcess(pi.hProcess, &dwExit);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return dwExit;
  }

  std::string detailLog() const { return apptest::readText(m_strDetailLog); }
  static bool has(const std::string& strText, const std::string& strPart) {
    return strText.find(strPart) != std::string::npos;
  }

  std::string m_strExe;
  std::string m_strDetailLog;
};

TEST_F(Startup, UnknownSwitchIsReportedThroughTheValidation) {
  EXPECT_EQ(run("+X"), 16u);
  const std::string strLog = detailLog();
  EXPECT_TRUE(has(strLog, "************     KV_SETUP Detail Log    ****************\n")) << strLog;
  EXPECT_TRUE(has(strLog, "CKV_SETUPApp::kGetCommandLine() strCommandLine = [+X]\n")) << strLog;
  EXPECT_TRUE(has(strLog, "CKV_SETUPApp::kGetCommandLine() return FALSE (5)\n")) << strLog;
  EXPECT_TRUE(has(strLog, "CKV_SETUPApp::kAnalysisCommandLine() return FALSE (1) ")) << strLog;
  EXPECT_TRUE(has(strLog, "CKV_SETUPApp::InitInstance() return FALSE (16) ")) << strLog;
  EXPECT_TRUE(has(strLog, "OS Ver = [128]\n")) << strLog;
  // The scan comes before the validation.
  EXPECT_LT(strLog.find("kGetCommandLine() return FALSE (5)"), strLog.find("kAnalysisCommandLine() return FALSE (1)"));
}

TEST_F(Startup, RebootChoiceWithoutBatchModeIsRefused) {
  EXPECT_EQ(run("+E:1"), 16u);
  const std::string strLog = detailLog();
  EXPECT_TRUE(has(strLog, "CKV_SETUPApp::kAnalysisCommandLine() return FALSE (8) ")) << strLog;
  EXPECT_TRUE(has(strLog, "  [Bad option.\n+E:1]\n")) << strLog;
}

TEST_F(Startup, ConfigurationDecidesTheEnd) {
  const struct {
    const char* pszIni;  // nullptr: no configuration file
    const char* pszArguments;
    DWORD dwExit;
    const char* pszLogPart;
  } rows[] = {
      {"[Setup]\nRebootLevel=7\n", "", 23, "  [Bad configuration.\n"},
      {nullptr, "", 22, "CKV_SETUPApp::InitInstance() return FALSE (22) "},
      {"[Setup]\nRebootLevel=2\nUSBInst=OFF\n", "", 0, "CKV_SETUPApp::InitInstance() return TRUE\n"},
      {"[Setup]\n", "+S", 6, "CKV_SETUPApp::InitInstance() return FALSE (6) "},
  };
  for (const auto& row : rows) {
    const std::string strIni = m_pkg.folder() + "KVISETUP.INI";
    DeleteFileA(strIni.c_str());
    if (row.pszIni) m_pkg.writeAnsi("pkg\\KVISETUP.INI", row.pszIni);
    EXPECT_EQ(run(row.pszArguments, row.dwExit == 0), row.dwExit) << (row.pszIni ? row.pszIni : "(none)");
    const std::string strLog = detailLog();
    EXPECT_TRUE(has(strLog, row.pszLogPart)) << strLog;
    if (row.dwExit == 23) {
      // The message names the file and the key.
      EXPECT_TRUE(has(strLog, "KVISETUP.INI\nRebootLevel]\n")) << strLog;
      EXPECT_TRUE(has(strLog, "CKVISetupIniInfo::kOpenRead() return FALSE (10) ")) << strLog;
    }
  }
}

TEST_F(Startup, ASilentBatchRunEndsWithTheNumberOfItsFailedStartUp) {
  // Under +1 no box is shown; the exit number is then all the caller learns,
  // and 0 would tell it the setup succeeded.
  m_pkg.writeAnsi("pkg\\KVISETUP.INI", "[Setup]\nRebootLevel=7\n");
  EXPECT_EQ(run("+B +1 +N:P,Q"), 23u);
  const std::string strLog = detailLog();
  EXPECT_TRUE(has(strLog, "CKV_SETUPApp::kDispErrorMessage() IDS_ERR_READINIFILE shown=0\n")) << strLog;
  EXPECT_TRUE(has(strLog, "CKV_SETUPApp::ExitInstance() return [23]\n")) << strLog;
}

TEST_F(Startup, WithoutALevelTheDetailLogOfACleanRunIsRemoved) {
  m_pkg.writeAnsi("pkg\\KVISETUP.INI", "[Setup]\nUSBInst=OFF\n");
  setOutputLevel(0);
  EXPECT_EQ(run("", true), 0u);
  EXPECT_FALSE(GetFileAttributesA(m_strDetailLog.c_str()) != INVALID_FILE_ATTRIBUTES);
  setOutputLevel(1);
  EXPECT_EQ(run("", true), 0u);
  EXPECT_TRUE(GetFileAttributesA(m_strDetailLog.c_str()) != INVALID_FILE_ATTRIBUTES);
}

TEST_F(Startup, AFailedAnalysisLeavesItsNumberedLinesInTheDetailLog) {
  // A package whose description file holds a value the analysis refuses.
  const std::filesystem::path source = std::filesystem::path(KV_SOURCE_DIR) / "tests/data/packages/bad_need_reboot";
  for (const char* pszFile : {"KVTEST.INF", "DRVINST.DSC", "KVDRV.DLL"}) {
    std::error_code ec;
    std::filesystem::copy_file(source / pszFile, kHostPath(m_pkg.folder() + pszFile),
                               std::filesystem::copy_options::overwrite_existing, ec);
    ASSERT_FALSE(ec) << ec.message() << " " << pszFile;
  }
  m_pkg.writeAnsi("pkg\\KVISETUP.INI", "[Setup]\nUSBInst=ON\n");
  EXPECT_EQ(run(""), 32u);
  const std::string strLog = detailLog();
  // The reader's refusal, the builder's exit and the caller's, in that order.
  const size_t nReader = strLog.find("CCandidateDriverInfomation::kGetNeedReboot() return FALSE (1) NeedReboot=[YES]\n");
  const size_t nBuilder = strLog.find("CCandidateDriverInfomation::kMakeCandidateDriverList() return [4] (10) ");
  const size_t nCaller = strLog.find("CKV_SETUPApp::InitInstance() return FALSE (32) ");
  ASSERT_NE(nReader, std::string::npos) << strLog;
  ASSERT_NE(nBuilder, std::string::npos) << strLog;
  ASSERT_NE(nCaller, std::string::npos) << strLog;
  EXPECT_LT(nReader, nBuilder);
  EXPECT_LT(nBuilder, nCaller);
  // Level 99 also brings the lines of the INF reading and of the facade.
  EXPECT_TRUE(has(strLog, "CSetupApi::kSetupOpenInfFile() return [")) << strLog;
  EXPECT_TRUE(has(strLog, "CDriverInfomation::VEXOInitialize() return ")) << strLog;
}

}  // namespace
