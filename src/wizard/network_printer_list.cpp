// The wrapper over the maker's network printer-management library.
#include "wizard/network_printer_list.h"

#include <cstring>

#include "system/environment.h"
#include "system/program_log.h"

namespace {

// Read by the library's callback on the search thread while the
// user-interface thread may set it: atomic, so the stop is seen and the read
// is defined.
std::atomic<int> g_nNetworkSearchCancel{0};

// The longest text read from a record: a string without its end within this
// many characters is taken as broken and cut here.
constexpr size_t kMaxTextRead = 1024;

// The length of a string the library handed back, reading no further than
// nMax characters (nMax when no end was found within them).
size_t boundedLength(const char* psz, size_t nMax) {
  size_t n = 0;
  while (n < nMax && psz[n] != '\0') ++n;
  return n;
}

unsigned lowBits(const void* p) { return static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(p)); }

}  // namespace

void kSetNetworkSearchCancel(BOOL bCancel) { g_nNetworkSearchCancel.store(bCancel ? 1 : 0); }
BOOL kIsNetworkSearchCancel() { return g_nNetworkSearchCancel.load() != 0; }

extern "C" int WINAPI NQCallBackFunc1(void) {
  if (g_nNetworkSearchCancel.load() != 0) {
    kProgramLog().kWriteLog("NQCallBackFunc1() return TRUE (1)\n");
    return TRUE;
  }
  kProgramLog().kWriteLog("NQCallBackFunc1() return FALSE (2)\n");
  return FALSE;
}

CNetworkPrinterList::CNetworkPrinterList(const std::string& strModulePath) {
  CDetailLog& log = kProgramLog();
  const std::string strFolder = strModulePath + "NETDLL";
  // The library's folder goes on the PATH so that the library and the
  // companions it loads by name are found.
  SetLastError(0);
  const DWORD dwLength = GetEnvironmentVariableA("PATH", nullptr, 0);
  if (dwLength == 0) {
    log.kWriteLog(
        "CNetworkPrinterList::CNetworkPrinterList() return (1) LastError=%u GetEnvironmentVariable returned zero.\n",
        GetLastError());
    return;
  }
  std::string strPath(dwLength, '\0');
  const DWORD dwRead = GetEnvironmentVariableA("PATH", strPath.data(), dwLength);
  if (dwRead == 0 || dwRead >= dwLength) {
    log.kWriteLog(
        "CNetworkPrinterList::CNetworkPrinterList() return (2) LastError=%u GetEnvironmentVariable returned zero.\n",
        GetLastError());
    return;
  }
  strPath.resize(dwRead);
  const std::string strTail = ";" + strFolder;
  // A second search in the same run finds the folder there already.
  if (strPath.size() < strTail.size() || strPath.compare(strPath.size() - strTail.size(), strTail.size(), strTail) != 0) {
    strPath += strTail;
    if (!SetEnvironmentVariableA("PATH", strPath.c_str())) {
      log.kWriteLog("CNetworkPrinterList::CNetworkPrinterList() return (3) LastError=%u SetEnvironmentVariable fail.\n",
                    GetLastError());
      return;
    }
  }
  const char* pszNQCoreModule = CEnvironment::kIsAMD64() ? "NQCORE64.DLL" : "NQCORE.DLL";
  m_hNQ = LoadLibraryA(pszNQCoreModule);
  if (!m_hNQ) {
    log.kWriteLog("CNetworkPrinterList::CNetworkPrinterList() return (4) LastError=%u LoadLibrary fail.\n",
                  GetLastError());
    log.kWriteLog("  pszNQCoreModule=[%s]\n", pszNQCoreModule);
    return;
  }
  struct Lookup {
    const char* pszName;
    const char* pszMember;
    FARPROC* ppfn;
  };
  const Lookup lookups[] = {
      {"NQClosePrinterInfo", "m_pNQClosePrinterInfo", reinterpret_cast<FARPROC*>(&m_NQ.pNQClosePrinterInfo)},
      {"NQEnumFreePrinterInfo", "m_pNQEnumFreePrinterInfo", reinterpret_cast<FARPROC*>(&m_NQ.pNQEnumFreePrinterInfo)},
      {"NQEnumPrinterInfo", "m_pNQEnumPrinterInfo", reinterpret_cast<FARPROC*>(&m_NQ.pNQEnumPrinterInfo)},
      {"NQGetIFVersion", "m_pNQGetIFVersion", reinterpret_cast<FARPROC*>(&m_NQ.pNQGetIFVersion)},
      {"NQGetPrinterInfo", "m_pNQGetPrinterInfo", reinterpret_cast<FARPROC*>(&m_NQ.pNQGetPrinterInfo)},
      {"NQOpenPrinterInfo", "m_pNQOpenPrinterInfo", reinterpret_cast<FARPROC*>(&m_NQ.pNQOpenPrinterInfo)},
      {"NQEnableCBFunc", "m_pNQEnableCBFunc", reinterpret_cast<FARPROC*>(&m_NQ.pNQEnableCBFunc)},
      {"NQDisableCBFunc", "m_pNQDisableCBFunc", reinterpret_cast<FARPROC*>(&m_NQ.pNQDisableCBFunc)},
  };
  BOOL bAll = TRUE;
  int nExit = 5;
  for (const Lookup& l : lookups) {
    *l.ppfn = GetProcAddress(m_hNQ, l.pszName);
    log.kWriteLog("CNetworkPrinterList::CNetworkPrinterList() (%d) %s=[%llX]\n", nExit++, l.pszMember,
                  static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(*l.ppfn)));
    if (!*l.ppfn) bAll = FALSE;
  }
  m_bNQEnable = bAll;
}

