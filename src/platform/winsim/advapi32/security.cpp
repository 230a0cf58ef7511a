// winsim: the process token (groups, privileges, elevation), security
// identifiers, and the current process and thread.
//
// The token is built from the machine settings: an administrator holds the
// built-in Administrators group, enabled, and the administrator's
// privileges; another user has neither. Privileges that a program enables
// stay enabled for the rest of the process, as they do on the one process
// token of Windows.
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <windows.h>

#include "advapi32/token_privileges.h"
#include "handles.h"
#include "machine.h"
#include "machine_settings.h"
#include "modules.h"

namespace {

struct TokenObject : winsim::KernelObject {
  explicit TokenObject(DWORD a) : access(a) {}
  const char* kind() const override { return "token"; }
  DWORD access;
};

using SidBytes = std::vector<BYTE>;

SidBytes makeSid(BYTE authority, std::initializer_list<DWORD> subs) {
  SidBytes sid(8 + 4 * subs.size());
  sid[0] = SID_REVISION;
  sid[1] = static_cast<BYTE>(subs.size());
  sid[7] = authority;
  size_t at = 8;
  for (DWORD sub : subs) {
    std::memcpy(&sid[at], &sub, 4);
    at += 4;
  }
  return sid;
}

bool validSid(const void* p) {
  if (!p) return false;
  const BYTE* b = static_cast<const BYTE*>(p);
  return b[0] == SID_REVISION && b[1] <= SID_MAX_SUB_AUTHORITIES;
}

size_t sidLength(const void* p) { return 8 + 4 * static_cast<const BYTE*>(p)[1]; }

struct Group {
  SidBytes sid;
  DWORD attributes;
};

constexpr DWORD kGroupOn = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;

// The machine's own domain part of account SIDs, stable for one computer name.
std::vector<DWORD> machineDomain(const std::string& computerName) {
  DWORD h = 2166136261u;
  std::vector<DWORD> parts;
  for (int round = 0; round < 3; ++round) {
    for (char c : computerName) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    h = (h ^ static_cast<DWORD>(round)) * 16777619u;
    parts.push_back(h | 0x10000000u);
  }
  return parts;
}

SidBytes userSid(const winsim::MachineSettings& s) {
  const auto d = machineDomain(s.computerName);
  return makeSid(5, {SECURITY_NT_NON_UNIQUE, d[0], d[1], d[2], 1000});
}

// The groups of the logged-on user's token, in the order Windows lists them.
std::vector<Group> tokenGroups(const winsim::MachineSettings& s) {
  const auto d = machineDomain(s.computerName);
  const bool vista = s.majorVersion >= 6;
  std::vector<Group> g;
  g.push_back({makeSid(5, {SECURITY_NT_NON_UNIQUE, d[0], d[1], d[2], 513}), kGroupOn});
  g.push_back({makeSid(1, {SECURITY_WORLD_RID}), kGroupOn});
  if (s.admin) g.push_back({makeSid(5, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}), kGroupOn | SE_GROUP_OWNER});
  g.push_back({makeSid(5, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS}), kGroupOn});
  g.push_back({makeSid(5, {SECURITY_INTERACTIVE_RID}), kGroupOn});
  if (s.majorVersion > 6 || (s.majorVersion == 6 && s.minorVersion >= 1)) g.push_back({makeSid(2, {1}), kGroupOn});
  g.push_back({makeSid(5, {SECURITY_AUTHENTICATED_USER_RID}), kGroupOn});
  g.push_back({makeSid(5, {15}), kGroupOn});
  g.push_back({makeSid(5, {SECURITY_LOGON_IDS_RID, 0, 0x1A2B3}), kGroupOn | SE_GROUP_LOGON_ID});
  g.push_back({makeSid(2, {SECURITY_LOCAL_RID}), kGroupOn});
  if (vista) {
    g.push_back({makeSid(5, {64, 10}), kGroupOn});
    g.push_back({makeSid(16, {s.admin ? DWORD{SECURITY_MANDATORY_HIGH_RID} : DWORD{SECURITY_MANDATORY_MEDIUM_RID}}),
                 SE_GROUP_INTEGRITY | SE_GROUP_INTEGRITY_ENABLED});
  }
  return g;
}

// ---- Privileges ---------------------------------------------------------------

