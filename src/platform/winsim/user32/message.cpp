// winsim: message queues, posting and sending, timers and message waits.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <unordered_map>

#include "machine.h"
#include "modules.h"
#include "user32/user_private.h"

namespace winsim::user {
namespace {

std::unordered_map<DWORD, std::shared_ptr<ThreadQueue>>& queues() {
  static auto* t = new std::unordered_map<DWORD, std::shared_ptr<ThreadQueue>>;
  return *t;
}

IdleHook& idleHook() {
  static IdleHook* h = new IdleHook;
  return *h;
}

// Removes the thread's queue when the thread ends; messages still waiting to
// be handled by it fail, so that their senders do not wait forever.
struct QueueOwner {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueOwner() {
    if (!queue) return;
    std::lock_guard<std::mutex> guard(waitMutex());
    queue->alive = false;
    for (auto& s : queue->sent) {
      s->done = true;
      s->failed = true;
    }
    queue->sent.clear();
    queues().erase(queue->tid);
    notifyWaiters();
  }
};
thread_local QueueOwner t_queue;

DWORD messageTime() { return static_cast<DWORD>(machineTickMs()); }

bool filterMatches(HWND filter, UINT minMsg, UINT maxMsg, HWND hwnd, UINT msg) {
  if (minMsg != 0 || maxMsg != 0) {
    if (minMsg <= maxMsg) {
      if (msg < minMsg || msg > maxMsg) return false;
    } else if (msg > maxMsg && msg < minMsg) {
      return false;
    }
  }
  if (!filter) return true;
  if (filter == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1))) return hwnd == nullptr;
  if (hwnd == filter) return true;
  // Messages for the filter window's children count as its own.
  auto w = findWindowLocked(hwnd);
  while (w && w->isChild() && w->parent) {
    if (w->parent == filter) return true;
    w = findWindowLocked(w->parent);
  }
  return false;
}

Clock::time_point timerDue(unsigned elapseMs) { return machineDeadline(elapseMs); }

// Result of looking into the queue.
enum class Take { Message, Quit, Nothing };

// Takes (or looks at) the next message, in Windows' order: posted messages,
// then WM_QUIT, then due timers. Lock held.
Take takeMessage(ThreadQueue& q, MSG* out, HWND filter, UINT minMsg, UINT maxMsg, bool remove) {
  for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
    if (!filterMatches(filter, minMsg, maxMsg, it->hwnd, it->message)) continue;
    *out = *it;
    if (remove) q.posted.erase(it);
    return Take::Message;
  }
  if (q.quitPosted) {
    *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, messageTime(), {}};
    if (remove) q.quitPosted = false;
    return Take::Quit;
  }
  const auto now = Clock::now();
  for (auto& t : q.timers) {
    if (t.due > now || !filterMatches(filter, minMsg, maxMsg, t.hwnd, WM_TIMER)) continue;
    *out = MSG{t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), messageTime(), {}};
    // A timer that has fallen behind fires once, not once for every missed
    // period, as on Windows.
    if (remove) t.due = timerDue(t.elapseMs);
    return Take::Message;
  }
  return Take::Nothing;
}

Clock::time_point nextTimer(const ThreadQueue& q) {
  auto next = Clock::time_point::max();
  for (auto& t : q.timers) next = std::min(next, t.due);
  return next;
}

// Runs the idle hook with the lock released; true when it did something.
bool idleWithLock(std::unique_lock<std::mutex>& lock) {
  lock.unlock();
  const bool did = runIdleHook();
  lock.lock();
  return did;
}

bool g_inputIdleNoted = false;

void noteIdleWithLock(std::unique_lock<std::mutex>& lock) {
  if (g_inputIdleNoted) return;
  g_inputIdleNoted = true;
  lock.unlock();
  noteWaitingForInput();
  lock.lock();
}

// The heart of GetMessage, PeekMessage and the modal loops. Returns the kind
// of message taken; with `block` it waits until one comes or `stop()` holds.
Take getMessage(MSG* out, HWND filter, UINT minMsg, UINT maxMsg, bool remove, bool block,
                const std::function<bool()>& stop) {
  auto q = currentQueue();
  std::unique_lock<std::mutex> lock(waitMutex());
  for (;;) {
    handleSentMessages(lock, *q);
    if (stop && stop()) return Take::Nothing;
    const Take t = takeMessage(*q, out, filter, minMsg, maxMsg, remove);
    if (t != Take::Nothing || !block) return t;
    q->wake = false;
    if (idleWithLock(lock)) continue;
    if (stop && stop()) return Take::Nothing;
    if (!q->sent.empty() || !q->posted.empty() || q->quitPosted) continue;
    noteIdleWithLock(lock);
    if (!q->sent.empty() || !q->posted.empty() || q->quitPosted || q->wake) continue;
    const auto until = nextTimer(*q);
    if (until == Clock::time_point::max()) waitCondition().wait(lock);
    else waitCondition().wait_until(lock, until);
  }
}

