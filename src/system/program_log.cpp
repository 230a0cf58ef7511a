// The program's detail log.
#include "system/program_log.h"

CDetailLog& kProgramLog() {
  // Never destroyed: threads and destructors of other objects may still
  // write while the program ends.
  static CDetailLog* pLog = new CDetailLog;
  return *pLog;
}
