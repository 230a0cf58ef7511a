// winsim: events, mutexes and the wait functions.
//
// Unnamed objects live in the process. A named object is also known to the
// machine: every process that has it open holds a shared lock on its file in
// <root>/objects, so a creator can tell whether the name exists anywhere
// (ERROR_ALREADY_EXISTS) and the name disappears with the last process that
// held it, even one that was killed. A named event keeps its state in a small
// file beside it; a named mutex is owned through an exclusive lock on a
// second file, which the host releases when the owning process dies (the next
// owner then sees the wait as abandoned).
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <map>

#include "kernel32/named_objects.h"
#include "kernel32/sync_objects.h"
#include "machine.h"
#include "modules.h"
#include "process_table.h"
#include "waitable.h"

namespace winsim {
namespace {

// ---- Events ------------------------------------------------------------------------
struct EventObject : Waitable {
  bool manualReset = false;
  bool signalled = false;
  std::unique_ptr<NamedPresence> presence;  // named events only
  fs::path stateFile;

  const char* kind() const override { return "event"; }
  bool named() const { return presence != nullptr; }
  bool needsPolling() override { return named(); }

  bool readShared() const {
    auto s = readWholeFile(stateFile);
    return s && !s->empty() && (*s)[0] == '1';
  }
  void writeShared(bool value) { atomicWriteFile(stateFile, value ? "1" : "0"); }

  bool tryAcquire(unsigned, bool*) override {
    if (!named()) {
      if (!signalled) return false;
      if (!manualReset) signalled = false;
      return true;
    }
    if (!readShared()) return false;
    if (manualReset) return true;
    // Several processes may race for an auto-reset signal: take it under the
    // machine lock so that exactly one wins.
    MachineLock lock;
    if (!readShared()) return false;
    writeShared(false);
    return true;
  }
  void undoAcquire(unsigned) override {
    if (manualReset) return;
    if (named()) writeShared(true);
    else signalled = true;
  }
  void set(bool value) {
    if (named()) {
      MachineLock lock;
      writeShared(value);
    } else {
      signalled = value;
    }
  }
};

// ---- Mutexes -----------------------------------------------------------------------
struct MutexObject : Waitable {
  unsigned ownerTid = 0;
  unsigned recursion = 0;
  bool abandonedLocally = false;  // the owning thread ended without releasing
  std::unique_ptr<NamedPresence> presence;
  int ownerFd = -1;  // exclusive lock held while a thread of this process owns it

  ~MutexObject() override {
    if (ownerFd >= 0) ::close(ownerFd);
  }
  const char* kind() const override { return "mutex"; }
  bool needsPolling() override { return presence != nullptr; }

  // Takes the machine-wide ownership; sets *abandoned when the last owner
  // died holding it.
  bool takeShared(bool* abandoned) {
    if (ownerFd < 0) return true;
    if (::flock(ownerFd, LOCK_EX | LOCK_NB) != 0) return false;
    char buf[64] = {};
    const ssize_t n = ::pread(ownerFd, buf, sizeof buf - 1, 0);
    if (n > 0) {
      // An owner record that is still there was left by an owner that never
      // released the mutex: its process died (or closed it) holding it.
      ProcessIdentity last;
      if (std::sscanf(buf, "%u %llu", &last.pid, &last.start) == 2) *abandoned = true;
    }
    char rec[64];
    const int len = std::snprintf(rec, sizeof rec, "%u %llu\n", selfIdentity().pid, selfIdentity().start);
    if (::ftruncate(ownerFd, 0) != 0 || ::pwrite(ownerFd, rec, static_cast<size_t>(len), 0) != len) {
      // The record only serves to detect abandonment; ownership holds anyway.
    }
    return true;
  }
  void releaseShared() {
    if (ownerFd < 0) return;
    if (::ftruncate(ownerFd, 0) != 0) {
      // An owner record left behind would make the next wait report an
      // abandoned mutex; nothing more can be done about it here.
    }
    ::flock(ownerFd, LOCK_UN);
  }

