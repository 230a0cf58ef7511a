// The registry key owner and its typed queries, with Win32 calls only.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "system/reg_operation.h"

namespace {

// A key of its own below HKEY_CURRENT_USER, removed with its subkeys.
class RegOperationTest : public testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    m_strKey = "Software\\KVSetupTest\\reg" + std::to_string(random() % 1000000);
  }
  void TearDown() override {
    for (const char* sub : {"\\Beta", "\\Alpha", "\\Gamma", ""}) RegDeleteKeyA(HKEY_CURRENT_USER, (m_strKey + sub).c_str());
  }
  void setValue(HKEY hKey, const char* pszName, DWORD dwType, const void* pData, DWORD cbData) {
    ASSERT_EQ(RegSetValueExA(hKey, pszName, 0, dwType, static_cast<const BYTE*>(pData), cbData), ERROR_SUCCESS);
  }
  std::string m_strKey;
};

TEST_F(RegOperationTest, TypedQueriesAcceptOnlyTheirType) {
  CRegOperation reg(HKEY_CURRENT_USER, m_strKey.c_str(), TRUE, KEY_ALL_ACCESS);
  ASSERT_TRUE(reg.kIsOpen());
  const DWORD dwLevel = 99;
  const WORD wShort = 7;
  setValue(reg.kGetKey(), "Level", REG_DWORD, &dwLevel, sizeof(dwLevel));
  setValue(reg.kGetKey(), "Name", REG_SZ, "Printer", 8);
  setValue(reg.kGetKey(), "Unterminated", REG_SZ, "abc", 3);
  setValue(reg.kGetKey(), "Short", REG_DWORD, &wShort, sizeof(wShort));
  setValue(reg.kGetKey(), "Expand", REG_EXPAND_SZ, "%TEMP%", 7);

  DWORD dwValue = 12345;
  std::string strValue = "sentinel";
  EXPECT_TRUE(reg.kQueryValue("Level", dwValue));
  EXPECT_EQ(dwValue, 99u);
  EXPECT_TRUE(reg.kQueryValue("Name", strValue));
  EXPECT_EQ(strValue, "Printer");
  EXPECT_TRUE(reg.kQueryValue("Unterminated", strValue));
  EXPECT_EQ(strValue, "abc");

  const struct {
    const char* pszName;
  } wrong[] = {{"Name"}, {"Short"}, {"Missing"}};
  for (const auto& row : wrong) {
    dwValue = 12345;
    EXPECT_FALSE(reg.kQueryValue(row.pszName, dwValue)) << row.pszName;
    EXPECT_EQ(dwValue, 0u) << row.pszName;
  }
  for (const char* pszName : {"Level", "Expand", "Missing"}) {
    strValue = "sentinel";
    EXPECT_FALSE(reg.kQueryValue(pszName, strValue)) << pszName;
    EXPECT_EQ(strValue, "") << pszName;
  }

  BYTE data[16] = {};
  DWORD cbData = sizeof(data);
  DWORD dwType = 0;
  EXPECT_TRUE(reg.kQueryValue("Name", &cbData, &dwType, data));
  EXPECT_EQ(dwType, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(cbData, 8u);
  cbData = 2;
  EXPECT_FALSE(reg.kQueryValue("Name", &cbData, &dwType, data)) << "the caller's buffer is too small";
}

TEST_F(RegOperationTest, SubkeysAreListedAndAMissingKeyAnswersNothing) {
  {
    CRegOperation reg(HKEY_CURRENT_USER, m_strKey.c_str(), TRUE, KEY_ALL_ACCESS);
    ASSERT_TRUE(reg.kIsOpen());
    for (const char* sub : {"Beta", "Alpha", "Gamma"}) {
      HKEY hSub = nullptr;
      ASSERT_EQ(RegCreateKeyA(reg.kGetKey(), sub, &hSub), ERROR_SUCCESS);
      RegCloseKey(hSub);
    }
    std::vector<std::string> lstKeys = {"kept"};
    EXPECT_TRUE(reg.kRegEnumKey(lstKeys));
    ASSERT_EQ(lstKeys.size(), 4u);
    EXPECT_EQ(lstKeys[0], "kept");
    std::sort(lstKeys.begin() + 1, lstKeys.end());
    EXPECT_EQ(lstKeys, (std::vector<std::string>{"kept", "Alpha", "Beta", "Gamma"}));
  }

  CRegOperation missing(HKEY_CURRENT_USER, (m_strKey + "\\Nothing").c_str(), FALSE, KEY_READ);
  EXPECT_FALSE(missing.kIsOpen());
  DWORD dwValue = 5;
  std::string strValue = "sentinel";
  std::vector<std::string> lstKeys;
  EXPECT_FALSE(missing.kQueryValue("Level", dwValue));
  EXPECT_EQ(dwValue, 0u);
  EXPECT_FALSE(missing.kQueryValue("Name", strValue));
  EXPECT_EQ(strValue, "");
  EXPECT_FALSE(missing.kRegEnumKey(lstKeys));
  EXPECT_TRUE(lstKeys.empty());
}

}  // namespace
