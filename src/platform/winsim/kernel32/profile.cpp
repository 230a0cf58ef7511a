// winsim: the private-profile (INI) functions of kernel32.
//
// Every function resolves the file name the way Windows does, reads the file
// through a cache of parsed documents (the message catalogue is read with
// thousands of lookups in a row), and hands the result out with Windows'
// return values and truncation rules. The A and W forms share one core that
// works in UTF-16; the A forms convert their arguments and results, so that
// buffer sizes count bytes for them and characters for the W forms.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <windows.h>

#include "kernel32/file_common.h"
#include "kernel32/nls.h"
#include "kernel32/profile_memory.h"
#include "kernel32/profile_model.h"
#include "machine.h"
#include "modules.h"
#include "unicode.h"

namespace {

using winsim::ini::Document;
using winsim::ini::Text;
namespace fs = std::filesystem;

constexpr const char* kWindowsFolder = "C:\\Windows";

using OptText = std::optional<Text>;

OptText fromA(LPCSTR s) {
  if (!s) return std::nullopt;
  return winsim::ansiToUtf16(s);
}

OptText fromW(LPCWSTR s) {
  if (!s) return std::nullopt;
  return Text(s, winsim::wlen(s));
}

// ---- File names --------------------------------------------------------------

struct ProfilePath {
  fs::path host;
  DWORD error = 0;
};

// A process names the same file call after call (an installer writes one
// file key by key): its host path is kept while it still means the same.
winsim::files::PathMemo g_profilePaths;

// A name without any path goes to the Windows folder, as on Windows; a NULL
// name is win.ini there.
ProfilePath resolvePath(const OptText& name) {
  ProfilePath r;
  // The name as the other file functions of the A family take it.
  std::string n = name ? winsim::utf16ToAnsi(*name) : std::string("win.ini");
  if (n.empty()) {
    r.error = ERROR_ACCESS_DENIED;
    return r;
  }
  if (n.find_first_of("*?<>|\"") != std::string::npos) {
    r.error = ERROR_INVALID_NAME;
    return r;
  }
  const bool hasDrive = n.size() >= 2 && n[1] == ':';
  if (!hasDrive && n.find_first_of("\\/") == std::string::npos) n = std::string(kWindowsFolder) + "\\" + n;
  if (auto known = g_profilePaths.findHost(n)) {
    r.host = std::move(*known);
    return r;
  }
  const std::string full = winsim::fullWinPath(n);
  if (full.size() >= MAX_PATH || full.find(':', 2) != std::string::npos) {
    r.error = full.size() >= MAX_PATH ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_NAME;
    return r;
  }
  auto host = winsim::hostPath(full);
  if (!host) {
    r.error = ERROR_PATH_NOT_FOUND;
    return r;
  }
  r.host = *host;
  g_profilePaths.remember(n, full, r.host, std::string());
  return r;
}

// ---- The document cache --------------------------------------------------------

struct FileIdentity {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  time_t mtimeSec = 0;
  long mtimeNsec = 0;
  bool operator==(const FileIdentity&) const = default;
};

FileIdentity identityOf(const struct stat& st) {
  return {st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

struct CacheEntry {
  FileIdentity id;
  std::shared_ptr<const Document> doc;
  // Made by a write of this process as a Document that may change: the
  // next write may extend it in place once nobody else holds it.
  bool extensible = false;
};

std::mutex g_cacheMutex;
std::unordered_map<std::string, CacheEntry> g_cache;
constexpr size_t kCacheLimit = 32;
constexpr time_t kRecentSeconds = 2;

void flushCache() {
  std::lock_guard<std::mutex> guard(g_cacheMutex);
  g_cache.clear();
}

struct Loaded {
  std::shared_ptr<const Document> doc;
  DWORD error = 0;  // ERROR_FILE_NOT_FOUND when the file does not exist
};

DWORD errorFromErrno(int e) {
  switch (e) {
    case ENOENT:
    case ENOTDIR:
      return ERROR_FILE_NOT_FOUND;
    case ENOSPC:
      return ERROR_DISK_FULL;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    default:
      return ERROR_WRITE_FAULT;
  }
}

// Reads and parses the file, or takes the parsed form from the cache when the
// file is the same one (device, inode, size and modification time all equal:
// a rewrite by atomic rename always changes the inode).
Loaded loadDocument(const fs::path& host) {
  Loaded r;
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    struct stat st {};
    r.error = (::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) ? ERROR_ACCESS_DENIED : errorFromErrno(e);
    if (r.error == ERROR_WRITE_FAULT) r.error = ERROR_ACCESS_DENIED;
    return r;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    r.error = ERROR_ACCESS_DENIED;
    return r;
  }
  const FileIdentity id = identityOf(st);
  const std::string key = host.string();
  std::shared_ptr<const Document> cached;
  {
    std::lock_guard<std::mutex> guard(g_cacheMutex);
    auto it = g_cache.find(key);
    if (it != g_cache.end() && it->second.id == id) cached = it->second.doc;
  }
  // Modification times advance in clock ticks, so a file rewritten in place
  // twice within one tick keeps its identity. A file changed in the last
  // seconds is therefore read again and only its parse is reused.
  if (cached && ::time(nullptr) - st.st_mtim.tv_sec > kRecentSeconds) {
    ::close(fd);
    r.doc = cached;
    return r;
  }
  std::string bytes;
  bytes.reserve(static_cast<size_t>(st.st_size));
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      r.error = ERROR_ACCESS_DENIED;
      return r;
    }
    if (n == 0) break;
    bytes.append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
  // A file that changed while it was read is parsed but not cached under an
  // identity that no longer describes it.
  const bool stable = bytes.size() == static_cast<size_t>(st.st_size);
  if (cached && cached->bytes() == bytes) {
    r.doc = cached;
    return r;
  }
  r.doc = std::make_shared<const Document>(Document::parse(std::move(bytes)));
  if (stable) {
    std::lock_guard<std::mutex> guard(g_cacheMutex);
    if (g_cache.size() >= kCacheLimit && !g_cache.count(key)) g_cache.clear();
    g_cache[key] = CacheEntry{id, r.doc};
  }
  return r;
}

// The next call on a file just written (the next key, or reading it back)
// finds the parse of the new bytes: the file under the identity of the new
// inode. The bytes of the file are still compared when it is read while
// recent, so a change by anybody else is seen as before.
//
// `previous` is the document the write started from. When the write only
// added text at the end (a key after the last one of the last section, a
// new section) and nobody else holds that document any more, it is extended
// in place instead of parsing the whole file again.
void rememberWritten(const fs::path& host, const struct stat& st, std::string bytes,
                     std::shared_ptr<const Document> previous) {
  const std::string key = host.string();
  bool extensible = false;
  {
    std::lock_guard<std::mutex> guard(g_cacheMutex);
    auto it = g_cache.find(key);
    if (it != g_cache.end() && it->second.doc == previous) {
      extensible = it->second.extensible;
      g_cache.erase(it);
    }
  }
  if (bytes.size() != static_cast<size_t>(st.st_size)) return;
  std::shared_ptr<const Document> doc;
  if (extensible && previous.use_count() == 1) {
    // The last other holder let go with a release; this acquire makes its
    // reads happen before the change.
    std::atomic_thread_fence(std::memory_order_acquire);
    // Made as a non-const Document by this function (extensible says so).
    auto& editable = const_cast<Document&>(*previous);
    if (editable.extend(bytes)) doc = std::move(previous);
  }
  previous.reset();
  if (!doc) doc = std::make_shared<Document>(Document::parse(std::move(bytes)));
  std::lock_guard<std::mutex> guard(g_cacheMutex);
  if (g_cache.size() >= kCacheLimit && !g_cache.count(key)) g_cache.clear();
  g_cache[key] = CacheEntry{identityOf(st), std::move(doc), true};
}

// ---- Files held in memory -------------------------------------------------------

std::mutex g_memoryMutex;
std::unordered_map<std::string, std::shared_ptr<const Document>> g_memoryFiles;

// The name as the caller spells it, ASCII case folded and slashes as
// backslashes: the readers build their paths the same way every time.
std::string memoryKey(std::string_view name) {
  std::string key(name);
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    else if (c == '/') c = '\\';
  }
  return key;
}

