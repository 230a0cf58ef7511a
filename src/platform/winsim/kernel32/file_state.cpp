// winsim: attribute, lock and open-file tables of the simulated file system.
#include "kernel32/file_state.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>

#include "advapi32/registry_store.h"

namespace winsim::files {
namespace {

// The paths of the tables of the current machine, made once per root: every
// open and close looks at them.
struct TablePaths {
  std::string root;
  fs::path attributes;
  fs::path locks;
  fs::path open;
};

const TablePaths& tablePaths() {
  thread_local TablePaths t_paths;
  const fs::path& root = machineRoot();
  if (t_paths.root.empty() || t_paths.root != root.native()) {
    t_paths.attributes = root / "files" / "attributes";
    t_paths.locks = root / "files" / "locks";
    t_paths.open = root / "files" / "open";
    t_paths.root = root.native();
  }
  return t_paths;
}

const fs::path& tablePath(const char* name) {
  const TablePaths& paths = tablePaths();
  return std::string_view(name) == "locks" ? paths.locks : paths.attributes;
}

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }
int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  return (std::tolower(static_cast<unsigned char>(c)) - 'a') + 10;
}

std::string escapeKey(std::string_view key) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : key) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == '%' || c == 0x7f) {
      out += '%';
      out += kDigits[c >> 4];
      out += kDigits[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

std::optional<std::string> unescapeKey(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    if (!isHex(text[i + 1]) || !isHex(text[i + 2])) return std::nullopt;
    out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
    i += 2;
  }
  return out;
}

// A table file cached by identity: atomic replacement gives every new version a
// new inode, so (inode, size, mtime) tells whether the cache is still good.
struct CachedTable {
  bool valid = false;
  ino_t inode = 0;
  off_t size = 0;
  struct timespec mtime {};
  fs::path path;
  std::vector<Record> records;
};

std::mutex g_cacheMutex;

// Brings the cache up to date with the table file; the caller holds
// g_cacheMutex. A missing table leaves no records.
void refreshTable(CachedTable& cache, const fs::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    cache.valid = false;
    cache.records.clear();
    return;
  }
  if (cache.valid && cache.path.native() == path.native() && cache.inode == st.st_ino && cache.size == st.st_size &&
      cache.mtime.tv_sec == st.st_mtim.tv_sec && cache.mtime.tv_nsec == st.st_mtim.tv_nsec) {
    return;
  }
  auto text = readWholeFile(path);
  cache.records = text ? parseTable(*text) : std::vector<Record>{};
  cache.valid = text.has_value();
  cache.path = path;
  cache.inode = st.st_ino;
  cache.size = st.st_size;
  cache.mtime = st.st_mtim;
}

std::vector<Record> readTable(CachedTable& cache, const fs::path& path) {
  std::lock_guard<std::mutex> guard(g_cacheMutex);
  refreshTable(cache, path);
  return cache.records;
}

// The value stored for `key`, looked up without copying the table: every
// open asks for the attributes and the lock of its file.
std::optional<std::uint32_t> findRecord(CachedTable& cache, const fs::path& path, const std::string& key) {
  std::lock_guard<std::mutex> guard(g_cacheMutex);
  refreshTable(cache, path);
  for (const Record& r : cache.records) {
    if (r.key == key) return r.value;
  }
  return std::nullopt;
}

CachedTable g_attributes;
CachedTable g_locks;

bool isBelow(const std::string& key, const std::string& dir) {
  return key.size() > dir.size() && key.compare(0, dir.size(), dir) == 0 &&
         (key[dir.size()] == '\\' || dir.back() == '\\');
}

// Changes one table under the machine lock and writes it back atomically when
// the change altered it.
template <class Fn>
bool editTable(CachedTable& cache, const char* name, Fn&& change) {
  MachineLock lock;
  const fs::path path = tablePath(name);
  std::vector<Record> records = readTable(cache, path);
  if (!change(records)) return true;
  return atomicWriteFile(path, formatTable(records));
}

// ---- Opens of this process and of the others -------------------------------------

struct OpenEntry {
  std::uint64_t id;
  std::string key;
  DWORD access;
  DWORD share;
};

std::mutex g_openMutex;
std::vector<OpenEntry> g_opens;
std::uint64_t g_nextOpen = 1;

const fs::path& openFolder() { return tablePaths().open; }

