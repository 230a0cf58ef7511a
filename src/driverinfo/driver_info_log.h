// The detail log as the driver package analysis writes it.
//
// The application owns the one program-wide detail log and switches it on at
// start-up; the classes of this folder write every numbered exit line through
// this accessor, so that they never need the application object itself.
#pragma once

#include "system/detail_log.h"

// The program's detail log. It starts disabled; the application (or a test)
// enables it with CDetailLog::kSetDetailLogFileSetting.
CDetailLog& kDriverInfoLog();
