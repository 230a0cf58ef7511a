// Start-ups that are refused: the machine, the package or the command line
// is not fit for the setup. Each run ends with its numbered exit, the line of
// that exit in the detail log, the message the user answers (or none), and
// the status word of an installation error for the parent installer, which
// the refusal must neither leave waiting nor tell "success" (+S alone ends
// as asked, with 0).
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "scenarios/scenario.h"

namespace {

using scenario::Outcome;
using scenario::parentLine;

// The status word of a start-up that was refused: nothing was installed.
const std::string kStatusError = parentLine(0, 1, 0);
// +S: ended as asked.
const std::string kStatusZero = parentLine(0, 0, 0);

class StartupRefusal : public scenario::ScenarioTest {
 protected:
  // The exit line of the start-up; exits 25 and later carry no last-error value.
  static std::string exitLine(int nExit, const std::string& strReason) {
    const std::string strHead = "CKV_SETUPApp::InitInstance() return FALSE (" + std::to_string(nExit) + ") ";
    if (nExit >= 25 && nExit <= 31) return strHead + strReason + "\n";
    return strHead + "LastError=";
  }

  // The run ended with exit N and wrote its numbered line, once.
  static void expectExit(const Outcome& r, int nExit, const std::string& strReason) {
    EXPECT_EQ(r.nExit, nExit) << r.describe();
    const std::string strLine = exitLine(nExit, strReason);
    const size_t at = r.strDetailLog.find(strLine);
    ASSERT_NE(at, std::string::npos) << strLine << "\n" << r.describe();
    // The reason closes the line.
    const size_t end = r.strDetailLog.find('\n', at);
    const std::string strWritten = r.strDetailLog.substr(at, end - at);
    EXPECT_EQ(strWritten.substr(strWritten.size() - std::min(strWritten.size(), strReason.size())), strReason)
        << r.describe();
    EXPECT_EQ(r.strDetailLog.find("InitInstance() return FALSE (", at + strLine.size()), std::string::npos)
        << r.describe();
    EXPECT_TRUE(r.logHas("CKV_SETUPApp::ExitInstance() return [" + std::to_string(nExit) + "]\n")) << r.describe();
  }

  // The parent heard the start announcement (when the refusal came after it)
  // and then the status word 0, and nothing else.
  static void expectParent(const Outcome& r, bool bAnnounced, const std::string& strStatus = kStatusError) {
    ASSERT_EQ(r.lstParent.size(), bAnnounced ? 2u : 1u) << r.describe();
    if (bAnnounced) {
      EXPECT_EQ(r.lstParent.front().rfind("kind=2 ", 0), 0u) << r.describe();
    }
    EXPECT_EQ(r.lstParent.back(), strStatus) << r.describe();
  }

