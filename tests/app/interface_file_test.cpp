// The interface file for the external installer: each variant against an
// expected file, the order of the records, free section names, hostile
// values, and the failures that leave no file behind.
#include <fstream>
#include <sstream>

#include "app/app_fixture.h"
#include "kv_source_dir.h"
#include "resources/message_ids.h"

namespace {

using apptest::readText;

// The file's lines without line ends and blank lines, one per entry.
std::string entries(const std::string& strText) {
  std::string strOut;
  std::istringstream in(strText);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) strOut += line + "\n";
  }
  return strOut;
}

std::string expected(const std::string& strName) {
  std::ifstream in(std::string(KV_SOURCE_DIR) + "/tests/data/interface_file/" + strName, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return entries(ss.str());
}

CCandidateDriver candidate(const std::string& strName, const std::string& strInf, DWORD dwVersion = 3,
                           const std::string& strPlatform = "NTamd64", const std::string& strModel = "") {
  CCandidateDriver c;
  c.strDriverName = strName;
  c.strInfPath = strInf;
  c.strDriverPath = strInf.substr(0, strInf.find_last_of('\\'));
  c.dwInfOSVersion = dwVersion;
  c.strPlatform = strPlatform;
  c.strModelName = strModel;
  return c;
}

class InterfaceFile : public apptest::AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    ASSERT_TRUE(CEnvironment::kGetOsVersionCheck());
    char szTemp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, szTemp);
    m_strTemp = szTemp;
    CreateDirectoryA(m_strTemp.c_str(), nullptr);
    m_app.m_strLogFile = m_strTemp + "INNELI.LOG";
    m_strFile = m_strTemp + "NELSETUP.INI";
    DeleteFileA(m_strFile.c_str());
  }
  void TearDown() override {
    candidates().clear();
    DeleteFileA(m_strFile.c_str());
    AppFixture::TearDown();
  }
  CCandidateDriverList& candidates() { return m_app.m_pDriverInfomation->VEXOGetCandidateDriverList(); }
  // The file with the temporary folder written as "%TEMP%\".
  std::string written() {
    std::string strText = entries(readText(m_strFile));
    for (size_t at; (at = strText.find(m_strTemp)) != std::string::npos;) strText.replace(at, m_strTemp.size(), "%TEMP%\\");
    return strText;
  }
  std::string m_strTemp;
  std::string m_strFile;
};

TEST_F(InterfaceFile, InteractiveAddGroupsDriversOfOneInfAndOrdersRecords) {
  candidates().push_back(candidate("KV Mono 10", "C:\\PKG\\B\\MONO.INF"));
  candidates().push_back(candidate("KV LaserPro 5000", "C:\\PKG\\A\\LASER.INF"));
  candidates().push_back(candidate("KV LaserPro 5100", "C:\\PKG\\A\\LASER.INF"));
  candidates().push_back(candidate("kv laserpro 5000", "C:\\PKG\\C\\OLD.INF", 2, "NTx86"));
  ASSERT_TRUE(m_app.kMakeInterfaceFile()) << takeLog();
  EXPECT_EQ(written(), expected("ui_add.ini"));
  EXPECT_EQ(m_app.m_strInterfaceFile, m_strFile);
}

TEST_F(InterfaceFile, InteractiveNetworkAddWritesAPrinterObjectPerDriverAndTheTcpPort) {
  m_app.m_bNetworkSearch = 1;
  m_app.m_lstIFINetworkPrinter.push_back({"Floor 3", "192.0.2.10", "KV-5000"});
  candidates().push_back(candidate("KV LaserPro 5000", "C:\\PKG\\A\\LASER.INF"));
  candidates().push_back(candidate("KV LaserPro 5100", "C:\\PKG\\A\\LASER.INF"));
  ASSERT_TRUE(m_app.kMakeInterfaceFile()) << takeLog();
  EXPECT_EQ(written(), expected("ui_network.ini"));
}

