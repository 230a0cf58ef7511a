// winsim: the dialog manager: dialogs built from resource script templates,
// the modal loop of DialogBoxParamA, and the dialog item functions.
//
// A modal dialog is handed to the UI renderer (ui.h) when its loop starts:
// the renderer shows it and answers it for a person or a script while the
// loop keeps running the page's timers and messages.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "modules.h"
#include "user32/dialog_internal.h"
#include "user32/resources.h"
#include "user32/ui.h"

namespace winsim::dlg {
namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;

HWND topLevelOf(HWND hwnd) {
  for (int guard = 0; hwnd && guard < 64; ++guard) {
    if (!(GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD)) return hwnd;
    hwnd = GetParent(hwnd);
  }
  return hwnd;
}

HWND firstTabStop(HWND dlg) {
  auto w = user::findWindow(dlg);
  if (!w) return nullptr;
  for (HWND c : w->children) {
    const LONG_PTR style = GetWindowLongPtrA(c, GWL_STYLE);
    if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) return c;
  }
  return nullptr;
}

// Builds a dialog and its controls from a template and runs WM_INITDIALOG.
// Returns NULL (last error set, a message on stderr) when the dialog or one
// of its controls cannot be created.
HWND createDialog(HINSTANCE module, const rc::Dialog& t, HWND owner, DLGPROC proc, LPARAM param, bool modal) {
  registerControlClasses();
  const std::string cls = t.className.empty() ? "#32770" : t.className;
  int cx = dluToPixelsX(t.cx), cy = dluToPixelsY(t.cy);
  int x = dluToPixelsX(t.x), y = dluToPixelsY(t.y);
  if (t.style & DS_CENTER) {
    x = (kScreenWidth - cx) / 2;
    y = (kScreenHeight - cy) / 2;
  }
  HWND dlg = CreateWindowExA(t.exStyle, cls.c_str(), t.caption.c_str(), t.style & ~static_cast<DWORD>(WS_VISIBLE), x, y,
                             cx, cy, owner, nullptr, module, nullptr);
  if (!dlg) {
    std::fprintf(stderr, "winsim: dialog %s: its window of class \"%s\" cannot be created\n",
                 t.id.toString().c_str(), cls.c_str());
    return nullptr;
  }
  auto state = std::make_shared<DialogState>();
  state->proc = proc;
  state->modal = modal;
  state->module = module;
  state->templateId = t.id;
  state->threadId = GetCurrentThreadId();
  user::findWindow(dlg)->extension = state;
  SetWindowLongPtrA(dlg, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));

  for (const rc::Control& c : t.controls) {
    std::string text = c.text;
    if (c.textId) text = c.textId->isNumber ? "#" + std::to_string(c.textId->number) : c.textId->name;
    HWND h = CreateWindowExA(c.exStyle | WS_EX_NOPARENTNOTIFY, c.className.c_str(), text.c_str(), c.style | WS_CHILD,
                             dluToPixelsX(c.x), dluToPixelsY(c.y), dluToPixelsX(c.cx), dluToPixelsY(c.cy), dlg,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(static_cast<DWORD>(c.id))), module, nullptr);
    if (!h && !(t.style & DS_NOFAILCREATE)) {
      const DWORD error = GetLastError();
      std::fprintf(stderr, "winsim: dialog %s: control %d (line %d) of class \"%s\" cannot be created\n",
                   t.id.toString().c_str(), c.id, c.line, c.className.c_str());
      DestroyWindow(dlg);
      SetLastError(error ? error : ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    if (h && (c.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON && c.className == "Button") state->defaultId = c.id;
  }

  // The template's font goes to the dialog and every control, as the dialog
  // manager of Windows sends it before WM_INITDIALOG.
  if ((t.style & DS_SETFONT) && t.fontSize > 0) {
    LOGFONTA lf = {};
    lf.lfHeight = -(t.fontSize * 96 + 36) / 72;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", t.fontName.c_str());
    HFONT font = CreateFontIndirectA(&lf);
    state->font = font;
    SendMessageA(dlg, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (HWND c : user::findWindow(dlg)->children) SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }

  HWND focus = firstTabStop(dlg);
  const LRESULT setFocus = SendMessageA(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param);
  if (!IsWindow(dlg)) return nullptr;
  if (setFocus && focus && IsWindow(focus)) SetFocus(focus);
  if ((t.style & WS_VISIBLE) && !state->ended) ShowWindow(dlg, SW_SHOWNORMAL);
  return dlg;
}

const rc::Dialog* templateFor(HINSTANCE module, LPCSTR name, const char* caller) {
  std::string error;
  const rc::Dialog* t = name ? findDialogTemplate(module, name, &error) : nullptr;
  if (!t) {
    std::fprintf(stderr, "winsim: %s: %s\n", caller, name ? error.c_str() : "no template name");
    SetLastError(error.find("no dialog template") != std::string::npos || !name ? ERROR_RESOURCE_NAME_NOT_FOUND
                                                                                 : ERROR_RESOURCE_DATA_NOT_FOUND);
  }
  return t;
}

bool isDialogResultMessage(UINT msg) {
  return msg == WM_INITDIALOG || (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) || msg == 0x0039 /*WM_COMPAREITEM*/ ||
         msg == 0x002E /*WM_VKEYTOITEM*/ || msg == 0x002F /*WM_CHARTOITEM*/ || msg == 0x0037 /*WM_QUERYDRAGICON*/;
}

}  // namespace

DialogState* dialogOf(HWND hwnd) { return stateOf<DialogState>(hwnd); }

DialogState::~DialogState() {
  if (font) DeleteObject(font);
}

}  // namespace winsim::dlg

