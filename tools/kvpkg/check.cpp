// kvpkg check: everything wrong with a package at once, the way a package
// engineer wants it before shipping: the setup configuration key by key, the
// plug-ins, every INF folder's analysis, the catalogues and licence texts of
// every language, and compressed files against the size their header
// declares. Errors are what would stop the wizard; warnings are values the
// program silently replaces or files it ignores.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/kvi_setup_ini_info.h"
#include "catalogue_text.h"
#include "check.h"
#include "kvpkg.h"
#include "platform/win32.h"
#include "system/common_function.h"
#include "system/environment.h"

using nlohmann::json;

namespace {

using Findings = KvpkgFindings;

std::string trim(const std::string& text) {
  const size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  const size_t e = text.find_last_not_of(" \t");
  return text.substr(b, e - b + 1);
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool iequal(const std::string& a, const std::string& b) { return upper(a) == upper(b); }

std::string joinPath(const std::string& folder, const std::string& name) {
  if (name.size() > 1 && (name[1] == ':' || name[0] == '\\')) return name;
  if (!folder.empty() && folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

bool fileExists(const std::string& path) {
  const DWORD dw = GetFileAttributesA(path.c_str());
  return dw != INVALID_FILE_ATTRIBUTES && !(dw & FILE_ATTRIBUTE_DIRECTORY);
}

// A value as the program reads it: nullopt-like "missing" flag, else the text.
struct RawValue {
  bool present = false;
  std::string text;
};

RawValue readValue(const std::string& file, const std::string& section, const std::string& key) {
  std::vector<char> buf(4096);
  const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "NOKEY", buf.data(),
                                           static_cast<DWORD>(buf.size()), file.c_str());
  const std::string text(buf.data(), n);
  if (iequal(text, "NOKEY")) return {};
  return {true, text};
}

std::vector<std::string> readList(const std::string& file, const char* section) {
  std::vector<char> buf(65536);
  const DWORD n = GetPrivateProfileStringA(section, nullptr, "", buf.data(), static_cast<DWORD>(buf.size()),
                                           file.c_str());
  std::vector<std::string> out;
  for (size_t at = 0; at < n;) {
    const std::string item(buf.data() + at);
    if (item.empty()) break;
    out.push_back(item);
    at += item.size() + 1;
  }
  return out;
}

// ---- KVISETUP.INI --------------------------------------------------------------

enum class KeyKind { kOnOff, kOffOn, kChoice, kRebootLevel, kWaitTime, kPortMonitor, kVendorId, kText, kTextAsRead };

struct KeyRule {
  const char* key;
  KeyKind kind;
  std::vector<const char*> choices;  // kChoice: the accepted words
  const char* defaultText;          // what a missing or refused value becomes
};

const std::vector<KeyRule>& keyRules() {
  static const std::vector<KeyRule> rules = {
      {"ShowLicenseDialog", KeyKind::kOnOff, {}, "ON"},
      {"ShowModelDialog", KeyKind::kOffOn, {}, "OFF"},
      {"ShowConnectDialog", KeyKind::kOffOn, {}, "OFF"},
      {"ShowSetupDialog", KeyKind::kOnOff, {}, "ON"},
      {"ShowCompleteDialog", KeyKind::kOnOff, {}, "ON"},
      {"ShowNextComponentDialog", KeyKind::kOffOn, {}, "OFF"},
      {"ConnectKind", KeyKind::kChoice, {"USB", "OTHER"}, "USB"},
      {"SetupKind", KeyKind::kChoice, {"ADD", "REP", "DEL", "USB"}, "ADD"},
      {"SpoolerControl", KeyKind::kOffOn, {}, "OFF"},
      {"RebootLevel", KeyKind::kRebootLevel, {}, "3"},
      {"PluginOrder", KeyKind::kChoice, {"DSC", "INI"}, "INI"},
      {"NextComponent", KeyKind::kText, {}, ""},
      {"DriverSelectMode", KeyKind::kOffOn, {}, "OFF"},
      {"PortMonitor", KeyKind::kPortMonitor, {}, "USBMON,USBMON.DLL"},
      {"ExecAddMonitor", KeyKind::kOnOff, {}, "ON"},
      {"VisibleUpdatePrinter", KeyKind::kOnOff, {}, "ON"},
      {"VisibleDeletePrinter", KeyKind::kOffOn, {}, "OFF"},
      {"VisibleUSBPrinter", KeyKind::kOnOff, {}, "ON"},
      {"PowerOFFBitmap", KeyKind::kTextAsRead, {}, ""},
      {"PowerONBitmap", KeyKind::kTextAsRead, {}, ""},
      {"ShowDefaultPrinterDialog", KeyKind::kOnOff, {}, "ON"},
      {"DefaultPrinterDialogOmitValue", KeyKind::kOnOff, {}, "ON"},
      {"PrinterType", KeyKind::kChoice, {"Single", "Multi"}, "Single"},
      {"VendorID", KeyKind::kVendorId, {}, "the maker's vendor id"},
      {"ProductID", KeyKind::kText, {}, ""},
      {"MultipleInterfaceID", KeyKind::kText, {}, ""},
      {"USBConnectWaitTime", KeyKind::kWaitTime, {}, "180"},
      {"TargetDriverName", KeyKind::kText, {}, ""},
      {"USBInst", KeyKind::kOnOff, {}, "ON"},
      {"DefaultAgreeElement", KeyKind::kChoice, {"NoSelect", "Agree", "NotAgree"}, "Agree"},
      {"DefaultConnectTypeElement", KeyKind::kChoice, {"NoSelect", "Network", "USB"}, "Network"},
      {"NetworkPrinterSearch", KeyKind::kOnOff, {}, "ON"},
      {"IconType", KeyKind::kChoice, {"1", "2"}, "1"},
  };
  return rules;
}

void checkKey(const KeyRule& rule, const RawValue& raw, Findings& out) {
  const std::string area = "KVISETUP.INI";
  if (!raw.present) return;  // a missing key takes its default, as documented
  const std::string value = trim(raw.text);
  const std::string shown = std::string(rule.key) + "=" + raw.text;
  switch (rule.kind) {
    case KeyKind::kOnOff:
    case KeyKind::kOffOn:
      if (!iequal(value, "ON") && !iequal(value, "OFF")) {
        out.warning(area, rule.key, shown + " is neither ON nor OFF: the program reads it as " + rule.defaultText +
                                        " (the default)");
      }
      break;
    case KeyKind::kChoice: {
      bool known = false;
      std::string words;
      for (const char* c : rule.choices) {
        known = known || iequal(value, c);
        words += (words.empty() ? "" : ", ") + std::string(c);
      }
      if (!known) {
        out.warning(area, rule.key, shown + " is not one of " + words + ": the program replaces it by the default " +
                                        rule.defaultText);
      }
      break;
    }
    case KeyKind::kRebootLevel:
      if (value.size() != 1 || value[0] < '1' || value[0] > '5') {
        out.error(area, rule.key, shown + " is not 1 to 5: the program stops reading KVISETUP.INI (start-up exit 23)");
      }
      break;
    case KeyKind::kWaitTime: {
      const bool digits = !value.empty() && value.size() < 10 && value.find_first_not_of("0123456789") == std::string::npos;
      const long seconds = digits ? std::atol(value.c_str()) : -1;
      if (seconds < 60 || seconds > 600) {
        out.warning(area, rule.key, shown + " is not a number of seconds from 60 to 600: the program waits the default 180");
      }
      break;
    }
    case KeyKind::kPortMonitor: {
      const size_t comma = value.find(',');
      if (value.empty()) {
        out.warning(area, rule.key, shown + " is empty: the program keeps the default USBMON,USBMON.DLL");
      } else if (comma != std::string::npos && trim(value.substr(0, comma)).empty()) {
        out.warning(area, rule.key, shown + " has no monitor name: the program keeps the default USBMON");
      } else if (comma != std::string::npos && trim(value.substr(comma + 1)).empty()) {
        out.warning(area, rule.key, shown + " has no monitor file: the program keeps the default USBMON.DLL");
      }
      break;
    }
    case KeyKind::kVendorId:
      if (value.empty()) out.warning(area, rule.key, shown + " is empty: the program uses the maker's default vendor id");
      break;
    case KeyKind::kText:
    case KeyKind::kTextAsRead:
      break;
  }
}

void checkPlugins(const std::string& ini, const std::string& folder, Findings& out) {
  const std::string area = "KVISETUP.INI";
  for (const std::string& section : readList(ini, nullptr)) {
    if (upper(section).find("PLUGIN.") == std::string::npos) continue;
    const std::string where = "[" + section + "] ";
    const RawValue os = readValue(ini, section, "SupportOS");
    if (os.present) {
      std::string rest = os.text;
      size_t at = 0;
      while (true) {
        const size_t comma = rest.find(',', at);
        const std::string token = trim(rest.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
        if (!token.empty() || comma != std::string::npos || !trim(rest).empty()) {
          static const std::set<std::string> known = {"WIN95", "WINNT4", "WIN2K", "WINXP", "WINVISTA"};
          if (!known.count(upper(token))) {
            out.error(area, section + ".SupportOS",
                      where + "SupportOS=" + os.text + ": \"" + token +
                          "\" is not WIN95, WINNT4, WIN2K, WINXP or WINVISTA; the program stops reading (exit 23)");
          }
        }
        if (comma == std::string::npos) break;
        at = comma + 1;
      }
    }
    const RawValue name = readValue(ini, section, "ComponentName");
    if (!name.present || trim(name.text).empty())
      out.error(area, section + ".ComponentName", where + "ComponentName is missing or empty");
    const RawValue setup = readValue(ini, section, "Setup");
    if (!setup.present || setup.text.empty()) {
      out.error(area, section + ".Setup", where + "Setup is missing or empty");
    } else {
      const std::string program = setup.text.substr(0, setup.text.find(' '));
      const std::string path = joinPath(folder, program);
      WIN32_FIND_DATAA data;
      const HANDLE h = FindFirstFileA(path.c_str(), &data);
      if (h == INVALID_HANDLE_VALUE) {
        out.error(area, section + ".Setup", where + "Setup=" + setup.text + ": the program " + path + " does not exist");
      } else {
        FindClose(h);
      }
    }
    const RawValue monitor = readValue(ini, section, "StatusMonitorSupport");
    if (monitor.present && monitor.text.empty())
      out.error(area, section + ".StatusMonitorSupport", where + "StatusMonitorSupport is present but empty");
    const RawValue platform = readValue(ini, section, "Platform");
    if (platform.present && !iequal(trim(platform.text), "NTx86") && !iequal(trim(platform.text), "NTamd64"))
      out.error(area, section + ".Platform", where + "Platform=" + platform.text + " is not NTx86 or NTamd64");
  }
}

void checkSetupIni(const std::string& folder, Findings& out) {
  const std::string ini = joinPath(folder, "KVISETUP.INI");
  const std::string area = "KVISETUP.INI";
  if (!fileExists(ini)) {
    out.error(area, "KVISETUP.INI", ini + " is missing: the program stops at start-up (exit 22)");
    return;
  }
  std::set<std::string> known;
  for (const KeyRule& rule : keyRules()) {
    known.insert(upper(rule.key));
    checkKey(rule, readValue(ini, "Setup", rule.key), out);
  }
  for (const std::string& key : readList(ini, "Setup")) {
    if (!known.count(upper(key))) out.warning(area, key, key + " is not a key the program reads: it is ignored");
  }
  // The multi-interface printer needs all three ids.
  if (iequal(trim(readValue(ini, "Setup", "PrinterType").text), "Multi")) {
    for (const char* key : {"VendorID", "ProductID", "MultipleInterfaceID"}) {
      if (trim(readValue(ini, "Setup", key).text).empty()) {
        out.error(area, key, std::string("PrinterType=Multi needs ") + key + ": the program stops reading (exit 23)");
      }
    }
  }
  checkPlugins(ini, folder, out);

  // The program's own reading: whatever stops it must have been named.
  CKVISetupIniInfo reader;
  if (!reader.kOpenRead(ini)) {
    const std::string key = reader.kGetCurrentKey();
    if (!out.hasErrorIn(area)) out.error(area, key, "the program stops reading KVISETUP.INI at " + key + " (start-up exit 23)");
  }
}

// ---- Catalogues and licence texts ------------------------------------------------------

// A catalogue file, read whole (at most 64 MB) and parsed from memory.
KvpkgCatalogue readCatalogue(const std::string& path, bool* ok) {
  *ok = false;
  const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buf[65536];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof(buf), &n, nullptr) && n > 0 && bytes.size() < (64u << 20)) bytes.append(buf, n);
  CloseHandle(h);
  *ok = true;
  return kvpkgParseCatalogue(bytes.data(), bytes.size());
}

void checkResources(const std::string& folder, Findings& out) {
  const std::string resourceIni = joinPath(folder, "Resource.ini");
  const std::string defIni = joinPath(folder, "ResourceDef.ini");
  if (!fileExists(resourceIni)) {
    out.warning("resources", "Resource.ini", resourceIni + " is missing: the program looks in DrvInst beside itself");
  }
  if (!fileExists(defIni)) {
    out.error("resources", "ResourceDef.ini", defIni + " is missing: the program has no language (start-up exit 12)");
    return;
  }
  const auto folderOf = [&](const char* key, const char* fallback) {
    const RawValue v = readValue(resourceIni, "Resource", key);
    return joinPath(folder, v.present && !trim(v.text).empty() ? trim(v.text) : fallback);
  };
  const std::string resourceFolder = folderOf("ResourcePath", "DrvInst");
  const std::string licenceFolder = folderOf("LicensePath", "DrvInst");

  struct Language {
    std::string name, omitted, file, section;
    std::map<std::string, std::string> messages;
    bool loaded = false;
  };
  std::vector<Language> languages;
  for (const std::string& section : readList(defIni, nullptr)) {
    const RawValue file = readValue(defIni, section, "IRCFileName");
    if (!file.present) continue;  // not a language section
    Language lang;
    lang.name = section;
    lang.omitted = trim(readValue(defIni, section, "OmittedName").text);
    lang.file = joinPath(resourceFolder, "KV_" + trim(file.text));
    lang.section = upper(trim(readValue(defIni, section, "IRCSectionName").text));
    const bool substituted = readValue(defIni, section, "SubstituteLangID").present;
    bool ok = false;
    const auto sections = readCatalogue(lang.file, &ok);
    if (!ok) {
      if (!substituted) out.error("catalogue", section, "the catalogue " + lang.file + " of " + section + " is missing");
    } else if (!sections.count(lang.section)) {
      out.error("catalogue", section, "the catalogue " + lang.file + " has no section [" + lang.section + "]");
    } else {
      lang.messages = sections.at(lang.section);
      lang.loaded = true;
    }
    const std::string licence = joinPath(licenceFolder, "DI_" + lang.omitted + ".txt");
    if (!substituted && !fileExists(licence)) {
      out.warning("licence", section, "the licence text " + licence + " of " + section +
                                          " is missing: the licence page shows the built-in text");
    }
    languages.push_back(lang);
  }
  // Every id one language has, every other loaded language needs, with text.
  std::set<std::string> ids;
  for (const Language& l : languages) {
    for (const auto& [id, text] : l.messages) ids.insert(id);
  }
  for (const Language& l : languages) {
    if (!l.loaded) continue;
    for (const std::string& id : ids) {
      const auto it = l.messages.find(id);
      if (it == l.messages.end()) out.warning("catalogue", l.name + "." + id, id + " is missing in " + l.file);
      else if (it->second.empty()) out.warning("catalogue", l.name + "." + id, id + " is empty in " + l.file);
    }
  }
}

// ---- Compressed files ----------------------------------------------------------------------

void checkCompressed(const std::string& folder, Findings& out) {
  std::vector<std::string> files;
  CCommonFunction::kStdAfxDirFileList(folder, "*_", files);
  for (const std::string& file : files) {
    const HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    unsigned char header[14] = {};
    DWORD n = 0;
    const BOOL bRead = ReadFile(h, header, sizeof(header), &n, nullptr);
    CloseHandle(h);
    static const unsigned char kMagic[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
    if (!bRead || n < sizeof(header) || std::memcmp(header, kMagic, sizeof(kMagic)) != 0) continue;
    const DWORD declared = header[10] | (header[11] << 8) | (header[12] << 16) | (static_cast<DWORD>(header[13]) << 24);
    char szTemp[MAX_PATH] = {};
    char szOut[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, szTemp);
    GetTempFileNameA(szTemp, "kvx", 0, szOut);
    OFSTRUCT ofIn = {};
    OFSTRUCT ofOut = {};
    std::string src = file;
    const INT hIn = LZOpenFileA(src.data(), &ofIn, OF_READ);
    const INT hOut = LZOpenFileA(szOut, &ofOut, OF_CREATE);
    LONG copied = -1;
    if (hIn >= 0 && hOut >= 0) copied = LZCopy(hIn, hOut);
    if (hIn >= 0) LZClose(hIn);
    if (hOut >= 0) LZClose(hOut);
    DeleteFileA(szOut);
    if (copied < 0) {
      out.error("compressed", file,
                file + " cannot be expanded to the " + std::to_string(declared) +
                    " bytes its header declares: the program's copy of it fails");
    } else if (static_cast<DWORD>(copied) != declared) {
      out.error("compressed", file,
                file + " expands to " + std::to_string(copied) + " bytes, its header declares " +
                    std::to_string(declared));
    }
  }
}

}  // namespace

std::string kvpkgNameList(const std::vector<std::string>& names, size_t shown) {
  std::string text;
  for (size_t i = 0; i < names.size() && i < shown; ++i) text += (i ? ", " : "") + ("\"" + names[i] + "\"");
  if (names.size() > shown) text += " and " + std::to_string(names.size() - shown) + " more";
  return text;
}

int kvpkgCheck(const KvpkgCheckOptions& opt) {
  std::string folder;
  if (!kvpkgFullPath(opt.strFolder, &folder)) {
    std::fprintf(stderr, "kvpkg: cannot resolve the folder %s\n", opt.strFolder.c_str());
    return kExitUsage;
  }
  Findings out;
  if (!kvpkgIsFolder(folder)) {
    out.error("package", folder, "the folder " + folder + " does not exist or is not a folder");
  } else {
    // The plug-ins and the admission depend on the system: classify it as
    // the program does.
    (void)CEnvironment::kGetOsVersionCheck();
    checkSetupIni(folder, out);
    kvpkgCheckDrivers(folder, out);
    checkResources(folder, out);
    checkCompressed(folder, out);
  }
  size_t errors = 0;
  size_t warnings = 0;
  for (const KvpkgFinding& f : out.list()) {
    if (f.severity == KvpkgSeverity::kError) ++errors;
    if (f.severity == KvpkgSeverity::kWarning) ++warnings;
  }
  const int rc = errors ? kExitFailed : warnings ? kExitWarnings : kExitOk;
  const auto kind = [](KvpkgSeverity s) {
    return s == KvpkgSeverity::kError ? "error" : s == KvpkgSeverity::kWarning ? "warning" : "note";
  };
  if (opt.bJson) {
    json o = {{"folder", kvpkgUtf8(folder)},
              {"result", errors ? "errors" : warnings ? "warnings" : "clean"},
              {"errors", json::array()},
              {"warnings", json::array()},
              {"notes", json::array()}};
    for (const KvpkgFinding& f : out.list()) {
      json finding = {{"area", f.area}, {"item", kvpkgUtf8(f.item)}, {"text", kvpkgUtf8(f.text)}};
      if (f.failure != 0) finding["failure"] = f.failure;
      o[std::string(kind(f.severity)) + "s"].push_back(finding);
    }
    std::printf("%s\n", kvpkgDump(o).c_str());
  } else {
    for (const KvpkgFinding& f : out.list()) {
      std::printf("%s: %s: %s\n", kind(f.severity), f.area.c_str(), f.text.c_str());
    }
    if (!errors && !warnings) std::printf("%s: clean\n", folder.c_str());
    else std::printf("%s: %zu error(s), %zu warning(s)\n", folder.c_str(), errors, warnings);
  }
  return rc;
}
