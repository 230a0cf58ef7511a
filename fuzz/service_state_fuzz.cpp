// Fuzzes the reader of the services' run-state file: any bytes must read
// without a crash, and what is read must write back and read the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "advapi32/service_runstate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  namespace rs = winsim::runstate;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto entries = rs::parse(text);
  const auto again = rs::parse(rs::format(entries));
  if (again.size() != entries.size()) __builtin_trap();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (again[i].name != entries[i].name || again[i].state != entries[i].state) __builtin_trap();
    rs::settledState(entries[i], 1000);
  }
  return 0;
}