struct PrivilegeName {
  const char* name;
  DWORD luid;
};
constexpr PrivilegeName kPrivileges[] = {
    {"SeCreateTokenPrivilege", 2},        {"SeAssignPrimaryTokenPrivilege", 3}, {"SeLockMemoryPrivilege", 4},
    {"SeIncreaseQuotaPrivilege", 5},      {"SeMachineAccountPrivilege", 6},     {"SeTcbPrivilege", 7},
    {"SeSecurityPrivilege", 8},           {"SeTakeOwnershipPrivilege", 9},      {"SeLoadDriverPrivilege", 10},
    {"SeSystemProfilePrivilege", 11},     {"SeSystemtimePrivilege", 12},        {"SeProfileSingleProcessPrivilege", 13},
    {"SeIncreaseBasePriorityPrivilege", 14}, {"SeCreatePagefilePrivilege", 15}, {"SeCreatePermanentPrivilege", 16},
    {"SeBackupPrivilege", 17},            {"SeRestorePrivilege", 18},           {"SeShutdownPrivilege", 19},
    {"SeDebugPrivilege", 20},             {"SeAuditPrivilege", 21},             {"SeSystemEnvironmentPrivilege", 22},
    {"SeChangeNotifyPrivilege", 23},      {"SeRemoteShutdownPrivilege", 24},    {"SeUndockPrivilege", 25},
    {"SeSyncAgentPrivilege", 26},         {"SeEnableDelegationPrivilege", 27},  {"SeManageVolumePrivilege", 28},
    {"SeImpersonatePrivilege", 29},       {"SeCreateGlobalPrivilege", 30},      {"SeTrustedCredManAccessPrivilege", 31},
    {"SeRelabelPrivilege", 32},           {"SeIncreaseWorkingSetPrivilege", 33}, {"SeTimeZonePrivilege", 34},
    {"SeCreateSymbolicLinkPrivilege", 35},
};

constexpr DWORD kOnByDefault = SE_PRIVILEGE_ENABLED | SE_PRIVILEGE_ENABLED_BY_DEFAULT;

// The privileges of the token with their default attributes. An
// administrator holds the administrator's set; another user holds the
// shutdown privilege only on a workstation, as Windows grants it.
std::vector<LUID_AND_ATTRIBUTES> heldPrivileges(const winsim::MachineSettings& s) {
  std::vector<std::pair<DWORD, DWORD>> held;
  if (s.admin) {
    held = {{5, 0},  {8, 0},  {9, 0},  {10, 0}, {11, 0}, {12, 0}, {13, 0}, {14, 0}, {15, 0},
            {17, 0}, {18, 0}, {19, 0}, {20, 0}, {22, 0}, {23, kOnByDefault}, {24, 0}, {25, 0},
            {28, 0}, {29, kOnByDefault}, {30, kOnByDefault}, {33, 0}, {34, 0}, {35, 0}};
  } else if (s.productType == VER_NT_WORKSTATION) {
    held = {{19, 0}, {23, kOnByDefault}, {25, 0}, {33, 0}, {34, 0}};
  } else {
    held = {{23, kOnByDefault}, {33, 0}};
  }
  std::vector<LUID_AND_ATTRIBUTES> out;
  for (auto [luid, attrs] : held) out.push_back({{luid, 0}, attrs});
  return out;
}

std::mutex g_privilegeMutex;
std::map<DWORD, bool>& enabledOverrides() {
  static std::map<DWORD, bool> m;
  return m;
}

std::vector<LUID_AND_ATTRIBUTES> currentPrivileges(const winsim::MachineSettings& s) {
  auto held = heldPrivileges(s);
  for (auto& p : held) {
    auto it = enabledOverrides().find(p.Luid.LowPart);
    if (it == enabledOverrides().end()) continue;
    if (it->second) p.Attributes |= SE_PRIVILEGE_ENABLED;
    else p.Attributes &= ~static_cast<DWORD>(SE_PRIVILEGE_ENABLED);
  }
  return held;
}

// Resolves a token handle, with the access the call needs.
std::shared_ptr<TokenObject> tokenFor(HANDLE h, DWORD access) {
  auto token = winsim::lookupHandleAs<TokenObject>(h);
  if (!token) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if ((token->access & access) != access) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return token;
}

