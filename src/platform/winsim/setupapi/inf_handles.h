// winsim: open INF handles, line contexts and the helpers the Setup API
// entry points share.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>
#include <setupapi.h>

#include "setupapi/dir_table.h"
#include "setupapi/inf_file.h"

namespace winsim::setupapi {

// What an HINF stands for: the file opened first and the files appended to
// it, searched in that order. The parsed files are shared with the cache of
// loadInf and with other handles of the same file: they are never changed
// once loaded.
struct InfHandle {
  std::unique_ptr<DirTable> dirs;
  std::vector<std::shared_ptr<const InfFile>> files;
};

HINF registerInf(std::unique_ptr<InfHandle> handle);
// nullptr for NULL, INVALID_HANDLE_VALUE or a handle that is not open.
InfHandle* lookupInf(HINF inf);
bool closeInf(HINF inf);

// One line of an open handle.
struct LineRef {
  InfHandle* handle = nullptr;
  HINF inf = nullptr;
  size_t file = 0;
  int section = -1;
  std::uint32_t pos = 0;

  const InfFile& infFile() const { return *handle->files[file]; }
  const InfLine& line() const { return infFile().line(section, pos); }
};
// Validates a context given by a caller; false (ERROR_INVALID_PARAMETER set)
// when it does not name a line of an open handle.
bool resolveContext(const INFCONTEXT* context, LineRef* ref);
void fillContext(const LineRef& ref, INFCONTEXT* context);

// The first line of `section` (with `key` when given) in the handle's files
// in order, and the next one after `from`.
bool findFirst(HINF inf, InfHandle* handle, const char* section, const char* key, LineRef* out);
bool findNext(const LineRef& from, const char* key, LineRef* out);

// Reads, parses and checks an INF file. Returns 0 or the error for
// SetLastError; `errorLine` receives the line of a syntax error (0 for a
// style error).
// A caller asks for the same INF several times in a row (its [Version]
// data by name, then an open handle): the last few files parsed are kept,
// each for its path, its bytes and everything the parse depends on (the
// machine's field limit and language, the folder table `dirs`), so the
// file is parsed once. A file changed on disk is parsed again.
DWORD loadInf(const std::string& winPath, DWORD style, const DirTable& dirs, std::shared_ptr<const InfFile>* out,
              UINT* errorLine);
// Empties the cache of loadInf (files still open stay open): for a caller
// that must end with the memory it started with.
void forgetCachedInfs();
// Parses the file anew, never from the cache nor into it.
DWORD loadInfUncached(const std::string& winPath, DWORD style, const DirTable& dirs,
                      std::shared_ptr<const InfFile>* out, UINT* errorLine);
// INF files held in memory: a harness that feeds the INF reader thousands of
// files a second registers each one's bytes under its Windows path instead
// of writing a file, and every open of that path (by name or by handle, the
// cache of loadInf included) reads those bytes as it would read the file's.
// The path is compared as fullWinPath gives it, without regard to case.
// Only reads are answered: other calls on the path (a search for the file, a
// copy) still see the machine's file system.
void setMemoryInf(const std::string& winPath, std::string bytes);
void clearMemoryInfs();
// An INF given as its bytes, opened as SetupOpenInfFileA opens a file
// (without a class check) and named `winPath` (for DIRID 1), for the machine
// given by `dirs`, `options` and `language`: the file path reads the file
// and parses it the same way. INVALID_HANDLE_VALUE with the
// last error and *errorLine set as SetupOpenInfFileA sets them. Close it
// with SetupCloseInfFile.
HINF openInfBuffer(std::string_view bytes, const std::string& winPath, DWORD style, const DirTable& dirs,
                   const ParseOptions& options, LANGID language, UINT* errorLine);
// What a parse on this machine depends on: the field limit of its release
// and its language (for [Strings.LLLL]).
ParseOptions optionsForMachine();
LANGID machineLanguage();
// DirTable::forMachine(), read again only when the machine has changed.
DirTable machineDirs();
// The folder name of the process's spooler environment ("w32x86", "x64").
std::string machineEnvironmentDir();
// A bare file name is looked for in the INF folder, then in system32; a
// name with a path is made absolute.
std::string locateInf(const std::string& name);

// The two-call sizing pattern of the Setup API: `required` always receives
// the size with the NUL; no buffer is success; a buffer too small is FALSE
// with ERROR_INSUFFICIENT_BUFFER. Success sets the last error to 0.
BOOL answerText(const std::string& text, PSTR buffer, DWORD size, PDWORD required);

}  // namespace winsim::setupapi
