// The application's start-up helpers that reach beyond the process: the
// guard against a second instance, the registered window messages, the
// probes of the network search, and the messages to the parent installer
// and the restart at the end.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/kv_setup_app.h"
#include "app/window_messages.h"
#include "system/handle_owner.h"
#include "system/program_log.h"

namespace {

// A hexadecimal text of the parent installer (+W, +M) as a number; 0 when
// it holds none.
uint64_t hexValue(const std::string& strText) { return std::strtoull(strText.c_str(), nullptr, 16); }

// The mutex that keeps a second instance out across terminal sessions.
constexpr const char kGlobalMutexName[] = "Global\\HALVERN_NELISETUP_MUTEX";

// The shared memory belongs to the program file: copies of the program in
// other folders run independently, as instances of different files do.
std::string sharedDataName() {
  char szModule[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, szModule, MAX_PATH);
  std::uint64_t ullHash = 1469598103934665603ull;
  for (const char* p = szModule; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p >= 'a' && *p <= 'z' ? *p - 'a' + 'A' : *p);
    ullHash = (ullHash ^ c) * 1099511628211ull;
  }
  char szName[64];
  std::snprintf(szName, sizeof(szName), "KV_SETUP_Instances_%016llx", static_cast<unsigned long long>(ullHash));
  return szName;
}

}  // namespace

BOOL CKV_SETUPApp::kOpenSharedData() {
  if (m_pSharedData) return TRUE;
  const std::string strName = sharedDataName();
  m_hSharedData = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(CSharedInstanceData),
                                     strName.c_str());
  if (!m_hSharedData) {
    kProgramLog().kWriteLog("CKV_SETUPApp::kOpenSharedData() return FALSE (1) LastError=%u CreateFileMapping\n",
                            GetLastError());
    return FALSE;
  }
  m_pSharedData = static_cast<CSharedInstanceData*>(
      MapViewOfFile(m_hSharedData, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(CSharedInstanceData)));
  if (!m_pSharedData) {
    kProgramLog().kWriteLog("CKV_SETUPApp::kOpenSharedData() return FALSE (2) LastError=%u MapViewOfFile\n",
                            GetLastError());
    CloseHandle(m_hSharedData);
    m_hSharedData = nullptr;
    return FALSE;
  }
  return TRUE;
}

void CKV_SETUPApp::kCloseSharedData() {
  if (m_pSharedData) {
    if (m_bInstanceCounted) {
      // The first instance's window goes with it.
      if (InterlockedDecrement(&m_pSharedData->lInstanceCount) == 0) m_pSharedData->ullMainWnd = 0;
      m_bInstanceCounted = 0;
    }
    UnmapViewOfFile(m_pSharedData);
    m_pSharedData = nullptr;
  }
  if (m_hSharedData) {
    CloseHandle(m_hSharedData);
    m_hSharedData = nullptr;
  }
}

int CKV_SETUPApp::kCheckDuplicationExecute() {
  CDetailLog& log = kProgramLog();
  // Without the shared memory no other instance can be seen; the mutex
  // below still guards terminal sessions.
  if (kOpenSharedData()) {
    // The count is kept plus one: fresh memory (zero) means no instance.
    const LONG lCount = InterlockedIncrement(&m_pSharedData->lInstanceCount) - 1;
    m_bInstanceCounted = 1;
    if (lCount > 0) {
      const HWND hOther = reinterpret_cast<HWND>(static_cast<uintptr_t>(m_pSharedData->ullMainWnd));
      if (hOther && IsWindow(hOther)) {
        SetForegroundWindow(hOther);
        const HWND hPopup = GetLastActivePopup(hOther);
        if (hPopup && hPopup != hOther) SetForegroundWindow(hPopup);
      }
      log.kWriteLog("CKV_SETUPApp::kCheckDuplicationExecute() return 1 (1) another instance runs.\n");
      return 1;
    }
  }
  if ((CEnvironment::kGetOsKind() & OSKIND_TERMINAL) == 0) {
    log.kWriteLog("CKV_SETUPApp::kCheckDuplicationExecute() return 0 (2)\n");
    return 0;
  }
  HANDLE hMutex = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kGlobalMutexName);
  if (hMutex) {
    CloseHandle(hMutex);
    log.kWriteLog("CKV_SETUPApp::kCheckDuplicationExecute() return 1 (3) the mutex exists.\n");
    return 1;
  }
  m_hMutex = CreateMutexA(nullptr, FALSE, kGlobalMutexName);
  if (!m_hMutex) {
    log.kWriteLog("CKV_SETUPApp::kCheckDuplicationExecute() return 1 (4) LastError=%u CreateMutex\n",
                  GetLastError());
    return 1;
  }
  log.kWriteLog("CKV_SETUPApp::kCheckDuplicationExecute() return 0 (5)\n");
  return 0;
}

