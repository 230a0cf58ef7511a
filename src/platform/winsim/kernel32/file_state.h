// winsim: what the simulated file system keeps beside the host's files.
//
// The host file system holds names, data and times. What Windows keeps and a
// Linux file system does not is kept here, in small tables under the machine
// root, shared by every process of the machine:
//   files/attributes   the DOS attributes set on a file (read-only, hidden, ...)
//   files/locks        files held in use by another program (`kvsim file lock`)
//   files/open/<pid>   the files each process has open, with access and
//                      sharing, so that a conflicting open fails in any process
// Every table is read and written under MachineLock; attributes and locks are
// replaced atomically, so a crash never leaves a torn table behind.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include "machine.h"

namespace winsim::files {

// The key of a file in every table: the lower-cased Windows form of its host
// path ("c:\\windows\\system32\\x.dll"). The same file reached through Z: has
// the same key, because winPath() gives drive_c paths their C: form.
std::string fileKey(const fs::path& host);

// ---- Table text ---------------------------------------------------------------
// One record a line: a hex number, a tab, a key. Keys are escaped so that any
// byte can be stored (%XX for bytes below 0x20 and '%'). parseTable skips lines
// it cannot read instead of failing: a damaged table loses only those records.
struct Record {
  std::uint32_t value = 0;
  std::string key;
};
std::vector<Record> parseTable(std::string_view text);
std::string formatTable(const std::vector<Record>& records);

// ---- Attributes -----------------------------------------------------------------
// The stored attributes of a file or folder, if any were ever set.
std::optional<DWORD> storedAttributes(const std::string& key);
bool setStoredAttributes(const std::string& key, DWORD attributes);
// Forgets the entry of `key` and, with `subtree`, of everything below it.
bool forgetAttributes(const std::string& key, bool subtree);
// Moves the entries of `from` (and below it) to `to`.
bool moveAttributes(const std::string& from, const std::string& to);

// ---- Files held in use by another program -------------------------------------------
// Image: the file is loaded as a module by another process (a DLL in use).
//   Reading is allowed; writing fails with ERROR_SHARING_VIOLATION, deleting or
//   replacing it with ERROR_ACCESS_DENIED; renaming it is allowed and the lock
//   follows the file, as the loader keeps the renamed file mapped.
// Exclusive: the file is open in another process with no sharing at all; every
//   open, delete and rename fails with ERROR_SHARING_VIOLATION.
enum class LockMode : std::uint32_t { Image = 1, Exclusive = 2 };
std::optional<LockMode> lockOf(const std::string& key);
bool setLock(const std::string& key, LockMode mode);
bool clearLock(const std::string& key);
bool moveLock(const std::string& from, const std::string& to);
std::vector<Record> allLocks();

// ---- Open files and sharing ------------------------------------------------------------
// The kinds of access that matter for sharing.
inline constexpr DWORD kFileExecute = 0x0020;
inline constexpr DWORD kReadAccess = FILE_READ_DATA | kFileExecute;
inline constexpr DWORD kWriteAccess = FILE_WRITE_DATA | FILE_APPEND_DATA;
inline constexpr DWORD kDeleteAccess = DELETE;
// GENERIC_* rights mapped onto the file rights they stand for.
DWORD mapGenericAccess(DWORD access);

// Whether a new open with `access` and `share` can coexist with every open of
// the file in this machine (this process, other processes and locks).
// Returns 0 or ERROR_SHARING_VIOLATION. `deleting` marks an open whose purpose
// is to delete or replace the file: an image lock then answers
// ERROR_ACCESS_DENIED, as Windows does for a mapped module.
DWORD checkSharing(const std::string& key, DWORD access, DWORD share, bool deleting);

// Records an open of this process; returns its id for closeOpen.
std::uint64_t recordOpen(const std::string& key, DWORD access, DWORD share);
void closeOpen(std::uint64_t id);
// The number of opens of this process on `key`.
int openCount(const std::string& key);
// Open handles follow a rename of their file.
void renameOpens(const std::string& from, const std::string& to);

// ---- Fault knobs and settings ------------------------------------------------------------
// HKLM\SOFTWARE\KVSim\Faults "DiskFull": every write fails for lack of space.
bool diskFull();
// HKLM\SOFTWARE\KVSim\Machine "Admin" (default: administrator).
bool isAdministrator();

}  // namespace winsim::files