  bool tryAcquire(unsigned tid, bool* abandoned) override {
    if (ownerTid == tid) {
      ++recursion;
      return true;
    }
    if (ownerTid != 0) {
      // An owner thread that has ended leaves the mutex abandoned.
      if (processStartTimeOfThread(ownerTid)) return false;
      abandonedLocally = true;
      ownerTid = 0;
      recursion = 0;
      releaseShared();
    }
    bool sharedAbandoned = false;
    if (!takeShared(&sharedAbandoned)) return false;
    ownerTid = tid;
    recursion = 1;
    if (abandonedLocally || sharedAbandoned) *abandoned = true;
    abandonedLocally = false;
    return true;
  }
  void undoAcquire(unsigned tid) override {
    if (ownerTid != tid) return;
    if (--recursion == 0) {
      ownerTid = 0;
      releaseShared();
    }
  }
  static bool processStartTimeOfThread(unsigned tid) {
    return ::access(("/proc/self/task/" + std::to_string(tid)).c_str(), F_OK) == 0;
  }
};

// Named objects open in this process, by namespaced name.
std::map<std::string, std::weak_ptr<Waitable>>& namedObjects() {
  static auto* m = new std::map<std::string, std::weak_ptr<Waitable>>;
  return *m;
}
std::mutex g_namedMutex;  // serialises the creation and opening of names in the process

template <class T>
HANDLE openExistingLocal(const std::string& full, bool* wrongKind) {
  auto it = namedObjects().find(full);
  if (it == namedObjects().end()) return nullptr;
  auto obj = it->second.lock();
  if (!obj) return nullptr;
  auto typed = std::dynamic_pointer_cast<T>(obj);
  if (!typed) {
    *wrongKind = true;
    return nullptr;
  }
  return allocHandle(typed);
}

}  // namespace

bool resolveWaitables(unsigned count, const HANDLE* handles, std::vector<std::shared_ptr<Waitable>>* out) {
  out->clear();
  for (unsigned i = 0; i < count; ++i) {
    std::shared_ptr<Waitable> w;
    if (handles[i] == currentThreadPseudoHandle()) {
      w = currentThreadObject();
    } else if (handles[i] == currentProcessPseudoHandle()) {
      w = currentProcessObject();
    } else {
      w = lookupHandleAs<Waitable>(handles[i]);
    }
    if (!w) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    out->push_back(std::move(w));
  }
  return true;
}

}  // namespace winsim

namespace ws = winsim;

namespace {

DWORD waitResult(const ws::WaitResult& r) {
  switch (r.outcome) {
    case ws::WaitOutcome::Object:
      return WAIT_OBJECT_0 + r.index;
    case ws::WaitOutcome::Abandoned:
      return WAIT_ABANDONED_0 + r.index;
    case ws::WaitOutcome::Timeout:
      return WAIT_TIMEOUT;
    case ws::WaitOutcome::Extra:
      break;
  }
  return WAIT_FAILED;
}

// Creates or opens a named object of type T; `make` builds a new one.
template <class T, class Make>
HANDLE createNamed(LPCSTR lpName, const char* kind, Make make) {
  const std::string full = ws::namespacedName(lpName);
  std::lock_guard<std::mutex> guard(ws::g_namedMutex);
  bool wrongKind = false;
  if (HANDLE h = ws::openExistingLocal<T>(full, &wrongKind)) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return h;
  }
  if (wrongKind) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  ws::MachineLock lock;
  auto presence = std::make_unique<ws::NamedPresence>();
  bool existed = false;
  if (!presence->open(full, kind, true, &existed)) return nullptr;
  std::shared_ptr<T> obj = make(std::move(presence), existed);
  if (!obj) return nullptr;
  ws::namedObjects()[full] = obj;
  HANDLE h = ws::allocHandle(obj);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return h;
}

