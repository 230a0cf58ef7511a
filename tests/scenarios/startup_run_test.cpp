// Start-ups that reach the end of the checks, or meet another instance of
// the program, and the spooler check that comes last.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "scenarios/scenario.h"

namespace {

using scenario::Outcome;
using scenario::parentLine;

class StartupRun : public scenario::ScenarioTest {};

// The value of a "name = %X" line of the detail log; 0 when there is none.
unsigned long loggedId(const Outcome& r, const std::string& strName) {
  const std::string strHead = "kRegisterMessageID " + strName + " = ";
  const size_t at = r.strDetailLog.find(strHead);
  if (at == std::string::npos) return 0;
  return std::strtoul(r.strDetailLog.c_str() + at + strHead.size(), nullptr, 16);
}

TEST_F(StartupRun, StoppedSpoolerIsRefused) {
  kvsim({"service", "set", "Spooler", "stopped"});
  const Outcome r = run({}, "msgbox IDS_ERR_STOPSPOOLER: ok\n");
  EXPECT_EQ(r.nExit, 28) << r.describe();
  EXPECT_TRUE(r.logHas("CKV_SETUPApp::InitInstance() return FALSE (28) kCheckSpoolerStatus returned FALSE.\n"))
      << r.describe();
  EXPECT_TRUE(r.transcriptHas("(0x30) [IDS_ERR_STOPSPOOLER]\n")) << r.describe();
  EXPECT_TRUE(r.transcriptHas("  | The Print Spooler service is not running.")) << r.describe();
  ASSERT_EQ(r.lstParent.size(), 2u) << r.describe();
  EXPECT_EQ(r.lstParent[0].rfind("kind=2 ", 0), 0u) << r.describe();
  // A refused start is no success for the parent.
  EXPECT_EQ(r.lstParent[1], parentLine(0, 1, 0)) << r.describe();
}

TEST_F(StartupRun, CleanStartUpHandsOverToTheFrame) {
  // The frame's first page is the licence; declining it ends the run as
  // cancelled.
  const Outcome r = run({}, "page 1000: cancel\n");
  EXPECT_EQ(r.nExit, 0) << r.describe();
  EXPECT_EQ(r.strDetailLog.find("InitInstance() return FALSE"), std::string::npos) << r.describe();
  // The wizard's first message was registered and posted to the frame.
  EXPECT_NE(loggedId(r, "WM_DISP_LICENSE"), 0ul) << r.describe();
  EXPECT_TRUE(r.logHas("CKV_SETUPApp::ExitInstance() dwStatus = [0x00000002]\n")) << r.describe();
  // The announcement first: the wizard's main window and its session message id.
  ASSERT_EQ(r.lstParent.size(), 2u) << r.describe();
  const unsigned long uSession = loggedId(r, "WM_SESSIONBASE_MESSAGE");
  ASSERT_NE(uSession, 0ul) << r.describe();
  char szSession[32];
  std::snprintf(szSession, sizeof szSession, " lParam=0x%08lx", uSession);
  EXPECT_EQ(r.lstParent[0].rfind("kind=2 wParam=0x", 0), 0u) << r.describe();
  EXPECT_EQ(r.lstParent[0].find(" wParam=0x00000000 "), std::string::npos) << r.describe();
  EXPECT_NE(r.lstParent[0].find(szSession), std::string::npos) << r.describe();
  EXPECT_EQ(r.lstParent[1], parentLine(0, 2, 0)) << r.describe();
  // Nothing asked the user anything.
  EXPECT_EQ(r.strTranscript.find("== msgbox"), std::string::npos) << r.describe();
}

TEST_F(StartupRun, SecondInstanceEndsWhileTheFirstRuns) {
  // The first instance stays at its start question for a while (1.5 s on the
  // tests' clock), then declines it.
  scenario::Started first = start({"+I"}, "wait 150\nmsgbox IDS_MSG_START_CONFIRM1: no\n");
  ASSERT_TRUE(waitForParentLine(first, "kind=2 ")) << finish(first).describe();

  const Outcome second = run({}, "");
  EXPECT_EQ(second.nExit, 7) << second.describe();
  EXPECT_EQ(second.strTranscript, "") << second.describe();
  ASSERT_EQ(second.lstParent.size(), 1u) << second.describe();
  EXPECT_EQ(second.lstParent[0], parentLine(0, 1, 0)) << second.describe();
  EXPECT_TRUE(second.logHas("CKV_SETUPApp::InitInstance() return FALSE (7) LastError=")) << second.describe();
  EXPECT_TRUE(second.logHas(" kCheckDuplicationExecute fail\n")) << second.describe();

  const Outcome firstRun = finish(first);
  EXPECT_EQ(firstRun.nExit, 21) << firstRun.describe();
  EXPECT_TRUE(firstRun.transcriptHas("[IDS_MSG_START_CONFIRM1 IDS_MSG_START_CONFIRM2]")) << firstRun.describe();
  ASSERT_EQ(firstRun.lstParent.size(), 2u) << firstRun.describe();
  // Declining the start question is the user's cancel.
  EXPECT_EQ(firstRun.lstParent[1], parentLine(0, 2, 0)) << firstRun.describe();
  // The second start did not remove the running instance's detail log: the
  // log holds the first instance's start-up, then the refused second one.
  const std::string& strLog = firstRun.strDetailLog;
  const size_t nFirstBanner = strLog.find("KV_SETUP Detail Log");
  const size_t nSecondBanner = strLog.find("KV_SETUP Detail Log", nFirstBanner + 1);
  ASSERT_NE(nSecondBanner, std::string::npos) << firstRun.describe();
  EXPECT_LT(nSecondBanner, strLog.find(" kCheckDuplicationExecute fail\n")) << firstRun.describe();
  EXPECT_TRUE(firstRun.logHas("CKV_SETUPApp::InitInstance() return FALSE (21) ")) << firstRun.describe();

  // Both ends gave their place back: the next start is not a second instance.
  const Outcome third = run({"+I"}, "msgbox IDS_MSG_START_CONFIRM1: no\n");
  EXPECT_EQ(third.nExit, 21) << third.describe();
}

}  // namespace
