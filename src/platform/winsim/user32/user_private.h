// winsim: what the user32 sources share among themselves: the window table,
// the per-thread message queues and the link to other processes.
//
// Everything here is guarded by winsim::waitMutex() unless a comment says
// otherwise. Window procedures are always called with the lock released.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "user32/window_internal.h"
#include "waitable.h"

namespace winsim::user {

using Clock = std::chrono::steady_clock;

// A message sent to a thread, waiting for that thread to handle it.
struct SentMessage {
  HWND hwnd = nullptr;
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  // Set for a message that came from another process with data attached
  // (WM_COPYDATA's block, WM_SETTEXT's text): lParam is rebuilt from it on the
  // receiving side.
  bool marshalled = false;
  // Not a window message but an operation the window's thread carries out
  // for another process (ShowWindow, EnableWindow): kOp* below.
  int op = 0;
  ULONG_PTR dataTag = 0;
  std::vector<BYTE> data;
  bool done = false;
  bool failed = false;  // the window vanished before it was handled
  LRESULT result = 0;
};

constexpr int kOpMessage = 0;
constexpr int kOpShowWindow = 1;
constexpr int kOpEnableWindow = 2;

struct Timer {
  HWND hwnd = nullptr;
  UINT_PTR id = 0;
  unsigned elapseMs = 0;
  TIMERPROC proc = nullptr;
  Clock::time_point due;
};

struct ThreadQueue {
  DWORD tid = 0;
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentMessage>> sent;
  std::vector<Timer> timers;
  bool quitPosted = false;
  int quitCode = 0;
  bool wake = false;      // wakeThread() was called
  int inSend = 0;         // depth of sent messages being handled
  bool alive = true;
};

// The calling thread's queue, created on first use.
std::shared_ptr<ThreadQueue> currentQueue();
// The queue of a thread of this process, or nullptr when it has none.
std::shared_ptr<ThreadQueue> queueOf(DWORD tid);

// Window table (lock held).
std::shared_ptr<Window> findWindowLocked(HWND hwnd);

// Handles sent messages waiting for the calling thread. Called with the lock
// held; releases it around each window procedure.
void handleSentMessages(std::unique_lock<std::mutex>& lock, ThreadQueue& queue);

// Calls a window's procedure with the lock released (the caller holds none).
LRESULT callWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Handles a sent message that arrived from another process: enqueues it for
// the window's thread and waits until it is handled. False when the window
// is not one of this process's.
bool deliverRemoteSend(const std::shared_ptr<SentMessage>& message);
bool deliverRemotePost(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
bool deliverRemoteThreadPost(DWORD tid, UINT msg, WPARAM wParam, LPARAM lParam);

// Queue status bits (QS_*) present in a queue now.
DWORD queueStatus(const ThreadQueue& queue);

// ---- Machine-wide state (remote.cpp); called without the lock ------------------
// A new window handle for this process.
HWND allocateWindowHandle();
// Records a top-level window in the machine's window table, or drops it.
void publishWindow(HWND hwnd, const std::string& cls, const std::string& title, bool visible, bool messageOnly);
void unpublishWindow(HWND hwnd);
// The process that owns a handle (0 when none is known or it has ended).
unsigned ownerProcessOf(HWND hwnd);
// Starts this process's message server (once).
void ensureServer();

// Sends or posts to a window of another process; false when the process has
// gone or the window is unknown there (the last error is then set).
bool remotePost(unsigned pid, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
bool remoteThreadPost(unsigned pid, DWORD tid, UINT msg, WPARAM wParam, LPARAM lParam);
// `timeoutMs` is in machine milliseconds (INFINITE for none).
std::optional<LRESULT> remoteSend(unsigned pid, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                  unsigned timeoutMs);

// A record of the machine's window table.
struct PublishedWindow {
  HWND hwnd = nullptr;
  unsigned pid = 0;
  bool visible = false;
  bool messageOnly = false;
  std::string cls;
  std::string title;
};
std::vector<PublishedWindow> publishedWindows();

// What a process tells about one of its windows.
struct RemoteWindowInfo {
  unsigned pid = 0;
  DWORD threadId = 0;
  bool visible = false;
  bool enabled = false;
  HWND parent = nullptr;
  HWND lastActivePopup = nullptr;
  std::string cls;
  std::string text;
};
// Asks the owning process about a window; false when it has no such window
// or has gone. `info` may be null.
bool remoteQueryWindow(HWND hwnd, RemoteWindowInfo* info);
// ShowWindow / EnableWindow for a window of another process (carried out by
// its own thread).
BOOL remoteShowWindow(HWND hwnd, int nCmdShow);
BOOL remoteEnableWindow(HWND hwnd, BOOL enable);
// The machine's foreground window.
void setMachineForeground(HWND hwnd);
HWND machineForeground();

// Observer and idle hook (window.cpp / message.cpp).
void notifyObserver(HWND hwnd, WindowEvent event);
bool runIdleHook();

// Input idle: the process has waited for input at least once.
void noteWaitingForInput();

}  // namespace winsim::user
