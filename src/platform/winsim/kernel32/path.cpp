// winsim: path functions: full, short and long names, the current directory,
// the system folders, the temporary folder and temporary file names.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "kernel32/file_common.h"
#include "kernel32/file_state.h"
#include "modules.h"

using namespace winsim;
using namespace winsim::files;

namespace {

constexpr const char* kWindowsDirectory = "C:\\Windows";
constexpr const char* kSystemDirectory = "C:\\Windows\\system32";

std::string environmentValue(const char* name) {
  std::vector<char> buffer(MAX_PATH + 1);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD n = GetEnvironmentVariableA(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(n + 1);
  }
  return {};
}

// The temporary folder as Windows chooses it: TMP, then TEMP, then
// USERPROFILE, then the Windows folder; always a full path ending in a
// backslash. Windows does not check that the folder exists.
std::string temporaryFolder() {
  std::string dir;
  for (const char* name : {"TMP", "TEMP", "USERPROFILE"}) {
    dir = environmentValue(name);
    if (!dir.empty()) break;
  }
  if (dir.empty()) dir = kWindowsDirectory;
  dir = fullWinPath(dir);
  if (dir.back() != '\\') dir += '\\';
  return dir;
}

// Resolves a path that must exist for the short/long name functions; sets
// the last error and returns false when it does not.
bool existingPath(LPCSTR path) {
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  auto r = resolve(path);
  if (!r) return false;
  struct stat st {};
  if (!hostStat(r->host, &st)) {
    SetLastError(missingError(r->host));
    return false;
  }
  return true;
}

UINT copyFolder(const char* text, LPSTR buffer, UINT size) { return copyOut(text, buffer, size); }

}  // namespace

// GetTempPathA: the length without the NUL, or the size needed with the NUL
// when the buffer is too small. Never fails here.
extern "C" DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
  return copyOut(temporaryFolder(), lpBuffer, nBufferLength);
}

// GetTempFileNameA: 0 with ERROR_INVALID_PARAMETER (NULL folder or output),
// ERROR_BUFFER_OVERFLOW (folder longer than MAX_PATH - 14), ERROR_DIRECTORY
// (no such folder), ERROR_FILE_EXISTS (every number taken), or the error of
// creating the file. With uUnique 0 the file is created empty and its number
// returned; otherwise only the name is formed from the low 16 bits.
extern "C" UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique,
                                        LPSTR lpTempFileName) {
  if (!lpPathName || !lpTempFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (std::strlen(lpPathName) > MAX_PATH - 14) {
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return 0;
  }
  auto r = resolve(*lpPathName ? lpPathName : ".");
  if (!r) return 0;
  if (!isDirectory(r->host)) {
    SetLastError(ERROR_DIRECTORY);
    return 0;
  }
  std::string base = lpPathName;
  if (base.empty() || (base.back() != '\\' && base.back() != '/')) base += '\\';
  if (lpPrefixString) base.append(lpPrefixString, strnlen(lpPrefixString, 3));

  auto nameFor = [&](UINT number) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X.tmp", number);
    return base + hex;
  };
  UINT number = uUnique & 0xFFFF;
  if (uUnique == 0) {
    // Start from the clock, as Windows does, and count up to a free name.
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    number = static_cast<UINT>((std::chrono::duration_cast<std::chrono::milliseconds>(now).count() ^ ::getpid()) & 0xFFFF);
    if (number == 0) number = 1;
    bool created = false;
    for (UINT tries = 0; tries < 0xFFFF; ++tries) {
      const std::string name = nameFor(number);
      HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        created = true;
        break;
      }
      const DWORD err = GetLastError();
      if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS && err != ERROR_SHARING_VIOLATION) return 0;
      number = (number + 1) & 0xFFFF;
      if (number == 0) number = 1;
    }
    if (!created) {
      SetLastError(ERROR_FILE_EXISTS);
      return 0;
    }
  }
  const std::string name = nameFor(number);
  if (name.size() >= MAX_PATH) {
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return 0;
  }
  std::memcpy(lpTempFileName, name.c_str(), name.size() + 1);
  return number;
}

