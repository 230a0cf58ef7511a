// The pictures of the power pages.
#include "wizard/power_picture.h"

#include <cstring>

namespace {

DWORD le32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
         static_cast<DWORD>(p[3]) << 24;
}
WORD le16(const BYTE* p) { return static_cast<WORD>(p[0] | p[1] << 8); }

constexpr size_t kCoreHeader = 12;
constexpr size_t kInfoHeader = 40;
constexpr size_t kFileHeader = 14;
constexpr LONG kMaxSide = 0x4000;

bool validBitCount(WORD w) { return w == 1 || w == 4 || w == 8 || w == 16 || w == 24 || w == 32; }

}  // namespace

DWORD CPowerPicture::GetTableSize(const BYTE* pHeader, size_t cbHeader) {
  if (!pHeader || cbHeader < 4) return 0;
  const DWORD dwSize = le32(pHeader);
  if (dwSize == kCoreHeader) {
    if (cbHeader < kCoreHeader) return 0;
    const WORD wBits = le16(pHeader + 10);
    return (wBits <= 8) ? (1u << wBits) * 3 : 0;
  }
  if (dwSize < 16 || cbHeader < 16) return 0;
  const WORD wBits = le16(pHeader + 14);
  // biClrUsed sits at offset 32; a header shorter than 36 bytes has none.
  const DWORD dwClrUsed = (dwSize >= 36 && cbHeader >= 36) ? le32(pHeader + 32) : 0;
  if (dwClrUsed != 0) return dwClrUsed > 256 && wBits <= 8 ? 0 : dwClrUsed * 4;
  return (wBits <= 8) ? (1u << wBits) * 4 : 0;
}

BOOL CPowerPicture::kParseFile(const BYTE* pData, size_t cbData, int nPaletteIndex, std::string* pstrWhy) {
  if (!pData || cbData < kFileHeader || pData[0] != 'B' || pData[1] != 'M') {
    if (pstrWhy) *pstrWhy = "not a bitmap file";
    return FALSE;
  }
  return kParse(pData + kFileHeader, cbData - kFileHeader, nPaletteIndex, pstrWhy);
}

BOOL CPowerPicture::kParse(const BYTE* pData, size_t cbData, int nPaletteIndex, std::string* pstrWhy) {
  *this = CPowerPicture();
  auto refuse = [&](const char* pszWhy) {
    if (pstrWhy) *pstrWhy = pszWhy;
    *this = CPowerPicture();
    return FALSE;
  };
  if (!pData || cbData < kCoreHeader) return refuse("header cut short");
  const DWORD dwHeader = le32(pData);
  WORD wBits = 0;
  DWORD dwCompression = 0;
  DWORD dwClrUsed = 0;
  LONG lWidth = 0, lHeight = 0;
  if (dwHeader == kCoreHeader) {
    lWidth = le16(pData + 4);
    lHeight = le16(pData + 6);
    wBits = le16(pData + 10);
  } else {
    if (dwHeader < kInfoHeader || dwHeader > 124) return refuse("unknown header size");
    if (cbData < dwHeader) return refuse("header cut short");
    lWidth = static_cast<LONG>(le32(pData + 4));
    lHeight = static_cast<LONG>(le32(pData + 8));
    if (lHeight < 0 && lHeight != static_cast<LONG>(0x80000000)) lHeight = -lHeight;
    wBits = le16(pData + 14);
    dwCompression = le32(pData + 16);
    dwClrUsed = le32(pData + 32);
  }
  if (!validBitCount(wBits)) return refuse("bad bit count");
  if (lWidth <= 0 || lHeight <= 0 || lWidth > kMaxSide || lHeight > kMaxSide) return refuse("bad picture size");
  if (dwCompression != 0 /* BI_RGB */) return refuse("compressed pictures are not shown");
  if (wBits <= 8 && dwClrUsed > (1u << wBits)) return refuse("more colours than the bit count allows");
  if (dwClrUsed > 256) return refuse("too many colours");
  const DWORD dwTable = GetTableSize(pData, cbData);
  if (static_cast<size_t>(dwHeader) + dwTable > cbData) return refuse("colour table beyond the end of the file");
  // Rows are padded to four bytes.
  const size_t cbRow = ((static_cast<size_t>(lWidth) * wBits + 31) / 32) * 4;
  const size_t cbBits = cbRow * static_cast<size_t>(lHeight);
  const size_t cbOffset = dwHeader + dwTable;
  if (cbBits > cbData - cbOffset) return refuse("pixels beyond the end of the file");

  m_dwColors = dwClrUsed ? dwClrUsed : (wBits <= 8 ? (1u << wBits) : 0);
  if (wBits > 8 && dwClrUsed == 0) m_dwColors = 0;
  m_dwHeaderSize = dwHeader;
  m_lWidth = lWidth;
  m_lHeight = lHeight;
  // A core header is widened to an info header so that one layout serves
  // the drawing; its 3-byte entries become 4-byte ones.
  if (dwHeader == kCoreHeader) {
    const DWORD dwEntries = dwTable / 3;
    m_vecInfo.assign(kInfoHeader + dwEntries * 4, 0);
    BITMAPINFOHEADER bih{};
    bih.biSize = kInfoHeader;
    bih.biWidth = lWidth;
    bih.biHeight = lHeight;
    bih.biPlanes = 1;
    bih.biBitCount = wBits;
    std::memcpy(m_vecInfo.data(), &bih, sizeof bih);
    for (DWORD i = 0; i < dwEntries; ++i) std::memcpy(&m_vecInfo[kInfoHeader + i * 4], pData + dwHeader + i * 3, 3);
  } else {
    m_vecInfo.assign(pData, pData + cbOffset);
  }
  m_vecBits.assign(pData + cbOffset, pData + cbOffset + cbBits);
  m_bLoaded = TRUE;

  // Only a picture of exactly 256 colours gets a palette; its entry at the
  // given index takes the button face's colour, so that the picture's
  // background melts into the page.
  const size_t cbHeaderOut = dwHeader == kCoreHeader ? kInfoHeader : dwHeader;
  const DWORD dwEntriesOut = static_cast<DWORD>((m_vecInfo.size() - cbHeaderOut) / 4);
  if (m_dwColors == 256 && dwEntriesOut >= 256) {
    if (nPaletteIndex >= 0 && nPaletteIndex < 256) {
      const DWORD dwFace = GetSysColor(COLOR_BTNFACE);
      BYTE* pEntry = &m_vecInfo[cbHeaderOut + static_cast<size_t>(nPaletteIndex) * 4];
      pEntry[0] = static_cast<BYTE>((dwFace >> 16) & 0xFF);  // blue
      pEntry[1] = static_cast<BYTE>((dwFace >> 8) & 0xFF);   // green
      pEntry[2] = static_cast<BYTE>(dwFace & 0xFF);          // red
    }
    m_vecLogPalette.assign(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY), 0);
    auto* pPal = reinterpret_cast<LOGPALETTE*>(m_vecLogPalette.data());
    pPal->palVersion = 0x300;
    pPal->palNumEntries = 256;
    for (int i = 0; i < 256; ++i) {
      const BYTE* q = &m_vecInfo[cbHeaderOut + static_cast<size_t>(i) * 4];
      pPal->palPalEntry[i].peBlue = q[0];
      pPal->palPalEntry[i].peGreen = q[1];
      pPal->palPalEntry[i].peRed = q[2];
      pPal->palPalEntry[i].peFlags = 0;
    }
  }
  return TRUE;
}

