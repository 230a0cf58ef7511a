// The printers found on the network through the maker's network library, and
// the wrapper over that library.
//
// The wrapper loads NQCORE64.DLL (NQCORE.DLL on a 32-bit system) from the
// package's NETDLL folder, which it appends to the PATH so that the library
// finds its companions. A search runs two passes over the library's
// enumeration: a counting pass that only sizes m_pBuff (48 bytes a printer),
// then a listing pass that opens every printer and keeps those that answer.
//
// What the library hands back comes from the network and is not trusted:
// null tables, records and strings are skipped, the listing pass never takes
// more printers than the counting pass sized, an address that is not a plain
// IPv4 or IPv6 address or host name is skipped, and control characters in
// model names and descriptions become blanks, so that nothing found can add
// a key or section to the interface file or a path to a port name.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "wizard/network_printer_nq.h"

// One printer found on the network.
class CNetworkPrinter {
 public:
  std::string strModelName;
  std::string strAddress;
  std::string strDescription;  // at most kMaxDescription characters
};

// The library's eight entry points.
struct CNQEntryPoints {
  PFN_NQClosePrinterInfo pNQClosePrinterInfo = nullptr;
  PFN_NQEnumFreePrinterInfo pNQEnumFreePrinterInfo = nullptr;
  PFN_NQEnumPrinterInfo pNQEnumPrinterInfo = nullptr;
  PFN_NQGetIFVersion pNQGetIFVersion = nullptr;
  PFN_NQGetPrinterInfo pNQGetPrinterInfo = nullptr;
  PFN_NQOpenPrinterInfo pNQOpenPrinterInfo = nullptr;
  PFN_NQEnableCBFunc pNQEnableCBFunc = nullptr;
  PFN_NQDisableCBFunc pNQDisableCBFunc = nullptr;
};

class CNetworkPrinterList {
 public:
  static constexpr size_t kMaxDescription = 63;
  static constexpr DWORD kBytesPerPrinter = 48;
  // The longest address taken: a host name's limit.
  static constexpr size_t kMaxAddress = 255;

  // Loads the library from strModulePath + "NETDLL" (strModulePath ends in a
  // backslash).
  explicit CNetworkPrinterList(const std::string& strModulePath);
  // A library already at hand (tests, fuzzing): m_bNQEnable when all eight
  // entry points are given. Nothing is loaded or freed.
  explicit CNetworkPrinterList(const CNQEntryPoints& entryPoints);
  ~CNetworkPrinterList();
  CNetworkPrinterList(const CNetworkPrinterList&) = delete;
  CNetworkPrinterList& operator=(const CNetworkPrinterList&) = delete;

  BOOL kEnableCallBackFunc(NQCALLBACKPROC pfnCallBack);
  BOOL kDisableCallBackFunc(NQCALLBACKPROC pfnCallBack);
  // The counting pass, then, when printers were counted, the listing pass.
  BOOL kMakeNetworkPrinterList();
  // One enumeration: counting when neither a model nor m_pBuff is given,
  // else listing (only printers of that model when one is given).
  BOOL kGetPrinterInfo(const char* pszPrnName, DWORD dwSize, DWORD* pcbNeeded);

  // The checks on what the network hands back.
  static bool kIsPlainAddress(const std::string& strAddress);
  static std::string kCleanText(const char* pszText, size_t nMax);

  std::vector<CNetworkPrinter> m_lstNetworkPrinter;  // in discovery order
  HMODULE m_hNQ = nullptr;
  CNQEntryPoints m_NQ;
  BOOL m_bNQEnable = FALSE;
  void* m_pBuff = nullptr;
  DWORD m_dwBuffSize = 0;

 private:
  void kFreeBuff();
  // The listing pass over an enumeration's table of nCount entries.
  void kListEntries(const ULONG_PTR* pTable, DWORD nCount, const char* pszPrnName, DWORD dwSize, DWORD* pcbNeeded);
};

// The search's cancel flag: written by the user-interface thread, read by the
// library's callback on the search thread.
void kSetNetworkSearchCancel(BOOL bCancel);
BOOL kIsNetworkSearchCancel();

// The callback given to the library: TRUE (stop) once the search is
// cancelled.
extern "C" int WINAPI NQCallBackFunc1(void);
