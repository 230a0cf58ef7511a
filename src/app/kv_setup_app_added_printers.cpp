// The printers added since start-up, the default printer and the printers'
// property sheets.
#include "app/kv_setup_app.h"
#include "system/program_log.h"

BOOL CKV_SETUPApp::kMakeAPL() {
  kProgramLog().kWriteLog("CKV_SETUPApp::kMakeAPL() not part of this build yet\n");
  return FALSE;
}

BOOL CKV_SETUPApp::kGetAddedPrinter(char*, DWORD, char*, DWORD, char*, DWORD) {
  kProgramLog().kWriteLog("CKV_SETUPApp::kGetAddedPrinter() not part of this build yet\n");
  return FALSE;
}
