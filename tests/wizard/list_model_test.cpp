// The printer list's order and widths: IPv4 addresses numerically, other
// texts after them, equal items in their order; automatic column widths and
// tooltips.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32.h"
#include "wizard/list_model.h"

namespace {

class ListModelTest : public testing::Test {
 protected:
  void SetUp() override {
    InitCommonControls();
    m_hList = CreateWindowExA(0, "SysListView32", "", LVS_REPORT | WS_CHILD, 0, 0, 300, 200, HWND_MESSAGE, nullptr,
                              nullptr, nullptr);
    ASSERT_NE(m_hList, nullptr);
    SendMessageA(m_hList, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    ASSERT_TRUE(m_list.kAttach(m_hList));
    m_list.kSetLangID(0x0409);
    m_list.kInsertColumn(0, "Model", LVCFMT_LEFT, 100);
    m_list.kInsertColumn(1, "Address", LVCFMT_RIGHT, 100);
    m_list.kInsertColumn(2, "Description", LVCFMT_LEFT, 100);
  }
  void TearDown() override {
    m_list.kDeleteAllItems();
    DestroyWindow(m_hList);
  }
  void add(const std::string& strModel, const std::string& strAddress, const std::string& strDescription = "",
           BOOL bBold = FALSE) {
    ASSERT_GE(m_list.kAddItem(new CListModelRecord{strModel, strAddress, strDescription, ""}, bBold), 0);
  }
  // The descriptions in list order (they name the items in these tests).
  std::vector<std::string> order() {
    std::vector<std::string> lst;
    for (int n = 0; n < m_list.kGetItemCount(); ++n) {
      lst.push_back(static_cast<CListModelRecord*>(m_list.kGetItemData(n))->strDescription);
    }
    return lst;
  }

  HWND m_hList = nullptr;
  CListModel m_list;
};

using Order = std::vector<std::string>;

TEST_F(ListModelTest, AddressesSortNumericallyThenTextsThenEqualsKeepOrder) {
  add("m", "192.168.1.20", "20");
  add("m", "printer.local", "name");
  add("m", "192.168.1.3", "3");
  add("m", "010.001.002.003", "padded");
  add("m", "10.0.0.5", "zero octet");
  add("m", "192.168.1.3", "3 again");
  add("m", CListModel::kPrinterPortText, "port");
  m_list.kSort(1, TRUE);
  EXPECT_EQ(order(), (Order{"port", "zero octet", "padded", "3", "3 again", "20", "name"}));
  // Descending reverses the comparison; equal items still keep their order.
  m_list.kSort(1, FALSE);
  EXPECT_EQ(order(), (Order{"name", "20", "3", "3 again", "padded", "zero octet", "port"}));
}

// A sort works out each address once; a comparison asked for on its own
// must answer the same.
TEST_F(ListModelTest, ComparisonsOutsideASortAgreeWithIt) {
  for (const char* a : {"printer.local", "10.0.0.10", CListModel::kPrinterPortText, "010.0.0.9", "10.0.0.9",
                        "alpha", "1.2.3"})
    add("m", a, a);
  m_list.kSort(1, TRUE);
  EXPECT_EQ(order(), (Order{CListModel::kPrinterPortText, "1.2.3", "010.0.0.9", "10.0.0.9", "10.0.0.10", "alpha",
                             "printer.local"}));
  for (int n = 0; n + 1 < m_list.kGetItemCount(); ++n)
    EXPECT_LE(m_list.CompareItems(m_list.kGetItemData(n), m_list.kGetItemData(n + 1), 1, TRUE), 0) << n;
  CListModelRecord padded{"m", "010.0.0.9", "", ""}, plain{"m", "10.0.0.9", "", ""}, name{"m", "alpha", "", ""};
  EXPECT_EQ(m_list.CompareItems(&padded, &plain, 1, TRUE), 0);
  EXPECT_EQ(m_list.CompareItems(&name, &plain, 1, TRUE), 1);
  EXPECT_EQ(m_list.CompareItems(&name, &plain, 1, FALSE), -1);
}

TEST_F(ListModelTest, AddressNormalisationAndConversion) {
  EXPECT_EQ(CListModel::kNormaliseAddress("010.001.002.003"), "10.1.2.3");
  EXPECT_EQ(CListModel::kNormaliseAddress("192.168.000.001"), "192.168.0.1");
  uint32_t a = 0;
  EXPECT_TRUE(CListModel::kConvertAddress("10.1.2.3", a));
  EXPECT_EQ(a, 0x0A010203u);
  EXPECT_TRUE(CListModel::kConvertAddress("10.258", a));  // inet_addr's short forms
  EXPECT_EQ(a, 0x0A000102u);
  EXPECT_FALSE(CListModel::kConvertAddress("1.2.3.256", a));
  EXPECT_FALSE(CListModel::kConvertAddress("1.2.3.4.5", a));
  EXPECT_FALSE(CListModel::kConvertAddress("1..2", a));
  EXPECT_FALSE(CListModel::kConvertAddress("255.255.255.255", a));
  EXPECT_FALSE(CListModel::kConvertAddress("", a));
  EXPECT_FALSE(CListModel::kConvertAddress("99999999999", a));
}

TEST_F(ListModelTest, NameAndDescriptionColumnsCompareAsText) {
  add("beta", "1.1.1.1", "b");
  add("Alpha", "1.1.1.2", "a");
  m_list.kSort(0, TRUE);
  EXPECT_EQ(order(), (Order{"a", "b"}));
  m_list.kSort(2, FALSE);
  EXPECT_EQ(order(), (Order{"b", "a"}));
}

TEST_F(ListModelTest, FormatsAndImages) {
  EXPECT_EQ(m_list.GetColumnFormat(0), 0x8824u);
  EXPECT_EQ(m_list.GetColumnFormat(1), 0x8826u);
  CListModelRecord port{"m", CListModel::kPrinterPortText, "", ""};
  CListModelRecord net{"m", "1.2.3.4", "", ""};
  EXPECT_EQ(m_list.RequestImage(&port, 0), 0);
  EXPECT_EQ(m_list.RequestImage(&net, 0), 1);
  EXPECT_EQ(m_list.RequestImage(nullptr, 0), 0);
}

TEST_F(ListModelTest, AutomaticColumnWidth) {
  EXPECT_EQ(m_list.kCalcColumnWidth(0), 2 * GetSystemMetrics(SM_CXEDGE)) << "no items";
  add("same text", "same text", "");
  const int nModel = m_list.kCalcColumnWidth(0);
  const int nAddress = m_list.kCalcColumnWidth(1);
  // Column 0 leaves room for the item image and the frame.
  EXPECT_EQ(nModel - nAddress, GetSystemMetrics(SM_CXSMICON) + GetSystemMetrics(SM_CXFRAME));
  // A bold item needs more room than the same text in the list's font.
  add("m", "same text", "", TRUE);
  EXPECT_GT(m_list.kCalcColumnWidth(1), nAddress);
  m_list.kAutoSizeColumn(1);
  EXPECT_EQ(ListView_GetColumnWidth(m_hList, 1), m_list.kCalcColumnWidth(1));
}

TEST_F(ListModelTest, TooltipsAreCutToTheirBuffer) {
  const std::string strLong(200, 'x');
  add("m", "1.2.3.4", strLong);
  EXPECT_EQ(m_list.kGetToolTipText(0, 2).size(), CAdvListCtrl::kMaxToolTip - 1);
  EXPECT_EQ(m_list.kGetToolTipText(0, 1), "1.2.3.4");
  EXPECT_EQ(m_list.kGetToolTipText(5, 1), "");
  // The wide request gets the same cut text.
  NMLISTVIEW hot = {};
  hot.hdr.hwndFrom = m_hList;
  hot.hdr.code = LVN_HOTTRACK;
  hot.iItem = 0;
  hot.iSubItem = 2;
  LRESULT lResult = 0;
  ASSERT_TRUE(m_list.kOnNotify(&hot.hdr, lResult));
  NMTTDISPINFOW info = {};
  info.hdr.code = TTN_GETDISPINFOW;
  ASSERT_TRUE(m_list.kOnNotify(&info.hdr, lResult));
  EXPECT_EQ(lstrlenW(info.lpszText), static_cast<int>(CAdvListCtrl::kMaxToolTip - 1));
}

}  // namespace
