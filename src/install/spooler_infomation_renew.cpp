// Renewal of a printer object after installation: the print processor and
// the colour profiles its candidate driver declares.
#include <algorithm>
#include <cstring>
#include <vector>

#include "system/environment.h"
#include "system/handle_owner.h"
#include "system/program_log.h"
#include "system/spooler_infomation.h"
#include "system/text_utility.h"

namespace {

BOOL logRenew(const char* pszFunction, BOOL bResult, int nExit, const char* pszReason = "") {
  kProgramLog().kWriteLog("CSpoolerInfomation::%s() return %s (%d) LastError=%u %s\n", pszFunction,
                          bResult ? "TRUE" : "FALSE", nExit, GetLastError(), pszReason);
  return bResult;
}

// "a.icm,b.icm," -> {"a.icm", "b.icm"}; a trailing part without a comma is
// not taken.
std::vector<std::string> splitCommaList(const std::string& strList) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t comma = strList.find(','); comma != std::string::npos; comma = strList.find(',', start)) {
    out.push_back(strList.substr(start, comma - start));
    start = comma + 1;
  }
  return out;
}

bool contains(const std::vector<std::string>& lst, const std::string& str) {
  return std::find(lst.begin(), lst.end(), str) != lst.end();
}

// An open printer, closed with ClosePrinter.
class CPrinterOwner {
 public:
  CPrinterOwner() = default;
  ~CPrinterOwner() {
    if (m_h) ClosePrinter(m_h);
  }
  CPrinterOwner(const CPrinterOwner&) = delete;
  CPrinterOwner& operator=(const CPrinterOwner&) = delete;
  HANDLE kGet() const { return m_h; }
  LPHANDLE kOut() { return &m_h; }

 private:
  HANDLE m_h = nullptr;
};

}  // namespace

BOOL CSpoolerInfomation::kGetColorProfiles(CNameList& lstProfile, LPCSTR pszDeviceName) {
  if (!CEnvironment::kIsWin2k()) return logRenew("kGetColorProfiles", TRUE, 1, "not win2k.");
  CModuleOwner mscms(LoadLibraryA("MSCMS.DLL"));
  if (!mscms.kGet()) return logRenew("kGetColorProfiles", FALSE, 2, "LoadLibrary fail.");
  auto pfnEnum = kProcAs<decltype(&::EnumColorProfilesA)>(GetProcAddress(mscms.kGet(), "EnumColorProfilesA"));
  if (!pfnEnum) return logRenew("kGetColorProfiles", FALSE, 3, "GetProcAddress fail.");
  ENUMTYPEA et{};
  et.dwSize = sizeof et;
  et.dwVersion = ENUM_TYPE_VERSION;
  if (pszDeviceName) {
    et.dwFields = ET_DEVICENAME;
    et.pDeviceName = pszDeviceName;
  } else {
    et.dwFields = ET_CLASS;
    et.dwClass = 0x70727472;  // CLASS_PRINTER, "prtr"
  }
  DWORD dwSize = 0;
  DWORD dwCount = 0;
  if (!pfnEnum(nullptr, &et, nullptr, &dwSize, &dwCount)) {
    const DWORD dwError = GetLastError();
    // No profile at all answers with nothing to enumerate.
    if (dwError != ERROR_INSUFFICIENT_BUFFER) {
      if (dwSize == 0) {
        lstProfile.clear();
        return logRenew("kGetColorProfiles", TRUE, 4, "no profile.");
      }
      return logRenew("kGetColorProfiles", FALSE, 5, "EnumColorProfiles fail.");
    }
  }
  std::vector<BYTE> vecBuffer(dwSize + 2, 0);
  if (dwSize && !pfnEnum(nullptr, &et, vecBuffer.data(), &dwSize, &dwCount)) {
    return logRenew("kGetColorProfiles", FALSE, 6, "EnumColorProfiles fail.");
  }
  lstProfile.clear();
  for (const char* p = reinterpret_cast<const char*>(vecBuffer.data()); *p; p += std::strlen(p) + 1) {
    lstProfile.push_back(p);
  }
  return logRenew("kGetColorProfiles", TRUE, 7);
}

BOOL CSpoolerInfomation::kInstallICMVer2(LPCSTR pszColorProfiles, LPCSTR pszPrinterName) {
  CModuleOwner mscms(LoadLibraryA("mscms.dll"));
  if (!mscms.kGet()) return logRenew("kInstallICMVer2", FALSE, 1, "LoadLibrary fail.");
  auto pfnInstall =
      kProcAs<decltype(&::InstallColorProfileA)>(GetProcAddress(mscms.kGet(), "InstallColorProfileA"));
  auto pfnAssociate = kProcAs<decltype(&::AssociateColorProfileWithDeviceA)>(GetProcAddress(mscms.kGet(), "AssociateColorProfileWithDeviceA"));
  if (!pfnInstall || !pfnAssociate) return logRenew("kInstallICMVer2", FALSE, 2, "GetProcAddress fail.");
  for (const std::string& strICMFile : splitCommaList(pszColorProfiles ? pszColorProfiles : "")) {
    if (!pfnInstall(nullptr, strICMFile.c_str())) {
      kProgramLog().kWriteLog("  strICMFile=[%s]\n", strICMFile.c_str());
      return logRenew("kInstallICMVer2", FALSE, 3, "InstallColorProfile fail.");
    }
    if (!pfnAssociate(nullptr, strICMFile.c_str(), pszPrinterName)) {
      kProgramLog().kWriteLog("  strICMFile=[%s]\n", strICMFile.c_str());
      return logRenew("kInstallICMVer2", FALSE, 4, "AssociateColorProfileWithDevice fail.");
    }
  }
  return logRenew("kInstallICMVer2", TRUE, 5);
}

