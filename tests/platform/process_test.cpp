// Processes: starting a program by its Windows path, exit codes, waiting for
// the end and for input idle, termination.
#include <gtest/gtest.h>

#include "platform/win32.h"
#include "support/conformance.h"
#include "support/test_child.h"

namespace {

constexpr DWORD kLong = 600000;  // machine ms: a few seconds of real time on winsim

TEST(Process, ExitCodesArriveWhole) {
  // 1223 (ERROR_CANCELLED) does not fit a host exit status; it must still arrive.
  for (DWORD code : {0u, 1u, 255u, 1223u, 0x10004u}) {
    std::string args = "exit ";
    args.append(std::to_string(code));
    EXPECT_EQ(kvtest::runChild(args), static_cast<long>(code)) << code;
  }
}

TEST(Process, ArgumentsFollowTheQuotingRules) {
  // The child returns its argument count; "args" itself is the first.
  struct Case {
    const char* line;
    long count;
  } cases[] = {
      {"args a b c", 3},
      {"args \"a b\" c", 2},
      {"args a\\\\\"b c\" d", 2},  // a\\"b c" -> a\b c
      {"args \"\"", 1},
      {"args", 0},
  };
  for (auto& c : cases) EXPECT_EQ(kvtest::runChild(c.line), c.count) << c.line;
}

TEST(Process, AnUnquotedProgramPathLeavesTheArgumentRulesToTheRest) {
  // After a program path without quotes, the first argument follows the
  // argument rules like every other: "ar"gs is the word args, and in
  // a\\"b c" two backslashes before a quote give one and open the quote.
  struct Case {
    const char* args;
    long count;
  } cases[] = {
      {"\"ar\"gs x y", 2},
      {"args \"x y\" z", 2},
      {"args a\\\\\"b c\" d", 2},
  };
  for (const Case& c : cases) {
    std::string line = kvtest::childPath() + " " + c.args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        << line;
    long code = -1;
    if (WaitForSingleObject(pi.hProcess, kLong) == WAIT_OBJECT_0) {
      DWORD dw = 0;
      if (GetExitCodeProcess(pi.hProcess, &dw)) code = static_cast<long>(dw);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(code, c.count) << line;
  }
}

TEST(Process, StillActiveUntilTheEndThenTheCode) {
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(kvtest::startChild("pump 200", &pi));
  EXPECT_NE(pi.dwProcessId, 0u);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_EQ(WaitForInputIdle(pi.hProcess, kLong), 0u);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, kLong), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(pi.hThread, 0), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

TEST(Process, TerminateSetsTheExitCode) {
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(kvtest::startChild("pump 6000000", &pi));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10), static_cast<DWORD>(WAIT_TIMEOUT));
  ASSERT_TRUE(TerminateProcess(pi.hProcess, 77));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, kLong), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
  EXPECT_EQ(code, 77u);
  HANDLE again = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pi.dwProcessId);
  if (again) CloseHandle(again);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

TEST(Process, AMissingProgramIsReported) {
  std::string line = "\"C:\\no\\such\\program.exe\" x";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  EXPECT_TRUE(GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND) << GetLastError();
}

TEST(Process, OpenProcessOfNobodyFails) {
  SetLastError(0xdeadbeef);
  EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, 0x7ffffff0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
