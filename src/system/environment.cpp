// The environment probe.
#include "system/environment.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <vector>

#include "system/handle_owner.h"
#include "system/program_log.h"

namespace {

// What the classification found; written only by kGetOsVersionCheck.
struct CEnvironmentState {
  DWORD m_dwOsKind = OSKIND_OTHER;
  BOOL m_bXP = FALSE;
  BOOL m_bVista = FALSE;
  BOOL m_bWin7Later = FALSE;
  BOOL m_bServer = FALSE;
  DWORD m_dwMajorVersion = 0;
  DWORD m_dwMinorVersion = 0;
  BYTE m_byProductType = 0;
  std::string m_strServicePack;
  BOOL m_bX86 = FALSE;
  BOOL m_bAMD64 = FALSE;
  BOOL m_bWOW64 = FALSE;
};

CEnvironmentState g_state;

constexpr DWORD kAnyVersion = 0xFFFFFFFF;
constexpr DWORD kWin9xKinds = OSKIND_WIN95 | OSKIND_WIN98 | OSKIND_WINME;
constexpr DWORD kWin2kLaterKinds = OSKIND_WIN2K | OSKIND_WINXP | OSKIND_WINVISTA | OSKIND_WIN7;
constexpr DWORD kXPLaterKinds = OSKIND_WINXP | OSKIND_WINVISTA | OSKIND_WIN7;

// The product-options key of NT, with the product suite of NT 4.0.
constexpr const char* kProductOptionsKey = "System\\CurrentControlSet\\Control\\ProductOptions";
constexpr const char* kClusterServiceName = "ClusSvc";
constexpr DWORD kServiceBufferSize = 0xC000;

// The names of the service states, for the log line of a found cluster
// service.
struct CServiceStateName {
  DWORD dwState;
  const char* pszName;
};
constexpr CServiceStateName kServiceStateNames[] = {
    {SERVICE_STOPPED, "SERVICE_STOPPED"},
    {SERVICE_START_PENDING, "SERVICE_START_PENDING"},
    {SERVICE_STOP_PENDING, "SERVICE_STOP_PENDING"},
    {SERVICE_RUNNING, "SERVICE_RUNNING"},
    {SERVICE_CONTINUE_PENDING, "SERVICE_CONTINUE_PENDING"},
    {SERVICE_PAUSE_PENDING, "SERVICE_PAUSE_PENDING"},
    {SERVICE_PAUSED, "SERVICE_PAUSED"},
};

const char* serviceStateName(DWORD dwState) {
  for (const CServiceStateName& row : kServiceStateNames) {
    if (row.dwState == dwState) return row.pszName;
  }
  return "None";
}

const char* boolText(BOOL b) { return b ? "TRUE" : "FALSE"; }

// GetProcAddress hands back a generic pointer; it is converted through the
// plain function type so that the compiler accepts the change of signature.
template <typename T>
T procAs(FARPROC p) {
  return reinterpret_cast<T>(reinterpret_cast<void (*)()>(p));
}

typedef void(WINAPI* PFN_GETNATIVESYSTEMINFO)(LPSYSTEM_INFO);
typedef BOOL(WINAPI* PFN_ISWOW64PROCESS)(HANDLE, PBOOL);

// Owns a SID of AllocateAndInitializeSid.
class CSidOwner {
 public:
  CSidOwner() = default;
  ~CSidOwner() {
    if (m_pSid) FreeSid(m_pSid);
  }
  CSidOwner(const CSidOwner&) = delete;
  CSidOwner& operator=(const CSidOwner&) = delete;
  PSID* kOut() { return &m_pSid; }
  PSID kGet() const { return m_pSid; }

