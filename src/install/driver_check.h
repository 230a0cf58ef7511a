// The checks made before a USB installation touches any file: a driver in
// use must not be replaced by an older build, every same-kind driver in use
// must have its replacement in the package, and the system must not need a
// restart first. Each refusal shows its own message (which also closes the
// wizard) before the check returns FALSE; nothing on the system changes.
#pragma once

#include "app/kv_setup_app.h"
#include "system/spooler_infomation.h"

class CDriverCheck {
 public:
  // Collects the present drivers in use that are of the selected
  // candidate's kind or are the candidate itself.
  explicit CDriverCheck(CKV_SETUPApp& app);

  // FALSE when a driver in use is newer than the package's build of it.
  [[nodiscard]] BOOL kCheckVersionDown();
  // FALSE when a same-kind driver in use has no candidate in the package.
  [[nodiscard]] BOOL kCheckExistSameDriver();
  // FALSE (and the reboot flag set) when a pending driver upgrade waits for
  // a restart, or another process than the spooler holds a driver file.
  [[nodiscard]] BOOL kCheckOSRebootBefore();

  const CPresentDriverList& kGetDriverList() const { return m_lstDriver; }

  // The last-write time of a file in whole seconds since 1970 UTC, the base
  // of the package's file times; 1 January 1990 00:00:00 local time when
  // the file cannot be found.
  static std::int64_t kGetInstalledFileTime(const std::string& strPath);

 private:
  CKV_SETUPApp& m_app;
  CPresentDriverList m_lstDriver;
};
