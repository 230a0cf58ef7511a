// The terminal renderer, driven the way a person uses it: a program with two
// pages and a message box runs in a tmux pane; the test types into the pane
// and reads the screen back.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

std::string run(const std::string& command) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ::pclose(p);
  return out;
}

class TmuxPane {
 public:
  explicit TmuxPane(const std::string& command) : m_socket("kvtty" + std::to_string(::getpid())) {
    run("tmux -L " + m_socket + " new-session -d -x 110 -y 60 '" + command + "; echo EXIT=$?; sleep 60'");
  }
  ~TmuxPane() { run("tmux -L " + m_socket + " kill-server 2>/dev/null"); }
  std::string screen() const { return run("tmux -L " + m_socket + " capture-pane -p -S -200"); }
  void type(const std::string& keys) const { run("tmux -L " + m_socket + " send-keys '" + keys + "' Enter"); }
  // Waits (up to 30 s of real time) until the screen shows `text`; returns
  // the screen.
  std::string waitFor(const std::string& text) const {
    std::string s;
    for (int i = 0; i < 300; ++i) {
      s = screen();
      if (s.find(text) != std::string::npos) return s;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ADD_FAILURE() << "the screen never showed \"" << text << "\":\n" << s;
    return s;
  }

 private:
  std::string m_socket;
};

size_t count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t pos = s.find(what); pos != std::string::npos; pos = s.find(what, pos + 1)) ++n;
  return n;
}

TEST(TerminalRenderer, PersonAnswersPagesAndBoxInTmux) {
#ifndef KV_UI_DEMO
  GTEST_SKIP() << "the demo program is not built";
#else
  if (std::system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is not installed: test skipped";
  const fs::path dir = fs::temp_directory_path() / ("kvtty-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string transcript = (dir / "transcript.log").string();
  // The machine clock runs at full speed here, so that the progress bar
  // moves at a pace the screen can be read at.
  TmuxPane pane("KVSIM_ROOT=" + (dir / "machine").string() + " KVSIM_TIMESCALE=1 KVSIM_UI=tty KVSIM_TRANSCRIPT=" +
                transcript + " " + KV_UI_DEMO);

  std::string s = pane.waitFor("choice>");
  EXPECT_NE(s.find("== page 133 \"Printer Driver Setup\""), std::string::npos) << s;
  EXPECT_NE(s.find("50 text: Choose what to do"), std::string::npos) << s;
  EXPECT_NE(s.find("3) 1012 check [ ] \"Connect by &USB\""), std::string::npos) << s;
  EXPECT_NE(s.find("5) 1 button \"&Next >\" (default)"), std::string::npos) << s;

  // A number ticks the box; the page is shown again with it ticked.
  pane.type("3");
  s = pane.waitFor("3) 1012 check [x]");
  // Something a person cannot do is refused with the reason.
  pane.type("click 4242");
  pane.waitFor("the page has no control 4242");
  // A box on top of the page takes the next answer; the page comes back.
  pane.type("c");
  pane.waitFor("Do you want to stop the setup?");
  pane.type("2");
  s = pane.waitFor("-> No");
  pane.type("n");

  // The installation page: the bar moves on the prompt line, in place.
  s = pane.waitFor("== page 136");
  s = pane.waitFor("%  choice>");
  s = pane.waitFor("the default printer?");
  EXPECT_NE(s.find("-- page 136 closed with 1 (IDOK)"), std::string::npos) << s;
  EXPECT_EQ(count(s, "== page 136"), 1u) << "the page was drawn more than once while only its bar moved:\n" << s;
  EXPECT_NE(s.find("1) Yes (default)  2) No"), std::string::npos) << s;

  pane.type("no");
  s = pane.waitFor("EXIT=");
  EXPECT_NE(s.find("RESULT kind=10 install=1 answer=7"), std::string::npos) << s;
  EXPECT_NE(s.find("EXIT=0"), std::string::npos) << s;

  std::ifstream in(transcript);
  std::stringstream t;
  t << in.rdbuf();
  EXPECT_NE(t.str().find("-- page 133 left with 10 after: click 1012; cancel; ok"), std::string::npos) << t.str();
  EXPECT_NE(t.str().find("-- answered no (terminal)"), std::string::npos) << t.str();
  std::error_code ec;
  fs::remove_all(dir, ec);
#endif
}

}  // namespace
