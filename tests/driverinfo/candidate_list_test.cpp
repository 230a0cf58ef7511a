// The candidate driver list and the driver description file on a simulated
// machine: the fixture packages' numbered failures, the description file's
// keys, the copy-file records, and the sample package analysed whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "driverinfo/candidate_driver_infomation.h"
#include "driverinfo/driver_info_log.h"
#include "driverinfo/driver_infomation.h"
#include "driverinfo/inf_file.h"
#include "support/pe_builder.h"
#include "support/scratch.h"
#include "system/environment.h"

namespace {

class CandidateListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The analysis reads what the start-up classification found.
    (void)CEnvironment::kGetOsVersionCheck();
    ASSERT_EQ(VEXOERR_SUCCESS, m_info.VEXOInitialize("C:\\KV\\INSTDLL\\DrvInst"));
    m_pkg = kvtest::scratchDir("pkg") + "\\DISK1";
    std::filesystem::create_directories(kvtest::hostFor(m_pkg));
  }
  void TearDown() override { kvtest::removeScratchDir(m_pkg.substr(0, m_pkg.rfind('\\'))); }

  CCandidateDriverInfomation& builder() { return *m_info.kGetCandidateDriverInfomation(); }
  DWORD build(const std::string& folder, BOOL bListedOnly = FALSE, const std::string& lang = "") {
    return m_info.VEXOMakeCandidateDriverList(folder, lang, bListedOnly);
  }
  std::vector<std::string> names() {
    std::vector<std::string> out;
    for (const CCandidateDriver& c : m_info.VEXOGetCandidateDriverList()) out.push_back(c.strDriverName);
    return out;
  }
  void writeDsc(const std::string& body) { kvtest::writeFile(m_pkg, "DRVINST.DSC", "[DrvInst]\r\n" + body); }

  CDriverInfomation m_info;
  std::string m_pkg;
};

// A printer INF with three models on one driver file; the install section's
// copy lists come from the caller.
std::string threeModelInf(const std::string& install, const std::string& extra = "") {
  return "[Version]\nSignature=\"$Windows NT$\"\nClass=Printer\nProvider=%Maker%\n\n"
         "[Manufacturer]\n%Maker%=Models\n\n"
         "[Models]\n\"KV Alpha\"=KVINST,USBPRINT\\KV_A\n\"KV Beta\"=KVINST,USBPRINT\\KV_B,KV_B_COMPAT\n"
         "\"KV Gamma\"=KVINST,USBPRINT\\KV_C\n\n"
         "[KVINST]\n" + install + "\n" + extra +
         "\n[DestinationDirs]\nDefaultDestDir=66000\nCOLORS=23\n\n[Strings]\nMaker=\"KV Maker\"\n";
}

// ---- Fixture packages --------------------------------------------------------

struct FixtureCase {
  const char* folder;
  DWORD result;
  int failure;
  const char* errorText2;
  size_t candidates;
};

TEST_F(CandidateListTest, FixturePackagesGiveTheirNumberedFailures) {
  const FixtureCase cases[] = {
      {"no_inf", VEXOERR_SOURCEPATHNG, 2, "", 0},
      {"other_class", VEXOERR_SUCCESS, 0, "", 0},
      {"unknown_signature", VEXOERR_SUCCESS, 0, "", 0},
      {"no_manufacturer", VEXOERR_READINFERR, 6, "Manufacturer", 0},
      {"bad_platform", VEXOERR_READINFERR, 7, "Platform", 0},
      {"platform_mismatch", VEXOERR_READINFERR, 8, "Platform value is not equaled", 0},
      {"bad_prevent_same_kind", VEXOERR_READINFERR, 9, "PreventSameKindUpdate", 0},
      {"bad_need_reboot", VEXOERR_READINFERR, 10, "NeedReboot", 0},
      {"bad_version", VEXOERR_READINFERR, 11, "Version", 0},
      {"bad_inf_copy", VEXOERR_READINFERR, 12, "InfCopy", 0},
      {"bad_down_option", VEXOERR_READINFERR, 13, "DriverVersionDownOption", 0},
      {"bad_user_code", VEXOERR_READINFERR, 14, "UserCodeOK", 0},
      {"bad_usb_permit", VEXOERR_READINFERR, 22, "USBPermit", 0},
      {"missing_model_section", VEXOERR_READINFERR, 23, "Manufacturer", 0},
      {"missing_driver_file", VEXOERR_READINFERR, 33, "DriverFile", 0},
      {"copy_outside_folder", VEXOERR_READINFERR, 45, "CopyFiles", 0},
      {"copy_without_folder", VEXOERR_READINFERR, 45, "CopyFiles", 0},
      {"amd64_ok", VEXOERR_SUCCESS, 0, "", 1},
  };
  for (const FixtureCase& c : cases) {
    SCOPED_TRACE(c.folder);
    const std::string folder = kvtest::dataPath(std::string("packages/") + c.folder);
    EXPECT_EQ(c.result, build(folder));
    EXPECT_EQ(c.failure, builder().kGetFailureNumber());
    std::string text1, text2;
    m_info.VEXOGetErrorInfomatio(text1, text2);
    EXPECT_EQ(c.errorText2, text2);
    // Error text 1 names the INF being read (the folder before any INF).
    if (c.result == VEXOERR_READINFERR) {
      EXPECT_NE(std::string::npos, text1.find("KVTEST.INF")) << text1;
    }
    EXPECT_EQ(c.candidates, m_info.VEXOGetCandidateDriverList().size());
    // Whatever the way out, no INF stays open once the list is made.
    EXPECT_EQ(INVALID_HANDLE_VALUE, m_info.kGetInfFile()->kGetHandle());
  }
}

