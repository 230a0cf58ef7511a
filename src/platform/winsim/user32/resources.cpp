// winsim: module resources read from resource scripts, and the resource
// functions of kernel32 and user32 over them.
#include "user32/resources.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "machine.h"
#include "modules.h"

namespace winsim {
namespace {

constexpr const char* kProgramScript = "kv_setup.rc";

std::mutex& resourceMutex() {
  static std::mutex m;
  return m;
}

// Test modules get handles from a range no real module uses.
constexpr ULONG_PTR kTestModuleBase = 0x7E000000;

struct Registry {
  std::unique_ptr<ModuleResources> program;
  std::string programError;
  bool programLoaded = false;
  std::vector<std::unique_ptr<ModuleResources>> testModules;
};

Registry& registry() {
  static Registry r;
  return r;
}

// A bitmap resource holds the DIB without its 14-byte file header, as the
// resource compiler stores it.
std::string resourceBytes(const rc::ResId& type, const std::string& file) {
  if (type.isNumber && type.number == 2 && file.size() >= 14 && file.compare(0, 2, "BM") == 0)
    return file.substr(14);
  return file;
}

std::unique_ptr<ModuleResources> buildModule(const std::string& name, const std::string& scriptName,
                                             const std::string& scriptText,
                                             const std::map<std::string, std::string>& files, std::string* error) {
  auto findFile = [&](const std::string& fileName) -> std::optional<std::string> {
    for (const auto& [n, bytes] : files)
      if (iequals(n, fileName)) return bytes;
    return std::nullopt;
  };
  auto module = std::make_unique<ModuleResources>();
  module->name = name;
  if (!rc::parse(scriptText, scriptName, findFile, &module->script, error)) return nullptr;
  for (const rc::FileResource& f : module->script.files) {
    std::optional<std::string> bytes = findFile(f.fileName);
    if (!bytes) {
      if (error) *error = scriptName + ":" + std::to_string(f.line) + ": file \"" + f.fileName + "\" not found";
      return nullptr;
    }
    rc::ResId type = f.type;
    // An icon file becomes the icon group LoadIconA looks for.
    if (type.isNumber && type.number == 3) type.number = 14;
    module->entries.push_back(ResourceEntry{f.id, type, resourceBytes(f.type, *bytes)});
  }
  // The version resource (RT_VERSION 16, name 1), as the resource compiler
  // builds it into the Windows program.
  if (module->script.version.present) {
    rc::ResId id, type;
    id.number = 1;
    type.number = 16;
    module->entries.push_back(ResourceEntry{id, type, rc::encodeVersionInfo(module->script.version)});
  }
  return module;
}

void loadProgramLocked() {
  Registry& r = registry();
  if (r.programLoaded) return;
  r.programLoaded = true;
  std::map<std::string, std::string> files;
  for (const EmbeddedFile& f : embeddedProgramFiles())
    files[f.name] = std::string(reinterpret_cast<const char*>(f.data), f.size);
  auto it = files.find(kProgramScript);
  if (it == files.end()) {
    r.programError = std::string("the program has no resource script ") + kProgramScript;
    return;
  }
  r.program = buildModule("program", kProgramScript, it->second, files, &r.programError);
  if (!r.program) std::fprintf(stderr, "winsim: the program's resources are unusable: %s\n", r.programError.c_str());
}

const ResourceEntry* findEntry(const ModuleResources& m, const rc::ResId& id, const rc::ResId& type) {
  for (const ResourceEntry& e : m.entries)
    if (e.id == id && e.type == type) return &e;
  return nullptr;
}

bool hasType(const ModuleResources& m, const rc::ResId& type) {
  for (const ResourceEntry& e : m.entries)
    if (e.type == type) return true;
  return false;
}

// Pictures and icons the pages load: the renderers show no pictures, so a
// handle only has to be unique and say what it stands for.
struct ImageHandle {
  UINT type;
  std::string what;
};
std::vector<std::unique_ptr<ImageHandle>>& images() {
  static std::vector<std::unique_ptr<ImageHandle>> v;
  return v;
}
HANDLE newImage(UINT type, std::string what) {
  std::lock_guard<std::mutex> guard(resourceMutex());
  images().push_back(std::make_unique<ImageHandle>(ImageHandle{type, std::move(what)}));
  return images().back().get();
}

}  // namespace

rc::ResId resIdFromName(LPCSTR name) {
  rc::ResId id;
  if (IS_INTRESOURCE(name)) {
    id.number = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(name));
    return id;
  }
  // "#123" names the number 123, as on Windows.
  if (name[0] == '#') {
    DWORD v = 0;
    bool ok = name[1] != '\0';
    for (const char* p = name + 1; *p && ok; ++p) {
      if (*p < '0' || *p > '9' || v > 0xFFFF) ok = false;
      v = v * 10 + static_cast<DWORD>(*p - '0');
    }
    if (ok && v <= 0xFFFF) {
      id.number = v;
      return id;
    }
  }
  id.isNumber = false;
  id.name = toUpper(name);
  return id;
}

