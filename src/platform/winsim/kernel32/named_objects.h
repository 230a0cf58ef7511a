// winsim: names of kernel objects shared by the processes of a machine
// (events, mutexes, file mappings).
//
// Every process that has a named object open holds a shared lock on the
// object's file in <root>/objects, so a creator can tell whether the name
// exists anywhere, and the name disappears with the last process that held
// it, even one that was killed.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <windows.h>

#include "machine.h"

namespace winsim {

// ---- Names ------------------------------------------------------------------------
// "Global\" names one namespace for the machine; "Local\" and plain names the
// namespace of the (one) session. Names are case-sensitive, as object names
// are on Windows.
inline std::string namespacedName(const std::string& name) {
  if (name.rfind("Global\\", 0) == 0) return "G:" + name.substr(7);
  if (name.rfind("Local\\", 0) == 0) return "S:" + name.substr(6);
  return "S:" + name;
}

inline std::string nameHash(const std::string& full) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : full) h = (h ^ c) * 1099511628211ull;
  char buf[24];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return buf;
}

inline fs::path objectsDir() { return machineRoot() / "objects"; }

// The machine-wide presence of one named object in this process.
class NamedPresence {
 public:
  ~NamedPresence() {
    if (fd_ >= 0) ::close(fd_);
  }
  // Opens (or, with `create`, creates) the presence of a name. Sets *existed
  // when another process has it open. Fails when the name belongs to an
  // object of another kind (ERROR_INVALID_HANDLE) or, without `create`, when
  // no process has it (ERROR_FILE_NOT_FOUND).
  bool open(const std::string& full, const std::string& kind, bool create, bool* existed) {
    std::error_code ec;
    fs::create_directories(objectsDir(), ec);
    base_ = objectsDir() / ("obj-" + nameHash(full));
    fd_ = ::open(base_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
      SetLastError(ERROR_ACCESS_DENIED);
      return false;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
      // Nobody holds the name: it is new (a file left by processes that have
      // all ended does not count).
      *existed = false;
      if (!create) {
        ::flock(fd_, LOCK_UN);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
      }
      const std::string record = kind + "\n" + full + "\n";
      if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, record.data(), record.size(), 0) !=
                                          static_cast<ssize_t>(record.size())) {
        SetLastError(ERROR_WRITE_FAULT);
        return false;
      }
      ::flock(fd_, LOCK_SH);
      return true;
    }
    *existed = true;
    char buf[64] = {};
    const ssize_t n = ::pread(fd_, buf, sizeof buf - 1, 0);
    const std::string seen(buf, n > 0 ? static_cast<size_t>(n) : 0);
    if (seen.rfind(kind + "\n", 0) != 0) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    ::flock(fd_, LOCK_SH);
    return true;
  }
  fs::path sidePath(const char* suffix) const { return fs::path(base_.string() + suffix); }

 private:
  int fd_ = -1;
  fs::path base_;
};

}  // namespace winsim
