// winsim: bitmaps, palettes and memory device contexts. There is no screen
// to paint on: the objects keep their sizes and colour counts so that the
// calls answer as Windows does, and the renderer shows pictures as captions.
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include <windows.h>
#include <wingdi.h>

#include "modules.h"

namespace {

struct GdiObject {
  enum class Kind { Bitmap, Palette, Dc } kind;
  LONG width = 0, height = 0;
  WORD entries = 0;
  int stretchMode = BLACKONWHITE;
};

std::mutex g_mutex;
std::unordered_map<void*, std::unique_ptr<GdiObject>>& objects() {
  static std::unordered_map<void*, std::unique_ptr<GdiObject>> table;
  return table;
}

void* remember(std::unique_ptr<GdiObject> object) {
  std::lock_guard<std::mutex> guard(g_mutex);
  void* key = object.get();
  objects()[key] = std::move(object);
  return key;
}

GdiObject* lookup(const void* h) {
  std::lock_guard<std::mutex> guard(g_mutex);
  auto it = objects().find(const_cast<void*>(h));
  return it == objects().end() ? nullptr : it->second.get();
}

}  // namespace

// CreateDIBitmap: a bitmap of the header's size; NULL with
// ERROR_INVALID_PARAMETER for a missing or malformed header.
extern "C" HBITMAP WINAPI CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* pbmih, DWORD flInit, const VOID* pjBits,
                                         const BITMAPINFO* pbmi, UINT iUsage) {
  (void)hdc, (void)pjBits, (void)iUsage;
  if (!pbmih || (pbmih->biSize != sizeof(BITMAPCOREHEADER) && pbmih->biSize < sizeof(BITMAPINFOHEADER)) ||
      ((flInit & CBM_INIT) && !pbmi)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto object = std::make_unique<GdiObject>();
  object->kind = GdiObject::Kind::Bitmap;
  if (pbmih->biSize == sizeof(BITMAPCOREHEADER)) {
    const auto* core = reinterpret_cast<const BITMAPCOREHEADER*>(pbmih);
    object->width = core->bcWidth;
    object->height = core->bcHeight;
  } else {
    object->width = pbmih->biWidth;
    object->height = pbmih->biHeight < 0 ? -pbmih->biHeight : pbmih->biHeight;
  }
  return static_cast<HBITMAP>(remember(std::move(object)));
}

// CreatePalette: NULL with ERROR_INVALID_PARAMETER unless version 0x300 and
// 1 to 1024 entries.
extern "C" HPALETTE WINAPI CreatePalette(const LOGPALETTE* plpal) {
  if (!plpal || plpal->palVersion != 0x300 || plpal->palNumEntries == 0 || plpal->palNumEntries > 1024) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto object = std::make_unique<GdiObject>();
  object->kind = GdiObject::Kind::Palette;
  object->entries = plpal->palNumEntries;
  return static_cast<HPALETTE>(remember(std::move(object)));
}

// SelectPalette: the previous palette (NULL the first time); NULL with
// ERROR_INVALID_HANDLE for an unknown palette.
extern "C" HPALETTE WINAPI SelectPalette(HDC hdc, HPALETTE hPal, BOOL bForceBkgd) {
  (void)hdc, (void)bForceBkgd;
  GdiObject* p = lookup(hPal);
  if (!p || p->kind != GdiObject::Kind::Palette) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return nullptr;
}

// RealizePalette: the number of entries mapped; a true-colour display maps
// none.
extern "C" UINT WINAPI RealizePalette(HDC hdc) {
  (void)hdc;
  return 0;
}

extern "C" HDC WINAPI CreateCompatibleDC(HDC hdc) {
  (void)hdc;
  auto object = std::make_unique<GdiObject>();
  object->kind = GdiObject::Kind::Dc;
  return static_cast<HDC>(remember(std::move(object)));
}

extern "C" BOOL WINAPI DeleteDC(HDC hdc) {
  std::lock_guard<std::mutex> guard(g_mutex);
  auto it = objects().find(hdc);
  if (it == objects().end() || it->second->kind != GdiObject::Kind::Dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  objects().erase(it);
  return TRUE;
}

// SelectObject: NULL for an unknown object (no previous object is kept).
extern "C" HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
  (void)hdc;
  if (!lookup(h)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return nullptr;
}

// DeleteObject: FALSE for an unknown object or a device context.
extern "C" BOOL WINAPI DeleteObject(HGDIOBJ ho) {
  std::lock_guard<std::mutex> guard(g_mutex);
  auto it = objects().find(ho);
  if (it == objects().end() || it->second->kind == GdiObject::Kind::Dc) return FALSE;
  objects().erase(it);
  return TRUE;
}

// SetStretchBltMode: the previous mode; 0 for a mode out of range.
extern "C" int WINAPI SetStretchBltMode(HDC hdc, int mode) {
  if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
  GdiObject* dc = lookup(hdc);
  const int previous = dc ? dc->stretchMode : BLACKONWHITE;
  if (dc) dc->stretchMode = mode;
  return previous;
}

// StretchBlt: TRUE; nothing is painted (there is no screen).
extern "C" BOOL WINAPI StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc,
                                  int ySrc, int wSrc, int hSrc, DWORD rop) {
  (void)hdcDest, (void)xDest, (void)yDest, (void)wDest, (void)hDest, (void)hdcSrc, (void)xSrc, (void)ySrc,
      (void)wSrc, (void)hSrc, (void)rop;
  return TRUE;
}

// GetDC: a device context of the window's client area; NULL with
// ERROR_INVALID_WINDOW_HANDLE for a window that does not exist.
extern "C" HDC WINAPI GetDC(HWND hWnd) {
  if (hWnd && !IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return CreateCompatibleDC(nullptr);
}

// ReleaseDC: 1 when the context was released, 0 otherwise.
extern "C" int WINAPI ReleaseDC(HWND hWnd, HDC hDC) {
  (void)hWnd;
  return DeleteDC(hDC) ? 1 : 0;
}

// GetTextExtentPoint32A: the size of a text in the dialogs' font, 8-point
// "MS Shell Dlg" at 96 dpi: 6 pixels a character on average, 13 high.
extern "C" BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, LPSIZE psizl) {
  if (!lookup(hdc) || !psizl || c < 0 || (c > 0 && !lpString)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  psizl->cx = 6 * c;
  psizl->cy = 13;
  return TRUE;
}

static const winsim::ExportRegistrar kUserExports("user32.dll", {WINSIM_EXPORT(GetDC), WINSIM_EXPORT(ReleaseDC)});
static const winsim::ExportRegistrar kExports(
    "gdi32.dll", {WINSIM_EXPORT(CreateDIBitmap), WINSIM_EXPORT(CreatePalette), WINSIM_EXPORT(SelectPalette),
                  WINSIM_EXPORT(RealizePalette), WINSIM_EXPORT(CreateCompatibleDC), WINSIM_EXPORT(DeleteDC),
                  WINSIM_EXPORT(SelectObject), WINSIM_EXPORT(DeleteObject), WINSIM_EXPORT(SetStretchBltMode),
                  WINSIM_EXPORT(StretchBlt), WINSIM_EXPORT(GetTextExtentPoint32A)});
