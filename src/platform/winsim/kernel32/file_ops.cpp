// winsim: file and folder operations by name: attributes, copy, move, delete,
// folders, drive type and free space.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "advapi32/registry_store.h"
#include "kernel32/file_common.h"
#include "kernel32/file_state.h"
#include "modules.h"

using namespace winsim;
using namespace winsim::files;

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr const char* kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

char driveOf(const Resolved& r) { return static_cast<char>(std::toupper(static_cast<unsigned char>(r.full[0]))); }

// Copies the data and times of `src` into a new file beside `dstHost` and
// renames it over `dstHost`, so that a failed copy leaves the target as it
// was. Returns 0 or the Windows error.
DWORD copyContents(const Resolved& src, const struct stat& srcSt, const fs::path& dstHost) {
  static std::atomic<unsigned> counter{0};
  if (diskFull()) return ERROR_DISK_FULL;
  int in = ::open(src.host.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errnoError(errno, src.host);
  const fs::path tmp = dstHost.parent_path() / (".~kvsim-copy-" + std::to_string(::getpid()) + "-" +
                                                 std::to_string(counter++));
  int out = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (out < 0) {
    const int err = errno;
    ::close(in);
    return errnoError(err, dstHost);
  }
  DWORD result = 0;
  char buffer[64 * 1024];
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result = errnoError(errno, src.host);
      break;
    }
    if (n == 0) break;
    ssize_t done = 0;
    while (done < n) {
      ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        result = errnoError(w < 0 ? errno : ENOSPC, dstHost);
        break;
      }
      done += w;
    }
    if (result) break;
  }
  ::close(in);
  if (!result) {
    const struct timespec times[2] = {srcSt.st_atim, srcSt.st_mtim};
    ::futimens(out, times);
    if (::fsync(out) != 0 && errno == ENOSPC) result = ERROR_DISK_FULL;
  }
  if (::close(out) != 0 && !result) result = errnoError(errno, dstHost);
  if (!result && ::rename(tmp.c_str(), dstHost.c_str()) != 0) result = errnoError(errno, dstHost);
  if (result) ::unlink(tmp.c_str());
  return result;
}

// Copies the stored attributes of one file to another (none stored: none).
void copyAttributes(const std::string& from, const std::string& to) {
  if (auto attrs = storedAttributes(from)) setStoredAttributes(to, *attrs);
  else forgetAttributes(to, false);
}

// The name a path has in the pending-rename list: the NT form of its full path.
std::string ntName(const char* path) { return std::string("\\??\\") + fullWinPath(path); }

// Appends one pair to PendingFileRenameOperations, keeping whatever pairs are
// there already (the session manager performs them in order).
BOOL scheduleAtReboot(LPCSTR src, LPCSTR dst, DWORD flags) {
  if (!src || !*src || (flags & MOVEFILE_COPY_ALLOWED)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!isAdministrator()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  std::string pair = ntName(src);
  pair.push_back('\0');
  if (dst && *dst) pair += ((flags & MOVEFILE_REPLACE_EXISTING) ? "!" : "") + ntName(dst);
  pair.push_back('\0');

  const bool ok = reg::transact(reg::Hive::LocalMachine, [&](reg::Editor& hive) {
    std::string data;
    if (auto old = hive.getValue(kSessionManager, "PendingFileRenameOperations")) {
      data.assign(old->data.begin(), old->data.end());
      // Drop the NUL that ends the list; it is written again after the new pair.
      if (!data.empty() && data.back() == '\0') data.pop_back();
      if (!data.empty() && data.back() != '\0') data.push_back('\0');
      // A list holding nothing but NULs holds no pairs.
      if (data.find_first_not_of('\0') == std::string::npos) data.clear();
    }
    data += pair;
    data.push_back('\0');
    reg::Value value;
    value.type = REG_MULTI_SZ;
    value.data.assign(data.begin(), data.end());
    return hive.createKey(kSessionManager) && hive.setValue(kSessionManager, "PendingFileRenameOperations", value);
  });
  if (!ok) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

bool sameKeyOrBelow(const std::string& key, const std::string& dir) {
  return key == dir || (key.size() > dir.size() && key.compare(0, dir.size(), dir) == 0 && key[dir.size()] == '\\');
}

}  // namespace

// GetFileAttributesA: INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND or ERROR_INVALID_NAME.
extern "C" DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  auto r = resolve(lpFileName);
  if (!r) return INVALID_FILE_ATTRIBUTES;
  struct stat st {};
  if (!hostStat(r->host, &st)) {
    SetLastError(missingError(r->host));
    return INVALID_FILE_ATTRIBUTES;
  }
  return attributesOf(*r, st);
}

