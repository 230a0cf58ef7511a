// winsim: threads.
#include <thread>

#include "kernel32/sync_objects.h"
#include "modules.h"

namespace winsim {

std::shared_ptr<ThreadObject> currentThreadObject() {
  thread_local std::shared_ptr<ThreadObject> self = [] {
    auto t = std::make_shared<ThreadObject>();
    t->tid = currentThreadId();
    return t;
  }();
  return self;
}

}  // namespace winsim

namespace ws = winsim;

// CreateThread: a handle to the running thread, or NULL with
// ERROR_INVALID_PARAMETER (no start address) or ERROR_NOT_ENOUGH_MEMORY.
// The thread's id is stored in *lpThreadId before the thread can end.
extern "C" HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress,
                                      LPVOID lpParameter, DWORD, LPDWORD lpThreadId) {
  if (!lpStartAddress) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto object = std::make_shared<ws::ThreadObject>();
  HANDLE handle = ws::allocHandle(object);
  std::unique_lock<std::mutex> lock(ws::waitMutex());
  try {
    std::thread([object, lpStartAddress, lpParameter] {
      {
        std::lock_guard<std::mutex> guard(ws::waitMutex());
        object->tid = ws::currentThreadId();
        ws::notifyWaiters();
      }
      const DWORD code = lpStartAddress(lpParameter);
      std::lock_guard<std::mutex> guard(ws::waitMutex());
      object->exitCode = code;
      object->finished = true;
      ws::notifyWaiters();
    }).detach();
  } catch (const std::system_error&) {
    lock.unlock();
    ws::releaseHandle(handle);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  ws::waitCondition().wait(lock, [&] { return object->tid != 0; });
  if (lpThreadId) *lpThreadId = object->tid;
  return handle;
}

// GetExitCodeThread: STILL_ACTIVE while the thread runs; FALSE with
// ERROR_INVALID_HANDLE for anything but a thread.
extern "C" BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  std::shared_ptr<ws::ThreadObject> t = hThread == ws::currentThreadPseudoHandle()
                                            ? ws::currentThreadObject()
                                            : ws::lookupHandleAs<ws::ThreadObject>(hThread);
  if (!t || !lpExitCode) {
    SetLastError(t ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  *lpExitCode = t->finished ? t->exitCode : STILL_ACTIVE;
  return TRUE;
}

static const winsim::ExportRegistrar kExports("kernel32.dll",
                                              {WINSIM_EXPORT(CreateThread), WINSIM_EXPORT(GetExitCodeThread)});
