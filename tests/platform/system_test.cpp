// System services as the environment probe and the rest of the program use
// them: version, processor, names, environment, modules, token, code pages
// and comparisons. The same expectations hold on winsim's default machine
// (Windows 7 SP1 x64, the user an administrator) and on Wine's default
// 64-bit prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "support/conformance.h"

namespace {

constexpr char kSentinel = '@';

std::u16string u16(const WCHAR* w, size_t n) { return std::u16string(reinterpret_cast<const char16_t*>(w), n); }

}  // namespace

// ---- Version ---------------------------------------------------------------

TEST(Version, WrongRecordSizeIsRefused) {
  for (DWORD size : {DWORD{0}, DWORD{sizeof(OSVERSIONINFOA) - 1}, DWORD{sizeof(OSVERSIONINFOA) + 4},
                     DWORD{sizeof(OSVERSIONINFOEXA) + 1}}) {
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = size;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) << size;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) << size;
  }
}

TEST(Version, DefaultMachineIsWindows7Sp1Workstation) {
  OSVERSIONINFOA basic{};
  basic.dwOSVersionInfoSize = sizeof basic;
  ASSERT_TRUE(GetVersionExA(&basic));
  EXPECT_EQ(basic.dwOSVersionInfoSize, 148u);
  EXPECT_EQ(basic.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  EXPECT_EQ(basic.dwMajorVersion, 6u);
  EXPECT_EQ(basic.dwMinorVersion, 1u);
  EXPECT_EQ(basic.dwBuildNumber, 7601u);
  EXPECT_STREQ(basic.szCSDVersion, "Service Pack 1");

  OSVERSIONINFOEXA ex{};
  ex.dwOSVersionInfoSize = sizeof ex;
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)));
  EXPECT_EQ(ex.dwOSVersionInfoSize, 156u);
  EXPECT_EQ(ex.wServicePackMajor, 1);
  EXPECT_EQ(ex.wServicePackMinor, 0);
  EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);
  KV_WINE_DEPARTS("Wine's default prefix leaves the suite mask 0") {
    EXPECT_EQ(ex.wSuiteMask, VER_SUITE_SINGLEUSERTS);
  }
  EXPECT_EQ(GetVersion(), 0x1DB10106u);
}

// ---- Processor and WOW64 -------------------------------------------------------

