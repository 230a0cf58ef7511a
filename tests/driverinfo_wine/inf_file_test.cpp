// The INF reader over the Setup API: the same answers on winsim and on Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "driverinfo_wine/inf_fixture.h"
#include "platform/win32.h"

using kvtest::InfEncoding;
using kvtest::InfFileTest;
using kvtest::kPrinterHeader;
using Strings = std::vector<std::string>;

namespace {

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

std::string withoutTrailingBackslash(std::string s) {
  if (s.size() > 1 && s.back() == '\\') s.pop_back();
  return s;
}

std::string driverDirectory(const char* pszEnvironment) {
  char szDir[MAX_PATH] = {};
  DWORD dwNeeded = 0;
  std::string env = pszEnvironment ? pszEnvironment : "";
  EXPECT_TRUE(GetPrinterDriverDirectoryA(nullptr, pszEnvironment ? env.data() : nullptr, 1,
                                         reinterpret_cast<LPBYTE>(szDir), MAX_PATH, &dwNeeded));
  return szDir;
}

std::string printProcessorDirectory() {
  char szDir[MAX_PATH] = {};
  DWORD dwNeeded = 0;
  EXPECT_TRUE(GetPrintProcessorDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(szDir), MAX_PATH, &dwNeeded));
  return szDir;
}

std::string systemDirectory() {
  char szDir[MAX_PATH] = {};
  GetSystemDirectoryA(szDir, MAX_PATH);
  return szDir;
}

}  // namespace

// ---- [Manufacturer] and platform decorations ---------------------------------

struct DecorationCase {
  const char* manufacturer;  // the [Manufacturer] section's lines
  BOOL sectionsOk;
  Strings sections;
  BOOL platformOk;
  const char* platform;
};

TEST_F(InfFileTest, ModelSectionsAndPlatformFollowTheFirstDecoration) {
  const DecorationCase cases[] = {
      {"%Maker%=Models\n", TRUE, {"Models"}, TRUE, "NTx86"},
      {"%Maker%=Models,ntamd64,NTx86\n", TRUE, {"Models.NTamd64"}, TRUE, "NTamd64"},
      {"%Maker%=Models,NTIA64\n", TRUE, {"Models.NTia64"}, TRUE, "NTia64"},
      {"%Maker%=Models,NTarm64\n", FALSE, {}, FALSE, ""},
      {"%Maker%=Models,NTamd64.6.1\n", FALSE, {}, FALSE, ""},
      {"A=First,NTamd64\nB=Second\n", TRUE, {"First.NTamd64", "Second"}, TRUE, "NTamd64"},
  };
  for (const auto& c : cases) {
    open(std::string(kPrinterHeader) + "[Manufacturer]\n" + c.manufacturer + "[Strings]\nMaker=\"KV Maker\"\n");
    Strings sections{"stale"};
    EXPECT_EQ(c.sectionsOk, m_inf->kGetManufacturerNameSection(sections)) << c.manufacturer;
    if (c.sectionsOk) {
      EXPECT_EQ(c.sections, sections) << c.manufacturer;
    }
    std::string platform = "stale";
    EXPECT_EQ(c.platformOk, m_inf->kGetPlatform(platform)) << c.manufacturer;
    EXPECT_EQ(c.platform, platform) << c.manufacturer;
  }
}

TEST_F(InfFileTest, NoManufacturerSectionFailsBoth) {
  open(std::string(kPrinterHeader) + "[Strings]\nMaker=x\n");
  Strings sections;
  std::string platform;
  EXPECT_FALSE(m_inf->kGetManufacturerNameSection(sections));
  EXPECT_FALSE(m_inf->kGetPlatform(platform));
}

// ---- Models ------------------------------------------------------------------

const char* const kModelsInf =
    "[Manufacturer]\n"
    "%Maker%=Models,NTamd64\n"
    "Other=Extra,NTamd64\n"
    "[Models.NTamd64]\n"
    "%Model1% = Install1, USBPRINT\\KVModel1, KVModel1Compat\n"
    "\"KV Model 2\" = Install2, USBPRINT\\KVModel2\n"
    "[Extra.NTamd64]\n"
    "%Model1% = InstallX, USBPRINT\\Other\n"
    "[Strings]\n"
    "Maker=\"KV Maker\"\n"
    "Model1=\"KV Model 1\"\n";