TEST_F(CandidateListTest, MissingSearchPathIsFailureOne) {
  EXPECT_EQ(VEXOERR_SOURCEPATHNG, build(m_pkg + "\\nowhere"));
  EXPECT_EQ(1, builder().kGetFailureNumber());
  // A file is no search path either.
  EXPECT_EQ(VEXOERR_SOURCEPATHNG, build(kvtest::writeFile(m_pkg, "plain.txt", "x")));
  EXPECT_EQ(1, builder().kGetFailureNumber());
}

TEST_F(CandidateListTest, TheAnalysisLogCanBePointedAtAFile) {
  // What a tool that runs the analysis on its own gets: the numbered lines
  // of the analysis and of the utilities under it, by level.
  const std::string strLog = m_pkg + "\\analysis.log";
  kSetAnalysisLogFile(strLog, 1);
  EXPECT_EQ(VEXOERR_READINFERR, build(kvtest::dataPath("packages/bad_need_reboot")));
  std::string strText = kvtest::readFile(strLog);
  EXPECT_NE(strText.find("CCandidateDriverInfomation::kGetNeedReboot() return FALSE (1) NeedReboot=[YES]"),
            std::string::npos)
      << strText;
  EXPECT_NE(strText.find("CCandidateDriverInfomation::kMakeCandidateDriverList() return [4] (10) "), std::string::npos);
  EXPECT_NE(strText.find("CCommonFunction::"), std::string::npos);
  // Level 99 adds every Setup API call; level 1 does not.
  EXPECT_EQ(strText.find("CSetupApi::kSetupOpenInfFile() return ["), std::string::npos);
  DeleteFileA(strLog.c_str());
  kSetAnalysisLogFile(strLog, 99);
  EXPECT_EQ(VEXOERR_READINFERR, build(kvtest::dataPath("packages/bad_need_reboot")));
  EXPECT_NE(kvtest::readFile(strLog).find("CSetupApi::kSetupOpenInfFile() return ["), std::string::npos);
  // No path: nothing more is written.
  kSetAnalysisLogFile("", 99);
  DeleteFileA(strLog.c_str());
  EXPECT_EQ(VEXOERR_READINFERR, build(kvtest::dataPath("packages/bad_need_reboot")));
  EXPECT_FALSE(kvtest::fileExists(strLog));
}

// ---- Description file ------------------------------------------------------------

