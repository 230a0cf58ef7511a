// winsim: export tables of the built-in system modules.
//
// The program binds several system libraries at run time (SetupApi.DLL,
// mscms.dll, NEWDEV.DLL, psapi.dll, Kernel32.dll, ...). Each winsim source
// that implements functions of such a module lists them once:
//
//   static const winsim::ExportRegistrar kExports("setupapi.dll", {
//       WINSIM_EXPORT(SetupOpenInfFileA), WINSIM_EXPORT(SetupCloseInfFile)});
//
// LoadLibraryA finds the module by name (case-insensitive; ".dll" or ".drv"
// may be left out) and GetProcAddress looks the name up in these tables.
// winsim is linked whole-archive, so every registrar runs.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

namespace winsim {

struct ExportEntry {
  const char* name;
  FARPROC proc;
};

void registerExports(const char* moduleName, std::initializer_list<ExportEntry> entries);

// The exports of a built-in module, or nullptr when no module of that name is
// built in. "kernel32", "KERNEL32.DLL" and "Kernel32.dll" name the same one.
const std::vector<ExportEntry>* findBuiltinModule(std::string_view moduleName);
// The address of the export of that name (compared with case) in a table
// findBuiltinModule gave, or nullptr.
FARPROC findBuiltinExport(const std::vector<ExportEntry>& exports, std::string_view procName);
// The canonical lower-case name ("kernel32.dll") of a built-in module, or "".
std::string builtinModuleName(std::string_view moduleName);

// The modules of this process as the process-status functions list them:
// the program's own image first, then every module loaded, in load order.
struct LoadedModule {
  HMODULE handle;
  std::string winPath;
};
std::vector<LoadedModule> processModules();

struct ExportRegistrar {
  ExportRegistrar(const char* moduleName, std::initializer_list<ExportEntry> entries) {
    registerExports(moduleName, entries);
  }
};

}  // namespace winsim

#define WINSIM_EXPORT(fn) \
  winsim::ExportEntry { #fn, reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&fn)) }
