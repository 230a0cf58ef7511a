// winsim: opening INF files and reading their sections, lines and fields.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <windows.h>
#include <setupapi.h>

#include "machine.h"
#include "setupapi/inf_handles.h"

using namespace winsim::setupapi;

namespace {

// The [Version] "Class" of a file, empty when it has none.
std::string infClass(const InfFile& file) {
  const int s = file.findSection("Version");
  const long pos = file.findKey(s, "Class", 0);
  std::string value;
  if (pos >= 0) file.field(file.line(s, static_cast<std::uint32_t>(pos)), 1, &value);
  return value;
}

// Layout of SP_INF_INFORMATION::VersionData, one record per file:
//   DWORD size of the record (this DWORD included)
//   the file's path, NUL-terminated
//   "key\0value\0" for each [Version] line, then one more NUL.
void appendVersionRecord(const InfFile& file, std::string* data) {
  std::string record(sizeof(DWORD), '\0');
  record += file.path();
  record.push_back('\0');
  const int s = file.findSection("Version");
  if (s >= 0) {
    for (std::uint32_t pos = 0; pos < file.sections()[static_cast<size_t>(s)].lines.size(); ++pos) {
      const InfLine& l = file.line(s, pos);
      std::string key;
      if (!file.field(l, 0, &key)) continue;
      record += key;
      record.push_back('\0');
      record += file.lineText(l);
      record.push_back('\0');
    }
  }
  record.push_back('\0');
  const DWORD size = static_cast<DWORD>(record.size());
  std::memcpy(record.data(), &size, sizeof size);
  *data += record;
}

}  // namespace

