// winsim: target folders ([DestinationDirs]) and source media
// ([SourceDisksNames], [SourceDisksFiles]) of INF files.
#include <cstdlib>
#include <string>

#include <windows.h>
#include <setupapi.h>

#include "setupapi/inf_handles.h"
#include "winspool/directories.h"

using namespace winsim::setupapi;

namespace {

bool readInt(const LineRef& ref, DWORD index, long* value) {
  std::string text;
  if (!ref.infFile().field(ref.line(), index, &text) || text.empty()) return false;
  char* end = nullptr;
  *value = std::strtol(text.c_str(), &end, 0);
  return *end == '\0';
}

std::string fieldOrEmpty(const LineRef& ref, DWORD index) {
  std::string text;
  ref.infFile().field(ref.line(), index, &text);
  return text;
}

std::string trimSlashes(std::string text) {
  while (!text.empty() && (text.back() == '\\' || text.back() == '/')) text.pop_back();
  size_t start = 0;
  while (start < text.size() && (text[start] == '\\' || text[start] == '/')) ++start;
  return text.substr(start);
}

// Joins a folder and a relative path; a folder never keeps a trailing
// backslash except a drive root.
std::string joinPath(std::string base, const std::string& sub) {
  const std::string rel = trimSlashes(sub);
  if (!rel.empty()) {
    if (!base.empty() && base.back() != '\\') base.push_back('\\');
    base += rel;
  }
  while (base.size() > 3 && base.back() == '\\') base.pop_back();
  return base;
}

// The decoration of the platform sections the running process reads:
// [SourceDisksNames.amd64] before [SourceDisksNames].
std::string platformSuffix() {
  const std::string dir = machineEnvironmentDir();
  if (dir == "w32x86") return ".x86";
  if (dir == "x64") return ".amd64";
  return "." + dir;
}

bool findDecorated(HINF inf, InfHandle* handle, const std::string& section, const std::string& key,
                   LineRef* out) {
  return findFirst(inf, handle, (section + platformSuffix()).c_str(), key.c_str(), out) ||
         findFirst(inf, handle, section.c_str(), key.c_str(), out);
}

}  // namespace

// SetupGetTargetPathA: the folder a copy section goes to, from its
// [DestinationDirs] entry, else DefaultDestDir, else the system folder.
// FALSE with ERROR_INVALID_HANDLE, ERROR_INVALID_DATA (a directory id that is
// not a number) or ERROR_INSUFFICIENT_BUFFER (*RequiredSize set).
extern "C" BOOL WINAPI SetupGetTargetPathA(HINF InfHandle, PINFCONTEXT InfContext, PCSTR Section,
                                           PSTR ReturnBuffer, DWORD ReturnBufferSize, PDWORD RequiredSize) {
  std::string sectionName;
  winsim::setupapi::InfHandle* handle = nullptr;
  HINF inf = InfHandle;
  if (InfContext) {
    LineRef ctx;
    if (!resolveContext(InfContext, &ctx)) return FALSE;
    handle = ctx.handle;
    inf = ctx.inf;
    sectionName = ctx.infFile().sections()[static_cast<size_t>(ctx.section)].name;
  } else {
    handle = lookupInf(InfHandle);
    if (Section) sectionName = Section;
  }
  if (!handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  LineRef entry;
  const bool found = (!sectionName.empty() && findFirst(inf, handle, "DestinationDirs", sectionName.c_str(), &entry)) ||
                     findFirst(inf, handle, "DestinationDirs", "DefaultDestDir", &entry);
  std::string path;
  if (!found) {
    path = *handle->dirs->resolve(DIRID_DEFAULT, "");
  } else {
    long dirid = 0;
    if (!readInt(entry, 1, &dirid)) {
      SetLastError(ERROR_INVALID_DATA);
      return FALSE;
    }
    const std::string sub = fieldOrEmpty(entry, 2);
    if (dirid == DIRID_ABSOLUTE || dirid == DIRID_ABSOLUTE_16BIT) {
      path = joinPath(sub, "");
    } else {
      auto base = handle->dirs->resolve(dirid, entry.infFile().folder());
      path = joinPath(base ? *base : handle->dirs->systemDir() + "\\unknown", sub);
    }
  }
  return answerText(path, ReturnBuffer, ReturnBufferSize, RequiredSize);
}

// SetupGetSourceFileLocationA: the source disk id of a file listed in
// [SourceDisksFiles(.platform)] and its path on that disk (relative, no
// leading or trailing backslash). FALSE with ERROR_LINE_NOT_FOUND when the
// file or its disk is not listed.
extern "C" BOOL WINAPI SetupGetSourceFileLocationA(HINF InfHandle, PINFCONTEXT InfContext, PCSTR FileName,
                                                   PUINT SourceId, PSTR ReturnBuffer, DWORD ReturnBufferSize,
                                                   PDWORD RequiredSize) {
  auto* handle = lookupInf(InfHandle);
  std::string name = FileName ? FileName : "";
  if (InfContext) {
    LineRef ctx;
    if (!resolveContext(InfContext, &ctx)) return FALSE;
    handle = ctx.handle;
    InfHandle = ctx.inf;
    // A copy-section line names the target, then optionally the source file.
    name = fieldOrEmpty(ctx, 2);
    if (name.empty()) name = fieldOrEmpty(ctx, 1);
  }
  if (!handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!SourceId || name.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  LineRef file;
  LineRef disk;
  long id = 0;
  if (!findDecorated(InfHandle, handle, "SourceDisksFiles", name, &file) || !readInt(file, 1, &id) ||
      !findDecorated(InfHandle, handle, "SourceDisksNames", std::to_string(id), &disk)) {
    SetLastError(ERROR_LINE_NOT_FOUND);
    return FALSE;
  }
  const std::string diskPath = trimSlashes(fieldOrEmpty(disk, 4));
  const std::string sub = trimSlashes(fieldOrEmpty(file, 2));
  std::string path = diskPath;
  if (!sub.empty()) path = path.empty() ? sub : path + "\\" + sub;
  *SourceId = static_cast<UINT>(id);
  return answerText(path, ReturnBuffer, ReturnBufferSize, RequiredSize);
}

// SetupGetSourceInfoA: one item of a [SourceDisksNames(.platform)] line:
// path, tag file, description, flags or second tag file. FALSE with
// ERROR_LINE_NOT_FOUND for an unknown disk, ERROR_INVALID_PARAMETER for an
// unknown item.
extern "C" BOOL WINAPI SetupGetSourceInfoA(HINF InfHandle, UINT SourceId, UINT InfoDesired, PSTR ReturnBuffer,
                                           DWORD ReturnBufferSize, PDWORD RequiredSize) {
  static const DWORD kFieldOf[] = {0, 4, 2, 1, 5, 6};  // by SRCINFO_* value
  auto* handle = lookupInf(InfHandle);
  if (!handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (InfoDesired < SRCINFO_PATH || InfoDesired > SRCINFO_TAGFILE2) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  LineRef disk;
  if (!findDecorated(InfHandle, handle, "SourceDisksNames", std::to_string(SourceId), &disk)) {
    SetLastError(ERROR_LINE_NOT_FOUND);
    return FALSE;
  }
  return answerText(fieldOrEmpty(disk, kFieldOf[InfoDesired]), ReturnBuffer, ReturnBufferSize, RequiredSize);
}
