// winsim's service control manager over the services of the registry: the
// states a machine starts with, the KVSimState value, rights and releases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "advapi32/registry_store.h"
#include "advapi32/service_store.h"
#include "machine_settings.h"
#include "platform/win32.h"

namespace {

namespace svc = winsim::svc;

// Restores the machine settings a test changed.
class ServicesTest : public testing::Test {
 protected:
  void SetUp() override { m_saved = winsim::machineSettings(); }
  void TearDown() override {
    std::string error;
    EXPECT_TRUE(winsim::applySettings(m_saved, &error)) << error;
    winsim::reg::deleteKeyTree(winsim::reg::Hive::LocalMachine, std::string(svc::kServicesKey) + "\\KvTestSvc");
  }
  static void change(bool bAdmin, DWORD dwPlatform = VER_PLATFORM_WIN32_NT) {
    winsim::MachineSettings s = winsim::machineSettings();
    s.admin = bAdmin;
    s.platformId = dwPlatform;
    std::string error;
    ASSERT_TRUE(winsim::applySettings(s, &error)) << error;
  }
  static DWORD stateOf(const char* pszName) {
    SC_HANDLE hManager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE hService = OpenServiceA(hManager, pszName, SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    const BOOL bOk = QueryServiceStatus(hService, &status);
    CloseServiceHandle(hService);
    CloseServiceHandle(hManager);
    return bOk ? status.dwCurrentState : 0;
  }
  winsim::MachineSettings m_saved;
};

TEST_F(ServicesTest, AutomaticServicesRunAndTheStateValueDecides) {
  EXPECT_EQ(stateOf("Spooler"), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(stateOf("Fax"), static_cast<DWORD>(SERVICE_STOPPED)) << "a demand-start service waits to be started";
  svc::Service added;
  added.name = "KvTestSvc";
  added.state = SERVICE_PAUSED;
  std::string error;
  ASSERT_TRUE(svc::addService(added, &error)) << error;
  EXPECT_EQ(stateOf("kvtestsvc"), static_cast<DWORD>(SERVICE_PAUSED));
  ASSERT_TRUE(svc::setState("KVTESTSVC", SERVICE_STOPPED));
  EXPECT_EQ(stateOf("KvTestSvc"), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_FALSE(svc::addService(added, &error)) << "the name is taken";
  EXPECT_FALSE(svc::setState("NoSuchService", SERVICE_RUNNING));

  // Only the stopped services, and then only the others.
  SC_HANDLE hManager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE);
  std::vector<ULONG_PTR> buffer(4096);
  auto* pServices = reinterpret_cast<LPENUM_SERVICE_STATUSA>(buffer.data());
  for (DWORD dwWanted : {static_cast<DWORD>(SERVICE_INACTIVE), static_cast<DWORD>(SERVICE_ACTIVE)}) {
    DWORD cbNeeded = 0, dwCount = 0;
    ASSERT_TRUE(EnumServicesStatusA(hManager, SERVICE_WIN32, dwWanted, pServices,
                                    static_cast<DWORD>(buffer.size() * sizeof(ULONG_PTR)), &cbNeeded, &dwCount,
                                    nullptr));
    ASSERT_GT(dwCount, 0u);
    for (DWORD i = 0; i < dwCount; ++i) {
      EXPECT_EQ(pServices[i].ServiceStatus.dwCurrentState == SERVICE_STOPPED, dwWanted == SERVICE_INACTIVE)
          << pServices[i].lpServiceName;
    }
  }
  CloseServiceHandle(hManager);
}

TEST_F(ServicesTest, UsersWithoutRightsMayLookButNotControl) {
  change(false);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SC_HANDLE hManager = OpenSCManagerA(nullptr, nullptr, GENERIC_READ);
  ASSERT_NE(hManager, nullptr);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(OpenServiceA(hManager, "Spooler", SERVICE_STOP), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SC_HANDLE hService = OpenServiceA(hManager, "Spooler", SERVICE_QUERY_CONFIG);
  ASSERT_NE(hService, nullptr);
  SERVICE_STATUS status{};
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(QueryServiceStatus(hService, &status)) << "opened without the right to ask its status";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(CloseServiceHandle(hService));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CloseServiceHandle(hService));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(QueryServiceStatus(hManager, &status)) << "a manager handle is no service handle";
  EXPECT_TRUE(CloseServiceHandle(hManager));
}

TEST_F(ServicesTest, OtherComputersAndTheNinetyFiveFamilyHaveNoManager) {
  SetLastError(0xdeadbeef);
  EXPECT_EQ(OpenSCManagerA("\\\\ELSEWHERE", nullptr, SC_MANAGER_CONNECT), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
  SC_HANDLE hLocal = OpenSCManagerA(("\\\\" + winsim::machineSettings().computerName).c_str(), nullptr,
                                    SC_MANAGER_CONNECT);
  EXPECT_NE(hLocal, nullptr) << "the machine's own name is the local manager";
  CloseServiceHandle(hLocal);
  change(true, VER_PLATFORM_WIN32_WINDOWS);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
}

}  // namespace
