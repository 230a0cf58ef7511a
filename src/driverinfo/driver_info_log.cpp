// The detail log of the driver package analysis.
#include "driverinfo/driver_info_log.h"

#include "system/program_log.h"

CDetailLog& kDriverInfoLog() {
  // Constructed on first use, so that static objects of other files may log
  // while they are built.
  static CDetailLog log;
  return log;
}

void kSetAnalysisLogFile(const std::string& strPath, DWORD dwLevel) {
  const BOOL bEnable = strPath.empty() ? FALSE : TRUE;
  kDriverInfoLog().kSetDetailLogFileSetting(bEnable, strPath, bEnable ? dwLevel : 0);
  kProgramLog().kSetDetailLogFileSetting(bEnable, strPath, bEnable ? dwLevel : 0);
}