// This process's published opens: one file, written in place. Every
// reader and writer of the open folder holds the machine lock, so no one
// sees a half-written file, and a file rewritten in place costs no new
// inode and no rename per open (the detail log opens its file per line).
struct PublishedOpens {
  fs::path path;
  int fd = -1;
  size_t size = 0;  // of what the file holds
  ~PublishedOpens() {
    if (fd >= 0) {
      ::unlink(path.c_str());
      ::close(fd);
    }
  }
} g_published;

// Publishes this process's opens. The file is runtime state that dies with the
// process, so no flush to disk is needed.
void publishOpens() {
  thread_local std::string text;
  text.clear();
  for (auto& e : g_opens) {
    text += escapeKey(e.key);
    char buf[32];
    std::snprintf(buf, sizeof buf, "\t%X\t%X\n", e.access, e.share);
    text += buf;
  }
  std::error_code ec;
  // Made once per folder and process: a forked child publishes under its
  // own number.
  thread_local fs::path t_target;
  thread_local std::string t_folder;
  thread_local pid_t t_pid = 0;
  const pid_t self = ::getpid();
  if (t_folder != openFolder().native() || t_pid != self) {
    t_target = openFolder() / std::to_string(self);
    t_folder = openFolder().native();
    t_pid = self;
  }
  const fs::path& target = t_target;
  // Another machine, or the file was removed under us (a machine removed):
  // start a new file.
  struct stat st {};
  if (g_published.fd >= 0 && (g_published.path != target || ::fstat(g_published.fd, &st) != 0 || st.st_nlink == 0)) {
    ::close(g_published.fd);
    g_published.fd = -1;
  }
  if (g_published.fd < 0) {
    if (g_opens.empty()) {
      fs::remove(target, ec);
      return;
    }
    fs::create_directories(openFolder(), ec);
    g_published.fd = ::open(target.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (g_published.fd < 0) return;
    g_published.path = target;
    g_published.size = static_cast<size_t>(-1);  // whatever a process of the same id left there
  }
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::pwrite(g_published.fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  // A file that grew or kept its length holds exactly the new text already.
  if (done < g_published.size) {
    while (::ftruncate(g_published.fd, static_cast<off_t>(done)) != 0 && errno == EINTR) {
    }
  }
  g_published.size = done;
}

bool processAlive(long pid) { return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

// Opens of the other live processes on `key`; the records of processes that
// ended are removed on the way.
// The open folder as it was when it held no other process's file: while it
// is the same folder, unchanged (same inode, modification and change times),
// no other process has published an open. A folder changed in the last
// seconds is read again, as its times advance in clock ticks.
struct QuietFolder {
  bool valid = false;
  pid_t pid = 0;  // the process that looked: a forked child sees its parent's file as another's
  std::string path;
  FolderStamp stamp;
};
QuietFolder g_quiet;
constexpr std::chrono::seconds kRecent{2};

std::vector<OpenEntry> foreignOpens(const std::string& key) {
  std::vector<OpenEntry> found;
  std::error_code ec;
  const long self = ::getpid();
  const fs::path& folder = openFolder();
  struct stat st {};
  const bool stated = ::stat(folder.c_str(), &st) == 0;
  if (!stated) return found;
  const FolderStamp stamp = FolderStamp::of(st);
  if (g_quiet.valid && g_quiet.pid == self && g_quiet.path == folder.native() && g_quiet.stamp == stamp) return found;
  bool others = false;
  std::vector<std::pair<long, std::string>> foreign;
  const bool listed = forEachFolderEntry(folder, [&](std::string_view name) {
    if (name.empty() || name[0] == '.' || name.find_first_not_of("0123456789") != std::string_view::npos) return;
    std::string owned(name);
    const long pid = std::strtol(owned.c_str(), nullptr, 10);
    if (pid != self) foreign.emplace_back(pid, std::move(owned));
  });
  if (!listed) ec = std::make_error_code(std::errc::io_error);
  for (const auto& [pid, name] : foreign) {
    others = true;
    const fs::path file = folder / name;
    if (!processAlive(pid)) {
      std::error_code rmEc;
      fs::remove(file, rmEc);
      continue;
    }
    auto text = readWholeFile(file);
    if (!text) continue;
    for (const std::string_view line : splitLines(*text)) {
      const size_t t1 = line.find('\t');
      if (t1 == std::string_view::npos) continue;
      const size_t t2 = line.find('\t', t1 + 1);
      if (t2 == std::string_view::npos) continue;
      auto k = unescapeKey(line.substr(0, t1));
      if (!k || *k != key) continue;
      const std::string a(line.substr(t1 + 1, t2 - t1 - 1));
      const std::string s(line.substr(t2 + 1));
      if (a.empty() || s.empty() || a.size() > 8 || s.size() > 8 ||
          a.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos ||
          s.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        continue;
      }
      found.push_back({0, *k, static_cast<DWORD>(std::stoul(a, nullptr, 16)),
                       static_cast<DWORD>(std::stoul(s, nullptr, 16))});
    }
  }
  // Removing the files of ended processes changed the folder: its new times
  // are taken at the next look.
  g_quiet.valid = !ec && !others && stamp.settled(kRecent);
  if (g_quiet.valid) {
    g_quiet.pid = static_cast<pid_t>(self);
    g_quiet.path = folder.native();
    g_quiet.stamp = stamp;
  }
  return found;
}

// The sharing rule of Windows. An open that asks for neither reading, writing
// nor deleting takes no part in it, on either side.
bool conflicts(DWORD heldAccess, DWORD heldShare, DWORD access, DWORD share) {
  constexpr DWORD kData = kReadAccess | kWriteAccess | kDeleteAccess;
  if (!(heldAccess & kData) || !(access & kData)) return false;
  if ((access & kReadAccess) && !(heldShare & FILE_SHARE_READ)) return true;
  if ((access & kWriteAccess) && !(heldShare & FILE_SHARE_WRITE)) return true;
  if ((access & kDeleteAccess) && !(heldShare & FILE_SHARE_DELETE)) return true;
  if ((heldAccess & kReadAccess) && !(share & FILE_SHARE_READ)) return true;
  if ((heldAccess & kWriteAccess) && !(share & FILE_SHARE_WRITE)) return true;
  if ((heldAccess & kDeleteAccess) && !(share & FILE_SHARE_DELETE)) return true;
  return false;
}

}  // namespace

std::string fileKey(const fs::path& host) { return toLower(winPath(host)); }

std::vector<Record> parseTable(std::string_view text) {
  std::vector<Record> out;
  for (const std::string_view line : splitLines(text)) {
    const size_t tab = line.find('\t');
    if (tab == std::string_view::npos || tab == 0 || tab > 8) continue;
    std::uint32_t value = 0;
    bool ok = true;
    for (size_t i = 0; i < tab; ++i) {
      if (!isHex(line[i])) {
        ok = false;
        break;
      }
      value = value * 16 + static_cast<std::uint32_t>(hexValue(line[i]));
    }
    if (!ok) continue;
    auto key = unescapeKey(line.substr(tab + 1));
    if (!key || key->empty()) continue;
    out.push_back({value, std::move(*key)});
  }
  return out;
}

std::string formatTable(const std::vector<Record>& records) {
  std::string out;
  for (auto& r : records) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X\t", r.value);
    out += buf;
    out += escapeKey(r.key);
    out += '\n';
  }
  return out;
}

// ---- Attributes -----------------------------------------------------------------

std::optional<DWORD> storedAttributes(const std::string& key) {
  return findRecord(g_attributes, tablePath("attributes"), key);
}

bool setStoredAttributes(const std::string& key, DWORD attributes) {
  return editTable(g_attributes, "attributes", [&](std::vector<Record>& records) {
    for (auto& r : records) {
      if (r.key == key) {
        if (r.value == attributes) return false;
        r.value = attributes;
        return true;
      }
    }
    records.push_back({attributes, key});
    return true;
  });
}

bool forgetAttributes(const std::string& key, bool subtree) {
  return editTable(g_attributes, "attributes", [&](std::vector<Record>& records) {
    const size_t before = records.size();
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [&](const Record& r) { return r.key == key || (subtree && isBelow(r.key, key)); }),
                  records.end());
    return records.size() != before;
  });
}

