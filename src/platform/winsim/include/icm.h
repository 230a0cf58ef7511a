// winsim: declarations of the icm (colour management) subset the program calls.
#pragma once
#include "windef.h"

#ifdef __cplusplus
extern "C" {
#endif

BOOL WINAPI GetColorDirectoryA(PCSTR pMachineName, PSTR pBuffer, PDWORD pdwSize);

#ifdef __cplusplus
}
#endif