bool postTo(ThreadQueue& q, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!q.alive) return false;
  q.posted.push_back(MSG{hwnd, msg, wParam, lParam, messageTime(), {}});
  notifyWaiters();
  return true;
}

// The process a thread id belongs to, from the host's process table.
unsigned processOfThread(DWORD tid) {
  std::ifstream in("/proc/" + std::to_string(tid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Tgid:", 0) == 0) return static_cast<unsigned>(std::strtoul(line.c_str() + 5, nullptr, 10));
  }
  return 0;
}

}  // namespace

std::shared_ptr<ThreadQueue> currentQueue() {
  if (t_queue.queue) return t_queue.queue;
  auto q = std::make_shared<ThreadQueue>();
  q->tid = currentThreadId();
  {
    std::lock_guard<std::mutex> guard(waitMutex());
    queues()[q->tid] = q;
  }
  t_queue.queue = q;
  ensureServer();
  return q;
}

std::shared_ptr<ThreadQueue> queueOf(DWORD tid) {
  auto it = queues().find(tid);
  return it == queues().end() ? nullptr : it->second;
}

DWORD queueStatus(const ThreadQueue& q) {
  DWORD bits = 0;
  if (!q.posted.empty() || q.quitPosted) bits |= QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
  if (!q.sent.empty()) bits |= QS_SENDMESSAGE;
  const auto now = Clock::now();
  for (auto& t : q.timers)
    if (t.due <= now) bits |= QS_TIMER;
  return bits;
}

void handleSentMessages(std::unique_lock<std::mutex>& lock, ThreadQueue& queue) {
  while (!queue.sent.empty()) {
    auto m = queue.sent.front();
    queue.sent.pop_front();
    ++queue.inSend;
    lock.unlock();
    LRESULT result = 0;
    bool ok = true;
    if (m->op == kOpShowWindow) {
      result = ShowWindow(m->hwnd, static_cast<int>(m->wParam));
    } else if (m->op == kOpEnableWindow) {
      result = EnableWindow(m->hwnd, static_cast<BOOL>(m->wParam));
    } else if (!findWindow(m->hwnd)) {
      ok = false;
    } else if (m->marshalled && m->msg == WM_COPYDATA) {
      COPYDATASTRUCT cds{m->dataTag, static_cast<DWORD>(m->data.size()), m->data.empty() ? nullptr : m->data.data()};
      result = callWindowProc(m->hwnd, m->msg, m->wParam, reinterpret_cast<LPARAM>(&cds));
    } else if (m->marshalled) {
      // WM_SETTEXT's text or WM_DEVICECHANGE's record, terminated for the text.
      std::vector<BYTE> data = m->data;
      data.push_back(0);
      result = callWindowProc(m->hwnd, m->msg, m->wParam, reinterpret_cast<LPARAM>(data.data()));
    } else {
      result = callWindowProc(m->hwnd, m->msg, m->wParam, m->lParam);
    }
    lock.lock();
    --queue.inSend;
    m->result = result;
    m->failed = !ok;
    m->done = true;
    notifyWaiters();
  }
}

bool deliverRemoteSend(const std::shared_ptr<SentMessage>& message) {
  std::unique_lock<std::mutex> lock(waitMutex());
  auto w = findWindowLocked(message->hwnd);
  if (!w) return false;
  auto q = queueOf(w->threadId);
  if (!q || !q->alive) return false;
  q->sent.push_back(message);
  notifyWaiters();
  waitCondition().wait(lock, [&] { return message->done; });
  return !message->failed;
}

bool deliverRemotePost(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::mutex> guard(waitMutex());
  auto w = findWindowLocked(hwnd);
  if (!w) return false;
  auto q = queueOf(w->threadId);
  return q && postTo(*q, hwnd, msg, wParam, lParam);
}

bool deliverRemoteThreadPost(DWORD tid, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::mutex> guard(waitMutex());
  auto q = queueOf(tid);
  return q && postTo(*q, nullptr, msg, wParam, lParam);
}

