// The frame's state machine with every page replaced by its result: each row
// sets up the run, calls one handler and names the one message it must post
// and the result flags it must leave.
#include <functional>
#include <map>
#include <vector>

#include "wizard/wizard_fixture.h"
#include "res/resource.h"

namespace {

using wiztest::candidate;

struct Row {
  const char* name;
  LRESULT (CMainFrame::*handler)(WPARAM, LPARAM);
  std::function<void(CKV_SETUPApp&)> setup;
  std::map<UINT, INT_PTR> pages;                       // template -> result; missing: not expected to show
  std::function<void(CKV_SETUPApp&, UINT)> onPage;     // what the page writes before it ends
  const UINT* expected;                                // the message posted (nullptr: WM_CLOSE)
  int cancel;
  int breakOff;
  int installError = 0;  // a package that cannot serve the run is an error, not a break-off
};

const UINT kClose = WM_CLOSE;

class FrameTransitions : public wiztest::WizardFixture {
 protected:
  void SetUp() override {
    WizardFixture::SetUp();
    m_frame = std::make_unique<CMainFrame>(SETUP_GLOBAL);
    ASSERT_NE(m_frame->kCreate("frame test"), nullptr);
    SETUP_GLOBAL.m_pDriverInfomation->VEXOGetCandidateDriverList().push_back(candidate("Model A"));
    SETUP_GLOBAL.m_lstSetupCandidate.push_back(candidate("Model A"));
  }
  void TearDown() override {
    if (m_frame && m_frame->kGetSafeHwnd()) DestroyWindow(m_frame->kGetSafeHwnd());
    m_frame.reset();
    dropQuit();
    WizardFixture::TearDown();
  }
  // The messages the frame has posted to itself, taken from its queue.
  std::vector<UINT> posted() {
    std::vector<UINT> lstMessages;
    MSG msg;
    while (PeekMessageA(&msg, m_frame->kGetSafeHwnd(), 0, 0, PM_REMOVE)) {
      if (msg.message != WM_QUIT) lstMessages.push_back(msg.message);
    }
    return lstMessages;
  }
  void run(const Row& row) {
    SCOPED_TRACE(row.name);
    resetApp();
    SETUP_GLOBAL.m_pDriverInfomation->VEXOGetCandidateDriverList().push_back(candidate("Model A"));
    SETUP_GLOBAL.m_lstSetupCandidate.push_back(candidate("Model A"));
    if (row.setup) row.setup(SETUP_GLOBAL);
    std::vector<UINT> lstShown;
    CKVIDlgForm::kSetPageRunner([&](CKVIDlgForm& page) -> INT_PTR {
      lstShown.push_back(page.kGetTemplateId());
      auto it = row.pages.find(page.kGetTemplateId());
      if (it == row.pages.end()) {
        ADD_FAILURE() << "page " << page.kGetTemplateId() << " was not expected";
        return IDCANCEL;
      }
      if (row.onPage) row.onPage(SETUP_GLOBAL, page.kGetTemplateId());
      return it->second;
    });
    EXPECT_EQ(((*m_frame).*(row.handler))(0, 0), 1);
    CKVIDlgForm::kSetPageRunner(nullptr);
    EXPECT_EQ(lstShown.size(), row.pages.size());
    const std::vector<UINT> lstPosted = posted();
    ASSERT_FALSE(lstPosted.empty()) << "nothing posted";
    EXPECT_EQ(lstPosted.front(), row.expected ? *row.expected : kClose);
    for (size_t n = 1; n < lstPosted.size(); ++n) EXPECT_EQ(lstPosted[n], kClose) << "only a second close may follow";
    EXPECT_EQ(SETUP_GLOBAL.m_bCancel, row.cancel);
    EXPECT_EQ(SETUP_GLOBAL.m_bBreakOff, row.breakOff);
    EXPECT_EQ(SETUP_GLOBAL.m_bInstallError, row.installError);
  }