std::shared_ptr<const Document> memoryDocument(const OptText& file) {
  std::lock_guard<std::mutex> guard(g_memoryMutex);
  if (g_memoryFiles.empty() || !file) return nullptr;
  const auto it = g_memoryFiles.find(memoryKey(winsim::utf16ToUtf8(*file)));
  return it == g_memoryFiles.end() ? nullptr : it->second;
}

void forgetMemoryFile(const OptText& file) {
  std::lock_guard<std::mutex> guard(g_memoryMutex);
  if (!g_memoryFiles.empty() && file) g_memoryFiles.erase(memoryKey(winsim::utf16ToUtf8(*file)));
}

// The document a read answers from: the one held in memory for that name,
// else the machine's file.
Loaded loadForRead(const OptText& file) {
  if (auto doc = memoryDocument(file)) return Loaded{std::move(doc), 0};
  const ProfilePath path = resolvePath(file);
  return path.error ? Loaded{nullptr, path.error} : loadDocument(path.host);
}

// ---- Reading -------------------------------------------------------------------

// What a read produced, before it is written to the caller's buffer.
struct ReadResult {
  bool list = false;
  bool found = false;         // a value: the key exists
  bool fileMissing = false;   // a list: no file at all (only one NUL is written)
  Text value;
  std::vector<Text> items;
  DWORD error = 0;
};

