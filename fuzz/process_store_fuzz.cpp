// Fuzzes the reader of the machine's simulated-process file: any bytes must
// read without a crash, and what is read must write back and read the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "psapi/process_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  namespace procs = winsim::procs;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto processes = procs::parse(text);
  const auto again = procs::parse(procs::format(processes));
  if (again.size() != processes.size()) __builtin_trap();
  for (size_t i = 0; i < processes.size(); ++i) {
    if (again[i].pid != processes[i].pid || again[i].image != processes[i].image ||
        again[i].modules != processes[i].modules)
      __builtin_trap();
    if (processes[i].pid == 0 || !procs::isModulePath(processes[i].image)) __builtin_trap();
  }
  return 0;
}