TEST_F(InfFileTest, DeviceDescriptionsAndTheirFields) {
  open(std::string(kPrinterHeader) + kModelsInf);
  Strings sections;
  ASSERT_TRUE(m_inf->kGetManufacturerNameSection(sections));
  Strings descriptions{"kept"};
  ASSERT_TRUE(m_inf->kEnumDeviceDescriptions(sections, descriptions));
  // Not emptied first; a model in two sections is listed once per section.
  EXPECT_EQ((Strings{"kept", "KV Model 1", "KV Model 2", "KV Model 1"}), descriptions);

  struct FieldCase {
    const char* description;
    DWORD index;
    const char* expected;
  };
  const FieldCase fields[] = {
      {"KV Model 1", 1, "Install1"},  // the first model section wins
      {"kv model 1", 2, "USBPRINT\\KVModel1"},
      {"KV Model 1", 3, "KVModel1Compat"},
      {"KV Model 2", 1, "Install2"},
      {"KV Model 2", 3, ""},  // absent field
      {"KV Model 9", 1, ""},  // absent model
  };
  for (const auto& f : fields) {
    std::string value = "stale";
    EXPECT_TRUE(m_inf->kGetDeviceDescriptionField(f.description, f.index, value)) << f.description;
    EXPECT_EQ(f.expected, value) << f.description << " field " << f.index;
  }
  std::string value;
  EXPECT_TRUE(m_inf->kGetInstallSectionName("KV Model 2", value));
  EXPECT_EQ("Install2", value);
  EXPECT_TRUE(m_inf->kGetHardwareID("KV Model 2", value));
  EXPECT_EQ("USBPRINT\\KVModel2", value);
  EXPECT_TRUE(m_inf->kGetCompatibleID("KV Model 1", value));
  EXPECT_EQ("KVModel1Compat", value);
}

TEST_F(InfFileTest, AModelSectionThatIsMissingFailsTheDescriptions) {
  open(std::string(kPrinterHeader) + "[Manufacturer]\nM=Gone\n");
  Strings descriptions;
  EXPECT_FALSE(m_inf->kEnumDeviceDescriptions({"Gone"}, descriptions));
}

// ---- Values ------------------------------------------------------------------

TEST_F(InfFileTest, VersionAndDrvInstValues) {
  open(std::string(kPrinterHeader) +
       "[DrvInst]\n"
       "Comment=%Note%\n"
       "DriverType=Color\n"
       "NoCheckFiles=a.dll, b.dll\n"
       "LanguageMonitor=\"KV Monitor,kvmon.dll\", extra\n"
       "IniFileName=kvdrv.ini,temp,KVSub\n"
       "VendorSetup=setup.exe,\" /q \",displang\n"
       "DrvInst=KV Model 1,,KV Model 3\n"
       "Empty=\n"
       "[Strings]\nMaker=\"KV Maker\"\nNote=\"A comment\"\n");
  struct ValueCase {
    const char* what;
    BOOL (CInfFile::*read)(std::string&);
    const char* expected;
  };
  const ValueCase values[] = {
      {"Class", &CInfFile::kGetClassName, "Printer"},
      {"Signature", &CInfFile::kGetOSKind, "$Windows NT$"},
      {"Provider", &CInfFile::kGetProviderName, "KV Maker"},
      {"CatalogFile", &CInfFile::kGetCatalogFile, "kvdrv.cat"},
      {"Comment", &CInfFile::kGetComment, "A comment"},
      {"DriverType", &CInfFile::kGetDriverType, "Color"},
      {"NoCheckFiles", &CInfFile::kGetDrvInstNoCheckFile, "a.dll,b.dll"},
      {"LanguageMonitor", &CInfFile::kGetDrvInstLanguageMonitor, "KV Monitor,kvmon.dll"},
  };
  for (const auto& v : values) {
    std::string out = "stale";
    EXPECT_TRUE((m_inf.get()->*v.read)(out)) << v.what;
    EXPECT_EQ(v.expected, out) << v.what;
  }

  std::string value = "stale";
  EXPECT_TRUE(m_inf->kGetLineText("DrvInst", "Empty", value));  // present but empty reads as absent
  EXPECT_EQ("", value);
  value = "stale";
  EXPECT_TRUE(m_inf->kGetLineText("DrvInst", "Missing", value));
  EXPECT_EQ("", value);
  value = "stale";
  EXPECT_TRUE(m_inf->kGetLineText("NoSuchSection", "Key", value));
  EXPECT_EQ("", value);

  std::string file, dir, sub;
  ASSERT_TRUE(m_inf->kGetIniFileName(file, dir, sub));
  EXPECT_EQ((Strings{"kvdrv.ini", "temp", "KVSub"}), (Strings{file, dir, sub}));

  CVendorSetupInfo vendor;
  vendor.strLangID = "stale";
  ASSERT_TRUE(m_inf->kGetVendorSetup("041100", vendor));
  EXPECT_EQ("setup.exe", vendor.strVendorSetup);
  EXPECT_EQ(" /q ", vendor.strVendorSetupParam);
  EXPECT_EQ("0411", vendor.strLangID);

  Strings names{"kept"};
  ASSERT_TRUE(m_inf->kGetDrvNamesForDrvInst(names));
  EXPECT_EQ((Strings{"kept", "KV Model 1"}), names);  // the first empty field ends the list
}

