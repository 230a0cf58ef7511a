// Helpers for the conformance tests that run on winsim and on Wine alike.
//
// Where Wine is known to depart from Windows, winsim follows Windows and the
// test says so with KV_WINE_DEPARTS: under Wine the departure is reported at
// the end of the run instead of failing; on winsim the check runs as usual.
// KV_TODO_SIM marks a known gap of winsim in the same way.
#pragma once

#include <string>

namespace kvtest {

bool runningUnderWine();
bool runningOnWinsim();
// Records a departure; returns true when the check that follows is to be skipped.
bool noteDeparture(const char* kind, const std::string& what, const char* file, int line);
void printDepartures();

}  // namespace kvtest

#define KV_WINE_DEPARTS(what) \
  if (kvtest::runningUnderWine() && kvtest::noteDeparture("WINE", (what), __FILE__, __LINE__)) { \
  } else

#define KV_TODO_SIM(what) \
  if (kvtest::runningOnWinsim() && kvtest::noteDeparture("TODO_SIM", (what), __FILE__, __LINE__)) { \
  } else