// GetFileAttributesExA: FALSE with the errors of GetFileAttributesA, or
// ERROR_INVALID_PARAMETER for an unknown information level.
extern "C" BOOL WINAPI GetFileAttributesExA(LPCSTR lpFileName, GET_FILEEX_INFO_LEVELS fInfoLevelId,
                                            LPVOID lpFileInformation) {
  if (fInfoLevelId != GetFileExInfoStandard || !lpFileInformation) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto r = resolve(lpFileName);
  if (!r) return FALSE;
  struct stat st {};
  if (!hostStat(r->host, &st)) {
    SetLastError(missingError(r->host));
    return FALSE;
  }
  auto* info = static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(lpFileInformation);
  info->dwFileAttributes = attributesOf(*r, st);
  info->ftCreationTime = creationTime(r->host, st);
  info->ftLastAccessTime = toFileTime(st.st_atim);
  info->ftLastWriteTime = toFileTime(st.st_mtim);
  const auto size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
  info->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  info->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  return TRUE;
}

// SetFileAttributesA: FALSE with ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND.
// FILE_ATTRIBUTE_NORMAL alone clears every attribute; the directory bit and
// other bits that cannot be set are ignored.
extern "C" BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
  auto r = resolve(lpFileName);
  if (!r) return FALSE;
  MachineLock lock;
  struct stat st {};
  if (!hostStat(r->host, &st)) {
    SetLastError(missingError(r->host));
    return FALSE;
  }
  const DWORD attrs = dwFileAttributes & kSettableAttributes;
  const bool ok = (S_ISDIR(st.st_mode) && attrs == 0) ? forgetAttributes(r->key, false)
                                                      : setStoredAttributes(r->key, attrs);
  if (!ok) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

