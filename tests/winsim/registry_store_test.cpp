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
