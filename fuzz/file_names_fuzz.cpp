// Fuzzes what the simulated file system reads from outside: Windows paths
// (normalisation and mapping), search patterns, and its own tables as they
// may be found damaged on disk.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "kernel32/file_common.h"
#include "kernel32/file_state.h"
#include "machine.h"

#include "fuzz_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    (void)kvFuzzMachine("file-names");
    return true;
  }();
  (void)ready;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // Paths: must never escape a drive, whatever dots and separators they hold.
  const std::string path(input.substr(0, input.find('\0')));
  const std::string full = winsim::fullWinPath(path);
  if (full.size() >= 3 && full[1] == ':' && full.find("\\..\\") != std::string::npos) std::abort();
  if (auto host = winsim::hostPath(path)) {
    const std::string h = host->lexically_normal().string();
    const std::string c = (winsim::machineRoot() / "drive_c").string();
    if ((full[0] == 'C' || full[0] == 'c') && h.compare(0, c.size(), c) != 0) std::abort();
  }
  // Patterns: split the input into a pattern and a name.
  const size_t cut = input.find('|');
  if (cut != std::string_view::npos) {
    (void)winsim::files::matchPattern(input.substr(0, cut), input.substr(cut + 1));
  }
  // Tables: whatever parses must format and parse back to the same records.
  const auto records = winsim::files::parseTable(input);
  const auto again = winsim::files::parseTable(winsim::files::formatTable(records));
  if (again.size() != records.size()) std::abort();
  for (size_t i = 0; i < records.size(); ++i) {
    if (again[i].key != records[i].key || again[i].value != records[i].value) std::abort();
  }
  return 0;
}
