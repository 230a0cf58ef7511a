// The program's detail log, as the system services write it.
//
// The application owns the switch: at start-up it enables this log with the
// path and level it decided (CDetailLog::kSetDetailLogFileSetting). The
// environment probe and the utilities write their numbered exit lines here,
// so that they need neither the application object nor a log passed to
// every call. Until it is enabled the log writes nothing.
#pragma once

#include "system/detail_log.h"

CDetailLog& kProgramLog();
