// kvpkg test: the command line, the merge of shards and the outputs (table,
// JSON, JUnit, HTML). The runs themselves are in test_run_*.cpp.
#include "test_command.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

using nlohmann::json;
namespace fs = std::filesystem;

const std::vector<std::string>& kvpkgTestPaths() {
  static const std::vector<std::string> paths = {"batch-add", "add", "update", "delete", "usb", "network", "timeout"};
  return paths;
}

bool kvpkgParseShard(const std::string& strShard, int* pnIndex, int* pnCount) {
  const size_t slash = strShard.find('/');
  if (slash == std::string::npos || slash == 0 || slash + 1 >= strShard.size() || strShard.size() > 9) return false;
  const std::string a = strShard.substr(0, slash), b = strShard.substr(slash + 1);
  const auto digits = [](const std::string& s) { return s.find_first_not_of("0123456789") == std::string::npos; };
  if (!digits(a) || !digits(b)) return false;
  const int i = std::atoi(a.c_str()), n = std::atoi(b.c_str());
  if (i < 1 || n < 1 || i > n || n > 1000) return false;
  *pnIndex = i;
  *pnCount = n;
  return true;
}

// ---- JSON --------------------------------------------------------------------

namespace {

// Text for JSON: bytes that are not UTF-8 are replaced at the dump.
std::string dump(const json& j) { return j.dump(2, ' ', false, json::error_handler_t::replace); }

json caseJson(const KvpkgTestCase& c) {
  json o = {{"system", c.strSystem},
            {"path", c.strPath},
            {"driver", c.strDriver},
            {"verdict", c.strVerdict},
            {"reason", c.strReason},
            {"exit", c.nExit},
            {"results", c.lstResults},
            {"pages", c.lstPages},
            {"printersBefore", c.lstPrintersBefore},
            {"printersAfter", c.lstPrintersAfter},
            {"driversBefore", c.lstDriversBefore},
            {"driversAfter", c.lstDriversAfter},
            {"portsBefore", c.lstPortsBefore},
            {"portsAfter", c.lstPortsAfter},
            {"transcript", c.strTranscript},
            {"report", c.strReport},
            {"detailLog", c.strDetailLog},
            {"seconds", c.dSeconds},
            {"index", c.nIndex}};
  o["status"] = c.status ? json(*c.status) : json(nullptr);
  return o;
}

template <typename T>
bool field(const json& o, const char* name, T* out) {
  const auto it = o.find(name);
  if (it == o.end()) return false;
  try {
    *out = it->get<T>();
  } catch (const json::exception&) {
    return false;
  }
  return true;
}

std::string htmlEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

// XML 1.0 text: characters XML cannot hold are left out.
std::string xmlEscape(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') continue;
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += static_cast<char>(c);
    }
  }
  return out;
}

// The cases of one cell, in run order.
std::vector<const KvpkgTestCase*> cell(const KvpkgTestRun& run, const std::string& strSystem, const std::string& strPath) {
  std::vector<const KvpkgTestCase*> out;
  for (const auto& c : run.lstCases) {
    if (c.strSystem == strSystem && c.strPath == strPath) out.push_back(&c);
  }
  return out;
}

std::string mark(const std::vector<const KvpkgTestCase*>& cases) {
  if (cases.empty()) return "-";
  bool bFailed = false, bRefused = false, bPassed = false;
  for (const auto* c : cases) {
    bFailed |= c->strVerdict == "failed";
    bRefused |= c->strVerdict == "refused";
    bPassed |= c->strVerdict == "passed";
  }
  if (bFailed) return "FAIL";
  if (bRefused) return "refused";
  return bPassed ? "ok" : "skip";
}

size_t countVerdict(const KvpkgTestRun& run, const std::string& strVerdict) {
  return static_cast<size_t>(std::count_if(run.lstCases.begin(), run.lstCases.end(),
                                           [&](const KvpkgTestCase& c) { return c.strVerdict == strVerdict; }));
}

}  // namespace

json kvpkgTestJson(const KvpkgTestRun& run) {
  json o = {{"package", run.strPackage}, {"systems", run.lstSystems}, {"paths", run.lstPaths},
            {"shard", run.strShard},     {"totalCases", run.nTotalCases}, {"seconds", run.dSeconds},
            {"cases", json::array()}};
  for (const auto& c : run.lstCases) o["cases"].push_back(caseJson(c));
  return o;
}

