// winsim: the table of built-in modules and their exports.
#include "modules.h"

#include <map>
#include <mutex>
#include <unordered_map>

#include "machine.h"

namespace winsim {
namespace {

std::mutex& tableMutex() {
  static std::mutex m;
  return m;
}

std::map<std::string, std::vector<ExportEntry>>& table() {
  static std::map<std::string, std::vector<ExportEntry>> t;
  return t;
}

// "KERNEL32" -> "kernel32.dll"; "winspool.drv" stays as it is.
std::string canonical(std::string_view name) {
  std::string n = toLower(name);
  if (auto slash = n.find_last_of("\\/"); slash != std::string::npos) n = n.substr(slash + 1);
  if (n.find('.') == std::string::npos) n += ".dll";
  return n;
}

}  // namespace

void registerExports(const char* moduleName, std::initializer_list<ExportEntry> entries) {
  std::lock_guard<std::mutex> guard(tableMutex());
  auto& list = table()[canonical(moduleName)];
  list.insert(list.end(), entries.begin(), entries.end());
}

const std::vector<ExportEntry>* findBuiltinModule(std::string_view moduleName) {
  std::lock_guard<std::mutex> guard(tableMutex());
  std::string key = canonical(moduleName);
  auto it = table().find(key);
  if (it == table().end() && key.size() > 4 && key.compare(key.size() - 4, 4, ".dll") == 0) {
    // "winspool" asked without its ".drv".
    it = table().find(key.substr(0, key.size() - 4) + ".drv");
  }
  return it == table().end() ? nullptr : &it->second;
}

FARPROC findBuiltinExport(const std::vector<ExportEntry>& exports, std::string_view procName) {
  // Programs bind dozens of functions, some on every call of a routine (the
  // wide profile functions, for one), so each table gets an index of its
  // names once. The first entry of a name wins, as a walk of the table
  // would find it; a table that grew since is indexed anew.
  struct Index {
    size_t entries = 0;
    std::unordered_map<std::string_view, FARPROC> byName;
  };
  static std::map<const std::vector<ExportEntry>*, Index> s_indexes;
  std::lock_guard<std::mutex> guard(tableMutex());
  Index& index = s_indexes[&exports];
  if (index.entries != exports.size()) {
    index.byName.clear();
    for (const ExportEntry& e : exports) index.byName.emplace(e.name, e.proc);
    index.entries = exports.size();
  }
  const auto it = index.byName.find(procName);
  return it == index.byName.end() ? nullptr : it->second;
}

std::string builtinModuleName(std::string_view moduleName) {
  std::string key = canonical(moduleName);
  if (findBuiltinModule(key)) {
    std::lock_guard<std::mutex> guard(tableMutex());
    if (table().count(key)) return key;
    return key.substr(0, key.size() - 4) + ".drv";
  }
  return {};
}

}  // namespace winsim
