// The network path of the wizard: the search, the list of printers found and
// the page that adds a printer by hand when none was detected.
#include <algorithm>

#include "app/kv_setup_app.h"
#include "app/window_messages.h"
#include "resources/message_ids.h"
#include "system/program_log.h"
#include "wizard/add_force_printer_dialog.h"
#include "wizard/main_frame.h"
#include "wizard/network_printer_list.h"
#include "wizard/printer_list_dialog.h"
#include "wizard/search_printer_dialog.h"

namespace {

void logEntry(const char* pszHandler, WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::%s wParam=%X lParam=%X\n", pszHandler, static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
}

}  // namespace

void CMainFrame::kFilterNetworkPrinterList() {
  m_app.m_bModelFilter = 0;
  for (const CCandidateDriver& cde : m_app.m_lstSetupCandidate) {
    if (!cde.strModelName.empty()) m_app.m_bModelFilter = 1;
  }
  if (!m_app.m_bModelFilter || !m_app.m_pNetworkPrinterList) return;
  auto& printers = m_app.m_pNetworkPrinterList->m_lstNetworkPrinter;
  printers.erase(std::remove_if(printers.begin(), printers.end(),
                                [&](const CNetworkPrinter& printer) {
                                  for (const CCandidateDriver& cde : m_app.m_lstSetupCandidate) {
                                    if (!cde.strModelName.empty() &&
                                        lstrcmpiA(cde.strModelName.c_str(), printer.strModelName.c_str()) == 0)
                                      return false;
                                  }
                                  kProgramLog().kWriteLog("CMainFrame::kOnDispSearchPrinterDialog() [%s] [%s] is "
                                                          "not a model of this package.\n",
                                                          printer.strModelName.c_str(), printer.strAddress.c_str());
                                  return true;
                                }),
                 printers.end());
}

void CMainFrame::kKeepSelectedNetworkPrinter(const std::string& strAddress) {
  if (!m_app.m_pNetworkPrinterList) return;
  auto& printers = m_app.m_pNetworkPrinterList->m_lstNetworkPrinter;
  printers.erase(std::remove_if(printers.begin(), printers.end(),
                                [&](const CNetworkPrinter& printer) {
                                  return lstrcmpiA(printer.strAddress.c_str(), strAddress.c_str()) != 0;
                                }),
                 printers.end());
  // What the interface file is written from: the chosen printer, named by
  // its model, on the port of its address.
  m_app.m_lstIFINetworkPrinter.clear();
  for (const CNetworkPrinter& printer : printers) {
    m_app.m_lstIFINetworkPrinter.push_back({printer.strModelName, printer.strAddress, printer.strModelName});
  }
}

LRESULT CMainFrame::kOnDispSearchPrinterDialog(WPARAM wParam, LPARAM lParam) {
  static constexpr const char* kName = "kOnDispSearchPrinterDialog";
  logEntry(kName, wParam, lParam);
  const INT_PTR nResult = CSearchPrinterDialog(m_hWnd).DoModal();
  kProgramLog().kWriteLog("CMainFrame::%s() CSearchPrinterDialog nResult=[%d]\n", kName, static_cast<int>(nResult));
  if (nResult == IDOK) {
    m_app.m_bNetworkSearch = 0;
    kPost(kName, WM_EXECUTE_NELI, "WM_EXECUTE_NELI", 1);
    return 1;
  }
  if (nResult != CSearchPrinterDialog::kSearchDone) {
    // The search could not run (the library unusable, no event or thread):
    // the wizard ends with nothing installed, which the parent must not
    // read as a success.
    m_app.m_bInstallError = 1;
    kPost(kName, WM_CLOSE, "WM_CLOSE", 2);
    return 1;
  }
  kFilterNetworkPrinterList();
  if (m_app.m_pNetworkPrinterList && !m_app.m_pNetworkPrinterList->m_lstNetworkPrinter.empty()) {
    kPost(kName, WM_DISP_PRINTERLIST, "WM_DISP_PRINTERLIST", 0);
    return 1;
  }
  if (m_app.kDispStartMessage(msgid::IDS_ERR_PRINTER_NOTFOUND, msgid::IDS_ERR_PRINTER_NOTFOUND2) == IDYES) {
    m_app.m_bNetworkSearch = 0;
    kPost(kName, WM_EXECUTE_NELI, "WM_EXECUTE_NELI", 3);
  } else {
    kCancel(kName, 4);
  }
  return 1;
}

LRESULT CMainFrame::kOnDispPrinterListDialog(WPARAM wParam, LPARAM lParam) {
  static constexpr const char* kName = "kOnDispPrinterListDialog";
  logEntry(kName, wParam, lParam);
  const std::vector<CNetworkPrinter>* pPrinters =
      m_app.m_pNetworkPrinterList ? &m_app.m_pNetworkPrinterList->m_lstNetworkPrinter : nullptr;
  CPrinterListDialog page(m_hWnd, pPrinters);
  const INT_PTR nResult = page.DoModal();
  kProgramLog().kWriteLog("CMainFrame::%s() CPrinterListDialog nResult=[%d]\n", kName, static_cast<int>(nResult));
  if (nResult == IDOK) {
    kKeepSelectedNetworkPrinter(page.m_strAddress);
    kPost(kName, WM_EXECUTE_NELI, "WM_EXECUTE_NELI", 0);
    return 1;
  }
  m_app.m_pNetworkPrinterList.reset();
  if (nResult == IDCANCEL) {
    kCancel(kName, 0);
  } else {
    // The page could not be shown: with nothing posted the wizard would
    // wait for ever behind its hidden frame.
    kEndIdleState(kName, "the printer list page did not open");
  }
  return 1;
}

LRESULT CMainFrame::kOnDispAddForceDialog(WPARAM wParam, LPARAM lParam) {
  static constexpr const char* kName = "kOnDispAddForceDialog";
  logEntry(kName, wParam, lParam);
  const INT_PTR nResult = CAddForcePrinterDialog(m_hWnd).DoModal();
  kProgramLog().kWriteLog("CMainFrame::%s() CAddForcePrinterDialog nResult=[%d]\n", kName, static_cast<int>(nResult));
  if (nResult == IDOK) {
    if (m_app.kMakeInterfaceFileAddForce()) {
      kPost(kName, WM_EXECUTE_NELIADDFORCE, "WM_EXECUTE_NELIADDFORCE", 2);
    } else {
      kPost(kName, WM_CLOSE, "WM_CLOSE", 1);
    }
  } else if (nResult == IDCANCEL) {
    kCancel(kName, 3);
  } else {
    kPost(kName, WM_DISP_POWERON, "WM_DISP_POWERON", 4);
  }
  return 1;
}
