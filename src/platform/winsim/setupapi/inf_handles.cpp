// winsim: open INF handles and the helpers shared by the Setup API calls.
#include "setupapi/inf_handles.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <list>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "machine.h"
#include "advapi32/registry_store.h"
#include "machine_settings.h"
#include "winspool/directories.h"

namespace winsim::setupapi {
namespace {

// An INF larger than this is refused rather than read into memory.
constexpr std::uintmax_t kMaxInfBytes = 64u << 20;

std::mutex g_mutex;
// Raised by every close: a handle remembered by a thread is still open
// while the count it was remembered at stands.
std::atomic<std::uint64_t> g_closes{0};
std::unordered_set<InfHandle*>& openHandles() {
  static std::unordered_set<InfHandle*> handles;
  return handles;
}

// The whole file in one read of its known size.
std::optional<std::string> readInf(const fs::path& host, std::uintmax_t size) {
  std::FILE* f = std::fopen(host.c_str(), "rb");
  if (!f) return std::nullopt;
  std::string bytes(static_cast<size_t>(size), '\0');
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
  // A file that grew since its size was taken is read to its end.
  char more[4096];
  size_t extra = 0;
  while (bytes.size() == size && bytes.size() <= kMaxInfBytes && (extra = std::fread(more, 1, sizeof more, f)) > 0) {
    bytes.append(more, extra);
    size = bytes.size();
  }
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) return std::nullopt;
  return bytes;
}

bool fileExists(const std::string& winPath) {
  auto host = hostPath(winPath);
  std::error_code ec;
  return host && fs::is_regular_file(*host, ec);
}

}  // namespace

namespace {

// What every open reads of the machine: taken again only when the
// machine's registry has changed, instead of twenty registry reads an open.
struct MachineView {
  unsigned long long generation = 0;
  DirTable dirs;
  ParseOptions options;
  LANGID language = 0;
  std::string environmentDir;  // the spooler environment's folder: "w32x86", "x64"
};

// Shared rather than copied: every open asks several times, and a copy is
// a handful of strings.
std::shared_ptr<const MachineView> currentMachine() {
  static std::mutex mutex;
  static std::shared_ptr<const MachineView> view;
  unsigned long long generation = 0;
  reg::inspect(reg::Hive::LocalMachine, [&](const reg::Editor& e) { generation = e.generation(); });
  std::lock_guard<std::mutex> guard(mutex);
  if (!view || view->generation != generation || generation == 0) {
    auto fresh = std::make_shared<MachineView>();
    fresh->generation = generation;
    const MachineSettings settings = machineSettings();
    // Windows 2000 and XP keep at most 511 characters of a field; later
    // versions 4095.
    static const char* const kOld[] = {"win95", "win98", "winme", "nt4", "win2k", "xp"};
    for (const char* kind : kOld) {
      if (iequals(settings.osKind, kind)) fresh->options.maxFieldLength = 511;
    }
    fresh->language = static_cast<LANGID>(settings.langId);
    fresh->dirs = DirTable::forMachine();
    fresh->environmentDir = spool::processEnvironment().dir;
    view = std::move(fresh);
  }
  return view;
}

}  // namespace

ParseOptions optionsForMachine() { return currentMachine()->options; }
LANGID machineLanguage() { return currentMachine()->language; }
DirTable machineDirs() { return currentMachine()->dirs; }
std::string machineEnvironmentDir() { return currentMachine()->environmentDir; }

// Drops the cached parse of files that no other handle holds.
void forgetUnused(const std::vector<std::shared_ptr<const InfFile>>& files);

HINF registerInf(std::unique_ptr<InfHandle> handle) {
  std::lock_guard<std::mutex> guard(g_mutex);
  InfHandle* raw = handle.release();
  openHandles().insert(raw);
  return raw;
}

// Every query of a line looks its handle up: the last handle a thread
// found is answered without the lock.
InfHandle* lookupInf(HINF inf) {
  if (!inf || inf == INVALID_HANDLE_VALUE) return nullptr;
  struct Last {
    HINF inf = nullptr;
    std::uint64_t closes = 0;
  };
  thread_local Last last;
  const std::uint64_t closes = g_closes.load(std::memory_order_acquire);
  if (last.inf == inf && last.closes == closes) return static_cast<InfHandle*>(inf);
  std::lock_guard<std::mutex> guard(g_mutex);
  auto* h = static_cast<InfHandle*>(inf);
  if (!openHandles().count(h)) return nullptr;
  last = Last{inf, closes};
  return h;
}

