// kvsim post: posts a message to a window of a running program.
#include <cerrno>
#include <cstdlib>

#include <windows.h>

#include "kvsim.h"

namespace kvsim {
namespace {

// A number in decimal or 0x hexadecimal, all of the text.
bool parseNumber(const std::string& text, unsigned long long* value) {
  if (text.empty() || text[0] == '-') return false;
  errno = 0;
  char* end = nullptr;
  *value = std::strtoull(text.c_str(), &end, 0);
  return errno == 0 && end && *end == 0;
}

int runPost(const Args& args) {
  if (args.size() != 4) return fail("post: expected HWND MSG WPARAM LPARAM");
  unsigned long long hwnd = 0, msg = 0, wParam = 0, lParam = 0;
  if (!parseNumber(args[0], &hwnd) || hwnd > 0xFFFFFFFFull) return fail("post: bad window handle '" + args[0] + "'");
  if (!parseNumber(args[1], &msg)) {
    // A registered message by its name.
    msg = RegisterWindowMessageA(args[1].c_str());
    if (msg == 0) return fail("post: bad message '" + args[1] + "'");
  } else if (msg > 0xFFFF) {
    return fail("post: bad message '" + args[1] + "'");
  }
  if (!parseNumber(args[2], &wParam)) return fail("post: bad WPARAM '" + args[2] + "'");
  if (!parseNumber(args[3], &lParam)) return fail("post: bad LPARAM '" + args[3] + "'");
  if (!PostMessageA(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(hwnd)), static_cast<UINT>(msg),
                    static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam))) {
    return fail("post: no such window " + args[0] + " (error " + std::to_string(GetLastError()) + ")");
  }
  return 0;
}

const Registrar reg({"post", "post a message to a window",
                     "usage: kvsim [--root DIR] post HWND MSG WPARAM LPARAM\n"
                     "Posts a message to a window of a running program. Numbers are decimal or 0x\n"
                     "hexadecimal; MSG may also be the name of a registered message.\n",
                     runPost});

}  // namespace
}  // namespace kvsim