size_t alignUp(size_t v, size_t a) { return (v + a - 1) / a * a; }

// Lays out a list of SIDs with attributes as Windows does: the fixed part,
// the array, then the SIDs themselves, so that every pointer points into
// the caller's buffer.
size_t layoutSidList(const std::vector<Group>& groups, size_t headerSize, BYTE* out) {
  const size_t arrayAt = headerSize;
  size_t sidAt = arrayAt + groups.size() * sizeof(SID_AND_ATTRIBUTES);
  for (size_t i = 0; i < groups.size(); ++i) {
    sidAt = alignUp(sidAt, 4);
    if (out) {
      SID_AND_ATTRIBUTES entry{out + sidAt, groups[i].attributes};
      std::memcpy(out + arrayAt + i * sizeof entry, &entry, sizeof entry);
      std::memcpy(out + sidAt, groups[i].sid.data(), groups[i].sid.size());
    }
    sidAt += groups[i].sid.size();
  }
  return sidAt;
}

}  // namespace

bool winsim::privilegeEnabled(std::string_view name) {
  for (const PrivilegeName& p : kPrivileges) {
    if (!winsim::iequals(p.name, name)) continue;
    const winsim::MachineSettings s = winsim::machineSettings();
    std::lock_guard<std::mutex> guard(g_privilegeMutex);
    for (const auto& held : currentPrivileges(s)) {
      if (held.Luid.LowPart == p.luid && held.Luid.HighPart == 0) return (held.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    return false;
  }
  return false;
}

// OpenProcessToken: FALSE with ERROR_INVALID_HANDLE for a process handle
// that is not open; the 95 family has no tokens (ERROR_CALL_NOT_IMPLEMENTED).
extern "C" BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
  if (!winsim::isNtPlatform(winsim::machineSettings())) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  if (ProcessHandle != winsim::currentProcessPseudoHandle() && !winsim::lookupHandle(ProcessHandle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!TokenHandle) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  DWORD access = DesiredAccess;
  if (access & MAXIMUM_ALLOWED) access |= TOKEN_ALL_ACCESS;
  if (access & GENERIC_READ) access |= TOKEN_QUERY;
  if (access & GENERIC_ALL) access |= TOKEN_ALL_ACCESS;
  *TokenHandle = winsim::allocHandle(std::make_shared<TokenObject>(access));
  return TRUE;
}

// GetTokenInformation: FALSE with ERROR_INSUFFICIENT_BUFFER and the size
// needed when the buffer is too small; ERROR_INVALID_PARAMETER for a class
// this release does not know.
extern "C" BOOL WINAPI GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                                           LPVOID TokenInformation, DWORD TokenInformationLength,
                                           PDWORD ReturnLength) {
  if (!tokenFor(TokenHandle, TOKEN_QUERY)) return FALSE;
  const winsim::MachineSettings s = winsim::machineSettings();
  const bool vista = s.majorVersion >= 6;
  BYTE* out = static_cast<BYTE*>(TokenInformation);
  size_t needed = 0;
  std::function<void()> fill;
  switch (TokenInformationClass) {
    case TokenUser: {
      std::vector<Group> user{{userSid(s), 0}};
      needed = layoutSidList(user, 0, nullptr);
      fill = [=] { layoutSidList(user, 0, out); };
      break;
    }
    case TokenGroups: {
      const auto groups = tokenGroups(s);
      needed = layoutSidList(groups, offsetof(TOKEN_GROUPS, Groups), nullptr);
      fill = [=] {
        const DWORD count = static_cast<DWORD>(groups.size());
        std::memcpy(out, &count, sizeof count);
        layoutSidList(groups, offsetof(TOKEN_GROUPS, Groups), out);
      };
      break;
    }
    case TokenPrivileges: {
      std::vector<LUID_AND_ATTRIBUTES> privs;
      {
        std::lock_guard<std::mutex> guard(g_privilegeMutex);
        privs = currentPrivileges(s);
      }
      needed = offsetof(TOKEN_PRIVILEGES, Privileges) + privs.size() * sizeof(LUID_AND_ATTRIBUTES);
      fill = [=] {
        const DWORD count = static_cast<DWORD>(privs.size());
        std::memcpy(out, &count, sizeof count);
        if (!privs.empty())
          std::memcpy(out + offsetof(TOKEN_PRIVILEGES, Privileges), privs.data(),
                      privs.size() * sizeof(LUID_AND_ATTRIBUTES));
      };
      break;
    }
    case TokenElevation:
      if (!vista) break;
      needed = sizeof(TOKEN_ELEVATION);
      fill = [=] {
        TOKEN_ELEVATION e{s.admin ? 1u : 0u};
        std::memcpy(out, &e, sizeof e);
      };
      break;
    case TokenElevationType:
      if (!vista) break;
      needed = sizeof(TOKEN_ELEVATION_TYPE);
      fill = [=] {
        TOKEN_ELEVATION_TYPE t = s.admin ? TokenElevationTypeFull : TokenElevationTypeDefault;
        std::memcpy(out, &t, sizeof t);
      };
      break;
    default:
      break;
  }
  if (!fill) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!ReturnLength) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  *ReturnLength = static_cast<DWORD>(needed);
  if (!out || TokenInformationLength < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  fill();
  return TRUE;
}

// AllocateAndInitializeSid: FALSE with ERROR_INVALID_SID for more than
// eight sub-authorities. The SID is freed with FreeSid.
extern "C" BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                                BYTE nSubAuthorityCount, DWORD nSubAuthority0, DWORD nSubAuthority1,
                                                DWORD nSubAuthority2, DWORD nSubAuthority3, DWORD nSubAuthority4,
                                                DWORD nSubAuthority5, DWORD nSubAuthority6, DWORD nSubAuthority7,
                                                PSID* pSid) {
  if (!pIdentifierAuthority || !pSid) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  if (nSubAuthorityCount > 8) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  const DWORD subs[8] = {nSubAuthority0, nSubAuthority1, nSubAuthority2, nSubAuthority3,
                         nSubAuthority4, nSubAuthority5, nSubAuthority6, nSubAuthority7};
  BYTE* sid = static_cast<BYTE*>(std::calloc(1, 8 + 4 * static_cast<size_t>(nSubAuthorityCount)));
  if (!sid) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  sid[0] = SID_REVISION;
  sid[1] = nSubAuthorityCount;
  std::memcpy(sid + 2, pIdentifierAuthority->Value, 6);
  std::memcpy(sid + 8, subs, 4 * static_cast<size_t>(nSubAuthorityCount));
  *pSid = sid;
  return TRUE;
}

