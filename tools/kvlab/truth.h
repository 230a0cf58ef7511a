// The truth check: what a run reported (exit code, status word, the
// report's result and "Installed printer" block, the completion page) must
// agree with what the machine holds afterwards (printers, drivers, ports,
// services, replacements waiting for the restart, the files of the system
// and driver folders). Every finding is one line a person reads.
#pragma once

#include <string>
#include <vector>

#include "lab.h"

namespace kvlab {

struct Finding {
  enum class Kind {
    Disagreement,   // reported one thing, the machine holds another
    StoppedService, // a service that ran before the run no longer runs
    HalfWritten,    // a temporary, empty or emptied file in the system or driver folders
  };
  Kind kind = Kind::Disagreement;
  std::string strText;
};

// What the run meant to do, from its command line or, interactively, from
// the setup kind its report names.
enum class Intent { Unknown, Add, Update, Delete };
Intent intentOf(const Record& record);

std::vector<Finding> truthCheck(const Record& record);
// The findings one to a line, "" when there are none.
std::string describeFindings(const std::vector<Finding>& lstFindings);
// Whether the machine was left broken: a stopped service or a half-written file.
bool leftBroken(const std::vector<Finding>& lstFindings);

}  // namespace kvlab
