// The simulated processes of a machine: what the process status functions
// show of them, how they end, and `kvsim proc`.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fresh_machine.h"
#include "platform/win32.h"
#include "psapi/process_store.h"

namespace {

namespace fs = std::filesystem;
namespace procs = winsim::procs;

constexpr const char* kSpooler = "C:\\Windows\\System32\\spoolsv.exe";
constexpr const char* kDriverDll = "C:\\Windows\\System32\\spool\\drivers\\x64\\3\\KVDRV.DLL";
constexpr const char* kUiDll = "C:\\Windows\\System32\\spool\\drivers\\x64\\3\\KVUI.DLL";

std::vector<DWORD> processIds() {
  std::vector<DWORD> ids(256);
  DWORD cbNeeded = 0;
  EXPECT_TRUE(EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &cbNeeded));
  ids.resize(cbNeeded / sizeof(DWORD));
  return ids;
}

// The full paths of a process's modules in the order it lists them.
std::vector<std::string> modulePaths(HANDLE hProcess) {
  DWORD cbNeeded = 0;
  HMODULE first = nullptr;
  if (!EnumProcessModules(hProcess, &first, sizeof first, &cbNeeded)) return {"<failed>"};
  std::vector<HMODULE> modules(cbNeeded / sizeof(HMODULE));
  if (!EnumProcessModules(hProcess, modules.data(), cbNeeded, &cbNeeded)) return {"<failed>"};
  std::vector<std::string> paths;
  for (HMODULE h : modules) {
    char sz[MAX_PATH] = {};
    if (!GetModuleFileNameExA(hProcess, h, sz, sizeof sz)) return {"<no name>"};
    paths.push_back(sz);
  }
  return paths;
}

using ProcessStatusTest = kvtest::FreshMachine;

TEST_F(ProcessStatusTest, RecordedProcessesAreListedWithTheirModules) {
  const auto spooler = procs::add(kSpooler, {kDriverDll, kUiDll});
  const auto app = procs::add("C:\\Program Files\\Office\\word.exe", {});
  ASSERT_TRUE(spooler && app);
  EXPECT_EQ(*spooler % 4, 0u);
  EXPECT_NE(*spooler, *app);

  // The idle and System processes, this process and the two recorded ones.
  const std::vector<DWORD> ids = processIds();
  EXPECT_EQ(ids, (std::vector<DWORD>{0, 4, GetCurrentProcessId(), *spooler, *app}));

  HANDLE hProcess = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, *spooler);
  ASSERT_NE(hProcess, nullptr) << GetLastError();
  EXPECT_EQ(modulePaths(hProcess), (std::vector<std::string>{kSpooler, kDriverDll, kUiDll}));
  char sz[MAX_PATH] = {};
  EXPECT_EQ(GetModuleFileNameExA(hProcess, nullptr, sz, sizeof sz), std::string(kSpooler).size());
  EXPECT_STREQ(sz, kSpooler);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(hProcess, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_EQ(WaitForSingleObject(hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(TerminateProcess(hProcess, 1)) << "only kvsim ends the machine's other programs";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  // A module buffer of one slot gets the image and the size of all three.
  HMODULE first = nullptr;
  DWORD cbNeeded = 0;
  ASSERT_TRUE(EnumProcessModules(hProcess, &first, sizeof first, &cbNeeded));
  EXPECT_EQ(cbNeeded, 3 * sizeof(HMODULE));

  HANDLE hApp = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, *app);
  ASSERT_NE(hApp, nullptr);
  EXPECT_EQ(modulePaths(hApp), (std::vector<std::string>{"C:\\Program Files\\Office\\word.exe"}));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetModuleFileNameExA(hApp, reinterpret_cast<HMODULE>(1), sz, sizeof sz), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  // Clearing ends them: open handles see the end, new opens fail.
  ASSERT_TRUE(procs::clear());
  EXPECT_EQ(processIds(), (std::vector<DWORD>{0, 4, GetCurrentProcessId()}));
  EXPECT_EQ(WaitForSingleObject(hProcess, 0), WAIT_OBJECT_0);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(EnumProcessModules(hProcess, &first, sizeof first, &cbNeeded));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PARTIAL_COPY));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, *spooler), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  CloseHandle(hApp);
  CloseHandle(hProcess);
}

