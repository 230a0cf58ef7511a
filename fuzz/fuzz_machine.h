// The scratch machine of a harness that must touch files: created once per
// process, on tmpfs when the host has one (every write of the simulated
// machine is flushed, which on a disk costs more than the parse), and removed
// when the process ends normally.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

inline std::string kvFuzzMachine(const char* pszName) {
  static std::string s_strRoot;
  if (!s_strRoot.empty()) return s_strRoot;
  for (const char* pszBase : {"/dev/shm", "/tmp"}) {
    std::string strPattern = std::string(pszBase) + "/kvfuzz-" + pszName + "-XXXXXX";
    if (::access(pszBase, W_OK) == 0 && ::mkdtemp(strPattern.data())) {
      s_strRoot = strPattern;
      break;
    }
  }
  if (s_strRoot.empty()) std::abort();
  ::setenv("KVSIM_ROOT", s_strRoot.c_str(), 1);
  ::setenv("KVSIM_TIMESCALE", "0.01", 1);
  std::atexit([] {
    std::error_code error;
    std::filesystem::remove_all(s_strRoot, error);
  });
  return s_strRoot;
}