TEST_F(InfFileTest, InstallSectionKeysFallBackToTheDataSection) {
  open(std::string(kPrinterHeader) +
       "[Install1]\nDriverFile=own.dll\nDataSection=Shared\nHelpFile=\n"
       "[Install2]\nConfigFile=ui.dll\n"
       "[Shared]\nDriverFile=shared.dll\nHelpFile=shared.hlp\nPrintProcessor=\"kvproc,kvproc.dll\"\n"
       "[Strings]\nMaker=x\n");
  struct KeyCase {
    const char* section;
    const char* key;
    const char* expected;
  };
  const KeyCase keys[] = {
      {"Install1", "DriverFile", "own.dll"},            // the install section wins
      {"Install1", "HelpFile", "shared.hlp"},           // empty there: the data section
      {"Install1", "PrintProcessor", "kvproc,kvproc.dll"},
      {"Install1", "ConfigFile", ""},                   // nowhere
      {"Install2", "ConfigFile", "ui.dll"},
      {"Install2", "DriverFile", ""},                   // no data section
      {"Missing", "DriverFile", ""},
  };
  for (const auto& k : keys) {
    std::string value = "stale";
    EXPECT_TRUE(m_inf->kGetExtensionName(k.section, k.key, value)) << k.section << " " << k.key;
    EXPECT_EQ(k.expected, value) << k.section << " " << k.key;
  }
}

TEST_F(InfFileTest, OemUrlsAndSourceDisks) {
  open(std::string(kPrinterHeader) +
       "[OEM URLS]\n\"KV Maker\"=\"http://example.com/kv\"\n"
       "[SourceDisksNames.amd64]\n1=%Disk1%,,,\n2=\"Second disk\",,,\\disk2\n"
       "[SourceDisksFiles.amd64]\nkvdrv.dll=1\nkvui.dll=2,sub\n"
       "[Strings]\nMaker=x\nDisk1=\"KV Driver Disk\"\n");
  std::string url, maker;
  ASSERT_TRUE(m_inf->kGetOEMUrl(url, maker));
  EXPECT_EQ("http://example.com/kv", url);
  EXPECT_EQ("KV Maker", maker);

  UINT id = 99;
  std::string disk;
  ASSERT_TRUE(m_inf->kGetDiskName("kvdrv.dll", id, disk));
  EXPECT_EQ(1u, id);
  EXPECT_EQ("KV Driver Disk", disk);
  ASSERT_TRUE(m_inf->kGetDiskName("KVUI.DLL", id, disk));
  EXPECT_EQ(2u, id);
  EXPECT_EQ("Second disk", disk);
  EXPECT_FALSE(m_inf->kGetDiskName("unlisted.dll", id, disk));
}

TEST_F(InfFileTest, NoOemUrlsReadsAsEmpty) {
  open(std::string(kPrinterHeader) + "[Strings]\nMaker=x\n");
  std::string url = "stale", maker = "stale";
  EXPECT_TRUE(m_inf->kGetOEMUrl(url, maker));
  EXPECT_EQ("", url);
  EXPECT_EQ("", maker);
}

// ---- Opening ------------------------------------------------------------------

