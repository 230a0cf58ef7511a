// winsim: the per-thread last-error value.
#include <windows.h>

namespace {
thread_local DWORD t_lastError = 0;
}

// GetLastError: the calling thread's last-error value; never fails.
extern "C" DWORD WINAPI GetLastError(void) { return t_lastError; }

// SetLastError: sets the calling thread's last-error value; never fails.
extern "C" void WINAPI SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }
