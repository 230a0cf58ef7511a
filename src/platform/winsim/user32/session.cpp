// winsim: WaitForInputIdle and the shutdown request.
#include "kernel32/sync_objects.h"
#include "modules.h"
#include "user32/user_private.h"

namespace winsim::user {

void noteWaitingForInput() { noteProcessWaitingForInput(); }

}  // namespace winsim::user

using namespace winsim::user;
namespace ws = winsim;

// WaitForInputIdle: 0 once the process has waited for input in GetMessage or
// MsgWaitForMultipleObjects (or has ended), WAIT_TIMEOUT, or WAIT_FAILED with
// ERROR_INVALID_HANDLE. Messages sent to the calling thread are handled while
// it waits, so a child that sends to its parent before it first waits for
// input does not lock up with it.
extern "C" DWORD WINAPI WaitForInputIdle(HANDLE hProcess, DWORD dwMilliseconds) {
  auto idle = ws::inputIdleWaitable(hProcess);
  if (!idle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  auto self = currentQueue();
  std::unique_lock<std::mutex> lock(ws::waitMutex());
  const auto r = ws::waitLocked(lock, {idle}, false, ws::machineDeadline(dwMilliseconds), {},
                                [&](std::unique_lock<std::mutex>& l) { handleSentMessages(l, *self); });
  return r.outcome == ws::WaitOutcome::Timeout ? WAIT_TIMEOUT : 0;
}

static const winsim::ExportRegistrar kExports("user32.dll", {WINSIM_EXPORT(WaitForInputIdle)});
