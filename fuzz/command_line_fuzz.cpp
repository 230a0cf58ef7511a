// Fuzzes the command-line scanner and its validation: the input is split at
// line feeds into arguments. Whatever the arguments, the scan either
// succeeds or remembers exactly one of them, and the validation refuses a
// remembered argument.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/kv_setup_app.h"

#include "fuzz_machine.h"

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string root = kvFuzzMachine("cmdline");
  std::filesystem::create_directories(std::filesystem::path(root) / "drive_c" / "pkg");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static CKV_SETUPApp* pApp = new CKV_SETUPApp;
  const std::string strInput(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lstArguments;
  size_t nAt = 0;
  while (nAt <= strInput.size() && lstArguments.size() < 64) {
    size_t nEnd = strInput.find('\n', nAt);
    if (nEnd == std::string::npos) nEnd = strInput.size();
    lstArguments.push_back(strInput.substr(nAt, nEnd - nAt));
    nAt = nEnd + 1;
  }
  pApp->m_strModulePath = "C:\\pkg\\";
  pApp->kSetArguments(lstArguments);
  const BOOL bScanned = pApp->kGetCommandLine();
  bool bRemembered = false;
  for (const std::string& strArgument : lstArguments) bRemembered |= strArgument == pApp->m_strErrorCommandLine;
  check(bScanned ? pApp->m_strErrorCommandLine.empty() && pApp->m_nCommandLineError == 0
                 : bRemembered && pApp->m_nCommandLineError >= 1 && pApp->m_nCommandLineError <= 9,
        "a failed scan remembers its argument and error");
  check(pApp->m_nRebootMethod >= -1 && pApp->m_nRebootMethod <= 2, "reboot method in range");
  const BOOL bValid = pApp->kAnalysisCommandLine();
  check(bScanned || !bValid, "a scanning error is refused");
  if (bValid) {
    check(pApp->m_nInitPrnSelect >= 0 && pApp->m_nInitPrnSelect <= 3, "initial-settings choice in range");
    check(!pApp->m_bBSwitch || pApp->m_bASwitch + pApp->m_bDSwitch + pApp->m_bRSwitch <= 1 , "one batch action");
  }
  return 0;
}
