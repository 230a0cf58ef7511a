// winsim: window classes and windows.
#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_map>

#include "machine.h"
#include "modules.h"
#include "user32/user_private.h"

namespace winsim::user {
namespace {

struct ClassTable {
  std::map<std::string, std::shared_ptr<const WindowClass>> byName;  // lower-case name
  ATOM nextAtom = 0xC000;
};

ClassTable& classes() {
  static ClassTable* t = new ClassTable;
  return *t;
}

std::unordered_map<ULONG_PTR, std::shared_ptr<Window>>& windows() {
  static auto* t = new std::unordered_map<ULONG_PTR, std::shared_ptr<Window>>;
  return *t;
}

WindowObserver& observer() {
  static WindowObserver* o = new WindowObserver;
  return *o;
}

HWND g_localForeground = nullptr;

ULONG_PTR key(HWND hwnd) { return reinterpret_cast<ULONG_PTR>(hwnd); }

std::shared_ptr<const WindowClass> classByNameLocked(LPCSTR name) {
  auto& t = classes();
  if (name == nullptr) return nullptr;
  if (IS_INTRESOURCE(name)) {
    const ATOM atom = LOWORD(reinterpret_cast<ULONG_PTR>(name));
    for (auto& [k, c] : t.byName)
      if (c->atom == atom) return c;
    return nullptr;
  }
  auto it = t.byName.find(toLower(name));
  return it == t.byName.end() ? nullptr : it->second;
}

ATOM addClass(WindowClass cls) {
  std::lock_guard<std::mutex> guard(waitMutex());
  auto& t = classes();
  const std::string k = toLower(cls.name);
  if (t.byName.count(k)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  cls.atom = t.nextAtom++;
  const ATOM atom = cls.atom;
  t.byName[k] = std::make_shared<const WindowClass>(std::move(cls));
  return atom;
}

void collectDestroyOrder(HWND hwnd, std::vector<HWND>* order) {
  auto w = findWindowLocked(hwnd);
  if (!w) return;
  order->push_back(hwnd);
  for (HWND c : w->children) collectDestroyOrder(c, order);
}

bool isTopLevel(const Window& w) { return !w.isChild(); }

void republish(const Window& w) {
  if (isTopLevel(w)) publishWindow(w.hwnd, w.cls ? w.cls->name : "", w.text, w.visible, w.messageOnly);
}

}  // namespace

bool Window::readExtra(int offset, LONG_PTR* value) const {
  if (offset < 0 || static_cast<size_t>(offset) + sizeof(LONG_PTR) > extra.size()) return false;
  std::memcpy(value, extra.data() + offset, sizeof(LONG_PTR));
  return true;
}

bool Window::writeExtra(int offset, LONG_PTR value, LONG_PTR* previous) {
  if (offset < 0 || static_cast<size_t>(offset) + sizeof(LONG_PTR) > extra.size()) return false;
  if (previous) std::memcpy(previous, extra.data() + offset, sizeof(LONG_PTR));
  std::memcpy(extra.data() + offset, &value, sizeof(LONG_PTR));
  return true;
}

std::shared_ptr<Window> findWindowLocked(HWND hwnd) {
  auto it = windows().find(key(hwnd));
  if (it == windows().end() || it->second->destroying) return nullptr;
  return it->second;
}

std::shared_ptr<Window> findWindow(HWND hwnd) {
  std::lock_guard<std::mutex> guard(waitMutex());
  return findWindowLocked(hwnd);
}

bool registerSystemClass(const WindowClass& cls) {
  WindowClass copy = cls;
  copy.system = true;
  return addClass(copy) != 0;
}

std::shared_ptr<const WindowClass> findClass(const std::string& name) {
  std::lock_guard<std::mutex> guard(waitMutex());
  return classByNameLocked(name.c_str());
}

bool isForeignWindow(HWND hwnd) {
  if (findWindow(hwnd)) return false;
  const unsigned pid = ownerProcessOf(hwnd);
  return pid != 0 && pid != currentProcessId();
}

std::vector<HWND> threadTopLevelWindows() {
  std::vector<std::pair<ULONG_PTR, HWND>> found;
  const DWORD tid = currentThreadId();
  std::lock_guard<std::mutex> guard(waitMutex());
  for (auto& [k, w] : windows())
    if (!w->destroying && w->threadId == tid && !w->isChild()) found.emplace_back(k, w->hwnd);
  std::sort(found.begin(), found.end());
  std::vector<HWND> out;
  for (auto& f : found) out.push_back(f.second);
  return out;
}

void setWindowObserver(WindowObserver o) {
  std::lock_guard<std::mutex> guard(waitMutex());
  observer() = std::move(o);
}

void notifyObserver(HWND hwnd, WindowEvent event) {
  WindowObserver o;
  {
    std::lock_guard<std::mutex> guard(waitMutex());
    o = observer();
  }
  if (o) o(hwnd, event);
}

LRESULT callWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc = nullptr;
  {
    std::lock_guard<std::mutex> guard(waitMutex());
    auto w = findWindowLocked(hwnd);
    if (!w) {
      // WM_NCDESTROY reaches a window that is already being taken apart.
      auto it = windows().find(key(hwnd));
      if (it == windows().end()) return 0;
      w = it->second;
    }
    proc = w->proc;
  }
  return proc ? proc(hwnd, msg, wParam, lParam) : DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace winsim::user

using namespace winsim::user;
namespace ws = winsim;

// RegisterClassA: the class atom, or 0 (ERROR_CLASS_ALREADY_EXISTS,
// ERROR_INVALID_PARAMETER).
extern "C" ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
  if (!lpWndClass || !lpWndClass->lpszClassName || IS_INTRESOURCE(lpWndClass->lpszClassName) ||
      !*lpWndClass->lpszClassName || lpWndClass->cbWndExtra < 0 || lpWndClass->cbClsExtra < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WindowClass c;
  c.name = lpWndClass->lpszClassName;
  c.style = lpWndClass->style;
  c.proc = lpWndClass->lpfnWndProc;
  c.clsExtra = lpWndClass->cbClsExtra;
  c.wndExtra = lpWndClass->cbWndExtra;
  c.instance = lpWndClass->hInstance;
  c.background = lpWndClass->hbrBackground;
  return addClass(std::move(c));
}

// RegisterClassExA: as RegisterClassA; a wrong cbSize gives 0 with
// ERROR_INVALID_PARAMETER.
extern "C" ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* lpWndClass) {
  if (!lpWndClass || lpWndClass->cbSize != sizeof(WNDCLASSEXA)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WNDCLASSA a{lpWndClass->style,         lpWndClass->lpfnWndProc, lpWndClass->cbClsExtra,
              lpWndClass->cbWndExtra,    lpWndClass->hInstance,   lpWndClass->hIcon,
              lpWndClass->hCursor,       lpWndClass->hbrBackground, lpWndClass->lpszMenuName,
              lpWndClass->lpszClassName};
  return RegisterClassA(&a);
}

// UnregisterClassA: FALSE with ERROR_CLASS_DOES_NOT_EXIST for an unknown
// class, ERROR_CLASS_HAS_WINDOWS is not modelled (the class stays usable by
// the windows that have it).
extern "C" BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE) {
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  auto c = classByNameLocked(lpClassName);
  if (!c) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  classes().byName.erase(ws::toLower(c->name));
  return TRUE;
}

// GetClassInfoExA: FALSE with ERROR_CLASS_DOES_NOT_EXIST for an unknown class.
extern "C" BOOL WINAPI GetClassInfoExA(HINSTANCE, LPCSTR lpszClass, LPWNDCLASSEXA lpwcx) {
  std::shared_ptr<const WindowClass> c;
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    c = classByNameLocked(lpszClass);
  }
  if (!c || !lpwcx) {
    SetLastError(c ? ERROR_INVALID_PARAMETER : ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  lpwcx->style = c->style;
  lpwcx->lpfnWndProc = c->proc;
  lpwcx->cbClsExtra = c->clsExtra;
  lpwcx->cbWndExtra = c->wndExtra;
  lpwcx->hInstance = c->instance;
  lpwcx->hIcon = nullptr;
  lpwcx->hCursor = nullptr;
  lpwcx->hbrBackground = c->background;
  lpwcx->lpszMenuName = nullptr;
  lpwcx->lpszClassName = lpszClass;
  lpwcx->hIconSm = nullptr;
  return c->atom;
}

// CreateWindowExA: the new window, or NULL (ERROR_CANNOT_FIND_WND_CLASS,
// ERROR_INVALID_WINDOW_HANDLE for a bad parent, or the creation was refused
// by WM_NCCREATE/WM_CREATE).
extern "C" HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                                       int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                                       HINSTANCE hInstance, LPVOID lpParam) {
  auto w = std::make_shared<Window>();
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    w->cls = classByNameLocked(lpClassName);
    if (!w->cls) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    if (hWndParent == HWND_MESSAGE) {
      w->messageOnly = true;
      dwStyle &= ~static_cast<DWORD>(WS_VISIBLE);
    } else if (hWndParent) {
      auto p = findWindowLocked(hWndParent);
      if (!p) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
      }
    } else if (dwStyle & WS_CHILD) {
      SetLastError(ERROR_TLW_WITH_WSCHILD);
      return nullptr;
    }
  }
  w->hwnd = allocateWindowHandle();
  if (!w->hwnd) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  w->proc = w->cls->proc;
  w->style = dwStyle;
  w->exStyle = dwExStyle;
  w->enabled = !(dwStyle & WS_DISABLED);
  w->instance = hInstance;
  w->rect = RECT{X == CW_USEDEFAULT ? 0 : X, Y == CW_USEDEFAULT ? 0 : Y,
                 (X == CW_USEDEFAULT ? 0 : X) + (nWidth == CW_USEDEFAULT ? 640 : nWidth),
                 (Y == CW_USEDEFAULT ? 0 : Y) + (nHeight == CW_USEDEFAULT ? 480 : nHeight)};
  w->threadId = ws::currentThreadId();
  w->extra.assign(static_cast<size_t>(std::max(0, w->cls->wndExtra)), 0);
  if (hWndParent && hWndParent != HWND_MESSAGE) {
    if (dwStyle & WS_CHILD) {
      w->parent = hWndParent;
      w->id = reinterpret_cast<UINT_PTR>(hMenu);
    } else {
      w->owner = hWndParent;
    }
  }
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    windows()[key(w->hwnd)] = w;
    if (w->parent) {
      auto p = findWindowLocked(w->parent);
      if (p) p->children.push_back(w->hwnd);
    }
    if (w->owner) {
      // A popup owned by a window becomes the owner's (and its root's) last
      // active popup, which is what GetLastActivePopup reports.
      auto o = findWindowLocked(w->owner);
      if (o) o->lastActivePopup = w->hwnd;
    }
  }
  currentQueue();
  CREATESTRUCTA cs{lpParam, hInstance, hMenu, hWndParent == HWND_MESSAGE ? nullptr : hWndParent,
                   nHeight, nWidth, Y, X, static_cast<LONG>(dwStyle), lpWindowName, lpClassName, dwExStyle};
  if (!callWindowProc(w->hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
    DestroyWindow(w->hwnd);
    return nullptr;
  }
  if (isTopLevel(*w)) republish(*w);
  if (callWindowProc(w->hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(w->hwnd);
    return nullptr;
  }
  if (!IsWindow(w->hwnd)) return nullptr;
  notifyObserver(w->hwnd, WindowEvent::Created);
  if (dwStyle & WS_VISIBLE) {
    w->style &= ~static_cast<DWORD>(WS_VISIBLE);
    ShowWindow(w->hwnd, SW_SHOW);
  }
  return w->hwnd;
}

// DestroyWindow: FALSE with ERROR_INVALID_WINDOW_HANDLE, or
// ERROR_ACCESS_DENIED for a window of another thread.
extern "C" BOOL WINAPI DestroyWindow(HWND hWnd) {
  std::vector<HWND> order;
  std::vector<HWND> owned;
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    auto w = findWindowLocked(hWnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (w->threadId != ws::currentThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    for (auto& [k, o] : windows())
      if (!o->destroying && o->owner == hWnd) owned.push_back(o->hwnd);
  }
  // Windows destroys the owned popups first, then the window and its children.
  for (HWND o : owned) DestroyWindow(o);
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    collectDestroyOrder(hWnd, &order);
  }
  if (order.empty()) return TRUE;  // destroyed by one of its popups' procedures
  auto self = findWindow(hWnd);
  if (self && self->visible) ShowWindow(hWnd, SW_HIDE);
  // WM_DESTROY goes to the parent before its children; WM_NCDESTROY after them.
  for (HWND h : order) callWindowProc(h, WM_DESTROY, 0, 0);
  std::vector<std::shared_ptr<Window>> doomed;
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    for (HWND h : order) {
      auto it = windows().find(key(h));
      if (it == windows().end()) continue;
      it->second->destroying = true;
      doomed.push_back(it->second);
    }
  }
  for (auto it = order.rbegin(); it != order.rend(); ++it) callWindowProc(*it, WM_NCDESTROY, 0, 0);
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    for (auto& d : doomed) {
      windows().erase(key(d->hwnd));
      if (g_localForeground == d->hwnd) g_localForeground = nullptr;
      if (d->parent) {
        auto p = findWindowLocked(d->parent);
        if (p) p->children.erase(std::remove(p->children.begin(), p->children.end(), d->hwnd), p->children.end());
      }
      for (auto& [k, o] : windows()) {
        if (o->lastActivePopup == d->hwnd) o->lastActivePopup = nullptr;
        if (o->focus == d->hwnd) o->focus = nullptr;
      }
      // Timers and posted messages of a destroyed window go with it.
      auto q = queueOf(d->threadId);
      if (q) {
        std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == d->hwnd; });
        std::erase_if(q->posted, [&](const MSG& m) { return m.hwnd == d->hwnd; });
      }
    }
  }
  for (auto& d : doomed) {
    if (isTopLevel(*d)) unpublishWindow(d->hwnd);
    notifyObserver(d->hwnd, WindowEvent::Destroyed);
  }
  return TRUE;
}

