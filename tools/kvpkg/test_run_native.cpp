// kvpkg test's cases on simulated machines: the systems the package claims
// (from its analysis on each), the cases of systems x paths x drivers, each
// run by the shared runner (kvlab) on a copy of the system's prepared
// machine and judged by the shared truth check.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "lab.h"
#include "test_command.h"
#include "truth.h"

using nlohmann::json;
namespace fs = std::filesystem;

namespace {

// A system of the table: its release for the analysis, and for a control
// the exit number the program must refuse it with.
struct SystemInfo {
  const char* pszName;
  const char* pszOs;
  const char* pszArch;
  const char* pszDriversOf;  // a control takes the drivers of this system
  int nRefusal;              // 0: not a control
  const char* pszWhy;
};

const std::vector<SystemInfo>& systems() {
  static const std::vector<SystemInfo> all = {
      {"xp-x86", "xp", "x86", nullptr, 0, ""},
      {"win7-x86", "win7", "x86", nullptr, 0, ""},
      {"win7-x64", "win7", "amd64", nullptr, 0, ""},
      {"win10-x64", "win10", "amd64", nullptr, 0, ""},
      {"vista-x86", "vista", "x86", nullptr, 0, ""},
      {"win8-x64", "win8", "amd64", nullptr, 0, ""},
      {"win2k-x86", "win2k", "x86", nullptr, 0, ""},
      {"win7-x64-user", "win7", "amd64", "win7-x64", 27, "the user is no administrator"},
      {"win7-x64-wow64", "win7", "amd64", "win7-x64", 15, "a 32-bit process on a 64-bit system"},
      {"win7-x64-nospooler", "win7", "amd64", "win7-x64", 28, "the print spooler is not running"},
      {"nt4-x86", "nt4", "x86", "xp-x86", 14, "a system older than Windows 2000"},
  };
  return all;
}

const SystemInfo* systemInfo(const std::string& strName) {
  for (const auto& s : systems()) {
    if (strName == s.pszName) return &s;
  }
  return nullptr;
}

// The releases an INF platform decoration covers, by default.
std::vector<std::string> claimedBy(const std::string& strPlatform) {
  std::string p;
  for (char c : strPlatform) p += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (p.find("amd64") != std::string::npos || p.find("x64") != std::string::npos) return {"win7-x64", "win10-x64"};
  if (p.find("x86") != std::string::npos || p.find("nt") != std::string::npos || p.empty()) return {"xp-x86", "win7-x86"};
  return {};
}

struct Driver {
  std::string strName, strHardwareId, strModel;
};

// What the analysis on one system says.
struct Analysis {
  bool bRan = false;
  std::vector<Driver> lstAdmitted;
  std::set<std::string> platforms;  // of every candidate
  std::string strWhy;               // no driver admitted: why, in one line
};

std::string firstLine(const std::string& s) {
  const size_t end = s.find_first_of("\r\n");
  std::string line = s.substr(0, end);
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

Analysis analyse(const fs::path& self, const fs::path& package, const SystemInfo& s) {
  Analysis a;
  const kvlab::ProcessResult r = kvlab::runProcess(
      {self.string(), "analyze", package.string(), "--json", "--os", s.pszOs, "--arch", s.pszArch}, {}, 60);
  json j;
  try {
    j = json::parse(r.strOut);
  } catch (const json::exception&) {
    a.strWhy = "the analysis gave no result: " + firstLine(r.strErr);
    return a;
  }
  a.bRan = true;
  if (j.contains("explanation")) {
    std::string strWhy = "the package fails the analysis";
    if (j["explanation"].is_array() && !j["explanation"].empty() && j["explanation"][0].is_string())
      strWhy += ": " + firstLine(j["explanation"][0].get<std::string>());
    else if (j.contains("errorText1") && j["errorText1"].is_string())
      strWhy += ": " + firstLine(j["errorText1"].get<std::string>());
    a.strWhy = strWhy;
    return a;
  }
  std::string strRefusal;
  if (j.contains("systemRefused") && j["systemRefused"].is_string()) strRefusal = j["systemRefused"].get<std::string>();
  std::string strFirstReason;
  if (j.contains("candidates") && j["candidates"].is_array()) {
    for (const auto& c : j["candidates"]) {
      const auto str = [&](const char* k) {
        return c.contains(k) && c[k].is_string() ? c[k].get<std::string>() : std::string();
      };
      a.platforms.insert(str("strPlatform"));
      if (c.contains("admitted") && c["admitted"].is_boolean() && c["admitted"].get<bool>()) {
        Driver d{str("strDriverName"), str("strHardwareID"), str("strModelName")};
        const size_t comma = d.strHardwareId.find(',');
        if (comma != std::string::npos) d.strHardwareId.erase(comma);
        if (std::none_of(a.lstAdmitted.begin(), a.lstAdmitted.end(),
                         [&](const Driver& x) { return x.strName == d.strName; }))
          a.lstAdmitted.push_back(d);
      } else if (strFirstReason.empty()) {
        strFirstReason = str("admission");
      }
    }
  }
  if (a.lstAdmitted.empty())
    a.strWhy = "no driver of the package is admitted" +
               (!strRefusal.empty() ? ": " + strRefusal : !strFirstReason.empty() ? ": " + firstLine(strFirstReason) : "");
  return a;
}

std::vector<std::string> splitList(const std::string& s) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= s.size()) {
    const size_t comma = s.find(',', start);
    std::string item = s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    while (!item.empty() && item.front() == ' ') item.erase(item.begin());
    while (!item.empty() && item.back() == ' ') item.pop_back();
    if (!item.empty()) out.push_back(item);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

std::string exitMeaning(int n) {
  static const std::map<int, const char*> m = {
      {3, "the wizard went another way than the path (the UI script did not fit)"},
      {7, "another instance is running"},
      {11, "the Windows 95 family"},
      {14, "a system the program does not support"},
      {15, "a 32-bit process on a 64-bit system"},
      {16, "the command line was refused"},
      {17, "the installation report cannot be written"},
      {18, "the installation report cannot be written"},
      {19, "the installation report cannot be written"},
      {22, "KVISETUP.INI is missing"},
      {23, "KVISETUP.INI has a value the program refuses"},
      {27, "the user is no administrator"},
      {28, "the spooler is not running"},
      {32, "the package's candidate drivers could not be gathered"},
      {33, "the spooler's lists could not be made"},
      {125, "the simulated machine cannot be read"},
  };
  const auto it = m.find(n);
  return "exit " + std::to_string(n) + (it == m.end() ? "" : std::string(": ") + it->second);
}

struct CaseSpec {
  std::string strSystem, strPath;
  Driver driver;
  int nRefusal = 0;          // a control
  std::string strRefusalWhy;
  std::string strNoDriver;   // set: the case fails without a run, for this reason
  size_t nIndex = 0;
};

std::string quoteForScript(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::vector<std::string> usbScript(const Driver& d, bool bPlug) {
  std::vector<std::string> s = {"page 1000: click 1003; next", "page 133: uncheck 1011; check 1012; ok",
                                "?page 149: select 1029 \"" + quoteForScript(d.strName) + "\"; ok", "page 144: next",
                                "page 136", "page 145"};
  if (!bPlug) {
    s.push_back("page 146: cancel");
    s.push_back("page 147: ok");
  }
  s.push_back("page 1001: ok");
  s.push_back("page 135: ok");
  return s;
}

std::vector<std::string> toStrings(const std::vector<kvlab::Printer>& l) {
  std::vector<std::string> out;
  for (const auto& p : l) out.push_back(p.strName + "\t" + p.strDriver + "\t" + p.strPort);
  return out;
}

bool hasPrinterOf(const kvlab::MachineState& s, const std::string& strDriver) {
  return std::any_of(s.lstPrinters.begin(), s.lstPrinters.end(),
                     [&](const kvlab::Printer& p) { return p.strDriver == strDriver; });
}

class Lab {
 public:
  Lab(kvlab::MachineCache& cache, fs::path work, std::string strSetupReg, bool bKeep)
      : m_cache(cache), m_work(std::move(work)), m_strSetupReg(std::move(strSetupReg)), m_bKeep(bKeep) {}

  KvpkgTestCase run(const CaseSpec& caseSpec) {
    KvpkgTestCase out;
    out.strSystem = caseSpec.strSystem;
    out.strPath = caseSpec.strPath;
    out.strDriver = caseSpec.driver.strName;
    out.nIndex = caseSpec.nIndex;
    const auto t0 = std::chrono::steady_clock::now();
    if (!caseSpec.strNoDriver.empty()) {
      out.strVerdict = "failed";
      out.strReason = caseSpec.strNoDriver;
      return out;
    }
    const fs::path root = m_work / ("case" + std::to_string(caseSpec.nIndex) + "-" + caseSpec.strSystem + "-" + caseSpec.strPath);
    const fs::path runs = root.string() + "-runs";
    std::string strError;
    const auto failed = [&](const std::string& strWhy) {
      out.strVerdict = "failed";
      out.strReason = strWhy;
      return out;
    };
    const kvlab::System system = *kvlab::systemByName(caseSpec.strSystem);
    std::function<bool(const fs::path&, std::string*)> prepare = [&](const fs::path& r, std::string* pstrError) {
      if (!m_cache.makeMachine(system, r, pstrError)) return false;
      if (!m_strSetupReg.empty()) {
        const kvlab::ProcessResult p = kvlab::kvsimAt(m_cache.tools(), r, {"reg", "import", m_strSetupReg});
        if (p.nExit != 0) {
          *pstrError = "--setup-reg: " + firstLine(p.strErr);
          return false;
        }
      }
      if (caseSpec.strPath == "network") {
        const std::string strModel = caseSpec.driver.strModel.empty() ? caseSpec.driver.strName : caseSpec.driver.strModel;
        const kvlab::ProcessResult p = kvlab::kvsimAt(m_cache.tools(), r, {"net", "add", "10.0.0.20", strModel});
        if (p.nExit != 0) {
          *pstrError = "kvsim net add: " + firstLine(p.strErr);
          return false;
        }
      }
      return true;
    };
    const std::vector<std::string> batchAdd = {"+B", "+A:" + caseSpec.driver.strName, "+Q:1"};
    std::vector<std::string> script;
    std::vector<std::string> args;
    bool bPlug = false;
    const bool bFirstAdd = caseSpec.strPath == "update" || caseSpec.strPath == "delete";
    if (caseSpec.nRefusal || caseSpec.strPath == "batch-add") {
      args = batchAdd;
    } else if (caseSpec.strPath == "add") {
      script = {"page 1000: click 1003; next", "page 133: uncheck 1011; uncheck 1012; ok", "page 135: ok"};
    } else if (bFirstAdd) {
      args = {"+B", (caseSpec.strPath == "update" ? "+R:" : "+D:") + caseSpec.driver.strName, "+Q:1"};
    } else if (caseSpec.strPath == "usb" || caseSpec.strPath == "timeout") {
      bPlug = caseSpec.strPath == "usb";
      script = usbScript(caseSpec.driver, bPlug);
      if (bPlug && caseSpec.driver.strHardwareId.empty()) return failed("the driver names no hardware ID for the USB path");
    } else if (caseSpec.strPath == "network") {
      script = {"page 1000: click 1003; next", "page 133: check 1011; ok", "page 139", "page 140: select 1015 0; next",
                "page 135: ok"};
    }
    std::string strFirstAdd;  // why the printer to update or delete could not be added
    kvlab::AdaptiveRun how;
    how.prepare = [&](const fs::path& r, std::string* pstrError) {
      if (!prepare(r, pstrError)) return false;
      if (bFirstAdd) {
        // The printer to update or delete, added as a user's batch run does.
        kvlab::RunSpec first;
        first.lstArgs = batchAdd;
        first.dTimeoutSeconds = 60;
        kvlab::AdaptiveRun add;
        add.prepare = [](const fs::path&, std::string*) { return true; };
        add.run = [&](const fs::path& r2, const fs::path& f, const std::string& strScript) {
          first.strScript = strScript;
          return kvlab::runOnce(m_cache.tools(), r2, f, first);
        };
        add.bFreshMachine = false;
        const kvlab::AdaptiveResult added = kvlab::runAdaptive(add, r, runs / "add", {});
        if (!added.record.toldSuccess() || !hasPrinterOf(added.record.after, caseSpec.driver.strName)) {
          strFirstAdd = "the printer to " + caseSpec.strPath + " could not be added first (" + exitMeaning(added.record.nExit) +
                        (added.record.status ? ", status " + std::to_string(*added.record.status) : std::string()) + ")";
        }
      }
      return true;
    };
    how.run = [&](const fs::path& r, const fs::path& folder, const std::string& strScript) {
      kvlab::RunSpec rs;
      rs.lstArgs = args;
      rs.strScript = strScript;
      rs.dTimeoutSeconds = 60;
      kvlab::Started started = kvlab::startRun(m_cache.tools(), r, folder, rs);
      if (bPlug) {
        const fs::path log = started.record.before.tempHost / "KV_SETUPDetail.LOG";
        if (kvlab::waitUntil(
                started,
                [&] { return kvlab::readWhole(log).find("CPowerOnDialog::OnInitDialog() wait time") != std::string::npos; },
                60))
          kvlab::kvsimAt(m_cache.tools(), r, {"usb", "plug", caseSpec.driver.strHardwareId, "--description", caseSpec.driver.strName});
      }
      return kvlab::finishRun(m_cache.tools(), started);
    };
    kvlab::AdaptiveResult res = kvlab::runAdaptive(how, root, runs, script);
    if (!res.strError.empty()) return failed("the machine cannot be made: " + res.strError);
    if (!strFirstAdd.empty()) return finish(out, res.record, t0, root, strFirstAdd);
    const kvlab::Record& record = res.record;
    return finish(out, record, t0, root, verdict(caseSpec, record, &out.strVerdict));
  }

 private:
  // The reason the case failed ("" when it did not); *pstrVerdict set.
  static std::string verdict(const CaseSpec& caseSpec, const kvlab::Record& r, std::string* pstrVerdict) {
    const std::vector<kvlab::Finding> findings = kvlab::truthCheck(r);
    std::string strWhy;
    if (caseSpec.nRefusal) {
      if (r.nExit != caseSpec.nRefusal)
        strWhy = "expected the refusal " + exitMeaning(caseSpec.nRefusal) + ", got " + exitMeaning(r.nExit);
      else if (!findings.empty())
        strWhy = findings.front().strText;
      else if (toStrings(r.before.lstPrinters) != toStrings(r.after.lstPrinters))
        strWhy = "refused, but the printers changed";
      *pstrVerdict = strWhy.empty() ? "refused" : "failed";
      return strWhy.empty() ? exitMeaning(r.nExit) + " (" + caseSpec.strRefusalWhy + ")" : strWhy;
    }
    if (r.nExit == 3 && !r.strScriptMisfit.empty()) {
      strWhy = "the wizard went another way: " + r.strScriptMisfit;
    } else if (!findings.empty()) {
      strWhy = findings.front().strText;
      if (findings.size() > 1) strWhy += " (and " + std::to_string(findings.size() - 1) + " more)";
    } else if (r.nExit != 0) {
      strWhy = exitMeaning(r.nExit);
      if (r.nExit == 2 && !r.strErr.empty()) strWhy += " (" + firstLine(r.strErr) + ")";
    } else if (!r.status) {
      strWhy = "the parent received no status word";
    } else if (*r.status & 0x1) {
      std::string strBox;
      for (const auto& p : r.lstPages) {
        if (p.rfind("msgbox IDS_ERR", 0) == 0) strBox = p.substr(7);
      }
      strWhy = "reported an installation error" + (strBox.empty() ? std::string() : " (" + strBox + ")");
    } else if (*r.status & 0x2) {
      strWhy = "ended cancelled";
    } else if (caseSpec.strPath == "delete") {
      if (hasPrinterOf(r.after, caseSpec.driver.strName)) strWhy = "a printer of " + caseSpec.driver.strName + " remains";
    } else if (caseSpec.driver.strName.empty()) {
      // A path that does not choose the driver: a printer it added.
      const bool bNew = std::any_of(r.after.lstPrinters.begin(), r.after.lstPrinters.end(),
                                    [&](const kvlab::Printer& p) { return !r.before.printer(p.strName); });
      if (!bNew) strWhy = "reported success, but no new printer exists";
    } else if (!hasPrinterOf(r.after, caseSpec.driver.strName)) {
      strWhy = "reported success, but no printer of " + caseSpec.driver.strName + " exists";
    }
    *pstrVerdict = strWhy.empty() ? "passed" : "failed";
    return strWhy;
  }

  KvpkgTestCase finish(KvpkgTestCase& out, const kvlab::Record& r, std::chrono::steady_clock::time_point t0,
                       const fs::path& root, const std::string& strReason) {
    if (out.strVerdict.empty()) out.strVerdict = "failed";
    out.strReason = strReason;
    out.nExit = r.nExit;
    if (r.status) out.status = *r.status;
    out.lstResults = r.lstResults;
    out.lstPages = r.lstPages;
    out.lstPrintersBefore = toStrings(r.before.lstPrinters);
    out.lstPrintersAfter = toStrings(r.after.lstPrinters);
    out.lstDriversBefore = r.before.lstDrivers;
    out.lstDriversAfter = r.after.lstDrivers;
    out.lstPortsBefore = r.before.lstPorts;
    out.lstPortsAfter = r.after.lstPorts;
    out.strTranscript = r.strTranscript;
    out.strReport = r.strReport;
    if (out.strVerdict == "failed") out.strDetailLog = r.strDetailLog;
    out.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!m_bKeep) {
      std::error_code ec;
      fs::remove_all(root, ec);
      fs::remove_all(root.string() + "-runs", ec);
    }
    return out;
  }

  kvlab::MachineCache& m_cache;
  fs::path m_work;
  std::string m_strSetupReg;
  bool m_bKeep;
};

}  // namespace

bool kvpkgRunTestCases(const KvpkgTestOptions& opt, KvpkgTestRun* pRun, int* pnExit, std::string* pstrError) {
  const auto usage = [&](const std::string& s) {
    *pnExit = kTestExitUsage;
    *pstrError = s;
    return false;
  };
  const auto machineFailure = [&](const std::string& s) {
    *pnExit = kTestExitMachine;
    *pstrError = s;
    return false;
  };
  std::error_code ec;
  const fs::path package = fs::absolute(opt.strPackage, ec);
  if (ec || !fs::is_directory(package, ec)) return usage(opt.strPackage + ": no such folder");
  bool bIni = false;
  for (fs::directory_iterator it(package, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    bIni |= name == "KVISETUP.INI";
  }
  if (!bIni) return usage(opt.strPackage + ": not a driver package (no KVISETUP.INI in it)");
  int nShard = 1, nShards = 1;
  if (!opt.strShard.empty() && !kvpkgParseShard(opt.strShard, &nShard, &nShards))
    return usage("--shard " + opt.strShard + ": not I/N with 1 <= I <= N");
  std::vector<std::string> lstPaths = opt.strPaths.empty() ? kvpkgTestPaths() : splitList(opt.strPaths);
  for (const auto& p : lstPaths) {
    if (std::find(kvpkgTestPaths().begin(), kvpkgTestPaths().end(), p) == kvpkgTestPaths().end())
      return usage("--paths: unknown path '" + p + "' (batch-add, add, update, delete, usb, network, timeout)");
  }
  if (lstPaths.empty()) return usage("--paths: no path named");
  std::vector<std::string> lstAsked = splitList(opt.strSystems);
  for (const auto& s : lstAsked) {
    if (!systemInfo(s)) {
      std::string known;
      for (const auto& x : systems()) known += std::string(known.empty() ? "" : ", ") + x.pszName;
      return usage("--systems: unknown system '" + s + "' (" + known + ")");
    }
  }
  if (!opt.strSystems.empty() && lstAsked.empty()) return usage("--systems: no system named");
  if (!opt.strSetupReg.empty() && !fs::is_regular_file(opt.strSetupReg, ec))
    return usage("--setup-reg " + opt.strSetupReg + ": no such file");

  // The programs beside kvpkg.
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  const fs::path bin = self.parent_path();
  kvlab::Tools tools{bin / "kvsim", bin / "kvparent", bin / "kv_setup"};
  for (const fs::path& p : {tools.kvsim, tools.kvparent, tools.setup}) {
    if (!fs::is_regular_file(p, ec)) return machineFailure(p.string() + " is missing: kvpkg test runs the programs beside it");
  }

  const auto t0 = std::chrono::steady_clock::now();
  // The analysis on each system that may be in the table, in parallel.
  std::vector<std::string> lstCandidates = {"xp-x86", "win7-x86", "win7-x64", "win10-x64"};
  for (const auto& s : lstAsked) {
    const SystemInfo* info = systemInfo(s);
    const std::string base = info->pszDriversOf ? info->pszDriversOf : s;
    if (std::find(lstCandidates.begin(), lstCandidates.end(), base) == lstCandidates.end()) lstCandidates.push_back(base);
  }
  std::map<std::string, Analysis> analyses;
  {
    std::mutex m;
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    for (int j = 0; j < std::max(1, opt.nJobs); ++j) {
      workers.emplace_back([&] {
        for (size_t i; (i = next++) < lstCandidates.size();) {
          Analysis a = analyse(self, package, *systemInfo(lstCandidates[i]));
          std::lock_guard<std::mutex> lock(m);
          analyses[lstCandidates[i]] = std::move(a);
        }
      });
    }
    for (auto& w : workers) w.join();
  }
  std::set<std::string> claimed;
  for (const auto& [name, a] : analyses) {
    for (const auto& p : a.platforms) {
      for (const auto& s : claimedBy(p)) claimed.insert(s);
    }
  }
  std::vector<std::string> lstSystems;
  if (lstAsked.empty()) {
    for (const char* s : {"xp-x86", "win7-x86", "win7-x64", "win10-x64"}) {
      if (claimed.count(s)) lstSystems.push_back(s);
    }
    if (lstSystems.empty()) {
      std::string why;
      for (const auto& [name, a] : analyses) {
        if (!a.strWhy.empty()) {
          why = a.strWhy;
          break;
        }
      }
      *pnExit = 1;
      *pstrError = "the package claims none of the systems (" + (why.empty() ? std::string("no printer INF") : why) + ")";
      return false;
    }
    for (const char* s : {"win7-x64-user", "win7-x64-wow64", "win7-x64-nospooler", "nt4-x86"}) lstSystems.push_back(s);
  } else {
    lstSystems = lstAsked;
  }

  // The cases of the whole run, in table order; a shard keeps every N-th.
  std::vector<CaseSpec> all;
  for (const auto& s : lstSystems) {
    const SystemInfo& info = *systemInfo(s);
    const Analysis& a = analyses[info.pszDriversOf ? info.pszDriversOf : s];
    if (info.nRefusal) {
      CaseSpec c;
      c.strSystem = s;
      c.strPath = std::find(lstPaths.begin(), lstPaths.end(), "batch-add") != lstPaths.end() ? "batch-add" : lstPaths.front();
      c.nRefusal = info.nRefusal;
      c.strRefusalWhy = info.pszWhy;
      // Any driver of the package: the program refuses before it looks.
      for (const auto& [n, an] : analyses) {
        if (c.driver.strName.empty() && !an.lstAdmitted.empty()) c.driver = an.lstAdmitted.front();
      }
      if (!a.lstAdmitted.empty()) c.driver = a.lstAdmitted.front();
      c.strPath = "batch-add";
      all.push_back(c);
      continue;
    }
    for (const auto& p : lstPaths) {
      if (a.lstAdmitted.empty()) {
        CaseSpec c;
        c.strSystem = s;
        c.strPath = p;
        c.strNoDriver = a.strWhy.empty() ? "no driver of the package is admitted" : a.strWhy;
        all.push_back(c);
        continue;
      }
      // The pages of the add and network paths choose no driver: one case.
      const bool bOnce = p == "add" || p == "network";
      for (const auto& d : a.lstAdmitted) {
        CaseSpec c;
        c.strSystem = s;
        c.strPath = p;
        c.driver = d;
        if (c.driver.strModel.empty()) c.driver.strModel = d.strName;
        if (bOnce) c.driver.strName.clear();
        all.push_back(c);
        if (bOnce) break;
      }
    }
  }
  std::vector<CaseSpec> mine;
  for (size_t i = 0; i < all.size(); ++i) {
    all[i].nIndex = i;
    if (static_cast<int>(i % static_cast<size_t>(nShards)) == nShard - 1) mine.push_back(all[i]);
  }

  // The work folder: --keep's, else a scratch one removed at the end.
  fs::path work;
  const bool bKeep = !opt.strKeep.empty();
  if (bKeep) {
    work = fs::absolute(opt.strKeep, ec);
    fs::create_directories(work, ec);
    if (ec || !fs::is_directory(work, ec)) return usage("--keep " + opt.strKeep + ": cannot be made");
  } else {
    work = fs::temp_directory_path() / ("kvpkg-test-" + std::to_string(getpid()));
    fs::create_directories(work, ec);
  }
  kvlab::Package pkg;
  pkg.lstFolders.push_back(package);
  kvlab::MachineCache cache(tools, pkg, kvlab::defaultCacheFolder());
  Lab lab(cache, work, opt.strSetupReg.empty() ? "" : fs::absolute(opt.strSetupReg).string(), bKeep);

  std::vector<KvpkgTestCase> results(mine.size());
  std::atomic<size_t> next{0}, done{0};
  std::mutex progress;
  const bool bTerminal = isatty(STDERR_FILENO);
  std::vector<std::thread> workers;
  for (int j = 0; j < std::max(1, opt.nJobs); ++j) {
    workers.emplace_back([&] {
      for (size_t i; (i = next++) < mine.size();) {
        results[i] = lab.run(mine[i]);
        const size_t n = ++done;
        if (bTerminal) {
          std::lock_guard<std::mutex> lock(progress);
          std::fprintf(stderr, "\r\033[K[%zu/%zu] %s / %s: %s", n, mine.size(), results[i].strSystem.c_str(),
                       results[i].strPath.c_str(), results[i].strVerdict.c_str());
          std::fflush(stderr);
        }
      }
    });
  }
  for (auto& w : workers) w.join();
  if (bTerminal) std::fprintf(stderr, "\r\033[K");
  if (!bKeep) fs::remove_all(work, ec);

  pRun->strPackage = package.string();
  pRun->lstSystems = lstSystems;
  pRun->lstPaths = lstPaths;
  pRun->strShard = opt.strShard;
  pRun->nTotalCases = all.size();
  pRun->lstCases = std::move(results);
  pRun->dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return true;
}
