// The cost of registry reads, which the spooler and start-up make by the
// hundred, and of a change, which rewrites the hive.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "platform/win32.h"

namespace {

// A scratch machine whose HKLM holds a few hundred keys, about the size of a
// machine with some drivers installed.
void prepare() {
  static bool done = false;
  if (done) return;
  done = true;
  std::random_device rd;
  const auto root = std::filesystem::temp_directory_path() / ("kvbench-" + std::to_string(rd()));
  setenv("KVSIM_ROOT", root.c_str(), 1);
  static const std::filesystem::path scratch = root;
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
  });
  for (int i = 0; i < 300; ++i) {
    HKEY key = nullptr;
    const std::string name = "SOFTWARE\\Bench\\Key" + std::to_string(i);
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const DWORD v = static_cast<DWORD>(i);
    RegSetValueExA(key, "Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>("some text of a value"), 21);
    RegCloseKey(key);
  }
}

void BM_QueryValue(benchmark::State& state) {
  prepare();
  HKEY key = nullptr;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Bench\\Key150", 0, KEY_READ, &key);
  for (auto _ : state) {
    DWORD v = 0, size = sizeof v;
    benchmark::DoNotOptimize(RegQueryValueExA(key, "Value", nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size));
  }
  RegCloseKey(key);
}
BENCHMARK(BM_QueryValue);

void BM_OpenQueryClose(benchmark::State& state) {
  prepare();
  for (auto _ : state) {
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Bench\\Key150", 0, KEY_READ, &key);
    char text[64];
    DWORD size = sizeof text;
    benchmark::DoNotOptimize(RegQueryValueExA(key, "Text", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size));
    RegCloseKey(key);
  }
}
BENCHMARK(BM_OpenQueryClose);

void BM_SetValue(benchmark::State& state) {
  prepare();
  HKEY key = nullptr;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Bench\\Key150", 0, KEY_ALL_ACCESS, &key);
  DWORD v = 0;
  for (auto _ : state) {
    ++v;
    benchmark::DoNotOptimize(RegSetValueExA(key, "Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v));
  }
  RegCloseKey(key);
}
BENCHMARK(BM_SetValue);

}  // namespace
