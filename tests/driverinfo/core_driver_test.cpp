// Printer INF files as makers write them: minidrivers that take Windows'
// core driver from the system's printer INF, a version-4 INF, driver files
// that are not DLLs of the INF's platform, and per-architecture source
// folders. The test machine is 64-bit; the x86 core files are put beside the
// x64 ones so that both platforms' INF files find theirs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driverinfo/candidate_driver_infomation.h"
#include "driverinfo/driver_infomation.h"
#include "driverinfo/inf_file.h"
#include "machine.h"
#include "machine_settings.h"
#include "support/pe_builder.h"
#include "support/scratch.h"
#include "system/environment.h"

namespace {

namespace fs = std::filesystem;

class CoreDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)CEnvironment::kGetOsVersionCheck();
    winsim::MachineSettings x86 = winsim::machineSettings();
    x86.architecture = "x86";
    std::string error;
    ASSERT_TRUE(winsim::installPrinterCore(winsim::machineRoot(), x86, &error)) << error;
    ASSERT_EQ(VEXOERR_SUCCESS, m_info.VEXOInitialize("C:\\KV\\INSTDLL\\DrvInst"));
    m_pkg = kvtest::scratchDir("core") + "\\DISK1";
    fs::create_directories(kvtest::hostFor(m_pkg));
  }
  void TearDown() override { kvtest::removeScratchDir(m_pkg.substr(0, m_pkg.rfind('\\'))); }

  DWORD build(const std::string& folder) { return m_info.VEXOMakeCandidateDriverList(folder, "", FALSE); }
  int failure() { return m_info.kGetCandidateDriverInfomation()->kGetFailureNumber(); }
  std::string errorText2() {
    std::string t1, t2;
    m_info.VEXOGetErrorInfomatio(t1, t2);
    return t2;
  }
  std::string detail() { return m_info.kGetCandidateDriverInfomation()->kGetFailureDetail(); }
  const CCandidateDriver& first() { return m_info.VEXOGetCandidateDriverList().front(); }
  const CDriverFile* file(const CCandidateDriver& c, const std::string& name) {
    for (const CDriverFile& f : *c.pDriverFileList)
      if (f.strFileName == name) return &f;
    return nullptr;
  }
  static std::string dll(std::uint16_t machine) {
    return kvtest::peImage(kvtest::versionResource(kvtest::VersionSpec{}), machine != 0x14C, machine);
  }

  CDriverInfomation m_info;
  std::string m_pkg;
};

struct KindCase {
  const char* folder;
  const char* platform;
  const char* driverFile;
  const char* configFile;
  const char* dataFile;
  const char* ownFile;     // a file the package itself gives
  const char* coreFile;    // a file the system gives
  size_t candidates;
};

TEST_F(CoreDriverTest, MinidriverInfsTakeTheCoreDriverFromTheSystem) {
  const KindCase cases[] = {
      {"pos58", "NTx86", "UNIDRV.DLL", "UNIDRVUI.DLL", "POS58.GPD", "POS58.GPD", "UNIRES.DLL", 1},
      {"pos80", "NTamd64", "UNIDRV.DLL", "UNIDRVUI.DLL", "POS80.GPD", "POS80.INI", "STDNAMES.GPD", 1},
      {"dotmatrix", "NTx86", "UNIDRV.DLL", "UNIDRVUI.DLL", "DOTM24.GPD", "DOTM24.GPD", "TTFSUB.GPD", 2},
      {"coredriver", "NTx86", "UNIDRV.DLL", "UNIDRVUI.DLL", "KVCORE.GPD", "KVCORE.GPD", "UNIDRV.HLP", 1},
      {"pscript", "NTx86", "PSCRIPT5.DLL", "PS5UI.DLL", "KVPS40.PPD", "KVPS40.PPD", "PSCRIPT.NTF", 1},
      {"systemlike", "NTx86", "UNIDRV.DLL", "UNIDRVUI.DLL", "KVALP1.GPD", "KVALP1.GPD", "UNIDRV.DLL", 12},
  };
  for (const KindCase& k : cases) {
    SCOPED_TRACE(k.folder);
    ASSERT_EQ(VEXOERR_SUCCESS, build(kvtest::dataPath(std::string("inf_kinds/") + k.folder)))
        << failure() << " " << errorText2() << " " << detail();
    ASSERT_EQ(k.candidates, m_info.VEXOGetCandidateDriverList().size());
    const CCandidateDriver& c = first();
    EXPECT_EQ(k.platform, c.strPlatform.str());
    EXPECT_EQ(k.driverFile, c.strDriverFile.str());
    EXPECT_EQ(k.configFile, c.strConfigFile.str());
    EXPECT_EQ(k.dataFile, c.strDataFile.str());
    // The system's core driver is a version-3 driver of the platform.
    EXPECT_EQ(3u, c.dwInfOSVersion);
    // The package's own files come from the package, the core files from
    // the version folder of the platform's environment.
    const CDriverFile* own = file(c, k.ownFile);
    ASSERT_NE(nullptr, own);
    EXPECT_TRUE(own->bFound);
    EXPECT_FALSE(CCandidateDriverInfomation::kIsCoreFile(*own));
    const CDriverFile* core = file(c, k.coreFile);
    ASSERT_NE(nullptr, core);
    EXPECT_TRUE(CCandidateDriverInfomation::kIsCoreFile(*core));
    EXPECT_TRUE(core->bFound);
    const std::string dir = std::string(k.platform) == "NTamd64" ? "\\x64\\3" : "\\w32x86\\3";
    EXPECT_NE(std::string::npos, core->strSourceDir.find(dir)) << core->strSourceDir;
    EXPECT_NE(std::string::npos, c.strDependentFiles.find(std::string("66000\\") + k.coreFile)) << c.strDependentFiles;
    // The interface file's source stays the package.
    EXPECT_EQ(std::string::npos, c.strDriverPath.find("\\3")) << c.strDriverPath;
  }
}

