// Fuzzes the .reg reader: any input must be read without a crash, and text
// the reader accepts must survive a write and a second read unchanged.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "advapi32/registry_text.h"

namespace reg = winsim::reg;

namespace {

std::string writeAll(const reg::KeyNode (&roots)[2]) {
  std::string out = reg::regHeader();
  reg::writeRegTree(roots[0], reg::hiveLongName(reg::Hive::LocalMachine), true, &out);
  reg::writeRegTree(roots[1], reg::hiveLongName(reg::Hive::CurrentUser), true, &out);
  return out;
}

void applyAll(const std::vector<reg::RegChange>& changes, reg::KeyNode (&roots)[2]) {
  reg::applyChanges(&roots[0], reg::Hive::LocalMachine, changes);
  reg::applyChanges(&roots[1], reg::Hive::CurrentUser, changes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // Lenient reading (a damaged hive file) must always give a usable tree.
  std::vector<reg::RegChange> lenient;
  std::vector<reg::RegParseError> errors;
  reg::parseRegText(text, true, &lenient, &errors);
  reg::KeyNode scratch[2];
  applyAll(lenient, scratch);
  (void)writeAll(scratch);

  std::vector<reg::RegChange> changes;
  if (!reg::parseRegText(text, false, &changes, nullptr)) return 0;
  reg::KeyNode first[2];
  applyAll(changes, first);
  const std::string written = writeAll(first);

  std::vector<reg::RegChange> again;
  std::vector<reg::RegParseError> againErrors;
  if (!reg::parseRegText(written, false, &again, &againErrors)) {
    std::fprintf(stderr, "written text does not read back: line %zu: %s\n%s\n", againErrors.front().line,
                 againErrors.front().reason.c_str(), written.c_str());
    std::abort();
  }
  reg::KeyNode second[2];
  applyAll(again, second);
  if (writeAll(second) != written) {
    std::fprintf(stderr, "a second write differs from the first:\n%s\n----\n%s\n", written.c_str(),
                 writeAll(second).c_str());
    std::abort();
  }
  return 0;
}
