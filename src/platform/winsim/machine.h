// winsim: the simulated machine shared by every process that names the same
// root folder: where it lives, how its state is locked and written, how
// Windows paths map onto host paths, and the machine clock.
//
// Everything in winsim that changes machine state does so under MachineLock
// and writes files with atomicWriteFile, so that a process killed half-way
// never leaves a torn registry or INI file behind.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

namespace winsim {

namespace fs = std::filesystem;

// The machine root: KVSIM_ROOT, else $XDG_DATA_HOME/kv_setup/machine, else
// ~/.local/share/kv_setup/machine. Created from the default template on first
// use. The result is cached; resetMachineRoot() forgets it (tests that switch
// KVSIM_ROOT call it).
const fs::path& machineRoot();
// The exit status of a process whose machine cannot be created or read: it
// ends at its first call that needs the machine, with a message naming the
// folder, never with a status of the program.
inline constexpr int kMachineUnusableExitCode = 125;
void resetMachineRoot();

// The templates a machine can be created from.
inline constexpr const char* kDefaultTemplate = "win7-x64";
bool isKnownTemplate(std::string_view name);

// Creates a machine in `root` from a template. Fails (with a reason) when the
// template is unknown or the folder already holds a machine.
bool createMachine(const fs::path& root, std::string_view templateName, std::string* error);
bool isMachine(const fs::path& root);

// Fills a new machine root with the template's files and registry. Defined in
// machine_template.cpp.
bool populateTemplate(const fs::path& root, std::string_view templateName, std::string* error);

// A machine-wide lock: an flock on <root>/.lock, recursive within one thread
// and shared by the threads of one process through a process mutex.
class MachineLock {
 public:
  MachineLock();
  ~MachineLock();
  MachineLock(const MachineLock&) = delete;
  MachineLock& operator=(const MachineLock&) = delete;
};

// Writes the whole file or nothing: a temporary file in the same folder,
// flushed, then renamed over the target. `written`, when given, receives the
// status of the new file as it was renamed into place (its inode is new).
bool atomicWriteFile(const fs::path& path, std::string_view bytes, struct ::stat* written = nullptr);
std::optional<std::string> readWholeFile(const fs::path& path);
// The lines of a stored text, without their line ends ("\n" or "\r\n"); the
// views point into the text.
std::vector<std::string_view> splitLines(std::string_view text);

// ---- Paths ----------------------------------------------------------------
// C: is <root>/drive_c, Z: is the host's "/". Lookups ignore case: each
// component that exists under another case resolves to the name on disk; the
// components that do not exist keep the case they were given. Relative paths
// are resolved against the process's current directory. Returns nothing for
// a path that no drive holds (another drive letter, a UNC path, a device).
std::optional<fs::path> hostPath(std::string_view winPath);

// Calls `each` with the name of every entry of a host folder but "." and
// "..", read in place without a directory stream. False when the folder
// cannot be read.
bool forEachFolderEntry(const fs::path& folder, const std::function<void(std::string_view)>& each);

// A folder as it stands: the same folder with the same modification and
// change times has gained, lost and renamed no entry since. The times move
// in ticks of the file system's clock, so two changes within one tick leave
// the same stamp; only a stamp whose last change is older than `age`
// (settled) is sure to differ after the next change.
struct FolderStamp {
  dev_t dev = 0;
  ino_t ino = 0;
  struct timespec mtime {};
  struct timespec ctime {};

  static FolderStamp of(const struct ::stat& st);
  bool operator==(const FolderStamp& other) const;
  bool settled(std::chrono::nanoseconds age) const;
};

// The Windows form of a host path: under <root>/drive_c it is C:\..., any
// other absolute path is Z:\... with backslashes.
std::string winPath(const fs::path& host);

// The normalised absolute Windows form of a path ("C:\Dir\File"): relative
// parts resolved against the current directory, "." and ".." folded, forward
// slashes turned into backslashes, case kept as given.
std::string fullWinPath(std::string_view path);

// The process's current directory in Windows form (initially the host's
// current directory, as Z:\...).
std::string currentDirectory();
void setCurrentDirectory(const std::string& winDir);

// ---- Clock ----------------------------------------------------------------
// KVSIM_TIMESCALE (default 1): machine milliseconds become scale * real ms.
double timescale();
// Sleeps for `ms` machine milliseconds.
void sleepMachineMs(std::uint64_t ms);
// Machine milliseconds since this process first asked.
std::uint64_t machineTickMs();

// ---- Small text helpers used across winsim ---------------------------------
bool iequals(std::string_view a, std::string_view b);
std::string toLower(std::string_view s);
std::string toUpper(std::string_view s);

}  // namespace winsim
