// Whole runs of the network path on scratch machines: printers put on the
// simulated network with "kvsim net", found by the stand-in library in the
// package's NETDLL folder, chosen on the list page. Once the stand-in
// installer is in the package (INSTDLL\NELI64.EXE) the runs go on to it and
// the printer object it creates is checked too.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "scenarios/scenario.h"

namespace {

using scenario::Outcome;

class NetworkRun : public scenario::ScenarioTest {
 protected:
  bool hasInstaller() const {
    std::error_code ec;
    return std::filesystem::exists(packageFile("INSTDLL/NELI64.EXE"), ec);
  }
  // Licence, then the setup kind as the package preselects it: network.
  static std::string toSearch() { return "page 1000: ok\npage 133: ok\n"; }
  // What follows the installer: the completion page.
  std::string afterInstaller() const { return hasInstaller() ? "page 135: ok\n" : ""; }
  // What "kvsim spooler list WHAT" prints for this test's machine.
  std::string spoolerList(const std::string& strWhat) const {
    const std::string cmd = std::string(KV_SIM_EXE) + " --root '" + m_root.string() + "' spooler list " + strWhat;
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
      char buf[512];
      while (fgets(buf, sizeof buf, p)) out += buf;
      pclose(p);
    }
    return out;
  }
  std::string readTemp(const std::string& strName) const {
    std::ifstream in(m_temp / strName, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
};

TEST_F(NetworkRun, SearchFindsThePackagesPrintersAndOneIsChosen) {
  kvsim({"net", "add", "192.168.1.20", "KV LaserPro", "--description", "Second floor"});
  kvsim({"net", "add", "192.168.1.3", "KV LaserPro", "--description", "First floor"});
  kvsim({"net", "add", "10.0.0.9", "KV LaserPro Color"});
  kvsim({"net", "add", "10.0.0.10", "Other Vendor 1"});  // not a model of the package
  kvsim({"net", "add", "10.0.0.11", "KV LaserPro", "--unreachable"});
  // Sorted by address: 10.0.0.9, 192.168.1.3, 192.168.1.20; the second is chosen.
  const Outcome r = run({}, toSearch() + "page 139\npage 140: select 1015 1; next\n" + afterInstaller());
  EXPECT_TRUE(r.transcriptHas("== page 139")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispSearchPrinterDialog() CSearchPrinterDialog nResult=[6]\n")) << r.describe();
  EXPECT_TRUE(r.logHas("[Other Vendor 1] [10.0.0.10] is not a model of this package.")) << r.describe();
  EXPECT_TRUE(r.transcriptHas("First floor")) << r.describe();
  EXPECT_FALSE(r.transcriptHas("Other Vendor")) << r.describe();
  EXPECT_FALSE(r.transcriptHas("10.0.0.11")) << r.describe();
  EXPECT_TRUE(r.logHas("CPrinterListDialog::OnOK() [KV LaserPro] [192.168.1.3] [First floor]\n")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispPrinterListDialog() post WM_EXECUTE_NELI\n")) << r.describe();
  EXPECT_FALSE(r.logHas("NQCallBackFunc1() return TRUE")) << r.describe();
  if (hasInstaller()) {
    EXPECT_EQ(r.nExit, 0) << r.describe();
    ASSERT_FALSE(r.lstParent.empty()) << r.describe();
    EXPECT_EQ(r.lstParent.back(), scenario::parentLine(0, 0, 0)) << r.describe();
    const std::string ini = readTemp("NELSETUP.INI");
    EXPECT_NE(ini.find("PortName=IP_192.168.1.3"), std::string::npos) << ini;
    EXPECT_NE(ini.find("PortAddress=192.168.1.3"), std::string::npos) << ini;
    const std::string printers = spoolerList("printers");
    EXPECT_NE(printers.find("\tIP_192.168.1.3\t"), std::string::npos) << printers << r.describe();
  }
}

TEST_F(NetworkRun, NothingFoundAnsweredYesInstallsWithoutANetworkPrinter) {
  kvsim({"net", "add", "10.0.0.1", "KV LaserPro", "--unreachable"});
  const Outcome r =
      run({}, toSearch() + "page 139\nmsgbox IDS_ERR_PRINTER_NOTFOUND: yes\n" + afterInstaller());
  EXPECT_TRUE(r.transcriptHas("[IDS_ERR_PRINTER_NOTFOUND IDS_ERR_PRINTER_NOTFOUND2]")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispSearchPrinterDialog() post WM_EXECUTE_NELI (3)\n")) << r.describe();
  EXPECT_FALSE(r.transcriptHas("== page 140")) << r.describe();
}

TEST_F(NetworkRun, OnlyOtherModelsFoundAnsweredNoCancels) {
  kvsim({"net", "add", "10.0.0.1", "Other Vendor 1"});
  const Outcome r = run({}, toSearch() + "page 139\nmsgbox IDS_ERR_PRINTER_NOTFOUND: no\n");
  EXPECT_EQ(r.nExit, 0) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispSearchPrinterDialog() post WM_CLOSE (4)\n")) << r.describe();
  EXPECT_FALSE(r.transcriptHas("== page 140")) << r.describe();
  ASSERT_FALSE(r.lstParent.empty()) << r.describe();
  EXPECT_EQ(r.lstParent.back(), scenario::parentLine(0, 2, 0)) << r.describe();
}

TEST_F(NetworkRun, StoppingASlowSearchInstallsWithoutANetworkPrinter) {
  kvsim({"net", "add", "10.0.0.1", "KV LaserPro"});
  kvsim({"net", "add", "10.0.0.2", "KV LaserPro", "--delay", "3600"});
  const Outcome r = run({}, toSearch() + "page 139: wait 5; ok\n" + afterInstaller());
  EXPECT_TRUE(r.transcriptHas("-- page 139 left with 1 (IDOK)")) << r.describe();
  EXPECT_TRUE(r.logHas("CSearchPrinterDialog::OnOK() search stopped.\n")) << r.describe();
  EXPECT_TRUE(r.logHas("NQCallBackFunc1() return TRUE (1)\n")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispSearchPrinterDialog() post WM_EXECUTE_NELI (1)\n")) << r.describe();
  // No completion arrived after the stop.
  EXPECT_FALSE(r.logHas("CSearchPrinterDialog::kOnEndInstall()")) << r.describe();
}

TEST_F(NetworkRun, StoppedAtOnceBeforeTheSearchBegan) {
  // The printer answers late, so the search cannot end on its own before
  // the script's OK on a slow build or a busy machine.
  kvsim({"net", "add", "10.0.0.1", "KV LaserPro", "--delay", "3600"});
  const Outcome r = run({}, toSearch() + "page 139: ok\n" + afterInstaller());
  EXPECT_TRUE(r.transcriptHas("-- page 139 left with 1 (IDOK)")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispSearchPrinterDialog() post WM_EXECUTE_NELI (1)\n")) << r.describe();
}

TEST_F(NetworkRun, WithoutTheLibraryTheSearchIsNotOffered) {
  removePackageFile("NETDLL/NQCORE64.DLL");
  removePackageFile("NETDLL/NQCORE.DLL");
  const Outcome r = run({}, "page 1000: ok\npage 133: ok\n" + afterInstaller());
  EXPECT_TRUE(r.logHas("CKV_SETUPApp::kCheckNQmodule() return 0 (5)")) << r.describe();
  EXPECT_TRUE(r.transcriptHas("1011 check [ ]")) << r.describe();
  EXPECT_FALSE(r.transcriptHas("== page 139")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispSetupKindDialog() post WM_EXECUTE_NELI\n")) << r.describe();
}

#ifdef KV_NQCORE_PARTIAL_DLL
// A library that loads but lacks an entry point: the start-up check only
// loads it, so the search is offered; the search page finds the library
// unusable and the wizard ends without a search.
TEST_F(NetworkRun, LibraryWithAnEntryPointMissingEndsTheSearch) {
  kvsim({"net", "add", "10.0.0.1", "KV LaserPro"});
  std::filesystem::copy_file(KV_NQCORE_PARTIAL_DLL, packageFile("NETDLL/NQCORE64.DLL"),
                             std::filesystem::copy_options::overwrite_existing);
  const Outcome r = run({}, toSearch() + "page 139\n");
  EXPECT_TRUE(r.logHas("m_pNQDisableCBFunc=[0]\n")) << r.describe();
  EXPECT_TRUE(r.logHas("CSearchPrinterDialog::OnInitDialog() return TRUE (1)")) << r.describe();
  EXPECT_TRUE(r.logHas("kIsEnableNQCore returned FALSE.\n")) << r.describe();
  EXPECT_FALSE(r.transcriptHas("== page 140")) << r.describe();
  EXPECT_FALSE(r.logHas("post WM_EXECUTE_NELI")) << r.describe();
  ASSERT_FALSE(r.lstParent.empty()) << r.describe();
  // Nothing was installed: the parent hears of a failed installation.
  EXPECT_EQ(r.lstParent.back(), scenario::parentLine(0, 1, 0)) << r.describe();
  EXPECT_TRUE(r.logHas("CKV_SETUPApp::ExitInstance() dwStatus = [0x00000001]")) << r.describe();
}
#endif

TEST_F(NetworkRun, LibraryWithTheSearchFailingAsksTheNotFoundQuestion) {
  kvsim({"net", "add", "10.0.0.1", "KV LaserPro"});
  const std::filesystem::path reg = m_root / "fail-enum.reg";
  std::ofstream(reg) << "Windows Registry Editor Version 5.00\n\n"
                     << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KVSim\\Network]\n"
                     << "\"FailEnum\"=dword:00000001\n";
  kvsim({"reg", "import", reg.string()});
  const Outcome r = run({}, toSearch() + "page 139\nmsgbox IDS_ERR_PRINTER_NOTFOUND: no\n");
  EXPECT_TRUE(r.logHas("NQEnumPrinterInfo fail.\n")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispSearchPrinterDialog() post WM_CLOSE (4)\n")) << r.describe();
}

}  // namespace
