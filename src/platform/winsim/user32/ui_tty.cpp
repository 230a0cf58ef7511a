// winsim: the terminal renderer: shows each page and message box as plain
// text and takes a person's choices line by line.
//
// The terminal stays in its ordinary line mode (no curses), so it works over
// ssh and tmux. A reader thread collects the lines; the dialog's thread
// takes them from its idle hook, so the page's timers and threads run on
// while the person thinks. A page is drawn again when it changes; a moving
// progress bar is redrawn in place on the prompt line.
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "kernel32/nls.h"
#include "machine.h"
#include "user32/ui.h"

namespace winsim::ui {
namespace {

struct Choice {
  int controlId = 0;
  int line = -1;  // -1: the control itself
  dlg::ControlKind kind = dlg::ControlKind::Other;
};

class ChoiceNumbering : public Numbering {
 public:
  explicit ChoiceNumbering(std::vector<Choice>* choices) : m_choices(choices) {}
  int numberFor(const ControlView& c, int line) override {
    using K = dlg::ControlKind;
    const bool control = line < 0 && (c.kind == K::PushButton || c.kind == K::CheckBox || c.kind == K::RadioButton ||
                                      (c.kind == K::Edit && !c.readOnly));
    const bool listLine = line >= 0 && (c.kind == K::ListBox || c.kind == K::ComboBox || c.kind == K::ListView);
    if (!control && !listLine) return 0;
    m_choices->push_back(Choice{c.id, line, c.kind});
    return static_cast<int>(m_choices->size());
  }

 private:
  std::vector<Choice>* m_choices;
};

struct TtyItem {
  DialogView shown;
  std::vector<Choice> choices;
  int editTarget = 0;  // the edit whose new text the next line is
  int readTarget = 0;  // the long text being read page by page
  size_t readLine = 0;  // its next line to show
};

// How many lines of a long text a page shows, and a reading step.
constexpr size_t kEditLinesShown = 12;
constexpr size_t kReadPageLines = 20;

bool sameExceptProgress(const DialogView& a, const DialogView& b) {
  if (a.caption != b.caption || a.controls.size() != b.controls.size()) return false;
  for (size_t i = 0; i < a.controls.size(); ++i) {
    ControlView x = a.controls[i], y = b.controls[i];
    x.pos = y.pos = 0;
    x.playing = y.playing = false;
    if (!(x == y)) return false;
  }
  return true;
}

std::string progressLine(const DialogView& v) {
  std::string out;
  for (const auto& c : v.controls) {
    if (c.kind != dlg::ControlKind::Progress || !c.visible) continue;
    const long long span = static_cast<long long>(c.high) - c.low;
    const int percent = span > 0 ? static_cast<int>((static_cast<long long>(c.pos) - c.low) * 100 / span) : 0;
    const int filled = std::max(0, std::min(30, percent * 30 / 100));
    char tail[16];
    std::snprintf(tail, sizeof tail, "] %3d%%  ", percent);
    out += "[" + std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(30 - filled), '.') + tail;
  }
  return out;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

class TtyRenderer : public Renderer {
 public:
  const char* name() const override { return "tty"; }

  void opened(OpenItem& item) override {
    startReader();
    std::lock_guard<std::recursive_mutex> guard(m_itemsMutex);
    if (item.kind == OpenItem::Kind::Dialog) {
      appendTranscript(describeDialog(item.openedView));
      render(item, m_items[&item]);
    } else {
      appendTranscript(describeBox(item.box));
      renderBox(item);
    }
  }

  bool idle(OpenItem& item) override {
    if (topmostItem() != &item) return false;  // the person answers what was drawn last
    std::lock_guard<std::recursive_mutex> guard(m_itemsMutex);
    if (item.kind == OpenItem::Kind::Dialog) {
      TtyItem& t = m_items[&item];
      DialogView now = snapshot(item.hwnd);
      if (!sameExceptProgress(now, t.shown)) {
        render(item, t);
      } else if (!(now.controls == t.shown.controls)) {
        t.shown = now;
        out("\r\033[K" + prompt(now, t));
      }
    }
    std::optional<std::string> line = takeLine();
    if (!line) {
      if (m_eof) {
        const std::string what = item.kind == OpenItem::Kind::Dialog ? "page " + item.openedView.dialogId
                                                                     : "a message box";
        failRun("the terminal's input ended while " + what + " was open");
      }
      return false;
    }
    if (item.kind == OpenItem::Kind::Box)
      handleBoxLine(item, trim(*line));
    else
      handleLine(item, m_items[&item], trim(*line));
    return true;
  }

