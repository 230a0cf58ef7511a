// The installation thread's steps on the system itself (run under Wine by
// the MinGW build, and on winsim natively): the INF copied into the INF
// store, a compressed driver file expanded into the driver directory
// through a temporary name, the spooler stopped and started again, and the
// driver registered. Plug and play has no part here.
//
// Departures of Wine: SetupCopyOEMInfA keeps the INF's own name in the INF
// store (Windows and winsim make an "oemN.inf"), recorded with
// KV_WINE_DEPARTS. Allowed for without a check:
// - The spooler service is stopped in a fresh prefix and nothing depends on
//   it (no dependent service is stopped and started with it); winspool
//   works whatever its state.
// - AddPrinterDriverExA checks little: a registration succeeds without the
//   files being real drivers.
#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>

#include "app/kv_setup_app.h"
#include "driverinfo/candidate_driver.h"
#include "install/install_engine.h"
#include "platform/win32.h"
#include "support/conformance.h"
#include "support/scratch.h"
#include "support/szdd_encoder.h"
#include "system/environment.h"
#include "system/spooler_infomation.h"

namespace {

constexpr const char kDriverName[] = "KV Wine Steps Test";
constexpr const char kInf[] =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n"
    "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\nProvider=%KV%\r\nDriverVer=01/01/2026,1.0.0.0\r\n\r\n"
    "[Manufacturer]\r\n%KV%=KVModels,NTamd64\r\n\r\n[KVModels.NTamd64]\r\n\"KV Wine Steps Test\"=KVSTEP\r\n\r\n"
    "[KVSTEP]\r\nCopyFiles=KVFILES\r\nDriverFile=KVSTEP.DLL\r\n\r\n[KVFILES]\r\nKVSTEP.DLL\r\n\r\n"
    "[DestinationDirs]\r\nDefaultDestDir=66000\r\n\r\n[Strings]\r\nKV=\"KV Test\"\r\n";

std::string driverDirectory() {
  char szDir[MAX_PATH] = {};
  DWORD cb = 0;
  if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(szDir), sizeof szDir, &cb)) return {};
  return szDir;
}

long long sizeOf(const std::string& strPath) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// The names in a folder matching a pattern.
int countMatching(const std::string& strPattern) {
  WIN32_FIND_DATAA data{};
  HANDLE h = FindFirstFileA(strPattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do ++n;
  while (FindNextFileA(h, &data));
  FindClose(h);
  return n;
}

bool driverRegistered(const char* pszName) {
  DWORD cbNeeded = 0, dwCount = 0;
  EnumPrinterDriversA(nullptr, nullptr, 3, nullptr, 0, &cbNeeded, &dwCount);
  if (cbNeeded == 0) return false;
  std::string buf(cbNeeded, '\0');
  if (!EnumPrinterDriversA(nullptr, nullptr, 3, reinterpret_cast<LPBYTE>(buf.data()), cbNeeded, &cbNeeded, &dwCount)) {
    return false;
  }
  const auto* p = reinterpret_cast<const DRIVER_INFO_3A*>(buf.data());
  for (DWORD i = 0; i < dwCount; ++i) {
    if (p[i].pName && lstrcmpiA(p[i].pName, pszName) == 0) return true;
  }
  return false;
}

// The spooler's state; 0 when it cannot be asked.
DWORD spoolerState() {
  SC_HANDLE hManager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!hManager) return 0;
  SC_HANDLE hService = OpenServiceA(hManager, "Spooler", SERVICE_QUERY_STATUS | SERVICE_START);
  DWORD dwState = 0;
  SERVICE_STATUS status{};
  if (hService && QueryServiceStatus(hService, &status)) dwState = status.dwCurrentState;
  if (hService) CloseServiceHandle(hService);
  CloseServiceHandle(hManager);
  return dwState;
}

void startSpooler() {
  SC_HANDLE hManager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!hManager) return;
  if (SC_HANDLE hService = OpenServiceA(hManager, "Spooler", SERVICE_START)) {
    StartServiceA(hService, 0, nullptr);
    CloseServiceHandle(hService);
  }
  CloseServiceHandle(hManager);
  for (int i = 0; i < 100 && spoolerState() != SERVICE_RUNNING; ++i) Sleep(50);
}

class InstallStepsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CEnvironment::kGetOsVersionCheck());
    m_app = std::make_unique<CKV_SETUPApp>();
    m_package = kvtest::scratchDir("steps");
    ASSERT_EQ(m_app->m_pDriverInfomation->VEXOInitialize(m_package.c_str()), VEXOERR_SUCCESS);
    m_strDriverDir = driverDirectory();
    ASSERT_FALSE(m_strDriverDir.empty());
  }
  void TearDown() override {
    DeleteFileA((m_strDriverDir + "\\KVSTEP.DLL").c_str());
    m_app.reset();
    kvtest::removeScratchDir(m_package);
  }
  std::unique_ptr<CKV_SETUPApp> m_app;
  std::string m_package;
  std::string m_strDriverDir;
};

TEST_F(InstallStepsTest, TheStepsCopyExpandAndRegisterTheDriver) {
  // The payload, stored compressed as the package stores its files.
  std::string strPayload(6000, '\0');
  for (size_t i = 0; i < strPayload.size(); ++i) strPayload[i] = static_cast<char>("KVSTEP driver "[i % 14]);
  kvtest::writeFile(m_package, "KVSTEP.DL_", kvtest::szddEncode(strPayload, 'L'));
  const std::string strInf = kvtest::writeFile(m_package, "KVSTEP.INF", kInf);

  // 3. INF copy into the INF store.
  char szDest[MAX_PATH] = {};
  BOOL bFailed = FALSE;
  ASSERT_TRUE(m_app->m_pDriverInfomation->kSetupCopyOEMInf(strInf.c_str(), nullptr, SPOST_PATH, 0, szDest, MAX_PATH,
                                                           nullptr, nullptr, &bFailed))
      << GetLastError();
  EXPECT_NE(GetFileAttributesA(szDest), INVALID_FILE_ATTRIBUTES) << szDest;
  std::string strDestName = szDest;
  strDestName = strDestName.substr(strDestName.find_last_of('\\') + 1);
  KV_WINE_DEPARTS("SetupCopyOEMInfA keeps the INF's own name in the INF store") {
    for (char& c : strDestName) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(strDestName.rfind("OEM", 0), 0u) << szDest;
  }

  // 4. Stop, 5. the copy, 6. start: the spooler runs again afterwards. (A
  // fresh Wine prefix has it stopped: it is started first.)
  startSpooler();
  ASSERT_EQ(spoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
  m_app->m_pSpoolerInfomation->kStopSpoolerService();
  EXPECT_EQ(spoolerState(), static_cast<DWORD>(SERVICE_STOPPED));
  const std::string strTarget = m_strDriverDir + "\\KVSTEP.DLL";
  ASSERT_TRUE(CInstallEngine::kCopyThroughTemporary(*m_app, m_package + "\\KVSTEP.DL_", strTarget))
      << GetLastError();
  EXPECT_EQ(sizeOf(strTarget), static_cast<long long>(strPayload.size()));
  EXPECT_EQ(countMatching(m_strDriverDir + "\\KVI*.tmp"), 0) << "no temporary file is left";
  EXPECT_TRUE(m_app->m_pSpoolerInfomation->kStartSpoolerService());
  EXPECT_EQ(spoolerState(), static_cast<DWORD>(SERVICE_RUNNING));

  // A short compressed file is a failed copy and leaves the target alone.
  std::string strShort = kvtest::szddEncode(strPayload, 'L');
  strShort.resize(strShort.size() / 2);
  kvtest::writeFile(m_package, "SHORT.DL_", strShort);
  EXPECT_FALSE(CInstallEngine::kCopyThroughTemporary(*m_app, m_package + "\\SHORT.DL_", strTarget));
  EXPECT_EQ(sizeOf(strTarget), static_cast<long long>(strPayload.size()));
  EXPECT_EQ(countMatching(m_strDriverDir + "\\KVI*.tmp"), 0);

  // 8. Registration of the driver from the driver directory.
  CCandidateDriver cde;
  cde.strDriverName = kDriverName;
  cde.strDriverFile = "KVSTEP.DLL";
  cde.strConfigFile = "KVSTEP.DLL";
  cde.strDataFile = "KVSTEP.DLL";
  cde.dwInfOSVersion = 3;
  cde.pDriverFileList = std::make_shared<CDriverFileList>();
  CDriverFile file;
  file.strFileName = "KVSTEP.DLL";
  file.strSourceDir = m_package;
  file.strDirId = "66000";
  file.strTargetDir = m_strDriverDir;
  cde.pDriverFileList->push_back(file);
  EXPECT_EQ(m_app->m_pSpoolerInfomation->kAddPrinterDriver(cde, APD_COPY_ALL_FILES), VEXOERR_SUCCESS);
  EXPECT_TRUE(driverRegistered(kDriverName));
  DeletePrinterDriverA(nullptr, nullptr, const_cast<LPSTR>(kDriverName));
}

}  // namespace