TEST_F(InfFileTest, OpenRefusesRelativePathsOldStylesAndMissingFiles) {
  kvtest::writeFile(m_dir, "old.inf", "[Version]\r\nSignature=$Windows 3.1$\r\n[Manufacturer]\r\nA=B\r\n");
  kvtest::writeFile(m_dir, "none.inf", "[Manufacturer]\r\nA=B\r\n");
  EXPECT_FALSE(m_inf->kOpen("test.inf"));
  EXPECT_FALSE(m_inf->kOpen("\\no\\drive.inf"));
  EXPECT_FALSE(m_inf->kOpen(m_dir + "\\old.inf"));
  EXPECT_FALSE(m_inf->kOpen(m_dir + "\\none.inf"));
  EXPECT_FALSE(m_inf->kOpen(m_dir + "\\missing.inf"));
  EXPECT_EQ(INVALID_HANDLE_VALUE, m_inf->kGetHandle());
  std::string value;
  EXPECT_FALSE(m_inf->kGetLineText("Version", "Class", value));  // nothing open
}

TEST_F(InfFileTest, OpenSplitsThePathAndReplacesTheFileBefore) {
  open(std::string(kPrinterHeader) + "[DestinationDirs]\nDefaultDestDir=11\n[Strings]\nMaker=x\n", InfEncoding::AnsiLf,
       "first.inf");
  ASSERT_TRUE(m_inf->kAddDestinationDirsList("", 3));
  const std::string path = open("[Version]\nSignature=$CHICAGO$\nClass=Printer\nProvider=Second\n",
                                InfEncoding::AnsiLf, "Second.Inf");
  EXPECT_EQ(m_dir + "\\", m_inf->kGetFilePath());
  EXPECT_EQ("Second.Inf", m_inf->kGetFileName());
  std::string provider;
  EXPECT_TRUE(m_inf->kGetProviderName(provider));
  EXPECT_EQ("Second", provider);
  // The destination map keeps what earlier INF files added.
  EXPECT_EQ(1u, m_inf->kGetDestinationDirs().count("11"));
}

// The three encodings real packages use read the same.
TEST_F(InfFileTest, Utf16AndLfFilesReadLikeCrLf) {
  const std::string text = std::string(kPrinterHeader) + kModelsInf +
                           "[Install1]\nCopyFiles=Files1\n[Files1]\nkvdrv.dll\nkvui.dll,,,0x20\n"
                           "[DestinationDirs]\nDefaultDestDir=66000\n";
  for (InfEncoding encoding : {InfEncoding::AnsiCrLf, InfEncoding::AnsiLf, InfEncoding::Utf16Bom}) {
    SCOPED_TRACE(static_cast<int>(encoding));
    open(text, encoding);
    Strings sections, descriptions, files, flags;
    std::string platform, provider;
    ASSERT_TRUE(m_inf->kGetManufacturerNameSection(sections));
    ASSERT_TRUE(m_inf->kEnumDeviceDescriptions(sections, descriptions));
    ASSERT_TRUE(m_inf->kGetPlatform(platform));
    ASSERT_TRUE(m_inf->kGetProviderName(provider));
    ASSERT_TRUE(m_inf->kEnumCopyFilesDirNo("Install1", files, flags));
    EXPECT_EQ((Strings{"Models.NTamd64", "Extra.NTamd64"}), sections);
    EXPECT_EQ((Strings{"KV Model 1", "KV Model 2", "KV Model 1"}), descriptions);
    EXPECT_EQ("NTamd64", platform);
    EXPECT_EQ("KV Maker", provider);
    EXPECT_EQ((Strings{"66000\\kvdrv.dll", "66000\\kvui.dll"}), files);
    EXPECT_EQ((Strings{"", "0x20"}), flags);
  }
}

// ---- Copy lists -----------------------------------------------------------------

TEST_F(InfFileTest, CopyFilesListsSectionsAndSingleFilesInOrder) {
  open(std::string(kPrinterHeader) +
       "[Install1]\nCopyFiles=DriverFiles,@single.gpd,MissingSection,ColorFiles\n"
       "[DriverFiles]\nkvdrv.dll,,,0x00000020\nkvui.dll\n\"kv res.dll\"\n"
       "[ColorFiles]\nkv.icm\n"
       "[DestinationDirs]\nDefaultDestDir=66000\nColorFiles=66003\n"
       "[Strings]\nMaker=x\n");
  Strings files{"stale"}, flags{"stale"};
  ASSERT_TRUE(m_inf->kEnumCopyFilesDirNo("Install1", files, flags));
  EXPECT_EQ((Strings{"66000\\kvdrv.dll", "66000\\kvui.dll", "66000\\kv res.dll", "66000\\single.gpd",
                     "66003\\kv.icm"}),
            files);
  EXPECT_EQ((Strings{"0x00000020", "", "", "", ""}), flags);
}