 private:
  PSID m_pSid = nullptr;
};

BOOL equalsNoCase(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

}  // namespace

// Windows 95, 98 and Me differ in the minor version; NT kinds follow the
// major version, and 5.x is 2000 or XP by its minor version (5.2, the
// server and x64 editions of XP, counts as XP). An NT older than 4.0
// matches no rule and stays unclassified, so that it is refused as too old.
const COsKindRule CEnvironment::kOsKindRules[] = {
    {VER_PLATFORM_WIN32_WINDOWS, 0, kAnyVersion, 0, 0, OSKIND_WIN95, "Windows 95"},
    {VER_PLATFORM_WIN32_WINDOWS, 0, kAnyVersion, 10, 10, OSKIND_WIN98, "Windows 98"},
    {VER_PLATFORM_WIN32_WINDOWS, 0, kAnyVersion, 0, kAnyVersion, OSKIND_WINME, "Windows Me"},
    {VER_PLATFORM_WIN32_NT, 4, 4, 0, kAnyVersion, OSKIND_WINNT4, "Windows NT 4.0"},
    {VER_PLATFORM_WIN32_NT, 5, 5, 0, 0, OSKIND_WIN2K, "Windows 2000"},
    {VER_PLATFORM_WIN32_NT, 5, 5, 1, kAnyVersion, OSKIND_WINXP, "Windows XP"},
    {VER_PLATFORM_WIN32_NT, 6, 6, 0, kAnyVersion, OSKIND_WINVISTA, "Windows Vista"},
    {VER_PLATFORM_WIN32_NT, 7, kAnyVersion, 0, kAnyVersion, OSKIND_WIN7, "Windows 7 or later"},
};
const size_t CEnvironment::kOsKindRuleCount = sizeof(kOsKindRules) / sizeof(kOsKindRules[0]);

// "Windows 4.0" holds the 95 family's drivers (version 0), which install
// beside the NT drivers of x86 systems.
const CEnvironmentToPlatform CEnvironment::kEnvironmentToPlatform[] = {
    {"Windows 4.0", "NTx86"},
    {"Windows NT x86", "NTx86"},
    {"Windows x64", "NTamd64"},
};
const size_t CEnvironment::kEnvironmentToPlatformCount =
    sizeof(kEnvironmentToPlatform) / sizeof(kEnvironmentToPlatform[0]);

const CPlatformToEnvironment CEnvironment::kPlatformToEnvironment[] = {
    {"NTx86", CDriverVersionRule::kNotZero, "Windows NT x86"},
    {"NTx86", CDriverVersionRule::kZero, "Windows 4.0"},
    {"NTamd64", CDriverVersionRule::kAny, "Windows x64"},
};
const size_t CEnvironment::kPlatformToEnvironmentCount =
    sizeof(kPlatformToEnvironment) / sizeof(kPlatformToEnvironment[0]);

BOOL CEnvironment::kGetOsVersionCheck() {
  CDetailLog& log = kProgramLog();
  g_state = CEnvironmentState();

  OSVERSIONINFOA os;
  std::memset(&os, 0, sizeof(os));
  os.dwOSVersionInfoSize = sizeof(os);
  if (!GetVersionExA(&os)) {
    log.kWriteLog("CEnvironment::kGetOsVersionCheck() return FALSE (1) LastError=%u GetVersionEx fail.\n",
                  GetLastError());
    return FALSE;
  }
  log.kWriteLog("os.dwPlatformId [%u]\n", os.dwPlatformId);
  log.kWriteLog("os.dwMajorVersion [%u]\n", os.dwMajorVersion);
  log.kWriteLog("os.dwMinorVersion [%u]\n", os.dwMinorVersion);

  if (os.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS && os.dwPlatformId != VER_PLATFORM_WIN32_NT) {
    log.kWriteLog("CEnvironment::kGetOsVersionCheck() return FALSE (3) LastError=%u unknowen dwPlatformId [%u].\n",
                  GetLastError(), os.dwPlatformId);
    return FALSE;
  }
  for (size_t i = 0; i < kOsKindRuleCount; ++i) {
    const COsKindRule& rule = kOsKindRules[i];
    if (rule.dwPlatformId == os.dwPlatformId && os.dwMajorVersion >= rule.dwMajorLow &&
        os.dwMajorVersion <= rule.dwMajorHigh && os.dwMinorVersion >= rule.dwMinorLow &&
        os.dwMinorVersion <= rule.dwMinorHigh) {
      g_state.m_dwOsKind = rule.dwKind;
      break;
    }
  }
  if (!(g_state.m_dwOsKind & kWin2kLaterKinds)) {
    log.kWriteLog("CEnvironment::kGetOsVersionCheck() return FALSE (4) LastError=%u detect not 2k OS.\n",
                  GetLastError());
    return FALSE;
  }

  OSVERSIONINFOEXA ex;
  std::memset(&ex, 0, sizeof(ex));
  ex.dwOSVersionInfoSize = sizeof(ex);
  if (!GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ex))) {
    log.kWriteLog("CEnvironment::kGetOsVersionCheck GetVersionEx 2  Error :%u\n", GetLastError());
    return FALSE;
  }
  g_state.m_dwMajorVersion = ex.dwMajorVersion;
  g_state.m_dwMinorVersion = ex.dwMinorVersion;
  g_state.m_byProductType = ex.wProductType;
  g_state.m_strServicePack.assign(ex.szCSDVersion, strnlen(ex.szCSDVersion, sizeof(ex.szCSDVersion)));
  log.kWriteLog("CEnvironment::kGetOsVersionCheck MajorVersion:%u, MinorVersion:%u, ProductType:%u\n",
                ex.dwMajorVersion, ex.dwMinorVersion, static_cast<unsigned>(ex.wProductType));

  if (ex.dwPlatformId == VER_PLATFORM_WIN32_NT && ex.dwMajorVersion >= 5) {
    if (ex.dwMajorVersion == 5) {
      g_state.m_bXP = ex.dwMinorVersion >= 1;
    } else if (ex.dwMajorVersion == 6) {
      g_state.m_bXP = TRUE;
      g_state.m_bVista = TRUE;
      g_state.m_bWin7Later = ex.dwMinorVersion >= 1;
    } else {
      g_state.m_bXP = TRUE;
      g_state.m_bVista = TRUE;
      g_state.m_bWin7Later = TRUE;
    }
    g_state.m_bServer = ex.wProductType != VER_NT_WORKSTATION;
    if (g_state.m_bWin7Later) g_state.m_dwOsKind = OSKIND_WIN7;
    else if (g_state.m_bVista) g_state.m_dwOsKind = OSKIND_WINVISTA;
  }
  log.kWriteLog("kCheckOSVersion m_bXP=%s\n", boolText(g_state.m_bXP));

  g_state.m_bX86 = TRUE;
  g_state.m_bAMD64 = FALSE;
  g_state.m_bWOW64 = FALSE;
  if (g_state.m_bXP) {
    SYSTEM_INFO si;
    std::memset(&si, 0, sizeof(si));
    if (!kGetNativeSystemInfo(&si)) {
      log.kWriteLog("CEnvironment::kGetOsVersionCheck() return FALSE (5) LastError=%u kGetNativeSystemInfo fail.\n",
                    GetLastError());
      return FALSE;
    }
    switch (si.wProcessorArchitecture) {
      case PROCESSOR_ARCHITECTURE_INTEL:
        break;
      case PROCESSOR_ARCHITECTURE_AMD64:
        g_state.m_bAMD64 = TRUE;
        g_state.m_bX86 = FALSE;
        break;
      default:
        g_state.m_bX86 = FALSE;
        log.kWriteLog("wProcessorArchitecture = %u\n", static_cast<unsigned>(si.wProcessorArchitecture));
        break;
    }
    // A 32-bit process runs under WOW64 on every 64-bit processor, not only
    // on AMD64, and must be refused on each of them alike.
    if (!g_state.m_bX86) {
      BOOL bWow64 = FALSE;
      if (!kIsWow64Process(&bWow64)) {
        log.kWriteLog("CEnvironment::kGetOsVersionCheck kIsWow64Process fail. LastError=%u\n", GetLastError());
        return FALSE;
      }
      g_state.m_bWOW64 = bWow64;
      if (bWow64) {
        log.kWriteLog("CEnvironment::kGetOsVersionCheck detected a WOW64 process.\n");
        return FALSE;
      }
    }
  }

  if (kIsInstallTerminalService()) g_state.m_dwOsKind |= OSKIND_TERMINAL;
  if (kIsServer()) g_state.m_dwOsKind |= OSKIND_SERVER;
  log.kWriteLog("CEnvironment::kGetOsVersionCheck() return TRUE (6) OsKind=[0x%08x]\n", g_state.m_dwOsKind);
  return TRUE;
}

