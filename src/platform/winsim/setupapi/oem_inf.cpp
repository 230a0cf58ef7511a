// winsim: SetupCopyOEMInfA, the copy of a package's INF into the INF folder.
#include <cstring>
#include <regex>
#include <set>

#include <windows.h>
#include <setupapi.h>

#include "faults.h"
#include "machine.h"
#include "machine_settings.h"
#include "setupapi/dir_table.h"
#include "setupapi/inf_file.h"
#include "setupapi/inf_handles.h"

namespace {

namespace fs = winsim::fs;

bool isAbsolute(const std::string& path) {
  return (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
         (path.size() >= 2 && path[0] == '\\' && path[1] == '\\');
}

// The copy of `bytes` already in the INF folder: an oem<N>.inf of the same
// content, or a file of the source's own name with the same content.
std::string findExisting(const fs::path& infDir, const std::string& ownName, const std::string& bytes) {
  static const std::regex kOem("oem[0-9]+\\.inf", std::regex::icase);
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(infDir, ec)) {
    const std::string name = entry.path().filename().string();
    if (!std::regex_match(name, kOem) && !winsim::iequals(name, ownName)) continue;
    if (!entry.is_regular_file(ec) || entry.file_size(ec) != bytes.size()) continue;
    auto other = winsim::readWholeFile(entry.path());
    if (other && *other == bytes) return name;
  }
  return {};
}

// The lowest oem<N>.inf name not in use (names compare without case).
std::string freeOemName(const fs::path& infDir) {
  std::set<std::string> used;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(infDir, ec)) used.insert(winsim::toLower(entry.path().filename().string()));
  for (unsigned n = 0;; ++n) {
    std::string name = "oem" + std::to_string(n) + ".inf";
    if (!used.count(name)) return name;
  }
}

// The catalogue file the INF's [Version] names for this system: the entry
// decorated for its platform (CatalogFile.NTamd64) first, then
// CatalogFile.NT, then CatalogFile; empty when it names none.
std::string catalogueOf(const winsim::setupapi::InfFile& inf) {
  const int version = inf.findSection("Version");
  if (version < 0) return {};
  const std::string arch = winsim::machineSettings().architecture;
  for (const std::string& key : {"CatalogFile.NT" + arch, std::string("CatalogFile.NT"), std::string("CatalogFile")}) {
    const long at = inf.findKey(version, key, 0);
    if (at < 0) continue;
    std::string name;
    if (inf.field(inf.line(version, static_cast<std::uint32_t>(at)), 1, &name) && !name.empty()) return name;
  }
  return {};
}

}  // namespace

// SetupCopyOEMInfA: copies an INF (given by full path) into the INF folder as
// oem<N>.inf, unless the same file is already there, and returns the name of
// the copy. FALSE with ERROR_ACCESS_DENIED (no administrator rights),
// ERROR_INVALID_PARAMETER, ERROR_FILE_NOT_FOUND (missing or relative name,
// or the catalogue the INF names is not beside it: the catalogue is
// installed with the INF),
// the INF's syntax error, ERROR_FILE_EXISTS (SP_COPY_NOOVERWRITE and a copy
// exists; its name is returned), or ERROR_INSUFFICIENT_BUFFER (the copy is
// made all the same, as on Windows).
extern "C" BOOL WINAPI SetupCopyOEMInfA(PCSTR SourceInfFileName, PCSTR OEMSourceMediaLocation,
                                        DWORD OEMSourceMediaType, DWORD CopyStyle, PSTR DestinationInfFileName,
                                        DWORD DestinationInfFileNameSize, PDWORD RequiredSize,
                                        PSTR* DestinationInfFileNameComponent) {
  (void)OEMSourceMediaLocation;
  winsim::faults::holdAt("SetupCopyOEMInfA");
  if (!SourceInfFileName || OEMSourceMediaType >= SPOST_MAX) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!winsim::machineSettings().admin) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const std::string source = SourceInfFileName;
  auto host = isAbsolute(source) ? winsim::hostPath(source) : std::nullopt;
  std::error_code ec;
  if (!host || !fs::is_regular_file(*host, ec)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  // Only a readable INF is copied.
  winsim::setupapi::DirTable dirs = winsim::setupapi::DirTable::forMachine();
  std::shared_ptr<const winsim::setupapi::InfFile> parsed;
  if (DWORD error = winsim::setupapi::loadInf(winsim::fullWinPath(source), INF_STYLE_OLDNT | INF_STYLE_WIN4, dirs,
                                              &parsed, nullptr)) {
    SetLastError(error);
    return FALSE;
  }
  const std::string catalogue = catalogueOf(*parsed);
  if (!catalogue.empty()) {
    const std::string full = winsim::fullWinPath(source);
    const auto catHost = catalogue.find_first_of("\\/:") == std::string::npos
                             ? winsim::hostPath(full.substr(0, full.find_last_of('\\') + 1) + catalogue)
                             : std::nullopt;
    if (!catHost || !fs::is_regular_file(*catHost, ec)) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return FALSE;
    }
  }
  auto bytes = winsim::readWholeFile(*host);
  if (!bytes) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const std::string infDirWin = std::string(winsim::setupapi::windowsFolder()) + "\\inf";
  const auto infDir = winsim::hostPath(infDirWin);
  std::string name;
  bool existed = false;
  {
    winsim::MachineLock lock;
    fs::create_directories(*infDir, ec);
    name = findExisting(*infDir, host->filename().string(), *bytes);
    existed = !name.empty();
    if (!existed && (CopyStyle & SP_COPY_REPLACEONLY)) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return FALSE;
    }
    if (!existed) {
      name = freeOemName(*infDir);
      if (!winsim::atomicWriteFile(*infDir / name, *bytes)) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
      }
    }
  }
  const std::string dest = infDirWin + "\\" + name;
  const DWORD need = static_cast<DWORD>(dest.size() + 1);
  if (RequiredSize) *RequiredSize = need;
  if (DestinationInfFileName) {
    if (DestinationInfFileNameSize < need) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    std::memcpy(DestinationInfFileName, dest.c_str(), need);
    if (DestinationInfFileNameComponent) {
      *DestinationInfFileNameComponent = DestinationInfFileName + (dest.size() - name.size());
    }
  }
  if (existed && (CopyStyle & SP_COPY_NOOVERWRITE)) {
    SetLastError(ERROR_FILE_EXISTS);
    return FALSE;
  }
  if (CopyStyle & SP_COPY_DELETESOURCE) fs::remove(*host, ec);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
