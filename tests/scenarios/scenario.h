// The harness of the scenario tests: a scratch machine of its own for every
// test, the sample package with kv_setup beside it on the machine's C:, and
// runs of kv_setup under the reference parent installer with a UI script.
// A run is judged by what it leaves behind: the exit code, the messages the
// parent received, the detail log and the transcript of what was shown.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace scenario {

// The folder of the package on the machine, as the program sees it.
inline constexpr const char kPackageFolder[] = "C:\\PKG\\";

// What one run of kv_setup under kvparent left behind.
struct Outcome {
  int nExit = -1;                      // kvparent ends with the program's exit code
  std::vector<std::string> lstParent;  // every line kvparent printed, one per message received
  std::string strErr;                  // standard error of kvparent and the program
  std::string strDetailLog;            // the detail log, line ends as "\n"
  std::string strTranscript;           // the pages and boxes of this run

  bool logHas(const std::string& strPart) const { return strDetailLog.find(strPart) != std::string::npos; }
  bool transcriptHas(const std::string& strPart) const { return strTranscript.find(strPart) != std::string::npos; }
  // Everything, for a failure message.
  std::string describe() const;
};

// A run that has been started and not yet waited for.
struct Started {
  pid_t pid = -1;
  std::filesystem::path folder;  // where its output and transcript go
};

class ScenarioTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs kvsim on this test's machine; a failure fails the test.
  void kvsim(const std::vector<std::string>& lstArgs);
  // Sets the machine's detail log level (HKLM\SOFTWARE\HALVERN\IMG\DI\LOG).
  void setOutputLevel(unsigned dwLevel);

  // Host path of a file of the package (relative, with "/").
  std::filesystem::path packageFile(const std::string& strRelative) const;
  void writePackageFile(const std::string& strRelative, const std::string& strBytes) const;
  void removePackageFile(const std::string& strRelative) const;

  // kvparent -- C:\PKG\kv_setup ARGS, answered by the UI script SCRIPT, to its end.
  Outcome run(const std::vector<std::string>& lstArgs, const std::string& strScript);
  // The same, split in two so that a test can act while the program runs.
  Started start(const std::vector<std::string>& lstArgs, const std::string& strScript);
  Outcome finish(Started& started);
  // Waits until the started run's parent has printed a line holding PART;
  // false after the time-out or when the run has ended without it.
  bool waitForParentLine(const Started& started, const std::string& strPart, double dSeconds = 10.0);

  // The program start() runs; a test may start a copy in another folder.
  std::string m_strProgram = std::string(kPackageFolder) + "kv_setup";
  std::filesystem::path m_root;  // the machine root
  std::filesystem::path m_temp;  // the machine's temporary folder, on the host
  int m_nRuns = 0;
  std::vector<pid_t> m_lstRunning;  // started and not yet finished
};

// The line kvparent prints for a message of the given kind.
std::string parentLine(unsigned nKind, unsigned long long wParam, unsigned long long lParam);

}  // namespace scenario