bool moveAttributes(const std::string& from, const std::string& to) {
  return editTable(g_attributes, "attributes", [&](std::vector<Record>& records) {
    // Whatever the target had is replaced by what moves there.
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [&](const Record& r) { return r.key == to || isBelow(r.key, to); }),
                  records.end());
    for (auto& r : records) {
      if (r.key == from || isBelow(r.key, from)) r.key = to + r.key.substr(from.size());
    }
    return true;
  });
}

// ---- Locks ------------------------------------------------------------------------

std::optional<LockMode> lockOf(const std::string& key) {
  const auto value = findRecord(g_locks, tablePath("locks"), key);
  if (!value) return std::nullopt;
  return *value == static_cast<std::uint32_t>(LockMode::Exclusive) ? LockMode::Exclusive : LockMode::Image;
}

bool setLock(const std::string& key, LockMode mode) {
  return editTable(g_locks, "locks", [&](std::vector<Record>& records) {
    for (auto& r : records) {
      if (r.key == key) {
        r.value = static_cast<std::uint32_t>(mode);
        return true;
      }
    }
    records.push_back({static_cast<std::uint32_t>(mode), key});
    return true;
  });
}

bool clearLock(const std::string& key) {
  return editTable(g_locks, "locks", [&](std::vector<Record>& records) {
    const size_t before = records.size();
    records.erase(std::remove_if(records.begin(), records.end(), [&](const Record& r) { return r.key == key; }),
                  records.end());
    return records.size() != before;
  });
}

