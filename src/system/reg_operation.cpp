// One open registry key with typed value queries.
#include "system/reg_operation.h"

#include <algorithm>
#include <cstdint>

#include "system/program_log.h"

namespace {

const char* orEmpty(LPCSTR psz) { return psz ? psz : ""; }

BOOL logFailure(const char* pszFunction, int nExit, DWORD dwError, const char* pszReason, LPCSTR pszValueName) {
  CDetailLog& log = kProgramLog();
  log.kWriteLog("CRegOperation::%s() return FALSE (%d) LastError=%u %s\n", pszFunction, nExit, dwError, pszReason);
  if (pszValueName) log.kWriteLog("  pszValueName=[%s]\n", pszValueName);
  return FALSE;
}

// The size and type of a value, asked before its data is read.
LONG querySize(HKEY hKey, LPCSTR pszValueName, DWORD* pdwType, DWORD* pcbData) {
  *pdwType = REG_NONE;
  *pcbData = 0;
  return RegQueryValueExA(hKey, pszValueName, nullptr, pdwType, nullptr, pcbData);
}

}  // namespace

CRegOperation::CRegOperation(HKEY hParentKey, LPCSTR pszSubKey, BOOL bCreate, REGSAM samDesired) {
  LONG lResult;
  if (bCreate) {
    DWORD dwDisposition = 0;
    lResult = RegCreateKeyExA(hParentKey, pszSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, samDesired, nullptr,
                              &m_hKey, &dwDisposition);
  } else {
    lResult = RegOpenKeyExA(hParentKey, pszSubKey, 0, samDesired, &m_hKey);
  }
  if (lResult != ERROR_SUCCESS) {
    m_hKey = nullptr;
    CDetailLog& log = kProgramLog();
    log.kWriteLog("CRegOperation::CRegOperation() return FALSE (%d) LastError=%u %s fail.\n", bCreate ? 1 : 2,
                  static_cast<DWORD>(lResult), bCreate ? "RegCreateKeyEx" : "RegOpenKeyEx");
    log.kWriteLog("  hParentKey=[%X]\n", static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(hParentKey)));
    log.kWriteLog("  pszSubKey=[%s]\n", orEmpty(pszSubKey));
  }
}

CRegOperation::~CRegOperation() {
  if (m_hKey) {
    RegFlushKey(m_hKey);
    RegCloseKey(m_hKey);
  }
}

BOOL CRegOperation::kQueryValue(LPCSTR pszValueName, LPDWORD pcbData, LPDWORD pdwType, LPBYTE pData) {
  if (!m_hKey) return logFailure("kQueryValue", 1, 0, "m_hKey is NULL.", pszValueName);
  const LONG lResult = RegQueryValueExA(m_hKey, pszValueName, nullptr, pdwType, pData, pcbData);
  if (lResult != ERROR_SUCCESS) {
    return logFailure("kQueryValue", 2, static_cast<DWORD>(lResult), "RegQueryValueEx fail.", pszValueName);
  }
  kProgramLog().kWriteLog("CRegOperation::kQueryValue() return TRUE (3) \n");
  return TRUE;
}

BOOL CRegOperation::kQueryValue(LPCSTR pszValueName, DWORD& dwValue) {
  dwValue = 0;
  if (!m_hKey) return logFailure("kQueryValue", 1, 0, "m_hKey is NULL.", pszValueName);
  DWORD dwType = REG_NONE;
  DWORD cbData = 0;
  LONG lResult = querySize(m_hKey, pszValueName, &dwType, &cbData);
  if (lResult != ERROR_SUCCESS) {
    return logFailure("kQueryValue", 2, static_cast<DWORD>(lResult), "RegQueryValueEx (size) fail.", pszValueName);
  }
  if (dwType != REG_DWORD || cbData != sizeof(DWORD)) {
    return logFailure("kQueryValue", 3, 0, "not REG_DWORD.", pszValueName);
  }
  DWORD dwData = 0;
  lResult = RegQueryValueExA(m_hKey, pszValueName, nullptr, &dwType, reinterpret_cast<LPBYTE>(&dwData), &cbData);
  if (lResult != ERROR_SUCCESS) {
    return logFailure("kQueryValue", 4, static_cast<DWORD>(lResult), "RegQueryValueEx (data) fail.", pszValueName);
  }
  if (dwType != REG_DWORD || cbData != sizeof(DWORD)) {
    return logFailure("kQueryValue", 3, 0, "not REG_DWORD.", pszValueName);
  }
  dwValue = dwData;
  kProgramLog().kWriteLog("CRegOperation::kQueryValue() return TRUE (5) \n");
  return TRUE;
}

BOOL CRegOperation::kQueryValue(LPCSTR pszValueName, std::string& strValue) {
  strValue.clear();
  if (!m_hKey) return logFailure("kQueryValue", 1, 0, "m_hKey is NULL.", pszValueName);
  DWORD dwType = REG_NONE;
  DWORD cbData = 0;
  LONG lResult = querySize(m_hKey, pszValueName, &dwType, &cbData);
  if (lResult != ERROR_SUCCESS) {
    return logFailure("kQueryValue", 2, static_cast<DWORD>(lResult), "RegQueryValueEx (size) fail.", pszValueName);
  }
  if (dwType != REG_SZ) return logFailure("kQueryValue", 3, 0, "not REG_SZ.", pszValueName);
  // One byte more than the value holds: a string stored without its NUL
  // still ends inside the buffer.
  std::string strData(static_cast<size_t>(cbData) + 1, '\0');
  lResult = RegQueryValueExA(m_hKey, pszValueName, nullptr, &dwType, reinterpret_cast<LPBYTE>(strData.data()),
                             &cbData);
  if (lResult != ERROR_SUCCESS) {
    return logFailure("kQueryValue", 4, static_cast<DWORD>(lResult), "RegQueryValueEx (data) fail.", pszValueName);
  }
  if (dwType != REG_SZ) return logFailure("kQueryValue", 3, 0, "not REG_SZ.", pszValueName);
  strData.resize(std::min<size_t>(cbData, strData.size()));
  strValue.assign(strData.c_str());
  kProgramLog().kWriteLog("CRegOperation::kQueryValue() return TRUE (5) \n");
  return TRUE;
}

BOOL CRegOperation::kRegEnumKey(std::vector<std::string>& lstKeys) {
  if (!m_hKey) return logFailure("kRegEnumKey", 1, 0, "m_hKey is NULL.", nullptr);
  for (DWORD dwIndex = 0;; ++dwIndex) {
    char szName[256];
    DWORD cchName = sizeof(szName);
    const LONG lResult = RegEnumKeyExA(m_hKey, dwIndex, szName, &cchName, nullptr, nullptr, nullptr, nullptr);
    if (lResult == ERROR_NO_MORE_ITEMS) break;
    if (lResult != ERROR_SUCCESS) {
      return logFailure("kRegEnumKey", 2, static_cast<DWORD>(lResult), "RegEnumKeyEx fail.", nullptr);
    }
    lstKeys.emplace_back(szName, std::min<size_t>(cchName, sizeof(szName) - 1));
  }
  kProgramLog().kWriteLog("CRegOperation::kRegEnumKey() return TRUE (3) count=[%u]\n",
                          static_cast<unsigned>(lstKeys.size()));
  return TRUE;
}
