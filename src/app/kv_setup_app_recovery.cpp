// Start-up: the repair of an installation that was killed.
#include "app/kv_setup_app.h"
#include "install/install_guard.h"
#include "install/install_journal.h"
#include "system/program_log.h"

void CKV_SETUPApp::kRecoverInstallation() {
  if (CInstallJournal::kIsEmpty()) return;
  // An installation under way in another copy of the program holds the
  // guard; its journal is its own.
  CInstallGuard guard;
  if (!guard.kTryAcquire()) {
    kProgramLog().kWriteLog("CKV_SETUPApp::kRecoverInstallation() another installation is running.\n");
    return;
  }
  kProgramLog().kWriteLog("CKV_SETUPApp::kRecoverInstallation() an earlier installation ended unfinished.\n");
  for (const std::string& strLine : CInstallJournal::kUndo()) {
    kProgramLog().kWriteLog("CKV_SETUPApp::kRecoverInstallation() repair: %s\n", strLine.c_str());
  }
}
