// One open registry key with typed value queries.
//
// The key is opened (or created) by the constructor and flushed and closed
// by the destructor. When opening fails the object holds no key and every
// query fails at once, so callers check kIsOpen() or the query's result.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

class CRegOperation {
 public:
  // RegCreateKeyExA when bCreate is set, else RegOpenKeyExA.
  CRegOperation(HKEY hParentKey, LPCSTR pszSubKey, BOOL bCreate, REGSAM samDesired);
  ~CRegOperation();
  CRegOperation(const CRegOperation&) = delete;
  CRegOperation& operator=(const CRegOperation&) = delete;

  BOOL kIsOpen() const { return m_hKey != nullptr; }
  HKEY kGetKey() const { return m_hKey; }

  // RegQueryValueExA into the caller's buffer, with its size and type
  // arguments as RegQueryValueExA takes them.
  [[nodiscard]] BOOL kQueryValue(LPCSTR pszValueName, LPDWORD pcbData, LPDWORD pdwType, LPBYTE pData);
  // A REG_DWORD value; dwValue is 0 on every failure.
  [[nodiscard]] BOOL kQueryValue(LPCSTR pszValueName, DWORD& dwValue);
  // A REG_SZ value; strValue is empty on every failure.
  [[nodiscard]] BOOL kQueryValue(LPCSTR pszValueName, std::string& strValue);
  // Appends the name of every subkey to the list; FALSE when the
  // enumeration stops on an error (the names read until then stay).
  [[nodiscard]] BOOL kRegEnumKey(std::vector<std::string>& lstKeys);

 private:
  HKEY m_hKey = nullptr;
};
