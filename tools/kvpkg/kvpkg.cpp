// kvpkg: the check a package engineer runs on a driver package before
// shipping it.
//
//   kvpkg analyze FOLDER [--os NAME [--server]] [--arch x86|amd64|ia64]
//                        [--lang 0xNNNN] [--listed-only] [--json] [--log FILE]
//                        [--root DIR [--create]]
//   kvpkg check FOLDER [--os NAME [--server]] [--arch x86|amd64|ia64] [--json]
//                      [--log FILE] [--root DIR [--create]]
//
// analyze prints the candidate drivers the setup program finds in the
// package and whether the program admits each on the system, through the
// program's own admission rule with its decision number; check lists
// everything wrong with a package at once (check.cpp).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/kv_setup_app.h"
#include "app/setup_candidate_admission.h"
#include "driverinfo/candidate_driver_infomation.h"
#include "driverinfo/driver_info_log.h"
#include "kvpkg.h"
#include "machine_root.h"
#include "platform/win32.h"
#include "system/common_function.h"
#include "system/environment.h"
#include "system/program_log.h"

using nlohmann::json;

// ---- Shared helpers ---------------------------------------------------------------

std::string kvpkgUtf8(const std::string& strAnsi) {
  if (strAnsi.empty()) return strAnsi;
  const int nWide = MultiByteToWideChar(CP_ACP, 0, strAnsi.data(), static_cast<int>(strAnsi.size()), nullptr, 0);
  if (nWide <= 0) return strAnsi;  // the dump replaces what is not UTF-8
  std::basic_string<WCHAR> wide(static_cast<size_t>(nWide), WCHAR(0));
  MultiByteToWideChar(CP_ACP, 0, strAnsi.data(), static_cast<int>(strAnsi.size()), wide.data(), nWide);
  const int nUtf8 = WideCharToMultiByte(CP_UTF8, 0, wide.data(), nWide, nullptr, 0, nullptr, nullptr);
  if (nUtf8 <= 0) return strAnsi;
  std::string out(static_cast<size_t>(nUtf8), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), nWide, out.data(), nUtf8, nullptr, nullptr);
  return out;
}

std::string kvpkgDump(const json& j) { return j.dump(2, ' ', false, json::error_handler_t::replace); }

bool kvpkgFullPath(const std::string& strPath, std::string* pstrFull) {
  char szFull[MAX_PATH] = {};
  const DWORD dwFull = GetFullPathNameA(strPath.c_str(), MAX_PATH, szFull, nullptr);
  if (dwFull == 0 || dwFull >= MAX_PATH) return false;
  pstrFull->assign(szFull, dwFull);
  return true;
}

bool kvpkgIsFolder(const std::string& strPath) {
  const DWORD dw = GetFileAttributesA(strPath.c_str());
  return dw != INVALID_FILE_ATTRIBUTES && (dw & FILE_ATTRIBUTE_DIRECTORY);
}

bool kvpkgSetLog(const std::string& strFile, std::string* pstrError) {
  std::string strFull;
  if (!kvpkgFullPath(strFile, &strFull)) {
    *pstrError = "--log " + strFile + ": not a usable path";
    return false;
  }
  const HANDLE h = CreateFileA(strFull.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *pstrError = "--log " + strFile + ": cannot be written";
    return false;
  }
  CloseHandle(h);
  kDriverInfoLog().kSetDetailLogFileSetting(TRUE, strFull, 99);
  kProgramLog().kSetDetailLogFileSetting(TRUE, strFull, 99);
  return true;
}

