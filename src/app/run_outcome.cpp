// The exit code and status word of a run (see run_outcome.h).
#include "app/run_outcome.h"

int kRunExitCode(const CRunOutcome& o) {
  if (o.nStartupExit != 0) return o.nStartupExit;
  if (!o.bCodes) return 0;
  // An installer that failed says best what went wrong.
  if (o.dwNELIExitCode != 0) return static_cast<int>(o.dwNELIExitCode);
  if (o.bInstallError) return o.nRunFailure != 0 ? o.nRunFailure : KVEXIT_INSTALL_ERROR;
  if (o.bBreakOff) return o.nRunFailure != 0 ? o.nRunFailure : KVEXIT_BROKEN_OFF;
  if (o.bCancel) return KVEXIT_CANCELLED;
  // Nothing recorded the installation as done: that is no success either.
  if (!o.bSuccess) return o.nRunFailure != 0 ? o.nRunFailure : KVEXIT_INSTALL_ERROR;
  if (o.bOSReboot) return KVEXIT_REBOOT_NEEDED;
  return KVEXIT_SUCCESS;
}

DWORD kRunStatusWord(int bInstallError, int bBreakOff, int bCancel, int bWarning, int bOSReboot) {
  DWORD dwStatus = bInstallError ? 1 : ((bBreakOff || bCancel) ? 2 : 0);
  if (bWarning && !bInstallError) dwStatus += 4;
  if (bOSReboot) dwStatus += 0x10000;
  return dwStatus;
}
