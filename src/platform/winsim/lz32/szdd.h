// winsim: the "compress.exe" SZDD format, the cabinet files the Setup API
// expands, and the "_" naming convention of compressed files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace winsim::lz {

constexpr size_t kSzddHeaderSize = 14;

struct SzddHeader {
  char mode = 0;         // 'A' is the only method LZ32 can expand
  char missingChar = 0;  // the character the "_" of the name replaced (0: unknown)
  std::uint32_t length = 0;
};

// True when `data` starts with the SZDD magic and a whole header.
bool readSzddHeader(std::string_view data, SzddHeader* header);

enum class Expand { Ok, UnknownAlgorithm, Corrupt, WriteFailed };
// Receives the expanded bytes in order, a block at a time; false stops the
// expansion with WriteFailed.
using ExpandSink = std::function<bool(std::string_view block)>;
constexpr size_t kExpandBlock = 256 * 1024;
// Expands a whole SZDD file (header included) into `sink`, in blocks of
// about `blockSize` bytes. The output must have exactly the length the
// header states; anything else is corruption, found at the latest when the
// input ends: the sink may have had part of the output by then, so a sink
// that writes a file writes it whole or not at all.
Expand expandSzdd(std::string_view data, const ExpandSink& sink, size_t blockSize = kExpandBlock);
// The same into a string, left empty unless the expansion succeeds.
Expand expandSzdd(std::string_view data, std::string* out);

// "FILE.DLL" -> "FILE.DL_", "two.ab" -> "two.ab_", "noext" -> "noext._".
std::string compressedName(std::string_view name);
// The name a compressed file expands to, from the character its header
// keeps: "HELLO.TX_" with 'T' -> "HELLO.TXT".
std::string expandedName(std::string_view name, char missingChar);

// True when `data` starts like a cabinet file ("MSCF").
bool looksLikeCabinet(std::string_view data);

}  // namespace winsim::lz
