// winsim: the handle table and CloseHandle.
#include "handles.h"

#include <mutex>
#include <unordered_map>

#include "modules.h"

namespace winsim {
namespace {

std::mutex g_mutex;
std::unordered_map<ULONG_PTR, std::shared_ptr<KernelObject>>& table() {
  static std::unordered_map<ULONG_PTR, std::shared_ptr<KernelObject>> t;
  return t;
}
ULONG_PTR g_next = 0x40;

}  // namespace

HANDLE allocHandle(std::shared_ptr<KernelObject> object) {
  std::lock_guard<std::mutex> guard(g_mutex);
  ULONG_PTR value = g_next;
  g_next += 4;
  table()[value] = std::move(object);
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> lookupHandle(HANDLE handle) {
  std::lock_guard<std::mutex> guard(g_mutex);
  auto it = table().find(reinterpret_cast<ULONG_PTR>(handle));
  return it == table().end() ? nullptr : it->second;
}

bool releaseHandle(HANDLE handle) {
  std::shared_ptr<KernelObject> doomed;  // destroyed outside the lock
  {
    std::lock_guard<std::mutex> guard(g_mutex);
    auto it = table().find(reinterpret_cast<ULONG_PTR>(handle));
    if (it == table().end()) return false;
    doomed = std::move(it->second);
    table().erase(it);
  }
  return true;
}

}  // namespace winsim

// CloseHandle: FALSE with ERROR_INVALID_HANDLE for a handle that is not open.
// Closing a pseudo handle does nothing and succeeds, as on Windows.
extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
  if (hObject == winsim::currentProcessPseudoHandle() || hObject == winsim::currentThreadPseudoHandle()) return TRUE;
  if (!winsim::releaseHandle(hObject)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

static const winsim::ExportRegistrar kExports("kernel32.dll", {WINSIM_EXPORT(CloseHandle), WINSIM_EXPORT(GetLastError),
                                                                WINSIM_EXPORT(SetLastError)});
