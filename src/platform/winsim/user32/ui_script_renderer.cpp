// winsim: the script renderer: answers pages and message boxes from a UI
// script (docs/ui-script.md), in the order the script gives them, and fails
// the run at once when the program shows something the script does not
// expect.
#include <algorithm>
#include <map>
#include <mutex>

#include "kernel32/nls.h"
#include "machine.h"
#include "user32/ui.h"

namespace winsim::ui {
namespace {

// A page whose actions are done and that stays open this long (machine
// time) while the script has nothing for it ends the run: a script that
// forgot to press a button must not hang a test.
constexpr std::uint64_t kIdleLimitMs = 600 * 1000;

std::string lowerCase(const std::string& s) { return toLower(s); }

class ScriptRenderer : public Renderer {
 public:
  explicit ScriptRenderer(std::string path) : m_path(std::move(path)) {
    std::optional<std::string> text = readWholeFile(fs::path(m_path));
    if (!text) failRun("the UI script " + m_path + " cannot be read");
    std::string error;
    if (!parseScript(*text, m_path, &m_statements, &error)) failRun("UI script: " + error);
  }

  const char* name() const override { return "script"; }

  void opened(OpenItem& item) override {
    std::lock_guard<std::mutex> guard(m_mutex);
    // Waits that stand before the statement of this page or box run inside it.
    std::deque<Action> waits;
    while (m_next < m_statements.size() && m_statements[m_next].kind == StatementKind::Wait) {
      Action w;
      w.kind = ActionKind::Wait;
      w.seconds = m_statements[m_next].seconds;
      w.source = m_statements[m_next].source;
      waits.push_back(w);
      ++m_next;
    }
    const std::string what = item.kind == OpenItem::Kind::Dialog
                                 ? "page " + item.openedView.dialogId + " \"" + item.openedView.caption + "\""
                                 : "message box \"" + firstLine(item.box.text) + "\"";
    if (item.kind == OpenItem::Kind::Dialog) appendTranscript(describeDialog(item.openedView));
    else appendTranscript(describeBox(item.box));
    if (m_next >= m_statements.size()) failRun(what + " opened, but the UI script " + m_path + " has ended");
    const Statement& st = m_statements[m_next];
    const std::string expected = m_path + ":" + std::to_string(st.line) + " expects \"" + st.source + "\"";
    if (item.kind == OpenItem::Kind::Dialog) {
      long id;
      if (st.kind != StatementKind::Page) failRun(what + " opened, but " + expected);
      if (!resolveId(st.dialog, item.module, &id)) failRun(m_path + ":" + std::to_string(st.line) + ": no dialog is named " + st.dialog.toString());
      if (std::to_string(id) != item.openedView.dialogId && st.dialog.name != item.openedView.dialogId)
        failRun(what + " opened, but " + expected);
      item.pending = std::move(waits);
      item.pending.insert(item.pending.end(), st.actions.begin(), st.actions.end());
    } else {
      if (st.kind != StatementKind::MsgBox || !boxMatches(st, item.box)) failRun(what + " opened, but " + expected);
      if (std::find(item.box.buttons.begin(), item.box.buttons.end(), st.answer) == item.box.buttons.end()) {
        std::string buttons;
        for (int b : item.box.buttons) buttons += std::string(buttons.empty() ? "" : ", ") + answerWord(b);
        failRun(what + " has no button '" + answerWord(st.answer) + "' (it has " + buttons + "); " + m_path + ":" +
                std::to_string(st.line));
      }
      item.pending = std::move(waits);
      m_answers[&item] = st.answer;
    }
    item.statementLine = st.line;
    ++m_next;
    noteScriptReached(m_next);
    item.idleSinceMs = nowMs();
    // A box without waits is answered at once.
    if (item.kind == OpenItem::Kind::Box && item.pending.empty()) item.answer = st.answer;
  }

  bool idle(OpenItem& item) override {
    if (item.waiting) {
      // The thread waits for its messages meanwhile (timers keep their
      // times); the session's ticker wakes it to look at the clock again.
      if (nowMs() < item.waitUntilMs) return false;
      item.waiting = false;
      item.idleSinceMs = nowMs();
    }
    if (!item.pending.empty()) {
      Action a = item.pending.front();
      item.pending.pop_front();
      item.done.push_back(a.source);
      std::string why;
      if (item.kind == OpenItem::Kind::Dialog && !runAction(item, a, &why))
        failRun("page " + item.openedView.dialogId + ", " + m_path + ":" + std::to_string(item.statementLine) + ": \"" +
                a.source + "\": " + why);
      if (item.kind == OpenItem::Kind::Box && a.kind == ActionKind::Wait) {
        item.waitUntilMs = nowMs() + static_cast<std::uint64_t>(a.seconds * 1000);
        item.waiting = true;
      }
      item.idleSinceMs = nowMs();
      return true;
    }
    if (item.kind == OpenItem::Kind::Box) {
      answerBox(item);
      return true;
    }
    // A wait statement after this page's own statement runs here, while
    // the page stays open.
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      if (m_next < m_statements.size() && m_statements[m_next].kind == StatementKind::Wait &&
          topmostItem() == &item) {
        const Statement& st = m_statements[m_next++];
        noteScriptReached(m_next);
        item.done.push_back(st.source);
        item.waitUntilMs = nowMs() + static_cast<std::uint64_t>(st.seconds * 1000);
        item.waiting = true;
        return true;
      }
    }
    if (nowMs() - item.idleSinceMs > kIdleLimitMs)
      failRun("page " + item.openedView.dialogId + " \"" + item.openedView.caption +
              "\" is still open after 600 seconds, and the UI script has nothing more for it (" + m_path + ":" +
              std::to_string(item.statementLine) + ")");
    return false;
  }

  void closed(OpenItem& item, INT_PTR result) override {
    if (item.kind == OpenItem::Kind::Box) {
      appendTranscript("-- answered " + std::string(answerWord(static_cast<int>(result))) + " (" + m_path + ":" +
                       std::to_string(item.statementLine) + ")\n");
      std::lock_guard<std::mutex> guard(m_mutex);
      m_answers.erase(&item);
      return;
    }
    appendTranscript(describeClose(item, result));
    // Actions the page never got to are a mistake of the script (trailing
    // waits are not: a page may end while the script waits).
    for (const Action& a : item.pending)
      if (a.kind != ActionKind::Wait)
        failRun("page " + item.openedView.dialogId + " closed with " + resultName(result) + " before \"" + a.source +
                "\" of " + m_path + ":" + std::to_string(item.statementLine) + " ran");
  }

 private:
  static std::string firstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    return line.size() > 60 ? line.substr(0, 60) + "..." : line;
  }

  static bool boxMatches(const Statement& st, const BoxView& box) {
    if (st.match == "*") return true;
    if (!st.matchQuoted &&
        std::find(box.messageIds.begin(), box.messageIds.end(), st.match) != box.messageIds.end())
      return true;
    return lowerCase(ansiToUtf8(box.text)).find(lowerCase(st.match)) != std::string::npos;
  }

  void answerBox(OpenItem& item) {
    std::lock_guard<std::mutex> guard(m_mutex);
    auto it = m_answers.find(&item);
    if (it != m_answers.end()) item.answer = it->second;
  }

  std::string m_path;
  std::vector<Statement> m_statements;
  size_t m_next = 0;
  std::mutex m_mutex;
  std::map<OpenItem*, int> m_answers;
};

}  // namespace

std::unique_ptr<Renderer> makeScriptRenderer(const std::string& path) {
  return std::make_unique<ScriptRenderer>(path);
}

}  // namespace winsim::ui
