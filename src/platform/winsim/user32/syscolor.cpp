// winsim: the system colours of the classic Windows scheme.
#include <windows.h>

#include "modules.h"

// GetSysColor: the colour of an element as 0x00BBGGRR; 0 for an unknown
// index (Windows answers 0 too).
extern "C" DWORD WINAPI GetSysColor(int nIndex) {
  switch (nIndex) {
    case COLOR_WINDOW:
      return 0x00FFFFFF;
    case COLOR_WINDOWTEXT:
      return 0x00000000;
    case COLOR_BTNFACE:
      return 0x00F0F0F0;
    default:
      return 0;
  }
}

static const winsim::ExportRegistrar kExports("user32.dll", {WINSIM_EXPORT(GetSysColor)});