  std::unique_ptr<CMainFrame> m_frame;
};

TEST_F(FrameTransitions, LicenceSetupKindUpdateUsbList) {
  using F = CMainFrame;
  const auto batch = [](CKV_SETUPApp& a) { a.m_bBSwitch = 1; };
  const Row rows[] = {
      {"licence, batch: no page", &F::kOnDispLicenseDialog, batch, {}, nullptr, &WM_DISP_SETUPKIND, 0, 0},
      {"licence, +Q hides it", &F::kOnDispLicenseDialog, [](CKV_SETUPApp& a) { a.m_bShowLicensePage = 0; }, {},
       nullptr, &WM_DISP_SETUPKIND, 0, 0},
      {"licence agreed", &F::kOnDispLicenseDialog, nullptr, {{IDD_LICENSE, IDOK}}, nullptr, &WM_DISP_SETUPKIND, 0, 0},
      {"licence declined", &F::kOnDispLicenseDialog, nullptr, {{IDD_LICENSE, IDCANCEL}}, nullptr, nullptr, 1, 0},
      {"licence page not created", &F::kOnDispLicenseDialog, nullptr, {{IDD_LICENSE, -1}}, nullptr, nullptr, 1, 0},
      {"setup kind, batch add: straight to the installer", &F::kOnDispSetupKindDialog,
       [](CKV_SETUPApp& a) {
         a.m_bBSwitch = 1;
         a.m_bUSBInstall = 1;
       },
       {}, nullptr, &WM_EXECUTE_NELI, 0, 0},
      {"setup kind, batch update", &F::kOnDispSetupKindDialog,
       [](CKV_SETUPApp& a) {
         a.m_bBSwitch = 1;
         a.m_nSetupKind = SETUPKIND_UPDATE;
       },
       {}, nullptr, &WM_DISP_UPDATEPRINTER, 0, 0},
      {"setup kind cancelled", &F::kOnDispSetupKindDialog, nullptr, {{IDD_SETUPKIND, IDCANCEL}}, nullptr, nullptr, 1, 0},
      {"setup kind add", &F::kOnDispSetupKindDialog, nullptr, {{IDD_SETUPKIND, IDOK}}, nullptr, &WM_EXECUTE_NELI, 0, 0},
      {"setup kind update", &F::kOnDispSetupKindDialog, nullptr, {{IDD_SETUPKIND, IDOK}},
       [](CKV_SETUPApp& a, UINT) { a.m_nSetupKind = SETUPKIND_UPDATE; }, &WM_DISP_UPDATEPRINTER, 0, 0},
      {"setup kind network", &F::kOnDispSetupKindDialog, nullptr, {{IDD_SETUPKIND, IDOK}},
       [](CKV_SETUPApp& a, UINT) { a.m_bNetworkSearch = 1; }, &WM_DISP_SEARCHPRINTER, 0, 0},
      {"setup kind USB", &F::kOnDispSetupKindDialog, nullptr, {{IDD_SETUPKIND, IDOK}},
       [](CKV_SETUPApp& a, UINT) { a.m_bUSBInstall = 1; }, &WM_DISP_USBPRINTERLIST, 0, 0},
      {"setup kind, no candidate for this system", &F::kOnDispSetupKindDialog,
       [](CKV_SETUPApp& a) { a.m_lstSetupCandidate.clear(); }, {{IDD_SETUPKIND, IDOK}}, nullptr, nullptr, 0, 0, 1},
      {"setup kind, no candidate but deleting", &F::kOnDispSetupKindDialog,
       [](CKV_SETUPApp& a) {
         a.m_lstSetupCandidate.clear();
         a.m_bBSwitch = 1;
         a.m_nSetupKind = SETUPKIND_DELETE;
       },
       {}, nullptr, &WM_EXECUTE_NELI, 0, 0},
      {"setup kind, the package cannot be analysed", &F::kOnDispSetupKindDialog,
       [](CKV_SETUPApp& a) {
         a.m_bBSwitch = 1;
         a.m_pDriverInfomation->VEXOGetCandidateDriverList().clear();
       },
       {}, nullptr, nullptr, 0, 0, 1},
      {"update list confirmed", &F::kOnDispUpdatePrinterDialog, nullptr, {{IDD_UPDATEPRINTER, IDOK}}, nullptr,
       &WM_EXECUTE_NELI, 0, 0},
      {"update list cancelled", &F::kOnDispUpdatePrinterDialog, nullptr, {{IDD_UPDATEPRINTER, IDCANCEL}}, nullptr,
       nullptr, 1, 0},
      {"update list, batch: no page", &F::kOnDispUpdatePrinterDialog, batch, {}, nullptr, &WM_EXECUTE_NELI, 0, 0},
      {"USB model chosen", &F::kOnDispUSBPrinterListDialog, nullptr, {{IDD_USBPRINTERLIST, IDOK}}, nullptr,
       &WM_DECIDE_INSTALLKIND, 0, 0},
      {"USB model page cancelled", &F::kOnDispUSBPrinterListDialog, nullptr, {{IDD_USBPRINTERLIST, IDCANCEL}}, nullptr,
       nullptr, 1, 0},
      {"USB model page without result ends the wizard", &F::kOnDispUSBPrinterListDialog, nullptr,
       {{IDD_USBPRINTERLIST, -1}}, nullptr, nullptr, 0, 1},
  };
  for (const Row& row : rows) run(row);
}

TEST_F(FrameTransitions, Completion) {
  using F = CMainFrame;
  const Row rows[] = {
      {"batch +Q: no page, no restart", &F::kOnDispCompleteDialog,
       [](CKV_SETUPApp& a) {
         a.m_bBSwitch = 1;
         a.m_bQSwitch = 1;
         a.m_bESwitch = 1;
         a.m_nRebootMethod = RebootMethod_DoReboot;
       },
       {}, nullptr, nullptr, 0, 0},
      {"batch +E:1", &F::kOnDispCompleteDialog,
       [](CKV_SETUPApp& a) {
         a.m_bBSwitch = 1;
         a.m_bESwitch = 1;
         a.m_nRebootMethod = RebootMethod_NotReboot;
       },
       {}, nullptr, nullptr, 0, 0},
      {"batch +E:2 restarts without a page", &F::kOnDispCompleteDialog,
       [](CKV_SETUPApp& a) {
         a.m_bBSwitch = 1;
         a.m_bESwitch = 1;
         a.m_nRebootMethod = RebootMethod_DoReboot;
       },
       {}, nullptr, &UM_EXIT_REBOOT, 0, 0},
      {"batch +E:0 leaves it to the page", &F::kOnDispCompleteDialog,
       [](CKV_SETUPApp& a) {
         a.m_bBSwitch = 1;
         a.m_bESwitch = 1;
         a.m_nRebootMethod = RebootMethod_Page;
       },
       {{IDD_COMPLETE, IDOK}}, [](CKV_SETUPApp& a, UINT) { a.m_bRebootSelected = 1; }, &UM_EXIT_REBOOT, 0, 0},
      {"+Q hides the page", &F::kOnDispCompleteDialog,
       [](CKV_SETUPApp& a) {
         a.m_bQSwitch = 1;
         a.m_bShowCompletePage = 0;
       },
       {}, nullptr, nullptr, 0, 0},
      {"page, restart later", &F::kOnDispCompleteDialog, nullptr, {{IDD_COMPLETE, IDOK}}, nullptr, nullptr, 0, 0},
      {"page, restart now", &F::kOnDispCompleteDialog, nullptr, {{IDD_COMPLETE, IDOK}},
       [](CKV_SETUPApp& a, UINT) { a.m_bRebootSelected = 1; }, &UM_EXIT_REBOOT, 0, 0},
      {"page, report unreadable", &F::kOnDispCompleteDialog, nullptr, {{IDD_COMPLETE, IDCANCEL}},
       [](CKV_SETUPApp& a, UINT) { a.m_bRebootSelected = 1; }, nullptr, 0, 0},
  };
  for (const Row& row : rows) run(row);
}

TEST_F(FrameTransitions, StatusWordSetsFlagsAndNeverClearsThem) {
  CKV_SETUPApp& app = SETUP_GLOBAL;
  m_frame->kOnBaseProc(0x10005, 0);
  EXPECT_EQ(app.m_bSuccess, 0);
  EXPECT_EQ(app.m_bInstallError, 1);
  EXPECT_EQ(app.m_bWarning, 1);
  EXPECT_EQ(app.m_bOSReboot, 1);
  EXPECT_EQ(app.m_bBreakOff, 0);
  m_frame->kOnBaseProc(0x2, 0);
  EXPECT_EQ(app.m_bSuccess, 1);
  EXPECT_EQ(app.m_bInstallError, 1);
  EXPECT_EQ(app.m_bBreakOff, 1);
  EXPECT_TRUE(posted().empty());
}

TEST_F(FrameTransitions, UpdateListTakesPrintersWhoseDriverThePackageRenews) {
  // No printer in use: the batch update goes on to the installer with an
  // empty list, and a shown page would have nothing to confirm.
  CKV_SETUPApp& app = SETUP_GLOBAL;
  app.m_bBSwitch = 1;
  m_frame->kOnDispUpdatePrinterDialog(0, 0);
  EXPECT_TRUE(app.m_lstUpdatePrinters.empty());
  EXPECT_EQ(posted().front(), WM_EXECUTE_NELI);
}

}  // namespace
