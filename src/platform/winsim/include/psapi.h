// winsim: declarations of the psapi subset the program calls (the process
// status functions; the program binds them at run time from psapi.dll).
#pragma once
#include "windef.h"

#ifdef __cplusplus
extern "C" {
#endif
BOOL WINAPI EnumProcesses(DWORD* lpidProcess, DWORD cb, DWORD* lpcbNeeded);
BOOL WINAPI EnumProcessModules(HANDLE hProcess, HMODULE* lphModule, DWORD cb, LPDWORD lpcbNeeded);
DWORD WINAPI GetModuleFileNameExA(HANDLE hProcess, HMODULE hModule, LPSTR lpFilename, DWORD nSize);
#ifdef __cplusplus
}
#endif
