// kvpkg check: the drivers of a package. The program stops its analysis at
// the first rule an INF breaks and says nothing of INF files it skips; a
// package engineer wants every broken rule of every INF at once, why each
// model is or is not offered on this system, and whether the driver files
// are what the description file and the INF say they are.
//
// Every rule is evaluated with the program's own readers (CInfFile and the
// candidate builder's description-file readers), in the builder's order, so
// the first failure listed for an INF is the one the program reports; the
// check confirms that against the program's own analysis of the package.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/kv_setup_app.h"
#include "check.h"
#include "driverinfo/candidate_driver_infomation.h"
#include "driverinfo/inf_file.h"
#include "driverinfo/setup_api.h"
#include "kvpkg.h"
#include "platform/win32.h"
#include "system/common_function.h"
#include "system/environment.h"
#include "system/spooler_infomation.h"
#include "system/text_utility.h"
#include "version/pe_resource.h"

namespace {

std::string dscValue(const std::string& dsc, const std::string& key) {
  if (dsc.empty()) return std::string();
  char buf[4096] = {};
  const DWORD n = GetPrivateProfileStringA("DrvInst", key.c_str(), "", buf, sizeof(buf), dsc.c_str());
  return std::string(buf, n);
}

std::string baseName(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// ---- Every rule of one INF -------------------------------------------------------

struct RuleFailure {
  int number;
  std::string key;    // the program's error text 2
  std::string model;  // the model it concerns, empty for the whole INF
  std::string text;
};

struct ModelState {
  std::string name;
  bool failed = false;  // a rule of its own or of its install section broke
};

struct InfState {
  std::string path;
  std::string skipped;  // why the program skips it; empty when it reads it
  std::string decorations;  // a [Manufacturer] line with several decorations, explained
  std::vector<RuleFailure> failures;
  std::vector<ModelState> models;
};

class InfRules {
 public:
  explicit InfRules(CDriverInfomation& info)
      : m_inf(*info.kGetInfFile()), m_builder(*info.kGetCandidateDriverInfomation()), m_api(*info.kGetSetupApi()) {}

  InfState evaluate(const std::string& strInfFile);

 private:
  // The description-file key's value as written, for the text of a failure.
  std::string shown(const std::string& dsc, const char* key) {
    return std::string(key) + "=" + dscValue(dsc, key) + " in " + dsc;
  }
  // A key the description file decides, or the INF's [DrvInst] section when
  // there is none.
  std::string dscOrInf(const std::string& dsc, const char* key) {
    if (dsc.empty()) return std::string("the INF's [DrvInst] ") + key + " cannot be read";
    return shown(dsc, key) + " cannot be used";
  }

  // The decorations of the first [Manufacturer] line when it has several.
  std::string decorationNote();

  CInfFile& m_inf;
  CCandidateDriverInfomation& m_builder;
  CSetupApi& m_api;
};

std::string InfRules::decorationNote() {
  INFCONTEXT context = {};
  if (!m_api.kSetupFindFirstLine(m_inf.kGetHandle(), "Manufacturer", nullptr, &context)) return std::string();
  std::vector<std::string> decorations;
  for (DWORD i = 2; i < 16; ++i) {
    std::string field;
    if (!m_inf.kGetLineStringField(&context, i, field) || field.empty()) break;
    decorations.push_back(field);
  }
  if (decorations.size() < 2) return std::string();
  std::string all;
  for (const std::string& d : decorations) all += (all.empty() ? "" : ", ") + d;
  return "[Manufacturer] decorates its models for " + all + ": offered for " + decorations.front() +
         " only: the first decoration decides; give each platform its own INF";
}

InfState InfRules::evaluate(const std::string& strInfFile) {
  InfState r;
  r.path = strInfFile;
  const auto fail = [&r](int number, const char* key, const std::string& model, const std::string& text) {
    r.failures.push_back({number, key, model, text});
  };
  std::string strInfPath;
  if (!CCommonFunction::kGetShortPathName(strInfFile.c_str(), strInfPath) || !m_inf.kOpen(strInfPath)) {
    r.skipped = "unreadable: it cannot be opened as an INF file (missing rights, too large or not text)";
    return r;
  }
  struct Closer {
    CInfFile& inf;
    ~Closer() { inf.kClose(); }
  } closer{m_inf};

  std::string strClass;
  if (!m_inf.kGetClassName(strClass)) {
    fail(3, "Class", "", "[Version] has no Class that can be read");
    return r;
  }
  if (!kIEquals(strClass, "Printer")) {
    r.skipped = "not a printer INF (Class=" + strClass + ")";
    return r;
  }
  std::string strClassVer;
  if (m_inf.kGetLineText("Version", "ClassVer", strClassVer) && !strClassVer.empty() && strClassVer[0] == '4') {
    fail(48, "ClassVer", "",
         "ClassVer=" + strClassVer +
             ": a version-4 driver INF. Its driver is a manifest and data files without a driver DLL, installed by "
             "Windows' own printer class installer; the program cannot register it and refuses the package. Ship a "
             "version-3 INF instead (a driver DLL of your own, or your GPD or PPD file with Include=ntprint.inf and "
             "Needs=UNIDRV.OEM or PSCRIPT.OEM)");
    return r;
  }
  std::string strCatalogFile;
  std::string strSignature;
  std::string strInfPlatform;
  if (!m_inf.kGetCatalogFile(strCatalogFile)) fail(4, "CatalogFile", "", "[Version] CatalogFile cannot be read");
  const bool bSignature = m_inf.kGetOSKind(strSignature);
  if (!bSignature) fail(5, "Signature", "", "[Version] Signature cannot be read");
  const bool bPlatform = m_inf.kGetPlatform(strInfPlatform);
  r.decorations = decorationNote();
  if (!bPlatform) {
    fail(6, "Manufacturer", "",
         "[Manufacturer] gives no platform (no model section, or a decoration other than NTx86 or NTamd64)");
  }

  std::string dsc;
  m_builder.kDecideDSCFileName(dsc, strInfPath);
  std::string strDscPlatform;
  if (!m_builder.kGetPlatform(dsc, strDscPlatform)) {
    fail(7, "Platform", "", shown(dsc, "Platform") + " is not NTx86 or NTamd64");
  } else if (bPlatform && !kIEquals(strDscPlatform, strInfPlatform)) {
    fail(8, "Platform value is not equaled", "",
         (dsc.empty() ? std::string("without a description file the platform is NTx86")
                      : "the description file " + dsc + " says Platform=" + strDscPlatform) +
             ", the INF's [Manufacturer] decoration " + strInfPlatform);
  }
  BOOL bFlag = FALSE;
  DWORD dwValue = 0;
  if (!m_builder.kGetPreventSameKindUpdate(dsc, bFlag)) {
    fail(9, "PreventSameKindUpdate", "", shown(dsc, "PreventSameKindUpdate") + " is not ON or OFF");
  }
  if (!m_builder.kGetNeedReboot(dsc, bFlag)) fail(10, "NeedReboot", "", shown(dsc, "NeedReboot") + " is not ON or OFF");
  DWORD dwInfVersion = 0;
  BOOL bFromDsc = FALSE;
  BOOL bSkip = FALSE;
  if (!m_builder.kGetDriverVersion(dsc, strSignature, dwInfVersion, bFromDsc, bSkip)) {
    fail(11, "Version", "", shown(dsc, "Version") + " is not 0, 2 or 3");
  } else if (bSkip && bSignature) {
    // The program reads no further rule of a skipped INF.
    r.skipped = "not of the Windows-NT style (Signature=" + strSignature + ") and no Version in a description file";
    return r;
  }
  if (!m_builder.kGetInfCopy(dsc, bFlag)) fail(12, "InfCopy", "", shown(dsc, "InfCopy") + " is not ON or OFF");
  if (!m_builder.kGetDriverVersionDownOption(dsc, dwValue)) {
    fail(13, "DriverVersionDownOption", "", shown(dsc, "DriverVersionDownOption") + " is not NoDown or Down");
  }
  if (!m_builder.kGetUserCodeOK(dsc, bFlag, dwValue)) {
    fail(14, "UserCodeOK", "", shown(dsc, "UserCodeOK") + " is not ON, FORCE or OFF");
  }
  std::string strText;
  std::string strNoCheckFiles;
  std::string strCopyForceFiles;
  m_builder.kGetDeleteDeviceString(dsc, strText);
  m_builder.kGetCopyForceFiles(dsc, strCopyForceFiles);
  if (!m_builder.kGetNoCheckFile(dsc, strNoCheckFiles)) fail(17, "NoCheckFiles", "", dscOrInf(dsc, "NoCheckFiles"));
  std::vector<std::string> lstNames;
  if (!m_builder.kGetDrvNamesForDrvInst(dsc, lstNames)) fail(46, "DrvInst", "", dscOrInf(dsc, "DrvInst"));
  CVendorSetupInfo vendor;
  if (!m_builder.kGetVendorSetup(dsc, "", vendor)) fail(18, "VendorSetup", "", dscOrInf(dsc, "VendorSetup"));
  if (!m_builder.kGetDrvInstLanguageMonitor(dsc, strText)) {
    fail(19, "LanguageMonitor", "", dscOrInf(dsc, "LanguageMonitor"));
  }
  std::string strIni;
  std::string strIniDir;
  std::string strIniSubDir;
  if (!m_builder.kGetIniFileName(dsc, strIni, strIniDir, strIniSubDir)) {
    fail(20, "IniFileName", "", dscOrInf(dsc, "IniFileName"));
  }
  if (!m_builder.kGetDriverType(dsc, strText)) fail(21, "DriverType", "", dscOrInf(dsc, "DriverType"));
  if (!m_builder.kGetUSBPermit(dsc, bFlag)) fail(22, "USBPermit", "", shown(dsc, "USBPermit") + " is not ON or OFF");

  m_inf.kAddDestinationDirsList(strInfPath, dwInfVersion);
  std::vector<std::string> lstSections;
  std::vector<std::string> lstDescriptions;
  if (!m_inf.kGetManufacturerNameSection(lstSections) || !m_inf.kEnumDeviceDescriptions(lstSections, lstDescriptions)) {
    fail(23, "Manufacturer", "", "the model sections that [Manufacturer] names cannot be read");
    return r;
  }

  // Models that share an install section share its failures: the section is
  // judged once, with its first model, as the program reads it.
  const std::string strInfFolder = m_inf.kGetFilePath();
  std::string strShownFolder = strInfFolder;
  while (strShownFolder.size() > 3 && strShownFolder.back() == '\\') strShownFolder.pop_back();
  std::map<std::string, bool, CInfFile::CLessNoCase> mapSectionFailed;
  bool bInfValuesRead = false;
  for (const std::string& desc : lstDescriptions) {
    ModelState m;
    m.name = desc;
    const size_t nBefore = r.failures.size();
    std::string section;
    if (!m_inf.kGetInstallSectionName(desc, section)) {
      fail(24, "Install", desc, "the model line has no install section that can be read");
      m.failed = true;
      r.models.push_back(m);
      continue;
    }
    const auto known = mapSectionFailed.find(section);
    const bool bKnown = known != mapSectionFailed.end();
    const std::string where = "install section [" + section + "]: ";
    std::string strDriverFile;
    bool bDriverFile = false;
    if (!bKnown) {
      bDriverFile = m_inf.kGetExtensionName(section, "DriverFile", strDriverFile);
      if (!bDriverFile) fail(27, "DriverFile", desc, where + "DriverFile cannot be read");
      if (strDriverFile.empty()) strDriverFile = section;
      if (!m_inf.kGetExtensionName(section, "ConfigFile", strText))
        fail(28, "ConfigFile", desc, where + "ConfigFile cannot be read");
      if (!m_inf.kGetExtensionName(section, "DataFile", strText))
        fail(29, "DataFile", desc, where + "DataFile cannot be read");
      if (!m_inf.kGetExtensionName(section, "HelpFile", strText))
        fail(30, "HelpFile", desc, where + "HelpFile cannot be read");
    }
    if (!m_builder.kGetComment(dsc, desc, strText)) fail(31, "Comment", desc, dscOrInf(dsc, "Comment"));
    std::string strDriverPath = strInfFolder;
    if (!bKnown) {
      std::string strFound;
      std::vector<std::string> lstCoreFiles;
      if (m_inf.kUsesCoreDriver(section)) lstCoreFiles = m_inf.kEnumCoreFiles(section);
      bool bCoreDriverFile = false;
      for (const std::string& core : lstCoreFiles) bCoreDriverFile = bCoreDriverFile || kIEquals(core, strDriverFile);
      if (bDriverFile && bCoreDriverFile) {
        // Windows' own driver file: the system holds it (its presence on the
        // system judged for is told with the driver files).
        strFound = CCandidateDriverInfomation::kFindCoreFile(strInfPlatform, strDriverFile);
      } else if (bDriverFile && bPlatform && !m_builder.kSearchPlatformFile(strInfFolder, strDriverFile, strInfPlatform, strFound)) {
        std::string text = "the driver file " + strDriverFile +
                           " is not in the package, neither as it is nor compressed (" +
                           strDriverFile.substr(0, strDriverFile.size() - 1) + "_); searched in:";
        std::string strSub;
        if (m_inf.kGetPlatformSourceFolder(strDriverFile, strInfPlatform, strSub)) {
          text += "\n    " + strShownFolder + (strSub.empty() ? "" : "\\" + strSub) +
                  " (where the INF's source-disk sections put it for " + strInfPlatform + "; nowhere else)";
        } else {
          for (const std::string& f : kvpkgSearchedFolders(strShownFolder)) text += "\n    " + f;
        }
        fail(33, "DriverFile", desc, text);
      } else if (bDriverFile) {
        std::string strShort;
        if (!CCommonFunction::kGetShortPathName(strFound.c_str(), strShort)) {
          fail(34, "DriverFile", desc, "the short path of " + strFound + " cannot be had");
        } else {
          strDriverPath = folderOf(strShort);
        }
      }
      // The driver and configuration files must be DLLs of the INF's platform.
      if (bDriverFile && !strFound.empty() && dwInfVersion != 0 && bPlatform) {
        std::string strConfigFile;
        m_inf.kGetExtensionName(section, "ConfigFile", strConfigFile);
        if (strConfigFile.empty()) strConfigFile = strDriverFile;
        struct Role {
          std::string name;
          int number;
          const char* key;
        };
        for (const Role& role : {Role{strDriverFile, 49, "DriverFile"}, Role{strConfigFile, 50, "ConfigFile"}}) {
          std::string found;
          bool bCoreFile = false;
          for (const std::string& core : lstCoreFiles) bCoreFile = bCoreFile || kIEquals(core, role.name);
          if (role.number == 49) {
            found = strFound;
          } else if (bCoreFile) {
            found = CCandidateDriverInfomation::kFindCoreFile(strInfPlatform, role.name);
          } else if (!m_builder.kSearchPlatformFile(strDriverPath, role.name, strInfPlatform, found)) {
            found.clear();
          }
          if (found.empty()) continue;
          const std::string why = m_builder.kWhyNotDriverImage(found, strInfPlatform);
          if (why.empty()) continue;
          std::string text = where + std::string(role.key) + "=" + role.name + " (" + found + ") " + why + ": " +
                             strInfPlatform + " takes " +
                             CCandidateDriverInfomation::kMachineName(
                                 CCandidateDriverInfomation::kMachineOfPlatform(strInfPlatform)) +
                             " DLLs, and the spooler could not load it.";
          if (!bCoreDriverFile && why.rfind("is not a DLL", 0) == 0) {
            text += " An INF that installs a GPD or PPD file with Windows' own driver names it: add "
                    "Include=ntprint.inf, Needs=UNIDRV.OEM (or PSCRIPT.OEM) and DataSection=UNIDRV_DATA (or "
                    "PSCRIPT_DATA) to the install section";
          }
          fail(role.number, role.key, desc, text);
          break;
        }
      }
      if (!m_inf.kGetExtensionName(section, "UserModeDriver", strText)) {
        fail(36, "UserModeDriver", desc, where + "UserModeDriver cannot be read");
      }
      std::string strProcessor;
      if (!m_inf.kGetExtensionName(section, "PrintProcessor", strText)) {
        fail(37, "PrintProcessor", desc, where + "PrintProcessor cannot be read");
      } else if (strText.find(',') == std::string::npos || strText.substr(0, strText.find(',')).empty()) {
        if (!CSpoolerInfomation().kGetDefaultPrintProcessor(strProcessor)) {
          fail(38, "PrintProcessor", desc, "the system's default print processor cannot be had");
        }
      }
      if (!m_inf.kGetExtensionName(section, "DefaultDataType", strText)) {
        fail(39, "DefaultDataType", desc, where + "DefaultDataType cannot be read");
      }
      if (!m_inf.kGetExtensionName(section, "LanguageMonitor", strText)) {
        fail(40, "LanguageMonitor", desc, where + "LanguageMonitor cannot be read");
      }
    }
    if (!m_inf.kGetHardwareID(desc, strText))
      fail(41, "HardwareID", desc, "the model line's hardware id cannot be read");
    if (!m_inf.kGetCompatibleID(desc, strText))
      fail(42, "CompatibleID", desc, "the model line's compatible id cannot be read");
    if (!bKnown) {
      // The program asks these once per install section; the answer is the INF's.
      if (!bInfValuesRead) {
        std::string strUrl;
        if (!m_inf.kGetProviderName(strText)) fail(43, "ProviderName", "", "[Version] Provider cannot be read");
        if (!m_inf.kGetOEMUrl(strUrl, strText)) fail(44, "OEM URLS", "", "the INF's OEM URLS cannot be read");
        bInfValuesRead = true;
      }
      CCandidateDriver cde;
      cde.strDriverPath = strDriverPath;
      cde.strPlatform = strInfPlatform;
      cde.strNoCheckFiles = strNoCheckFiles;
      cde.strCopyForceFiles = strCopyForceFiles;
      cde.pDriverFileList = std::make_shared<CDriverFileList>();
      if (!m_builder.kMakeCopyFileInfomation(section, cde, dwInfVersion)) {
        fail(45, "CopyFiles", desc, where + "its copy lists cannot be read, or name a file outside the INF's folder");
      }
      mapSectionFailed[section] = r.failures.size() > nBefore;
    }
    m.failed = r.failures.size() > nBefore || (bKnown && known->second);
    r.models.push_back(m);
  }
  return r;
}

// ---- Driver files: version and platform -------------------------------------------------

constexpr WORD kMachineI386 = 0x014C;
constexpr WORD kMachineAmd64 = 0x8664;
constexpr WORD kMachineIa64 = 0x0200;

std::string machineName(WORD machine) {
  if (machine == kMachineI386) return "x86";
  if (machine == kMachineAmd64) return "amd64";
  if (machine == kMachineIa64) return "ia64";
  char buf[32];
  std::snprintf(buf, sizeof(buf), "machine 0x%04X", machine);
  return buf;
}

WORD machineOfPlatform(const std::string& platform) {
  if (kIEquals(platform, "NTx86")) return kMachineI386;
  if (kIEquals(platform, "NTamd64")) return kMachineAmd64;
  if (kIEquals(platform, "NTia64")) return kMachineIa64;
  return 0;
}

// What a file of the package is once expanded, as the spooler would get it.
struct FileFacts {
  bool read = false;
  bool pe = false;
  WORD machine = 0;
  bool resourceOnly = false;  // a DLL without code: no entry point
  bool hasVersion = false;
  bool monitorEntry = false;  // exports a print monitor's entry point
  DWORD fileMS = 0;
  DWORD fileLS = 0;
  std::string versionText() const {
    char buf[64];
    std::snprintf(buf, sizeof(buf), "%u.%u.%u.%u", static_cast<unsigned>(HIWORD(fileMS)),
                  static_cast<unsigned>(LOWORD(fileMS)), static_cast<unsigned>(HIWORD(fileLS)),
                  static_cast<unsigned>(LOWORD(fileLS)));
    return buf;
  }
};

// The machine field of a PE image: "MZ", the offset at byte 60, "PE\0\0"
// there and the machine right after it. FALSE for anything else.
bool peMachine(const std::string& bytes, WORD* machine) {
  if (bytes.size() < 64 || bytes[0] != 'M' || bytes[1] != 'Z') return false;
  const auto byte = [&bytes](size_t at) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])); };
  const std::uint32_t offset = byte(60) | (byte(61) << 8) | (byte(62) << 16) | (byte(63) << 24);
  if (offset > bytes.size() || bytes.size() - offset < 6) return false;
  if (bytes.compare(offset, 4, std::string("PE\0\0", 4)) != 0) return false;
  *machine = static_cast<WORD>(byte(offset + 4) | (byte(offset + 5) << 8));
  return true;
}