// Only trailing spaces are cut from a default value.
Text trimDefault(const OptText& def) {
  if (!def) return Text();
  Text t = *def;
  while (!t.empty() && t.back() == u' ') t.pop_back();
  return t;
}

ReadResult readString(const OptText& section, const OptText& key, const OptText& def, const OptText& file) {
  ReadResult r;
  const Loaded loaded = loadForRead(file);
  const Document* doc = loaded.doc.get();
  if (!section) {
    r.list = true;
    if (doc) r.items = doc->sectionNames();
    else r.fileMissing = true, r.error = loaded.error;
    return r;
  }
  const winsim::ini::Section* s = doc ? doc->findSection(winsim::ini::trimSpaces(*section)) : nullptr;
  if (!key) {
    r.list = true;
    if (s) r.items = doc->keyNames(*s);
    else r.error = doc ? ERROR_FILE_NOT_FOUND : loaded.error;
    return r;
  }
  if (s) {
    if (const auto* line = doc->findKey(*s, winsim::ini::trimSpaces(*key))) {
      r.found = true;
      r.value = winsim::ini::unquote(line->value);
      return r;
    }
  }
  r.value = trimDefault(def);
  r.error = doc ? ERROR_FILE_NOT_FOUND : loaded.error;
  return r;
}

ReadResult readSection(const OptText& section, const OptText& file) {
  ReadResult r;
  r.list = true;
  const Loaded loaded = loadForRead(file);
  if (!loaded.doc) {
    r.error = loaded.error;
    return r;
  }
  if (const auto* s = loaded.doc->findSection(winsim::ini::trimSpaces(*section))) r.items = loaded.doc->sectionEntries(*s);
  else r.error = ERROR_FILE_NOT_FOUND;
  return r;
}

// ---- Handing results out -------------------------------------------------------

std::string outText(const Text& t, char*) { return winsim::utf16ToAnsi(t); }
Text outText(const Text& t, WCHAR*) { return t; }

