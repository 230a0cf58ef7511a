// The environment probe: what Windows this is, on which processor, with
// which rights, and how the spooler's environment names and the INF platform
// decorations translate into each other.
//
// kGetOsVersionCheck classifies the system once, on the user-interface
// thread at start-up, before any other thread exists; every other query
// reads what it found, from any thread, without locking. The state is
// class-wide, so any CEnvironment object (or none: every member is static)
// answers the same.
#pragma once

#include <string>

#include "platform/win32.h"

// The OS kind word: one kind bit in the low byte (or none), and the two
// modifier bits above it. Code that switches on the kind clears the
// modifiers first (OSKIND_KIND_MASK).
inline constexpr DWORD OSKIND_OTHER = 0;
inline constexpr DWORD OSKIND_WIN95 = 0x1;
inline constexpr DWORD OSKIND_WIN98 = 0x2;
inline constexpr DWORD OSKIND_WINME = 0x4;
inline constexpr DWORD OSKIND_WINNT4 = 0x8;
inline constexpr DWORD OSKIND_WIN2K = 0x10;
inline constexpr DWORD OSKIND_WINXP = 0x20;
inline constexpr DWORD OSKIND_WINVISTA = 0x40;
inline constexpr DWORD OSKIND_WIN7 = 0x80;
inline constexpr DWORD OSKIND_SERVER = 0x10000;
inline constexpr DWORD OSKIND_TERMINAL = 0x1000000;
inline constexpr DWORD OSKIND_KIND_MASK = 0xFF;

// The results of the cluster check.
inline constexpr int CLUSTER_SERVICE_NONE = 0;
inline constexpr int CLUSTER_SERVICE_FOUND = 1;
inline constexpr int CLUSTER_SERVICE_CHECK_FAILED = 99;

// One rule of the first classification: a platform and a range of major and
// minor versions give one kind bit. The rules are tried in order.
struct COsKindRule {
  DWORD dwPlatformId;
  DWORD dwMajorLow;
  DWORD dwMajorHigh;
  DWORD dwMinorLow;
  DWORD dwMinorHigh;
  DWORD dwKind;
  const char* pszName;
};

// The name tables between spooler environments and INF platform
// decorations.
struct CEnvironmentToPlatform {
  const char* pszEnvironment;
  const char* pszPlatform;
};
enum class CDriverVersionRule { kAny, kZero, kNotZero };
struct CPlatformToEnvironment {
  const char* pszPlatform;
  CDriverVersionRule eVersion;
  const char* pszEnvironment;
};

class CEnvironment {
 public:
  // The first classification by GetVersionExA's basic record. A version no
  // rule names (an NT older than 4.0) stays OSKIND_OTHER.
  static const COsKindRule kOsKindRules[];
  static const size_t kOsKindRuleCount;
  // The two name tables, compared without regard to case.
  static const CEnvironmentToPlatform kEnvironmentToPlatform[];
  static const size_t kEnvironmentToPlatformCount;
  static const CPlatformToEnvironment kPlatformToEnvironment[];
  static const size_t kPlatformToEnvironmentCount;

  // Classifies the system and fills every answer below. FALSE on a system
  // older than Windows 2000, on a WOW64 process and when a version or
  // processor query fails; the answers found until then stay (so kIsWin9x
  // and kIsWinnt still answer after a FALSE).
  [[nodiscard]] static BOOL kGetOsVersionCheck();

  // The whole OS kind word, with the modifier bits.
  static DWORD kGetOsKind();
  static BOOL kIsWin9x();
  static BOOL kIsWinnt();  // NT 4.0 only
  static BOOL kIsWin2k();  // Windows 2000 or later
  static BOOL kIsWinXP();  // XP or later
  static BOOL kIsWinVista();  // exactly Vista
  static BOOL kIsWin7();  // 7 or later
  static BOOL kIsWinVistaLater();

  // Asks the system afresh: a server product of Windows 2000 or later.
  static BOOL kIsServer();
  // Asks the system afresh: terminal services on a server product of 2000
  // or later, or "Terminal Server" in the product suite of NT 4.0.
  static BOOL kIsInstallTerminalService();
  // Whether the multi-string "ProductSuite" of the product options holds the
  // name exactly.
  static BOOL kValidateProductSuite(LPCSTR lpszSuiteToValidate);
  // Whether the process token holds the built-in Administrators group (TRUE
  // on the 95 family, which has no such thing).
  static BOOL kCheckAdministrators();
  // The native system information, bound at run time; TRUE without filling
  // the record before XP, where the function does not exist.
  static BOOL kGetNativeSystemInfo(LPSYSTEM_INFO pSystemInfo);

  static BOOL kIsX86();
  static BOOL kIsAMD64();
  static BOOL kIsWOW64();

  // Version details of the extended version record read by the
  // classification (0 or empty before it).
  static DWORD kGetMajorVersion();
  static DWORD kGetMinorVersion();
  static BYTE kGetProductType();
  static std::string kGetServicePack();

  // The spooler environment and the INF platform decoration of this system.
  static std::string kGetEnvironment();
  static std::string kGetPerentDriverPlatform();
  // The name tables; an unknown name gives the empty string.
  static std::string kConvEnvToPlatform(const std::string& strEnv);
  static std::string kConvPlatformToEnv(const std::string& strPlatform, DWORD dwVersion);

  // CLUSTER_SERVICE_FOUND when the service "ClusSvc" is installed (in any
  // state) on a server, CLUSTER_SERVICE_NONE when it is not or the system is
  // no server, CLUSTER_SERVICE_CHECK_FAILED when the service manager fails.
  static int kCheckClusterService();

 private:
  static BOOL kIsWow64Process(BOOL* pbWow64);
  static BOOL kHasKind(DWORD dwKinds, const char* pszFunction);
};