DWORD CEnvironment::kGetOsKind() { return g_state.m_dwOsKind; }

BOOL CEnvironment::kHasKind(DWORD dwKinds, const char* pszFunction) {
  const BOOL bResult = (g_state.m_dwOsKind & dwKinds) != 0;
  kProgramLog().kWriteLog("CEnvironment::%s() return %s (1) \n", pszFunction, boolText(bResult));
  return bResult;
}

BOOL CEnvironment::kIsWin9x() { return kHasKind(kWin9xKinds, "kIsWin9x"); }
BOOL CEnvironment::kIsWinnt() { return kHasKind(OSKIND_WINNT4, "kIsWinnt"); }
BOOL CEnvironment::kIsWin2k() { return kHasKind(kWin2kLaterKinds, "kIsWin2k"); }
BOOL CEnvironment::kIsWinXP() { return kHasKind(kXPLaterKinds, "kIsWinXP"); }
BOOL CEnvironment::kIsWinVista() { return kHasKind(OSKIND_WINVISTA, "kIsWinVista"); }
BOOL CEnvironment::kIsWin7() { return kHasKind(OSKIND_WIN7, "kIsWin7"); }
BOOL CEnvironment::kIsWinVistaLater() { return kHasKind(OSKIND_WINVISTA | OSKIND_WIN7, "kIsWinVistaLater"); }

