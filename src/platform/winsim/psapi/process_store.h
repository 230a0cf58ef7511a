// winsim: the simulated processes of a machine, the ones another program
// would have running beside ours (the spooler with the driver DLLs it has
// loaded, an application that prints, ...). `kvsim proc add` records them and
// `kvsim proc clear` ends them all; the process-status functions list them.
//
// They live in <root>/processes, one process a line:
//   PID<TAB>IMAGE[<TAB>MODULE]...
// IMAGE and every MODULE are absolute Windows paths. Windows allows no
// control character in a path, so a tab never occurs inside one. The image is
// the process's first module; MODULE lists the others in load order.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include "modules.h"

namespace winsim::procs {

struct Process {
  DWORD pid = 0;
  std::string image;
  std::vector<std::string> modules;  // without the image
};

// Process ids of simulated processes are multiples of 4 as on Windows, and
// start above every id the host can give its own processes (at most 2^22 on
// Linux), so they never name a host process.
inline constexpr DWORD kFirstPid = 0x01000000;
// A module path longer than this is refused: the loader of every Windows the
// program supports keeps module paths within MAX_PATH.
inline constexpr size_t kMaxPath = MAX_PATH - 1;

// Whether a text is a path a process could have loaded: "X:\..." or a UNC
// path "\\server\share\...", of at most kMaxPath characters, without control
// characters.
bool isModulePath(std::string_view path);

// ---- The file's text --------------------------------------------------------------
// Lines that cannot be read (a bad id, a path that is no module path, an id
// seen before) are skipped, so a damaged file loses only them.
std::vector<Process> parse(std::string_view text);
std::string format(const std::vector<Process>& processes);

// ---- The machine's store ----------------------------------------------------------
std::vector<Process> all();
std::optional<Process> find(DWORD pid);
// Records a new process and gives its id; nothing when a path is no module
// path or the store cannot be written.
std::optional<DWORD> add(const std::string& image, const std::vector<std::string>& modules);
// Ends every simulated process.
bool clear();

// ---- What a process handle shows ---------------------------------------------------
// The id of the System process, which no program may open for reading.
inline constexpr DWORD kSystemPid = 4;
// The module handles of a simulated process: its image at the usual base of a
// program, the other modules above it.
inline HMODULE imageHandle() { return reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x00400000)); }
inline HMODULE moduleHandle(size_t index) {
  return reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x10000000 + 0x10000 * (index + 1)));
}
// The modules of the process a handle names (GetCurrentProcess() too), its
// image first: this process's own modules, a simulated process's recorded
// ones, or the image alone of another host process. Nothing, with the last
// error set, when the handle names no process or the process has ended.
// Defined beside the process objects (kernel32/process.cpp).
std::optional<std::vector<LoadedModule>> modulesOfProcess(HANDLE hProcess);

}  // namespace winsim::procs
