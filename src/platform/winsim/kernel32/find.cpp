// winsim: searching a folder (FindFirstFileA, FindNextFileA, FindClose).
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "kernel32/file_common.h"
#include "kernel32/file_state.h"
#include "modules.h"

using namespace winsim;
using namespace winsim::files;

namespace {

// A search takes its snapshot of the folder when it starts, as NTFS hands out
// a sorted listing; FindNextFileA walks it.
struct FindObject : KernelObject {
  const char* kind() const override { return "find"; }
  std::mutex mutex;
  std::vector<WIN32_FIND_DATAA> entries;
  size_t next = 0;
};

WIN32_FIND_DATAA entryFor(const std::string& name, const Resolved& r, const struct stat& st) {
  WIN32_FIND_DATAA data;
  std::memset(&data, 0, sizeof data);
  data.dwFileAttributes = attributesOf(r, st);
  data.ftCreationTime = creationTime(r.host, st);
  data.ftLastAccessTime = toFileTime(st.st_atim);
  data.ftLastWriteTime = toFileTime(st.st_mtim);
  const auto size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
  data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  const size_t n = std::min(name.size(), sizeof data.cFileName - 1);
  std::memcpy(data.cFileName, name.data(), n);
  return data;
}

// Names of files winsim keeps for itself while it copies.
bool isInternalName(const std::string& name) { return name.rfind(".~kvsim-", 0) == 0; }

}  // namespace

// FindFirstFileA: INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND (nothing
// matches), ERROR_PATH_NOT_FOUND (the folder is missing) or ERROR_INVALID_NAME.
// A listing of a folder other than a drive root includes "." and "..".
extern "C" HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  if (!lpFileName || !lpFindFileData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string given(lpFileName);
  if (!given.empty() && (given.back() == '\\' || given.back() == '/')) {
    // "C:\dir\" names no file: Windows answers that nothing was found.
    SetLastError(isDirectory(hostPath(given).value_or(fs::path())) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  const size_t slash = given.find_last_of("\\/");
  std::string dirPart = slash == std::string::npos ? std::string() : given.substr(0, slash + 1);
  std::string pattern = slash == std::string::npos ? given : given.substr(slash + 1);
  if (dirPart.empty() && pattern.size() >= 2 && pattern[1] == ':') {
    dirPart = pattern.substr(0, 2);
    pattern = pattern.substr(2);
  }
  if (pattern.find_first_of("<>|\":") != std::string::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  auto dir = resolve(dirPart.empty() ? "." : dirPart.c_str());
  if (!dir) return INVALID_HANDLE_VALUE;
  if (!isDirectory(dir->host)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  // The full path of the folder tells whether it is a drive root ("C:\").
  std::string dirFull = dir->full;
  if (!dirFull.empty() && dirFull.back() == '\\') dirFull.pop_back();
  const bool driveRoot = dirFull.size() <= 2;

  auto search = std::make_shared<FindObject>();
  std::vector<WIN32_FIND_DATAA> files;
  if (!driveRoot) {
    for (const char* dots : {".", ".."}) {
      if (!matchPattern(pattern, dots)) continue;
      struct stat st {};
      const fs::path host = std::string(dots) == "." ? dir->host : dir->host.parent_path();
      if (!hostStat(host, &st)) continue;
      Resolved r{dirFull, host, fileKey(host)};
      search->entries.push_back(entryFor(dots, r, st));
    }
  }
  std::vector<std::string> names;
  forEachFolderEntry(dir->host, [&](std::string_view found) {
    const std::string name(found);
    if (!isInternalName(name) && name.size() < MAX_PATH && matchPattern(pattern, name)) names.push_back(name);
  });
  for (const std::string& name : names) {
    const fs::path host = dir->host / name;
    struct stat st {};
    if (!hostStat(host, &st)) continue;
    Resolved r{dirFull + "\\" + name, host, fileKey(host)};
    files.push_back(entryFor(name, r, st));
  }
  std::sort(files.begin(), files.end(), [](const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
    return toUpper(a.cFileName) < toUpper(b.cFileName);
  });
  search->entries.insert(search->entries.end(), files.begin(), files.end());
  if (search->entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  *lpFindFileData = search->entries[0];
  search->next = 1;
  return allocHandle(search);
}

// FindNextFileA: FALSE with ERROR_NO_MORE_FILES at the end, or
// ERROR_INVALID_HANDLE.
extern "C" BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  auto search = lookupHandleAs<FindObject>(hFindFile);
  if (!search || !lpFindFileData) {
    SetLastError(search ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(search->mutex);
  if (search->next >= search->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *lpFindFileData = search->entries[search->next++];
  return TRUE;
}

// FindClose: FALSE with ERROR_INVALID_HANDLE for anything but an open search.
extern "C" BOOL WINAPI FindClose(HANDLE hFindFile) {
  if (!lookupHandleAs<FindObject>(hFindFile) || !releaseHandle(hFindFile)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

static const winsim::ExportRegistrar kExports("kernel32.dll", {WINSIM_EXPORT(FindFirstFileA),
                                                                WINSIM_EXPORT(FindNextFileA),
                                                                WINSIM_EXPORT(FindClose)});
