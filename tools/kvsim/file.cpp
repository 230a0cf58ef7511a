// kvsim file: hold a file of the machine in use, as another program would.
#include <cstdio>

#include "kernel32/file_state.h"
#include "kvsim.h"
#include "machine.h"

namespace kvsim {
namespace {

int runFile(const Args& args) {
  if (args.empty()) return fail("file: expected lock, unlock or list (see kvsim file --help)");
  const std::string& verb = args[0];
  if (verb == "list") {
    if (args.size() != 1) return fail("file list: no arguments expected");
    for (auto& r : winsim::files::allLocks()) {
      const bool exclusive = r.value == static_cast<std::uint32_t>(winsim::files::LockMode::Exclusive);
      std::printf("%s\t%s\n", exclusive ? "exclusive" : "image", r.key.c_str());
    }
    return 0;
  }
  if (verb != "lock" && verb != "unlock") return fail("file: unknown action '" + verb + "'");
  std::string path;
  auto mode = winsim::files::LockMode::Image;
  for (size_t i = 1; i < args.size(); ++i) {
    if (verb == "lock" && args[i] == "--exclusive") mode = winsim::files::LockMode::Exclusive;
    else if (!args[i].empty() && args[i][0] == '-') return fail("file " + verb + ": unknown option '" + args[i] + "'");
    else if (path.empty()) path = args[i];
    else return fail("file " + verb + ": more than one path given");
  }
  if (path.empty()) return fail("file " + verb + ": expected WINPATH");
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

const Registrar reg({"file", "hold a file in use by another program",
                     "usage: kvsim [--root DIR] file lock [--exclusive] WINPATH\n"
                     "       kvsim [--root DIR] file unlock WINPATH\n"
                     "       kvsim [--root DIR] file list\n"
                     "lock: the file behaves as a module loaded by another process: it can be\n"
                     "read and renamed, but opening it for writing or copying onto it fails with\n"
                     "ERROR_SHARING_VIOLATION and deleting or replacing it with ERROR_ACCESS_DENIED.\n"
                     "With --exclusive it behaves as a file another process opened without any\n"
                     "sharing: every open, copy, delete and rename fails with ERROR_SHARING_VIOLATION.\n"
                     "unlock: releases the file. list: the files held, one a line (mode, path).\n"
                     "The locks are kept in the machine until unlocked.\n",
                     runFile});

}  // namespace
}  // namespace kvsim
