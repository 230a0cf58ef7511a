// The installation's steps, run by the installation page's worker thread
// (or a test). The log lines keep the names administrators search for.
#include "install/install_engine.h"

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "app/kv_setup_app.h"
#include "install/driver_check.h"
#include "install/install_guard.h"
#include "system/common_function.h"
#include "system/environment.h"
#include "system/handle_owner.h"
#include "system/program_log.h"
#include "system/text_utility.h"

namespace {

constexpr DWORD kSzddMagic1 = 0x44445A53;  // "SZDD"
constexpr DWORD kSzddMagic2 = 0x3327F088;

std::string formatStatus(const std::string& strLabel, const std::string& strName) {
  return strLabel + " [" + strName + "]";
}

// The length an SZDD file's header declares for its expanded data; -1 when
// the file is not stored that way (or cannot be read).
long long declaredExpandedSize(const std::string& strPath) {
  CHandleOwner file(CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.kIsValid()) return -1;
  unsigned char header[14] = {};
  DWORD dwRead = 0;
  if (!ReadFile(file.kGet(), header, sizeof header, &dwRead, nullptr) || dwRead != sizeof header) return -1;
  auto le32 = [&](int at) {
    return static_cast<DWORD>(header[at]) | static_cast<DWORD>(header[at + 1]) << 8 |
           static_cast<DWORD>(header[at + 2]) << 16 | static_cast<DWORD>(header[at + 3]) << 24;
  };
  if (le32(0) != kSzddMagic1 || le32(4) != kSzddMagic2) return -1;
  return le32(10);
}

long long fileSize(const std::string& strPath) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

bool fileExists(const std::string& strPath) { return GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The folder part of a path, without the last backslash.
std::string folderOf(const std::string& strPath) {
  const size_t n = strPath.find_last_of('\\');
  return n == std::string::npos ? std::string(".") : strPath.substr(0, n);
}

// A "KVIS" temporary file in a folder; empty after logging on failure.
std::string makeTemporaryName(const std::string& strFolder) {
  char szName[MAX_PATH] = {};
  if (GetTempFileNameA(strFolder.c_str(), "KVIS", 0, szName) == 0) {
    kProgramLog().kWriteLog("CInstallPrepareDialog GetTempFileName fail. LastError=%u Folder=[%s]\n", GetLastError(),
                            strFolder.c_str());
    return {};
  }
  return szName;
}

// Decompresses or copies a source into a file. A compressed source that
// expands short of the length its header declares is a failure. The
// target is left for the caller to remove.
BOOL expandInto(CKV_SETUPApp& app, const std::string& strSource, const std::string& strTarget) {
  if (!app.m_pDriverInfomation->kSetupDecompressOrCopyFile(strSource, strTarget, 0, nullptr)) return FALSE;
  // The package may hold the file under its "_" name only.
  long long llDeclared = declaredExpandedSize(strSource);
  if (llDeclared < 0 && !fileExists(strSource)) {
    llDeclared = declaredExpandedSize(CCommonFunction::kMakeCompressedName(strSource));
  }
  const long long llActual = fileSize(strTarget);
  if (llDeclared >= 0 && llActual != llDeclared) {
    kProgramLog().kWriteLog("CInstallPrepareDialog expanded file is short: declared %lld, expanded %lld [%s]\n",
                            llDeclared, llActual, strSource.c_str());
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  return TRUE;
}

// Removes the temporary files of the copy ("KVI" and up to four hex digits,
// ".tmp") that a run ended in the middle of the copy left in a folder. Only
// for folders other than the system directory: there a temporary file may
// be waiting for its replacement at the next restart.
void removeLeftTemporaries(const std::string& strFolder) {
  WIN32_FIND_DATAA data{};
  HANDLE hFind = FindFirstFileA((strFolder + "\\KVI*.tmp").c_str(), &data);
  if (hFind == INVALID_HANDLE_VALUE) return;
  do {
    const std::string strName = data.cFileName;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || strName.size() < 8 || strName.size() > 11) continue;
    bool bOurs = true;
    for (size_t i = 3; i + 4 < strName.size(); ++i) {
      if (!std::isxdigit(static_cast<unsigned char>(strName[i]))) bOurs = false;
    }
    if (!bOurs) continue;
    const std::string strPath = strFolder + "\\" + strName;
    const BOOL bDeleted = DeleteFileA(strPath.c_str());
    kProgramLog().kWriteLog("CInstallPrepareDialog remove a temporary file left by an earlier run [%s] return [%d]\n",
                            strPath.c_str(), bDeleted);
  } while (FindNextFileA(hFind, &data));
  FindClose(hFind);
}

// Whether the spooler knows a driver of that name in an environment.
bool driverRegistered(const std::string& strName, const std::string& strEnvironment) {
  std::string strEnv = strEnvironment;
  DWORD cbNeeded = 0, dwCount = 0;
  EnumPrinterDriversA(nullptr, strEnv.data(), 3, nullptr, 0, &cbNeeded, &dwCount);
  if (cbNeeded == 0) return false;
  std::vector<BYTE> buffer(cbNeeded);
  if (!EnumPrinterDriversA(nullptr, strEnv.data(), 3, buffer.data(), cbNeeded, &cbNeeded, &dwCount)) return false;
  const auto* p = reinterpret_cast<const DRIVER_INFO_3A*>(buffer.data());
  for (DWORD i = 0; i < dwCount; ++i) {
    if (p[i].pName && kIEquals(p[i].pName, strName)) return true;
  }
  return false;
}

bool monitorRegistered(const std::string& strName) {
  DWORD cbNeeded = 0, dwCount = 0;
  EnumMonitorsA(nullptr, 1, nullptr, 0, &cbNeeded, &dwCount);
  if (cbNeeded == 0) return false;
  std::vector<BYTE> buffer(cbNeeded);
  if (!EnumMonitorsA(nullptr, 1, buffer.data(), cbNeeded, &cbNeeded, &dwCount)) return false;
  const auto* p = reinterpret_cast<const MONITOR_INFO_1A*>(buffer.data());
  for (DWORD i = 0; i < dwCount; ++i) {
    if (p[i].pName && kIEquals(p[i].pName, strName)) return true;
  }
  return false;
}

}  // namespace

CInstallEngine::CInstallEngine(CKV_SETUPApp& app, CObserver& observer) : m_app(app), m_Observer(observer) {}

CInstallEngine::~CInstallEngine() = default;

std::string CInstallEngine::kText(const char* pszKey) const {
  return m_app.m_pRscCommon ? m_app.m_pRscCommon->kGetMessageText(pszKey) : std::string();
}

void CInstallEngine::kProgressStep() {
  if (m_Observer.kIsCancelled()) {
    kProgramLog().kWriteLog("CInstallPrepareDialog::kGoProgress() return m_bThreadEnd is TRUE.\n");
    return;
  }
  ++m_nProgressPos;
  kSendUpdate();
}

void CInstallEngine::kFail(const char* pszKey, const std::string& strDetail) {
  // The first failure is the one the user is told about.
  if (!m_Result.bError) {
    m_Result.strMessageKey = pszKey;
    m_Result.strMessageDetail = strDetail;
  }
  m_Result.bError = TRUE;
}

void CInstallEngine::kEndRun(BOOL bError) {
  if (bError) m_Result.bError = TRUE;
  if (!m_Result.bError && m_Observer.kIsCancelled()) m_Result.bCancelled = TRUE;
  // The spooler never stays stopped: whatever ended the run, what the stop
  // recorded is started again (a failure is only logged here; the step
  // that failed has its own message).
  if (m_bSpoolerStopped) {
    m_bSpoolerStopped = FALSE;
    if (!m_app.m_pSpoolerInfomation->kStartSpoolerService()) {
      kProgramLog().kWriteLog("ExecInstallThread kStartSpoolerService fail while ending.\n");
    }
  }
  for (const CInstallJournal::CEntry& e : CInstallJournal::kRead()) {
    if (e.strKind == "pending") m_Result.bRestartNeeded = TRUE;
  }
  if (m_Result.bError || m_Result.bCancelled) {
    // The run's own changes are undone, newest first; the services it
    // stopped are among them.
    m_Result.lstUndone = CInstallJournal::kUndo();
  } else {
    CInstallJournal::kCommit();
  }
  // Whatever could not be undone stays in the journal for the next start.
  for (const CInstallJournal::CEntry& e : CInstallJournal::kRead()) {
    if (e.strKind == "services") m_Result.bServicesRunning = FALSE;
  }
  kProgramLog().kWriteLog("ExecInstallThread end: error=%d cancelled=%d restart=%d services running=%d\n",
                          m_Result.bError, m_Result.bCancelled, m_Result.bRestartNeeded, m_Result.bServicesRunning);
}

void CInstallEngine::kRun() {
  kProgramLog().kWriteLog("ExecInstallThread start.\n");
  // One installation at a time on the machine, whichever folder the
  // program was started from.
  CInstallGuard guard;
  if (!guard.kAcquire([this] { return !m_Observer.kIsCancelled(); })) {
    if (m_Observer.kIsCancelled()) {
      m_Result.bCancelled = TRUE;
      return;
    }
    kFail("IDS_ERR_CANNOT_KEEPON", "Another installation is running.");
    m_Result.bError = TRUE;
    return;
  }
  // A run killed while it held the guard left its journal behind.
  if (!CInstallJournal::kIsEmpty()) {
    for (const std::string& s : CInstallJournal::kUndo()) {
      kProgramLog().kWriteLog("ExecInstallThread repair of an earlier run: %s\n", s.c_str());
    }
  }
  if (!kWaitPoint()) return kEndRun(FALSE);
  m_InstallCDE = m_app.m_CDE;
  const CPresentDriverList& lst = m_app.m_pSpoolerInfomation->kGetSameKindDriverList(
      m_InstallCDE.strDriverName.c_str(), m_InstallCDE.dwInfOSVersion, m_InstallCDE.strDriverFile.c_str(),
      m_InstallCDE.strPlatform.c_str(), TRUE, FALSE);
  m_lstSameKind.assign(lst.begin(), lst.end());
  m_itNext = m_lstSameKind.begin();
  m_nProgressRange = kProgressRange(m_lstSameKind.size());
  m_nProgressPos = 0;
  kSendUpdate();
  if (!kWaitPoint()) return kEndRun(FALSE);
  const BOOL bSpoolerControl = m_app.m_pSetupIniInfo ? m_app.m_pSetupIniInfo->bSpoolerControl : FALSE;

  for (;;) {
    kProgramLog().kWriteLog("ExecInstallThread driver [%s]\n", m_InstallCDE.strDriverName.c_str());
    // 3. INF copy.
    if (!kInstallInfFile()) {
      kProgramLog().kWriteLog("Exit ExecInstallThread kInstallInfFile fail.\n");
      return kEndRun(TRUE);
    }
    // 4. Stop.
    if (!kWaitPoint()) return kEndRun(FALSE);
    if (CEnvironment::kIsWin2k() && bSpoolerControl) {
      m_strStatus = kText("IDS_INF_STOPSERVICE");
      kSendUpdate();
      if (!kStopServices()) return kEndRun(TRUE);
    }
    kProgressStep();
    // 5. File copy; a cancel here restarts the spooler first (kEndRun).
    if (!kWaitPoint()) return kEndRun(FALSE);
    const BOOL bCopy = kCreateTemporaryFileWin2k();
    kProgramLog().kWriteLog("CInstallPrepareDialog::kCreateTemporaryFile() return [%d]\n", bCopy);
    if (!bCopy) return kEndRun(TRUE);
    kProgressStep();
    // 6. Start.
    if (!kWaitPoint()) return kEndRun(FALSE);
    if (bSpoolerControl && m_bSpoolerStopped) {
      m_strStatus = kText("IDS_INF_STARTSERVICE");
      kSendUpdate();
      m_bSpoolerStopped = FALSE;
      if (!m_app.m_pSpoolerInfomation->kStartSpoolerService()) {
        kFail("IDS_ERR_SERVICESTART", "");
        kProgramLog().kWriteLog("Exit ExecInstallThread kStartSpoolerService fail.\n");
        return kEndRun(TRUE);
      }
      // Running again: nothing of the stop is left to undo.
      for (const CInstallJournal::CEntry& e : CInstallJournal::kRead()) {
        if (e.strKind == "services") m_Journal.kDrop(e.dwId);
      }
    }
    kProgressStep();
    // 7. Monitor.
    if (!kWaitPoint()) return kEndRun(FALSE);
    if (!kAddMonitor()) return kEndRun(TRUE);
    kProgressStep();
    // 8. Driver and print processor; a cancel here skips the step.
    if (!kWaitPoint()) return kEndRun(FALSE);
    if (!kAddDriver()) return kEndRun(TRUE);
    kProgressStep();
    // 9. Next same-kind driver.
    if (!kWaitPoint()) return kEndRun(FALSE);
    bool bNext = false;
    while (m_itNext != m_lstSameKind.end() && !bNext) {
      const CPresentDriver& entry = *m_itNext++;
      for (const CCandidateDriver& c : m_app.m_lstSetupCandidate) {
        if (kIEquals(c.strDriverName, entry.strName) && c.dwInfOSVersion == entry.dwVersion) {
          m_InstallCDE = c;
          bNext = true;
          break;
        }
      }
      if (!bNext) break;
    }
    if (!bNext) break;
  }
  kSendUpdate();
  kProgramLog().kWriteLog("ExecInstallThread normal end.\n");
  kEndRun(FALSE);
}

BOOL CInstallEngine::kStopServices() {
  // The entry names what the stop may stop; once it has stopped, what it
  // really stopped.
  const DWORD dwId = m_Journal.kAdd("services", CInstallJournal::kRunningSpoolerServices());
  if (dwId == 0) {
    kFail("IDS_ERR_CANNOT_KEEPON", "Journal");
    return FALSE;
  }
  m_app.m_pSpoolerInfomation->kStopSpoolerService();
  const CNameList& lstStopped = m_app.m_pSpoolerInfomation->kGetRestartServiceList();
  if (lstStopped.empty()) {
    m_Journal.kDrop(dwId);
  } else {
    m_Journal.kUpdate(dwId, "services", std::vector<std::string>(lstStopped.begin(), lstStopped.end()));
    m_bSpoolerStopped = TRUE;
  }
  return TRUE;
}

BOOL CInstallEngine::kAddMonitor() {
  if (!m_InstallCDE.strLanguageMonitorName.empty()) {
    m_strStepLabel = kText("IDS_INF_ADDMONITOR");
    m_strStatus = formatStatus(m_strStepLabel, m_InstallCDE.strLanguageMonitorName);
    kSendUpdate();
    if (!monitorRegistered(m_InstallCDE.strLanguageMonitorName) &&
        m_Journal.kAdd("monitor", {m_InstallCDE.strLanguageMonitorName, CEnvironment::kGetEnvironment()}) == 0) {
      kFail("IDS_ERR_ADDMONITOR", m_InstallCDE.strLanguageMonitorName);
      return FALSE;
    }
  }
  if (m_app.m_pSpoolerInfomation->kAddMonitor(m_InstallCDE) != VEXOERR_SUCCESS) {
    kFail("IDS_ERR_ADDMONITOR", m_InstallCDE.strLanguageMonitorName);
    kProgramLog().kWriteLog("Exit ExecInstallThread kAddMonitor fail.\n");
    return FALSE;
  }
  return TRUE;
}

BOOL CInstallEngine::kAddDriver() {
  m_strStepLabel = kText("IDS_INF_ADDDRIVER");
  m_strStatus = formatStatus(m_strStepLabel, m_InstallCDE.strDriverName);
  kSendUpdate();
  const std::string strEnvironment =
      CEnvironment::kConvPlatformToEnv(m_InstallCDE.strPlatform, m_InstallCDE.dwInfOSVersion);
  if (!driverRegistered(m_InstallCDE.strDriverName, strEnvironment) &&
      m_Journal.kAdd("driver", {m_InstallCDE.strDriverName, strEnvironment}) == 0) {
    kFail("IDS_ERR_ADDDRIVER", m_InstallCDE.strDriverName);
    return FALSE;
  }
  const DWORD dwFlags = m_InstallCDE.dwDriverVersionDownOption == 1 ? APD_COPY_NEW_FILES : APD_COPY_ALL_FILES;
  BOOL bDriver = m_app.m_pSpoolerInfomation->kAddPrinterDriver(m_InstallCDE, dwFlags) == VEXOERR_SUCCESS;
  if (bDriver) {
    kProgramLog().kWriteLog("kExecInstallThread kAddPrintProcessor param strPrintProcessor:%s strPrintProcessorDLL:%s\n",
                            m_InstallCDE.strPrintProcessor.c_str(), m_InstallCDE.strPrintProcessorDLL.c_str());
    if (!m_InstallCDE.strPrintProcessor.empty() && !m_InstallCDE.strPrintProcessorDLL.empty()) {
      CNameList lstProcessor;
      bool bKnown = false;
      if (m_app.m_pSpoolerInfomation->kGetPrintProcessors(lstProcessor)) {
        for (const std::string& s : lstProcessor) bKnown = bKnown || kIEquals(s, m_InstallCDE.strPrintProcessor);
      }
      if (!bKnown) (void)m_Journal.kAdd("processor", {m_InstallCDE.strPrintProcessor});
    }
    bDriver = m_app.m_pSpoolerInfomation->kAddPrintProcessor(m_InstallCDE.strPrintProcessor,
                                                             m_InstallCDE.strPrintProcessorDLL);
    if (!bDriver) kProgramLog().kWriteLog("Exit ExecInstallThread kAddPrintProcessor fail.\n");
  }
  if (!bDriver) {
    kFail("IDS_ERR_ADDDRIVER", m_InstallCDE.strDriverName);
    return FALSE;
  }
  m_Result.lstInstalledDrivers.push_back(m_InstallCDE.strDriverName);
  return TRUE;
}

BOOL CInstallEngine::kInstallInfFile() {
  m_strOEMInf.clear();
  if (CEnvironment::kIsWin2k()) {
    std::string strInf;
    if (!CCommonFunction::kGetShortPathName(m_InstallCDE.strInfPath.c_str(), strInf)) strInf = m_InstallCDE.strInfPath;
    char szDest[MAX_PATH] = {};
    BOOL bFailed = FALSE;
    if (m_app.m_pDriverInfomation->kSetupCopyOEMInf(strInf.c_str(), nullptr, SPOST_PATH, 0, szDest, MAX_PATH,
                                                      nullptr, nullptr, &bFailed)) {
      m_strOEMInf = szDest;
    } else {
      kProgramLog().kWriteLog("CInstallPrepareDialog::kInstallInfFile() SetupCopyOEMInf fail. LastError=%u Inf=[%s]\n",
                              GetLastError(), strInf.c_str());
    }
  }
  kProgramLog().kWriteLog("CInstallPrepareDialog::kInstallInfFile() m_strOEMInf=[%s]\n", m_strOEMInf.c_str());
  return !m_strOEMInf.empty();
}

BOOL CInstallEngine::kRebootCopyFile(const std::string& strSource, const std::string& strTarget) {
  std::string strShortSource, strShortTarget;
  if (!CCommonFunction::kGetShortPathName(strSource.c_str(), strShortSource)) {
    kProgramLog().kWriteLog("CInstallPrepareDialog::kRebootCopyFile() return FALSE (1) LastError=%u\n", GetLastError());
    return FALSE;
  }
  if (!CCommonFunction::kGetShortPathName(strTarget.c_str(), strShortTarget)) {
    kProgramLog().kWriteLog("CInstallPrepareDialog::kRebootCopyFile() return FALSE (2) LastError=%u\n", GetLastError());
    return FALSE;
  }
  if (!MoveFileExA(strShortSource.c_str(), strShortTarget.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT)) {
    kProgramLog().kWriteLog("CInstallPrepareDialog::kRebootCopyFile() return FALSE (3) LastError=%u\n", GetLastError());
    return FALSE;
  }
  kProgramLog().kWriteLog("OSREBOOT FILE REBOOTOVERWRITE = [%s]\n", strShortTarget.c_str());
  return TRUE;
}

BOOL CInstallEngine::kCopyThroughTemporary(CKV_SETUPApp& app, const std::string& strSource,
                                           const std::string& strTarget, CInstallJournal* pJournal) {
  // The entry comes first; it learns the temporary file's name once the
  // name is made.
  const DWORD dwTemp = pJournal ? pJournal->kAdd("temporary", {""}) : 0;
  if (pJournal && dwTemp == 0) return FALSE;
  const std::string strTemp = makeTemporaryName(folderOf(strTarget));
  if (strTemp.empty()) {
    if (pJournal) pJournal->kDrop(dwTemp);
    return FALSE;
  }
  if (pJournal) pJournal->kUpdate(dwTemp, "temporary", {strTemp});
  auto dropTemporary = [&] {
    DeleteFileA(strTemp.c_str());
    if (pJournal) pJournal->kDrop(dwTemp);
  };
  if (!expandInto(app, strSource, strTemp)) {
    const DWORD dwError = GetLastError();
    dropTemporary();
    kProgramLog().kWriteLog("CInstallPrepareDialog kSetupDecompressOrCopyFile fail. LastError=%u [%s] -> [%s]\n",
                            dwError, strSource.c_str(), strTarget.c_str());
    SetLastError(dwError);
    return FALSE;
  }
  (void)CCommonFunction::kResetReadOnly(strTarget);
  // With a journal a copy of the old file is kept under a backup name until
  // the installation commits, so that a failure puts it back. The backup is
  // written under a passing name and renamed when whole: a backup that
  // exists is always a whole one. The target itself is replaced as without
  // a journal, so that a file that cannot be replaced still fails the copy.
  std::string strBackup;
  DWORD dwBackup = 0;
  if (pJournal) {
    if (fileExists(strTarget)) {
      strBackup = strTarget + ".KVBAK";
      const std::string strPart = strBackup + ".part";
      // A backup of a run long gone must not be taken for this run's.
      for (const std::string& s : {strBackup, strPart}) {
        if (fileExists(s)) {
          (void)CCommonFunction::kResetReadOnly(s);
          DeleteFileA(s.c_str());
        }
      }
      dwBackup = pJournal->kAdd("backup", {strTarget, strBackup, strPart});
      if (dwBackup == 0) {
        dropTemporary();
        return FALSE;
      }
      if (!CopyFileA(strTarget.c_str(), strPart.c_str(), FALSE) ||
          !MoveFileExA(strPart.c_str(), strBackup.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD dwError = GetLastError();
        DeleteFileA(strPart.c_str());
        DeleteFileA(strBackup.c_str());
        pJournal->kDrop(dwBackup);
        dropTemporary();
        kProgramLog().kWriteLog("CInstallPrepareDialog keep a backup fail. LastError=%u [%s]\n", dwError,
                                strTarget.c_str());
        SetLastError(dwError);
        return FALSE;
      }
    } else {
      dwBackup = pJournal->kAdd("newfile", {strTarget});
      if (dwBackup == 0) {
        dropTemporary();
        return FALSE;
      }
    }
  }
  if (!MoveFileExA(strTemp.c_str(), strTarget.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    const DWORD dwError = GetLastError();
    // The target is as it was: its backup and entry go.
    if (!strBackup.empty()) DeleteFileA(strBackup.c_str());
    if (pJournal) pJournal->kDrop(dwBackup);
    dropTemporary();
    kProgramLog().kWriteLog("CInstallPrepareDialog rename over the target fail. LastError=%u [%s]\n", dwError,
                            strTarget.c_str());
    SetLastError(dwError);
    return FALSE;
  }
  if (pJournal) pJournal->kDrop(dwTemp);
  return TRUE;
}

BOOL CInstallEngine::kReplaceAtRestart(const std::string& strSource, const std::string& strTarget,
                                       std::int64_t tmSource, int nExit, const std::string& strReported) {
  if (kInUseUnchanged(CDriverCheck::kGetInstalledFileTime(strTarget), tmSource)) return TRUE;
  auto fail = [&]() {
    kProgramLog().kWriteLog("CInstallPrepareDialog::kCreateTemporaryFileWin2k() return FALSE (%d) LastError=%u [%s]\n",
                            nExit, GetLastError(), strReported.c_str());
    kFail("IDS_ERR_COPYFILE", strReported);
    return FALSE;
  };
  // The temporary name is made, the file it made deleted, then the copy
  // goes into that name; only a whole copy is scheduled over the file in
  // use.
  const DWORD dwTemp = m_Journal.kAdd("temporary", {""});
  if (dwTemp == 0) return fail();
  const std::string strTemp = makeTemporaryName(folderOf(strTarget));
  if (strTemp.empty()) {
    m_Journal.kDrop(dwTemp);
    return fail();
  }
  m_Journal.kUpdate(dwTemp, "temporary", {strTemp});
  DeleteFileA(strTemp.c_str());
  if (!expandInto(m_app, strSource, strTemp)) {
    const DWORD dwError = GetLastError();
    kProgramLog().kWriteLog("kSetupDecompressOrCopyFile (1) return=%d\n", 0);
    DeleteFileA(strTemp.c_str());
    m_Journal.kDrop(dwTemp);
    SetLastError(dwError);
    return fail();
  }
  // Scheduled, the replacement cannot be taken back: the entry says so.
  m_Journal.kUpdate(dwTemp, "pending", {strTarget, strTemp});
  if (!kRebootCopyFile(strTemp, strTarget)) {
    const DWORD dwError = GetLastError();
    DeleteFileA(strTemp.c_str());
    m_Journal.kDrop(dwTemp);
    SetLastError(dwError);
    return fail();
  }
  m_Result.bRestartNeeded = TRUE;
  return TRUE;
}

BOOL CInstallEngine::kCreateTemporaryFileWin2k() {
  m_strStepLabel = kText("IDS_INF_FILECOPY");
  char szSystem[MAX_PATH] = {};
  GetSystemDirectoryA(szSystem, MAX_PATH);
  const std::string strSystemDir = szSystem;
  auto fail = [&](int nExit, const std::string& strPath) {
    kProgramLog().kWriteLog("CInstallPrepareDialog::kCreateTemporaryFileWin2k() return FALSE (%d) LastError=%u [%s]\n",
                            nExit, GetLastError(), strPath.c_str());
    kFail("IDS_ERR_COPYFILE", strPath);
    return FALSE;
  };
  std::string strMonitorName, strMonitorSource;
  std::int64_t tmMonitor = 0;
  BOOL bMonitorInSystem = FALSE;
  if (m_InstallCDE.pDriverFileList) {
    std::vector<std::string> lstSwept;
    for (const CDriverFile& f : *m_InstallCDE.pDriverFileList) {
      if (kIEquals(f.strTargetDir, strSystemDir)) continue;
      bool bSeen = false;
      for (const std::string& s : lstSwept) bSeen = bSeen || kIEquals(s, f.strTargetDir);
      if (bSeen) continue;
      lstSwept.push_back(f.strTargetDir);
      removeLeftTemporaries(f.strTargetDir);
    }
    for (const CDriverFile& f : *m_InstallCDE.pDriverFileList) {
      const std::string strLongSource = f.strSourceDir + "\\" + f.strFileName;
      const std::string strLongTarget = f.strTargetDir + "\\" + f.strFileName;
      std::string strSource, strTarget;
      if (!CCommonFunction::kGetShortPathName(strLongSource.c_str(), strSource)) {
        // A file stored compressed exists only under its "_" name.
        if (!fileExists(CCommonFunction::kMakeCompressedName(strLongSource))) return fail(1, strLongSource);
        strSource = strLongSource;
      }
      if (!CCommonFunction::kGetShortPathName(strLongTarget.c_str(), strTarget)) strTarget = strLongTarget;
      if (kIEquals(f.strTargetDir, strSystemDir) && CCommonFunction::kStdAfxFileIsExisted(strTarget.c_str()) &&
          CCommonFunction::kStdAfxFileIsUsed(strTarget.c_str())) {
        if (!kReplaceAtRestart(strSource, strTarget, f.tmSourceFileTime, 3, strLongSource)) return FALSE;
        continue;
      }
      m_strStatus = formatStatus(m_strStepLabel, f.strFileName);
      if (!m_Observer.kIsCancelled()) kSendUpdate();
      if (!kCopyThroughTemporary(m_app, strSource, strTarget, &m_Journal)) return fail(4, strLongSource);
      if (kIEquals(f.strFileName, m_InstallCDE.strLanguageMonitorDLL) && !m_InstallCDE.strLanguageMonitorDLL.empty()) {
        if (kIEquals(f.strTargetDir, strSystemDir)) {
          bMonitorInSystem = TRUE;
        } else {
          strMonitorName = f.strFileName;
          strMonitorSource = strSource;
          tmMonitor = f.tmSourceFileTime;
        }
      }
    }
  }
  if (!strMonitorName.empty() && !bMonitorInSystem) {
    const std::string strLongTarget = strSystemDir + "\\" + strMonitorName;
    std::string strTarget;
    if (!CCommonFunction::kGetShortPathName(strLongTarget.c_str(), strTarget)) strTarget = strLongTarget;
    if (CCommonFunction::kStdAfxFileIsExisted(strTarget.c_str()) && CCommonFunction::kStdAfxFileIsUsed(strTarget.c_str())) {
      if (!kReplaceAtRestart(strMonitorSource, strTarget, tmMonitor, 7, strMonitorSource)) return FALSE;
    } else if (!kCopyThroughTemporary(m_app, strMonitorSource, strTarget, &m_Journal)) {
      kProgramLog().kWriteLog("  strMonitorSrc=[%s]\n", strMonitorSource.c_str());
      kProgramLog().kWriteLog("  strDestFile=[%s]\n", strTarget.c_str());
      return fail(8, strMonitorSource);
    }
  }
  return TRUE;
}
