// The power pages' pictures: the colour table size, the palette rule and
// the refusal of broken pictures; the key strings and the wait time.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "install/install_engine.h"
#include "platform/win32.h"
#include "wizard/power_on_dialog.h"
#include "wizard/power_picture.h"

namespace {

// A DIB in memory: an info header (or a core header), its colour table and
// zeroed bits.
std::vector<BYTE> dib(WORD wBits, DWORD dwClrUsed, LONG lWidth = 8, LONG lHeight = 4, bool bCore = false) {
  std::vector<BYTE> out;
  DWORD dwEntries = dwClrUsed ? dwClrUsed : (wBits <= 8 ? (1u << wBits) : 0);
  if (bCore) {
    BITMAPCOREHEADER h{12, static_cast<WORD>(lWidth), static_cast<WORD>(lHeight), 1, wBits};
    out.resize(sizeof h);
    std::memcpy(out.data(), &h, sizeof h);
    for (DWORD i = 0; i < dwEntries; ++i) out.insert(out.end(), {BYTE(i), BYTE(i), BYTE(i)});
  } else {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = lWidth;
    h.biHeight = lHeight;
    h.biPlanes = 1;
    h.biBitCount = wBits;
    h.biClrUsed = dwClrUsed;
    out.resize(sizeof h);
    std::memcpy(out.data(), &h, sizeof h);
    for (DWORD i = 0; i < dwEntries; ++i) out.insert(out.end(), {BYTE(i), BYTE(i + 1), BYTE(i + 2), 0});
  }
  const size_t cbRow = ((static_cast<size_t>(lWidth) * wBits + 31) / 32) * 4;
  out.resize(out.size() + cbRow * static_cast<size_t>(lHeight), 0);
  return out;
}

TEST(PowerPicture, TableSizeFollowsTheHeader) {
  struct Row {
    const char* pszWhat;
    std::vector<BYTE> data;
    DWORD dwSize;
  } rows[] = {
      {"core header, 8 bits", dib(8, 0, 8, 4, true), 256 * 3},
      {"core header, 24 bits", dib(24, 0, 8, 4, true), 0},
      {"info header, 8 bits, no count", dib(8, 0), 256 * 4},
      {"info header, 4 bits", dib(4, 0), 16 * 4},
      {"info header, 8 bits, 16 used", dib(8, 16), 16 * 4},
      {"info header, 24 bits", dib(24, 0), 0},
      {"info header, 32 bits", dib(32, 0), 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(CPowerPicture::GetTableSize(row.data.data(), row.data.size()), row.dwSize) << row.pszWhat;
  }
  // A header shorter than 36 bytes has no colour count of its own.
  std::vector<BYTE> shortHeader = dib(8, 0);
  const DWORD dw16 = 16;
  std::memcpy(shortHeader.data(), &dw16, 4);
  EXPECT_EQ(CPowerPicture::GetTableSize(shortHeader.data(), shortHeader.size()), 256u * 4);
}

TEST(PowerPicture, OnlyA256ColourPictureGetsAPaletteWithTheButtonFaceAt46) {
  CPowerPicture picture;
  std::string why;
  std::vector<BYTE> data = dib(8, 0);
  ASSERT_TRUE(picture.kParse(data.data(), data.size(), 46, &why)) << why;
  ASSERT_TRUE(picture.kHasPalette());
  const DWORD dwFace = GetSysColor(COLOR_BTNFACE);
  BYTE b = 0, g = 0, r = 0;
  ASSERT_TRUE(picture.kTableEntry(46, b, g, r));
  EXPECT_EQ(b, (dwFace >> 16) & 0xFF);
  EXPECT_EQ(g, (dwFace >> 8) & 0xFF);
  EXPECT_EQ(r, dwFace & 0xFF);
  EXPECT_EQ(picture.kLogPalette()->palVersion, 0x300);
  EXPECT_EQ(picture.kLogPalette()->palNumEntries, 256);
  EXPECT_EQ(picture.kLogPalette()->palPalEntry[46].peRed, dwFace & 0xFF);
  ASSERT_TRUE(picture.kTableEntry(45, b, g, r));
  EXPECT_EQ(b, 45);  // the other entries are the picture's own

  for (WORD wBits : {4, 24}) {
    data = dib(wBits, 0);
    ASSERT_TRUE(picture.kParse(data.data(), data.size(), 46, &why)) << why;
    EXPECT_FALSE(picture.kHasPalette()) << wBits << " bits";
  }
  data = dib(8, 200);
  ASSERT_TRUE(picture.kParse(data.data(), data.size(), 46, &why)) << why;
  EXPECT_FALSE(picture.kHasPalette()) << "200 colours used";
}

TEST(PowerPicture, BrokenPicturesAreRefused) {
  CPowerPicture picture;
  std::string why;
  std::vector<BYTE> good = dib(8, 0);
  struct Row {
    const char* pszWhat;
    std::vector<BYTE> data;
  };
  std::vector<Row> rows;
  rows.push_back({"cut in the header", std::vector<BYTE>(good.begin(), good.begin() + 20)});
  rows.push_back({"cut in the colour table", std::vector<BYTE>(good.begin(), good.begin() + 40 + 500)});
  rows.push_back({"cut in the pixels", std::vector<BYTE>(good.begin(), good.end() - 1)});
  std::vector<BYTE> bad = good;
  bad[14] = 7;  // bit count
  rows.push_back({"a bit count of 7", bad});
  bad = good;
  const DWORD dwHuge = 100000;
  std::memcpy(bad.data() + 32, &dwHuge, 4);
  rows.push_back({"more colours than bits allow", bad});
  bad = good;
  const LONG lWide = 0x7FFFFFFF;
  std::memcpy(bad.data() + 4, &lWide, 4);
  rows.push_back({"an absurd width", bad});
  for (const Row& row : rows) {
    EXPECT_FALSE(picture.kParse(row.data.data(), row.data.size(), 46, &why)) << row.pszWhat;
    EXPECT_FALSE(picture.kIsLoaded()) << row.pszWhat;
  }
  std::vector<BYTE> file = {'B', 'M'};
  file.resize(14, 0);
  file.insert(file.end(), good.begin(), good.end());
  EXPECT_TRUE(picture.kParseFile(file.data(), file.size(), 46, &why)) << why;
  file[0] = 'X';
  EXPECT_FALSE(picture.kParseFile(file.data(), file.size(), 46, &why));
}

TEST(PowerPicture, DrawnHeightIsScaledWithIntegerArithmetic) {
  EXPECT_EQ(CPowerPicture::kScaledHeight(100, 303, 200), 151);  // 303*100/200 = 151, 100*151/100
  EXPECT_EQ(CPowerPicture::kScaledHeight(76, 113, 113), 76);
  EXPECT_EQ(CPowerPicture::kScaledHeight(10, 10, 0), 0);
}

TEST(PowerOnKeys, DeviceKeyAndDeleteStringDropTheSuffix) {
  EXPECT_EQ(CPowerOnDialog::kMakePnpDevRegKey("USBPRINT\\HalvernKV-50A1B2"), "HalvernKV-50");
  EXPECT_EQ(CPowerOnDialog::kMakePnpDevRegKey("USBPRINT\\ABCD"), "ABCD");
  EXPECT_EQ(CPowerOnDialog::kMakePnpDevRegKey("USBPRINT\\"), "");
  EXPECT_EQ(CPowerOnDialog::kMakePnpDevRegKey("NOSEPARATOR"), "");
  EXPECT_EQ(CPowerOnDialog::kMakePnpDevRegKey(""), "");
  EXPECT_EQ(CPowerOnDialog::kMakeDeleteDeviceString("USBPRINT\\HalvernKV-50A1B2"), "USBPRINT\\HalvernKV-50");
  EXPECT_EQ(CPowerOnDialog::kMakeDeleteDeviceString("ABCD"), "ABCD");
}

TEST(PowerOnKeys, TheWaitComesFromTheConfigurationWithinItsRange) {
  EXPECT_EQ(CPowerOnDialog::kWaitTime(0), 180000u);
  EXPECT_EQ(CPowerOnDialog::kWaitTime(60000), 60000u);
  EXPECT_EQ(CPowerOnDialog::kWaitTime(600000), 600000u);
  EXPECT_EQ(CPowerOnDialog::kWaitTime(59999), 180000u);
  EXPECT_EQ(CPowerOnDialog::kWaitTime(600001), 180000u);
}

TEST(InstallProgress, FiveStepsPerDriverInTwentyPercentSteps) {
  EXPECT_EQ(CInstallEngine::kProgressRange(0), 5);
  EXPECT_EQ(CInstallEngine::kProgressRange(2), 15);
  const unsigned expected5[] = {0, 20, 40, 60, 80, 100};
  for (int pos = 0; pos <= 5; ++pos) EXPECT_EQ(CInstallEngine::kPercent(pos, 5), expected5[pos]);
  const unsigned expected15[] = {0, 6, 13, 20, 26, 33, 40, 46, 53, 60, 66, 73, 80, 86, 93, 100};
  for (int pos = 0; pos <= 15; ++pos) EXPECT_EQ(CInstallEngine::kPercent(pos, 15), expected15[pos]) << pos;
  EXPECT_EQ(CInstallEngine::kPercent(3, 0), 0u);
}

}  // namespace
