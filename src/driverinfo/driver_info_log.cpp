// The detail log of the driver package analysis.
#include "driverinfo/driver_info_log.h"

CDetailLog& kDriverInfoLog() {
  // Constructed on first use, so that static objects of other files may log
  // while they are built.
  static CDetailLog log;
  return log;
}