using winsim::dlg::DialogState;
using winsim::dlg::dialogOf;

// DefDlgProcA: gives the message to the dialog procedure, then does what a
// dialog does by default (WM_CLOSE presses Cancel; DM_GETDEFID and
// DM_SETDEFID keep the default button).
extern "C" LRESULT WINAPI DefDlgProcA(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam) {
  auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrA(hDlg, DWLP_DLGPROC));
  if (proc) {
    SetWindowLongPtrA(hDlg, DWLP_MSGRESULT, 0);
    const INT_PTR r = proc(hDlg, Msg, wParam, lParam);
    if (r) {
      if (winsim::dlg::isDialogResultMessage(Msg)) return r;
      return IsWindow(hDlg) ? GetWindowLongPtrA(hDlg, DWLP_MSGRESULT) : 0;
    }
    if (!IsWindow(hDlg)) return 0;
  }
  DialogState* d = dialogOf(hDlg);
  switch (Msg) {
    case WM_INITDIALOG:
      return 0;
    case WM_CLOSE: {
      // Closing the window is pressing Cancel, unless Cancel is disabled.
      HWND cancel = GetDlgItem(hDlg, IDCANCEL);
      if (cancel && !IsWindowEnabled(cancel)) return 0;
      PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
      return 0;
    }
    case DM_GETDEFID:
      return d ? MAKELRESULT(d->defaultId, DC_HASDEFID) : 0;
    case DM_SETDEFID:
      if (d) d->defaultId = static_cast<int>(wParam);
      return TRUE;
    case WM_COMMAND:
    case WM_NOTIFY:
      return 0;
    default:
      return DefWindowProcA(hDlg, Msg, wParam, lParam);
  }
}

// DialogBoxParamA: runs a modal dialog and returns what EndDialog gave it;
// -1 when the template is missing (ERROR_RESOURCE_NAME_NOT_FOUND) or the
// dialog cannot be created.
extern "C" INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                                          DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  const winsim::rc::Dialog* t = winsim::dlg::templateFor(hInstance, lpTemplateName, "DialogBoxParamA");
  if (!t) return -1;
  HWND owner = hWndParent ? winsim::dlg::topLevelOf(hWndParent) : nullptr;
  HWND dlg = winsim::dlg::createDialog(hInstance, *t, owner, lpDialogFunc, dwInitParam, true);
  if (!dlg) return -1;
  // The owner takes no input while the dialog is open.
  const bool disableOwner = owner && IsWindowEnabled(owner);
  if (disableOwner) EnableWindow(owner, FALSE);
  auto keep = winsim::user::findWindow(dlg);
  auto state = std::dynamic_pointer_cast<DialogState>(keep->extension);
  if (!state->ended) {
    ShowWindow(dlg, SW_SHOWNORMAL);
    winsim::ui::dialogOpened(dlg);
    winsim::user::runModalLoop([&state] { return state->ended.load(); });
    winsim::ui::dialogClosed(dlg, state->result);
  } else {
    winsim::ui::dialogEndedAtStart(dlg, state->result);
  }
  const INT_PTR result = state->result;
  if (disableOwner) EnableWindow(owner, TRUE);
  DestroyWindow(dlg);
  return result;
}

