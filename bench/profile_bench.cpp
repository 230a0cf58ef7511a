// Repeated lookups in one large UTF-16 INI file, as the message catalogue is
// loaded: the file is parsed once and every later read is a cache hit.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/win32.h"

namespace {

std::basic_string<WCHAR> widen(const std::string& s) { return std::basic_string<WCHAR>(s.begin(), s.end()); }

void BM_CatalogueLookups(benchmark::State& state) {
  const std::string root = "/tmp/kvbench-profile";
  setenv("KVSIM_ROOT", root.c_str(), 1);
  std::filesystem::create_directories(root + "/drive_c");
  std::string text = "[Catalogue]\r\n";
  for (int i = 0; i < 2000; ++i) text += "IDS_MESSAGE_" + std::to_string(i) + "=message text number " + std::to_string(i) + "\r\n";
  std::string bytes = "\xFF\xFE";
  for (char c : text) {
    bytes.push_back(c);
    bytes.push_back('\0');
  }
  std::ofstream(root + "/drive_c/cat.ini", std::ios::binary) << bytes;
  // An old file: the reader trusts its cached parse without reading again.
  std::filesystem::last_write_time(root + "/drive_c/cat.ini",
                                   std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  const auto file = widen("C:\\cat.ini");
  const auto section = widen("Catalogue");
  WCHAR buf[256];
  int i = 0;
  for (auto _ : state) {
    const auto key = widen("IDS_MESSAGE_" + std::to_string(i++ % 2000));
    benchmark::DoNotOptimize(GetPrivateProfileStringW(section.c_str(), key.c_str(), nullptr, buf, 256, file.c_str()));
  }
}
BENCHMARK(BM_CatalogueLookups);

}  // namespace
