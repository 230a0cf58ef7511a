// The machine settings decide what the simulated Windows reports: each OS
// release of `kvsim set os`, the architecture and WOW64, the user's rights,
// and the four templates a machine starts from.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "advapi32/registry_store.h"
#include "kernel32/environ.h"
#include "machine.h"
#include "machine_settings.h"
#include "platform/win32.h"

namespace fs = std::filesystem;
namespace reg = winsim::reg;
using reg::Hive;

namespace {

constexpr const char* kNtCurrentVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// Each test gets a machine of its own, made from a template, so that a
// change of release or rights never leaks into another test.
class MachineTest : public testing::Test {
 protected:
  void SetUp() override { useNewMachine(winsim::kDefaultTemplate); }
  void TearDown() override {
    if (m_saved.empty()) unsetenv("KVSIM_ROOT");
    else setenv("KVSIM_ROOT", m_saved.c_str(), 1);
    winsim::resetMachineRoot();
    winsim::resetEnvironmentBlock();
    std::error_code ec;
    for (const auto& root : m_roots) fs::remove_all(root, ec);
  }

  void useNewMachine(const std::string& templ) {
    if (m_roots.empty()) {
      const char* env = std::getenv("KVSIM_ROOT");
      m_saved = env ? env : "";
    }
    std::random_device rd;
    const fs::path root = fs::temp_directory_path() / ("kvmachine-" + std::to_string(rd()) + std::to_string(rd()));
    m_roots.push_back(root);
    std::string error;
    ASSERT_TRUE(winsim::createMachine(root, templ, &error)) << error;
    setenv("KVSIM_ROOT", root.c_str(), 1);
    winsim::resetMachineRoot();
    winsim::resetEnvironmentBlock();
  }

  static void setOs(const char* name, bool server = false, bool terminal = false, const char* sp = nullptr) {
    winsim::OsChoice choice;
    choice.kind = winsim::findOsKind(name);
    ASSERT_NE(choice.kind, nullptr) << name;
    choice.server = server;
    choice.terminal = terminal;
    if (sp) {
      choice.hasServicePack = true;
      choice.servicePack = sp;
    }
    winsim::MachineSettings s;
    std::string error;
    ASSERT_TRUE(winsim::settingsForOs(winsim::machineSettings(), choice, &s, &error)) << error;
    ASSERT_TRUE(winsim::applySettings(s, &error)) << error;
  }

  static void change(const std::function<void(winsim::MachineSettings&)>& edit) {
    winsim::MachineSettings s = winsim::machineSettings();
    edit(s);
    std::string error;
    ASSERT_TRUE(winsim::applySettings(s, &error)) << error;
  }

  std::string m_saved;
  std::vector<fs::path> m_roots;
};

std::string env(const char* name) {
  char buf[MAX_PATH];
  const DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
  return n && n < sizeof buf ? std::string(buf) : std::string("<unset>");
}

bool tokenHasAdministrators() {
  HANDLE token = nullptr;
  EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  DWORD size = 0;
  GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
  std::vector<BYTE> buf(size);
  EXPECT_TRUE(GetTokenInformation(token, TokenGroups, buf.data(), size, &size));
  CloseHandle(token);
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins);
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buf.data());
  bool found = false;
  for (DWORD i = 0; i < groups->GroupCount; ++i) found = found || EqualSid(groups->Groups[i].Sid, admins);
  FreeSid(admins);
  return found;
}

}  // namespace

// ---- Releases ---------------------------------------------------------------

