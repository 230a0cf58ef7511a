// Fuzzes SZDD expansion against the format decoded as plainly as it can be
// (a ring of blanks, every byte through it), in blocks of many sizes and
// with a sink that refuses to write, and the compressed-name rules.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "lz32/szdd.h"

namespace {

// The whole expansion, or false when the data is not one of exactly the
// length its header gives.
bool plainExpand(std::string_view data, std::string* out) {
  winsim::lz::SzddHeader header;
  if (!winsim::lz::readSzddHeader(data, &header) || header.mode != 'A') return false;
  unsigned char ring[4096];
  std::memset(ring, ' ', sizeof ring);
  size_t write = 4096 - 16;
  out->clear();
  auto emit = [&](unsigned char c) {
    if (out->size() >= header.length) return false;
    out->push_back(static_cast<char>(c));
    ring[write] = c;
    write = (write + 1) % 4096;
    return true;
  };
  size_t pos = winsim::lz::kSzddHeaderSize;
  while (pos < data.size()) {
    const auto flags = static_cast<unsigned char>(data[pos++]);
    for (int bit = 0; bit < 8 && pos < data.size(); ++bit) {
      if (flags >> bit & 1) {
        if (!emit(static_cast<unsigned char>(data[pos++]))) return false;
        continue;
      }
      if (pos + 1 >= data.size()) return false;
      const auto b1 = static_cast<unsigned char>(data[pos]);
      const auto b2 = static_cast<unsigned char>(data[pos + 1]);
      pos += 2;
      size_t from = b1 | (b2 & 0xF0u) << 4;
      for (unsigned i = 0; i < (b2 & 0x0Fu) + 3; ++i) {
        if (!emit(ring[from])) return false;
        from = (from + 1) % 4096;
      }
    }
  }
  return out->size() == header.length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  using winsim::lz::Expand;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string expected;
  const bool valid = plainExpand(bytes, &expected);
  std::string out;
  const Expand whole = winsim::lz::expandSzdd(bytes, &out);
  if ((whole == Expand::Ok) != valid || out != (valid ? expected : std::string())) __builtin_trap();

  // In small blocks, so that the window is carried from block to block.
  const size_t block = size ? 1 + data[size - 1] % 512 : 1;
  std::string streamed;
  int blocks = 0;
  const Expand inBlocks = winsim::lz::expandSzdd(
      bytes,
      [&](std::string_view piece) {
        if (piece.empty()) __builtin_trap();
        streamed.append(piece);
        ++blocks;
        return true;
      },
      block);
  if (inBlocks != whole || (valid && streamed != expected)) __builtin_trap();
  // A sink that refuses its second block ends the expansion there.
  if (blocks >= 2) {
    int calls = 0;
    if (winsim::lz::expandSzdd(bytes, [&](std::string_view) { return ++calls < 2; }, block) != Expand::WriteFailed ||
        calls != 2) {
      __builtin_trap();
    }
  }

  const std::string name(bytes.substr(0, 64));
  winsim::lz::compressedName(name);
  winsim::lz::expandedName(name, size ? static_cast<char>(data[0]) : 0);
  return 0;
}
