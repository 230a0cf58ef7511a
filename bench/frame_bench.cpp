// The frame's own work for one transition: a handler with its page replaced
// by the page's result (so the page's one-second appearance delay and the
// person are left out), the decision it makes and the message it posts, which
// the benchmark takes from the queue again.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/kv_setup_app.h"
#include "app/window_messages.h"
#include "platform/win32.h"
#include "wizard/kvi_dlg_form.h"

namespace {

namespace fs = std::filesystem;

CCandidateDriver candidate(const std::string& strName) {
  CCandidateDriver cde;
  cde.strDriverName = strName;
  cde.strModelName = strName;
  cde.dwInfOSVersion = 3;
  cde.strPlatform = "NTamd64";
  return cde;
}

// One frame for the whole program, on a scratch machine of its own.
CMainFrame& frame() {
  static CMainFrame* pFrame = [] {
    static const fs::path root = fs::temp_directory_path() / ("kvbench-frame-" + std::to_string(::getpid()));
    setenv("KVSIM_ROOT", root.c_str(), 1);
    setenv("KVSIM_UI", "none", 1);
    CKV_SETUPApp& app = SETUP_GLOBAL;
    (void)CEnvironment::kGetOsVersionCheck();
    app.kRegisterMessageID();
    CMainFrame::kRegisterClass();
    auto* p = new CMainFrame(app);
    p->kCreate("frame bench");
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(root, ec);
    });
    return p;
  }();
  return *pFrame;
}

void dropPosted(HWND hWnd) {
  MSG msg;
  while (PeekMessageA(&msg, hWnd, 0, 0, PM_REMOVE)) {
  }
}

// Candidates of the given count; every page says OK.
void prepare(int nModels) {
  CKV_SETUPApp& app = SETUP_GLOBAL;
  app.m_bCancel = app.m_bBreakOff = app.m_bSuccess = app.m_bInstallError = 0;
  app.m_bBSwitch = app.m_bQSwitch = 0;
  app.m_bShowLicensePage = 1;
  auto& lstCandidates = app.m_pDriverInfomation->VEXOGetCandidateDriverList();
  lstCandidates.clear();
  app.m_lstSetupCandidate.clear();
  for (int n = 0; n < nModels; ++n) {
    lstCandidates.push_back(candidate("Model " + std::to_string(n)));
    app.m_lstSetupCandidate.push_back(candidate("Model " + std::to_string(n)));
  }
  CKVIDlgForm::kSetPageRunner([](CKVIDlgForm&) -> INT_PTR { return IDOK; });
}

void BM_LicenceToSetupKind(benchmark::State& state) {
  CMainFrame& f = frame();
  prepare(3);
  for (auto _ : state) {
    f.kOnDispLicenseDialog(0, 0);
    dropPosted(f.kGetSafeHwnd());
  }
  CKVIDlgForm::kSetPageRunner(nullptr);
}
BENCHMARK(BM_LicenceToSetupKind);

void BM_SetupKindToInstaller(benchmark::State& state) {
  CMainFrame& f = frame();
  prepare(3);
  for (auto _ : state) {
    SETUP_GLOBAL.m_nSetupKind = SETUPKIND_ADD;
    f.kOnDispSetupKindDialog(0, 0);
    dropPosted(f.kGetSafeHwnd());
  }
  CKVIDlgForm::kSetPageRunner(nullptr);
}
BENCHMARK(BM_SetupKindToInstaller);

// The update state walks the printers in use (none on the bench's machine)
// against every candidate of the package.
void BM_UpdateListToInstaller(benchmark::State& state) {
  CMainFrame& f = frame();
  prepare(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    SETUP_GLOBAL.m_lstUpdatePrinters.clear();
    f.kOnDispUpdatePrinterDialog(0, 0);
    dropPosted(f.kGetSafeHwnd());
  }
  state.SetComplexityN(state.range(0));
  CKVIDlgForm::kSetPageRunner(nullptr);
}
BENCHMARK(BM_UpdateListToInstaller)->Arg(10)->Arg(100)->Arg(1000)->Complexity();

void BM_BatchCompletionToClose(benchmark::State& state) {
  CMainFrame& f = frame();
  prepare(3);
  SETUP_GLOBAL.m_bBSwitch = 1;
  SETUP_GLOBAL.m_bQSwitch = 1;
  for (auto _ : state) {
    f.kOnDispCompleteDialog(0, 0);
    dropPosted(f.kGetSafeHwnd());
  }
  SETUP_GLOBAL.m_bBSwitch = SETUP_GLOBAL.m_bQSwitch = 0;
  CKVIDlgForm::kSetPageRunner(nullptr);
}
BENCHMARK(BM_BatchCompletionToClose);

}  // namespace
