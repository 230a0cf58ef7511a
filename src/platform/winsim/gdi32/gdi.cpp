// winsim: GDI objects and the painting calls of user32 that the wizard pages
// use. Nothing reaches a screen: fonts, brushes and pens keep what they were
// created with (GetObjectA answers it), device contexts keep their selected
// objects and colours, text drawing only measures, and text extents follow
// the dialog manager's fixed character width so that automatic column widths
// are the same on every host.
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "gdi32/gdi_internal.h"
#include "modules.h"
#include "user32/dialog_internal.h"
#include "user32/window_internal.h"

namespace {

struct GdiObject {
  DWORD type = 0;  // OBJ_FONT, OBJ_BRUSH, OBJ_PEN
  LOGFONTA font{};
  COLORREF color = 0;
  bool stock = false;
};

struct DeviceContext {
  HWND window = nullptr;
  HGDIOBJ font = nullptr;
  HGDIOBJ brush = nullptr;
  HGDIOBJ pen = nullptr;
  COLORREF text = 0;
  COLORREF background = 0xFFFFFF;
  int bkMode = OPAQUE;
  POINT position{};
};

// Handles of objects and of device contexts come from separate ranges so
// that one is never taken for the other.
constexpr uintptr_t kObjectBase = 0x4D000000;
constexpr uintptr_t kDcBase = 0x4E000000;
constexpr int kStockCount = 20;

std::mutex& gdiMutex() {
  static std::mutex m;
  return m;
}
std::map<uintptr_t, GdiObject>& objects() {
  static std::map<uintptr_t, GdiObject> table = [] {
    std::map<uintptr_t, GdiObject> t;
    auto add = [&t](int index, DWORD type, COLORREF color) {
      GdiObject o;
      o.type = type;
      o.color = color;
      o.stock = true;
      if (type == OBJ_FONT) {
        o.font.lfHeight = -11;
        o.font.lfWeight = FW_NORMAL;
        std::strcpy(o.font.lfFaceName, index == DEFAULT_GUI_FONT ? "MS Shell Dlg" : "System");
      }
      t[kObjectBase + static_cast<uintptr_t>(index)] = o;
    };
    add(WHITE_BRUSH, OBJ_BRUSH, 0xFFFFFF);
    add(LTGRAY_BRUSH, OBJ_BRUSH, 0xC0C0C0);
    add(GRAY_BRUSH, OBJ_BRUSH, 0x808080);
    add(DKGRAY_BRUSH, OBJ_BRUSH, 0x404040);
    add(BLACK_BRUSH, OBJ_BRUSH, 0x000000);
    add(NULL_BRUSH, OBJ_BRUSH, 0);
    add(WHITE_PEN, OBJ_PEN, 0xFFFFFF);
    add(BLACK_PEN, OBJ_PEN, 0x000000);
    add(NULL_PEN, OBJ_PEN, 0);
    add(SYSTEM_FONT, OBJ_FONT, 0);
    add(DEFAULT_GUI_FONT, OBJ_FONT, 0);
    return t;
  }();
  return table;
}
std::map<uintptr_t, DeviceContext>& dcs() {
  static std::map<uintptr_t, DeviceContext> table;
  return table;
}
uintptr_t& nextObject() {
  static uintptr_t next = kObjectBase + kStockCount;
  return next;
}
uintptr_t& nextDc() {
  static uintptr_t next = kDcBase + 1;
  return next;
}

HGDIOBJ addObject(const GdiObject& o) {
  std::lock_guard<std::mutex> guard(gdiMutex());
  const uintptr_t h = nextObject()++;
  objects()[h] = o;
  return reinterpret_cast<HGDIOBJ>(h);
}

GdiObject* objectLocked(HGDIOBJ h) {
  auto it = objects().find(reinterpret_cast<uintptr_t>(h));
  return it == objects().end() ? nullptr : &it->second;
}
DeviceContext* dcLocked(HDC h) {
  auto it = dcs().find(reinterpret_cast<uintptr_t>(h));
  return it == dcs().end() ? nullptr : &it->second;
}

COLORREF sysColor(int index) {
  switch (index) {
    case COLOR_WINDOW: return 0xFFFFFF;
    case COLOR_WINDOWTEXT: return 0x000000;
    case COLOR_HIGHLIGHT: return 0xD77800;
    case COLOR_HIGHLIGHTTEXT: return 0xFFFFFF;
    case COLOR_BTNFACE: return 0xF0F0F0;
    case COLOR_GRAYTEXT: return 0x6D6D6D;
    default: return 0;
  }
}

}  // namespace

