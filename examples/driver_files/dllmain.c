/* The entry point of the sample package's driver files. The files exist to
   carry a version resource and a real PE header; they do nothing when
   loaded. */
int __stdcall DllMainCRTStartup(void* hModule, unsigned long dwReason, void* pReserved) {
  (void)hModule;
  (void)dwReason;
  (void)pReserved;
  return 1;
}

#ifdef _WIN64
/* Whoever adds a printer loads the driver's user interface and asks it for
   the printer's default settings; Wine's spooler calls this export without
   looking whether it is there. -1 says "no settings of its own", and the
   spooler keeps its defaults. */
__declspec(dllexport) long __stdcall DrvDocumentPropertySheets(void* pPSUIInfo, long long lParam) {
  (void)pPSUIInfo;
  (void)lParam;
  return -1;
}
#endif

#ifdef KV_LANGUAGE_MONITOR
/* The language monitor: the spooler loads it when the monitor is added and
   asks it for its functions. It passes every job straight to the port
   monitor underneath, as a language monitor that has nothing to say to the
   printer does. */
#include <windows.h>
#include <winsplp.h>

typedef struct {
  int used;
  MONITOR2* port;     /* the port monitor's functions */
  HANDLE portHandle;  /* its handle of the open port */
} KvPort;

static KvPort g_ports[32];

static WINBOOL WINAPI kvOpenPortEx(HANDLE hMonitor, HANDLE hMonitorPort, LPWSTR pPortName, LPWSTR pPrinterName,
                                   PHANDLE pHandle, MONITOR2* pMonitor2) {
  (void)hMonitor;
  (void)pPrinterName;
  if (!pHandle || !pMonitor2 || !pMonitor2->pfnOpenPort) return FALSE;
  for (int i = 0; i < 32; ++i) {
    if (g_ports[i].used) continue;
    if (!pMonitor2->pfnOpenPort(hMonitorPort, pPortName, &g_ports[i].portHandle)) return FALSE;
    g_ports[i].used = 1;
    g_ports[i].port = pMonitor2;
    *pHandle = &g_ports[i];
    return TRUE;
  }
  return FALSE;
}

static WINBOOL WINAPI kvStartDocPort(HANDLE hPort, LPWSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo) {
  KvPort* p = (KvPort*)hPort;
  return p && p->port->pfnStartDocPort(p->portHandle, pPrinterName, JobId, Level, pDocInfo);
}

static WINBOOL WINAPI kvWritePort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten) {
  KvPort* p = (KvPort*)hPort;
  return p && p->port->pfnWritePort(p->portHandle, pBuffer, cbBuf, pcbWritten);
}

static WINBOOL WINAPI kvReadPort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead) {
  KvPort* p = (KvPort*)hPort;
  return p && p->port->pfnReadPort && p->port->pfnReadPort(p->portHandle, pBuffer, cbBuffer, pcbRead);
}

static WINBOOL WINAPI kvEndDocPort(HANDLE hPort) {
  KvPort* p = (KvPort*)hPort;
  return p && p->port->pfnEndDocPort(p->portHandle);
}

static WINBOOL WINAPI kvClosePort(HANDLE hPort) {
  KvPort* p = (KvPort*)hPort;
  if (!p) return FALSE;
  const WINBOOL ok = p->port->pfnClosePort(p->portHandle);
  p->used = 0;
  return ok;
}

static VOID WINAPI kvShutdown(HANDLE hMonitor) { (void)hMonitor; }

static MONITOR2 g_monitor = {
    .cbSize = sizeof(MONITOR2),
    .pfnOpenPortEx = kvOpenPortEx,
    .pfnStartDocPort = kvStartDocPort,
    .pfnWritePort = kvWritePort,
    .pfnReadPort = kvReadPort,
    .pfnEndDocPort = kvEndDocPort,
    .pfnClosePort = kvClosePort,
    .pfnShutdown = kvShutdown,
};

__declspec(dllexport) LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT pMonitorInit, PHANDLE phMonitor) {
  (void)pMonitorInit;
  if (phMonitor) *phMonitor = (HANDLE)&g_monitor;
  return &g_monitor;
}
#endif