BOOL CEnvironment::kIsServer() {
  CDetailLog& log = kProgramLog();
  if (!(g_state.m_dwOsKind & kWin2kLaterKinds)) {
    log.kWriteLog("CEnvironment::kIsServer() return FALSE (1) detect not 2k OS.\n");
    return FALSE;
  }
  OSVERSIONINFOEXA ex;
  std::memset(&ex, 0, sizeof(ex));
  ex.dwOSVersionInfoSize = sizeof(ex);
  if (!GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ex))) {
    log.kWriteLog("CEnvironment::kIsServer() return FALSE (2) LastError=%u GetVersionEx fail.\n", GetLastError());
    return FALSE;
  }
  const BOOL bServer = ex.wProductType != VER_NT_WORKSTATION;
  log.kWriteLog("CEnvironment::kIsServer() return %s (3) ProductType=%u\n", boolText(bServer),
                static_cast<unsigned>(ex.wProductType));
  return bServer;
}

BOOL CEnvironment::kIsInstallTerminalService() {
  CDetailLog& log = kProgramLog();
  if (g_state.m_dwOsKind & kWin2kLaterKinds) {
    OSVERSIONINFOEXA ex;
    std::memset(&ex, 0, sizeof(ex));
    ex.dwOSVersionInfoSize = sizeof(ex);
    if (!GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ex))) {
      log.kWriteLog("CEnvironment::kIsInstallTerminalService() return FALSE (1) LastError=%u GetVersionEx fail.\n",
                    GetLastError());
      return FALSE;
    }
    const BOOL bTerminal = ex.wProductType != VER_NT_WORKSTATION && (ex.wSuiteMask & VER_SUITE_TERMINAL) != 0;
    log.kWriteLog("CEnvironment::kIsInstallTerminalService() return %s (2) SuiteMask=0x%04x\n", boolText(bTerminal),
                  static_cast<unsigned>(ex.wSuiteMask));
    return bTerminal;
  }
  if (g_state.m_dwOsKind & OSKIND_WINNT4) {
    const BOOL bTerminal = kValidateProductSuite("Terminal Server");
    log.kWriteLog("CEnvironment::kIsInstallTerminalService() return %s (3) \n", boolText(bTerminal));
    return bTerminal;
  }
  log.kWriteLog("CEnvironment::kIsInstallTerminalService() return FALSE (4) \n");
  return FALSE;
}