CNetworkPrinterList::CNetworkPrinterList(const CNQEntryPoints& entryPoints) : m_NQ(entryPoints) {
  m_bNQEnable = m_NQ.pNQClosePrinterInfo && m_NQ.pNQEnumFreePrinterInfo && m_NQ.pNQEnumPrinterInfo &&
                m_NQ.pNQGetIFVersion && m_NQ.pNQGetPrinterInfo && m_NQ.pNQOpenPrinterInfo && m_NQ.pNQEnableCBFunc &&
                m_NQ.pNQDisableCBFunc;
}

CNetworkPrinterList::~CNetworkPrinterList() {
  kFreeBuff();
  if (m_hNQ) {
    FreeLibrary(m_hNQ);
  } else {
    kProgramLog().kWriteLog("CNetworkPrinterList::~CNetworkPrinterList() return (1) m_hNQ is NULL.\n");
  }
  m_lstNetworkPrinter.clear();
}

void CNetworkPrinterList::kFreeBuff() {
  if (m_pBuff) GlobalFree(static_cast<HGLOBAL>(m_pBuff));
  m_pBuff = nullptr;
  m_dwBuffSize = 0;
}

BOOL CNetworkPrinterList::kEnableCallBackFunc(NQCALLBACKPROC pfnCallBack) {
  if (!m_bNQEnable) return FALSE;
  return m_NQ.pNQEnableCBFunc(pfnCallBack) == 0 ? TRUE : FALSE;
}

BOOL CNetworkPrinterList::kDisableCallBackFunc(NQCALLBACKPROC pfnCallBack) {
  if (!m_bNQEnable) return FALSE;
  return m_NQ.pNQDisableCBFunc(pfnCallBack) == 0 ? TRUE : FALSE;
}

