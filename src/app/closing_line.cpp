// The closing line of a run (see closing_line.h).
#include "app/closing_line.h"

#include "app/run_outcome.h"

#include <cstdio>

namespace {

// The start-up exits, in the words of their log reasons, for a person.
const char* const kStartupExits[] = {
    "",
    "internal error: no utility object",                                        // 1
    "internal error: no environment probe",                                     // 2
    "internal error: no spooler information object",                            // 3
    "internal error: no driver-information facade",                             // 4
    "internal error: no resource facade",                                       // 5
    "+S given: ended at once after the command-line scan",                      // 6
    "another instance of the program is running",                               // 7
    "the main frame could not be made",                                         // 8
    "the main window could not be created",                                     // 9
    "the main window could not be initialised",                                 // 10
    "the Windows 95 family is not supported",                                   // 11
    "the message catalogue could not be loaded",                                // 12
    "the temporary language could not be chosen",                               // 13
    "the system is older than Windows 2000",                                    // 14
    "a 32-bit process on a 64-bit system",                                      // 15
    "the command line was refused",                                             // 16
    "the installation report's path could not be had",                          // 17
    "the installation report is read-only and could not be made writable",      // 18
    "the installation report of an earlier run could not be deleted",          // 19
    "the final language could not be chosen",                                   // 20
    "the user declined the start confirmation",                                 // 21
    "KVISETUP.INI is missing or its path could not be had",                     // 22
    "KVISETUP.INI has a value the program refuses",                             // 23
    "the system could not be classified",                                       // 24
    "the cluster service is installed",                                         // 25
    "the cluster service check failed",                                         // 26
    "the user is no administrator",                                             // 27
    "the print spooler is not running",                                         // 28
    "the Setup API could not be loaded",                                        // 29
    "the driver-information facade could not be created",                       // 30
    "the driver-information facade failed to start",                            // 31
    "the package's candidate drivers could not be gathered",                    // 32
    "the spooler's present lists could not be made",                            // 33
};

// The run's own failures after start-up (run_outcome.h), from 40 on.
const char* const kRunExits[] = {
    "the external installer is not in the package",                           // 40
    "the interface file could not be written",                                // 41
    "the external installer could not be started",                            // 42
    "the external installer reported an installation error",                  // 43
    "the external installer reported that it was broken off",                 // 44
    "the driver named on the command line is not offered by the package here",  // 45
    "the package has no driver for this system",                              // 46
    "the package's printer INFs could not be analysed",                       // 47
    "the USB driver installation failed",                                     // 48
    "the USB printer arrived but no printer was added",                       // 49
    "installation error",                                                     // 50
    "broken off",                                                             // 51
    "cancelled by the user",                                                  // 52
};

}  // namespace

std::string kExitMeaning(int nExit) {
  if (nExit == 0) return "ended normally";
  if (nExit > 0 && nExit < static_cast<int>(sizeof(kStartupExits) / sizeof(kStartupExits[0]))) {
    return std::string("start-up stopped: ") + kStartupExits[nExit];
  }
  if (nExit >= KVEXIT_NELI_MISSING && nExit <= KVEXIT_CANCELLED) return kRunExits[nExit - KVEXIT_NELI_MISSING];
  if (nExit == KVEXIT_REBOOT_NEEDED) return "success; a restart is needed";
  return "the external installer's exit code (+1)";
}

std::string kClosingLineText(const CClosingLineInfo& info, const std::string& strProgram) {
  std::string text = strProgram + ": exit " + std::to_string(info.nExit) + " (" + kExitMeaning(info.nExit) + ")";
  if (info.nExit == 16 && !info.strRefusedArgument.empty()) {
    text += "; refused: " + info.strRefusedArgument + " (the switches: docs/command-line.md)";
  }
  text += "; detail log: " + (info.strDetailLog.empty() ? std::string("off (OutputLevel 0)") : info.strDetailLog);
  if (!info.strReport.empty()) text += "; report: " + info.strReport;
  // Where a run's pages and boxes were written, when the platform keeps a
  // transcript (the simulated machine does).
  char szValue[1024] = {};
  DWORD dw = GetEnvironmentVariableA("KVSIM_TRANSCRIPT", szValue, sizeof(szValue));
  if (dw > 0 && dw < sizeof(szValue)) {
    text += std::string("; transcript: ") + szValue;
  } else {
    dw = GetEnvironmentVariableA("KVSIM_ROOT", szValue, sizeof(szValue));
    if (dw > 0 && dw < sizeof(szValue)) text += std::string("; transcript: ") + szValue + "/transcript.log";
  }
  return text + "\n";
}

BOOL kWriteToConsole(const std::string& strText) {
  const HANDLE hErr = GetStdHandle(STD_ERROR_HANDLE);
  DWORD dwMode = 0;
  if (hErr == nullptr || hErr == INVALID_HANDLE_VALUE || !GetConsoleMode(hErr, &dwMode)) return FALSE;
  DWORD dwWritten = 0;
  return WriteConsoleA(hErr, strText.data(), static_cast<DWORD>(strText.size()), &dwWritten, nullptr);
}
