// Fuzzes the decoder of the frames that processes send to each other's
// message sockets: any bytes must be refused or decoded within bounds, and
// a decoded frame must encode back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>

#include "user32/wire.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace winsim::user::wire;
  if (auto frame = decode(data, size)) {
    const auto again = encode(*frame);
    if (again.size() != size || !std::equal(again.begin(), again.end(), data)) std::abort();
  }
  if (size >= kHeaderSize) {
    if (auto len = bodyLength(data, size)) {
      if (*len < kFixedBodySize || *len > kFixedBodySize + kMaxData) std::abort();
    }
    decodeBody(data + kHeaderSize, size - kHeaderSize);
  }
  if (auto facts = decodeFacts(data, size)) {
    const auto again = encodeFacts(*facts);
    if (again.size() != size) std::abort();
  }
  return 0;
}
