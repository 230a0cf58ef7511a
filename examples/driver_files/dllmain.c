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
