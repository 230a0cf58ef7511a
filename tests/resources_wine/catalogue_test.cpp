// Loading the UTF-16 message catalogue and looking messages up.
#include <gtest/gtest.h>

#include <string>

#include "resources/rsc_common.h"
#include "resources_wine/rsc_test_package.h"

using rsctest::ScratchPackage;
using rsctest::toAnsi;
using rsctest::widen;

namespace {

// A package with one language whose catalogue each test writes itself.
class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pkg.makeDir("pkg\\DrvInst");
    m_pkg.writeAnsi("pkg\\ResourceDef.ini",
                    "[Precondition]\nDefaultLangID=0x0409\n" +
                        rsctest::langSection("English", "ENU", "EN", "0x0409", "0x09", "Y", "MSG.INI") +
                        rsctest::langSection("Other", "OTH", "OT", "0x0476", "0x76", "N", "OTHER.INI"));
  }

  std::string cataloguePath() const { return m_pkg.folder() + "DrvInst\\KV_MSG.INI"; }

  void writeCatalogue(const std::u16string& body) {
    ASSERT_TRUE(m_pkg.writeUtf16("pkg\\DrvInst\\KV_MSG.INI", body));
  }

  // Loads the catalogue; FALSE when any step fails.
  BOOL load() {
    m_rsc.kSetModulePath(m_pkg.folder());
    return m_rsc.kCollectiveFileAnalyze() && m_rsc.kTempDecideLanguage("0x0409");
  }

  ScratchPackage m_pkg;
  CRscCommon m_rsc{"KV_"};
};

TEST_F(Catalogue, EscapesBecomeControlCharacters) {
  writeCatalogue(u"[English]\nIDS_LINES=First line\\nSecond line\nIDS_TAB=Name:\\tValue\n"
                 u"IDS_CR=a\\rb\nIDS_ALL=\\n\\t\\r\\\\n\nIDS_PLAIN=back\\slash\n");
  ASSERT_TRUE(load()) << m_rsc.kGetErrorMessage();
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_LINES"), "First line\nSecond line");
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_TAB"), "Name:\tValue");
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_CR"), "a\rb");
  // The replacements run one after the other: a doubled backslash is no
  // escape of its own.
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_ALL"), "\n\t\r\\\n");
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_PLAIN"), "back\\slash");
}

TEST_F(Catalogue, IdsDifferingInCaseAreDifferentMessages) {
  writeCatalogue(u"[English]\nIDS_CASE=upper\nids_case=lower\nIDS_ONCE=first\nIDS_ONCE=second\n");
  ASSERT_TRUE(load()) << m_rsc.kGetErrorMessage();
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_CASE"), "upper");
  EXPECT_EQ(m_rsc.kGetMessageText("ids_case"), "lower");
  EXPECT_EQ(m_rsc.kGetMessageText("Ids_Case"), "");
  // A key written twice keeps its first text, as a lookup by name finds it.
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_ONCE"), "first");
}

TEST_F(Catalogue, LargeSectionIsReadWhole) {
  // 700 keys of 19 characters: 14,000 characters of key names, beyond the
  // first two sizes of the name buffer.
  std::u16string body = u"[English]\n";
  for (int i = 0; i < 700; ++i) {
    char szKey[32];
    std::snprintf(szKey, sizeof(szKey), "IDS_KEY_NUMBER_%04d", i);
    body += widen(szKey) + u"=text " + widen(std::to_string(i)) + u"\n";
  }
  writeCatalogue(body);
  ASSERT_TRUE(load()) << m_rsc.kGetErrorMessage();
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_KEY_NUMBER_0000"), "text 0");
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_KEY_NUMBER_0409"), "text 409");
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_KEY_NUMBER_0699"), "text 699");
}

TEST_F(Catalogue, LongValuesAreReadWhole) {
  struct Row {
    const char* pszId;
    size_t nLength;
  } rows[] = {{"IDS_4095", 4095}, {"IDS_4096", 4096}, {"IDS_4097", 4097}, {"IDS_10000", 10000}};
  std::u16string body = u"[English]\n";
  for (const Row& row : rows) {
    std::u16string value;
    for (size_t i = 0; i < row.nLength; ++i) value.push_back(static_cast<char16_t>(u'a' + i % 26));
    value.back() = u'Z';
    body += widen(row.pszId) + u"=" + value + u"\n";
  }
  writeCatalogue(body);
  ASSERT_TRUE(load()) << m_rsc.kGetErrorMessage();
  for (const Row& row : rows) {
    const std::string strText = m_rsc.kGetMessageText(row.pszId);
    EXPECT_EQ(strText.size(), row.nLength) << row.pszId;
    EXPECT_EQ(strText.substr(0, 3), "abc");
    EXPECT_EQ(strText.back(), 'Z') << row.pszId;
  }
}

