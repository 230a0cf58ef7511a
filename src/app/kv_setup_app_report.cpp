// The interface file for the external installer and the installation report.
#include "app/kv_setup_app.h"
#include "system/program_log.h"

BOOL CKV_SETUPApp::kMakeInterfaceFile() {
  kProgramLog().kWriteLog("CKV_SETUPApp::kMakeInterfaceFile() return [0] not part of this build yet\n");
  return FALSE;
}

BOOL CKV_SETUPApp::kMakeInterfaceFileAddForce() {
  kProgramLog().kWriteLog("CKV_SETUPApp::kMakeInterfaceFileAddForce() return [0] not part of this build yet\n");
  return FALSE;
}

void CKV_SETUPApp::kWriteKVISETUPLogInfo() {
  kProgramLog().kWriteLog("CKV_SETUPApp::kWriteKVISETUPLogInfo() not part of this build yet\n");
}
