// The detail log as the driver package analysis writes it.
//
// The application owns the one program-wide detail log and switches it on at
// start-up; the classes of this folder write every numbered exit line through
// this accessor, so that they never need the application object itself.
#pragma once

#include <string>

#include "system/detail_log.h"

// The program's detail log. It starts disabled; the application (or a test)
// enables it with CDetailLog::kSetDetailLogFileSetting.
CDetailLog& kDriverInfoLog();

// Points the analysis's numbered lines, and those of the utilities it calls,
// at a file with a level (0: only the lines every level writes, 99: every
// line), as the program does at start-up. For tools that run the analysis
// without the application; an empty path switches both logs off again.
void kSetAnalysisLogFile(const std::string& strPath, DWORD dwLevel);