std::vector<std::string> kvpkgSearchedFolders(const std::string& strInfFolder) {
  // The program's file search: the INF's folder itself (the file and its
  // compressed name), then every folder beside it whose name differs from
  // the folder's own only in its digits (DISK2 beside DISK1, the folder
  // itself again), each with its subfolders.
  std::string strDir = strInfFolder;
  while (strDir.size() > 3 && (strDir.back() == '\\' || strDir.back() == '/')) strDir.pop_back();
  std::vector<std::string> lstFolders{strDir};
  const size_t nSlash = strDir.find_last_of("\\/");
  if (nSlash == std::string::npos) return lstFolders;
  const std::string strName = strDir.substr(nSlash + 1);
  const std::string strParent = strDir.substr(0, nSlash);
  if (strName.empty() || strName.find_first_of("*?") != std::string::npos) return lstFolders;
  const auto shape = [](const std::string& name) {
    std::string out;
    for (char c : name) {
      if (c >= '0' && c <= '9') {
        if (out.empty() || out.back() != '*') out += '*';
      } else {
        out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
      }
    }
    return out;
  };
  const std::string strShape = shape(strName);
  WIN32_FIND_DATAA data;
  const HANDLE hFind = FindFirstFileA((strParent + "\\*").c_str(), &data);
  if (hFind != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == "." || name == "..") continue;
      if (shape(name) != strShape) continue;
      lstFolders.push_back(strParent + "\\" + name + " and its subfolders");
    } while (FindNextFileA(hFind, &data));
    FindClose(hFind);
  }
  return lstFolders;
}

// The system the judgement is for, as the program's classification found it.
std::string kvpkgSystemName() {
  const DWORD kind = CEnvironment::kGetOsKind() & OSKIND_KIND_MASK;
  std::string name = "unknown";
  if (kind & (OSKIND_WIN95 | OSKIND_WIN98 | OSKIND_WINME)) name = "win9x";
  else if (kind & OSKIND_WINNT4) name = "nt4";
  else if (kind & OSKIND_WIN7) name = CEnvironment::kGetMajorVersion() >= 10 ? "win10" : (CEnvironment::kGetMinorVersion() >= 2 ? "win8 or later" : "win7");
  else if (kind & OSKIND_WINVISTA) name = "vista";
  else if (kind & OSKIND_WINXP) name = "xp";
  else if (kind & OSKIND_WIN2K) name = "win2k";
  if (CEnvironment::kGetOsKind() & OSKIND_SERVER) name += " server";
  SYSTEM_INFO info = {};
  GetNativeSystemInfo(&info);
  const char* arch = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64  ? "amd64"
                     : info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64 ? "ia64"
                                                                                   : "x86";
  return name + " " + arch;
}

// ---- The analysis ------------------------------------------------------------------

bool KvpkgAnalysis::kInit(std::string* pstrError) {
  char szModule[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, szModule, MAX_PATH);
  std::string dllFolder = szModule;
  dllFolder = dllFolder.substr(0, dllFolder.find_last_of('\\') + 1) + "INSTDLL\\DrvInst";
  const DWORD dwInit = m_info.VEXOInitialize(dllFolder);
  if (dwInit != VEXOERR_SUCCESS) {
    *pstrError = "the Setup API could not be bound (error " + std::to_string(dwInit) + ")";
    return false;
  }
  return true;
}

namespace {

// The reasons of the analysis's "skipped" log lines, in words.
std::string skipReason(const std::string& strWhat) {
  if (strWhat == "not opened") return "unreadable: it cannot be opened as an INF file (missing rights, too large or not text)";
  if (strWhat.rfind("Class=", 0) == 0) return "not a printer INF (" + strWhat + ")";
  if (strWhat.rfind("Signature=", 0) == 0) return "not of the Windows-NT style (" + strWhat + ")";
  return strWhat;
}

}  // namespace

DWORD KvpkgAnalysis::kRun(const std::string& strFolder, const std::string& strLang, bool bListedOnly) {
  m_strFolder = strFolder;
  m_lstSkipped.clear();
  m_strFailureDetail.clear();
  // The builder keeps the INF files it skipped and the detail of the rule
  // that failed, as its detail-log lines give them: no log is needed (and a
  // log at level 99 would cost far more than the analysis on a large package).
  m_dwResult = m_info.VEXOMakeCandidateDriverList(strFolder, strLang, bListedOnly ? TRUE : FALSE);
  const CCandidateDriverInfomation* pBuilder = m_info.kGetCandidateDriverInfomation();
  for (const CCandidateDriverInfomation::CSkippedInf& s : pBuilder->kGetSkippedInfs()) {
    m_lstSkipped.push_back({s.strPath, skipReason(s.strWhat)});
  }
  if (pBuilder->kGetFailureNumber() != 0) m_strFailureDetail = pBuilder->kGetFailureDetail();
  return m_dwResult;
}