const ModuleResources* moduleResources(HINSTANCE module, std::string* error) {
  std::lock_guard<std::mutex> guard(resourceMutex());
  Registry& r = registry();
  const auto h = reinterpret_cast<ULONG_PTR>(module);
  if (h >= kTestModuleBase && h < kTestModuleBase + 0x10000 * (r.testModules.size() + 1)) {
    size_t index = (h - kTestModuleBase) / 0x10000;
    if (index < r.testModules.size()) return r.testModules[index].get();
  }
  loadProgramLocked();
  if (!r.program && error) *error = r.programError;
  return r.program.get();
}

HINSTANCE registerResourceModule(const std::string& name, const std::string& scriptText,
                                 const std::map<std::string, std::string>& files, std::string* error) {
  auto module = buildModule(name, name, scriptText, files, error);
  if (!module) return nullptr;
  std::lock_guard<std::mutex> guard(resourceMutex());
  Registry& r = registry();
  r.testModules.push_back(std::move(module));
  return reinterpret_cast<HINSTANCE>(kTestModuleBase + 0x10000 * (r.testModules.size() - 1));
}

const rc::Dialog* findDialogTemplate(HINSTANCE module, LPCSTR name, std::string* error) {
  const ModuleResources* m = moduleResources(module, error);
  if (!m) return nullptr;
  rc::ResId id = resIdFromName(name);
  const rc::Dialog* d = m->script.findDialog(id);
  if (!d && error) *error = "no dialog template " + id.toString() + " in the " + m->name + " resources";
  return d;
}

}  // namespace winsim

using winsim::ResourceEntry;

// FindResourceA: the resource of that name and type, or NULL with
// ERROR_RESOURCE_TYPE_NOT_FOUND / ERROR_RESOURCE_NAME_NOT_FOUND (or
// ERROR_RESOURCE_DATA_NOT_FOUND when the module has no usable resources).
extern "C" HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
  if (!lpName || !lpType) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string error;
  const winsim::ModuleResources* m = winsim::moduleResources(hModule, &error);
  if (!m) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  winsim::rc::ResId type = winsim::resIdFromName(lpType);
  if (!type.isNumber) {
    if (DWORD n = winsim::rc::standardTypeNumber(type.name)) {
      type.isNumber = true;
      type.number = n;
      type.name.clear();
    }
  }
  if (!winsim::hasType(*m, type)) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  const ResourceEntry* e = winsim::findEntry(*m, winsim::resIdFromName(lpName), type);
  if (!e) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(e));
}

// LoadResource: the data handle of a found resource (its bytes), or NULL with
// ERROR_INVALID_HANDLE.
extern "C" HGLOBAL WINAPI LoadResource(HMODULE /*hModule*/, HRSRC hResInfo) {
  if (!hResInfo) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  auto* e = reinterpret_cast<ResourceEntry*>(hResInfo);
  return const_cast<char*>(e->bytes.data());
}

// LockResource: the address of the resource's bytes; NULL for NULL.
extern "C" LPVOID WINAPI LockResource(HGLOBAL hResData) { return hResData; }

// SizeofResource: the resource's size in bytes; 0 with ERROR_INVALID_HANDLE
// for NULL.
extern "C" DWORD WINAPI SizeofResource(HMODULE /*hModule*/, HRSRC hResInfo) {
  if (!hResInfo) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return static_cast<DWORD>(reinterpret_cast<ResourceEntry*>(hResInfo)->bytes.size());
}

