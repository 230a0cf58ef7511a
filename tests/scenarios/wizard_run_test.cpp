// Whole wizard runs on scratch machines: the pages a person answers, the
// batch runs that show none, and the status the parent installer hears.
// Runs that reach the external installer need the stand-in installer in the
// package (INSTDLL\NELI64.EXE); without it they are skipped.
#include <string>

#include "scenarios/scenario.h"

namespace {

using scenario::Outcome;
using scenario::parentLine;

class WizardRun : public scenario::ScenarioTest {
 protected:
  bool hasInstaller() const {
    std::error_code ec;
    return std::filesystem::exists(packageFile("INSTDLL/NELI64.EXE"), ec);
  }
  // The status word the parent heard last.
  static std::string lastParentLine(const Outcome& r) { return r.lstParent.empty() ? "" : r.lstParent.back(); }
};

TEST_F(WizardRun, DecliningTheLicenceCancelsTheWizard) {
  const Outcome r = run({}, "page 1000: click 1004; cancel\n");
  EXPECT_EQ(r.nExit, 0) << r.describe();
  EXPECT_TRUE(r.transcriptHas("-- page 1000 left with 2 (IDCANCEL)")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispLicenseDialog() post WM_CLOSE\n")) << r.describe();
  EXPECT_EQ(lastParentLine(r), parentLine(0, 2, 0)) << r.describe();
  EXPECT_FALSE(r.transcriptHas("== page 133")) << r.describe();
}

TEST_F(WizardRun, CancellingTheSetupKindCancelsTheWizard) {
  const Outcome r = run({}, "page 1000: ok\npage 133: cancel\n");
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispSetupKindDialog() post WM_CLOSE\n")) << r.describe();
  EXPECT_EQ(lastParentLine(r), parentLine(0, 2, 0)) << r.describe();
}

TEST_F(WizardRun, LicenceTextComesFromTheLanguageFolder) {
  writePackageFile("License/DI_ENU.txt", "Scenario licence words.\r\n");
  const Outcome r = run({}, "page 1000: cancel\n");
  EXPECT_TRUE(r.transcriptHas("Scenario licence words.")) << r.describe();
}

TEST_F(WizardRun, AddingGoesFromTheSetupKindToTheInstaller) {
  const std::string strScript = hasInstaller() ? "page 1000: ok\npage 133: uncheck 1011; ok\npage 135: ok\n"
                                               : "page 1000: ok\npage 133: uncheck 1011; ok\n";
  const Outcome r = run({}, strScript);
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispLicenseDialog() post WM_DISP_SETUPKIND\n")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispSetupKindDialog() post WM_EXECUTE_NELI\n")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnExecuteNELI wParam=0 lParam=0\n")) << r.describe();
}

TEST_F(WizardRun, UpdateWithoutPrintersInUseSaysSo) {
  const Outcome r = run({}, "page 1000: ok\npage 133: click 1008; ok\nmsgbox IDS_ERR_NOUPDATEPRINTER: ok\n");
  EXPECT_TRUE(r.logHas("no element in m_lstUpdatePrinters.\n")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispUpdatePrinterDialog() post WM_CLOSE\n")) << r.describe();
  EXPECT_EQ(lastParentLine(r), parentLine(0, 2, 0)) << r.describe();
}

TEST_F(WizardRun, PackageForAnotherSystemOnlyIsNotASuccess) {
  // Only the 32-bit drivers are left: this 64-bit machine gets no candidate.
  removePackageFile("DRIVERS/DISK1/KVX64.INF");
  const Outcome r = run({}, "page 1000: ok\npage 133: uncheck 1011; ok\nmsgbox *: ok\n");
  EXPECT_FALSE(r.logHas("post WM_EXECUTE_NELI")) << r.describe();
  EXPECT_NE(lastParentLine(r), parentLine(0, 0, 0)) << r.describe();
  EXPECT_TRUE(r.transcriptHas("== msgbox")) << r.describe();
}

TEST_F(WizardRun, InteractiveAddReachesTheInstallerAndTheCompletion) {
  if (!hasInstaller()) GTEST_SKIP() << "no stand-in installer in the package";
  const Outcome r = run({}, "page 1000: ok\npage 133: uncheck 1011; ok\npage 135: ok\n");
  EXPECT_EQ(r.nExit, 0) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispSetupKindDialog() post WM_EXECUTE_NELI\n")) << r.describe();
  EXPECT_TRUE(r.transcriptHas("== page 135")) << r.describe();
  EXPECT_EQ(lastParentLine(r), parentLine(0, 0, 0)) << r.describe();
}

TEST_F(WizardRun, BatchAddShowsNoPage) {
  if (!hasInstaller()) GTEST_SKIP() << "no stand-in installer in the package";
  const Outcome r = run({"+B", "+A:KV LaserPro 5000", "+N:Office", "+Q:0"}, "");
  EXPECT_EQ(r.nExit, 0) << r.describe();
  EXPECT_EQ(r.strTranscript.find("== page"), std::string::npos) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispLicenseDialog() post WM_DISP_SETUPKIND\n")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispCompleteDialog() post WM_CLOSE RebootMethod_NotReboot\n")) << r.describe();
  EXPECT_EQ(lastParentLine(r), parentLine(0, 0, 0)) << r.describe();
}

TEST_F(WizardRun, BatchUpdateDeleteAndDivertShowNoPage) {
  if (!hasInstaller()) GTEST_SKIP() << "no stand-in installer in the package";
  for (const auto& args : {std::vector<std::string>{"+B", "+R:KV LaserPro 5000", "+Q:0"},
                           std::vector<std::string>{"+B", "+D:KV LaserPro 5000", "+Q:0"},
                           std::vector<std::string>{"+B", "+N:Office,Lab", "+Q:0"}}) {
    const Outcome r = run(args, "");
    EXPECT_EQ(r.strTranscript.find("== page"), std::string::npos) << r.describe();
    EXPECT_TRUE(r.logHas("CMainFrame::kOnDispCompleteDialog() post WM_CLOSE RebootMethod_NotReboot\n"))
        << r.describe();
  }
}

TEST_F(WizardRun, BatchWithRestartRestartsWithoutAPage) {
  if (!hasInstaller()) GTEST_SKIP() << "no stand-in installer in the package";
  const Outcome r = run({"+B", "+A:KV LaserPro 5000", "+N:Office", "+E:2"}, "");
  EXPECT_EQ(r.strTranscript.find("== page"), std::string::npos) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispCompleteDialog() post UM_EXIT_REBOOT RebootMethod_DoReboot\n"))
      << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnExitReboot")) << r.describe();
}

TEST_F(WizardRun, UpdateOfTwoPrintersInUse) {
  if (!hasInstaller()) GTEST_SKIP() << "no stand-in installer in the package";
  for (const char* pszName : {"+N:Office", "+N:Lab"}) {
    const Outcome add = run({"+B", "+A:KV LaserPro 5000", pszName, "+Q:0"}, "");
    ASSERT_EQ(lastParentLine(add), parentLine(0, 0, 0)) << add.describe();
  }
  const Outcome r = run({}, "page 1000: ok\npage 133: click 1008; ok\npage 134: ok\npage 135: ok\n");
  EXPECT_TRUE(r.transcriptHas("Office")) << r.describe();
  EXPECT_TRUE(r.transcriptHas("Lab")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispUpdatePrinterDialog() post WM_EXECUTE_NELI\n")) << r.describe();
  EXPECT_EQ(lastParentLine(r), parentLine(0, 0, 0)) << r.describe();
}

}  // namespace