// IsWindow: TRUE for a window of any running process of the machine.
extern "C" BOOL WINAPI IsWindow(HWND hWnd) {
  if (!hWnd) return FALSE;
  if (findWindow(hWnd)) return TRUE;
  return isForeignWindow(hWnd) && remoteQueryWindow(hWnd, nullptr);
}

// ShowWindow: whether the window was visible before; FALSE also for a bad
// handle (ERROR_INVALID_WINDOW_HANDLE).
extern "C" BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  auto w = findWindow(hWnd);
  if (!w) {
    if (isForeignWindow(hWnd)) return remoteShowWindow(hWnd, nCmdShow);
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const bool was = w->visible;
  const bool show = nCmdShow != SW_HIDE;
  if (was == show) return was;
  callWindowProc(hWnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    w->visible = show;
    if (show) w->style |= WS_VISIBLE;
    else w->style &= ~static_cast<DWORD>(WS_VISIBLE);
    if (show && !w->isChild() && !w->messageOnly && nCmdShow != SW_SHOWNA && nCmdShow != SW_SHOWNOACTIVATE &&
        nCmdShow != SW_SHOWMINNOACTIVE) {
      g_localForeground = hWnd;
    }
  }
  if (isTopLevel(*w)) republish(*w);
  notifyObserver(hWnd, show ? WindowEvent::Shown : WindowEvent::Hidden);
  return was;
}

