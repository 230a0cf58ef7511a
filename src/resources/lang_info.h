// One language of the package, as the language definition file describes it.
#pragma once

#include <string>

#include "platform/win32.h"

class CLangInfo {
 public:
  std::string strSectionName;       // name of the language's section
  std::string strLMLauncher;        // language name used by launchers
  std::string strOmittedName;       // short name, also the licence file suffix
  std::string strTwoLetter;         // two-letter language code
  std::string strLangID;            // language id as decimal text
  DWORD dwLangID = 0;
  std::string strPrimaryLangID;     // primary language id as decimal text
  DWORD dwPrimaryLangID = 0;
  std::string strSubLangID;         // sub-language id as decimal text
  DWORD dwSubLangID = 0;
  std::string strPrimaryUSE;        // "Y": the primary language id selects this language too
  std::string strIRCFileName;       // catalogue file name, without the catalogue prefix
  std::string strIRCSectionName;    // catalogue section of this language's messages
  std::string strSubstituteLangID;  // language used when this one's catalogue is missing
};
