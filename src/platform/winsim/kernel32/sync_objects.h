// winsim: the kernel objects of kernel32 that threads wait for (events,
// mutexes, threads, processes), as other winsim sources see them.
#pragma once

#include <string>

#include "waitable.h"

namespace winsim {

// A thread started by CreateThread (or the calling thread, seen through
// GetCurrentThread()).
struct ThreadObject : Waitable {
  unsigned tid = 0;
  bool finished = false;
  DWORD exitCode = STILL_ACTIVE;
  const char* kind() const override { return "thread"; }
  bool tryAcquire(unsigned, bool*) override { return finished; }
};

// The thread object of the calling thread (created on first use).
std::shared_ptr<ThreadObject> currentThreadObject();

// The process object of the calling process (never signalled).
std::shared_ptr<Waitable> currentProcessObject();

// Marks the process as having waited for input (WaitForInputIdle).
void noteProcessWaitingForInput();
// A waitable signalled once the process behind the handle has waited for
// input or has ended; nullptr when the handle is not a process.
std::shared_ptr<Waitable> inputIdleWaitable(HANDLE hProcess);

}  // namespace winsim