// UpdateWindow: nothing is painted; TRUE for a window.
extern "C" BOOL WINAPI UpdateWindow(HWND hWnd) { return IsWindow(hWnd); }

// IsWindowVisible: TRUE when the window and all its parents are visible.
extern "C" BOOL WINAPI IsWindowVisible(HWND hWnd) {
  std::unique_lock<std::mutex> lock(ws::waitMutex());
  auto w = findWindowLocked(hWnd);
  if (!w) {
    lock.unlock();
    RemoteWindowInfo info;
    return isForeignWindow(hWnd) && remoteQueryWindow(hWnd, &info) && info.visible;
  }
  while (w) {
    if (!w->visible) return FALSE;
    if (!w->parent) return TRUE;
    w = findWindowLocked(w->parent);
  }
  return FALSE;
}

// EnableWindow: TRUE when the window was disabled before.
extern "C" BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
  auto w = findWindow(hWnd);
  if (!w) {
    if (isForeignWindow(hWnd)) return remoteEnableWindow(hWnd, bEnable);
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const bool wasDisabled = !w->enabled;
  const bool enable = bEnable != FALSE;
  if (w->enabled == enable) return wasDisabled;
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    w->enabled = enable;
    if (enable) w->style &= ~static_cast<DWORD>(WS_DISABLED);
    else w->style |= WS_DISABLED;
  }
  callWindowProc(hWnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  notifyObserver(hWnd, enable ? WindowEvent::Enabled : WindowEvent::Disabled);
  return wasDisabled;
}

