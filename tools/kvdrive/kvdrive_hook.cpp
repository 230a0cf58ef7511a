// kvdrive_hook.dll: loaded into the driven program by kvdrive's window hook.
// A message box window shows its text and buttons but not the style it was
// asked for (its icon is only a picture), so the hook reads the style from
// the box's WM_INITDIALOG parameters and reports it to kvdrive's window
// (named by KVDRIVE_WINDOW) once the box has set itself up (its texts are
// in place by then).
#include <windows.h>

#include <cstdint>
#include <cstdlib>

#include "kvdrive_wire.h"

namespace {

HWND driverWindow() {
  char value[32] = {};
  if (!GetEnvironmentVariableA("KVDRIVE_WINDOW", value, sizeof value)) return nullptr;
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(value, nullptr, 16)));
}

bool isMessageBox(HWND hwnd) {
  char cls[16] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  return lstrcmpA(cls, "#32770") == 0 && GetDlgItem(hwnd, kvdrive::kBoxTextId) != nullptr;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK kvdriveCallWndRetProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* cwp = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (cwp && cwp->message == WM_INITDIALOG && cwp->lParam && isMessageBox(cwp->hwnd)) {
      // The box's parameters start with the MSGBOXPARAMSW the caller's
      // MessageBox call was turned into.
      const auto* params = reinterpret_cast<const MSGBOXPARAMSW*>(cwp->lParam);
      if (!IsBadReadPtr(params, sizeof *params) && params->cbSize == sizeof *params) {
        kvdrive::BoxNote note{};
        note.hwnd = static_cast<std::uint64_t>(reinterpret_cast<uintptr_t>(cwp->hwnd));
        note.style = params->dwStyle;
        COPYDATASTRUCT cds{};
        cds.dwData = kvdrive::kBoxNoteTag;
        cds.cbData = sizeof note;
        cds.lpData = &note;
        if (HWND target = driverWindow())
          SendMessageTimeoutA(target, WM_COPYDATA, reinterpret_cast<WPARAM>(cwp->hwnd), reinterpret_cast<LPARAM>(&cds),
                              SMTO_ABORTIFHUNG, 5000, nullptr);
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