TEST_F(InterfaceFile, ModelFilterKeepsOnlyCandidatesOfTheFoundModels) {
  m_app.m_bNetworkSearch = 1;
  m_app.m_bModelFilter = 1;
  m_app.m_lstIFINetworkPrinter.push_back({"Floor 3", "192.0.2.10", "KV-5100"});
  candidates().push_back(candidate("KV LaserPro 5000", "C:\\PKG\\A\\LASER.INF", 3, "NTamd64", "KV-5000"));
  candidates().push_back(candidate("KV LaserPro 5100", "C:\\PKG\\B\\LASER.INF", 3, "NTamd64", "kv-5100"));
  ASSERT_TRUE(m_app.kMakeInterfaceFile());
  const std::string strText = written();
  EXPECT_EQ(strText.find("5000"), std::string::npos) << strText;
  EXPECT_NE(strText.find("[PrinterObject.KV LaserPro 5100.Win2k]"), std::string::npos) << strText;
}

TEST_F(InterfaceFile, InteractiveUpdateNamesTheComponentAndTakesNameTwoWhenTaken) {
  m_app.m_nSetupKind = SETUPKIND_UPDATE;
  // The same driver in two INF files gives the same install section name.
  EXPECT_TRUE(m_app.kAddUpdateRecord(candidate("KV LaserPro 5000", "C:\\PKG\\A\\LASER.INF")));
  EXPECT_FALSE(m_app.kAddUpdateRecord(candidate("KV LaserPro 5000", "C:\\PKG\\A\\LASER.INF")));
  EXPECT_TRUE(m_app.kAddUpdateRecord(candidate("KV LaserPro 5000", "C:\\PKG\\B\\LASER.INF")));
  ASSERT_TRUE(m_app.kMakeInterfaceFile());
  EXPECT_EQ(written(), expected("ui_update.ini"));
}

TEST_F(InterfaceFile, BatchAddWritesEverySwitchOfThePrinterObject) {
  m_app.m_bBSwitch = 1;
  m_app.m_bASwitch = 1;
  m_app.m_strAddDriverName = "KV LaserPro 5000";
  m_app.m_bNSwitch = 1;
  m_app.m_strPrinterName = "Front desk";
  m_app.m_bFSwitch = 1;
  m_app.m_bUSwitch = 1;
  m_app.m_strUserCode = "4711";
  m_app.m_b3Switch = 1;
  m_app.m_strInitializeFile = "C:\\init.dat";
  m_app.m_b4Switch = 1;
  m_app.m_strShareName = "FRONT";
  m_app.m_bPSwitch = 1;
  m_app.m_strPortName = "IP_192.0.2.7";
  m_app.m_strMonitorName = "Standard TCP/IP Port";
  m_app.m_strPortAddress = "192.0.2.7";
  m_app.m_strPrintProtocol = "9100";
  candidates().push_back(candidate("KV LaserPro 5000", "C:\\PKG\\A\\LASER.INF"));
  candidates().push_back(candidate("KV LaserPro 5100", "C:\\PKG\\A\\LASER.INF"));
  // A version the system cannot take is left out.
  candidates().push_back(candidate("KV LaserPro 5000", "C:\\PKG\\D\\V4.INF", 4));
  ASSERT_TRUE(m_app.kMakeInterfaceFile()) << takeLog();
  EXPECT_EQ(written(), expected("bat_add.ini"));
}

TEST_F(InterfaceFile, BatchUpdateWritesTheRenewedNameAndNoPrinterObject) {
  m_app.m_bBSwitch = 1;
  m_app.m_bRSwitch = 1;
  m_app.m_nSetupKind = SETUPKIND_UPDATE;
  m_app.m_strRenewDriverName = "kv laserpro 5000";
  candidates().push_back(candidate("KV LaserPro 5000", "C:\\PKG\\A\\LASER.INF"));
  candidates().push_back(candidate("KV LaserPro 5000", "C:\\PKG\\C\\OLD.INF", 2, "NTx86"));
  candidates().push_back(candidate("KV Mono 10", "C:\\PKG\\B\\MONO.INF"));
  ASSERT_TRUE(m_app.kMakeInterfaceFile());
  EXPECT_EQ(written(), expected("bat_update.ini"));
}