BOOL CEnvironment::kValidateProductSuite(LPCSTR lpszSuiteToValidate) {
  CDetailLog& log = kProgramLog();
  const char* pszSuite = lpszSuiteToValidate ? lpszSuiteToValidate : "";
  auto fail = [&](int nExit, const char* pszReason, DWORD dwError) {
    log.kWriteLog("CEnvironment::kValidateProductSuite() return FALSE (%d) LastError=%u %s\n", nExit, dwError,
                  pszReason);
    log.kWriteLog("  lpszSuiteToValidate=[%s]\n", pszSuite);
    return FALSE;
  };
  CRegKeyOwner key;
  LONG lResult = RegOpenKeyA(HKEY_LOCAL_MACHINE, kProductOptionsKey, key.kOut());
  if (lResult != ERROR_SUCCESS) return fail(1, "RegOpenKey fail.", static_cast<DWORD>(lResult));
  DWORD dwType = 0;
  DWORD cbData = 0;
  lResult = RegQueryValueExA(key.kGet(), "ProductSuite", nullptr, &dwType, nullptr, &cbData);
  if (lResult != ERROR_SUCCESS || cbData == 0) return fail(2, "RegQueryValueEx (size) fail.", static_cast<DWORD>(lResult));
  // Two NULs more than the value holds, so that a list stored without its
  // terminators still ends inside the buffer.
  std::vector<char> data;
  try {
    data.assign(static_cast<size_t>(cbData) + 2, '\0');
  } catch (const std::bad_alloc&) {
    return fail(3, "memory allocation fail.", ERROR_NOT_ENOUGH_MEMORY);
  }
  lResult = RegQueryValueExA(key.kGet(), "ProductSuite", nullptr, &dwType, reinterpret_cast<LPBYTE>(data.data()),
                             &cbData);
  if (lResult != ERROR_SUCCESS || dwType != REG_MULTI_SZ) {
    return fail(4, "RegQueryValueEx (data) fail or not REG_MULTI_SZ.", static_cast<DWORD>(lResult));
  }
  const size_t nEnd = std::min<size_t>(cbData, data.size() - 2);
  for (size_t nAt = 0; nAt < nEnd && data[nAt] != '\0';) {
    const char* pszItem = &data[nAt];
    const size_t nLength = strnlen(pszItem, data.size() - nAt);
    if (std::strcmp(pszItem, pszSuite) == 0) {
      log.kWriteLog("CEnvironment::kValidateProductSuite() return TRUE (5) lpszSuiteToValidate=[%s]\n", pszSuite);
      return TRUE;
    }
    nAt += nLength + 1;
  }
  log.kWriteLog("CEnvironment::kValidateProductSuite() return FALSE (6) lpszSuiteToValidate=[%s]\n", pszSuite);
  return FALSE;
}

