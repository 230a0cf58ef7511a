// winsim: the simulated processes of a machine in <root>/processes.
#include "psapi/process_store.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "machine.h"

namespace winsim::procs {
namespace {

fs::path storeFile() { return machineRoot() / "processes"; }

std::vector<Process> load() {
  const auto text = readWholeFile(storeFile());
  return text ? parse(*text) : std::vector<Process>{};
}

std::optional<DWORD> parsePid(std::string_view digits) {
  if (digits.empty() || digits.size() > 10) return std::nullopt;
  unsigned long long value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<DWORD>(value);
}

// The fields of one line, split at tabs.
std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> out;
  size_t pos = 0;
  for (;;) {
    const size_t tab = line.find('\t', pos);
    out.push_back(line.substr(pos, tab == std::string_view::npos ? std::string_view::npos : tab - pos));
    if (tab == std::string_view::npos) return out;
    pos = tab + 1;
  }
}

}  // namespace

bool isModulePath(std::string_view path) {
  if (path.size() < 3 || path.size() > kMaxPath) return false;
  for (char c : path) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  const bool drive = std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && path[2] == '\\';
  const bool unc = path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
  return drive || unc;
}

std::vector<Process> parse(std::string_view text) {
  std::vector<Process> processes;
  std::set<DWORD> seen;
  for (const std::string_view line : splitLines(text)) {
    const auto parts = fields(line);
    if (parts.size() < 2) continue;
    const auto pid = parsePid(parts[0]);
    if (!pid || seen.count(*pid)) continue;
    if (!std::all_of(parts.begin() + 1, parts.end(), isModulePath)) continue;
    Process p;
    p.pid = *pid;
    p.image = std::string(parts[1]);
    for (size_t i = 2; i < parts.size(); ++i) p.modules.emplace_back(parts[i]);
    seen.insert(p.pid);
    processes.push_back(std::move(p));
  }
  return processes;
}

std::string format(const std::vector<Process>& processes) {
  std::string text;
  for (const auto& p : processes) {
    if (p.pid == 0 || !isModulePath(p.image) || !std::all_of(p.modules.begin(), p.modules.end(), [](const auto& m) {
          return isModulePath(m);
        }))
      continue;
    text += std::to_string(p.pid) + "\t" + p.image;
    for (const auto& m : p.modules) text += "\t" + m;
    text += "\n";
  }
  return text;
}

std::vector<Process> all() { return load(); }

std::optional<Process> find(DWORD pid) {
  for (auto& p : load()) {
    if (p.pid == pid) return p;
  }
  return std::nullopt;
}

std::optional<DWORD> add(const std::string& image, const std::vector<std::string>& modules) {
  if (!isModulePath(image)) return std::nullopt;
  for (const auto& m : modules) {
    if (!isModulePath(m)) return std::nullopt;
  }
  MachineLock lock;
  std::vector<Process> processes = load();
  DWORD pid = kFirstPid;
  for (const auto& p : processes) {
    if (p.pid >= pid && p.pid <= 0xFFFFFFFFu - 4) pid = (p.pid & ~3u) + 4;
  }
  for (const auto& p : processes) {
    if (p.pid == pid) return std::nullopt;  // the ids are used up
  }
  processes.push_back(Process{pid, image, modules});
  if (!atomicWriteFile(storeFile(), format(processes))) return std::nullopt;
  return pid;
}

bool clear() {
  MachineLock lock;
  std::error_code ec;
  if (!fs::exists(storeFile(), ec)) return true;
  return atomicWriteFile(storeFile(), "");
}

}  // namespace winsim::procs
