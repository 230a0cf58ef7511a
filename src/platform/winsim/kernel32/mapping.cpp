// winsim: file mappings backed by the paging file: unnamed ones in the
// process, named ones in a file of the machine root that every process maps,
// so that all running instances of a program see the same bytes.
#include <sys/mman.h>

#include <map>

#include "handles.h"
#include "kernel32/named_objects.h"
#include "modules.h"

namespace winsim {
namespace {

struct MappingObject : KernelObject {
  std::unique_ptr<NamedPresence> presence;
  int fd = -1;  // the backing file of a named mapping, or -1
  size_t size = 0;
  bool writable = true;
  ~MappingObject() override {
    if (fd >= 0) ::close(fd);
  }
  const char* kind() const override { return "file mapping"; }
};

std::mutex g_mappingMutex;
std::map<std::string, std::weak_ptr<MappingObject>>& namedMappings() {
  static auto* m = new std::map<std::string, std::weak_ptr<MappingObject>>;
  return *m;
}
// Views by base address, with their length and the mapping they keep alive.
std::map<const void*, std::pair<size_t, std::shared_ptr<MappingObject>>>& views() {
  static auto* m = new std::map<const void*, std::pair<size_t, std::shared_ptr<MappingObject>>>;
  return *m;
}

}  // namespace
}  // namespace winsim

namespace ws = winsim;

// CreateFileMappingA: a mapping of the paging file (hFile must be
// INVALID_HANDLE_VALUE; mapping a file of the disk is not supported and fails
// with ERROR_INVALID_HANDLE). A name that exists anywhere on the machine gives
// the existing mapping with ERROR_ALREADY_EXISTS; a new one starts zeroed.
// NULL with ERROR_INVALID_PARAMETER for a size of 0.
extern "C" HANDLE WINAPI CreateFileMappingA(HANDLE hFile, LPSECURITY_ATTRIBUTES, DWORD flProtect,
                                            DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow, LPCSTR lpName) {
  if (hFile != INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const unsigned long long size = (static_cast<unsigned long long>(dwMaximumSizeHigh) << 32) | dwMaximumSizeLow;
  if (size == 0 || size > (1ull << 32)) {
    SetLastError(size == 0 ? ERROR_INVALID_PARAMETER : ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto m = std::make_shared<ws::MappingObject>();
  m->size = static_cast<size_t>(size);
  m->writable = (flProtect & 0xFF) != PAGE_READONLY;
  if (!lpName || !*lpName) {
    // An anonymous shared memory file, unlinked at once.
    m->fd = ::memfd_create("kvsim-mapping", MFD_CLOEXEC);
    if (m->fd < 0 || ::ftruncate(m->fd, static_cast<off_t>(m->size)) != 0) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return ws::allocHandle(m);
  }
  const std::string full = ws::namespacedName(lpName);
  std::lock_guard<std::mutex> guard(ws::g_mappingMutex);
  auto it = ws::namedMappings().find(full);
  if (it != ws::namedMappings().end()) {
    if (auto existing = it->second.lock()) {
      SetLastError(ERROR_ALREADY_EXISTS);
      return ws::allocHandle(existing);
    }
  }
  ws::MachineLock lock;
  m->presence = std::make_unique<ws::NamedPresence>();
  bool existed = false;
  if (!m->presence->open(full, "mapping", true, &existed)) return nullptr;
  const auto path = m->presence->sidePath(".map");
  m->fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (m->fd < 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (!existed) {
    // Bytes left by processes that have all ended do not belong to the new mapping.
    if (::ftruncate(m->fd, 0) != 0 || ::ftruncate(m->fd, static_cast<off_t>(m->size)) != 0) {
      SetLastError(ERROR_DISK_FULL);
      return nullptr;
    }
  } else {
    // The existing mapping keeps the size its creator gave it.
    const off_t end = ::lseek(m->fd, 0, SEEK_END);
    m->size = end > 0 ? static_cast<size_t>(end) : m->size;
  }
  ws::namedMappings()[full] = m;
  HANDLE h = ws::allocHandle(m);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return h;
}

// OpenFileMappingA: the mapping of that name, or NULL with ERROR_FILE_NOT_FOUND.
extern "C" HANDLE WINAPI OpenFileMappingA(DWORD, BOOL, LPCSTR lpName) {
  if (!lpName || !*lpName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::string full = ws::namespacedName(lpName);
  std::lock_guard<std::mutex> guard(ws::g_mappingMutex);
  auto it = ws::namedMappings().find(full);
  if (it != ws::namedMappings().end()) {
    if (auto existing = it->second.lock()) return ws::allocHandle(existing);
  }
  ws::MachineLock lock;
  auto m = std::make_shared<ws::MappingObject>();
  m->presence = std::make_unique<ws::NamedPresence>();
  bool existed = false;
  if (!m->presence->open(full, "mapping", false, &existed)) return nullptr;
  const auto path = m->presence->sidePath(".map");
  m->fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  const off_t end = m->fd >= 0 ? ::lseek(m->fd, 0, SEEK_END) : -1;
  if (end <= 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  m->size = static_cast<size_t>(end);
  ws::namedMappings()[full] = m;
  return ws::allocHandle(m);
}

// MapViewOfFile: the address of the view, or NULL (ERROR_INVALID_HANDLE,
// ERROR_ACCESS_DENIED for a write view of a read-only mapping,
// ERROR_INVALID_PARAMETER for a range beyond the mapping).
extern "C" LPVOID WINAPI MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess, DWORD dwFileOffsetHigh,
                                       DWORD dwFileOffsetLow, SIZE_T dwNumberOfBytesToMap) {
  auto m = ws::lookupHandleAs<ws::MappingObject>(hFileMappingObject);
  if (!m) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const bool write = (dwDesiredAccess & FILE_MAP_WRITE) != 0;
  if (write && !m->writable) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const unsigned long long offset = (static_cast<unsigned long long>(dwFileOffsetHigh) << 32) | dwFileOffsetLow;
  if (offset % 65536 != 0 || offset >= m->size) {
    SetLastError(offset % 65536 ? ERROR_MAPPED_ALIGNMENT : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const size_t length = dwNumberOfBytesToMap ? dwNumberOfBytesToMap : m->size - offset;
  if (length > m->size - offset) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* p = ::mmap(nullptr, length, PROT_READ | (write ? PROT_WRITE : 0), MAP_SHARED, m->fd,
                   static_cast<off_t>(offset));
  if (p == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(ws::g_mappingMutex);
  ws::views()[p] = {length, m};
  return p;
}

// UnmapViewOfFile: FALSE with ERROR_INVALID_ADDRESS for an address that is
// not the start of a view.
extern "C" BOOL WINAPI UnmapViewOfFile(LPCVOID lpBaseAddress) {
  std::shared_ptr<ws::MappingObject> keep;  // released outside the lock
  std::lock_guard<std::mutex> guard(ws::g_mappingMutex);
  auto it = ws::views().find(lpBaseAddress);
  if (it == ws::views().end()) {
    SetLastError(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  ::munmap(const_cast<void*>(lpBaseAddress), it->second.first);
  keep = std::move(it->second.second);
  ws::views().erase(it);
  return TRUE;
}

static const winsim::ExportRegistrar kExports(
    "kernel32.dll", {WINSIM_EXPORT(CreateFileMappingA), WINSIM_EXPORT(OpenFileMappingA),
                     WINSIM_EXPORT(MapViewOfFile), WINSIM_EXPORT(UnmapViewOfFile)});
