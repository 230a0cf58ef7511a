// winsim: telling the processes of the host apart over time.
//
// A process id alone can be reused after its process ends, so records that
// outlive a process (the window table, mutex owners, the input-idle marks)
// name a process by its id together with its start time.
#pragma once

namespace winsim {

struct ProcessIdentity {
  unsigned pid = 0;
  unsigned long long start = 0;  // the host's start time of the process (clock ticks since boot)
};

// The start time of a running process, or 0 when it does not exist.
unsigned long long processStartTime(unsigned pid);
ProcessIdentity selfIdentity();
// True while the process named by the identity runs (a zombie counts as ended).
bool processAlive(const ProcessIdentity& who);

}  // namespace winsim
