// winsim: the resources of modules: dialog templates, pictures, icons, the
// animation and raw data, read from resource scripts.
//
// The program's own module is the resource script of src/res, embedded at
// build time (cmake/EmbedFiles.cmake) together with every file it names. Any
// module handle that is not a test module (NULL, the program's instance
// handle, GetModuleHandleA(NULL)) means the program's module: winsim runs
// one program per process. Tests add modules of their own from script text.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include <windows.h>

#include "user32/rc_parser.h"

namespace winsim {

struct EmbeddedFile {
  const char* name;
  const unsigned char* data;
  size_t size;
};
// Defined by the generated source of the build: the program's resource
// script "kv_setup.rc", "resource.h" and the files the script names.
const std::vector<EmbeddedFile>& embeddedProgramFiles();

// One resource found by FindResourceA: its bytes as LoadResource gives them.
struct ResourceEntry {
  rc::ResId id;
  rc::ResId type;
  std::string bytes;
};

struct ModuleResources {
  std::string name;
  rc::Script script;
  std::vector<ResourceEntry> entries;  // stable addresses: HRSRC points into it
};

// The resources of a module handle, or nullptr with *error saying why (the
// script does not parse: the message names the file and line).
const ModuleResources* moduleResources(HINSTANCE module, std::string* error);

// Adds a module built from script text and its files (file name -> bytes);
// returns its handle, or NULL with *error when the script does not parse.
HINSTANCE registerResourceModule(const std::string& name, const std::string& scriptText,
                                 const std::map<std::string, std::string>& files, std::string* error);

// The dialog template `name` (MAKEINTRESOURCE or a string) of a module.
const rc::Dialog* findDialogTemplate(HINSTANCE module, LPCSTR name, std::string* error);

// MAKEINTRESOURCE value or a name, as a ResId.
rc::ResId resIdFromName(LPCSTR name);

}  // namespace winsim
