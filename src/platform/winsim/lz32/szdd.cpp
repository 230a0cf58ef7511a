// winsim: SZDD expansion (a bounds-checked LZSS decoder) and the naming
// convention of compressed files.
#include "lz32/szdd.h"

#include <cctype>
#include <cstring>

namespace winsim::lz {
namespace {

constexpr unsigned char kMagic[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
constexpr size_t kWindow = 4096;
constexpr size_t kWindowStart = kWindow - 16;

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
Expand expandSzdd(std::string_view data, std::string* out) {
  out->clear();
  SzddHeader header;
  if (!readSzddHeader(data, &header)) return Expand::Corrupt;
  if (header.mode != 'A') return Expand::UnknownAlgorithm;
  unsigned char window[kWindow];
  std::memset(window, ' ', sizeof window);
  size_t wpos = kWindowStart;
  const auto* in = reinterpret_cast<const unsigned char*>(data.data());
  size_t pos = kSzddHeaderSize;
  const size_t end = data.size();
  std::string result;
  result.reserve(std::min<size_t>(header.length, end * 9));
  auto emit = [&](unsigned char c) {
    if (result.size() >= header.length) return false;  // more data than the header promised
    result.push_back(static_cast<char>(c));
    window[wpos] = c;
    wpos = (wpos + 1) % kWindow;
    return true;
  };
  while (pos < end) {
    const unsigned flags = in[pos++];
    for (int bit = 0; bit < 8 && pos < end; ++bit) {
      if (flags & (1u << bit)) {
        if (!emit(in[pos++])) return Expand::Corrupt;
        continue;
      }
      if (pos + 1 >= end) return Expand::Corrupt;  // a match cut in half
      const unsigned b1 = in[pos];
      const unsigned b2 = in[pos + 1];
      pos += 2;
      size_t match = b1 | ((b2 & 0xF0u) << 4);
      const unsigned length = (b2 & 0x0Fu) + 3;
      for (unsigned i = 0; i < length; ++i) {
        if (!emit(window[match])) return Expand::Corrupt;
        match = (match + 1) % kWindow;
      }
    }
  }
  if (result.size() != header.length) return Expand::Corrupt;
  *out = std::move(result);
  return Expand::Ok;
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
