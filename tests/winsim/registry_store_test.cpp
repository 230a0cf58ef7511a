// The registry store: .reg text in and out, lookups, the cache, and several
// writers on one machine.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "advapi32/registry_store.h"
#include "advapi32/registry_text.h"
#include "machine.h"

namespace reg = winsim::reg;
using reg::Hive;

namespace {

[[maybe_unused]] std::string hiveText(Hive hive) { return winsim::readWholeFile(reg::hiveFilePath(hive)).value_or(""); }

std::vector<BYTE> bytes(std::initializer_list<int> list) {
  std::vector<BYTE> out;
  for (int b : list) out.push_back(static_cast<BYTE>(b));
  return out;
}

// Each test works below its own key so that tests do not see each other.
class RegistryStore : public testing::Test {
 protected:
  void SetUp() override {
    m_key = std::string("SOFTWARE\\StoreTest\\") + testing::UnitTest::GetInstance()->current_test_info()->name();
    reg::deleteKeyTree(Hive::LocalMachine, m_key);
    reg::deleteKeyTree(Hive::CurrentUser, m_key);
  }
  std::string m_key;
};

}  // namespace

TEST_F(RegistryStore, SetAndGetBasicTypes) {
  ASSERT_TRUE(reg::setString(Hive::LocalMachine, m_key, "Name", "text"));
  ASSERT_TRUE(reg::setDword(Hive::LocalMachine, m_key, "Count", 0x12345678));
  ASSERT_TRUE(reg::setMultiString(Hive::LocalMachine, m_key, "List", {"a", "", "b"}));
  EXPECT_EQ(reg::getString(Hive::LocalMachine, m_key, "name"), "text");
  EXPECT_EQ(reg::getDword(Hive::LocalMachine, m_key, "COUNT"), 0x12345678u);
  EXPECT_EQ(reg::getMultiString(Hive::LocalMachine, m_key, "list"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(reg::getValue(Hive::LocalMachine, m_key, "List")->data, bytes({'a', 0, 0, 'b', 0, 0}));
  EXPECT_EQ(reg::getString(Hive::LocalMachine, m_key, "Missing", "fb"), "fb");
  EXPECT_EQ(reg::getDword(Hive::LocalMachine, m_key, "Name", 7), 7u);  // wrong type gives the fallback
  EXPECT_FALSE(reg::getValue(Hive::CurrentUser, m_key, "Name"));
}

// Every kind of value survives the hive file: written by this process, read
// back by the reader the way another process would.
TEST_F(RegistryStore, EveryTypeSurvivesTheFile) {
  std::vector<BYTE> longBinary;
  for (int i = 0; i < 100; ++i) longBinary.push_back(static_cast<BYTE>(i * 7));
  const struct {
    const char* name;
    reg::Value value;
  } kCases[] = {
      {"", reg::stringValue("the default")},
      {"Escapes \\ and \"quotes\"", reg::stringValue("C:\\Path \"quoted\" \\\\server")},
      {"Utf8", reg::stringValue("Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac")},
      {"Empty", reg::stringValue("")},
      {"Lines", reg::stringValue("one\r\ntwo")},
      {"NoNul", {REG_SZ, bytes({'a', 'b'})}},
      {"EmptyData", {REG_SZ, {}}},
      {"Expand", reg::stringValue("%SystemRoot%\\system32", REG_EXPAND_SZ)},
      {"Multi", reg::multiStringValue({"first", "", "th\xc3\xaerd"})},
      {"MultiEmpty", reg::multiStringValue({})},
      {"Binary", {REG_BINARY, longBinary}},
      {"BinaryEmpty", {REG_BINARY, {}}},
      {"Dword", reg::dwordValue(0xfedcba98)},
      {"DwordShort", {REG_DWORD, bytes({1, 2})}},
      {"Qword", {REG_QWORD, bytes({1, 2, 3, 4, 5, 6, 7, 0x80})}},
      {"None", {REG_NONE, bytes({0})}},
      {"Odd type", {0x12345, bytes({9, 8})}},
      {"Link", {REG_LINK, bytes({'x', 0})}},
  };
  for (const auto& c : kCases) ASSERT_TRUE(reg::setValue(Hive::CurrentUser, m_key, c.name, c.value)) << c.name;

  std::vector<reg::RegChange> changes;
  std::vector<reg::RegParseError> errors;
  ASSERT_TRUE(reg::parseRegText(hiveText(Hive::CurrentUser), false, &changes, &errors))
      << errors.front().line << ": " << errors.front().reason;
  reg::KeyNode root;
  reg::applyChanges(&root, Hive::CurrentUser, changes);
  const reg::KeyNode* key = root.find(reg::splitPath(m_key));
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(key->values.size(), std::size(kCases));
  for (size_t i = 0; i < std::size(kCases); ++i) {
    SCOPED_TRACE(kCases[i].name);
    EXPECT_EQ(key->values[i].first, kCases[i].name);  // also the order
    EXPECT_EQ(key->values[i].second.type, kCases[i].value.type);
    EXPECT_EQ(key->values[i].second.data, kCases[i].value.data);
  }
  // And the readable forms are the ones a person expects.
  const std::string text = hiveText(Hive::CurrentUser);
  EXPECT_NE(text.find("\"Escapes \\\\ and \\\"quotes\\\"\"=\"C:\\\\Path \\\"quoted\\\" \\\\\\\\server\"\n"),
            std::string::npos);
  EXPECT_NE(text.find("@=\"the default\"\n"), std::string::npos);
  EXPECT_NE(text.find("\"Dword\"=dword:fedcba98\n"), std::string::npos);
  EXPECT_NE(text.find("\"Expand\"=hex(2):25,00,53,00"), std::string::npos);
  EXPECT_NE(text.find("\"Qword\"=hex(b):01,02,03,04,05,06,07,80\n"), std::string::npos);
  EXPECT_NE(text.find("\"Odd type\"=hex(12345):09,08\n"), std::string::npos);
  EXPECT_NE(text.find(",\\\n  "), std::string::npos);  // the long binary is wrapped
}

// What each form of value line reads as.
TEST_F(RegistryStore, ImportValueForms) {
  const struct {
    const char* line;
    DWORD type;
    std::vector<BYTE> data;
  } kCases[] = {
      {"\"v\"=\"a\\\\b\\\"c\"", REG_SZ, bytes({'a', '\\', 'b', '"', 'c', 0})},
      {"\"v\" = \"spaced\"  ", REG_SZ, bytes({'s', 'p', 'a', 'c', 'e', 'd', 0})},
      {"\"v\"=dword:1", REG_DWORD, bytes({1, 0, 0, 0})},
      {"\"v\"=DWORD:FFFFFFFF", REG_DWORD, bytes({0xff, 0xff, 0xff, 0xff})},
      {"\"v\"=hex:", REG_BINARY, {}},
      {"\"v\"=hex:0,a, FF ,10", REG_BINARY, bytes({0, 10, 0xff, 0x10})},
      {"\"v\"=hex(0):01", REG_NONE, bytes({1})},
      {"\"v\"=hex(2):25,00,41,00,25,00,00,00", REG_EXPAND_SZ, bytes({'%', 'A', '%', 0})},
      {"\"v\"=hex(7):61,00,00,00,62,00,00,00,00,00", REG_MULTI_SZ, bytes({'a', 0, 'b', 0, 0})},
      {"\"v\"=hex(1):e9,00,00,00", REG_SZ, bytes({0xc3, 0xa9, 0})},
      {"\"v\"=hex(b):ff,00,00,00,00,00,00,01", REG_QWORD, bytes({0xff, 0, 0, 0, 0, 0, 0, 1})},
      {"\"v\"=hex:01,\\\r\n  02,\\\n\t03", REG_BINARY, bytes({1, 2, 3})},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.line);
    const std::string text =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\" + m_key + "]\n" + c.line + "\n";
    std::string error;
    ASSERT_TRUE(reg::importText(text, &error)) << error;
    auto v = reg::getValue(Hive::CurrentUser, m_key, "v");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, c.type);
    EXPECT_EQ(v->data, c.data);
  }
}

