// winsim: what the GDI files share.
#pragma once

#include <windows.h>

namespace winsim::gdi {
// A new object of the given OBJ_ type that DeleteObject and GetObjectType
// know.
HGDIOBJ addPlainObject(DWORD type);
}  // namespace winsim::gdi
