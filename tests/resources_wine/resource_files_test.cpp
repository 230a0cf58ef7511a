// Resource.ini (where the catalogues and licence texts are) and the licence
// text of the current language.
#include <gtest/gtest.h>

#include <string>

#include "resources/rsc_common.h"
#include "resources_wine/rsc_test_package.h"

using rsctest::ScratchPackage;

namespace {

// A package with one language; each test writes Resource.ini and places the
// catalogue where that file says.
class ResourceFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pkg.writeAnsi("pkg\\ResourceDef.ini", "[Precondition]\nDefaultLangID=0x0409\n" +
                                                rsctest::langSection("English", "ENU", "EN", "0x0409", "0x09", "Y",
                                                                     "MSG.INI"));
  }

  // Writes the catalogue into a folder below root().
  void placeCatalogue(const std::string& strFolder) {
    m_pkg.makeDir(strFolder);
    ASSERT_TRUE(m_pkg.writeUtf16(strFolder + "\\KV_MSG.INI", u"[English]\nIDS_A=one\n"));
  }

  BOOL load() {
    m_rsc.kSetModulePath(m_pkg.folder());
    return m_rsc.kCollectiveFileAnalyze() && m_rsc.kTempDecideLanguage("en");
  }

  ScratchPackage m_pkg;
  CRscCommon m_rsc{"KV_"};
};

TEST_F(ResourceFiles, FoldersComeFromResourceIni) {
  struct Row {
    const char* pszName;
    std::string strIni;       // Resource.ini, empty: no file
    std::string strFolder;    // where the catalogue is, below root()
  } rows[] = {
      {"no Resource.ini", "", "pkg\\DrvInst"},
      {"no keys", "[Resource]\n", "pkg\\DrvInst"},
      {"relative", "[Resource]\nResourcePath=Texts\\Msg\nLicensePath=Texts\n", "pkg\\Texts\\Msg"},
      {"relative to the parent", "[Resource]\nResourcePath=..\\Shared\\Msg\\\nLicensePath=..\\Shared\n",
       "Shared\\Msg"},
      {"absolute", "[Resource]\nResourcePath=" + m_pkg.root() + "Abs\nLicensePath=" + m_pkg.root() + "Abs\n",
       "Abs"},
  };
  for (const Row& row : rows) {
    if (!row.strIni.empty()) {
      ASSERT_TRUE(m_pkg.writeAnsi("pkg\\Resource.ini", row.strIni));
    }
    placeCatalogue(row.strFolder);
    EXPECT_TRUE(load()) << row.pszName << ": " << m_rsc.kGetErrorMessage();
    EXPECT_EQ(m_rsc.kGetIRCFilePath(), m_pkg.root() + row.strFolder + "\\KV_MSG.INI") << row.pszName;
    EXPECT_EQ(m_rsc.kGetMessageText("IDS_A"), "one") << row.pszName;
  }
}

TEST_F(ResourceFiles, EmptyValueIsAnError) {
  placeCatalogue("pkg\\DrvInst");
  struct Row {
    const char* pszIni;
    const char* pszKey;
  } rows[] = {{"[Resource]\nResourcePath=\n", "ResourcePath"},
              {"[Resource]\nResourcePath=DrvInst\nLicensePath=\n", "LicensePath"}};
  for (const Row& row : rows) {
    ASSERT_TRUE(m_pkg.writeAnsi("pkg\\Resource.ini", row.pszIni));
    EXPECT_FALSE(load()) << row.pszKey;
    char szShort[MAX_PATH] = {};
    GetShortPathNameA((m_pkg.folder() + "Resource.ini").c_str(), szShort, MAX_PATH);
    EXPECT_EQ(m_rsc.kGetErrorMessage(), std::string("Error of the key access.\nFile=") + szShort +
                                            ", Section=Resource, Key=" + row.pszKey + ", Code=1");
  }
}