// Expands (or copies) a file of the package to a temporary file the way the
// program's version detection does, and reads its PE machine and version.
FileFacts examineFile(CSetupApi& setupApi, const std::string& found) {
  FileFacts facts;
  char szTempDir[MAX_PATH] = {};
  char szTemp[MAX_PATH] = {};
  const DWORD dwTempDir = GetTempPathA(MAX_PATH, szTempDir);
  if (dwTempDir == 0 || dwTempDir >= MAX_PATH || GetTempFileNameA(szTempDir, "kvv", 0, szTemp) == 0) return facts;
  struct Remover {
    const char* path;
    ~Remover() { DeleteFileA(path); }
  } remover{szTemp};

  PSTR pszActual = nullptr;
  DWORD dwSource = 0;
  DWORD dwTarget = 0;
  UINT uType = FILE_COMPRESSION_NONE;
  const DWORD dwInfo = setupApi.kSetupGetFileCompressionInfo(found.c_str(), &pszActual, &dwSource, &dwTarget, &uType);
  std::string actual = found;
  if (dwInfo == NO_ERROR && pszActual) {
    actual = pszActual;
    LocalFree(pszActual);
  }
  if (dwInfo == NO_ERROR && uType == FILE_COMPRESSION_NONE) {
    if (!CopyFileA(actual.c_str(), szTemp, FALSE)) return facts;
  } else if (dwInfo == NO_ERROR && (uType == FILE_COMPRESSION_MSZIP || uType == FILE_COMPRESSION_NTCAB)) {
    if (setupApi.kSetupDecompressOrCopyFile(actual.c_str(), szTemp, nullptr) != NO_ERROR) return facts;
  } else {
    OFSTRUCT ofIn = {};
    OFSTRUCT ofOut = {};
    std::string in = found;
    const INT hIn = LZOpenFileA(in.data(), &ofIn, OF_READ);
    const INT hOut = LZOpenFileA(szTemp, &ofOut, OF_CREATE);
    LONG copied = -1;
    if (hIn >= 0 && hOut >= 0) copied = LZCopy(hIn, hOut);
    if (hIn >= 0) LZClose(hIn);
    if (hOut >= 0) LZClose(hOut);
    if (copied < 0) return facts;
  }
  const HANDLE h =
      CreateFileA(szTemp, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return facts;
  // The whole file, for its export table; a driver file is far below 64 MB.
  std::string head(std::min<DWORD>(GetFileSize(h, nullptr), 64u << 20), '\0');
  DWORD dwRead = 0;
  const BOOL bRead = head.empty() || ReadFile(h, head.data(), static_cast<DWORD>(head.size()), &dwRead, nullptr);
  CloseHandle(h);
  if (!bRead) return facts;
  head.resize(dwRead);
  facts.read = true;
  facts.pe = peMachine(head, &facts.machine);
  if (!facts.pe) return facts;
  bool v2 = false, v1 = false;
  facts.monitorEntry = winsim::version::hasExport(head, "InitializePrintMonitor2", &v2) == 0 &&
                       winsim::version::hasExport(head, "InitializePrintMonitor", &v1) == 0 && (v2 || v1);
  {
    // AddressOfEntryPoint: optional header (after the 24 bytes of signature
    // and file header) + 16. A DLL of resources alone has none.
    const auto byte = [&head](size_t at) { return static_cast<std::uint32_t>(static_cast<unsigned char>(head[at])); };
    const std::uint32_t offset = byte(60) | (byte(61) << 8) | (byte(62) << 16) | (byte(63) << 24);
    const size_t at = static_cast<size_t>(offset) + 24 + 16;
    if (at + 4 <= head.size()) {
      facts.resourceOnly = (byte(at) | byte(at + 1) | byte(at + 2) | byte(at + 3)) == 0;
    }
  }
  DWORD dwHandle = 0;
  const DWORD dwSize = GetFileVersionInfoSizeA(szTemp, &dwHandle);
  if (dwSize > 0) {
    std::vector<BYTE> data(dwSize, 0);
    VS_FIXEDFILEINFO* pFixed = nullptr;
    UINT uLength = 0;
    if (GetFileVersionInfoA(szTemp, 0, dwSize, data.data()) &&
        VerQueryValueA(data.data(), "\\", reinterpret_cast<LPVOID*>(&pFixed), &uLength) && pFixed &&
        uLength >= sizeof(VS_FIXEDFILEINFO)) {
      facts.hasVersion = true;
      facts.fileMS = pFixed->dwFileVersionMS;
      facts.fileLS = pFixed->dwFileVersionLS;
    }
  }
  return facts;
}

std::string versionWords(const FileFacts& f) {
  return f.hasVersion ? "file version " + f.versionText() : "it has no version resource";
}

// The files one install section of an INF installs that are in the
// package, against the driver's version and platform.
void checkDriverFiles(CDriverInfomation& info, const CCandidateDriver& c, std::set<std::string>& monitorsSeen,
                      KvpkgFindings& out) {
  CCandidateDriverInfomation& builder = *info.kGetCandidateDriverInfomation();
  std::string dsc;
  builder.kDecideDSCFileName(dsc, c.strInfPath);
  const std::string claimed = dscValue(dsc, "Version");
  const bool fromDsc = !claimed.empty();
  const std::string said = dsc.empty() ? "the INF's decoration says " + c.strPlatform
                                       : "the INF's decoration and " + baseName(dsc) + " say " + c.strPlatform;
  const std::string whose = fromDsc ? baseName(dsc) + "'s Version=" + claimed : c.strDriverFile + "'s version resource";
  const std::string area = "driver file";
  const std::string noVersion = dsc.empty() ? std::string("there is no description file to state the version")
                                            : baseName(dsc) + " states no Version";

  if (c.dwInfOSVersion == 2 && kIEquals(c.strPlatform, "NTamd64")) {
    out.error(area, c.strInfPath,
              "\"" + c.strDriverName + "\" (" + c.strInfPath + "): the driver is version 2 (" + whose +
                  ") but Windows x64 takes version-3 drivers only: the program offers it on Windows XP x64, where "
                  "the spooler refuses it and the installation stops; later systems never offer it");
  }

  std::vector<std::string> names{c.strDriverFile, c.strConfigFile};
  std::string missingCore;
  size_t coreCount = 0;
  if (c.pDriverFileList) {
    for (const CDriverFile& f : *c.pDriverFileList) {
      if (CCandidateDriverInfomation::kIsCoreFile(f)) {
        ++coreCount;
        if (!f.bFound) missingCore += (missingCore.empty() ? "" : ", ") + f.strFileName;
        continue;
      }
      if (f.bFound && !f.bColorProfile) names.push_back(baseName(f.strFileName));
    }
  }
  if (coreCount > 0) {
    const bool thisSystem = kIEquals(c.strPlatform, CEnvironment::kGetPerentDriverPlatform());
    if (!missingCore.empty()) {
      const std::string text = "\"" + c.strDriverName + "\" (" + c.strInfPath + ") takes " +
                               std::to_string(coreCount) + " file(s) of Windows' own driver from the system; " +
                               kvpkgSystemName() + " lacks " + missingCore +
                               (thisSystem ? ": the installation cannot copy them and stops with an error"
                                           : " for " + c.strPlatform + " (another platform's system holds them)");
      if (thisSystem) out.error("driver file", c.strInfPath, text);
      else out.note("driver file", c.strInfPath, text);
    }
  }
  // The language monitor is added by the wizard's own installation: the
  // spooler loads it and asks it for its entry point.
  const std::string monitorDll = c.strLanguageMonitorDLL.str();
  std::string monitorFound;
  if (!monitorDll.empty() &&
      CCommonFunction::kStdAfxSearchFile(c.strDriverPath.c_str(), monitorDll.c_str(), monitorFound, 1) &&
      monitorsSeen.insert(kToUpper(monitorFound)).second) {
    const FileFacts facts = examineFile(*info.kGetSetupApi(), monitorFound);
    if (facts.read && (!facts.pe || !facts.monitorEntry)) {
      out.error(area, monitorFound,
                monitorDll + " (" + monitorFound + "), the language monitor \"" + c.strLanguageMonitorName.str() +
                    "\", " +
                    (facts.pe ? "exports neither InitializePrintMonitor2 nor InitializePrintMonitor"
                              : "is not a PE file") +
                    ": the spooler refuses to add the monitor (error 127) and the wizard's USB installation stops");
    }
  }

  std::set<std::string> seen;
  const WORD expected = machineOfPlatform(c.strPlatform);
  for (const std::string& name : names) {
    if (name.empty() || !seen.insert(kToUpper(name)).second) continue;
    std::string found;
    if (!CCommonFunction::kStdAfxSearchFile(c.strDriverPath.c_str(), name.c_str(), found, 1)) continue;
    const FileFacts facts = examineFile(*info.kGetSetupApi(), found);
    const bool isDriver = kIEquals(name, c.strDriverFile);
    const std::string where = name + " (" + found + ")";
    if (!facts.read) continue;
    if (!facts.pe) {
      // Data files (.gpd, .ppd, .ini) have no version; a driver file that is
      // not a PE matters only when the program asks it for the version.
      if (isDriver && !fromDsc) {
        out.warning(area, found,
                    where + " is not a PE file and " + noVersion + ": the program takes version 0 and never offers \"" +
                        c.strDriverName +
                        "\" on Windows 2000 or later (admission decision 1); the wizard does not stop");
      }
      continue;
    }
    if (expected && facts.machine != expected) {
      out.warning(area, found,
                  where + " is an " + machineName(facts.machine) + " file; " + said +
                      ". The program does not compare them: it installs the file for " +
                      (expected == kMachineAmd64 ? "Windows x64" : "Windows NT x86") +
                      ", where the spooler cannot load it (the wizard does not stop)");
    }
    // The printer-driver version of the file, by the program's own rule.
    DWORD dwFileVersion = 0;
    std::string platform;
    const int recognised = builder.kGetDriverFileVersion(name, c.strDriverPath, dwFileVersion, platform);
    if (isDriver) {
      if (fromDsc && recognised && dwFileVersion != c.dwInfOSVersion) {
        out.warning(area, found,
                    baseName(dsc) + " says Version=" + claimed + ", " + where + " is a version-" +
                        std::to_string(dwFileVersion) + " driver (" + versionWords(facts) +
                        "). The program takes the description file's version without reading the file: it "
                        "installs the driver as version " +
                        std::to_string(c.dwInfOSVersion) + " (the wizard does not stop)");
      } else if (fromDsc && !recognised) {
        out.warning(area, found,
                    baseName(dsc) + " says Version=" + claimed + ", " + where + " names no printer-driver version (" +
                        versionWords(facts) +
                        "). The program takes the description file's version (the wizard does not stop)");
      } else if (!fromDsc && !recognised) {
        out.warning(area, found,
                    where + " names no printer-driver version (" + versionWords(facts) + ") and " + noVersion +
                        ": the program takes version 0 and never offers \"" + c.strDriverName +
                        "\" on Windows 2000 or later (admission decision 1); the wizard does not stop");
      }
    } else if (recognised && dwFileVersion != c.dwInfOSVersion && !facts.resourceOnly) {
      // A DLL of resources alone (a minidriver's resource DLL) runs no code:
      // its printer-driver version does not matter.
      out.warning(area, found,
                  where + " is a version-" + std::to_string(dwFileVersion) + " file (" + versionWords(facts) +
                      "), the driver \"" + c.strDriverName + "\" is version " + std::to_string(c.dwInfOSVersion) +
                      " (" + whose + "): the program installs it with the driver (the wizard does not stop)");
    }
  }
}

// ---- The catalogue ------------------------------------------------------------------

// The catalogue files the INF's [Version] names (CatalogFile and its
// platform decorations) must be beside it: the wizard's USB installation
// copies the INF with SetupCopyOEMInf, which installs the catalogue with it
// and fails without it.
void checkCatalogue(CSetupApi& setupApi, const std::string& inf, KvpkgFindings& out) {
  const HINF h = setupApi.kSetupOpenInfFile(inf.c_str(), nullptr, INF_STYLE_WIN4, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  const std::string folder = folderOf(inf);
  for (const char* key : {"CatalogFile", "CatalogFile.NT", "CatalogFile.NTamd64", "CatalogFile.NTx86",
                          "CatalogFile.NTia64"}) {
    INFCONTEXT ctx{};
    char name[MAX_PATH] = {};
    if (!setupApi.kSetupFindFirstLine(h, "Version", key, &ctx) ||
        !setupApi.kSetupGetStringField(&ctx, 1, name, sizeof name, nullptr) || !name[0]) {
      continue;
    }
    const std::string path = folder + "\\" + name;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    out.error("catalogue", inf,
              inf + " names the catalogue " + name + " (" + key + ") and the package has no " + path +
                  ": Windows does not copy the INF without it (SetupCopyOEMInf fails with error 2) and the "
                  "wizard's USB installation stops");
  }
  setupApi.kSetupCloseInfFile(h);
}

// ---- Admission on this system ----------------------------------------------------------

// "(2) platform not for this OS.", as the admission's log line gives it.
std::string decisionText(int decision, const char* reason) {
  std::string text(1, '(');
  text += std::to_string(decision);
  text += ") ";
  text += reason;
  return text;
}

void checkAdmission(const CCandidateDriverList& list, KvpkgFindings& out) {
  const std::string system = kvpkgSystemName();
  CCandidateDriverList lstSetup;
  std::vector<size_t> setupIndex;
  std::vector<std::string> refused(list.size());
  std::vector<size_t> displacedBy(list.size(), 0);
  size_t i = 0;
  for (const CCandidateDriver& c : list) {
    std::string reasons;
    for (const CKV_SETUPApp::CAdmissionRefusal& r : CKV_SETUPApp::kListAdmissionRefusals(lstSetup, c)) {
      if (!reasons.empty()) reasons += ' ';
      reasons += decisionText(r.nDecision, r.pszReason);
    }
    size_t samePos = SIZE_MAX;
    size_t pos = 0;
    for (const CCandidateDriver& e : lstSetup) {
      if (kIEquals(e.strDriverName, c.strDriverName)) {
        samePos = pos;
        break;
      }
      ++pos;
    }
    int decision = 0;
    std::string reason;
    if (CKV_SETUPApp::kCheckElementAddToList(lstSetup, c, &decision, &reason) == 1) {
      if (samePos != SIZE_MAX) {
        displacedBy[setupIndex[samePos]] = i + 1;
        setupIndex.erase(setupIndex.begin() + static_cast<std::ptrdiff_t>(samePos));
      }
      lstSetup.push_back(c);
      setupIndex.push_back(i);
    } else {
      refused[i] = reasons.empty() ? decisionText(decision, reason.c_str()) : reasons;
    }
    ++i;
  }
  // The same finding for many drivers of one INF is told once, with the count.
  struct Group {
    std::string inf;
    std::string what;
    std::vector<std::string> names;
  };
  std::vector<Group> groups;
  const auto add = [&groups](const std::string& inf, const std::string& what, const std::string& name) {
    for (Group& g : groups) {
      if (g.inf == inf && g.what == what) {
        if (std::find(g.names.begin(), g.names.end(), name) == g.names.end()) g.names.push_back(name);
        return;
      }
    }
    groups.push_back({inf, what, {name}});
  };
  i = 0;
  for (const CCandidateDriver& c : list) {
    if (!refused[i].empty()) {
      add(c.strInfPath, " not offered on " + system + ": " + refused[i], c.strDriverName);
    } else if (displacedBy[i]) {
      add(c.strInfPath, " not offered on " + system + ": a later driver of the same name replaces it", c.strDriverName);
    }
    if (!c.bDrvInstListed) {
      add(c.strInfPath,
          " offered only when updating printers in use: the description file's DrvInst list does not name it",
          c.strDriverName);
    }
    ++i;
  }
  for (const Group& g : groups) {
    const std::string who = g.names.size() == 1 ? "\"" + g.names.front() + "\" (" + g.inf + ") is"
                                                : std::to_string(g.names.size()) + " drivers of " + g.inf + " (" +
                                                      kvpkgNameList(g.names) + ") are";
    out.note("admission", g.inf, who + g.what);
  }
  if (!list.empty() && lstSetup.empty()) {
    out.error("admission", "",
              "none of the " + std::to_string(list.size()) + " candidate driver(s) is admitted on " + system +
                  ": the wizard has no driver to offer");
  }
}

// ---- The description files -----------------------------------------------------------

size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      const bool same = std::toupper(static_cast<unsigned char>(a[i - 1])) == std::toupper(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// Every key of a description file's [DrvInst] section that the program does
// not read, with the nearest key it does.
void checkDescriptionFile(const std::string& dsc, KvpkgFindings& out) {
  static const char* const kKeys[] = {"Version",      "Platform",        "PreventSameKindUpdate", "NeedReboot",
                                      "InfCopy",      "DriverVersionDownOption", "UserCodeOK", "DeleteDeviceString",
                                      "CopyForceFiles", "NoCheckFiles",  "DrvInst",     "VendorSetup",
                                      "LanguageMonitor", "IniFileName",  "DriverType",  "USBPermit",
                                      "PrinterProperty", "ModelName",    "Comment",     "PnpDevRegKey"};
  std::vector<char> buf(65536);
  const DWORD n = GetPrivateProfileStringA("DrvInst", nullptr, "", buf.data(), static_cast<DWORD>(buf.size()), dsc.c_str());
  for (size_t at = 0; at < n;) {
    const std::string key(buf.data() + at);
    if (key.empty()) break;
    at += key.size() + 1;
    // The per-driver keys carry the driver's name after a dot.
    const std::string base = key.substr(0, key.find('.'));
    bool known = false;
    for (const char* k : kKeys) known = known || kIEquals(base, k);
    if (known && (key.find('.') == std::string::npos || kIEquals(base, "ModelName") || kIEquals(base, "Comment") ||
                  kIEquals(base, "PnpDevRegKey"))) {
      continue;
    }
    std::string nearest;
    size_t best = SIZE_MAX;
    for (const char* k : kKeys) {
      const size_t d = editDistance(base, k);
      if (d < best) {
        best = d;
        nearest = k;
      }
    }
    std::string text = dsc + ": " + key + " is not a key the program reads: it is ignored";
    if (best <= 3) text += " (did you mean " + nearest + "?)";
    out.warning("description file", key, text);
  }
}

}  // namespace

std::string kvpkgDecorationNote(CDriverInfomation& info, const std::string& strInf) {
  InfRules rules(info);
  return rules.evaluate(strInf).decorations;
}

std::string kvpkgRuleText(CDriverInfomation& info, const std::string& strInf, int nFailure) {
  InfRules rules(info);
  const InfState state = rules.evaluate(strInf);
  for (const RuleFailure& f : state.failures) {
    if (f.number == nFailure) return (f.model.empty() ? std::string() : "model \"" + f.model + "\": ") + f.text;
  }
  return std::string();
}

void kvpkgCheckDrivers(const std::string& strFolder, KvpkgFindings& out) {
  KvpkgAnalysis whole;
  std::string error;
  if (!whole.kInit(&error)) {
    out.error("analysis", "Setup API", error);
    return;
  }
  const DWORD dwWhole = whole.kRun(strFolder, "", false);
  if (dwWhole == VEXOERR_SOURCEPATHNG) {
    for (const std::string& line : whole.kExplainFailure()) out.error("INF", strFolder, line);
    return;
  }

  // Every INF of the package, as the program lists them, against every rule.
  std::string shortFolder;
  if (!CCommonFunction::kGetShortPathName(strFolder.c_str(), shortFolder)) shortFolder = strFolder;
  std::vector<std::string> infs;
  CCommonFunction::kStdAfxDirFileList(shortFolder, "*.inf", infs);
  InfRules rules(whole.kInfo());
  std::vector<InfState> states;
  for (const std::string& inf : infs) states.push_back(rules.evaluate(inf));
  for (const std::string& inf : infs) checkCatalogue(*whole.kInfo().kGetSetupApi(), inf, out);
  std::set<std::string> descriptionFiles;
  for (const std::string& inf : infs) {
    std::string dsc;
    whole.kInfo().kGetCandidateDriverInfomation()->kDecideDSCFileName(dsc, inf);
    if (!dsc.empty() && descriptionFiles.insert(kToUpper(dsc)).second) checkDescriptionFile(dsc, out);
  }
  size_t broken = 0;
  for (const InfState& s : states) {
    if (!s.skipped.empty()) out.warning("INF", s.path, s.path + " skipped: " + s.skipped);
    if (!s.decorations.empty()) out.warning("INF", s.path, s.path + ": " + s.decorations);
    // A rule broken the same way by many models is told once, with the count.
    std::vector<bool> told(s.failures.size(), false);
    for (size_t k = 0; k < s.failures.size(); ++k) {
      if (told[k]) continue;
      const RuleFailure& f = s.failures[k];
      std::vector<std::string> models;
      for (size_t m = k; m < s.failures.size(); ++m) {
        const RuleFailure& g = s.failures[m];
        if (told[m] || g.number != f.number || g.text != f.text || g.model.empty() != f.model.empty()) continue;
        told[m] = true;
        if (!g.model.empty()) models.push_back(g.model);
      }
      std::string who;
      if (models.size() == 1) who = " model \"" + models.front() + "\"";
      else if (models.size() > 1) who = " " + std::to_string(models.size()) + " models (" + kvpkgNameList(models) + ")";
      out.error("INF", s.path, s.path + who + ": failure " + std::to_string(f.number) + " (" + f.key + "): " + f.text,
                f.number);
    }
    if (!s.failures.empty()) {
      ++broken;
      // Whichever rule breaks, no model of the INF becomes a candidate.
      std::string own;
      std::string others;
      size_t owners = 0;
      for (const ModelState& m : s.models) {
        (m.failed ? own : others) += (std::string(1, ' ') + "\"" + m.name + "\"");
        owners += m.failed ? 1 : 0;
      }
      std::string text = s.path + " gives no candidate:";
      if (!own.empty()) text += own + (owners == 1 ? " breaks a rule of its own;" : " break rules of their own;");
      if (!others.empty()) text += others + " only because the INF breaks one";
      if (!s.models.empty()) out.note("INF", s.path, text);
    }
  }
  if (dwWhole == VEXOERR_READINFERR) {
    // The program's own stop must be the first failure listed for its INF;
    // should the two ever part, the program's answer is the one that counts.
    const std::string t1 = whole.kErrorText1();
    bool listed = false;
    for (const InfState& s : states) {
      if (kIEquals(s.path, t1) && !s.failures.empty() && s.failures.front().number == whole.kFailure()) listed = true;
    }
    std::string text;
    for (const std::string& line : whole.kExplainFailure()) text += (text.empty() ? "" : "\n  ") + line;
    if (!listed) out.error("INF", t1, "failure " + std::to_string(whole.kFailure()) + ": " + text, whole.kFailure());
    out.note("INF", t1,
             "the program stops its analysis at " + t1 + " (failure " + std::to_string(whole.kFailure()) + ", " +
                 whole.kErrorText2() + ") and offers no driver; " + std::to_string(broken) +
                 " INF file(s) break a rule");
  } else if (dwWhole == VEXOERR_SUCCESS && whole.kCandidates().empty()) {
    out.error("INF", strFolder, "no candidate driver: the package holds no printer INF the program reads");
    return;
  }

  // The drivers: from the whole analysis, or, when it stops, from each INF
  // folder's own (the models the program reaches there).
  std::vector<std::unique_ptr<KvpkgAnalysis>> partial;
  CCandidateDriverList candidates;
  if (dwWhole == VEXOERR_SUCCESS) {
    candidates = whole.kCandidates();
  } else {
    std::set<std::string> folders;
    for (const std::string& inf : infs) folders.insert(kToUpper(inf.substr(0, inf.find_last_of('\\'))));
    std::set<std::string> taken;
    for (const std::string& f : folders) {
      auto one = std::make_unique<KvpkgAnalysis>();
      if (!one->kInit(&error)) continue;
      one->kRun(f, "", false);
      for (const CCandidateDriver& c : one->kCandidates()) {
        if (taken.insert(kToUpper(c.strInfPath + "|" + c.strDriverName + "|" + c.strInstallSection)).second)
          candidates.push_back(c);
      }
      partial.push_back(std::move(one));
    }
  }
  std::set<std::string> examined;
  std::set<std::string> monitors;
  for (const CCandidateDriver& c : candidates) {
    if (!examined.insert(kToUpper(c.strInfPath + "|" + c.strInstallSection)).second) continue;
    checkDriverFiles(whole.kInfo(), c, monitors, out);
  }
  if (dwWhole == VEXOERR_SUCCESS) checkAdmission(candidates, out);
}
