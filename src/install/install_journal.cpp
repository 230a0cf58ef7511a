// The installation's journal in the registry, and its undo.
#include "install/install_journal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "system/common_function.h"
#include "system/environment.h"
#include "system/program_log.h"
#include "system/text_utility.h"

namespace {

constexpr char kSeparator = '\t';

std::string entryName(DWORD dwId) {
  char sz[16];
  std::snprintf(sz, sizeof sz, "E%08u", static_cast<unsigned>(dwId));
  return sz;
}

std::string joinEntry(const std::string& strKind, const std::vector<std::string>& lstField) {
  std::string s = strKind;
  for (const std::string& f : lstField) s += kSeparator + f;
  return s;
}

// A key handle closed on every path.
class CKey {
 public:
  explicit CKey(bool bCreate) {
    const LONG l = bCreate ? RegCreateKeyExA(HKEY_LOCAL_MACHINE, CInstallJournal::kJournalKey, 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &m_hKey, nullptr)
                           : RegOpenKeyExA(HKEY_LOCAL_MACHINE, CInstallJournal::kJournalKey, 0, KEY_ALL_ACCESS, &m_hKey);
    if (l != ERROR_SUCCESS) m_hKey = nullptr;
  }
  ~CKey() {
    if (m_hKey) RegCloseKey(m_hKey);
  }
  CKey(const CKey&) = delete;
  CKey& operator=(const CKey&) = delete;
  HKEY kGet() const { return m_hKey; }

 private:
  HKEY m_hKey = nullptr;
};

BOOL writeEntry(DWORD dwId, const std::string& strText) {
  CKey key(true);
  if (!key.kGet()) return FALSE;
  const std::string strName = entryName(dwId);
  return RegSetValueExA(key.kGet(), strName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(strText.c_str()),
                        static_cast<DWORD>(strText.size() + 1)) == ERROR_SUCCESS;
}

void dropEntry(DWORD dwId) {
  CKey key(false);
  if (key.kGet()) RegDeleteValueA(key.kGet(), entryName(dwId).c_str());
}

bool fileExists(const std::string& strPath) { return GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The sources of the replacements waiting for the restart, without the
// "\??\" prefix.
std::vector<std::string> pendingSources() {
  std::vector<std::string> out;
  HKEY hKey = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &hKey) !=
      ERROR_SUCCESS) {
    return out;
  }
  DWORD cb = 0;
  DWORD dwType = 0;
  if (RegQueryValueExA(hKey, "PendingFileRenameOperations", nullptr, &dwType, nullptr, &cb) == ERROR_SUCCESS && cb > 0) {
    std::string data(cb, '\0');
    if (RegQueryValueExA(hKey, "PendingFileRenameOperations", nullptr, &dwType, reinterpret_cast<BYTE*>(data.data()),
                         &cb) == ERROR_SUCCESS) {
      data.resize(std::min<size_t>(cb, data.size()));
      // Pairs of source and target, each null-terminated.
      size_t at = 0;
      bool bSource = true;
      while (at < data.size()) {
        const size_t end = data.find('\0', at);
        const std::string s = data.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (end == std::string::npos) break;
        at = end + 1;
        if (s.empty() && bSource) break;
        if (bSource) out.push_back(s.rfind("\\??\\", 0) == 0 ? s.substr(4) : s);
        bSource = !bSource;
      }
    }
  }
  RegCloseKey(hKey);
  return out;
}

bool isPendingSource(const std::string& strPath) {
  std::string strShort;
  if (!CCommonFunction::kGetShortPathName(strPath.c_str(), strShort)) strShort = strPath;
  for (const std::string& s : pendingSources()) {
    if (kIEquals(s, strPath) || kIEquals(s, strShort)) return true;
  }
  return false;
}

std::vector<std::string> split(const std::string& strText) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    const size_t n = strText.find(kSeparator, start);
    out.push_back(strText.substr(start, n == std::string::npos ? std::string::npos : n - start));
    if (n == std::string::npos) break;
    start = n + 1;
  }
  return out;
}

std::string field(const CInstallJournal::CEntry& e, size_t i) { return i < e.lstField.size() ? e.lstField[i] : ""; }

