// The user's programs as a person meets them on the command line: kvpkg's
// explanations and its package check, the admission kvpkg reports against
// the program's own, kv_setup's closing line on a terminal, an unusable
// machine, and kvsim's list of templates.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "kv_source_dir.h"
#include "support/command_run.h"
#include "support/pe_builder.h"

namespace {

namespace fs = std::filesystem;

using kvtest::quote;
using kvtest::Result;
using kvtest::run;

std::string readWhole(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string data(const std::string& rel) { return std::string(KV_SOURCE_DIR) + "/tests/data/" + rel; }

// Every test gets a machine of its own.
class Tools : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("kvtools-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    m_env = "KVSIM_TIMESCALE=0.01 KVSIM_UI=none KVSIM_ROOT=" + quote((m_dir / "machine").string()) + " ";
    run(m_env + KV_SIM_EXE + " create");
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(m_dir);
  }
  Result kvpkg(const std::string& args) { return run(m_env + KV_PKG_EXE + " " + args); }

  fs::path m_dir;
  std::string m_env;
};

// ---- kvpkg analyze: it explains --------------------------------------------------------

TEST_F(Tools, AnalyzeSaysTheFolderIsMissingOrHoldsNoInf) {
  Result r = kvpkg("analyze " + quote((m_dir / "nowhere").string()));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(r.has("does not exist or is not a folder")) << r.out;
  r = kvpkg("analyze " + quote(data("packages/no_inf")));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(r.has("holds no INF file")) << r.out;
}

TEST_F(Tools, AnalyzeFailure33NamesTheFileAndEveryFolderSearched) {
  const Result r = kvpkg("analyze " + quote(data("packages/missing_driver_file")));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(r.has("Failure:      33")) << r.out;
  EXPECT_TRUE(r.has("is not in the package")) << r.out;
  EXPECT_TRUE(r.has("searched in:")) << r.out;
  EXPECT_TRUE(r.has("missing_driver_file")) << r.out;
}

TEST_F(Tools, AnalyzeListsSkippedInfsAndTellsNoneAdmittedApart) {
  Result r = kvpkg("analyze " + quote(data("packages/other_class")));
  EXPECT_EQ(r.status, 3) << r.out;
  EXPECT_TRUE(r.has("not a printer INF (Class=")) << r.out;
  EXPECT_TRUE(r.has("No candidate")) << r.out;
  // An x86 package on the default 64-bit machine: candidates, none admitted,
  // with the program's decision number and reason.
  r = kvpkg("analyze " + quote(data("packages/platform_mismatch")) + " --arch amd64");
  if (r.has("candidate(s), 0 admitted")) {
    EXPECT_EQ(r.status, 3) << r.out;
    EXPECT_TRUE(r.has("None is admitted")) << r.out;
    EXPECT_TRUE(r.has("no (")) << r.out;
  }
  r = kvpkg("analyze " + quote(data("packages/amd64_ok")));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(r.has("Admitted:         yes (7) new driver name.")) << r.out;
}

TEST_F(Tools, AnalyzeJudgesForEverySystemAndRefusesImpossibleOnes) {
  Result r = kvpkg("analyze " + quote(data("packages/amd64_ok")) + " --os win2k --arch amd64");
  EXPECT_EQ(r.status, 64) << r.out;
  EXPECT_TRUE(r.has("win2k has no amd64 edition")) << r.out;
  r = kvpkg("analyze " + quote(data("packages/amd64_ok")) + " --os win95");
  EXPECT_EQ(r.status, 3) << r.out;
  EXPECT_TRUE(r.has("refuses the Windows 95 family")) << r.out;
  r = kvpkg("analyze " + quote(data("packages/amd64_ok")) + " --os nt4");
  EXPECT_EQ(r.status, 3) << r.out;
  r = kvpkg("analyze " + quote(data("packages/amd64_ok")) + " --os xp --arch x86");
  EXPECT_EQ(r.status, 3) << r.out;
  EXPECT_TRUE(r.has("no (2) platform not for this OS. This system takes NTx86.")) << r.out;
  r = kvpkg("analyze " + quote(data("packages/amd64_ok")) + " --os win10 --server");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(r.has("server")) << r.out;
  r = kvpkg("analyze " + quote(data("packages/amd64_ok")) + " --os win31");
  EXPECT_EQ(r.status, 64) << r.out;
  EXPECT_TRUE(r.has("--os")) << r.out;
}

TEST_F(Tools, RootMustNameAMachineUnlessCreateIsGiven) {
  const std::string root = (m_dir / "other").string();
  Result r = kvpkg("analyze " + quote(data("packages/amd64_ok")) + " --root " + quote(root));
  EXPECT_EQ(r.status, 64) << r.out;
  EXPECT_TRUE(r.has("holds no machine")) << r.out;
  EXPECT_FALSE(fs::exists(root + "/machine.id"));
  r = kvpkg("analyze " + quote(data("packages/amd64_ok")) + " --root " + quote(root) + " --create");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(fs::exists(root + "/machine.id"));
}

TEST_F(Tools, JsonIsValidUtf8ForAnsiTexts) {
  const Result r = run(m_env + KV_PKG_EXE + " analyze --json " + quote(data("kvpkg/ansi_name")) + " 2>/dev/null");
  EXPECT_EQ(r.status, 0) << r.out;
  // The bytes are converted from the ANSI code page, or replaced where it
  // does not map them (U+FFFD); nothing of the text is copied raw.
  EXPECT_TRUE(r.has("KV Test Printer \xc3\xa9") || r.has("KV Test Printer \xef\xbf\xbd")) << r.out;
  EXPECT_EQ(r.out.find("\xe9\xff"), std::string::npos);
  const fs::path file = m_dir / "out.json";
  std::ofstream(file, std::ios::binary) << r.out;
  const Result check = run("python3 -c 'import json,sys; json.load(open(sys.argv[1], encoding=\"utf-8\"))' " +
                           quote(file.string()));
  if (check.status != 127) {
    EXPECT_EQ(check.status, 0) << check.out;
  }
}

TEST_F(Tools, LogWritesTheAnalysisDetailLines) {
  const fs::path log = m_dir / "analysis.log";
  const Result r = kvpkg("analyze " + quote(data("packages/amd64_ok")) + " --log " + quote(log.string()));
  EXPECT_EQ(r.status, 0) << r.out;
  const std::string text = readWhole(log);
  EXPECT_NE(text.find("CCandidateDriverInfomation::kMakeCandidateDriverList() return [0] (47)"), std::string::npos)
      << text;
  EXPECT_NE(text.find("CKV_SETUPApp::kCheckElementAddToList() return [1] (7)"), std::string::npos) << text;
}

// ---- kvpkg check -------------------------------------------------------------------------

TEST_F(Tools, CheckListsEveryBrokenSetupKey) {
  const Result r = kvpkg("check " + quote(data("kvpkg/broken_ini")));
  EXPECT_EQ(r.status, 1) << r.out;
  for (const char* key :
       {"ShowLicenseDialog=yes", "ShowModelDialog=maybe", "ShowConnectDialog=1", "ShowSetupDialog=enabled",
        "ShowCompleteDialog=true", "ShowNextComponentDialog=no", "ConnectKind=SERIAL", "SetupKind=INSTALL",
        "SpoolerControl=sometimes", "RebootLevel=7", "PluginOrder=XML", "DriverSelectMode=auto", "PortMonitor=,",
        "ExecAddMonitor=y", "VisibleUpdatePrinter=visible", "VisibleDeletePrinter=hidden", "VisibleUSBPrinter=0",
        "ShowDefaultPrinterDialog=always", "DefaultPrinterDialogOmitValue=omit", "VendorID=",
        "PrinterType=Multi needs ProductID", "PrinterType=Multi needs MultipleInterfaceID",
        "USBConnectWaitTime=30", "USBInst=install", "DefaultAgreeElement=Yes", "DefaultConnectTypeElement=Parallel",
        "NetworkPrinterSearch=search", "IconType=3", "ShowLisenceDialog is not a key", "\"WIN7\" is not WIN95",
        "ComponentName is missing", "STATMON\\SETUP.EXE does not exist", "StatusMonitorSupport is present but empty",
        "Platform=NTia64"}) {
    EXPECT_TRUE(r.has(key)) << key << "\n" << r.out;
  }
  // Which default replaces a refused value.
  EXPECT_TRUE(r.has("ConnectKind=SERIAL is not one of USB, OTHER: the program replaces it by the default USB")) << r.out;
  EXPECT_TRUE(r.has("RebootLevel=7 is not 1 to 5: the program stops reading KVISETUP.INI")) << r.out;
}

TEST_F(Tools, CheckReportsTheSamplePackageClean) {
  const Result r = kvpkg("check " + quote(KV_SAMPLE_PACKAGE) + " --json");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(r.has("\"result\": \"clean\"")) << r.out;
}

TEST_F(Tools, CheckFindsACompressedFileOfTheWrongSizeAndMissingResources) {
  const Result r = kvpkg("check " + quote(data("kvpkg/bad_lz")));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(r.has("KVHELP.TX_")) << r.out;
  EXPECT_TRUE(r.has("4096 bytes its header declares")) << r.out;
  EXPECT_TRUE(r.has("KVISETUP.INI is missing")) << r.out;
  EXPECT_TRUE(r.has("ResourceDef.ini is missing")) << r.out;
}

TEST_F(Tools, CheckStopsOnAnInfBrokenInEachFolder) {
  // Two broken driver folders in one package: both are reported.
  const fs::path pkg = m_dir / "pkg";
  fs::copy(KV_SAMPLE_PACKAGE, pkg, fs::copy_options::recursive);
  fs::copy(data("packages/missing_driver_file"), pkg / "DRIVERS" / "BROKEN1", fs::copy_options::recursive);
  fs::copy(data("packages/bad_version"), pkg / "DRIVERS" / "BROKEN2", fs::copy_options::recursive);
  const Result r = kvpkg("check " + quote(pkg.string()));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(r.has("BROKEN1")) << r.out;
  EXPECT_TRUE(r.has("BROKEN2")) << r.out;
  EXPECT_TRUE(r.has("failure 33")) << r.out;
}

TEST_F(Tools, CheckListsEveryRuleAnInfBreaksAndEverySkippedInf) {
  const Result r = kvpkg("check " + quote(data("kvpkg/every_rule")));
  EXPECT_EQ(r.status, 1) << r.out;
  // Every failure of the one INF, in the program's order; the first is the
  // one the program itself stops at.
  size_t at = 0;
  for (const char* failure : {"failure 10 (NeedReboot): NeedReboot=YES", "failure 12 (InfCopy): InfCopy=maybe",
                              "failure 13 (DriverVersionDownOption)", "failure 14 (UserCodeOK)",
                              "failure 22 (USBPermit): USBPermit=perhaps",
                              "model \"KV Rules B\": failure 33 (DriverFile): the driver file KVMISSING.DLL"}) {
    const size_t found = r.out.find(failure, at);
    EXPECT_NE(found, std::string::npos) << failure << "\n" << r.out;
    if (found != std::string::npos) at = found;
  }
  EXPECT_TRUE(r.has("stops its analysis at")) << r.out;
  EXPECT_TRUE(r.has("(failure 10, NeedReboot)")) << r.out;
  EXPECT_TRUE(r.has("OTHER.INF skipped: not a printer INF (Class=Image)")) << r.out;
  // Why each model is no candidate: the one with its own failure, and those
  // sharing a good install section only because of the INF.
  EXPECT_TRUE(r.has("KVRULES.INF gives no candidate: \"KV Rules B\" break")) << r.out;
  EXPECT_TRUE(r.has("\"KV Rules A\" \"KV Rules C\" only because the INF breaks one")) << r.out;
  const Result program = kvpkg("analyze " + quote(data("kvpkg/every_rule")));
  EXPECT_TRUE(program.has("Failure:      10")) << program.out;
}

TEST_F(Tools, CheckTellsWhyEachDriverIsNotOfferedOnTheSystem) {
  Result r = kvpkg("check " + quote(KV_SAMPLE_PACKAGE) + " --os xp --arch x86");
  EXPECT_EQ(r.status, 0) << r.out;
  // The three x64 drivers of one INF refused for one reason: one note with the count.
  EXPECT_TRUE(r.has("note: admission: 3 drivers of")) << r.out;
  EXPECT_TRUE(r.has("\"KV LaserPro 5200 Color\") are not offered on xp x86: (2) platform not for this OS.")) << r.out;
  // Every reason, not only the first: the NT 4.0 driver is version 2 for x86
  // and on a 64-bit Windows 7 breaks both rules.
  r = kvpkg("check " + quote(KV_SAMPLE_PACKAGE) + " --os win7 --arch amd64 --json");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(r.has("(1) driver version not for this OS. (2) platform not for this OS.")) << r.out;
  EXPECT_TRUE(r.has("\"notes\": [")) << r.out;
  // None admitted stops the wizard.
  r = kvpkg("check " + quote(data("packages/amd64_ok")) + " --os xp --arch x86");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(r.has("none of the 1 candidate driver(s) is admitted on xp x86: the wizard has no driver to offer"))
      << r.out;
}

// ---- The kinds of printer INF packages ship ----------------------------------------------

TEST_F(Tools, CheckNamesAVersionFourInfAndItsFailureNumber) {
  Result r = kvpkg("check " + quote(data("inf_kinds/v4")) + " --json");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(r.has("\"failure\": 48")) << r.out;
  EXPECT_TRUE(r.has("a version-4 driver INF")) << r.out;
  r = kvpkg("analyze " + quote(data("inf_kinds/v4")));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(r.has("Failure:      48")) << r.out;
  // analyze explains the rule as check does.
  EXPECT_TRUE(r.has("without a driver DLL")) << r.out;
}

TEST_F(Tools, CheckExplainsAGpdTakenAsTheDriver) {
  const fs::path pkg = m_dir / "pos";
  fs::copy(data("inf_kinds/pos58"), pkg, fs::copy_options::recursive);
  std::string inf = readWhole(pkg / "POS58.INF");
  for (const std::string line : {"DataSection=UNIDRV_DATA\n", "Include=NTPRINT.INF\n", "Needs=UNIDRV.OEM\n"}) {
    inf.erase(inf.find(line), line.size());
  }
  std::ofstream(pkg / "POS58.INF", std::ios::binary | std::ios::trunc) << inf;
  Result r = kvpkg("check " + quote(pkg.string()) + " --json");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(r.has("\"failure\": 49")) << r.out;
  EXPECT_TRUE(r.has("POS58.GPD")) << r.out;
  EXPECT_TRUE(r.has("Include=ntprint.inf, Needs=UNIDRV.OEM")) << r.out;
  // With its link to Windows' driver it is clean on the platform it claims.
  r = kvpkg("check " + quote(data("inf_kinds/pos58")) + " --os win7 --arch x86");
  EXPECT_FALSE(r.has("error: INF")) << r.out;
  EXPECT_FALSE(r.has("error: driver file")) << r.out;
  r = kvpkg("analyze " + quote(data("inf_kinds/pos58")) + " --os win7 --arch x86");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(r.has("Driver file:      UNIDRV.DLL")) << r.out;
  EXPECT_TRUE(r.has("Data file:        POS58.GPD")) << r.out;
}

TEST_F(Tools, FirstDecorationRuleManyModelsAndUnknownDescriptionKeysAreExplained) {
  Result r = kvpkg("check " + quote(data("inf_kinds/dotmatrix")) + " --os win7 --arch amd64");
  EXPECT_TRUE(r.has("offered for NTx86 only: the first decoration decides; give each platform its own INF")) << r.out;
  r = kvpkg("analyze " + quote(data("inf_kinds/dotmatrix")) + " --os win7 --arch amd64");
  EXPECT_TRUE(r.has("offered for NTx86 only")) << r.out;
  // Twelve models refused for one reason: one finding with the count.
  r = kvpkg("check " + quote(data("inf_kinds/systemlike")) + " --os win7 --arch amd64");
  EXPECT_TRUE(r.has("12 drivers of")) << r.out;
  EXPECT_TRUE(r.has("and 9 more")) << r.out;
  EXPECT_EQ(r.out.find("\"KV Gamma Line 40\" ("), std::string::npos) << r.out;
  // A misspelt key of the description file, with the key it resembles.
  const fs::path pkg = m_dir / "pos80";
  fs::copy(data("inf_kinds/pos80"), pkg, fs::copy_options::recursive);
  std::ofstream(pkg / "DRVINST.DSC", std::ios::binary | std::ios::trunc) << "[DrvInst]\r\nPlatform=NTamd64\r\nVerison=3\r\n";
  r = kvpkg("check " + quote(pkg.string()));
  EXPECT_TRUE(r.has("Verison is not a key the program reads: it is ignored (did you mean Version?)")) << r.out;
}

TEST_F(Tools, ItaniumMachinesHaveTheirPrintEnvironmentAndOnlyShippedReleases) {
  Result r = kvpkg("analyze " + quote(data("packages/amd64_ok")) + " --os win7 --arch ia64");
  EXPECT_EQ(r.status, 64) << r.out;
  EXPECT_TRUE(r.has("win7 has no ia64 edition")) << r.out;
  r = kvpkg("analyze " + quote(data("packages/amd64_ok")) + " --os win10 --arch ia64");
  EXPECT_EQ(r.status, 64) << r.out;
  // Windows XP and the servers of 2003 to 2008 R2 ran on Itanium: the
  // analysis no longer fails for want of a print processor (failure 38).
  r = kvpkg("analyze " + quote(data("packages/amd64_ok")) + " --os win7 --server --arch ia64");
  EXPECT_NE(r.status, 64) << r.out;
  EXPECT_FALSE(r.has("Failure:      38")) << r.out;
  r = kvpkg("analyze " + quote(data("packages/amd64_ok")) + " --os xp --arch ia64");
  EXPECT_NE(r.status, 64) << r.out;
  EXPECT_FALSE(r.has("Failure:      38")) << r.out;
}

// The sample package's setup files around the driver folders of
// tests/data/kvpkg/driver_versions, with their DLLs made here.
class DriverFiles : public Tools {
 protected:
  fs::path stagePackage() {
    const fs::path pkg = m_dir / "pkg";
    fs::copy(KV_SAMPLE_PACKAGE, pkg, fs::copy_options::recursive);
    fs::remove_all(pkg / "DRIVERS");
    fs::copy(data("kvpkg/driver_versions"), pkg / "DRIVERS", fs::copy_options::recursive);
    dll(pkg / "DRIVERS/AMD64/KVVER.DLL", true, 0x00000002, 0x00010000);
    dll(pkg / "DRIVERS/AMD64/KVARCH.DLL", false, 0x00000003, 0x00010000);
    dll(pkg / "DRIVERS/AMD64/KVUI.DLL", true, 0x00000003, 0x00010000);
    dll(pkg / "DRIVERS/X64V2/KVOLD.DLL", true, 0x00000002, 0x00010000);
    dll(pkg / "DRIVERS/X86/KVNOVER.DLL", false, 0x00060001, 0);
    return pkg;
  }
  static void dll(const fs::path& file, bool amd64, std::uint32_t fileMS, std::uint32_t fileLS) {
    kvtest::VersionSpec verInfo;
    verInfo.fileMS = fileMS;
    verInfo.fileLS = fileLS;
    std::ofstream(file, std::ios::binary) << kvtest::peImage(kvtest::versionResource(verInfo), amd64,
                                                             amd64 ? 0x8664 : 0x014C);
  }
};

// Two faults of a package that only a real spooler and Setup API show: the
// catalogue its INF names is missing, and its language monitor has no entry
// point. The sample package ships both right.
TEST_F(DriverFiles, CheckFindsAMissingCatalogueAndAMonitorWithoutItsEntryPoint) {
  const fs::path pkg = m_dir / "pkg";
  fs::copy(KV_SAMPLE_PACKAGE, pkg, fs::copy_options::recursive);
  const fs::path disk1 = pkg / "DRIVERS" / "DISK1";
  if (!fs::exists(disk1 / "KVLM64.DL_")) GTEST_SKIP() << "the sample package was built without its driver files";
  Result r = kvpkg("check " + quote(pkg.string()) + " --os win7 --arch amd64");
  EXPECT_FALSE(r.has("catalogue")) << r.out;
  EXPECT_FALSE(r.has("InitializePrintMonitor2")) << r.out;

  fs::remove(disk1 / "KVX64.CAT");
  fs::remove(disk1 / "KVLM64.DL_");
  dll(disk1 / "KVLM64.DLL", true, 0x00000003, 0x00050001);
  r = kvpkg("check " + quote(pkg.string()) + " --os win7 --arch amd64");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(r.has("error: catalogue:")) << r.out;
  EXPECT_TRUE(r.has("names the catalogue KVX64.CAT (CatalogFile)")) << r.out;
  EXPECT_TRUE(r.has("KVLM64.DLL")) << r.out;
  EXPECT_TRUE(r.has("exports neither InitializePrintMonitor2 nor InitializePrintMonitor")) << r.out;
}

TEST_F(DriverFiles, CheckComparesVersionsAndPlatformsWithTheDescriptionFile) {
  const fs::path pkg = stagePackage();
  Result r = kvpkg("check " + quote(pkg.string()) + " --os win7 --arch amd64");
  EXPECT_EQ(r.status, 1) << r.out;
  // The description file's version against the file's.
  EXPECT_TRUE(r.has("warning: driver file: DRVINST.DSC says Version=3, KVVER.DLL")) << r.out;
  EXPECT_TRUE(r.has("is a version-2 driver (file version 0.2.1.0)")) << r.out;
  EXPECT_TRUE(r.has("installs the driver as version 3 (the wizard does not stop)")) << r.out;
  // An x86 driver in an NTamd64 INF is never registered: an error, with
  // its failure number.
  EXPECT_TRUE(r.has("KVARCH.DLL")) << r.out;
  EXPECT_TRUE(r.has("failure 49 (DriverFile)")) << r.out;
  EXPECT_TRUE(r.has("is a DLL for x86, not for x64")) << r.out;
  EXPECT_FALSE(r.has("Needs=UNIDRV.OEM")) << r.out;
  // Version 2 for Windows x64 stops the installation.
  EXPECT_TRUE(r.has("error: driver file: \"KV Old Printer\"")) << r.out;
  EXPECT_TRUE(r.has("Windows x64 takes version-3 drivers only")) << r.out;
  // No version in a description file: the file's own decides, and names none.
  EXPECT_TRUE(r.has("KVNOVER.DLL")) << r.out;
  EXPECT_TRUE(r.has("names no printer-driver version (file version 6.1.0.0)")) << r.out;
  EXPECT_TRUE(r.has("the program takes version 0 and never offers \"KV Unversioned Printer\"")) << r.out;
  // A matching DLL and a data file give nothing.
  EXPECT_FALSE(r.has("KVUI.DLL")) << r.out;
  EXPECT_FALSE(r.has("KVV.GPD")) << r.out;

  // Without the version-2 x64 driver and the x86 one, what is left are warnings.
  fs::remove_all(pkg / "DRIVERS" / "X64V2");
  dll(pkg / "DRIVERS" / "AMD64" / "KVARCH.DLL", true, 0x00000003, 0x00010000);
  r = kvpkg("check " + quote(pkg.string()) + " --os win7 --arch amd64 --json");
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_TRUE(r.has("\"result\": \"warnings\"")) << r.out;
}

TEST_F(DriverFiles, CompressedDriverFilesAreExpandedBeforeTheyAreRead) {
  // The sample package's drivers are stored plain, LZ-compressed and as
  // cabinets: all are read, and all are what they claim.
  const Result r = kvpkg("check " + quote(KV_SAMPLE_PACKAGE));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_FALSE(r.has("driver file:")) << r.out;
  // Compressed files of the wrong kind in the x64 folder are found out: an
  // x86 DLL as a cabinet, and a version-2 x86 DLL LZ-compressed.
  const fs::path pkg = m_dir / "pkg";
  fs::copy(KV_SAMPLE_PACKAGE, pkg, fs::copy_options::recursive);
  fs::copy_file(pkg / "DRIVERS/X86/KVUI32.DL_", pkg / "DRIVERS/DISK1/KVUI64.DL_", fs::copy_options::overwrite_existing);
  fs::copy_file(pkg / "DRIVERS/NT4/KVNT4DRV.DL_", pkg / "DRIVERS/DISK1/KVLM64.DL_",
                fs::copy_options::overwrite_existing);
  Result swapped = kvpkg("check " + quote(pkg.string()));
  // The x86 user-interface DLL of an x64 driver is refused: the program
  // never registers it.
  EXPECT_EQ(swapped.status, 1) << swapped.out;
  EXPECT_TRUE(swapped.has("failure 50 (ConfigFile)")) << swapped.out;
  EXPECT_TRUE(swapped.has("KVUI64.DLL (")) << swapped.out;
  // The right user interface back: the language monitor of the other
  // machine and version is a warning, and, being no monitor, an error.
  fs::copy_file(fs::path(KV_SAMPLE_PACKAGE) / "DRIVERS/DISK1/KVUI64.DL_", pkg / "DRIVERS/DISK1/KVUI64.DL_",
                fs::copy_options::overwrite_existing);
  swapped = kvpkg("check " + quote(pkg.string()));
  EXPECT_EQ(swapped.status, 1) << swapped.out;
  EXPECT_FALSE(swapped.has("failure 50 (ConfigFile)")) << swapped.out;
  EXPECT_TRUE(swapped.has("KVLM64.DLL (")) << swapped.out;
  EXPECT_TRUE(swapped.has("is a version-2 file (file version 0.2.1.0)")) << swapped.out;
  EXPECT_TRUE(swapped.has("is an x86 file")) << swapped.out;
  // The driver in the monitor's place is no monitor: the spooler would
  // refuse it. It is named once, however many drivers install it (the
  // drivers refused for their user interface above were not looked at).
  EXPECT_TRUE(swapped.has("exports neither InitializePrintMonitor2 nor InitializePrintMonitor")) << swapped.out;
  EXPECT_EQ(swapped.out.find("InitializePrintMonitor2"), swapped.out.rfind("InitializePrintMonitor2")) << swapped.out;
}

// ---- One admission rule: kvpkg's answers are the program's -------------------------------------

// The admission lines of a detail log, without the last-error values.
std::vector<std::string> admissionLines(const std::string& log) {
  std::vector<std::string> out;
  std::istringstream in(log);
  std::string line;
  const std::regex lastError(" LastError=[0-9]+");
  while (std::getline(in, line)) {
    if (line.find("CKV_SETUPApp::kCheckElementAddToList() return") == std::string::npos) continue;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(std::regex_replace(line, lastError, ""));
  }
  return out;
}

std::string zPath(const fs::path& host) {
  std::string p = "Z:" + fs::absolute(host).string();
  std::replace(p.begin(), p.end(), '/', '\\');
  return p;
}

TEST_F(Tools, KvpkgAdmitsWhatTheProgramAdmits) {
  // The program runs from a staged package and analyses another folder (+G),
  // with its detail log at level 99; kvpkg analyses the same folder on the
  // same machine with --log. Their admission lines must be the same.
  const fs::path stage = m_dir / "stage";
  fs::copy(KV_SAMPLE_PACKAGE, stage, fs::copy_options::recursive);
  fs::copy_file(KV_SETUP_EXE, stage / "kv_setup");
  const fs::path reg = m_dir / "level.reg";
  std::ofstream(reg) << "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\HALVERN\\IMG\\DI\\LOG]\n"
                        "\"OutputLevel\"=dword:00000063\n";
  run(m_env + KV_SIM_EXE + " reg import " + quote(reg.string()));

  std::vector<fs::path> folders{KV_SAMPLE_PACKAGE};
  for (const auto& e : fs::directory_iterator(data("packages")))
    if (e.is_directory()) folders.push_back(e.path());
  for (const auto& e : fs::directory_iterator(data("kvpkg")))
    if (e.is_directory()) folders.push_back(e.path());
  const fs::path corpus = "/work/shared/inf-corpus";
  if (fs::is_directory(corpus)) {
    for (const auto& e : fs::directory_iterator(corpus))
      if (e.is_directory()) folders.push_back(e.path());
  }
  std::sort(folders.begin(), folders.end());
  size_t compared = 0;
  for (const fs::path& folder : folders) {
    const fs::path kvpkgLog = m_dir / "kvpkg.log";
    fs::remove(kvpkgLog);
    kvpkg("analyze " + quote(folder.string()) + " --log " + quote(kvpkgLog.string()) + " >/dev/null");
    // The program's log of this run: find it below the machine's temp folder.
    for (const auto& e : fs::recursive_directory_iterator(m_dir / "machine" / "drive_c"))
      if (e.path().filename() == "KV_SETUPDetail.LOG") fs::remove(e.path());
    run("cd " + quote(stage.string()) + " && " + m_env + "./kv_setup " + quote("+G:" + zPath(folder)) + " </dev/null");
    std::string programLog;
    for (const auto& e : fs::recursive_directory_iterator(m_dir / "machine" / "drive_c"))
      if (e.path().filename() == "KV_SETUPDetail.LOG") programLog = readWhole(e.path());
    const std::vector<std::string> mine = admissionLines(readWhole(kvpkgLog));
    const std::vector<std::string> theirs = admissionLines(programLog);
    EXPECT_EQ(mine, theirs) << folder;
    compared += theirs.empty() ? 0 : 1;
  }
  EXPECT_GE(compared, 3u) << "too few packages reached the admission";
}

// ---- kv_setup and kvparent on a terminal, an unusable machine, kvsim's templates ---------------

// Runs a command with a terminal as its standard streams.
Result onTerminal(const std::string& command) {
  return run("script -qec " + quote(command) + " /dev/null");
}

TEST_F(Tools, ClosingLineOnATerminalNamesExitRefusedArgumentAndFiles) {
  if (run("command -v script").status != 0) GTEST_SKIP() << "script(1) is not installed";
  // The program runs from its package, as a user starts it.
  const fs::path stage = m_dir / "stage";
  fs::copy(KV_SAMPLE_PACKAGE, stage, fs::copy_options::recursive);
  fs::copy_file(KV_SETUP_EXE, stage / "kv_setup");
  const std::string program = (stage / "kv_setup").string();
  Result r = onTerminal(m_env + program + " --help");
  EXPECT_TRUE(r.has("KV_SETUP: exit 16 (start-up stopped: the command line was refused)")) << r.out;
  EXPECT_TRUE(r.has("refused: --help (the switches: docs/command-line.md)")) << r.out;
  EXPECT_TRUE(r.has("detail log: ")) << r.out;
  EXPECT_TRUE(r.has("transcript: ")) << r.out;
  r = onTerminal(m_env + KV_PARENT_EXE + " -- " + program + " +S");
  EXPECT_TRUE(r.has("KV_SETUP: exit 6")) << r.out;
  EXPECT_TRUE(r.has("kvparent: the program: exit 6 (start-up stopped: +S given")) << r.out;
  EXPECT_TRUE(r.has("status word 0x00000000 (success)")) << r.out;
  // Not on a terminal: no closing line.
  r = run(m_env + program + " +S");
  EXPECT_EQ(r.status, 6);
  EXPECT_FALSE(r.has("KV_SETUP: exit")) << r.out;
}

TEST_F(Tools, UnusableMachineStopsBeforeTheProgramStarts) {
  const fs::path file = m_dir / "a-file";
  std::ofstream(file) << "not a folder";
  const std::string root = (file / "machine").string();
  const Result r = run("KVSIM_UI=none KVSIM_ROOT=" + quote(root) + " " + KV_SETUP_EXE);
  EXPECT_EQ(r.status, 125) << r.out;
  EXPECT_TRUE(r.has(root)) << r.out;
  EXPECT_TRUE(r.has("cannot be used")) << r.out;
  EXPECT_FALSE(r.has("spooler")) << r.out;
}

TEST_F(Tools, KvsimCreateWithAnUnknownTemplateListsTheTemplates) {
  const Result r = run("KVSIM_ROOT=" + quote((m_dir / "m2").string()) + " " + KV_SIM_EXE + " create --template win3");
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(r.has("unknown template 'win3' (the templates are win7-x64, win7-x86, xp-x86, win10-x64)")) << r.out;
}

}  // namespace
