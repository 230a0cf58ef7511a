// Small SZDD ("compress.exe") encoders for tests, so that test data is made,
// not committed: one of literals only, which every SZDD reader must accept,
// and one that also writes matches.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace kvtest {

inline std::string szddHeader(std::uint32_t length, char missingChar, char mode = 'A') {
  std::string h("SZDD\x88\xF0\x27\x33", 8);
  h.push_back(mode);
  h.push_back(missingChar);
  for (int i = 0; i < 4; ++i) h.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
  return h;
}

inline std::string szddEncode(const std::string& data, char missingChar) {
  std::string out = szddHeader(static_cast<std::uint32_t>(data.size()), missingChar);
  for (size_t i = 0; i < data.size(); i += 8) {
    const size_t n = std::min<size_t>(8, data.size() - i);
    out.push_back(static_cast<char>((1u << n) - 1));
    out.append(data, i, n);
  }
  return out;
}

// An encoder that also writes matches, for tests of the decoder's copies:
// at each position it takes the longest of the matches at distances 1 to
// 20, 4095 and 4096 and at the last position where the next three bytes
// began. The data is seen as following 4096 blanks, as the window starts,
// so that matches may reach before its start.
inline std::string szddEncodeMatches(const std::string& data, char missingChar) {
  std::string out = szddHeader(static_cast<std::uint32_t>(data.size()), missingChar);
  const long long size = static_cast<long long>(data.size());
  auto at = [&](long long i) { return i < 0 ? ' ' : data[static_cast<size_t>(i)]; };
  std::vector<long long> last(1 << 15, -(1LL << 20));
  auto key = [&](long long i) {
    return (static_cast<unsigned char>(data[static_cast<size_t>(i)]) << 7 ^
            static_cast<unsigned char>(data[static_cast<size_t>(i) + 1]) << 3 ^
            static_cast<unsigned char>(data[static_cast<size_t>(i) + 2])) & 0x7FFF;
  };
  long long pos = 0;
  while (pos < size) {
    const size_t flagAt = out.size();
    out.push_back(0);
    unsigned char flags = 0;
    for (int item = 0; item < 8 && pos < size; ++item) {
      std::vector<long long> distances = {4095, 4096};
      for (long long d = 1; d <= 20; ++d) distances.push_back(d);
      if (pos + 3 <= size) distances.push_back(pos - last[static_cast<size_t>(key(pos))]);
      long long best = 0, bestDistance = 0;
      for (long long d : distances) {
        if (d < 1 || d > 4096) continue;
        long long n = 0;
        while (n < 18 && pos + n < size && at(pos - d + n) == data[static_cast<size_t>(pos + n)]) ++n;
        if (n > best) best = n, bestDistance = d;
      }
      if (best >= 3) {
        const auto ring = static_cast<unsigned>((pos - bestDistance + 4080) & 0xFFF);
        out.push_back(static_cast<char>(ring & 0xFF));
        out.push_back(static_cast<char>(((ring >> 4) & 0xF0) | static_cast<unsigned>(best - 3)));
      } else {
        best = 1;
        flags |= static_cast<unsigned char>(1u << item);
        out.push_back(data[static_cast<size_t>(pos)]);
      }
      for (long long k = 0; k < best; ++k) {
        if (pos + k + 3 <= size) last[static_cast<size_t>(key(pos + k))] = pos + k;
      }
      pos += best;
    }
    out[flagAt] = static_cast<char>(flags);
  }
  return out;
}

}  // namespace kvtest
