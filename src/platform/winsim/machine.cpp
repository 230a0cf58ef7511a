// winsim: machine root, lock, atomic writes, path mapping and clock.
#include "machine.h"

#include "atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>
#include <unordered_map>
#include <vector>

namespace winsim {
namespace {

// Recursive: creating the default machine fills its registry, which asks
// for the machine root again.
std::recursive_mutex g_rootMutex;
std::optional<fs::path> g_root;

fs::path defaultRoot() {
  if (const char* env = std::getenv("KVSIM_ROOT"); env && *env) return fs::path(env);
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return fs::path(xdg) / "kv_setup" / "machine";
  const char* home = std::getenv("HOME");
  return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "kv_setup" / "machine";
}

const char* const kTemplates[] = {"win7-x64", "win7-x86", "xp-x86", "win10-x64"};

// The process half of MachineLock: one owner thread at a time, re-entrant.
std::recursive_mutex g_lockMutex;
int g_lockDepth = 0;
int g_lockFd = -1;

std::mutex g_cwdMutex;
std::string g_cwd;

std::vector<std::string> splitWin(std::string_view p) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : p) {
    if (c == '\\' || c == '/') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

}  // namespace

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string toLower(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

std::string toUpper(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

bool isKnownTemplate(std::string_view name) {
  return std::any_of(std::begin(kTemplates), std::end(kTemplates), [&](const char* t) { return name == t; });
}

bool isMachine(const fs::path& root) {
  std::error_code ec;
  return fs::exists(root / "machine.id", ec);
}

bool createMachine(const fs::path& root, std::string_view templateName, std::string* error) {
  if (!isKnownTemplate(templateName)) {
    if (error) {
      std::string names;
      for (const char* t : kTemplates) names += std::string(names.empty() ? "" : ", ") + t;
      *error = "unknown template '" + std::string(templateName) + "' (the templates are " + names + ")";
    }
    return false;
  }
  std::error_code ec;
  if (isMachine(root)) {
    if (error) *error = "a machine already exists in " + root.string();
    return false;
  }
  fs::create_directories(root, ec);
  if (ec) {
    if (error) *error = "cannot create " + root.string() + ": " + ec.message();
    return false;
  }
  // The template's registry is written through the store, which works on
  // the machine root: point it at the new machine while it is filled. The
  // machine is marked as one only at the end, so that a half-made machine
  // is never taken for a whole one.
  {
    std::lock_guard<std::recursive_mutex> guard(g_rootMutex);
    g_root = fs::absolute(root, ec);
  }
  if (!populateTemplate(root, templateName, error)) return false;
  return atomicWriteFile(root / "machine.id", std::string("template=") + std::string(templateName) + "\n");
}

const fs::path& machineRoot() {
  std::lock_guard<std::recursive_mutex> guard(g_rootMutex);
  if (!g_root) {
    fs::path root = defaultRoot();
    std::error_code ec;
    root = fs::absolute(root, ec);
    if (!isMachine(root)) {
      // Two processes may race to create the default machine: serialise on
      // a lock file beside it and look again once the lock is ours.
      fs::create_directories(root, ec);
      int fd = ::open((root / ".create.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
      if (fd >= 0) ::flock(fd, LOCK_EX);
      if (!isMachine(root)) {
        std::string error;
        g_root = root;  // populateTemplate may ask for the root itself
        if (!createMachine(root, kDefaultTemplate, &error)) {
          // Nothing can run without its machine: end here, with a status of
          // our own, before the program takes the failures that follow for
          // its own (a registry that cannot be read looks like a stopped
          // spooler).
          std::fprintf(stderr,
                       "winsim: the simulated machine %s cannot be used: %s\n"
                       "winsim: set KVSIM_ROOT to a folder that can be created and written (exit status %d)\n",
                       root.c_str(), error.c_str(), kMachineUnusableExitCode);
          std::fflush(stderr);
          _exit(kMachineUnusableExitCode);
        }
      }
      if (fd >= 0) {
        ::flock(fd, LOCK_UN);
        ::close(fd);
      }
    } else if (::access(root.c_str(), R_OK | W_OK | X_OK) != 0 ||
               ::access((root / "machine.id").c_str(), R_OK) != 0) {
      std::fprintf(stderr,
                   "winsim: the simulated machine %s cannot be used: it cannot be read and written\n"
                   "winsim: set KVSIM_ROOT to a folder that can be created and written (exit status %d)\n",
                   root.c_str(), kMachineUnusableExitCode);
      std::fflush(stderr);
      _exit(kMachineUnusableExitCode);
    }
    g_root = root;
  }
  return *g_root;
}

void resetMachineRoot() {
  std::lock_guard<std::recursive_mutex> guard(g_rootMutex);
  g_root.reset();
}

// The lock file stays open between locks: every change of machine state
// takes the lock, and opening the file each time cost more than the flock.
// It is opened again for another machine, in a child that inherited it (the
// flock of a shared open file would be shared too), and when the file was
// removed (a machine removed and made again has a new lock file).
fs::path g_lockPath;
pid_t g_lockPid = 0;

void closeLockFile() {
  if (g_lockFd >= 0) ::close(g_lockFd);
  g_lockFd = -1;
}

MachineLock::MachineLock() {
  g_lockMutex.lock();
  if (g_lockDepth++ == 0) {
    // The lock's path is made once per machine root.
    static std::string s_lockRoot;
    static fs::path s_lockPath;
    const fs::path& root = machineRoot();
    if (s_lockRoot.empty() || s_lockRoot != root.native()) {
      s_lockPath = root / ".lock";
      s_lockRoot = root.native();
    }
    const fs::path& lockPath = s_lockPath;
    const pid_t self = ::getpid();
    if (g_lockFd >= 0 && (g_lockPid != self || g_lockPath != lockPath)) {
      // An inherited descriptor is left to its parent: closing ours does not
      // touch the parent's lock.
      closeLockFile();
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (g_lockFd < 0) {
        g_lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        g_lockPath = lockPath;
        g_lockPid = self;
      }
      if (g_lockFd < 0) break;
      while (::flock(g_lockFd, LOCK_EX) != 0 && errno == EINTR) {
      }
      struct stat st {};
      if (::fstat(g_lockFd, &st) == 0 && st.st_nlink > 0) break;
      // Locked a file nobody else can find any more: take the one there now.
      ::flock(g_lockFd, LOCK_UN);
      closeLockFile();
    }
  }
}

MachineLock::~MachineLock() {
  if (--g_lockDepth == 0 && g_lockFd >= 0) ::flock(g_lockFd, LOCK_UN);
  g_lockMutex.unlock();
}

AtomicFileWriter::AtomicFileWriter(const fs::path& path) : path_(path) {
  static std::atomic<unsigned> counter{0};
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, ".tmp.%ld.%u", static_cast<long>(::getpid()), counter++);
  tmp_ = path.native() + suffix;
  fd_ = ::open(tmp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0 && errno == ENOENT) {
    // The folder is made only when it is missing: most writes go to a
    // folder that is there.
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    fd_ = ::open(tmp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  }
  if (fd_ < 0) error_ = errno;
}

AtomicFileWriter::~AtomicFileWriter() { discard(); }

void AtomicFileWriter::discard() {
  if (fd_ < 0) return;
  ::close(fd_);
  ::unlink(tmp_.c_str());
  fd_ = -1;
}

bool AtomicFileWriter::write(std::string_view bytes) {
  if (fd_ < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      discard();
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool AtomicFileWriter::commit(struct ::stat* written) {
  if (fd_ < 0) return false;
  // No fsync: the rename alone is what keeps a killed process from leaving a
  // torn file, and the machine is a simulation, not a power-loss-safe store.
  if (written && ::fstat(fd_, written) != 0) {
    error_ = errno;
    discard();
    return false;
  }
  if (::close(fd_) != 0) {
    error_ = errno;
    fd_ = -1;
    ::unlink(tmp_.c_str());
    return false;
  }
  fd_ = -1;
  if (::rename(tmp_.c_str(), path_.c_str()) != 0) {
    error_ = errno;
    ::unlink(tmp_.c_str());
    return false;
  }
  return true;
}

bool atomicWriteFile(const fs::path& path, std::string_view bytes, struct ::stat* written) {
  AtomicFileWriter file(path);
  return file.write(bytes) && file.commit(written);
}

std::optional<std::string> readWholeFile(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct ::stat st {};
  std::string out;
  // The size is a guess for the first read: the file may change or be a
  // device that tells none.
  size_t capacity = ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 4096;
  size_t used = 0;
  for (;;) {
    if (used == capacity) capacity *= 2;
    out.resize(capacity);
    const ssize_t n = ::read(fd, out.data() + used, capacity - used);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      // A folder reads as nothing, as a stream over it does.
      if (err == EISDIR) return std::string();
      return std::nullopt;
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  ::close(fd);
  out.resize(used);
  return out;
}

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
  }
  return lines;
}

// ---- Paths ----------------------------------------------------------------

std::string currentDirectory() {
  std::lock_guard<std::mutex> guard(g_cwdMutex);
  if (g_cwd.empty()) {
    std::error_code ec;
    g_cwd = winPath(fs::current_path(ec));
  }
  return g_cwd;
}

void setCurrentDirectory(const std::string& winDir) {
  std::lock_guard<std::mutex> guard(g_cwdMutex);
  g_cwd = winDir;
}

namespace {

// "\\?\C:\x" and "\\.\C:\x" name the same file as "C:\x"; the prefix only
// switches off parsing on Windows, which winsim does not need.
std::string_view stripDevicePrefix(std::string_view p) {
  if (p.size() >= 6 && (p[0] == '\\' || p[0] == '/') && (p[1] == '\\' || p[1] == '/') && (p[2] == '?' || p[2] == '.') &&
      (p[3] == '\\' || p[3] == '/') && std::isalpha(static_cast<unsigned char>(p[4])) && p[5] == ':') {
    return p.substr(4);
  }
  return p;
}

// Windows drops trailing dots and spaces from the last component of a path
// ("file." opens "file"); a component made only of dots is left alone.
void trimLastComponent(std::vector<std::string>& parts) {
  if (parts.empty()) return;
  std::string& last = parts.back();
  if (last.find_first_not_of('.') == std::string::npos) return;
  while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
  if (last.empty()) parts.pop_back();
}

// The name in a folder that equals `part` but for case (the least of them
// when several do, so that every caller resolves the same way), or "".
//
// Names asked in another case, and names that do not exist yet, would list
// their folder on every call. A folder's names are kept while the folder is
// the same one with the same modification and change times. A folder changed
// in the last moments is listed anew each time: two changes within one tick
// of the file system's clock leave the same times.
class FolderNames {
 public:
  std::string otherCase(const fs::path& folder, const std::string& part) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    const FolderStamp stamp = FolderStamp::of(st);
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      const auto it = m_listings.find(folder.native());
      if (it != m_listings.end() && it->second.stamp == stamp) return leastMatch(it->second.names, part);
    }
    Listing listing{stamp, {}};
    if (!forEachFolderEntry(folder, [&](std::string_view name) { listing.names.emplace_back(name); })) return {};
    std::string match = leastMatch(listing.names, part);
    if (stamp.settled(std::chrono::milliseconds(100))) {
      std::lock_guard<std::mutex> guard(m_mutex);
      if (m_listings.size() >= kLimit) m_listings.clear();
      m_listings[folder.native()] = std::move(listing);
    }
    return match;
  }

 private:
  static constexpr size_t kLimit = 64;
  struct Listing {
    FolderStamp stamp;
    std::vector<std::string> names;
  };

  static std::string leastMatch(const std::vector<std::string>& names, const std::string& part) {
    const std::string* best = nullptr;
    for (const std::string& name : names) {
      if (iequals(name, part) && (!best || name < *best)) best = &name;
    }
    return best ? *best : std::string();
  }

  std::mutex m_mutex;
  std::unordered_map<std::string, Listing> m_listings;
};

// Whether "X:\..." is in its full form already: no empty, "." or ".." names
// (nor names of dots only), and a last name without the trailing dots and
// spaces Windows drops.
bool isFullForm(const std::string& p) {
  if (p.size() < 3 || !std::isalpha(static_cast<unsigned char>(p[0])) || p[1] != ':' || p[2] != '\\') return false;
  size_t start = 3;
  while (start < p.size()) {
    size_t end = p.find('\\', start);
    const bool last = end == std::string::npos;
    if (last) end = p.size();
    if (end == start || p.find_first_not_of('.', start) >= end) return false;
    if (last && (p[end - 1] == '.' || p[end - 1] == ' ')) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

FolderStamp FolderStamp::of(const struct ::stat& st) { return FolderStamp{st.st_dev, st.st_ino, st.st_mtim, st.st_ctim}; }

bool FolderStamp::operator==(const FolderStamp& other) const {
  return dev == other.dev && ino == other.ino && mtime.tv_sec == other.mtime.tv_sec &&
         mtime.tv_nsec == other.mtime.tv_nsec && ctime.tv_sec == other.ctime.tv_sec &&
         ctime.tv_nsec == other.ctime.tv_nsec;
}

bool FolderStamp::settled(std::chrono::nanoseconds age) const {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const auto nanos = [](const timespec& t) { return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec; };
  return nanos(now) - std::max(nanos(mtime), nanos(ctime)) > age.count();
}

std::string fullWinPath(std::string_view path) {
  std::string p(stripDevicePrefix(path));
  std::replace(p.begin(), p.end(), '/', '\\');
  // Most paths handed in are full already (the temporary folder, names made
  // from it): only the drive letter may change.
  if (isFullForm(p)) {
    p[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])));
    return p;
  }
  std::string drive;
  std::string rest;
  if (p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') {
    drive = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])))) + ":";
    rest = p.substr(2);
    if (rest.empty() || rest[0] != '\\') {
      // "C:foo" is relative to the current directory of that drive; winsim
      // keeps one current directory, used when the drive matches.
      std::string cwd = currentDirectory();
      if (cwd.size() >= 2 && iequals(cwd.substr(0, 2), drive)) rest = cwd.substr(2) + "\\" + rest;
      else rest = "\\" + rest;
    }
  } else if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
    return p;  // UNC: kept as it is
  } else if (!p.empty() && p[0] == '\\') {
    std::string cwd = currentDirectory();
    drive = cwd.substr(0, 2);
    rest = p;
  } else {
    std::string cwd = currentDirectory();
    drive = cwd.substr(0, 2);
    rest = cwd.substr(2) + "\\" + p;
  }
  std::vector<std::string> out;
  for (auto& part : splitWin(rest)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!out.empty()) out.pop_back();
      continue;
    }
    out.push_back(part);
  }
  const bool trailingSeparator = !p.empty() && p.back() == '\\';
  if (!trailingSeparator) trimLastComponent(out);
  std::string result = drive + "\\";
  for (size_t i = 0; i < out.size(); ++i) {
    if (i) result += "\\";
    result += out[i];
  }
  // A trailing separator on the input is kept, as Windows keeps it.
  if (!out.empty() && trailingSeparator) result += "\\";
  return result;
}

