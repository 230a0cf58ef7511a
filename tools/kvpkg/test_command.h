// kvpkg test: every wizard path of a package on every system it claims, each
// case a whole run of the program on a scratch simulated machine, judged by
// the truth check; a table, JSON, JUnit and an HTML page, shards for CI.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

// A command line `kvpkg test` cannot use, and a failure on the machine.
inline constexpr int kTestExitUsage = 64;
inline constexpr int kTestExitMachine = 2;

struct KvpkgTestOptions {
  std::string strPackage;
  std::string strSystems;  // comma-separated; empty: the systems the package claims, and the controls
  std::string strPaths;    // comma-separated; empty: every path
  int nJobs = 2;
  std::string strShard;  // "I/N"
  std::string strJson, strJunit, strHtml;
  std::string strKeep;
  std::string strSetupReg;  // a .reg file imported into every case's machine
  std::vector<std::string> lstMerge;
};

// The paths, in table order.
const std::vector<std::string>& kvpkgTestPaths();

// One case's outcome.
struct KvpkgTestCase {
  std::string strSystem, strPath, strDriver;
  std::string strVerdict;  // "passed", "failed", "refused" (a control refused as expected), "skipped"
  std::string strReason;   // one line; empty when passed
  int nExit = -1;
  std::optional<unsigned> status;
  std::vector<std::string> lstResults;  // the report's result words
  std::vector<std::string> lstPages;
  std::vector<std::string> lstPrintersBefore, lstPrintersAfter, lstDriversBefore, lstDriversAfter, lstPortsBefore,
      lstPortsAfter;
  std::string strTranscript, strReport, strDetailLog;  // the detail log is kept for a failed case only
  double dSeconds = 0;
  size_t nIndex = 0;  // its place in the whole run (shards keep it)
};

struct KvpkgTestRun {
  std::string strPackage;
  std::vector<std::string> lstSystems, lstPaths;
  std::string strShard;  // "" or "I/N"
  size_t nTotalCases = 0;  // of the whole run, every shard
  std::vector<KvpkgTestCase> lstCases;
  double dSeconds = 0;
};

// Parses "I/N" (1 <= I <= N <= 1000).
bool kvpkgParseShard(const std::string& strShard, int* pnIndex, int* pnCount);

// Outputs. Each file is written whole beside its place and renamed into it:
// a failure leaves no half-written file.
nlohmann::json kvpkgTestJson(const KvpkgTestRun& run);
bool kvpkgTestFromJson(const nlohmann::json& j, KvpkgTestRun* pRun, std::string* pstrError);
std::string kvpkgTestTable(const KvpkgTestRun& run);
std::string kvpkgTestJunit(const KvpkgTestRun& run);
std::string kvpkgTestHtml(const KvpkgTestRun& run);
bool kvpkgWriteWhole(const std::string& strFile, const std::string& strText, std::string* pstrError);
// Whether FILE can be written (checked before a run so that nothing runs in vain).
bool kvpkgCanWrite(const std::string& strFile, std::string* pstrError);

// The sub-command, its options in OPT.
CLI::App* kvpkgAddTestCommand(CLI::App& app, KvpkgTestOptions& opt);
// Runs it: 0 every case passed, 1 some failed, 2 a failure on the machine, 64 bad input.
int kvpkgTest(const KvpkgTestOptions& opt);
// The cases on this build's machines (test_run_*.cpp); false with *pstrError
// (and *pnExit) when they cannot be run.
bool kvpkgRunTestCases(const KvpkgTestOptions& opt, KvpkgTestRun* pRun, int* pnExit, std::string* pstrError);