void setIdleHook(IdleHook hook) {
  std::lock_guard<std::mutex> guard(waitMutex());
  idleHook() = std::move(hook);
}

bool runIdleHook() {
  IdleHook hook;
  {
    std::lock_guard<std::mutex> guard(waitMutex());
    hook = idleHook();
  }
  return hook && hook();
}

void wakeThread(DWORD threadId) {
  std::lock_guard<std::mutex> guard(waitMutex());
  auto q = queueOf(threadId);
  if (q) q->wake = true;
  notifyWaiters();
}

bool runModalLoop(const std::function<bool()>& ended, const std::function<bool(MSG&)>& filter) {
  while (!ended()) {
    MSG m{};
    const Take t = getMessage(&m, nullptr, 0, 0, true, true, ended);
    if (t == Take::Nothing) continue;  // ended() holds now
    if (t == Take::Quit) {
      PostQuitMessage(static_cast<int>(m.wParam));
      return false;
    }
    if (filter && filter(m)) continue;
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return true;
}

// Sends to a window of this process owned by another thread: the message
// waits in that thread's queue, and the sender handles messages sent to it
// meanwhile, so that two threads sending to each other do not lock up.
std::optional<LRESULT> sendToThread(const std::shared_ptr<Window>& w, UINT msg, WPARAM wParam, LPARAM lParam,
                                    unsigned timeoutMs) {
  auto self = currentQueue();
  auto m = std::make_shared<SentMessage>();
  m->hwnd = w->hwnd;
  m->msg = msg;
  m->wParam = wParam;
  m->lParam = lParam;
  std::unique_lock<std::mutex> lock(waitMutex());
  auto q = queueOf(w->threadId);
  if (!q || !q->alive) return std::nullopt;
  q->sent.push_back(m);
  notifyWaiters();
  const auto r = waitLocked(
      lock, {}, false, machineDeadline(timeoutMs), [&] { return m->done; },
      [&](std::unique_lock<std::mutex>& l) { handleSentMessages(l, *self); });
  if (r.outcome == WaitOutcome::Timeout) {
    // The receiver may still handle it later; its answer then goes nowhere.
    auto it = std::find(q->sent.begin(), q->sent.end(), m);
    if (it != q->sent.end()) q->sent.erase(it);
    SetLastError(ERROR_TIMEOUT);
    return std::nullopt;
  }
  if (m->failed) return std::nullopt;
  return m->result;
}

// The common path of SendMessageA and SendMessageTimeoutA.
std::optional<LRESULT> sendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, unsigned timeoutMs) {
  auto w = findWindow(hwnd);
  if (w) {
    if (w->threadId == currentThreadId()) return callWindowProc(hwnd, msg, wParam, lParam);
    auto r = sendToThread(w, msg, wParam, lParam, timeoutMs);
    if (!r && GetLastError() != ERROR_TIMEOUT) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return r;
  }
  const unsigned pid = ownerProcessOf(hwnd);
  if (pid == 0 || pid == currentProcessId()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return std::nullopt;
  }
  return remoteSend(pid, hwnd, msg, wParam, lParam, timeoutMs);
}

}  // namespace winsim::user

using namespace winsim::user;
namespace ws = winsim;

// PostMessageA: FALSE with ERROR_INVALID_WINDOW_HANDLE when the window does
// not exist (or its process has ended). A NULL window posts to the calling
// thread, as PostThreadMessageA does.
extern "C" BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (!hWnd) return PostThreadMessageA(ws::currentThreadId(), Msg, wParam, lParam);
  if (Msg == WM_COPYDATA || Msg == WM_SETTEXT || Msg == WM_GETTEXT) {
    // Messages that carry a pointer can only be sent.
    SetLastError(ERROR_MESSAGE_SYNC_ONLY);
    return FALSE;
  }
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    auto w = findWindowLocked(hWnd);
    if (w) {
      auto q = queueOf(w->threadId);
      if (q && postTo(*q, hWnd, Msg, wParam, lParam)) return TRUE;
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
  }
  const unsigned pid = ownerProcessOf(hWnd);
  if (pid == 0 || pid == ws::currentProcessId()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return remotePost(pid, hWnd, Msg, wParam, lParam) ? TRUE : FALSE;
}