// CopyFileA: FALSE with ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND (source or
// target folder missing), ERROR_FILE_EXISTS (bFailIfExists), ERROR_ACCESS_DENIED
// (read-only target, a folder), ERROR_SHARING_VIOLATION (either file in use),
// ERROR_DISK_FULL. The copy keeps the source's attributes and times; a failed
// copy leaves no partial target and an existing target unchanged.
extern "C" BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  auto src = resolve(lpExistingFileName);
  if (!src) return FALSE;
  auto dst = resolve(lpNewFileName);
  if (!dst) return FALSE;
  MachineLock lock;
  struct stat srcSt {};
  if (!hostStat(src->host, &srcSt)) {
    SetLastError(missingError(src->host));
    return FALSE;
  }
  if (S_ISDIR(srcSt.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (DWORD err = checkSharing(src->key, FILE_READ_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE, false)) {
    SetLastError(err);
    return FALSE;
  }
  struct stat dstSt {};
  if (hostStat(dst->host, &dstSt)) {
    if (bFailIfExists) {
      SetLastError(ERROR_FILE_EXISTS);
      return FALSE;
    }
    if (S_ISDIR(dstSt.st_mode) || isReadOnly(*dst, dstSt)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    // The source is open for reading without write sharing: a copy onto
    // itself fails as it does on Windows.
    if (dst->key == src->key) {
      SetLastError(ERROR_SHARING_VIOLATION);
      return FALSE;
    }
    if (DWORD err = checkSharing(dst->key, FILE_WRITE_DATA, 0, false)) {
      SetLastError(err);
      return FALSE;
    }
  } else if (!isDirectory(dst->host.parent_path())) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (DWORD err = copyContents(*src, srcSt, dst->host)) {
    SetLastError(err);
    return FALSE;
  }
  copyAttributes(src->key, dst->key);
  return TRUE;
}

// DeleteFileA: FALSE with ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND,
// ERROR_ACCESS_DENIED (read-only, a folder, a module loaded elsewhere),
// ERROR_SHARING_VIOLATION (open elsewhere without delete sharing),
// ERROR_INVALID_NAME (wildcards).
extern "C" BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  auto r = resolve(lpFileName);
  if (!r) return FALSE;
  MachineLock lock;
  struct stat st {};
  if (!hostStat(r->host, &st)) {
    SetLastError(missingError(r->host));
    return FALSE;
  }
  if (S_ISDIR(st.st_mode) || isReadOnly(*r, st)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (DWORD err = checkSharing(r->key, DELETE, kShareAll, true)) {
    SetLastError(err);
    return FALSE;
  }
  if (::unlink(r->host.c_str()) != 0) {
    SetLastError(errnoError(errno, r->host));
    return FALSE;
  }
  forgetAttributes(r->key, false);
  return TRUE;
}

// MoveFileExA: FALSE with ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND,
// ERROR_ALREADY_EXISTS (target exists, no MOVEFILE_REPLACE_EXISTING),
// ERROR_ACCESS_DENIED (read-only or in-use target, folders, or a non-
// administrator asking for a move at restart), ERROR_SHARING_VIOLATION,
// ERROR_NOT_SAME_DEVICE (another drive without MOVEFILE_COPY_ALLOWED),
// ERROR_INVALID_PARAMETER (flags). MOVEFILE_DELAY_UNTIL_REBOOT only records the
// move in PendingFileRenameOperations; a NULL target then means delete.
extern "C" BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  if (dwFlags & ~static_cast<DWORD>(0x3F)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (dwFlags & MOVEFILE_DELAY_UNTIL_REBOOT) return scheduleAtReboot(lpExistingFileName, lpNewFileName, dwFlags);
  if (!lpNewFileName) return DeleteFileA(lpExistingFileName);
  auto src = resolve(lpExistingFileName);
  if (!src) return FALSE;
  auto dst = resolve(lpNewFileName);
  if (!dst) return FALSE;

  MachineLock lock;
  struct stat srcSt {};
  if (!hostStat(src->host, &srcSt)) {
    SetLastError(missingError(src->host));
    return FALSE;
  }
  const bool srcDir = S_ISDIR(srcSt.st_mode);
  if (DWORD err = checkSharing(src->key, DELETE, kShareAll, false)) {
    SetLastError(err);
    return FALSE;
  }
  const bool sameFile = src->key == dst->key;
  fs::path target = dst->host;
  if (sameFile) {
    // A change of case only: the target resolves to the source itself.
    const std::string full = dst->full;
    const size_t slash = full.find_last_of('\\');
    target = src->host.parent_path() / full.substr(slash == std::string::npos ? 0 : slash + 1);
  } else {
    if (srcDir && sameKeyOrBelow(dst->key, src->key)) {
      SetLastError(ERROR_SHARING_VIOLATION);
      return FALSE;
    }
    struct stat dstSt {};
    if (hostStat(dst->host, &dstSt)) {
      if (!(dwFlags & MOVEFILE_REPLACE_EXISTING)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
      }
      if (srcDir || S_ISDIR(dstSt.st_mode) || isReadOnly(*dst, dstSt)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
      }
      if (DWORD err = checkSharing(dst->key, DELETE, kShareAll, true)) {
        SetLastError(err);
        return FALSE;
      }
    } else if (!isDirectory(dst->host.parent_path())) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return FALSE;
    }
  }

  const bool otherDrive = driveOf(*src) != driveOf(*dst);
  if (otherDrive && !(dwFlags & MOVEFILE_COPY_ALLOWED)) {
    SetLastError(ERROR_NOT_SAME_DEVICE);
    return FALSE;
  }
  bool moved = false;
  if (!otherDrive) {
    if (::rename(src->host.c_str(), target.c_str()) == 0) moved = true;
    else if (errno != EXDEV) {
      SetLastError(errnoError(errno, target));
      return FALSE;
    }
  }
  if (!moved) {
    // Another volume: copy, then remove the original.
    if (srcDir) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (DWORD err = copyContents(*src, srcSt, target)) {
      SetLastError(err);
      return FALSE;
    }
    ::unlink(src->host.c_str());
  }
  if (!sameFile) {
    moveAttributes(src->key, dst->key);
    moveLock(src->key, dst->key);
    renameOpens(src->key, dst->key);
  }
  return TRUE;
}

// MoveFileA: MoveFileExA with MOVEFILE_COPY_ALLOWED; the same failures.
extern "C" BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
  if (!lpNewFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return MoveFileExA(lpExistingFileName, lpNewFileName, MOVEFILE_COPY_ALLOWED);
}

// CreateDirectoryA: FALSE with ERROR_ALREADY_EXISTS (a file or folder of that
// name) or ERROR_PATH_NOT_FOUND (the parent is missing).
extern "C" BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
  (void)lpSecurityAttributes;
  auto r = resolve(lpPathName);
  if (!r) return FALSE;
  MachineLock lock;
  struct stat st {};
  if (hostStat(r->host, &st)) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  if (!isDirectory(r->host.parent_path())) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (::mkdir(r->host.c_str(), 0755) != 0) {
    SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : errnoError(errno, r->host));
    return FALSE;
  }
  forgetAttributes(r->key, true);
  return TRUE;
}

