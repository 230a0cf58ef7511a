// Builds a one-file cabinet with stored (uncompressed) data, so that tests
// of the "_" name convention can hold a cabinet without committing one.
#pragma once

#include <cstdint>
#include <string>

#include "support/pe_builder.h"

namespace kvtest {

// A cabinet holding `data` (at most 32 KiB) under `name`. Checksums are 0,
// which readers take as "not present".
inline std::string storedCabinet(const std::string& name, const std::string& data) {
  const std::uint32_t headerSize = 36, folderSize = 8;
  const std::uint32_t fileSize = 16 + static_cast<std::uint32_t>(name.size()) + 1;
  const std::uint32_t dataOffset = headerSize + folderSize + fileSize;
  const std::uint32_t total = dataOffset + 8 + static_cast<std::uint32_t>(data.size());
  std::string cab(dataOffset + 8, '\0');
  cab.replace(0, 4, "MSCF");
  put32(cab, 8, total);                       // cbCabinet
  put32(cab, 16, headerSize + folderSize);    // coffFiles
  cab[24] = 3;                                // version 1.3
  cab[25] = 1;
  put16(cab, 26, 1);                          // one folder
  put16(cab, 28, 1);                          // one file
  // CFFOLDER: first data block, block count, compression 0 (stored).
  put32(cab, headerSize, dataOffset);
  put16(cab, headerSize + 4, 1);
  put16(cab, headerSize + 6, 0);
  // CFFILE: size, offset in folder, folder 0, date, time, attributes, name.
  const std::uint32_t f = headerSize + folderSize;
  put32(cab, f, static_cast<std::uint32_t>(data.size()));
  put16(cab, f + 10, 0x5021);  // 2020-01-01
  put16(cab, f + 14, 0x20);    // archive
  cab.replace(f + 16, name.size(), name);
  // CFDATA: checksum 0, compressed and uncompressed sizes.
  put16(cab, dataOffset + 4, static_cast<std::uint32_t>(data.size()));
  put16(cab, dataOffset + 6, static_cast<std::uint32_t>(data.size()));
  return cab + data;
}

}  // namespace kvtest
