// winsim: declarations of the winspool subset the program calls.
#pragma once
#include "windef.h"
#include "winerror.h"

#ifndef RPC_X_NULL_REF_POINTER
#define RPC_X_NULL_REF_POINTER 1780L
#endif

#ifdef __cplusplus
extern "C" {
#endif

// ---- Folders (winspool/directories.cpp) ----------------------------------------
BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level, LPBYTE pDriverDirectory,
                                       DWORD cbBuf, LPDWORD pcbNeeded);
BOOL WINAPI GetPrintProcessorDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level,
                                        LPBYTE pPrintProcessorInfo, DWORD cbBuf, LPDWORD pcbNeeded);

#ifdef __cplusplus
}
#endif