namespace winsim::gdi {
// An object of a kind that keeps nothing but its type (bitmaps, palettes).
HGDIOBJ addPlainObject(DWORD type) {
  GdiObject o;
  o.type = type;
  return addObject(o);
}
}  // namespace winsim::gdi

// ---- gdi32 -------------------------------------------------------------------------

extern "C" HFONT WINAPI CreateFontIndirectA(const LOGFONTA* lplf) {
  if (!lplf) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  GdiObject o;
  o.type = OBJ_FONT;
  o.font = *lplf;
  o.font.lfFaceName[LF_FACESIZE - 1] = 0;
  return static_cast<HFONT>(addObject(o));
}

extern "C" HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
  GdiObject o;
  o.type = OBJ_BRUSH;
  o.color = color;
  return static_cast<HBRUSH>(addObject(o));
}

extern "C" HPEN WINAPI CreatePen(int /*iStyle*/, int /*cWidth*/, COLORREF color) {
  GdiObject o;
  o.type = OBJ_PEN;
  o.color = color;
  return static_cast<HPEN>(addObject(o));
}

extern "C" HGDIOBJ WINAPI GetStockObject(int i) {
  std::lock_guard<std::mutex> guard(gdiMutex());
  if (i < 0 || i >= kStockCount) return nullptr;
  HGDIOBJ h = reinterpret_cast<HGDIOBJ>(kObjectBase + static_cast<uintptr_t>(i));
  return objectLocked(h) ? h : nullptr;
}

// GetObjectA: the creation record of a font (LOGFONTA) or brush (LOGBRUSH);
// with no buffer, its size. 0 for a handle that is no object.
extern "C" int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv) {
  std::lock_guard<std::mutex> guard(gdiMutex());
  const GdiObject* o = objectLocked(h);
  if (!o) return 0;
  if (o->type == OBJ_FONT) {
    if (!pv) return sizeof(LOGFONTA);
    const int n = std::min<int>(c, sizeof(LOGFONTA));
    if (n <= 0) return 0;
    std::memcpy(pv, &o->font, static_cast<size_t>(n));
    return n;
  }
  if (o->type == OBJ_BRUSH) {
    if (!pv) return sizeof(LOGBRUSH);
    LOGBRUSH lb = {BS_SOLID, o->color, 0};
    const int n = std::min<int>(c, sizeof(LOGBRUSH));
    if (n <= 0) return 0;
    std::memcpy(pv, &lb, static_cast<size_t>(n));
    return n;
  }
  return 0;
}

extern "C" DWORD WINAPI GetObjectType(HGDIOBJ h) {
  std::lock_guard<std::mutex> guard(gdiMutex());
  const GdiObject* o = objectLocked(h);
  return o ? o->type : 0;
}

// DeleteObject: FALSE for a handle that is no object; stock objects stay.
extern "C" BOOL WINAPI DeleteObject(HGDIOBJ ho) {
  std::lock_guard<std::mutex> guard(gdiMutex());
  auto it = objects().find(reinterpret_cast<uintptr_t>(ho));
  if (it == objects().end()) return FALSE;
  if (!it->second.stock) objects().erase(it);
  return TRUE;
}

extern "C" HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
  std::lock_guard<std::mutex> guard(gdiMutex());
  DeviceContext* dc = dcLocked(hdc);
  const GdiObject* o = objectLocked(h);
  if (!dc || !o) return nullptr;
  HGDIOBJ* slot = o->type == OBJ_FONT ? &dc->font : o->type == OBJ_BRUSH ? &dc->brush : &dc->pen;
  HGDIOBJ previous = *slot;
  *slot = h;
  return previous;
}

extern "C" COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
  std::lock_guard<std::mutex> guard(gdiMutex());
  DeviceContext* dc = dcLocked(hdc);
  if (!dc) return CLR_INVALID;
  std::swap(dc->text, color);
  return color;
}

extern "C" COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
  std::lock_guard<std::mutex> guard(gdiMutex());
  DeviceContext* dc = dcLocked(hdc);
  if (!dc) return CLR_INVALID;
  std::swap(dc->background, color);
  return color;
}

extern "C" int WINAPI SetBkMode(HDC hdc, int mode) {
  std::lock_guard<std::mutex> guard(gdiMutex());
  DeviceContext* dc = dcLocked(hdc);
  if (!dc) return 0;
  std::swap(dc->bkMode, mode);
  return mode;
}

