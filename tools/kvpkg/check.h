// kvpkg check: what its parts share. Each part adds its findings: errors
// are what would stop the wizard, warnings what the program silently
// replaces, ignores or gets wrong, and notes what a package engineer should
// know without anything being wrong (a driver this system does not take).
#pragma once

#include <string>
#include <vector>

#include "kvpkg.h"

enum class KvpkgSeverity { kError, kWarning, kNote };

struct KvpkgFinding {
  KvpkgSeverity severity;
  std::string area;  // "KVISETUP.INI", "INF", "driver file", "catalogue", ...
  std::string item;  // the key, file or id
  std::string text;
  int failure = 0;  // the analysis's failure number, 0 when the finding is none of its rules
};

class KvpkgFindings {
 public:
  void error(const std::string& area, const std::string& item, const std::string& text, int failure = 0) {
    m_list.push_back({KvpkgSeverity::kError, area, item, text, failure});
  }
  void warning(const std::string& area, const std::string& item, const std::string& text) {
    m_list.push_back({KvpkgSeverity::kWarning, area, item, text, 0});
  }
  void note(const std::string& area, const std::string& item, const std::string& text) {
    m_list.push_back({KvpkgSeverity::kNote, area, item, text, 0});
  }
  bool hasErrorIn(const std::string& area) const {
    for (const KvpkgFinding& f : m_list)
      if (f.severity == KvpkgSeverity::kError && f.area == area) return true;
    return false;
  }
  const std::vector<KvpkgFinding>& list() const { return m_list; }

 private:
  std::vector<KvpkgFinding> m_list;
};

// "\"A\", \"B\", \"C\" and 148 more": a list of names kept short.
std::string kvpkgNameList(const std::vector<std::string>& names, size_t shown = 3);

// The INF files of the package, each against every rule of the analysis,
// every model's admission on this system, and the driver files' versions
// and platforms against the description file and the INF (check_drivers.cpp).
void kvpkgCheckDrivers(const std::string& strFolder, KvpkgFindings& out);
