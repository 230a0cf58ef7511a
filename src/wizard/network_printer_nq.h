// The calls and records of the maker's network printer-management library
// (NETDLL\NQCORE64.DLL or NETDLL\NQCORE.DLL), as the wizard uses them. The
// library is outside this program; what is fixed is the call order, 0 for
// success, the record fields read below and the callback contract (non-zero
// stops an enumeration).
#pragma once

#include <cstddef>

#include "platform/win32.h"

extern "C" {

// Called by the library between printers during an enumeration.
typedef int(WINAPI* NQCALLBACKPROC)(void);

typedef DWORD(WINAPI* PFN_NQGetIFVersion)(DWORD* pdwMajor, DWORD* pdwMinor, DWORD dwReserved1, DWORD dwReserved2);
typedef DWORD(WINAPI* PFN_NQEnumPrinterInfo)(DWORD dwFlags, DWORD dwReserved1, DWORD dwReserved2, DWORD dwLevel,
                                             HANDLE* phEnum, DWORD* pdwCount, ULONG_PTR** ppTable);
typedef DWORD(WINAPI* PFN_NQEnumFreePrinterInfo)(HANDLE hEnum, DWORD cbBytes);
typedef DWORD(WINAPI* PFN_NQOpenPrinterInfo)(const char* pszAddress, HANDLE* phPrinter, DWORD dwReserved);
typedef DWORD(WINAPI* PFN_NQClosePrinterInfo)(HANDLE hPrinter);
typedef DWORD(WINAPI* PFN_NQGetPrinterInfo)(HANDLE hPrinter, DWORD dwLevel, DWORD dwSize, DWORD dwReserved,
                                            ULONG_PTR** ppInfo);
typedef DWORD(WINAPI* PFN_NQEnableCBFunc)(NQCALLBACKPROC pfnCallBack);
typedef DWORD(WINAPI* PFN_NQDisableCBFunc)(NQCALLBACKPROC pfnCallBack);

}  // extern "C"

// The enumeration flags, level and information level the wizard passes.
inline constexpr DWORD kNQEnumFlags = 0x20001;
inline constexpr DWORD kNQEnumLevel = 1;
inline constexpr DWORD kNQInfoLevel = 1;
inline constexpr DWORD kNQInfoSize = 132;

// Records are arrays of pointer-sized fields. The entry table holds one
// entry of kNQEntryFields fields per printer; the sixth is the address.
inline constexpr std::size_t kNQEntryFields = 6;
inline constexpr std::size_t kNQEntryAddress = 5;
// The information record: the third field is the model name, the eighth
// points to the detail record, whose fifth field is the description.
inline constexpr std::size_t kNQInfoFields = 8;
inline constexpr std::size_t kNQInfoModelName = 2;
inline constexpr std::size_t kNQInfoDetail = 7;
inline constexpr std::size_t kNQDetailFields = 5;
inline constexpr std::size_t kNQDetailDescription = 4;
