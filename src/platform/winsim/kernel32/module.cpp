// winsim: modules: LoadLibrary, GetProcAddress, FreeLibrary, GetModuleHandle,
// GetModuleFileName.
//
// System module names are answered with winsim's built-in export tables.
// Any other name is looked for as a file, in the order Windows searches:
// the program's folder, the system folders, the current folder, then the
// PATH of the process; a file found is loaded with dlopen, so a stand-in
// library is a real shared object carrying the name the program asks for.
#include <dlfcn.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "kernel32/environ.h"
#include "machine.h"
#include "machine_settings.h"
#include "modules.h"

namespace {

using winsim::fs::path;

struct Module {
  std::string name;      // canonical name of a built-in module, or the host path
  bool builtin = false;
  void* dl = nullptr;    // dlopen handle of a loaded file
  int refs = 0;
  bool permanent = false;  // loaded with the process, never unloaded
};

struct Table {
  std::mutex mutex;
  // The module handle is the address of a one-byte tag owned here, as a
  // Windows module handle is the address of its image.
  std::map<HMODULE, Module> modules;
  std::vector<std::unique_ptr<char>> tags;

  HMODULE newHandle() {
    tags.push_back(std::make_unique<char>(0));
    return reinterpret_cast<HMODULE>(tags.back().get());
  }
};

// Modules every Windows process has loaded from its start: the system core
// and the libraries the program links directly.
const char* const kProcessModules[] = {"ntdll.dll", "kernel32.dll", "advapi32.dll", "user32.dll"};

// Exports that appeared after Windows 2000: a program probing an older
// system for them with GetProcAddress must not find them.
struct NewerExport {
  const char* name;
  DWORD major, minor;
};
constexpr NewerExport kNewerExports[] = {
    {"GetNativeSystemInfo", 5, 1},
    {"IsWow64Process", 5, 1},
};

HMODULE g_exeHandle = nullptr;

Table& table() {
  static Table* t = [] {
    auto* tab = new Table;
    g_exeHandle = tab->newHandle();
    for (const char* name : kProcessModules) {
      if (!winsim::findBuiltinModule(name)) continue;  // user32 only when linked
      HMODULE h = tab->newHandle();
      tab->modules[h] = Module{winsim::builtinModuleName(name), true, nullptr, 1, true};
    }
    return tab;
  }();
  return *t;
}

std::optional<path> exePath() {
  std::error_code ec;
  path p = winsim::fs::read_symlink("/proc/self/exe", ec);
  if (ec) return std::nullopt;
  return p;
}

std::string baseName(std::string_view name) {
  const size_t slash = name.find_last_of("\\/");
  return std::string(slash == std::string_view::npos ? name : name.substr(slash + 1));
}

// "nqcore64" -> "nqcore64.dll"; "name." means a file without an extension.
std::string withDefaultExtension(std::string name) {
  const std::string base = baseName(name);
  if (!base.empty() && base.back() == '.') name.pop_back();
  else if (base.find('.') == std::string::npos) name += ".dll";
  return name;
}

bool isFile(const path& p) {
  std::error_code ec;
  return winsim::fs::is_regular_file(p, ec);
}

std::optional<path> searchFile(const std::string& name) {
  const bool hasDir = name.find_first_of("\\/:") != std::string::npos;
  if (hasDir) {
    auto host = winsim::hostPath(name);
    if (host && isFile(*host)) return host;
    return std::nullopt;
  }
  std::vector<std::string> dirs;
  if (auto exe = exePath()) dirs.push_back(winsim::winPath(exe->parent_path()));
  dirs.push_back("C:\\Windows\\system32");
  dirs.push_back("C:\\Windows");
  dirs.push_back(winsim::currentDirectory());
  if (auto pathVar = winsim::environmentVariable("PATH")) {
    size_t start = 0;
    while (start <= pathVar->size()) {
      size_t semi = pathVar->find(';', start);
      if (semi == std::string::npos) semi = pathVar->size();
      std::string dir = pathVar->substr(start, semi - start);
      if (dir.size() >= 2 && dir.front() == '"' && dir.back() == '"') dir = dir.substr(1, dir.size() - 2);
      if (!dir.empty()) dirs.push_back(dir);
      start = semi + 1;
    }
  }
  for (const auto& dir : dirs) {
    auto host = winsim::hostPath(dir + "\\" + name);
    if (host && isFile(*host)) return host;
  }
  return std::nullopt;
}

HMODULE findLoaded(Table& t, const std::string& key) {
  for (auto& [h, m] : t.modules) {
    if (m.builtin ? winsim::iequals(m.name, key) : m.name == key) return h;
  }
  return nullptr;
}

// A built-in module answers to its bare name and to a path in the system
// folders; another folder holding a file of that name gets the file.
std::string builtinFor(const std::string& name) {
  const std::string canonical = winsim::builtinModuleName(baseName(name));
  if (canonical.empty()) return {};
  if (name.find_first_of("\\/:") == std::string::npos) return canonical;
  auto host = winsim::hostPath(name);
  if (host && isFile(*host)) return {};
  return canonical;
}

bool exportAvailable(const char* name) {
  for (const NewerExport& e : kNewerExports) {
    if (std::string_view(e.name) != name) continue;
    const winsim::MachineSettings s = winsim::machineSettings();
    if (!winsim::isNtPlatform(s)) return false;
    return s.majorVersion > e.major || (s.majorVersion == e.major && s.minorVersion >= e.minor);
  }
  return true;
}

std::string moduleWinPath(const Module& m) {
  if (!m.builtin) return winsim::winPath(path(m.name));
  const bool wow64 = winsim::processIsWow64(winsim::machineSettings());
  return std::string(wow64 ? "C:\\Windows\\SysWOW64\\" : "C:\\Windows\\system32\\") + m.name;
}

}  // namespace

