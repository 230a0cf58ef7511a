// Windows and messages within one process: classes, window state, posting and
// sending, timers, message waits. Message-only windows need no display, so
// most cases run under Wine without one.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "support/conformance.h"

namespace {

struct Seen {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Seen> g_seen;
LRESULT g_answer = 0;

LRESULT CALLBACK recordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg >= WM_USER || msg == WM_TIMER || msg == WM_COPYDATA) {
    g_seen.push_back({hwnd, msg, wParam, lParam});
    return g_answer;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

const char* recordingClass() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = recordingProc;
    wc.lpszClassName = "KvMessagesTest";
    wc.cbWndExtra = DLGWINDOWEXTRA;
    registered = RegisterClassA(&wc) != 0;
  }
  return "KvMessagesTest";
}

HWND makeWindow(const char* title = "probe") {
  return CreateWindowExA(0, recordingClass(), title, 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

void drain() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
}

class Messages : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seen.clear();
    g_answer = 0;
    drain();
  }
};

TEST_F(Messages, RegisteringAClassTwiceFailsAndUnknownClassesAreRefused) {
  recordingClass();
  WNDCLASSA wc{};
  wc.lpfnWndProc = recordingProc;
  wc.lpszClassName = "kvmessagestest";  // class names ignore case
  SetLastError(0xdeadbeef);
  EXPECT_EQ(RegisterClassA(&wc), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateWindowExA(0, "KvNoSuchClass", "", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr), nullptr);
  KV_WINE_DEPARTS("Wine reports ERROR_CLASS_DOES_NOT_EXIST") {
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  }
}

TEST_F(Messages, WindowStateAndText) {
  HWND h = makeWindow("first title");
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(IsWindow(h));
  char buf[64];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(GetWindowTextA(h, buf, sizeof buf), 11);
  EXPECT_STREQ(buf, "first title");
  EXPECT_EQ(GetWindowTextLengthA(h), 11);
  // A buffer too small gets the start of the text, terminated.
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(GetWindowTextA(h, buf, 6), 5);
  EXPECT_STREQ(buf, "first");
  EXPECT_TRUE(SetWindowTextA(h, "second"));
  EXPECT_EQ(GetWindowTextLengthA(h), 6);

  EXPECT_TRUE(IsWindowEnabled(h));
  EXPECT_FALSE(EnableWindow(h, FALSE));  // it was enabled
  EXPECT_FALSE(IsWindowEnabled(h));
  EXPECT_TRUE(EnableWindow(h, TRUE));    // it was disabled

  EXPECT_EQ(GetWindowLongPtrA(h, GWLP_USERDATA), 0);
  SetWindowLongPtrA(h, GWLP_USERDATA, 0x1234);
  EXPECT_EQ(GetWindowLongPtrA(h, GWLP_USERDATA), 0x1234);
  EXPECT_EQ(SetWindowLongPtrA(h, DWLP_USER, 0x55), 0);
  EXPECT_EQ(GetWindowLongPtrA(h, DWLP_USER), 0x55);
  EXPECT_EQ(GetWindowLongPtrA(h, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&recordingProc));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetWindowLongPtrA(h, 4096), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));

  EXPECT_TRUE(DestroyWindow(h));
  EXPECT_FALSE(IsWindow(h));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DestroyWindow(h));
  KV_WINE_DEPARTS("Wine reports ERROR_ACCESS_DENIED for a destroyed window") {
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  }
}

TEST_F(Messages, PostedMessagesArriveInOrderAndSendCallsTheProcedure) {
  HWND h = makeWindow();
  ASSERT_NE(h, nullptr);
  ASSERT_TRUE(PostMessageA(h, WM_USER + 1, 1, 10));
  ASSERT_TRUE(PostMessageA(h, WM_USER + 2, 2, 20));
  EXPECT_TRUE(g_seen.empty());  // nothing runs before the queue is read
  drain();
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].msg, static_cast<UINT>(WM_USER + 1));
  EXPECT_EQ(g_seen[1].lParam, 20);

  g_answer = 0x77;
  EXPECT_EQ(SendMessageA(h, WM_USER + 3, 3, 30), 0x77);
  DWORD_PTR result = 0;
  EXPECT_NE(SendMessageTimeoutA(h, WM_USER + 4, 0, 0, SMTO_NORMAL, 1000, &result), 0);
  EXPECT_EQ(result, 0x77u);
  DestroyWindow(h);

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(PostMessageA(h, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(Messages, PeekHonoursFiltersAndQuitEndsGetMessage) {
  HWND h = makeWindow();
  PostMessageA(h, WM_USER + 10, 0, 0);
  PostMessageA(h, WM_USER + 20, 0, 0);
  MSG m{};
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_USER + 20, WM_USER + 20, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 20));
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 10));
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));

  PostQuitMessage(7);
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
  EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(m.wParam, 7u);
  DestroyWindow(h);
}