bool forEachFolderEntry(const fs::path& folder, const std::function<void(std::string_view)>& each) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // A buffer on the stack: folders are read on every open of a missing
  // name, and a directory stream allocates its own each time.
  alignas(8) char buffer[8192];
  bool ok = true;
  for (;;) {
    const long got = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ok = false;
    if (got <= 0) break;
    // Each record: inode (8 bytes), offset (8), record length (2), type (1),
    // then the name and its NUL.
    for (long at = 0; at + 19 < got;) {
      unsigned short reclen = 0;
      std::memcpy(&reclen, buffer + at + 16, sizeof reclen);
      if (reclen <= 19 || at + reclen > got) break;
      const char* entryName = buffer + at + 19;
      const std::string_view found(entryName, strnlen(entryName, static_cast<size_t>(reclen) - 19));
      at += reclen;
      if (found != "." && found != "..") each(found);
    }
  }
  ::close(fd);
  return ok;
}

std::optional<fs::path> hostPath(std::string_view winPathIn) {
  if (winPathIn.empty()) return std::nullopt;
  std::string full = fullWinPath(winPathIn);
  if (full.size() < 3 || full[1] != ':' || full[2] != '\\') return std::nullopt;
  fs::path base;
  const char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(full[0])));
  if (drive == 'C') base = machineRoot() / "drive_c";
  else if (drive == 'Z') base = "/";
  else return std::nullopt;
  const std::vector<std::string> parts = splitWin(std::string_view(full).substr(2));
  // Most paths name files and folders in the case they have (or a new file
  // in such a folder): one look at the whole path, or at its folder, answers
  // as the walk below would, without a look per name.
  // Made as one string: joining path objects name by name costs a new
  // split of the whole path at every name.
  std::string exact = base.native();
  size_t parentEnd = exact.size();
  for (const auto& part : parts) {
    parentEnd = exact.size();
    if (exact.back() != '/') exact += '/';
    exact += part;
  }
  struct stat st{};
  if (::lstat(exact.c_str(), &st) == 0) return fs::path(std::move(exact));
  fs::path cur = base;
  size_t first = 0;
  if (parts.size() > 1) {
    std::string parent = exact.substr(0, parentEnd);
    if (::lstat(parent.c_str(), &st) == 0) {
      cur = fs::path(std::move(parent));
      first = parts.size() - 1;
    }
  }
  bool exists = true;
  bool spelled = true;  // every name so far in the case given
  for (size_t i = first; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (exists) {
      // The whole path in the case given was looked at above.
      const bool knownMissing = spelled && i + 1 == parts.size();
      fs::path exact = cur / part;
      if (!knownMissing && ::lstat(exact.c_str(), &st) == 0) {
        cur = std::move(exact);
        continue;
      }
      spelled = false;
      // Another case of the same name.
      static FolderNames s_folders;
      if (const std::string match = s_folders.otherCase(cur, part); !match.empty()) {
        cur /= match;
        continue;
      }
      exists = false;
    }
    cur /= part;
  }
  return cur;
}

