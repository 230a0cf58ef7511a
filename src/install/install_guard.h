// The guard of an installation for the whole machine: one installation at a
// time, whichever folder each copy of the program was started from. (The
// program's own single-instance guard is named after its path, so two
// package folders do not see each other there.)
//
// A process that dies while it holds the guard releases it; the next holder
// finds the dead run's journal and undoes it first.
#pragma once

#include <functional>

#include "platform/win32.h"

class CInstallGuard {
 public:
  static constexpr const char* kMutexName = "Global\\KV_SETUP_INSTALLATION";

  CInstallGuard() = default;
  ~CInstallGuard();
  CInstallGuard(const CInstallGuard&) = delete;
  CInstallGuard& operator=(const CInstallGuard&) = delete;

  // Waits for the guard while bGoOn answers TRUE (asked every 200 ms);
  // TRUE once held. FALSE when the wait was given up or the mutex cannot
  // be made.
  [[nodiscard]] BOOL kAcquire(const std::function<bool()>& bGoOn);
  // Takes the guard only when nobody holds it.
  [[nodiscard]] BOOL kTryAcquire();
  BOOL kIsHeld() const { return m_bHeld; }

 private:
  HANDLE m_hMutex = nullptr;
  BOOL m_bHeld = FALSE;
};
