// kvparent: a reference parent installer.
//
//   kvparent [--answer-copydata] [--] PROGRAM ARGS...
//
// Creates a window, registers a base message id, starts PROGRAM with
// "+W:<window> +M:<base id>" appended, prints one line for every message the
// program reports (the posted kinds base+0, base+1, base+2 and WM_COPYDATA
// blocks) and exits with the program's exit code. With --answer-copydata a
// WM_COPYDATA is answered with TRUE, else with FALSE.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/closing_line.h"
#include "platform/win32.h"

namespace {

UINT g_base = 0;
bool g_answerCopyData = false;

// Quotes an argument so that the program's command-line splitting gives it back.
std::string quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
    } else {
      if (c == '"') out.append(backslashes + 1, '\\');
      backslashes = 0;
    }
    out += c;
  }
  out.append(backslashes, '\\');
  return out + "\"";
}

// Copy-data text: printable characters as they are, anything else as \xNN;
// a terminating zero is not shown.
std::string showBytes(const unsigned char* p, DWORD n) {
  if (n > 0 && p[n - 1] == 0) --n;
  std::string out;
  for (DWORD i = 0; i < n; ++i) {
    if (p[i] >= 0x20 && p[i] < 0x7f && p[i] != '\\') {
      out += static_cast<char>(p[i]);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", p[i]);
      out += buf;
    }
  }
  return out;
}

// The last status word the program posted (kind 0), for the closing line.
bool g_bStatus = false;
DWORD g_dwStatus = 0;

// The closing line for a person at a console: the program's own line, with
// the status word this parent received.
void writeClosingLine(int nExit) {
  CClosingLineInfo info;
  info.nExit = nExit;
  char szTemp[MAX_PATH + 1] = {};
  const DWORD dw = GetTempPathA(MAX_PATH, szTemp);
  if (dw > 0 && dw <= MAX_PATH) {
    std::string temp = szTemp;
    if (temp.back() != '\\') temp += '\\';
    if (GetFileAttributesA((temp + "KV_SETUPDetail.LOG").c_str()) != INVALID_FILE_ATTRIBUTES)
      info.strDetailLog = temp + "KV_SETUPDetail.LOG";
    if (GetFileAttributesA((temp + "INNELI.LOG").c_str()) != INVALID_FILE_ATTRIBUTES) info.strReport = temp + "INNELI.LOG";
  }
  std::string text = kClosingLineText(info, "kvparent: the program");
  text.pop_back();
  char status[160];
  if (g_bStatus) {
    std::snprintf(status, sizeof status, "; status word 0x%08lx (%s%s%s)", static_cast<unsigned long>(g_dwStatus),
                  (g_dwStatus & 0xFFFF) == 1 ? "install error" : (g_dwStatus & 0xFFFF) == 2 ? "broken off or cancelled" : (g_dwStatus & 3) == 0 ? "success" : "?",
                  (g_dwStatus & 4) ? ", warning" : "", (g_dwStatus & 0x10000) ? ", restart needed" : "");
  } else {
    std::snprintf(status, sizeof status, "; no status word received");
  }
  text += status;
  if (nExit == 16) text += "; the switches: docs/command-line.md";
  kWriteToConsole(text + "\n");
}

LRESULT CALLBACK parentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (g_base && msg >= g_base && msg <= g_base + 2) {
    if (msg == g_base) {
      g_bStatus = true;
      g_dwStatus = static_cast<DWORD>(wParam);
    }
    std::printf("kind=%u wParam=0x%08llx lParam=0x%08llx\n", msg - g_base, static_cast<unsigned long long>(wParam),
                static_cast<unsigned long long>(lParam));
    std::fflush(stdout);
    return 0;
  }
  if (msg == WM_COPYDATA) {
    auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (cds) {
      std::printf("copydata=%s dwData=0x%llx cbData=%lu\n",
                  showBytes(static_cast<const unsigned char*>(cds->lpData), cds->lpData ? cds->cbData : 0).c_str(),
                  static_cast<unsigned long long>(cds->dwData), static_cast<unsigned long>(cds->cbData));
      std::fflush(stdout);
    }
    return g_answerCopyData ? TRUE : FALSE;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

constexpr int kExitUsage = 64;  // a command line kvparent cannot use, as kvpkg and kvsim

// The help opens with the command line as it is written.
class Formatter : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App*, std::string) const override {
    return "usage: kvparent [--answer-copydata] [--] PROGRAM ARGS...\n";
  }
  std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
    return make_usage(app, name) + make_description(app) + make_groups(app, mode) + "\n";
  }
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Starts PROGRAM with +W:<window> +M:<base message id> appended and prints every\n"
               "message it reports: \"kind=N wParam=0x... lParam=0x...\" for base+N (N 0..2) and\n"
               "\"copydata=TEXT dwData=0x... cbData=N\" for WM_COPYDATA. Exits with PROGRAM's exit code;\n"
               "2 when PROGRAM cannot be started, 64 for a command line kvparent cannot use.",
               "kvparent"};
  app.formatter(std::make_shared<Formatter>());
  app.add_flag("--answer-copydata", g_answerCopyData, "answer WM_COPYDATA with TRUE (else FALSE)");
  // PROGRAM and everything after it are the child's, options included.
  app.prefix_command();
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "kvparent: %s\n(see kvparent --help)\n", e.what());
    return kExitUsage;
  }
  std::vector<std::string> child = app.remaining();
  if (!child.empty() && child.front() == "--") {
    child.erase(child.begin());
  } else if (!child.empty() && child.front().size() > 1 && child.front()[0] == '-') {
    // Not a program but an option kvparent does not know: a program whose
    // name starts with '-' follows "--".
    std::fprintf(stderr, "kvparent: unknown option %s\n(see kvparent --help)\n", child.front().c_str());
    return kExitUsage;
  }
  if (child.empty()) {
    std::fprintf(stderr, "kvparent: which program? (see kvparent --help)\n");
    return kExitUsage;
  }

  WNDCLASSA wc{};
  wc.lpfnWndProc = parentProc;
  wc.lpszClassName = "KvParentWindow";
  if (!RegisterClassA(&wc)) {
    std::fprintf(stderr, "kvparent: cannot register the window class (%lu)\n", static_cast<unsigned long>(GetLastError()));
    return 2;
  }
  // A message-only window needs no display, in either build.
  HWND hwnd = CreateWindowExA(0, "KvParentWindow", "kvparent", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                              nullptr);
  if (!hwnd) {
    std::fprintf(stderr, "kvparent: cannot create the window (%lu)\n", static_cast<unsigned long>(GetLastError()));
    return 2;
  }
  g_base = RegisterWindowMessageA("KVPARENT_BASE_MESSAGE");
  // The two ids after the base belong to it too; they must not be a registered message.
  std::string line;
  for (const std::string& arg : child) {
    if (!line.empty()) line.push_back(' ');
    line.append(quote(arg));
  }
  char switches[64];
  std::snprintf(switches, sizeof switches, " +W:%08llx +M:%05x",
                static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(hwnd)), g_base);
  line += switches;

  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "kvparent: cannot start %s (%lu)\n", child.front().c_str(), static_cast<unsigned long>(GetLastError()));
    return 2;
  }
  // Pump until the program has ended, then take what it posted last.
  for (;;) {
    const DWORD r = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, INFINITE, QS_ALLINPUT);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    if (r != WAIT_OBJECT_0 + 1) break;
  }
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  DestroyWindow(hwnd);
  writeClosingLine(static_cast<int>(code));
  return static_cast<int>(code);
}
