// A small program with two pages of the wizard's resource script and a
// message box, for the test of the terminal renderer: the setup-kind page,
// then the installation page whose progress bar a timer moves until the page
// ends itself, then a question. It prints what it was answered.
#include <cstdio>

#include "platform/win32.h"
#include "res/resource.h"

namespace {

INT_PTR CALLBACK setupKindProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    SetDlgItemTextA(dlg, IDC_TITLE, "Choose what to do");
    CheckRadioButton(dlg, IDC_RADIO_ADD, IDC_RADIO_UPDATE, IDC_RADIO_ADD);
    return TRUE;
  }
  // Cancel asks first, as the wizard's pages do: a box on top of the page.
  if (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL &&
      MessageBoxA(dlg, "Do you want to stop the setup?", "Printer Driver Setup", MB_YESNO | MB_ICONQUESTION) == IDNO)
    return TRUE;
  if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    const bool usb = IsDlgButtonChecked(dlg, IDC_CHECK_USB) == BST_CHECKED;
    EndDialog(dlg, LOWORD(wParam) == IDOK ? (usb ? 10 : 1) : 2);
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK progressProc(HWND dlg, UINT msg, WPARAM, LPARAM) {
  if (msg == WM_INITDIALOG) {
    SetDlgItemTextA(dlg, IDC_STATUS, "Copying files");
    SendDlgItemMessageA(dlg, IDC_PROGRESS, PBM_SETRANGE32, 0, 100);
    SetTimer(dlg, 1, 150, nullptr);
    return TRUE;
  }
  if (msg == WM_TIMER) {
    SendDlgItemMessageA(dlg, IDC_PROGRESS, PBM_DELTAPOS, 5, 0);
    if (SendDlgItemMessageA(dlg, IDC_PROGRESS, PBM_GETPOS, 0, 0) >= 100) {
      KillTimer(dlg, 1);
      EndDialog(dlg, 1);
    }
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int main() {
  const INT_PTR kind = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_SETUPKIND), nullptr, setupKindProc, 0);
  const INT_PTR install = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_INSTALLPREPARE), nullptr, progressProc, 0);
  const int answer = MessageBoxA(nullptr, "Make the new printer the default printer?", "Printer Driver Setup",
                                 MB_YESNO | MB_ICONQUESTION);
  std::printf("\nRESULT kind=%d install=%d answer=%d\n", static_cast<int>(kind), static_cast<int>(install), answer);
  return 0;
}
