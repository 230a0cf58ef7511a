// winsim: the header of an ICC colour profile, as far as installing and
// enumerating profiles needs it.
//
// The header is the file's first 128 bytes, every number big-endian: the
// profile's size (bytes 0..3), its class (12..15: 'prtr', 'mntr', ...), the
// colour space of its data (16..19), the connection space (20..23) and the
// file signature 'acsp' (36..39).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include <windows.h>

namespace winsim::icm {

inline constexpr size_t kIccHeaderBytes = 128;
inline constexpr DWORD kIccSignature = 0x61637370;  // 'acsp'

struct IccHeader {
  DWORD declaredSize = 0;
  DWORD profileClass = 0;
  DWORD dataColorSpace = 0;
  DWORD connectionSpace = 0;
};

// Reads the header from the first `size` bytes of a file of `fileSize`
// bytes. Nothing when fewer than 128 bytes are given, the signature is not
// 'acsp', or the declared size is below 128 or beyond the file's end.
std::optional<IccHeader> readIccHeader(const std::uint8_t* data, size_t size, std::uint64_t fileSize);

// A class signature as its four characters ("prtr"); "" unless all four are
// printable ASCII (then it cannot name a registry key).
std::string signatureText(DWORD signature);

}  // namespace winsim::icm