// LoadLibraryExA: NULL with ERROR_MOD_NOT_FOUND when no module of that name
// exists, ERROR_BAD_EXE_FORMAT when the file found cannot be loaded,
// ERROR_INVALID_PARAMETER for a NULL name or a file handle.
extern "C" HMODULE WINAPI LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags) {
  (void)dwFlags;  // data-file loads and altered search paths resolve the same modules here
  if (!lpLibFileName || !*lpLibFileName || hFile) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::string name = withDefaultExtension(lpLibFileName);
  Table& t = table();
  std::lock_guard<std::mutex> guard(t.mutex);
  if (const std::string builtin = builtinFor(name); !builtin.empty()) {
    HMODULE h = findLoaded(t, builtin);
    if (!h) {
      h = t.newHandle();
      t.modules[h] = Module{builtin, true, nullptr, 0, false};
    }
    ++t.modules[h].refs;
    return h;
  }
  const auto file = searchFile(name);
  if (!file) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  const std::string key = file->string();
  if (HMODULE h = findLoaded(t, key)) {
    ++t.modules[h].refs;
    return h;
  }
  void* dl = ::dlopen(key.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!dl) {
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  HMODULE h = t.newHandle();
  t.modules[h] = Module{key, false, dl, 1, false};
  return h;
}

// LoadLibraryA: as LoadLibraryExA without flags.
extern "C" HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) { return LoadLibraryExA(lpLibFileName, nullptr, 0); }

// GetProcAddress: NULL with ERROR_PROC_NOT_FOUND for a name the module does
// not export (names are compared with case, ordinals are not offered),
// ERROR_MOD_NOT_FOUND for a handle that names no loaded module.
extern "C" FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  Table& t = table();
  std::lock_guard<std::mutex> guard(t.mutex);
  if (!hModule || hModule == g_exeHandle) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  auto it = t.modules.find(hModule);
  if (it == t.modules.end()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (!lpProcName || IS_INTRESOURCE(lpProcName)) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  const Module& m = it->second;
  if (m.builtin) {
    if (const auto* exports = winsim::findBuiltinModule(m.name); exports && exportAvailable(lpProcName)) {
      if (FARPROC proc = winsim::findBuiltinExport(*exports, lpProcName)) return proc;
    }
  } else if (void* sym = ::dlsym(m.dl, lpProcName)) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(sym));
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