template <class T, class Make>
HANDLE openNamed(LPCSTR lpName, const char* kind, Make make) {
  if (!lpName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::string full = ws::namespacedName(lpName);
  std::lock_guard<std::mutex> guard(ws::g_namedMutex);
  bool wrongKind = false;
  if (HANDLE h = ws::openExistingLocal<T>(full, &wrongKind)) return h;
  if (wrongKind) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  ws::MachineLock lock;
  auto presence = std::make_unique<ws::NamedPresence>();
  bool existed = false;
  if (!presence->open(full, kind, false, &existed)) return nullptr;
  std::shared_ptr<T> obj = make(std::move(presence), true);
  if (!obj) return nullptr;
  ws::namedObjects()[full] = obj;
  return ws::allocHandle(obj);
}

std::shared_ptr<ws::EventObject> makeNamedEvent(std::unique_ptr<ws::NamedPresence> presence, bool existed,
                                                bool manual, bool initial) {
  auto e = std::make_shared<ws::EventObject>();
  e->stateFile = presence->sidePath(".state");
  e->presence = std::move(presence);
  if (!existed) {
    e->writeShared(initial);
    e->manualReset = manual;
    ws::atomicWriteFile(e->presence->sidePath(".kind"), manual ? "manual" : "auto");
  } else {
    // The reset mode is the creator's, as on Windows.
    auto mode = ws::readWholeFile(e->presence->sidePath(".kind"));
    e->manualReset = mode ? *mode == "manual" : manual;
  }
  return e;
}

std::shared_ptr<ws::MutexObject> makeNamedMutex(std::unique_ptr<ws::NamedPresence> presence) {
  auto m = std::make_shared<ws::MutexObject>();
  const auto ownerPath = presence->sidePath(".owner");
  m->ownerFd = ::open(ownerPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (m->ownerFd < 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  m->presence = std::move(presence);
  return m;
}

}  // namespace

// CreateEventA: a new event, or the existing one of that name (the last error
// then ERROR_ALREADY_EXISTS); NULL with ERROR_INVALID_HANDLE when the name
// belongs to another kind of object.
extern "C" HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
  if (!lpName || !*lpName) {
    auto e = std::make_shared<ws::EventObject>();
    e->manualReset = bManualReset != FALSE;
    e->signalled = bInitialState != FALSE;
    SetLastError(ERROR_SUCCESS);
    return ws::allocHandle(e);
  }
  return createNamed<ws::EventObject>(lpName, "event", [&](std::unique_ptr<ws::NamedPresence> p, bool existed) {
    return makeNamedEvent(std::move(p), existed, bManualReset != FALSE, bInitialState != FALSE);
  });
}

// OpenEventA: the event of that name, or NULL with ERROR_FILE_NOT_FOUND.
extern "C" HANDLE WINAPI OpenEventA(DWORD, BOOL, LPCSTR lpName) {
  return openNamed<ws::EventObject>(lpName, "event", [](std::unique_ptr<ws::NamedPresence> p, bool) {
    return makeNamedEvent(std::move(p), true, true, false);
  });
}

namespace {
BOOL changeEvent(HANDLE hEvent, bool value) {
  auto e = ws::lookupHandleAs<ws::EventObject>(hEvent);
  if (!e) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    e->set(value);
  }
  ws::notifyWaiters();
  return TRUE;
}
}  // namespace

// SetEvent / ResetEvent: FALSE with ERROR_INVALID_HANDLE for anything but an event.
extern "C" BOOL WINAPI SetEvent(HANDLE hEvent) { return changeEvent(hEvent, true); }
extern "C" BOOL WINAPI ResetEvent(HANDLE hEvent) { return changeEvent(hEvent, false); }

