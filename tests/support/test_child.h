// Starting kv_test_child, the second process of the cross-process tests.
#pragma once

#include <string>

#include "platform/win32.h"

namespace kvtest {

// The helper's Windows path (the host's "/" is drive Z: on winsim and on Wine).
inline std::string childPath() {
  std::string path = std::string("Z:") + KV_TEST_CHILD;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// Starts the helper with the arguments appended to its quoted path; the
// caller closes the handles.
inline bool startChild(const std::string& args, PROCESS_INFORMATION* pi) {
  std::string line = "\"";
  line.append(childPath());
  line.append("\" ");
  line.append(args);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, pi) != FALSE;
}

// Runs the helper to its end; its exit code, or -1 when it could not start.
inline long runChild(const std::string& args, DWORD timeoutMs = 600000) {
  PROCESS_INFORMATION pi{};
  if (!startChild(args, &pi)) return -1;
  long code = -1;
  if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
    DWORD c = 0;
    if (GetExitCodeProcess(pi.hProcess, &c)) code = static_cast<long>(c);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

}  // namespace kvtest