  // The one box of the run: its catalogue id, a part of
  // its text, the exclamation style with OK, answered by the script.
  static void expectBox(const Outcome& r, const std::string& strId, const std::string& strText) {
    const std::string strHead = "== msgbox \"Printer Driver Setup\" MB_OK|MB_ICONEXCLAMATION (0x30) [" + strId + "]\n";
    EXPECT_TRUE(r.transcriptHas(strHead)) << strHead << r.describe();
    EXPECT_TRUE(r.transcriptHas("  | " + strText)) << r.describe();
    EXPECT_TRUE(r.transcriptHas("-- answered ok (")) << r.describe();
    EXPECT_EQ(r.strTranscript.find("== msgbox"), r.strTranscript.rfind("== msgbox")) << r.describe();
  }
};

TEST_F(StartupRefusal, Windows98GetsTheFixedMessageBeforeAnyCatalogue) {
  kvsim({"set", "os", "win98"});
  const Outcome r = run({}, "msgbox \"Not compatible with this version of the OS. (3)\": ok\n");
  expectExit(r, 11, "Detect 9x OS.");
  // The catalogue is not loaded yet: the text and caption are the program's own.
  EXPECT_TRUE(r.transcriptHas("== msgbox \"Install Printer Driver\" MB_OK|MB_ICONEXCLAMATION (0x30)\n"))
      << r.describe();
  EXPECT_TRUE(r.transcriptHas("  | Not compatible with this version of the OS. (3)\n")) << r.describe();
  expectParent(r, false);
}

TEST_F(StartupRefusal, WindowsNt4IsTooOld) {
  kvsim({"set", "os", "nt4"});
  const Outcome r = run({}, "msgbox IDS_ERR_OSVERSION: ok\n");
  expectExit(r, 14, "Detect not 2k (or later) OS.");
  expectBox(r, "IDS_ERR_OSVERSION", "This printer driver cannot be installed on this version of Windows.");
  expectParent(r, false);
}

TEST_F(StartupRefusal, A32BitProcessOnA64BitSystem) {
  kvsim({"set", "wow64", "on"});
  const Outcome r = run({}, "msgbox IDS_ERR_OSVERSION: ok\n");
  expectExit(r, 15, "Detect WOW64 process.");
  expectBox(r, "IDS_ERR_OSVERSION", "This printer driver cannot be installed on this version of Windows.");
  expectParent(r, false);
}

TEST_F(StartupRefusal, BadCommandLine) {
  const Outcome r = run({"+X"}, "msgbox IDS_ERR_CMDLINE: ok\n");
  expectExit(r, 16, "kAnalysisCommandLine fail.");
  // The message names the option it could not take.
  expectBox(r, "IDS_ERR_CMDLINE", "The command line contains an option that is not valid.\n  | +X\n");
  // The scan stops at the bad option: the parent's +W and +M after it are
  // never read, so the parent hears nothing and has only the exit code.
  EXPECT_TRUE(r.logHas("CKV_SETUPApp::kGetCommandLine() return FALSE (5)\n")) << r.describe();
  EXPECT_TRUE(r.lstParent.empty()) << r.describe();
}

// Without its catalogue the program has only the resource facade's own
// text to show, under the application's name.
TEST_F(StartupRefusal, MissingCatalogueFolder) {
  std::filesystem::remove_all(packageFile("Resource"));
  const Outcome r = run({}, "msgbox \"Windows API error.\": ok\n");
  expectExit(r, 12, "kCollectiveFileAnalyze fail.");
  EXPECT_TRUE(r.transcriptHas("== msgbox \"KV_SETUP\" MB_OK|MB_ICONASTERISK (0x40)\n")) << r.describe();
  EXPECT_TRUE(r.transcriptHas("File[C:\\PKG\\Resource]")) << r.describe();
  expectParent(r, false);
}

TEST_F(StartupRefusal, MissingCatalogueOfTheLanguage) {
  removePackageFile("Resource/KV_MSG_ENU.INI");
  const Outcome r = run({}, "msgbox \"There is not a message text.\": ok\n");
  expectExit(r, 13, "kGetLocaleInfo fail.");
  EXPECT_TRUE(r.transcriptHas("== msgbox \"KV_SETUP\" MB_OK|MB_ICONASTERISK (0x40)\n")) << r.describe();
  EXPECT_TRUE(r.transcriptHas("IRC File=C:\\PKG\\Resource\\KV_MSG_ENU.INI")) << r.describe();
  expectParent(r, false);
}

TEST_F(StartupRefusal, MissingSetupConfiguration) {
  removePackageFile("KVISETUP.INI");
  // A report of an earlier run under the same parent installer.
  std::ofstream(m_temp / "INNELI.LOG") << "earlier run\r\n";
  const Outcome r = run({}, "msgbox IDS_ERR_READINIFILE: ok\n");
  expectExit(r, 22, "kGetShortPathName fail.");
  expectBox(r, "IDS_ERR_READINIFILE", "The setup configuration file could not be read.\n  | C:\\PKG\\KVISETUP.INI\n");
  expectParent(r, true);
  // With a parent installer the earlier report is kept; this run's result
  // comes first, so that it never reads as the earlier run's.
  std::ifstream report(m_temp / "INNELI.LOG", std::ios::binary);
  std::stringstream s;
  s << report.rdbuf();
  const std::string strReport = s.str();
  const size_t nResult = strReport.find("Result : \t\tFailed");
  const size_t nEarlier = strReport.find("earlier run\r\n");
  EXPECT_NE(nResult, std::string::npos) << strReport;
  EXPECT_NE(nEarlier, std::string::npos) << strReport;
  EXPECT_LT(nResult, nEarlier) << strReport;
}

TEST_F(StartupRefusal, BadSetupConfigurationNamesTheKey) {
  writePackageFile("KVISETUP.INI", "[Setup]\r\nRebootLevel=7\r\n");
  const Outcome r = run({}, "msgbox IDS_ERR_READINIFILE: ok\n");
  expectExit(r, 23, "kOpenRead fail.");
  expectBox(r, "IDS_ERR_READINIFILE",
            "The setup configuration file could not be read.\n  | C:\\PKG\\KVISETUP.INI\n  | RebootLevel\n");
  expectParent(r, true);
}

// The cluster service is looked for on server releases only.
TEST_F(StartupRefusal, ClusterServiceOnAServer) {
  kvsim({"set", "os", "win7", "--server"});
  kvsim({"service", "add", "ClusSvc", "--display", "Cluster Service"});
  const Outcome r = run({}, "msgbox IDS_ERR_OSVERSION: ok\n");
  expectExit(r, 25, "Detect CLUSTER SERVICE.");
  expectBox(r, "IDS_ERR_OSVERSION", "This printer driver cannot be installed on this version of Windows.");
  expectParent(r, true);
}

TEST_F(StartupRefusal, UserWithoutAdministratorRights) {
  kvsim({"set", "admin", "off"});
  const Outcome r = run({}, "msgbox IDS_ERR_NO_ADMIN: ok\n");
  expectExit(r, 27, "kCheckAdministrators returned FALSE.");
  expectBox(r, "IDS_ERR_NO_ADMIN", "You need administrator rights to install the printer driver.");
  expectParent(r, true);
}

TEST_F(StartupRefusal, BrokenDriverPackageStopsBeforeTheWizard) {
  // The INF names a driver file the package no longer holds.
  removePackageFile("DRIVERS/DISK1/KVDRV64.DLL");
  const Outcome r = run({}, "msgbox IDS_ERR_READINFERR: ok\n");
  expectExit(r, 32, "kMakeSetupInfomation returned FALSE.");
  expectBox(r, "IDS_ERR_READINFERR", "A printer INF file of the package could not be read.");
  // The details name the INF file.
  EXPECT_TRUE(r.transcriptHas("KVX64.INF")) << r.describe();
  expectParent(r, true);
}

TEST_F(StartupRefusal, UnreadableSpoolerListsStopBeforeTheWizard) {
  kvsim({"fault", "set", "Spooler.EnumPortsA", "5"});
  const Outcome r = run({}, "msgbox IDS_ERR_PRESENTLISTERR: ok\n");
  expectExit(r, 33, "kMakePresentList returned FALSE.");
  expectBox(r, "IDS_ERR_PRESENTLISTERR", "The list of installed printers and drivers could not be read.");
  expectParent(r, true);
}

TEST_F(StartupRefusal, ImmediateEndStillReportsToTheParent) {
  const Outcome r = run({"+S"}, "");
  expectExit(r, 6, "m_bImmediateEnd is TRUE");
  EXPECT_EQ(r.strTranscript, "") << r.describe();
  // It ends before any window of its own exists, so only the status word,
  // 0: it ended as it was asked to.
  expectParent(r, false, kStatusZero);
}

}  // namespace