TEST_F(MachineTest, EachReleaseReportsItsOwnVersion) {
  struct Row {
    const char* os;
    bool server, terminal;
    DWORD platform, major, minor, build;  // as GetVersionExA reports them
    const char* csd;
    WORD spMajor, suite;
    BYTE productType;
    DWORD getVersion;
  } rows[] = {
      // On an x86 machine; XP on x64 is the 2003 code base (tested below).
      {"nt4", false, false, 2, 4, 0, 1381, "Service Pack 6", 6, 0, 1, 0x05650004},
      {"nt4", true, true, 2, 4, 0, 1381, "Service Pack 6", 6, VER_SUITE_TERMINAL, 3, 0x05650004},
      {"win2k", false, false, 2, 5, 0, 2195, "Service Pack 4", 4, 0, 1, 0x08930005},
      {"win2k", true, false, 2, 5, 0, 2195, "Service Pack 4", 4, 0, 3, 0x08930005},
      {"xp", false, false, 2, 5, 1, 2600, "Service Pack 3", 3, VER_SUITE_SINGLEUSERTS, 1, 0x0A280105},
      {"xp", true, true, 2, 5, 2, 3790, "Service Pack 2", 2, VER_SUITE_TERMINAL, 3, 0x0ECE0205},
      {"vista", false, false, 2, 6, 0, 6002, "Service Pack 2", 2, VER_SUITE_SINGLEUSERTS, 1, 0x17720006},
      {"win7", false, true, 2, 6, 1, 7601, "Service Pack 1", 1, VER_SUITE_SINGLEUSERTS | VER_SUITE_TERMINAL, 1,
       0x1DB10106},
      {"win7", true, false, 2, 6, 1, 7601, "Service Pack 1", 1, 0, 3, 0x1DB10106},
      {"win8", false, false, 2, 6, 2, 9200, "", 0, VER_SUITE_SINGLEUSERTS, 1, 0x23F00206},
      // Windows 10 answers as Windows 8 to a program without a compatibility manifest.
      {"win10", false, false, 2, 6, 2, 9200, "", 0, VER_SUITE_SINGLEUSERTS, 1, 0x23F00206},
      {"win10", true, false, 2, 6, 2, 9200, "", 0, 0, 3, 0x23F00206},
  };
  change([](winsim::MachineSettings& s) { s = winsim::rederiveForArchitecture(s, "x86"); });
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.os) + (r.server ? " --server" : "") + (r.terminal ? " --terminal" : ""));
    setOs(r.os, r.server, r.terminal);
    OSVERSIONINFOEXA v{};
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&v)));
    EXPECT_EQ(v.dwPlatformId, r.platform);
    EXPECT_EQ(v.dwMajorVersion, r.major);
    EXPECT_EQ(v.dwMinorVersion, r.minor);
    EXPECT_EQ(v.dwBuildNumber, r.build);
    EXPECT_STREQ(v.szCSDVersion, r.csd);
    EXPECT_EQ(v.wServicePackMajor, r.spMajor);
    EXPECT_EQ(v.wSuiteMask, r.suite);
    EXPECT_EQ(v.wProductType, r.productType);
    EXPECT_EQ(GetVersion(), r.getVersion);
    // Windows' own keys say the same.
    EXPECT_EQ(reg::getString(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", "ProductType"),
              r.server ? "ServerNT" : "WinNT");
    const auto suites =
        reg::getMultiString(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", "ProductSuite");
    EXPECT_EQ(!suites.empty() && suites[0] == "Terminal Server", r.terminal);
  }
}

TEST_F(MachineTest, Windows10KeepsItsRealNumbersInTheRegistry) {
  setOs("win10");
  EXPECT_EQ(reg::getString(Hive::LocalMachine, kNtCurrentVersion, "CurrentVersion"), "6.3");
  EXPECT_EQ(reg::getDword(Hive::LocalMachine, kNtCurrentVersion, "CurrentMajorVersionNumber"), 10u);
  EXPECT_EQ(reg::getString(Hive::LocalMachine, kNtCurrentVersion, "CurrentBuildNumber"), "19045");
  EXPECT_FALSE(reg::getValue(Hive::LocalMachine, kNtCurrentVersion, "CSDVersion"));
  change([](winsim::MachineSettings& s) { s = winsim::rederiveForArchitecture(s, "x86"); });
  setOs("xp");
  EXPECT_EQ(reg::getString(Hive::LocalMachine, kNtCurrentVersion, "CurrentVersion"), "5.1");
  EXPECT_EQ(reg::getString(Hive::LocalMachine, kNtCurrentVersion, "CSDVersion"), "Service Pack 3");
  EXPECT_FALSE(reg::getValue(Hive::LocalMachine, kNtCurrentVersion, "CurrentMajorVersionNumber"))
      << "a value of the newer release must not survive";
}

