// Scratch files for the conformance tests, reachable under the same
// Windows path on winsim and under Wine: Z: is the host's root in both.
#pragma once

#include "kv_source_dir.h"
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace kvtest {

// The path the test process itself opens for a Windows path on Z:.
inline std::filesystem::path hostFor(const std::string& winPath) {
#ifdef _WIN32
  return std::filesystem::path(winPath);
#else
  std::string p = winPath.substr(2);
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  return std::filesystem::path(p.empty() ? "/" : p);
#endif
}

// A new empty folder under the host's /tmp, as a Windows path ("Z:\tmp\...").
inline std::string scratchDir(const std::string& tag) {
  std::random_device rd;
  const std::string win = "Z:\\tmp\\kvtest-" + tag + "-" + std::to_string(rd()) + std::to_string(rd());
  std::filesystem::create_directories(hostFor(win));
  return win;
}

inline void removeScratchDir(const std::string& win) {
  std::error_code ec;
  std::filesystem::remove_all(hostFor(win), ec);
}

inline std::string writeFile(const std::string& dir, const std::string& name, const std::string& bytes) {
  const std::string win = dir + "\\" + name;
  std::ofstream out(hostFor(win), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return win;
}

inline std::string readFile(const std::string& winPath) {
  std::ifstream in(hostFor(winPath), std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline bool fileExists(const std::string& winPath) {
  std::error_code ec;
  return std::filesystem::exists(hostFor(winPath), ec);
}

// A test data file of the source tree as a Windows path.
inline std::string dataPath(const std::string& relative) {
  std::string p = std::string(KV_SOURCE_DIR) + "/tests/data/" + relative;
  for (char& c : p) {
    if (c == '/') c = '\\';
  }
  return "Z:" + p;
}

}  // namespace kvtest
