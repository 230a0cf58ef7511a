// How a run ended, as a deployment tool sees it: the exit code. The start-up
// exits 1 to 33 keep their numbers; after start-up a silent run (+1), or a
// batch run without a parent window, ends with a code of its own for every
// outcome other than success, so that a script that has only the exit code
// is never told "success" for a failure.
#pragma once

#include <string>

#include "platform/win32.h"

// The run's own failures after start-up. Numbers above the start-up exits
// and below the system's error codes, each one meaning one thing.
enum : int {
  KVEXIT_SUCCESS = 0,
  KVEXIT_NELI_MISSING = 40,             // the external installer is not in the package
  KVEXIT_INTERFACE_FILE = 41,           // the interface file could not be written
  KVEXIT_NELI_NOT_STARTED = 42,         // the external installer could not be started
  KVEXIT_NELI_REPORTED_ERROR = 43,      // the installer reported an error (or nothing) and exited 0
  KVEXIT_NELI_REPORTED_BREAKOFF = 44,   // the installer reported that it was broken off and exited 0
  KVEXIT_UNKNOWN_DRIVER = 45,           // +A or +R names a driver the package does not offer here
  KVEXIT_NO_DRIVER_FOR_SYSTEM = 46,     // the package has no driver for this system
  KVEXIT_PACKAGE_ANALYSIS = 47,         // the package's printer INFs could not be analysed
  KVEXIT_USB_INSTALL = 48,              // the USB driver installation failed
  KVEXIT_USB_NO_PRINTER = 49,           // a USB printer arrived but no printer was added
  KVEXIT_INSTALL_ERROR = 50,            // another installation error
  KVEXIT_BROKEN_OFF = 51,               // the run was broken off
  KVEXIT_CANCELLED = 52,                // the user cancelled
  KVEXIT_REBOOT_NEEDED = 3010,          // success; the new driver is in use after a restart
};

// Everything the exit code depends on.
struct CRunOutcome {
  int nStartupExit = 0;       // the numbered exit of a failed start-up, 0 after a whole start-up
  int bCodes = 0;             // the run's own codes apply (+1, or +B without a parent window)
  DWORD dwNELIExitCode = 0;   // the external installer's exit code, 0 when it never ran
  int nRunFailure = 0;        // the first failure the run recorded (KVEXIT_...), 0 when none
  int bSuccess = 0;
  int bInstallError = 0;
  int bBreakOff = 0;
  int bCancel = 0;
  int bOSReboot = 0;
};

// The process exit code.
int kRunExitCode(const CRunOutcome& outcome);

// The status word for the parent window: bit 0 install error, bit 1 broken
// off or cancelled, bit 2 warning (never beside an install error), bit 16
// restart needed.
DWORD kRunStatusWord(int bInstallError, int bBreakOff, int bCancel, int bWarning, int bOSReboot);
