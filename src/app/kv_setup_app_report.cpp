// The installation report (INNELI.LOG): the wizard's summary first, then
// the external installer's own log.
#include <memory>
#include <mutex>
#include <vector>

#include "app/kv_setup_app.h"
#include "resources/message_ids.h"
#include "system/program_log.h"

namespace {

// The driver type text of the installed-printer block.
std::string driverTypeText(DWORD dwVersion, const std::string& strPlatform) {
  switch (dwVersion) {
    case 0:
      return "Type 0 - 95 Driver (x86)";
    case 2:
      return "Type 2 - Kernel-Mode (x86)";
    case 3:
      return lstrcmpiA(strPlatform.c_str(), "NTamd64") == 0 ? "Type 3 - User-Mode (x64)"
                                                              : "Type 3 - User-Mode (x86)";
    default:
      return std::string();
  }
}

// Appends the whole of one file to another in pieces, so that a large log
// costs no more memory than one piece. FALSE when either file fails.
BOOL appendFile(HANDLE hTarget, const std::string& strSource, DWORD& dwError) {
  HANDLE hSource = CreateFileA(strSource.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hSource == INVALID_HANDLE_VALUE) {
    dwError = GetLastError();
    return FALSE;
  }
  // Not cleared first: only what ReadFile filled is ever written.
  constexpr DWORD kPiece = 1 << 16;
  const std::unique_ptr<char[]> buffer(new char[kPiece]);
  BOOL bOk = TRUE;
  for (;;) {
    DWORD dwRead = 0;
    if (!ReadFile(hSource, buffer.get(), kPiece, &dwRead, nullptr)) {
      dwError = GetLastError();
      bOk = FALSE;
      break;
    }
    if (dwRead == 0) break;
    DWORD dwWritten = 0;
    if (!WriteFile(hTarget, buffer.get(), dwRead, &dwWritten, nullptr) || dwWritten != dwRead) {
      dwError = GetLastError();
      bOk = FALSE;
      break;
    }
  }
  CloseHandle(hSource);
  return bOk;
}

BOOL writeAll(HANDLE hFile, const std::string& strText) {
  DWORD dwWritten = 0;
  return WriteFile(hFile, strText.data(), static_cast<DWORD>(strText.size()), &dwWritten, nullptr) &&
         dwWritten == strText.size();
}

}  // namespace