// IsWindowEnabled: FALSE also for a bad handle.
extern "C" BOOL WINAPI IsWindowEnabled(HWND hWnd) {
  auto w = findWindow(hWnd);
  if (w) return w->enabled;
  RemoteWindowInfo info;
  return isForeignWindow(hWnd) && remoteQueryWindow(hWnd, &info) && info.enabled;
}

// SetWindowTextA: sends WM_SETTEXT (across processes too); FALSE for a bad
// handle.
extern "C" BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  if (!IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString ? lpString : "")) ? TRUE : FALSE;
}

// GetWindowTextA: the number of characters copied (without the terminating
// zero); 0 for an empty text or a bad handle. The text of a window of another
// process is read without sending it a message, as Windows does.
extern "C" int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  std::string text;
  auto w = findWindow(hWnd);
  if (w) {
    if (w->threadId == ws::currentThreadId()) {
      // The window's own thread asks the window, so that controls that keep
      // their text elsewhere can answer.
      return static_cast<int>(SendMessageA(hWnd, WM_GETTEXT, static_cast<WPARAM>(std::max(nMaxCount, 0)),
                                           reinterpret_cast<LPARAM>(lpString)));
    }
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    text = w->text;
  } else {
    RemoteWindowInfo info;
    if (!isForeignWindow(hWnd) || !remoteQueryWindow(hWnd, &info)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      if (lpString && nMaxCount > 0) *lpString = 0;
      return 0;
    }
    text = info.text;
  }
  if (!lpString || nMaxCount <= 0) return 0;
  const size_t n = std::min(text.size(), static_cast<size_t>(nMaxCount - 1));
  std::memcpy(lpString, text.data(), n);
  lpString[n] = 0;
  return static_cast<int>(n);
}