TEST_F(InfFileTest, CopyFilesOfTheNtSectionAreReadWhole) {
  open(std::string(kPrinterHeader) +
       "[Install1]\nDriverFile=kvdrv.dll\n"
       "[Install1.NT]\nCopyFiles=First,Second\n"
       "[First]\na.dll\n[Second]\nb.dll\n"
       "[DestinationDirs]\nDefaultDestDir=66000\n[Strings]\nMaker=x\n");
  Strings files, flags;
  ASSERT_TRUE(m_inf->kEnumCopyFilesDirNo("Install1", files, flags));
  EXPECT_EQ((Strings{"66000\\a.dll", "66000\\b.dll"}), files);
}

TEST_F(InfFileTest, CopyFilesFailuresThatStopThePackage) {
  struct FailCase {
    const char* why;
    const char* body;
  };
  const FailCase cases[] = {
      {"no CopyFiles at all", "[Install1]\nDriverFile=a.dll\n"},
      {"no folder for a section", "[Install1]\nCopyFiles=Files\n[Files]\na.dll\n"},
      {"no folder for @file", "[Install1]\nCopyFiles=@a.dll\n"},
  };
  for (const auto& c : cases) {
    open(std::string(kPrinterHeader) + c.body + "[Strings]\nMaker=x\n");
    Strings files, flags;
    EXPECT_FALSE(m_inf->kEnumCopyFilesDirNo("Install1", files, flags)) << c.why;
  }
}

// A copy-list name must not reach outside its target folder.
TEST_F(InfFileTest, CopyFileNamesWithAPathAreRefused) {
  const char* const names[] = {"plain.dll", "..\\evil.dll", "sub\\a.dll", "sub/a.dll", "C:evil.dll", "..", "a..\\b.dll"};
  for (const char* name : names) {
    const BOOL expected = std::string(name) == "plain.dll";  // the control case
    for (const bool single : {false, true}) {
      const std::string copyFiles = single ? std::string("@\"") + name + "\"" : std::string("Files");
      open(std::string(kPrinterHeader) + "[Install1]\nCopyFiles=" + copyFiles + "\n[Files]\n\"" + name +
           "\"\n[DestinationDirs]\nDefaultDestDir=66000\n[Strings]\nMaker=x\n");
      Strings files, flags;
      EXPECT_EQ(expected, m_inf->kEnumCopyFilesDirNo("Install1", files, flags)) << name << (single ? " as @file" : "");
    }
  }
}

// ---- Destination folders -----------------------------------------------------------

TEST_F(InfFileTest, DestinationDirsResolveToUpperCaseFolders) {
  open(std::string(kPrinterHeader) +
       "[Manufacturer]\nM=Models,NTamd64\n"
       "[DestinationDirs]\nDefaultDestDir=66000\nProcFiles=66001\nMonFiles=66002\nColorFiles=66003\nSysFiles=11\n"
       "IcmFiles=23\n"
       "[Strings]\nMaker=x\n");
  ASSERT_TRUE(m_inf->kAddDestinationDirsList("", 3));
  const auto& map = m_inf->kGetDestinationDirs();
  const std::string sys = upper(systemDirectory());
  EXPECT_EQ(upper(withoutTrailingBackslash(driverDirectory(nullptr))), map.at("66000"));
  EXPECT_EQ(upper(withoutTrailingBackslash(printProcessorDirectory())), map.at("66001"));
  EXPECT_EQ(sys, map.at("66002"));
  EXPECT_EQ(sys, map.at("11"));
  EXPECT_EQ(map.at("23"), map.at("66003"));
  EXPECT_NE(std::string::npos, map.at("66003").find("COLOR"));
  EXPECT_EQ(6u, map.size());
}

