// Driver file versions and platforms from the files' version resources and
// PE headers, plain and stored compressed.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>

#include "driverinfo/candidate_driver_infomation.h"
#include "driverinfo/inf_file.h"
#include "driverinfo/setup_api.h"
#include "support/cab_writer.h"
#include "support/pe_builder.h"
#include "support/scratch.h"
#include "support/szdd_encoder.h"
#include "system/environment.h"

namespace {

constexpr std::uint16_t kI386 = 0x014C;
constexpr std::uint16_t kAmd64 = 0x8664;
constexpr std::uint16_t kArm64 = 0xAA64;

std::string driverImage(std::uint16_t machine, std::uint32_t fileOS, std::uint32_t fileMS) {
  kvtest::VersionSpec verInfo;
  verInfo.fileOS = fileOS;
  verInfo.fileMS = fileMS;
  return kvtest::peImage(kvtest::versionResource(verInfo), machine == kAmd64 || machine == kArm64, machine);
}

class DriverFileVersionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The analysis reads what the start-up classification found.
    (void)CEnvironment::kGetOsVersionCheck();
    BOOL bBound = FALSE;
    m_api = std::make_unique<CSetupApi>("C:\\NoSuchFolder", &bBound);
    ASSERT_TRUE(bBound);
    m_inf = std::make_unique<CInfFile>(m_api.get());
    m_builder = std::make_unique<CCandidateDriverInfomation>(m_inf.get(), m_api.get());
    // The package's first disk folder, alone in its parent: the search also
    // walks the folders beside it.
    m_package = kvtest::scratchDir("ver");
    m_dir = m_package + "\\DISK1";
    std::filesystem::create_directories(kvtest::hostFor(m_dir));
  }
  void TearDown() override { kvtest::removeScratchDir(m_package); }

  struct Outcome {
    int result;
    DWORD version;
    std::string platform;
  };
  Outcome examine(const std::string& name) {
    Outcome o{-1, 99, "stale"};
    o.result = m_builder->kGetDriverFileVersion(name, m_dir + "\\", o.version, o.platform);
    return o;
  }

  std::unique_ptr<CSetupApi> m_api;
  std::unique_ptr<CInfFile> m_inf;
  std::unique_ptr<CCandidateDriverInfomation> m_builder;
  std::string m_package;
  std::string m_dir;
};

struct VersionCase {
  const char* what;
  std::uint16_t machine;
  std::uint32_t fileOS;
  std::uint32_t fileMS;
  int result;
  DWORD version;
  const char* platform;
};

TEST_F(DriverFileVersionTest, VersionResourceDecidesVersionAndPlatform) {
  const VersionCase cases[] = {
      {"v3 x64", kAmd64, 0x00040004, 0x00000003, 1, 3, "NTamd64"},
      {"v3 x86", kI386, 0x00040004, 0x00000003, 1, 3, "NTx86"},
      {"v3 arm64", kArm64, 0x00040004, 0x00000003, 1, 3, ""},
      {"v2", kI386, 0x00010004, 0x00000002, 1, 2, "NTx86"},
      {"16-bit", kI386, 0x00000001, 0x00000003, 1, 0, "NTx86"},
      {"6.1 win32", kAmd64, 0x00040004, 0x00060001, 0, 0, ""},
      {"VOS_NT without win32 layer", kAmd64, 0x00040000, 0x00000003, 0, 0, ""},
      {"PM32 shares a bit with win16", kAmd64, 0x00030003, 0x00000003, 0, 0, ""},
  };
  for (const auto& c : cases) {
    kvtest::writeFile(m_dir, "kvdrv.dll", driverImage(c.machine, c.fileOS, c.fileMS));
    const Outcome o = examine("kvdrv.dll");
    EXPECT_EQ(c.result, o.result) << c.what;
    EXPECT_EQ(c.version, o.version) << c.what;
    EXPECT_EQ(c.platform, o.platform) << c.what;
  }
}

TEST_F(DriverFileVersionTest, FilesWithoutAVersionAndMissingFiles) {
  kvtest::writeFile(m_dir, "noresource.dll", kvtest::peImage("", true, kAmd64));
  kvtest::writeFile(m_dir, "text.dll", "not a program at all");
  for (const char* name : {"noresource.dll", "text.dll", "missing.dll"}) {
    const Outcome o = examine(name);
    EXPECT_EQ(0, o.result) << name;
    EXPECT_EQ(0u, o.version) << name;
    EXPECT_EQ("", o.platform) << name;
  }
}

// A package may store the driver only under its "_" name, as SZDD or as a
// one-file cabinet; both are expanded before the resource is read.
TEST_F(DriverFileVersionTest, CompressedDriversAreExpandedFirst) {
  const std::string image = driverImage(kAmd64, 0x00040004, 0x00000003);
  kvtest::writeFile(m_dir, "lzdrv.dl_", kvtest::szddEncode(image, 'l'));
  kvtest::writeFile(m_dir, "cabdrv.dl_", kvtest::storedCabinet("cabdrv.dll", image));
  for (const char* name : {"lzdrv.dll", "cabdrv.dll"}) {
    const Outcome o = examine(name);
    EXPECT_EQ(1, o.result) << name;
    EXPECT_EQ(3u, o.version) << name;
    EXPECT_EQ("NTamd64", o.platform) << name;
  }
}