bool closeInf(HINF inf) {
  if (!inf || inf == INVALID_HANDLE_VALUE) return false;
  std::unique_ptr<InfHandle> owned;
  {
    std::lock_guard<std::mutex> guard(g_mutex);
    auto* h = static_cast<InfHandle*>(inf);
    if (!openHandles().erase(h)) return false;
    g_closes.fetch_add(1, std::memory_order_release);
    owned.reset(h);
  }
  forgetUnused(owned->files);
  return true;
}

bool resolveContext(const INFCONTEXT* context, LineRef* ref) {
  if (!context) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  InfHandle* handle = lookupInf(context->Inf);
  if (!handle) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  for (size_t i = 0; i < handle->files.size(); ++i) {
    if (handle->files[i].get() != context->CurrentInf) continue;
    const auto& sections = handle->files[i]->sections();
    if (context->Section >= sections.size() || context->Line >= sections[context->Section].lines.size()) break;
    ref->handle = handle;
    ref->inf = context->Inf;
    ref->file = i;
    ref->section = static_cast<int>(context->Section);
    ref->pos = context->Line;
    return true;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

void fillContext(const LineRef& ref, INFCONTEXT* context) {
  context->Inf = ref.inf;
  context->CurrentInf = const_cast<InfFile*>(ref.handle->files[ref.file].get());
  context->Section = static_cast<UINT>(ref.section);
  context->Line = ref.pos;
}

namespace {

// The first matching line of `section` in files[file..], from position `from`
// of the first of them.
bool searchFrom(InfHandle* handle, HINF inf, std::string_view section, const char* key, size_t file,
                std::uint32_t from, LineRef* out) {
  for (; file < handle->files.size(); ++file, from = 0) {
    const InfFile& f = *handle->files[file];
    const int s = f.findSection(section);
    if (s < 0) continue;
    long pos = -1;
    if (key) {
      pos = f.findKey(s, key, from);
    } else if (from < f.sections()[static_cast<size_t>(s)].lines.size()) {
      pos = from;
    }
    if (pos < 0) continue;
    *out = LineRef{handle, inf, file, s, static_cast<std::uint32_t>(pos)};
    return true;
  }
  return false;
}

}  // namespace

bool findFirst(HINF inf, InfHandle* handle, const char* section, const char* key, LineRef* out) {
  return searchFrom(handle, inf, section, key, 0, 0, out);
}

bool findNext(const LineRef& from, const char* key, LineRef* out) {
  // The section of the context's own file is known; only the files appended
  // after it are searched by the section's name.
  const InfFile& f = from.infFile();
  const auto section = static_cast<size_t>(from.section);
  const std::uint32_t next = from.pos + 1;
  long pos = -1;
  if (key) {
    pos = f.findKey(from.section, key, next);
  } else if (next < f.sections()[section].lines.size()) {
    pos = next;
  }
  if (pos >= 0) {
    *out = LineRef{from.handle, from.inf, from.file, from.section, static_cast<std::uint32_t>(pos)};
    return true;
  }
  return searchFrom(from.handle, from.inf, f.sections()[section].name, key, from.file + 1, 0, out);
}

namespace {

// A parsed file with the folder table it was bound to; the file points
// into the table, so both live as long as the last handle or cache entry.
struct BoundInf {
  DirTable dirs;
  std::unique_ptr<InfFile> file;
};

// What a parse depends on. The bytes are compared by hash as well as size
// and write time: a file rewritten within one tick of the file system's
// clock keeps its time, and may keep its size.
struct InfIdentity {
  std::string winPath;
  fs::path host;
  std::uintmax_t size = 0;
  fs::file_time_type written;
  size_t hash = 0;
  size_t maxFieldLength = 0;
  LANGID language = 0;
  DirTable dirs;

  bool operator==(const InfIdentity&) const = default;
};

struct CacheEntry {
  InfIdentity identity;
  std::shared_ptr<const InfFile> file;
};

// A few entries: enough for the queries of one analysis on one file and an
// appended layout file, and memory does not grow with the number of INFs.
constexpr size_t kCachedInfs = 3;

std::mutex g_cacheMutex;
std::list<CacheEntry>& cache() {
  static std::list<CacheEntry> entries;  // most recently used first
  return entries;
}

// Parses the bytes of an INF into a model bound to its path and `dirs`.
DWORD parseInf(std::string bytes, const std::string& winPath, const DirTable& dirs, const ParseOptions& options,
               LANGID language, std::shared_ptr<const InfFile>* out, UINT* errorLine) {
  ParseResult result;
  auto parsed = InfFile::parse(std::move(bytes), options, &result);
  if (!parsed) {
    if (errorLine) *errorLine = result.errorLine;
    return result.error;
  }
  auto bound = std::make_shared<BoundInf>();
  bound->dirs = dirs;
  bound->file = std::move(parsed);
  bound->file->bind(winPath, &bound->dirs, language);
  *out = std::shared_ptr<const InfFile>(bound, bound->file.get());
  return 0;
}

// The style check of an open: a file without a WIN4 signature opens only
// when the caller accepts the old NT format.
DWORD checkStyle(const InfFile& file, DWORD style, UINT* errorLine) {
  if (!file.isWin4() && !(style & INF_STYLE_OLDNT)) {
    if (errorLine) *errorLine = 0;
    return ERROR_WRONG_INF_STYLE;
  }
  return 0;
}

std::mutex g_memoryMutex;
// Windows path as memoryKey() gives it -> the file's bytes.
std::unordered_map<std::string, std::shared_ptr<const std::string>>& memoryInfs() {
  static std::unordered_map<std::string, std::shared_ptr<const std::string>> files;
  return files;
}

std::string memoryKey(const std::string& winPath) {
  std::string key = lowerAscii(fullWinPath(winPath));
  std::replace(key.begin(), key.end(), '/', '\\');
  return key;
}

std::shared_ptr<const std::string> memoryInf(const std::string& winPath) {
  std::lock_guard<std::mutex> guard(g_memoryMutex);
  if (memoryInfs().empty()) return nullptr;
  const auto it = memoryInfs().find(memoryKey(winPath));
  return it == memoryInfs().end() ? nullptr : it->second;
}

// Reads a file (or the bytes held in memory for its path) and parses it into
// a bound model, or gives the error.
DWORD readAndParse(const std::string& winPath, DWORD style, const DirTable& dirs, bool useCache,
                   std::shared_ptr<const InfFile>* out, UINT* errorLine) {
  std::optional<std::string> bytes;
  fs::path hostFile;
  fs::file_time_type written{};
  if (auto held = memoryInf(winPath)) {
    if (held->size() > kMaxInfBytes) return ERROR_NOT_ENOUGH_MEMORY;
    bytes = *held;
  } else {
    auto host = hostPath(winPath);
    std::error_code ec;
    if (!host || !fs::exists(*host, ec)) return ERROR_FILE_NOT_FOUND;
    if (fs::is_directory(*host, ec)) return ERROR_ACCESS_DENIED;
    const auto size = fs::file_size(*host, ec);
    if (ec) return ERROR_FILE_NOT_FOUND;
    if (size > kMaxInfBytes) return ERROR_NOT_ENOUGH_MEMORY;
    written = fs::last_write_time(*host, ec);
    bytes = readInf(*host, size);
    if (!bytes) return ERROR_ACCESS_DENIED;
    hostFile = std::move(*host);
  }
  const std::shared_ptr<const MachineView> machine = currentMachine();
  const ParseOptions& options = machine->options;
  const LANGID language = machine->language;

  InfIdentity identity;
  std::shared_ptr<const InfFile> file;
  if (useCache) {
    identity = InfIdentity{winPath, hostFile, bytes->size(), written, std::hash<std::string_view>()(*bytes),
                           options.maxFieldLength, language, dirs};
    std::lock_guard<std::mutex> guard(g_cacheMutex);
    auto& entries = cache();
    for (auto it = entries.begin(); it != entries.end(); ++it) {
      if (!(it->identity == identity)) continue;
      entries.splice(entries.begin(), entries, it);
      file = it->file;
      break;
    }
  }
  if (!file) {
    const DWORD error = parseInf(std::move(*bytes), winPath, dirs, options, language, &file, errorLine);
    bytes.reset();
    if (error) return error;
    if (useCache) {
      std::lock_guard<std::mutex> guard(g_cacheMutex);
      auto& entries = cache();
      entries.push_front(CacheEntry{std::move(identity), file});
      while (entries.size() > kCachedInfs) entries.pop_back();
    }
  }
  if (const DWORD error = checkStyle(*file, style, errorLine)) return error;
  *out = std::move(file);
  return 0;
}

}  // namespace

// The file of the last handle closed is not kept: the queries that open a
// file come together, and an analysis that is done gives its memory back.
void forgetUnused(const std::vector<std::shared_ptr<const InfFile>>& files) {
  std::vector<std::shared_ptr<const InfFile>> dropped;  // freed outside the lock
  std::lock_guard<std::mutex> guard(g_cacheMutex);
  auto& entries = cache();
  for (auto it = entries.begin(); it != entries.end();) {
    const bool held = std::find(files.begin(), files.end(), it->file) != files.end();
    // One reference is the cache's, one the closing handle's.
    if (held && it->file.use_count() <= 2) {
      dropped.push_back(std::move(it->file));
      it = entries.erase(it);
    } else {
      ++it;
    }
  }
}

void setMemoryInf(const std::string& winPath, std::string bytes) {
  auto held = std::make_shared<const std::string>(std::move(bytes));
  const std::string key = memoryKey(winPath);
  std::lock_guard<std::mutex> guard(g_memoryMutex);
  memoryInfs()[key] = std::move(held);
}

void clearMemoryInfs() {
  std::unordered_map<std::string, std::shared_ptr<const std::string>> dropped;  // freed outside the lock
  std::lock_guard<std::mutex> guard(g_memoryMutex);
  dropped.swap(memoryInfs());
}

void forgetCachedInfs() {
  std::list<CacheEntry> dropped;  // freed outside the lock
  std::lock_guard<std::mutex> guard(g_cacheMutex);
  dropped.swap(cache());
}

DWORD loadInf(const std::string& winPath, DWORD style, const DirTable& dirs, std::shared_ptr<const InfFile>* out,
              UINT* errorLine) {
  return readAndParse(winPath, style, dirs, true, out, errorLine);
}

DWORD loadInfUncached(const std::string& winPath, DWORD style, const DirTable& dirs,
                      std::shared_ptr<const InfFile>* out, UINT* errorLine) {
  return readAndParse(winPath, style, dirs, false, out, errorLine);
}

HINF openInfBuffer(std::string_view bytes, const std::string& winPath, DWORD style, const DirTable& dirs,
                   const ParseOptions& options, LANGID language, UINT* errorLine) {
  if (errorLine) *errorLine = 0;
  std::shared_ptr<const InfFile> file;
  DWORD error = bytes.size() > kMaxInfBytes
                    ? ERROR_NOT_ENOUGH_MEMORY
                    : parseInf(std::string(bytes), winPath, dirs, options, language, &file, errorLine);
  if (!error) error = checkStyle(*file, style, errorLine);
  if (error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  auto handle = std::make_unique<InfHandle>();
  handle->dirs = std::make_unique<DirTable>(dirs);
  handle->files.push_back(std::move(file));
  SetLastError(ERROR_SUCCESS);
  return registerInf(std::move(handle));
}

std::string locateInf(const std::string& name) {
  if (name.find_first_of("\\/") != std::string::npos || (name.size() >= 2 && name[1] == ':')) {
    return fullWinPath(name);
  }
  const std::string windows = windowsFolder();
  const std::string candidates[] = {windows + "\\inf\\" + name, windows + "\\system32\\" + name};
  for (const auto& c : candidates) {
    if (fileExists(c)) return c;
  }
  return candidates[0];
}

BOOL answerText(const std::string& text, PSTR buffer, DWORD size, PDWORD required) {
  const DWORD need = static_cast<DWORD>(text.size() + 1);
  if (required) *required = need;
  if (buffer) {
    if (size < need) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    std::memcpy(buffer, text.c_str(), need);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

}  // namespace winsim::setupapi
