// A scratch machine of its own for every test of the installation engine,
// an application object on it with the Setup API bound, and the detail log
// in a file the test reads back.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "app/kv_setup_app.h"
#include "kernel32/environ.h"
#include "machine.h"
#include "platform/win32.h"
#include "system/environment.h"
#include "system/program_log.h"

namespace installtest {

class MachineTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* env = std::getenv("KVSIM_ROOT");
    m_strSaved = env ? env : "";
    std::random_device rd;
    m_root = std::filesystem::temp_directory_path() / ("kvinstall-" + std::to_string(rd()) + std::to_string(rd()));
    std::string error;
    ASSERT_TRUE(winsim::createMachine(m_root, winsim::kDefaultTemplate, &error)) << error;
    setenv("KVSIM_ROOT", m_root.c_str(), 1);
    winsim::resetMachineRoot();
    winsim::resetEnvironmentBlock();
    ASSERT_TRUE(CEnvironment::kGetOsVersionCheck());
    // The application switches the detail log off when it is made.
    m_app = std::make_unique<CKV_SETUPApp>();
    m_strLog = (m_root / "detail.log").string();
    kProgramLog().kSetDetailLogFileSetting(TRUE, "Z:" + m_strLog, 99);
    ASSERT_EQ(m_app->m_pDriverInfomation->VEXOInitialize("C:\\KV\\INSTDLL\\DrvInst"), VEXOERR_SUCCESS);
    char szDir[MAX_PATH] = {};
    DWORD cb = 0;
    ASSERT_TRUE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(szDir), sizeof szDir, &cb));
    m_strDriverDir = std::string(szDir) + "\\3";
  }
  void TearDown() override {
    kProgramLog().kSetDetailLogFileSetting(FALSE, "", 0);
    m_app.reset();
    setenv("KVSIM_ROOT", m_strSaved.c_str(), 1);
    winsim::resetMachineRoot();
    winsim::resetEnvironmentBlock();
    std::error_code ec;
    std::filesystem::remove_all(m_root, ec);
  }

  // Writes a file of the machine, given its Windows path.
  static void put(const std::string& strWinPath, const std::string& strBytes) {
    const auto host = winsim::hostPath(strWinPath);
    ASSERT_TRUE(host.has_value()) << strWinPath;
    std::filesystem::create_directories(host->parent_path());
    std::ofstream(*host, std::ios::binary) << strBytes;
  }
  static bool exists(const std::string& strWinPath) {
    const auto host = winsim::hostPath(strWinPath);
    std::error_code ec;
    return host && std::filesystem::exists(*host, ec);
  }
  static std::string read(const std::string& strWinPath) {
    const auto host = winsim::hostPath(strWinPath);
    if (!host) return {};
    std::ifstream in(*host, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string log() const {
    std::ifstream in(m_strLog);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // Sets a file's last-write time (seconds since 1970, UTC).
  static void setTime(const std::string& strWinPath, long long llSeconds) {
    HANDLE h = CreateFileA(strWinPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << strWinPath;
    const unsigned long long ull = (static_cast<unsigned long long>(llSeconds) + 11644473600ULL) * 10000000ULL;
    FILETIME ft{static_cast<DWORD>(ull), static_cast<DWORD>(ull >> 32)};
    EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
    CloseHandle(h);
  }
  // A version-3 driver of this system registered with the spooler, its
  // files in the driver directory.
  void addDriver(const std::string& strName, const std::string& strDriverFile) {
    put(m_strDriverDir + "\\" + strDriverFile, "MZ driver");
    put(m_strDriverDir + "\\KVUI.DLL", "MZ ui");
    put(m_strDriverDir + "\\KV.GPD", "*GPD");
    DRIVER_INFO_3A info{};
    info.cVersion = 3;
    info.pName = const_cast<LPSTR>(strName.c_str());
    std::string strPath = m_strDriverDir + "\\" + strDriverFile;
    std::string strUi = m_strDriverDir + "\\KVUI.DLL";
    std::string strData = m_strDriverDir + "\\KV.GPD";
    info.pDriverPath = strPath.data();
    info.pConfigFile = strUi.data();
    info.pDataFile = strData.data();
    ASSERT_TRUE(AddPrinterDriverExA(nullptr, 3, reinterpret_cast<LPBYTE>(&info), APD_COPY_NEW_FILES))
        << GetLastError();
  }
  void addPrinter(const std::string& strName, const std::string& strDriver, const char* pszPort = "LPT1:") {
    PRINTER_INFO_2A info{};
    info.pPrinterName = const_cast<LPSTR>(strName.c_str());
    info.pDriverName = const_cast<LPSTR>(strDriver.c_str());
    info.pPortName = const_cast<LPSTR>(pszPort);
    info.pPrintProcessor = const_cast<LPSTR>("WinPrint");
    info.pDatatype = const_cast<LPSTR>("RAW");
    HANDLE h = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    ASSERT_NE(h, nullptr) << GetLastError();
    ClosePrinter(h);
  }
  // The candidate of a driver for this system.
  CCandidateDriver candidate(const std::string& strName, const std::string& strDriverFile) const {
    CCandidateDriver c;
    c.strDriverName = strName;
    c.strDriverFile = strDriverFile;
    c.dwInfOSVersion = 3;
    c.strPlatform = CEnvironment::kIsAMD64() ? "NTamd64" : "NTx86";
    c.pDriverFileList = std::make_shared<CDriverFileList>();
    return c;
  }

  std::filesystem::path m_root;
  std::string m_strSaved;
  std::string m_strLog;
  std::string m_strDriverDir;
  std::unique_ptr<CKV_SETUPApp> m_app;
};

}  // namespace installtest
