// The registry functions, as Windows answers them. Every test works below its
// own key HKCU\Software\KVTest\<unique> and removes it at the end.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "support/conformance.h"

namespace {

constexpr BYTE kSentinel = 0xCC;

// Deletes a key and everything below it with the calls every Windows has.
void deleteTree(HKEY parent, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  char sub[256];
  while (RegEnumKeyA(key, 0, sub, sizeof sub) == ERROR_SUCCESS) deleteTree(key, sub);
  RegCloseKey(key);
  RegDeleteKeyA(parent, name.c_str());
}

class Registry : public testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    m_name = "Software\\KVTest\\" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
             std::to_string(rd());
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, m_name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &m_key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  }
  void TearDown() override {
    RegCloseKey(m_key);
    deleteTree(HKEY_CURRENT_USER, m_name);
    HKEY gone = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, m_name.c_str(), 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
  }

  LONG set(const char* name, DWORD type, const void* data, DWORD size) {
    return RegSetValueExA(m_key, name, 0, type, static_cast<const BYTE*>(data), size);
  }
  HKEY create(const char* name) {
    HKEY k = nullptr;
    EXPECT_EQ(RegCreateKeyExA(m_key, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
    return k;
  }

  std::string m_name;
  HKEY m_key = nullptr;
};

TEST_F(Registry, CreateOpenAndDisposition) {
  HKEY k = nullptr;
  DWORD disposition = 0;
  // Missing parents are created on the way.
  ASSERT_EQ(RegCreateKeyExA(m_key, "A\\B\\C", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  RegCloseKey(k);
  ASSERT_EQ(RegCreateKeyExA(m_key, "a\\b\\c", 0, nullptr, 0, KEY_READ, nullptr, &k, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  RegCloseKey(k);

  // A trailing backslash is accepted; a leading one is not a relative name.
  EXPECT_EQ(RegOpenKeyExA(m_key, "A\\B\\", 0, KEY_READ, &k), ERROR_SUCCESS);
  RegCloseKey(k);
  EXPECT_EQ(RegOpenKeyExA(m_key, "\\A", 0, KEY_READ, &k), ERROR_BAD_PATHNAME);

  k = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234));
  EXPECT_EQ(RegOpenKeyExA(m_key, "Missing", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(k, nullptr);

  // The short forms hand back the same handle for an empty name.
  EXPECT_EQ(RegOpenKeyA(m_key, "", &k), ERROR_SUCCESS);
  EXPECT_EQ(k, m_key);
  ASSERT_EQ(RegOpenKeyA(m_key, "A\\B", &k), ERROR_SUCCESS);
  EXPECT_NE(k, m_key);
  EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyA(m_key, "New", &k), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
}

TEST_F(Registry, InvalidHandles) {
  const HKEY bogus = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7ff0));
  HKEY k = nullptr;
  DWORD size = 0;
  EXPECT_EQ(RegOpenKeyExA(bogus, "X", 0, KEY_READ, &k), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExA(bogus, "X", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(bogus), ERROR_INVALID_HANDLE);
  // Closing a predefined key is allowed and leaves it usable.
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, m_name.c_str(), 0, KEY_READ, &k), ERROR_SUCCESS);
  RegCloseKey(k);
}

// The two-call sizing pattern for each kind of data.
TEST_F(Registry, QueryValueSizesAndTypes) {
  static const BYTE kMulti[] = {'a', 0, 'b', 'c', 0, 0};
  static const BYTE kBinary[] = {1, 2, 3, 0, 0xff};
  static const DWORD kDword = 0x12345678;
  static const BYTE kQword[] = {1, 2, 3, 4, 5, 6, 7, 8};
  const struct {
    const char* name;
    DWORD type;
    const void* data;
    DWORD size;
  } kCases[] = {
      {"Sz", REG_SZ, "hello", 6},
      {"Expand", REG_EXPAND_SZ, "%SystemRoot%\\x", 15},
      {"Multi", REG_MULTI_SZ, kMulti, sizeof kMulti},
      {"Binary", REG_BINARY, kBinary, sizeof kBinary},
      {"Dword", REG_DWORD, &kDword, sizeof kDword},
      {"Qword", REG_QWORD, kQword, sizeof kQword},
      {"Empty", REG_BINARY, nullptr, 0},
      {"EmptySz", REG_SZ, "", 1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(set(c.name, c.type, c.data, c.size), ERROR_SUCCESS);

    DWORD type = 0xdeadbeef;
    DWORD size = 0xdeadbeef;
    EXPECT_EQ(RegQueryValueExA(m_key, c.name, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(size, c.size);

    std::vector<BYTE> buf(c.size + 4, kSentinel);
    size = c.size;
    type = 0xdeadbeef;
    EXPECT_EQ(RegQueryValueExA(m_key, c.name, nullptr, &type, buf.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(size, c.size);
    if (c.size) {
      EXPECT_EQ(std::memcmp(buf.data(), c.data, c.size), 0);
    }
    EXPECT_EQ(buf[c.size], kSentinel);

    if (c.size > 0) {
      size = c.size - 1;
      type = 0xdeadbeef;
      EXPECT_EQ(RegQueryValueExA(m_key, c.name, nullptr, &type, buf.data(), &size), ERROR_MORE_DATA);
      EXPECT_EQ(size, c.size);
      EXPECT_EQ(type, c.type);
    }
    // Neither data nor size: only whether the value exists.
    EXPECT_EQ(RegQueryValueExA(m_key, c.name, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  }
}

TEST_F(Registry, QueryValueErrors) {
  DWORD size = 77;
  DWORD type = 0xdeadbeef;
  EXPECT_EQ(RegQueryValueExA(m_key, "Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  // The default value does not exist until it is set.
  EXPECT_EQ(RegQueryValueExA(m_key, nullptr, nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  BYTE buf[8];
  ASSERT_EQ(set("V", REG_SZ, "x", 2), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(m_key, "V", nullptr, nullptr, buf, nullptr), ERROR_INVALID_PARAMETER);
}

// Strings written through the A function: a size that leaves out the NUL
// still stores it; a string that really has none is returned as stored, with
// a NUL added only where the caller's buffer has room.
TEST_F(Registry, StringTerminators) {
  ASSERT_EQ(set("Counted", REG_SZ, "abc", 3), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(m_key, "Counted", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);

  const char noNul[] = {'w', 'x', 'y', 'z'};
  ASSERT_EQ(set("Unterminated", REG_SZ, noNul, 2), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(m_key, "Unterminated", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 2u);
  BYTE buf[8];
  std::memset(buf, kSentinel, sizeof buf);
  size = sizeof buf;
  EXPECT_EQ(RegQueryValueExA(m_key, "Unterminated", nullptr, nullptr, buf, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(buf[0], 'w');
  EXPECT_EQ(buf[1], 'x');
  EXPECT_EQ(buf[2], 0);
  EXPECT_EQ(buf[3], kSentinel);

  // The default value, named by NULL or by "".
  ASSERT_EQ(set(nullptr, REG_SZ, "def", 4), ERROR_SUCCESS);
  char text[8] = {};
  size = sizeof text;
  EXPECT_EQ(RegQueryValueExA(m_key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
  EXPECT_STREQ(text, "def");
}

TEST_F(Registry, NamesIgnoreCaseButKeepIt) {
  HKEY k = create("MixedCase");
  RegCloseKey(k);
  HKEY again = nullptr;
  ASSERT_EQ(RegOpenKeyExA(m_key, "MIXEDCASE", 0, KEY_READ, &again), ERROR_SUCCESS);
  RegCloseKey(again);
  char name[32];
  ASSERT_EQ(RegEnumKeyA(m_key, 0, name, sizeof name), ERROR_SUCCESS);
  EXPECT_STREQ(name, "MixedCase");

  ASSERT_EQ(set("ValueName", REG_SZ, "1", 2), ERROR_SUCCESS);
  ASSERT_EQ(set("VALUENAME", REG_SZ, "2", 2), ERROR_SUCCESS);  // the same value
  char data[8];
  DWORD nameLen = sizeof name;
  DWORD dataLen = sizeof data;
  ASSERT_EQ(RegEnumValueA(m_key, 0, name, &nameLen, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &dataLen),
            ERROR_SUCCESS);
  EXPECT_STREQ(name, "ValueName");
  EXPECT_STREQ(data, "2");
  nameLen = sizeof name;
  EXPECT_EQ(RegEnumValueA(m_key, 1, name, &nameLen, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

TEST_F(Registry, EnumKeysSortedWithoutCase) {
  for (const char* n : {"b", "_under", "A", "C", "a1"}) RegCloseKey(create(n));
  // Windows compares the upper-case forms, so '_' sorts after the letters.
  KV_WINE_DEPARTS("Wine sorts subkeys by their lower-case form, putting '_' before the letters") {
    const char* const kOrder[] = {"A", "a1", "b", "C", "_under"};
    for (DWORD i = 0; i < 5; ++i) {
      char name[16];
      std::memset(name, kSentinel, sizeof name);
      DWORD len = sizeof name;
      ASSERT_EQ(RegEnumKeyExA(m_key, i, name, &len, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
      EXPECT_STREQ(name, kOrder[i]);
      EXPECT_EQ(len, std::strlen(kOrder[i]));
    }
  }
  char name[16];
  DWORD len = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(m_key, 5, name, &len, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

// An enumeration by index always answers from the key as it is now: a
// subkey added or removed between two calls, through this handle or
// another, counts at the next index asked for.
TEST_F(Registry, EnumKeysSeeChangesBetweenCalls) {
  for (const char* n : {"k1", "k3"}) RegCloseKey(create(n));
  char name[16];
  DWORD len = sizeof name;
  ASSERT_EQ(RegEnumKeyExA(m_key, 0, name, &len, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, "k1");
  HKEY other = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, m_name.c_str(), 0, KEY_ALL_ACCESS, &other), ERROR_SUCCESS);
  HKEY k2 = nullptr;
  ASSERT_EQ(RegCreateKeyExA(other, "k2", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k2, nullptr), ERROR_SUCCESS);
  RegCloseKey(k2);
  len = sizeof name;
  ASSERT_EQ(RegEnumKeyExA(m_key, 1, name, &len, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, "k2");
  ASSERT_EQ(RegDeleteKeyA(other, "k3"), ERROR_SUCCESS);
  len = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(m_key, 2, name, &len, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  // The key itself deleted under an enumeration in progress.
  HKEY parent = create("p");
  RegCloseKey(create("p\\c"));
  EXPECT_EQ(RegEnumKeyA(parent, 0, name, sizeof name), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyA(parent, "c"), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyA(other, "p"), ERROR_SUCCESS);
  EXPECT_EQ(RegEnumKeyA(parent, 0, name, sizeof name), ERROR_KEY_DELETED);
  RegCloseKey(parent);
  RegCloseKey(other);
}

TEST_F(Registry, EnumKeySizing) {
  RegCloseKey(create("Sixsix"));
  char name[16];
  std::memset(name, kSentinel, sizeof name);
  // The name and its NUL must fit.
  DWORD len = 6;
  EXPECT_EQ(RegEnumKeyExA(m_key, 0, name, &len, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(RegEnumKeyA(m_key, 0, name, 6), ERROR_MORE_DATA);
  EXPECT_EQ(RegEnumKeyA(m_key, 0, name, 7), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Sixsix");
  len = 7;
  char cls[4] = "xyz";
  DWORD clsLen = sizeof cls;
  FILETIME ft{0, 0};
  EXPECT_EQ(RegEnumKeyExA(m_key, 0, name, &len, nullptr, cls, &clsLen, &ft), ERROR_SUCCESS);
  EXPECT_EQ(len, 6u);
  EXPECT_STREQ(cls, "");
  EXPECT_EQ(clsLen, 0u);
  EXPECT_NE(ft.dwHighDateTime, 0u);
}

TEST_F(Registry, EnumValueSizing) {
  ASSERT_EQ(set("Zeta", REG_SZ, "sixteen-bytes..", 16), ERROR_SUCCESS);
  char name[16];
  BYTE data[32];
  DWORD nameLen = sizeof name, dataLen = 4, type = 0;
  // Data that does not fit: ERROR_MORE_DATA and the size needed.
  EXPECT_EQ(RegEnumValueA(m_key, 0, name, &nameLen, nullptr, &type, data, &dataLen), ERROR_MORE_DATA);
  EXPECT_EQ(dataLen, 16u);
  nameLen = sizeof name;
  dataLen = 0;
  EXPECT_EQ(RegEnumValueA(m_key, 0, name, &nameLen, nullptr, &type, nullptr, &dataLen), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Zeta");
  EXPECT_EQ(nameLen, 4u);
  EXPECT_EQ(dataLen, 16u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  nameLen = 4;  // "Zeta" and its NUL do not fit
  EXPECT_EQ(RegEnumValueA(m_key, 0, name, &nameLen, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  nameLen = sizeof name;
  dataLen = sizeof data;
  EXPECT_EQ(RegEnumValueA(m_key, 0, name, &nameLen, nullptr, &type, data, &dataLen), ERROR_SUCCESS);
  EXPECT_STREQ(reinterpret_cast<char*>(data), "sixteen-bytes..");
  nameLen = sizeof name;
  EXPECT_EQ(RegEnumValueA(m_key, 1, name, &nameLen, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

// Windows lists values in the order they were made; a later change of a
// value's data keeps its place.
TEST_F(Registry, EnumValuesInCreationOrder) {
  const DWORD one = 1;
  for (const char* n : {"Zeta", "alpha", "Mid"}) ASSERT_EQ(set(n, REG_DWORD, &one, 4), ERROR_SUCCESS);
  ASSERT_EQ(set("ZETA", REG_DWORD, &one, 4), ERROR_SUCCESS);
  KV_WINE_DEPARTS("Wine lists values sorted by name") {
    const char* const kOrder[] = {"Zeta", "alpha", "Mid"};
    for (DWORD i = 0; i < 3; ++i) {
      char name[16];
      DWORD nameLen = sizeof name;
      ASSERT_EQ(RegEnumValueA(m_key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
      EXPECT_STREQ(name, kOrder[i]);
    }
  }
}

TEST_F(Registry, QueryInfoKey) {
  RegCloseKey(create("Short"));
  RegCloseKey(create("LongerName"));
  ASSERT_EQ(set("v", REG_BINARY, "\1\2\3", 3), ERROR_SUCCESS);
  ASSERT_EQ(set("valueName", REG_BINARY, "\1\2\3\4\5\6\7", 7), ERROR_SUCCESS);
  DWORD subKeys = 0xdeadbeef, maxSubKey = 0xdeadbeef, values = 0xdeadbeef, maxName = 0xdeadbeef,
        maxData = 0xdeadbeef;
  ASSERT_EQ(RegQueryInfoKeyA(m_key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values, &maxName,
                             &maxData, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 2u);
  EXPECT_EQ(maxSubKey, 10u);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(maxName, 9u);
  EXPECT_EQ(maxData, 7u);
}

TEST_F(Registry, DeleteRules) {
  HKEY parent = create("Parent\\Child");
  RegCloseKey(parent);
  // A key with subkeys cannot be deleted in one step.
  EXPECT_EQ(RegDeleteKeyA(m_key, "Parent"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(m_key, "Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(m_key, "parent\\CHILD"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(m_key, "Parent"), ERROR_SUCCESS);

  ASSERT_EQ(set("V", REG_SZ, "x", 2), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(m_key, "v"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(m_key, "V"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueA(m_key, nullptr), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, KeyDeletedWhileOpen) {
  HKEY k = create("Doomed");
  ASSERT_EQ(RegDeleteKeyA(m_key, "Doomed"), ERROR_SUCCESS);
  DWORD size = 0;
  char name[8];
  EXPECT_EQ(RegQueryValueExA(k, "x", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(RegSetValueExA(k, "x", 0, REG_SZ, reinterpret_cast<const BYTE*>("y"), 2), ERROR_KEY_DELETED);
  EXPECT_EQ(RegEnumKeyA(k, 0, name, sizeof name), ERROR_KEY_DELETED);
  HKEY sub = nullptr;
  EXPECT_EQ(RegCreateKeyExA(k, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
}

TEST_F(Registry, AccessFollowsTheOpenRights) {
  ASSERT_EQ(set("V", REG_SZ, "x", 2), ERROR_SUCCESS);
  HKEY readOnly = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, m_name.c_str(), 0, KEY_READ, &readOnly), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(readOnly, "V", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(readOnly, "V", 0, REG_SZ, reinterpret_cast<const BYTE*>("y"), 2), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(readOnly, "V"), ERROR_ACCESS_DENIED);
  RegCloseKey(readOnly);
  HKEY writeOnly = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, m_name.c_str(), 0, KEY_SET_VALUE, &writeOnly), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(writeOnly, "V", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegFlushKey(writeOnly), ERROR_SUCCESS);
  RegCloseKey(writeOnly);
}

}  // namespace
