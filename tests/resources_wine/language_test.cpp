// The language table and the decision of the current language.
#include <gtest/gtest.h>

#include "resources/rsc_common.h"
#include "resources_wine/rsc_test_package.h"

using rsctest::langSection;
using rsctest::ScratchPackage;

namespace {

const char kLanguageErrorHead[] = "There is not the country language that I appointed in many national language "
                                  "definition file";

// A package with languages that exercise every way of finding one: ids in
// hexadecimal and decimal, a primary language that is and one that is not
// offered for its regional variants, a name that starts with a digit, a
// missing catalogue and a catalogue without the language's section, each
// with a substitute, and a missing catalogue without one.
class LanguagePackage : public ::testing::Test {
 protected:
  void SetUp() override {
    writeDefinitions("[Precondition]\nDefaultLangID=0x0409\n");
    m_pkg.writeAnsi("pkg\\Resource.ini", "[Resource]\nResourcePath=Msg\nLicensePath=Msg\n");
    m_pkg.makeDir("pkg\\Msg");
    writeCatalogue("MSG_ENU.INI", u"English", u"Hello");
    writeCatalogue("MSG_JPN.INI", u"Japanese", u"\u3053\u3093\u306b\u3061\u306f");
    writeCatalogue("MSG_DEU.INI", u"German", u"Hallo");
    writeCatalogue("MSG_CUS.INI", u"Custom", u"Custom hello");
    writeCatalogue("MSG_NLD.INI", u"Flemish", u"Dag");
  }

  void writeDefinitions(const std::string& strPrecondition) {
    m_pkg.writeAnsi("pkg\\ResourceDef.ini",
                    strPrecondition + "[FileInformation]\nFileVersion=1\n" +
                        langSection("English", "ENU", "EN", "0x0409", "0x09", "Y", "MSG_ENU.INI",
                                    "LMLauncher=EnglishLM\n") +
                        langSection("Japanese", "JPN", "JA", "0x0411", "0x11", "N", "MSG_JPN.INI") +
                        langSection("German", "DEU", "DE", "1031", "7", "y", "MSG_DEU.INI") +
                        langSection("French", "FRA", "FR", "0x040C", "0x0C", "Y", "MSG_FRA.INI",
                                    "SubstituteLangID=0x0407\n") +
                        langSection("Dutch", "NLD", "NL", "0x0413", "0x13", "Y", "MSG_NLD.INI",
                                    "SubstituteLangID=ja\n") +
                        langSection("Italian", "ITA", "IT", "0x0410", "0x10", "Y", "MSG_ITA.INI") +
                        langSection("Custom", "9X", "XX", "0x0476", "0x76", "N", "MSG_CUS.INI"));
  }

  void writeCatalogue(const std::string& strFile, const std::u16string& section, const std::u16string& hello) {
    ASSERT_TRUE(m_pkg.writeUtf16("pkg\\Msg\\KV_" + strFile, u"[" + section + u"]\nIDS_HELLO=" + hello + u"\n"));
  }

  void analyze(CRscCommon& rsc) {
    rsc.kSetModulePath(m_pkg.folder());
    ASSERT_TRUE(rsc.kCollectiveFileAnalyze()) << rsc.kGetErrorMessage();
  }

