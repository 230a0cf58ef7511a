// The three pre-install checks on simulated machines.
#include <memory>

#include "install/driver_check.h"
#include "install_fixture.h"
#include "psapi/process_store.h"

namespace {

using installtest::MachineTest;

class DriverCheckTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    addDriver("KV Laser 5000", "KVDRV.DLL");
    addPrinter("Office", "KV Laser 5000");
    m_app->m_CDE = candidate("KV Laser 5000", "KVDRV.DLL");
    m_app->m_lstSetupCandidate.push_back(m_app->m_CDE);
  }
  void makeLists() { ASSERT_TRUE(m_app->m_pSpoolerInfomation->kMakePresentAllList(FALSE)); }
  // The installed driver file's time as the check takes it.
  std::int64_t installedTime() const { return CDriverCheck::kGetInstalledFileTime(m_strDriverDir + "\\KVDRV.DLL"); }
};

TEST_F(DriverCheckTest, AnInstalledFileOneSecondNewerIsAVersionDown) {
  makeLists();
  CDriverCheck check(*m_app);
  ASSERT_EQ(check.kGetDriverList().size(), 1u) << "the driver in use is the candidate itself";
  const std::int64_t tmInstalled = installedTime();
  struct Row {
    std::int64_t tmCandidate;
    BOOL bResult;
  } rows[] = {{tmInstalled - 1, FALSE}, {tmInstalled, TRUE}, {tmInstalled + 60, TRUE}};
  for (const Row& row : rows) {
    m_app->m_lstSetupCandidate.front().tmDriverFileTime = row.tmCandidate;
    EXPECT_EQ(check.kCheckVersionDown(), row.bResult) << row.tmCandidate - tmInstalled;
  }
  EXPECT_NE(log().find("CDL.strDriverName=[KV Laser 5000]"), std::string::npos);
  EXPECT_NE(log().find("CDriverCheck::kCheckVersionDown() return FALSE (2)"), std::string::npos);
}

TEST_F(DriverCheckTest, AVanishedDriverFileCountsAsDated1990) {
  makeLists();
  ASSERT_TRUE(DeleteFileA((m_strDriverDir + "\\KVDRV.DLL").c_str()));
  CDriverCheck check(*m_app);
  SYSTEMTIME st{};
  st.wYear = 1990;
  st.wMonth = 1;
  st.wDay = 1;
  FILETIME local{};
  FILETIME ft{};
  SystemTimeToFileTime(&st, &local);
  // Local midnight, in the UTC base of every file time.
  ASSERT_TRUE(LocalFileTimeToFileTime(&local, &ft));
  const unsigned long long ull = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  EXPECT_EQ(CDriverCheck::kGetInstalledFileTime(m_strDriverDir + "\\KVDRV.DLL"),
            static_cast<std::int64_t>(ull / 10000000ULL) - 11644473600LL);
  m_app->m_lstSetupCandidate.front().tmDriverFileTime = 700000000;  // 1992
  EXPECT_TRUE(check.kCheckVersionDown());
}

TEST_F(DriverCheckTest, SameKindDriversInUseNeedTheirOwnCandidate) {
  // Same driver file, platform and version: the same kind.
  addDriver("KV Laser 4000", "KVDRV.DLL");
  addDriver("KV Laser 3000", "KVDRV.DLL");
  addPrinter("Lab", "KV Laser 4000");
  makeLists();
  {
    CDriverCheck check(*m_app);
    ASSERT_EQ(check.kGetDriverList().size(), 2u) << "the unused 3000 is not in the list";
    EXPECT_FALSE(check.kCheckExistSameDriver());
    EXPECT_NE(log().find("CDriverCheck::kCheckExistSameDriver() return FALSE (1) LastError="), std::string::npos);
    EXPECT_NE(log().find("No same kind driver."), std::string::npos);
  }
  m_app->m_lstSetupCandidate.push_back(candidate("kv laser 4000", "KVDRV.DLL"));
  CDriverCheck check(*m_app);
  EXPECT_TRUE(check.kCheckExistSameDriver()) << "names match without regard to case";
}

TEST_F(DriverCheckTest, APendingUpgradeOrAFileHeldElsewhereAsksForARestart) {
  makeLists();
  {
    CDriverCheck check(*m_app);
    EXPECT_TRUE(check.kCheckOSRebootBefore());
    EXPECT_EQ(m_app->m_bOSReboot, 0);
  }
  CDriverFile file;
  file.strFileName = "KVDRV.DLL";
  m_app->m_CDE.pDriverFileList->push_back(file);
  ASSERT_TRUE(winsim::procs::add("C:\\Program Files\\Paint\\paint.exe", {m_strDriverDir + "\\KVDRV.DLL"}));
  {
    CDriverCheck check(*m_app);
    EXPECT_FALSE(check.kCheckOSRebootBefore());
    EXPECT_EQ(m_app->m_bOSReboot, 1);
    EXPECT_NE(log().find("CDriverCheck::kCheckOSRebootBefore() return FALSE (2)"), std::string::npos);
  }
  ASSERT_TRUE(winsim::procs::clear());
  m_app->m_bOSReboot = 0;
  HKEY hKey = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                            "SYSTEM\\CurrentControlSet\\Control\\Print\\PendingUpgrades\\Version-3\\KV Laser 5000", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(hKey);
  CDriverCheck check(*m_app);
  EXPECT_FALSE(check.kCheckOSRebootBefore());
  EXPECT_EQ(m_app->m_bOSReboot, 1);
  EXPECT_NE(log().find("Detect pending upgrade driver."), std::string::npos);
}

}  // namespace