BOOL CEnvironment::kCheckAdministrators() {
  CDetailLog& log = kProgramLog();
  if (g_state.m_dwOsKind & kWin9xKinds) {
    log.kWriteLog("CEnvironment::kCheckAdministrators() return TRUE (1) detect 9x OS.\n");
    return TRUE;
  }
  HANDLE hToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken)) {
    log.kWriteLog("CEnvironment::kCheckAdministrators() return FALSE (2) LastError=%u OpenProcessToken fail.\n",
                  GetLastError());
    return FALSE;
  }
  CHandleOwner token(hToken);

  DWORD cbGroups = 0;
  if (GetTokenInformation(token.kGet(), TokenGroups, nullptr, 0, &cbGroups)) {
    log.kWriteLog("CEnvironment::kCheckAdministrators() return FALSE (3) GetTokenInformation API succeeded. "
                  "But buffer size specified zero.\n");
    return FALSE;
  }
  const DWORD dwError = GetLastError();
  if (dwError != ERROR_INSUFFICIENT_BUFFER) {
    log.kWriteLog("CEnvironment::kCheckAdministrators() return FALSE (3) GetTokenInformation API : LastError is "
                  "different from ERROR_INSUFFICIENT_BUFFER. (LastError : %u)\n",
                  dwError);
    return FALSE;
  }
  if (cbGroups < sizeof(TOKEN_GROUPS)) {
    log.kWriteLog("CEnvironment::kCheckAdministrators() return FALSE (3) Zero or under value are specified to "
                  "buffer size.\n");
    return FALSE;
  }
  // The buffer is made of pointers-sized units so that the record in it is
  // aligned as the structure needs.
  std::vector<ULONG_PTR> buffer((cbGroups + sizeof(ULONG_PTR) - 1) / sizeof(ULONG_PTR));
  if (!GetTokenInformation(token.kGet(), TokenGroups, buffer.data(), cbGroups, &cbGroups)) {
    log.kWriteLog("CEnvironment::kCheckAdministrators() return FALSE (3) LastError=%u GetTokenInformation fail.\n",
                  GetLastError());
    return FALSE;
  }
  const auto* pGroups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());

  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  CSidOwner admins;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                0, admins.kOut())) {
    log.kWriteLog("CEnvironment::kCheckAdministrators() return FALSE (3) LastError=%u AllocateAndInitializeSid fail.\n",
                  GetLastError());
    return FALSE;
  }
  // The group count comes from the token; it is held to what the buffer
  // can hold.
  const size_t nMaxGroups =
      (cbGroups - offsetof(TOKEN_GROUPS, Groups)) / sizeof(SID_AND_ATTRIBUTES);
  const size_t nGroups = std::min<size_t>(pGroups->GroupCount, nMaxGroups);
  for (size_t i = 0; i < nGroups; ++i) {
    // The attributes are not looked at: a deny-only membership counts too.
    if (EqualSid(admins.kGet(), pGroups->Groups[i].Sid)) {
      log.kWriteLog("CEnvironment::kCheckAdministrators() return TRUE (4) \n");
      return TRUE;
    }
  }
  log.kWriteLog("CEnvironment::kCheckAdministrators() return FALSE (5) \n");
  return FALSE;
}

BOOL CEnvironment::kGetNativeSystemInfo(LPSYSTEM_INFO pSystemInfo) {
  CDetailLog& log = kProgramLog();
  if (!pSystemInfo) {
    log.kWriteLog("CEnvironment::kGetNativeSystemInfo() return FALSE (1) pSystemInfo is NULL.\n");
    return FALSE;
  }
  if (!(g_state.m_dwOsKind & kXPLaterKinds)) {
    log.kWriteLog("CEnvironment::kGetNativeSystemInfo() return TRUE (2) not XP or later.\n");
    return TRUE;
  }
  CModuleOwner kernel(LoadLibraryA("Kernel32.dll"));
  if (!kernel.kGet()) {
    log.kWriteLog("kGetNativeSystemInfo LoadLibrary API fail. LastError=%u\n", GetLastError());
    return FALSE;
  }
  const auto pfn = procAs<PFN_GETNATIVESYSTEMINFO>(GetProcAddress(kernel.kGet(), "GetNativeSystemInfo"));
  if (!pfn) {
    log.kWriteLog("kGetNativeSystemInfo GetProcAddress API fail. LastError=%u\n", GetLastError());
    return FALSE;
  }
  pfn(pSystemInfo);
  log.kWriteLog("CEnvironment::kGetNativeSystemInfo() return TRUE (3) wProcessorArchitecture=%u\n",
                static_cast<unsigned>(pSystemInfo->wProcessorArchitecture));
  return TRUE;
}

