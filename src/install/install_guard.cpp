// The installation's machine-wide guard.
#include "install/install_guard.h"

#include "system/program_log.h"

CInstallGuard::~CInstallGuard() {
  if (m_bHeld) ReleaseMutex(m_hMutex);
  if (m_hMutex) CloseHandle(m_hMutex);
}

BOOL CInstallGuard::kTryAcquire() {
  if (m_bHeld) return TRUE;
  if (!m_hMutex) m_hMutex = CreateMutexA(nullptr, FALSE, kMutexName);
  if (!m_hMutex) {
    kProgramLog().kWriteLog("CInstallGuard CreateMutex fail. LastError=%u\n", GetLastError());
    return FALSE;
  }
  const DWORD dw = WaitForSingleObject(m_hMutex, 0);
  // An abandoned guard belonged to a run that died: it is ours now.
  m_bHeld = dw == WAIT_OBJECT_0 || dw == WAIT_ABANDONED;
  if (dw == WAIT_ABANDONED) kProgramLog().kWriteLog("CInstallGuard the last holder ended without releasing it.\n");
  return m_bHeld;
}

BOOL CInstallGuard::kAcquire(const std::function<bool()>& bGoOn) {
  bool bLogged = false;
  while (!kTryAcquire()) {
    if (!m_hMutex || !bGoOn()) return FALSE;
    if (!bLogged) {
      kProgramLog().kWriteLog("CInstallGuard another installation is running; waiting for its end.\n");
      bLogged = true;
    }
    Sleep(200);
  }
  return TRUE;
}
