// The printers added since start-up, the default printer and the printers'
// property sheets. "Added" means present in the spooler now and absent, by
// name, from the present printer list taken at start-up.
#include <cstring>

#include "app/kv_setup_app.h"
#include "system/command_line_text.h"
#include "system/handle_owner.h"
#include "system/program_log.h"
#include "system/spooler_function.h"
#include "system/text_utility.h"

namespace {

// The local printers at level 2, with the two-call sizing; nExit is the
// number of the failing call.
BOOL enumLocalPrinters(std::vector<BYTE>& vecBuffer, DWORD& dwCount, int& nExit) {
  DWORD dwNeeded = 0;
  dwCount = 0;
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &dwNeeded, &dwCount)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      nExit = 1;
      return FALSE;
    }
  }
  vecBuffer.assign(dwNeeded ? dwNeeded : 1, 0);
  if (dwNeeded == 0) return TRUE;
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, vecBuffer.data(), dwNeeded, &dwNeeded, &dwCount)) {
    nExit = 2;
    return FALSE;
  }
  return TRUE;
}

bool presentAtStartup(const CPresentPrinterList& lst, LPCSTR pszName) {
  for (const CPresentPrinter& p : lst) {
    if (kIEquals(p.strPrinterName, pszName ? pszName : "")) return true;
  }
  return false;
}

void copyCut(char* pszOut, DWORD cch, LPCSTR pszIn) {
  if (!pszOut || cch == 0) return;
  std::strncpy(pszOut, pszIn ? pszIn : "", cch - 1);
  pszOut[cch - 1] = '\0';
}

}  // namespace

BOOL CKV_SETUPApp::kMakeAPL() {
  m_listAPL.clear();
  std::vector<BYTE> vecBuffer;
  DWORD dwCount = 0;
  int nExit = 0;
  if (!enumLocalPrinters(vecBuffer, dwCount, nExit)) {
    kProgramLog().kWriteLog("CKV_SETUPApp::kMakeAPL()\nEnumPrinters API fail (%d)\nLastError=%u\n", nExit,
                            GetLastError());
    return FALSE;
  }
  const auto* pInfo = reinterpret_cast<const PRINTER_INFO_2A*>(vecBuffer.data());
  for (DWORD i = 0; i < dwCount; ++i) {
    if (presentAtStartup(m_lstPPL, pInfo[i].pPrinterName)) continue;
    CAddedPrinterInfo info;
    info.strPrinterName = pInfo[i].pPrinterName ? pInfo[i].pPrinterName : "";
    info.strDriverName = pInfo[i].pDriverName ? pInfo[i].pDriverName : "";
    m_listAPL.push_back(info);
    kProgramLog().kWriteLog("CKV_SETUPApp::kMakeAPL()\nm_listAPL AddTail \nPrinterName=%s DriverName=%s\n",
                            info.strPrinterName.c_str(), info.strDriverName.c_str());
  }
  return TRUE;
}

void CKV_SETUPApp::kMakeIPL() {
  m_listIPL.clear();
  const CCandidateDriverList& lstCandidate = m_pDriverInfomation->VEXOGetCandidateDriverList();
  for (const CAddedPrinterInfo& added : m_listAPL) {
    bool bProperty = false;
    for (const CCandidateDriver& c : lstCandidate) {
      if (kIEquals(c.strDriverName, added.strDriverName) && c.bPrinterProperty == 1) bProperty = true;
    }
    if (!bProperty) continue;
    CInitializePrinterInfo info;
    info.strPrinterName = added.strPrinterName;
    info.strDriverName = added.strDriverName;
    m_listIPL.push_back(info);
    kProgramLog().kWriteLog("CKV_SETUPApp::kMakeIPL\nm_listIPL AddTail \nPrinterName=%s DriverName=%s\n",
                            info.strPrinterName.c_str(), info.strDriverName.c_str());
  }
}

BOOL CKV_SETUPApp::kGetAddedPrinter(char* pszDriverName, DWORD cchDriverName, char* pszPrinterName,
                                    DWORD cchPrinterName, char* pszPortName, DWORD cchPortName) {
  std::vector<BYTE> vecBuffer;
  DWORD dwCount = 0;
  int nExit = 0;
  if (!enumLocalPrinters(vecBuffer, dwCount, nExit)) {
    kProgramLog().kWriteLog("CKV_SETUPApp::kGetAddedPrinter\nEnumPrinters API fail (%d)\nLastError=%u\n", nExit,
                            GetLastError());
    return FALSE;
  }
  const auto* pInfo = reinterpret_cast<const PRINTER_INFO_2A*>(vecBuffer.data());
  for (DWORD i = 0; i < dwCount; ++i) {
    if (presentAtStartup(m_lstPPL, pInfo[i].pPrinterName)) continue;
    copyCut(pszDriverName, cchDriverName, pInfo[i].pDriverName);
    copyCut(pszPrinterName, cchPrinterName, pInfo[i].pPrinterName);
    copyCut(pszPortName, cchPortName, pInfo[i].pPortName);
    break;
  }
  return TRUE;
}

BOOL CKV_SETUPApp::kSetDefaultPrinter() {
  if (!m_bUSBConnected) {
    kProgramLog().kWriteLog("CKV_SETUPApp::kSetDefaultPrinter() return [1] (1) LastError=%u\n", GetLastError());
    return TRUE;
  }
  char szDriver[260] = {};
  char szPrinter[260] = {};
  char szPort[260] = {};
  BOOL bResult = TRUE;
  if (kGetAddedPrinter(szDriver, sizeof szDriver, szPrinter, sizeof szPrinter, szPort, sizeof szPort) &&
      szPrinter[0] != '\0') {
    kProgramLog().kWriteLog("SET DEFAULT PRINTER = [%s]\n", szPrinter);
    bResult = CSpoolerFunction().kSetDefaultPrinter(szPrinter, szPort, m_CDE.strDriverPath.c_str());
  }
  kProgramLog().kWriteLog("CKV_SETUPApp::kSetDefaultPrinter() return [%d] (2) LastError=%u\n", bResult,
                          GetLastError());
  return bResult;
}

void CKV_SETUPApp::kShowPrinterProperty() {
  for (const CInitializePrinterInfo& info : m_listIPL) {
    kProgramLog().kWriteLog("CKV_SETUPApp::kShowPrinterProperty()strPrinterName=[%s] bShowProperty=[%d]\n",
                            info.strPrinterName.c_str(), info.bShowProperty);
    if (!info.bShowProperty) continue;
    // The printer's name is quoted by the command-line rules: a quote in it
    // must not end the name and add switches of its own.
    std::string strCommand = "rundll32 printui.dll,PrintUIEntry /p /n " + kQuoteCommandLineValue(info.strPrinterName);
    kProgramLog().kWriteLog("  Created Command =[%s] \n", strCommand.c_str());
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, strCommand.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      kProgramLog().kWriteLog("CKV_SETUPApp::kShowPrinterProperty() CreateProcess NG \n");
      continue;
    }
    WaitForInputIdle(pi.hProcess, INFINITE);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
}