BOOL CEnvironment::kIsWow64Process(BOOL* pbWow64) {
  CDetailLog& log = kProgramLog();
  *pbWow64 = FALSE;
  CModuleOwner kernel(LoadLibraryA("Kernel32.dll"));
  if (!kernel.kGet()) {
    log.kWriteLog("kIsWow64Process LoadLibrary API fail. LastError=%u\n", GetLastError());
    return FALSE;
  }
  const auto pfn = procAs<PFN_ISWOW64PROCESS>(GetProcAddress(kernel.kGet(), "IsWow64Process"));
  if (!pfn) {
    log.kWriteLog("kIsWow64Process GetProcAddress API fail. LastError=%u\n", GetLastError());
    return FALSE;
  }
  BOOL bWow64 = FALSE;
  if (!pfn(GetCurrentProcess(), &bWow64)) {
    log.kWriteLog("kIsWow64Process IsWow64Process API fail. LastError=%u\n", GetLastError());
    return FALSE;
  }
  *pbWow64 = bWow64 ? TRUE : FALSE;
  return TRUE;
}

BOOL CEnvironment::kIsX86() {
  kProgramLog().kWriteLog("CEnvironment::kIsX86() return [%d] (1)\n", g_state.m_bX86);
  return g_state.m_bX86;
}

BOOL CEnvironment::kIsAMD64() {
  kProgramLog().kWriteLog("CEnvironment::kIsAMD64() return [%d] (1)\n", g_state.m_bAMD64);
  return g_state.m_bAMD64;
}

BOOL CEnvironment::kIsWOW64() {
  kProgramLog().kWriteLog("CEnvironment::kIsWOW64() return [%d] (1)\n", g_state.m_bWOW64);
  return g_state.m_bWOW64;
}

DWORD CEnvironment::kGetMajorVersion() { return g_state.m_dwMajorVersion; }
DWORD CEnvironment::kGetMinorVersion() { return g_state.m_dwMinorVersion; }
BYTE CEnvironment::kGetProductType() { return g_state.m_byProductType; }
std::string CEnvironment::kGetServicePack() { return g_state.m_strServicePack; }

std::string CEnvironment::kGetEnvironment() {
  const char* pszEnv = "Windows NT x86";
  if (g_state.m_dwOsKind & kWin9xKinds) pszEnv = "Windows 4.0";
  else if (g_state.m_bAMD64) pszEnv = "Windows x64";
  kProgramLog().kWriteLog("CEnvironment::kGetEnvironment() return [%s] (1)\n", pszEnv);
  return pszEnv;
}

std::string CEnvironment::kGetPerentDriverPlatform() {
  const char* pszPlatform = g_state.m_bAMD64 ? "NTamd64" : "NTx86";
  kProgramLog().kWriteLog("CEnvironment::kGetPerentDriverPlatform() return [%s] (1)\n", pszPlatform);
  return pszPlatform;
}

std::string CEnvironment::kConvEnvToPlatform(const std::string& strEnv) {
  for (size_t i = 0; i < kEnvironmentToPlatformCount; ++i) {
    if (equalsNoCase(strEnv, kEnvironmentToPlatform[i].pszEnvironment)) return kEnvironmentToPlatform[i].pszPlatform;
  }
  return std::string();
}