namespace {

// Whether a host path is absolute and already in its normal form: no empty,
// "." or ".." names, no separator at the end (the root alone aside).
bool isNormalAbsolute(std::string_view p) {
  if (p.empty() || p[0] != '/') return false;
  if (p.size() == 1) return true;
  size_t start = 1;
  while (start <= p.size()) {
    size_t end = p.find('/', start);
    if (end == std::string_view::npos) end = p.size();
    const std::string_view name = p.substr(start, end - start);
    if (name.empty() || name == "." || name == "..") return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

std::string winPath(const fs::path& hostIn) {
  std::error_code ec;
  // Paths made from the machine root by hostPath are normal already; the
  // normal form of the C: folder is kept per root.
  std::string h = isNormalAbsolute(hostIn.native()) ? hostIn.native()
                                                     : fs::absolute(hostIn, ec).lexically_normal().string();
  thread_local std::string t_root;
  thread_local std::string t_driveC;
  const fs::path& root = machineRoot();
  if (t_root.empty() || t_root != root.native()) {
    t_driveC = (root / "drive_c").lexically_normal().string();
    while (t_driveC.size() > 1 && t_driveC.back() == '/') t_driveC.pop_back();
    t_root = root.native();
  }
  const std::string& c = t_driveC;
  std::string out;
  if (h == c || (h.size() > c.size() && h.compare(0, c.size(), c) == 0 && h[c.size()] == '/')) {
    out = "C:" + h.substr(c.size());
  } else {
    out = "Z:" + h;
  }
  std::replace(out.begin(), out.end(), '/', '\\');
  if (out.size() == 2) out += "\\";
  return out;
}

// ---- Clock ----------------------------------------------------------------

double timescale() {
  static const double scale = [] {
    const char* env = std::getenv("KVSIM_TIMESCALE");
    if (!env || !*env) return 1.0;
    char* end = nullptr;
    double v = std::strtod(env, &end);
    if (end == env || !(v > 0.0) || v > 1000.0) return 1.0;
    return v;
  }();
  return scale;
}

void sleepMachineMs(std::uint64_t ms) {
  const double real = static_cast<double>(ms) * timescale();
  std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(real * 1000.0)));
}

std::uint64_t machineTickMs() {
  static const auto start = std::chrono::steady_clock::now();
  const auto elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return static_cast<std::uint64_t>(elapsed / timescale());
}

}  // namespace winsim