BOOL CSpoolerInfomation::kRenewPrinterObject(const std::string& strPrinterName, CCandidateDriver record) {
  if (!CEnvironment::kIsWin2k()) return logRenew("kRenewPrinterObject", TRUE, 1, "not win2k, no processing.");
  if (record.dwInfOSVersion != 3) {
    return logRenew("kRenewPrinterObject", TRUE, 2, "not USER-MODE-DRIVER, no processing.");
  }
  CPrinterOwner printer;
  PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (!OpenPrinterA(const_cast<LPSTR>(strPrinterName.c_str()), printer.kOut(), &defaults)) {
    return logRenew("kRenewPrinterObject", FALSE, 3, "OpenPrinter fail.");
  }
  DWORD dwNeeded = 0;
  GetPrinterA(printer.kGet(), 2, nullptr, 0, &dwNeeded);
  if (dwNeeded == 0) return logRenew("kRenewPrinterObject", FALSE, 4, "GetPrinter fail.");
  std::vector<BYTE> vecInfo(dwNeeded, 0);
  if (!GetPrinterA(printer.kGet(), 2, vecInfo.data(), dwNeeded, &dwNeeded)) {
    return logRenew("kRenewPrinterObject", FALSE, 5, "GetPrinter fail.");
  }
  auto* pInfo = reinterpret_cast<PRINTER_INFO_2A*>(vecInfo.data());

  // Print processor.
  CNameList lstProcessor;
  if (!kGetPrintProcessors(lstProcessor)) return logRenew("kRenewPrinterObject", FALSE, 6, "kGetPrintProcessors fail.");
  const std::string strCurrent = pInfo->pPrintProcessor ? pInfo->pPrintProcessor : "";
  if (!kIEquals(record.strPrintProcessor, strCurrent)) {
    if (std::find(lstProcessor.begin(), lstProcessor.end(), record.strPrintProcessor) == lstProcessor.end() &&
        !kAddPrintProcessor(record.strPrintProcessor, record.strPrintProcessorDLL)) {
      return logRenew("kRenewPrinterObject", FALSE, 7, "kAddPrintProcessor fail.");
    }
    std::string strProcessor = record.strPrintProcessor;
    pInfo->pPrintProcessor = strProcessor.data();
    // The security descriptor is left as it is.
    pInfo->pSecurityDescriptor = nullptr;
    if (!SetPrinterA(printer.kGet(), 2, vecInfo.data(), 0)) {
      return logRenew("kRenewPrinterObject", FALSE, 8, "SetPrinter fail.");
    }
    kProgramLog().kWriteLog("CSpoolerInfomation::kRenewPrinterObject() print processor [%s] -> [%s]\n",
                            strCurrent.c_str(), record.strPrintProcessor.c_str());
  }

  // Colour profiles: exactly the declared ones, compared exactly.
  CNameList lstCurrent;
  if (!kGetColorProfiles(lstCurrent, strPrinterName.c_str())) {
    return logRenew("kRenewPrinterObject", FALSE, 9, "kGetColorProfiles fail.");
  }
  const std::vector<std::string> vecWanted = splitCommaList(record.strColorProfiles);
  const std::vector<std::string> vecCurrent(lstCurrent.begin(), lstCurrent.end());
  std::string strInstall;
  for (const std::string& w : vecWanted) {
    if (!contains(vecCurrent, w)) strInstall += w + ",";
  }
  std::vector<std::string> vecRemove;
  for (const std::string& c : vecCurrent) {
    if (!contains(vecWanted, c)) vecRemove.push_back(c);
  }
  CModuleOwner mscms(LoadLibraryA("MSCMS.DLL"));
  auto pfnDisassociate = mscms.kGet() ? kProcAs<decltype(&::DisassociateColorProfileFromDeviceA)>(GetProcAddress(mscms.kGet(), "DisassociateColorProfileFromDeviceA"))
                                      : nullptr;
  if (!pfnDisassociate) return logRenew("kRenewPrinterObject", FALSE, 10, "DisassociateColorProfileFromDevice missing.");
  for (const std::string& r : vecRemove) {
    if (!pfnDisassociate(nullptr, r.c_str(), strPrinterName.c_str())) {
      kProgramLog().kWriteLog("  strICMFile=[%s]\n", r.c_str());
      return logRenew("kRenewPrinterObject", FALSE, 11, "DisassociateColorProfileFromDevice fail.");
    }
  }
  if (!strInstall.empty() && !kInstallICMVer2(strInstall.c_str(), strPrinterName.c_str())) {
    return logRenew("kRenewPrinterObject", FALSE, 12, "kInstallICMVer2 fail.");
  }
  return logRenew("kRenewPrinterObject", TRUE, 13);
}
