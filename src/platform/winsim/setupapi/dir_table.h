// winsim: the directory ids of INF files and what they stand for on the
// simulated machine.
#pragma once

#include <optional>
#include <string>

#include <windows.h>

namespace winsim::setupapi {

// The machine's folders, taken once when an INF file is opened, so that
// substituting a DIRID costs a table lookup.
class DirTable {
 public:
  // Reads the machine: Windows folder, the process's spooler environment.
  static DirTable forMachine();

  // The folder of a DIRID, without a trailing backslash except for a drive
  // root ("C:\"). DIRID 1 is `infFolder` (given with its trailing
  // backslash, kept). Ids Windows defines but this machine cannot resolve
  // (and undefined user ids) give the "<system>\unknown" marker; DIRID 0
  // gives nothing.
  std::optional<std::string> resolve(long id, const std::string& infFolder) const;

  const std::string& windowsDir() const { return windows_; }
  const std::string& systemDir() const { return system_; }

  bool operator==(const DirTable&) const = default;

 private:
  std::string windows_;
  std::string system_;
  std::string driverDir_;
  std::string printProcessorDir_;
  std::string colorDir_;
};

// "C:\Windows", the Windows folder of every simulated machine.
const char* windowsFolder();

}  // namespace winsim::setupapi
