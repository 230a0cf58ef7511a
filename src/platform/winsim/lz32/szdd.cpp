// winsim: SZDD expansion (a bounds-checked LZSS decoder) and the naming
// convention of compressed files.
#include "lz32/szdd.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <memory>

namespace winsim::lz {
namespace {

constexpr unsigned char kMagic[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
constexpr size_t kWindow = 4096;
constexpr size_t kWindowMask = kWindow - 1;
constexpr size_t kWindowStart = kWindow - 16;
constexpr size_t kMaxMatch = 18;
constexpr size_t kGroupOutput = 8 * kMaxMatch;  // the most one flag byte's items make
constexpr size_t kGroupInput = 8 * 2;           // the most they read after the flag byte

// Copies a match of `length` (3..18) bytes that starts `distance` (1..4096)
// bytes back. A match may overlap what it makes (a distance below its
// length repeats the bytes). The buffer has room for kMaxMatch bytes at
// `out` whatever the length: the bytes past it are rewritten later.
inline void copyMatch(unsigned char* out, size_t distance, unsigned length) {
  const unsigned char* from = out - distance;
  if (distance >= kMaxMatch) {
    std::memcpy(out, from, kMaxMatch);
  } else if (distance == 1) {
    std::memset(out, *from, kMaxMatch);
  } else {
    for (unsigned i = 0; i < length; ++i) out[i] = from[i];
  }
}

}  // namespace

bool readSzddHeader(std::string_view data, SzddHeader* header) {
  if (data.size() < kSzddHeaderSize || std::memcmp(data.data(), kMagic, sizeof kMagic) != 0) return false;
  header->mode = data[8];
  header->missingChar = data[9];
  header->length = static_cast<std::uint32_t>(static_cast<unsigned char>(data[10])) |
                   static_cast<std::uint32_t>(static_cast<unsigned char>(data[11])) << 8 |
                   static_cast<std::uint32_t>(static_cast<unsigned char>(data[12])) << 16 |
                   static_cast<std::uint32_t>(static_cast<unsigned char>(data[13])) << 24;
  return true;
}

// The window starts filled with blanks and the write position at 0xFF0.
// Each flag byte governs eight items, least significant bit first: a set
// bit is a literal byte, a clear bit a two-byte match of an absolute window
// position and a length of 3 to 18, copied byte by byte so that it may
// overlap what it produces. The input simply ends.
//
// The output is made in a buffer whose first 4096 bytes are the window:
// blanks at first, then the last 4096 bytes given to the sink. A window
// position is thus a distance of 1 to 4096 back from the write position,
// which is never before the buffer. A group of eight items runs without
// per-item checks when its input is all there and its largest output still
// fits in what the header promised; the last groups are checked item by item.
Expand expandSzdd(std::string_view data, const ExpandSink& sink, size_t blockSize) {
  SzddHeader header;
  if (!readSzddHeader(data, &header)) return Expand::Corrupt;
  if (header.mode != 'A') return Expand::UnknownAlgorithm;
  blockSize = std::max<size_t>(blockSize, 1);
  const std::unique_ptr<unsigned char[]> buffer(new unsigned char[kWindow + blockSize + kGroupOutput + kMaxMatch]);
  unsigned char* const window = buffer.get();
  unsigned char* const start = window + kWindow;
  unsigned char* const limit = start + blockSize;
  std::memset(window, ' ', kWindow);

  const auto* in = reinterpret_cast<const unsigned char*>(data.data());
  const size_t end = data.size();
  size_t pos = kSzddHeaderSize;
  const std::uint64_t length = header.length;
  std::uint64_t flushed = 0;  // bytes given to the sink
  unsigned char* out = start;
  // The window position of `out` is (out + bias) & kWindowMask.
  size_t bias = kWindowStart - reinterpret_cast<std::uintptr_t>(start);

  auto flush = [&] {
    const auto n = static_cast<size_t>(out - start);
    if (n && !sink(std::string_view(reinterpret_cast<const char*>(start), n))) return false;
    std::memmove(window, out - kWindow, kWindow);
    flushed += n;
    bias += n;
    out = start;
    return true;
  };
  auto matchDistance = [&](const unsigned char* item) -> size_t {
    const size_t at = item[0] | static_cast<size_t>(item[1] & 0xF0u) << 4;
    return kWindow - ((at - (reinterpret_cast<std::uintptr_t>(out) + bias)) & kWindowMask);
  };

  while (pos < end) {
    if (out >= limit && !flush()) return Expand::WriteFailed;
    const std::uint64_t produced = flushed + static_cast<size_t>(out - start);  // never above `length`
    unsigned flags = in[pos++];
    if (end - pos >= kGroupInput + 8 && length - produced >= kGroupOutput) {
      // A run of literals is copied eight bytes at a time (the input has
      // them, the buffer has room), then the match that ends it.
      unsigned items = 8;
      for (;;) {
        const auto run = static_cast<unsigned>(std::countr_one(flags | ~0u << items));
        std::memcpy(out, in + pos, 8);
        out += std::min(run, items);
        pos += std::min(run, items);
        if (run >= items) break;
        flags >>= run + 1;
        items -= run + 1;
        const unsigned n = (in[pos + 1] & 0x0Fu) + 3;
        copyMatch(out, matchDistance(in + pos), n);
        out += n;
        pos += 2;
        if (items == 0) break;
      }
      continue;
    }
    for (int bit = 0; bit < 8 && pos < end; ++bit, flags >>= 1) {
      const std::uint64_t left = length - (flushed + static_cast<size_t>(out - start));
      if (flags & 1) {
        if (left == 0) return Expand::Corrupt;  // more data than the header promised
        *out++ = in[pos++];
        continue;
      }
      if (end - pos < 2) return Expand::Corrupt;  // a match cut in half
      const unsigned n = (in[pos + 1] & 0x0Fu) + 3;
      if (left < n) return Expand::Corrupt;
      copyMatch(out, matchDistance(in + pos), n);
      out += n;
      pos += 2;
    }
  }
  if (!flush()) return Expand::WriteFailed;
  return flushed == length ? Expand::Ok : Expand::Corrupt;
}

Expand expandSzdd(std::string_view data, std::string* out) {
  out->clear();
  SzddHeader header;
  std::string result;
  // The header's length is not trusted for the reservation: no item makes
  // more than nine bytes per byte of input.
  if (readSzddHeader(data, &header)) result.reserve(std::min<size_t>(header.length, data.size() * 9));
  const Expand e = expandSzdd(data, [&](std::string_view block) {
    result.append(block);
    return true;
  });
  if (e == Expand::Ok) *out = std::move(result);
  return e;
}

std::string compressedName(std::string_view name) {
  const size_t slash = name.find_last_of("\\/");
  const size_t base = slash == std::string_view::npos ? 0 : slash + 1;
  const size_t dot = name.find('.', base);
  std::string out(name);
  if (dot == std::string_view::npos) return out + "._";
  const size_t extension = name.size() - dot - 1;
  if (extension < 3) return out + "_";
  out.back() = '_';
  return out;
}

std::string expandedName(std::string_view name, char missingChar) {
  std::string out(name);
  if (out.empty() || out.back() != '_') return out;
  out.pop_back();
  if (missingChar) {
    // The restored letter takes the case of the last letter of the name.
    bool upper = false;
    for (auto it = out.rbegin(); it != out.rend(); ++it) {
      if (std::isalpha(static_cast<unsigned char>(*it))) {
        upper = std::isupper(static_cast<unsigned char>(*it)) != 0;
        break;
      }
    }
    const auto c = static_cast<unsigned char>(missingChar);
    out.push_back(static_cast<char>(upper ? std::toupper(c) : std::tolower(c)));
  }
  if (!out.empty() && out.back() == '.') out.pop_back();
  return out;
}

bool looksLikeCabinet(std::string_view data) { return data.size() >= 4 && data.substr(0, 4) == "MSCF"; }

}  // namespace winsim::lz