  ScratchPackage m_pkg;
};

TEST_F(LanguagePackage, SearchFindsEveryNameAndIdForm) {
  struct Row {
    const char* pszRequest;
    const char* pszSection;  // nullptr: not found
  } rows[] = {
      {"0x0409", "English"},  {"0X0409", "English"}, {"1033", "English"},    {"0x0809", "English"},
      {"2057", "English"},    {"en", "English"},     {"enu", "English"},     {"englishlm", "English"},
      {"ENGLISH", "English"}, {"0x0411", "Japanese"}, {"ja", "Japanese"},    {"0x0811", nullptr},
      {"17", nullptr},        {"0x0407", "German"},  {"1031", "German"},     {"0x0c07", "German"},
      {"7", "German"},        {"9x", "Custom"},      {"0x", nullptr},        {"0x12G", nullptr},
      {"0x0418", nullptr},    {"Klingon", nullptr},  {"0x100000409", nullptr},
  };
  for (const Row& row : rows) {
    CRscCommon rsc("KV_");
    analyze(rsc);
    const BOOL bFound = rsc.kTempDecideLanguage(row.pszRequest);
    if (row.pszSection) {
      EXPECT_TRUE(bFound) << row.pszRequest << ": " << rsc.kGetErrorMessage();
      EXPECT_EQ(rsc.kGetLanguage().strSectionName, row.pszSection) << row.pszRequest;
    } else {
      EXPECT_FALSE(bFound) << row.pszRequest << " found " << rsc.kGetLanguage().strSectionName;
      EXPECT_EQ(rsc.kGetErrorMessage().rfind(kLanguageErrorHead, 0), 0u) << rsc.kGetErrorMessage();
      const std::string strTail = std::string(".\nLanguage=") + row.pszRequest + ", Code=1";
      EXPECT_EQ(rsc.kGetErrorMessage().substr(rsc.kGetErrorMessage().size() - strTail.size()), strTail);
    }
  }
}

TEST_F(LanguagePackage, LanguageRecordHoldsDecimalTextsAndDefaults) {
  CRscCommon rsc("KV_");
  analyze(rsc);
  ASSERT_TRUE(rsc.kTempDecideLanguage("de"));
  const CLangInfo lang = rsc.kGetLanguage();
  EXPECT_EQ(lang.strLangID, "1031");
  EXPECT_EQ(lang.dwLangID, 1031u);
  EXPECT_EQ(lang.strPrimaryLangID, "7");
  EXPECT_EQ(lang.strSubLangID, "1");
  EXPECT_EQ(lang.strPrimaryUSE, "Y");          // written "y"
  EXPECT_EQ(lang.strLMLauncher, "German");     // no LMLauncher key: the section name
  EXPECT_EQ(lang.strSubstituteLangID, "");
  ASSERT_TRUE(rsc.kTempDecideLanguage("0x0411"));
  EXPECT_EQ(rsc.kGetLanguage().strPrimaryUSE, "N");
  EXPECT_EQ(rsc.kGetLanguage().strTwoLetter, "JA");
}

TEST_F(LanguagePackage, DecisionFallsBackToSubstituteThenDefault) {
  struct Row {
    const char* pszRequest;
    const char* pszSection;
    const char* pszHello;
  } rows[] = {
      {"0x0407", "German", "Hallo"},
      {"0x0807", "German", "Hallo"},     // regional variant through its primary language
      {"fr", "German", "Hallo"},         // catalogue missing: the substitute
      {"nl", "Japanese", nullptr},       // section missing from its catalogue: the substitute
      {"it", "English", "Hello"},        // catalogue missing, no substitute: the default
      {"0x0418", "English", "Hello"},    // not defined at all: the default
  };
  for (const Row& row : rows) {
    CRscCommon rsc("KV_");
    analyze(rsc);
    ASSERT_TRUE(rsc.kDecideLanguage(row.pszRequest)) << row.pszRequest << ": " << rsc.kGetErrorMessage();
    EXPECT_EQ(rsc.kGetLanguage().strSectionName, row.pszSection) << row.pszRequest;
    if (row.pszHello) {
      EXPECT_EQ(rsc.kGetMessageText("IDS_HELLO"), row.pszHello) << row.pszRequest;
    }
  }
}

TEST_F(LanguagePackage, EmptyRequestMeansTheSystemLanguage) {
  CRscCommon bySystem("KV_");
  analyze(bySystem);
  ASSERT_TRUE(bySystem.kDecideLanguage(""));
  CRscCommon byId("KV_");
  analyze(byId);
  ASSERT_TRUE(byId.kDecideLanguage(std::to_string(GetSystemDefaultLangID())));
  EXPECT_EQ(bySystem.kGetLanguage().strSectionName, byId.kGetLanguage().strSectionName);
}

TEST_F(LanguagePackage, TemporaryDecisionNeedsALanguage) {
  CRscCommon rsc("KV_");
  analyze(rsc);
  EXPECT_FALSE(rsc.kTempDecideLanguage(""));
  EXPECT_EQ(rsc.kGetErrorMessage(), "Argument error.\nFunction=CRscLanguage::kTempDecideLanguage, code=1");
  // Without fall-backs: a language whose catalogue is missing fails.
  EXPECT_FALSE(rsc.kTempDecideLanguage("fr"));
  EXPECT_EQ(rsc.kGetLanguage().strSectionName, "French");
}

TEST_F(LanguagePackage, NoDefaultLanguageLeavesNothingToFallBackTo) {
  writeDefinitions("[Precondition]\n");
  CRscCommon rsc("KV_");
  analyze(rsc);
  EXPECT_FALSE(rsc.kDecideLanguage("0x0418"));
  const std::string strTail = ".\nLanguage=0x0418, Code=1";
  ASSERT_GE(rsc.kGetErrorMessage().size(), strTail.size());
  EXPECT_EQ(rsc.kGetErrorMessage().substr(rsc.kGetErrorMessage().size() - strTail.size()), strTail);
  EXPECT_FALSE(rsc.kDecideLanguage("it"));  // catalogue missing, no substitute, no default
  EXPECT_TRUE(rsc.kDecideLanguage("fr"));
}

TEST_F(LanguagePackage, DefaultLanguageWithoutCatalogueFails) {
  writeDefinitions("[Precondition]\nDefaultLangID=it\n");
  CRscCommon rsc("KV_");
  analyze(rsc);
  EXPECT_FALSE(rsc.kDecideLanguage("0x0418"));
  EXPECT_EQ(rsc.kGetLanguage().strSectionName, "Italian");
}

TEST(LanguageDefinitions, OnlyFixedSectionsReadButFindNothing) {
  ScratchPackage pkg;
  pkg.writeAnsi("pkg\\ResourceDef.ini", "[Precondition]\nDefaultLangID=0x0409\n[FileInformation]\nFileVersion=1\n");
  pkg.makeDir("pkg\\DrvInst");
  CRscCommon rsc("KV_");
  rsc.kSetModulePath(pkg.folder());
  ASSERT_TRUE(rsc.kCollectiveFileAnalyze()) << rsc.kGetErrorMessage();
  EXPECT_FALSE(rsc.kDecideLanguage("0x0409"));
  EXPECT_FALSE(rsc.kTempDecideLanguage("en"));
}

TEST(LanguageDefinitions, BrokenDefinitionsFailWithTheKeyNamed) {
  const std::string strGood = "LMLauncher=L\nOmittedName=ENU\nTwoLetter=EN\nLangID=0x0409\nPrimaryLangID=9\n"
                              "SubLangID=1\nIRCFileName=MSG_ENU.INI\nIRCSectionName=English\n";
  struct Row {
    const char* pszName;
    std::string strFrom;
    std::string strTo;
    const char* pszExpected;  // tail of the error text
  } rows[] = {
      {"OmittedName missing", "OmittedName=ENU\n", "", "Key=OmittedName\nContents=Key not found"},
      {"TwoLetter empty", "TwoLetter=EN\n", "TwoLetter=\n", "Key=TwoLetter\nContents=A value is not defined"},
      {"LangID missing", "LangID=0x0409\n", "", "Key=LangID\nContents=Key not found"},
      {"SubLangID empty", "SubLangID=1\n", "SubLangID=\n", "Key=SubLangID\nContents=A value is not defined"},
      {"LMLauncher empty", "LMLauncher=L\n", "LMLauncher=\n", "Key=LMLauncher\nContents=A value is not defined"},
      {"IRCFileName empty", "IRCFileName=MSG_ENU.INI\n", "IRCFileName=\n",
       "Key=IRCFileName\nContents=A value is not defined"},
      {"SubstituteLangID empty", "IRCSectionName=English\n", "IRCSectionName=English\nSubstituteLangID=\n",
       "Key=SubstituteLangID\nContents=A value is not defined"},
  };
  for (const Row& row : rows) {
    std::string strBody = strGood;
    strBody.replace(strBody.find(row.strFrom), row.strFrom.size(), row.strTo);
    ScratchPackage pkg;
    pkg.makeDir("pkg\\DrvInst");
    pkg.writeAnsi("pkg\\ResourceDef.ini", "[Precondition]\nDefaultLangID=0x0409\n[English]\n" + strBody);
    CRscCommon rsc("KV_");
    rsc.kSetModulePath(pkg.folder());
    EXPECT_FALSE(rsc.kCollectiveFileAnalyze()) << row.pszName;
    const std::string strError = rsc.kGetErrorMessage();
    EXPECT_EQ(strError.rfind("There is an error for the appointment of the key.\nFile=", 0), 0u) << strError;
    EXPECT_NE(strError.find(std::string("Section=English, ") + row.pszExpected), std::string::npos)
        << row.pszName << ": " << strError;
  }
}

TEST(LanguageDefinitions, MissingFileOrEmptyDefaultFails) {
  ScratchPackage pkg;
  pkg.makeDir("pkg\\DrvInst");
  CRscCommon rsc("KV_");
  rsc.kSetModulePath(pkg.folder());
  EXPECT_FALSE(rsc.kCollectiveFileAnalyze());
  EXPECT_NE(rsc.kGetErrorMessage().find("Language=Section not found, Code=1"), std::string::npos)
      << rsc.kGetErrorMessage();

  pkg.writeAnsi("pkg\\ResourceDef.ini", "[Precondition]\nDefaultLangID=\n");
  EXPECT_FALSE(rsc.kCollectiveFileAnalyze());
  EXPECT_NE(rsc.kGetErrorMessage().find("Key=DefaultLangID\nContents=A value is not defined"), std::string::npos)
      << rsc.kGetErrorMessage();
}

}  // namespace