bool kvpkgTestFromJson(const json& j, KvpkgTestRun* pRun, std::string* pstrError) {
  if (!j.is_object() || !j.contains("cases") || !j["cases"].is_array()) {
    *pstrError = "not the JSON of kvpkg test (no \"cases\" list)";
    return false;
  }
  KvpkgTestRun run;
  field(j, "package", &run.strPackage);
  field(j, "systems", &run.lstSystems);
  field(j, "paths", &run.lstPaths);
  field(j, "shard", &run.strShard);
  field(j, "totalCases", &run.nTotalCases);
  field(j, "seconds", &run.dSeconds);
  for (const auto& o : j["cases"]) {
    KvpkgTestCase c;
    if (!o.is_object() || !field(o, "system", &c.strSystem) || !field(o, "path", &c.strPath) ||
        !field(o, "verdict", &c.strVerdict) || !field(o, "index", &c.nIndex)) {
      *pstrError = "a case without its system, path, verdict or index";
      return false;
    }
    field(o, "driver", &c.strDriver);
    field(o, "reason", &c.strReason);
    field(o, "exit", &c.nExit);
    unsigned status = 0;
    if (field(o, "status", &status)) c.status = status;
    field(o, "results", &c.lstResults);
    field(o, "pages", &c.lstPages);
    field(o, "printersBefore", &c.lstPrintersBefore);
    field(o, "printersAfter", &c.lstPrintersAfter);
    field(o, "driversBefore", &c.lstDriversBefore);
    field(o, "driversAfter", &c.lstDriversAfter);
    field(o, "portsBefore", &c.lstPortsBefore);
    field(o, "portsAfter", &c.lstPortsAfter);
    field(o, "transcript", &c.strTranscript);
    field(o, "report", &c.strReport);
    field(o, "detailLog", &c.strDetailLog);
    field(o, "seconds", &c.dSeconds);
    run.lstCases.push_back(std::move(c));
  }
  *pRun = std::move(run);
  return true;
}

// ---- The table -------------------------------------------------------------------

std::string kvpkgTestTable(const KvpkgTestRun& run) {
  std::ostringstream out;
  size_t wSystem = 7;
  for (const auto& s : run.lstSystems) wSystem = std::max(wSystem, s.size());
  const size_t wCell = 9;
  const auto pad = [](std::string s, size_t w) {
    s.resize(std::max(s.size(), w), ' ');
    return s;
  };
  out << pad("system", wSystem);
  for (const auto& p : run.lstPaths) out << "  " << pad(p, wCell);
  out << "\n";
  for (const auto& s : run.lstSystems) {
    out << pad(s, wSystem);
    for (const auto& p : run.lstPaths) out << "  " << pad(mark(cell(run, s, p)), wCell);
    out << "\n";
  }
  bool bFirst = true;
  for (const auto& c : run.lstCases) {
    if (c.strVerdict != "failed") continue;
    if (bFirst) out << "\nfailed:\n";
    bFirst = false;
    out << "  " << c.strSystem << " / " << c.strPath << (c.strDriver.empty() ? "" : " / " + c.strDriver) << ": "
        << c.strReason << "\n";
  }
  char line[200];
  std::snprintf(line, sizeof line, "\n%zu case(s)%s: %zu passed, %zu refused as expected, %zu failed, %zu skipped; %.1f s\n",
                run.lstCases.size(), run.strShard.empty() ? "" : (" of shard " + run.strShard).c_str(),
                countVerdict(run, "passed"), countVerdict(run, "refused"), countVerdict(run, "failed"),
                countVerdict(run, "skipped"), run.dSeconds);
  out << line;
  return out.str();
}

// ---- JUnit -----------------------------------------------------------------------

namespace {
std::string seconds(double d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", d < 0 ? 0.0 : d);
  return buf;
}
}  // namespace