// The largest cut of at most `limit` units that does not split a character.
size_t safeCut(const std::string& s, size_t limit) {
  if (winsim::ansiCodePage() != CP_UTF8) return limit;  // a single-byte code page: every byte is a character
  while (limit > 0 && limit < s.size() && (static_cast<unsigned char>(s[limit]) & 0xC0) == 0x80) --limit;
  return limit;
}
size_t safeCut(const Text& s, size_t limit) {
  if (limit > 0 && limit < s.size() && s[limit] >= 0xDC00 && s[limit] <= 0xDFFF && s[limit - 1] >= 0xD800 &&
      s[limit - 1] <= 0xDBFF) {
    --limit;
  }
  return limit;
}

// One string: its length, or nSize - 1 when it had to be cut. A cut never
// splits a character; the count still says nSize - 1, so that callers that
// grow their buffer on that answer read the whole value in the end.
template <class Ch, class Str>
DWORD putString(const Str& s, Ch* buf, DWORD size, bool* truncated) {
  *truncated = false;
  if (size == 0) return 0;
  if (s.size() < size) {
    std::copy(s.begin(), s.end(), buf);
    buf[s.size()] = 0;
    return static_cast<DWORD>(s.size());
  }
  *truncated = true;
  const size_t n = safeCut(s, size - 1);
  std::copy(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n), buf);
  std::fill(buf + n, buf + size, Ch(0));
  return size - 1;
}

// A list of NUL-terminated strings closed by one more NUL. When it does not
// fit (the closing NUL included, with room to spare as Windows wants), the
// first nSize - 2 units are kept, then two NULs, and the answer is nSize - 2.
template <class Ch, class Str>
DWORD putList(const std::vector<Str>& items, Ch* buf, DWORD size, bool* truncated) {
  *truncated = false;
  if (size == 0) return 0;
  Str all;
  for (const auto& item : items) {
    all += item;
    all.push_back(Ch(0));
  }
  if (size < 2) {
    buf[0] = 0;
    *truncated = !all.empty();
    return 0;
  }
  if (all.size() + 1 < size || all.empty()) {
    std::copy(all.begin(), all.end(), buf);
    buf[all.size()] = 0;
    if (all.empty()) buf[1] = 0;
    return static_cast<DWORD>(all.size());
  }
  *truncated = true;
  const size_t n = safeCut(all, size - 2);
  std::copy(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n), buf);
  std::fill(buf + n, buf + size, Ch(0));
  return size - 2;
}

template <class Ch>
DWORD emit(const ReadResult& r, Ch* buf, DWORD size) {
  if (!buf) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  bool truncated = false;
  DWORD count = 0;
  if (r.list && r.fileMissing) {
    if (size > 0) buf[0] = 0;
  } else if (r.list) {
    std::vector<decltype(outText(Text(), buf))> items;
    items.reserve(r.items.size());
    for (const auto& item : r.items) items.push_back(outText(item, buf));
    count = putList(items, buf, size, &truncated);
  } else {
    count = putString(outText(r.value, buf), buf, size, &truncated);
  }
  SetLastError(truncated ? ERROR_MORE_DATA : r.error);
  return count;
}

// Windows' string-to-integer rule: blanks, a sign, then "0x", "0o" or "0b"
// pick the base (decimal otherwise: "010" is ten); digits stop at the first
// character that is none; the value wraps modulo 2^32.
UINT parseProfileInt(const Text& t) {
  size_t i = 0;
  while (i < t.size() && t[i] <= u' ') ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) negative = t[i++] == u'-';
  unsigned base = 10;
  if (i + 1 < t.size() && t[i] == u'0') {
    const WCHAR p = t[i + 1] | 0x20;
    if (p == u'x') base = 16;
    else if (p == u'o') base = 8;
    else if (p == u'b') base = 2;
    if (base != 10) i += 2;
  }
  UINT value = 0;
  for (; i < t.size(); ++i) {
    const WCHAR c = t[i];
    unsigned digit = 99;
    if (c >= u'0' && c <= u'9') digit = c - u'0';
    else if ((c | 0x20) >= u'a' && (c | 0x20) <= u'f') digit = (c | 0x20) - u'a' + 10;
    if (digit >= base) break;
    value = value * base + digit;
  }
  return negative ? 0u - value : value;
}

