// kvpkg: the check a package engineer runs on a driver package before
// shipping it.
//
//   kvpkg analyze FOLDER [--os win2k|xp|vista|win7|win10] [--arch x86|amd64]
//                        [--lang 0xNNNN] [--listed-only] [--json] [--root DIR]
//
// Prints the candidate drivers the setup program would find in the package,
// one block each, or the numbered failure with both error texts (exit 1).
// --os and --arch name the system to judge each candidate for (by default
// the machine's own); the analysis itself runs on the machine. Usage errors
// go to stderr with exit status 2.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driverinfo/candidate_driver_infomation.h"
#include "driverinfo/driver_infomation.h"
#include "machine_root.h"
#include "platform/win32.h"
#include "system/environment.h"

namespace {

const char kUsage[] =
    "usage: kvpkg analyze FOLDER [--os win2k|xp|vista|win7|win10] [--arch x86|amd64]\n"
    "                            [--lang 0xNNNN] [--listed-only] [--json] [--root DIR]\n"
    "\n"
    "Analyses the printer INF files of a driver package into the candidate drivers\n"
    "the setup program offers: one block per candidate (driver name, version,\n"
    "platform, files with source and target, print processor, monitor, colour\n"
    "profiles, options), or with --json every field of every candidate.\n"
    "A package that breaks a rule prints the numbered failure, error text 1 (the\n"
    "INF file) and error text 2 (the key or rule) and exits with status 1.\n"
    "\n"
    "  --os, --arch   the system each candidate is judged for (default: the machine's)\n"
    "  --lang         display-language identifier for the vendor setup program\n"
    "  --listed-only  only the drivers the description file lists\n"
    "  --root DIR     the simulated machine to analyse on (native build)\n";

struct Options {
  std::string folder;
  std::string os;
  std::string arch;
  std::string lang;
  bool listedOnly = false;
  bool json = false;
};

int usageError(const char* pszFormat, const char* pszArg) {
  std::fprintf(stderr, "kvpkg: ");
  std::fprintf(stderr, pszFormat, pszArg);
  std::fprintf(stderr, "\n%s", kUsage);
  return 2;
}

bool oneOf(const std::string& value, std::initializer_list<const char*> choices) {
  for (const char* choice : choices) {
    if (value == choice) return true;
  }
  return false;
}

// ---- The system a candidate is judged for ------------------------------------

std::string machineOs() {
  OSVERSIONINFOA os = {};
  os.dwOSVersionInfoSize = sizeof(os);
  if (!GetVersionExA(&os)) return "win7";
  if (os.dwPlatformId != VER_PLATFORM_WIN32_NT) return "win9x";
  if (os.dwMajorVersion < 5) return "nt4";
  if (os.dwMajorVersion == 5) return os.dwMinorVersion == 0 ? "win2k" : "xp";
  if (os.dwMajorVersion == 6 && os.dwMinorVersion == 0) return "vista";
  if (os.dwMajorVersion == 6 && os.dwMinorVersion == 1) return "win7";
  return "win10";
}

std::string machineArch() {
  SYSTEM_INFO info = {};
  GetNativeSystemInfo(&info);
  if (info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64) return "amd64";
  if (info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64) return "ia64";
  return "x86";
}

// Whether the setup program admits the candidate on that system: driver
// versions by system family, and the platform of the processor.
std::string admission(const CCandidateDriver& cde, const std::string& os, const std::string& arch) {
  const DWORD v = cde.dwInfOSVersion;
  bool versionOk = false;
  if (os == "win9x") versionOk = v == 0;
  else if (os == "nt4") versionOk = v == 2;
  else if (os == "win2k" || os == "xp") versionOk = v == 2 || v == 3;
  else versionOk = v == 3;
  if (!versionOk) return "no: version " + std::to_string(v) + " is not installed on " + os;
  const char* platform = arch == "amd64" ? "NTamd64" : arch == "ia64" ? "NTia64" : "NTx86";
  if (lstrcmpiA(cde.strPlatform.c_str(), platform) != 0) return "no: " + cde.strPlatform + " is not for " + arch;
  return "yes";
}

// ---- Output -------------------------------------------------------------------

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof(buf), "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

// One JSON object, written field by field in declaration order.
class JsonObject {
 public:
  explicit JsonObject(std::string indent) : m_indent(std::move(indent)) {}
  void add(const char* name, const std::string& value) { addRaw(name, jsonString(value)); }
  void add(const char* name, long long value) { addRaw(name, std::to_string(value)); }
  void addRaw(const char* name, const std::string& raw) {
    m_body += (m_body.empty() ? "" : ",\n") + m_indent + "  " + jsonString(name) + ": " + raw;
  }
  std::string str() const { return "{\n" + m_body + "\n" + m_indent + "}"; }

