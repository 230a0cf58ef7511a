// The name tables between spooler environments and INF platform
// decorations: plain functions of their arguments.
#include <gtest/gtest.h>

#include <string>

#include "system/environment.h"

namespace {

TEST(EnvironmentNames, EnvironmentToPlatform) {
  const struct {
    const char* pszEnvironment;
    const char* pszPlatform;
  } rows[] = {
      {"Windows 4.0", "NTx86"},     {"Windows NT x86", "NTx86"}, {"Windows x64", "NTamd64"},
      {"windows x64", "NTamd64"},   {"WINDOWS NT X86", "NTx86"}, {"Windows IA64", ""},
      {"Windows NT x86 ", ""},      {"", ""},                     {"NTx86", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CEnvironment::kConvEnvToPlatform(row.pszEnvironment), row.pszPlatform) << row.pszEnvironment;
  }
}

TEST(EnvironmentNames, PlatformAndVersionToEnvironment) {
  const struct {
    const char* pszPlatform;
    DWORD dwVersion;
    const char* pszEnvironment;
  } rows[] = {
      {"NTx86", 3, "Windows NT x86"}, {"NTx86", 2, "Windows NT x86"}, {"NTx86", 0, "Windows 4.0"},
      {"ntx86", 3, "Windows NT x86"}, {"NTamd64", 3, "Windows x64"},  {"NTamd64", 0, "Windows x64"},
      {"NTAMD64", 2, "Windows x64"},  {"NTia64", 3, ""},              {"", 3, ""},
      {"Windows x64", 3, ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CEnvironment::kConvPlatformToEnv(row.pszPlatform, row.dwVersion), row.pszEnvironment)
        << row.pszPlatform << " v" << row.dwVersion;
  }
}

TEST(EnvironmentNames, EveryEnvironmentComesBackThroughItsPlatform) {
  for (size_t i = 0; i < CEnvironment::kEnvironmentToPlatformCount; ++i) {
    const CEnvironmentToPlatform& row = CEnvironment::kEnvironmentToPlatform[i];
    const DWORD dwVersion = std::string(row.pszEnvironment) == "Windows 4.0" ? 0 : 3;
    EXPECT_EQ(CEnvironment::kConvPlatformToEnv(CEnvironment::kConvEnvToPlatform(row.pszEnvironment), dwVersion),
              row.pszEnvironment);
  }
}

}  // namespace
