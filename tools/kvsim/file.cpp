// kvsim file: hold a file of the machine in use, as another program would.
#include <cstdio>

#include "kernel32/file_state.h"
#include "kvsim.h"
#include "machine.h"

namespace kvsim {
namespace {

int listLocks() {
  for (auto& r : winsim::files::allLocks()) {
    const bool exclusive = r.value == static_cast<std::uint32_t>(winsim::files::LockMode::Exclusive);
    std::printf("%s\t%s\n", exclusive ? "exclusive" : "image", r.key.c_str());
  }
  return 0;
}

int lockFile(const std::string& verb, const std::string& path, winsim::files::LockMode mode) {
  auto host = winsim::hostPath(path);
  if (!host) return fail("file " + verb + ": '" + path + "' is on no drive of the machine");
  const std::string key = winsim::files::fileKey(*host);
  if (verb == "unlock") {
    if (!winsim::files::lockOf(key)) return fail("file unlock: '" + path + "' is not held in use");
    if (!winsim::files::clearLock(key)) return fail("file unlock: the lock list cannot be written");
    return 0;
  }
  std::error_code ec;
  if (!winsim::fs::is_regular_file(*host, ec)) return fail("file lock: '" + path + "' is not a file of the machine");
  if (!winsim::files::setLock(key, mode)) return fail("file lock: the lock list cannot be written");
  return 0;
}

void setup(CLI::App& kvsim) {
  CLI::App* file = addCommand(kvsim, "file", "hold a file in use by another program",
                              "usage: kvsim [--root DIR] file lock [--exclusive] WINPATH\n"
                              "       kvsim [--root DIR] file unlock WINPATH\n"
                              "       kvsim [--root DIR] file list\n",
                              "lock: the file behaves as a module loaded by another process: it can be\n"
                              "read and renamed, but opening it for writing or copying onto it fails with\n"
                              "ERROR_SHARING_VIOLATION and deleting or replacing it with ERROR_ACCESS_DENIED.\n"
                              "With --exclusive it behaves as a file another process opened without any\n"
                              "sharing: every open, copy, delete and rename fails with ERROR_SHARING_VIOLATION.\n"
                              "unlock: releases the file. list: the files held, one a line (mode, path).\n"
                              "The locks are kept in the machine until unlocked.\n");
  file->require_subcommand(1);
  static std::string lockPath, unlockPath;
  static bool exclusive = false;
  CLI::App* lock = addCommand(*file, "lock", "hold the file in use",
                              "usage: kvsim [--root DIR] file lock [--exclusive] WINPATH\n");
  lock->add_option("WINPATH", lockPath, "a file of the machine")->required();
  lock->add_flag("--exclusive", exclusive, "opened by the other program without any sharing");
  onRun(lock, [] {
    return lockFile("lock", lockPath,
                    exclusive ? winsim::files::LockMode::Exclusive : winsim::files::LockMode::Image);
  });
  CLI::App* unlock = addCommand(*file, "unlock", "release the file", "usage: kvsim [--root DIR] file unlock WINPATH\n");
  unlock->add_option("WINPATH", unlockPath, "a file held in use")->required();
  onRun(unlock, [] { return lockFile("unlock", unlockPath, winsim::files::LockMode::Image); });
  CLI::App* list = addCommand(*file, "list", "the files held, one a line (mode, path)",
                              "usage: kvsim [--root DIR] file list\n");
  onRun(list, listLocks);
}

const Registrar kRegistrar("file", setup);

}  // namespace
}  // namespace kvsim
