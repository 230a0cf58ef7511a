// winsim: the registry functions of advapi32 over the registry store.
//
// An open key is a kernel object in the handle table that remembers its hive,
// its path and the access it was opened with. The key itself lives in the
// store, so a key deleted by anyone (this process, another process, kvsim)
// answers ERROR_KEY_DELETED through every handle still open on it.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "advapi32/registry_store.h"
#include "advapi32/registry_text.h"
#include "handles.h"
#include "modules.h"

namespace {

using winsim::reg::Editor;
using winsim::reg::Hive;
using winsim::reg::Value;

constexpr REGSAM kMaximumAllowed = 0x02000000;

struct KeyObject : winsim::KernelObject {
  Hive hive = Hive::LocalMachine;
  std::string path;
  REGSAM access = 0;
  bool fixed = false;  // a hive's root or a predefined key's base: it cannot go away
  // The subkey names of the hive state `subKeysGeneration` (0: none yet):
  // an enumeration asks for each index in turn, and listing every subkey
  // again for each would make it quadratic. Guarded by the store's lock
  // (read and written inside inspect() only).
  unsigned long long subKeysGeneration = 0;
  std::vector<std::string> subKeyNames;
  const char* kind() const override { return "key"; }
};

// The predefined keys winsim serves. HKEY_CLASSES_ROOT and
// HKEY_CURRENT_CONFIG are views of parts of HKEY_LOCAL_MACHINE on Windows and
// are served as such; HKEY_USERS and the performance keys are not simulated.
struct Predefined {
  HKEY key;
  Hive hive;
  const char* base;
};
const Predefined kPredefined[] = {
    {HKEY_LOCAL_MACHINE, Hive::LocalMachine, ""},
    {HKEY_CURRENT_USER, Hive::CurrentUser, ""},
    {HKEY_CLASSES_ROOT, Hive::LocalMachine, "SOFTWARE\\Classes"},
    {HKEY_CURRENT_CONFIG, Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"},
};

REGSAM effectiveAccess(REGSAM sam) {
  REGSAM a = sam;
  if (a & (kMaximumAllowed | GENERIC_ALL)) a |= KEY_ALL_ACCESS;
  if (a & GENERIC_READ) a |= KEY_READ;
  if (a & GENERIC_WRITE) a |= KEY_WRITE;
  if (a & GENERIC_EXECUTE) a |= KEY_EXECUTE;
  return a;
}

// The key a handle stands for, or nullptr (ERROR_INVALID_HANDLE).
std::shared_ptr<KeyObject> resolve(HKEY hKey) {
  for (const auto& p : kPredefined) {
    if (hKey == p.key) {
      auto k = std::make_shared<KeyObject>();
      k->hive = p.hive;
      k->path = p.base;
      k->access = KEY_ALL_ACCESS;
      k->fixed = true;
      return k;
    }
  }
  if (!hKey) return nullptr;
  return winsim::lookupHandleAs<KeyObject>(reinterpret_cast<HANDLE>(hKey));
}

bool isGone(const KeyObject& key, const Editor& e) { return !key.fixed && !e.keyExists(key.path); }

// The path of a subkey below `key`. A name starting with a backslash is not a
// relative name: ERROR_BAD_PATHNAME, as on Windows.
LONG childPath(const KeyObject& key, LPCSTR subKey, std::string* out) {
  if (subKey && subKey[0] == '\\') return ERROR_BAD_PATHNAME;
  std::string sub = subKey ? winsim::reg::joinPath(winsim::reg::splitPath(subKey)) : std::string();
  if (key.path.empty()) *out = sub;
  else if (sub.empty()) *out = key.path;
  else *out = key.path + "\\" + sub;
  return ERROR_SUCCESS;
}

HKEY newHandle(Hive hive, const std::string& path, REGSAM access, bool fixed) {
  auto k = std::make_shared<KeyObject>();
  k->hive = hive;
  k->path = path;
  k->access = effectiveAccess(access);
  k->fixed = fixed;
  return reinterpret_cast<HKEY>(winsim::allocHandle(std::move(k)));
}

FILETIME hiveWriteTime(Hive hive) {
  FILETIME ft{0, 0};
  struct stat st{};
  if (::stat(winsim::reg::hiveFilePath(hive).c_str(), &st) == 0) {
    const unsigned long long ticks = (static_cast<unsigned long long>(st.st_mtim.tv_sec) + 11644473600ULL) * 10000000ULL +
                                     static_cast<unsigned long long>(st.st_mtim.tv_nsec) / 100ULL;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  }
  return ft;
}

// Copies value data to a caller's buffer the way RegQueryValueExA and
// RegEnumValueA do: NULL data asks only for the size, a short buffer gives
// ERROR_MORE_DATA with the size needed. A string stored without its NUL gets
// one appended when the buffer has room for it, which the size does not count.
LONG copyData(const Value& v, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  if (lpType) *lpType = v.type;
  const DWORD size = static_cast<DWORD>(v.data.size());
  LONG result = ERROR_SUCCESS;
  if (lpData) {
    if (*lpcbData < size) {
      result = ERROR_MORE_DATA;
    } else {
      if (size) std::memcpy(lpData, v.data.data(), size);
      if (winsim::reg::isStringType(v.type) && size && v.data.back() != 0 && size < *lpcbData) lpData[size] = 0;
    }
  }
  if (lpcbData) *lpcbData = size;
  return result;
}

// The size a string value takes where Windows keeps it (UTF-16), which is
// what RegQueryInfoKeyA reports as the largest value; never less than the
// ANSI size, so a buffer of that size always holds the value.
DWORD reportedDataSize(const Value& v) {
  DWORD size = static_cast<DWORD>(v.data.size());
  if (winsim::reg::isStringType(v.type)) {
    size_t units = 0;
    for (BYTE b : v.data) units += (b & 0xC0) != 0x80 ? ((b & 0xF8) == 0xF0 ? 2 : 1) : 0;
    size = std::max<DWORD>(size, static_cast<DWORD>(units * 2));
  }
  return size;
}

LONG openKey(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, PHKEY phkResult) {
  auto key = resolve(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  std::string path;
  if (LONG rc = childPath(*key, lpSubKey, &path); rc != ERROR_SUCCESS) return rc;
  LONG rc = ERROR_SUCCESS;
  winsim::reg::inspect(key->hive, [&](const Editor& e) {
    if (isGone(*key, e)) rc = ERROR_KEY_DELETED;
    else if (path != key->path && !e.keyExists(path)) rc = ERROR_FILE_NOT_FOUND;
  });
  if (rc != ERROR_SUCCESS) return rc;
  *phkResult = newHandle(key->hive, path, samDesired, key->fixed && path == key->path);
  return ERROR_SUCCESS;
}

}  // namespace

// RegOpenKeyExA: ERROR_INVALID_HANDLE, ERROR_FILE_NOT_FOUND, ERROR_KEY_DELETED,
// ERROR_BAD_PATHNAME or ERROR_INVALID_PARAMETER; *phkResult is NULL on failure.
extern "C" LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                     PHKEY phkResult) {
  (void)ulOptions;
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  return openKey(hKey, lpSubKey, samDesired, phkResult);
}

// RegOpenKeyA: as RegOpenKeyExA with full access; an empty or NULL name hands
// back hKey itself.
extern "C" LONG WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  if (!lpSubKey || !*lpSubKey) {
    *phkResult = hKey;
    return ERROR_SUCCESS;
  }
  return RegOpenKeyExA(hKey, lpSubKey, 0, kMaximumAllowed, phkResult);
}