// GetTextExtentPoint32A: the dialog manager's character width; a bold font
// is one pixel wider per character. The height is the font's.
extern "C" BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, LPSIZE psizl) {
  if (!psizl || (!lpString && c > 0) || c < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(gdiMutex());
  DeviceContext* dc = dcLocked(hdc);
  if (!dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const std::string text(lpString ? lpString : "", static_cast<size_t>(c));
  LONG height = 13;
  bool bold = false;
  if (const GdiObject* f = objectLocked(dc->font)) {
    if (f->font.lfHeight) height = f->font.lfHeight < 0 ? -f->font.lfHeight : f->font.lfHeight;
    bold = f->font.lfWeight >= FW_BOLD;
  }
  int chars = 0;
  for (unsigned char ch : text)
    if ((ch & 0xC0) != 0x80) ++chars;
  psizl->cx = winsim::dlg::textWidth(text) + (bold ? chars : 0);
  psizl->cy = height;
  return TRUE;
}

extern "C" BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT lppt) {
  std::lock_guard<std::mutex> guard(gdiMutex());
  DeviceContext* dc = dcLocked(hdc);
  if (!dc) return FALSE;
  if (lppt) *lppt = dc->position;
  dc->position = POINT{x, y};
  return TRUE;
}

extern "C" BOOL WINAPI LineTo(HDC hdc, int x, int y) {
  std::lock_guard<std::mutex> guard(gdiMutex());
  DeviceContext* dc = dcLocked(hdc);
  if (!dc) return FALSE;
  dc->position = POINT{x, y};
  return TRUE;
}

// ---- user32: metrics, colours, device contexts, text ---------------------------------

// The metrics of the classic Windows 2000 look at 96 dots per inch.
extern "C" int WINAPI GetSystemMetrics(int nIndex) {
  switch (nIndex) {
    case SM_CXSCREEN: return 1024;
    case SM_CYSCREEN: return 768;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: return 16;
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXICON:
    case SM_CYICON: return 32;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    default: return 0;
  }
}

extern "C" DWORD WINAPI GetSysColor(int nIndex) { return sysColor(nIndex); }

extern "C" HBRUSH WINAPI GetSysColorBrush(int nIndex) {
  // One lasting brush per colour, as the system keeps them.
  static std::map<int, HBRUSH> brushes;
  static std::mutex m;
  std::lock_guard<std::mutex> guard(m);
  HBRUSH& b = brushes[nIndex];
  if (!b) {
    GdiObject o;
    o.type = OBJ_BRUSH;
    o.color = sysColor(nIndex);
    o.stock = true;
    b = static_cast<HBRUSH>(addObject(o));
  }
  return b;
}

// GetDC: a device context with the window's font selected (the system font
// for windows without one). NULL for a window that does not exist.
extern "C" HDC WINAPI GetDC(HWND hWnd) {
  if (hWnd && !IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  HGDIOBJ font = hWnd ? reinterpret_cast<HGDIOBJ>(SendMessageA(hWnd, WM_GETFONT, 0, 0)) : nullptr;
  if (!font) font = GetStockObject(SYSTEM_FONT);
  std::lock_guard<std::mutex> guard(gdiMutex());
  const uintptr_t h = nextDc()++;
  DeviceContext dc;
  dc.window = hWnd;
  dc.font = font;
  dcs()[h] = dc;
  return reinterpret_cast<HDC>(h);
}

extern "C" int WINAPI ReleaseDC(HWND /*hWnd*/, HDC hDC) {
  std::lock_guard<std::mutex> guard(gdiMutex());
  return dcs().erase(reinterpret_cast<uintptr_t>(hDC)) ? 1 : 0;
}

extern "C" int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
  std::lock_guard<std::mutex> guard(gdiMutex());
  return (dcLocked(hDC) && lprc && (objectLocked(hbr) || reinterpret_cast<uintptr_t>(hbr) <= 31)) ? 1 : 0;
}

// DrawTextA / DrawTextExA: nothing is drawn; the height of the text, and
// with DT_CALCRECT the rectangle it needs.
extern "C" int WINAPI DrawTextExA(HDC hdc, LPSTR lpchText, int cchText, LPRECT lprc, UINT format,
                                  LPDRAWTEXTPARAMS /*lpdtp*/) {
  if (!lpchText || !lprc) return 0;
  const int n = cchText < 0 ? static_cast<int>(std::strlen(lpchText)) : cchText;
  SIZE size{};
  if (!GetTextExtentPoint32A(hdc, lpchText, n, &size)) return 0;
  if (format & DT_CALCRECT) {
    lprc->right = lprc->left + size.cx;
    lprc->bottom = lprc->top + size.cy;
  }
  return size.cy;
}

extern "C" int WINAPI DrawTextA(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format) {
  return DrawTextExA(hdc, const_cast<LPSTR>(lpchText), cchText, lprc, format, nullptr);
}

// DrawFrameControl: nothing is drawn; TRUE for a device context and a
// rectangle, as a frame control of a known type.
extern "C" BOOL WINAPI DrawFrameControl(HDC hdc, LPRECT lprc, UINT uType, UINT /*uState*/) {
  std::lock_guard<std::mutex> guard(gdiMutex());
  return (dcLocked(hdc) && lprc && uType >= 1 && uType <= 5) ? TRUE : FALSE;
}

// ---- user32: coordinates and input ------------------------------------------------

// The screen position of a window's client origin (the simulated windows
// have no non-client area).
static bool clientOrigin(HWND hWnd, POINT* origin) {
  if (!hWnd) {
    *origin = POINT{0, 0};
    return true;
  }
  RECT r;
  if (!GetWindowRect(hWnd, &r)) return false;
  *origin = POINT{r.left, r.top};
  return true;
}

extern "C" BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
  POINT o;
  if (!lpPoint || !hWnd || !clientOrigin(hWnd, &o)) return FALSE;
  lpPoint->x -= o.x;
  lpPoint->y -= o.y;
  return TRUE;
}