// CreateDialogParamA: a modeless dialog, shown when its template says
// WS_VISIBLE; NULL when the template is missing or the dialog cannot be
// created. The program drives such dialogs itself: they are not offered to
// the renderer.
extern "C" HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                                          DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  const winsim::rc::Dialog* t = winsim::dlg::templateFor(hInstance, lpTemplateName, "CreateDialogParamA");
  if (!t) return nullptr;
  return winsim::dlg::createDialog(hInstance, *t, hWndParent, lpDialogFunc, dwInitParam, false);
}

// EndDialog: marks the dialog ended with the result; its modal loop returns
// it. FALSE with ERROR_INVALID_WINDOW_HANDLE for a window that is not a
// dialog of this process.
extern "C" BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
  auto w = winsim::user::findWindow(hDlg);
  auto d = w ? std::dynamic_pointer_cast<DialogState>(w->extension) : nullptr;
  if (!d) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  d->result = nResult;
  d->ended = true;
  // Wakes the modal loop when another thread ended the dialog.
  PostMessageA(hDlg, WM_NULL, 0, 0);
  return TRUE;
}

// GetDlgItem: the child with that id; NULL with ERROR_CONTROL_ID_NOT_FOUND,
// or ERROR_INVALID_WINDOW_HANDLE for a bad dialog.
extern "C" HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
  auto w = winsim::user::findWindow(hDlg);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  for (HWND c : std::vector<HWND>(w->children)) {
    auto cw = winsim::user::findWindow(c);
    if (cw && static_cast<int>(static_cast<DWORD>(cw->id)) == nIDDlgItem) return c;
  }
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

// GetDlgCtrlID: the control id of a child window; 0 with
// ERROR_INVALID_WINDOW_HANDLE for a bad window.
extern "C" int WINAPI GetDlgCtrlID(HWND hWnd) {
  auto w = winsim::user::findWindow(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return static_cast<int>(static_cast<DWORD>(w->id));
}

// SetDlgItemTextA: FALSE when the control does not exist (last error of
// GetDlgItem).
extern "C" BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item ? SetWindowTextA(item, lpString) : FALSE;
}

// GetDlgItemTextA: the characters copied; 0 and an empty buffer when the
// control does not exist.
extern "C" UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  if (!item) {
    if (lpString && cchMax > 0) lpString[0] = '\0';
    return 0;
  }
  return static_cast<UINT>(GetWindowTextA(item, lpString, cchMax));
}

// SetDlgItemInt: the number as text; FALSE when the control does not exist.
extern "C" BOOL WINAPI SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned) {
  char text[16];
  if (bSigned)
    std::snprintf(text, sizeof text, "%d", static_cast<int>(uValue));
  else
    std::snprintf(text, sizeof text, "%u", uValue);
  return SetDlgItemTextA(hDlg, nIDDlgItem, text);
}

// GetDlgItemInt: the control's text as a number (leading and trailing
// blanks allowed); 0 with *lpTranslated FALSE when there is no control, the
// text is not a number or it does not fit.
extern "C" UINT WINAPI GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned) {
  if (lpTranslated) *lpTranslated = FALSE;
  char text[64];
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  if (!item) return 0;
  GetWindowTextA(item, text, sizeof text);
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  const bool negative = *p == '-';
  if (negative && !bSigned) return 0;
  const char* digits = (*p == '-' || *p == '+') ? p + 1 : p;
  if (*digits < '0' || *digits > '9') return 0;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(p, &end, 10);
  while (end && (*end == ' ' || *end == '\t')) ++end;
  if (!end || *end != '\0' || errno == ERANGE) return 0;
  if (bSigned ? (v < INT_MIN || v > INT_MAX) : (v < 0 || v > static_cast<long long>(UINT_MAX))) return 0;
  if (lpTranslated) *lpTranslated = TRUE;
  return static_cast<UINT>(v);
}

