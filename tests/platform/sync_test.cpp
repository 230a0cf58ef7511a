// Threads, events, mutexes, waits, interlocked operations and named shared
// memory within one process.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/win32.h"

namespace {

struct Gate {
  HANDLE hold;
  HANDLE done;
  std::atomic<int> passed{0};
};

DWORD WINAPI waitAtGate(LPVOID p) {
  auto* g = static_cast<Gate*>(p);
  if (WaitForSingleObject(g->hold, 600000) != WAIT_OBJECT_0) return 1;
  ++g->passed;
  SetEvent(g->done);
  return 42;
}

TEST(Sync, ANamedManualResetEventHoldsAndReleasesAWorker) {
  Gate g;
  g.hold = CreateEventA(nullptr, TRUE, FALSE, "KvSyncTestHold");
  ASSERT_NE(g.hold, nullptr);
  EXPECT_EQ(GetLastError(), 0u);
  g.done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  // Opening the name again gives the same event.
  HANDLE same = OpenEventA(EVENT_ALL_ACCESS, FALSE, "KvSyncTestHold");
  ASSERT_NE(same, nullptr);
  HANDLE again = CreateEventA(nullptr, TRUE, FALSE, "KvSyncTestHold");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

  DWORD tid = 0;
  HANDLE worker = CreateThread(nullptr, 0, waitAtGate, &g, 0, &tid);
  ASSERT_NE(worker, nullptr);
  EXPECT_NE(tid, 0u);
  EXPECT_EQ(WaitForSingleObject(g.done, 20), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(g.passed.load(), 0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(worker, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));

  ASSERT_TRUE(SetEvent(same));
  EXPECT_EQ(WaitForSingleObject(g.done, 600000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(worker, 600000), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeThread(worker, &code));
  EXPECT_EQ(code, 42u);
  // A manual-reset event stays set for every waiter; an auto-reset one lets one through.
  EXPECT_EQ(WaitForSingleObject(g.hold, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(g.hold, 0), WAIT_OBJECT_0);
  SetEvent(g.done);
  EXPECT_EQ(WaitForSingleObject(g.done, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(g.done, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  ResetEvent(g.hold);
  EXPECT_EQ(WaitForSingleObject(g.hold, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  for (HANDLE h : {worker, g.hold, g.done, same, again}) CloseHandle(h);
}

TEST(Sync, NamesBelongToOneKindOfObject) {
  HANDLE e = CreateEventA(nullptr, TRUE, FALSE, "KvSyncTestKind");
  ASSERT_NE(e, nullptr);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateMutexA(nullptr, FALSE, "KvSyncTestKind"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(OpenEventA(EVENT_ALL_ACCESS, FALSE, "KvSyncTestMissing"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  CloseHandle(e);
  // Once the last handle is closed the name is free again.
  HANDLE m = CreateMutexA(nullptr, FALSE, "KvSyncTestKind");
  EXPECT_NE(m, nullptr);
  EXPECT_EQ(GetLastError(), 0u);
  CloseHandle(m);
}

DWORD WINAPI tryMutex(LPVOID p) { return WaitForSingleObject(static_cast<HANDLE>(p), 0); }

DWORD WINAPI holdAndEnd(LPVOID p) {
  WaitForSingleObject(static_cast<HANDLE>(p), 0);
  return 0;  // ends owning the mutex
}

TEST(Sync, MutexOwnershipIsRecursiveAndPerThread) {
  HANDLE m = CreateMutexA(nullptr, TRUE, "Global\\KvSyncTestMutex");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);  // recursion
  HANDLE t = CreateThread(nullptr, 0, tryMutex, m, 0, nullptr);
  WaitForSingleObject(t, 600000);
  DWORD code = 0;
  GetExitCodeThread(t, &code);
  EXPECT_EQ(code, static_cast<DWORD>(WAIT_TIMEOUT));
  CloseHandle(t);
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_TRUE(ReleaseMutex(m));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ReleaseMutex(m));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));

  // A thread that ends owning the mutex leaves it abandoned.
  t = CreateThread(nullptr, 0, holdAndEnd, m, 0, nullptr);
  WaitForSingleObject(t, 600000);
  CloseHandle(t);
  EXPECT_EQ(WaitForSingleObject(m, 600000), static_cast<DWORD>(WAIT_ABANDONED));
  EXPECT_TRUE(ReleaseMutex(m));
  CloseHandle(m);
}

TEST(Sync, WaitForMultipleObjectsAnyAndAll) {
  HANDLE a = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE b = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  HANDLE both[] = {a, b};
  EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 10), static_cast<DWORD>(WAIT_TIMEOUT));
  // The failed wait-all must not have consumed b's signal.
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0 + 1);
  SetEvent(b);
  SetEvent(a);
  EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(b, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(WaitForMultipleObjects(0, both, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  CloseHandle(a);
  CloseHandle(b);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Sync, InterlockedOperations) {
  LONG volatile v = -1;
  EXPECT_EQ(InterlockedIncrement(&v), 0);
  EXPECT_EQ(InterlockedDecrement(&v), -1);
  EXPECT_EQ(InterlockedExchange(&v, 5), -1);
  EXPECT_EQ(InterlockedCompareExchange(&v, 9, 4), 5);  // no match: unchanged
  EXPECT_EQ(InterlockedCompareExchange(&v, 9, 5), 5);
  EXPECT_EQ(v, 9);
}

TEST(Sync, NamedMappingsShareTheirBytes) {
  HANDLE first = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8, "KvSyncTestShared");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), 0u);
  auto* p = static_cast<LONG*>(MapViewOfFile(first, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[0], 0);  // a new mapping starts zeroed
  p[0] = 1234;
  HANDLE second = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8, "KvSyncTestShared");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  HANDLE third = OpenFileMappingA(FILE_MAP_READ, FALSE, "KvSyncTestShared");
  ASSERT_NE(third, nullptr);
  auto* q = static_cast<LONG*>(MapViewOfFile(third, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q[0], 1234);
  EXPECT_TRUE(UnmapViewOfFile(q));
  EXPECT_TRUE(UnmapViewOfFile(p));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(UnmapViewOfFile(p));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
  for (HANDLE h : {first, second, third}) CloseHandle(h);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, "KvSyncTestShared"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