TEST_F(CoreDriverTest, VersionFourInfIsRefusedWithItsReason) {
  EXPECT_EQ(VEXOERR_READINFERR, build(kvtest::dataPath("inf_kinds/v4")));
  EXPECT_EQ(48, failure());
  EXPECT_EQ("ClassVer", errorText2());
  EXPECT_NE(std::string::npos, detail().find("version-4 driver")) << detail();
  EXPECT_TRUE(m_info.VEXOGetCandidateDriverList().empty());
}

TEST_F(CoreDriverTest, ATextFileIsNeverRegisteredAsTheDriver) {
  // The POS INF without its link to Windows' driver: the install section's
  // name, a GPD, would be the driver and the configuration file.
  kvtest::writeFile(m_pkg, "POS58.INF",
                    "[Version]\nSignature=\"$Windows NT$\"\nClass=Printer\nProvider=%M%\n\n"
                    "[Manufacturer]\n%M%=Receipt\n\n[Receipt]\n\"KV POS58\"=POS58.GPD\n\n"
                    "[POS58.GPD]\nCopyFiles=@POS58.GPD\n\n[DestinationDirs]\nDefaultDestDir=66000\n\n"
                    "[Strings]\nM=\"KV\"\n");
  kvtest::writeFile(m_pkg, "POS58.GPD", "*GPDFileVersion: \"1.0\"\n");
  EXPECT_EQ(VEXOERR_READINFERR, build(m_pkg));
  EXPECT_EQ(49, failure());
  EXPECT_EQ("DriverFile is not a DLL for x86", errorText2());
  EXPECT_NE(std::string::npos, detail().find("POS58.GPD is not a DLL")) << detail();
}