bool moveLock(const std::string& from, const std::string& to) {
  return editTable(g_locks, "locks", [&](std::vector<Record>& records) {
    bool changed = false;
    for (auto& r : records) {
      if (r.key == from || isBelow(r.key, from)) {
        r.key = to + r.key.substr(from.size());
        changed = true;
      }
    }
    return changed;
  });
}

std::vector<Record> allLocks() { return readTable(g_locks, tablePath("locks")); }

// ---- Sharing ------------------------------------------------------------------------

DWORD mapGenericAccess(DWORD access) {
  DWORD mapped = access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
  if (access & (GENERIC_READ | GENERIC_ALL)) mapped |= FILE_READ_DATA | FILE_READ_ATTRIBUTES;
  if (access & (GENERIC_WRITE | GENERIC_ALL)) mapped |= FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_ATTRIBUTES;
  if (access & (GENERIC_EXECUTE | GENERIC_ALL)) mapped |= kFileExecute | FILE_READ_ATTRIBUTES;
  if (access & GENERIC_ALL) mapped |= DELETE;
  return mapped;
}

DWORD checkSharing(const std::string& key, DWORD access, DWORD share, bool deleting) {
  MachineLock lock;
  if (auto mode = lockOf(key)) {
    if (*mode == LockMode::Exclusive) {
      if (access & (kReadAccess | kWriteAccess | kDeleteAccess)) return ERROR_SHARING_VIOLATION;
    } else {
      // A mapped module: the loader holds it for reading and execution and
      // shares reading and deletion (so it can be renamed), never writing.
      if (deleting) return ERROR_ACCESS_DENIED;
      if (conflicts(kReadAccess, FILE_SHARE_READ | FILE_SHARE_DELETE, access, share)) return ERROR_SHARING_VIOLATION;
    }
  }
  {
    std::lock_guard<std::mutex> guard(g_openMutex);
    for (auto& e : g_opens) {
      if (e.key == key && conflicts(e.access, e.share, access, share)) return ERROR_SHARING_VIOLATION;
    }
  }
  for (auto& e : foreignOpens(key)) {
    if (conflicts(e.access, e.share, access, share)) return ERROR_SHARING_VIOLATION;
  }
  return 0;
}

std::uint64_t recordOpen(const std::string& key, DWORD access, DWORD share) {
  MachineLock lock;
  std::lock_guard<std::mutex> guard(g_openMutex);
  const std::uint64_t id = g_nextOpen++;
  g_opens.push_back({id, key, access, share});
  publishOpens();
  return id;
}

void closeOpen(std::uint64_t id) {
  MachineLock lock;
  std::lock_guard<std::mutex> guard(g_openMutex);
  g_opens.erase(std::remove_if(g_opens.begin(), g_opens.end(), [&](const OpenEntry& e) { return e.id == id; }),
                g_opens.end());
  publishOpens();
}

int openCount(const std::string& key) {
  std::lock_guard<std::mutex> guard(g_openMutex);
  return static_cast<int>(std::count_if(g_opens.begin(), g_opens.end(), [&](const OpenEntry& e) { return e.key == key; }));
}

void renameOpens(const std::string& from, const std::string& to) {
  MachineLock lock;
  std::lock_guard<std::mutex> guard(g_openMutex);
  bool changed = false;
  for (auto& e : g_opens) {
    if (e.key == from || isBelow(e.key, from)) {
      e.key = to + e.key.substr(from.size());
      changed = true;
    }
  }
  if (changed) publishOpens();
}

// ---- Settings ----------------------------------------------------------------------

bool diskFull() { return reg::getDword(reg::Hive::LocalMachine, "SOFTWARE\\KVSim\\Faults", "DiskFull", 0) != 0; }

bool isAdministrator() {
  return reg::getDword(reg::Hive::LocalMachine, "SOFTWARE\\KVSim\\Machine", "Admin", 1) != 0;
}

}  // namespace winsim::files
