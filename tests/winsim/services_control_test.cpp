// Stopping and starting services: dependents and their order, pending
// states with the machine's wait hint, and the fault knobs that make a
// service misbehave. Wine's service manager has no dependents of the spooler
// and cannot be made to misbehave, so these run on winsim only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "advapi32/registry_store.h"
#include "advapi32/service_store.h"
#include "fresh_machine.h"
#include "machine.h"
#include "machine_settings.h"
#include "platform/win32.h"

namespace reg = winsim::reg;
using reg::Hive;

namespace {

class ServiceControl : public kvtest::FreshMachine {
 protected:
  void SetUp() override {
    FreshMachine::SetUp();
    m_manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(m_manager, nullptr);
  }
  void TearDown() override {
    for (SC_HANDLE h : m_open) CloseServiceHandle(h);
    CloseServiceHandle(m_manager);
    FreshMachine::TearDown();
  }
  SC_HANDLE open(const char* name) {
    SC_HANDLE h = OpenServiceA(m_manager, name, SERVICE_ALL_ACCESS);
    EXPECT_NE(h, nullptr) << name;
    m_open.push_back(h);
    return h;
  }
  static DWORD state(SC_HANDLE h) {
    SERVICE_STATUS st{};
    EXPECT_TRUE(QueryServiceStatus(h, &st));
    return st.dwCurrentState;
  }
  // Polls as a program does, on the machine's clock; the state reached.
  static DWORD waitFor(SC_HANDLE h, DWORD wanted) {
    for (int i = 0; i < 200 && state(h) != wanted; ++i) Sleep(100);
    return state(h);
  }
  static void fault(const char* name, const char* services) {
    ASSERT_TRUE(reg::setString(Hive::LocalMachine, "SOFTWARE\\KVSim\\Faults", name, services));
  }
  static void addService(const char* name, std::vector<std::string> depends) {
    winsim::svc::Service s;
    s.name = name;
    s.startType = SERVICE_AUTO_START;
    s.state = SERVICE_RUNNING;
    s.dependencies = std::move(depends);
    std::string error;
    ASSERT_TRUE(winsim::svc::addService(s, &error)) << error;
  }
  static std::vector<std::string> activeDependents(SC_HANDLE h) {
    DWORD need = 0, count = 0;
    SetLastError(0xdeadbeef);
    if (EnumDependentServicesA(h, SERVICE_ACTIVE, nullptr, 0, &need, &count)) {
      EXPECT_EQ(need, 0u) << "nothing to list needs no buffer";
      return {};
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    std::vector<ULONG_PTR> buf(need / sizeof(ULONG_PTR) + 1);
    auto* list = reinterpret_cast<LPENUM_SERVICE_STATUSA>(buf.data());
    EXPECT_TRUE(EnumDependentServicesA(h, SERVICE_ACTIVE, list, need, &need, &count));
    std::vector<std::string> names;
    for (DWORD i = 0; i < count; ++i) names.push_back(list[i].lpServiceName);
    return names;
  }

  SC_HANDLE m_manager = nullptr;
  std::vector<SC_HANDLE> m_open;
};

TEST_F(ServiceControl, DependentsStopFirstAndStartAfter) {
  // A depends on the spooler, B on A: B must stop before A.
  addService("KvA", {"Spooler"});
  addService("KvB", {"KvA"});
  SC_HANDLE spooler = open("Spooler");
  EXPECT_EQ(activeDependents(spooler), (std::vector<std::string>{"Fax", "KvB", "KvA"}));

  // Stops long enough that a busy host cannot end one before ControlService
  // has reported it under way.
  ASSERT_TRUE(reg::setDword(Hive::LocalMachine, winsim::kMachineKey, "ServiceStopDelay", 10000));
  SERVICE_STATUS st{};
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ControlService(spooler, SERVICE_CONTROL_STOP, &st));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEPENDENT_SERVICES_RUNNING));
  for (const char* name : {"Fax", "KvB", "KvA"}) {
    SC_HANDLE h = open(name);
    ASSERT_TRUE(ControlService(h, SERVICE_CONTROL_STOP, &st)) << name << " " << GetLastError();
    EXPECT_EQ(st.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(st.dwWaitHint, 3000u);
    EXPECT_EQ(waitFor(h, SERVICE_STOPPED), static_cast<DWORD>(SERVICE_STOPPED));
  }
  EXPECT_TRUE(activeDependents(spooler).empty());
  ASSERT_TRUE(ControlService(spooler, SERVICE_CONTROL_STOP, &st));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ControlService(spooler, SERVICE_CONTROL_STOP, &st)) << "a stop is under way";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
  EXPECT_EQ(waitFor(spooler, SERVICE_STOPPED), static_cast<DWORD>(SERVICE_STOPPED));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ControlService(spooler, SERVICE_CONTROL_STOP, &st));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));

  // Starting a dependent starts what it needs first.
  SC_HANDLE b = open("KvB");
  ASSERT_TRUE(StartServiceA(b, 0, nullptr));
  EXPECT_EQ(state(open("KvA")), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(state(spooler), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(waitFor(b, SERVICE_RUNNING), static_cast<DWORD>(SERVICE_RUNNING));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(StartServiceA(spooler, 0, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));
}

TEST_F(ServiceControl, FaultKnobs) {
  SC_HANDLE fax = open("Fax");
  SERVICE_STATUS st{};
  fault("ServiceRefusesStop", "Fax");
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ControlService(fax, SERVICE_CONTROL_STOP, &st));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));
  EXPECT_EQ(state(fax), static_cast<DWORD>(SERVICE_RUNNING));

  fault("ServiceRefusesStop", "");
  fault("ServiceBrokenPipeOnStop", "Other, fax");
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ControlService(fax, SERVICE_CONTROL_STOP, &st));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
  EXPECT_EQ(state(fax), static_cast<DWORD>(SERVICE_STOPPED)) << "the pipe broke because it ended";

  fault("ServiceFailsToStart", "Fax");
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(StartServiceA(fax, 0, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_REQUEST_TIMEOUT));
  EXPECT_EQ(state(fax), static_cast<DWORD>(SERVICE_STOPPED));

  SC_HANDLE spooler = open("Spooler");
  fault("ServiceNeverStops", "*");
  ASSERT_TRUE(ControlService(spooler, SERVICE_CONTROL_STOP, &st));
  Sleep(5000);
  EXPECT_EQ(state(spooler), static_cast<DWORD>(SERVICE_STOP_PENDING)) << "it hangs";
}