TEST_F(InfFileTest, WithoutDestinationDirsTheDefaultsAreAdded) {
  open(std::string(kPrinterHeader) + "[Strings]\nMaker=x\n");
  Strings dirs{"stale"};
  ASSERT_TRUE(m_inf->kEnumDestinationDirs(dirs));
  EXPECT_TRUE(dirs.empty());
  ASSERT_TRUE(m_inf->kAddDestinationDirsList("", 3));
  const auto& map = m_inf->kGetDestinationDirs();
  EXPECT_EQ(2u, map.size());
  EXPECT_EQ(systemDirectory(), map.at("11"));
  EXPECT_EQ(1u, map.count("66000"));
}

TEST_F(InfFileTest, TargetDirOfIdsTheSetupApiCannotResolve) {
  open(std::string(kPrinterHeader) +
       "[Manufacturer]\nM=Models,NTamd64\n"
       "[DestinationDirs]\nTwoDigits=99\nPrinterAsp=66004\n[Strings]\nMaker=x\n");
  std::string dir = "stale";
  // A short id nobody knows is an error of the INF.
  EXPECT_FALSE(m_inf->kGetTargetDir("TwoDigits", dir));
  // A long one is taken as the printer driver folder of the INF's platform.
  ASSERT_TRUE(m_inf->kGetTargetDir("PrinterAsp", dir));
  EXPECT_EQ(upper(withoutTrailingBackslash(driverDirectory("Windows x64"))), dir);
}

// ---- Real packages ---------------------------------------------------------------

TEST_F(InfFileTest, PublishedSamplesReadTheSameInBothEncodings) {
  Strings sectionsOf[2], descriptionsOf[2], filesOf[2];
  std::string installOf[2];
  const char* const names[] = {"inf\\xdsmpl.inf", "inf\\xdsmpl-utf16.inf"};
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(m_inf->kOpen(kvtest::dataPath(names[i]))) << names[i];
    ASSERT_TRUE(m_inf->kGetManufacturerNameSection(sectionsOf[i]));
    ASSERT_TRUE(m_inf->kEnumDeviceDescriptions(sectionsOf[i], descriptionsOf[i]));
    ASSERT_FALSE(descriptionsOf[i].empty());
    ASSERT_TRUE(m_inf->kGetInstallSectionName(descriptionsOf[i].front(), installOf[i]));
    Strings flags;
    ASSERT_TRUE(m_inf->kEnumCopyFilesDirNo(installOf[i], filesOf[i], flags));
  }
  EXPECT_EQ(sectionsOf[0], sectionsOf[1]);
  EXPECT_EQ(descriptionsOf[0], descriptionsOf[1]);
  EXPECT_EQ(installOf[0], installOf[1]);
  EXPECT_EQ(filesOf[0], filesOf[1]);
  EXPECT_FALSE(filesOf[0].empty());
}

TEST_F(InfFileTest, PublishedSamplePlatforms) {
  struct SampleCase {
    const char* file;
    BOOL ok;
    const char* platform;
  };
  const SampleCase cases[] = {
      {"inf\\winxp.inf", TRUE, "NTamd64"},
      {"inf\\xpsrassmpl.inf", FALSE, ""},  // NTx86.6.1 is not a platform name
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(m_inf->kOpen(kvtest::dataPath(c.file))) << c.file;
    std::string platform;
    EXPECT_EQ(c.ok, m_inf->kGetPlatform(platform)) << c.file;
    EXPECT_EQ(c.platform, platform) << c.file;
  }
  ASSERT_TRUE(m_inf->kOpen(kvtest::dataPath("inf\\psa-extension.inf")));
  std::string cls;
  EXPECT_TRUE(m_inf->kGetClassName(cls));
  EXPECT_EQ("Extension", cls);
}

TEST_F(InfFileTest, ModelNameComesFromTheDescriptionFile) {
  const std::string dsc = kvtest::writeFile(m_dir, "DRVINST.DSC",
                                            "[DrvInst]\r\nModelName=Generic\r\nModelName.KV Model 1=Special\r\n");
  std::string name = "before";
  EXPECT_TRUE(m_inf->kGetModelName(name, "KV Model 1", dsc));
  EXPECT_EQ("Special", name);
  EXPECT_TRUE(m_inf->kGetModelName(name, "KV Model 2", dsc));
  EXPECT_EQ("Generic", name);
  name = "before";
  EXPECT_TRUE(m_inf->kGetModelName(name, "KV Model 2", ""));  // no description file
  EXPECT_EQ("before", name);
}
