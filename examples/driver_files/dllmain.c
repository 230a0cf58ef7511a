/* The entry point of the sample package's driver files. The files exist to
   carry a version resource and a real PE header; they do nothing when
   loaded. */
int __stdcall DllMainCRTStartup(void* hModule, unsigned long dwReason, void* pReserved) {
  (void)hModule;
  (void)dwReason;
  (void)pReserved;
  return 1;
}