// GetShortPathNameA: the volumes of the machine keep no 8.3 names, so the
// short path is the path as given. 0 with ERROR_FILE_NOT_FOUND /
// ERROR_PATH_NOT_FOUND when it does not exist; otherwise the length without
// the NUL, or the size needed with the NUL when the buffer is too small.
extern "C" DWORD WINAPI GetShortPathNameA(LPCSTR lpszLongPath, LPSTR lpszShortPath, DWORD cchBuffer) {
  if (!existingPath(lpszLongPath)) return 0;
  return copyOut(lpszLongPath, lpszShortPath, cchBuffer);
}

// GetLongPathNameA: as GetShortPathNameA, the other way round.
extern "C" DWORD WINAPI GetLongPathNameA(LPCSTR lpszShortPath, LPSTR lpszLongPath, DWORD cchBuffer) {
  if (!existingPath(lpszShortPath)) return 0;
  return copyOut(lpszShortPath, lpszLongPath, cchBuffer);
}

// GetFullPathNameA: 0 with ERROR_INVALID_PARAMETER (NULL) or ERROR_INVALID_NAME
// (empty); otherwise the length without the NUL, or the size needed with the
// NUL when the buffer is too small. *lpFilePart points at the last component,
// or is NULL when the path ends with a backslash.
extern "C" DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR* lpFilePart) {
  if (!lpFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!*lpFileName) {
    SetLastError(ERROR_INVALID_NAME);
    return 0;
  }
  const std::string full = fullWinPath(lpFileName);
  const DWORD n = copyOut(full, lpBuffer, nBufferLength);
  if (n == full.size() && lpFilePart) {
    const size_t slash = full.find_last_of('\\');
    *lpFilePart = (slash == std::string::npos || slash + 1 >= full.size()) ? nullptr : lpBuffer + slash + 1;
  }
  return n;
}

// GetCurrentDirectoryA: the length without the NUL, or the size needed with
// the NUL when the buffer is too small.
extern "C" DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  return copyOut(currentDirectory(), lpBuffer, nBufferLength);
}

// SetCurrentDirectoryA: FALSE with ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND
// (missing) or ERROR_DIRECTORY (not a folder).
extern "C" BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
  auto r = resolve(lpPathName);
  if (!r) return FALSE;
  struct stat st {};
  if (!hostStat(r->host, &st)) {
    SetLastError(missingError(r->host));
    return FALSE;
  }
  if (!S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_DIRECTORY);
    return FALSE;
  }
  std::string dir = r->full;
  if (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
  setCurrentDirectory(dir);
  return TRUE;
}

// GetSystemDirectoryA: C:\Windows\system32; the length without the NUL, or the
// size needed with the NUL when the buffer is too small.
extern "C" UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return copyFolder(kSystemDirectory, lpBuffer, uSize);
}

// GetWindowsDirectoryA: C:\Windows, by the same buffer rule.
extern "C" UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return copyFolder(kWindowsDirectory, lpBuffer, uSize);
}

// GetSystemWindowsDirectoryA: C:\Windows, by the same buffer rule.
extern "C" UINT WINAPI GetSystemWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return copyFolder(kWindowsDirectory, lpBuffer, uSize);
}

static const winsim::ExportRegistrar kExports(
    "kernel32.dll",
    {WINSIM_EXPORT(GetTempPathA), WINSIM_EXPORT(GetTempFileNameA), WINSIM_EXPORT(GetShortPathNameA),
     WINSIM_EXPORT(GetLongPathNameA), WINSIM_EXPORT(GetFullPathNameA), WINSIM_EXPORT(GetCurrentDirectoryA),
     WINSIM_EXPORT(SetCurrentDirectoryA), WINSIM_EXPORT(GetSystemDirectoryA), WINSIM_EXPORT(GetWindowsDirectoryA),
     WINSIM_EXPORT(GetSystemWindowsDirectoryA)});
