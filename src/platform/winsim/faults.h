// winsim: the fault knobs of the machine (HKLM\SOFTWARE\KVSim\Faults), which
// make the simulated system misbehave on purpose so that the program's
// failure paths can be reached without mocking the program's own classes.
//
// A knob is a value of that key. Knobs that name a call hold a DWORD error
// code; knobs that name services hold a comma-separated list of names.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <windows.h>

namespace winsim::faults {

inline constexpr const char* kFaultsKey = "SOFTWARE\\KVSim\\Faults";

// The error code a call is made to fail with: the DWORD value
// "Spooler.<function>" (or any other prefix the caller gives), if non-zero.
std::optional<DWORD> errorFor(std::string_view knob);
// Whether the comma-separated list in the knob names `item` (without regard
// to case). A knob holding "*" names every item.
bool listNames(std::string_view knob, std::string_view item);
// For knobs that count how often something happens: while the DWORD knob
// is above 0 it is lowered by one and the count left is answered.
std::optional<DWORD> countDown(std::string_view knob);
// For tests that end a program in the middle of a step: while the text knob
// "HoldAt" names `call` (the list rules of listNames), the call waits before
// it does anything, and the text knob "HeldAt" names the call held, so that
// the test knows when to act. Clearing "HoldAt" lets the call go on.
void holdAt(std::string_view call);
// countDown as a yes or no.
inline bool takeOne(std::string_view knob) { return countDown(knob).has_value(); }

}  // namespace winsim::faults
