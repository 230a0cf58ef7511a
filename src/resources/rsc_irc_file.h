// The message catalogue: a UTF-16 INI file with one section per language and
// one key per message ID, read into the message map.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "resources/rsc_base.h"
#include "resources/rsc_common_info.h"

class CRscIRCFile : public CRscPart {
 public:
  using CRscPart::CRscPart;

  // Loads the catalogue of the current language into the message map. On
  // failure the map and the catalogue path keep what an earlier load put
  // there, and the error text says why.
  [[nodiscard]] BOOL kIRCFileAnalysis();

  // The catalogue path of a language: the resource folder, a backslash, the
  // catalogue prefix and the language's file name. FALSE when the language
  // names no catalogue file.
  [[nodiscard]] BOOL kGetIRCFileName(const CLangInfo& lang, std::string& strPath) const;

  // TRUE when the catalogue file holds the named section (names compared
  // without regard to case, as the profile functions compare them). FALSE
  // also when the file or the wide profile functions are missing.
  [[nodiscard]] BOOL kCheckExistSectionName(const std::string& strFile, const std::string& strSection);

  // The key names of one section and their texts as the wide profile
  // functions of this system read them, converted to the ANSI code page.
  // This is the reading of kIRCFileAnalysis without the language: it is used
  // by tools and tests that check a catalogue file.
  [[nodiscard]] BOOL kReadCatalogueSection(const std::string& strFile, const std::string& strSection,
                                           std::unordered_map<std::string, CIRCMessage>& mapMessage,
                                           int& nExit);
};
