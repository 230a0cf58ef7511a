// The picture of the power-off and power-on pages: a device-independent
// bitmap from the package (a ".bmp" file the configuration names) or from
// the program's own resources, with the palette rule of these pages.
//
// Pictures from the package are outside input: every size in the headers
// is checked against the bytes there are, and a picture that does not
// check out is refused (the page then shows its own picture).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/win32.h"

class CPowerPicture {
 public:
  // The size of the colour table that follows a header, from the header's
  // own fields: for a 12-byte core header 3 bytes an entry, otherwise 4;
  // biClrUsed entries when the header has that field and it is not 0, else
  // 2^biBitCount (none for 24 bits). Bit counts above 8 without biClrUsed
  // have no table; so does a header too short to tell.
  static DWORD GetTableSize(const BYTE* pHeader, size_t cbHeader);

  // Reads a DIB (a header, its colour table and the bits) from memory.
  // With 256 colours a palette is made, its entry nPaletteIndex replaced by
  // the button-face colour. FALSE, with the reason, for anything malformed.
  BOOL kParse(const BYTE* pData, size_t cbData, int nPaletteIndex, std::string* pstrWhy);
  // The same for a whole ".bmp" file: "BM" and the 14-byte file header
  // first.
  BOOL kParseFile(const BYTE* pData, size_t cbData, int nPaletteIndex, std::string* pstrWhy);

  BOOL kIsLoaded() const { return m_bLoaded; }
  BOOL kHasPalette() const { return !m_vecLogPalette.empty(); }
  DWORD kColorCount() const { return m_dwColors; }
  LONG kWidth() const { return m_lWidth; }
  LONG kHeight() const { return m_lHeight; }
  // The header with its (modified) colour table, the bits, the palette.
  const BITMAPINFO* kInfo() const { return reinterpret_cast<const BITMAPINFO*>(m_vecInfo.data()); }
  const BYTE* kBits() const { return m_vecBits.data(); }
  const LOGPALETTE* kLogPalette() const {
    return kHasPalette() ? reinterpret_cast<const LOGPALETTE*>(m_vecLogPalette.data()) : nullptr;
  }
  // The colour table entry i as blue, green, red (for the tests).
  bool kTableEntry(DWORD i, BYTE& b, BYTE& g, BYTE& r) const;

  // The scaled height of the picture drawn over a width (integer
  // arithmetic, as the pages draw it).
  static int kScaledHeight(int nHeight, int nWidth, int nBitmapWidth) {
    return nBitmapWidth > 0 ? nHeight * (nWidth * 100 / nBitmapWidth) / 100 : 0;
  }

  // Draws the picture into an owner-drawn item: palette realised, a DDB
  // made from the DIB and stretched over the item's width.
  void kDraw(const DRAWITEMSTRUCT* pDraw) const;

 private:
  BOOL m_bLoaded = FALSE;
  DWORD m_dwColors = 0;
  DWORD m_dwHeaderSize = 0;
  LONG m_lWidth = 0;
  LONG m_lHeight = 0;
  std::vector<BYTE> m_vecInfo;
  std::vector<BYTE> m_vecBits;
  std::vector<BYTE> m_vecLogPalette;
};
