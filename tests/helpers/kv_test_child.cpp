// kv_test_child: the second process of the cross-process tests.
//
//   kv_test_child register NAME            prints the id of a registered message
//   kv_test_child post HWND MSG WPARAM LPARAM
//   kv_test_child copydata HWND TAG TEXT   sends WM_COPYDATA; exits with the answer
//   kv_test_child counter NAME MS          counts itself in a named mapping for MS
//   kv_test_child mutex NAME MS            creates a named mutex, owns it for MS
//   kv_test_child pump MS                  runs a message loop for MS
//   kv_test_child args ARGS...             prints each argument in brackets
//   kv_test_child exit CODE                ends through ExitProcess(CODE)
//   kv_test_child status ARGS... +W:HWND +M:BASE
//                                          reports kinds 0, 1, 2 and a copy-data block
// Numbers may be decimal or 0x hexadecimal. Prints "ready" once set up.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32.h"

namespace {

ULONG_PTR num(const char* s) { return static_cast<ULONG_PTR>(std::strtoull(s, nullptr, 0)); }
HWND hwndOf(const char* s) { return reinterpret_cast<HWND>(num(s)); }

// Waits on the machine clock (an event that nobody sets).
void pause(DWORD ms) {
  HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  WaitForSingleObject(never, ms);
  CloseHandle(never);
}

void say(const char* text) {
  std::printf("%s\n", text);
  std::fflush(stdout);
}

int pump(DWORD ms) {
  UINT_PTR timer = SetTimer(nullptr, 0, ms, nullptr);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    if (m.message == WM_TIMER && m.wParam == timer) break;
    DispatchMessageA(&m);
  }
  return 0;
}

int copyData(HWND to, ULONG_PTR tag, const char* text) {
  COPYDATASTRUCT cds{tag, static_cast<DWORD>(std::strlen(text) + 1), const_cast<char*>(text)};
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(to, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL, 30000, &answer)) {
    return 255;
  }
  return static_cast<int>(answer & 0xFF);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 100;
  const std::string cmd = argv[1];
  if (cmd == "register" && argc == 3) {
    std::printf("%u\n", RegisterWindowMessageA(argv[2]));
    return 0;
  }
  if (cmd == "post" && argc == 6) {
    return PostMessageA(hwndOf(argv[2]), static_cast<UINT>(num(argv[3])), num(argv[4]),
                        static_cast<LPARAM>(num(argv[5])))
               ? 0
               : 1;
  }
  if (cmd == "copydata" && argc == 5) return copyData(hwndOf(argv[2]), num(argv[3]), argv[4]);
  if (cmd == "counter" && argc == 4) {
    HANDLE map = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, argv[2]);
    if (!map) return 2;
    auto* counter = static_cast<LONG volatile*>(MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, 0));
    if (!counter) return 3;
    std::printf("%ld\n", static_cast<long>(InterlockedIncrement(counter)));
    say("ready");
    pause(static_cast<DWORD>(num(argv[3])));
    InterlockedDecrement(counter);
    UnmapViewOfFile(const_cast<LONG*>(counter));
    CloseHandle(map);
    return 0;
  }
  if (cmd == "mutex" && argc == 4) {
    HANDLE m = CreateMutexA(nullptr, TRUE, argv[2]);
    say(m && GetLastError() == ERROR_ALREADY_EXISTS ? "exists" : m ? "created" : "failed");
    pause(static_cast<DWORD>(num(argv[3])));
    return 0;  // ends without ReleaseMutex: the mutex is abandoned
  }
  if (cmd == "pump" && argc == 3) {
    say("ready");
    return pump(static_cast<DWORD>(num(argv[2])));
  }
  if (cmd == "args") {
    for (int i = 2; i < argc; ++i) std::printf("[%s]", argv[i]);
    std::printf("\n");
    return argc - 2;
  }
  if (cmd == "exit" && argc >= 3) ExitProcess(static_cast<UINT>(num(argv[2])));
  if (cmd == "status") {
    HWND parent = nullptr;
    UINT base = 0;
    for (int i = 2; i < argc; ++i) {
      if (std::strncmp(argv[i], "+W:", 3) == 0) parent = reinterpret_cast<HWND>(std::strtoull(argv[i] + 3, nullptr, 16));
      if (std::strncmp(argv[i], "+M:", 3) == 0) base = static_cast<UINT>(std::strtoul(argv[i] + 3, nullptr, 16));
    }
    if (!parent || !base) return 4;
    PostMessageA(parent, base + 2, 0x1234, 0x5678);
    PostMessageA(parent, base + 1, 50, 100);
    const int answer = copyData(parent, 0, "status text");
    PostMessageA(parent, base + 0, 0x10004, 0);
    return answer == 255 ? 5 : 0;
  }
  return 100;
}
