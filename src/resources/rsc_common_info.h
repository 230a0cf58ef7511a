// Private-profile reads, section enumeration, short paths and the program's
// own folder for the resource component.
#pragma once

#include <string>
#include <vector>

#include "resources/rsc_base.h"

class CRscCommonInfo : public CRscPart {
 public:
  using CRscPart::CRscPart;

  // Reads one key of an INI file. TRUE with the value when the key has a
  // non-empty value. FALSE with nCode 1 and an empty value when the key is
  // written with an empty value; FALSE with nCode 0 and an empty value when
  // the key (or the section, or the file) is missing.
  [[nodiscard]] BOOL kGetPrivateProfile(const std::string& strFile, const char* pszSection, const char* pszKey,
                                        std::string& strValue, int& nCode);

  // The section names of an INI file in file order. FALSE with an empty list
  // when the file has no section (or does not exist).
  [[nodiscard]] BOOL kEnumSection(const std::string& strFile, std::vector<std::string>& lstSection);

  // The short form of an existing path. FALSE, with the output untouched,
  // when the path is longer than the platform allows or does not exist.
  [[nodiscard]] BOOL kGetShortPathName(const std::string& strLongPath, std::string& strShortPath);

  // The folder of the running program with its trailing backslash; FALSE and
  // an empty folder when the program's path cannot be had.
  [[nodiscard]] BOOL kGetModulePath(std::string& strModulePath);
};

// Joins a folder and a name with exactly one backslash between them.
std::string kRscJoinPath(const std::string& strFolder, const std::string& strName);