void CKV_SETUPApp::kRegisterMessageID() {
  CDetailLog& log = kProgramLog();
  bool bFirst = true;
  for (const CWindowMessageName& entry : kWindowMessageNames) {
    const std::string strName = std::string(kWindowMessagePrefix) + entry.pszName;
    UINT uId = RegisterWindowMessageA(strName.c_str());
    if (bFirst) {
      WM_APPBASE_MESSAGE = uId;
      WM_APPMESSAGE_PROGRESS = uId + 1;
      WM_APPMESSAGE_CONNENCT = uId + 2;
      bFirst = false;
    } else {
      // The two ids after the base are the external installer's progress
      // and announcement; no other message may take them.
      for (unsigned n = 1; uId == WM_APPMESSAGE_PROGRESS || uId == WM_APPMESSAGE_CONNENCT; ++n) {
        const std::string strRetry = kFormatText("%s%s_%u", strName.c_str(), "_EXTEND", n);
        uId = RegisterWindowMessageA(strRetry.c_str());
        log.kWriteLog("Change Message ID: %s, %08x\n", strRetry.c_str(), uId);
      }
    }
    *entry.pId = uId;
  }
  for (const CWindowMessageName& entry : kWindowMessageNames) {
    log.kWriteLog("kRegisterMessageID %s = %X\n", entry.pszName, *entry.pId);
  }
}

int CKV_SETUPApp::kCheckNQmodule() {
  CDetailLog& log = kProgramLog();
  // The library and its companions lie in the package's NETDLL folder.
  const std::string strAppend = ";" + m_strModulePath + "NETDLL";
  const DWORD dwLength = GetEnvironmentVariableA("PATH", nullptr, 0);
  if (dwLength == 0) {
    log.kWriteLog("CKV_SETUPApp::kCheckNQmodule() return 0 (1) LastError=%u GetEnvironmentVariable\n",
                  GetLastError());
    return 0;
  }
  std::vector<char> vecPath;
  try {
    vecPath.resize(static_cast<size_t>(dwLength) + strAppend.size() + 1);
  } catch (const std::bad_alloc&) {
    log.kWriteLog("CKV_SETUPApp::kCheckNQmodule() return 0 (2) no memory.\n");
    return 0;
  }
  const DWORD dwRead = GetEnvironmentVariableA("PATH", vecPath.data(), dwLength);
  if (dwRead == 0 || dwRead >= dwLength) {
    log.kWriteLog("CKV_SETUPApp::kCheckNQmodule() return 0 (3) LastError=%u GetEnvironmentVariable\n",
                  GetLastError());
    return 0;
  }
  const std::string strPath = std::string(vecPath.data(), dwRead) + strAppend;
  if (!SetEnvironmentVariableA("PATH", strPath.c_str())) {
    log.kWriteLog("CKV_SETUPApp::kCheckNQmodule() return 0 (4) LastError=%u SetEnvironmentVariable\n",
                  GetLastError());
    return 0;
  }
  const char* pszLibrary = CEnvironment::kIsAMD64() ? "NQCORE64.DLL" : "NQCORE.DLL";
  HMODULE hLibrary = LoadLibraryA(pszLibrary);
  if (!hLibrary) {
    log.kWriteLog("CKV_SETUPApp::kCheckNQmodule() return 0 (5) LastError=%u LoadLibrary %s\n", GetLastError(),
                  pszLibrary);
    return 0;
  }
  FreeLibrary(hLibrary);
  log.kWriteLog("CKV_SETUPApp::kCheckNQmodule() return 1 (6)\n");
  return 1;
}