BOOL CNetworkPrinterList::kMakeNetworkPrinterList() {
  if (!m_bNQEnable) {
    kProgramLog().kWriteLog("CNetworkPrinterList::kMakeNetworkPrinterList() return FALSE (1) m_bNQEnable is FALSE.\n");
    return FALSE;
  }
  kFreeBuff();
  DWORD cbNeeded = 0;
  (void)kGetPrinterInfo(nullptr, 0, &cbNeeded);
  if (cbNeeded != 0) {
    // Fixed global memory: the handle is the block's address.
    m_pBuff = GlobalAlloc(GMEM_FIXED, cbNeeded);
    if (!m_pBuff) {
      kProgramLog().kWriteLog(
          "CNetworkPrinterList::kMakeNetworkPrinterList() return FALSE (2) LastError=%u GlobalAlloc fail.\n",
          GetLastError());
      kFreeBuff();
      return FALSE;
    }
    m_dwBuffSize = cbNeeded;
    (void)kGetPrinterInfo(nullptr, cbNeeded, &cbNeeded);
  }
  return TRUE;
}

bool CNetworkPrinterList::kIsPlainAddress(const std::string& strAddress) {
  if (strAddress.empty() || strAddress.size() > kMaxAddress) return false;
  // What Windows resolves: host names of letters, digits, hyphens,
  // underscores and dots, IPv4 and IPv6 addresses, the latter with a zone
  // ("fe80::1%eth0", "fe80::1%12"). Blanks, separators and control
  // characters never belong to one.
  const size_t nZone = strAddress.find('%');
  const std::string strHost = strAddress.substr(0, nZone);
  if (strHost.empty()) return false;
  for (unsigned char c : strHost) {
    const bool bLetter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    const bool bDigit = c >= '0' && c <= '9';
    if (!bLetter && !bDigit && c != '.' && c != '-' && c != ':' && c != '_') return false;
  }
  if (nZone == std::string::npos) return true;
  // A zone belongs to an IPv6 address only, and names an interface.
  if (strHost.find(':') == std::string::npos || nZone + 1 >= strAddress.size()) return false;
  for (size_t i = nZone + 1; i < strAddress.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(strAddress[i]);
    const bool bLetter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    const bool bDigit = c >= '0' && c <= '9';
    if (!bLetter && !bDigit && c != '.' && c != '-' && c != '_') return false;
  }
  return true;
}

std::string CNetworkPrinterList::kCleanText(const char* pszText, size_t nMax) {
  if (!pszText) return {};
  std::string strText(pszText, boundedLength(pszText, nMax));
  for (char& c : strText) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = ' ';
  }
  return strText;
}

BOOL CNetworkPrinterList::kGetPrinterInfo(const char* pszPrnName, DWORD dwSize, DWORD* pcbNeeded) {
  CDetailLog& log = kProgramLog();
  log.kWriteLog("CNetworkPrinterList::kGetPrinterInfo pPrnName=%X dwSize=%d cbNeeded=%X\n", lowBits(pszPrnName),
                static_cast<int>(dwSize), lowBits(pcbNeeded));
  DWORD dwDummy = 0;
  if (!pcbNeeded) pcbNeeded = &dwDummy;
  *pcbNeeded = 0;
  if (!m_bNQEnable) return FALSE;
  DWORD dwMajor = 0, dwMinor = 0;
  if (m_NQ.pNQGetIFVersion(&dwMajor, &dwMinor, 0, 0) != 0) {
    log.kWriteLog("CNetworkPrinterList::kGetPrinterInfo() return FALSE (1) LastError=%u NQGetIFVersion fail.\n",
                  GetLastError());
    return FALSE;
  }
  HANDLE hEnum = nullptr;
  DWORD dwCount = 0;
  ULONG_PTR* pTable = nullptr;
  if (m_NQ.pNQEnumPrinterInfo(kNQEnumFlags, 0, 0, kNQEnumLevel, &hEnum, &dwCount, &pTable) != 0) {
    log.kWriteLog("CNetworkPrinterList::kGetPrinterInfo() return FALSE (2) LastError=%u NQEnumPrinterInfo fail.\n",
                  GetLastError());
    return FALSE;
  }
  if (!pszPrnName && !m_pBuff) {
    // A count the buffer size cannot hold is taken as the most it can.
    const DWORD dwMaxCount = 0xFFFFFFFFu / kBytesPerPrinter;
    *pcbNeeded = (dwCount > dwMaxCount ? dwMaxCount : dwCount) * kBytesPerPrinter;
    m_NQ.pNQEnumFreePrinterInfo(hEnum, *pcbNeeded);
    log.kWriteLog(
        "CNetworkPrinterList::kGetPrinterInfo() return TRUE (3) LastError=%u pPrnName and m_pBuff is NULL.\n",
        GetLastError());
    return TRUE;
  }
  if (dwCount != 0 && !pTable) {
    log.kWriteLog("CNetworkPrinterList::kGetPrinterInfo() (4) %u entries without a table; none is read.\n",
                  static_cast<unsigned>(dwCount));
  } else {
    kListEntries(pTable, dwCount, pszPrnName, dwSize, pcbNeeded);
  }
  m_NQ.pNQEnumFreePrinterInfo(hEnum, 0);
  return TRUE;
}