TEST_F(RegistryStore, ImportEncodingsDeletionsAndComments) {
  reg::setString(Hive::LocalMachine, m_key + "\\Old\\Deep", "x", "1");
  reg::setString(Hive::LocalMachine, m_key, "Gone", "1");
  const std::string text = "\xef\xbb\xbfWindows Registry Editor Version 5.00\r\n\r\n"
                           "; a comment\r\n"
                           "[-HKEY_LOCAL_MACHINE\\" + m_key + "\\old]\r\n\r\n"
                           "[HKLM\\" + m_key + "]\r\n"
                           "  ; indented comment\r\n"
                           "\"Gone\"=-\r\n"
                           "@=\"def\"\r\n"
                           "[HKEY_CURRENT_USER\\" + m_key + "\\Both]\r\n"
                           "\"u\"=dword:00000002\r\n";
  std::string error;
  ASSERT_TRUE(reg::importText(text, &error)) << error;
  EXPECT_FALSE(reg::keyExists(Hive::LocalMachine, m_key + "\\Old"));
  EXPECT_FALSE(reg::getValue(Hive::LocalMachine, m_key, "Gone"));
  EXPECT_EQ(reg::getString(Hive::LocalMachine, m_key, ""), "def");
  EXPECT_EQ(reg::getDword(Hive::CurrentUser, m_key + "\\both", "U"), 2u);

  // A UTF-16 file, as the system's editor exports it.
  const std::string narrow = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" + m_key +
                             "]\r\n\"w\"=\"wide\"\r\n";
  std::string wide = "\xff\xfe";
  for (char c : narrow) {
    wide.push_back(c);
    wide.push_back('\0');
  }
  ASSERT_TRUE(reg::importText(wide, &error)) << error;
  EXPECT_EQ(reg::getString(Hive::CurrentUser, m_key, "w"), "wide");
}