TEST_F(InterfaceFile, BatchDeleteWritesOnlyTheUninstallSection) {
  m_app.m_bBSwitch = 1;
  m_app.m_bDSwitch = 1;
  m_app.m_nSetupKind = SETUPKIND_DELETE;
  m_app.m_strDeleteComponentName = "KV LaserPro 5000";
  candidates().push_back(candidate("KV LaserPro 5000", "C:\\PKG\\A\\LASER.INF"));
  ASSERT_TRUE(m_app.kMakeInterfaceFile());
  EXPECT_EQ(written(), expected("bat_delete.ini"));
}

TEST_F(InterfaceFile, BatchDivertWritesOnePrinterObjectForTheDivertDriver) {
  m_app.m_bBSwitch = 1;
  m_app.m_bNSwitch = 1;
  m_app.m_bDivertPrinter = 1;
  m_app.m_strPrinterName = "Front desk";
  m_app.m_strDivertPrinterName = "KV Mono 10";
  candidates().push_back(candidate("KV LaserPro 5000", "C:\\PKG\\A\\LASER.INF"));
  ASSERT_TRUE(m_app.kMakeInterfaceFile());
  EXPECT_EQ(written(), expected("bat_divert.ini"));
}

TEST_F(InterfaceFile, AddForceUsesTheUsbDriverOnTheDefaultPort) {
  m_app.m_CDE = candidate("KV LaserPro 5000", "C:\\PKG\\A\\LASER.INF");
  ASSERT_TRUE(m_app.m_pSpoolerInfomation->kMakePortList());
  ASSERT_TRUE(m_app.kMakeInterfaceFileAddForce()) << takeLog();
  EXPECT_EQ(written(), expected("addforce.ini"));
}

TEST_F(InterfaceFile, HostileNamesAndValuesAddNoSectionOrKey) {
  m_app.m_bBSwitch = 1;
  m_app.m_bASwitch = 1;
  m_app.m_strAddDriverName = "Evil]\r\n[Uninstall.X";
  m_app.m_bNSwitch = 1;
  m_app.m_strPrinterName = "P\r\nSetDefault=ON";
  m_app.m_bUSwitch = 1;
  m_app.m_strUserCode = "\"quoted\"";
  candidates().push_back(candidate(m_app.m_strAddDriverName, "C:\\PKG\\A\\EVIL.INF"));
  ASSERT_TRUE(m_app.kMakeInterfaceFile());
  char szNames[4096] = {};
  GetPrivateProfileSectionNamesA(szNames, sizeof(szNames), m_strFile.c_str());
  std::vector<std::string> lstNames;
  for (const char* p = szNames; *p; p += strlen(p) + 1) lstNames.emplace_back(p);
  ASSERT_EQ(lstNames.size(), 3u) << written();
  EXPECT_EQ(lstNames[0], "Generic");
  EXPECT_EQ(lstNames[1], "INSTALL.Evil____Uninstall.X.Win2k") << written();
  for (const std::string& strName : lstNames) {
    EXPECT_EQ(strName.find_first_of("[]\r\n"), std::string::npos) << strName;
  }
  char szValue[256] = {};
  GetPrivateProfileStringA(lstNames[2].c_str(), "PrinterName", "", szValue, sizeof(szValue), m_strFile.c_str());
  EXPECT_STREQ(szValue, "P  SetDefault=ON");
  GetPrivateProfileStringA(lstNames[2].c_str(), "SetDefault", "none", szValue, sizeof(szValue), m_strFile.c_str());
  EXPECT_STREQ(szValue, "none");
  GetPrivateProfileStringA(lstNames[2].c_str(), "UserCode", "", szValue, sizeof(szValue), m_strFile.c_str());
  EXPECT_STREQ(szValue, "\"quoted\"");
  EXPECT_NE(takeLog().find("CInterfaceFileWriter::kCleanValue() [P\nSetDefault=ON] written as [P  SetDefault=ON]"),
            std::string::npos);
}

