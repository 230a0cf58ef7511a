// winsim: the run states of the machine's services in <root>/services.state.
#include "advapi32/service_runstate.h"

#include <chrono>
#include <cstdlib>
#include <mutex>

#include <sys/stat.h>

#include "advapi32/registry_store.h"
#include "machine.h"

namespace winsim::runstate {
namespace {

fs::path stateFile() { return machineRoot() / "services.state"; }

// The file as it is now, read in full: what a change is made on.
std::vector<Entry> load() {
  const auto text = readWholeFile(stateFile());
  return text ? parse(*text) : std::vector<Entry>{};
}

// Which version of the file was read: another process replaces the file
// (another inode) or rewrites it (another size or time) to change a state.
struct FileStamp {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  long long mtimeNs = 0;
  long long ctimeNs = 0;

  bool operator==(const FileStamp&) const = default;
};

long long nsOf(const struct timespec& t) { return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec; }

// A file changed this recently may change again within the same tick of
// the file system's clock (a few milliseconds) and keep its stamp: it is
// read again every time until its last change is this far in the past. The
// change time counts, as no one can set it back.
constexpr long long kSettleNs = 200000000LL;

// The spooler's state is asked for by every spooler call, thousands of
// times a second by an analysis: the parse of the file is kept while the
// file keeps its stamp, and the file is only looked at (one stat).
struct ReadCache {
  std::mutex mutex;
  std::string root;     // the machine root the path below belongs to
  std::string path;
  bool valid = false;
  FileStamp stamp;
  std::vector<Entry> entries;
};

ReadCache& readCache() {
  static ReadCache cache;
  return cache;
}

// Runs `look` on the entries of the file as it is now.
template <typename Look>
void withEntries(Look look) {
  ReadCache& cache = readCache();
  std::lock_guard<std::mutex> guard(cache.mutex);
  const fs::path& root = machineRoot();
  if (cache.root != root.native() || cache.path.empty()) {
    cache.root = root.native();
    cache.path = (root / "services.state").string();
    cache.valid = false;
  }
  struct stat st{};
  if (::stat(cache.path.c_str(), &st) != 0) {
    // No file: every service is in the state its start type gives it.
    cache.valid = false;
    look(std::vector<Entry>{});
    return;
  }
  const FileStamp stamp{st.st_dev, st.st_ino, st.st_size, nsOf(st.st_mtim), nsOf(st.st_ctim)};
  if (!cache.valid || !(cache.stamp == stamp)) {
    const auto text = readWholeFile(cache.path);
    cache.entries = text ? parse(*text) : std::vector<Entry>{};
    const long long now = static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                     std::chrono::system_clock::now().time_since_epoch())
                                                     .count());
    // The stamp is trusted only once it was taken before the read and has
    // settled; a file that changes between the stat and the read is read
    // again next time.
    struct stat after{};
    cache.valid = text && ::stat(cache.path.c_str(), &after) == 0 &&
                  stamp == FileStamp{after.st_dev, after.st_ino, after.st_size, nsOf(after.st_mtim),
                                     nsOf(after.st_ctim)} &&
                  now - stamp.ctimeNs > kSettleNs;
    cache.stamp = stamp;
  }
  look(cache.entries);
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
  std::optional<Entry> found;
  withEntries([&](const std::vector<Entry>& entries) {
    for (const auto& e : entries) {
      if (!iequals(e.name, name)) continue;
      found = e;
      found->state = settledState(e, now);
      if (endOf(found->state) == found->state) found->deadline = 0;
      return;
    }
  });
  return found;
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
  std::vector<Entry> entries;
  withEntries([&](const std::vector<Entry>& current) { entries = current; });
  for (auto& e : entries) e.state = settledState(e, now);
  return entries;
}

DWORD stateOf(std::string_view name, bool autoStart) {
  if (const auto e = find(name)) return e->state;
  return autoStart ? kRunning : kStopped;
}

bool serviceRunning(std::string_view name) {
  // What the registry says of the last service asked for, kept for the
  // state of the hive it was read from.
  struct Known {
    unsigned long long generation = 0;
    std::string name;
    bool exists = false;
    bool autoStart = false;
  };
  static std::mutex mutex;
  static Known known;
  bool exists = false;
  bool autoStart = false;
  reg::inspect(reg::Hive::LocalMachine, [&](const reg::Editor& e) {
    std::lock_guard<std::mutex> guard(mutex);
    if (known.generation != e.generation() || known.name != name) {
      const std::string key = "SYSTEM\\CurrentControlSet\\Services\\" + std::string(name);
      known.generation = e.generation();
      known.name = std::string(name);
      known.exists = e.keyExists(key);
      known.autoStart = known.exists && e.getDword(key, "Start", 3) <= 2;
    }
    exists = known.exists;
    autoStart = known.autoStart;
  });
  return exists && stateOf(name, autoStart) == kRunning;
}

bool spoolerRunning() { return serviceRunning("Spooler"); }

}  // namespace winsim::runstate
