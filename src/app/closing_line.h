// The closing line of a run for a person at a console: the exit number,
// what it means, and where the detail log, the report and the transcript
// are. The program writes it when it ends; kvparent writes it for the child
// it ran. Nothing is written when standard error is no console (a parent
// installer, a test, the Windows program without a console).
#pragma once

#include <string>

#include "platform/win32.h"

// What an exit number of the program means (the start-up exits 1 to 33, 0
// for a run that ended normally).
std::string kExitMeaning(int nExit);

struct CClosingLineInfo {
  int nExit = 0;
  std::string strRefusedArgument;  // exit 16: the argument the command line refused
  std::string strDetailLog;        // the detail log's path, empty when none is kept
  std::string strReport;           // the installation report's path
};

// The line itself, ending in a line break.
std::string kClosingLineText(const CClosingLineInfo& info, const std::string& strProgram);

// Writes the text to standard error when it is a console; FALSE otherwise.
BOOL kWriteToConsole(const std::string& strText);