TEST_F(InterfaceFile, UnknownDriverVersionIsRefusedWithoutAFile) {
  candidates().push_back(candidate("KV LaserPro 5000", "C:\\PKG\\A\\LASER.INF", 4));
  EXPECT_FALSE(m_app.kMakeInterfaceFile());
  EXPECT_EQ(GetFileAttributesA(m_strFile.c_str()), INVALID_FILE_ATTRIBUTES);
  const std::string strLog = takeLog();
  EXPECT_NE(strLog.find("CKV_SETUPApp::kStoreToIFI() return FALSE (2)"), std::string::npos) << strLog;
  EXPECT_NE(strLog.find("CKV_SETUPApp::kMakeInterfaceFile() return [0]"), std::string::npos) << strLog;
}

TEST_F(InterfaceFile, AFolderInThePlaceOfTheFileIsRefused) {
  ASSERT_TRUE(CreateDirectoryA(m_strFile.c_str(), nullptr));
  candidates().push_back(candidate("KV LaserPro 5000", "C:\\PKG\\A\\LASER.INF"));
  EXPECT_FALSE(m_app.kMakeInterfaceFile());
  RemoveDirectoryA(m_strFile.c_str());
  const std::string strLog = takeLog();
  EXPECT_NE(strLog.find("kDeleteInterfaceFileAndLogFile() return FALSE (2)"), std::string::npos) << strLog;
  EXPECT_NE(strLog.find("kDispErrorMessage() IDS_ERR_MAKEIFFILE"), std::string::npos) << strLog;
}

TEST_F(InterfaceFile, AFileHeldOpenByAnotherProgramIsRefusedAndKept) {
  ASSERT_TRUE(WritePrivateProfileStringA("Old", "Key", "1", m_strFile.c_str()));
  HANDLE hHeld = CreateFileA(m_strFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
  candidates().push_back(candidate("KV LaserPro 5000", "C:\\PKG\\A\\LASER.INF"));
  EXPECT_FALSE(m_app.kMakeInterfaceFile());
  CloseHandle(hHeld);
  const std::string strLog = takeLog();
  EXPECT_NE(strLog.find("kDeleteInterfaceFileAndLogFile() return FALSE (4)"), std::string::npos) << strLog;
  EXPECT_EQ(written(), "[Old]\nKey=1\n");
}

TEST(InterfaceFileWriter, CleanValueReadsBackAsMeant) {
  struct Row {
    const char* pszIn;
    const char* pszMeant;
    const char* pszWritten;
  };
  const Row rows[] = {
      {"plain", "plain", "plain"},
      {"  padded\t", "padded", "padded"},
      {"two\r\nlines", "two  lines", "two  lines"},
      {"\"q\"", "\"q\"", "\"\"q\"\""},
      {"'s'", "'s'", "\"'s'\""},
      {"\"", "\"", "\""},
      {"a=b;c", "a=b;c", "a=b;c"},
  };
  for (const Row& row : rows) {
    std::string strMeant;
    EXPECT_EQ(CInterfaceFileWriter::kCleanValue(row.pszIn, &strMeant), row.pszWritten) << row.pszIn;
    EXPECT_EQ(strMeant, row.pszMeant) << row.pszIn;
  }
  EXPECT_EQ(CInterfaceFileWriter::kCleanSectionName("PORT.a]b[c\n"), "PORT.a_b_c_");
}

}  // namespace
