// winsim: the process-wide wait machinery behind WaitForSingleObject,
// WaitForMultipleObjects and MsgWaitForMultipleObjects.
#include "waitable.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

#include "machine.h"

namespace winsim {
namespace {

// How often a waiter looks again at objects whose state lives outside the
// process, in real milliseconds.
constexpr auto kPollInterval = std::chrono::milliseconds(2);

}  // namespace

std::mutex& waitMutex() {
  static std::mutex* m = new std::mutex;  // never destroyed: threads may outlive static destruction
  return *m;
}

std::condition_variable& waitCondition() {
  static std::condition_variable* c = new std::condition_variable;
  return *c;
}

void notifyWaiters() { waitCondition().notify_all(); }

std::chrono::steady_clock::time_point machineDeadline(unsigned ms) {
  using namespace std::chrono;
  if (ms == INFINITE) return steady_clock::time_point::max();
  const double real = static_cast<double>(ms) * timescale();
  return steady_clock::now() + duration_cast<steady_clock::duration>(duration<double, std::milli>(real));
}

unsigned currentProcessId() { return static_cast<unsigned>(::getpid()); }
unsigned currentThreadId() { return static_cast<unsigned>(::syscall(SYS_gettid)); }

WaitResult waitLocked(std::unique_lock<std::mutex>& lock, const std::vector<std::shared_ptr<Waitable>>& objects,
                      bool waitAll, std::chrono::steady_clock::time_point deadline,
                      const std::function<bool()>& extra,
                      const std::function<void(std::unique_lock<std::mutex>&)>& onWake) {
  const unsigned tid = currentThreadId();
  for (;;) {
    if (onWake) onWake(lock);
    if (!objects.empty()) {
      bool abandoned = false;
      if (waitAll) {
        size_t taken = 0;
        while (taken < objects.size() && objects[taken]->tryAcquire(tid, &abandoned)) ++taken;
        if (taken == objects.size()) return {abandoned ? WaitOutcome::Abandoned : WaitOutcome::Object, 0};
        // Not all at once: give back what was taken, so the wait stays whole.
        while (taken > 0) objects[--taken]->undoAcquire(tid);
      } else {
        for (unsigned i = 0; i < objects.size(); ++i) {
          if (objects[i]->tryAcquire(tid, &abandoned))
            return {abandoned ? WaitOutcome::Abandoned : WaitOutcome::Object, i};
        }
      }
    }
    if (extra && extra()) return {WaitOutcome::Extra, static_cast<unsigned>(objects.size())};
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return {WaitOutcome::Timeout, 0};
    const bool poll = std::any_of(objects.begin(), objects.end(), [](auto& o) { return o->needsPolling(); });
    auto until = deadline;
    if (poll) until = std::min(deadline, now + kPollInterval);
    if (until == std::chrono::steady_clock::time_point::max()) {
      waitCondition().wait(lock);
    } else {
      waitCondition().wait_until(lock, until);
    }
  }
}

}  // namespace winsim
