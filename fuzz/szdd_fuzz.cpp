// Fuzzes SZDD expansion and the compressed-name rules.
#include <cstddef>
#include <cstdint>
#include <string>

#include "lz32/szdd.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string out;
  winsim::lz::SzddHeader header;
  if (winsim::lz::readSzddHeader(bytes, &header) &&
      winsim::lz::expandSzdd(bytes, &out) == winsim::lz::Expand::Ok && out.size() != header.length) {
    __builtin_trap();  // a success must give exactly the promised length
  }
  const std::string name(bytes.substr(0, 64));
  winsim::lz::compressedName(name);
  winsim::lz::expandedName(name, size ? static_cast<char>(data[0]) : 0);
  return 0;
}
