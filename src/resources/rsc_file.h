// Resource.ini: where the package keeps its catalogues and licence texts,
// and the licence text of the current language.
#pragma once

#include <string>

#include "resources/rsc_base.h"
#include "resources/rsc_common_info.h"

// Results of kGetLicenseFile.
constexpr int DEF_GETFILE_SUCCESS = 0;
constexpr int DEF_GETFILE_FILE_NOT_FOUND = 1;
constexpr int DEF_GETFILE_FAILED = 99;

class CRscFile : public CRscPart {
 public:
  CRscFile(CRscBase& rBase, CRscCommonInfo& rCommonInfo) : CRscPart(rBase), m_rCommonInfo(rCommonInfo) {}

  // Reads ResourcePath and LicensePath of section Resource of Resource.ini in
  // the program's folder and decides both folders. On failure the folders
  // decided so far stay as they were and the error text says why.
  [[nodiscard]] BOOL kResourceIniAnalyze();

  // Reads the licence text of the current language: the file is the prefix
  // (or "DI_" when empty), the language's short name and ".txt" in the
  // licence folder. Returns DEF_GETFILE_SUCCESS with the text (lines ended by
  // CR LF), DEF_GETFILE_FILE_NOT_FOUND when there is no such file, or
  // DEF_GETFILE_FAILED when it cannot be read; on failure strText is
  // untouched.
  [[nodiscard]] int kGetLicenseFile(std::string& strText, const std::string& strPrefix);

  // The folder that a ResourcePath or LicensePath value names: "DrvInst"
  // beside the program when empty, relative values against the program's
  // folder, absolute ones unchanged; no trailing backslash.
  std::string kMakeFolderPath(const std::string& strWritten) const;

  // TRUE when the path exists; otherwise FALSE and the Windows-API error text.
  [[nodiscard]] BOOL kCheckFilePath(const std::string& strPath);

 private:
  BOOL kReadResourceKey(const std::string& strIniFile, const char* pszKey, std::string& strValue);

  CRscCommonInfo& m_rCommonInfo;
};