TEST_F(CoreDriverTest, DriverAndConfigurationFilesMustBeOfThePlatformsMachine) {
  const std::string inf =
      "[Version]\nSignature=\"$Windows NT$\"\nClass=Printer\nProvider=%M%\n\n"
      "[Manufacturer]\n%M%=Models,NTamd64\n\n[Models.NTamd64]\n\"KV Laser\"=KVINST\n\n"
      "[KVINST]\nCopyFiles=KVFILES\nDriverFile=KVDRV.DLL\nConfigFile=KVUI.DLL\n\n[KVFILES]\nKVDRV.DLL\nKVUI.DLL\n\n"
      "[DestinationDirs]\nDefaultDestDir=66000\n\n[Strings]\nM=\"KV\"\n";
  kvtest::writeFile(m_pkg, "KV.INF", inf);
  kvtest::writeFile(m_pkg, "DRVINST.DSC", "[DrvInst]\r\nPlatform=NTamd64\r\n");
  // An x86 driver in an x64 INF.
  kvtest::writeFile(m_pkg, "KVDRV.DLL", dll(0x14C));
  kvtest::writeFile(m_pkg, "KVUI.DLL", dll(0x8664));
  EXPECT_EQ(VEXOERR_READINFERR, build(m_pkg));
  EXPECT_EQ(49, failure());
  EXPECT_NE(std::string::npos, detail().find("is a DLL for x86, not for x64")) << detail();
  // The driver right, the user interface of the other machine.
  kvtest::writeFile(m_pkg, "KVDRV.DLL", dll(0x8664));
  kvtest::writeFile(m_pkg, "KVUI.DLL", dll(0x14C));
  EXPECT_EQ(VEXOERR_READINFERR, build(m_pkg));
  EXPECT_EQ(50, failure());
  EXPECT_EQ("ConfigFile is not a DLL for x64", errorText2());
  // Both right: one candidate.
  kvtest::writeFile(m_pkg, "KVUI.DLL", dll(0x8664));
  EXPECT_EQ(VEXOERR_SUCCESS, build(m_pkg)) << failure() << " " << detail();
  EXPECT_EQ(1u, m_info.VEXOGetCandidateDriverList().size());
}

TEST_F(CoreDriverTest, PerArchitectureSourceFoldersAreHonoured) {
  const std::string inf =
      "[Version]\nSignature=\"$Windows NT$\"\nClass=Printer\nProvider=%M%\n\n"
      "[Manufacturer]\n%M%=Models,NTamd64\n\n[Models.NTamd64]\n\"KV Laser\"=KVINST\n\n"
      "[KVINST]\nCopyFiles=KVFILES\nDriverFile=KVDRV.DLL\n\n[KVFILES]\nKVDRV.DLL\nKVDATA.INI\n\n"
      "[SourceDisksNames.x86]\n1=\"Disk\",,,\\i386\n\n[SourceDisksNames.amd64]\n1=\"Disk\",,,\\amd64\n\n"
      "[SourceDisksFiles]\nKVDRV.DLL=1\n\n"
      "[DestinationDirs]\nDefaultDestDir=66000\n\n[Strings]\nM=\"KV\"\n";
  kvtest::writeFile(m_pkg, "KV.INF", inf);
  kvtest::writeFile(m_pkg, "DRVINST.DSC", "[DrvInst]\r\nPlatform=NTamd64\r\nVersion=3\r\n");
  kvtest::writeFile(m_pkg, "KVDATA.INI", "[x]\r\n");
  fs::create_directories(kvtest::hostFor(m_pkg + "\\i386"));
  fs::create_directories(kvtest::hostFor(m_pkg + "\\amd64"));
  // Only the x86 folder holds the driver: the x64 candidate must not take it.
  kvtest::writeFile(m_pkg + "\\i386", "KVDRV.DLL", dll(0x14C));
  EXPECT_EQ(VEXOERR_READINFERR, build(m_pkg));
  EXPECT_EQ(33, failure());
  // In its own folder it is found there, and the file without a source
  // section is searched as before: from the driver's folder.
  kvtest::writeFile(m_pkg + "\\amd64", "KVDRV.DLL", dll(0x8664));
  kvtest::writeFile(m_pkg + "\\amd64", "KVDATA.INI", "[x]\r\n");
  ASSERT_EQ(VEXOERR_SUCCESS, build(m_pkg)) << failure() << " " << detail();
  const CCandidateDriver& c = first();
  EXPECT_NE(std::string::npos, c.strDriverPath.str().find("amd64")) << c.strDriverPath;
  const CDriverFile* driver = file(c, "KVDRV.DLL");
  ASSERT_NE(nullptr, driver);
  EXPECT_NE(std::string::npos, driver->strSourceDir.find("amd64")) << driver->strSourceDir;
  const CDriverFile* data = file(c, "KVDATA.INI");
  ASSERT_NE(nullptr, data);
  EXPECT_TRUE(data->bFound);
}