// RegCreateKeyExA: ERROR_INVALID_HANDLE, ERROR_KEY_DELETED, ERROR_BAD_PATHNAME,
// ERROR_INVALID_PARAMETER (a name the store cannot hold). Creates every
// missing key on the way and tells whether the key was new.
extern "C" LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                                       REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                       PHKEY phkResult, LPDWORD lpdwDisposition) {
  (void)Reserved;
  (void)lpClass;
  (void)dwOptions;  // volatile keys are kept like the others
  (void)lpSecurityAttributes;
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  auto key = resolve(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  std::string path;
  if (LONG rc = childPath(*key, lpSubKey, &path); rc != ERROR_SUCCESS) return rc;
  LONG rc = ERROR_SUCCESS;
  bool created = false;
  winsim::reg::transact(key->hive, [&](Editor& e) {
    if (isGone(*key, e)) {
      rc = ERROR_KEY_DELETED;
      return false;
    }
    if (e.keyExists(path)) return true;  // nothing to write, and nothing is written
    if (!e.createKey(path, &created)) {
      rc = ERROR_INVALID_PARAMETER;
      return false;
    }
    return true;
  });
  if (rc != ERROR_SUCCESS) return rc;
  *phkResult = newHandle(key->hive, path, samDesired, key->fixed && path == key->path);
  if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

// RegCreateKeyA: as RegCreateKeyExA with full access (an empty name opens a
// new handle to hKey's own key).
extern "C" LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  return RegCreateKeyExA(hKey, lpSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, kMaximumAllowed, nullptr, phkResult,
                         nullptr);
}

// RegQueryValueExA: ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED, ERROR_KEY_DELETED,
// ERROR_FILE_NOT_FOUND (no such value), ERROR_INVALID_PARAMETER, or
// ERROR_MORE_DATA with the size needed in *lpcbData.
extern "C" LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                        LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  auto key = resolve(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  if (!(key->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::optional<Value> value;
  bool gone = false;
  winsim::reg::inspect(key->hive, [&](const Editor& e) {
    gone = isGone(*key, e);
    if (!gone) value = e.getValue(key->path, lpValueName ? lpValueName : "");
  });
  if (gone) return ERROR_KEY_DELETED;
  if (!value) return ERROR_FILE_NOT_FOUND;
  return copyData(*value, lpType, lpData, lpcbData);
}

// RegSetValueExA: ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED, ERROR_KEY_DELETED,
// ERROR_NOACCESS (no data for a non-zero size), ERROR_INVALID_PARAMETER (a name
// the store cannot hold).
extern "C" LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                                      DWORD cbData) {
  (void)Reserved;
  auto key = resolve(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  if (!(key->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  if (!lpData && cbData) return ERROR_NOACCESS;
  // A string whose size leaves out its NUL is stored with the NUL when one
  // follows in memory: Windows does so for the A function, and callers that
  // pass strlen() rely on it.
  if (cbData && winsim::reg::isStringType(dwType) && lpData[cbData - 1] != 0 && lpData[cbData] == 0) ++cbData;
  Value value;
  value.type = dwType;
  if (cbData) value.data.assign(lpData, lpData + cbData);
  LONG rc = ERROR_SUCCESS;
  const bool ok = winsim::reg::transact(key->hive, [&](Editor& e) {
    if (isGone(*key, e)) {
      rc = ERROR_KEY_DELETED;
      return false;
    }
    if (!e.setValue(key->path, lpValueName ? lpValueName : "", value)) {
      rc = ERROR_INVALID_PARAMETER;
      return false;
    }
    return true;
  });
  if (rc == ERROR_SUCCESS && !ok) rc = ERROR_WRITE_FAULT;
  return rc;
}

// RegEnumKeyExA: ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED, ERROR_KEY_DELETED,
// ERROR_NO_MORE_ITEMS past the last subkey, ERROR_MORE_DATA when the name does
// not fit, ERROR_INVALID_PARAMETER. Subkeys come sorted without regard to case.
extern "C" LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                                     LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
  if (lpReserved || !lpName || !lpcchName || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
  auto key = resolve(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  if (!(key->access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
  std::string name;
  bool gone = false, past = false;
  winsim::reg::inspect(key->hive, [&](const Editor& e) {
    if (key->subKeysGeneration != e.generation()) {
      gone = isGone(*key, e);
      if (gone) return;
      key->subKeyNames = e.subKeys(key->path);
      key->subKeysGeneration = e.generation();
    }
    // The names were read from this very state, which then held the key.
    past = dwIndex >= key->subKeyNames.size();
    if (!past) name = key->subKeyNames[dwIndex];
  });
  if (gone) return ERROR_KEY_DELETED;
  if (past) return ERROR_NO_MORE_ITEMS;
  if (name.size() >= *lpcchName || (lpClass && *lpcchClass < 1)) return ERROR_MORE_DATA;
  std::memcpy(lpName, name.c_str(), name.size() + 1);
  *lpcchName = static_cast<DWORD>(name.size());
  if (lpClass) lpClass[0] = '\0';
  if (lpcchClass) *lpcchClass = 0;
  if (lpftLastWriteTime) *lpftLastWriteTime = hiveWriteTime(key->hive);
  return ERROR_SUCCESS;
}

// RegEnumKeyA: as RegEnumKeyExA.
extern "C" LONG WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
  return RegEnumKeyExA(hKey, dwIndex, lpName, &cchName, nullptr, nullptr, nullptr, nullptr);
}

// RegEnumValueA: ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED, ERROR_KEY_DELETED,
// ERROR_NO_MORE_ITEMS past the last value, ERROR_MORE_DATA when the name or
// the data does not fit, ERROR_INVALID_PARAMETER. Values come in the order
// they were first set.
extern "C" LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                                     LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved || !lpValueName || !lpcchValueName || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  auto key = resolve(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  if (!(key->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::vector<std::pair<std::string, Value>> values;
  bool gone = false;
  winsim::reg::inspect(key->hive, [&](const Editor& e) {
    gone = isGone(*key, e);
    if (!gone) values = e.values(key->path);
  });
  if (gone) return ERROR_KEY_DELETED;
  if (dwIndex >= values.size()) return ERROR_NO_MORE_ITEMS;
  const auto& [name, value] = values[dwIndex];
  if (name.size() >= *lpcchValueName) return ERROR_MORE_DATA;
  std::memcpy(lpValueName, name.c_str(), name.size() + 1);
  *lpcchValueName = static_cast<DWORD>(name.size());
  return copyData(value, lpType, lpData, lpcbData);
}

// RegQueryInfoKeyA: ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED, ERROR_KEY_DELETED,
// ERROR_INVALID_PARAMETER, ERROR_MORE_DATA (no room for the empty class name).
// Name lengths are in characters without the NUL; winsim keys have no class.
extern "C" LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                        LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                        LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                        LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
  if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
  auto key = resolve(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  if (!(key->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::vector<std::string> subKeys;
  std::vector<std::pair<std::string, Value>> values;
  bool gone = false;
  winsim::reg::inspect(key->hive, [&](const Editor& e) {
    gone = isGone(*key, e);
    if (!gone) {
      subKeys = e.subKeys(key->path);
      values = e.values(key->path);
    }
  });
  if (gone) return ERROR_KEY_DELETED;
  if (lpClass && *lpcchClass < 1) return ERROR_MORE_DATA;
  if (lpClass) lpClass[0] = '\0';
  if (lpcchClass) *lpcchClass = 0;
  DWORD maxSubKey = 0, maxName = 0, maxData = 0;
  for (const auto& s : subKeys) maxSubKey = std::max(maxSubKey, static_cast<DWORD>(s.size()));
  for (const auto& [n, v] : values) {
    maxName = std::max(maxName, static_cast<DWORD>(n.size()));
    maxData = std::max(maxData, reportedDataSize(v));
  }
  if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(subKeys.size());
  if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSubKey;
  if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
  if (lpcValues) *lpcValues = static_cast<DWORD>(values.size());
  if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxName;
  if (lpcbMaxValueLen) *lpcbMaxValueLen = maxData;
  if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
  if (lpftLastWriteTime) *lpftLastWriteTime = hiveWriteTime(key->hive);
  return ERROR_SUCCESS;
}

// RegDeleteKeyA: ERROR_INVALID_HANDLE, ERROR_KEY_DELETED, ERROR_FILE_NOT_FOUND,
// ERROR_BAD_PATHNAME, ERROR_INVALID_PARAMETER (NULL name), ERROR_ACCESS_DENIED
// for a key that has subkeys or is a hive's root. An empty name deletes hKey's
// own key.
extern "C" LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  auto key = resolve(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  std::string path;
  if (LONG rc = childPath(*key, lpSubKey, &path); rc != ERROR_SUCCESS) return rc;
  LONG rc = ERROR_SUCCESS;
  winsim::reg::transact(key->hive, [&](Editor& e) {
    if (isGone(*key, e)) rc = ERROR_KEY_DELETED;
    else if (path == key->path && key->fixed) rc = ERROR_ACCESS_DENIED;
    else if (!e.keyExists(path)) rc = ERROR_FILE_NOT_FOUND;
    else if (!e.subKeys(path).empty()) rc = ERROR_ACCESS_DENIED;
    else if (!e.deleteKeyTree(path)) rc = ERROR_FILE_NOT_FOUND;
    return rc == ERROR_SUCCESS;
  });
  return rc;
}

// RegDeleteValueA: ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED, ERROR_KEY_DELETED,
// ERROR_FILE_NOT_FOUND (no such value).
extern "C" LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  auto key = resolve(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  if (!(key->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  LONG rc = ERROR_SUCCESS;
  winsim::reg::transact(key->hive, [&](Editor& e) {
    if (isGone(*key, e)) rc = ERROR_KEY_DELETED;
    else if (!e.deleteValue(key->path, lpValueName ? lpValueName : "")) rc = ERROR_FILE_NOT_FOUND;
    return rc == ERROR_SUCCESS;
  });
  return rc;
}

// RegFlushKey: ERROR_INVALID_HANDLE or ERROR_KEY_DELETED. Every change is on
// disk when its call returns, so there is nothing left to flush.
extern "C" LONG WINAPI RegFlushKey(HKEY hKey) {
  auto key = resolve(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  bool gone = false;
  winsim::reg::inspect(key->hive, [&](const Editor& e) { gone = isGone(*key, e); });
  return gone ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

// RegCloseKey: ERROR_INVALID_HANDLE for a handle that is not an open key.
// Closing a predefined key succeeds and does nothing, as on Windows.
extern "C" LONG WINAPI RegCloseKey(HKEY hKey) {
  for (const auto& p : kPredefined) {
    if (hKey == p.key) return ERROR_SUCCESS;
  }
  if (!hKey || !winsim::lookupHandleAs<KeyObject>(reinterpret_cast<HANDLE>(hKey))) return ERROR_INVALID_HANDLE;
  winsim::releaseHandle(reinterpret_cast<HANDLE>(hKey));
  return ERROR_SUCCESS;
}

static const winsim::ExportRegistrar kExports(
    "advapi32.dll", {WINSIM_EXPORT(RegOpenKeyA), WINSIM_EXPORT(RegOpenKeyExA), WINSIM_EXPORT(RegCreateKeyA),
                     WINSIM_EXPORT(RegCreateKeyExA), WINSIM_EXPORT(RegQueryValueExA), WINSIM_EXPORT(RegSetValueExA),
                     WINSIM_EXPORT(RegEnumKeyExA), WINSIM_EXPORT(RegEnumKeyA), WINSIM_EXPORT(RegEnumValueA),
                     WINSIM_EXPORT(RegQueryInfoKeyA), WINSIM_EXPORT(RegDeleteKeyA), WINSIM_EXPORT(RegDeleteValueA),
                     WINSIM_EXPORT(RegFlushKey), WINSIM_EXPORT(RegCloseKey)});
