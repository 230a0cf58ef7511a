// winsim: waiting for kernel objects and message queues.
//
// Every waitable state of the process (events, mutexes, threads, processes,
// the message queues of user32) is guarded by one process-wide lock and one
// condition variable. A waiter checks the objects it waits for under the lock
// and sleeps on the condition; whoever changes such state calls notifyWaiters()
// after the change. Objects whose state lives outside the process (a named
// object another process may signal, a process that is not our child) ask to
// be polled, and the waiter then wakes at short intervals to look again.
//
// Time-outs are given in machine milliseconds and run on the machine clock
// (KVSIM_TIMESCALE), as Sleep does.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "handles.h"

namespace winsim {

std::mutex& waitMutex();
std::condition_variable& waitCondition();
// Wakes every waiter of the process so that it looks at its objects again.
// May be called with or without waitMutex() held.
void notifyWaiters();

// The real time point at which `ms` machine milliseconds from now have passed;
// INFINITE gives time_point::max().
std::chrono::steady_clock::time_point machineDeadline(unsigned ms);

// A kernel object a thread can wait for. The functions are called with
// waitMutex() held.
struct Waitable : KernelObject {
  // Satisfies a wait by thread `tid` if the object is signalled now, taking
  // what the wait consumes (an auto-reset event's signal, a mutex's
  // ownership). `abandoned` is set when a mutex's owner died holding it.
  virtual bool tryAcquire(unsigned tid, bool* abandoned) = 0;
  // Gives back what tryAcquire took, when a wait for all objects cannot be
  // completed after all.
  virtual void undoAcquire(unsigned tid) { (void)tid; }
  // True when the state can change without notifyWaiters() in this process.
  virtual bool needsPolling() { return false; }
};

// How a wait ended.
enum class WaitOutcome { Object, Abandoned, Extra, Timeout };
struct WaitResult {
  WaitOutcome outcome;
  unsigned index;  // the object that satisfied a wait-any (0 for wait-all)
};

// Waits for the objects (any or all) or for `extra` to become true (checked
// under the lock before the objects, may be empty), until the machine
// deadline. `lock` must hold waitMutex(). `onWake`, when given, runs with the
// lock held each time the waiter wakes, before the checks (user32 uses it to
// handle messages sent to the waiting thread); it may unlock and relock.
WaitResult waitLocked(std::unique_lock<std::mutex>& lock, const std::vector<std::shared_ptr<Waitable>>& objects,
                      bool waitAll, std::chrono::steady_clock::time_point deadline,
                      const std::function<bool()>& extra,
                      const std::function<void(std::unique_lock<std::mutex>&)>& onWake = {});

// Resolves handles for a wait; false (ERROR_INVALID_HANDLE set) when one of
// them is not a waitable object. GetCurrentProcess() and GetCurrentThread()
// are understood.
bool resolveWaitables(unsigned count, const HANDLE* handles, std::vector<std::shared_ptr<Waitable>>* out);

// The process and thread ids winsim uses (the host's pid and tid).
unsigned currentProcessId();
unsigned currentThreadId();

}  // namespace winsim
