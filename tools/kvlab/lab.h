// kvlab: whole runs of the setup program on scratch simulated machines, and
// the truth check that judges them.
//
// A machine is made once per system from its kvsim template (OS, rights and
// the package staged on C:), kept in a cache, and copied for every case, so
// that a case costs no more than its run. A run starts the program under the
// reference parent installer (kvparent) with a UI script and records what it
// reported — exit code, status word, the report's result and "Installed
// printer" block, the completion page — together with what the machine held
// before and after. truthCheck() (truth.h) compares the two.
//
// Used by the scenario tests and by `kvpkg test`: one runner for both.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kvlab {

namespace fs = std::filesystem;

// The programs a run needs, as host paths.
struct Tools {
  fs::path kvsim;
  fs::path kvparent;
  fs::path setup;  // the native kv_setup, staged beside the package
};

// ---- Processes -------------------------------------------------------------

struct ProcessResult {
  int nExit = -1;  // -1: killed after the time-out, or ended by a signal
  std::string strOut, strErr;
};

// Starts ARGV (argv[0] a path) with the environment changed by OVERRIDES,
// standard input from /dev/null and output to the two files, in a process
// group of its own; -1 when it cannot be started.
pid_t spawnProcess(const std::vector<std::string>& lstArgv, const std::map<std::string, std::string>& overrides,
                   const fs::path& outFile, const fs::path& errFile);
// Its exit code; after dSeconds the group is killed and -1 returned.
int waitProcess(pid_t pid, double dSeconds);
// Both at once, the output read back.
ProcessResult runProcess(const std::vector<std::string>& lstArgv, const std::map<std::string, std::string>& overrides,
                         double dSeconds = 30.0);

std::string readWhole(const fs::path& path);

// kvsim --root ROOT ARGS.
ProcessResult kvsimAt(const Tools& tools, const fs::path& root, const std::vector<std::string>& lstArgs);

// ---- Machines --------------------------------------------------------------

// A system to run on: a kvsim template and the settings made over it.
struct System {
  std::string strName;                            // e.g. "win7-x64"
  std::string strTemplate = "win7-x64";           // kvsim create --template
  std::vector<std::vector<std::string>> lstSets;  // kvsim commands run after create, e.g. {"set","admin","off"}
};

// The systems `kvsim create` knows, by their template names, plus the
// releases reached with `set os` (see systemByName).
std::optional<System> systemByName(const std::string& strName);
std::vector<std::string> systemNames();

// What goes onto C:\PKG\ of every machine: folders copied in order (a
// later one's files over an earlier one's), then the program.
struct Package {
  std::vector<fs::path> lstFolders;
  std::string strWinFolder = "C:\\PKG\\";  // ends with a backslash
};

// The cache of prepared machines. Each system is prepared once (per cache
// folder and stamp of the programs and package) and copied per case.
// Processes may share a cache folder: a machine is prepared beside its place
// and renamed into it.
class MachineCache {
 public:
  MachineCache(Tools tools, Package package, fs::path folder);
  // A new machine at DEST, a copy of SYSTEM's prepared one. False with
  // *pstrError when the system cannot be made.
  bool makeMachine(const System& system, const fs::path& dest, std::string* pstrError);
  const Tools& tools() const { return m_tools; }
  const Package& package() const { return m_package; }

 private:
  bool prepare(const System& system, const fs::path& final, std::string* pstrError);
  Tools m_tools;
  Package m_package;
  fs::path m_folder;
  std::string m_strStamp;
};

// The folder kvlab keeps its prepared machines in for this user.
fs::path defaultCacheFolder();

// ---- The machine's state ---------------------------------------------------

struct Printer {
  std::string strName, strDriver, strPort;
  bool operator==(const Printer&) const = default;
};
struct Pending {
  std::string strSource, strTarget;
  long long llSourceSize = -1;  // -1: the source does not exist
  bool operator==(const Pending&) const = default;
};

struct MachineState {
  bool bRead = false;  // false: kvsim could not read the machine
  std::vector<Printer> lstPrinters;
  std::vector<std::string> lstDrivers;  // "environment\tname"
  std::vector<std::string> lstPorts;    // "name\tmonitor"
  std::map<std::string, std::string> services;  // name -> running, stopped, ...
  std::map<std::string, std::string> serviceDependencies;  // name -> "A,B"
  std::vector<Pending> lstPending;
  std::map<std::string, long long> files;  // Windows path -> size: System32 and spool\drivers
  std::map<std::string, std::string> faults;  // the fault knobs set (kvsim fault)
  fs::path tempHost;                          // the user's temp folder on the host