// PostThreadMessageA: FALSE with ERROR_INVALID_THREAD_ID when the thread has
// no message queue (also in another process).
extern "C" BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (idThread == ws::currentThreadId()) currentQueue();
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    auto q = queueOf(idThread);
    if (q && postTo(*q, nullptr, Msg, wParam, lParam)) return TRUE;
  }
  const unsigned pid = processOfThread(idThread);
  if (pid != 0 && pid != ws::currentProcessId() && remoteThreadPost(pid, idThread, Msg, wParam, lParam)) return TRUE;
  SetLastError(ERROR_INVALID_THREAD_ID);
  return FALSE;
}

// PostQuitMessage: asks the calling thread's message loop to end; never fails.
extern "C" void WINAPI PostQuitMessage(int nExitCode) {
  auto q = currentQueue();
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  q->quitPosted = true;
  q->quitCode = nExitCode;
  ws::notifyWaiters();
}

// SendMessageA: the window procedure's answer; 0 with
// ERROR_INVALID_WINDOW_HANDLE when the window does not exist or its process
// ends before answering.
extern "C" LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return sendMessage(hWnd, Msg, wParam, lParam, INFINITE).value_or(0);
}

// SendMessageTimeoutA: nonzero when the message was handled (its answer in
// *lpdwResult); 0 with ERROR_TIMEOUT when the time ran out, or
// ERROR_INVALID_WINDOW_HANDLE.
extern "C" LRESULT WINAPI SendMessageTimeoutA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT, UINT uTimeout,
                                              PDWORD_PTR lpdwResult) {
  auto r = sendMessage(hWnd, Msg, wParam, lParam, uTimeout);
  if (!r) return 0;
  if (lpdwResult) *lpdwResult = static_cast<DWORD_PTR>(*r);
  return 1;
}

// InSendMessage: TRUE while the thread handles a message sent by another thread.
extern "C" BOOL WINAPI InSendMessage(void) {
  auto q = currentQueue();
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  return q->inSend > 0;
}

// GetMessageA: TRUE for a message, 0 for WM_QUIT, -1 for a bad window filter.
extern "C" BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  if (!lpMsg) {
    SetLastError(ERROR_NOACCESS);
    return -1;
  }
  if (hWnd && hWnd != reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1)) && !findWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  const Take t = getMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true, true, {});
  return t == Take::Quit ? FALSE : TRUE;
}

// PeekMessageA: TRUE when a message was there; sent messages waiting for the
// thread are handled first, as on Windows.
extern "C" BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
  if (!lpMsg) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  MSG m{};
  const Take t = getMessage(&m, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0, false, {});
  if (t == Take::Nothing) return FALSE;
  *lpMsg = m;
  return TRUE;
}

// GetQueueStatus: the QS_* bits of what waits in the queue (high word) and of
// what is there (low word; the same here).
extern "C" DWORD WINAPI GetQueueStatus(UINT flags) {
  auto q = currentQueue();
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  const DWORD bits = queueStatus(*q) & flags;
  return (bits << 16) | bits;
}

// TranslateMessage: there is no keyboard, so nothing is translated; FALSE.
extern "C" BOOL WINAPI TranslateMessage(const MSG*) { return FALSE; }