TEST(DscList, SplitsAtEverySeparatorAndTrims) {
  using V = std::vector<std::string>;
  const std::pair<const char*, V> cases[] = {
      {"", V{}},
      {"One", V{"One"}},
      {" a , b:c|d ^ e ", V{"a", "b", "c", "d", "e"}},
      {"KVTOOLS.EXE, /quiet ,DISPLANG", V{"KVTOOLS.EXE", "/quiet", "DISPLANG"}},
      {"a,,b", V{"a", "", "b"}},  // positions are kept
      {"\tx\t|", V{"x", ""}},
      // A drive letter's colon belongs to the path; any other colon splits.
      {"C:\\TOOLS\\SETUP.EXE,/q,DISPLANG", V{"C:\\TOOLS\\SETUP.EXE", "/q", "DISPLANG"}},
      {" d:\\x.exe | e:\\y", V{"d:\\x.exe", "e:\\y"}},
      {"a:b:\\c", V{"a", "b:\\c"}},
      {"AB:\\x", V{"AB", "\\x"}},
      {"C:x", V{"C", "x"}},
      {"C:", V{"C", ""}},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(expected, CCandidateDriverInfomation::kSplitDscList(text)) << "[" << text << "]";
  }
}

TEST_F(CandidateListTest, OnOffKeysIgnoreCaseAndTakeTheirDefaults) {
  CCandidateDriverInfomation& b = builder();
  writeDsc("NeedReboot=on\r\nUSBPermit=Off\r\nPreventSameKindUpdate=ON\r\n");
  const std::string dsc = m_pkg + "\\DRVINST.DSC";
  BOOL bFlag = 7;
  EXPECT_TRUE(b.kGetNeedReboot(dsc, bFlag));
  EXPECT_EQ(TRUE, bFlag);
  EXPECT_TRUE(b.kGetUSBPermit(dsc, bFlag));
  EXPECT_EQ(FALSE, bFlag);
  EXPECT_TRUE(b.kGetPreventSameKindUpdate(dsc, bFlag));
  EXPECT_EQ(TRUE, bFlag);
  // Absent keys: InfCopy is on, the others off; the same without any file.
  for (const std::string& file : {dsc, std::string()}) {
    EXPECT_TRUE(b.kGetInfCopy(file, bFlag));
    EXPECT_EQ(TRUE, bFlag);
    DWORD dwOption = 0;
    EXPECT_TRUE(b.kGetDriverVersionDownOption(file, dwOption));
    EXPECT_EQ(1u, dwOption);
    std::string platform;
    EXPECT_TRUE(b.kGetPlatform(file, platform));
    EXPECT_EQ("NTx86", platform);
  }
}

TEST_F(CandidateListTest, VersionFromTheFileOrTheSignature) {
  CCandidateDriverInfomation& b = builder();
  struct Case {
    const char* dsc;
    const char* signature;
    BOOL ok;
    DWORD version;
    BOOL fromDsc;
    BOOL skip;
  };
  const Case cases[] = {
      {"Version=3", "$Windows NT$", TRUE, 3, TRUE, FALSE},
      {"Version=0", "$Windows NT$", TRUE, 0, TRUE, FALSE},
      {"Version=3.0", "$Windows NT$", FALSE, 0, FALSE, FALSE},
      {"", "$windows nt$", TRUE, 2, FALSE, FALSE},
      {"", "$CHICAGO$", TRUE, 0, FALSE, FALSE},
      {"", "$Windows 95$", TRUE, 0, FALSE, FALSE},
      {"", "$Windows 3.1$", TRUE, 0, FALSE, TRUE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.dsc) + " " + c.signature);
    writeDsc(std::string(c.dsc) + "\r\n");
    DWORD version = 9;
    BOOL fromDsc = 9, skip = 9;
    EXPECT_EQ(c.ok, b.kGetDriverVersion(m_pkg + "\\DRVINST.DSC", c.signature, version, fromDsc, skip));
    EXPECT_EQ(c.version, version);
    EXPECT_EQ(c.fromDsc, fromDsc);
    EXPECT_EQ(c.skip, skip);
  }
}

TEST_F(CandidateListTest, UserCodeDependsOnTheRegisteredProvider) {
  CCandidateDriverInfomation& b = builder();
  writeDsc("UserCodeOK=On\r\n");
  const std::string dsc = m_pkg + "\\DRVINST.DSC";
  BOOL bFlag = 9;
  DWORD dwMode = 9;
  ASSERT_TRUE(b.kGetUserCodeOK(dsc, bFlag, dwMode));
  EXPECT_EQ(TRUE, bFlag);
  EXPECT_EQ(1u, dwMode);
  HKEY hKey = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\HALVERN\\halucode\\Providers", 0, nullptr,
                                           0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr));
  const char szDll[] = "kvucode.dll";
  RegSetValueExA(hKey, "ProviderDLL", 0, REG_SZ, reinterpret_cast<const BYTE*>(szDll), sizeof(szDll));
  RegCloseKey(hKey);
  ASSERT_TRUE(b.kGetUserCodeOK(dsc, bFlag, dwMode));
  EXPECT_EQ(FALSE, bFlag);
  EXPECT_EQ(1u, dwMode);
  writeDsc("UserCodeOK=FORCE\r\n");
  ASSERT_TRUE(b.kGetUserCodeOK(dsc, bFlag, dwMode));
  EXPECT_EQ(TRUE, bFlag);
  EXPECT_EQ(2u, dwMode);
}