std::string kvpkgTestJunit(const KvpkgTestRun& run) {
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out << "<testsuites name=\"kvpkg test\" tests=\"" << run.lstCases.size() << "\" failures=\""
      << countVerdict(run, "failed") << "\" errors=\"0\" time=\"" << seconds(run.dSeconds) << "\">\n";
  int nSuite = 0;
  for (const auto& s : run.lstSystems) {
    std::vector<const KvpkgTestCase*> cases;
    for (const auto& c : run.lstCases) {
      if (c.strSystem == s) cases.push_back(&c);
    }
    if (cases.empty()) continue;
    size_t nFailed = 0, nSkipped = 0;
    double dTime = 0;
    for (const auto* c : cases) {
      nFailed += c->strVerdict == "failed";
      nSkipped += c->strVerdict == "skipped";
      dTime += c->dSeconds;
    }
    out << "  <testsuite name=\"" << xmlEscape(s) << "\" id=\"" << nSuite++ << "\" package=\""
        << xmlEscape(run.strPackage) << "\" tests=\"" << cases.size() << "\" failures=\"" << nFailed
        << "\" errors=\"0\" skipped=\"" << nSkipped << "\" time=\"" << seconds(dTime) << "\" timestamp=\"1970-01-01T00:00:00\" hostname=\"kvsim\">\n";
    out << "    <properties/>\n";
    for (const auto* c : cases) {
      out << "    <testcase name=\"" << xmlEscape(c->strPath + (c->strDriver.empty() ? "" : " " + c->strDriver))
          << "\" classname=\"" << xmlEscape(s) << "\" time=\"" << seconds(c->dSeconds) << "\"";
      if (c->strVerdict == "failed") {
        out << ">\n      <failure message=\"" << xmlEscape(c->strReason) << "\" type=\"truth\">"
            << xmlEscape(c->strReason) << "</failure>\n";
        out << "      <system-out>" << xmlEscape("-- transcript:\n" + c->strTranscript + "-- report:\n" + c->strReport)
            << "</system-out>\n";
        out << "      <system-err>" << xmlEscape("-- detail log:\n" + c->strDetailLog) << "</system-err>\n";
        out << "    </testcase>\n";
      } else if (c->strVerdict == "skipped") {
        out << ">\n      <skipped/>\n    </testcase>\n";
      } else {
        out << "/>\n";
      }
    }
    out << "    <system-out/>\n    <system-err/>\n  </testsuite>\n";
  }
  out << "</testsuites>\n";
  return out.str();
}

// ---- HTML ------------------------------------------------------------------------

std::string kvpkgTestHtml(const KvpkgTestRun& run) {
  std::ostringstream out;
  out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>kvpkg test: "
      << htmlEscape(run.strPackage) << "</title>\n<style>\n"
      << "body{font-family:sans-serif;margin:1.5em}table.m{border-collapse:collapse}\n"
      << "table.m td,table.m th{border:1px solid #999;padding:.3em .6em;text-align:center}\n"
      << ".ok{background:#cfc}.FAIL{background:#f99}.refused{background:#cde}.skip,.none{background:#eee}\n"
      << "pre{background:#f6f6f6;padding:.5em;white-space:pre-wrap;max-height:30em;overflow:auto}\n"
      << "details{margin:.3em 0}\n</style></head><body>\n";
  out << "<h1>kvpkg test</h1>\n<p>Package <code>" << htmlEscape(run.strPackage) << "</code>: " << run.lstCases.size()
      << " case(s), " << countVerdict(run, "passed") << " passed, " << countVerdict(run, "refused")
      << " refused as expected, " << countVerdict(run, "failed") << " failed.</p>\n";
  out << "<table class=\"m\" id=\"matrix\"><tr><th>system</th>";
  for (const auto& p : run.lstPaths) out << "<th>" << htmlEscape(p) << "</th>";
  out << "</tr>\n";
  for (const auto& s : run.lstSystems) {
    out << "<tr><th>" << htmlEscape(s) << "</th>";
    for (const auto& p : run.lstPaths) {
      const auto cases = cell(run, s, p);
      const std::string m = mark(cases);
      out << "<td class=\"" << (m == "-" ? "none" : m) << "\">";
      if (!cases.empty()) out << "<a href=\"#case" << cases.front()->nIndex << "\">" << htmlEscape(m) << "</a>";
      else out << "-";
      out << "</td>";
    }
    out << "</tr>\n";
  }
  out << "</table>\n<h2>Cases</h2>\n";
  const auto list = [](const std::vector<std::string>& l) {
    std::string s;
    for (const auto& x : l) s += x + "\n";
    return s.empty() ? std::string("(none)\n") : s;
  };
  for (const auto& c : run.lstCases) {
    out << "<details id=\"case" << c.nIndex << "\"" << (c.strVerdict == "failed" ? " open" : "") << "><summary>"
        << htmlEscape(c.strSystem + " / " + c.strPath + (c.strDriver.empty() ? "" : " / " + c.strDriver)) << ": <b>"
        << htmlEscape(c.strVerdict) << "</b>" << (c.strReason.empty() ? "" : " — " + htmlEscape(c.strReason))
        << "</summary>\n";
    out << "<p>exit " << c.nExit << ", status "
        << (c.status ? [&] {
             char b[16];
             std::snprintf(b, sizeof b, "0x%x", *c.status);
             return std::string(b);
           }()
                     : std::string("none"))
        << ", " << c.dSeconds << " s</p>\n";
    out << "<h4>Pages</h4><pre>" << htmlEscape(list(c.lstPages)) << "</pre>\n";
    out << "<h4>Printers after</h4><pre>" << htmlEscape(list(c.lstPrintersAfter)) << "</pre>\n";
    out << "<h4>Printers before</h4><pre>" << htmlEscape(list(c.lstPrintersBefore)) << "</pre>\n";
    out << "<h4>Report</h4><pre>" << htmlEscape(c.strReport.empty() ? "(none)" : c.strReport) << "</pre>\n";
    out << "<h4>Transcript</h4><pre>" << htmlEscape(c.strTranscript.empty() ? "(none)" : c.strTranscript) << "</pre>\n";
    if (!c.strDetailLog.empty()) out << "<h4>Detail log</h4><pre>" << htmlEscape(c.strDetailLog) << "</pre>\n";
    out << "</details>\n";
  }
  out << "</body></html>\n";
  return out.str();
}