BOOL CKV_SETUPApp::kWriteLogFile(const std::string& strPath, const std::string& strText) {
  if (strPath.empty()) {
    kProgramLog().kWriteLog("CKV_SETUPApp::kWriteLogFile() return FALSE (1) strPath is empty.\n");
    return FALSE;
  }
  HANDLE hFile = CreateFileA(strPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  BOOL bOk = hFile != INVALID_HANDLE_VALUE;
  if (bOk) {
    bOk = SetFilePointer(hFile, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER && writeAll(hFile, strText) &&
          SetFilePointer(hFile, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER && writeAll(hFile, "\r\n") &&
          FlushFileBuffers(hFile);
  }
  if (!bOk) {
    kProgramLog().kWriteLog("CKV_SETUPApp::kWriteLogFile() return FALSE (2) LastError=%u exception occurred.\n",
                            GetLastError());
  }
  if (hFile != INVALID_HANDLE_VALUE) CloseHandle(hFile);
  return bOk;
}

std::string CKV_SETUPApp::kGetFixedFileVersion(const std::string& strPath) {
  CDetailLog& log = kProgramLog();
  // The running program's own file cannot change while it runs (Windows
  // holds a loaded image against writing), so its version is read once.
  static std::mutex s_mutex;
  static std::string s_strOwnVersion;
  if (strPath.empty()) {
    std::string strKnown;
    {
      std::lock_guard<std::mutex> guard(s_mutex);
      strKnown = s_strOwnVersion;
    }
    if (!strKnown.empty()) {
      log.kWriteLog("CKV_SETUPApp::kGetFixedFileVersion() return [%s] (4)\n", strKnown.c_str());
      return strKnown;
    }
  }
  std::string strFile = strPath;
  if (strFile.empty()) {
    char szModule[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, szModule, MAX_PATH);
    strFile = szModule;
  }
  std::string strShort;
  if (!CCommonFunction::kGetShortPathName(strFile.c_str(), strShort)) {
    log.kWriteLog("CKV_SETUPApp::kGetFixedFileVersion() return [] (1) LastError=%u\n", GetLastError());
    return std::string();
  }
  DWORD dwHandle = 0;
  const DWORD dwSize = GetFileVersionInfoSizeA(strShort.c_str(), &dwHandle);
  std::vector<BYTE> data(dwSize ? dwSize : 1);
  if (dwSize == 0 || !GetFileVersionInfoA(strShort.c_str(), dwHandle, dwSize, data.data())) {
    log.kWriteLog("CKV_SETUPApp::kGetFixedFileVersion() return [] (2) LastError=%u no version resource.\n",
                  GetLastError());
    return std::string();
  }
  LPVOID pTranslation = nullptr;
  UINT uLength = 0;
  if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &pTranslation, &uLength) || uLength == 0) {
    log.kWriteLog("CKV_SETUPApp::kGetFixedFileVersion() return [] (3) LastError=%u\n", GetLastError());
    return std::string();
  }
  LPVOID pFixed = nullptr;
  if (!VerQueryValueA(data.data(), "\\", &pFixed, &uLength) || uLength < sizeof(VS_FIXEDFILEINFO)) {
    log.kWriteLog("CKV_SETUPApp::kGetFixedFileVersion() return [] (3) LastError=%u\n", GetLastError());
    return std::string();
  }
  const auto* pInfo = static_cast<const VS_FIXEDFILEINFO*>(pFixed);
  const std::string strVersion =
      kFormatText("%d, %d, %d, %d", static_cast<int>(HIWORD(pInfo->dwFileVersionMS)),
                  static_cast<int>(LOWORD(pInfo->dwFileVersionMS)), static_cast<int>(HIWORD(pInfo->dwFileVersionLS)),
                  static_cast<int>(LOWORD(pInfo->dwFileVersionLS)));
  log.kWriteLog("CKV_SETUPApp::kGetFixedFileVersion() return [%s] (4)\n", strVersion.c_str());
  if (strPath.empty()) {
    std::lock_guard<std::mutex> guard(s_mutex);
    s_strOwnVersion = strVersion;
  }
  return strVersion;
}

std::string CKV_SETUPApp::kGetCurrentOSName() {
  CDetailLog& log = kProgramLog();
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExA(&info)) {
    log.kWriteLog("CKV_SETUPApp::kGetCurrentOSName() return [] (1) LastError=%u\n", GetLastError());
    return std::string();
  }
  std::string strName;
  if (info.dwPlatformId != VER_PLATFORM_WIN32_NT || info.dwMajorVersion == 4) {
    strName = kFormatText("%d.%d.%d", static_cast<int>(info.dwMajorVersion), static_cast<int>(info.dwMinorVersion),
                          static_cast<int>(info.dwPlatformId));
    strName += " ";
    strName += info.szCSDVersion;
  } else {
    OSVERSIONINFOEXA infoEx = {};
    infoEx.dwOSVersionInfoSize = sizeof(infoEx);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&infoEx))) {
      log.kWriteLog("CKV_SETUPApp::kGetCurrentOSName() return [] (2) LastError=%u\n", GetLastError());
      return std::string();
    }
    strName = kFormatText("%d.%d.%d.%d", static_cast<int>(infoEx.dwMajorVersion),
                          static_cast<int>(infoEx.dwMinorVersion), static_cast<int>(infoEx.dwPlatformId),
                          static_cast<int>(infoEx.wProductType));
    if (CEnvironment::kIsAMD64()) strName += std::string(" ") + "(x64)";
    strName += " ";
    strName += infoEx.szCSDVersion;
  }
  log.kWriteLog("CKV_SETUPApp::kGetCurrentOSName() return [%s] (3)\n", strName.c_str());
  return strName;
}

