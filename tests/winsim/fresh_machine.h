// A fixture that gives each test a machine of its own, made from a template,
// so that what one test installs or stops never leaks into another.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "kernel32/environ.h"
#include "machine.h"

namespace kvtest {

class FreshMachine : public testing::Test {
 protected:
  void SetUp() override {
    const char* env = std::getenv("KVSIM_ROOT");
    m_saved = env ? env : "";
    std::random_device rd;
    m_root = std::filesystem::temp_directory_path() / ("kvmachine-" + std::to_string(rd()) + std::to_string(rd()));
    std::string error;
    ASSERT_TRUE(winsim::createMachine(m_root, winsim::kDefaultTemplate, &error)) << error;
    setenv("KVSIM_ROOT", m_root.c_str(), 1);
    winsim::resetMachineRoot();
    winsim::resetEnvironmentBlock();
  }
  void TearDown() override {
    if (m_saved.empty()) unsetenv("KVSIM_ROOT");
    else setenv("KVSIM_ROOT", m_saved.c_str(), 1);
    winsim::resetMachineRoot();
    winsim::resetEnvironmentBlock();
    std::error_code ec;
    std::filesystem::remove_all(m_root, ec);
  }

  // Writes a file of the machine, given its Windows path.
  static void put(const std::string& winPath, const std::string& bytes) {
    const auto host = winsim::hostPath(winPath);
    ASSERT_TRUE(host.has_value()) << winPath;
    std::filesystem::create_directories(host->parent_path());
    std::ofstream(*host, std::ios::binary) << bytes;
  }
  static bool exists(const std::string& winPath) {
    const auto host = winsim::hostPath(winPath);
    std::error_code ec;
    return host && std::filesystem::exists(*host, ec);
  }

  std::filesystem::path m_root;
  std::string m_saved;
};

}  // namespace kvtest