TEST_F(Catalogue, TextsAreConvertedToTheAnsiCodePage) {
  const std::u16string japanese = u"\u30d7\u30ea\u30f3\u30bf\u30fc";
  const std::u16string german = u"Schlie\u00dfen \u201eWeiter\u201c";
  writeCatalogue(u"[English]\nIDS_JA=" + japanese + u"\nIDS_DE=" + german + u"\n");
  ASSERT_TRUE(load()) << m_rsc.kGetErrorMessage();
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_JA"), toAnsi(japanese));
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_DE"), toAnsi(german));
}

TEST_F(Catalogue, MissingIdGivesEmptyTextAndNamesIt) {
  writeCatalogue(u"[English]\nIDS_THERE=here\nIDS_EMPTY=\n");
  ASSERT_TRUE(load()) << m_rsc.kGetErrorMessage();
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_EMPTY"), "");
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_NOT_THERE"), "");
  EXPECT_EQ(m_rsc.kGetErrorMessage(),
            "There is not a message text of the message ID.\nID=IDS_NOT_THERE, IRC File=" + cataloguePath());
  // A successful lookup leaves the last error text alone.
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_THERE"), "here");
  EXPECT_NE(m_rsc.kGetErrorMessage().find("IDS_NOT_THERE"), std::string::npos);
}

TEST_F(Catalogue, MissingSectionOrFileFailsTheLoad) {
  writeCatalogue(u"[Deutsch]\nIDS_THERE=hier\n");
  EXPECT_FALSE(load());
  EXPECT_EQ(m_rsc.kGetErrorMessage(),
            "There is not a message text.\nIRC File=" + cataloguePath() + ", Section name=English");

  // A language whose catalogue does not exist fails the same way.
  EXPECT_FALSE(m_rsc.kTempDecideLanguage("OTH"));
  EXPECT_EQ(m_rsc.kGetErrorMessage(), "There is not a message text.\nIRC File=" + m_pkg.folder() +
                                          "DrvInst\\KV_OTHER.INI, Section name=Other");
}

TEST_F(Catalogue, ReloadReplacesTheMessagesAndAFailedOneKeepsThem) {
  writeCatalogue(u"[English]\nIDS_A=one\nIDS_B=two\n");
  ASSERT_TRUE(load());
  ASSERT_TRUE(m_pkg.writeUtf16("pkg\\DrvInst\\KV_OTHER.INI", u"[Other]\nIDS_A=uno\n"));
  ASSERT_TRUE(m_rsc.kTempDecideLanguage("OTH"));
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_A"), "uno");
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_B"), "");
  EXPECT_EQ(m_rsc.kGetIRCFilePath(), m_pkg.folder() + "DrvInst\\KV_OTHER.INI");

  // An empty section cannot replace a loaded catalogue by half.
  ASSERT_TRUE(m_pkg.writeUtf16("pkg\\DrvInst\\KV_MSG.INI", u"[English]\n; nothing yet\n"));
  EXPECT_FALSE(m_rsc.kTempDecideLanguage("0x0409"));
  EXPECT_EQ(m_rsc.kGetMessageText("IDS_A"), "uno");
}

TEST_F(Catalogue, CatalogueReaderChecksAFileDirectly) {
  writeCatalogue(u"[English]\nIDS_A=one\n=nameless\n  IDS_SPACED  =  \"quoted text\"  \n");
  CRscBase base;
  CRscIRCFile irc(base);
  std::unordered_map<std::string, CIRCMessage> messages;
  int nExit = -1;
  ASSERT_TRUE(irc.kReadCatalogueSection(cataloguePath(), "English", messages, nExit));
  EXPECT_EQ(nExit, 0);
  EXPECT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages["IDS_SPACED"].strMessage, "quoted text");
  EXPECT_TRUE(irc.kCheckExistSectionName(cataloguePath(), "english"));
  EXPECT_FALSE(irc.kCheckExistSectionName(cataloguePath(), "Englis"));
  EXPECT_FALSE(irc.kReadCatalogueSection(cataloguePath(), "Missing", messages, nExit));
  EXPECT_EQ(nExit, 5);
}

}  // namespace