void CKV_SETUPApp::kWriteKVISETUPLogInfo() {
  CDetailLog& log = kProgramLog();
  CRscCommon& rsc = *m_pRscCommon;
  // The new report is written beside the old one and takes its place only
  // when it is complete: a failure on the way (a full disk, a crash) leaves
  // the installer's log where it was.
  char szTemp[MAX_PATH + 1] = {};
  const DWORD dwTemp = GetTempPathA(MAX_PATH, szTemp);
  char szNewReport[MAX_PATH + 1] = {};
  if (m_strLogFile.empty() || dwTemp == 0 || dwTemp > MAX_PATH ||
      GetTempFileNameA(szTemp, "KVIS", 0, szNewReport) == 0) {
    log.kWriteLog("CKV_SETUPApp::kWriteKVISETUPLogInfo() (1) LastError=%u GetTempFileName fail; the report is "
                  "kept as it is.\n",
                  GetLastError());
    log.kWriteLog("  m_strLogFile=[%s]\n", m_strLogFile.c_str());
    return;
  }
  const std::string strNew = szNewReport;

  // Lines 1 to 11: the summary.
  std::vector<std::string> lstLines;
  lstLines.push_back(rsc.kGetMessageText(msgid::IDS_LOGTITLE));
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  lstLines.push_back(rsc.kGetMessageText(msgid::IDS_LOG_KEY_DATE) + " : " + "\t\t" +
                     kFormatText("%04d/%02d/%02d %02d:%02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour,
                                 now.wMinute, now.wSecond));
  lstLines.push_back(rsc.kGetMessageText(msgid::IDS_LOG_KEY_VER) + " : " + "\t" + kGetFixedFileVersion(""));
  char szName[256] = {};
  DWORD dwName = sizeof(szName);
  if (!GetComputerNameA(szName, &dwName)) szName[0] = '\0';
  lstLines.push_back(rsc.kGetMessageText(msgid::IDS_LOG_KEY_HOST) + " : " + "\t\t" + szName);
  char szUser[257] = {};
  DWORD dwUser = sizeof(szUser);
  if (!GetUserNameA(szUser, &dwUser)) szUser[0] = '\0';
  lstLines.push_back(rsc.kGetMessageText(msgid::IDS_LOG_KEY_USER) + " : " + "\t\t" + szUser);
  lstLines.push_back(rsc.kGetMessageText(msgid::IDS_LOG_KEY_OS) + " : " + "\t\t" + kGetCurrentOSName());
  const char* pszKind = m_nSetupKind == SETUPKIND_UPDATE   ? msgid::IDS_UPDATESELECTED
                        : m_nSetupKind == SETUPKIND_DELETE ? msgid::IDS_DELETESELECTED
                                                           : msgid::IDS_ADDSELECTED;
  lstLines.push_back(rsc.kGetMessageText(msgid::IDS_LOG_KEY_SETUPKIND) + " : " + "\t\t" + rsc.kGetMessageText(pszKind));

  const std::string strStatusLabel = rsc.kGetMessageText(msgid::IDS_LOG_KEY_STATUS) + " : ";
  std::vector<std::string> lstWords;
  if (!m_bInstallError && !m_bBreakOff && !m_bWarning) lstWords.push_back(msgid::IDS_INSTSTAT_SUCCESS);
  if (m_bInstallError) lstWords.push_back(msgid::IDS_INSTSTAT_FAILED);
  if (m_bBreakOff) lstWords.push_back(msgid::IDS_INSTSTAT_BREAKOFF);
  if (m_bWarning) lstWords.push_back(msgid::IDS_INSTSTAT_WARNING);
  if (m_bOSReboot) lstWords.push_back(msgid::IDS_INSTSTAT_NEEDREBOOT);
  std::string strStatus = strStatusLabel + "\t\t";
  for (size_t i = 0; i < lstWords.size(); ++i) {
    if (i > 0) strStatus += "\r\n" + std::string(strStatusLabel.size(), ' ') + "\t\t\t";
    strStatus += rsc.kGetMessageText(lstWords[i]);
  }
  lstLines.push_back(strStatus);
  // What the undo of a failed installation did and could not do.
  for (const std::string& strLine : m_lstInstallUndone) lstLines.push_back(strLine);

  if (m_bUSBInstall && m_bUSBConnected) {
    char szDriver[MAX_PATH] = {};
    char szPrinter[MAX_PATH] = {};
    char szPort[MAX_PATH] = {};
    if (kGetAddedPrinter(szDriver, MAX_PATH, szPrinter, MAX_PATH, szPort, MAX_PATH)) {
      lstLines.push_back("\r\n" + rsc.kGetMessageText(msgid::IDS_INSTALLED));
      lstLines.push_back(kFormatText("%s\t%s [%s]", rsc.kGetMessageText(msgid::IDS_DRIVERNAME).c_str(), szDriver,
                                     driverTypeText(m_CDE.dwInfOSVersion, m_CDE.strPlatform).c_str()));
      lstLines.push_back(kFormatText("%s\t%s", rsc.kGetMessageText(msgid::IDS_PRINTERNAME).c_str(), szPrinter));
      lstLines.push_back(kFormatText("%s\t%s", rsc.kGetMessageText(msgid::IDS_PORTNAME).c_str(), szPort));
    }
  }
  if (m_bDriversNameWriteErr) lstLines.push_back(rsc.kGetMessageText(msgid::IDS_DRIVERSNAMEWRITEERR));
  if (m_bOverDriversNameKey) lstLines.push_back(rsc.kGetMessageText(msgid::IDS_OVERDRIVERSNAMEKEY));
  lstLines.push_back("\r\n");

  // Everything goes into the new file through one handle: the summary,
  // then the installer's log piece by piece, then the closing line end.
  BOOL bComplete = TRUE;
  DWORD dwError = 0;
  HANDLE hNew = CreateFileA(strNew.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hNew == INVALID_HANDLE_VALUE) {
    dwError = GetLastError();
    bComplete = FALSE;
  } else {
    for (const std::string& strLine : lstLines) {
      if (!writeAll(hNew, strLine + "\r\n")) {
        dwError = GetLastError();
        bComplete = FALSE;
        break;
      }
    }
    if (bComplete && GetFileAttributesA(m_strLogFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
      if (!appendFile(hNew, m_strLogFile, dwError)) {
        log.kWriteLog("CKV_SETUPApp::kWriteKVISETUPLogInfo() (1) LastError=%u CopyFile fail.\n", dwError);
        log.kWriteLog("  m_strLogFile=[%s]\n", m_strLogFile.c_str());
        log.kWriteLog("  szTempFileName=[%s]\n", strNew.c_str());
        bComplete = FALSE;
      }
    }
    if (bComplete && (!writeAll(hNew, "\r\n") || !FlushFileBuffers(hNew))) {
      dwError = GetLastError();
      bComplete = FALSE;
    }
    CloseHandle(hNew);
  }
  if (bComplete && !MoveFileExA(strNew.c_str(), m_strLogFile.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    dwError = GetLastError();
    log.kWriteLog("CKV_SETUPApp::kWriteKVISETUPLogInfo() (2) LastError=%u MoveFileEx fail; the old report is "
                  "kept.\n",
                  dwError);
    bComplete = FALSE;
  }
  if (!bComplete) {
    log.kWriteLog("CKV_SETUPApp::kWriteKVISETUPLogInfo() (4) LastError=%u the new report is incomplete; the old "
                  "report is kept.\n",
                  dwError);
    log.kWriteLog("  m_strLogFile=[%s]\n", m_strLogFile.c_str());
    if (!DeleteFileA(strNew.c_str()) && GetFileAttributesA(strNew.c_str()) != INVALID_FILE_ATTRIBUTES) {
      log.kWriteLog("CKV_SETUPApp::kWriteKVISETUPLogInfo() (3) LastError=%u DeleteFile fail.\n", GetLastError());
    }
    return;
  }
  log.kWriteLog("CKV_SETUPApp::kWriteKVISETUPLogInfo() the report is written. [%s]\n", m_strLogFile.c_str());
}
