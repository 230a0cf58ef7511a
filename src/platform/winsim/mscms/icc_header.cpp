// winsim: the ICC profile header reader (mscms/icc_header.h).
#include "mscms/icc_header.h"

namespace winsim::icm {
namespace {

DWORD bigEndian32(const std::uint8_t* p) {
  return (DWORD{p[0]} << 24) | (DWORD{p[1]} << 16) | (DWORD{p[2]} << 8) | DWORD{p[3]};
}

}  // namespace

std::optional<IccHeader> readIccHeader(const std::uint8_t* data, size_t size, std::uint64_t fileSize) {
  if (!data || size < kIccHeaderBytes || fileSize < kIccHeaderBytes) return std::nullopt;
  if (bigEndian32(data + 36) != kIccSignature) return std::nullopt;
  IccHeader h;
  h.declaredSize = bigEndian32(data);
  if (h.declaredSize < kIccHeaderBytes || h.declaredSize > fileSize) return std::nullopt;
  h.profileClass = bigEndian32(data + 12);
  h.dataColorSpace = bigEndian32(data + 16);
  h.connectionSpace = bigEndian32(data + 20);
  return h;
}

std::string signatureText(DWORD signature) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((signature >> shift) & 0xFF);
    if (c < 0x20 || c > 0x7E || c == '\\') return {};
    text += c;
  }
  return text;
}

}  // namespace winsim::icm