void CNetworkPrinterList::kListEntries(const ULONG_PTR* pTable, DWORD nCount, const char* pszPrnName, DWORD dwSize,
                                       DWORD* pcbNeeded) {
  CDetailLog& log = kProgramLog();
  for (DWORD i = 0; i < nCount; ++i) {
    if (m_pBuff && *pcbNeeded + kBytesPerPrinter > dwSize) {
      // The network grew between the two passes: the buffer was sized for
      // the printers counted, and no more are taken.
      log.kWriteLog("CNetworkPrinterList::kGetPrinterInfo() (5) %u entries listed, room for %u; the rest is skipped.\n",
                    static_cast<unsigned>(nCount), static_cast<unsigned>(dwSize / kBytesPerPrinter));
      return;
    }
    const ULONG_PTR* pEntry = pTable + static_cast<size_t>(i) * kNQEntryFields;
    const char* pszAddress = reinterpret_cast<const char*>(pEntry[kNQEntryAddress]);
    if (!pszAddress) {
      log.kWriteLog("CNetworkPrinterList::kGetPrinterInfo() (6) entry %u has no address; skipped.\n",
                    static_cast<unsigned>(i));
      continue;
    }
    const std::string strAddress(pszAddress, boundedLength(pszAddress, kMaxAddress + 1));
    if (!kIsPlainAddress(strAddress)) {
      log.kWriteLog(
          "CNetworkPrinterList::kGetPrinterInfo() (7) entry %u address [%s] is not an IPv4, IPv6 address or host "
          "name; skipped.\n",
          static_cast<unsigned>(i), kCleanText(strAddress.c_str(), 80).c_str());
      continue;
    }
    HANDLE hPrinter = nullptr;
    if (m_NQ.pNQOpenPrinterInfo(strAddress.c_str(), &hPrinter, 0) != 0 || !hPrinter) continue;
    ULONG_PTR* pInfo = nullptr;
    if (m_NQ.pNQGetPrinterInfo(hPrinter, kNQInfoLevel, kNQInfoSize, 0, &pInfo) == 0 && pInfo) {
      const std::string strModel =
          kCleanText(reinterpret_cast<const char*>(pInfo[kNQInfoModelName]), kMaxTextRead);
      const ULONG_PTR* pDetail = reinterpret_cast<const ULONG_PTR*>(pInfo[kNQInfoDetail]);
      const bool bTaken = !pszPrnName || strModel == pszPrnName;
      if (bTaken && m_pBuff) {
        CNetworkPrinter printer;
        printer.strModelName = strModel;
        printer.strAddress = strAddress;
        if (pDetail) {
          printer.strDescription =
              kCleanText(reinterpret_cast<const char*>(pDetail[kNQDetailDescription]), kMaxDescription);
        }
        *pcbNeeded += kBytesPerPrinter;
        m_lstNetworkPrinter.push_back(std::move(printer));
      }
    }
    m_NQ.pNQClosePrinterInfo(hPrinter);
  }
}
