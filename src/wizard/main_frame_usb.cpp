// The USB path of the wizard: install kind, power off, installation, power
// on, the driver checks and the initial settings of the new printers.
#include "app/kv_setup_app.h"
#include "app/window_messages.h"
#include "system/program_log.h"
#include "wizard/main_frame.h"

LRESULT CMainFrame::kOnDecideInstallKind(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnDecideInstallKind wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  kEndIdleState("kOnDecideInstallKind", "this state is not part of this build yet");
  return 1;
}

LRESULT CMainFrame::kOnDispPowerOffDialog(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnDispPowerOffDialog wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  kEndIdleState("kOnDispPowerOffDialog", "this state is not part of this build yet");
  return 1;
}

LRESULT CMainFrame::kOnDispInstPrepareDialog(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnDispInstPrepareDialog wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  kEndIdleState("kOnDispInstPrepareDialog", "this state is not part of this build yet");
  return 1;
}

LRESULT CMainFrame::kOnDispPowerOnDialog(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnDispPowerOnDialog wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  kEndIdleState("kOnDispPowerOnDialog", "this state is not part of this build yet");
  return 1;
}

LRESULT CMainFrame::kOnDriverCheck(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnDriverCheck wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  kEndIdleState("kOnDriverCheck", "this state is not part of this build yet");
  return 1;
}

LRESULT CMainFrame::kOnDispInitPrnSelectDialog(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnDispInitPrnSelectDialog wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  kEndIdleState("kOnDispInitPrnSelectDialog", "this state is not part of this build yet");
  return 1;
}
