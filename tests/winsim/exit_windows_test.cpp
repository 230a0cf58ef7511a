// ExitWindowsEx: a restart is recorded, never carried out, and only for a
// process that has enabled its shutdown privilege first. (Under Wine the
// call would end every process of the prefix, so it is tested here only.)
#include <gtest/gtest.h>

#include <string>

#include "advapi32/registry_store.h"
#include "fresh_machine.h"
#include "machine_settings.h"
#include "platform/win32.h"

namespace {

namespace reg = winsim::reg;
using reg::Hive;

constexpr const char* kMachineKey = "SOFTWARE\\KVSim\\Machine";

class ExitWindows : public kvtest::FreshMachine {
 protected:
  void SetUp() override {
    kvtest::FreshMachine::SetUp();
    setShutdownPrivilege(false);  // the privilege's state lasts as long as the process
  }
  void TearDown() override {
    setShutdownPrivilege(false);
    kvtest::FreshMachine::TearDown();
  }
  // Enables or disables SeShutdownPrivilege as the program does; the last
  // error AdjustTokenPrivileges left.
  static DWORD setShutdownPrivilege(bool enable) {
    HANDLE token = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    EXPECT_TRUE(LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid));
    tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr));
    const DWORD error = GetLastError();
    CloseHandle(token);
    return error;
  }
  static std::string request() { return reg::getString(Hive::LocalMachine, kMachineKey, "ShutdownRequest"); }
};

TEST_F(ExitWindows, ARestartNeedsTheShutdownPrivilegeEnabled) {
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));
  EXPECT_EQ(request(), "") << "a refused request is not recorded";

  ASSERT_EQ(setShutdownPrivilege(true), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT, 0x80020003));
  EXPECT_EQ(request(), "reboot");
  EXPECT_EQ(reg::getDword(Hive::LocalMachine, kMachineKey, "ShutdownReason"), 0x80020003u);

  // Disabled again, the next request is refused and the recorded one stays.
  setShutdownPrivilege(false);
  EXPECT_FALSE(ExitWindowsEx(EWX_POWEROFF, 0));
  EXPECT_EQ(request(), "reboot");
}

TEST_F(ExitWindows, LoggingOffNeedsNoPrivilege) {
  EXPECT_TRUE(ExitWindowsEx(EWX_LOGOFF, 0));
  EXPECT_EQ(request(), "logoff");
}

TEST_F(ExitWindows, AUserWithoutThePrivilegeCannotRestartAServer) {
  winsim::MachineSettings s = winsim::machineSettings();
  s.admin = false;
  s.productType = VER_NT_SERVER;
  std::string error;
  ASSERT_TRUE(winsim::applySettings(s, &error)) << error;
  EXPECT_EQ(setShutdownPrivilege(true), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));
}

}  // namespace