TEST_F(MachineTest, The95FamilyKnowsOnlyTheBasicRecord) {
  struct Row {
    const char* os;
    DWORD minor, build;
    const char* csd;
  } rows[] = {{"win95", 0, 0x040003B6, ""}, {"win98", 10, 0x040A08AE, " A "}, {"winme", 90, 0x045A0BB8, " "}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.os);
    setOs(r.os);
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExA(&v));
    EXPECT_EQ(v.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS));
    EXPECT_EQ(v.dwMajorVersion, 4u);
    EXPECT_EQ(v.dwMinorVersion, r.minor);
    EXPECT_EQ(v.dwBuildNumber, r.build) << "the version sits in the high word";
    EXPECT_STREQ(v.szCSDVersion, r.csd);
    EXPECT_EQ(GetVersion() & 0xC0000000u, 0xC0000000u);
    OSVERSIONINFOEXA ex{};
    ex.dwOSVersionInfoSize = sizeof ex;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(winsim::machineSettings().architecture, "x86") << "the 95 family has no 64-bit edition";
    HANDLE token = nullptr;
    EXPECT_FALSE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  }
}

TEST_F(MachineTest, ServicePackText) {
  setOs("win7", false, false, "");
  OSVERSIONINFOEXA v{};
  v.dwOSVersionInfoSize = sizeof v;
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&v)));
  EXPECT_EQ(v.dwBuildNumber, 7600u) << "Windows 7 without a service pack";
  EXPECT_EQ(v.wServicePackMajor, 0);
  setOs("vista", false, false, "Service Pack 1");
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&v)));
  EXPECT_EQ(v.dwBuildNumber, 6001u);
  EXPECT_STREQ(v.szCSDVersion, "Service Pack 1");
  setOs("nt4", false, false, "Service Pack 6a");
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&v)));
  EXPECT_EQ(v.dwBuildNumber, 1381u);
  EXPECT_EQ(v.wServicePackMajor, 6);
}

TEST_F(MachineTest, ImpossibleReleasesAreRefused) {
  winsim::OsChoice choice;
  choice.kind = winsim::findOsKind("win98");
  choice.server = true;
  winsim::MachineSettings s;
  std::string error;
  EXPECT_FALSE(winsim::settingsForOs(winsim::machineSettings(), choice, &s, &error));
  EXPECT_NE(error.find("server"), std::string::npos) << error;
  EXPECT_EQ(winsim::findOsKind("win11"), nullptr);
}

// ---- Architecture and WOW64 ---------------------------------------------------------

TEST_F(MachineTest, ArchitectureAndWow64) {
  struct Row {
    const char* arch;
    bool wow64;
    WORD native, process;
    const char* envArch;
    const char* envW6432;
    const char* programFiles;
  } rows[] = {
      {"amd64", false, PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_AMD64, "AMD64", "<unset>",
       "C:\\Program Files"},
      {"amd64", true, PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_INTEL, "x86", "AMD64",
       "C:\\Program Files (x86)"},
      {"x86", false, PROCESSOR_ARCHITECTURE_INTEL, PROCESSOR_ARCHITECTURE_INTEL, "x86", "<unset>", "C:\\Program Files"},
      {"ia64", false, PROCESSOR_ARCHITECTURE_IA64, PROCESSOR_ARCHITECTURE_IA64, "IA64", "<unset>", "C:\\Program Files"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.arch) + (r.wow64 ? " wow64" : ""));
    change([&](winsim::MachineSettings& s) {
      s = winsim::rederiveForArchitecture(s, r.arch);
      s.wow64 = r.wow64;
    });
    SYSTEM_INFO native{}, process{};
    GetNativeSystemInfo(&native);
    GetSystemInfo(&process);
    EXPECT_EQ(native.wProcessorArchitecture, r.native);
    EXPECT_EQ(process.wProcessorArchitecture, r.process);
    BOOL wow64 = 2;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_EQ(wow64, r.wow64 ? TRUE : FALSE);
    EXPECT_EQ(env("PROCESSOR_ARCHITECTURE"), r.envArch);
    EXPECT_EQ(env("PROCESSOR_ARCHITEW6432"), r.envW6432);
    EXPECT_EQ(env("ProgramFiles"), r.programFiles);
  }
}

