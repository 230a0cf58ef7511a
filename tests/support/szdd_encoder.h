// A small SZDD ("compress.exe") encoder for tests: literals only, which
// every SZDD reader must accept, so that test data is made, not committed.
#pragma once

#include <cstdint>
#include <string>

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

}  // namespace kvtest
