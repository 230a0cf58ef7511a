// The pages under UI scripts: what each preselects, greys out and writes
// into the setup state when a person answers it.
#include "res/resource.h"
#include "wizard/complete_dialog.h"
#include "wizard/license_dialog.h"
#include "wizard/setup_kind_dialog.h"
#include "wizard/text_from_file.h"
#include "wizard/update_printer_dialog.h"
#include "wizard/usb_printer_list.h"
#include "wizard/wizard_fixture.h"

namespace {

using wiztest::candidate;

class Pages : public wiztest::WizardFixture {
 protected:
  void SetUp() override {
    WizardFixture::SetUp();
    SETUP_GLOBAL.m_pSetupIniInfo = &m_ini;
  }
};

TEST_F(Pages, LicenceNotAgreedInAdvanceKeepsOkDisabledUntilAgreeing) {
  m_ini.nDefaultAgreeElement = AGREE_NOTAGREE;
  useScript("page 1000: click 1003; ok\n");
  EXPECT_EQ(CLicenseDialog(nullptr).DoModal(), IDOK);
  const std::string strLog = transcript();
  EXPECT_NE(strLog.find("1004 radio (*)"), std::string::npos) << strLog;
  EXPECT_NE(strLog.find("(disabled)"), std::string::npos) << strLog;
}

TEST_F(Pages, LicenceFallsBackToTheBuiltInText) {
  // No package: the language folder has no licence, the program's own text
  // is shown.
  std::string strText;
  CLicenseDialog page(nullptr);
  ASSERT_TRUE(page.kLoadBinaryData(strText));
  EXPECT_FALSE(strText.empty());
  useScript("page 1000: cancel\n");
  EXPECT_EQ(CLicenseDialog(nullptr).DoModal(), IDCANCEL);
  EXPECT_NE(transcript().find(strText.substr(0, 20)), std::string::npos);
}

TEST_F(Pages, SetupKindBoxesExcludeEachOther) {
  CKV_SETUPApp& app = SETUP_GLOBAL;
  app.m_bNQAvailable = 1;
  app.m_bUSBDriverExist = 1;
  // USB preselected: the network box is greyed until USB is unticked.
  m_ini.nDefaultConnectTypeElement = CONNECTTYPE_USB;
  useScript("page 133: uncheck 1012; check 1011; ok\n");
  EXPECT_EQ(CSetupKindDialog(nullptr).DoModal(), IDOK);
  EXPECT_EQ(app.m_nSetupKind, SETUPKIND_ADD);
  EXPECT_EQ(app.m_bNetworkSearch, 1);
  EXPECT_EQ(app.m_bUSBInstall, 0);
  EXPECT_NE(transcript().find("1011 check [ ] \"\" (disabled)"), std::string::npos) << transcript();

  // Network preselected: USB is greyed; the update radio clears both choices.
  m_ini.nDefaultConnectTypeElement = CONNECTTYPE_NETWORK;
  useScript("page 133: click 1008; ok\n");
  EXPECT_EQ(CSetupKindDialog(nullptr).DoModal(), IDOK);
  EXPECT_EQ(app.m_nSetupKind, SETUPKIND_UPDATE);
  EXPECT_EQ(app.m_bNetworkSearch, 0);
  EXPECT_EQ(app.m_bUSBInstall, 0);
}

TEST_F(Pages, SetupKindWithoutUpdateOffersAddingOnly) {
  CKV_SETUPApp& app = SETUP_GLOBAL;
  m_ini.bVisibleUpdatePrinter = 0;
  app.m_nSetupKind = SETUPKIND_UPDATE;
  useScript("page 133: ok\n");
  EXPECT_EQ(CSetupKindDialog(nullptr).DoModal(), IDOK);
  EXPECT_EQ(app.m_nSetupKind, SETUPKIND_ADD);
  const std::string strLog = transcript();
  EXPECT_EQ(strLog.find("1008 radio"), std::string::npos) << strLog;
  EXPECT_EQ(strLog.find("1012 check"), std::string::npos) << "no USB model, no USB box";
  // Without the network library the box stays greyed.
  EXPECT_NE(strLog.find("1011 check [ ] \"\" (disabled)"), std::string::npos) << strLog;
}

TEST_F(Pages, UpdateListShowsThePrintersOrEndsWithoutThem) {
  CKV_SETUPApp& app = SETUP_GLOBAL;
  useScript("");
  EXPECT_EQ(CUpdatePrinterDialog(nullptr).DoModal(), IDCANCEL);
  app.m_lstUpdatePrinters = {"Office", "Lab"};
  useScript("page 134: ok\n");
  EXPECT_EQ(CUpdatePrinterDialog(nullptr).DoModal(), IDOK);
  EXPECT_NE(transcript().find("Office"), std::string::npos);
  EXPECT_NE(transcript().find("Lab"), std::string::npos);
}

TEST_F(Pages, UsbModelListOfOneIsTakenWithoutShowing) {
  CKV_SETUPApp& app = SETUP_GLOBAL;
  const char* pszPlatform = CEnvironment::kIsAMD64() ? "NTamd64" : "NTx86";
  auto& lst = app.m_pDriverInfomation->VEXOGetCandidateDriverList();
  lst.push_back(candidate("Only USB", 3, TRUE, pszPlatform));
  lst.push_back(candidate("Not USB", 3, FALSE, pszPlatform));
  lst.push_back(candidate("Other platform", 3, TRUE, "NTia64"));
  lst.push_back(candidate("Old driver", 2, TRUE, pszPlatform));
  useScript("");
  EXPECT_EQ(CUsbPrinterList(nullptr).DoModal(), IDOK);
  EXPECT_EQ(app.m_CDE.strDriverName, "Only USB");

  // Two models: the page asks, OK greyed until a line is chosen.
  lst.push_back(candidate("Another USB", 3, TRUE, pszPlatform));
  app.m_CDE = CCandidateDriver();
  useScript("page 149: select 1029 \"only usb\"; ok\n");
  EXPECT_EQ(CUsbPrinterList(nullptr).DoModal(), IDOK);
  EXPECT_EQ(app.m_CDE.strDriverName, "Only USB");
  const std::string strLog = transcript();
  EXPECT_NE(strLog.find("Another USB"), std::string::npos);
  EXPECT_NE(strLog.find("(disabled)"), std::string::npos);
}

TEST_F(Pages, CompletionOffersTheRestartWhenNeeded) {
  CKV_SETUPApp& app = SETUP_GLOBAL;
  app.m_strLogFile = writeFile("INNELI.LOG", "line one\nline two\n");
  app.m_bSuccess = 1;
  app.m_bOSReboot = 1;
  useScript("page 135: ok\n");
  EXPECT_EQ(CCompleteDialog(nullptr).DoModal(), IDOK);
  EXPECT_EQ(app.m_bRebootSelected, 1);
  EXPECT_NE(transcript().find("line two"), std::string::npos);

  app.m_bRebootSelected = 0;
  useScript("page 135: click 1004; ok\n");
  EXPECT_EQ(CCompleteDialog(nullptr).DoModal(), IDOK);
  EXPECT_EQ(app.m_bRebootSelected, 0);
}

TEST_F(Pages, CompletionOfAFailureSaysSoAndWithoutRestartNeverSelectsIt) {
  CKV_SETUPApp& app = SETUP_GLOBAL;
  app.m_strLogFile = writeFile("INNELI.LOG", "report\n");
  app.m_bInstallError = 1;
  useScript("msgbox *: ok\npage 135: ok\n");
  EXPECT_EQ(CCompleteDialog(nullptr).DoModal(), IDOK);
  EXPECT_EQ(app.m_bRebootSelected, 0);
  EXPECT_EQ(transcript().find("1003 radio"), std::string::npos) << "the restart choice stays hidden";
}

TEST_F(Pages, CompletionWithoutReportEnds) {
  SETUP_GLOBAL.m_strLogFile = writeFile("missing\\..\\none.log", "");
  SETUP_GLOBAL.m_strLogFile += ".absent";
  useScript("");
  EXPECT_EQ(CCompleteDialog(nullptr).DoModal(), IDCANCEL);
}

// The page a test opens, with the control that had the focus when its
// start ended and what WM_INITDIALOG answered.
template <class Page>
struct FirstFocus : Page {
  using Page::Page;
  BOOL OnInitDialog() override {
    const BOOL bResult = Page::OnInitDialog();
    m_nFocusId = ::GetFocus() ? GetDlgCtrlID(::GetFocus()) : 0;
    m_bAnswer = bResult;
    return bResult;
  }
  int m_nFocusId = 0;
  BOOL m_bAnswer = TRUE;
};

TEST_F(Pages, PagesWithALongTextStartOnAButtonNotInTheTextBox) {
  // The page is not shown while it starts: the dialog manager would give
  // its first focus to the text box, selecting all of it.
  CKV_SETUPApp& app = SETUP_GLOBAL;
  useScript("page 1000: ok\n");
  FirstFocus<CLicenseDialog> licence(nullptr);
  EXPECT_EQ(licence.DoModal(), IDOK);
  EXPECT_EQ(licence.m_nFocusId, IDOK);
  EXPECT_FALSE(licence.m_bAnswer);

  // Not agreed in advance: Next is greyed, the focus goes to the next choice.
  m_ini.nDefaultAgreeElement = AGREE_NOTAGREE;
  useScript("page 1000: cancel\n");
  FirstFocus<CLicenseDialog> undecided(nullptr);
  EXPECT_EQ(undecided.DoModal(), IDCANCEL);
  EXPECT_EQ(undecided.m_nFocusId, 1003);

  app.m_lstUpdatePrinters = {"Office"};
  useScript("page 134: ok\n");
  FirstFocus<CUpdatePrinterDialog> update(nullptr);
  EXPECT_EQ(update.DoModal(), IDOK);
  EXPECT_EQ(update.m_nFocusId, IDOK);

  app.m_strLogFile = writeFile("INNELI.LOG", "report\n");
  app.m_bSuccess = 1;
  useScript("page 135: ok\n");
  FirstFocus<CCompleteDialog> completion(nullptr);
  EXPECT_EQ(completion.DoModal(), IDOK);
  EXPECT_EQ(completion.m_nFocusId, IDOK);
}

TEST_F(Pages, SuccessTestIgnoresWarningsAndCountsRestartWithoutSuccessAsFailure) {
  CKV_SETUPApp& app = SETUP_GLOBAL;
  app.m_bSuccess = 1;
  app.m_bWarning = 1;
  EXPECT_TRUE(CCompleteDialog::kIsInsutallSucceed());
  app.m_bOSReboot = 1;
  EXPECT_TRUE(CCompleteDialog::kIsInsutallSucceed());
  app.m_bSuccess = 0;
  EXPECT_FALSE(CCompleteDialog::kIsInsutallSucceed());
  app.m_bSuccess = 1;
  app.m_bBreakOff = 1;
  EXPECT_FALSE(CCompleteDialog::kIsInsutallSucceed());
}

TEST_F(Pages, TextReaderEndsEveryLineWithCrLf) {
  std::string strText = "old";
  kStdAfxGetTextFromFile(strText, writeFile("a.txt", "one\r\ntwo\nthree"));
  EXPECT_EQ(strText, "one\r\ntwo\r\nthree\r\n");
  kStdAfxGetTextFromFile(strText, writeFile("b.txt", "") + ".absent");
  EXPECT_EQ(strText, "");
}

}  // namespace
