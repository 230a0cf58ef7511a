// The program's own version, read the way the report reads it: the native
// program answers from the VERSIONINFO of the resource script, as the
// Windows program answers from its compiled resource.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32.h"

TEST(ProgramVersion, TheProgramAnswersFromItsResourceScript) {
  char szSelf[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, szSelf, sizeof szSelf), 0u);
  DWORD dwHandle = 1;
  const DWORD dwSize = GetFileVersionInfoSizeA(szSelf, &dwHandle);
  ASSERT_GT(dwSize, 0u) << GetLastError();
  EXPECT_EQ(dwHandle, 0u);
  std::vector<BYTE> data(dwSize);
  ASSERT_TRUE(GetFileVersionInfoA(szSelf, 0, dwSize, data.data()));
  VS_FIXEDFILEINFO* pFixed = nullptr;
  UINT uLen = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&pFixed), &uLen));
  ASSERT_EQ(uLen, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(pFixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(pFixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(pFixed->dwFileVersionLS, 0u);
  char* pszText = nullptr;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904B0\\FileVersion", reinterpret_cast<void**>(&pszText),
                             &uLen));
  EXPECT_STREQ(pszText, "1.0.0.0");
  WORD* pTranslation = nullptr;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pTranslation), &uLen));
  ASSERT_EQ(uLen, 4u);
  EXPECT_EQ(pTranslation[0], 0x409);
  EXPECT_EQ(pTranslation[1], 1200);
}