TEST_F(CandidateListTest, VendorSetupTakesTheSystemLanguageWhenNoneIsGiven) {
  writeDsc("VendorSetup= KVTOOLS.EXE ,  /quiet  , displang\r\n");
  CVendorSetupInfo info;
  ASSERT_TRUE(builder().kGetVendorSetup(m_pkg + "\\DRVINST.DSC", "", info));
  EXPECT_EQ("KVTOOLS.EXE", info.strVendorSetup);
  EXPECT_EQ("/quiet", info.strVendorSetupParam);
  char expected[8];
  std::snprintf(expected, sizeof(expected), "%04x", static_cast<unsigned>(GetSystemDefaultLangID()));
  EXPECT_EQ(expected, info.strLangID);
  ASSERT_TRUE(builder().kGetVendorSetup(m_pkg + "\\DRVINST.DSC", "0411abc", info));
  EXPECT_EQ("0411", info.strLangID);
  // A program given with its drive keeps it.
  writeDsc("VendorSetup=C:\\TOOLS\\SETUP.EXE,/q,DISPLANG\r\n");
  ASSERT_TRUE(builder().kGetVendorSetup(m_pkg + "\\DRVINST.DSC", "040c", info));
  EXPECT_EQ("C:\\TOOLS\\SETUP.EXE", info.strVendorSetup);
  EXPECT_EQ("/q", info.strVendorSetupParam);
  EXPECT_EQ("040c", info.strLangID);
}

TEST_F(CandidateListTest, VendorSetupLanguageIsReadAsHexadecimal) {
  kvtest::writeFile(m_pkg, "KV.INF", threeModelInf("CopyFiles=@KVDRV.DLL\nDriverFile=KVDRV.DLL\n"));
  kvtest::writeFile(m_pkg, "KVDRV.DLL", kvtest::peImage("", false, 0x14C));
  const struct {
    const char* pszDsc;
    const char* pszLang;
    int nExpected;
  } rows[] = {
      {"VendorSetup=KVTOOLS.EXE,/q,DISPLANG\r\n", "040c", 1036},
      {"VendorSetup=KVTOOLS.EXE,/q,DISPLANG\r\n", "0409", 1033},
      {"VendorSetup=KVTOOLS.EXE,/q,DISPLANG\r\n", "0411", 1041},
      {"VendorSetup=KVTOOLS.EXE,/q\r\n", "040c", -1},  // no DISPLANG: no language
      {"VendorSetup=KVTOOLS.EXE,/q,DISPLANG\r\n", "zz", -1},
  };
  for (const auto& row : rows) {
    writeDsc(std::string("Version=3\r\n") + row.pszDsc);
    ASSERT_EQ(VEXOERR_SUCCESS, build(m_pkg, FALSE, row.pszLang)) << row.pszLang;
    EXPECT_EQ(row.nExpected, m_info.VEXOGetCandidateDriverList().front().nVendorSetupLangID)
        << row.pszDsc << " " << row.pszLang;
  }
}

TEST_F(CandidateListTest, IniFileDirectories) {
  char szTemp[MAX_PATH] = {}, szSystem[MAX_PATH] = {}, szWindows[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, szTemp);
  GetSystemDirectoryA(szSystem, MAX_PATH);
  GetWindowsDirectoryA(szWindows, MAX_PATH);
  std::string temp = szTemp;
  if (temp.back() == '\\') temp.pop_back();
  const std::pair<const char*, std::string> cases[] = {
      {"KV.INI, temp, KVSetup", temp + "\\KVSetup"},
      {"KV.INI, TEMP", temp},
      {"KV.INI, root, KV\\Data", std::string(szSystem).substr(0, 2) + "\\KV\\Data"},
      {"KV.INI, 10, ignored", szWindows},
      {"KV.INI, 11", szSystem},
      {"KV.INI, 99, ignored", szSystem},
      {"KV.INI", szSystem},
  };
  for (const auto& [value, dir] : cases) {
    writeDsc(std::string("IniFileName=") + value + "\r\n");
    std::string name, outDir, subDir;
    ASSERT_TRUE(builder().kGetIniFileName(m_pkg + "\\DRVINST.DSC", name, outDir, subDir)) << value;
    EXPECT_EQ("KV.INI", name);
    EXPECT_EQ(dir, outDir) << value;
  }
}

