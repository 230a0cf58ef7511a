// The truth check (see truth.h).
#include "truth.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace kvlab {
namespace {

constexpr const char kSuccess[] = "Completed successfully";
constexpr const char kFailed[] = "Failed";
constexpr const char kCancelled[] = "Cancelled";
constexpr const char kRestart[] = "Restart required";

constexpr uint32_t kStatusError = 0x1;
constexpr uint32_t kStatusCancel = 0x2;
constexpr uint32_t kStatusRestart = 0x10000;

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%x", v);
  return buf;
}

// The value of a switch such as "+A:" on the command line, "" without it.
std::string switchValue(const Record& record, const char* pszSwitch) {
  const std::string strPrefix = lower(pszSwitch);
  for (const auto& a : record.lstArgs) {
    if (lower(a.substr(0, strPrefix.size())) == strPrefix) return a.substr(strPrefix.size());
  }
  return "";
}

std::string fileName(const std::string& strWinPath) {
  const size_t slash = strWinPath.find_last_of('\\');
  return slash == std::string::npos ? strWinPath : strWinPath.substr(slash + 1);
}

// A name a copy in progress or an unfinished replacement leaves behind.
bool isTemporaryName(const std::string& strWinPath) {
  const std::string name = lower(fileName(strWinPath));
  return (name.size() >= 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) || name.rfind("kvis", 0) == 0;
}

bool samePending(const Pending& a, const Pending& b) { return a.strSource == b.strSource && a.strTarget == b.strTarget; }

// Whether the machine's fault knobs make the service, or one it depends
// on, fail to start.
bool refusesStart(const MachineState& state, const std::string& strService) {
  const auto it = state.faults.find("ServiceFailsToStart");
  if (it == state.faults.end()) return false;
  if (it->second == "*") return true;
  const std::string strList = "," + lower(it->second) + ",";
  if (strList.find("," + lower(strService) + ",") != std::string::npos) return true;
  const auto deps = state.serviceDependencies.find(strService);
  if (deps == state.serviceDependencies.end()) return false;
  const std::string strDeps = "," + lower(deps->second) + ",";
  for (size_t at = 1; at < strDeps.size();) {
    const size_t comma = strDeps.find(',', at);
    const std::string strDep = strDeps.substr(at, comma - at);
    if (!strDep.empty() && strList.find("," + strDep + ",") != std::string::npos) return true;
    at = comma + 1;
  }
  return false;
}

}  // namespace

Intent intentOf(const Record& record) {
  if (!switchValue(record, "+A:").empty()) return Intent::Add;
  if (!switchValue(record, "+R:").empty()) return Intent::Update;
  if (!switchValue(record, "+D:").empty()) return Intent::Delete;
  if (record.strSetupKind == "Add a new printer") return Intent::Add;
  if (record.strSetupKind == "Update printer drivers") return Intent::Update;
  if (record.strSetupKind == "Remove a printer driver") return Intent::Delete;
  return Intent::Unknown;
}

