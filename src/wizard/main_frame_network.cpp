// The network path of the wizard: the search, the list of printers found and
// the page that adds a printer by hand when none was detected.
#include "app/kv_setup_app.h"
#include "app/window_messages.h"
#include "system/program_log.h"
#include "wizard/main_frame.h"

LRESULT CMainFrame::kOnDispSearchPrinterDialog(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnDispSearchPrinterDialog wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  kEndIdleState("kOnDispSearchPrinterDialog", "this state is not part of this build yet");
  return 1;
}

LRESULT CMainFrame::kOnDispPrinterListDialog(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnDispPrinterListDialog wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  kEndIdleState("kOnDispPrinterListDialog", "this state is not part of this build yet");
  return 1;
}

LRESULT CMainFrame::kOnDispAddForceDialog(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnDispAddForceDialog wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  kEndIdleState("kOnDispAddForceDialog", "this state is not part of this build yet");
  return 1;
}