// FreeResource: resources live as long as the module; always FALSE, as on
// 32-bit and later Windows.
extern "C" BOOL WINAPI FreeResource(HGLOBAL /*hResData*/) { return FALSE; }

namespace {

HANDLE loadImageResource(HINSTANCE inst, LPCSTR name, UINT type) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  LPCSTR rt = type == IMAGE_BITMAP ? RT_BITMAP : type == IMAGE_ICON ? RT_GROUP_ICON : RT_GROUP_CURSOR;
  if (!FindResourceA(inst, name, rt)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return winsim::newImage(type, winsim::resIdFromName(name).toString());
}

}  // namespace

// LoadIconA: an icon of the module; NULL with ERROR_RESOURCE_NAME_NOT_FOUND
// when the module has none of that name.
extern "C" HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
  return static_cast<HICON>(loadImageResource(hInstance, lpIconName, IMAGE_ICON));
}

// LoadBitmapA: a bitmap of the module; NULL with
// ERROR_RESOURCE_NAME_NOT_FOUND when there is none.
extern "C" HBITMAP WINAPI LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName) {
  return static_cast<HBITMAP>(loadImageResource(hInstance, lpBitmapName, IMAGE_BITMAP));
}

// LoadImageA: a bitmap or icon from the module or, with LR_LOADFROMFILE, from
// a file (which must exist and, for a bitmap, begin with "BM"); NULL with
// ERROR_FILE_NOT_FOUND, ERROR_RESOURCE_NAME_NOT_FOUND or
// ERROR_INVALID_PARAMETER.
extern "C" HANDLE WINAPI LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int /*cx*/, int /*cy*/, UINT fuLoad) {
  if (type > IMAGE_CURSOR || !name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (fuLoad & LR_LOADFROMFILE) {
    std::optional<winsim::fs::path> host = IS_INTRESOURCE(name) ? std::nullopt : winsim::hostPath(name);
    std::optional<std::string> bytes = host ? winsim::readWholeFile(*host) : std::nullopt;
    if (!bytes) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return nullptr;
    }
    if (type == IMAGE_BITMAP && bytes->compare(0, 2, "BM") != 0) {
      SetLastError(ERROR_INVALID_DATA);
      return nullptr;
    }
    return winsim::newImage(type, name);
  }
  return loadImageResource(hInst, name, type);
}

// LoadStringA: copies the STRINGTABLE string `uID` of the module, cut to the
// buffer, and returns its length; 0 with an empty buffer and
// ERROR_RESOURCE_NAME_NOT_FOUND when there is none (or the module has no
// usable resources), 0 for a buffer of no characters.
extern "C" int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
  if (!lpBuffer || cchBufferMax <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  lpBuffer[0] = '\0';
  std::string error;
  const winsim::ModuleResources* m = winsim::moduleResources(hInstance, &error);
  auto it = m ? m->script.strings.find(uID & 0xFFFF) : decltype(m->script.strings)::const_iterator{};
  if (!m || uID > 0xFFFF || it == m->script.strings.end()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  const size_t n = std::min(it->second.size(), static_cast<size_t>(cchBufferMax - 1));
  std::memcpy(lpBuffer, it->second.data(), n);
  lpBuffer[n] = '\0';
  return static_cast<int>(n);
}

// DestroyIcon: releases nothing (icons live as long as the process); TRUE.
extern "C" BOOL WINAPI DestroyIcon(HICON /*hIcon*/) { return TRUE; }

static const winsim::ExportRegistrar kResourceExports("kernel32.dll", {
    WINSIM_EXPORT(FindResourceA), WINSIM_EXPORT(LoadResource), WINSIM_EXPORT(LockResource),
    WINSIM_EXPORT(SizeofResource), WINSIM_EXPORT(FreeResource)});
static const winsim::ExportRegistrar kImageExports("user32.dll", {
    WINSIM_EXPORT(LoadIconA), WINSIM_EXPORT(LoadBitmapA), WINSIM_EXPORT(LoadImageA), WINSIM_EXPORT(DestroyIcon),
    WINSIM_EXPORT(LoadStringA)});