TEST_F(MachineTest, XpOnX64IsTheServer2003CodeBase) {
  setOs("xp");
  change([](winsim::MachineSettings& s) { s = winsim::rederiveForArchitecture(s, "x86"); });
  EXPECT_EQ(winsim::machineSettings().minorVersion, 1u);
  change([](winsim::MachineSettings& s) { s = winsim::rederiveForArchitecture(s, "amd64"); });
  OSVERSIONINFOEXA v{};
  v.dwOSVersionInfoSize = sizeof v;
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&v)));
  EXPECT_EQ(v.dwMinorVersion, 2u);
  EXPECT_EQ(v.dwBuildNumber, 3790u);
  EXPECT_EQ(v.wProductType, VER_NT_WORKSTATION);
}

TEST_F(MachineTest, NewerExportsAreMissingOnOlderReleases) {
  HMODULE k32 = LoadLibraryA("kernel32.dll");
  ASSERT_NE(k32, nullptr);
  setOs("win2k");
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetProcAddress(k32, "GetNativeSystemInfo"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(GetProcAddress(k32, "IsWow64Process"), nullptr);
  EXPECT_NE(GetProcAddress(k32, "GetVersionExA"), nullptr);
  setOs("xp");
  EXPECT_NE(GetProcAddress(k32, "GetNativeSystemInfo"), nullptr);
  FreeLibrary(k32);
}

// ---- Rights -----------------------------------------------------------------------

TEST_F(MachineTest, AdministratorOrNot) {
  struct Row {
    const char* os;
    bool server, admin;
    bool inAdmins;
    DWORD shutdownError;  // last error of AdjustTokenPrivileges(SeShutdownPrivilege)
  } rows[] = {
      {"win7", false, true, true, ERROR_SUCCESS},
      {"win7", false, false, false, ERROR_SUCCESS},  // workstation users may shut down
      {"win7", true, false, false, ERROR_NOT_ALL_ASSIGNED},
      {"xp", false, false, false, ERROR_SUCCESS},
      {"win2k", true, true, true, ERROR_SUCCESS},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.os) + (r.server ? " server" : "") + (r.admin ? " admin" : " user"));
    setOs(r.os, r.server);
    change([&](winsim::MachineSettings& s) { s.admin = r.admin; });
    EXPECT_EQ(tokenHasAdministrators(), r.inAdmins);
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins);
    BOOL member = 2;
    ASSERT_TRUE(CheckTokenMembership(nullptr, admins, &member));
    EXPECT_EQ(member, r.inAdmins ? TRUE : FALSE);
    FreeSid(admins);

    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid));
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), r.shutdownError);
    CloseHandle(token);
  }
}

TEST_F(MachineTest, TokenDetails) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, &token));
  // A process token is a primary token: CheckTokenMembership wants an
  // impersonation token or NULL.
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, 0, 0, 0, 0, 0, 0, 0, 0, &everyone));
  BOOL member = FALSE;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CheckTokenMembership(token, everyone, &member));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_IMPERSONATION_TOKEN));
  FreeSid(everyone);

  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  ASSERT_TRUE(GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size));
  EXPECT_EQ(elevation.TokenIsElevated, 1u);

  // The previous state of an adjustment: two-call sizing, nothing changed
  // by the sizing call.
  TOKEN_PRIVILEGES tp{};
  tp.PrivilegeCount = 1;
  ASSERT_TRUE(LookupPrivilegeValueA(nullptr, SE_BACKUP_NAME, &tp.Privileges[0].Luid));
  tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  DWORD needed = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(AdjustTokenPrivileges(token, FALSE, &tp, 0, reinterpret_cast<PTOKEN_PRIVILEGES>(&needed), &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(needed, sizeof(TOKEN_PRIVILEGES));
  TOKEN_PRIVILEGES previous{};
  ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &tp, sizeof previous, &previous, &needed));
  ASSERT_EQ(previous.PrivilegeCount, 1u);
  EXPECT_EQ(previous.Privileges[0].Attributes & SE_PRIVILEGE_ENABLED, 0u) << "it was disabled before";
  CloseHandle(token);

  setOs("xp");
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "XP knows no elevation";
  CloseHandle(token);
}