TEST_F(Messages, ThreadMessagesHaveNoWindow) {
  ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP + 1, 5, 6));
  MSG m{};
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.hwnd, nullptr);
  EXPECT_EQ(m.message, static_cast<UINT>(WM_APP + 1));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(PostThreadMessageA(0x7ffffff0, WM_APP, 0, 0));
  KV_WINE_DEPARTS("Wine reports ERROR_INVALID_PARAMETER for an unknown thread") {
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
  }
}

TEST_F(Messages, TimersFireUntilKilled) {
  HWND h = makeWindow();
  ASSERT_NE(SetTimer(h, 42, 10, nullptr), 0u);
  int ticks = 0;
  MSG m{};
  while (ticks < 3 && GetMessageA(&m, nullptr, 0, 0) > 0) {
    if (m.message == WM_TIMER && m.hwnd == h && m.wParam == 42) ++ticks;
    DispatchMessageA(&m);
  }
  EXPECT_EQ(ticks, 3);
  EXPECT_TRUE(KillTimer(h, 42));
  EXPECT_FALSE(KillTimer(h, 42));
  DestroyWindow(h);
}

TEST_F(Messages, RegisteredMessagesIgnoreCaseAndStartAt0xC000) {
  const UINT a = RegisterWindowMessageA("KV_SETUP_TEST_MESSAGE");
  const UINT b = RegisterWindowMessageA("kv_setup_test_message");
  const UINT c = RegisterWindowMessageA("KV_SETUP_OTHER_MESSAGE");
  EXPECT_GE(a, 0xC000u);
  EXPECT_LE(a, 0xFFFFu);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_EQ(RegisterWindowMessageA(""), 0u);
}

DWORD WINAPI sendFromWorker(LPVOID param) {
  HWND h = static_cast<HWND>(param);
  return static_cast<DWORD>(SendMessageA(h, WM_USER + 9, 9, 90));
}

TEST_F(Messages, MsgWaitWakesForASentMessageFromAnotherThread) {
  HWND h = makeWindow();
  g_answer = 0x99;
  HANDLE worker = CreateThread(nullptr, 0, sendFromWorker, h, 0, nullptr);
  ASSERT_NE(worker, nullptr);
  // The worker is blocked in SendMessageA until this thread looks at its queue.
  DWORD r = MsgWaitForMultipleObjects(1, &worker, FALSE, 5000, QS_SENDMESSAGE);
  EXPECT_EQ(r, WAIT_OBJECT_0 + 1);
  MSG m;
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));  // handles the sent message; nothing posted
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].wParam, 9u);
  EXPECT_EQ(WaitForSingleObject(worker, 5000), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(worker, &code));
  EXPECT_EQ(code, 0x99u);
  CloseHandle(worker);
  DestroyWindow(h);
}

TEST_F(Messages, MsgWaitOnlyWakesForTheInputItWasAskedFor) {
  HWND h = makeWindow();
  PostMessageA(h, WM_USER, 0, 0);
  HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &never, FALSE, 50, QS_SENDMESSAGE), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &never, FALSE, 50, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
  SetEvent(never);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &never, FALSE, 50, QS_ALLINPUT), WAIT_OBJECT_0);
  CloseHandle(never);
  drain();
  DestroyWindow(h);
}

TEST_F(Messages, ChildWindowsFollowTheirParent) {
  HWND parent = makeWindow("parent");
  HWND child = CreateWindowExA(0, recordingClass(), "child", WS_CHILD, 0, 0, 1, 1, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(1001)), nullptr, nullptr);
  if (!child && kvtest::runningUnderWine()) GTEST_SKIP() << "child windows need a display under Wine";
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(GetParent(child), parent);
  EXPECT_TRUE(IsChild(parent, child));
  EXPECT_FALSE(IsChild(child, parent));
  EXPECT_EQ(GetWindowLongPtrA(child, GWLP_ID), 1001);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateWindowExA(0, recordingClass(), "", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  DestroyWindow(parent);
  EXPECT_FALSE(IsWindow(child));
}

}  // namespace
