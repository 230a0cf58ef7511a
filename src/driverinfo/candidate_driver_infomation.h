// The builder of the candidate driver list, and the detection of a driver
// file's version and platform that it uses when the driver description file
// does not state the version.
#pragma once

#include <map>
#include <string>

#include "driverinfo/candidate_driver.h"
#include "driverinfo/inf_file.h"
#include "platform/win32.h"

class CSetupApi;

class CCandidateDriverInfomation {
 public:
  // pInfFile and pSetupApi are not owned and must outlive the builder.
  CCandidateDriverInfomation(CInfFile* pInfFile, CSetupApi* pSetupApi);
  CCandidateDriverInfomation(const CCandidateDriverInfomation&) = delete;
  CCandidateDriverInfomation& operator=(const CCandidateDriverInfomation&) = delete;

  // Builds the list from every *.inf of the search path: 0, VEXOERR_SOURCEPATHNG
  // or VEXOERR_READINFERR (the error texts then tell the INF and the rule).
  DWORD kMakeCandidateDriverList(std::string strSearchPath, const std::string& strLangID, BOOL bListedOnly);

  CCandidateDriverList& kGetCandidateList() { return m_lstCandidate; }
  // Error text 1: the INF file being read; error text 2: the key or rule
  // that failed.
  const std::string& kGetErrorText1() const { return m_strErrorText1; }
  const std::string& kGetErrorText2() const { return m_strErrorText2; }

  // ---- Driver file version ----------------------------------------------------
  // The version (0, 2 or 3) of a driver file found from strPath, examined once
  // per INF path and file name; 0 when it cannot be told. Results, 0 too, are
  // kept for the life of the builder.
  DWORD kGetDriverFileVersionNo(const std::string& strInfPath, const std::string& strDriverFile,
                                const std::string& strPath);
  // Copies (or expands) the file to a temporary file and reads its version
  // resource. Returns 1 when the resource was recognised, else 0; dwVersion is
  // 0, 2 or 3 and strPlatform "NTx86", "NTamd64" or empty.
  int kGetDriverFileVersion(const std::string& strDriverFile, const std::string& strPath, DWORD& dwVersion,
                            std::string& strPlatform);
  // The platform of a PE file by its machine type: "NTx86", "NTamd64", or
  // empty for another machine, a short or damaged file, or a read error.
  static std::string kGetPlatformFromPEHeader(const std::string& strFilePath);

 private:
  // The INF reader the list steps open each INF file with.
  [[maybe_unused]] CInfFile* m_pDrvInfFile;
  CSetupApi* m_pSetupApi;
  // "INF path,driver file" to version.
  std::map<std::string, DWORD, CInfFile::CLessNoCase> m_mapDriverVersion;
  CCandidateDriverList m_lstCandidate;
  std::string m_strErrorText1;
  std::string m_strErrorText2;
};