 private:
  std::string m_indent;
  std::string m_body;
};

std::string candidateJson(const CCandidateDriver& c, const std::string& admitted) {
  JsonObject o("    ");
  o.add("strPrintProcessor", c.strPrintProcessor);
  o.add("strPrintProcessorDLL", c.strPrintProcessorDLL);
  o.add("strDefaultDataType", c.strDefaultDataType);
  o.add("strDriverName", c.strDriverName);
  o.add("strDriverFile", c.strDriverFile);
  o.add("strConfigFile", c.strConfigFile);
  o.add("strDataFile", c.strDataFile);
  o.add("strHelpFile", c.strHelpFile);
  o.add("strCatalogFile", c.strCatalogFile);
  o.add("strDependentFiles", c.strDependentFiles);
  o.add("strDrvInstLanguageMonitor", c.strDrvInstLanguageMonitor);
  o.add("strLanguageMonitorName", c.strLanguageMonitorName);
  o.add("strLanguageMonitorDLL", c.strLanguageMonitorDLL);
  o.add("dwInfOSVersion", c.dwInfOSVersion);
  o.add("strInfPath", c.strInfPath);
  o.add("strVendorSetup", c.strVendorSetup);
  o.add("strVendorSetupParam", c.strVendorSetupParam);
  o.add("nVendorSetupLangID", c.nVendorSetupLangID);
  o.add("tmDriverFileTime", static_cast<long long>(c.tmDriverFileTime));
  o.add("strUserModeDriver", c.strUserModeDriver);
  o.add("strDriverPath", c.strDriverPath);
  o.add("strNoCheckFiles", c.strNoCheckFiles);
  o.add("strComment", c.strComment);
  o.add("bInfCopy", c.bInfCopy);
  o.add("strIniFileDir", c.strIniFileDir);
  o.add("strIniFileName", c.strIniFileName);
  o.add("strHardwareID", c.strHardwareID);
  o.add("strCompatibleID", c.strCompatibleID);
  o.add("strProviderName", c.strProviderName);
  o.add("strColorProfiles", c.strColorProfiles);
  o.add("strDriverType", c.strDriverType);
  o.add("bUserCodeOK", c.bUserCodeOK);
  o.add("bNeedReboot", c.bNeedReboot);
  o.add("strCopyForceFiles", c.strCopyForceFiles);
  o.add("strOEMManufacturer", c.strOEMManufacturer);
  o.add("strOEMUrl", c.strOEMUrl);
  o.add("bPreventSameKindUpdate", c.bPreventSameKindUpdate);
  o.add("strIniFileSubDir", c.strIniFileSubDir);
  o.add("dwUserCodeMode", c.dwUserCodeMode);
  o.add("strCopyFlags", c.strCopyFlags);
  o.add("strDefaultDestDir", c.strDefaultDestDir);
  o.add("dwDriverVersionDownOption", c.dwDriverVersionDownOption);
  o.add("strInstallSection", c.strInstallSection);
  o.add("dwNotSelectedTimeOut", c.dwNotSelectedTimeOut);
  o.add("dwRetryTimeOut", c.dwRetryTimeOut);
  o.add("strPnpDevRegKey", c.strPnpDevRegKey);
  o.add("strDeleteDeviceString", c.strDeleteDeviceString);
  o.add("bDrvInstListed", c.bDrvInstListed);
  o.add("bDrvInstFirst", c.bDrvInstFirst);
  o.add("strPlatform", c.strPlatform);
  o.add("strModelName", c.strModelName);
  o.add("bUSBPermit", c.bUSBPermit);
  o.add("bPrinterProperty", c.bPrinterProperty);
  o.add("admitted", admitted);
  std::string files = "[";
  if (c.pDriverFileList) {
    for (const CDriverFile& f : *c.pDriverFileList) {
      JsonObject fo("      ");
      fo.add("strFileName", f.strFileName);
      fo.add("strSourceDir", f.strSourceDir);
      fo.add("dwSourceId", f.dwSourceId);
      fo.add("strDiskName", f.strDiskName);
      fo.add("strDirId", f.strDirId);
      fo.add("strTargetDir", f.strTargetDir);
      fo.add("bCopyForce", f.bCopyForce);
      fo.add("bNoCheck", f.bNoCheck);
      fo.add("tmSourceFileTime", static_cast<long long>(f.tmSourceFileTime));
      fo.add("bFound", f.bFound);
      fo.add("bColorProfile", f.bColorProfile);
      fo.add("strCopyFlags", f.strCopyFlags);
      files += (files.size() > 1 ? ",\n      " : "\n      ") + fo.str();
    }
  }
  files += files.size() > 1 ? "\n    ]" : "]";
  o.addRaw("pDriverFileList", files);
  return o.str();
}

std::string orNone(const std::string& text) { return text.empty() ? "(none)" : text; }

std::string withFile(const std::string& name, const std::string& file) {
  if (name.empty()) return "(none)";
  return file.empty() ? name : name + " (" + file + ")";
}

// A comma-terminated list shown without its last comma.
std::string listText(const std::string& list) {
  std::string out = list;
  if (!out.empty() && out.back() == ',') out.pop_back();
  return orNone(out);
}

void printCandidate(size_t index, const CCandidateDriver& c, const std::string& admitted) {
  std::printf("Candidate %zu: %s\n", index, c.strDriverName.c_str());
  std::printf("  Version:          %u\n", static_cast<unsigned>(c.dwInfOSVersion));
  std::printf("  Platform:         %s\n", c.strPlatform.c_str());
  std::printf("  Admitted:         %s\n", admitted.c_str());
  std::printf("  INF:              %s [%s]\n", c.strInfPath.c_str(), c.strInstallSection.c_str());
  std::printf("  Driver file:      %s\n", c.strDriverFile.c_str());
  std::printf("  Config file:      %s\n", c.strConfigFile.c_str());
  std::printf("  Data file:        %s\n", c.strDataFile.c_str());
  std::printf("  Help file:        %s\n", orNone(c.strHelpFile).c_str());
  std::printf("  Driver path:      %s\n", c.strDriverPath.c_str());
  std::printf("  Print processor:  %s\n", withFile(c.strPrintProcessor, c.strPrintProcessorDLL).c_str());
  const std::string monitor = c.strLanguageMonitorName.empty() ? c.strDrvInstLanguageMonitor : c.strLanguageMonitorName;
  std::printf("  Language monitor: %s\n", withFile(monitor, c.strLanguageMonitorDLL).c_str());
  std::printf("  Colour profiles:  %s\n", listText(c.strColorProfiles).c_str());
  std::printf("  Hardware ID:      %s\n", orNone(c.strHardwareID).c_str());
  std::printf("  Model name:       %s\n", orNone(c.strModelName).c_str());
  std::printf("  Files:\n");
  if (c.pDriverFileList) {
    for (const CDriverFile& f : *c.pDriverFileList) {
      std::printf("    %-16s %-6s -> %s  from %s%s%s\n", f.strFileName.c_str(), f.strDirId.c_str(),
                  orNone(f.strTargetDir).c_str(), f.strSourceDir.c_str(), f.bFound ? "" : "  [NOT FOUND]",
                  f.bColorProfile ? "  [colour profile]" : "");
    }
  }
  std::printf("  Options:          NeedReboot=%d InfCopy=%d PreventSameKindUpdate=%d DriverVersionDownOption=%u "
              "UserCodeOK=%d/%u USBPermit=%d PrinterProperty=%d Listed=%d First=%d\n",
              c.bNeedReboot, c.bInfCopy, c.bPreventSameKindUpdate, static_cast<unsigned>(c.dwDriverVersionDownOption),
              c.bUserCodeOK, static_cast<unsigned>(c.dwUserCodeMode), c.bUSBPermit, c.bPrinterProperty,
              c.bDrvInstListed, c.bDrvInstFirst);
  if (!c.strVendorSetup.empty()) {
    std::printf("  Vendor setup:     %s %s (language %d)\n", c.strVendorSetup.c_str(), c.strVendorSetupParam.c_str(),
                c.nVendorSetupLangID);
  }
  if (!c.strIniFileName.empty()) {
    std::printf("  INI file:         %s\\%s\n", c.strIniFileDir.c_str(), c.strIniFileName.c_str());
  }
  std::printf("\n");
}

int analyze(const Options& opt) {
  char szFull[MAX_PATH] = {};
  const DWORD dwFull = GetFullPathNameA(opt.folder.c_str(), MAX_PATH, szFull, nullptr);
  if (dwFull == 0 || dwFull >= MAX_PATH) return usageError("cannot resolve the folder %s", opt.folder.c_str());
  std::string folder(szFull, dwFull);

  // The analysis asks the environment probe which system it runs on, as the
  // setup program does after its start-up classification.
  (void)CEnvironment::kGetOsVersionCheck();
  CDriverInfomation info;
  char szModule[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, szModule, MAX_PATH);
  std::string dllFolder = szModule;
  dllFolder = dllFolder.substr(0, dllFolder.find_last_of('\\') + 1) + "INSTDLL\\DrvInst";
  const DWORD dwInit = info.VEXOInitialize(dllFolder);
  if (dwInit != VEXOERR_SUCCESS) {
    std::fprintf(stderr, "kvpkg: the Setup API could not be bound (error %u)\n", static_cast<unsigned>(dwInit));
    return 2;
  }
  const DWORD dwResult = info.VEXOMakeCandidateDriverList(folder, opt.lang, opt.listedOnly ? TRUE : FALSE);
  const std::string os = opt.os.empty() ? machineOs() : opt.os;
  const std::string arch = opt.arch.empty() ? machineArch() : opt.arch;

  if (dwResult != VEXOERR_SUCCESS) {
    std::string text1;
    std::string text2;
    info.VEXOGetErrorInfomatio(text1, text2);
    const int failure = info.kGetCandidateDriverInfomation()->kGetFailureNumber();
    if (opt.json) {
      JsonObject o("");
      o.add("result", dwResult);
      o.add("failure", failure);
      o.add("errorText1", text1);
      o.add("errorText2", text2);
      std::printf("%s\n", o.str().c_str());
    } else {
      std::printf("Package %s fails the analysis (result %u).\n", folder.c_str(), static_cast<unsigned>(dwResult));
      std::printf("  Failure:      %d\n", failure);
      std::printf("  Error text 1: %s\n", text1.c_str());
      std::printf("  Error text 2: %s\n", text2.c_str());
    }
    return 1;
  }

  const CCandidateDriverList& list = info.VEXOGetCandidateDriverList();
  if (opt.json) {
    std::printf("{\n  \"folder\": %s,\n  \"os\": %s,\n  \"arch\": %s,\n  \"candidates\": [", jsonString(folder).c_str(),
                jsonString(os).c_str(), jsonString(arch).c_str());
    bool first = true;
    for (const CCandidateDriver& c : list) {
      std::printf("%s\n    %s", first ? "" : ",", candidateJson(c, admission(c, os, arch)).c_str());
      first = false;
    }
    std::printf("%s]\n}\n", list.empty() ? "" : "\n  ");
    return 0;
  }
  std::printf("Package %s: %zu candidate(s), judged for %s %s.\n\n", folder.c_str(), list.size(), os.c_str(),
              arch.c_str());
  size_t index = 0;
  for (const CCandidateDriver& c : list) printCandidate(++index, c, admission(c, os, arch));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "analyze") != 0) return usageError("unknown command %s", argv[1]);
  Options opt;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--json") {
      opt.json = true;
    } else if (arg == "--listed-only") {
      opt.listedOnly = true;
    } else if (arg == "--os" && hasValue) {
      opt.os = argv[++i];
      if (!oneOf(opt.os, {"win2k", "xp", "vista", "win7", "win10"})) return usageError("unknown --os %s", argv[i]);
    } else if (arg == "--arch" && hasValue) {
      opt.arch = argv[++i];
      if (!oneOf(opt.arch, {"x86", "amd64"})) return usageError("unknown --arch %s", argv[i]);
    } else if (arg == "--lang" && hasValue) {
      const char* text = argv[++i];
      char* end = nullptr;
      const unsigned long id = std::strtoul(text, &end, 16);
      if (!*text || *end || id > 0xFFFF) return usageError("--lang wants 0xNNNN, not %s", text);
      char buf[8];
      std::snprintf(buf, sizeof(buf), "%04lx", id);
      opt.lang = buf;
    } else if (arg == "--root" && hasValue) {
      const char* root = argv[++i];
      if (!kvpkgUseMachineRoot(root)) std::fprintf(stderr, "kvpkg: --root %s has no effect on Windows\n", root);
    } else if (!arg.empty() && arg[0] != '-' && opt.folder.empty()) {
      opt.folder = arg;
    } else {
      return usageError("unexpected argument %s", arg.c_str());
    }
  }
  if (opt.folder.empty()) return usageError("%s", "analyze needs a FOLDER");
  return analyze(opt);
}
