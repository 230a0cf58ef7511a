// winsim: opening, reading and writing files (CreateFileA and the handle calls).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kernel32/file_common.h"
#include "kernel32/file_state.h"
#include "modules.h"

using namespace winsim;
using namespace winsim::files;

namespace {

constexpr DWORD kValidShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The attributes a file created with `flags` carries: what the caller asked
// for, and the archive bit Windows sets on every new file.
void storeNewFileAttributes(const std::string& key, DWORD flags) {
  const DWORD attrs = (flags & kSettableAttributes) | FILE_ATTRIBUTE_ARCHIVE;
  if (attrs == FILE_ATTRIBUTE_ARCHIVE) forgetAttributes(key, false);
  else setStoredAttributes(key, attrs);
}

bool readAll(int fd, void* buffer, size_t size, std::uint64_t offset, size_t* done) {
  *done = 0;
  auto* out = static_cast<char*>(buffer);
  while (*done < size) {
    ssize_t n = ::pread(fd, out + *done, size - *done, static_cast<off_t>(offset + *done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    *done += static_cast<size_t>(n);
  }
  return true;
}

bool writeAll(int fd, const void* buffer, size_t size, std::uint64_t offset, size_t* done) {
  *done = 0;
  const auto* in = static_cast<const char*>(buffer);
  while (*done < size) {
    ssize_t n = ::pwrite(fd, in + *done, size - *done, static_cast<off_t>(offset + *done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    *done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

// CreateFileA: INVALID_HANDLE_VALUE on failure: ERROR_FILE_NOT_FOUND /
// ERROR_PATH_NOT_FOUND for a missing file or folder, ERROR_FILE_EXISTS
// (CREATE_NEW), ERROR_ACCESS_DENIED (read-only file opened for writing, a
// folder), ERROR_SHARING_VIOLATION (open elsewhere without the needed sharing),
// ERROR_INVALID_PARAMETER (disposition or share mode). On success the last
// error is ERROR_ALREADY_EXISTS when CREATE_ALWAYS or OPEN_ALWAYS found the
// file, else 0.
extern "C" HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                                     DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  (void)lpSecurityAttributes;
  (void)hTemplateFile;
  auto r = resolve(lpFileName);
  if (!r) return INVALID_HANDLE_VALUE;
  if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING || (dwShareMode & ~kValidShare)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  DWORD access = mapGenericAccess(dwDesiredAccess);
  const bool deleteOnClose = (dwFlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
  if (deleteOnClose) access |= DELETE;

  MachineLock lock;
  struct stat st {};
  const bool exists = hostStat(r->host, &st);
  const bool directory = exists && S_ISDIR(st.st_mode);
  if (exists && dwCreationDisposition == CREATE_NEW) {
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
  }
  if (!exists && (dwCreationDisposition == OPEN_EXISTING || dwCreationDisposition == TRUNCATE_EXISTING)) {
    SetLastError(missingError(r->host));
    return INVALID_HANDLE_VALUE;
  }
  if (!exists && !isDirectory(r->host.parent_path())) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (directory && (!(dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) || dwCreationDisposition == CREATE_ALWAYS ||
                    dwCreationDisposition == TRUNCATE_EXISTING || (access & kWriteAccess))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  const bool truncate = exists && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING);
  if (exists) {
    if (!directory && isReadOnly(*r, st) && ((access & kWriteAccess) || truncate || deleteOnClose)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
    if (DWORD err = checkSharing(r->key, access | (truncate ? FILE_WRITE_DATA : 0), dwShareMode, deleteOnClose)) {
      SetLastError(err);
      return INVALID_HANDLE_VALUE;
    }
  }

  int flags = O_CLOEXEC;
  if (directory) flags |= O_RDONLY | O_DIRECTORY;
  else if (access & kWriteAccess) flags |= O_RDWR;
  else flags |= O_RDONLY;
  if (!exists) flags |= O_CREAT | O_EXCL;
  int fd = ::open(r->host.c_str(), flags, 0644);
  if (fd < 0 && errno == EACCES && !(access & (kReadAccess | kWriteAccess)) && exists) {
    // An open for attributes only needs no right to the data.
    fd = ::open(r->host.c_str(), O_PATH | O_CLOEXEC);
  }
  if (fd < 0) {
    SetLastError(errnoError(errno, r->host));
    return INVALID_HANDLE_VALUE;
  }
  if (truncate && ::ftruncate(fd, 0) != 0 && ::truncate(r->host.c_str(), 0) != 0) {
    const int err = errno;
    ::close(fd);
    SetLastError(errnoError(err, r->host));
    return INVALID_HANDLE_VALUE;
  }
  if (!exists || truncate) storeNewFileAttributes(r->key, dwFlagsAndAttributes);

  auto object = std::make_shared<FileObject>();
  object->fd = fd;
  object->directory = directory;
  object->access = access;
  object->deleteOnClose = deleteOnClose;
  object->path = *r;
  object->openId = recordOpen(r->key, access, dwShareMode);
  HANDLE h = allocHandle(object);
  const bool found = exists && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS);
  SetLastError(found ? ERROR_ALREADY_EXISTS : 0);
  return h;
}

// ReadFile: FALSE with ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED (no read
// access), ERROR_INVALID_PARAMETER (no count and no OVERLAPPED). Reading at the
// end of the file succeeds with 0 bytes; with an OVERLAPPED offset past the end
// it fails with ERROR_HANDLE_EOF.
extern "C" BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
  auto f = fileFromHandle(hFile);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
  if (!lpNumberOfBytesRead && !lpOverlapped) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (f->directory) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  if (!(f->access & FILE_READ_DATA)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (nNumberOfBytesToRead && !lpBuffer) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(f->mutex);
  const std::uint64_t offset =
      lpOverlapped ? (static_cast<std::uint64_t>(lpOverlapped->OffsetHigh) << 32 | lpOverlapped->Offset) : f->position;
  size_t done = 0;
  if (!readAll(f->fd, lpBuffer, nNumberOfBytesToRead, offset, &done)) {
    SetLastError(errnoError(errno, f->path.host));
    return FALSE;
  }
  f->position = offset + done;
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = static_cast<DWORD>(done);
  if (lpOverlapped) {
    lpOverlapped->Internal = 0;
    lpOverlapped->InternalHigh = done;
    if (done == 0 && nNumberOfBytesToRead > 0) {
      SetLastError(ERROR_HANDLE_EOF);
      return FALSE;
    }
  }
  return TRUE;
}

// WriteFile: FALSE with ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED (no write
// access), ERROR_DISK_FULL (the disk is full; nothing is written).
extern "C" BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
  auto f = fileFromHandle(hFile);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  if (!lpNumberOfBytesWritten && !lpOverlapped) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (f->directory || !(f->access & kWriteAccess)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (nNumberOfBytesToWrite == 0) return TRUE;
  if (!lpBuffer) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  if (diskFull()) {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(f->mutex);
  std::uint64_t offset = f->position;
  const bool appendOnly = !(f->access & FILE_WRITE_DATA);
  if (lpOverlapped) {
    offset = static_cast<std::uint64_t>(lpOverlapped->OffsetHigh) << 32 | lpOverlapped->Offset;
  }
  if (appendOnly || (lpOverlapped && lpOverlapped->Offset == 0xFFFFFFFFu && lpOverlapped->OffsetHigh == 0xFFFFFFFFu)) {
    struct stat st {};
    offset = ::fstat(f->fd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
  }
  size_t done = 0;
  const bool ok = writeAll(f->fd, lpBuffer, nNumberOfBytesToWrite, offset, &done);
  const int err = errno;
  f->position = offset + done;
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = static_cast<DWORD>(done);
  if (lpOverlapped) {
    lpOverlapped->Internal = 0;
    lpOverlapped->InternalHigh = done;
  }
  if (!ok) {
    SetLastError(errnoError(err, f->path.host));
    return FALSE;
  }
  return TRUE;
}

// SetFilePointer: INVALID_SET_FILE_POINTER with ERROR_NEGATIVE_SEEK (before the
// start), ERROR_INVALID_PARAMETER (bad method, or a position beyond 32 bits
// without a high part), ERROR_INVALID_HANDLE. A success whose low part happens
// to be 0xFFFFFFFF sets the last error to 0 so callers can tell.
extern "C" DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                                       DWORD dwMoveMethod) {
  auto f = fileFromHandle(hFile);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  std::int64_t distance = lDistanceToMove;
  if (lpDistanceToMoveHigh) {
    distance = static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<DWORD>(*lpDistanceToMoveHigh)) << 32) |
                                         static_cast<DWORD>(lDistanceToMove));
  }
  std::lock_guard<std::mutex> guard(f->mutex);
  std::int64_t base = 0;
  switch (dwMoveMethod) {
    case FILE_BEGIN:
      break;
    case FILE_CURRENT:
      base = static_cast<std::int64_t>(f->position);
      break;
    case FILE_END: {
      struct stat st {};
      base = ::fstat(f->fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
      break;
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_SET_FILE_POINTER;
  }
  const std::int64_t target = base + distance;
  if (target < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  if (!lpDistanceToMoveHigh && target > 0xFFFFFFFELL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  f->position = static_cast<std::uint64_t>(target);
  if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(f->position >> 32);
  const DWORD low = static_cast<DWORD>(f->position & 0xFFFFFFFFu);
  if (low == INVALID_SET_FILE_POINTER) SetLastError(0);
  return low;
}

// GetFileSize: INVALID_FILE_SIZE with ERROR_INVALID_HANDLE; a size whose low
// part is 0xFFFFFFFF sets the last error to 0.
extern "C" DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  auto f = fileFromHandle(hFile);
  struct stat st {};
  if (!f || ::fstat(f->fd, &st) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  const auto size = f->directory ? 0 : static_cast<std::uint64_t>(st.st_size);
  if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
  const DWORD low = static_cast<DWORD>(size & 0xFFFFFFFFu);
  if (low == INVALID_FILE_SIZE) SetLastError(0);
  return low;
}

// SetEndOfFile: the file ends at the file pointer. FALSE with
// ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED (no write access), ERROR_DISK_FULL.
extern "C" BOOL WINAPI SetEndOfFile(HANDLE hFile) {
  auto f = fileFromHandle(hFile);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (f->directory || !(f->access & FILE_WRITE_DATA)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(f->mutex);
  struct stat st {};
  if (diskFull() && ::fstat(f->fd, &st) == 0 && f->position > static_cast<std::uint64_t>(st.st_size)) {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  if (::ftruncate(f->fd, static_cast<off_t>(f->position)) != 0) {
    SetLastError(errnoError(errno, f->path.host));
    return FALSE;
  }
  return TRUE;
}

// FlushFileBuffers: FALSE with ERROR_INVALID_HANDLE, or ERROR_ACCESS_DENIED for
// a handle without write access.
extern "C" BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
  auto f = fileFromHandle(hFile);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(f->access & kWriteAccess)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  ::fsync(f->fd);
  return TRUE;
}

static const winsim::ExportRegistrar kExports("kernel32.dll",
                                              {WINSIM_EXPORT(CreateFileA), WINSIM_EXPORT(ReadFile),
                                               WINSIM_EXPORT(WriteFile), WINSIM_EXPORT(SetFilePointer),
                                               WINSIM_EXPORT(GetFileSize), WINSIM_EXPORT(SetEndOfFile),
                                               WINSIM_EXPORT(FlushFileBuffers)});