TEST_F(ServiceControl, TimingComesFromTheMachine) {
  reg::setDword(Hive::LocalMachine, "SOFTWARE\\KVSim\\Machine", "ServiceStopDelay", 0);
  reg::setDword(Hive::LocalMachine, "SOFTWARE\\KVSim\\Machine", "ServiceWaitHint", 0);
  reg::setDword(Hive::LocalMachine, "SOFTWARE\\KVSim\\Machine", "ServiceStartDelay", 600000);
  SC_HANDLE fax = open("Fax");
  SERVICE_STATUS st{};
  ASSERT_TRUE(ControlService(fax, SERVICE_CONTROL_STOP, &st));
  EXPECT_EQ(st.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << "no delay: stopped at once";
  ASSERT_TRUE(StartServiceA(fax, 0, nullptr));
  ASSERT_TRUE(QueryServiceStatus(fax, &st));
  EXPECT_EQ(st.dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
  EXPECT_EQ(st.dwWaitHint, 0u);
}

TEST_F(ServiceControl, ConfigurationWithTwoCalls) {
  SC_HANDLE spooler = open("Spooler");
  DWORD need = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(QueryServiceConfigA(spooler, nullptr, 0, &need));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  std::vector<ULONG_PTR> buf(need / sizeof(ULONG_PTR) + 1);
  auto* config = reinterpret_cast<LPQUERY_SERVICE_CONFIGA>(buf.data());
  ASSERT_TRUE(QueryServiceConfigA(spooler, config, need, &need));
  EXPECT_STREQ(config->lpDisplayName, "Print Spooler");
  EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_AUTO_START));
  EXPECT_STREQ(config->lpDependencies, "RPCSS");
  EXPECT_STREQ(config->lpDependencies + 6, "http");
  EXPECT_EQ(config->lpDependencies[11], '\0');
}

}  // namespace
