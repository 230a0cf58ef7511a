// winsim: the ids and pseudo handles of the calling process and thread.
#include "modules.h"
#include "waitable.h"

// GetCurrentProcessId / GetCurrentThreadId: the host's process and thread
// ids, which are unique on the machine as Windows ids are; never fail.
extern "C" DWORD WINAPI GetCurrentProcessId(void) { return winsim::currentProcessId(); }
extern "C" DWORD WINAPI GetCurrentThreadId(void) { return winsim::currentThreadId(); }

// GetCurrentProcess / GetCurrentThread: the pseudo handles (-1 and -2).
extern "C" HANDLE WINAPI GetCurrentProcess(void) { return winsim::currentProcessPseudoHandle(); }
extern "C" HANDLE WINAPI GetCurrentThread(void) { return winsim::currentThreadPseudoHandle(); }

static const winsim::ExportRegistrar kExports("kernel32.dll",
                                              {WINSIM_EXPORT(GetCurrentProcessId), WINSIM_EXPORT(GetCurrentThreadId),
                                               WINSIM_EXPORT(GetCurrentProcess), WINSIM_EXPORT(GetCurrentThread)});
