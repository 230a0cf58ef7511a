// Fuzzes the reader of the power pages' pictures: any bytes, as a whole
// bitmap file and as a bare DIB, must be refused or read within bounds, and
// a picture read must be consistent with its own headers.
#include <cstddef>
#include <cstdint>
#include <string>

#include "wizard/power_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  CPowerPicture picture;
  std::string why;
  for (int pass = 0; pass < 2; ++pass) {
    const BOOL bRead = pass == 0 ? picture.kParseFile(data, size, 46, &why) : picture.kParse(data, size, 46, &why);
    if (!bRead) {
      if (picture.kIsLoaded() || picture.kHasPalette()) __builtin_trap();
      continue;
    }
    if (picture.kWidth() <= 0 || picture.kHeight() <= 0) __builtin_trap();
    if (picture.kHasPalette() && (picture.kColorCount() != 256 || picture.kLogPalette()->palNumEntries != 256)) {
      __builtin_trap();
    }
    BYTE b = 0, g = 0, r = 0;
    for (DWORD i = 0; i < picture.kColorCount(); ++i) picture.kTableEntry(i, b, g, r);
  }
  CPowerPicture::GetTableSize(data, size);
  return 0;
}
