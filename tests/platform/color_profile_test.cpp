// Installing colour profiles and enumerating them by class, as the
// program's colour-profile renewal does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <string>
#include <vector>

#include "platform/scratch_folder.h"
#include "platform/win32.h"
#include "support/conformance.h"

namespace {

static_assert(sizeof(ENUMTYPEA) == (sizeof(void*) == 8 ? 96 : 88), "ENUMTYPEA has the SDK's size");

// The SDK spells the classes as multi-character constants ('prtr'), which
// -Wmultichar refuses; these are their values.
constexpr DWORD kClassPrinter = 0x70727472;
constexpr DWORD kClassMonitor = 0x6D6E7472;

// A minimal ICC profile: the 128-byte header (version 2.1, RGB data, XYZ
// connection space, the 'acsp' signature) and an empty tag table.
std::string iccProfile(const char cls[4]) {
  std::string p(132, '\0');
  auto be32 = [&](size_t at, unsigned v) {
    for (int i = 0; i < 4; ++i) p[at + static_cast<size_t>(i)] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
  };
  be32(0, 132);
  be32(8, 0x02100000);
  std::memcpy(&p[12], cls, 4);
  std::memcpy(&p[16], "RGB ", 4);
  std::memcpy(&p[20], "XYZ ", 4);
  std::memcpy(&p[36], "acsp", 4);
  be32(68, 0x0000F6D6);  // the D50 illuminant
  be32(72, 0x00010000);
  be32(76, 0x0000D32D);
  return p;
}

std::string colorDirectory() {
  char dir[MAX_PATH] = {};
  DWORD size = sizeof dir;
  EXPECT_TRUE(GetColorDirectoryA(nullptr, dir, &size));
  return dir;
}

ENUMTYPEA byClass(DWORD cls) {
  ENUMTYPEA e{};
  e.dwSize = sizeof e;
  e.dwVersion = ENUM_TYPE_VERSION;
  e.dwFields = ET_CLASS;
  e.dwClass = cls;
  return e;
}

// The names of the answer, sized and filled as the program does; `firstSize`
// receives the size the first call asked for.
std::vector<std::string> enumerate(ENUMTYPEA e, DWORD* firstSize = nullptr) {
  DWORD size = 0, count = 0xdead;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(EnumColorProfilesA(nullptr, &e, nullptr, &size, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  if (firstSize) *firstSize = size;
  std::vector<BYTE> buffer(size + 4, 0xCC);
  std::vector<std::string> names;
  if (!EnumColorProfilesA(nullptr, &e, buffer.data(), &size, &count)) {
    EXPECT_EQ(count, 0u) << "a refused fill is an empty list";
    return names;
  }
  for (const char* p = reinterpret_cast<const char*>(buffer.data()); *p; p += std::strlen(p) + 1) names.push_back(p);
  EXPECT_EQ(count, names.size());
  return names;
}

TEST(ColorProfiles, InstalledProfilesAreListedByTheirHeadersClass) {
  kvtest::ScratchFolder scratch;
  ASSERT_TRUE(kvtest::ScratchFolder::writeFile(scratch / "kvprn.icm", iccProfile("prtr")));
  ASSERT_TRUE(kvtest::ScratchFolder::writeFile(scratch / "kvmon.icm", iccProfile("mntr")));
  EXPECT_TRUE(enumerate(byClass(kClassPrinter)).empty()) << "a fresh system has no printer profile";

  for (const char* name : {"kvprn.icm", "kvmon.icm"}) {
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(InstallColorProfileA(nullptr, (scratch / name).c_str())) << name << " " << GetLastError();
  }
  const std::string installed = colorDirectory() + "\\kvprn.icm";
  EXPECT_EQ(kvtest::ScratchFolder::readFile(installed), iccProfile("prtr")) << "copied into the colour directory";

  DWORD firstSize = 0;
  EXPECT_EQ(enumerate(byClass(kClassPrinter), &firstSize), (std::vector<std::string>{"kvprn.icm"}));
  EXPECT_EQ(firstSize, 11u) << "the name, its NUL and the list's final NUL";
  const auto monitors = enumerate(byClass(kClassMonitor));
  EXPECT_NE(std::find(monitors.begin(), monitors.end(), "kvmon.icm"), monitors.end());
  EXPECT_EQ(std::find(monitors.begin(), monitors.end(), "kvprn.icm"), monitors.end());

  KV_WINE_DEPARTS("Wine refuses to install an installed profile again") {
    EXPECT_TRUE(InstallColorProfileA(nullptr, (scratch / "kvprn.icm").c_str())) << GetLastError();
    EXPECT_EQ(enumerate(byClass(kClassPrinter)), (std::vector<std::string>{"kvprn.icm"}));
  }

  for (const char* name : {"kvprn.icm", "kvmon.icm"}) {
    const std::string path = colorDirectory() + "\\" + name;
    EXPECT_TRUE(UninstallColorProfileA(nullptr, path.c_str(), TRUE)) << name << " " << GetLastError();
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << "deleted with its registration";
  }
  EXPECT_TRUE(enumerate(byClass(kClassPrinter)).empty());
}

TEST(ColorProfiles, RefusedInstallations) {
  kvtest::ScratchFolder scratch;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(InstallColorProfileA(nullptr, (scratch / "absent.icm").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  KV_WINE_DEPARTS("Wine installs any file, whatever its header") {
    std::string truncated = iccProfile("prtr");
    truncated.resize(100);
    std::string unsignedFile = iccProfile("prtr");
    std::memcpy(&unsignedFile[36], "xxxx", 4);
    std::string oversized = iccProfile("prtr");
    oversized[1] = 1;  // declares 64 KiB more than the file holds
    const std::pair<std::string, std::string> files[] = {
        {"short.icm", truncated}, {"nosig.icm", unsignedFile}, {"big.icm", oversized}};
    for (const auto& [name, bytes] : files) {
      ASSERT_TRUE(kvtest::ScratchFolder::writeFile(scratch / name, bytes));
      SetLastError(0xdeadbeef);
      EXPECT_FALSE(InstallColorProfileA(nullptr, (scratch / name).c_str())) << name;
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PROFILE)) << name;
      EXPECT_EQ(GetFileAttributesA((colorDirectory() + "\\" + name).c_str()), INVALID_FILE_ATTRIBUTES)
          << name << " is not copied";
    }
  }
}

TEST(ColorProfiles, TheEnumerationRecordMustBeTheCurrentVersion) {
  ENUMTYPEA shortRecord = byClass(kClassPrinter);
  shortRecord.dwSize = sizeof shortRecord - 8;
  ENUMTYPEA oldVersion = byClass(kClassPrinter);
  oldVersion.dwVersion = 0x0100;
  for (ENUMTYPEA* e : {&shortRecord, &oldVersion}) {
    DWORD size = 0, count = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(EnumColorProfilesA(nullptr, e, nullptr, &size, &count));
    KV_WINE_DEPARTS("Wine refuses the record without setting the last error") {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
  }
}

TEST(ColorProfiles, BothModulesAnswerByNameWithTheirExports) {
  const struct {
    const char* module;
    std::vector<const char*> exports;
  } rows[] = {
      {"mscms.dll",
       {"GetColorDirectoryA", "EnumColorProfilesA", "InstallColorProfileA", "UninstallColorProfileA",
        "AssociateColorProfileWithDeviceA", "DisassociateColorProfileFromDeviceA"}},
      {"netapi32.dll", {"NetShareEnum", "NetApiBufferFree"}},
  };
  for (const auto& row : rows) {
    HMODULE m = LoadLibraryA(row.module);
    ASSERT_NE(m, nullptr) << row.module;
    for (const char* name : row.exports) EXPECT_NE(GetProcAddress(m, name), nullptr) << row.module << " " << name;
    FreeLibrary(m);
  }
  EXPECT_EQ(NetApiBufferFree(nullptr), static_cast<NET_API_STATUS>(NERR_Success));
}

}  // namespace
