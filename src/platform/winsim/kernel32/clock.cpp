// winsim: wall-clock time, the tick count and Sleep.
//
// The date and time are the host's; the tick count and Sleep run on the
// machine clock, which KVSIM_TIMESCALE speeds up for tests, so that waits
// measured with GetTickCount keep their meaning under any scale.
#include <sys/time.h>

#include <climits>
#include <ctime>

#include <windows.h>

#include "machine.h"
#include "modules.h"

namespace {

// Seconds between 1601-01-01 and 1970-01-01, the two epochs.
constexpr unsigned long long kEpochDifference = 11644473600ull;

// The machine was started a while before the process, as on Windows,
// where a tick count of 0 never shows.
constexpr unsigned long long kUptimeAtStartMs = 3600000ull;

void toSystemTime(const std::tm& tm, long microseconds, LPSYSTEMTIME out) {
  out->wYear = static_cast<WORD>(tm.tm_year + 1900);
  out->wMonth = static_cast<WORD>(tm.tm_mon + 1);
  out->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
  out->wDay = static_cast<WORD>(tm.tm_mday);
  out->wHour = static_cast<WORD>(tm.tm_hour);
  out->wMinute = static_cast<WORD>(tm.tm_min);
  out->wSecond = static_cast<WORD>(tm.tm_sec);
  out->wMilliseconds = static_cast<WORD>(microseconds / 1000);
}

}  // namespace

// GetLocalTime: the host's local time; never fails.
extern "C" void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
  if (!lpSystemTime) return;
  timeval tv{};
  ::gettimeofday(&tv, nullptr);
  std::tm tm{};
  const time_t seconds = tv.tv_sec;
  ::localtime_r(&seconds, &tm);
  toSystemTime(tm, tv.tv_usec, lpSystemTime);
}

// GetSystemTime: the time in UTC; never fails.
extern "C" void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) {
  if (!lpSystemTime) return;
  timeval tv{};
  ::gettimeofday(&tv, nullptr);
  std::tm tm{};
  const time_t seconds = tv.tv_sec;
  ::gmtime_r(&seconds, &tm);
  toSystemTime(tm, tv.tv_usec, lpSystemTime);
}

// GetSystemTimeAsFileTime: 100-ns intervals since 1601 in UTC; never fails.
extern "C" void WINAPI GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime) {
  if (!lpSystemTimeAsFileTime) return;
  timeval tv{};
  ::gettimeofday(&tv, nullptr);
  const unsigned long long ticks =
      (static_cast<unsigned long long>(tv.tv_sec) + kEpochDifference) * 10000000ull +
      static_cast<unsigned long long>(tv.tv_usec) * 10ull;
  lpSystemTimeAsFileTime->dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
  lpSystemTimeAsFileTime->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
}

// GetTickCount: machine milliseconds since the machine started, wrapping
// at 2^32 as on Windows; never fails.
extern "C" DWORD WINAPI GetTickCount(void) {
  return static_cast<DWORD>((winsim::machineTickMs() + kUptimeAtStartMs) & 0xFFFFFFFFu);
}

// Sleep: waits the given machine milliseconds; INFINITE never returns, 0
// gives up the rest of the time slice.
extern "C" void WINAPI Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == INFINITE) {
    for (;;) winsim::sleepMachineMs(UINT_MAX);
  }
  winsim::sleepMachineMs(dwMilliseconds);
}

static const winsim::ExportRegistrar kExports(
    "kernel32.dll", {WINSIM_EXPORT(GetLocalTime), WINSIM_EXPORT(GetSystemTime), WINSIM_EXPORT(GetSystemTimeAsFileTime),
                     WINSIM_EXPORT(GetTickCount), WINSIM_EXPORT(Sleep)});