// Undoes one entry; TRUE when nothing of it is left to undo. The line
// says what was done.
BOOL undoEntry(const CInstallJournal::CEntry& e, std::string& strLine) {
  const CDetailLog& log = kProgramLog();
  if (e.strKind == "services") {
    BOOL bAll = TRUE;
    std::string strStarted, strFailed;
    for (const std::string& strName : e.lstField) {
      if (strName.empty()) continue;
      if (CInstallJournal::kStartServiceIfStopped(strName)) {
        strStarted += (strStarted.empty() ? "" : ", ") + strName;
      } else {
        bAll = FALSE;
        strFailed += (strFailed.empty() ? "" : ", ") + strName;
      }
    }
    strLine = bAll ? "Services running again: " + strStarted : "Services that could not be started again: " + strFailed;
    return bAll;
  }
  if (e.strKind == "temporary") {
    const std::string strPath = field(e, 0);
    if (!fileExists(strPath)) {
      strLine = "Temporary file already gone: " + strPath;
      return TRUE;
    }
    if (isPendingSource(strPath)) {
      strLine = "Temporary file kept for the replacement at the next restart: " + strPath;
      return TRUE;
    }
    (void)CCommonFunction::kResetReadOnly(strPath);
    if (!DeleteFileA(strPath.c_str())) {
      log.kWriteLog("CInstallJournal undo DeleteFile fail. LastError=%u [%s]\n", GetLastError(), strPath.c_str());
      strLine = "Temporary file that could not be removed: " + strPath;
      return FALSE;
    }
    strLine = "Temporary file removed: " + strPath;
    return TRUE;
  }
  if (e.strKind == "backup") {
    const std::string strTarget = field(e, 0);
    const std::string strBackup = field(e, 1);
    // A backup still being written was never taken: the target is whole.
    if (!field(e, 2).empty() && fileExists(field(e, 2))) DeleteFileA(field(e, 2).c_str());
    if (!fileExists(strBackup)) {
      strLine = "File already restored: " + strTarget;
      return TRUE;
    }
    (void)CCommonFunction::kResetReadOnly(strTarget);
    if (!MoveFileExA(strBackup.c_str(), strTarget.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      log.kWriteLog("CInstallJournal undo MoveFileEx fail. LastError=%u [%s] <- [%s]\n", GetLastError(),
                    strTarget.c_str(), strBackup.c_str());
      strLine = "File that could not be restored: " + strTarget;
      return FALSE;
    }
    strLine = "File restored: " + strTarget;
    return TRUE;
  }
  if (e.strKind == "newfile") {
    const std::string strTarget = field(e, 0);
    if (fileExists(strTarget)) {
      (void)CCommonFunction::kResetReadOnly(strTarget);
      if (!DeleteFileA(strTarget.c_str())) {
        strLine = "File that could not be removed: " + strTarget;
        return FALSE;
      }
    }
    strLine = "File removed: " + strTarget;
    return TRUE;
  }
  if (e.strKind == "pending") {
    strLine = "Not undone, replaced at the next restart: " + field(e, 0);
    return TRUE;
  }
  if (e.strKind == "driver") {
    std::string strName = field(e, 0), strEnv = field(e, 1);
    if (!DeletePrinterDriverA(nullptr, strEnv.data(), strName.data())) {
      const DWORD dwError = GetLastError();
      if (dwError != ERROR_UNKNOWN_PRINTER_DRIVER) {
        log.kWriteLog("CInstallJournal undo DeletePrinterDriver fail. LastError=%u [%s]\n", dwError, strName.c_str());
        strLine = "Driver that could not be removed: " + strName;
        return FALSE;
      }
    }
    strLine = "Driver registration removed: " + strName;
    return TRUE;
  }
  if (e.strKind == "monitor") {
    std::string strName = field(e, 0), strEnv = field(e, 1);
    if (!DeleteMonitorA(nullptr, strEnv.empty() ? nullptr : strEnv.data(), strName.data())) {
      const DWORD dwError = GetLastError();
      if (dwError != ERROR_UNKNOWN_PRINT_MONITOR) {
        log.kWriteLog("CInstallJournal undo DeleteMonitor fail. LastError=%u [%s]\n", dwError, strName.c_str());
        strLine = "Language monitor that could not be removed: " + strName;
        return FALSE;
      }
    }
    strLine = "Language monitor registration removed: " + strName;
    return TRUE;
  }
  if (e.strKind == "processor") {
    strLine = "Not undone, print processor stays registered: " + field(e, 0);
    return TRUE;
  }
  strLine = "Unknown journal entry dropped: " + e.strKind;
  return TRUE;
}

}  // namespace

DWORD CInstallJournal::kAdd(const std::string& strKind, const std::vector<std::string>& lstField) {
  DWORD dwId = 1;
  for (const CEntry& e : kRead()) dwId = std::max(dwId, e.dwId + 1);
  if (!writeEntry(dwId, joinEntry(strKind, lstField))) {
    kProgramLog().kWriteLog("CInstallJournal::kAdd() return 0 LastError=%u [%s]\n", GetLastError(), strKind.c_str());
    return 0;
  }
  return dwId;
}

BOOL CInstallJournal::kUpdate(DWORD dwId, const std::string& strKind, const std::vector<std::string>& lstField) {
  return dwId != 0 && writeEntry(dwId, joinEntry(strKind, lstField));
}

void CInstallJournal::kDrop(DWORD dwId) {
  if (dwId != 0) dropEntry(dwId);
}

