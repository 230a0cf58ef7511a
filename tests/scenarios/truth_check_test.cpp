// The truth check and the script that follows a run, on records made by
// hand: each rule finds what it is for and nothing in a run that told the
// truth.
#include <gtest/gtest.h>

#include "lab.h"
#include "truth.h"

namespace {

using kvlab::Finding;
using kvlab::Record;

constexpr const char kDriver[] = "KV LaserPro 5000";

// A batch add that told success, on a machine with the spooler running.
Record successfulAdd() {
  Record r;
  r.lstArgs = {"+B", std::string("+A:") + kDriver};
  r.nExit = 0;
  r.status = 0;
  r.before.bRead = r.after.bRead = true;
  r.before.services = r.after.services = {{"Spooler", "running"}, {"Fax", "running"}};
  r.after.lstPrinters = {{kDriver, kDriver, "USB001"}};
  r.after.lstDrivers = {std::string("Windows x64\t") + kDriver};
  r.bReportWritten = true;
  r.lstResults = {"Completed successfully"};
  return r;
}

std::string texts(const std::vector<Finding>& l) { return kvlab::describeFindings(l); }

TEST(TruthCheck, ARunThatToldTheTruthHasNoFinding) {
  EXPECT_EQ(texts(kvlab::truthCheck(successfulAdd())), "");
  Record r = successfulAdd();
  r.status = 1;
  r.lstResults = {"Failed"};
  r.after.lstPrinters.clear();
  r.after.lstDrivers.clear();
  EXPECT_EQ(texts(kvlab::truthCheck(r)), "") << "a failure reported as one";
}

TEST(TruthCheck, SuccessWithoutAPrinterIsTheFirstLie) {
  Record r = successfulAdd();
  r.after.lstPrinters.clear();
  EXPECT_EQ(texts(kvlab::truthCheck(r)), "reported success, but no printer exists\n");
  // Interactively the report's setup kind tells the intent.
  r.lstArgs.clear();
  r.strSetupKind = "Add a new printer";
  EXPECT_EQ(texts(kvlab::truthCheck(r)), "reported success, but no printer exists\n");
  // A printer that was there before is not the one this run added.
  r.before.lstPrinters = r.after.lstPrinters = {{"Fax", "Generic Fax", "LPT1:"}};
  EXPECT_EQ(texts(kvlab::truthCheck(r)), "reported success, but no printer exists\n");
}

TEST(TruthCheck, TheReportThePageAndTheParentMustAgree) {
  Record r = successfulAdd();
  r.status = 1;
  r.strCompletion = "  | Result : \t\tCompleted successfully\n";
  const std::string s = texts(kvlab::truthCheck(r));
  EXPECT_NE(s.find("the parent was told 0x1 (an installation error), but the report says \"Completed successfully\""),
            std::string::npos)
      << s;
  EXPECT_NE(s.find("the completion page says \"Completed successfully\", but the parent was told 0x1"), std::string::npos)
      << s;
  r = successfulAdd();
  r.lstResults = {"Failed"};
  EXPECT_NE(texts(kvlab::truthCheck(r)).find("the parent was told success, but the report says \"Failed\""),
            std::string::npos);
  r = successfulAdd();
  r.bReportWritten = false;
  r.lstResults.clear();
  EXPECT_EQ(texts(kvlab::truthCheck(r)), "the parent was told 0x0, but this run wrote no report\n");
}

TEST(TruthCheck, TheInstalledPrinterBlockNamesAPrinterThatExists) {
  Record r = successfulAdd();
  r.lstInstalled = {{kDriver, "", ""}};
  EXPECT_EQ(texts(kvlab::truthCheck(r)), "the report names an installed printer without a name\n");
  r.lstInstalled = {{kDriver, "Office", "USB001"}};
  EXPECT_EQ(texts(kvlab::truthCheck(r)), "the report names the printer \"Office\", but no such printer exists\n");
  r.lstInstalled = {{kDriver, kDriver, "USB002"}};
  EXPECT_EQ(texts(kvlab::truthCheck(r)), "the report puts \"KV LaserPro 5000\" on USB002, but it is on USB001\n");
}

TEST(TruthCheck, AStoppedServiceLeavesTheMachineBroken) {
  Record r = successfulAdd();
  r.after.services["Spooler"] = "stopped";
  const auto findings = kvlab::truthCheck(r);
  EXPECT_EQ(texts(findings), "the service Spooler was left stopped\n");
  EXPECT_TRUE(kvlab::leftBroken(findings));
  // The machine refused the start, and the run said it failed: the truth.
  r.status = 1;
  r.lstResults = {"Failed"};
  r.after.lstPrinters.clear();
  r.after.lstDrivers.clear();
  r.after.faults = {{"ServiceFailsToStart", "Fax,spooler"}};
  EXPECT_EQ(texts(kvlab::truthCheck(r)), "");
  // A service that depends on the one refused cannot start either.
  r.after.faults = {{"ServiceFailsToStart", "Spooler"}};
  r.after.services["Fax"] = "stopped";
  r.after.serviceDependencies = {{"Fax", "RpcSs,Spooler"}};
  EXPECT_EQ(texts(kvlab::truthCheck(r)), "");
  r.after.serviceDependencies.clear();
  EXPECT_EQ(texts(kvlab::truthCheck(r)), "the service Fax was left stopped\n");
  // ... but not when the run said it succeeded.
  r = successfulAdd();
  r.after.services["Spooler"] = "stopped";
  r.after.faults = {{"ServiceFailsToStart", "*"}};
  EXPECT_EQ(texts(kvlab::truthCheck(r)), "the service Spooler was left stopped\n");
}

TEST(TruthCheck, TemporaryAndEmptiedFilesAreHalfWritten) {
  Record r = successfulAdd();
  r.before.files = {{"C:\\Windows\\System32\\KVLM64.DLL", 4096}};
  r.after.files = {{"C:\\Windows\\System32\\KVLM64.DLL", 0},
                   {"C:\\Windows\\System32\\spool\\drivers\\x64\\KVI3A.tmp", 0},
                   {"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\KVDRV64.DLL", 8192}};
  const auto findings = kvlab::truthCheck(r);
  EXPECT_EQ(texts(findings),
            "the file C:\\Windows\\System32\\KVLM64.DLL was emptied\n"
            "a half-written file was left: C:\\Windows\\System32\\spool\\drivers\\x64\\KVI3A.tmp (0 bytes)\n");
  EXPECT_TRUE(kvlab::leftBroken(findings));
}

TEST(TruthCheck, AReplacementWaitingForTheRestartNeedsItsBitAndItsBytes) {
  Record r = successfulAdd();
  r.after.lstPending = {{"C:\\Windows\\System32\\KVIS12.tmp", "C:\\Windows\\System32\\KVLM64.DLL", 0}};
  EXPECT_EQ(texts(kvlab::truthCheck(r)),
            "a replacement would empty C:\\Windows\\System32\\KVLM64.DLL at the restart (its source has 0 bytes)\n"
            "a replacement waits for the restart, but the restart bit is not set (status 0x0)\n");
  r.after.lstPending[0].llSourceSize = 4096;
  // Its source is the new file the restart puts in place, not a half-written one.
  r.after.files = {{"C:\\Windows\\System32\\KVIS12.tmp", 4096}};
  r.status = 0x10000;
  r.lstResults = {"Completed successfully", "Restart required"};
  EXPECT_EQ(texts(kvlab::truthCheck(r)), "");
  // One that was there before the run is not this run's.
  r.status = 0;
  r.lstResults = {"Completed successfully"};
  r.before.lstPending = r.after.lstPending;
  EXPECT_EQ(texts(kvlab::truthCheck(r)), "");
}

TEST(TruthCheck, AFailureThatKeepsItsDriverAndADeleteThatKeepsItsPrinter) {
  Record r = successfulAdd();
  r.status = 1;
  r.lstResults = {"Failed"};
  r.after.lstPrinters.clear();
  EXPECT_EQ(texts(kvlab::truthCheck(r)),
            "reported an installation error, but left the driver \"KV LaserPro 5000\" registered\n");
  r = successfulAdd();
  r.lstArgs = {"+B", std::string("+D:") + kDriver};
  r.before.lstPrinters = r.after.lstPrinters;
  EXPECT_EQ(texts(kvlab::truthCheck(r)), "reported success, but the printer \"KV LaserPro 5000\" still exists\n");
}

TEST(TruthCheck, AKilledRunIsLeftToTheNextAndAHungOneIsAFinding) {
  Record r = successfulAdd();
  r.after.lstPrinters.clear();
  r.bKilled = true;
  EXPECT_EQ(texts(kvlab::truthCheck(r)), "");
  r = successfulAdd();
  r.bTimedOut = true;
  r.nExit = -1;
  EXPECT_EQ(texts(kvlab::truthCheck(r)), "the run did not end in time and was killed\n");
}

// ---- The script that follows the run -----------------------------------------

Record misfit(const std::string& strWhy) {
  Record r;
  r.nExit = 3;
  r.strScriptMisfit = strWhy;
  return r;
}

TEST(AdaptScript, AnUnforeseenBoxIsAnsweredWhereItCame) {
  const std::vector<std::string> script = {"page 1000: next", "page 136", "page 145", "page 135: ok"};
  auto adapted = kvlab::adaptScript(
      script, misfit("message box \"The file cannot be copied\" opened, but /tmp/x/ui.txt:3 expects \"page 145\""));
  ASSERT_TRUE(adapted);
  EXPECT_EQ(kvlab::scriptText(*adapted), "page 1000: next\npage 136\nmsgbox *: ok\npage 145\npage 135: ok\n");
  adapted = kvlab::adaptScript(
      script, misfit("message box \"Restart now?\" has no button 'ok' (it has yes, no); /tmp/x/ui.txt:2"));
  EXPECT_FALSE(adapted) << "line 2 is a page, not a box";
  adapted = kvlab::adaptScript({"page 1000: next", "msgbox *: ok"},
                               misfit("message box \"Restart now?\" has no button 'ok' (it has yes, no); /tmp/x/ui.txt:2"));
  ASSERT_TRUE(adapted);
  EXPECT_EQ(adapted->back(), "msgbox *: yes");
  adapted = kvlab::adaptScript({"page 1000: next"},
                               misfit("message box \"x\" opened, but the UI script /tmp/x/ui.txt has ended"));
  ASSERT_TRUE(adapted);
  EXPECT_EQ(adapted->back(), "msgbox *: ok");
}

TEST(AdaptScript, WhatTheRunNeverReachedGoesAndAnOptionalPageMayBeSkipped) {
  const std::vector<std::string> script = {"page 1000: next", "?page 149: ok", "page 144: next", "page 135: ok"};
  EXPECT_EQ(kvlab::scriptText(script), "page 1000: next\npage 149: ok\npage 144: next\npage 135: ok\n");
  auto adapted = kvlab::adaptScript(
      script, misfit("page 144 \"Power\" opened, but /tmp/x/ui.txt:2 expects \"page 149: ok\""));
  ASSERT_TRUE(adapted);
  EXPECT_EQ(kvlab::scriptText(*adapted), "page 1000: next\npage 144: next\npage 135: ok\n");
  // A page that is not optional cannot be skipped: the run went another way.
  EXPECT_FALSE(kvlab::adaptScript(*adapted, misfit("page 147 \"x\" opened, but /tmp/x/ui.txt:2 expects \"page 144: next\"")));
  adapted = kvlab::adaptScript(
      script, misfit("page 144 expected, the program ended (/tmp/x/ui.txt:3: \"page 144: next\" was never reached)"));
  ASSERT_TRUE(adapted);
  EXPECT_EQ(adapted->size(), 2u);
  // A run that fitted, or ended otherwise than by the script, is left alone.
  Record fitted;
  fitted.nExit = 0;
  EXPECT_FALSE(kvlab::adaptScript(script, fitted));
}

}  // namespace
