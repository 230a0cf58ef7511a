// winsim: helpers shared by the kernel32 file, search, path and time functions.
#include "kernel32/file_common.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "kernel32/file_state.h"

namespace winsim::files {
namespace {

bool invalidNameChar(unsigned char c, bool allowWildcards) {
  if (c < 0x20) return true;
  switch (c) {
    case '<':
    case '>':
    case '"':
    case '|':
    case ':':
      return true;
    case '*':
    case '?':
      return !allowWildcards;
    default:
      return false;
  }
}

}  // namespace

namespace {

constexpr size_t kPathMemoLimit = 16;

// The host path a full Windows name has when every name on the way exists in
// the case given.
std::optional<fs::path> ownSpelling(const std::string& full) {
  if (full.size() < 3 || full[1] != ':' || full[2] != '\\') return std::nullopt;
  const char drive = static_cast<char>(full[0] & ~0x20);
  std::string exact;
  if (drive == 'C') exact = (machineRoot() / "drive_c").native();
  else if (drive == 'Z') exact = "/";
  else return std::nullopt;
  size_t start = 3;
  while (start < full.size()) {
    size_t end = full.find('\\', start);
    if (end == std::string::npos) end = full.size();
    if (end > start) {
      if (exact.back() != '/') exact += '/';
      exact.append(full, start, end - start);
    }
    start = end + 1;
  }
  return fs::path(std::move(exact));
}

}  // namespace

const PathMemo::Entry* PathMemo::lookup(std::string_view name, const std::string& cwd, const fs::path& root) {
  for (Known& k : m_known) {
    if (k.name == name && k.cwd == cwd && k.root == root.native()) {
      k.used = ++m_clock;
      return &k.entry;
    }
  }
  return nullptr;
}

std::optional<PathMemo::Entry> PathMemo::find(std::string_view name) {
  std::optional<Entry> found;
  {
    const std::string cwd = currentDirectory();
    const fs::path& root = machineRoot();
    std::lock_guard<std::mutex> guard(m_mutex);
    if (const Entry* e = lookup(name, cwd, root)) found = *e;
  }
  struct stat st {};
  if (found && ::lstat(found->host.c_str(), &st) != 0) found.reset();
  return found;
}

std::optional<fs::path> PathMemo::findHost(std::string_view name) {
  std::optional<fs::path> found;
  {
    const std::string cwd = currentDirectory();
    const fs::path& root = machineRoot();
    std::lock_guard<std::mutex> guard(m_mutex);
    if (const Entry* e = lookup(name, cwd, root)) found = e->host;
  }
  struct stat st {};
  if (found && ::lstat(found->c_str(), &st) != 0) found.reset();
  return found;
}

void PathMemo::remember(std::string_view name, const std::string& full, const fs::path& host, const std::string& key) {
  const auto exact = ownSpelling(full);
  struct stat st {};
  if (!exact || *exact != host || ::lstat(host.c_str(), &st) != 0) return;
  Known k{std::string(name), currentDirectory(), machineRoot().native(), Entry{full, host, key}, 0};
  std::lock_guard<std::mutex> guard(m_mutex);
  k.used = ++m_clock;
  for (Known& old : m_known) {
    if (old.name == name) {
      old = std::move(k);
      return;
    }
  }
  // Names used once (temporary files) make way before the ones used again.
  if (m_known.size() >= kPathMemoLimit) {
    *std::min_element(m_known.begin(), m_known.end(),
                      [](const Known& a, const Known& b) { return a.used < b.used; }) = std::move(k);
    return;
  }
  m_known.push_back(std::move(k));
}

std::optional<Resolved> resolve(LPCSTR path, bool allowWildcards) {
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  std::string_view given(path);
  if (given.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  // Names with wildcards are kept out of the memo: the same name may be
  // refused by a call that takes none.
  static PathMemo s_memo;
  const bool memoOk = given.find_first_of("*?") == std::string_view::npos;
  if (memoOk) {
    if (auto known = s_memo.find(given)) return Resolved{std::move(known->full), std::move(known->host), std::move(known->key)};
  }
  Resolved r;
  r.full = fullWinPath(given);
  if (r.full.size() >= 2 && r.full[0] == '\\' && r.full[1] == '\\') {
    SetLastError(ERROR_BAD_NETPATH);
    return std::nullopt;
  }
  for (size_t i = 2; i < r.full.size(); ++i) {
    if (invalidNameChar(static_cast<unsigned char>(r.full[i]), allowWildcards)) {
      SetLastError(ERROR_INVALID_NAME);
      return std::nullopt;
    }
  }
  auto host = hostPath(r.full);
  if (!host) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  r.host = *host;
  r.key = fileKey(r.host);
  if (memoOk) s_memo.remember(given, r.full, r.host, r.key);
  return r;
}

bool hostStat(const fs::path& host, struct stat* st) { return ::stat(host.c_str(), st) == 0; }

bool isDirectory(const fs::path& host) {
  struct stat st {};
  return hostStat(host, &st) && S_ISDIR(st.st_mode);
}

DWORD missingError(const fs::path& host) {
  fs::path parent = host.parent_path();
  if (parent.empty() || parent == host || isDirectory(parent)) return ERROR_FILE_NOT_FOUND;
  return ERROR_PATH_NOT_FOUND;
}

DWORD errnoError(int err, const fs::path& host) {
  switch (err) {
    case ENOENT:
      return missingError(host);
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case EBUSY:
      return ERROR_SHARING_VIOLATION;
    default:
      return ERROR_GEN_FAILURE;
  }
}

DWORD attributesOf(const Resolved& r, const struct stat& st) {
  const std::optional<DWORD> stored = storedAttributes(r.key);
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY | (stored.value_or(0) & kSettableAttributes);
  DWORD attrs = stored ? (*stored & kSettableAttributes) : FILE_ATTRIBUTE_ARCHIVE;
  // A host file this process may not write is read-only to Windows programs too.
  if (::access(r.host.c_str(), W_OK) != 0 && errno == EACCES) attrs |= FILE_ATTRIBUTE_READONLY;
  return attrs ? attrs : FILE_ATTRIBUTE_NORMAL;
}

FILETIME toFileTime(const struct timespec& ts) {
  const std::int64_t v = static_cast<std::int64_t>(ts.tv_sec) * 10000000LL + ts.tv_nsec / 100 + kEpochDelta;
  return makeFileTime(static_cast<std::uint64_t>(v < 0 ? 0 : v));
}

struct timespec toTimespec(const FILETIME& ft) {
  const std::int64_t v = static_cast<std::int64_t>(fileTimeValue(ft)) - kEpochDelta;
  std::int64_t sec = v / 10000000LL;
  std::int64_t rem = v % 10000000LL;
  if (rem < 0) {
    rem += 10000000LL;
    sec -= 1;
  }
  struct timespec ts {};
  ts.tv_sec = static_cast<time_t>(sec);
  ts.tv_nsec = static_cast<long>(rem * 100);
  return ts;
}

FILETIME creationTime(const fs::path& host, const struct stat& st) {
#ifdef STATX_BTIME
  struct statx sx {};
  if (::statx(AT_FDCWD, host.c_str(), 0, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME)) {
    struct timespec ts {};
    ts.tv_sec = sx.stx_btime.tv_sec;
    ts.tv_nsec = sx.stx_btime.tv_nsec;
    return toFileTime(ts);
  }
#else
  (void)host;
#endif
  const struct timespec& older =
      (st.st_mtim.tv_sec < st.st_ctim.tv_sec ||
       (st.st_mtim.tv_sec == st.st_ctim.tv_sec && st.st_mtim.tv_nsec < st.st_ctim.tv_nsec))
          ? st.st_mtim
          : st.st_ctim;
  return toFileTime(older);
}

bool matchPattern(std::string_view pattern, std::string_view name) {
  // The search functions hand a pattern over in a form where some characters
  // take the DOS meanings described above; translate first.
  enum : char { kStar = '*', kDosStar = 1, kDosQm = 2, kDosDot = 3 };
  if (pattern == "*.*" || pattern == "*") return true;
  std::string p;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (c == '?') p += static_cast<char>(kDosQm);
    else if (c == '*' && next == '.') p += static_cast<char>(kDosStar);
    else if (c == '.' && (next == '?' || next == '*' || next == '\0')) p += static_cast<char>(kDosDot);
    else p += c;
  }
  const size_t P = p.size();
  const size_t N = name.size();
  const size_t lastDot = name.rfind('.');
  // dp[i][j]: pattern from i matches name from j. Row by row from the end.
  std::vector<char> next(N + 1, 0), cur(N + 1, 0);
  next[N] = 1;  // empty pattern matches the empty rest only
  for (size_t i = P; i-- > 0;) {
    const char c = p[i];
    for (size_t j = N + 1; j-- > 0;) {
      bool m = false;
      switch (c) {
        case kStar:
          m = next[j] || (j < N && cur[j + 1]);
          break;
        case kDosStar:
          m = next[j] || (j < N && (lastDot == std::string_view::npos || j < lastDot) && cur[j + 1]);
          break;
        case kDosQm:
          if (j == N || name[j] == '.') m = next[j];
          else m = next[j + 1];
          break;
        case kDosDot:
          if (j == N) m = next[j];
          else m = name[j] == '.' && next[j + 1];
          break;
        default:
          m = j < N && std::tolower(static_cast<unsigned char>(name[j])) == std::tolower(static_cast<unsigned char>(c)) &&
              next[j + 1];
          break;
      }
      cur[j] = m ? 1 : 0;
    }
    std::swap(next, cur);
  }
  return next[0] != 0;
}

FileObject::~FileObject() {
  if (fd >= 0) ::close(fd);
  if (openId) closeOpen(openId);
  if (deleteOnClose && openCount(path.key) == 0) {
    MachineLock lock;
    if (directory) ::rmdir(path.host.c_str());
    else ::unlink(path.host.c_str());
    forgetAttributes(path.key, directory);
  }
}

std::shared_ptr<FileObject> fileFromHandle(HANDLE h) { return lookupHandleAs<FileObject>(h); }

DWORD copyOut(const std::string& text, LPSTR buffer, DWORD size) {
  const DWORD len = static_cast<DWORD>(text.size());
  if (!buffer || size < len + 1) return len + 1;
  std::memmove(buffer, text.c_str(), len + 1);
  return len;
}

}  // namespace winsim::files