// GetWindowTextLengthA: the length of the text; 0 for a bad handle.
extern "C" int WINAPI GetWindowTextLengthA(HWND hWnd) {
  auto w = findWindow(hWnd);
  if (w) {
    if (w->threadId == ws::currentThreadId()) return static_cast<int>(SendMessageA(hWnd, WM_GETTEXTLENGTH, 0, 0));
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    return static_cast<int>(w->text.size());
  }
  RemoteWindowInfo info;
  if (!isForeignWindow(hWnd) || !remoteQueryWindow(hWnd, &info)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return static_cast<int>(info.text.size());
}

// GetClassNameA: the length copied; 0 with ERROR_INVALID_WINDOW_HANDLE.
extern "C" int WINAPI GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount) {
  std::string name;
  auto w = findWindow(hWnd);
  if (w) {
    name = w->cls ? w->cls->name : "";
  } else {
    RemoteWindowInfo info;
    if (!isForeignWindow(hWnd) || !remoteQueryWindow(hWnd, &info)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    name = info.cls;
  }
  if (!lpClassName || nMaxCount <= 0) return 0;
  const size_t n = std::min(name.size(), static_cast<size_t>(nMaxCount - 1));
  std::memcpy(lpClassName, name.data(), n);
  lpClassName[n] = 0;
  return static_cast<int>(n);
}

// GetParent: the parent of a child window, the owner of a popup window,
// NULL for other top-level windows (and for a bad handle).
extern "C" HWND WINAPI GetParent(HWND hWnd) {
  auto w = findWindow(hWnd);
  if (!w) {
    RemoteWindowInfo info;
    if (isForeignWindow(hWnd) && remoteQueryWindow(hWnd, &info)) return info.parent;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (w->isChild()) return w->parent;
  if (w->style & WS_POPUP) return w->owner;
  return nullptr;
}

// GetWindow: the related window, or NULL.
extern "C" HWND WINAPI GetWindow(HWND hWnd, UINT uCmd) {
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  auto w = findWindowLocked(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  switch (uCmd) {
    case GW_CHILD:
      return w->children.empty() ? nullptr : w->children.front();
    case GW_OWNER:
      return w->owner;
    case GW_HWNDFIRST:
    case GW_HWNDLAST:
    case GW_HWNDNEXT:
    case GW_HWNDPREV: {
      auto p = w->parent ? findWindowLocked(w->parent) : nullptr;
      if (!p) return nullptr;
      auto& c = p->children;
      auto it = std::find(c.begin(), c.end(), hWnd);
      if (uCmd == GW_HWNDFIRST) return c.front();
      if (uCmd == GW_HWNDLAST) return c.back();
      if (uCmd == GW_HWNDNEXT) return (it == c.end() || it + 1 == c.end()) ? nullptr : *(it + 1);
      return (it == c.begin() || it == c.end()) ? nullptr : *(it - 1);
    }
    case GW_ENABLEDPOPUP:
      return w->lastActivePopup;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

// GetDesktopWindow: the one desktop window of the machine (a fixed handle that
// no process owns; IsWindow answers FALSE for it, nothing is sent to it).
extern "C" HWND WINAPI GetDesktopWindow(void) { return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x10010)); }

// IsChild: TRUE when hWnd is a child (at any depth) of hWndParent.
extern "C" BOOL WINAPI IsChild(HWND hWndParent, HWND hWnd) {
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  auto w = findWindowLocked(hWnd);
  while (w && w->isChild() && w->parent) {
    if (w->parent == hWndParent) return TRUE;
    w = findWindowLocked(w->parent);
  }
  return FALSE;
}

// GetWindowThreadProcessId: the thread id, or 0 for a bad handle.
extern "C" DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
  auto w = findWindow(hWnd);
  if (w) {
    if (lpdwProcessId) *lpdwProcessId = ws::currentProcessId();
    return w->threadId;
  }
  RemoteWindowInfo info;
  if (isForeignWindow(hWnd) && remoteQueryWindow(hWnd, &info)) {
    if (lpdwProcessId) *lpdwProcessId = info.pid;
    return info.threadId;
  }
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return 0;
}

// GetWindowLongPtrA: the value, or 0 with ERROR_INVALID_INDEX /
// ERROR_INVALID_WINDOW_HANDLE.
extern "C" LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  auto w = findWindowLocked(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (nIndex) {
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_USERDATA:
      return w->userData;
    case GWLP_ID:
      return static_cast<LONG_PTR>(w->id);
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(w->isChild() ? w->parent : w->owner);
    case GWL_STYLE:
      return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(static_cast<LONG>(w->exStyle));
    default: {
      LONG_PTR v = 0;
      if (w->readExtra(nIndex, &v)) return v;
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
    }
  }
}

// SetWindowLongPtrA: the previous value, or 0 with ERROR_INVALID_INDEX /
// ERROR_INVALID_WINDOW_HANDLE. A previous value of 0 leaves the last error
// at 0, so that callers can tell it from a failure.
extern "C" LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  LONG_PTR previous = 0;
  bool styleChanged = false;
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    auto w = findWindowLocked(hWnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    switch (nIndex) {
      case GWLP_WNDPROC:
        previous = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(dwNewLong);
        break;
      case GWLP_USERDATA:
        previous = w->userData;
        w->userData = dwNewLong;
        break;
      case GWLP_ID:
        previous = static_cast<LONG_PTR>(w->id);
        w->id = static_cast<UINT_PTR>(dwNewLong);
        break;
      case GWLP_HINSTANCE:
        previous = reinterpret_cast<LONG_PTR>(w->instance);
        w->instance = reinterpret_cast<HINSTANCE>(dwNewLong);
        break;
      case GWLP_HWNDPARENT:
        previous = reinterpret_cast<LONG_PTR>(w->owner);
        if (!w->isChild()) w->owner = reinterpret_cast<HWND>(dwNewLong);
        break;
      case GWL_STYLE:
        previous = static_cast<LONG>(w->style);
        w->style = static_cast<DWORD>(dwNewLong);
        w->enabled = !(w->style & WS_DISABLED);
        styleChanged = (static_cast<DWORD>(previous) & WS_VISIBLE) != (w->style & WS_VISIBLE);
        w->visible = (w->style & WS_VISIBLE) != 0;
        break;
      case GWL_EXSTYLE:
        previous = static_cast<LONG>(w->exStyle);
        w->exStyle = static_cast<DWORD>(dwNewLong);
        break;
      default:
        if (!w->writeExtra(nIndex, dwNewLong, &previous)) {
          SetLastError(ERROR_INVALID_INDEX);
          return 0;
        }
    }
  }
  if (styleChanged) notifyObserver(hWnd, IsWindowVisible(hWnd) ? WindowEvent::Shown : WindowEvent::Hidden);
  if (previous == 0) SetLastError(0);
  return previous;
}

// GetWindowLongA / SetWindowLongA: the 32-bit forms.
extern "C" LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
  return static_cast<LONG>(GetWindowLongPtrA(hWnd, nIndex));
}
extern "C" LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
  return static_cast<LONG>(SetWindowLongPtrA(hWnd, nIndex, dwNewLong));
}

