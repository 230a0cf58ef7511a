// The exit code and the status word a run ends with: a deployment tool that
// has only the exit code must never read a failure as success, and a parent
// that judges by the status word keeps the exit code it always had.
#include <gtest/gtest.h>

#include "app/closing_line.h"
#include "app/run_outcome.h"

namespace {

CRunOutcome codes() {
  CRunOutcome o;
  o.bCodes = 1;
  return o;
}

TEST(RunOutcome, StartupExitsKeepTheirNumbersEitherWay) {
  for (int bCodes : {0, 1}) {
    CRunOutcome o;
    o.bCodes = bCodes;
    o.nStartupExit = 28;
    o.bInstallError = 1;
    EXPECT_EQ(kRunExitCode(o), 28);
  }
}

TEST(RunOutcome, WithoutTheRunsCodesTheParentJudgesByTheStatusWord) {
  CRunOutcome o;
  o.bInstallError = 1;
  o.nRunFailure = KVEXIT_NELI_MISSING;
  EXPECT_EQ(kRunExitCode(o), 0);
}

TEST(RunOutcome, EveryFailureHasACodeOfItsOwn) {
  CRunOutcome o = codes();
  o.bSuccess = 1;
  EXPECT_EQ(kRunExitCode(o), KVEXIT_SUCCESS);
  o.bOSReboot = 1;
  EXPECT_EQ(kRunExitCode(o), KVEXIT_REBOOT_NEEDED);

  // The first failure recorded names the error.
  o = codes();
  o.bInstallError = 1;
  o.nRunFailure = KVEXIT_UNKNOWN_DRIVER;
  EXPECT_EQ(kRunExitCode(o), KVEXIT_UNKNOWN_DRIVER);
  o.nRunFailure = 0;
  EXPECT_EQ(kRunExitCode(o), KVEXIT_INSTALL_ERROR);
  // An error beside a reported success is still an error.
  o.bSuccess = 1;
  EXPECT_EQ(kRunExitCode(o), KVEXIT_INSTALL_ERROR);

  o = codes();
  o.bBreakOff = 1;
  EXPECT_EQ(kRunExitCode(o), KVEXIT_BROKEN_OFF);
  o = codes();
  o.bCancel = 1;
  EXPECT_EQ(kRunExitCode(o), KVEXIT_CANCELLED);
  // A run that recorded nothing at all did not install anything.
  o = codes();
  EXPECT_EQ(kRunExitCode(o), KVEXIT_INSTALL_ERROR);
}

TEST(RunOutcome, TheInstallersOwnFailingCodeComesFirst) {
  CRunOutcome o = codes();
  o.dwNELIExitCode = 1223;
  o.bBreakOff = 1;
  o.nRunFailure = KVEXIT_NELI_REPORTED_BREAKOFF;
  EXPECT_EQ(kRunExitCode(o), 1223);
  // An installer that exits 0 after reporting an error does not hide it.
  o = codes();
  o.bInstallError = 1;
  o.nRunFailure = KVEXIT_NELI_REPORTED_ERROR;
  EXPECT_EQ(kRunExitCode(o), KVEXIT_NELI_REPORTED_ERROR);
}

TEST(RunOutcome, StatusWord) {
  EXPECT_EQ(kRunStatusWord(0, 0, 0, 0, 0), 0u);
  EXPECT_EQ(kRunStatusWord(1, 0, 0, 1, 0), 1u);  // no warning beside an error
  EXPECT_EQ(kRunStatusWord(0, 1, 0, 1, 0), 6u);
  EXPECT_EQ(kRunStatusWord(0, 0, 1, 0, 0), 2u);
  EXPECT_EQ(kRunStatusWord(0, 0, 0, 0, 1), 0x10000u);
  EXPECT_EQ(kRunStatusWord(1, 1, 1, 1, 1), 0x10001u);
}

TEST(RunOutcome, EachCodeIsExplainedOnTheConsole) {
  for (int n = KVEXIT_NELI_MISSING; n <= KVEXIT_CANCELLED; ++n) {
    EXPECT_EQ(kExitMeaning(n).find("external installer's exit code"), std::string::npos) << n;
  }
  EXPECT_EQ(kExitMeaning(KVEXIT_REBOOT_NEEDED), "success; a restart is needed");
  EXPECT_EQ(kExitMeaning(1223), "the external installer's exit code (+1)");
}

}  // namespace
