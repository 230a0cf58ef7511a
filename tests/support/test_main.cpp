// The main of every test program. In the native build each run gets a fresh
// scratch machine (unless KVSIM_ROOT names one) and a fast machine clock; the
// Windows build runs on whatever Windows or Wine it finds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "support/conformance.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
#ifndef _WIN32
  std::filesystem::path scratch;
  if (!std::getenv("KVSIM_ROOT")) {
    std::random_device rd;
    const auto root = std::filesystem::temp_directory_path() /
                      ("kvtest-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    setenv("KVSIM_ROOT", root.c_str(), 1);
    scratch = root;
  }
  if (!std::getenv("KVSIM_TIMESCALE")) setenv("KVSIM_TIMESCALE", "0.01", 1);
#endif
  const int rc = RUN_ALL_TESTS();
  kvtest::printDepartures();
#ifndef _WIN32
  // The scratch machine is ours alone: leave nothing behind in /tmp. Set
  // KVTEST_KEEP=1 to look at it after a failure.
  if (!scratch.empty() && !std::getenv("KVTEST_KEEP")) {
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
  }
#endif
  return rc;
}
