// The external installer: the interface file, its launch and the wait for it.
#include "app/kv_setup_app.h"
#include "app/window_messages.h"
#include "system/program_log.h"
#include "wizard/main_frame.h"

LRESULT CMainFrame::kOnExecuteNELI(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnExecuteNELI wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  kEndIdleState("kOnExecuteNELI", "this state is not part of this build yet");
  return 1;
}

LRESULT CMainFrame::kOnExecuteNELIAddForce(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnExecuteNELIAddForce wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  kEndIdleState("kOnExecuteNELIAddForce", "this state is not part of this build yet");
  return 1;
}

BOOL CMainFrame::kCreateProcess(const std::string& strCommandLine, BOOL bIgnoreExitCode) {
  kProgramLog().kWriteLog("CMainFrame::kCreateProcess() return FALSE not part of this build yet [%s] %d\n",
                          strCommandLine.c_str(), bIgnoreExitCode);
  return FALSE;
}