int CKV_SETUPApp::kCheckTCPIP() {
  char szName[] = ",XcvMonitor Standard TCP/IP Port";
  PRINTER_DEFAULTSA defaults = {};
  defaults.DesiredAccess = SERVER_ACCESS_ADMINISTER;
  HANDLE hPrinter = nullptr;
  if (!OpenPrinterA(szName, &hPrinter, &defaults) || !hPrinter) {
    kProgramLog().kWriteLog("CKV_SETUPApp::kCheckTCPIP() return 0 (1) LastError=%u OpenPrinter\n", GetLastError());
    return 0;
  }
  ClosePrinter(hPrinter);
  kProgramLog().kWriteLog("CKV_SETUPApp::kCheckTCPIP() return 1 (2)\n");
  return 1;
}
int CKV_SETUPApp::kSendToIMMessage(DWORD dwMessID, WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CKV_SETUPApp::kSendToIMMessage()  dwMessID=%d : wParam=0x%08x : lParam=0x%08x\n",
                          static_cast<int>(dwMessID), static_cast<unsigned>(wParam), static_cast<unsigned>(lParam));
  if (m_strInstManHWnd.empty()) return 1;
  const HWND hIMHWnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(hexValue(m_strInstManHWnd)));
  const UINT uMessage = static_cast<UINT>(hexValue(m_strInstManMessage)) + dwMessID;
  // The handle is written as Windows writes a pointer (%p: every hexadecimal
  // digit, upper case), so that the log reads the same in both builds.
  kProgramLog().kWriteLog(
      "CKV_SETUPApp::kSendToIMMessage()  PostMessage : hIMHWnd=0x%0*llX : dwMess=0x%08x : wParam=0x%08x : "
      "lParam=0x%08x\n",
      static_cast<int>(sizeof(void*) * 2), static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hIMHWnd)),
      uMessage, static_cast<unsigned>(wParam), static_cast<unsigned>(lParam));
  PostMessageA(hIMHWnd, uMessage, wParam, lParam);
  return 1;
}

int CKV_SETUPApp::kSendMessageToIM(const COPYDATASTRUCT* pCopyData) {
  CDetailLog& log = kProgramLog();
  if (m_strInstManHWnd.empty()) {
    log.kWriteLog("CKV_SETUPApp::kSendMessageToIM() return TRUE (1) LastError=%u m_strInstManHWnd is empty.\n",
                  GetLastError());
    return 1;
  }
  if (!pCopyData || pCopyData->cbData == 0 || !pCopyData->lpData) return 1;
  const HWND hIMHWnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(hexValue(m_strInstManHWnd)));
  // The block is valid only while the parent handles it: the call waits.
  SendMessageA(hIMHWnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(pCopyData));
  // The text of the block need not end in a terminator.
  const std::string strData(static_cast<const char*>(pCopyData->lpData),
                            strnlen(static_cast<const char*>(pCopyData->lpData), pCopyData->cbData));
  log.kWriteLog("CKV_SETUPApp::kSendMessage() << Send Message To IM >>\n%s\n\n", strData.c_str());
  return 1;
}

BOOL CKV_SETUPApp::kRebootExit() {
  CDetailLog& log = kProgramLog();
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExA(&info)) {
    log.kWriteLog("CKV_SETUPApp::kRebootExit() return FALSE (1) LastError=%u GetVersionEx\n", GetLastError());
    return FALSE;
  }
  if (info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 4) {
    // The restart needs the shutdown privilege enabled in the process token.
    HANDLE hToken = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &hToken)) {
      TOKEN_PRIVILEGES privileges = {};
      LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
      privileges.PrivilegeCount = 1;
      privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
      AdjustTokenPrivileges(hToken, FALSE, &privileges, 0, nullptr, nullptr);
      CloseHandle(hToken);
    }
  }
  const BOOL bResult = ExitWindowsEx(EWX_REBOOT, 0);
  log.kWriteLog("CKV_SETUPApp::kRebootExit() return TRUE (2) ExitWindowsEx=%d LastError=%u\n", bResult,
                GetLastError());
  return TRUE;
}
