// winsim: the run states of the machine's services, which Windows keeps only
// in the memory of its service manager.
//
// They live in <root>/services.state, one service a line:
//   NAME<TAB>WORD[<TAB>DEADLINE]
// WORD is one of kStateWords. A pending state carries the wall-clock time
// (milliseconds since 1970) at which it ends: a start_pending service runs
// from then on and a stop_pending one is stopped. A pending state without a
// deadline never ends (a service that hangs). Every process of the machine
// reads the same file, so a stop begun by one program is seen to finish by
// another. A service with no line is in the state a freshly started machine
// gives it: running when it starts automatically, stopped otherwise.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

namespace winsim::runstate {

// The numbers of SERVICE_STATUS dwCurrentState.
inline constexpr DWORD kStopped = 1;
inline constexpr DWORD kStartPending = 2;
inline constexpr DWORD kStopPending = 3;
inline constexpr DWORD kRunning = 4;
inline constexpr DWORD kContinuePending = 5;
inline constexpr DWORD kPausePending = 6;
inline constexpr DWORD kPaused = 7;

struct StateWord {
  DWORD state;
  const char* word;
};
inline constexpr StateWord kStateWords[] = {
    {kStopped, "stopped"},   {kStartPending, "start_pending"},       {kStopPending, "stop_pending"},
    {kRunning, "running"},   {kContinuePending, "continue_pending"}, {kPausePending, "pause_pending"},
    {kPaused, "paused"},
};
const char* stateWord(DWORD state);
std::optional<DWORD> stateFromWord(std::string_view word);

struct Entry {
  std::string name;
  DWORD state = kStopped;
  std::uint64_t deadline = 0;  // for pending states: when they end (0 = never)
};

// ---- The file's text ------------------------------------------------------------
// Lines that cannot be read are skipped, so a damaged file loses only them.
std::vector<Entry> parse(std::string_view text);
std::string format(const std::vector<Entry>& entries);

// The current wall-clock time in milliseconds, the time base of deadlines.
std::uint64_t nowMs();
// The state an entry is in at `now`: a pending state whose deadline has
// passed has become its end state.
DWORD settledState(const Entry& entry, std::uint64_t now);

// ---- The machine's store --------------------------------------------------------
// The entry of a service (name compared without regard to case), settled to
// the present; nothing when the file has no line for it.
std::optional<Entry> find(std::string_view name);
// Sets the state (and deadline) of a service, adding its line if needed.
bool set(std::string_view name, DWORD state, std::uint64_t deadline = 0);
// Every entry, settled to the present.
std::vector<Entry> all();

// The state of a service: its line, else the state its start type gives it
// (`autoStart`: SERVICE_BOOT_START to SERVICE_AUTO_START).
DWORD stateOf(std::string_view name, bool autoStart);
// Whether a service of the registry is defined and running.
bool serviceRunning(std::string_view name);
// Whether the print spooler runs (the "Spooler" service of the registry).
bool spoolerRunning();

}  // namespace winsim::runstate
