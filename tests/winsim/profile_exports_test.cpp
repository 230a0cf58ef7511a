// The program binds the wide profile readers from Kernel32.dll at run time,
// so the built-in module must list every profile function.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "modules.h"

TEST(ProfileExports, Kernel32ListsEveryProfileFunction) {
  const auto* exports = winsim::findBuiltinModule("Kernel32.dll");
  ASSERT_NE(exports, nullptr);
  for (const char* name :
       {"GetPrivateProfileStringA", "GetPrivateProfileStringW", "GetPrivateProfileIntA", "GetPrivateProfileIntW",
        "GetPrivateProfileSectionA", "GetPrivateProfileSectionW", "GetPrivateProfileSectionNamesA",
        "GetPrivateProfileSectionNamesW", "WritePrivateProfileStringA", "WritePrivateProfileStringW"}) {
    const bool listed = std::any_of(exports->begin(), exports->end(),
                                    [&](const winsim::ExportEntry& e) { return std::string(e.name) == name; });
    EXPECT_TRUE(listed) << name;
  }
}
