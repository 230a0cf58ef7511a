// The wrapper over the network library: the two passes, the records it
// reads, and what it does with a library or a network that misbehaves.
#include <gtest/gtest.h>

#include "network/fake_nq_library.h"
#include "wizard/network_printer_list.h"

namespace {

using kvnet::FakePrinter;
using kvnet::fakeEntryPoints;
using kvnet::fakeNetwork;

class NetworkPrinterListTest : public testing::Test {
 protected:
  void SetUp() override {
    fakeNetwork() = kvnet::FakeNetwork{};
    kSetNetworkSearchCancel(FALSE);
  }
  void TearDown() override {
    // Every printer opened and every enumeration was given back.
    EXPECT_EQ(fakeNetwork().nOpen, 0);
    EXPECT_EQ(fakeNetwork().nEnumOpen, 0);
    kSetNetworkSearchCancel(FALSE);
  }
  static FakePrinter printer(const std::string& address, const std::string& model, const std::string& description = {}) {
    FakePrinter p;
    p.strAddress = address;
    p.strModel = model;
    p.strDescription = description;
    return p;
  }
  static std::vector<std::string> addresses(const CNetworkPrinterList& list) {
    std::vector<std::string> out;
    for (const auto& p : list.m_lstNetworkPrinter) out.push_back(p.strAddress);
    return out;
  }
};

TEST_F(NetworkPrinterListTest, ListsThePrintersThatAnswerInDiscoveryOrder) {
  auto& net = fakeNetwork();
  net.printers = {printer("192.168.1.20", "KV Laser 4000", "Floor 2"), printer("10.0.0.5", "KV Ink 10"),
                  printer("printer-3.example", "KV Laser 4000")};
  net.printers[1].bUnreachable = true;
  CNetworkPrinterList list(fakeEntryPoints());
  ASSERT_TRUE(list.m_bNQEnable);
  ASSERT_TRUE(list.kMakeNetworkPrinterList());
  EXPECT_EQ(addresses(list), (std::vector<std::string>{"192.168.1.20", "printer-3.example"}));
  EXPECT_EQ(list.m_lstNetworkPrinter[0].strModelName, "KV Laser 4000");
  EXPECT_EQ(list.m_lstNetworkPrinter[0].strDescription, "Floor 2");
  // The buffer was sized by the counting pass: three printers were counted.
  EXPECT_EQ(list.m_dwBuffSize, 3 * CNetworkPrinterList::kBytesPerPrinter);
}

TEST_F(NetworkPrinterListTest, CountingPassOnlySizes) {
  fakeNetwork().printers = {printer("10.0.0.1", "A"), printer("10.0.0.2", "B")};
  CNetworkPrinterList list(fakeEntryPoints());
  DWORD cb = 7;
  ASSERT_TRUE(list.kGetPrinterInfo(nullptr, 0, &cb));
  EXPECT_EQ(cb, 96u);
  EXPECT_TRUE(list.m_lstNetworkPrinter.empty());
}

TEST_F(NetworkPrinterListTest, NothingFoundLeavesTheListEmpty) {
  CNetworkPrinterList list(fakeEntryPoints());
  EXPECT_TRUE(list.kMakeNetworkPrinterList());
  EXPECT_TRUE(list.m_lstNetworkPrinter.empty());
  EXPECT_EQ(list.m_pBuff, nullptr);
}

TEST_F(NetworkPrinterListTest, LibraryFailuresLeaveTheListEmpty) {
  fakeNetwork().printers = {printer("10.0.0.1", "A")};
  {
    fakeNetwork().dwIFVersionResult = 5;
    CNetworkPrinterList list(fakeEntryPoints());
    DWORD cb = 0;
    EXPECT_FALSE(list.kGetPrinterInfo(nullptr, 0, &cb));
    EXPECT_TRUE(list.kMakeNetworkPrinterList());
    EXPECT_TRUE(list.m_lstNetworkPrinter.empty());
  }
  {
    fakeNetwork().dwIFVersionResult = 0;
    fakeNetwork().dwEnumResult = 1231;
    CNetworkPrinterList list(fakeEntryPoints());
    DWORD cb = 0;
    EXPECT_FALSE(list.kGetPrinterInfo(nullptr, 0, &cb));
    EXPECT_TRUE(list.kMakeNetworkPrinterList());
    EXPECT_TRUE(list.m_lstNetworkPrinter.empty());
  }
}

TEST_F(NetworkPrinterListTest, AMissingEntryPointDisablesTheLibrary) {
  CNQEntryPoints ep = fakeEntryPoints();
  ep.pNQDisableCBFunc = nullptr;
  CNetworkPrinterList list(ep);
  EXPECT_FALSE(list.m_bNQEnable);
  EXPECT_FALSE(list.kMakeNetworkPrinterList());
  EXPECT_FALSE(list.kEnableCallBackFunc(NQCallBackFunc1));
}

TEST_F(NetworkPrinterListTest, ModelNameSelectsExactly) {
  fakeNetwork().printers = {printer("10.0.0.1", "KV Laser"), printer("10.0.0.2", "kv laser"),
                            printer("10.0.0.3", "KV Laser")};
  CNetworkPrinterList list(fakeEntryPoints());
  ASSERT_TRUE(list.kMakeNetworkPrinterList());
  list.m_lstNetworkPrinter.clear();
  DWORD cb = 0;
  ASSERT_TRUE(list.kGetPrinterInfo("KV Laser", list.m_dwBuffSize, &cb));
  EXPECT_EQ(addresses(list), (std::vector<std::string>{"10.0.0.1", "10.0.0.3"}));
  EXPECT_EQ(cb, 96u);
}

TEST_F(NetworkPrinterListTest, DescriptionIsCutTo63Characters) {
  const std::string s63(63, 'd');
  fakeNetwork().printers = {printer("10.0.0.1", "A", s63), printer("10.0.0.2", "A", s63 + "X"),
                            printer("10.0.0.3", "A", std::string(300, 'e'))};
  CNetworkPrinterList list(fakeEntryPoints());
  ASSERT_TRUE(list.kMakeNetworkPrinterList());
  ASSERT_EQ(list.m_lstNetworkPrinter.size(), 3u);
  EXPECT_EQ(list.m_lstNetworkPrinter[0].strDescription, s63);
  EXPECT_EQ(list.m_lstNetworkPrinter[1].strDescription, s63);
  EXPECT_EQ(list.m_lstNetworkPrinter[2].strDescription, std::string(63, 'e'));
}

// Addresses become port names ("IP_" + address) and interface-file values:
// only plain IPv4, IPv6 addresses and host names are taken.
TEST_F(NetworkPrinterListTest, AddressesThatAreNotPlainAreSkipped) {
  EXPECT_TRUE(CNetworkPrinterList::kIsPlainAddress("192.168.1.3"));
  EXPECT_TRUE(CNetworkPrinterList::kIsPlainAddress("fe80::1:2"));
  EXPECT_TRUE(CNetworkPrinterList::kIsPlainAddress("printer-7.floor2.example"));
  // Names and addresses Windows resolves, as a network library reports them.
  EXPECT_TRUE(CNetworkPrinterList::kIsPlainAddress("printer_2f.office"));
  EXPECT_TRUE(CNetworkPrinterList::kIsPlainAddress("fe80::1%eth0"));
  EXPECT_TRUE(CNetworkPrinterList::kIsPlainAddress("fe80::1%12"));
  for (const char* bad : {"", "..\\..\\x", "a/b", "10.0.0.1\r\n[Section]", "10.0.0.1 ", "a=b", "a;b", "\\\\srv\\q",
                          "a,b", "x\ty", "host%eth0", "fe80::1%", "%eth0", "fe80::1%eth0]", "fe80::1%a b"}) {
    EXPECT_FALSE(CNetworkPrinterList::kIsPlainAddress(bad)) << bad;
  }
  EXPECT_FALSE(CNetworkPrinterList::kIsPlainAddress(std::string(256, 'a')));
  EXPECT_TRUE(CNetworkPrinterList::kIsPlainAddress(std::string(255, 'a')));

  fakeNetwork().printers = {printer("10.0.0.1\n[PRINTEROBJECT.X]", "A"), printer("..\\port", "A"),
                            printer("10.0.0.9", "A")};
  CNetworkPrinterList list(fakeEntryPoints());
  ASSERT_TRUE(list.kMakeNetworkPrinterList());
  EXPECT_EQ(addresses(list), (std::vector<std::string>{"10.0.0.9"}));
}

TEST_F(NetworkPrinterListTest, ControlCharactersAreCleaned) {
  fakeNetwork().printers = {printer("10.0.0.1", "KV\r\nDriverName=Evil", "line1\nline2\x7f\t")};
  CNetworkPrinterList list(fakeEntryPoints());
  ASSERT_TRUE(list.kMakeNetworkPrinterList());
  ASSERT_EQ(list.m_lstNetworkPrinter.size(), 1u);
  EXPECT_EQ(list.m_lstNetworkPrinter[0].strModelName, "KV  DriverName=Evil");
  EXPECT_EQ(list.m_lstNetworkPrinter[0].strDescription, "line1 line2  ");
}

TEST_F(NetworkPrinterListTest, NullRecordsAndFieldsAreNeverRead) {
  auto& net = fakeNetwork();
  net.printers = {printer("10.0.0.1", "A", "d1"), printer("10.0.0.2", "B", "d2"), printer("10.0.0.3", "C", "d3"),
                  printer("10.0.0.4", "D", "d4"), printer("10.0.0.5", "E", "d5"), printer("10.0.0.6", "F", "d6"),
                  printer("10.0.0.7", "G", "d7")};
  net.printers[0].bNullAddress = true;
  net.printers[1].bNullModel = true;
  net.printers[2].bNullDetail = true;
  net.printers[3].bNullDescription = true;
  net.printers[4].bNullInfo = true;
  net.printers[5].bInfoFails = true;
  net.printers[6].bUnterminatedModel = true;
  CNetworkPrinterList list(fakeEntryPoints());
  ASSERT_TRUE(list.kMakeNetworkPrinterList());
  EXPECT_EQ(addresses(list), (std::vector<std::string>{"10.0.0.2", "10.0.0.3", "10.0.0.4", "10.0.0.7"}));
  EXPECT_EQ(list.m_lstNetworkPrinter[0].strModelName, "");
  EXPECT_EQ(list.m_lstNetworkPrinter[1].strDescription, "");
  EXPECT_EQ(list.m_lstNetworkPrinter[2].strDescription, "");
  EXPECT_EQ(list.m_lstNetworkPrinter[3].strModelName.size(), 1024u);
}

TEST_F(NetworkPrinterListTest, NullTableWithACountReadsNothing) {
  fakeNetwork().printers = {printer("10.0.0.1", "A")};
  fakeNetwork().bNullTable = true;
  CNetworkPrinterList list(fakeEntryPoints());
  ASSERT_TRUE(list.kMakeNetworkPrinterList());
  EXPECT_TRUE(list.m_lstNetworkPrinter.empty());
}

TEST_F(NetworkPrinterListTest, ListingPassNeverTakesMoreThanCounted) {
  fakeNetwork().printers = {printer("10.0.0.1", "A"), printer("10.0.0.2", "B")};
  fakeNetwork().dwExtraOnListing = 50;
  CNetworkPrinterList list(fakeEntryPoints());
  ASSERT_TRUE(list.kMakeNetworkPrinterList());
  EXPECT_EQ(addresses(list), (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));
}

TEST_F(NetworkPrinterListTest, CallbackStopsTheEnumerationOnceCancelled) {
  fakeNetwork().printers = {printer("10.0.0.1", "A"), printer("10.0.0.2", "B")};
  CNetworkPrinterList list(fakeEntryPoints());
  ASSERT_TRUE(list.kEnableCallBackFunc(NQCallBackFunc1));
  EXPECT_EQ(NQCallBackFunc1(), FALSE);
  kSetNetworkSearchCancel(TRUE);
  EXPECT_TRUE(kIsNetworkSearchCancel());
  EXPECT_EQ(NQCallBackFunc1(), TRUE);
  ASSERT_TRUE(list.kMakeNetworkPrinterList());
  EXPECT_TRUE(list.m_lstNetworkPrinter.empty());
  // The library asked once and stopped at the first printer.
  EXPECT_EQ(fakeNetwork().nCallbacks, 1u);
  EXPECT_TRUE(list.kDisableCallBackFunc(NQCallBackFunc1));
}

}  // namespace
