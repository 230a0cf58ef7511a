// The journal of an installation: what the run changed on the machine and
// has not finished, kept in the program's own registry key so that it
// outlives the process.
//
// Each step writes its entry before it acts and may correct it after (the
// services that really stopped, the temporary file's real name). When the
// whole installation has committed, the backups are deleted and the entries
// dropped. A failure undoes the entries in reverse order; a run that was
// killed leaves them for the next start, which undoes them the same way.
// Every undo may be repeated: it looks at the machine before it acts.
//
// Entries (kind, then fields):
//   services   names of the services stopped, the first to start first
//   temporary  a temporary file the run made (deleted by the undo)
//   backup     a file replaced, the backup of its old contents (put back)
//              and the name the backup is written under until it is whole
//   newfile    a file the run created where none was (deleted)
//   pending    a replacement waiting for the restart (cannot be undone)
//   driver     a driver the run registered where none was (deleted)
//   monitor    a language monitor the run registered (deleted)
//   processor  a print processor the run registered (cannot be removed here)
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

class CInstallJournal {
 public:
  // Under HKEY_LOCAL_MACHINE.
  static constexpr const char* kJournalKey = "SOFTWARE\\HALVERN\\IMG\\DI\\KV_SETUP\\Journal";

  struct CEntry {
    DWORD dwId = 0;
    std::string strKind;
    std::vector<std::string> lstField;
  };

  // Writes an entry; its id, 0 when it could not be written (the step must
  // then not act).
  DWORD kAdd(const std::string& strKind, const std::vector<std::string>& lstField);
  // Rewrites an entry's fields (after the step learnt what it really did).
  BOOL kUpdate(DWORD dwId, const std::string& strKind, const std::vector<std::string>& lstField);
  void kDrop(DWORD dwId);
  // Every entry, oldest first.
  static std::vector<CEntry> kRead();
  static BOOL kIsEmpty() { return kRead().empty(); }

  // The installation committed: backups deleted, every entry dropped. What
  // waits for the restart is reported by the caller, not kept here.
  static void kCommit();
  // Undoes every entry, newest first, and drops the ones undone. One line
  // per entry for the report: what was undone, or why it could not be.
  static std::vector<std::string> kUndo();

  // ---- Services ----------------------------------------------------------
  // The names of the running services that depend on the spooler, and the
  // spooler: what a stop may stop.
  static std::vector<std::string> kRunningSpoolerServices();
  // Starts a service unless it runs; TRUE when it runs afterwards.
  static BOOL kStartServiceIfStopped(const std::string& strName);
};