  void closed(OpenItem& item, INT_PTR result) override {
    std::lock_guard<std::recursive_mutex> guard(m_itemsMutex);
    if (item.kind == OpenItem::Kind::Box) {
      appendTranscript("-- answered " + std::string(answerWord(static_cast<int>(result))) + " (terminal)\n");
      out(std::string("\n  -> ") + buttonLabel(static_cast<int>(result)) + "\n");
      return;
    }
    appendTranscript(describeClose(item, result));
    out("\n-- page " + item.openedView.dialogId + " closed with " + resultName(result) + "\n");
    m_items.erase(&item);
  }

 private:
  // The pages' texts are in the ANSI code page, the terminal is UTF-8.
  static void out(const std::string& ansi) {
    const std::string text = ansiToUtf8(ansi);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }

  static std::string prompt(const DialogView& v, const TtyItem& t) {
    if (t.editTarget) return "new text for " + std::to_string(t.editTarget) + "> ";
    if (t.readTarget) return "more of " + std::to_string(t.readTarget) + " (Enter: next page, q: back to the page)> ";
    return progressLine(v) + "choice> ";
  }

  void render(OpenItem& item, TtyItem& t) {
    t.choices.clear();
    t.shown = snapshot(item.hwnd);
    ChoiceNumbering numbering(&t.choices);
    std::string text = "\n" + describeDialog(t.shown, &numbering, kEditLinesShown);
    text += "  (a number chooses; n = Next/OK, c = Cancel, b = Back; r = read a long text; or an action like \"check 1012\")\n";
    out(text + prompt(t.shown, t));
  }

  void renderBox(const OpenItem& item) {
    std::string text = "\n" + describeBox(item.box) + "  ";
    for (size_t i = 0; i < item.box.buttons.size(); ++i) {
      const int b = item.box.buttons[i];
      text += std::to_string(i + 1) + ") " + buttonLabel(b) + (b == item.box.defaultButton ? " (default)" : "") + "  ";
    }
    out(text + "\nanswer> ");
  }

  void handleBoxLine(OpenItem& item, const std::string& line) {
    const int answer = ttyBoxAnswer(line, item.box.buttons, item.box.defaultButton);
    if (answer) {
      item.answer = answer;
      return;
    }
    out("  no such answer\nanswer> ");
  }

  // The next page of the long text being read; back to the page at its end.
  void readOn(OpenItem& item, TtyItem& t) {
    const ControlView* c = t.shown.find(t.readTarget);
    const std::vector<std::string> lines =
        c ? wrappedTextLines(c->text, kTerminalTextWidth) : std::vector<std::string>();
    std::string text;
    const size_t end = std::min(lines.size(), t.readLine + kReadPageLines);
    for (; t.readLine < end; ++t.readLine)
      text += "  " + std::to_string(t.readLine + 1) + "\t| " + lines[t.readLine] + "\n";
    if (t.readLine >= lines.size()) {
      out(text + "  -- end of the text --\n");
      t.readTarget = 0;
      render(item, t);
      return;
    }
    out(text + prompt(t.shown, t));
  }

  // "r", "read" or "read ID": the first long text of the page, or that one.
  bool startReading(OpenItem& item, TtyItem& t, const std::string& line) {
    if (line != "r" && line != "read" && line.rfind("read ", 0) != 0) return false;
    int id = 0;
    if (line.size() > 5) id = std::atoi(line.c_str() + 5);
    for (const auto& c : t.shown.controls) {
      if (c.kind != dlg::ControlKind::Edit || !c.multiline || !c.visible) continue;
      if (id ? c.id == id : wrappedTextLines(c.text, kTerminalTextWidth).size() > kEditLinesShown) {
        id = c.id;
        t.readTarget = id;
        t.readLine = 0;
        readOn(item, t);
        return true;
      }
    }
    out("  no long text to read on this page\n" + prompt(t.shown, t));
    return true;
  }

