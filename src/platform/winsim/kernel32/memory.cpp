// winsim: LocalAlloc/LocalFree, GlobalAlloc/GlobalFree and the process heap.
//
// Every block handed out is remembered, so that freeing a pointer twice or
// one that never came from here is refused with ERROR_INVALID_HANDLE, as
// Windows refuses it, instead of corrupting the heap.
#include <cstdlib>
#include <mutex>
#include <unordered_set>

#include <windows.h>

#include "modules.h"

namespace {

std::mutex g_mutex;
std::unordered_set<void*>& blocks() {
  static std::unordered_set<void*> b;
  return b;
}

// Both families hand out fixed blocks; the moveable kind is not offered,
// so a request for it gets a fixed block too, which its callers can use
// the same way as long as they do not lock and unlock it.
void* allocate(UINT flags, SIZE_T bytes) {
  void* p = (flags & LMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
  if (!p) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(g_mutex);
  blocks().insert(p);
  return p;
}

void* release(void* p) {
  if (!p) return nullptr;
  {
    std::lock_guard<std::mutex> guard(g_mutex);
    if (!blocks().erase(p)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return p;
    }
  }
  std::free(p);
  return nullptr;
}

}  // namespace

// LocalAlloc: NULL with ERROR_NOT_ENOUGH_MEMORY.
extern "C" HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) { return allocate(uFlags, uBytes); }
// LocalFree: NULL on success; the block itself with ERROR_INVALID_HANDLE
// when it is not a live block.
extern "C" HLOCAL WINAPI LocalFree(HLOCAL hMem) { return release(hMem); }
// GlobalAlloc: NULL with ERROR_NOT_ENOUGH_MEMORY.
extern "C" HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) { return allocate(uFlags, dwBytes); }
// GlobalFree: as LocalFree.
extern "C" HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) { return release(hMem); }

// GetProcessHeap: the one heap of the process, which the Heap functions
// below serve from the same blocks as LocalAlloc.
extern "C" HANDLE WINAPI GetProcessHeap() {
  static char heap;
  return &heap;
}
// HeapAlloc: NULL when the block cannot be had (Windows sets no last error
// then) or the heap is not the process heap.
extern "C" LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
  if (hHeap != GetProcessHeap()) return nullptr;
  const DWORD saved = GetLastError();
  void* p = allocate((dwFlags & HEAP_ZERO_MEMORY) ? LMEM_ZEROINIT : 0, dwBytes);
  if (!p) SetLastError(saved);
  return p;
}
// HeapFree: FALSE with ERROR_INVALID_PARAMETER for a block the heap did not
// hand out; freeing NULL succeeds.
extern "C" BOOL WINAPI HeapFree(HANDLE hHeap, DWORD, LPVOID lpMem) {
  if (hHeap != GetProcessHeap() || release(lpMem)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

static const winsim::ExportRegistrar kExports("kernel32.dll",
                                              {WINSIM_EXPORT(LocalAlloc), WINSIM_EXPORT(LocalFree),
                                               WINSIM_EXPORT(GlobalAlloc), WINSIM_EXPORT(GlobalFree),
                                               WINSIM_EXPORT(GetProcessHeap), WINSIM_EXPORT(HeapAlloc),
                                               WINSIM_EXPORT(HeapFree)});