TEST(SystemInfo, NativeAndProcessViewOfA64BitProcess) {
  SYSTEM_INFO native{};
  SYSTEM_INFO process{};
  GetNativeSystemInfo(&native);
  GetSystemInfo(&process);
  EXPECT_EQ(native.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
  EXPECT_EQ(process.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
  EXPECT_EQ(native.dwPageSize, 4096u);
  EXPECT_EQ(native.dwAllocationGranularity, 0x10000u);
  EXPECT_GE(native.dwNumberOfProcessors, 1u);
  BOOL wow64 = 7;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_EQ(wow64, FALSE);
}

// ---- Computer and user names ---------------------------------------------------

TEST(Names, ComputerNameSizing) {
  DWORD size = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetComputerNameA(nullptr, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
  ASSERT_GE(size, 2u);  // at least one character and the NUL
  const DWORD needed = size;

  std::vector<char> buf(needed + 4, kSentinel);
  size = needed - 1;  // one short: no room for the NUL
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetComputerNameA(buf.data(), &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
  EXPECT_EQ(size, needed);

  size = needed;
  ASSERT_TRUE(GetComputerNameA(buf.data(), &size));
  EXPECT_EQ(size, needed - 1) << "success counts without the NUL";
  EXPECT_EQ(std::strlen(buf.data()), size);
  EXPECT_EQ(buf[needed], kSentinel);
}

TEST(Names, UserNameSizing) {
  DWORD size = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetUserNameA(nullptr, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  ASSERT_GE(size, 2u);
  const DWORD needed = size;

  std::vector<char> buf(needed + 4, kSentinel);
  size = needed - 1;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetUserNameA(buf.data(), &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, needed);

  size = needed;
  ASSERT_TRUE(GetUserNameA(buf.data(), &size));
  EXPECT_EQ(size, needed) << "success counts with the NUL";
  EXPECT_EQ(std::strlen(buf.data()) + 1, size);
}

// ---- Environment ---------------------------------------------------------------

TEST(Environment, BufferRules) {
  ASSERT_TRUE(SetEnvironmentVariableA("KV_SYSTEM_TEST", "hello"));
  char buf[16];
  std::memset(buf, kSentinel, sizeof buf);
  EXPECT_EQ(GetEnvironmentVariableA("KV_SYSTEM_TEST", nullptr, 0), 6u) << "too small: the size with the NUL";
  EXPECT_EQ(GetEnvironmentVariableA("kv_system_test", buf, 5), 6u) << "names ignore case";
  EXPECT_EQ(GetEnvironmentVariableA("KV_SYSTEM_TEST", buf, 6), 5u) << "fits: the length without the NUL";
  EXPECT_STREQ(buf, "hello");
  EXPECT_EQ(buf[6], kSentinel);

  ASSERT_TRUE(SetEnvironmentVariableA("KV_SYSTEM_TEST", nullptr));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetEnvironmentVariableA("KV_SYSTEM_TEST", buf, sizeof buf), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
  EXPECT_TRUE(SetEnvironmentVariableA("KV_SYSTEM_TEST", nullptr)) << "removing twice succeeds";

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetEnvironmentVariableA("", "x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Environment, ExpandKeepsUnknownNames) {
  ASSERT_TRUE(SetEnvironmentVariableA("KV_EXPAND", "v"));
  struct Row {
    const char* in;
    const char* out;
  } rows[] = {
      {"%KV_EXPAND%", "v"},
      {"a%kv_expand%b", "avb"},
      {"%KV_NO_SUCH_VARIABLE%", "%KV_NO_SUCH_VARIABLE%"},
      {"%KV_NO_SUCH_VARIABLE%KV_EXPAND%", "%KV_NO_SUCH_VARIABLE%KV_EXPAND%"},
      {"%KV_EXPAND%%KV_EXPAND%", "vv"},
      {"100%", "100%"},
      {"%%", "%%"},
      {"", ""},
  };
  for (const auto& row : rows) {
    char buf[64];
    std::memset(buf, kSentinel, sizeof buf);
    const DWORD n = ExpandEnvironmentStringsA(row.in, buf, sizeof buf);
    EXPECT_STREQ(buf, row.out) << row.in;
    EXPECT_EQ(n, std::strlen(row.out) + 1) << row.in;
    EXPECT_EQ(ExpandEnvironmentStringsA(row.in, nullptr, 0), n) << row.in;
  }
  SetEnvironmentVariableA("KV_EXPAND", nullptr);
}

TEST(Environment, WindowsVariablesOfA64BitProcess) {
  char buf[MAX_PATH];
  for (const char* name : {"TEMP", "TMP", "windir", "SystemRoot", "USERPROFILE", "COMPUTERNAME", "USERNAME",
                           "ProgramFiles", "ALLUSERSPROFILE"}) {
    EXPECT_GT(GetEnvironmentVariableA(name, buf, sizeof buf), 0u) << name;
  }
  ASSERT_GT(GetEnvironmentVariableA("PROCESSOR_ARCHITECTURE", buf, sizeof buf), 0u);
  EXPECT_STREQ(buf, "AMD64");
  EXPECT_EQ(GetEnvironmentVariableA("PROCESSOR_ARCHITEW6432", buf, sizeof buf), 0u);
  ASSERT_GT(GetEnvironmentVariableA("windir", buf, sizeof buf), 2u);
  EXPECT_EQ(buf[1], ':');
  // COMPUTERNAME and the computer name agree.
  char name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = sizeof name;
  ASSERT_TRUE(GetComputerNameA(name, &size));
  ASSERT_GT(GetEnvironmentVariableA("COMPUTERNAME", buf, sizeof buf), 0u);
  EXPECT_EQ(lstrcmpiA(buf, name), 0);
}

TEST(Environment, CommandLineStartsWithTheProgram) {
  const char* line = GetCommandLineA();
  ASSERT_NE(line, nullptr);
  EXPECT_NE(std::strstr(line, "platform_tests"), nullptr) << line;
}

// ---- Modules -------------------------------------------------------------------

TEST(Modules, BindKernel32FunctionsAtRunTime) {
  HMODULE k32 = LoadLibraryA("Kernel32.dll");
  ASSERT_NE(k32, nullptr);
  EXPECT_EQ(GetModuleHandleA("KERNEL32"), k32) << "names ignore case and the extension";

  using NativeInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
  using IsWow64Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
  auto nativeInfo = reinterpret_cast<NativeInfoFn>(reinterpret_cast<void*>(GetProcAddress(k32, "GetNativeSystemInfo")));
  auto isWow64 = reinterpret_cast<IsWow64Fn>(reinterpret_cast<void*>(GetProcAddress(k32, "IsWow64Process")));
  ASSERT_NE(nativeInfo, nullptr);
  ASSERT_NE(isWow64, nullptr);
  SYSTEM_INFO info{};
  nativeInfo(&info);
  EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
  BOOL wow64 = TRUE;
  EXPECT_TRUE(isWow64(GetCurrentProcess(), &wow64));
  EXPECT_FALSE(wow64);

  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetProcAddress(k32, "NoSuchFunctionKv"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetProcAddress(k32, "getnativesysteminfo"), nullptr) << "export names keep their case";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_TRUE(FreeLibrary(k32));
  EXPECT_NE(GetModuleHandleA("kernel32.dll"), nullptr) << "kernel32 stays loaded";
}

TEST(Modules, MissingModule) {
  SetLastError(0xdeadbeef);
  EXPECT_EQ(LoadLibraryA("kv_no_such_module.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetModuleHandleA("kv_no_such_module.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(Modules, ModuleFileNameTruncation) {
  char full[MAX_PATH * 2];
  const DWORD length = GetModuleFileNameA(nullptr, full, sizeof full);
  ASSERT_GT(length, 3u);
  EXPECT_EQ(std::strlen(full), length);
  EXPECT_EQ(full[1], ':');
  EXPECT_NE(std::strstr(full, "platform_tests"), nullptr) << full;

  std::vector<char> buf(length + 8, kSentinel);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetModuleFileNameA(nullptr, buf.data(), length), length) << "a short buffer gives its own size";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::string(buf.data(), length - 1), std::string(full, length - 1));
  KV_WINE_DEPARTS("Wine does not NUL-terminate a truncated module path") {
    EXPECT_EQ(buf[length - 1], '\0');
  }
  EXPECT_EQ(buf[length], kSentinel);
}

// ---- Memory --------------------------------------------------------------------

TEST(Memory, ZeroedBlocksAndFree) {
  auto* p = static_cast<unsigned char*>(LocalAlloc(LPTR, 64));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0) << i;
  EXPECT_EQ(LocalFree(p), nullptr);
  EXPECT_EQ(LocalFree(nullptr), nullptr);
  void* g = GlobalAlloc(GPTR, 0);
  EXPECT_NE(g, nullptr) << "an empty block is still a block";
  EXPECT_EQ(GlobalFree(g), nullptr);
}

// ---- Token ---------------------------------------------------------------------

namespace {

struct OwnedSid {
  PSID sid = nullptr;
  ~OwnedSid() {
    if (sid) FreeSid(sid);
  }
};

OwnedSid ntSid(std::initializer_list<DWORD> subs) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  DWORD s[8] = {};
  size_t i = 0;
  for (DWORD v : subs) s[i++] = v;
  OwnedSid out;
  EXPECT_TRUE(AllocateAndInitializeSid(&nt, static_cast<BYTE>(subs.size()), s[0], s[1], s[2], s[3], s[4], s[5], s[6],
                                       s[7], &out.sid));
  return out;
}

}  // namespace

TEST(Token, GroupsTwoCallSizingAndAdministrators) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  DWORD needed = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  ASSERT_GT(needed, sizeof(TOKEN_GROUPS));

  std::vector<BYTE> small(needed - 1);
  DWORD again = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetTokenInformation(token, TokenGroups, small.data(), needed - 1, &again));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(again, needed);

  std::vector<BYTE> buf(needed);
  ASSERT_TRUE(GetTokenInformation(token, TokenGroups, buf.data(), needed, &again));
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buf.data());
  ASSERT_GT(groups->GroupCount, 2u);

  OwnedSid admins = ntSid({SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS});
  OwnedSid users = ntSid({SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS});
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  OwnedSid everyone;
  ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone.sid));
  int foundAdmins = 0, foundUsers = 0, foundEveryone = 0;
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    const auto& g = groups->Groups[i];
    // Every SID the token hands out lies inside the caller's buffer.
    EXPECT_GE(static_cast<const BYTE*>(g.Sid), buf.data());
    EXPECT_LT(static_cast<const BYTE*>(g.Sid), buf.data() + needed);
    if (EqualSid(g.Sid, admins.sid)) {
      ++foundAdmins;
      EXPECT_TRUE(g.Attributes & SE_GROUP_ENABLED);
    }
    if (EqualSid(g.Sid, users.sid)) ++foundUsers;
    if (EqualSid(g.Sid, everyone.sid)) ++foundEveryone;
  }
  EXPECT_EQ(foundAdmins, 1);
  EXPECT_EQ(foundUsers, 1);
  EXPECT_EQ(foundEveryone, 1);

  BOOL member = FALSE;
  ASSERT_TRUE(CheckTokenMembership(nullptr, admins.sid, &member));
  EXPECT_TRUE(member);
  EXPECT_TRUE(CloseHandle(token));
}