// ---- Names, language, folders ---------------------------------------------------------

TEST_F(MachineTest, NamesAndLanguage) {
  change([](winsim::MachineSettings& s) {
    s.computerName = "PRINTLAB-07";
    s.userName = "Erika";
    s.langId = 0x0411;
  });
  char buf[64];
  DWORD size = sizeof buf;
  ASSERT_TRUE(GetComputerNameA(buf, &size));
  EXPECT_STREQ(buf, "PRINTLAB-07");
  size = sizeof buf;
  ASSERT_TRUE(GetUserNameA(buf, &size));
  EXPECT_STREQ(buf, "Erika");
  EXPECT_EQ(GetUserDefaultLangID(), 0x0411);
  EXPECT_EQ(GetSystemDefaultLCID(), 0x0411u);
  EXPECT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
  EXPECT_EQ(env("USERPROFILE"), "C:\\Users\\Erika");
  EXPECT_EQ(env("TEMP"), "C:\\Users\\Erika\\AppData\\Local\\Temp");
  EXPECT_EQ(env("COMPUTERNAME"), "PRINTLAB-07");
  const auto temp = winsim::hostPath(env("TEMP"));
  ASSERT_TRUE(temp);
  EXPECT_TRUE(fs::is_directory(*temp)) << "the new user's temp folder exists";
  EXPECT_EQ(reg::getString(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName",
                           "ComputerName"),
            "PRINTLAB-07");
  EXPECT_EQ(reg::getString(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Nls\\Language", "Default"), "0411");
}

TEST(MachineNames, ValidNames) {
  struct Row {
    const char* name;
    bool computer, user;
  } rows[] = {
      {"PC1", true, true},           {"", false, false},           {"1234", false, true},
      {"ABCDEFGHIJKLMNOP", false, true},  {"a b", false, true},     {"x/y", false, false},
      {"Name@Dom", false, false},    {"-PC", false, true},         {"...", false, false},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(winsim::isValidComputerName(r.name), r.computer) << r.name;
    EXPECT_EQ(winsim::isValidUserName(r.name), r.user) << r.name;
  }
}

// ---- Templates ------------------------------------------------------------------------

TEST_F(MachineTest, Templates) {
  struct Row {
    const char* templ;
    DWORD major, minor, build;
    WORD arch;
    const char* temp;
    bool win40;
  } rows[] = {
      {"win7-x64", 6, 1, 7601, PROCESSOR_ARCHITECTURE_AMD64, "C:\\Users\\User\\AppData\\Local\\Temp", true},
      {"win7-x86", 6, 1, 7601, PROCESSOR_ARCHITECTURE_INTEL, "C:\\Users\\User\\AppData\\Local\\Temp", true},
      {"xp-x86", 5, 1, 2600, PROCESSOR_ARCHITECTURE_INTEL, "C:\\Documents and Settings\\User\\Local Settings\\Temp",
       true},
      {"win10-x64", 6, 2, 9200, PROCESSOR_ARCHITECTURE_AMD64, "C:\\Users\\User\\AppData\\Local\\Temp", false},
  };
  const std::string print = "SYSTEM\\CurrentControlSet\\Control\\Print";
  for (const auto& r : rows) {
    SCOPED_TRACE(r.templ);
    useNewMachine(r.templ);
    OSVERSIONINFOEXA v{};
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&v)));
    EXPECT_EQ(v.dwMajorVersion, r.major);
    EXPECT_EQ(v.dwMinorVersion, r.minor);
    EXPECT_EQ(v.dwBuildNumber, r.build);
    EXPECT_EQ(v.wProductType, VER_NT_WORKSTATION);
    SYSTEM_INFO si{};
    GetNativeSystemInfo(&si);
    EXPECT_EQ(si.wProcessorArchitecture, r.arch);
    EXPECT_TRUE(tokenHasAdministrators());
    EXPECT_EQ(env("TEMP"), r.temp);
    const auto temp = winsim::hostPath(r.temp);
    ASSERT_TRUE(temp);
    EXPECT_TRUE(fs::is_directory(*temp));

    // The spooler's baseline: environments with their folders, the two
    // monitors, WinPrint, three local ports and no printers.
    EXPECT_EQ(reg::getString(Hive::LocalMachine, print + "\\Environments\\Windows x64", "Directory"), "x64");
    EXPECT_EQ(reg::getString(Hive::LocalMachine, print + "\\Environments\\Windows NT x86", "Directory"), "W32X86");
    EXPECT_EQ(reg::keyExists(Hive::LocalMachine, print + "\\Environments\\Windows 4.0"), r.win40);
    EXPECT_EQ(reg::getString(Hive::LocalMachine, print + "\\Environments\\Windows x64\\Print Processors\\WinPrint",
                             "Driver"),
              "winprint.dll");
    EXPECT_EQ(reg::subKeys(Hive::LocalMachine, print + "\\Monitors"),
              (std::vector<std::string>{"Local Port", "Standard TCP/IP Port"}));
    EXPECT_TRUE(reg::subKeys(Hive::LocalMachine, print + "\\Printers").empty());
    EXPECT_EQ(reg::valueNames(Hive::LocalMachine, std::string(kNtCurrentVersion) + "\\Ports"),
              (std::vector<std::string>{"LPT1:", "COM1:", "FILE:"}));
    // The spooler service and the one service that depends on it.
    const std::string services = "SYSTEM\\CurrentControlSet\\Services";
    EXPECT_EQ(reg::getString(Hive::LocalMachine, services + "\\Spooler", "DisplayName"), "Print Spooler");
    const auto faxDeps = reg::getMultiString(Hive::LocalMachine, services + "\\Fax", "DependOnService");
    EXPECT_NE(std::find(faxDeps.begin(), faxDeps.end(), "Spooler"), faxDeps.end());
    const auto state = winsim::readWholeFile(winsim::machineRoot() / "services.state");
    ASSERT_TRUE(state);
    EXPECT_NE(state->find("Spooler\trunning"), std::string::npos);
    const auto driverDir = winsim::hostPath(r.arch == PROCESSOR_ARCHITECTURE_AMD64
                                                ? "C:\\Windows\\system32\\spool\\drivers\\x64\\3"
                                                : "C:\\Windows\\system32\\spool\\drivers\\w32x86\\3");
    EXPECT_TRUE(fs::is_directory(*driverDir));
    EXPECT_TRUE(fs::is_directory(*winsim::hostPath("C:\\Windows\\system32\\spool\\drivers\\color")));
  }
}

