// The network path's pages and the frame's states around them: the list
// page's order, widths and choice, the manual-port page's three ends, and
// the frame's filter by model and selected-printer rule.
#include <map>
#include <memory>
#include <vector>

#include "res/resource.h"
#include "wizard/add_force_printer_dialog.h"
#include "wizard/network_printer_list.h"
#include "wizard/printer_list_dialog.h"
#include "wizard/search_printer_dialog.h"
#include "wizard/wizard_fixture.h"

namespace {

using wiztest::candidate;

CNetworkPrinter printer(const std::string& model, const std::string& address, const std::string& description = {}) {
  CNetworkPrinter p;
  p.strModelName = model;
  p.strAddress = address;
  p.strDescription = description;
  return p;
}

// A network printer list that only holds printers (no library).
std::unique_ptr<CNetworkPrinterList> listOf(const std::vector<CNetworkPrinter>& printers) {
  auto list = std::make_unique<CNetworkPrinterList>(CNQEntryPoints{});
  list->m_lstNetworkPrinter = printers;
  return list;
}

std::vector<std::string> addresses(const CNetworkPrinterList& list) {
  std::vector<std::string> out;
  for (const auto& p : list.m_lstNetworkPrinter) out.push_back(p.strAddress);
  return out;
}

TEST(NetworkAddressOrder, NumericWithNonAddressesLast) {
  CListModel model;
  EXPECT_LT(model.kCompareAddress("192.168.1.3", "192.168.1.20"), 0);
  EXPECT_GT(model.kCompareAddress("192.168.1.20", "192.168.1.3"), 0);
  EXPECT_LT(model.kCompareAddress("9.255.255.255", "10.0.0.0"), 0);
  EXPECT_LT(model.kCompareAddress("010.001.002.003", "10.1.2.4"), 0);
  EXPECT_EQ(model.kCompareAddress("10.1.2.3", "10.1.2.3"), 0);
  // Host names and IPv6 addresses come after every IPv4 address.
  for (const char* other : {"printer-1.example", "fe80::1", "zz"}) {
    EXPECT_LT(model.kCompareAddress("255.255.255.255", other), 0) << other;
    EXPECT_GT(model.kCompareAddress(other, "0.0.0.1"), 0) << other;
  }
}

TEST(NetworkColumnWidths, DescriptionFirstAddressShrinksToItsHeader) {
  int widths[3];
  // Room for everything: the address and description get what they need,
  // the printer column the rest.
  {
    const int needed[3] = {100, 80, 150}, header[3] = {50, 60, 90};
    CPrinterListDialog::kCalcColumnWidths(500, needed, header, widths);
    EXPECT_EQ(widths[1], 80);
    EXPECT_EQ(widths[2], 150);
    EXPECT_EQ(widths[0], 270);
  }
  // Tight: the address column gives up pixels until the printer column
  // fits, but not below its header.
  {
    const int needed[3] = {200, 120, 150}, header[3] = {50, 70, 90};
    CPrinterListDialog::kCalcColumnWidths(450, needed, header, widths);
    EXPECT_EQ(widths[1], 100);
    EXPECT_EQ(widths[0], 200);
    CPrinterListDialog::kCalcColumnWidths(400, needed, header, widths);
    EXPECT_EQ(widths[1], 70);
    EXPECT_EQ(widths[0], 180);
  }
  // Headers wider than the texts win.
  {
    const int needed[3] = {10, 10, 10}, header[3] = {40, 50, 60};
    CPrinterListDialog::kCalcColumnWidths(300, needed, header, widths);
    EXPECT_EQ(widths[1], 50);
    EXPECT_EQ(widths[2], 60);
    EXPECT_EQ(widths[0], 190);
  }
  // A list narrower than its fixed columns never gets a negative width.
  {
    const int needed[3] = {100, 100, 300}, header[3] = {50, 60, 90};
    CPrinterListDialog::kCalcColumnWidths(200, needed, header, widths);
    EXPECT_EQ(widths[0], 0);
  }
}

class NetworkPages : public wiztest::WizardFixture {
 protected:
  void SetUp() override {
    WizardFixture::SetUp();
    // A quit or close left in the thread's queue by an earlier test's frame
    // would end the next page's loop at once.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
};

TEST_F(NetworkPages, ListSortsByAddressSelectsTheFirstAndChoosesByOk) {
  const std::vector<CNetworkPrinter> printers = {
      printer("KV Laser", "192.168.1.20", "second floor"), printer("KV Ink", "printer-b.example"),
      printer("KV Laser", "192.168.1.3", "first"), printer("KV Copy", "192.168.1.3", "same address, found later")};
  useScript("page 140: ok\n");
  CPrinterListDialog page(nullptr, &printers);
  EXPECT_EQ(page.DoModal(), IDOK) << transcript();
  // Sorted by address: 3 before 20, equal addresses in discovery order, the
  // host name last; the first line was selected and OK was enabled at once.
  EXPECT_EQ(page.m_strAddress, "192.168.1.3");
  EXPECT_EQ(page.m_strPrinterName, "KV Laser");
  EXPECT_EQ(page.m_strDescription, "first");
  const std::string log = transcript();
  const size_t a = log.find("first"), b = log.find("same address"), c = log.find("second floor"),
               d = log.find("printer-b.example");
  ASSERT_NE(d, std::string::npos) << log;
  EXPECT_LT(a, b) << log;
  EXPECT_LT(b, c) << log;
  EXPECT_LT(c, d) << log;
}

TEST_F(NetworkPages, ListChoosesTheClickedLine) {
  const std::vector<CNetworkPrinter> printers = {printer("KV Laser", "192.168.1.20"), printer("KV Ink", "10.0.0.7")};
  useScript("page 140: select 1015 1; next\n");
  CPrinterListDialog page(nullptr, &printers);
  EXPECT_EQ(page.DoModal(), IDOK) << transcript();
  EXPECT_EQ(page.m_strAddress, "192.168.1.20");
  EXPECT_EQ(page.m_strPrinterName, "KV Laser");
}

TEST_F(NetworkPages, EmptyListDisablesOk) {
  const std::vector<CNetworkPrinter> none;
  useScript("page 140: cancel\n");
  CPrinterListDialog page(nullptr, &none);
  EXPECT_EQ(page.DoModal(), IDCANCEL);
  EXPECT_NE(transcript().find("(disabled)"), std::string::npos) << transcript();
}

TEST_F(NetworkPages, AddForceEndsWithNextCancelOrBack) {
  useScript("page 147: next\npage 147: cancel\npage 147: back\n");
  EXPECT_EQ(CAddForcePrinterDialog(nullptr).DoModal(), IDOK);
  EXPECT_EQ(CAddForcePrinterDialog(nullptr).DoModal(), IDCANCEL);
  EXPECT_EQ(CAddForcePrinterDialog(nullptr).DoModal(), CAddForcePrinterDialog::kBack);
}

// The search page without a usable library in the package ends with 2.
TEST_F(NetworkPages, SearchWithoutLibraryEndsWith2) {
  SETUP_GLOBAL.m_strModulePath = "Z:\\nonexistent-kv-package\\";
  useScript("");
  EXPECT_EQ(CSearchPrinterDialog(nullptr).DoModal(), 2);
  ASSERT_TRUE(SETUP_GLOBAL.m_pNetworkPrinterList);
  EXPECT_FALSE(SETUP_GLOBAL.m_pNetworkPrinterList->m_bNQEnable);
  SETUP_GLOBAL.m_pNetworkPrinterList.reset();
}

class NetworkFrame : public wiztest::WizardFixture {
 protected:
  void SetUp() override {
    WizardFixture::SetUp();
    m_frame = std::make_unique<CMainFrame>(SETUP_GLOBAL);
    ASSERT_NE(m_frame->kCreate("frame test"), nullptr);
  }
  void TearDown() override {
    CKVIDlgForm::kSetPageRunner(nullptr);
    SETUP_GLOBAL.m_pNetworkPrinterList.reset();
    if (m_frame && m_frame->kGetSafeHwnd()) DestroyWindow(m_frame->kGetSafeHwnd());
    m_frame.reset();
    // The frame's end leaves a quit in the queue: the next test's pages
    // must not see it.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    WizardFixture::TearDown();
  }
  std::vector<UINT> posted() {
    std::vector<UINT> out;
    MSG msg;
    while (PeekMessageA(&msg, m_frame->kGetSafeHwnd(), 0, 0, PM_REMOVE)) {
      // The frame of an earlier test ended the thread's loop when it went.
      if (msg.message != WM_QUIT) out.push_back(msg.message);
    }
    return out;
  }
  // Every page the handler shows ends with `result` after `onPage`.
  void pages(INT_PTR result, std::function<void(CKVIDlgForm&)> onPage = nullptr) {
    CKVIDlgForm::kSetPageRunner([result, onPage](CKVIDlgForm& page) -> INT_PTR {
      if (onPage) onPage(page);
      return result;
    });
  }
  std::unique_ptr<CMainFrame> m_frame;
};

TEST_F(NetworkFrame, SearchStoppedOrFailed) {
  CKV_SETUPApp& app = SETUP_GLOBAL;
  app.m_bNetworkSearch = 1;
  pages(IDOK);
  m_frame->kOnDispSearchPrinterDialog(0, 0);
  EXPECT_EQ(posted(), std::vector<UINT>{WM_EXECUTE_NELI});
  EXPECT_EQ(app.m_bNetworkSearch, 0);

  app.m_bNetworkSearch = 1;
  pages(2);
  m_frame->kOnDispSearchPrinterDialog(0, 0);
  EXPECT_EQ(posted(), std::vector<UINT>{static_cast<UINT>(WM_CLOSE)});
  EXPECT_EQ(app.m_bCancel, 0);
}

TEST_F(NetworkFrame, SearchDoneFiltersByModel) {
  CKV_SETUPApp& app = SETUP_GLOBAL;
  app.m_bNetworkSearch = 1;
  app.m_lstSetupCandidate.push_back(candidate("KV Laser"));
  pages(CSearchPrinterDialog::kSearchDone, [](CKVIDlgForm&) {
    SETUP_GLOBAL.m_pNetworkPrinterList = listOf({printer("KV Laser", "10.0.0.1"), printer("Other", "10.0.0.2"),
                                                 printer("kv laser", "10.0.0.3")});
  });
  m_frame->kOnDispSearchPrinterDialog(0, 0);
  EXPECT_EQ(posted(), std::vector<UINT>{WM_DISP_PRINTERLIST});
  EXPECT_EQ(app.m_bModelFilter, 1);
  EXPECT_EQ(addresses(*app.m_pNetworkPrinterList), (std::vector<std::string>{"10.0.0.1", "10.0.0.3"}));

  // Candidates without model names: no filter.
  app.m_lstSetupCandidate.clear();
  CCandidateDriver unnamed = candidate("KV Laser");
  unnamed.strModelName.clear();
  app.m_lstSetupCandidate.push_back(unnamed);
  m_frame->kOnDispSearchPrinterDialog(0, 0);
  EXPECT_EQ(posted(), std::vector<UINT>{WM_DISP_PRINTERLIST});
  EXPECT_EQ(app.m_bModelFilter, 0);
  EXPECT_EQ(app.m_pNetworkPrinterList->m_lstNetworkPrinter.size(), 3u);
}

TEST_F(NetworkFrame, SearchFindingNothingOfThePackageAsksAndCancels) {
  CKV_SETUPApp& app = SETUP_GLOBAL;
  app.m_bNetworkSearch = 1;
  app.m_lstSetupCandidate.push_back(candidate("KV Laser"));
  pages(CSearchPrinterDialog::kSearchDone,
        [](CKVIDlgForm&) { SETUP_GLOBAL.m_pNetworkPrinterList = listOf({printer("Other", "10.0.0.2")}); });
  // Without a main window the question cannot be shown: that is a No.
  m_frame->kOnDispSearchPrinterDialog(0, 0);
  EXPECT_EQ(posted(), std::vector<UINT>{static_cast<UINT>(WM_CLOSE)});
  EXPECT_EQ(app.m_bCancel, 1);
}

TEST_F(NetworkFrame, ListKeepsOnlyTheSelectedPrinter) {
  CKV_SETUPApp& app = SETUP_GLOBAL;
  app.m_bNetworkSearch = 1;
  app.m_pNetworkPrinterList = listOf({printer("A", "printer-x.EXAMPLE"), printer("B", "10.0.0.2"),
                                      printer("C", "10.0.0.20")});
  pages(IDOK, [](CKVIDlgForm& page) { dynamic_cast<CPrinterListDialog&>(page).m_strAddress = "Printer-X.example"; });
  m_frame->kOnDispPrinterListDialog(0, 0);
  EXPECT_EQ(posted(), std::vector<UINT>{WM_EXECUTE_NELI});
  EXPECT_EQ(addresses(*app.m_pNetworkPrinterList), std::vector<std::string>{"printer-x.EXAMPLE"});
  ASSERT_EQ(app.m_lstIFINetworkPrinter.size(), 1u);
  EXPECT_EQ(app.m_lstIFINetworkPrinter[0].strPrinterName, "A");
  EXPECT_EQ(app.m_lstIFINetworkPrinter[0].strAddress, "printer-x.EXAMPLE");
  EXPECT_EQ(app.m_lstIFINetworkPrinter[0].strModelName, "A");

  pages(IDCANCEL);
  m_frame->kOnDispPrinterListDialog(0, 0);
  EXPECT_EQ(posted(), std::vector<UINT>{static_cast<UINT>(WM_CLOSE)});
  EXPECT_EQ(app.m_bCancel, 1);
  EXPECT_FALSE(app.m_pNetworkPrinterList);
}

TEST_F(NetworkFrame, AddForceBackCancelAndNext) {
  CKV_SETUPApp& app = SETUP_GLOBAL;
  pages(CAddForcePrinterDialog::kBack);
  m_frame->kOnDispAddForceDialog(0, 0);
  EXPECT_EQ(posted(), std::vector<UINT>{WM_DISP_POWERON});
  pages(IDCANCEL);
  m_frame->kOnDispAddForceDialog(0, 0);
  EXPECT_EQ(posted(), std::vector<UINT>{static_cast<UINT>(WM_CLOSE)});
  EXPECT_EQ(app.m_bCancel, 1);
}

}  // namespace