  void handleLine(OpenItem& item, TtyItem& t, const std::string& line) {
    Action a;
    std::string why;
    if (t.readTarget) {
      if (line == "q" || line == "quit") {
        t.readTarget = 0;
        render(item, t);
      } else {
        readOn(item, t);
      }
      return;
    }
    if (startReading(item, t, line)) return;
    if (t.editTarget) {
      a.kind = ActionKind::Text;
      a.control.number = t.editTarget;
      a.text = line;
      a.source = "text " + std::to_string(t.editTarget) + " \"" + line + "\"";
      t.editTarget = 0;
    } else if (line.empty() || line == "?") {
      render(item, t);
      return;
    } else if (line == "n" || line == "next" || line == "ok") {
      a.kind = ActionKind::Ok;
      a.source = "ok";
    } else if (line == "c" || line == "cancel") {
      a.kind = ActionKind::Cancel;
      a.source = "cancel";
    } else if (line == "b" || line == "back") {
      a.kind = ActionKind::Back;
      a.source = "back";
    } else if (line.find_first_not_of("0123456789") == std::string::npos && line.size() < 6) {
      const int n = std::stoi(line);
      if (n < 1 || n > static_cast<int>(t.choices.size())) {
        out("  there is no choice " + line + "\n" + prompt(t.shown, t));
        return;
      }
      const Choice& c = t.choices[static_cast<size_t>(n - 1)];
      a.control.number = c.controlId;
      if (c.line >= 0) {
        a.kind = ActionKind::Select;
        a.index = c.line;
        a.source = "select " + std::to_string(c.controlId) + " " + std::to_string(c.line);
      } else if (c.kind == dlg::ControlKind::Edit) {
        t.editTarget = c.controlId;
        out(prompt(t.shown, t));
        return;
      } else {
        a.kind = ActionKind::Click;
        a.source = "click " + std::to_string(c.controlId);
      }
    } else if (!parseAction(line, &a, &why)) {
      out("  " + why + "\n" + prompt(t.shown, t));
      return;
    }
    if (a.kind == ActionKind::Wait) {
      out("  (waiting is for scripts)\n" + prompt(t.shown, t));
      return;
    }
    if (!runAction(item, a, &why)) {
      out("  " + why + "\n" + prompt(t.shown, t));
      return;
    }
    item.done.push_back(a.source);
  }

  void startReader() {
    std::lock_guard<std::mutex> guard(m_linesMutex);
    if (m_readerStarted) return;
    m_readerStarted = true;
    std::thread([this] { readLoop(); }).detach();
  }

  void readLoop() {
    std::string partial;
    char buf[4096];
    for (;;) {
      ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      std::lock_guard<std::mutex> guard(m_linesMutex);
      if (n <= 0) {
        if (!partial.empty()) m_lines.push_back(partial);
        m_eof = true;
        break;
      }
      partial.append(buf, static_cast<size_t>(n));
      size_t eol;
      while ((eol = partial.find('\n')) != std::string::npos) {
        m_lines.push_back(partial.substr(0, eol));
        partial.erase(0, eol + 1);
      }
    }
    wakeOpenItems();
  }

  std::optional<std::string> takeLine() {
    std::lock_guard<std::mutex> guard(m_linesMutex);
    if (m_lines.empty()) return std::nullopt;
    std::string line = std::move(m_lines.front());
    m_lines.pop_front();
    return line;
  }

  std::mutex m_linesMutex;
  std::deque<std::string> m_lines;
  std::atomic<bool> m_eof{false};
  bool m_readerStarted = false;
  // Recursive: an action may make the page show a message box, whose
  // opening comes back here on the same thread.
  std::recursive_mutex m_itemsMutex;
  std::map<OpenItem*, TtyItem> m_items;
};

}  // namespace

int ttyBoxAnswer(const std::string& line, const std::vector<int>& buttons, int defaultButton) {
  // What a person types: blanks around it and case do not matter.
  std::string word;
  for (char c : line) {
    if (c != ' ' && c != '\t' && c != '\r') word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (word.empty()) return defaultButton;
  char* end = nullptr;
  const long n = std::strtol(word.c_str(), &end, 10);
  if (end && *end == '\0' && n >= 1 && n <= static_cast<long>(buttons.size())) return buttons[static_cast<size_t>(n - 1)];
  // The first letters of the common answers; the full words of the script
  // language too.
  static const std::map<std::string, int> kShort = {{"y", IDYES}, {"n", IDNO}, {"o", IDOK}, {"c", IDCANCEL}};
  const auto it = kShort.find(word);
  const int id = it != kShort.end() ? it->second : answerId(word);
  for (int b : buttons)
    if (b == id) return b;
  return 0;
}

std::unique_ptr<Renderer> makeTtyRenderer() { return std::make_unique<TtyRenderer>(); }

}  // namespace winsim::ui
