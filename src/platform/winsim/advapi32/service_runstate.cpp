// winsim: the run states of the machine's services in <root>/services.state.
#include "advapi32/service_runstate.h"

#include <chrono>
#include <cstdlib>

#include "advapi32/registry_store.h"
#include "machine.h"

namespace winsim::runstate {
namespace {

fs::path stateFile() { return machineRoot() / "services.state"; }

std::vector<Entry> load() {
  const auto text = readWholeFile(stateFile());
  return text ? parse(*text) : std::vector<Entry>{};
}

// The end state a pending state reaches.
DWORD endOf(DWORD state) {
  switch (state) {
    case kStartPending:
    case kContinuePending:
      return kRunning;
    case kStopPending:
      return kStopped;
    case kPausePending:
      return kPaused;
    default:
      return state;
  }
}

}  // namespace

const char* stateWord(DWORD state) {
  for (const auto& w : kStateWords) {
    if (w.state == state) return w.word;
  }
  return nullptr;
}

std::optional<DWORD> stateFromWord(std::string_view word) {
  for (const auto& w : kStateWords) {
    if (iequals(word, w.word)) return w.state;
  }
  return std::nullopt;
}

std::vector<Entry> parse(std::string_view text) {
  std::vector<Entry> entries;
  for (const std::string_view line : splitLines(text)) {
    const size_t tab = line.find('\t');
    if (tab == 0 || tab == std::string_view::npos) continue;
    Entry e;
    e.name = std::string(line.substr(0, tab));
    // A name with a line-break character could not be written back.
    if (e.name.find('\r') != std::string::npos) continue;
    std::string_view rest = line.substr(tab + 1);
    const size_t tab2 = rest.find('\t');
    const auto state = stateFromWord(rest.substr(0, tab2));
    if (!state) continue;
    e.state = *state;
    if (tab2 != std::string_view::npos) {
      const std::string digits(rest.substr(tab2 + 1));
      if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 19)
        continue;
      e.deadline = std::strtoull(digits.c_str(), nullptr, 10);
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

std::string format(const std::vector<Entry>& entries) {
  std::string text;
  for (const auto& e : entries) {
    const char* word = stateWord(e.state);
    if (!word || e.name.empty() || e.name.find_first_of("\t\r\n") != std::string::npos) continue;
    // Appended piece by piece: GCC 12 at -O3 reports a false overlap
    // (-Wrestrict) for the temporary of "\t" + std::to_string(...).
    text += e.name;
    text += '\t';
    text += word;
    if (e.deadline && endOf(e.state) != e.state) {
      text += '\t';
      text += std::to_string(e.deadline);
    }
    text += '\n';
  }
  return text;
}

std::uint64_t nowMs() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count());
}

DWORD settledState(const Entry& entry, std::uint64_t now) {
  if (entry.deadline && now >= entry.deadline) return endOf(entry.state);
  return entry.state;
}

std::optional<Entry> find(std::string_view name) {
  const std::uint64_t now = nowMs();
  for (auto& e : load()) {
    if (iequals(e.name, name)) {
      e.state = settledState(e, now);
      if (endOf(e.state) == e.state) e.deadline = 0;
      return e;
    }
  }
  return std::nullopt;
}

bool set(std::string_view name, DWORD state, std::uint64_t deadline) {
  if (!stateWord(state) || name.empty() || name.find_first_of("\t\r\n") != std::string_view::npos) return false;
  MachineLock lock;
  std::vector<Entry> entries = load();
  bool found = false;
  for (auto& e : entries) {
    if (iequals(e.name, name)) {
      e.state = state;
      e.deadline = deadline;
      found = true;
    }
  }
  if (!found) entries.push_back({std::string(name), state, deadline});
  return atomicWriteFile(stateFile(), format(entries));
}

std::vector<Entry> all() {
  const std::uint64_t now = nowMs();
  std::vector<Entry> entries = load();
  for (auto& e : entries) e.state = settledState(e, now);
  return entries;
}

DWORD stateOf(std::string_view name, bool autoStart) {
  if (const auto e = find(name)) return e->state;
  return autoStart ? kRunning : kStopped;
}

bool serviceRunning(std::string_view name) {
  const std::string key = "SYSTEM\\CurrentControlSet\\Services\\" + std::string(name);
  bool exists = false;
  bool autoStart = false;
  reg::inspect(reg::Hive::LocalMachine, [&](const reg::Editor& e) {
    exists = e.keyExists(key);
    autoStart = exists && e.getDword(key, "Start", 3) <= 2;
  });
  return exists && stateOf(name, autoStart) == kRunning;
}

bool spoolerRunning() { return serviceRunning("Spooler"); }

}  // namespace winsim::runstate
