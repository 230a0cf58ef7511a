// kvdrive_hook.dll: loaded into the driven program by kvdrive's window hook.
// It tells kvdrive's window (named by KVDRIVE_WINDOW) what the program's
// windows do not show:
// - the style a message box was asked for (its icon is only a picture): read
//   from the box's WM_INITDIALOG parameters once the box has set itself up;
// - when a dialog has set itself up (its WM_INITDIALOG has returned), so that
//   kvdrive reads it as it opens, before the dialog's timers and threads move
//   anything;
// - how a dialog ends: the program's calls of EndDialog go through the hook,
//   which tells kvdrive the result and waits while kvdrive reads the dialog
//   as it is left (a page that ends by itself goes at once).
// It also runs the program's timers on the scripts' clock (KVSIM_TIMESCALE),
// as the native build's simulated machine runs them: a page that waits three
// minutes for a printer waits 1.8 s in a test.
#include <windows.h>

#include <cstdint>
#include <cstdlib>

#include "kvdrive_wire.h"

namespace {

using EndDialogFn = BOOL(WINAPI*)(HWND, INT_PTR);
using SetTimerFn = UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC);

EndDialogFn g_endDialog = nullptr;
SetTimerFn g_setTimer = nullptr;
double g_timescale = 1.0;

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

void tell(unsigned long tag, const void* data, DWORD size, HWND about) {
  COPYDATASTRUCT cds{};
  cds.dwData = tag;
  cds.cbData = size;
  cds.lpData = const_cast<void*>(data);
  if (HWND target = driverWindow())
    SendMessageTimeoutA(target, WM_COPYDATA, reinterpret_cast<WPARAM>(about), reinterpret_cast<LPARAM>(&cds),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
}

BOOL WINAPI endDialog(HWND hwnd, INT_PTR result) {
  kvdrive::EndNote note{};
  note.hwnd = static_cast<std::uint64_t>(reinterpret_cast<uintptr_t>(hwnd));
  note.result = static_cast<std::int64_t>(result);
  tell(kvdrive::kEndNoteTag, &note, sizeof note, hwnd);
  return g_endDialog(hwnd, result);
}

UINT_PTR WINAPI setTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  const double scaled = static_cast<double>(elapse) * g_timescale;
  return g_setTimer(hwnd, id, scaled < 1 ? 1u : static_cast<UINT>(scaled), proc);
}

// Points the program's own imports of user32's EndDialog and SetTimer at the
// functions above.
void redirectImports() {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress) return;
  for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + imp->Name), "user32.dll") != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (imp->OriginalFirstThunk ? imp->OriginalFirstThunk
                                                                                       : imp->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const char* name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
      void* replacement = nullptr;
      if (lstrcmpA(name, "EndDialog") == 0) {
        g_endDialog = reinterpret_cast<EndDialogFn>(slots->u1.Function);
        replacement = reinterpret_cast<void*>(&endDialog);
      } else if (lstrcmpA(name, "SetTimer") == 0 && g_timescale != 1.0) {
        g_setTimer = reinterpret_cast<SetTimerFn>(slots->u1.Function);
        replacement = reinterpret_cast<void*>(&setTimer);
      }
      if (!replacement) continue;
      DWORD old = 0;
      if (VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old)) {
        slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
        VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
      }
    }
  }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK kvdriveCallWndRetProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* cwp = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (cwp && cwp->message == WM_INITDIALOG && !isMessageBox(cwp->hwnd)) {
      kvdrive::OpenNote note{};
      note.hwnd = static_cast<std::uint64_t>(reinterpret_cast<uintptr_t>(cwp->hwnd));
      tell(kvdrive::kOpenNoteTag, &note, sizeof note, cwp->hwnd);
    } else if (cwp && cwp->message == WM_INITDIALOG && cwp->lParam && isMessageBox(cwp->hwnd)) {
      // The box's parameters start with the MSGBOXPARAMSW the caller's
      // MessageBox call was turned into.
      const auto* params = reinterpret_cast<const MSGBOXPARAMSW*>(cwp->lParam);
      if (!IsBadReadPtr(params, sizeof *params) && params->cbSize == sizeof *params) {
        kvdrive::BoxNote note{};
        note.hwnd = static_cast<std::uint64_t>(reinterpret_cast<uintptr_t>(cwp->hwnd));
        note.style = params->dwStyle;
        tell(kvdrive::kBoxNoteTag, &note, sizeof note, cwp->hwnd);
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  // kvdrive loads the DLL too, to find the hook; only the driven program's
  // imports are redirected.
  HWND target = driverWindow();
  DWORD owner = 0;
  if (!target || !GetWindowThreadProcessId(target, &owner) || owner == GetCurrentProcessId()) return TRUE;
  char scale[32] = {};
  if (GetEnvironmentVariableA("KVSIM_TIMESCALE", scale, sizeof scale)) {
    const double value = std::strtod(scale, nullptr);
    if (value > 0 && value <= 1000) g_timescale = value;
  }
  redirectImports();
  return TRUE;
}
