// Fuzzes the ICC profile header reader used when a colour profile is
// installed: any bytes must read without a crash or an overread, and what is
// accepted must hold the checks the reader promises.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mscms/icc_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  namespace icm = winsim::icm;
  // An exact-size copy, so that ASan sees any read past the given bytes.
  const std::vector<std::uint8_t> bytes(data, data + size);
  const auto header = icm::readIccHeader(bytes.data(), bytes.size(), bytes.size());
  if (header) {
    if (size < icm::kIccHeaderBytes || header->declaredSize < icm::kIccHeaderBytes || header->declaredSize > size)
      __builtin_trap();
    const auto text = icm::signatureText(header->profileClass);
    if (!text.empty() && text.size() != 4) __builtin_trap();
  }
  // Only the first bytes of a longer file are handed over.
  if (size >= icm::kIccHeaderBytes) icm::readIccHeader(bytes.data(), icm::kIccHeaderBytes, UINT64_MAX);
  return 0;
}