// What a reader keeps from one state of a hive (an open key's list of
// subkeys, the machine's settings) is read again after an import.
TEST_F(RegistryStore, ImportIsANewStateOfTheHive) {
  ASSERT_TRUE(reg::setDword(Hive::LocalMachine, m_key, "v", 1));
  unsigned long long before = 0, after = 0;
  reg::inspect(Hive::LocalMachine, [&](const reg::Editor& e) { before = e.generation(); });
  std::string error;
  ASSERT_TRUE(reg::importText("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + m_key + "\\New]\r\n", &error)) << error;
  reg::inspect(Hive::LocalMachine, [&](const reg::Editor& e) { after = e.generation(); });
  EXPECT_NE(before, after);
}

// A malformed text is refused whole, naming its first bad line.
TEST_F(RegistryStore, MalformedImportChangesNothing) {
  ASSERT_TRUE(reg::setString(Hive::CurrentUser, m_key, "Keep", "old"));
  const std::string before = hiveText(Hive::CurrentUser);
  const std::string key = "[HKEY_CURRENT_USER\\" + m_key + "]\n\"Keep\"=\"new\"\n";
  const struct {
    std::string text;
    size_t line;
    const char* reasonPart;
  } kCases[] = {
      {"", 1, "expected the line"},
      {"REGEDIT5\n" + key, 1, "expected the line"},
      {"Windows Registry Editor Version 5.00\n" + key + "\"a\"=\"unterminated\n", 4, "unterminated"},
      {"Windows Registry Editor Version 5.00\n" + key + "\"a\"=\"C:\\Windows\"\n", 4, "escape"},
      {"Windows Registry Editor Version 5.00\n" + key + "\"a\"=dword:123456789\n", 4, "dword"},
      {"Windows Registry Editor Version 5.00\n" + key + "\"a\"=dword:xyz\n", 4, "dword"},
      {"Windows Registry Editor Version 5.00\n" + key + "\"a\"=hex:01,zz\n", 4, "hex digit"},
      {"Windows Registry Editor Version 5.00\n" + key + "\"a\"=hex:01 02\n", 4, "','"},
      {"Windows Registry Editor Version 5.00\n" + key + "\"a\"=hex(2x):01\n", 4, "hex(TYPE)"},
      {"Windows Registry Editor Version 5.00\n" + key + "\"a\"=hex:01,\\", 4, "ends inside"},
      {"Windows Registry Editor Version 5.00\n" + key + "\"a\"=\"x\" trailing\n", 4, "after the quoted"},
      {"Windows Registry Editor Version 5.00\n" + key + "\"a\"\"x\"\n", 4, "'='"},
      {"Windows Registry Editor Version 5.00\n" + key + "\"a\"=whatever\n", 4, "unrecognised"},
      {"Windows Registry Editor Version 5.00\n" + key + "just words\n", 4, "not a key"},
      {"Windows Registry Editor Version 5.00\n" + key + "[HKEY_USERS\\x]\n", 4, "hive"},
      {"Windows Registry Editor Version 5.00\n" + key + "[HKEY_CURRENT_USER\\x\n", 4, "']'"},
      {"Windows Registry Editor Version 5.00\n" + key + "[-HKEY_CURRENT_USER]\n", 4, "whole hive"},
      {"Windows Registry Editor Version 5.00\n\"a\"=\"b\"\n" + key, 2, "before the first"},
      {"Windows Registry Editor Version 5.00\n[-HKCU\\x]\n\"a\"=\"b\"\n" + key, 3, "being deleted"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    std::string error;
    EXPECT_FALSE(reg::importText(c.text, &error));
    EXPECT_EQ(error.rfind("line " + std::to_string(c.line) + ": ", 0), 0u) << error;
    EXPECT_NE(error.find(c.reasonPart), std::string::npos) << error;
    EXPECT_EQ(reg::getString(Hive::CurrentUser, m_key, "Keep"), "old");
  }
  EXPECT_EQ(hiveText(Hive::CurrentUser), before);
}

TEST_F(RegistryStore, KeysIgnoreCaseAndSortLikeWindows) {
  ASSERT_TRUE(reg::createKey(Hive::LocalMachine, m_key + "\\MixedCase\\Sub"));
  EXPECT_TRUE(reg::keyExists(Hive::LocalMachine, m_key + "\\mixedcase\\SUB"));
  // A second create under another case neither renames nor duplicates.
  ASSERT_TRUE(reg::createKey(Hive::LocalMachine, m_key + "\\MIXEDCASE"));
  for (const char* n : {"b", "_u", "A", "C", "a1"}) reg::createKey(Hive::LocalMachine, m_key + "\\" + n);
  EXPECT_EQ(reg::subKeys(Hive::LocalMachine, m_key),
            (std::vector<std::string>{"A", "a1", "b", "C", "MixedCase", "_u"}));
  ASSERT_TRUE(reg::setString(Hive::LocalMachine, m_key, "Value", "1"));
  ASSERT_TRUE(reg::setString(Hive::LocalMachine, m_key, "VALUE", "2"));
  EXPECT_EQ(reg::valueNames(Hive::LocalMachine, m_key), (std::vector<std::string>{"Value"}));
  EXPECT_EQ(reg::getString(Hive::LocalMachine, m_key, "value"), "2");

  auto text = reg::exportText("hklm\\" + winsim::toLower(m_key) + "\\mixedcase", nullptr);
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("[HKEY_LOCAL_MACHINE\\" + m_key + "\\MixedCase\\Sub]"), std::string::npos);
  std::string error;
  EXPECT_FALSE(reg::exportText("HKLM\\" + m_key + "\\Missing", &error));
  EXPECT_FALSE(reg::exportText("HKU\\x", &error));
}

TEST_F(RegistryStore, DeletionsAndRefusedNames) {
  ASSERT_TRUE(reg::setString(Hive::LocalMachine, m_key + "\\A\\B", "v", "x"));
  EXPECT_TRUE(reg::deleteValue(Hive::LocalMachine, m_key + "\\A\\B", "V"));
  EXPECT_FALSE(reg::deleteValue(Hive::LocalMachine, m_key + "\\A\\B", "V"));
  EXPECT_TRUE(reg::deleteKeyTree(Hive::LocalMachine, m_key + "\\a"));
  EXPECT_FALSE(reg::keyExists(Hive::LocalMachine, m_key + "\\A\\B"));
  EXPECT_FALSE(reg::deleteKeyTree(Hive::LocalMachine, m_key + "\\A"));
  EXPECT_FALSE(reg::deleteKeyTree(Hive::LocalMachine, ""));  // never the whole hive
  // Names the text form cannot hold are refused rather than written torn.
  EXPECT_FALSE(reg::setString(Hive::LocalMachine, m_key, "two\nlines", "x"));
  EXPECT_FALSE(reg::createKey(Hive::LocalMachine, m_key + "\\bad\rname"));
  EXPECT_TRUE(reg::valueNames(Hive::LocalMachine, m_key).empty());
}

TEST_F(RegistryStore, TransactionIsAllOrNothing) {
  EXPECT_FALSE(reg::transact(Hive::LocalMachine, [&](reg::Editor& e) {
    e.setDword(m_key, "First", 1);
    e.createKey(m_key + "\\Made");
    return false;
  }));
  EXPECT_FALSE(reg::getValue(Hive::LocalMachine, m_key, "First"));
  EXPECT_FALSE(reg::keyExists(Hive::LocalMachine, m_key + "\\Made"));
  EXPECT_TRUE(reg::transact(Hive::LocalMachine, [&](reg::Editor& e) {
    return e.setDword(m_key, "First", 1) && e.setDword(m_key, "Second", 2);
  }));
  EXPECT_EQ(reg::getDword(Hive::LocalMachine, m_key, "Second"), 2u);
}

// Another writer's change is seen at the next read, without a restart.
TEST_F(RegistryStore, CacheReloadsAfterAnotherWriter) {
  ASSERT_TRUE(reg::setDword(Hive::LocalMachine, m_key, "N", 1));
  EXPECT_EQ(reg::getDword(Hive::LocalMachine, m_key, "N"), 1u);  // now cached
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(reg::setDword(Hive::LocalMachine, m_key, "N", 2) ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(reg::getDword(Hive::LocalMachine, m_key, "N"), 2u);

  // A hand edit of the file, same size as before, is seen too.
  std::string text = hiveText(Hive::LocalMachine);
  const std::string from = "\"N\"=dword:00000002", to = "\"N\"=dword:00000003";
  ASSERT_NE(text.find(from), std::string::npos);
  text.replace(text.find(from), from.size(), to);
  ASSERT_TRUE(winsim::atomicWriteFile(reg::hiveFilePath(Hive::LocalMachine), text));
  EXPECT_EQ(reg::getDword(Hive::LocalMachine, m_key, "N"), 3u);
}

// Two processes writing at once: every write of each lands.
TEST_F(RegistryStore, ConcurrentWritersLoseNothing) {
  constexpr int kWrites = 40;
  pid_t children[2];
  for (int p = 0; p < 2; ++p) {
    children[p] = fork();
    ASSERT_GE(children[p], 0);
    if (children[p] == 0) {
      bool ok = true;
      for (int i = 0; i < kWrites; ++i) {
        ok = reg::setDword(Hive::CurrentUser, m_key, "p" + std::to_string(p) + "_" + std::to_string(i),
                           static_cast<DWORD>(i)) && ok;
      }
      _exit(ok ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(reg::valueNames(Hive::CurrentUser, m_key).size(), static_cast<size_t>(2 * kWrites));
  for (int p = 0; p < 2; ++p) {
    for (int i = 0; i < kWrites; ++i) {
      EXPECT_EQ(reg::getDword(Hive::CurrentUser, m_key, "p" + std::to_string(p) + "_" + std::to_string(i), 999),
                static_cast<DWORD>(i));
    }
  }
}

// A damaged hive file gives its readable part and one message, not a crash.
TEST_F(RegistryStore, DamagedHiveFileIsReadAroundOnce) {
  const std::string damaged = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\" + m_key +
                              "]\n\"Good\"=\"1\"\n\"Bad\"=hex:zz\n\"AlsoGood\"=dword:00000005\n"
                              "garbage line\n[HKEY_USERS\\Elsewhere]\n\"Lost\"=hex:01,\\\n  02\n"
                              "[HKEY_CURRENT_USER\\" + m_key + "\\Next]\n";
  ASSERT_TRUE(winsim::atomicWriteFile(reg::hiveFilePath(Hive::CurrentUser), damaged));
  testing::internal::CaptureStderr();
  EXPECT_EQ(reg::getString(Hive::CurrentUser, m_key, "Good"), "1");
  EXPECT_EQ(reg::getDword(Hive::CurrentUser, m_key, "AlsoGood"), 5u);
  EXPECT_FALSE(reg::getValue(Hive::CurrentUser, m_key, "Bad"));
  EXPECT_TRUE(reg::keyExists(Hive::CurrentUser, m_key + "\\Next"));
  EXPECT_FALSE(reg::getValue(Hive::CurrentUser, m_key, "Lost"));  // not moved to the key before
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("line 5"), std::string::npos) << messages;
  EXPECT_NE(messages.find("3 bad lines"), std::string::npos) << messages;
  EXPECT_EQ(messages.find("damaged"), messages.rfind("damaged")) << "reported more than once";
  // The next change rewrites the file whole and clean.
  ASSERT_TRUE(reg::setDword(Hive::CurrentUser, m_key, "After", 1));
  std::vector<reg::RegChange> changes;
  EXPECT_TRUE(reg::parseRegText(hiveText(Hive::CurrentUser), false, &changes, nullptr));
}
