// The stand-in network library as the program loads it: NETDLL\NQCORE64.DLL
// of the staged build, its printers under HKLM\SOFTWARE\KVSim\Network. The
// same printers give the same list on winsim and under Wine.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "kv_nqcore_stage.h"
#include "platform/win32.h"
#include "wizard/network_printer_list.h"

namespace {

constexpr const char* kNetworkKey = "SOFTWARE\\KVSim\\Network";

// The staged build folder in Windows form: Z: is the host's root in both.
std::string stageFolder() {
  std::string win = std::string("Z:") + KV_NQCORE_STAGE_DIR;
  for (char& c : win)
    if (c == '/') c = '\\';
  return win + "\\";
}

void setString(HKEY h, const char* name, const std::string& v) {
  RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()), static_cast<DWORD>(v.size() + 1));
}
void setDword(HKEY h, const char* name, DWORD v) {
  RegSetValueExA(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
}

class NqcoreStandInTest : public testing::Test {
 protected:
  void SetUp() override { clear(); }
  void TearDown() override {
    clear();
    kSetNetworkSearchCancel(FALSE);
  }
  static void clear() {
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kNetworkKey, 0, KEY_ALL_ACCESS, &h) == ERROR_SUCCESS) {
      char name[64];
      DWORD cch = sizeof name;
      std::vector<std::string> keys;
      for (DWORD i = 0; cch = sizeof name, RegEnumKeyExA(h, i, name, &cch, nullptr, nullptr, nullptr, nullptr) == 0; ++i)
        keys.push_back(name);
      for (const auto& k : keys) RegDeleteKeyA(h, k.c_str());
      for (const char* v : {"FailIFVersion", "FailEnum", "ExtraOnListing"}) RegDeleteValueA(h, v);
      RegCloseKey(h);
    }
  }
  static void add(int n, const std::string& address, const std::string& model, const std::string& description,
                  DWORD unreachable = 0, DWORD delayMs = 0) {
    char key[96];
    std::snprintf(key, sizeof key, "%s\\Printer%06d", kNetworkKey, n);
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), 0);
    setString(h, "Address", address);
    setString(h, "Model", model);
    setString(h, "Description", description);
    setDword(h, "Unreachable", unreachable);
    setDword(h, "Delay", delayMs);
    RegCloseKey(h);
  }
  static void setNetworkValue(const char* name, DWORD v) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kNetworkKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), 0);
    setDword(h, name, v);
    RegCloseKey(h);
  }
};

TEST_F(NqcoreStandInTest, ListsTheMachinesPrinters) {
  add(1, "192.168.1.20", "KV Laser 4000", "Floor 2, by the window");
  add(2, "192.168.1.3", "KV Ink 10", std::string(70, 'x'));
  add(3, "10.1.1.1", "KV Laser 4000", "", 1);
  add(4, "fe80::20", "KV Laser 4000", "IPv6");
  CNetworkPrinterList list(stageFolder());
  ASSERT_TRUE(list.m_bNQEnable) << stageFolder();
  ASSERT_TRUE(list.kEnableCallBackFunc(NQCallBackFunc1));
  ASSERT_TRUE(list.kMakeNetworkPrinterList());
  EXPECT_TRUE(list.kDisableCallBackFunc(NQCallBackFunc1));
  ASSERT_EQ(list.m_lstNetworkPrinter.size(), 3u);
  EXPECT_EQ(list.m_lstNetworkPrinter[0].strAddress, "192.168.1.20");
  EXPECT_EQ(list.m_lstNetworkPrinter[0].strModelName, "KV Laser 4000");
  EXPECT_EQ(list.m_lstNetworkPrinter[0].strDescription, "Floor 2, by the window");
  EXPECT_EQ(list.m_lstNetworkPrinter[1].strDescription, std::string(63, 'x'));
  EXPECT_EQ(list.m_lstNetworkPrinter[2].strAddress, "fe80::20");
  // Four printers were counted, one could not be opened.
  EXPECT_EQ(list.m_dwBuffSize, 4 * CNetworkPrinterList::kBytesPerPrinter);
}

TEST_F(NqcoreStandInTest, FailingCallsAndAGrowingNetwork) {
  add(1, "10.0.0.1", "A", "");
  {
    setNetworkValue("FailIFVersion", 1);
    CNetworkPrinterList list(stageFolder());
    ASSERT_TRUE(list.m_bNQEnable);
    EXPECT_TRUE(list.kMakeNetworkPrinterList());
    EXPECT_TRUE(list.m_lstNetworkPrinter.empty());
    setNetworkValue("FailIFVersion", 0);
  }
  {
    setNetworkValue("FailEnum", 1);
    CNetworkPrinterList list(stageFolder());
    EXPECT_TRUE(list.kMakeNetworkPrinterList());
    EXPECT_TRUE(list.m_lstNetworkPrinter.empty());
    setNetworkValue("FailEnum", 0);
  }
  {
    setNetworkValue("ExtraOnListing", 20);
    CNetworkPrinterList list(stageFolder());
    EXPECT_TRUE(list.kMakeNetworkPrinterList());
    EXPECT_EQ(list.m_lstNetworkPrinter.size(), 1u);
    setNetworkValue("ExtraOnListing", 0);
  }
}

TEST_F(NqcoreStandInTest, AStopDuringASlowPrinterEndsTheEnumeration) {
  add(1, "10.0.0.1", "A", "");
  add(2, "10.0.0.2", "B", "", 0, 600000);  // ten minutes of machine time
  CNetworkPrinterList list(stageFolder());
  ASSERT_TRUE(list.kEnableCallBackFunc(NQCallBackFunc1));
  const auto start = std::chrono::steady_clock::now();
  std::thread stopper([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    kSetNetworkSearchCancel(TRUE);
  });
  EXPECT_TRUE(list.kMakeNetworkPrinterList());
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
  EXPECT_TRUE(list.m_lstNetworkPrinter.empty());
  list.kDisableCallBackFunc(NQCallBackFunc1);
}

TEST_F(NqcoreStandInTest, NoLibraryInTheFolder) {
  // Earlier searches of this process put the staged folder on the PATH.
  char saved[32767];
  const DWORD n = GetEnvironmentVariableA("PATH", saved, sizeof saved);
  ASSERT_TRUE(n > 0 && n < sizeof saved);
  SetEnvironmentVariableA("PATH", "C:\\Windows");
  {
    CNetworkPrinterList list("Z:\\nonexistent-kv-folder\\");
    EXPECT_FALSE(list.m_bNQEnable);
    EXPECT_EQ(list.m_hNQ, nullptr);
    EXPECT_FALSE(list.kMakeNetworkPrinterList());
  }
  SetEnvironmentVariableA("PATH", saved);
}

}  // namespace
