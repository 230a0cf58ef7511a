// Windows, messages and kernel objects shared between two processes of one
// machine: the test and kv_test_child.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "support/test_child.h"
#include "user32/window_internal.h"

namespace {

constexpr DWORD kLong = 600000;

std::vector<MSG> g_got;
std::string g_copied;
ULONG_PTR g_copiedTag = 0;

LRESULT CALLBACK parentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COPYDATA) {
    auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    g_copiedTag = cds->dwData;
    g_copied.assign(static_cast<const char*>(cds->lpData), cds->cbData);
    return 0x5A;
  }
  if (msg >= WM_USER) {
    g_got.push_back(MSG{hwnd, msg, wParam, lParam, 0, {}});
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND parentWindow() {
  static bool registered = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = parentProc;
    wc.lpszClassName = "KvCrossParent";
    return RegisterClassA(&wc) != 0;
  }();
  (void)registered;
  return CreateWindowExA(0, "KvCrossParent", "cross parent", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
}

// Runs the child and returns what it printed.
std::string childOutput(const std::string& args) {
  const std::string cmd = std::string(KV_TEST_CHILD) + " " + args;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return "";
  std::string out;
  char buf[256];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  return out;
}

std::string hex(HWND h) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(h)));
  return buf;
}

class CrossProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    g_got.clear();
    g_copied.clear();
  }
};

TEST_F(CrossProcess, RegisteredIdsAreTheSameInEveryProcess) {
  const UINT here = RegisterWindowMessageA("KV_SETUP_CROSS_TEST");
  EXPECT_EQ(childOutput("register kv_setup_cross_test"), std::to_string(here) + "\n");
  const UINT there = static_cast<UINT>(std::stoul(childOutput("register KV_SETUP_CROSS_OTHER")));
  EXPECT_EQ(RegisterWindowMessageA("KV_SETUP_CROSS_OTHER"), there);
  EXPECT_NE(here, there);
}

TEST_F(CrossProcess, APostReachesAWindowOfAnotherProcess) {
  HWND h = parentWindow();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(kvtest::runChild("post " + hex(h) + " 0x8001 0x1234 0x5678", kLong), 0);
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  ASSERT_EQ(g_got.size(), 1u);
  EXPECT_EQ(g_got[0].message, 0x8001u);
  EXPECT_EQ(g_got[0].wParam, 0x1234u);
  EXPECT_EQ(g_got[0].lParam, 0x5678);
  // The child sees the window in the machine's table, and FindWindowA finds it.
  EXPECT_EQ(FindWindowA("kvcrossparent", nullptr), h);
  // A handle that no process owns fails in the child.
  EXPECT_EQ(kvtest::runChild("post 0x7ffffe 0x8001 0 0", kLong), 1);
  DestroyWindow(h);
  EXPECT_EQ(FindWindowA("KvCrossParent", nullptr), nullptr);
}

TEST_F(CrossProcess, CopyDataIsAnsweredAndMsgWaitWakesForItAndForTheEnd) {
  HWND h = parentWindow();
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(kvtest::startChild("copydata " + hex(h) + " 0xC0FFEE \"hello parent\"", &pi));
  // The child blocks in SendMessage until this thread looks at its queue.
  bool sawSend = false, sawEnd = false;
  while (!sawEnd) {
    const DWORD r = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, kLong, QS_SENDMESSAGE);
    if (r == WAIT_OBJECT_0) {
      sawEnd = true;
    } else if (r == WAIT_OBJECT_0 + 1) {
      sawSend = true;
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    } else {
      FAIL() << "wait ended with " << r;
    }
  }
  EXPECT_TRUE(sawSend);
  EXPECT_EQ(g_copied, std::string("hello parent", 13));
  EXPECT_EQ(g_copiedTag, 0xC0FFEEu);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0x5Au);  // the child exits with the answer it received
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  DestroyWindow(h);
}

TEST_F(CrossProcess, ASendToAProcessThatHasEndedFails) {
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(kvtest::startChild("pump 6000000", &pi));
  ASSERT_EQ(WaitForInputIdle(pi.hProcess, kLong), 0u);
  TerminateProcess(pi.hProcess, 1);
  WaitForSingleObject(pi.hProcess, kLong);
  // A handle that no running process owns.
  SetLastError(0xdeadbeef);
  EXPECT_EQ(SendMessageA(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x7fff02)), WM_USER, 0, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

TEST_F(CrossProcess, TheSharedCounterCountsRunningInstances) {
  PROCESS_INFORMATION a{}, b{};
  HANDLE map = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, "KvCrossCounter");
  auto* counter = static_cast<LONG volatile*>(MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(counter, nullptr);
  ASSERT_TRUE(kvtest::startChild("counter KvCrossCounter 20000", &a));
  ASSERT_TRUE(kvtest::startChild("counter KvCrossCounter 20000", &b));
  for (int i = 0; i < 1000 && *counter < 2; ++i) {
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    WaitForSingleObject(never, 10);
    CloseHandle(never);
  }
  EXPECT_EQ(*counter, 2);
  HANDLE both[] = {a.hProcess, b.hProcess};
  EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, kLong), WAIT_OBJECT_0);
  EXPECT_EQ(*counter, 0);
  for (HANDLE h : {a.hProcess, a.hThread, b.hProcess, b.hThread}) CloseHandle(h);
  UnmapViewOfFile(const_cast<LONG*>(counter));
  CloseHandle(map);
}

TEST_F(CrossProcess, AGlobalMutexIsSeenByASecondProcessAndFreedWhenTheFirstDies) {
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(kvtest::startChild("mutex Global\\KvCrossMutex 200", &pi));
  HANDLE m = nullptr;
  // Wait until the child has created it.
  for (int i = 0; i < 500 && !m; ++i) {
    m = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "Global\\KvCrossMutex");
    if (!m) WaitForSingleObject(pi.hProcess, 1);
  }
  ASSERT_NE(m, nullptr);
  HANDLE second = CreateMutexA(nullptr, FALSE, "Global\\KvCrossMutex");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  CloseHandle(second);
  // The child owns it and ends without releasing it: the wait completes as abandoned.
  EXPECT_EQ(WaitForSingleObject(m, kLong), static_cast<DWORD>(WAIT_ABANDONED));
  EXPECT_TRUE(ReleaseMutex(m));
  WaitForSingleObject(pi.hProcess, kLong);
  CloseHandle(m);
  // With every holder gone the name no longer exists anywhere.
  EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "Global\\KvCrossMutex"), nullptr);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

}  // namespace