// FindWindowA: the first top-level window of the machine whose class and
// title match (NULL matches any; class names and titles are compared without
// regard to case, as Windows does); message-only windows are not found.
// NULL with ERROR_FILE_NOT_FOUND... Windows leaves the last error alone.
extern "C" HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
  for (const auto& p : publishedWindows()) {
    if (p.messageOnly) continue;
    if (lpClassName && !ws::iequals(p.cls, lpClassName)) continue;
    if (lpWindowName && !ws::iequals(p.title, lpWindowName)) continue;
    return p.hwnd;
  }
  return nullptr;
}

// SetForegroundWindow: brings a top-level window of any process to the
// front; FALSE for a bad handle.
extern "C" BOOL WINAPI SetForegroundWindow(HWND hWnd) {
  if (!IsWindow(hWnd)) return FALSE;
  setMachineForeground(hWnd);
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  g_localForeground = findWindowLocked(hWnd) ? hWnd : nullptr;
  return TRUE;
}

// GetForegroundWindow: the window most recently brought to the front on the
// machine, or NULL when it has gone.
extern "C" HWND WINAPI GetForegroundWindow(void) {
  HWND h = machineForeground();
  return (h && IsWindow(h)) ? h : nullptr;
}

// GetActiveWindow: the calling thread's foreground window, or NULL.
extern "C" HWND WINAPI GetActiveWindow(void) {
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  auto w = findWindowLocked(g_localForeground);
  return (w && w->threadId == ws::currentThreadId()) ? g_localForeground : nullptr;
}