// FreeLibrary: FALSE with ERROR_MOD_NOT_FOUND for a handle that names no
// loaded module. A file is unloaded when its last reference goes; the
// modules of the process itself stay.
extern "C" BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  Table& t = table();
  std::lock_guard<std::mutex> guard(t.mutex);
  if (hLibModule == g_exeHandle) return TRUE;
  auto it = t.modules.find(hLibModule);
  if (it == t.modules.end()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  Module& m = it->second;
  if (m.permanent) return TRUE;
  if (--m.refs > 0) return TRUE;
  if (m.dl) ::dlclose(m.dl);
  // The handle's tag stays allocated so that a stale handle never names a
  // later module.
  t.modules.erase(it);
  return TRUE;
}

// GetModuleHandleA: NULL gives the program's own module; a name gives a
// module already loaded, without a new reference; NULL with
// ERROR_MOD_NOT_FOUND for a module that is not loaded.
extern "C" HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  Table& t = table();
  if (!lpModuleName) return g_exeHandle;
  const std::string name = withDefaultExtension(lpModuleName);
  std::lock_guard<std::mutex> guard(t.mutex);
  if (auto exe = exePath(); exe && winsim::iequals(baseName(name), exe->filename().string())) return g_exeHandle;
  const std::string builtin = winsim::builtinModuleName(baseName(name));
  for (auto& [h, m] : t.modules) {
    if (m.builtin ? winsim::iequals(m.name, builtin) : winsim::iequals(path(m.name).filename().string(), baseName(name)))
      return h;
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

// GetModuleFileNameA: the module's path in Windows form and its length.
// A short buffer gets the truncated path: from Vista on NUL-terminated,
// with the result nSize and ERROR_INSUFFICIENT_BUFFER; on XP and before
// without a NUL, with the result nSize and no error. 0 with
// ERROR_MOD_NOT_FOUND for a handle that names no loaded module.
extern "C" DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  std::string file;
  {
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.mutex);
    if (!hModule || hModule == g_exeHandle) {
      auto exe = exePath();
      if (!exe) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
      }
      file = winsim::winPath(*exe);
    } else {
      auto it = t.modules.find(hModule);
      if (it == t.modules.end()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
      }
      file = moduleWinPath(it->second);
    }
  }
  if (!lpFilename && nSize) {
    SetLastError(ERROR_NOACCESS);
    return 0;
  }
  const DWORD length = static_cast<DWORD>(file.size());
  if (length < nSize) {
    std::memcpy(lpFilename, file.c_str(), length + 1);
    return length;
  }
  const winsim::MachineSettings s = winsim::machineSettings();
  const bool xpRule = winsim::isNtPlatform(s) && s.majorVersion < 6;
  if (nSize == 0) {
    if (!xpRule) SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (xpRule) {
    std::memcpy(lpFilename, file.data(), nSize);
  } else {
    std::memcpy(lpFilename, file.data(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
  }
  return nSize;
}

namespace winsim {

std::vector<LoadedModule> processModules() {
  Table& t = table();
  std::lock_guard<std::mutex> guard(t.mutex);
  std::vector<LoadedModule> out;
  if (auto exe = exePath()) out.push_back({g_exeHandle, winPath(*exe)});
  // The tags are kept in the order their handles were made, which is the
  // order of loading; a module freed for good is no longer in the table.
  for (const auto& tag : t.tags) {
    const auto h = reinterpret_cast<HMODULE>(tag.get());
    if (auto it = t.modules.find(h); it != t.modules.end()) out.push_back({h, moduleWinPath(it->second)});
  }
  return out;
}

}  // namespace winsim

// ntdll is a module of every process; it exports nothing a program of ours
// binds by name.
static const winsim::ExportRegistrar kNtdll("ntdll.dll", {});
static const winsim::ExportRegistrar kExports(
    "kernel32.dll", {WINSIM_EXPORT(LoadLibraryA), WINSIM_EXPORT(LoadLibraryExA), WINSIM_EXPORT(GetProcAddress),
                     WINSIM_EXPORT(FreeLibrary), WINSIM_EXPORT(GetModuleHandleA),
                     WINSIM_EXPORT(GetModuleFileNameA)});