TEST(Token, SidsCompareByValue) {
  OwnedSid a = ntSid({SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS});
  OwnedSid b = ntSid({SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS});
  OwnedSid c = ntSid({SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS});
  OwnedSid shorter = ntSid({SECURITY_BUILTIN_DOMAIN_RID});
  EXPECT_NE(a.sid, b.sid);
  EXPECT_TRUE(EqualSid(a.sid, b.sid));
  EXPECT_FALSE(EqualSid(a.sid, c.sid));
  EXPECT_FALSE(EqualSid(a.sid, shorter.sid));

  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID tooMany = nullptr;
  EXPECT_FALSE(AllocateAndInitializeSid(&nt, 9, 1, 2, 3, 4, 5, 6, 7, 8, &tooMany));
  EXPECT_EQ(FreeSid(a.sid), nullptr);
  a.sid = nullptr;
}

TEST(Token, ShutdownPrivilege) {
  LUID luid{};
  ASSERT_TRUE(LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &luid));
  EXPECT_EQ(luid.LowPart, 19u);
  EXPECT_EQ(luid.HighPart, 0);
  LUID other{};
  ASSERT_TRUE(LookupPrivilegeValueA(nullptr, "seshutdownprivilege", &other)) << "names ignore case";
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &other));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));

  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
  TOKEN_PRIVILEGES tp{};
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Luid = luid;
  tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  CloseHandle(token);

  HANDLE queryOnly = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &queryOnly));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(AdjustTokenPrivileges(queryOnly, FALSE, &tp, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(queryOnly);
}

// ---- Code pages ----------------------------------------------------------------

TEST(CodePages, Utf8ToUtf16Sizes) {
  // "é" is two bytes, "€" three, the emoji four bytes and two UTF-16 units.
  const char* text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0), 6) << "with the NUL";
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 3, nullptr, 0), 2) << "a counted string has no NUL";
  WCHAR out[8];
  std::fill(std::begin(out), std::end(out), WCHAR{0x4040});
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, out, 8), 6);
  EXPECT_EQ(u16(out, 6), std::u16string(u"a\u00e9\u20ac\U0001F600") + u'\0');
  EXPECT_EQ(out[6], 0x4040);

  SetLastError(0xdeadbeef);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, out, 5), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(CodePages, Utf16ToUtf8Sizes) {
  const WCHAR text[] = {u'a', 0x00E9, 0x20AC, 0xD83D, 0xDE00, 0};
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr), 11);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, 2, nullptr, 0, nullptr, nullptr), 3);
  char out[16];
  std::memset(out, kSentinel, sizeof out);
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, nullptr, nullptr), 11);
  EXPECT_STREQ(out, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  SetLastError(0xdeadbeef);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, out, 10, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(CodePages, InvalidInputAndArguments) {
  WCHAR w[8];
  char a[8];
  const WCHAR lone[] = {u'x', 0xD800, u'y'};
  BOOL used = FALSE;
  struct Row {
    const char* what;
    std::function<int()> call;
    DWORD error;
  } rows[] = {
      {"ill-formed UTF-8, strict", [&] { return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, w, 8); },
       ERROR_NO_UNICODE_TRANSLATION},
      {"lone surrogate, strict",
       [&] { return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, 3, a, 8, nullptr, nullptr); },
       ERROR_NO_UNICODE_TRANSLATION},
      {"zero source length", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 0, w, 8); }, ERROR_INVALID_PARAMETER},
      {"NULL source", [&] { return MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, w, 8); }, ERROR_INVALID_PARAMETER},
      {"NULL target with a size", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", -1, nullptr, 8); },
       ERROR_INVALID_PARAMETER},
  };
  for (auto& row : rows) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(row.call(), 0) << row.what;
    EXPECT_EQ(GetLastError(), row.error) << row.what;
  }
  // Windows allows no other flag, and no default character, with UTF-8.
  KV_WINE_DEPARTS("Wine accepts MB_PRECOMPOSED with CP_UTF8") {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", -1, w, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
  }
  KV_WINE_DEPARTS("Wine accepts lpUsedDefaultChar with CP_UTF8") {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, lone, 1, a, 8, nullptr, &used), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  // A negative length other than -1 still means a NUL-terminated string.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", -2, w, 8), 3);

  // Without the strict flag ill-formed input becomes U+FFFD.
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xFF", 2, w, 8), 2);
  EXPECT_EQ(w[1], 0xFFFD);
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, lone, 3, a, 8, nullptr, nullptr), 5);
  EXPECT_EQ(std::string(a, 5), "x\xEF\xBF\xBDy");
}