// The version is read from the driver file the candidate builder finds,
// also when the package keeps it on another disk.
TEST_F(DriverFileVersionTest, ADriverOnASiblingDiskIsExamined) {
  std::filesystem::create_directories(kvtest::hostFor(m_package + "\\DISK2\\X64"));
  kvtest::writeFile(m_package + "\\DISK2\\X64", "kvdrv.dll", driverImage(kAmd64, 0x00040004, 0x00000003));
  kvtest::writeFile(m_package + "\\DISK2", "lzdrv.dl_",
                    kvtest::szddEncode(driverImage(kI386, 0x00040004, 0x00000002), 'l'));
  const Outcome plain = examine("kvdrv.dll");
  EXPECT_EQ(1, plain.result);
  EXPECT_EQ(3u, plain.version);
  EXPECT_EQ("NTamd64", plain.platform);
  const Outcome compressed = examine("lzdrv.dll");
  EXPECT_EQ(1, compressed.result);
  EXPECT_EQ(2u, compressed.version);
  EXPECT_EQ("NTx86", compressed.platform);
}

TEST_F(DriverFileVersionTest, TheTemporaryCopyIsRemoved) {
  char szTemp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, szTemp);
  const auto countNel = [&] {
    WIN32_FIND_DATAA data;
    int n = 0;
    HANDLE h = FindFirstFileA((std::string(szTemp) + "NEL*.tmp").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do ++n;
    while (FindNextFileA(h, &data));
    FindClose(h);
    return n;
  };
  const int before = countNel();
  kvtest::writeFile(m_dir, "kvdrv.dll", driverImage(kAmd64, 0x00040004, 0x00000003));
  examine("kvdrv.dll");
  examine("missing.dll");
  EXPECT_EQ(before, countNel());
}

// Many models share one driver file: it is examined once per INF.
TEST_F(DriverFileVersionTest, VersionsAreCachedPerInfAndFile) {
  const std::string file = kvtest::writeFile(m_dir, "kvdrv.dll", driverImage(kAmd64, 0x00040004, 0x00000003));
  EXPECT_EQ(3u, m_builder->kGetDriverFileVersionNo("Z:\\pkg\\a.inf", "kvdrv.dll", m_dir + "\\"));
  std::filesystem::remove(kvtest::hostFor(file));
  EXPECT_EQ(3u, m_builder->kGetDriverFileVersionNo("Z:\\PKG\\A.INF", "KVDRV.DLL", m_dir + "\\"));
  // Another INF examines the file again (now gone) and keeps the 0 too.
  EXPECT_EQ(0u, m_builder->kGetDriverFileVersionNo("Z:\\pkg\\b.inf", "kvdrv.dll", m_dir + "\\"));
  kvtest::writeFile(m_dir, "kvdrv.dll", driverImage(kAmd64, 0x00040004, 0x00000003));
  EXPECT_EQ(0u, m_builder->kGetDriverFileVersionNo("Z:\\pkg\\b.inf", "kvdrv.dll", m_dir + "\\"));
}

// ---- PE headers -------------------------------------------------------------------

std::string withPeOffset(std::string image, std::uint32_t offset) {
  kvtest::put32(image, 60, offset);
  return image;
}

TEST_F(DriverFileVersionTest, PlatformFromShortOrHostileHeaders) {
  const std::string x64 = kvtest::peImage("", true, kAmd64);
  std::string atEnd(0x80, '\0');  // the machine field is the last thing in the file
  atEnd[0] = 'M';
  atEnd[1] = 'Z';
  kvtest::put32(atEnd, 60, 0x80 - 6);
  atEnd.replace(0x80 - 6, 4, std::string("PE\0\0", 4));
  kvtest::put16(atEnd, 0x80 - 2, kAmd64);
  struct HeaderCase {
    const char* what;
    std::string bytes;
    const char* platform;
  };
  const HeaderCase cases[] = {
      {"x64", x64, "NTamd64"},
      {"x86", kvtest::peImage("", false, kI386), "NTx86"},
      {"arm64", kvtest::peImage("", true, kArm64), ""},
      {"machine field ends the file", atEnd, "NTamd64"},
      {"offset past the end", withPeOffset(x64, static_cast<std::uint32_t>(x64.size())), ""},
      {"offset cuts the machine field", withPeOffset(x64, static_cast<std::uint32_t>(x64.size() - 5)), ""},
      {"offset near 4 GiB", withPeOffset(x64, 0xFFFFFFFEu), ""},
      {"shorter than a DOS header", std::string("MZ\x90\0", 4), ""},
      {"empty", std::string(), ""},
  };
  for (const auto& c : cases) {
    const std::string path = kvtest::writeFile(m_dir, "header.bin", c.bytes);
    EXPECT_EQ(c.platform, CCandidateDriverInfomation::kGetPlatformFromPEHeader(path)) << c.what;
  }
  EXPECT_EQ("", CCandidateDriverInfomation::kGetPlatformFromPEHeader(m_dir + "\\missing.bin"));
}

}  // namespace