TEST_F(CandidateListTest, FolderDescriptionFileServesEveryInf) {
  kvtest::writeFile(m_pkg, "A.INF", "");
  kvtest::writeFile(m_pkg, "A.dsc", "[DrvInst]\r\n");
  std::string dsc;
  // Only the file named after the INF: that one.
  EXPECT_EQ(m_pkg + "\\A.dsc", builder().kDecideDSCFileName(dsc, m_pkg + "\\A.INF"));
  EXPECT_EQ("", builder().kDecideDSCFileName(dsc, m_pkg + "\\B.INF"));
  // DRVINST.DSC wins for both.
  writeDsc("");
  EXPECT_EQ(m_pkg + "\\DRVINST.DSC", builder().kDecideDSCFileName(dsc, m_pkg + "\\A.INF"));
  EXPECT_EQ(m_pkg + "\\DRVINST.DSC", builder().kDecideDSCFileName(dsc, m_pkg + "\\B.INF"));
}

// ---- Building from an INF ------------------------------------------------------

TEST_F(CandidateListTest, DescriptionFileOptionsReachEveryRecord) {
  kvtest::writeFile(m_pkg, "KV.INF", threeModelInf("CopyFiles=@KVDRV.DLL\nDriverFile=KVDRV.DLL\nPrintProcessor=WinPrint\n"));
  kvtest::writeFile(m_pkg, "KVDRV.DLL", kvtest::peImage("", false, 0x14C));
  writeDsc("Version=3\r\nNeedReboot=ON\r\nDrvInst= KV Beta | kv gamma \r\nModelName=KV\r\nModelName.KV Beta=Beta "
           "Model\r\nComment=Laser\r\nPnpDevRegKey.KV Alpha=AlphaKey\r\nCopyForceFiles=kvdrv.dll\r\n");
  ASSERT_EQ(VEXOERR_SUCCESS, build(m_pkg)) << builder().kGetFailureNumber() << " " << builder().kGetErrorText2();
  const CCandidateDriverList& list = m_info.VEXOGetCandidateDriverList();
  ASSERT_EQ(3u, list.size());
  auto it = list.begin();
  const CCandidateDriver& alpha = *it++;
  const CCandidateDriver& beta = *it++;
  const CCandidateDriver& gamma = *it;
  EXPECT_EQ((std::vector<BOOL>{FALSE, TRUE, TRUE}),
            (std::vector<BOOL>{alpha.bDrvInstListed, beta.bDrvInstListed, gamma.bDrvInstListed}));
  EXPECT_EQ((std::vector<BOOL>{FALSE, TRUE, FALSE}),
            (std::vector<BOOL>{alpha.bDrvInstFirst, beta.bDrvInstFirst, gamma.bDrvInstFirst}));
  EXPECT_EQ("KV", alpha.strModelName);
  EXPECT_EQ("Beta Model", beta.strModelName);
  EXPECT_EQ("AlphaKey", alpha.strPnpDevRegKey);
  EXPECT_EQ("", beta.strPnpDevRegKey);
  EXPECT_EQ("KV_B_COMPAT", beta.strCompatibleID);
  for (const CCandidateDriver& c : list) {
    EXPECT_EQ(3u, c.dwInfOSVersion);
    EXPECT_EQ(TRUE, c.bNeedReboot);
    EXPECT_EQ("Laser", c.strComment);
    EXPECT_EQ("KVDRV.DLL", c.strConfigFile);  // defaults to the driver file
    EXPECT_EQ("RAW", c.strDefaultDataType);
    EXPECT_EQ("WinPrint", c.strPrintProcessor);  // no comma: the system default
    EXPECT_EQ("", c.strPrintProcessorDLL);
    EXPECT_EQ("KVDRV.ini", c.strIniFileName);
    ASSERT_EQ(1u, c.pDriverFileList->size());
    EXPECT_EQ(TRUE, c.pDriverFileList->front().bCopyForce);
  }
  // The texts of the INF and of the section are one text for all three
  // records, and a change to a copy of one record shows in no other.
  EXPECT_TRUE(alpha.strDriverFile.kSharesWith(gamma.strDriverFile));
  EXPECT_TRUE(alpha.strInfPath.kSharesWith(beta.strInfPath));
  CCandidateDriver copy = beta;
  copy.strDriverFile = "OTHER.DLL";
  copy.strDriverName += " Copy";
  copy.strComment.clear();
  EXPECT_EQ("KVDRV.DLL", beta.strDriverFile);
  EXPECT_EQ("KVDRV.DLL", alpha.strDriverFile);
  EXPECT_EQ("KV Beta", beta.strDriverName);
  EXPECT_EQ("Laser", beta.strComment);
  EXPECT_EQ("KV Beta Copy", copy.strDriverName);
  // Only the listed models with the listed-only flag.
  ASSERT_EQ(VEXOERR_SUCCESS, build(m_pkg, TRUE));
  EXPECT_EQ((std::vector<std::string>{"KV Beta", "KV Gamma"}), names());
}

