// winsim: installing, enumerating and associating colour profiles.
//
// An installed profile is a file in the colour directory registered where
// Windows registers it: one REG_SZ value per profile, named after its file
// and holding its full path, under the key
// HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ICM\<class>
// where <class> is the profile's ICC class as text ("prtr", "mntr", ...).
// The profiles associated with a printer are the printer's own data: the
// REG_MULTI_SZ value "ICMProfile" of its key
// ...\Control\Print\Printers\<printer>\PrinterDriverData
// (file names in association order), so they go when the printer goes.
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>
#include <icm.h>

#include "advapi32/registry_store.h"
#include "machine.h"
#include "modules.h"
#include "mscms/color_directory.h"
#include "mscms/icc_header.h"
#include "winspool/spool_store.h"

namespace {

namespace ws = winsim;
namespace reg = winsim::reg;
using reg::Hive;

constexpr const char* kIcmKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ICM";
constexpr const char* kAssociationValue = "ICMProfile";

struct InstalledProfile {
  std::string file;  // the file name, without folder
  DWORD profileClass;
};

// Every installed profile, class by class in the registry's order.
std::vector<InstalledProfile> installedProfiles() {
  std::vector<InstalledProfile> list;
  reg::inspect(Hive::LocalMachine, [&](const reg::Editor& hive) {
    for (const std::string& cls : hive.subKeys(kIcmKey)) {
      if (cls.size() != 4) continue;
      const DWORD code = (DWORD{static_cast<unsigned char>(cls[0])} << 24) |
                         (DWORD{static_cast<unsigned char>(cls[1])} << 16) |
                         (DWORD{static_cast<unsigned char>(cls[2])} << 8) | DWORD{static_cast<unsigned char>(cls[3])};
      for (const auto& [name, value] : hive.values(std::string(kIcmKey) + "\\" + cls)) {
        if (!name.empty()) list.push_back({name, code});
      }
    }
  });
  return list;
}

const InstalledProfile* findInstalled(const std::vector<InstalledProfile>& list, std::string_view file) {
  for (const auto& p : list) {
    if (ws::iequals(p.file, file)) return &p;
  }
  return nullptr;
}

std::string fileNamePart(std::string_view path) {
  const size_t cut = path.find_last_of("\\/:");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

// The file name of a profile given by bare name or by a path into the
// colour directory; "" for a path anywhere else.
std::string profileInColorDirectory(std::string_view profile) {
  const std::string file = fileNamePart(profile);
  if (file.size() == profile.size()) return file;
  const std::string full = ws::fullWinPath(profile);
  const std::string dir = ws::colorDirectory();
  if (full.size() != dir.size() + 1 + file.size() || !ws::iequals(std::string_view(full).substr(0, dir.size()), dir))
    return {};
  return file;
}

bool colorFileExists(const std::string& file) {
  const auto host = ws::hostPath(ws::colorDirectory() + "\\" + file);
  std::error_code ec;
  return host && ws::fs::is_regular_file(*host, ec);
}

// The key of a local printer's own data, under the name the printer was
// created with; nothing for an unknown printer.
std::optional<std::string> printerDataKey(const reg::Editor& hive, std::string_view device) {
  for (const std::string& name : hive.subKeys(ws::spool::kPrintersKey)) {
    if (ws::iequals(name, device)) return std::string(ws::spool::kPrintersKey) + "\\" + name + "\\PrinterDriverData";
  }
  return std::nullopt;
}

// The checks every entry point makes: the local machine only.
bool localMachine(PCSTR pMachineName) {
  if (pMachineName && *pMachineName) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
  }
  return true;
}

// Changes the association list of a printer; `change` answers the Win32
// error of the change, or ERROR_SUCCESS.
BOOL editAssociations(PCSTR pDeviceName, const std::function<DWORD(std::vector<std::string>&)>& change) {
  DWORD error = ERROR_SUCCESS;
  const bool done = reg::transact(Hive::LocalMachine, [&](reg::Editor& hive) {
    const auto key = printerDataKey(hive, pDeviceName);
    if (!key) {
      error = ERROR_INVALID_PRINTER_NAME;
      return false;
    }
    auto list = hive.getMultiString(*key, kAssociationValue);
    error = change(list);
    if (error != ERROR_SUCCESS) return false;
    return hive.createKey(*key) && hive.setMultiString(*key, kAssociationValue, list);
  });
  if (error == ERROR_SUCCESS && !done) error = ERROR_WRITE_FAULT;
  SetLastError(error);
  return error == ERROR_SUCCESS;
}

}  // namespace