TEST_F(ResourceFiles, MissingFolderIsAnError) {
  ASSERT_TRUE(m_pkg.writeAnsi("pkg\\Resource.ini", "[Resource]\nResourcePath=Nowhere\n"));
  EXPECT_FALSE(load());
  const std::string strError = m_rsc.kGetErrorMessage();
  EXPECT_EQ(strError.rfind("Windows API error.\nAPI=FindFirstFile, LastCode=", 0), 0u) << strError;
  const std::string strTail = "\nInfomation= File[" + m_pkg.folder() + "Nowhere]\n CRscFile::kCheckFilePath\n";
  ASSERT_GE(strError.size(), strTail.size());
  EXPECT_EQ(strError.substr(strError.size() - strTail.size()), strTail);
}

TEST_F(ResourceFiles, LicenceTextResults) {
  ASSERT_TRUE(m_pkg.writeAnsi("pkg\\Resource.ini", "[Resource]\nResourcePath=Msg\nLicensePath=Lic\n"));
  placeCatalogue("pkg\\Msg");
  m_pkg.makeDir("pkg\\Lic");
  ASSERT_TRUE(load()) << m_rsc.kGetErrorMessage();

  std::string strText = "untouched";
  EXPECT_EQ(m_rsc.kGetLicenseFile(strText, "DI_"), DEF_GETFILE_FILE_NOT_FOUND);
  EXPECT_EQ(strText, "untouched");

  // Every line comes back ended by CR LF, whatever ended it in the file.
  ASSERT_TRUE(m_pkg.writeBytes("pkg\\Lic\\DI_ENU.txt", "Terms\r\n\r\n1. Use\nlast line"));
  EXPECT_EQ(m_rsc.kGetLicenseFile(strText, ""), DEF_GETFILE_SUCCESS);
  EXPECT_EQ(strText, "Terms\r\n\r\n1. Use\r\nlast line\r\n");

  ASSERT_TRUE(m_pkg.writeBytes("pkg\\Lic\\OEM_ENU.txt", "Other terms\r\n"));
  EXPECT_EQ(m_rsc.kGetLicenseFile(strText, "OEM_"), DEF_GETFILE_SUCCESS);
  EXPECT_EQ(strText, "Other terms\r\n");

  // A licence saved as Unicode reads in the system's code page.
  const std::u16string german = u"Lizenzvertrag f\u00fcr \u201eSoftware\u201c";
  ASSERT_TRUE(m_pkg.writeUtf16("pkg\\Lic\\U16_ENU.txt", german));
  EXPECT_EQ(m_rsc.kGetLicenseFile(strText, "U16_"), DEF_GETFILE_SUCCESS);
  EXPECT_EQ(strText, rsctest::toAnsi(german) + "\r\n");
  ASSERT_TRUE(m_pkg.writeBytes("pkg\\Lic\\U8_ENU.txt", "\xEF\xBB\xBFLizenz f\xC3\xBCr alle\r\n"));
  EXPECT_EQ(m_rsc.kGetLicenseFile(strText, "U8_"), DEF_GETFILE_SUCCESS);
  EXPECT_EQ(strText, rsctest::toAnsi(u"Lizenz f\u00fcr alle") + "\r\n");

  // A name that exists but cannot be read as a file.
  m_pkg.makeDir("pkg\\Lic\\BAD_ENU.txt");
  strText = "untouched";
  EXPECT_EQ(m_rsc.kGetLicenseFile(strText, "BAD_"), DEF_GETFILE_FAILED);
  EXPECT_EQ(strText, "untouched");
  const std::string strHead = "Error of the file access.\nFile=" + m_pkg.folder() + "Lic\\BAD_ENU.txt, Access:Open, LastCode=";
  EXPECT_EQ(m_rsc.kGetErrorMessage().rfind(strHead, 0), 0u) << m_rsc.kGetErrorMessage();
}

}  // namespace