// ---- Files -----------------------------------------------------------------------

bool kvpkgCanWrite(const std::string& strFile, std::string* pstrError) {
  std::error_code ec;
  const fs::path p = fs::absolute(strFile, ec);
  if (ec || p.filename().empty() || fs::is_directory(p, ec)) {
    *pstrError = strFile + ": not a file name";
    return false;
  }
  const fs::path probe = p.parent_path() / ("." + p.filename().string() + ".kvpkg-probe");
  {
    std::ofstream f(probe, std::ios::binary);
    if (!f) {
      *pstrError = strFile + ": cannot be written (its folder is missing or not writable)";
      return false;
    }
  }
  fs::remove(probe, ec);
  return true;
}

bool kvpkgWriteWhole(const std::string& strFile, const std::string& strText, std::string* pstrError) {
  const fs::path p = fs::absolute(strFile);
  const fs::path temp = p.parent_path() / ("." + p.filename().string() + ".kvpkg-new");
  {
    std::ofstream f(temp, std::ios::binary | std::ios::trunc);
    f << strText;
    f.flush();
    if (!f) {
      std::error_code ec;
      fs::remove(temp, ec);
      *pstrError = strFile + ": cannot be written";
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temp, p, ec);
  if (ec) {
    fs::remove(temp, ec);
    *pstrError = strFile + ": cannot be written";
    return false;
  }
  return true;
}

// ---- The command -----------------------------------------------------------------

CLI::App* kvpkgAddTestCommand(CLI::App& app, KvpkgTestOptions& opt) {
  CLI::App* cmd = app.add_subcommand(
      "test",
      "every wizard path of the package on every system it claims, each a whole run on a scratch machine judged by "
      "the truth check (exit 0 all passed, 1 some failed)");
  cmd->footer(
      "Systems: the decorations of the package's INFs name the releases it claims (xp-x86, win7-x86, win7-x64,\n"
      "win10-x64; others by --systems: vista-x86, win8-x64, win2k-x86), and four controls the program must refuse\n"
      "with its exit number: win7-x64-user (27), win7-x64-wow64 (15), win7-x64-nospooler (28), nt4-x86 (14).\n"
      "Paths: batch-add, add, update, delete, usb, network, timeout.\n"
      "Exit status: 0 every case passed; 1 a case failed; 2 the cases could not be run on this machine;\n"
      "64 a command line kvpkg cannot use. See docs/package-testing.md.");
  cmd->add_option("PACKAGE", opt.strPackage, "the package folder (where KVISETUP.INI is)");
  cmd->add_option("--systems", opt.strSystems, "comma-separated systems instead of the claimed ones and the controls");
  cmd->add_option("--paths", opt.strPaths, "comma-separated paths instead of all of them");
  cmd->add_option("--jobs", opt.nJobs, "cases run at once (1 to 64)")->check(CLI::Range(1, 64));
  cmd->add_option("--shard", opt.strShard, "run the I-th of N slices of the cases (I/N)");
  cmd->add_option("--json", opt.strJson, "write the results as JSON to FILE");
  cmd->add_option("--junit", opt.strJunit, "write a JUnit XML file (a suite per system, a case per path)");
  cmd->add_option("--html", opt.strHtml, "write one self-contained HTML page");
  cmd->add_option("--keep", opt.strKeep, "keep each case's machine in DIR");
  cmd->add_option("--setup-reg", opt.strSetupReg, "a .reg file imported into every case's machine before its run");
  cmd->add_option("--merge", opt.lstMerge, "join the JSON files of shards into one table and page (no run)")
      ->expected(1, -1);
  return cmd;
}

int kvpkgTest(const KvpkgTestOptions& opt) {
  const auto usage = [](const std::string& strText) {
    std::fprintf(stderr, "kvpkg test: %s\n", strText.c_str());
    return kTestExitUsage;
  };
  std::string strError;
  // Every output is checked first: a run is not made in vain.
  for (const std::string* f : {&opt.strJson, &opt.strJunit, &opt.strHtml}) {
    if (!f->empty() && !kvpkgCanWrite(*f, &strError)) return usage(strError);
  }
  KvpkgTestRun run;
  if (!opt.lstMerge.empty()) {
    if (!opt.strPackage.empty() || !opt.strShard.empty())
      return usage("--merge joins results: it takes no PACKAGE and no --shard");
    std::map<size_t, KvpkgTestCase> cases;
    for (const auto& file : opt.lstMerge) {
      std::ifstream in(file, std::ios::binary);
      if (!in) return usage(file + ": cannot be read");
      json j;
      try {
        j = json::parse(in);
      } catch (const json::exception&) {
        return usage(file + ": not JSON");
      }
      KvpkgTestRun part;
      if (!kvpkgTestFromJson(j, &part, &strError)) return usage(file + ": " + strError);
      if (run.lstSystems.empty()) {
        run.strPackage = part.strPackage;
        run.lstSystems = part.lstSystems;
        run.lstPaths = part.lstPaths;
        run.nTotalCases = part.nTotalCases;
      } else if (part.lstSystems != run.lstSystems || part.lstPaths != run.lstPaths ||
                 part.nTotalCases != run.nTotalCases) {
        return usage(file + ": the shard of another run (its systems, paths or case count differ)");
      }
      run.dSeconds = std::max(run.dSeconds, part.dSeconds);
      for (auto& c : part.lstCases) cases[c.nIndex] = std::move(c);
    }
    for (auto& [i, c] : cases) run.lstCases.push_back(std::move(c));
    if (run.lstCases.size() != run.nTotalCases)
      std::fprintf(stderr, "kvpkg test: note: the merged files hold %zu of the run's %zu cases\n", run.lstCases.size(),
                   run.nTotalCases);
  } else {
    if (opt.strPackage.empty()) return usage("which package? (kvpkg test PACKAGE, see kvpkg test --help)");
    int i = 0, n = 0;
    if (!opt.strShard.empty() && !kvpkgParseShard(opt.strShard, &i, &n))
      return usage("--shard " + opt.strShard + ": not I/N with 1 <= I <= N");
    int nExit = 0;
    if (!kvpkgRunTestCases(opt, &run, &nExit, &strError)) {
      std::fprintf(stderr, "kvpkg test: %s\n", strError.c_str());
      return nExit;
    }
  }
  std::printf("%s", kvpkgTestTable(run).c_str());
  std::fflush(stdout);
  bool bWritten = true;
  if (!opt.strJson.empty()) bWritten &= kvpkgWriteWhole(opt.strJson, dump(kvpkgTestJson(run)) + "\n", &strError);
  if (bWritten && !opt.strJunit.empty()) bWritten &= kvpkgWriteWhole(opt.strJunit, kvpkgTestJunit(run), &strError);
  if (bWritten && !opt.strHtml.empty()) bWritten &= kvpkgWriteWhole(opt.strHtml, kvpkgTestHtml(run), &strError);
  if (!bWritten) {
    std::fprintf(stderr, "kvpkg test: %s\n", strError.c_str());
    return kTestExitMachine;
  }
  return countVerdict(run, "failed") ? 1 : 0;
}
