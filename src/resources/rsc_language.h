// The languages of the package (ResourceDef.ini) and the choice of the
// current one.
#pragma once

#include <map>
#include <string>

#include "resources/lang_info.h"
#include "resources/rsc_base.h"
#include "resources/rsc_common_info.h"
#include "resources/rsc_irc_file.h"

class CRscLanguage : public CRscPart {
 public:
  CRscLanguage(CRscBase& rBase, CRscCommonInfo& rCommonInfo, CRscIRCFile& rIRCFile)
      : CRscPart(rBase), m_rCommonInfo(rCommonInfo), m_rIRCFile(rIRCFile) {}

  // Reads ResourceDef.ini in the program's folder and fills the language
  // table. Exits: (1) no section, (2) the default language unreadable, (3) a
  // language section unreadable. A failure leaves the table as far as it was
  // filled.
  [[nodiscard]] BOOL kResourceAnalysis();

  // Decides the current language from a language name or id (the system's
  // default language when empty), falling back to the language's substitute
  // and then to the package's default language. FALSE with the error text
  // when no usable language is left; the current language may then be the
  // default language.
  [[nodiscard]] BOOL kDecideLanguage(const std::string& strLanguage);

  // Decides the current language from a non-empty name or id, without
  // fall-backs and without checking the catalogue.
  [[nodiscard]] BOOL kTempDecideLanguage(const std::string& strLanguage);

  // The current language.
  CLangInfo kGetLanguage() const { return m_rBase.m_CurrentLang; }

  // TRUE when the text is a language id: decimal digits, or "0x" followed by
  // at least one hexadecimal digit (any case).
  [[nodiscard]] BOOL kCheckLangID(const std::string& strText) const;

  // Finds a language by name or id and makes it the current language; an id
  // without an entry of its own finds the language of its primary language.
  [[nodiscard]] BOOL kSearchLanguage(const std::string& strName);

  // The default language of the package as written, may be empty.
  const std::string& kGetDefaultLangID() const { return m_strDefaultLangID; }

 private:
  BOOL kGetDefaultLangIDFromFile(const std::string& strFile);
  BOOL kGetLanguage(const std::string& strFile, const std::string& strSection, CLangInfo& lang);
  BOOL kReadRequiredKey(const std::string& strFile, const std::string& strSection, const char* pszKey,
                        std::string& strValue);
  BOOL kReadOptionalKey(const std::string& strFile, const std::string& strSection, const char* pszKey,
                        std::string& strValue);
  void kEnterLanguage(const CLangInfo& lang);
  BOOL kPrecondition();
  BOOL kChekExistIRCFile();
  BOOL kMakeIRCFileName(std::string& strPath) const;
  BOOL kCatalogueHoldsSection();

  CRscCommonInfo& m_rCommonInfo;
  CRscIRCFile& m_rIRCFile;
  // Upper-case name to language.
  std::map<std::string, CLangInfo> m_mapLanguage;
  std::string m_strDefaultLangID;
};

// Parses a language id written in decimal or as "0x" and hexadecimal digits.
// FALSE when the text is not a number or does not fit 32 bits.
BOOL kRscParseLangID(const std::string& strText, DWORD& dwValue);