// SetActiveWindow: the previously active window.
extern "C" HWND WINAPI SetActiveWindow(HWND hWnd) {
  HWND previous = GetActiveWindow();
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  if (!findWindowLocked(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  g_localForeground = hWnd;
  return previous;
}

// GetLastActivePopup: the owned popup most recently created or activated, or
// the window itself.
extern "C" HWND WINAPI GetLastActivePopup(HWND hWnd) {
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    auto w = findWindowLocked(hWnd);
    if (w) {
      HWND p = w->lastActivePopup;
      return (p && findWindowLocked(p)) ? p : hWnd;
    }
  }
  RemoteWindowInfo info;
  if (isForeignWindow(hWnd) && remoteQueryWindow(hWnd, &info)) return info.lastActivePopup ? info.lastActivePopup : hWnd;
  return hWnd;
}

// BringWindowToTop: TRUE for a window of any process.
extern "C" BOOL WINAPI BringWindowToTop(HWND hWnd) {
  if (!IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

// SetFocus: the window that had the focus. The focus is kept per top-level
// window, which is what dialogs need.
extern "C" HWND WINAPI SetFocus(HWND hWnd) {
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  auto w = findWindowLocked(hWnd);
  if (!w) return nullptr;
  auto root = w;
  while (root->isChild() && root->parent) {
    auto p = findWindowLocked(root->parent);
    if (!p) break;
    root = p;
  }
  HWND previous = root->focus;
  root->focus = hWnd;
  g_localForeground = root->hwnd;
  return previous;
}

// GetFocus: the focus of the active window of the calling thread.
extern "C" HWND WINAPI GetFocus(void) {
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  auto w = findWindowLocked(g_localForeground);
  if (!w || w->threadId != ws::currentThreadId()) return nullptr;
  return w->focus ? w->focus : g_localForeground;
}

// GetWindowRect / GetClientRect: the rectangle given at creation or by
// MoveWindow/SetWindowPos (nothing is laid out on a screen).
extern "C" BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
  auto w = findWindow(hWnd);
  if (!w || !lpRect) {
    SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  // A child window's rectangle is kept in its parent's client coordinates;
  // Windows answers in screen coordinates. The simulated windows have no
  // non-client area, so a client origin is the window's own corner.
  RECT r = w->rect;
  for (HWND parent = w->isChild() ? w->parent : nullptr; parent;) {
    auto p = findWindow(parent);
    if (!p) break;
    r.left += p->rect.left;
    r.right += p->rect.left;
    r.top += p->rect.top;
    r.bottom += p->rect.top;
    parent = p->isChild() ? p->parent : nullptr;
  }
  *lpRect = r;
  return TRUE;
}

extern "C" BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
  auto w = findWindow(hWnd);
  if (!w || !lpRect) {
    SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *lpRect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

// MoveWindow: TRUE for a window.
extern "C" BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL) {
  auto w = findWindow(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  w->rect = RECT{X, Y, X + nWidth, Y + nHeight};
  return TRUE;
}

// SetWindowPos: moves, sizes, shows or hides as the flags say.
extern "C" BOOL WINAPI SetWindowPos(HWND hWnd, HWND, int X, int Y, int cx, int cy, UINT uFlags) {
  auto w = findWindow(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    RECT r = w->rect;
    if (!(uFlags & SWP_NOMOVE)) r = RECT{X, Y, X + (r.right - r.left), Y + (r.bottom - r.top)};
    if (!(uFlags & SWP_NOSIZE)) r.right = r.left + cx, r.bottom = r.top + cy;
    w->rect = r;
  }
  if (uFlags & SWP_SHOWWINDOW) ShowWindow(hWnd, SW_SHOWNA);
  if (uFlags & SWP_HIDEWINDOW) ShowWindow(hWnd, SW_HIDE);
  return TRUE;
}

// InvalidateRect: nothing is painted; TRUE for a window.
extern "C" BOOL WINAPI InvalidateRect(HWND hWnd, const RECT*, BOOL) { return hWnd == nullptr || IsWindow(hWnd); }

// DefWindowProcA: the default answers: window text, WM_CLOSE destroys the
// window, WM_NCCREATE takes the text from the creation record.
extern "C" LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  switch (Msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) {
        auto w = findWindow(hWnd);
        if (w) {
          std::lock_guard<std::mutex> guard(ws::waitMutex());
          w->text = cs->lpszName;
        }
      }
      return TRUE;
    }
    case WM_SETTEXT: {
      auto w = findWindow(hWnd);
      if (!w) return FALSE;
      {
        std::lock_guard<std::mutex> guard(ws::waitMutex());
        w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      }
      if (!w->isChild()) republish(*w);
      notifyObserver(hWnd, WindowEvent::TextChanged);
      return TRUE;
    }
    case WM_GETTEXT: {
      auto w = findWindow(hWnd);
      char* out = reinterpret_cast<char*>(lParam);
      if (!w || !out || wParam == 0) return 0;
      std::lock_guard<std::mutex> guard(ws::waitMutex());
      const size_t n = std::min(w->text.size(), static_cast<size_t>(wParam - 1));
      std::memcpy(out, w->text.data(), n);
      out[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_SETFONT:
    case WM_GETFONT: {
      // The controls and dialogs of the system keep the font they are given;
      // windows of the program's own classes answer NULL as Windows does.
      auto w = findWindow(hWnd);
      if (!w || !w->cls || !w->cls->system) return 0;
      if (Msg == WM_GETFONT) return reinterpret_cast<LRESULT>(w->font);
      w->font = reinterpret_cast<HFONT>(wParam);
      return 0;
    }
    case WM_GETTEXTLENGTH: {
      auto w = findWindow(hWnd);
      if (!w) return 0;
      std::lock_guard<std::mutex> guard(ws::waitMutex());
      return static_cast<LRESULT>(w->text.size());
    }
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    default:
      return 0;
  }
}

// CallWindowProcA: calls the procedure (a subclassed window's previous one).
extern "C" LRESULT WINAPI CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (!lpPrevWndFunc) return 0;
  return lpPrevWndFunc(hWnd, Msg, wParam, lParam);
}

static const winsim::ExportRegistrar kExports(
    "user32.dll",
    {WINSIM_EXPORT(RegisterClassA), WINSIM_EXPORT(RegisterClassExA), WINSIM_EXPORT(UnregisterClassA),
     WINSIM_EXPORT(GetClassInfoExA), WINSIM_EXPORT(GetClassNameA), WINSIM_EXPORT(CreateWindowExA),
     WINSIM_EXPORT(DestroyWindow), WINSIM_EXPORT(IsWindow), WINSIM_EXPORT(ShowWindow), WINSIM_EXPORT(UpdateWindow),
     WINSIM_EXPORT(IsWindowVisible), WINSIM_EXPORT(EnableWindow), WINSIM_EXPORT(IsWindowEnabled),
     WINSIM_EXPORT(SetWindowTextA), WINSIM_EXPORT(GetWindowTextA), WINSIM_EXPORT(GetWindowTextLengthA),
     WINSIM_EXPORT(GetParent), WINSIM_EXPORT(GetWindow), WINSIM_EXPORT(GetDesktopWindow), WINSIM_EXPORT(IsChild),
     WINSIM_EXPORT(GetWindowThreadProcessId), WINSIM_EXPORT(GetWindowLongPtrA), WINSIM_EXPORT(SetWindowLongPtrA),
     WINSIM_EXPORT(GetWindowLongA), WINSIM_EXPORT(SetWindowLongA), WINSIM_EXPORT(FindWindowA),
     WINSIM_EXPORT(SetForegroundWindow), WINSIM_EXPORT(GetForegroundWindow), WINSIM_EXPORT(GetActiveWindow),
     WINSIM_EXPORT(SetActiveWindow), WINSIM_EXPORT(GetLastActivePopup), WINSIM_EXPORT(BringWindowToTop),
     WINSIM_EXPORT(SetFocus), WINSIM_EXPORT(GetFocus), WINSIM_EXPORT(GetWindowRect), WINSIM_EXPORT(GetClientRect),
     WINSIM_EXPORT(MoveWindow), WINSIM_EXPORT(SetWindowPos), WINSIM_EXPORT(InvalidateRect),
     WINSIM_EXPORT(DefWindowProcA), WINSIM_EXPORT(CallWindowProcA)});