// FreeSid: returns NULL; never fails.
extern "C" PVOID WINAPI FreeSid(PSID pSid) {
  std::free(pSid);
  return nullptr;
}

// EqualSid: FALSE with ERROR_INVALID_SID when either SID is malformed;
// otherwise the answer, with the last error cleared.
extern "C" BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2) {
  if (!validSid(pSid1) || !validSid(pSid2)) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  const size_t n = sidLength(pSid1);
  return n == sidLength(pSid2) && std::memcmp(pSid1, pSid2, n) == 0;
}

// CheckTokenMembership: with NULL, the caller's own token; a process token
// handle is a primary token, which Windows refuses with
// ERROR_NO_IMPERSONATION_TOKEN. Deny-only groups do not count.
extern "C" BOOL WINAPI CheckTokenMembership(HANDLE TokenHandle, PSID SidToCheck, PBOOL IsMember) {
  if (TokenHandle) {
    if (!winsim::lookupHandleAs<TokenObject>(TokenHandle)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    SetLastError(ERROR_NO_IMPERSONATION_TOKEN);
    return FALSE;
  }
  if (!IsMember) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  if (!validSid(SidToCheck)) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  const winsim::MachineSettings s = winsim::machineSettings();
  const size_t n = sidLength(SidToCheck);
  auto same = [&](const SidBytes& sid) { return sid.size() == n && std::memcmp(sid.data(), SidToCheck, n) == 0; };
  BOOL member = same(userSid(s));
  for (const Group& g : tokenGroups(s)) {
    if ((g.attributes & SE_GROUP_ENABLED) && same(g.sid)) member = TRUE;
  }
  *IsMember = member;
  return TRUE;
}

// LookupPrivilegeValueA: FALSE with ERROR_NO_SUCH_PRIVILEGE for a name
// Windows does not know; only the local system can be asked.
extern "C" BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid) {
  if (lpSystemName && *lpSystemName) {
    std::string system = lpSystemName;
    if (system.rfind("\\\\", 0) == 0) system = system.substr(2);
    if (!winsim::iequals(system, winsim::machineSettings().computerName)) {
      SetLastError(RPC_S_SERVER_UNAVAILABLE);
      return FALSE;
    }
  }
  if (!lpName || !lpLuid) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  for (const PrivilegeName& p : kPrivileges) {
    if (winsim::iequals(p.name, lpName)) {
      lpLuid->LowPart = p.luid;
      lpLuid->HighPart = 0;
      return TRUE;
    }
  }
  SetLastError(ERROR_NO_SUCH_PRIVILEGE);
  return FALSE;
}