UINT readInt(const OptText& section, const OptText& key, INT def, const OptText& file) {
  if (!section || !key) return static_cast<UINT>(def);
  const ReadResult r = readString(section, key, std::nullopt, file);
  SetLastError(r.error);
  if (!r.found || r.value.empty()) return static_cast<UINT>(def);
  return parseProfileInt(r.value);
}

// ---- Writing -------------------------------------------------------------------

BOOL writeString(const OptText& section, const OptText& key, const OptText& value, const OptText& file) {
  if (!section) {
    if (key) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return FALSE;
    }
    // All three NULL asks to flush the cache; the documented answer is FALSE.
    flushCache();
    return FALSE;
  }
  forgetMemoryFile(file);
  const ProfilePath path = resolvePath(file);
  if (path.error) {
    SetLastError(path.error);
    return FALSE;
  }
  winsim::MachineLock lock;
  Loaded loaded = loadDocument(path.host);
  bool created = false;
  std::shared_ptr<const Document> doc = std::move(loaded.doc);
  if (!doc) {
    if (loaded.error != ERROR_FILE_NOT_FOUND) {
      SetLastError(loaded.error);
      return FALSE;
    }
    std::error_code ec;
    if (!fs::is_directory(path.host.parent_path(), ec)) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return FALSE;
    }
    created = true;
    doc = std::make_shared<const Document>(Document::parse(std::string()));
  } else if (::access(path.host.c_str(), W_OK) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }

  const Text sectionName = winsim::ini::trimSpaces(*section);
  std::optional<std::string> bytes;
  if (!key) bytes = doc->deleteSection(sectionName);
  else if (!value) bytes = doc->deleteKey(sectionName, winsim::ini::trimSpaces(*key));
  else bytes = doc->setValue(sectionName, winsim::ini::trimSpaces(*key), *value);
  // Windows creates the file even when a deletion finds nothing to delete.
  if (!bytes && created) bytes = std::string();

  if (bytes) {
    errno = 0;
    struct stat st {};
    if (!winsim::atomicWriteFile(path.host, *bytes, &st)) {
      SetLastError(errorFromErrno(errno));
      return FALSE;
    }
    rememberWritten(path.host, st, std::move(*bytes), std::move(doc));
  }
  SetLastError(created ? ERROR_FILE_NOT_FOUND : 0);
  return TRUE;
}

}  // namespace

void winsim::profile::setMemoryFile(std::string_view name, std::string bytes) {
  auto doc = std::make_shared<const Document>(Document::parse(std::move(bytes)));
  std::lock_guard<std::mutex> guard(g_memoryMutex);
  g_memoryFiles[memoryKey(name)] = std::move(doc);
}

void winsim::profile::clearMemoryFiles() {
  std::lock_guard<std::mutex> guard(g_memoryMutex);
  g_memoryFiles.clear();
}

// GetPrivateProfileStringA: value, key list or section list; missing data
// gives the default (or an empty list) and ERROR_FILE_NOT_FOUND.
extern "C" DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                                 LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
  return emit(readString(fromA(lpAppName), fromA(lpKeyName), fromA(lpDefault), fromA(lpFileName)), lpReturnedString,
              nSize);
}

// GetPrivateProfileStringW: as the A form, in characters.
extern "C" DWORD WINAPI GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault,
                                                 LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName) {
  return emit(readString(fromW(lpAppName), fromW(lpKeyName), fromW(lpDefault), fromW(lpFileName)), lpReturnedString,
              nSize);
}

// GetPrivateProfileIntA: the value as an unsigned number; nDefault when the
// key is missing or empty.
extern "C" UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName) {
  return readInt(fromA(lpAppName), fromA(lpKeyName), nDefault, fromA(lpFileName));
}

