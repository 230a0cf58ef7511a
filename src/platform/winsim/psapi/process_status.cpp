// winsim: the process status functions of psapi.dll over the processes a
// machine shows.
//
// A machine shows the System Idle Process (id 0) and the System process
// (id 4), which no program can open for reading, the calling process itself
// and the simulated processes recorded with `kvsim proc add`. Other winsim
// programs running on the same machine are not listed: what the program asks
// of these functions is which modules the machine's other programs hold,
// and that is what the simulated processes describe.
#include <algorithm>
#include <cstring>
#include <vector>

#include <windows.h>

#include "modules.h"
#include "psapi/process_store.h"
#include "waitable.h"

namespace ws = winsim;

namespace {

// Copies as many entries as the buffer holds; the answer is the number of
// bytes written, as both enumerations report it.
template <typename T>
DWORD copyEntries(const std::vector<T>& entries, T* out, DWORD cb) {
  const size_t fit = std::min<size_t>(entries.size(), cb / sizeof(T));
  if (fit) std::memcpy(out, entries.data(), fit * sizeof(T));
  return static_cast<DWORD>(fit * sizeof(T));
}

}  // namespace

// EnumProcesses: the ids of every process the machine shows. A buffer too
// small for all of them is filled, and the size written then equals the
// buffer's size (less a remainder of a DWORD), as on Windows: the caller
// grows the buffer while the two are equal. FALSE with ERROR_NOACCESS for a
// missing size pointer or buffer.
extern "C" BOOL WINAPI EnumProcesses(DWORD* lpidProcess, DWORD cb, DWORD* lpcbNeeded) {
  if (!lpcbNeeded || (!lpidProcess && cb >= sizeof(DWORD))) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  std::vector<DWORD> ids{0, ws::procs::kSystemPid, static_cast<DWORD>(ws::currentProcessId())};
  for (const auto& p : ws::procs::all()) ids.push_back(p.pid);
  *lpcbNeeded = copyEntries(ids, lpidProcess, cb);
  return TRUE;
}

// EnumProcessModules: the module handles of a process, its image first.
// lpcbNeeded gets the size all of them need, also when the buffer holds
// fewer (the buffer is then filled as far as it goes). FALSE with
// ERROR_INVALID_HANDLE for a handle that names no process, ERROR_PARTIAL_COPY
// for a process that has ended, ERROR_NOACCESS for a missing size pointer or
// buffer.
extern "C" BOOL WINAPI EnumProcessModules(HANDLE hProcess, HMODULE* lphModule, DWORD cb, LPDWORD lpcbNeeded) {
  const auto modules = ws::procs::modulesOfProcess(hProcess);
  if (!modules) return FALSE;
  if (!lpcbNeeded || (!lphModule && cb >= sizeof(HMODULE))) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  std::vector<HMODULE> handles;
  for (const auto& m : *modules) handles.push_back(m.handle);
  copyEntries(handles, lphModule, cb);
  *lpcbNeeded = static_cast<DWORD>(handles.size() * sizeof(HMODULE));
  return TRUE;
}

// GetModuleFileNameExA: the full path of a module of a process (hModule NULL:
// its image) and its length. A buffer too small gets the path cut to
// nSize - 1 characters and a NUL, and the answer is nSize. 0 with
// ERROR_INVALID_HANDLE for a handle or module that names nothing,
// ERROR_INSUFFICIENT_BUFFER for nSize 0, ERROR_NOACCESS for a missing buffer.
extern "C" DWORD WINAPI GetModuleFileNameExA(HANDLE hProcess, HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  const auto modules = ws::procs::modulesOfProcess(hProcess);
  if (!modules) return 0;
  const ws::LoadedModule* found = nullptr;
  for (const auto& m : *modules) {
    if (!hModule || m.handle == hModule) {
      found = &m;
      break;
    }
  }
  if (!found) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (nSize == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (!lpFilename) {
    SetLastError(ERROR_NOACCESS);
    return 0;
  }
  const std::string& path = found->winPath;
  if (path.size() < nSize) {
    std::memcpy(lpFilename, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
  }
  std::memcpy(lpFilename, path.data(), nSize - 1);
  lpFilename[nSize - 1] = '\0';
  return nSize;
}

static const winsim::ExportRegistrar kExports("psapi.dll", {WINSIM_EXPORT(EnumProcesses),
                                                            WINSIM_EXPORT(EnumProcessModules),
                                                            WINSIM_EXPORT(GetModuleFileNameExA)});