// CheckDlgButton: BM_SETCHECK on the button; FALSE when it does not exist.
extern "C" BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
  HWND item = GetDlgItem(hDlg, nIDButton);
  if (!item) return FALSE;
  SendMessageA(item, BM_SETCHECK, uCheck, 0);
  return TRUE;
}

// IsDlgButtonChecked: BM_GETCHECK of the button; 0 when it does not exist.
extern "C" UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton) {
  HWND item = GetDlgItem(hDlg, nIDButton);
  return item ? static_cast<UINT>(SendMessageA(item, BM_GETCHECK, 0, 0)) : 0;
}

// CheckRadioButton: checks one button and clears every other control whose
// id lies in the range; FALSE for a bad dialog.
extern "C" BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
  auto w = winsim::user::findWindow(hDlg);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  for (HWND c : std::vector<HWND>(w->children)) {
    const int id = GetDlgCtrlID(c);
    if (id >= nIDFirstButton && id <= nIDLastButton)
      SendMessageA(c, BM_SETCHECK, id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return TRUE;
}

// SendDlgItemMessageA: the control's answer; 0 when it does not exist.
extern "C" LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item ? SendMessageA(item, Msg, wParam, lParam) : 0;
}

// GetNextDlgGroupItem: the next (or previous) visible, enabled control of
// the group, wrapping within it; the control itself when it is alone; NULL
// for a bad dialog.
extern "C" HWND WINAPI GetNextDlgGroupItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
  auto w = winsim::user::findWindow(hDlg);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  const std::vector<HWND> kids = w->children;
  if (kids.empty()) return nullptr;
  auto styleOf = [](HWND h) { return GetWindowLongPtrA(h, GWL_STYLE); };
  size_t at = 0;
  while (at < kids.size() && kids[at] != hCtl) ++at;
  if (at == kids.size()) at = 0;
  size_t first = at;
  while (first > 0 && !(styleOf(kids[first]) & WS_GROUP)) --first;
  size_t last = at + 1;
  while (last < kids.size() && !(styleOf(kids[last]) & WS_GROUP)) ++last;
  const size_t n = last - first;
  for (size_t step = 1; step < n; ++step) {
    size_t i = first + (bPrevious ? (at - first + n - step) % n : (at - first + step) % n);
    const LONG_PTR s = styleOf(kids[i]);
    if ((s & WS_VISIBLE) && !(s & WS_DISABLED)) return kids[i];
  }
  return hCtl;
}

// MapDialogRect: dialog units to pixels with the dialog font's base units;
// FALSE for a bad window or rectangle.
extern "C" BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect) {
  if (!lpRect || !IsWindow(hDlg)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  lpRect->left = winsim::dlg::dluToPixelsX(lpRect->left);
  lpRect->right = winsim::dlg::dluToPixelsX(lpRect->right);
  lpRect->top = winsim::dlg::dluToPixelsY(lpRect->top);
  lpRect->bottom = winsim::dlg::dluToPixelsY(lpRect->bottom);
  return TRUE;
}

static const winsim::ExportRegistrar kExports(
    "user32.dll",
    {WINSIM_EXPORT(DialogBoxParamA), WINSIM_EXPORT(CreateDialogParamA), WINSIM_EXPORT(EndDialog),
     WINSIM_EXPORT(GetDlgItem), WINSIM_EXPORT(GetDlgCtrlID), WINSIM_EXPORT(SetDlgItemTextA),
     WINSIM_EXPORT(GetDlgItemTextA), WINSIM_EXPORT(SetDlgItemInt), WINSIM_EXPORT(GetDlgItemInt),
     WINSIM_EXPORT(CheckDlgButton), WINSIM_EXPORT(IsDlgButtonChecked), WINSIM_EXPORT(CheckRadioButton),
     WINSIM_EXPORT(SendDlgItemMessageA), WINSIM_EXPORT(DefDlgProcA), WINSIM_EXPORT(GetNextDlgGroupItem),
     WINSIM_EXPORT(MapDialogRect)});