std::vector<Finding> truthCheck(const Record& r) {
  std::vector<Finding> out;
  const auto disagree = [&](const std::string& strText) { out.push_back({Finding::Kind::Disagreement, strText}); };
  if (r.bKilled) return out;  // a killed run is judged by the next one
  if (r.bTimedOut) {
    disagree("the run did not end in time and was killed");
  } else if (r.nExit < 0) {
    disagree("the program ended abnormally (no exit code)");
  }
  if (!r.after.bRead) {
    disagree("the machine cannot be read after the run");
    return out;
  }

  const bool bToldSuccess = r.toldSuccess();
  const bool bReportSuccess = r.bReportWritten && r.reportSays(kSuccess);
  const Intent intent = intentOf(r);

  // What the parent heard against what the report says.
  if (r.bReportWritten && r.status && !r.lstResults.empty()) {
    if ((*r.status & kStatusError) && r.reportSays(kSuccess))
      disagree("the parent was told " + hex(*r.status) + " (an installation error), but the report says \"" + kSuccess +
               "\"");
    if (bToldSuccess && (r.reportSays(kFailed) || r.reportSays(kCancelled)))
      disagree("the parent was told success, but the report says \"" +
               std::string(r.reportSays(kFailed) ? kFailed : kCancelled) + "\"");
    if ((*r.status & kStatusRestart) && !r.reportSays(kRestart))
      disagree("the parent was told a restart is needed, but the report does not say so");
  }
  if (r.nExit == 0 && r.status && !r.bReportWritten && !r.bTimedOut)
    disagree("the parent was told " + hex(*r.status) + ", but this run wrote no report");
  // The completion page against the parent.
  if (r.status && r.strCompletion.find(kSuccess) != std::string::npos && (*r.status & kStatusError))
    disagree("the completion page says \"" + std::string(kSuccess) + "\", but the parent was told " + hex(*r.status));

  // Printers.
  const auto isNew = [&](const Printer& p) { return !r.before.printer(p.strName) || !(*r.before.printer(p.strName) == p); };
  const std::string strDriverArg = switchValue(r, "+A:");
  if (intent == Intent::Add && (bToldSuccess || bReportSuccess)) {
    bool bAny = false;
    for (const auto& p : r.after.lstPrinters) {
      if (isNew(p) || (!strDriverArg.empty() && p.strDriver == strDriverArg)) bAny = true;
    }
    if (!bAny) disagree("reported success, but no printer exists");
  }
  for (const auto& installed : r.lstInstalled) {
    if (installed.strPrinter.empty()) {
      disagree("the report names an installed printer without a name");
      continue;
    }
    const Printer* p = r.after.printer(installed.strPrinter);
    if (!p) {
      disagree("the report names the printer \"" + installed.strPrinter + "\", but no such printer exists");
    } else if (!installed.strPort.empty() && p->strPort != installed.strPort) {
      disagree("the report puts \"" + installed.strPrinter + "\" on " + installed.strPort + ", but it is on " + p->strPort);
    }
  }
  if (intent == Intent::Delete && bToldSuccess) {
    const std::string strDriver = switchValue(r, "+D:");
    for (const auto& p : r.after.lstPrinters) {
      if (p.strDriver == strDriver) disagree("reported success, but the printer \"" + p.strName + "\" still exists");
    }
  }
  // A failure that keeps what it half did: a driver registered for no printer.
  // (Drivers the external installer registered are its own to undo.)
  const bool bInstallerRan = r.strDetailLog.find("CMainFrame::kOnExecuteNELI") != std::string::npos;
  if (r.status && (*r.status & kStatusError) && r.nExit == 0 && !bInstallerRan) {
    for (const auto& d : r.after.lstDrivers) {
      if (std::find(r.before.lstDrivers.begin(), r.before.lstDrivers.end(), d) != r.before.lstDrivers.end()) continue;
      const std::string strName = d.substr(d.find('\t') + 1);
      const bool bUsed = std::any_of(r.after.lstPrinters.begin(), r.after.lstPrinters.end(),
                                     [&](const Printer& p) { return p.strDriver == strName; });
      if (!bUsed) disagree("reported an installation error, but left the driver \"" + strName + "\" registered");
    }
  }

  // Services.
  for (const auto& [name, state] : r.before.services) {
    if (state != "running") continue;
    const auto it = r.after.services.find(name);
    const std::string strAfter = it == r.after.services.end() ? "gone" : it->second;
    // A service the machine itself refuses to start (a fault knob) cannot
    // be brought back by the run; a run that said it failed has told the truth.
    if (strAfter != "running" && r.status && (*r.status & kStatusError) && refusesStart(r.after, name)) continue;
    if (strAfter != "running") out.push_back({Finding::Kind::StoppedService, "the service " + name + " was left " + strAfter});
  }

  // Files of the system and driver folders.
  const auto isPendingSource = [&](const std::string& strPath) {
    return std::any_of(r.after.lstPending.begin(), r.after.lstPending.end(),
                       [&](const Pending& p) { return lower(p.strSource) == lower(strPath) && !p.strTarget.empty(); });
  };
  for (const auto& [path, size] : r.after.files) {
    const auto before = r.before.files.find(path);
    // The new file of a replacement waiting for the restart is judged with it.
    if (before == r.before.files.end() && size > 0 && isPendingSource(path)) continue;
    if (before == r.before.files.end()) {
      if (size == 0 || isTemporaryName(path))
        out.push_back({Finding::Kind::HalfWritten, "a half-written file was left: " + path + " (" +
                                                       std::to_string(size) + " bytes)"});
    } else if (size == 0 && before->second > 0) {
      out.push_back({Finding::Kind::HalfWritten, "the file " + path + " was emptied"});
    }
  }

  // Replacements waiting for the restart.
  bool bNewPending = false;
  for (const auto& p : r.after.lstPending) {
    if (std::any_of(r.before.lstPending.begin(), r.before.lstPending.end(),
                    [&](const Pending& b) { return samePending(b, p); }))
      continue;
    bNewPending = true;
    if (!p.strTarget.empty() && p.llSourceSize <= 0)
      out.push_back({Finding::Kind::HalfWritten,
                     "a replacement would empty " + p.strTarget + " at the restart (its source " +
                         (p.llSourceSize < 0 ? "is missing" : "has 0 bytes") + ")"});
  }
  if (bNewPending && r.status && !(*r.status & kStatusRestart) && !(*r.status & kStatusCancel))
    disagree("a replacement waits for the restart, but the restart bit is not set (status " + hex(*r.status) + ")");
  return out;
}

std::string describeFindings(const std::vector<Finding>& lstFindings) {
  std::string s;
  for (const auto& f : lstFindings) s += f.strText + "\n";
  return s;
}

bool leftBroken(const std::vector<Finding>& lstFindings) {
  return std::any_of(lstFindings.begin(), lstFindings.end(),
                     [](const Finding& f) { return f.kind != Finding::Kind::Disagreement; });
}

}  // namespace kvlab
