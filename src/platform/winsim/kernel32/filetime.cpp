// winsim: file times and their conversions.
#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include "kernel32/file_common.h"
#include "modules.h"

using namespace winsim;
using namespace winsim::files;

namespace {

constexpr std::uint64_t kTicksPerSecond = 10000000ULL;
constexpr std::uint64_t kTicksPerDay = kTicksPerSecond * 86400ULL;
// Days from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kDays1601To1970 = 134774;
// FileTimeToSystemTime refuses values with the top bit set.
constexpr std::uint64_t kMaxFileTime = 0x7FFFFFFFFFFFFFFFULL;

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<std::int64_t>(yoe) + era * 400 + (*m <= 2);
}

bool isLeap(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned daysInMonth(unsigned y, unsigned m) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// The current offset of local time from UTC in FILETIME ticks. Windows applies
// the bias in force now, not the one of the converted date, and so does winsim.
std::int64_t localBiasTicks() {
  const std::time_t now = std::time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  return static_cast<std::int64_t>(local.tm_gmtoff) * static_cast<std::int64_t>(kTicksPerSecond);
}

bool isUnchanged(const FILETIME* ft) {
  return !ft || (ft->dwLowDateTime == 0 && ft->dwHighDateTime == 0) ||
         (ft->dwLowDateTime == 0xFFFFFFFFu && ft->dwHighDateTime == 0xFFFFFFFFu);
}

}  // namespace

// GetFileTime: FALSE with ERROR_INVALID_HANDLE. Any of the outputs may be NULL.
extern "C" BOOL WINAPI GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime,
                                   LPFILETIME lpLastWriteTime) {
  auto f = fileFromHandle(hFile);
  struct stat st {};
  if (!f || ::fstat(f->fd, &st) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (lpCreationTime) *lpCreationTime = creationTime(f->path.host, st);
  if (lpLastAccessTime) *lpLastAccessTime = toFileTime(st.st_atim);
  if (lpLastWriteTime) *lpLastWriteTime = toFileTime(st.st_mtim);
  return TRUE;
}

// SetFileTime: FALSE with ERROR_INVALID_HANDLE, or ERROR_ACCESS_DENIED for a
// handle opened without the right to write attributes. A NULL or zero time
// leaves that time as it is. The creation time is kept by the host and cannot
// be changed; it is accepted and ignored.
extern "C" BOOL WINAPI SetFileTime(HANDLE hFile, const FILETIME* lpCreationTime, const FILETIME* lpLastAccessTime,
                                   const FILETIME* lpLastWriteTime) {
  (void)lpCreationTime;
  auto f = fileFromHandle(hFile);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(f->access & FILE_WRITE_ATTRIBUTES)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  struct timespec times[2];
  times[0] = isUnchanged(lpLastAccessTime) ? timespec{0, UTIME_OMIT} : toTimespec(*lpLastAccessTime);
  times[1] = isUnchanged(lpLastWriteTime) ? timespec{0, UTIME_OMIT} : toTimespec(*lpLastWriteTime);
  if (::futimens(f->fd, times) != 0 && ::utimensat(AT_FDCWD, f->path.host.c_str(), times, 0) != 0) {
    SetLastError(errnoError(errno, f->path.host));
    return FALSE;
  }
  return TRUE;
}

// FileTimeToLocalFileTime: FALSE with ERROR_INVALID_PARAMETER for NULL pointers.
extern "C" BOOL WINAPI FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime) {
  if (!lpFileTime || !lpLocalFileTime) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *lpLocalFileTime = makeFileTime(fileTimeValue(*lpFileTime) + static_cast<std::uint64_t>(localBiasTicks()));
  return TRUE;
}

// LocalFileTimeToFileTime: FALSE with ERROR_INVALID_PARAMETER for NULL pointers.
extern "C" BOOL WINAPI LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime) {
  if (!lpFileTime || !lpLocalFileTime) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *lpFileTime = makeFileTime(fileTimeValue(*lpLocalFileTime) - static_cast<std::uint64_t>(localBiasTicks()));
  return TRUE;
}

// FileTimeToSystemTime: FALSE with ERROR_INVALID_PARAMETER for a time with the
// top bit set (beyond the year 30828) or NULL pointers.
extern "C" BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
  if (!lpFileTime || !lpSystemTime || fileTimeValue(*lpFileTime) > kMaxFileTime) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::uint64_t v = fileTimeValue(*lpFileTime);
  const auto days = static_cast<std::int64_t>(v / kTicksPerDay);
  const std::uint64_t rest = v % kTicksPerDay;
  std::int64_t y = 0;
  unsigned m = 0, d = 0;
  civilFromDays(days - kDays1601To1970, &y, &m, &d);
  lpSystemTime->wYear = static_cast<WORD>(y);
  lpSystemTime->wMonth = static_cast<WORD>(m);
  lpSystemTime->wDay = static_cast<WORD>(d);
  lpSystemTime->wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
  const std::uint64_t seconds = rest / kTicksPerSecond;
  lpSystemTime->wHour = static_cast<WORD>(seconds / 3600);
  lpSystemTime->wMinute = static_cast<WORD>(seconds / 60 % 60);
  lpSystemTime->wSecond = static_cast<WORD>(seconds % 60);
  lpSystemTime->wMilliseconds = static_cast<WORD>(rest % kTicksPerSecond / 10000);
  return TRUE;
}

// SystemTimeToFileTime: FALSE with ERROR_INVALID_PARAMETER for a field out of
// range (year 1601..30827, a day the month has, and so on). The day of the week
// is ignored.
extern "C" BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime) {
  if (!lpSystemTime || !lpFileTime) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const SYSTEMTIME& s = *lpSystemTime;
  if (s.wYear < 1601 || s.wYear > 30827 || s.wMonth < 1 || s.wMonth > 12 || s.wDay < 1 ||
      s.wDay > daysInMonth(s.wYear, s.wMonth) || s.wHour > 23 || s.wMinute > 59 || s.wSecond > 59 ||
      s.wMilliseconds > 999) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::int64_t days = daysFromCivil(s.wYear, s.wMonth, s.wDay) + kDays1601To1970;
  const std::uint64_t v = static_cast<std::uint64_t>(days) * kTicksPerDay +
                          (static_cast<std::uint64_t>(s.wHour) * 3600 + s.wMinute * 60u + s.wSecond) * kTicksPerSecond +
                          static_cast<std::uint64_t>(s.wMilliseconds) * 10000u;
  *lpFileTime = makeFileTime(v);
  return TRUE;
}

// CompareFileTime: -1, 0 or 1; never fails.
extern "C" LONG WINAPI CompareFileTime(const FILETIME* lpFileTime1, const FILETIME* lpFileTime2) {
  const std::uint64_t a = fileTimeValue(*lpFileTime1);
  const std::uint64_t b = fileTimeValue(*lpFileTime2);
  return a < b ? -1 : (a > b ? 1 : 0);
}

static const winsim::ExportRegistrar kExports(
    "kernel32.dll",
    {WINSIM_EXPORT(GetFileTime), WINSIM_EXPORT(SetFileTime), WINSIM_EXPORT(FileTimeToLocalFileTime),
     WINSIM_EXPORT(LocalFileTimeToFileTime), WINSIM_EXPORT(FileTimeToSystemTime),
     WINSIM_EXPORT(SystemTimeToFileTime), WINSIM_EXPORT(CompareFileTime)});