std::vector<CInstallJournal::CEntry> CInstallJournal::kRead() {
  std::vector<CEntry> out;
  CKey key(false);
  if (!key.kGet()) return out;
  for (DWORD i = 0;; ++i) {
    char szName[64] = {};
    DWORD cchName = sizeof szName;
    DWORD dwType = 0;
    DWORD cb = 0;
    const LONG l = RegEnumValueA(key.kGet(), i, szName, &cchName, nullptr, &dwType, nullptr, &cb);
    if (l == ERROR_NO_MORE_ITEMS) break;
    if (l != ERROR_SUCCESS && l != ERROR_MORE_DATA) break;
    if (szName[0] != 'E' || dwType != REG_SZ) continue;
    std::string data(cb + 1, '\0');
    DWORD cbData = cb + 1;
    if (RegQueryValueExA(key.kGet(), szName, nullptr, &dwType, reinterpret_cast<BYTE*>(data.data()), &cbData) !=
        ERROR_SUCCESS) {
      continue;
    }
    data.resize(std::strlen(data.c_str()));
    std::vector<std::string> parts = split(data);
    CEntry e;
    e.dwId = static_cast<DWORD>(std::strtoul(szName + 1, nullptr, 10));
    e.strKind = parts.front();
    e.lstField.assign(parts.begin() + 1, parts.end());
    out.push_back(std::move(e));
  }
  std::sort(out.begin(), out.end(), [](const CEntry& a, const CEntry& b) { return a.dwId < b.dwId; });
  return out;
}

void CInstallJournal::kCommit() {
  for (const CEntry& e : kRead()) {
    if (e.strKind == "backup" && !field(e, 2).empty() && fileExists(field(e, 2))) DeleteFileA(field(e, 2).c_str());
    if (e.strKind == "backup" && fileExists(field(e, 1))) {
      (void)CCommonFunction::kResetReadOnly(field(e, 1));
      if (!DeleteFileA(field(e, 1).c_str())) {
        kProgramLog().kWriteLog("CInstallJournal::kCommit() backup not deleted. LastError=%u [%s]\n", GetLastError(),
                                field(e, 1).c_str());
      }
    }
    dropEntry(e.dwId);
  }
  kProgramLog().kWriteLog("CInstallJournal::kCommit() the installation is committed.\n");
}

std::vector<std::string> CInstallJournal::kUndo() {
  std::vector<std::string> lstLines;
  std::vector<CEntry> lst = kRead();
  for (auto it = lst.rbegin(); it != lst.rend(); ++it) {
    std::string strLine;
    const BOOL bDone = undoEntry(*it, strLine);
    kProgramLog().kWriteLog("CInstallJournal::kUndo() %s [%s]\n", bDone ? "undone" : "NOT undone", strLine.c_str());
    lstLines.push_back(strLine);
    if (bDone) dropEntry(it->dwId);
  }
  return lstLines;
}

std::vector<std::string> CInstallJournal::kRunningSpoolerServices() {
  std::vector<std::string> out{"Spooler"};
  SC_HANDLE hManager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE);
  if (!hManager) return out;
  SC_HANDLE hSpooler = OpenServiceA(hManager, "Spooler", SERVICE_ENUMERATE_DEPENDENTS);
  if (hSpooler) {
    DWORD cbNeeded = 0, dwCount = 0;
    EnumDependentServicesA(hSpooler, SERVICE_ACTIVE, nullptr, 0, &cbNeeded, &dwCount);
    if (cbNeeded > 0) {
      std::vector<BYTE> buffer(cbNeeded);
      if (EnumDependentServicesA(hSpooler, SERVICE_ACTIVE, reinterpret_cast<LPENUM_SERVICE_STATUSA>(buffer.data()),
                                 cbNeeded, &cbNeeded, &dwCount)) {
        const auto* p = reinterpret_cast<const ENUM_SERVICE_STATUSA*>(buffer.data());
        // The stop starts them again in the reverse order of their stopping.
        for (DWORD i = dwCount; i > 0; --i) out.push_back(p[i - 1].lpServiceName);
      }
    }
    CloseServiceHandle(hSpooler);
  }
  CloseServiceHandle(hManager);
  return out;
}

BOOL CInstallJournal::kStartServiceIfStopped(const std::string& strName) {
  SC_HANDLE hManager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!hManager) return FALSE;
  BOOL bRunning = FALSE;
  SC_HANDLE hService = OpenServiceA(hManager, strName.c_str(), SERVICE_START | SERVICE_QUERY_STATUS);
  if (hService) {
    SERVICE_STATUS status{};
    BOOL bStarted = FALSE;
    // A service that is stopping or starting is given its wait hints.
    for (int nTry = 0; nTry < 60 && !bRunning; ++nTry) {
      if (!QueryServiceStatus(hService, &status)) break;
      if (status.dwCurrentState == SERVICE_RUNNING) {
        bRunning = TRUE;
        break;
      }
      if (status.dwCurrentState == SERVICE_STOPPED) {
        if (bStarted) break;
        if (!StartServiceA(hService, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
          kProgramLog().kWriteLog("CInstallJournal StartService fail. LastError=%u [%s]\n", GetLastError(),
                                  strName.c_str());
          break;
        }
        bStarted = TRUE;
        continue;
      }
      Sleep(500);
    }
    CloseServiceHandle(hService);
  }
  CloseServiceHandle(hManager);
  return bRunning;
}