TEST_F(CoreDriverTest, APackageCopyOfACoreFileIsNotUsedAndAMissingCoreFileIsNotFound) {
  kvtest::writeFile(m_pkg, "POS.INF",
                    "[Version]\nSignature=\"$Windows NT$\"\nClass=Printer\nProvider=%M%\n\n"
                    "[Manufacturer]\n%M%=Receipt\n\n[Receipt]\n\"KV POS\"=POS.GPD\n\n"
                    "[POS.GPD]\nCopyFiles=POSFILES\nDataSection=UNIDRV_DATA\nInclude=ntprint.inf\nNeeds=UNIDRV.OEM\n\n"
                    "[POSFILES]\nPOS.GPD\nUNIDRV.DLL\n\n[DestinationDirs]\nDefaultDestDir=66000\n\n"
                    "[Strings]\nM=\"KV\"\n");
  kvtest::writeFile(m_pkg, "POS.GPD", "*GPDFileVersion: \"1.0\"\n");
  kvtest::writeFile(m_pkg, "UNIDRV.DLL", dll(0x14C));
  ASSERT_EQ(VEXOERR_SUCCESS, build(m_pkg)) << failure() << " " << detail();
  const CCandidateDriver& c = first();
  int unidrv = 0;
  for (const CDriverFile& f : *c.pDriverFileList) {
    if (f.strFileName != "UNIDRV.DLL") continue;
    ++unidrv;
    EXPECT_TRUE(CCandidateDriverInfomation::kIsCoreFile(f));
    EXPECT_NE(std::string::npos, f.strSourceDir.find("w32x86\\3")) << f.strSourceDir;
  }
  EXPECT_EQ(1, unidrv);
  // Without the system's files (another platform's machine) the analysis
  // still lists the driver; the files are marked not found.
  const fs::path core = winsim::machineRoot() / "drive_c/Windows/system32/spool/drivers/w32x86/3/UNIRES.DLL";
  fs::remove(core);
  ASSERT_EQ(VEXOERR_SUCCESS, build(m_pkg));
  const CDriverFile* unires = file(first(), "UNIRES.DLL");
  ASSERT_NE(nullptr, unires);
  EXPECT_FALSE(unires->bFound);
}

TEST_F(CoreDriverTest, InfsHoldingEveryKeyKeepTheirOwnRules) {
  // No Include, Needs, core sections or foreign data section: the driver
  // file is the package's, by the old rules, and nothing is a core file.
  kvtest::writeFile(m_pkg, "KV.INF",
                    "[Version]\nSignature=\"$Windows NT$\"\nClass=Printer\nProvider=%M%\n\n"
                    "[Manufacturer]\n%M%=Models\n\n[Models]\n\"KV Own\"=KVINST\n\n"
                    "[KVINST]\nCopyFiles=@KVOWN.DLL\nDriverFile=KVOWN.DLL\nDataSection=KVDATA\n\n"
                    "[KVDATA]\nHelpFile=KVOWN.HLP\n\n[DestinationDirs]\nDefaultDestDir=66000\n\n[Strings]\nM=\"KV\"\n");
  kvtest::writeFile(m_pkg, "KVOWN.DLL", dll(0x14C));
  ASSERT_EQ(VEXOERR_SUCCESS, build(m_pkg)) << failure() << " " << detail();
  const CCandidateDriver& c = first();
  EXPECT_EQ("KVOWN.DLL", c.strDataFile.str());
  EXPECT_EQ("KVOWN.HLP", c.strHelpFile.str());
  for (const CDriverFile& f : *c.pDriverFileList) EXPECT_FALSE(CCandidateDriverInfomation::kIsCoreFile(f)) << f.strFileName;
  CInfFile& inf = *m_info.kGetInfFile();
  ASSERT_TRUE(inf.kOpen(m_pkg + "\\KV.INF"));
  EXPECT_FALSE(inf.kUsesCoreDriver("KVINST"));
  EXPECT_TRUE(inf.kEnumCoreFiles("KVINST").empty());
  inf.kClose();
}

}  // namespace

namespace {

TEST(SystemPrinterInf, WinePrefixesGetTheTextTheSimulatedMachinesHave) {
  std::ifstream in(std::string(KV_SOURCE_DIR) + "/tests/data/system/ntprint.inf", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  EXPECT_EQ(winsim::printerCoreInfText(), text.str());
  // And the machine has it where Windows keeps it, with the core files of its
  // own platform.
  const fs::path windows = winsim::machineRoot() / "drive_c/Windows";
  EXPECT_TRUE(fs::exists(windows / "inf/ntprint.inf"));
  EXPECT_TRUE(fs::exists(windows / "system32/spool/drivers/x64/3/UNIDRV.DLL"));
  EXPECT_TRUE(fs::exists(windows / "system32/spool/drivers/x64/3/PSCRIPT5.DLL"));
}

}  // namespace