// DispatchMessageA: the window procedure's answer (or the timer procedure's
// call for a WM_TIMER with one); 0 for a thread message or a gone window.
extern "C" LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
  if (!lpMsg) return 0;
  if (lpMsg->message == WM_TIMER && lpMsg->lParam) {
    auto proc = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
    {
      // Only a timer that still exists calls its procedure.
      auto q = currentQueue();
      std::lock_guard<std::mutex> guard(ws::waitMutex());
      const bool live = std::any_of(q->timers.begin(), q->timers.end(), [&](const Timer& t) {
        return t.hwnd == lpMsg->hwnd && t.id == lpMsg->wParam && t.proc == proc;
      });
      if (!live) return 0;
    }
    proc(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, static_cast<DWORD>(ws::machineTickMs()));
    return 0;
  }
  if (!lpMsg->hwnd) return 0;
  auto w = findWindow(lpMsg->hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (w->threadId != ws::currentThreadId()) {
    SetLastError(ERROR_MESSAGE_SYNC_ONLY);
    return 0;
  }
  return callWindowProc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

// MsgWaitForMultipleObjects: WAIT_OBJECT_0 + i for a signalled object,
// WAIT_OBJECT_0 + nCount when input of the wake mask is in the queue,
// WAIT_ABANDONED_0 + i, WAIT_TIMEOUT, or WAIT_FAILED (ERROR_INVALID_HANDLE,
// ERROR_INVALID_PARAMETER). Input counts while it waits in the queue, so a
// caller that empties the queue after each wake never misses a message.
extern "C" DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL fWaitAll,
                                                  DWORD dwMilliseconds, DWORD dwWakeMask) {
  if (nCount > 63 || (nCount && !pHandles)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<ws::Waitable>> objects;
  if (!ws::resolveWaitables(nCount, pHandles, &objects)) return WAIT_FAILED;
  auto q = currentQueue();
  const auto deadline = ws::machineDeadline(dwMilliseconds);
  std::unique_lock<std::mutex> lock(ws::waitMutex());
  // A thread that waits for input is idle for WaitForInputIdle.
  if ((queueStatus(*q) & dwWakeMask) == 0) noteIdleWithLock(lock);
  for (;;) {
    const auto timer = (dwWakeMask & QS_TIMER) ? nextTimer(*q) : std::chrono::steady_clock::time_point::max();
    const auto r = ws::waitLocked(lock, objects, fWaitAll != FALSE, std::min(deadline, timer),
                                  [&] { return (queueStatus(*q) & dwWakeMask) != 0 || q->wake; });
    if (r.outcome == ws::WaitOutcome::Object) return WAIT_OBJECT_0 + r.index;
    if (r.outcome == ws::WaitOutcome::Abandoned) return WAIT_ABANDONED_0 + r.index;
    if (r.outcome == ws::WaitOutcome::Extra) {
      if (q->wake) {
        q->wake = false;
        if ((queueStatus(*q) & dwWakeMask) == 0) {
          if (idleWithLock(lock)) continue;
          continue;
        }
      }
      return WAIT_OBJECT_0 + nCount;
    }
    if (std::chrono::steady_clock::now() >= deadline) return WAIT_TIMEOUT;
    // A timer came due: loop, and the mask decides whether it wakes us.
  }
}

// SetTimer: the timer id (a new one for a NULL window), or 0 with
// ERROR_INVALID_WINDOW_HANDLE for a window of another thread. The period runs
// on the machine clock; periods below 10 ms are raised to 10 ms.
extern "C" UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
  auto q = currentQueue();
  if (hWnd) {
    auto w = findWindow(hWnd);
    if (!w || w->threadId != ws::currentThreadId()) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
  }
  uElapse = std::clamp<UINT>(uElapse, 10, 0x7FFFFFFF);
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  if (!hWnd) {
    // Thread timers get ids of their own that no other thread timer has.
    UINT_PTR id = nIDEvent;
    auto taken = [&](UINT_PTR v) {
      return std::any_of(q->timers.begin(), q->timers.end(), [&](const Timer& t) { return !t.hwnd && t.id == v; });
    };
    if (id == 0 || !taken(id)) {
      id = 0x7FFF;
      while (taken(id)) ++id;
    }
    nIDEvent = id;
  }
  auto it = std::find_if(q->timers.begin(), q->timers.end(),
                         [&](const Timer& t) { return t.hwnd == hWnd && t.id == nIDEvent; });
  Timer t{hWnd, nIDEvent, uElapse, lpTimerFunc, timerDue(uElapse)};
  if (it != q->timers.end()) *it = t;
  else q->timers.push_back(t);
  ws::notifyWaiters();
  return hWnd ? (nIDEvent ? nIDEvent : 1) : nIDEvent;
}

// KillTimer: FALSE with ERROR_INVALID_PARAMETER when there is no such timer.
// WM_TIMER messages of the timer not yet taken from the queue go with it.
extern "C" BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
  auto q = currentQueue();
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  const auto before = q->timers.size();
  std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == hWnd && t.id == uIDEvent; });
  if (q->timers.size() == before) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

static const winsim::ExportRegistrar kExports(
    "user32.dll",
    {WINSIM_EXPORT(PostMessageA), WINSIM_EXPORT(PostThreadMessageA), WINSIM_EXPORT(PostQuitMessage),
     WINSIM_EXPORT(SendMessageA), WINSIM_EXPORT(SendMessageTimeoutA), WINSIM_EXPORT(InSendMessage),
     WINSIM_EXPORT(GetMessageA), WINSIM_EXPORT(PeekMessageA), WINSIM_EXPORT(GetQueueStatus),
     WINSIM_EXPORT(TranslateMessage), WINSIM_EXPORT(DispatchMessageA), WINSIM_EXPORT(MsgWaitForMultipleObjects),
     WINSIM_EXPORT(SetTimer), WINSIM_EXPORT(KillTimer)});
