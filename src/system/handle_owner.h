// Small owner types for the platform handles the program holds, one per
// handle kind, so that every exit path closes what it opened.
#pragma once

#include "platform/win32.h"

// A module loaded with LoadLibraryA, freed when the owner goes.
class CModuleOwner {
 public:
  explicit CModuleOwner(HMODULE hModule = nullptr) : m_hModule(hModule) {}
  ~CModuleOwner() { kReset(); }
  CModuleOwner(const CModuleOwner&) = delete;
  CModuleOwner& operator=(const CModuleOwner&) = delete;
  HMODULE kGet() const { return m_hModule; }
  void kReset(HMODULE hModule = nullptr) {
    if (m_hModule) FreeLibrary(m_hModule);
    m_hModule = hModule;
  }

 private:
  HMODULE m_hModule;
};

// A function bound with GetProcAddress, converted through the plain
// function type so that the change of signature is accepted.
template <typename T>
T kProcAs(FARPROC pProc) {
  return reinterpret_cast<T>(reinterpret_cast<void (*)()>(pProc));
}

// A kernel object or file handle, closed with CloseHandle.
class CHandleOwner {
 public:
  explicit CHandleOwner(HANDLE hHandle = INVALID_HANDLE_VALUE) : m_hHandle(hHandle) {}
  ~CHandleOwner() {
    if (kIsValid()) CloseHandle(m_hHandle);
  }
  CHandleOwner(const CHandleOwner&) = delete;
  CHandleOwner& operator=(const CHandleOwner&) = delete;
  HANDLE kGet() const { return m_hHandle; }
  BOOL kIsValid() const { return m_hHandle != INVALID_HANDLE_VALUE && m_hHandle != nullptr; }

 private:
  HANDLE m_hHandle;
};

// A search handle of FindFirstFileA, closed with FindClose.
class CFindOwner {
 public:
  explicit CFindOwner(HANDLE hFind = INVALID_HANDLE_VALUE) : m_hFind(hFind) {}
  ~CFindOwner() {
    if (m_hFind != INVALID_HANDLE_VALUE) FindClose(m_hFind);
  }
  CFindOwner(const CFindOwner&) = delete;
  CFindOwner& operator=(const CFindOwner&) = delete;
  HANDLE kGet() const { return m_hFind; }

 private:
  HANDLE m_hFind;
};

// An open registry key, closed with RegCloseKey.
class CRegKeyOwner {
 public:
  CRegKeyOwner() = default;
  ~CRegKeyOwner() {
    if (m_hKey) RegCloseKey(m_hKey);
  }
  CRegKeyOwner(const CRegKeyOwner&) = delete;
  CRegKeyOwner& operator=(const CRegKeyOwner&) = delete;
  HKEY kGet() const { return m_hKey; }
  PHKEY kOut() { return &m_hKey; }

 private:
  HKEY m_hKey = nullptr;
};

// A handle of the service control manager or of one service, closed with
// CloseServiceHandle.
class CServiceHandleOwner {
 public:
  explicit CServiceHandleOwner(SC_HANDLE hHandle = nullptr) : m_hHandle(hHandle) {}
  ~CServiceHandleOwner() {
    if (m_hHandle) CloseServiceHandle(m_hHandle);
  }
  CServiceHandleOwner(const CServiceHandleOwner&) = delete;
  CServiceHandleOwner& operator=(const CServiceHandleOwner&) = delete;
  SC_HANDLE kGet() const { return m_hHandle; }

 private:
  SC_HANDLE m_hHandle;
};
