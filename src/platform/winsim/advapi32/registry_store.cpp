// winsim: the registry store. Each hive is held in memory and reloaded when
// its file changes on disk (another process wrote it); every change reloads
// under MachineLock, applies and rewrites the file atomically.
#include "advapi32/registry_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

#include "advapi32/registry_text.h"
#include "machine.h"

namespace winsim::reg {
namespace {

// What identifies one version of a hive file: a rewrite renames a new file
// into place, so the inode changes even when size and time happen to match.
struct FileStamp {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  long long mtimeNs = 0;

  bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const struct stat& st) {
  FileStamp s;
  s.exists = true;
  s.dev = st.st_dev;
  s.ino = st.st_ino;
  s.size = st.st_size;
  s.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  return s;
}

struct HiveCache {
  bool loaded = false;
  std::string file;  // the file it was loaded from (the machine root may change)
  std::string pathRoot, path;  // the hive file's path under that machine root
  FileStamp stamp;
  FileStamp warnedStamp;  // the damaged version already reported
  KeyNode root;
  // Grows with every new state of `root` (a load, a change): what callers
  // derived from one state stays good while it is unchanged.
  unsigned long long generation = 1;
};

// Recursive: an edit running inside transact() may read through the plain
// functions, and those take this mutex again.
std::recursive_mutex g_mutex;
HiveCache g_hives[2];

HiveCache& slot(Hive hive) { return g_hives[hive == Hive::LocalMachine ? 0 : 1]; }

bool readFd(int fd, std::string* out) {
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    out->append(buf, static_cast<size_t>(n));
  }
}

void loadInto(HiveCache& cache, Hive hive, const std::string& text, const FileStamp& stamp) {
  std::vector<RegChange> changes;
  std::vector<RegParseError> errors;
  parseRegText(text, true, &changes, &errors);
  for (const auto& change : changes) {
    if (change.hive != hive) {
      errors.push_back({0, std::string("keys of ") + hiveLongName(change.hive) + " in this hive's file are ignored"});
      break;
    }
  }
  cache.root = KeyNode();
  applyChanges(&cache.root, hive, changes);
  if (!errors.empty() && !(cache.warnedStamp == stamp)) {
    cache.warnedStamp = stamp;
    const auto& first = errors.front();
    const std::string where = first.line ? "line " + std::to_string(first.line) + ": " : std::string();
    std::fprintf(stderr, "winsim: registry file %s is damaged: %s%s (%zu bad line%s skipped, the rest was read)\n",
                 cache.file.c_str(), where.c_str(), first.reason.c_str(), errors.size(), errors.size() == 1 ? "" : "s");
  }
}

// The hive as it is on disk now. Called with g_mutex held. The file is
// opened once and its stamp taken from that open file, so the text read and
// the stamp recorded always belong together even while another process
// renames a new version into place.
HiveCache& current(Hive hive) {
  HiveCache& cache = slot(hive);
  // The file's path is built again only when the machine root moves.
  const fs::path& root = machineRoot();
  if (root.native() != cache.pathRoot || cache.path.empty()) {
    cache.pathRoot = root.native();
    cache.path = hiveFilePath(hive);
  }
  const std::string& file = cache.path;
  struct stat st{};
  if (cache.loaded && cache.file == file) {
    // The common case, a hive nobody changed, costs one stat.
    FileStamp now;
    if (::stat(file.c_str(), &st) == 0) now = stampOf(st);
    if (now == cache.stamp) return cache;
  }
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  FileStamp stamp;
  if (fd >= 0 && ::fstat(fd, &st) == 0) stamp = stampOf(st);
  if (cache.loaded && cache.file == file && cache.stamp == stamp) {
    if (fd >= 0) ::close(fd);
    return cache;
  }
  cache.file = file;
  cache.stamp = stamp;
  cache.loaded = true;
  ++cache.generation;
  std::string text;
  if (fd >= 0) {
    if (!readFd(fd, &text)) {
      std::fprintf(stderr, "winsim: cannot read registry file %s\n", file.c_str());
      text.clear();
      cache.loaded = false;  // try again next time
    }
    ::close(fd);
  }
  if (text.empty()) {
    cache.root = KeyNode();
  } else {
    loadInto(cache, hive, text, stamp);
  }
  return cache;
}

// Writes the cached hive to its file; the caller holds MachineLock and g_mutex.
bool persist(HiveCache& cache, Hive hive) {
  std::string text = regHeader();
  writeRegTree(cache.root, hiveLongName(hive), true, &text);
  if (!atomicWriteFile(cache.file, text)) {
    std::fprintf(stderr, "winsim: cannot write registry file %s\n", cache.file.c_str());
    cache.loaded = false;  // the memory is ahead of the disk: reload next time
    return false;
  }
  struct stat st{};
  if (::stat(cache.file.c_str(), &st) == 0) cache.stamp = stampOf(st);
  else cache.loaded = false;
  return true;
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool validKeyPath(std::string_view path) { return !hasLineBreak(path) && path.find('\0') == std::string_view::npos; }

DWORD dwordOf(const Value& v) {
  return static_cast<DWORD>(v.data[0]) | (static_cast<DWORD>(v.data[1]) << 8) |
         (static_cast<DWORD>(v.data[2]) << 16) | (static_cast<DWORD>(v.data[3]) << 24);
}

std::string stringOf(const Value& v) {
  std::string text(v.data.begin(), v.data.end());
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

}  // namespace

std::string hiveFilePath(Hive hive) {
  return (machineRoot() / "registry" / (std::string(hiveShortName(hive)) + ".reg")).string();
}

// ---- Values ---------------------------------------------------------------------

Value stringValue(std::string_view text, DWORD type) {
  Value v;
  v.type = type;
  v.data.assign(text.begin(), text.end());
  v.data.push_back(0);
  return v;
}

Value dwordValue(DWORD value) {
  Value v;
  v.type = REG_DWORD;
  v.data = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
            static_cast<BYTE>(value >> 24)};
  return v;
}

Value multiStringValue(const std::vector<std::string>& items) {
  Value v;
  v.type = REG_MULTI_SZ;
  for (const auto& item : items) {
    v.data.insert(v.data.end(), item.begin(), item.end());
    v.data.push_back(0);
  }
  v.data.push_back(0);
  return v;
}

std::vector<std::string> splitMultiString(const std::vector<BYTE>& data) {
  std::vector<std::string> items;
  std::string cur;
  bool open = false;
  for (BYTE b : data) {
    if (b == 0) {
      items.push_back(cur);
      cur.clear();
      open = false;
    } else {
      cur.push_back(static_cast<char>(b));
      open = true;
    }
  }
  if (open) {
    items.push_back(cur);
  } else if (!items.empty() && items.back().empty()) {
    items.pop_back();  // the empty string that ends the list
  }
  return items;
}

// ---- Editor ---------------------------------------------------------------------

bool Editor::keyExists(std::string_view path) const { return m_root->findPath(path) != nullptr; }

// The value in the hive itself, for the getters that need no copy of it.
const Value* Editor::findValue(std::string_view path, std::string_view name) const {
  const KeyNode* node = m_root->findPath(path);
  return node ? node->findValue(name) : nullptr;
}

std::optional<Value> Editor::getValue(std::string_view path, std::string_view name) const {
  const Value* v = findValue(path, name);
  if (!v) return std::nullopt;
  return *v;
}

std::vector<std::string> Editor::subKeys(std::string_view path) const {
  std::vector<std::string> names;
  if (const KeyNode* node = m_root->findPath(path)) {
    names.reserve(node->children.size());
    for (const auto& [folded, child] : node->children) names.push_back(child->name);
  }
  return names;
}

std::vector<std::string> Editor::valueNames(std::string_view path) const {
  std::vector<std::string> names;
  if (const KeyNode* node = m_root->findPath(path)) {
    for (const auto& [name, value] : node->values) names.push_back(name);
  }
  return names;
}

std::vector<std::pair<std::string, Value>> Editor::values(std::string_view path) const {
  if (const KeyNode* node = m_root->findPath(path)) return node->values;
  return {};
}

std::string Editor::getString(std::string_view path, std::string_view name, std::string_view fallback) const {
  const Value* v = findValue(path, name);
  if (!v || (v->type != REG_SZ && v->type != REG_EXPAND_SZ)) return std::string(fallback);
  return stringOf(*v);
}

DWORD Editor::getDword(std::string_view path, std::string_view name, DWORD fallback) const {
  const Value* v = findValue(path, name);
  if (!v || v->type != REG_DWORD || v->data.size() < 4) return fallback;
  return dwordOf(*v);
}

std::vector<std::string> Editor::getMultiString(std::string_view path, std::string_view name) const {
  auto v = getValue(path, name);
  if (!v || v->type != REG_MULTI_SZ) return {};
  return splitMultiString(v->data);
}

bool Editor::createKey(std::string_view path, bool* created) {
  if (!validKeyPath(path)) return false;
  bool isNew = false;
  m_root->create(splitPath(path), &isNew);
  if (created) *created = isNew;
  m_changed = m_changed || isNew;
  return true;
}

bool Editor::setValue(std::string_view path, std::string_view name, const Value& value) {
  if (!validKeyPath(path) || hasLineBreak(name)) return false;
  m_root->create(splitPath(path))->setValue(name, value);
  m_changed = true;
  return true;
}

bool Editor::setString(std::string_view path, std::string_view name, std::string_view text, DWORD type) {
  return setValue(path, name, stringValue(text, type));
}

bool Editor::setDword(std::string_view path, std::string_view name, DWORD value) {
  return setValue(path, name, dwordValue(value));
}

bool Editor::setMultiString(std::string_view path, std::string_view name, const std::vector<std::string>& items) {
  return setValue(path, name, multiStringValue(items));
}

bool Editor::deleteValue(std::string_view path, std::string_view name) {
  KeyNode* node = m_root->findPath(path);
  const bool erased = node && node->eraseValue(name);
  m_changed = m_changed || erased;
  return erased;
}

bool Editor::deleteKeyTree(std::string_view path) {
  const bool removed = m_root->removeTree(splitPath(path));
  m_changed = m_changed || removed;
  return removed;
}

// ---- Transactions -----------------------------------------------------------------

bool transact(Hive hive, const std::function<bool(Editor&)>& edit) {
  MachineLock lock;
  std::lock_guard<std::recursive_mutex> guard(g_mutex);
  HiveCache& cache = current(hive);
  Editor editor(&cache.root, cache.generation);
  const bool kept = edit(editor);
  if (editor.changed()) ++cache.generation;
  if (!kept) {
    if (editor.changed()) cache.loaded = false;  // drop what the edit did before it gave up
    return false;
  }
  return !editor.changed() || persist(cache, hive);
}

void inspect(Hive hive, const std::function<void(const Editor&)>& look) {
  std::lock_guard<std::recursive_mutex> guard(g_mutex);
  HiveCache& cache = current(hive);
  const Editor editor(&cache.root, cache.generation);
  look(editor);
}

void inspectLastSeen(Hive hive, const std::function<void(const Editor&)>& look) {
  std::lock_guard<std::recursive_mutex> guard(g_mutex);
  HiveCache& cache = slot(hive);
  const bool seen = cache.loaded && cache.pathRoot == machineRoot().native();
  HiveCache& state = seen ? cache : current(hive);
  const Editor editor(&state.root, state.generation);
  look(editor);
}

// ---- Plain reads and changes ----------------------------------------------------------

bool keyExists(Hive hive, std::string_view path) {
  bool r = false;
  inspect(hive, [&](const Editor& e) { r = e.keyExists(path); });
  return r;
}

std::optional<Value> getValue(Hive hive, std::string_view path, std::string_view name) {
  std::optional<Value> r;
  inspect(hive, [&](const Editor& e) { r = e.getValue(path, name); });
  return r;
}

std::vector<std::string> subKeys(Hive hive, std::string_view path) {
  std::vector<std::string> r;
  inspect(hive, [&](const Editor& e) { r = e.subKeys(path); });
  return r;
}

std::vector<std::string> valueNames(Hive hive, std::string_view path) {
  std::vector<std::string> r;
  inspect(hive, [&](const Editor& e) { r = e.valueNames(path); });
  return r;
}

std::string getString(Hive hive, std::string_view path, std::string_view name, std::string_view fallback) {
  std::string r;
  inspect(hive, [&](const Editor& e) { r = e.getString(path, name, fallback); });
  return r;
}

DWORD getDword(Hive hive, std::string_view path, std::string_view name, DWORD fallback) {
  DWORD r = fallback;
  inspect(hive, [&](const Editor& e) { r = e.getDword(path, name, fallback); });
  return r;
}

std::vector<std::string> getMultiString(Hive hive, std::string_view path, std::string_view name) {
  std::vector<std::string> r;
  inspect(hive, [&](const Editor& e) { r = e.getMultiString(path, name); });
  return r;
}

bool createKey(Hive hive, std::string_view path) {
  return transact(hive, [&](Editor& e) { return e.createKey(path); });
}

bool setValue(Hive hive, std::string_view path, std::string_view name, const Value& value) {
  return transact(hive, [&](Editor& e) { return e.setValue(path, name, value); });
}

bool setString(Hive hive, std::string_view path, std::string_view name, std::string_view text, DWORD type) {
  return transact(hive, [&](Editor& e) { return e.setString(path, name, text, type); });
}

bool setDword(Hive hive, std::string_view path, std::string_view name, DWORD value) {
  return transact(hive, [&](Editor& e) { return e.setDword(path, name, value); });
}

bool setMultiString(Hive hive, std::string_view path, std::string_view name, const std::vector<std::string>& items) {
  return transact(hive, [&](Editor& e) { return e.setMultiString(path, name, items); });
}

bool deleteValue(Hive hive, std::string_view path, std::string_view name) {
  return transact(hive, [&](Editor& e) { return e.deleteValue(path, name); });
}

bool deleteKeyTree(Hive hive, std::string_view path) {
  return transact(hive, [&](Editor& e) { return e.deleteKeyTree(path); });
}

// ---- Files ------------------------------------------------------------------------

bool importText(std::string_view text, std::string* error) {
  std::vector<RegChange> changes;
  std::vector<RegParseError> errors;
  if (!parseRegText(text, false, &changes, &errors)) {
    if (error) {
      *error = errors.empty() ? std::string("malformed registry text")
                              : "line " + std::to_string(errors.front().line) + ": " + errors.front().reason;
    }
    return false;
  }
  for (const auto& change : changes) {
    const bool badName = hasLineBreak(change.name) || !validKeyPath(joinPath(change.path));
    if (badName) {
      if (error) *error = "a name holding a line break cannot be stored";
      return false;
    }
  }
  MachineLock lock;
  std::lock_guard<std::recursive_mutex> guard(g_mutex);
  for (Hive hive : {Hive::LocalMachine, Hive::CurrentUser}) {
    bool touched = false;
    for (const auto& change : changes) touched = touched || change.hive == hive;
    if (!touched) continue;
    HiveCache& cache = current(hive);
    applyChanges(&cache.root, hive, changes);
    ++cache.generation;
    if (!persist(cache, hive)) {
      if (error) *error = "cannot write " + cache.file;
      return false;
    }
  }
  return true;
}

std::optional<std::string> exportText(std::string_view fullKey, std::string* error) {
  std::string out = regHeader();
  if (fullKey.empty()) {
    for (Hive hive : {Hive::LocalMachine, Hive::CurrentUser}) {
      inspect(hive, [&](const Editor&) { writeRegTree(slot(hive).root, hiveLongName(hive), true, &out); });
    }
    return out;
  }
  Hive hive;
  std::string path;
  if (!splitFullKey(fullKey, &hive, &path)) {
    if (error) *error = "unknown hive in '" + std::string(fullKey) + "' (HKLM or HKCU)";
    return std::nullopt;
  }
  bool found = false;
  inspect(hive, [&](const Editor&) {
    const auto parts = splitPath(path);
    const KeyNode* node = slot(hive).root.find(parts);
    if (!node) return;
    found = true;
    // The key is named as stored, whatever case the caller used.
    std::string name = hiveLongName(hive);
    const KeyNode* walk = &slot(hive).root;
    for (const auto& part : parts) {
      walk = walk->child(part);
      name += "\\" + walk->name;
    }
    writeRegTree(*node, name, parts.empty(), &out);
  });
  if (!found) {
    if (error) *error = "no key " + std::string(fullKey);
    return std::nullopt;
  }
  return out;
}

}  // namespace winsim::reg
