// The last-error value is kept per thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/win32.h"

TEST(LastError, IsPerThread) {
  std::atomic<int> step{0};
  DWORD seenByWorker = 0;
  std::thread worker([&] {
    SetLastError(ERROR_ACCESS_DENIED);
    step = 1;
    while (step.load() != 2) {
    }
    seenByWorker = GetLastError();
  });
  while (step.load() != 1) {
  }
  SetLastError(0xdeadbeef);
  const DWORD seenByMain = GetLastError();
  step = 2;
  worker.join();
  EXPECT_EQ(seenByWorker, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(seenByMain, 0xdeadbeefu);
}
