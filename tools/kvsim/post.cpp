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

struct PostOptions {
  std::string hwnd, msg, wParam, lParam;
};

int runPost(const PostOptions& o) {
  unsigned long long hwnd = 0, msg = 0, wParam = 0, lParam = 0;
  parseNumber(o.hwnd, &hwnd);
  parseNumber(o.wParam, &wParam);
  parseNumber(o.lParam, &lParam);
  if (!parseNumber(o.msg, &msg)) {
    // A registered message by its name.
    msg = RegisterWindowMessageA(o.msg.c_str());
    if (msg == 0) return fail("post: bad message '" + o.msg + "'");
  }
  if (!PostMessageA(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(hwnd)), static_cast<UINT>(msg),
                    static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam))) {
    return fail("post: no such window " + o.hwnd + " (error " + std::to_string(GetLastError()) + ")");
  }
  return 0;
}

// A check that the text is a number no greater than max.
CLI::Validator number(const char* what, unsigned long long max) {
  return CLI::Validator(
      [what, max](std::string& text) {
        unsigned long long value = 0;
        return parseNumber(text, &value) && value <= max ? std::string() : "bad " + std::string(what) + " '" + text + "'";
      },
      "NUMBER");
}

void setup(CLI::App& kvsim) {
  CLI::App* post = addCommand(kvsim, "post", "post a message to a window",
                              "usage: kvsim [--root DIR] post HWND MSG WPARAM LPARAM\n",
                              "Posts a message to a window of a running program. Numbers are decimal or 0x\n"
                              "hexadecimal; MSG may also be the name of a registered message.\n");
  static PostOptions o;
  post->add_option("HWND", o.hwnd, "the window's handle")->required()->check(number("window handle", 0xFFFFFFFFull));
  post->add_option("MSG", o.msg, "the message's number, or the name of a registered message")
      ->required()
      ->check([](const std::string& text) {
        unsigned long long value = 0;
        return parseNumber(text, &value) && value > 0xFFFF ? "bad message '" + text + "'" : std::string();
      });
  post->add_option("WPARAM", o.wParam, "the message's WPARAM")->required()->check(number("WPARAM", ~0ull));
  post->add_option("LPARAM", o.lParam, "the message's LPARAM")->required()->check(number("LPARAM", ~0ull));
  onRun(post, [] { return runPost(o); });
}

const Registrar kRegistrar("post", setup);

}  // namespace
}  // namespace kvsim