extern "C" BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
  POINT o;
  if (!lpPoint || !hWnd || !clientOrigin(hWnd, &o)) return FALSE;
  lpPoint->x += o.x;
  lpPoint->y += o.y;
  return TRUE;
}

// MapWindowPoints: the horizontal offset in the low word and the vertical
// in the high word; 0 (last error set) for a bad window.
extern "C" int WINAPI MapWindowPoints(HWND hWndFrom, HWND hWndTo, LPPOINT lpPoints, UINT cPoints) {
  POINT from, to;
  if (!clientOrigin(hWndFrom, &from) || !clientOrigin(hWndTo, &to)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  const int dx = from.x - to.x, dy = from.y - to.y;
  for (UINT i = 0; lpPoints && i < cPoints; ++i) {
    lpPoints[i].x += dx;
    lpPoints[i].y += dy;
  }
  SetLastError(0);
  return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

// AttachThreadInput: the simulated machine has one input queue per thread
// and nothing to share, so attaching succeeds for two different running
// threads and fails, as on Windows, for a thread with itself or a thread
// id of 0.
extern "C" BOOL WINAPI AttachThreadInput(DWORD idAttach, DWORD idAttachTo, BOOL /*fAttach*/) {
  if (idAttach == 0 || idAttachTo == 0 || idAttach == idAttachTo) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

static const winsim::ExportRegistrar kGdiExports(
    "gdi32.dll",
    {WINSIM_EXPORT(CreateFontIndirectA), WINSIM_EXPORT(CreateSolidBrush), WINSIM_EXPORT(CreatePen),
     WINSIM_EXPORT(GetStockObject), WINSIM_EXPORT(GetObjectA), WINSIM_EXPORT(GetObjectType),
     WINSIM_EXPORT(DeleteObject), WINSIM_EXPORT(SelectObject), WINSIM_EXPORT(SetTextColor),
     WINSIM_EXPORT(SetBkColor), WINSIM_EXPORT(SetBkMode), WINSIM_EXPORT(GetTextExtentPoint32A),
     WINSIM_EXPORT(MoveToEx), WINSIM_EXPORT(LineTo)});

static const winsim::ExportRegistrar kUserExports(
    "user32.dll",
    {WINSIM_EXPORT(GetSystemMetrics), WINSIM_EXPORT(GetSysColor), WINSIM_EXPORT(GetSysColorBrush),
     WINSIM_EXPORT(GetDC), WINSIM_EXPORT(ReleaseDC), WINSIM_EXPORT(FillRect), WINSIM_EXPORT(DrawTextA),
     WINSIM_EXPORT(DrawTextExA), WINSIM_EXPORT(DrawFrameControl), WINSIM_EXPORT(ScreenToClient),
     WINSIM_EXPORT(ClientToScreen), WINSIM_EXPORT(MapWindowPoints), WINSIM_EXPORT(AttachThreadInput)});
