// winsim: the process's handle table.
//
// Every kernel object a HANDLE stands for (file, find search, token, event,
// mutex, thread, process, file mapping, ...) derives from KernelObject and is
// kept alive by the table until CloseHandle. Handles are small multiples of 4,
// as on Windows, and never NULL or INVALID_HANDLE_VALUE.
#pragma once

#include <memory>

#include <windows.h>

namespace winsim {

struct KernelObject {
  virtual ~KernelObject() = default;
  // A short name of the object's kind ("file", "event", ...), for messages.
  virtual const char* kind() const = 0;
};

HANDLE allocHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> lookupHandle(HANDLE handle);
template <class T>
std::shared_ptr<T> lookupHandleAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(lookupHandle(handle));
}
// Removes the handle; false when it was not open.
bool releaseHandle(HANDLE handle);

// The pseudo handles of GetCurrentProcess() and GetCurrentThread().
inline HANDLE currentProcessPseudoHandle() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)); }
inline HANDLE currentThreadPseudoHandle() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2)); }

}  // namespace winsim
