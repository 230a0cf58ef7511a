// The sample package's resource files as they ship: every message the program
// looks up is in every catalogue, and the package's languages decide as its
// definitions promise.
#include "kv_source_dir.h"
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "resources/message_ids.h"
#include "resources/rsc_common.h"

namespace {

// The sample package in the source tree, as a path the program can open.
std::string packageFolder() {
  std::string strPath = std::string("Z:") + KV_SOURCE_DIR + "/examples/package/";
  for (char& c : strPath) {
    if (c == '/') c = '\\';
  }
  return strPath;
}

struct ShippedCatalogue {
  const char* pszFile;
  const char* pszSection;
};
const ShippedCatalogue kCatalogues[] = {
    {"KV_MSG_ENU.INI", "English"}, {"KV_MSG_JPN.INI", "Japanese"}, {"KV_MSG_DEU.INI", "German"}};

std::unordered_map<std::string, CIRCMessage> readCatalogue(const ShippedCatalogue& cat) {
  CRscBase base;
  CRscIRCFile irc(base);
  std::unordered_map<std::string, CIRCMessage> messages;
  int nExit = 0;
  EXPECT_TRUE(irc.kReadCatalogueSection(packageFolder() + "Resource\\" + cat.pszFile, cat.pszSection, messages,
                                        nExit))
      << cat.pszFile << " exit " << nExit;
  return messages;
}

// Every message ID written anywhere in the program's sources.
std::set<std::string> idsUsedInSources() {
  static const std::regex kId("\\b(AFX_)?IDS_[A-Z0-9_]*[A-Z0-9]\\b");
  std::set<std::string> ids;
  for (const char* pszFolder : {"app", "resources", "driverinfo", "system", "install", "wizard"}) {
    const std::filesystem::path folder = std::filesystem::path(KV_SOURCE_DIR) / "src" / pszFolder;
    if (!std::filesystem::exists(folder)) continue;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
      const std::string strExt = entry.path().extension().string();
      if (strExt != ".h" && strExt != ".cpp") continue;
      std::ifstream in(entry.path());
      std::stringstream text;
      text << in.rdbuf();
      const std::string strText = text.str();
      for (std::sregex_iterator it(strText.begin(), strText.end(), kId), end; it != end; ++it) ids.insert(it->str());
    }
  }
  return ids;
}

TEST(ShippedPackage, EveryIdUsedInTheSourcesIsInEveryCatalogue) {
  const std::set<std::string> used = idsUsedInSources();
  ASSERT_GE(used.size(), 158u);  // the shared list of IDs at least
  for (const ShippedCatalogue& cat : kCatalogues) {
    const auto messages = readCatalogue(cat);
    for (const std::string& strId : used) {
      const auto it = messages.find(strId);
      ASSERT_NE(it, messages.end()) << strId << " is missing from " << cat.pszFile;
      EXPECT_FALSE(it->second.strMessage.empty()) << strId << " is empty in " << cat.pszFile;
    }
  }
}

TEST(ShippedPackage, CataloguesHoldExactlyTheSharedIds) {
  const std::set<std::string> shared(std::begin(msgid::kAllMessageIds), std::end(msgid::kAllMessageIds));
  EXPECT_EQ(shared.size(), std::size(msgid::kAllMessageIds)) << "an ID is listed twice";
  for (const ShippedCatalogue& cat : kCatalogues) {
    std::set<std::string> keys;
    for (const auto& [strId, entry] : readCatalogue(cat)) keys.insert(strId);
    EXPECT_EQ(keys, shared) << cat.pszFile;
  }
}

TEST(ShippedPackage, LanguagesDecideAsDefined) {
  struct Row {
    const char* pszRequest;
    const char* pszSection;
    const char* pszOmitted;
  } rows[] = {
      {"0x0409", "English", "ENU"}, {"0x0411", "Japanese", "JPN"}, {"0x0407", "German", "DEU"},
      {"0x0809", "English", "ENU"},  // English (United Kingdom): through the primary language
      {"0x0C07", "German", "DEU"},   // German (Austria)
      {"0x040C", "English", "ENU"},  // French: no catalogue yet, its substitute
      {"0x0C0C", "English", "ENU"},  // French (Canada): primary language, then substitute
      {"0x0418", "English", "ENU"},  // not defined: the default language
  };
  for (const Row& row : rows) {
    CRscCommon rsc("KV_");
    rsc.kSetModulePath(packageFolder());
    ASSERT_TRUE(rsc.kCollectiveFileAnalyze()) << rsc.kGetErrorMessage();
    ASSERT_TRUE(rsc.kDecideLanguage(row.pszRequest)) << row.pszRequest << ": " << rsc.kGetErrorMessage();
    EXPECT_EQ(rsc.kGetLanguage().strSectionName, row.pszSection) << row.pszRequest;
    EXPECT_FALSE(rsc.kGetMessageText(msgid::AFX_IDS_APP_TITLE).empty()) << row.pszRequest;
    std::string strLicense;
    EXPECT_EQ(rsc.kGetLicenseFile(strLicense, "DI_"), DEF_GETFILE_SUCCESS) << row.pszRequest;
    EXPECT_GT(strLicense.size(), 1000u) << row.pszRequest;
    EXPECT_EQ(rsc.kGetLanguage().strOmittedName, row.pszOmitted);
  }
}

TEST(ShippedPackage, BuiltInLicenceTextIsPlainText) {
  std::ifstream in(std::filesystem::path(KV_SOURCE_DIR) / "src" / "res" / "license.txt", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string strText = text.str();
  ASSERT_GT(strText.size(), 1000u);
  // Shown as it is in an edit control on any code page: ASCII with CR LF.
  for (size_t i = 0; i < strText.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(strText[i]);
    ASSERT_TRUE(c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F)) << "byte " << i;
    if (c == '\n') {
      ASSERT_TRUE(i > 0 && strText[i - 1] == '\r') << "line end at " << i;
    }
  }
}

}  // namespace