// GetPrivateProfileIntW: as the A form.
extern "C" UINT WINAPI GetPrivateProfileIntW(LPCWSTR lpAppName, LPCWSTR lpKeyName, INT nDefault,
                                             LPCWSTR lpFileName) {
  return readInt(fromW(lpAppName), fromW(lpKeyName), nDefault, fromW(lpFileName));
}

// GetPrivateProfileSectionA: every "key=value" line of the section; 0 and an
// empty list when it is missing; ERROR_INVALID_PARAMETER for a NULL section
// or buffer, ERROR_FILE_NOT_FOUND for a NULL file name.
extern "C" DWORD WINAPI GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize,
                                                  LPCSTR lpFileName) {
  if (!lpAppName || !lpReturnedString) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!lpFileName) {
    ReadResult empty;
    empty.list = true;
    empty.error = ERROR_FILE_NOT_FOUND;
    return emit(empty, lpReturnedString, nSize);
  }
  return emit(readSection(fromA(lpAppName), fromA(lpFileName)), lpReturnedString, nSize);
}

// GetPrivateProfileSectionW: as the A form, in characters.
extern "C" DWORD WINAPI GetPrivateProfileSectionW(LPCWSTR lpAppName, LPWSTR lpReturnedString, DWORD nSize,
                                                  LPCWSTR lpFileName) {
  if (!lpAppName || !lpReturnedString) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!lpFileName) {
    ReadResult empty;
    empty.list = true;
    empty.error = ERROR_FILE_NOT_FOUND;
    return emit(empty, lpReturnedString, nSize);
  }
  return emit(readSection(fromW(lpAppName), fromW(lpFileName)), lpReturnedString, nSize);
}

// GetPrivateProfileSectionNamesA: every section name; a missing file gives 0
// and a single NUL.
extern "C" DWORD WINAPI GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize, LPCSTR lpFileName) {
  return emit(readString(std::nullopt, std::nullopt, std::nullopt, fromA(lpFileName)), lpszReturnBuffer, nSize);
}

// GetPrivateProfileSectionNamesW: as the A form, in characters.
extern "C" DWORD WINAPI GetPrivateProfileSectionNamesW(LPWSTR lpszReturnBuffer, DWORD nSize, LPCWSTR lpFileName) {
  return emit(readString(std::nullopt, std::nullopt, std::nullopt, fromW(lpFileName)), lpszReturnBuffer, nSize);
}

// WritePrivateProfileStringA: sets or deletes a key, deletes a section; FALSE
// with ERROR_PATH_NOT_FOUND when the folder is missing, ERROR_ACCESS_DENIED
// for a read-only file; TRUE with ERROR_FILE_NOT_FOUND when it created the
// file.
extern "C" BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                                  LPCSTR lpFileName) {
  return writeString(fromA(lpAppName), fromA(lpKeyName), fromA(lpString), fromA(lpFileName));
}

// WritePrivateProfileStringW: as the A form.
extern "C" BOOL WINAPI WritePrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpString,
                                                  LPCWSTR lpFileName) {
  return writeString(fromW(lpAppName), fromW(lpKeyName), fromW(lpString), fromW(lpFileName));
}

static const winsim::ExportRegistrar kExports("kernel32.dll", {
    WINSIM_EXPORT(GetPrivateProfileStringA),
    WINSIM_EXPORT(GetPrivateProfileStringW),
    WINSIM_EXPORT(GetPrivateProfileIntA),
    WINSIM_EXPORT(GetPrivateProfileIntW),
    WINSIM_EXPORT(GetPrivateProfileSectionA),
    WINSIM_EXPORT(GetPrivateProfileSectionW),
    WINSIM_EXPORT(GetPrivateProfileSectionNamesA),
    WINSIM_EXPORT(GetPrivateProfileSectionNamesW),
    WINSIM_EXPORT(WritePrivateProfileStringA),
    WINSIM_EXPORT(WritePrivateProfileStringW),
});
