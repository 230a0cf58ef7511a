// winsim: declarations of the lzexpand subset the program calls.
#pragma once
#include "windef.h"
#include "winbase.h"

#define LZERROR_BADINHANDLE (-1)
#define LZERROR_BADOUTHANDLE (-2)
#define LZERROR_READ (-3)
#define LZERROR_WRITE (-4)
#define LZERROR_GLOBALLOC (-5)
#define LZERROR_GLOBLOCK (-6)
#define LZERROR_BADVALUE (-7)
#define LZERROR_UNKNOWNALG (-8)

#ifdef __cplusplus
extern "C" {
#endif

INT WINAPI LZOpenFileA(LPSTR lpFileName, LPOFSTRUCT lpReOpenBuf, WORD wStyle);
INT WINAPI LZInit(INT hfSource);
LONG WINAPI LZCopy(INT hfSource, INT hfDest);
INT WINAPI LZRead(INT hFile, LPSTR lpBuffer, INT cbRead);
LONG WINAPI LZSeek(INT hFile, LONG lOffset, INT iOrigin);
VOID WINAPI LZClose(INT hFile);
INT WINAPI GetExpandedNameA(LPSTR lpszSource, LPSTR lpszBuffer);

#ifdef __cplusplus
}
#endif