// EnumColorProfilesA: the installed profiles the record selects, as file
// names each ended by a NUL with one more NUL at the end. ET_DEVICENAME
// selects the profiles associated with that printer, in association order;
// ET_CLASS those of one class; both together those of the device of that
// class; the other ET_ fields select nothing more. A record whose dwSize or
// dwVersion is not that of ENUMTYPEA version 0x0300, or no record or size,
// gives FALSE, ERROR_INVALID_PARAMETER; an unknown printer
// ERROR_INVALID_PRINTER_NAME. When the buffer is missing or smaller than the
// answer: FALSE, ERROR_INSUFFICIENT_BUFFER and the bytes needed. An empty
// answer is one NUL (one byte) and a count of 0.
extern "C" BOOL WINAPI EnumColorProfilesA(PCSTR pMachineName, PENUMTYPEA pEnumRecord, PBYTE pEnumerationBuffer,
                                          PDWORD pdwSizeOfEnumerationBuffer, PDWORD pnProfiles) {
  if (!localMachine(pMachineName)) return FALSE;
  if (!pEnumRecord || !pdwSizeOfEnumerationBuffer || pEnumRecord->dwSize != sizeof(ENUMTYPEA) ||
      pEnumRecord->dwVersion != ENUM_TYPE_VERSION) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const ENUMTYPEA& record = *pEnumRecord;
  const auto installed = installedProfiles();
  std::vector<std::string> names;
  if (record.dwFields & ET_DEVICENAME) {
    if (!record.pDeviceName) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    std::optional<std::string> key;
    std::vector<std::string> associated;
    reg::inspect(Hive::LocalMachine, [&](const reg::Editor& hive) {
      key = printerDataKey(hive, record.pDeviceName);
      if (key) associated = hive.getMultiString(*key, kAssociationValue);
    });
    if (!key) {
      SetLastError(ERROR_INVALID_PRINTER_NAME);
      return FALSE;
    }
    // Associations of profiles uninstalled since are passed over.
    for (const std::string& file : associated) {
      const InstalledProfile* p = findInstalled(installed, file);
      if (p && (!(record.dwFields & ET_CLASS) || p->profileClass == record.dwClass)) names.push_back(p->file);
    }
  } else {
    for (const auto& p : installed) {
      if (!(record.dwFields & ET_CLASS) || p.profileClass == record.dwClass) names.push_back(p.file);
    }
  }
  DWORD needed = 1;
  for (const auto& n : names) needed += static_cast<DWORD>(n.size() + 1);
  if (!pEnumerationBuffer || *pdwSizeOfEnumerationBuffer < needed) {
    *pdwSizeOfEnumerationBuffer = needed;
    if (pnProfiles) *pnProfiles = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  char* out = reinterpret_cast<char*>(pEnumerationBuffer);
  for (const auto& n : names) {
    std::memcpy(out, n.c_str(), n.size() + 1);
    out += n.size() + 1;
  }
  *out = '\0';
  *pdwSizeOfEnumerationBuffer = needed;
  if (pnProfiles) *pnProfiles = static_cast<DWORD>(names.size());
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// InstallColorProfileA: copies the profile into the colour directory and
// registers it under its ICC class. A bare name that is not found in the
// current directory is taken from the colour directory, where a driver's
// profiles are copied before they are installed. Installing an installed
// profile again succeeds and replaces it. FALSE with ERROR_INVALID_PARAMETER
// for no name, ERROR_FILE_NOT_FOUND for a missing file, ERROR_INVALID_PROFILE
// for a file that is no ICC profile (then nothing is copied), and the copy's
// error when the copy fails.
extern "C" BOOL WINAPI InstallColorProfileA(PCSTR pMachineName, PCSTR pProfileName) {
  if (!localMachine(pMachineName)) return FALSE;
  if (!pProfileName || !*pProfileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string file = fileNamePart(pProfileName);
  const std::string target = ws::colorDirectory() + "\\" + file;
  std::error_code ec;
  auto source = ws::hostPath(pProfileName);
  if ((!source || !ws::fs::is_regular_file(*source, ec)) && file.size() == std::strlen(pProfileName))
    source = ws::hostPath(target);
  if (file.empty() || !source || !ws::fs::is_regular_file(*source, ec)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  // Only the header is read; the size tells whether the declared size fits.
  std::uint8_t header[ws::icm::kIccHeaderBytes] = {};
  std::ifstream in(*source, std::ios::binary);
  in.read(reinterpret_cast<char*>(header), sizeof header);
  const auto got = static_cast<size_t>(in.gcount());
  const auto fileSize = ws::fs::file_size(*source, ec);
  const auto parsed = ec ? std::nullopt : ws::icm::readIccHeader(header, got, fileSize);
  const std::string cls = parsed ? ws::icm::signatureText(parsed->profileClass) : std::string();
  if (cls.empty()) {
    SetLastError(ERROR_INVALID_PROFILE);
    return FALSE;
  }
  const auto dest = ws::hostPath(target);
  if (!dest) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (!ws::fs::equivalent(*source, *dest, ec)) {
    ws::fs::copy_file(*source, *dest, ws::fs::copy_options::overwrite_existing, ec);
    if (ec) {
      SetLastError(ec == std::errc::no_space_on_device ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED);
      return FALSE;
    }
  }
  const bool ok = reg::transact(Hive::LocalMachine, [&](reg::Editor& hive) {
    // One registration per file name: a new file of that name may be of
    // another class.
    for (const std::string& other : hive.subKeys(kIcmKey)) hive.deleteValue(std::string(kIcmKey) + "\\" + other, file);
    const std::string key = std::string(kIcmKey) + "\\" + cls;
    return hive.createKey(key) && hive.setString(key, file, target);
  });
  if (!ok) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// UninstallColorProfileA: removes the registration of an installed profile
// (bare name or path into the colour directory) and, with bDelete, its file.
// FALSE with ERROR_FILE_NOT_FOUND when it is not installed. Printers keep
// their association entries, which no longer enumerate.
extern "C" BOOL WINAPI UninstallColorProfileA(PCSTR pMachineName, PCSTR pProfileName, BOOL bDelete) {
  if (!localMachine(pMachineName)) return FALSE;
  if (!pProfileName || !*pProfileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string file = profileInColorDirectory(pProfileName);
  const auto installed = installedProfiles();
  const InstalledProfile* p = file.empty() ? nullptr : findInstalled(installed, file);
  if (!p) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  const std::string key = std::string(kIcmKey) + "\\" + ws::icm::signatureText(p->profileClass);
  reg::deleteValue(Hive::LocalMachine, key, p->file);
  if (bDelete) {
    std::error_code ec;
    if (const auto host = ws::hostPath(ws::colorDirectory() + "\\" + p->file)) ws::fs::remove(*host, ec);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// AssociateColorProfileWithDeviceA: appends an installed profile (bare name
// or path into the colour directory) to the printer's association list;
// one already associated keeps its place. FALSE with ERROR_FILE_NOT_FOUND
// when no such file is in the colour directory, ERROR_INVALID_PROFILE when
// the file is there but not installed, ERROR_INVALID_PRINTER_NAME for an
// unknown printer.
extern "C" BOOL WINAPI AssociateColorProfileWithDeviceA(PCSTR pMachineName, PCSTR pProfileName, PCSTR pDeviceName) {
  if (!localMachine(pMachineName)) return FALSE;
  if (!pProfileName || !*pProfileName || !pDeviceName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string file = profileInColorDirectory(pProfileName);
  if (file.empty() || !colorFileExists(file)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  const auto installed = installedProfiles();
  const InstalledProfile* p = findInstalled(installed, file);
  if (!p) {
    SetLastError(ERROR_INVALID_PROFILE);
    return FALSE;
  }
  const std::string name = p->file;
  return editAssociations(pDeviceName, [&](std::vector<std::string>& list) {
    for (const auto& item : list) {
      if (ws::iequals(item, name)) return static_cast<DWORD>(ERROR_SUCCESS);
    }
    list.push_back(name);
    return static_cast<DWORD>(ERROR_SUCCESS);
  });
}

// DisassociateColorProfileFromDeviceA: removes a profile (bare name or path
// into the colour directory) from the printer's association list. FALSE
// with ERROR_PROFILE_NOT_ASSOCIATED_WITH_DEVICE when it is not on the list,
// ERROR_INVALID_PRINTER_NAME for an unknown printer.
extern "C" BOOL WINAPI DisassociateColorProfileFromDeviceA(PCSTR pMachineName, PCSTR pProfileName,
                                                           PCSTR pDeviceName) {
  if (!localMachine(pMachineName)) return FALSE;
  if (!pProfileName || !*pProfileName || !pDeviceName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string file = profileInColorDirectory(pProfileName);
  return editAssociations(pDeviceName, [&](std::vector<std::string>& list) {
    for (auto it = list.begin(); it != list.end(); ++it) {
      if (!file.empty() && ws::iequals(*it, file)) {
        list.erase(it);
        return static_cast<DWORD>(ERROR_SUCCESS);
      }
    }
    return static_cast<DWORD>(ERROR_PROFILE_NOT_ASSOCIATED_WITH_DEVICE);
  });
}

static const winsim::ExportRegistrar kProfileExports(
    "mscms.dll", {WINSIM_EXPORT(EnumColorProfilesA), WINSIM_EXPORT(InstallColorProfileA),
                  WINSIM_EXPORT(UninstallColorProfileA), WINSIM_EXPORT(AssociateColorProfileWithDeviceA),
                  WINSIM_EXPORT(DisassociateColorProfileFromDeviceA)});