std::string CEnvironment::kConvPlatformToEnv(const std::string& strPlatform, DWORD dwVersion) {
  for (size_t i = 0; i < kPlatformToEnvironmentCount; ++i) {
    const CPlatformToEnvironment& row = kPlatformToEnvironment[i];
    const bool bVersionFits = row.eVersion == CDriverVersionRule::kAny ||
                              (row.eVersion == CDriverVersionRule::kZero) == (dwVersion == 0);
    if (bVersionFits && equalsNoCase(strPlatform, row.pszPlatform)) return row.pszEnvironment;
  }
  kProgramLog().kWriteLog("kConvPlatformToEnv : Invalid parameter detect. strPlatform=[%s] dwVersion=[%d]\n",
                          strPlatform.c_str(), static_cast<int>(dwVersion));
  return std::string();
}

int CEnvironment::kCheckClusterService() {
  CDetailLog& log = kProgramLog();
  if ((g_state.m_dwOsKind & kWin9xKinds) || !g_state.m_bServer) {
    log.kWriteLog("CEnvironment::kCheckClusterServer Cluster Service none \n");
    return CLUSTER_SERVICE_NONE;
  }
  std::vector<ULONG_PTR> buffer;
  try {
    buffer.resize(kServiceBufferSize / sizeof(ULONG_PTR));
  } catch (const std::bad_alloc&) {
    log.kWriteLog("CEnvironment::kCheckClusterServer Memory Allocation error.\n size=%u\n LastError=%u\n",
                  kServiceBufferSize, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    return CLUSTER_SERVICE_NONE;
  }
  CServiceHandleOwner manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
  if (!manager.kGet()) {
    log.kWriteLog("CEnvironment::kCheckClusterServer OpenSCManager Error GetLastError[%u]\n", GetLastError());
    return CLUSTER_SERVICE_CHECK_FAILED;
  }
  auto* pServices = reinterpret_cast<LPENUM_SERVICE_STATUSA>(buffer.data());
  int nResult = CLUSTER_SERVICE_NONE;
  DWORD dwResume = 0;
  for (;;) {
    DWORD cbNeeded = 0;
    DWORD dwCount = 0;
    const BOOL bDone = EnumServicesStatusA(manager.kGet(), SERVICE_WIN32, SERVICE_STATE_ALL, pServices,
                                           kServiceBufferSize, &cbNeeded, &dwCount, &dwResume);
    // The last error is looked at only after a failure: some systems leave
    // ERROR_MORE_DATA behind after a call that returned everything.
    const DWORD dwError = bDone ? ERROR_SUCCESS : GetLastError();
    if (!bDone && dwError != ERROR_MORE_DATA) {
      log.kWriteLog("EnumServicesStatus Error GetLastError[%u]\n", dwError);
      return CLUSTER_SERVICE_CHECK_FAILED;
    }
    // Every record fits in the buffer many times over; a call that asks for
    // more and returns nothing would never end.
    if (!bDone && dwCount == 0) {
      log.kWriteLog("EnumServicesStatus Error GetLastError[%u] no service returned, %u bytes needed\n", dwError,
                    cbNeeded);
      return CLUSTER_SERVICE_CHECK_FAILED;
    }
    const DWORD dwMaxCount = kServiceBufferSize / sizeof(ENUM_SERVICE_STATUSA);
    for (DWORD i = 0; i < dwCount && i < dwMaxCount; ++i) {
      const ENUM_SERVICE_STATUSA& service = pServices[i];
      if (service.lpServiceName && lstrcmpiA(service.lpServiceName, kClusterServiceName) == 0) {
        log.kWriteLog("DisplayName:[%s],ServiceName:[%s], Status:[%s]\n",
                      service.lpDisplayName ? service.lpDisplayName : "", service.lpServiceName,
                      serviceStateName(service.ServiceStatus.dwCurrentState));
        nResult = CLUSTER_SERVICE_FOUND;
      }
    }
    if (bDone) break;
  }
  log.kWriteLog("CEnvironment::kCheckClusterServer return [%d]\n", nResult);
  return nResult;
}