// AdjustTokenPrivileges: TRUE with ERROR_NOT_ALL_ASSIGNED when the token
// lacks one of the privileges (the others are still changed), TRUE with
// ERROR_SUCCESS when all were; FALSE with ERROR_INSUFFICIENT_BUFFER when the
// previous state does not fit, and then nothing changes.
extern "C" BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                             PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                                             PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength) {
  const DWORD access = TOKEN_ADJUST_PRIVILEGES | (PreviousState ? TOKEN_QUERY : 0);
  if (!tokenFor(TokenHandle, access)) return FALSE;
  if (!DisableAllPrivileges && !NewState) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const winsim::MachineSettings s = winsim::machineSettings();
  std::lock_guard<std::mutex> guard(g_privilegeMutex);
  const auto current = currentPrivileges(s);
  auto find = [&](DWORD luid) -> const LUID_AND_ATTRIBUTES* {
    for (const auto& p : current)
      if (p.Luid.LowPart == luid && p.Luid.HighPart == 0) return &p;
    return nullptr;
  };
  // What changes: every enabled privilege for "disable all", else each
  // requested one the token holds whose state differs.
  std::vector<std::pair<LUID_AND_ATTRIBUTES, bool>> changes;
  bool notAll = false;
  if (DisableAllPrivileges) {
    for (const auto& p : current)
      if (p.Attributes & SE_PRIVILEGE_ENABLED) changes.push_back({p, false});
  } else {
    for (DWORD i = 0; i < NewState->PrivilegeCount; ++i) {
      const LUID_AND_ATTRIBUTES& want = NewState->Privileges[i];
      const LUID_AND_ATTRIBUTES* have = find(want.Luid.LowPart);
      if (!have || want.Luid.HighPart != 0) {
        notAll = true;
        continue;
      }
      const bool enable = (want.Attributes & SE_PRIVILEGE_ENABLED) && !(want.Attributes & SE_PRIVILEGE_REMOVED);
      if (((have->Attributes & SE_PRIVILEGE_ENABLED) != 0) != enable) changes.push_back({*have, enable});
    }
  }
  if (PreviousState) {
    const size_t needed = offsetof(TOKEN_PRIVILEGES, Privileges) + changes.size() * sizeof(LUID_AND_ATTRIBUTES);
    if (ReturnLength) *ReturnLength = static_cast<DWORD>(needed);
    if (BufferLength < needed) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    PreviousState->PrivilegeCount = static_cast<DWORD>(changes.size());
    auto* array = reinterpret_cast<LUID_AND_ATTRIBUTES*>(reinterpret_cast<BYTE*>(PreviousState) +
                                                          offsetof(TOKEN_PRIVILEGES, Privileges));
    for (size_t i = 0; i < changes.size(); ++i) array[i] = changes[i].first;
  }
  for (const auto& [priv, enable] : changes) enabledOverrides()[priv.Luid.LowPart] = enable;
  SetLastError(notAll ? ERROR_NOT_ALL_ASSIGNED : ERROR_SUCCESS);
  return TRUE;
}

static const winsim::ExportRegistrar kExports(
    "advapi32.dll", {WINSIM_EXPORT(OpenProcessToken), WINSIM_EXPORT(GetTokenInformation),
                     WINSIM_EXPORT(AllocateAndInitializeSid), WINSIM_EXPORT(FreeSid), WINSIM_EXPORT(EqualSid),
                     WINSIM_EXPORT(CheckTokenMembership), WINSIM_EXPORT(LookupPrivilegeValueA),
                     WINSIM_EXPORT(AdjustTokenPrivileges)});