int KvpkgAnalysis::kFailure() { return m_info.kGetCandidateDriverInfomation()->kGetFailureNumber(); }

std::string KvpkgAnalysis::kErrorText1() const {
  std::string t1, t2;
  m_info.VEXOGetErrorInfomatio(t1, t2);
  return t1;
}

std::string KvpkgAnalysis::kErrorText2() const {
  std::string t1, t2;
  m_info.VEXOGetErrorInfomatio(t1, t2);
  return t2;
}

std::vector<std::string> KvpkgAnalysis::kExplainFailure() {
  std::vector<std::string> lines;
  const int failure = kFailure();
  const std::string t1 = kErrorText1();
  const std::string t2 = kErrorText2();
  if (m_dwResult == VEXOERR_SOURCEPATHNG && failure == 1) {
    lines.push_back("the folder " + t1 + " does not exist or is not a folder");
  } else if (m_dwResult == VEXOERR_SOURCEPATHNG && failure == 2) {
    lines.push_back("the folder " + m_strFolder + " holds no INF file (subfolders included): no printer INF");
  } else if (failure == 33) {
    // The log line of the failure names the file.
    const std::string file = m_strFailureDetail.empty() ? std::string("(unknown)") : m_strFailureDetail;
    const size_t slash = t1.find_last_of('\\');
    const std::string infFolder = slash == std::string::npos ? t1 : t1.substr(0, slash);
    lines.push_back("the driver file " + file + " named by " + t1 +
                    " is not in the package, neither as it is nor compressed (" + file.substr(0, file.size() - 1) + "_)");
    lines.push_back("searched in:");
    for (const std::string& f : kvpkgSearchedFolders(infFolder)) lines.push_back("  " + f);
  } else {
    lines.push_back("the INF file " + t1 + " breaks the rule " + t2 + " (failure " + std::to_string(failure) + ")");
    // The rule in words, as check gives it.
    std::string text = kvpkgRuleText(m_info, t1, failure);
    if (text.empty()) text = m_strFailureDetail;
    size_t begin = 0;
    while (!text.empty() && begin <= text.size()) {
      const size_t end = text.find('\n', begin);
      lines.push_back((begin == 0 ? "" : "  ") + text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
      if (end == std::string::npos) break;
      begin = end + 1;
    }
  }
  return lines;
}

// ---- analyze -------------------------------------------------------------------------

namespace {

struct AnalyzeOptions {
  std::string folder;
  std::string os;
  bool server = false;
  std::string arch;
  std::string lang;
  bool listedOnly = false;
  bool json = false;
};

// Why the program would not start on this system at all (empty when it
// would), by the start-up's exits.
std::string systemRefusal(BOOL bCheck) {
  if (CEnvironment::kIsWin9x()) return "the program refuses the Windows 95 family (start-up exit 11)";
  if (!CEnvironment::kIsWin2k()) return "the program refuses systems older than Windows 2000 (start-up exit 14)";
  if (CEnvironment::kIsWOW64()) return "the program refuses to run as a 32-bit process on a 64-bit system (start-up exit 15)";
  if (!bCheck) return "the program could not classify the system (start-up exit 14)";
  return std::string();
}

struct Verdict {
  int result = 0;
  int decision = 0;
  std::string reason;
  size_t displacedBy = 0;  // 1-based candidate that later replaced this one
};

std::string verdictText(const Verdict& v, const std::string& refusal) {
  if (!refusal.empty()) return "no: " + refusal;
  std::string text = (v.result == 1 && !v.displacedBy ? "yes (" : "no (") + std::to_string(v.decision) + ") " + v.reason;
  if (v.displacedBy) text += " Later replaced by candidate " + std::to_string(v.displacedBy) + ".";
  if (v.decision == 1) {
    text += " This system takes driver version " +
            std::string(CEnvironment::kIsWin9x() ? "0" : CEnvironment::kIsWinnt() ? "2" : CEnvironment::kIsWinVistaLater() ? "3" : "2 or 3") + ".";
  } else if (v.decision == 2) {
    text += " This system takes " + CEnvironment::kGetPerentDriverPlatform() + ".";
  }
  return text;
}

std::string orNone(const std::string& text) { return text.empty() ? "(none)" : text; }

std::string withFile(const std::string& name, const std::string& file) {
  if (name.empty()) return "(none)";
  return file.empty() ? name : name + " (" + file + ")";
}

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
                  f.bColorProfile ? "  [colour profile]"
                  : CCandidateDriverInfomation::kIsCoreFile(f) ? "  [Windows' core driver]"
                                                               : "");
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

json candidateJson(const CCandidateDriver& c, const Verdict& v, const std::string& admitted, bool bAdmitted) {
  const auto s = [](const std::string& t) { return kvpkgUtf8(t); };
  json o = {
      {"strPrintProcessor", s(c.strPrintProcessor)}, {"strPrintProcessorDLL", s(c.strPrintProcessorDLL)},
      {"strDefaultDataType", s(c.strDefaultDataType)}, {"strDriverName", s(c.strDriverName)},
      {"strDriverFile", s(c.strDriverFile)}, {"strConfigFile", s(c.strConfigFile)},
      {"strDataFile", s(c.strDataFile)}, {"strHelpFile", s(c.strHelpFile)},
      {"strCatalogFile", s(c.strCatalogFile)}, {"strDependentFiles", s(c.strDependentFiles)},
      {"strDrvInstLanguageMonitor", s(c.strDrvInstLanguageMonitor)},
      {"strLanguageMonitorName", s(c.strLanguageMonitorName)},
      {"strLanguageMonitorDLL", s(c.strLanguageMonitorDLL)}, {"dwInfOSVersion", c.dwInfOSVersion},
      {"strInfPath", s(c.strInfPath)}, {"strVendorSetup", s(c.strVendorSetup)},
      {"strVendorSetupParam", s(c.strVendorSetupParam)}, {"nVendorSetupLangID", c.nVendorSetupLangID},
      {"tmDriverFileTime", static_cast<long long>(c.tmDriverFileTime)},
      {"strUserModeDriver", s(c.strUserModeDriver)}, {"strDriverPath", s(c.strDriverPath)},
      {"strNoCheckFiles", s(c.strNoCheckFiles)}, {"strComment", s(c.strComment)}, {"bInfCopy", c.bInfCopy},
      {"strIniFileDir", s(c.strIniFileDir)}, {"strIniFileName", s(c.strIniFileName)},
      {"strHardwareID", s(c.strHardwareID)}, {"strCompatibleID", s(c.strCompatibleID)},
      {"strProviderName", s(c.strProviderName)}, {"strColorProfiles", s(c.strColorProfiles)},
      {"strDriverType", s(c.strDriverType)}, {"bUserCodeOK", c.bUserCodeOK}, {"bNeedReboot", c.bNeedReboot},
      {"strCopyForceFiles", s(c.strCopyForceFiles)}, {"strOEMManufacturer", s(c.strOEMManufacturer)},
      {"strOEMUrl", s(c.strOEMUrl)}, {"bPreventSameKindUpdate", c.bPreventSameKindUpdate},
      {"strIniFileSubDir", s(c.strIniFileSubDir)}, {"dwUserCodeMode", c.dwUserCodeMode},
      {"strCopyFlags", s(c.strCopyFlags)}, {"strDefaultDestDir", s(c.strDefaultDestDir)},
      {"dwDriverVersionDownOption", c.dwDriverVersionDownOption}, {"strInstallSection", s(c.strInstallSection)},
      {"dwNotSelectedTimeOut", c.dwNotSelectedTimeOut}, {"dwRetryTimeOut", c.dwRetryTimeOut},
      {"strPnpDevRegKey", s(c.strPnpDevRegKey)}, {"strDeleteDeviceString", s(c.strDeleteDeviceString)},
      {"bDrvInstListed", c.bDrvInstListed}, {"bDrvInstFirst", c.bDrvInstFirst}, {"strPlatform", s(c.strPlatform)},
      {"strModelName", s(c.strModelName)}, {"bUSBPermit", c.bUSBPermit}, {"bPrinterProperty", c.bPrinterProperty},
      {"admitted", bAdmitted}, {"decision", v.decision}, {"admission", s(admitted)}};
  json files = json::array();
  if (c.pDriverFileList) {
    for (const CDriverFile& f : *c.pDriverFileList) {
      files.push_back({{"strFileName", s(f.strFileName)}, {"strSourceDir", s(f.strSourceDir)},
                       {"dwSourceId", f.dwSourceId}, {"strDiskName", s(f.strDiskName)}, {"strDirId", s(f.strDirId)},
                       {"strTargetDir", s(f.strTargetDir)}, {"bCopyForce", f.bCopyForce}, {"bNoCheck", f.bNoCheck},
                       {"tmSourceFileTime", static_cast<long long>(f.tmSourceFileTime)}, {"bFound", f.bFound},
                       {"bColorProfile", f.bColorProfile}, {"strCopyFlags", s(f.strCopyFlags)}});
    }
  }
  o["pDriverFileList"] = files;
  return o;
}

int analyze(const AnalyzeOptions& opt) {
  std::string folder;
  if (!kvpkgFullPath(opt.folder, &folder)) {
    std::fprintf(stderr, "kvpkg: cannot resolve the folder %s\n", opt.folder.c_str());
    return kExitUsage;
  }
  // The program classifies the system before it analyses; the admission
  // reads that classification.
  const BOOL bSystem = CEnvironment::kGetOsVersionCheck();
  const std::string refusal = systemRefusal(bSystem);
  const std::string system = kvpkgSystemName();

  KvpkgAnalysis analysis;
  std::string error;
  if (!analysis.kInit(&error)) {
    std::fprintf(stderr, "kvpkg: %s\n", error.c_str());
    return kExitFailed;
  }
  const DWORD dwResult = analysis.kRun(folder, opt.lang, opt.listedOnly);
  json skipped = json::array();
  for (const KvpkgSkippedInf& s : analysis.kSkipped()) {
    skipped.push_back({{"inf", kvpkgUtf8(s.strPath)}, {"reason", kvpkgUtf8(s.strReason)}});
  }

  if (dwResult != VEXOERR_SUCCESS) {
    const std::vector<std::string> why = analysis.kExplainFailure();
    if (opt.json) {
      json o = {{"folder", kvpkgUtf8(folder)}, {"result", dwResult}, {"failure", analysis.kFailure()},
                {"errorText1", kvpkgUtf8(analysis.kErrorText1())}, {"errorText2", kvpkgUtf8(analysis.kErrorText2())},
                {"explanation", json::array()}, {"skipped", skipped}};
      for (const std::string& line : why) o["explanation"].push_back(kvpkgUtf8(line));
      std::printf("%s\n", kvpkgDump(o).c_str());
    } else {
      std::printf("Package %s fails the analysis (result %u).\n", folder.c_str(), static_cast<unsigned>(dwResult));
      std::printf("  Failure:      %d\n", analysis.kFailure());
      std::printf("  Error text 1: %s\n", analysis.kErrorText1().c_str());
      std::printf("  Error text 2: %s\n", analysis.kErrorText2().c_str());
      for (const std::string& line : why) std::printf("  %s\n", line.c_str());
      for (const KvpkgSkippedInf& s : analysis.kSkipped())
        std::printf("  Skipped %s: %s\n", s.strPath.c_str(), s.strReason.c_str());
    }
    return kExitFailed;
  }

  // The program's own admission, candidate by candidate in list order, as
  // its start-up builds the setup list.
  const CCandidateDriverList& list = analysis.kCandidates();
  std::vector<Verdict> verdicts(list.size());
  CCandidateDriverList lstSetup;
  // Each entry of lstSetup is tagged with its candidate's index.
  CSetupCandidateAdmission admission(lstSetup);
  size_t i = 0;
  for (const CCandidateDriver& c : list) {
    Verdict& v = verdicts[i];
    if (refusal.empty()) {
      size_t displaced = CSetupCandidateAdmission::kNoTag;
      v.result = admission.kAdmit(c, i, &v.decision, &v.reason, &displaced);
      if (v.result == 1 && displaced != CSetupCandidateAdmission::kNoTag) verdicts[displaced].displacedBy = i + 1;
    }
    ++i;
  }
  const size_t admitted = lstSetup.size();
  // INF files decorated for several platforms, whose first decoration decides.
  std::vector<std::pair<std::string, std::string>> decorationNotes;
  {
    std::vector<std::string> infs;
    for (const CCandidateDriver& c : list) {
      if (std::find(infs.begin(), infs.end(), c.strInfPath.str()) == infs.end()) infs.push_back(c.strInfPath);
    }
    for (const std::string& inf : infs) {
      const std::string note = kvpkgDecorationNote(analysis.kInfo(), inf);
      if (!note.empty()) decorationNotes.emplace_back(inf, note);
    }
  }

  // Why none is admitted: the distinct refusals.
  std::map<std::string, int> reasons;
  for (size_t k = 0; k < verdicts.size(); ++k) {
    if (!refusal.empty()) reasons[refusal]++;
    else if (verdicts[k].result != 1) reasons[verdictText(verdicts[k], "")]++;
  }

  if (opt.json) {
    json o = {{"folder", kvpkgUtf8(folder)}, {"system", system}, {"candidates", json::array()},
              {"admittedCount", admitted}, {"skipped", skipped}};
    if (!refusal.empty()) o["systemRefused"] = refusal;
    o["notes"] = json::array();
    for (const auto& [inf, note] : decorationNotes) o["notes"].push_back({{"inf", kvpkgUtf8(inf)}, {"text", kvpkgUtf8(note)}});
    i = 0;
    for (const CCandidateDriver& c : list) {
      const Verdict& v = verdicts[i];
      const bool bIn = refusal.empty() && v.result == 1 && !v.displacedBy;
      o["candidates"].push_back(candidateJson(c, v, verdictText(v, refusal), bIn));
      ++i;
    }
    std::printf("%s\n", kvpkgDump(o).c_str());
  } else {
    std::printf("Package %s: %zu candidate(s), %zu admitted, judged for %s.\n", folder.c_str(), list.size(), admitted,
                system.c_str());
    if (!refusal.empty()) std::printf("The program does not run on this system: %s.\n", refusal.c_str());
    for (const KvpkgSkippedInf& s : analysis.kSkipped())
      std::printf("Skipped %s: %s\n", s.strPath.c_str(), s.strReason.c_str());
    for (const auto& [inf, note] : decorationNotes) std::printf("Note %s: %s\n", inf.c_str(), note.c_str());
    if (list.empty()) {
      std::printf("No candidate: the package holds no printer INF that the program reads%s.\n",
                  analysis.kSkipped().empty() ? "" : " (every INF above was skipped)");
    } else if (admitted == 0) {
      std::printf("None is admitted on %s:\n", system.c_str());
      for (const auto& [text, count] : reasons) std::printf("  %d x %s\n", count, text.c_str());
    }
    std::printf("\n");
    i = 0;
    for (const CCandidateDriver& c : list) {
      printCandidate(i + 1, c, verdictText(verdicts[i], refusal));
      ++i;
    }
  }
  return admitted == 0 ? kExitNoneAdmitted : kExitOk;
}

const std::vector<std::string> kOsNames = {"win95", "win98", "winme", "nt4",  "win2k",
                                           "xp",    "vista", "win7",  "win8", "win10"};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "kvpkg: the package engineer's check of a printer driver package.\n"
      "Exit status: 0 fine; 1 analysis failed (analyze) or something stops the wizard (check);\n"
      "2 warnings only (check); 3 candidates, none admitted (analyze); 64 a command line kvpkg cannot use."};
  app.require_subcommand(1);
  std::string root;
  bool create = false;
  std::string logFile;

  AnalyzeOptions aopt;
  CLI::App* analyzeCmd = app.add_subcommand(
      "analyze", "the candidate drivers the setup program finds in the package, and whether it admits each");
  analyzeCmd->add_option("FOLDER", aopt.folder, "the package folder (the program's +G)")->required();
  analyzeCmd->add_option("--os", aopt.os, "judge for this release instead of the machine's")
      ->check(CLI::IsMember(kOsNames));
  analyzeCmd->add_flag("--server", aopt.server, "the server edition of the release");
  analyzeCmd->add_option("--arch", aopt.arch, "judge for this processor architecture")
      ->check(CLI::IsMember({"x86", "amd64", "ia64"}));
  analyzeCmd->add_option("--lang", aopt.lang, "display-language identifier for the vendor setup program (0xNNNN)")
      ->check([](const std::string& text) -> std::string {
        const std::string digits = text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0 ? text.substr(2) : text;
        if (digits.empty() || digits.size() > 4 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
          return "--lang wants 0xNNNN, not " + text;
        return std::string();
      });
  analyzeCmd->add_flag("--listed-only", aopt.listedOnly, "only the drivers the description file lists");
  analyzeCmd->add_flag("--json", aopt.json, "every field of every candidate as JSON");

  KvpkgCheckOptions copt;
  CLI::App* checkCmd = app.add_subcommand(
      "check", "everything wrong with a package at once (exit 0 clean, 1 stops the wizard, 2 warnings only)");
  checkCmd->add_option("FOLDER", copt.strFolder, "the package folder (where KVISETUP.INI is)")->required();
  checkCmd->add_flag("--json", copt.bJson, "the findings as JSON");
  // The same storage as analyze's: one sub-command is parsed.
  checkCmd->add_option("--os", aopt.os, "judge the admission for this release instead of the machine's")
      ->check(CLI::IsMember(kOsNames));
  checkCmd->add_flag("--server", aopt.server, "the server edition of the release");
  checkCmd->add_option("--arch", aopt.arch, "judge the admission for this processor architecture")
      ->check(CLI::IsMember({"x86", "amd64", "ia64"}));

  for (CLI::App* cmd : {analyzeCmd, checkCmd}) {
    cmd->add_option("--root", root, "the simulated machine to analyse on (native build)");
    cmd->add_flag("--create", create, "create the --root machine when it does not exist");
    cmd->add_option("--log", logFile, "write the analysis's detail-log lines (level 99) to this file");
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }

  std::string error;
  if (!kvpkgUseMachineRoot(root, create, &error)) {
    std::fprintf(stderr, "kvpkg: %s\n", error.c_str());
    return kExitUsage;
  }
  if (!aopt.os.empty() || aopt.server || !aopt.arch.empty()) {
    std::string note;
    if (!kvpkgUseScratchMachine(aopt.os, aopt.server, aopt.arch, &note, &error)) {
      std::fprintf(stderr, "kvpkg: refused: %s\n", error.c_str());
      return kExitUsage;
    }
    if (!note.empty()) std::fprintf(stderr, "kvpkg: %s\n", note.c_str());
  }
  if (!logFile.empty() && !kvpkgSetLog(logFile, &error)) {
    std::fprintf(stderr, "kvpkg: %s\n", error.c_str());
    kvpkgDropScratchMachine();
    return kExitUsage;
  }
  if (!aopt.lang.empty()) {
    const std::string digits = aopt.lang.rfind("0x", 0) == 0 || aopt.lang.rfind("0X", 0) == 0 ? aopt.lang.substr(2) : aopt.lang;
    char buf[8];
    std::snprintf(buf, sizeof(buf), "%04lx", std::strtoul(digits.c_str(), nullptr, 16));
    aopt.lang = buf;
  }
  const int rc = analyzeCmd->parsed() ? analyze(aopt) : kvpkgCheck(copt);
  kvpkgDropScratchMachine();
  return rc;
}