// ---- Comparison ------------------------------------------------------------------

TEST(Compare, CompareStringTable) {
  struct Row {
    const char* a;
    int na;
    const char* b;
    int nb;
    DWORD flags;
    int expected;
  } rows[] = {
      {"a", -1, "b", -1, 0, CSTR_LESS_THAN},
      {"a", -1, "B", -1, 0, CSTR_LESS_THAN},  // letters before case
      {"A", -1, "a", -1, 0, CSTR_GREATER_THAN},  // lower case first
      {"A", -1, "a", -1, NORM_IGNORECASE, CSTR_EQUAL},
      {"KV_Setup", -1, "kv_setup", -1, NORM_IGNORECASE, CSTR_EQUAL},
      {"abc", -1, "ab", -1, 0, CSTR_GREATER_THAN},
      {"", -1, "", -1, 0, CSTR_EQUAL},
      {"", -1, "a", -1, 0, CSTR_LESS_THAN},
      {"_", -1, "A", -1, 0, CSTR_LESS_THAN},  // punctuation before letters
      {"1", -1, "a", -1, 0, CSTR_LESS_THAN},  // digits before letters
      {"10", -1, "9", -1, 0, CSTR_LESS_THAN},
      {"Windows x64", -1, "WINDOWS X64", -1, NORM_IGNORECASE, CSTR_EQUAL},
      {"abcdef", 3, "abc", -1, 0, CSTR_EQUAL},
      {"abc", 2, "abd", 2, 0, CSTR_EQUAL},
      // A word sort weighs hyphens last; a string sort as punctuation.
      {"coop", -1, "co-op", -1, 0, CSTR_LESS_THAN},
      {"co-op", -1, "coop", -1, SORT_STRINGSORT, CSTR_LESS_THAN},
      {"Ab", -1, "aB", -1, 0, CSTR_GREATER_THAN},  // case from the first letter on
      {"a.b", -1, "ab", -1, NORM_IGNORESYMBOLS, CSTR_EQUAL},
      {"10.0.0.9", -1, "10.0.0.10", -1, SORT_STRINGSORT, CSTR_GREATER_THAN},
      {"abc\xE9", -1, "abc", -1, 0, CSTR_GREATER_THAN},  // beyond ASCII
      // Strings that share a beginning: what follows decides, at every level.
      {"KV Model 00010", -1, "KV Model 00009", -1, NORM_IGNORECASE, CSTR_GREATER_THAN},
      {"KV Model abC", -1, "KV Model abc", -1, 0, CSTR_GREATER_THAN},
      {"KV Model abC", -1, "KV Model abc", -1, NORM_IGNORECASE, CSTR_EQUAL},
      {"ab-c", -1, "abc", -1, 0, CSTR_GREATER_THAN},
      {"ab-c", -1, "ab-d", -1, 0, CSTR_LESS_THAN},
  };
  for (const auto& r : rows) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, r.flags, r.a, r.na, r.b, r.nb), r.expected)
        << r.a << " / " << r.b << " flags " << r.flags;
  }
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, nullptr, -1, "a", -1), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Compare, LstrFunctions) {
  struct Row {
    const char* a;
    const char* b;
    int cmp;   // sign of lstrcmpA
    int cmpi;  // sign of lstrcmpiA
  } rows[] = {
      {"abc", "abc", 0, 0},     {"abc", "ABC", -1, 0},  {"a", "B", -1, -1},
      {"B", "a", 1, 1},         {"NTamd64", "ntAMD64", 1, 0},  {"x", "", 1, 1},
  };
  auto sign = [](int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; };
  for (const auto& r : rows) {
    EXPECT_EQ(sign(lstrcmpA(r.a, r.b)), r.cmp) << r.a << " / " << r.b;
    EXPECT_EQ(sign(lstrcmpiA(r.a, r.b)), r.cmpi) << r.a << " / " << r.b;
  }
  EXPECT_EQ(lstrlenA("hello"), 5);
  EXPECT_EQ(lstrlenA(nullptr), 0);
  const WCHAR w[] = {u'h', u'i', 0};
  EXPECT_EQ(lstrlenW(w), 2);

  char buf[8];
  std::memset(buf, kSentinel, sizeof buf);
  EXPECT_EQ(lstrcpynA(buf, "abcdef", 4), buf);
  EXPECT_STREQ(buf, "abc") << "at most n-1 characters and a NUL";
  EXPECT_EQ(buf[4], kSentinel);
  EXPECT_EQ(lstrcpyA(buf, "ab"), buf);
  EXPECT_EQ(lstrcatA(buf, "cd"), buf);
  EXPECT_STREQ(buf, "abcd");
}

// ---- Clock -----------------------------------------------------------------------

TEST(Clock, TickCountFollowsSleep) {
  const DWORD before = GetTickCount();
  Sleep(50);
  const DWORD elapsed = GetTickCount() - before;
  // The tick count moves in steps of up to 16 ms on Windows, so two readings
  // around a 50 ms sleep may differ by as little as 50 - 16.
  EXPECT_GE(elapsed, 34u);
  SYSTEMTIME st{};
  GetSystemTime(&st);
  EXPECT_GE(st.wYear, 2020);
  EXPECT_GE(st.wMonth, 1);
  EXPECT_LE(st.wMonth, 12);
  FILETIME ft{};
  GetSystemTimeAsFileTime(&ft);
  // 2020-01-01 is 0x01D5C03669480000 in 100-ns intervals since 1601.
  EXPECT_GE(ft.dwHighDateTime, 0x01D5C036u);
}
