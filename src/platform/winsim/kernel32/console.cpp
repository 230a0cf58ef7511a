// winsim: the standard handles and the console. A standard handle is a
// console when the process's descriptor is a terminal, as a console window
// is for a program on Windows.
#include <unistd.h>

#include <memory>
#include <mutex>

#include <windows.h>

#include "handles.h"

namespace winsim {
namespace {

struct StdStream : KernelObject {
  explicit StdStream(int descriptor) : fd(descriptor) {}
  const char* kind() const override { return "console"; }
  int fd;
};

HANDLE stdHandle(int fd) {
  static std::once_flag once;
  static HANDLE handles[3] = {};
  std::call_once(once, [] {
    for (int i = 0; i < 3; ++i) handles[i] = allocHandle(std::make_shared<StdStream>(i));
  });
  return handles[fd];
}

}  // namespace
}  // namespace winsim

extern "C" HANDLE WINAPI GetStdHandle(DWORD nStdHandle) {
  switch (nStdHandle) {
    case STD_INPUT_HANDLE: return winsim::stdHandle(0);
    case STD_OUTPUT_HANDLE: return winsim::stdHandle(1);
    case STD_ERROR_HANDLE: return winsim::stdHandle(2);
    default: SetLastError(ERROR_INVALID_HANDLE); return INVALID_HANDLE_VALUE;
  }
}

extern "C" BOOL WINAPI GetConsoleMode(HANDLE hConsoleHandle, LPDWORD lpMode) {
  auto s = winsim::lookupHandleAs<winsim::StdStream>(hConsoleHandle);
  if (!s || !::isatty(s->fd)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (lpMode) *lpMode = s->fd == 0 ? 0x7 : 0x3;  // the default modes of a console's input and output
  return TRUE;
}

extern "C" BOOL WINAPI WriteConsoleA(HANDLE hConsoleOutput, const VOID* lpBuffer, DWORD nNumberOfCharsToWrite,
                                     LPDWORD lpNumberOfCharsWritten, LPVOID) {
  auto s = winsim::lookupHandleAs<winsim::StdStream>(hConsoleOutput);
  if (lpNumberOfCharsWritten) *lpNumberOfCharsWritten = 0;
  if (!s || s->fd == 0 || !::isatty(s->fd)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const char* p = static_cast<const char*>(lpBuffer);
  DWORD done = 0;
  while (done < nNumberOfCharsToWrite) {
    const ssize_t n = ::write(s->fd, p + done, nNumberOfCharsToWrite - done);
    if (n <= 0) break;
    done += static_cast<DWORD>(n);
  }
  if (lpNumberOfCharsWritten) *lpNumberOfCharsWritten = done;
  return done == nNumberOfCharsToWrite;
}