// RemoveDirectoryA: FALSE with ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND,
// ERROR_DIRECTORY (not a folder), ERROR_DIR_NOT_EMPTY, ERROR_ACCESS_DENIED
// (read-only), ERROR_SHARING_VIOLATION (the current directory, or open).
extern "C" BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
  auto r = resolve(lpPathName);
  if (!r) return FALSE;
  MachineLock lock;
  struct stat st {};
  if (!hostStat(r->host, &st)) {
    SetLastError(missingError(r->host));
    return FALSE;
  }
  if (!S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_DIRECTORY);
    return FALSE;
  }
  if (attributesOf(*r, st) & FILE_ATTRIBUTE_READONLY) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  // The process keeps its current directory open, so Windows refuses to
  // remove it.
  auto cwd = hostPath(currentDirectory());
  if (cwd && fileKey(*cwd) == r->key) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  if (DWORD err = checkSharing(r->key, DELETE, kShareAll, true)) {
    SetLastError(err);
    return FALSE;
  }
  if (::rmdir(r->host.c_str()) != 0) {
    SetLastError(errnoError(errno, r->host));
    return FALSE;
  }
  forgetAttributes(r->key, true);
  return TRUE;
}

// GetDriveTypeA: DRIVE_FIXED for C: and Z:, DRIVE_REMOTE for a UNC root,
// DRIVE_NO_ROOT_DIR for any other drive or a path that is not a drive root.
// NULL means the drive of the current directory.
extern "C" UINT WINAPI GetDriveTypeA(LPCSTR lpRootPathName) {
  std::string root = lpRootPathName ? lpRootPathName : currentDirectory().substr(0, 3);
  if (root.size() >= 2 && (root[0] == '\\' || root[0] == '/') && (root[1] == '\\' || root[1] == '/')) {
    return DRIVE_REMOTE;
  }
  if (root.empty() || !std::isalpha(static_cast<unsigned char>(root[0]))) return DRIVE_NO_ROOT_DIR;
  const bool isRoot = root.size() == 1 || (root[1] == ':' && (root.size() == 2 || (root.size() == 3 && (root[2] == '\\' || root[2] == '/'))));
  if (!isRoot) return DRIVE_NO_ROOT_DIR;
  const char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
  return (drive == 'C' || drive == 'Z') ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR;
}

// GetDiskFreeSpaceExA: FALSE with ERROR_PATH_NOT_FOUND (no such folder or
// drive). With the DiskFull fault the free space is 0.
extern "C" BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR lpDirectoryName, PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                                           PULARGE_INTEGER lpTotalNumberOfBytes,
                                           PULARGE_INTEGER lpTotalNumberOfFreeBytes) {
  const std::string dir = lpDirectoryName ? lpDirectoryName : currentDirectory();
  auto r = resolve(dir.c_str());
  if (!r) return FALSE;
  if (!isDirectory(r->host)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  struct statvfs vfs {};
  if (::statvfs(r->host.c_str(), &vfs) != 0) {
    SetLastError(errnoError(errno, r->host));
    return FALSE;
  }
  const bool full = diskFull();
  const ULONGLONG total = static_cast<ULONGLONG>(vfs.f_blocks) * vfs.f_frsize;
  const ULONGLONG avail = full ? 0 : static_cast<ULONGLONG>(vfs.f_bavail) * vfs.f_frsize;
  const ULONGLONG free = full ? 0 : static_cast<ULONGLONG>(vfs.f_bfree) * vfs.f_frsize;
  if (lpFreeBytesAvailableToCaller) lpFreeBytesAvailableToCaller->QuadPart = avail;
  if (lpTotalNumberOfBytes) lpTotalNumberOfBytes->QuadPart = total;
  if (lpTotalNumberOfFreeBytes) lpTotalNumberOfFreeBytes->QuadPart = free;
  return TRUE;
}

static const winsim::ExportRegistrar kExports(
    "kernel32.dll",
    {WINSIM_EXPORT(GetFileAttributesA), WINSIM_EXPORT(GetFileAttributesExA), WINSIM_EXPORT(SetFileAttributesA),
     WINSIM_EXPORT(CopyFileA), WINSIM_EXPORT(DeleteFileA), WINSIM_EXPORT(MoveFileExA), WINSIM_EXPORT(MoveFileA),
     WINSIM_EXPORT(CreateDirectoryA), WINSIM_EXPORT(RemoveDirectoryA), WINSIM_EXPORT(GetDriveTypeA),
     WINSIM_EXPORT(GetDiskFreeSpaceExA)});
