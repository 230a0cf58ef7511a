// Version resources of PE images (32-bit and 64-bit) through version.dll.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "support/conformance.h"
#include "support/pe_builder.h"
#include "support/scratch.h"

namespace {

class VersionResource : public testing::Test {
 protected:
  void SetUp() override { dir_ = kvtest::scratchDir("ver"); }
  void TearDown() override { kvtest::removeScratchDir(dir_); }

  std::vector<BYTE> info(const std::string& path) {
    DWORD handle = 0xdead;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    std::vector<BYTE> data(size);
    if (size) {
      EXPECT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data.data()));
    }
    return data;
  }
  std::string dir_;
};

TEST_F(VersionResource, FixedInfoTranslationAndStrings) {
  struct Image {
    const char* name;
    bool pe64;
    WORD machine;
  };
  for (const Image& image : {Image{"x64.dll", true, 0x8664}, Image{"x86.dll", false, 0x14C},
                             Image{"arm64.dll", true, 0xAA64}}) {
    SCOPED_TRACE(image.name);
    kvtest::VersionSpec verInfo;
    verInfo.fileMS = 0x00060001;
    verInfo.fileLS = 0x1DB1446A;
    verInfo.strings = {{"FileVersion", "6.1.7601.17514"}, {"CompanyName", "Maker"}};
    const std::string path =
        kvtest::writeFile(dir_, image.name, kvtest::peImage(kvtest::versionResource(verInfo), image.pe64, image.machine));
    std::vector<BYTE> data = info(path);
    ASSERT_FALSE(data.empty());

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &len));
    EXPECT_EQ(len, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00060001u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x1DB1446Au);
    EXPECT_EQ(fixed->dwFileOS, 0x00040004u);
    EXPECT_EQ(fixed->dwFileType, 3u);
    EXPECT_EQ(fixed->dwFileSubtype, 1u);

    DWORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<LPVOID*>(&translation), &len));
    EXPECT_EQ(len, 4u);
    EXPECT_EQ(*translation, 0x04B00409u);

    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904B0\\FileVersion", reinterpret_cast<LPVOID*>(&text), &len));
    EXPECT_STREQ(text, "6.1.7601.17514");
    EXPECT_EQ(len, 15u);
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904b0\\CompanyName", reinterpret_cast<LPVOID*>(&text), &len));
    EXPECT_STREQ(text, "Maker");
    // Asking again gives the same text: the first answer changed nothing.
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904B0\\FileVersion", reinterpret_cast<LPVOID*>(&text), &len));
    EXPECT_STREQ(text, "6.1.7601.17514");

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904E4\\FileVersion", reinterpret_cast<LPVOID*>(&text), &len));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
  }
}

TEST_F(VersionResource, FilesWithoutAVersionResource) {
  struct Case {
    const char* name;
    std::string bytes;
    DWORD error;
  };
  const Case cases[] = {
      {"text.dll", "just text, not an image", ERROR_BAD_FORMAT},
      {"mz.dll", "MZ" + std::string(100, '\0'), ERROR_BAD_FORMAT},
      {"nores.dll", kvtest::peImage("", false, 0x14C), ERROR_RESOURCE_TYPE_NOT_FOUND},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = kvtest::writeFile(dir_, c.name, c.bytes);
    DWORD handle = 0;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetFileVersionInfoSizeA(path.c_str(), &handle), 0u);
    KV_WINE_DEPARTS("Wine reports ERROR_RESOURCE_DATA_NOT_FOUND for every file without a version resource") {
      EXPECT_EQ(GetLastError(), c.error);
    }
  }
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetFileVersionInfoSizeA((dir_ + "\\missing.dll").c_str(), nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetFileVersionInfoSizeA("", nullptr), 0u);
  KV_WINE_DEPARTS("an empty name gives ERROR_BAD_PATHNAME") {
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
  }
}

// What the driver-version detection tests: the low word of dwFileOS.
TEST_F(VersionResource, OperatingSystemFieldsSurviveTheRoundTrip) {
  for (DWORD os : {0x00040004u, 0x00010004u, 0x00000004u, 0x00040000u, 0x00010001u, 0x00000001u, 0x00030003u, 0u}) {
    kvtest::VersionSpec verInfo;
    verInfo.fileOS = os;
    const std::string path = kvtest::writeFile(dir_, "os.dll", kvtest::peImage(kvtest::versionResource(verInfo), true, 0x8664));
    std::vector<BYTE> data = info(path);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &len));
    EXPECT_EQ(fixed->dwFileOS, os);
    EXPECT_EQ((fixed->dwFileOS & 0xFFFF) == VOS__WINDOWS32, (os & VOS__WINDOWS32) != 0) << std::hex << os;
  }
}

}  // namespace
