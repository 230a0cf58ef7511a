// winsim: helpers shared by the kernel32 file, search, path and time functions.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include "handles.h"
#include "machine.h"

namespace winsim::files {

// A Windows path resolved onto the host.
struct Resolved {
  std::string full;  // the full Windows form, case as given
  fs::path host;     // the host path, components that exist in their on-disk case
  std::string key;   // the key of the file in the machine's tables
};

// Resolves a path a caller handed in. Fails with the last error set:
// ERROR_INVALID_PARAMETER for NULL, ERROR_PATH_NOT_FOUND for an empty path or
// a drive the machine does not have, ERROR_BAD_NETPATH for a UNC path,
// ERROR_INVALID_NAME for characters Windows refuses in names (wildcards are
// refused unless `allowWildcards`).
std::optional<Resolved> resolve(LPCSTR path, bool allowWildcards = false);

// The host paths of names a process uses again and again (a file written key
// by key, a log opened per line). An answer is kept while the name means the
// same, that is for the same current folder and machine, and while the file
// is there in the case the name gives: the lookup by case then finds that
// file first, so the kept answer is the one a new lookup would give. Any
// other outcome is looked up again.
class PathMemo {
 public:
  struct Entry {
    std::string full;
    fs::path host;
    std::string key;
  };
  std::optional<Entry> find(std::string_view name);
  // Only the host path of a kept answer, for callers that need no more.
  std::optional<fs::path> findHost(std::string_view name);
  // Keeps the answer only when `host` is the full name's own spelling.
  void remember(std::string_view name, const std::string& full, const fs::path& host, const std::string& key);

 private:
  struct Known {
    std::string name;
    std::string cwd;
    std::string root;
    Entry entry;
    std::uint64_t used = 0;
  };
  // The kept answer for the name, marked as used; the caller holds m_mutex.
  const Entry* lookup(std::string_view name, const std::string& cwd, const fs::path& root);
  std::mutex m_mutex;
  std::vector<Known> m_known;
  std::uint64_t m_clock = 0;
};

// The error for a path that does not exist: ERROR_FILE_NOT_FOUND when its
// folder exists, else ERROR_PATH_NOT_FOUND.
DWORD missingError(const fs::path& host);
// The Windows error for an errno of a host call on `host`.
DWORD errnoError(int err, const fs::path& host);

bool hostStat(const fs::path& host, struct stat* st);
bool isDirectory(const fs::path& host);

// The attributes Windows would report for an existing file or folder.
DWORD attributesOf(const Resolved& r, const struct stat& st);
inline bool isReadOnly(const Resolved& r, const struct stat& st) {
  return (attributesOf(r, st) & FILE_ATTRIBUTE_READONLY) != 0;
}
// The attribute bits SetFileAttributesA may store.
inline constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                             FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY |
                                             FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// ---- Times -------------------------------------------------------------------------
// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
inline constexpr std::int64_t kEpochDelta = 116444736000000000LL;
FILETIME toFileTime(const struct timespec& ts);
struct timespec toTimespec(const FILETIME& ft);
inline std::uint64_t fileTimeValue(const FILETIME& ft) {
  return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
inline FILETIME makeFileTime(std::uint64_t v) {
  return FILETIME{static_cast<DWORD>(v & 0xFFFFFFFFu), static_cast<DWORD>(v >> 32)};
}
// Creation time: the host's birth time where it records one, else the change time.
FILETIME creationTime(const fs::path& host, const struct stat& st);

// ---- Wildcards ------------------------------------------------------------------------
// Matches a file name against a search pattern the way FindFirstFileA does:
// '*' and '?' as usual, "*.*" matching every name, '?' also matching nothing at
// a dot or at the end of the name, a '.' before '*' or '?' or at the end
// matching the end of the name, and "*." matching names without extension.
// Case is ignored.
bool matchPattern(std::string_view pattern, std::string_view name);

// ---- Open files ------------------------------------------------------------------------
struct FileObject : KernelObject {
  ~FileObject() override;
  const char* kind() const override { return "file"; }

  std::mutex mutex;
  int fd = -1;
  bool directory = false;
  DWORD access = 0;  // mapped file rights
  std::uint64_t position = 0;
  std::uint64_t openId = 0;
  bool deleteOnClose = false;
  Resolved path;
};
std::shared_ptr<FileObject> fileFromHandle(HANDLE h);

// Copies a string result into a caller's buffer by the common rule of the
// path functions: the length without the NUL on success, the size needed
// with the NUL when the buffer is too small (the buffer is then untouched).
DWORD copyOut(const std::string& text, LPSTR buffer, DWORD size);

}  // namespace winsim::files