TEST_F(CandidateListTest, CopyListsGiveOneRecordPerFile) {
  kvtest::writeFile(m_pkg, "KV.INF",
                    threeModelInf("CopyFiles=FILES1,FILES2,COLORS\nDriverFile=KVDRV.DLL\n",
                                  "[FILES1]\nKVDRV.DLL\nKVUI.DLL,,,0x20\n[FILES2]\nKVDRV.DLL\nKVDRV.DL\n"
                                  "[COLORS]\nKV.ICM\nKV.ICM\n"));
  kvtest::writeFile(m_pkg, "KVDRV.DLL", kvtest::peImage("", false, 0x14C));
  writeDsc("Version=3\r\nNoCheckFiles=KVUI.DLL\r\n");
  ASSERT_EQ(VEXOERR_SUCCESS, build(m_pkg));
  const CCandidateDriver& c = m_info.VEXOGetCandidateDriverList().front();
  // A name that another entry merely contains is a file of its own.
  EXPECT_EQ("66000\\KVDRV.DLL,66000\\KVUI.DLL,66000\\KVDRV.DL,23\\KV.ICM,", c.strDependentFiles);
  EXPECT_EQ("EMPTY,0x20,EMPTY,EMPTY,", c.strCopyFlags);
  EXPECT_EQ("KV.ICM,", c.strColorProfiles);
  ASSERT_EQ(4u, c.pDriverFileList->size());
  std::vector<std::string> found;
  for (const CDriverFile& f : *c.pDriverFileList) {
    found.push_back(f.strFileName + (f.bFound ? "+" : "-") + (f.bNoCheck ? "n" : "") + (f.bColorProfile ? "c" : ""));
  }
  EXPECT_EQ((std::vector<std::string>{"KVDRV.DLL+", "KVUI.DLL-n", "KVDRV.DL-", "KV.ICM-c"}), found);
  EXPECT_EQ(m_pkg, c.pDriverFileList->front().strSourceDir);
}

TEST_F(CandidateListTest, MakerListsMarkWholeFileNamesOnly) {
  // A name that merely contains a listed one (KVUI.DLL in MYKVUI.DLL) is
  // another file: neither unchecked, nor forced, nor the same profile.
  kvtest::writeFile(m_pkg, "KV.INF",
                    threeModelInf("CopyFiles=FILES,COLORS\nDriverFile=KVDRV.DLL\n",
                                  "[FILES]\nKVDRV.DLL\nKVUI.DLL\nMYKVUI.DLL\n[COLORS]\nMYKV.ICM\nKV.ICM\n"));
  kvtest::writeFile(m_pkg, "KVDRV.DLL", kvtest::peImage("", false, 0x14C));
  writeDsc("Version=3\r\nNoCheckFiles=MYKVUI.DLL\r\nCopyForceFiles=XKVDRV.DLL, kvui.dll\r\n");
  ASSERT_EQ(VEXOERR_SUCCESS, build(m_pkg));
  const CCandidateDriver& c = m_info.VEXOGetCandidateDriverList().front();
  EXPECT_EQ("MYKV.ICM,KV.ICM,", c.strColorProfiles);
  EXPECT_EQ("66000\\KVDRV.DLL,66000\\KVUI.DLL,66000\\MYKVUI.DLL,23\\MYKV.ICM,23\\KV.ICM,", c.strDependentFiles);
  std::vector<std::string> marks;
  for (const CDriverFile& f : *c.pDriverFileList) {
    marks.push_back(f.strFileName + (f.bNoCheck ? " n" : "") + (f.bCopyForce ? " f" : ""));
  }
  EXPECT_EQ((std::vector<std::string>{"KVDRV.DLL", "KVUI.DLL f", "MYKVUI.DLL n", "MYKV.ICM", "KV.ICM"}), marks);
}

