// kvpkg: what its two commands share: the analysis of a package as the
// program runs it, with the INF files it skipped and the reasons, and the
// JSON output.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "driverinfo/candidate_driver.h"
#include "driverinfo/driver_infomation.h"

// Exit statuses of both commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;       // analyze: the analysis fails; check: something stops the wizard
inline constexpr int kExitWarnings = 2;     // check: warnings only
inline constexpr int kExitNoneAdmitted = 3; // analyze: candidates, none admitted on the system
inline constexpr int kExitUsage = 64;       // a command line kvpkg cannot use

// Text of the package (ANSI code page) as UTF-8 for JSON; bytes the code
// page does not map are replaced, never copied raw.
std::string kvpkgUtf8(const std::string& strAnsi);
// Indented JSON, invalid UTF-8 replaced.
std::string kvpkgDump(const nlohmann::json& j);

// A folder as the program names it (absolute Windows path).
bool kvpkgFullPath(const std::string& strPath, std::string* pstrFull);
bool kvpkgIsFolder(const std::string& strPath);
// The system the judgement is for, as the program's classification found
// it ("win10 amd64", "xp server x86").
std::string kvpkgSystemName();

// Sends the analysis's detail-log lines (and the program's, such as the
// admission decisions) to a file at level 99.
bool kvpkgSetLog(const std::string& strFile, std::string* pstrError);

struct KvpkgSkippedInf {
  std::string strPath;
  std::string strReason;
};

// One analysis of a folder, as the program's start-up runs it.
class KvpkgAnalysis {
 public:
  // FALSE with a text when the Setup API cannot be bound.
  bool kInit(std::string* pstrError);
  DWORD kRun(const std::string& strFolder, const std::string& strLang, bool bListedOnly);

  CDriverInfomation& kInfo() { return m_info; }
  const CCandidateDriverList& kCandidates() { return m_info.VEXOGetCandidateDriverList(); }
  int kFailure();
  std::string kErrorText1() const;
  std::string kErrorText2() const;
  // Why the analysis failed, in words, with the folders searched for a
  // missing driver file (failure 33).
  std::vector<std::string> kExplainFailure();
  const std::vector<KvpkgSkippedInf>& kSkipped() const { return m_lstSkipped; }

 private:
  CDriverInfomation m_info;
  std::string m_strFolder;
  DWORD m_dwResult = 0;
  std::vector<KvpkgSkippedInf> m_lstSkipped;
  std::string m_strFailureDetail;  // the detail of the failing rule's log line
};

// The folders the program searches for a file of an INF's folder: the
// folder itself, then its siblings by the near-name patterns.
std::vector<std::string> kvpkgSearchedFolders(const std::string& strInfFolder);

// What check says of the rule numbered nFailure that an INF breaks (the
// first such finding); empty when the rule does not break there.
std::string kvpkgRuleText(CDriverInfomation& info, const std::string& strInf, int nFailure);

// "offered for NTx86 only: the first decoration decides; ..." for an INF
// whose first [Manufacturer] line has several decorations; else empty.
std::string kvpkgDecorationNote(CDriverInfomation& info, const std::string& strInf);

struct KvpkgCheckOptions {
  std::string strFolder;
  bool bJson = false;
};
int kvpkgCheck(const KvpkgCheckOptions& opt);
