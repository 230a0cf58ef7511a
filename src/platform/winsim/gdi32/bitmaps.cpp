// winsim: device-independent bitmaps and palettes, for the pictures of the
// USB pages. There is no screen to paint on: the calls check their
// arguments as Windows does and hand out objects that DeleteObject knows.
#include <windows.h>
#include <wingdi.h>

#include "gdi32/gdi_internal.h"
#include "modules.h"

// CreateDIBitmap: a bitmap; NULL with ERROR_INVALID_PARAMETER for a missing
// or malformed header, or CBM_INIT without the bits' BITMAPINFO.
extern "C" HBITMAP WINAPI CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* pbmih, DWORD flInit, const VOID* pjBits,
                                         const BITMAPINFO* pbmi, UINT iUsage) {
  (void)hdc, (void)pjBits, (void)iUsage;
  if (!pbmih || (pbmih->biSize != sizeof(BITMAPCOREHEADER) && pbmih->biSize < sizeof(BITMAPINFOHEADER)) ||
      ((flInit & CBM_INIT) && !pbmi)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return static_cast<HBITMAP>(winsim::gdi::addPlainObject(OBJ_BITMAP));
}

// CreatePalette: NULL with ERROR_INVALID_PARAMETER unless version 0x300 and
// 1 to 1024 entries.
extern "C" HPALETTE WINAPI CreatePalette(const LOGPALETTE* plpal) {
  if (!plpal || plpal->palVersion != 0x300 || plpal->palNumEntries == 0 || plpal->palNumEntries > 1024) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return static_cast<HPALETTE>(winsim::gdi::addPlainObject(OBJ_PAL));
}

// SelectPalette: the previous palette; NULL for a handle that is no palette
// (the default palette is never handed out here).
extern "C" HPALETTE WINAPI SelectPalette(HDC hdc, HPALETTE hPal, BOOL bForceBkgd) {
  (void)hdc, (void)bForceBkgd;
  if (GetObjectType(hPal) != OBJ_PAL) SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

// RealizePalette: the number of entries mapped into the system palette; a
// true-colour display maps none.
extern "C" UINT WINAPI RealizePalette(HDC hdc) {
  (void)hdc;
  return 0;
}

// CreateCompatibleDC and DeleteDC: a memory device context is a device
// context of no window.
extern "C" HDC WINAPI CreateCompatibleDC(HDC hdc) {
  (void)hdc;
  return GetDC(nullptr);
}

extern "C" BOOL WINAPI DeleteDC(HDC hdc) { return ReleaseDC(nullptr, hdc) == 1; }

// SetStretchBltMode: the previous mode (BLACKONWHITE first); 0 for a mode out
// of range.
extern "C" int WINAPI SetStretchBltMode(HDC hdc, int mode) {
  (void)hdc;
  if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
  return BLACKONWHITE;
}

// StretchBlt: TRUE; nothing is painted.
extern "C" BOOL WINAPI StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc,
                                  int ySrc, int wSrc, int hSrc, DWORD rop) {
  (void)hdcDest, (void)xDest, (void)yDest, (void)wDest, (void)hDest, (void)hdcSrc, (void)xSrc, (void)ySrc,
      (void)wSrc, (void)hSrc, (void)rop;
  return TRUE;
}

static const winsim::ExportRegistrar kExports(
    "gdi32.dll", {WINSIM_EXPORT(CreateDIBitmap), WINSIM_EXPORT(CreatePalette), WINSIM_EXPORT(SelectPalette),
                  WINSIM_EXPORT(RealizePalette), WINSIM_EXPORT(CreateCompatibleDC), WINSIM_EXPORT(DeleteDC),
                  WINSIM_EXPORT(SetStretchBltMode), WINSIM_EXPORT(StretchBlt)});