TEST_F(CandidateListTest, EmptyDrvInstItemsNameNoDriver) {
  kvtest::writeFile(m_pkg, "KV.INF", threeModelInf("CopyFiles=@KVDRV.DLL\nDriverFile=KVDRV.DLL\n"));
  kvtest::writeFile(m_pkg, "KVDRV.DLL", kvtest::peImage("", false, 0x14C));
  // Only separators: no list at all, so a listed-only analysis offers every model.
  writeDsc("Version=3\r\nDrvInst=, |\r\n");
  ASSERT_EQ(VEXOERR_SUCCESS, build(m_pkg, TRUE));
  EXPECT_EQ((std::vector<std::string>{"KV Alpha", "KV Beta", "KV Gamma"}), names());
  // An empty first item does not push the first named driver from its place.
  writeDsc("Version=3\r\nDrvInst=,KV Gamma,,KV Alpha\r\n");
  ASSERT_EQ(VEXOERR_SUCCESS, build(m_pkg, TRUE));
  EXPECT_EQ((std::vector<std::string>{"KV Alpha", "KV Gamma"}), names());
  for (const CCandidateDriver& c : m_info.VEXOGetCandidateDriverList()) {
    EXPECT_EQ(c.strDriverName == "KV Gamma" ? TRUE : FALSE, c.bDrvInstFirst) << c.strDriverName;
  }
}

TEST_F(CandidateListTest, VersionZeroProfilesGoToTheColourSubfolder) {
  std::string inf = threeModelInf("CopyFiles=COLORS,@KVDRV.DLL\n", "[COLORS]\nKV.ICM\n");
  inf.replace(inf.find("$Windows NT$"), 12, "$CHICAGO$");
  kvtest::writeFile(m_pkg, "KV.INF", inf);
  kvtest::writeFile(m_pkg, "KVINST", "x");  // no DriverFile: the install section's name
  ASSERT_EQ(VEXOERR_SUCCESS, build(m_pkg));
  const CCandidateDriver& c = m_info.VEXOGetCandidateDriverList().front();
  EXPECT_EQ("KVINST", c.strDriverFile);
  EXPECT_EQ("23\\Color\\KV.ICM,66000\\KVDRV.DLL,", c.strDependentFiles);
  EXPECT_EQ("KV.ICM,", c.strColorProfiles);
  EXPECT_EQ("Color\\KV.ICM", c.pDriverFileList->front().strFileName);
}

TEST_F(CandidateListTest, FilesOnASiblingDisk) {
  kvtest::writeFile(m_pkg, "KV.INF", threeModelInf("CopyFiles=@KVHELP.HLP\nDriverFile=KVDRV.DLL\n"));
  // The driver file on disk 2; the help file, searched from the driver's
  // folder, in a subfolder of disk 3 under its "_" name.
  const std::string base = m_pkg.substr(0, m_pkg.size() - 1);
  std::filesystem::create_directories(kvtest::hostFor(base + "2"));
  std::filesystem::create_directories(kvtest::hostFor(base + "3\\SUB"));
  kvtest::writeFile(base + "2", "KVDRV.DLL", kvtest::peImage("", false, 0x14C));
  kvtest::writeFile(base + "3\\SUB", "KVHELP.HL_", "compressed");
  writeDsc("Version=3\r\n");
  ASSERT_EQ(VEXOERR_SUCCESS, build(m_pkg));
  const CCandidateDriver& c = m_info.VEXOGetCandidateDriverList().front();
  EXPECT_EQ(base + "2", c.strDriverPath);
  EXPECT_EQ(TRUE, c.pDriverFileList->front().bFound);
  EXPECT_EQ(base + "3\\SUB", c.pDriverFileList->front().strSourceDir);
}