  const Printer* printer(const std::string& strName) const;
  bool hasDriver(const std::string& strName) const;
};

MachineState readState(const Tools& tools, const fs::path& root);

// ---- Runs ------------------------------------------------------------------

// One run of the program.
struct RunSpec {
  std::string strProgram = "C:\\PKG\\kv_setup";  // the program as the parent starts it
  std::vector<std::string> lstArgs;  // the program's command line (+W/+M are the parent's)
  std::string strScript;             // the UI script; empty: no page or box may appear
  std::map<std::string, std::string> env;  // more environment (KVSIM_TIMESCALE defaults to 0.01)
  double dTimeoutSeconds = 30.0;
};

// What a run reported and what the machine held around it.
struct Record {
  std::vector<std::string> lstArgs;
  int nExit = -1;          // the program's exit code as kvparent gives it; -1: killed or crashed
  bool bKilled = false;    // ended on purpose by the caller (a kill case), not judged
  bool bTimedOut = false;  // did not end within the time-out
  std::optional<uint32_t> status;  // the last status word the parent received
  std::vector<std::string> lstParentLines;
  std::string strErr;
  std::string strTranscript;
  std::string strDetailLog;  // line ends as "\n"
  // The report, when this run wrote one (an unchanged report is an earlier run's).
  bool bReportWritten = false;
  std::string strReport;  // line ends as "\n"
  std::string strSetupKind;                // "Add a new printer", ...
  std::vector<std::string> lstResults;     // "Completed successfully", "Failed", "Restart required", ...
  struct Installed {
    std::string strDriver, strPrinter, strPort;
  };
  std::vector<Installed> lstInstalled;  // the "Installed printer" blocks
  std::vector<std::string> lstPages;    // "page 133", "msgbox IDS_...", in order
  std::string strScriptMisfit;          // why the UI script did not fit the run (exit 3), if it did not
  std::string strCompletion;            // the text of the last completion page shown
  double dSeconds = 0;
  MachineState before, after;

  bool reportSays(const std::string& strResult) const;
  // Success as the parent and the exit code tell it.
  bool toldSuccess() const;
  std::string describe() const;  // everything, for a failure message
};

// A run started and not yet waited for.
struct Started {
  pid_t pid = -1;
  fs::path root, folder;
  Record record;
  std::string strReportBefore;
  fs::file_time_type reportTimeBefore{};
  double dStart = 0;
  double dTimeoutSeconds = 30;
};

Started startRun(const Tools& tools, const fs::path& root, const fs::path& runFolder, const RunSpec& runSpec);
// Waits for its end and records it. With bKill the run is ended at once
// (the machine stays as the kill left it) and the record is not judged.
Record finishRun(const Tools& tools, Started& started, bool bKill = false);
Record runOnce(const Tools& tools, const fs::path& root, const fs::path& runFolder, const RunSpec& runSpec);
// Polls until PRED holds or the run ends; false after dSeconds or at the end.
bool waitUntil(const Started& started, const std::function<bool()>& pred, double dSeconds);
bool hasEnded(const Started& started);

// ---- UI scripts that follow the run ------------------------------------------

// A UI script one statement a line. When a run's message boxes differ from
// what the script foresaw (a fault shows an error box, ends the run early),
// the script is adapted to what the run showed: an unforeseen box is
// answered (OK, else its first button), statements the run never reached
// are dropped, a statement marked optional ("?page 149: ...") goes when
// another page comes in its place. nullopt when the script cannot be
// adapted (an unforeseen page) or the run fitted it.
std::optional<std::vector<std::string>> adaptScript(const std::vector<std::string>& lstLines, const Record& record);
std::string scriptText(const std::vector<std::string>& lstLines);

// A run with a script that adapts: each attempt starts from a fresh machine
// made by PREPARE (a copy of the system's, with the case's changes), at most
// nAttempts of them. The record of the last attempt; its script in *pLines.
struct AdaptiveRun {
  std::function<bool(const fs::path& root, std::string* pstrError)> prepare;
  // Runs the program once on the prepared machine (start, act, finish).
  std::function<Record(const fs::path& root, const fs::path& folder, const std::string& strScript)> run;
  int nAttempts = 4;
  bool bFreshMachine = true;  // false: every attempt on the same machine, as it is
};
struct AdaptiveResult {
  Record record;
  std::vector<std::string> lstScript;
  int nAttempts = 0;
  std::string strError;  // the machine could not be prepared
};
AdaptiveResult runAdaptive(const AdaptiveRun& how, const fs::path& root, const fs::path& folder,
                           std::vector<std::string> lstScript);

}  // namespace kvlab
