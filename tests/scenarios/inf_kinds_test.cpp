// The kinds of printer INF packages ship, each as the only driver folder of
// the package, added in batch mode on a machine of the platform it claims:
// minidrivers install with the core files of Windows' own driver taken from
// the system, and a version-4 INF is refused with its reason.
#include <fstream>
#include <sstream>

#include "scenarios/scenario.h"

namespace {

using scenario::Outcome;
using scenario::parentLine;

namespace fs = std::filesystem;

std::string readWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class InfKinds : public scenario::ScenarioTest {
 protected:
  // The package's driver folder holds this fixture alone.
  void useKind(const std::string& strKind) {
    const fs::path drivers = packageFile("DRIVERS");
    std::error_code ec;
    fs::remove_all(drivers, ec);
    fs::create_directories(drivers / "DISK1");
    fs::copy(fs::path(KV_PACKAGE_SOURCE).parent_path().parent_path() / "tests/data/inf_kinds" / strKind, drivers / "DISK1",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }
  Outcome batchAdd(const std::string& strDriver) { return run({"+B", "+A:" + strDriver, "+Q:1", "+1"}, ""); }
  // The spooler's registration of a driver, as the machine's registry holds it.
  std::string registry() { return readWhole(m_root / "registry" / "HKLM.reg"); }
  bool installed(const std::string& strEnvFolder, const std::string& strFile) {
    std::error_code ec;
    return fs::exists(m_root / "drive_c/Windows/system32/spool/drivers" / strEnvFolder / "3" / strFile, ec);
  }
  bool hasInstaller() {
    std::error_code ec;
    return fs::exists(packageFile("INSTDLL/NELI64.EXE"), ec);
  }
};

struct Kind {
  const char* folder;
  const char* driver;     // the model added
  const char* ownFile;    // a file of the package, installed with the driver
  const char* coreFile;   // the core driver file the spooler registers
};

TEST_F(InfKinds, MinidriversInstallWithTheSystemsCoreFilesOnX86) {
  if (!hasInstaller()) GTEST_SKIP() << "no stand-in installer in the package";
  kvsim({"set", "arch", "x86"});
  const Kind kinds[] = {
      {"pos58", "KV POS58 Receipt", "POS58.GPD", "UNIDRV.DLL"},
      {"dotmatrix", "KV DotMatrix 24 Wide", "DOTM24W.GPD", "UNIDRV.DLL"},
      {"coredriver", "KV Office Laser 300", "KVCORE.GPD", "UNIDRV.DLL"},
      {"pscript", "KV PostScript 40", "KVPS40.PPD", "PSCRIPT5.DLL"},
      {"systemlike", "KV Gamma Line 30", "KVGAM2.GPD", "UNIDRV.DLL"},
  };
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.folder);
    useKind(k.folder);
    const Outcome r = batchAdd(k.driver);
    EXPECT_EQ(r.nExit, 0) << r.describe();
    ASSERT_FALSE(r.lstParent.empty()) << r.describe();
    EXPECT_EQ(r.lstParent.back(), parentLine(0, 0, 0)) << r.describe();
    const std::string reg = registry();
    const size_t at = reg.find("Windows NT x86\\Drivers\\Version-3\\" + std::string(k.driver) + "]");
    ASSERT_NE(at, std::string::npos) << reg.substr(0, 4000);
    const std::string record = reg.substr(at, reg.find("\n[", at + 1) - at);
    EXPECT_NE(record.find(std::string("\"Driver\"=\"") + k.coreFile + "\""), std::string::npos) << record;
    EXPECT_NE(record.find(std::string("\"Data File\"=\"") + k.ownFile + "\""), std::string::npos) << record;
    EXPECT_TRUE(installed("w32x86", k.ownFile)) << r.describe();
    EXPECT_TRUE(installed("w32x86", k.coreFile));
  }
}

TEST_F(InfKinds, ReceiptPrinterForX64InstallsWithTheX64CoreFiles) {
  if (!hasInstaller()) GTEST_SKIP() << "no stand-in installer in the package";
  useKind("pos80");
  const Outcome r = batchAdd("KV POS80 Receipt");
  EXPECT_EQ(r.nExit, 0) << r.describe();
  const std::string reg = registry();
  const size_t at = reg.find("Windows x64\\Drivers\\Version-3\\KV POS80 Receipt]");
  ASSERT_NE(at, std::string::npos) << r.describe();
  const std::string record = reg.substr(at, reg.find("\n[", at + 1) - at);
  EXPECT_NE(record.find("\"Configuration File\"=\"UNIDRVUI.DLL\""), std::string::npos) << record;
  EXPECT_TRUE(installed("x64", "POS80.GPD"));
  EXPECT_TRUE(installed("x64", "POS80.INI"));
}

TEST_F(InfKinds, VersionFourInfIsRefusedAndNothingIsRegistered) {
  useKind("v4");
  const Outcome r = batchAdd("KV Cloud Printer");
  // The exit code of a run whose analysis fails belongs to the batch-outcome
  // table; here: the refusal, its reason, and no driver.
  EXPECT_TRUE(r.logHas("(48)")) << r.describe();
  EXPECT_TRUE(r.logHas("a version-4 driver INF")) << r.describe();
  EXPECT_TRUE(r.logHas("IDS_ERR_READINFERR")) << r.describe();
  EXPECT_EQ(registry().find("KV Cloud Printer"), std::string::npos);
}

TEST_F(InfKinds, AMinidriverWithoutItsCoreLinkIsRefusedNotRegisteredAsText) {
  // The receipt INF without Include, Needs or DataSection: the GPD would be
  // the driver DLL; the analysis refuses it instead of a false success.
  useKind("pos58");
  std::string inf = readWhole(packageFile("DRIVERS/DISK1/POS58.INF"));
  for (const char* line : {"DataSection=UNIDRV_DATA\n", "Include=NTPRINT.INF\n", "Needs=UNIDRV.OEM\n"}) {
    inf.erase(inf.find(line), std::string(line).size());
  }
  writePackageFile("DRIVERS/DISK1/POS58.INF", inf);
  const Outcome r = batchAdd("KV POS58 Receipt");
  EXPECT_TRUE(r.logHas("(49)")) << r.describe();
  EXPECT_TRUE(r.logHas("POS58.GPD is not a DLL")) << r.describe();
  EXPECT_EQ(registry().find("KV POS58 Receipt"), std::string::npos);
}

}  // namespace
