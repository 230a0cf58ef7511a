// winsim: one-file cabinet archives, as the Setup API expands driver files
// stored in them.
#pragma once

#include <cstdint>
#include <filesystem>

namespace winsim::lz {

struct CabinetInfo {
  std::uint32_t fileLength = 0;  // expanded size of the first file
  int method = 0;                // 0 none, 1 MSZIP, 2 Quantum, 3 LZX
};

// Reads the cabinet's directory; false when it is not a readable cabinet or
// holds no file.
bool inspectCabinet(const std::filesystem::path& cab, CabinetInfo* info);
// Expands the first file of the cabinet to `target`, all or nothing: the
// data goes to a scratch file beside the target that replaces it only once
// it is complete.
bool extractCabinet(const std::filesystem::path& cab, const std::filesystem::path& target);

}  // namespace winsim::lz