// SetupOpenInfFileA: opens an INF file. INVALID_HANDLE_VALUE on failure with
// ERROR_FILE_NOT_FOUND, a syntax error (and *ErrorLine), ERROR_WRONG_INF_STYLE
// (line 0) or ERROR_CLASS_MISMATCH. Success sets the last error to 0.
extern "C" HINF WINAPI SetupOpenInfFileA(PCSTR FileName, PCSTR InfClass, DWORD InfStyle, PUINT ErrorLine) {
  if (!FileName || !*FileName) {
    SetLastError(FileName ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  auto handle = std::make_unique<InfHandle>();
  handle->dirs = std::make_unique<DirTable>(machineDirs());
  std::shared_ptr<const InfFile> file;
  UINT line = 0;
  const DWORD error = loadInf(locateInf(FileName), InfStyle, *handle->dirs, &file, &line);
  if (error) {
    if (ErrorLine) *ErrorLine = line;
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  if (InfClass && !winsim::iequals(infClass(*file), InfClass)) {
    if (ErrorLine) *ErrorLine = 0;
    SetLastError(ERROR_CLASS_MISMATCH);
    return INVALID_HANDLE_VALUE;
  }
  handle->files.push_back(std::move(file));
  if (ErrorLine) *ErrorLine = 0;
  SetLastError(ERROR_SUCCESS);
  return registerInf(std::move(handle));
}

// SetupCloseInfFile: closes an INF handle and the files appended to it;
// a handle that is not open is ignored.
extern "C" VOID WINAPI SetupCloseInfFile(HINF InfHandle) { closeInf(InfHandle); }

// SetupOpenAppendInfFileA: appends a file (or, with no name, every
// [Version] LayoutFile of the first file) to an open handle. FALSE with
// ERROR_INVALID_HANDLE, ERROR_LINE_NOT_FOUND (no LayoutFile) or the error of
// the file that could not be opened; files appended before it stay.
extern "C" BOOL WINAPI SetupOpenAppendInfFileA(PCSTR FileName, HINF InfHandle, PUINT ErrorLine) {
  auto* handle = lookupInf(InfHandle);
  if (!handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::vector<std::string> names;
  if (FileName) {
    names.emplace_back(FileName);
  } else {
    const InfFile& first = *handle->files.front();
    const int s = first.findSection("Version");
    const long pos = first.findKey(s, "LayoutFile", 0);
    if (pos < 0) {
      SetLastError(ERROR_LINE_NOT_FOUND);
      return FALSE;
    }
    const InfLine& l = first.line(s, static_cast<std::uint32_t>(pos));
    for (DWORD i = 1; i <= l.fieldCount; ++i) {
      std::string name;
      first.field(l, i, &name);
      if (!name.empty()) names.push_back(name);
    }
  }
  for (const auto& name : names) {
    std::shared_ptr<const InfFile> file;
    UINT line = 0;
    const std::string path = locateInf(name);
    DWORD error = loadInf(path, INF_STYLE_WIN4, *handle->dirs, &file, &line);
    // A context names its file by the file's address: a file appended to a
    // handle that already holds it gets a model of its own.
    const auto holds = [&](const std::shared_ptr<const InfFile>& f) { return f == file; };
    if (!error && std::any_of(handle->files.begin(), handle->files.end(), holds)) {
      error = loadInfUncached(path, INF_STYLE_WIN4, *handle->dirs, &file, &line);
    }
    if (error) {
      if (ErrorLine) *ErrorLine = line;
      SetLastError(error);
      return FALSE;
    }
    handle->files.push_back(std::move(file));
  }
  if (ErrorLine) *ErrorLine = 0;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// SetupGetInfInformationA: the style and [Version] data of an INF given by
// handle or by name. FALSE with ERROR_INVALID_HANDLE, ERROR_FILE_NOT_FOUND,
// the file's syntax error, ERROR_INVALID_PARAMETER (no buffer but a size) or
// ERROR_INSUFFICIENT_BUFFER; *RequiredSize is set whenever the file was read.
extern "C" BOOL WINAPI SetupGetInfInformationA(LPCVOID InfSpec, DWORD SearchControl,
                                               PSP_INF_INFORMATION ReturnBuffer, DWORD ReturnBufferSize,
                                               PDWORD RequiredSize) {
  std::vector<const InfFile*> files;
  std::shared_ptr<const InfFile> owned;
  if (SearchControl == INFINFO_INF_SPEC_IS_HINF) {
    auto* handle = lookupInf(const_cast<void*>(InfSpec));
    if (!handle) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    for (const auto& f : handle->files) files.push_back(f.get());
  } else if (SearchControl >= INFINFO_INF_NAME_IS_ABSOLUTE && SearchControl <= INFINFO_INF_PATH_LIST_SEARCH) {
    const char* name = static_cast<const char*>(InfSpec);
    if (!name || !*name) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return FALSE;
    }
    std::string path = SearchControl == INFINFO_INF_NAME_IS_ABSOLUTE ? winsim::fullWinPath(name) : locateInf(name);
    if (SearchControl == INFINFO_REVERSE_DEFAULT_SEARCH && path.find_first_of("\\/") == std::string::npos) {
      path = locateInf(name);
    }
    // The parse is kept: a caller asking by name usually opens the file next.
    const DirTable dirs = machineDirs();
    const DWORD error = loadInf(path, INF_STYLE_OLDNT | INF_STYLE_WIN4, dirs, &owned, nullptr);
    if (error) {
      SetLastError(error);
      return FALSE;
    }
    files.push_back(owned.get());
  } else {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }

  std::string data;
  for (const InfFile* f : files) appendVersionRecord(*f, &data);
  const DWORD need = static_cast<DWORD>(offsetof(SP_INF_INFORMATION, VersionData) + data.size());
  if (RequiredSize) *RequiredSize = need;
  if (!ReturnBuffer) {
    if (ReturnBufferSize != 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
  }
  if (ReturnBufferSize < need) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  ReturnBuffer->InfStyle = files.front()->style();
  ReturnBuffer->InfCount = static_cast<DWORD>(files.size());
  std::memcpy(ReturnBuffer->VersionData, data.data(), data.size());
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// SetupQueryInfVersionInformationA: a [Version] value from the data of
// SetupGetInfInformationA (with no key: the key names as a multi-string).
// FALSE with ERROR_INVALID_PARAMETER (no data, index out of range),
// ERROR_LINE_NOT_FOUND or ERROR_INSUFFICIENT_BUFFER.
extern "C" BOOL WINAPI SetupQueryInfVersionInformationA(PSP_INF_INFORMATION InfInformation, UINT InfIndex,
                                                        PCSTR Key, PSTR ReturnBuffer, DWORD ReturnBufferSize,
                                                        PDWORD RequiredSize) {
  if (!InfInformation || InfIndex >= InfInformation->InfCount) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const BYTE* record = InfInformation->VersionData;
  DWORD size = 0;
  for (UINT i = 0;; ++i) {
    std::memcpy(&size, record, sizeof size);
    if (size < sizeof(DWORD) + 2) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    if (i == InfIndex) break;
    record += size;
  }
  const char* p = reinterpret_cast<const char*>(record) + sizeof(DWORD);
  const char* end = reinterpret_cast<const char*>(record) + size;
  p += std::strlen(p) + 1;  // the file's path
  std::string names;
  while (p < end && *p) {
    const char* key = p;
    p += std::strlen(p) + 1;
    const char* value = p;
    p += std::strlen(p) + 1;
    if (!Key) {
      names += key;
      names.push_back('\0');
    } else if (winsim::iequals(key, Key)) {
      return answerText(value, ReturnBuffer, ReturnBufferSize, RequiredSize);
    }
  }
  if (Key) {
    SetLastError(ERROR_LINE_NOT_FOUND);
    return FALSE;
  }
  // A multi-string: the text carries its inner NULs; answerText adds the last.
  return answerText(names, ReturnBuffer, ReturnBufferSize, RequiredSize);
}

// SetupFindFirstLineA: the first line of a section, or its first line with
// a key (compared after substitution, without regard to case), searching
// the appended files too. FALSE with ERROR_LINE_NOT_FOUND (also for a missing
// section) or ERROR_INVALID_HANDLE.
extern "C" BOOL WINAPI SetupFindFirstLineA(HINF InfHandle, PCSTR Section, PCSTR Key, PINFCONTEXT Context) {
  auto* handle = lookupInf(InfHandle);
  if (!handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!Section || !Context) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  LineRef ref;
  if (!findFirst(InfHandle, handle, Section, Key, &ref)) {
    SetLastError(ERROR_LINE_NOT_FOUND);
    return FALSE;
  }
  fillContext(ref, Context);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// SetupFindNextLine: the next line of the same section (continuing into
// appended files). FALSE with ERROR_LINE_NOT_FOUND at the end.
extern "C" BOOL WINAPI SetupFindNextLine(PINFCONTEXT ContextIn, PINFCONTEXT ContextOut) {
  return SetupFindNextMatchLineA(ContextIn, nullptr, ContextOut);
}

// SetupFindNextMatchLineA: the next line after the context with the key (any
// line when the key is NULL). FALSE with ERROR_LINE_NOT_FOUND.
extern "C" BOOL WINAPI SetupFindNextMatchLineA(PINFCONTEXT ContextIn, PCSTR Key, PINFCONTEXT ContextOut) {
  LineRef ref;
  if (!ContextOut || !resolveContext(ContextIn, &ref)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  LineRef next;
  if (!findNext(ref, Key, &next)) {
    SetLastError(ERROR_LINE_NOT_FOUND);
    return FALSE;
  }
  fillContext(next, ContextOut);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// SetupGetLineTextA: fields 1..n of a line (by context, or the first line
// with the key in the section) after substitution, joined with commas.
// FALSE with ERROR_LINE_NOT_FOUND, ERROR_INVALID_HANDLE or
// ERROR_INSUFFICIENT_BUFFER (*RequiredSize set).
extern "C" BOOL WINAPI SetupGetLineTextA(PINFCONTEXT Context, HINF InfHandle, PCSTR Section, PCSTR Key,
                                         PSTR ReturnBuffer, DWORD ReturnBufferSize, PDWORD RequiredSize) {
  LineRef ref;
  if (Context) {
    if (!resolveContext(Context, &ref)) return FALSE;
  } else {
    auto* handle = lookupInf(InfHandle);
    if (!handle) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    if (!Section || !Key || !findFirst(InfHandle, handle, Section, Key, &ref)) {
      SetLastError(ERROR_LINE_NOT_FOUND);
      return FALSE;
    }
  }
  // Asked twice for every value (its size, then its text): buffers of the
  // thread, reused, instead of new strings each time.
  thread_local std::string text;
  thread_local std::string field;
  ref.infFile().lineTextInto(ref.line(), &text, &field);
  return answerText(text, ReturnBuffer, ReturnBufferSize, RequiredSize);
}

// SetupGetStringFieldA: one field of a line after substitution (0 = the
// key). Clears the last error first; FALSE with the error still 0 for a
// field the line does not have, ERROR_INSUFFICIENT_BUFFER when the buffer is
// too small.
extern "C" BOOL WINAPI SetupGetStringFieldA(PINFCONTEXT Context, DWORD FieldIndex, PSTR ReturnBuffer,
                                            DWORD ReturnBufferSize, PDWORD RequiredSize) {
  SetLastError(ERROR_SUCCESS);
  LineRef ref;
  if (!resolveContext(Context, &ref)) return FALSE;
  // Every field of every model line comes through here: one buffer per
  // thread, reused, instead of a new string each time.
  thread_local std::string value;
  if (!ref.infFile().field(ref.line(), FieldIndex, &value)) return FALSE;
  return answerText(value, ReturnBuffer, ReturnBufferSize, RequiredSize);
}

// SetupGetIntField: a field read as a C integer (0x hex, leading 0 octal;
// an empty field is 0). FALSE with ERROR_INVALID_DATA when it is not a
// number, ERROR_INVALID_PARAMETER for a field the line does not have.
extern "C" BOOL WINAPI SetupGetIntField(PINFCONTEXT Context, DWORD FieldIndex, PINT IntegerValue) {
  LineRef ref;
  if (!resolveContext(Context, &ref)) return FALSE;
  std::string value;
  if (!ref.infFile().field(ref.line(), FieldIndex, &value)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  long long number = 0;
  if (!value.empty()) {
    char* end = nullptr;
    errno = 0;
    number = std::strtoll(value.c_str(), &end, 0);
    if (end == value.c_str() || *end != '\0') {
      SetLastError(ERROR_INVALID_DATA);
      return FALSE;
    }
    // Out of range values stop at the limits of INT, as the C library's
    // 32-bit strtol stops them on Windows.
    if (number > INT_MAX) number = INT_MAX;
    if (number < INT_MIN) number = INT_MIN;
  }
  if (!IntegerValue) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *IntegerValue = static_cast<INT>(number);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// SetupGetFieldCount: the number of fields of a line (the key not counted);
// 0 for an invalid context.
extern "C" DWORD WINAPI SetupGetFieldCount(PINFCONTEXT Context) {
  LineRef ref;
  if (!resolveContext(Context, &ref)) return 0;
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(ref.line().fieldCount);
}

// SetupGetLineCountA: the lines of a section over the handle's files; -1
// with ERROR_SECTION_NOT_FOUND when no file has it, ERROR_INVALID_HANDLE.
extern "C" LONG WINAPI SetupGetLineCountA(HINF InfHandle, PCSTR Section) {
  auto* handle = lookupInf(InfHandle);
  if (!handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  LONG count = -1;
  for (const auto& f : handle->files) {
    const int s = Section ? f->findSection(Section) : -1;
    if (s < 0) continue;
    count = (count < 0 ? 0 : count) + static_cast<LONG>(f->sections()[static_cast<size_t>(s)].lines.size());
  }
  SetLastError(count < 0 ? ERROR_SECTION_NOT_FOUND : ERROR_SUCCESS);
  return count;
}

// SetupGetLineByIndexA: the line of a section by 0-based index over the
// handle's files. FALSE with ERROR_LINE_NOT_FOUND.
extern "C" BOOL WINAPI SetupGetLineByIndexA(HINF InfHandle, PCSTR Section, DWORD Index, PINFCONTEXT Context) {
  auto* handle = lookupInf(InfHandle);
  if (!handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!Context) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD left = Index;
  for (size_t i = 0; Section && i < handle->files.size(); ++i) {
    const int s = handle->files[i]->findSection(Section);
    if (s < 0) continue;
    const DWORD n = static_cast<DWORD>(handle->files[i]->sections()[static_cast<size_t>(s)].lines.size());
    if (left < n) {
      fillContext(LineRef{handle, InfHandle, i, s, left}, Context);
      SetLastError(ERROR_SUCCESS);
      return TRUE;
    }
    left -= n;
  }
  SetLastError(ERROR_LINE_NOT_FOUND);
  return FALSE;
}