// ---- The sample package ----------------------------------------------------------

#ifdef KV_SAMPLE_PACKAGE
TEST_F(CandidateListTest, SamplePackage) {
  std::string folder = "Z:" KV_SAMPLE_PACKAGE;
  std::replace(folder.begin(), folder.end(), '/', '\\');
  ASSERT_EQ(VEXOERR_SUCCESS, build(folder));
  struct Expected {
    const char* name;
    DWORD version;
    const char* platform;
    const char* files;
  };
  const Expected expected[] = {
      {"KV LaserPro 5000", 3, "NTamd64", "KVDRV64.DLL,KVUI64.DLL,KVHELP.HLP,KVPP64.DLL,KVLM64.DLL,KVLASER.GPD,"},
      {"KV LaserPro 5100", 3, "NTamd64", "KVDRV64.DLL,KVUI64.DLL,KVHELP.HLP,KVPP64.DLL,KVLM64.DLL,KVLASER.GPD,"},
      {"KV LaserPro 5200 Color", 3, "NTamd64",
       "KVDRV64.DLL,KVUI64.DLL,KVHELP.HLP,KVPP64.DLL,KVLM64.DLL,KVCOLOR.ICM,KVLASER.GPD,"},
      {"KV LaserPro 3000", 2, "NTx86", "KVNT4DRV.DLL,KVNT4.PPD,"},
      {"KV LaserPro 5000", 3, "NTx86", "KVDRV32.DLL,KVUI32.DLL,KVLASER.GPD,"},
      {"KV LaserPro 5100", 3, "NTx86", "KVDRV32.DLL,KVUI32.DLL,KVLASER.GPD,"},
  };
  const CCandidateDriverList& list = m_info.VEXOGetCandidateDriverList();
  ASSERT_EQ(std::size(expected), list.size());
  auto it = list.begin();
  for (const Expected& e : expected) {
    const CCandidateDriver& c = *it++;
    SCOPED_TRACE(c.strInfPath + " " + c.strDriverName);
    EXPECT_EQ(e.name, c.strDriverName);
    EXPECT_EQ(e.version, c.dwInfOSVersion);  // from the driver files themselves
    EXPECT_EQ(e.platform, c.strPlatform);
    std::string files;
    for (const CDriverFile& f : *c.pDriverFileList) {
      files += f.strFileName + ",";
      EXPECT_TRUE(f.bFound) << f.strFileName;  // plain, "_" form, or on disk 2
    }
    EXPECT_EQ(e.files, files);
  }
  // The models of one install section of one INF hold one file list, not a
  // copy each; other sections have lists of their own.
  int shared = 0;
  for (const CCandidateDriver& a : list) {
    for (const CCandidateDriver& b : list) {
      if (&a == &b) continue;
      const bool sameSection = a.strInfPath == b.strInfPath && a.strInstallSection == b.strInstallSection;
      EXPECT_EQ(sameSection, a.pDriverFileList == b.pDriverFileList) << a.strDriverName << " / " << b.strDriverName;
      shared += sameSection ? 1 : 0;
    }
  }
  EXPECT_GT(shared, 0);
  const CCandidateDriver& color = *std::next(list.begin(), 2);
  EXPECT_EQ("KVPrint", color.strPrintProcessor);
  EXPECT_EQ("KVPP64.DLL", color.strPrintProcessorDLL);
  EXPECT_EQ("KV Language Monitor", color.strLanguageMonitorName);
  EXPECT_EQ("KVCOLOR.ICM,", color.strColorProfiles);
  EXPECT_EQ("KV LaserPro Color", color.strModelName);
  EXPECT_EQ("Halvern Imaging", color.strOEMManufacturer);
  EXPECT_EQ("NT EMF 1.008", color.strDefaultDataType);
  const CCandidateDriver& x86 = *std::next(list.begin(), 4);
  EXPECT_EQ("KVTOOLS.EXE", x86.strVendorSetup);
  EXPECT_EQ("/quiet", x86.strVendorSetupParam);
  // The listed-only flag keeps what DRVINST.DSC lists (all three x64 models)
  // and every model of INF files without a list.
  ASSERT_EQ(VEXOERR_SUCCESS, build(folder, TRUE));
  EXPECT_EQ(6u, list.size());
}
#endif

}  // namespace