// CreateMutexA: a new mutex (owned by the caller when bInitialOwner), or the
// existing one of that name in any process of the machine (ERROR_ALREADY_EXISTS,
// and then not taken).
extern "C" HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName) {
  const unsigned tid = ws::currentThreadId();
  if (!lpName || !*lpName) {
    auto m = std::make_shared<ws::MutexObject>();
    if (bInitialOwner) {
      m->ownerTid = tid;
      m->recursion = 1;
    }
    SetLastError(ERROR_SUCCESS);
    return ws::allocHandle(m);
  }
  return createNamed<ws::MutexObject>(lpName, "mutex", [&](std::unique_ptr<ws::NamedPresence> p, bool existed) {
    auto m = makeNamedMutex(std::move(p));
    // A new mutex is owned from the start, before any other process can
    // open its name and wait for it.
    if (m && !existed && bInitialOwner) {
      std::lock_guard<std::mutex> guard(ws::waitMutex());
      bool abandoned = false;
      m->tryAcquire(tid, &abandoned);
    }
    return m;
  });
}

// OpenMutexA: the mutex of that name, or NULL with ERROR_FILE_NOT_FOUND.
extern "C" HANDLE WINAPI OpenMutexA(DWORD, BOOL, LPCSTR lpName) {
  return openNamed<ws::MutexObject>(lpName, "mutex", [](std::unique_ptr<ws::NamedPresence> p, bool) {
    return makeNamedMutex(std::move(p));
  });
}

// ReleaseMutex: FALSE with ERROR_NOT_OWNER when the caller does not own it.
extern "C" BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
  auto m = ws::lookupHandleAs<ws::MutexObject>(hMutex);
  if (!m) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    if (m->ownerTid != ws::currentThreadId()) {
      SetLastError(ERROR_NOT_OWNER);
      return FALSE;
    }
    m->undoAcquire(m->ownerTid);
  }
  ws::notifyWaiters();
  return TRUE;
}

// WaitForSingleObject: WAIT_OBJECT_0, WAIT_ABANDONED, WAIT_TIMEOUT, or
// WAIT_FAILED with ERROR_INVALID_HANDLE.
extern "C" DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

// WaitForMultipleObjects: WAIT_OBJECT_0 + i, WAIT_ABANDONED_0 + i,
// WAIT_TIMEOUT, or WAIT_FAILED (ERROR_INVALID_PARAMETER for 0 or more than
// 64 handles, ERROR_INVALID_HANDLE).
extern "C" DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                               DWORD dwMilliseconds) {
  if (nCount == 0 || nCount > 64 || !lpHandles) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<ws::Waitable>> objects;
  if (!ws::resolveWaitables(nCount, lpHandles, &objects)) return WAIT_FAILED;
  const auto deadline = ws::machineDeadline(dwMilliseconds);
  std::unique_lock<std::mutex> lock(ws::waitMutex());
  return waitResult(ws::waitLocked(lock, objects, bWaitAll != FALSE, deadline, {}));
}

// The interlocked operations: sequentially consistent, on any 32-bit
// variable (the shared counter of a file mapping included).
extern "C" LONG WINAPI InterlockedIncrement(LONG volatile* Addend) {
  return __atomic_add_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}
extern "C" LONG WINAPI InterlockedDecrement(LONG volatile* Addend) {
  return __atomic_sub_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}
extern "C" LONG WINAPI InterlockedExchange(LONG volatile* Target, LONG Value) {
  return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}
extern "C" LONG WINAPI InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange, LONG Comperand) {
  LONG expected = Comperand;
  __atomic_compare_exchange_n(Destination, &expected, Exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return expected;
}

static const winsim::ExportRegistrar kExports(
    "kernel32.dll",
    {WINSIM_EXPORT(CreateEventA), WINSIM_EXPORT(OpenEventA), WINSIM_EXPORT(SetEvent), WINSIM_EXPORT(ResetEvent),
     WINSIM_EXPORT(CreateMutexA), WINSIM_EXPORT(OpenMutexA), WINSIM_EXPORT(ReleaseMutex),
     WINSIM_EXPORT(WaitForSingleObject), WINSIM_EXPORT(WaitForMultipleObjects),
     WINSIM_EXPORT(InterlockedIncrement), WINSIM_EXPORT(InterlockedDecrement), WINSIM_EXPORT(InterlockedExchange),
     WINSIM_EXPORT(InterlockedCompareExchange)});
