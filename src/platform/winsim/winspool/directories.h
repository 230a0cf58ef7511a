// winsim: the spooler's environments and the folders that belong to them.
#pragma once

#include <string>
#include <string_view>

namespace winsim::spool {

struct Environment {
  const char* name;  // "Windows x64"
  const char* dir;   // "x64"
};

// The environment of a name (case-insensitive); an empty name is the
// calling process's own environment. nullptr for an unknown name.
const Environment* findEnvironment(std::string_view name);
// "Windows x64" for a 64-bit process, "Windows NT x86" for a 32-bit one
// (also under WOW64), from the machine's architecture settings.
const Environment& processEnvironment();

// C:\Windows\system32\spool\drivers\<dir> (no version subfolder).
std::string driverDirectory(const Environment& env);
// C:\Windows\system32\spool\prtprocs\<dir>.
std::string printProcessorDirectory(const Environment& env);

}  // namespace winsim::spool