// ---- kvsim ------------------------------------------------------------------------------

TEST_F(MachineTest, KvsimSetOsChangesTheReportedVersion) {
  std::error_code ec;
  const fs::path kvsim = fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path() / "bin" / "kvsim";
  if (!fs::exists(kvsim)) GTEST_SKIP() << "kvsim not built beside the tests";
  const std::string run = "'" + kvsim.string() + "' --root '" + winsim::machineRoot().string() + "' ";
  ASSERT_EQ(std::system((run + "set arch x86 && " + run + "set os xp >/dev/null").c_str()), 0);
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
  ASSERT_TRUE(GetVersionExA(&v));
  EXPECT_EQ(v.dwMajorVersion, 5u);
  EXPECT_EQ(v.dwMinorVersion, 1u);
  EXPECT_STREQ(v.szCSDVersion, "Service Pack 3");

  const int bad = std::system((run + "set os win98 --server 2>/dev/null").c_str());
  EXPECT_EQ(WEXITSTATUS(bad), 2);
  const int arch = std::system((run + "set os win2k >/dev/null && " + run + "set arch amd64 2>/dev/null").c_str());
  EXPECT_EQ(WEXITSTATUS(arch), 2) << "Windows 2000 has no x64 edition";
  EXPECT_EQ(std::system((run + "set wow64 on 2>/dev/null").c_str()) >> 8, 2) << "WOW64 needs a 64-bit system";
}
