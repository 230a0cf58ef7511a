// winsim: the window core as other parts of winsim see it (the dialog
// manager, controls, the renderers, kvsim).
//
// A Window is owned by the thread that created it; its fields are read and
// written by that thread (window procedures, the dialog manager) without a
// lock. Other threads go through the Win32 calls, which take the lock.
//
// Window handles are machine-wide numbers: a window of another process has a
// handle of the same form, but findWindow() gives nullptr for it and the
// Win32 calls reach it through that process's message socket.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

namespace winsim::user {

// Data another layer keeps with a window (the dialog manager's control
// state). Destroyed with the window.
struct WindowExtension {
  virtual ~WindowExtension() = default;
};

struct WindowClass {
  std::string name;  // as registered; lookups ignore case
  UINT style = 0;
  WNDPROC proc = nullptr;
  int clsExtra = 0;
  int wndExtra = 0;
  HINSTANCE instance = nullptr;
  HBRUSH background = nullptr;
  ATOM atom = 0;
  bool system = false;  // a class of the system (controls, dialogs): keeps the font of WM_SETFONT
};

struct Window {
  HWND hwnd = nullptr;
  std::shared_ptr<const WindowClass> cls;
  WNDPROC proc = nullptr;  // GWLP_WNDPROC: the class's procedure unless subclassed
  std::string text;
  DWORD style = 0;
  DWORD exStyle = 0;
  bool visible = false;  // WS_VISIBLE of the window itself (not of its parents)
  bool enabled = true;   // not WS_DISABLED
  bool messageOnly = false;
  HWND parent = nullptr;  // the parent of a child window
  HWND owner = nullptr;   // the owner of a top-level (popup) window
  std::vector<HWND> children;  // in creation order (z-order of a dialog template)
  UINT_PTR id = 0;             // the control id (hMenu of a child window)
  LONG_PTR userData = 0;       // GWLP_USERDATA
  std::vector<BYTE> extra;     // cbWndExtra bytes (DWLP_MSGRESULT, DWLP_DLGPROC, DWLP_USER of a dialog)
  HINSTANCE instance = nullptr;
  RECT rect{};                 // position and size as given; nothing is drawn
  DWORD threadId = 0;
  HWND lastActivePopup = nullptr;
  HWND focus = nullptr;        // the child that last had the focus (dialogs)
  bool destroying = false;
  std::shared_ptr<WindowExtension> extension;  // owned by the dialog manager
  HFONT font = nullptr;        // WM_SETFONT of a system control or dialog

  bool isChild() const { return (style & WS_CHILD) != 0; }
  // Reads or writes a LONG_PTR of the extra bytes; false when out of range.
  bool readExtra(int offset, LONG_PTR* value) const;
  bool writeExtra(int offset, LONG_PTR value, LONG_PTR* previous);
};

// The window of this process with that handle, or nullptr (destroyed, never
// existed, or a window of another process).
std::shared_ptr<Window> findWindow(HWND hwnd);
// Registers a class visible to every module of the process ("Button",
// "#32770", ...). Replaces nothing: false when the name exists.
bool registerSystemClass(const WindowClass& cls);
std::shared_ptr<const WindowClass> findClass(const std::string& name);

// True when `hwnd` names a window of another, still running process.
bool isForeignWindow(HWND hwnd);
// The windows of this process owned by the calling thread, top-level ones
// only, in creation order.
std::vector<HWND> threadTopLevelWindows();

// ---- Message loops --------------------------------------------------------
// Runs a message loop on the calling thread (GetMessage, TranslateMessage,
// IsDialogMessage-free dispatch) until `ended()` gives true after a message,
// or WM_QUIT arrives; WM_QUIT is then posted again for the outer loop, as
// Windows' modal loops do, and the result is false. `filter`, when given,
// sees each message first and returns true when it handled it (the dialog
// manager's keyboard handling).
bool runModalLoop(const std::function<bool()>& ended, const std::function<bool(MSG&)>& filter = {});

// ---- Hooks for the renderers ------------------------------------------------
// Called on a thread that is about to block waiting for input (GetMessage,
// WaitMessage, MsgWaitForMultipleObjects, a modal loop) with nothing left in
// its queue. The hook may inspect the windows, post or send messages (for
// example a click on a dialog's button) and returns true when it did
// something, in which case the thread looks at its queue again instead of
// blocking. One hook per process; an empty function removes it.
using IdleHook = std::function<bool()>;
void setIdleHook(IdleHook hook);

// Told about changes of window state, on the thread that made them. One
// observer per process; an empty function removes it.
enum class WindowEvent { Created, Destroyed, Shown, Hidden, TextChanged, Enabled, Disabled };
using WindowObserver = std::function<void(HWND, WindowEvent)>;
void setWindowObserver(WindowObserver observer);

// Wakes the thread's message wait (as a posted message would) without
// posting anything, so that a helper thread can make the idle hook run again.
void wakeThread(DWORD threadId);

// ---- The machine's windows ----------------------------------------------------
// The top-level windows of every running process of the machine, as kvsim
// windows lists them.
struct ListedWindow {
  HWND hwnd = nullptr;
  unsigned pid = 0;
  std::string cls;
  std::string title;
  bool visible = false;
  bool messageOnly = false;
};
std::vector<ListedWindow> listWindows();

// ---- Device notifications ------------------------------------------------------
// Sends WM_DEVICECHANGE with `wParam` (DBT_DEVICEARRIVAL, ...) and a copy of
// `payload` (a DEV_BROADCAST_* record, as lParam) to every window of every
// process that registered for device notifications. Returns the number of
// windows reached.
int broadcastDeviceChange(WPARAM wParam, const std::vector<BYTE>& payload);

}  // namespace winsim::user

namespace winsim {
using user::broadcastDeviceChange;
}
