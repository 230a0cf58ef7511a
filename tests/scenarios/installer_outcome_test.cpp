// Batch runs that reach the external installer: the stand-in adds the
// printer, or is steered to report an error, a warning or a restart, to
// crash, to end cancelled, or is missing. Each run is judged by the printer
// list, the files in the temporary folder and the parent's status word.
#include <fstream>
#include <sstream>

#include "scenarios/scenario.h"

namespace {

using scenario::Outcome;
using scenario::parentLine;

namespace fs = std::filesystem;

constexpr const char kDriver[] = "KV LaserPro 5000";

std::string readWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class InstallerOutcome : public scenario::ScenarioTest {
 protected:
  // Steers the stand-in through its machine settings.
  void knobs(const std::string& strValues) {
    const fs::path reg = m_root / "neli.reg";
    std::ofstream(reg) << "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\KVSim\\NELI]\n"
                       << strValues;
    kvsim({"reg", "import", reg.string()});
  }
  Outcome batchAdd(const std::vector<std::string>& lstMore = {}, const std::string& strScript = "") {
    std::vector<std::string> args{"+B", std::string("+A:") + kDriver, "+Q:1"};
    args.insert(args.end(), lstMore.begin(), lstMore.end());
    return run(args, strScript);
  }
  // The frame's states before the installer come with the wizard's pages;
  // without them the run ends at the licence state.
  bool frameIsIn(const Outcome& r) {
    return r.strDetailLog.find("no wizard pages in this build") == std::string::npos &&
           r.strDetailLog.find("kOnDispSetupKindDialog() this state is not part of this build yet") ==
               std::string::npos;
  }
  std::string report() { return readWhole(m_temp / "INNELI.LOG"); }
  std::string interfaceFile() { return readWhole(m_temp / "NELSETUP.INI"); }
};

#define REQUIRE_FRAME(r)                                                        \
  if (!frameIsIn(r)) GTEST_SKIP() << "the wizard's frame is not in this build yet"

TEST_F(InstallerOutcome, BatchAddCreatesThePrinterAndReportsSuccess) {
  const Outcome r = batchAdd();
  REQUIRE_FRAME(r);
  EXPECT_EQ(r.nExit, 0) << r.describe();
  ASSERT_FALSE(r.lstParent.empty()) << r.describe();
  EXPECT_EQ(r.lstParent.back(), parentLine(0, 0, 0)) << r.describe();
  EXPECT_NE(interfaceFile().find(std::string("[PRINTEROBJECT.") + kDriver + ".Win2k]"), std::string::npos);
  const std::string strReport = report();
  // The summary first, then the installer's own lines.
  const size_t nStatus = strReport.find("\r\n\r\n\r\nNELI: ");
  EXPECT_NE(nStatus, std::string::npos) << strReport;
  EXPECT_NE(strReport.find(std::string("NELI: printer ") + kDriver + " created"), std::string::npos) << strReport;
  EXPECT_TRUE(r.logHas("CMainFrame::kOnExecuteNELI strConst=\"")) << r.describe();
}

struct StatusCase {
  const char* pszName;
  const char* pszKnobs;
  unsigned long long ullParentStatus;
};

class InstallerStatus : public InstallerOutcome, public testing::WithParamInterface<StatusCase> {};

TEST_P(InstallerStatus, ReachesTheParent) {
  knobs(GetParam().pszKnobs);
  const Outcome r = batchAdd();
  REQUIRE_FRAME(r);
  ASSERT_FALSE(r.lstParent.empty()) << r.describe();
  EXPECT_EQ(r.lstParent.back(), parentLine(0, GetParam().ullParentStatus, 0)) << r.describe();
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, InstallerStatus,
    testing::Values(StatusCase{"Error", "\"Status\"=dword:00000001\n", 0x1},
                    StatusCase{"Warning", "\"Status\"=dword:00000004\n", 0x4},
                    StatusCase{"RebootNeeded", "\"Status\"=dword:00010000\n", 0x10000},
                    StatusCase{"Crashed", "\"Crash\"=dword:00000001\n", 0x1},
                    StatusCase{"CancelledWithoutAWord", "\"NoPost\"=dword:00000001\n\"ExitCode\"=dword:000004c7\n",
                               0x2}),
    [](const testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.pszName); });

TEST_F(InstallerOutcome, SilentModeEndsWithTheInstallersExitCode) {
  knobs("\"Status\"=dword:00000002\n\"ExitCode\"=dword:000004c7\n");
  const Outcome r = batchAdd({"+1"});
  REQUIRE_FRAME(r);
  // The host keeps 8 bits of an exit code: 1223 arrives as 199.
  EXPECT_EQ(r.nExit, 1223 & 0xFF) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnExecuteNELI() post WM_CLOSE dwExitCode=1223\n")) << r.describe();
}

TEST_F(InstallerOutcome, MissingInstallerIsAnErrorWithItsMessage) {
  removePackageFile("INSTDLL/NELI64.EXE");
  const Outcome r = batchAdd({}, "msgbox IDS_ERR_NELIWAKEUP: ok\n");
  REQUIRE_FRAME(r);
  EXPECT_TRUE(r.transcriptHas("[IDS_ERR_NELIWAKEUP]")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnExecuteNELI() return 1 (1) LastError=")) << r.describe();
  ASSERT_FALSE(r.lstParent.empty()) << r.describe();
  EXPECT_EQ(r.lstParent.back(), parentLine(0, 1, 0)) << r.describe();
}

TEST_F(InstallerOutcome, RestartNeededIsOfferedOnTheCompletionPageAndRecorded) {
  knobs("\"Status\"=dword:00010000\n");
  const Outcome r = run({}, "page 1000: ok\npage 133: uncheck 1011; ok\npage 135: click 1003; ok\n");
  REQUIRE_FRAME(r);
  EXPECT_TRUE(r.logHas("CMainFrame::kOnExecuteNELI() post WM_DISP_COMPLETE\n")) << r.describe();
  EXPECT_TRUE(r.logHas("post UM_EXIT_REBOOT")) << r.describe();
  EXPECT_TRUE(r.logHas("CKV_SETUPApp::kRebootExit() return TRUE (2) ExitWindowsEx=1")) << r.describe();
  ASSERT_FALSE(r.lstParent.empty()) << r.describe();
  EXPECT_EQ(r.lstParent.back(), parentLine(0, 0x10000, 0)) << r.describe();
  EXPECT_NE(report().find("NELI: status 0x00010000"), std::string::npos) << report();
}

}  // namespace