TEST_F(ProcessStatusTest, TheGrowingBufferFindsEveryProcess) {
  for (int i = 0; i < 300; ++i) ASSERT_TRUE(procs::add("C:\\app" + std::to_string(i) + ".exe", {}));
  std::vector<DWORD> ids(16);
  for (;;) {
    DWORD cbNeeded = 0;
    const DWORD cb = static_cast<DWORD>(ids.size() * sizeof(DWORD));
    ASSERT_TRUE(EnumProcesses(ids.data(), cb, &cbNeeded));
    if (cbNeeded < cb) {
      ids.resize(cbNeeded / sizeof(DWORD));
      break;
    }
    EXPECT_EQ(cbNeeded, cb);
    ids.resize(ids.size() * 2);
  }
  EXPECT_EQ(ids.size(), 303u);
}

TEST_F(ProcessStatusTest, TheStoredListSkipsWhatItCannotRead) {
  const std::string text =
      "16777216\tC:\\Windows\\System32\\spoolsv.exe\tC:\\x\\KVDRV.DLL\n"
      "16777216\tC:\\again.exe\n"      // an id seen before
      "0\tC:\\idle.exe\n"              // no process has id 0
      "16777224\trelative.exe\n"       // not a full path
      "16777228\n"                     // no image
      "99999999999\tC:\\big.exe\n"     // beyond a DWORD
      "16777232\t\\\\server\\share\\app.exe\r\n";
  const auto processes = procs::parse(text);
  ASSERT_EQ(processes.size(), 2u);
  EXPECT_EQ(processes[0].pid, 16777216u);
  EXPECT_EQ(processes[0].modules, std::vector<std::string>{"C:\\x\\KVDRV.DLL"});
  EXPECT_EQ(processes[1].image, "\\\\server\\share\\app.exe");
  EXPECT_EQ(procs::parse(procs::format(processes)).size(), 2u);
  EXPECT_FALSE(procs::add("C:\\ok.exe", {"KVDRV.DLL"})) << "a module without its folder";
  EXPECT_FALSE(procs::add("C:\\" + std::string(MAX_PATH, 'a') + ".exe", {}));
}

// ---- kvsim proc ------------------------------------------------------------------------

class KvsimProcTest : public kvtest::FreshMachine {
 protected:
  void SetUp() override {
    FreshMachine::SetUp();
    std::error_code ec;
    m_kvsim = fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path() / "bin" / "kvsim";
    if (!fs::exists(m_kvsim)) GTEST_SKIP() << "kvsim not built beside the tests";
  }
  // Runs kvsim on this machine; the exit status, and what it printed.
  int run(const std::string& args, std::string* out = nullptr) const {
    const std::string line = "'" + m_kvsim.string() + "' --root '" + m_root.string() + "' " + args + " 2>/dev/null";
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    const int status = pclose(pipe);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  fs::path m_kvsim;
};

TEST_F(KvsimProcTest, AddListAndClear) {
  std::string out;
  ASSERT_EQ(run(std::string("proc add '") + kSpooler + "' '" + kDriverDll + "'", &out), 0);
  const DWORD pid = static_cast<DWORD>(std::strtoul(out.c_str(), nullptr, 10));
  EXPECT_EQ(out, std::to_string(pid) + "\n");
  ASSERT_EQ(run("proc add 'C:\\Tools\\app.exe'", &out), 0);
  const DWORD second = static_cast<DWORD>(std::strtoul(out.c_str(), nullptr, 10));

  ASSERT_EQ(run("proc list", &out), 0);
  EXPECT_EQ(out, std::to_string(pid) + "\t" + kSpooler + "\t" + kDriverDll + "\n" + std::to_string(second) +
                     "\tC:\\Tools\\app.exe\n");
  HANDLE hProcess = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  ASSERT_NE(hProcess, nullptr);
  EXPECT_EQ(modulePaths(hProcess), (std::vector<std::string>{kSpooler, kDriverDll}));
  CloseHandle(hProcess);

  ASSERT_EQ(run("proc clear"), 0);
  ASSERT_EQ(run("proc list", &out), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(processIds().size(), 3u);
}

TEST_F(KvsimProcTest, CommandLineMistakesExitWith64) {
  for (const char* args : {"proc", "proc add", "proc add relative.exe", "proc add 'C:\\a.exe' KVDRV.DLL",
                           "proc add --quiet 'C:\\a.exe'", "proc list extra", "proc clear extra", "proc kill 1"}) {
    EXPECT_EQ(run(args), 64) << args;
  }
  std::string out;
  EXPECT_EQ(run("proc list", &out), 0);
  EXPECT_EQ(out, "") << "no mistaken command recorded a process";
  EXPECT_EQ(run("proc --help", &out), 0);
  EXPECT_NE(out.find("proc add IMAGE"), std::string::npos);
}

}  // namespace
