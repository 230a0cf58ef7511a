// winsim: GetColorDirectoryA.
#include "mscms/color_directory.h"

#include <cstring>

#include <windows.h>
#include <icm.h>

#include "modules.h"

namespace winsim {

std::string colorDirectory() { return "C:\\Windows\\system32\\spool\\drivers\\color"; }

}  // namespace winsim

// GetColorDirectoryA: the colour folder of this machine (a remote machine
// name is refused with ERROR_NOT_SUPPORTED). *pdwSize is in bytes with the
// NUL; too small or no buffer gives FALSE, ERROR_INSUFFICIENT_BUFFER and the
// size needed.
extern "C" BOOL WINAPI GetColorDirectoryA(PCSTR pMachineName, PSTR pBuffer, PDWORD pdwSize) {
  if (!pdwSize) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (pMachineName && *pMachineName) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  const std::string dir = winsim::colorDirectory();
  const DWORD bytes = static_cast<DWORD>(dir.size() + 1);
  if (!pBuffer || *pdwSize < bytes) {
    *pdwSize = bytes;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(pBuffer, dir.c_str(), bytes);
  *pdwSize = bytes;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

static const winsim::ExportRegistrar kColorExports("mscms.dll", {WINSIM_EXPORT(GetColorDirectoryA)});