bool CPowerPicture::kTableEntry(DWORD i, BYTE& b, BYTE& g, BYTE& r) const {
  if (!m_bLoaded) return false;
  const size_t cbHeader = m_dwHeaderSize == kCoreHeader ? kInfoHeader : m_dwHeaderSize;
  const size_t at = cbHeader + static_cast<size_t>(i) * 4;
  if (at + 3 > m_vecInfo.size()) return false;
  b = m_vecInfo[at];
  g = m_vecInfo[at + 1];
  r = m_vecInfo[at + 2];
  return true;
}

void CPowerPicture::kDraw(const DRAWITEMSTRUCT* pDraw) const {
  if (!m_bLoaded || !pDraw) return;
  HDC hDC = pDraw->hDC;
  HPALETTE hPalette = nullptr;
  HPALETTE hOldPalette = nullptr;
  if (kHasPalette()) {
    hPalette = CreatePalette(kLogPalette());
    if (hPalette) {
      hOldPalette = SelectPalette(hDC, hPalette, FALSE);
      RealizePalette(hDC);
    }
  }
  HBITMAP hBitmap = CreateDIBitmap(hDC, &kInfo()->bmiHeader, CBM_INIT, kBits(), kInfo(), DIB_RGB_COLORS);
  if (hBitmap) {
    HDC hMem = CreateCompatibleDC(hDC);
    if (hMem) {
      HGDIOBJ hOld = SelectObject(hMem, hBitmap);
      const int nWidth = pDraw->rcItem.right - pDraw->rcItem.left;
      SetStretchBltMode(hDC, COLORONCOLOR);
      StretchBlt(hDC, pDraw->rcItem.left, pDraw->rcItem.top, nWidth, kScaledHeight(m_lHeight, nWidth, m_lWidth), hMem,
                 0, 0, m_lWidth, m_lHeight, SRCCOPY);
      if (hOld) SelectObject(hMem, hOld);
      DeleteDC(hMem);
    }
    DeleteObject(hBitmap);
  }
  if (hPalette) {
    if (hOldPalette) SelectPalette(hDC, hOldPalette, FALSE);
    DeleteObject(hPalette);
  }
}
