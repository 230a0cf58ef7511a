// winsim: parser of the UI script language (see ui_script.h).
#include "user32/ui_script.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include <windows.h>

namespace winsim::ui {
namespace {

struct NamedAnswer {
  const char* word;
  int id;
};
constexpr NamedAnswer kAnswers[] = {{"ok", IDOK},         {"cancel", IDCANCEL},     {"abort", IDABORT},
                                    {"retry", IDRETRY},   {"ignore", IDIGNORE},     {"yes", IDYES},
                                    {"no", IDNO},         {"tryagain", IDTRYAGAIN}, {"continue", IDCONTINUE}};

bool space(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

std::string lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

// A cursor over one line's text.
class Reader {
 public:
  explicit Reader(std::string_view s) : m_s(s) {}

  void skipSpace() {
    while (m_i < m_s.size() && space(m_s[m_i])) ++m_i;
  }
  bool atEnd() {
    skipSpace();
    return m_i >= m_s.size();
  }
  char peek() {
    skipSpace();
    return m_i < m_s.size() ? m_s[m_i] : '\0';
  }
  std::string word() {
    skipSpace();
    size_t b = m_i;
    while (m_i < m_s.size() && !space(m_s[m_i]) && m_s[m_i] != ';' && m_s[m_i] != ':' && m_s[m_i] != '"') ++m_i;
    return std::string(m_s.substr(b, m_i - b));
  }
  // "text" with \" and \\ escapes; false when the quote is not closed.
  bool quoted(std::string* out) {
    skipSpace();
    if (m_i >= m_s.size() || m_s[m_i] != '"') return false;
    ++m_i;
    out->clear();
    while (m_i < m_s.size()) {
      char c = m_s[m_i++];
      if (c == '"') return true;
      if (c == '\\' && m_i < m_s.size()) {
        char e = m_s[m_i++];
        *out += e == 'n' ? '\n' : e == 't' ? '\t' : e;
        continue;
      }
      *out += c;
    }
    return false;
  }
  std::string_view rest() {
    skipSpace();
    return m_s.substr(m_i);
  }
  size_t pos() const { return m_i; }
  void advance(size_t n) { m_i += n; }

 private:
  std::string_view m_s;
  size_t m_i = 0;
};

bool parseNumber(const std::string& w, long* out) {
  if (w.empty() || w.size() > 12) return false;
  size_t i = w[0] == '-' ? 1 : 0;
  if (i >= w.size()) return false;
  int base = 10;
  if (w.size() > i + 2 && w[i] == '0' && (w[i + 1] == 'x' || w[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  long v = 0;
  for (; i < w.size(); ++i) {
    int d;
    char c = static_cast<char>(std::tolower(static_cast<unsigned char>(w[i])));
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else
      return false;
    v = v * base + d;
  }
  *out = w[0] == '-' ? -v : v;
  return true;
}

bool parseSeconds(const std::string& w, double* out) {
  if (w.empty() || w.size() > 20) return false;
  bool dot = false, digit = false;
  for (char c : w) {
    if (c == '.' && !dot) {
      dot = true;
    } else if (c >= '0' && c <= '9') {
      digit = true;
    } else {
      return false;
    }
  }
  if (!digit) return false;
  double v = std::strtod(w.c_str(), nullptr);
  if (!std::isfinite(v) || v < 0 || v > kMaxWaitSeconds) return false;
  *out = v;
  return true;
}

bool parseId(const std::string& w, ScriptId* out) {
  if (w.empty()) return false;
  long n;
  if (parseNumber(w, &n)) {
    out->number = n;
    return true;
  }
  if (!(std::isalpha(static_cast<unsigned char>(w[0])) || w[0] == '_')) return false;
  for (char c : w)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  out->name = w;
  return true;
}

bool actionFrom(Reader& r, Action* a, std::string* error) {
  std::string verb = lower(r.word());
  auto need = [&](const char* what) {
    *error = "'" + verb + "' needs " + what;
    return false;
  };
  auto control = [&]() {
    std::string w = r.word();
    if (!parseId(w, &a->control)) return false;
    return true;
  };
  if (verb == "click" || verb == "check" || verb == "uncheck") {
    a->kind = verb == "click" ? ActionKind::Click : verb == "check" ? ActionKind::Check : ActionKind::Uncheck;
    if (!control()) return need("a control id");
  } else if (verb == "select") {
    a->kind = ActionKind::Select;
    if (!control()) return need("a control id");
    if (r.peek() == '"') {
      if (!r.quoted(&a->text)) return need("a closing quote");
    } else {
      std::string w = r.word();
      long n;
      if (w.empty()) return need("a line number or a \"text\"");
      if (parseNumber(w, &n)) {
        if (n < 0) return need("a line number of 0 or more");
        a->index = n;
      } else {
        a->text = w;
      }
    }
  } else if (verb == "text") {
    a->kind = ActionKind::Text;
    if (!control()) return need("a control id");
    if (!r.quoted(&a->text)) return need("a \"quoted value\"");
  } else if (verb == "ok" || verb == "next") {
    a->kind = ActionKind::Ok;
  } else if (verb == "cancel") {
    a->kind = ActionKind::Cancel;
  } else if (verb == "back") {
    a->kind = ActionKind::Back;
  } else if (verb == "wait") {
    a->kind = ActionKind::Wait;
    if (!parseSeconds(r.word(), &a->seconds)) return need("a number of seconds (0 to 86400)");
  } else if (verb.empty()) {
    *error = "empty action";
    return false;
  } else {
    *error = "unknown action '" + verb + "'";
    return false;
  }
  char next = r.peek();
  if (next != '\0' && next != ';') {
    *error = "unexpected '" + std::string(r.rest().substr(0, 20)) + "' after '" + verb + "'";
    return false;
  }
  return true;
}

}  // namespace

int answerId(std::string_view word) {
  std::string w = lower(word);
  for (const auto& a : kAnswers)
    if (w == a.word) return a.id;
  return 0;
}

const char* answerWord(int id) {
  for (const auto& a : kAnswers)
    if (id == a.id) return a.word;
  return "?";
}

bool parseAction(std::string_view text, Action* out, std::string* error) {
  Reader r(text);
  Action a;
  a.source = std::string(trim(text));
  if (!actionFrom(r, &a, error)) return false;
  if (!r.atEnd()) {
    *error = "one action expected";
    return false;
  }
  *out = std::move(a);
  return true;
}

bool parseScript(std::string_view text, const std::string& fileName, std::vector<Statement>* out, std::string* error) {
  std::vector<Statement> result;
  int lineNo = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view line = text.substr(pos, eol - pos);
    pos = eol + 1;
    ++lineNo;
    // A comment starts at a '#' outside quotes.
    bool inQuote = false;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\\' && inQuote) {
        ++i;
        continue;
      }
      if (line[i] == '"') inQuote = !inQuote;
      if (line[i] == '#' && !inQuote) {
        line = line.substr(0, i);
        break;
      }
    }
    line = trim(line);
    if (line.empty()) {
      if (eol == text.size()) break;
      continue;
    }
    auto failLine = [&](const std::string& what) {
      *error = fileName + ":" + std::to_string(lineNo) + ": " + what;
      return false;
    };
    Statement st;
    st.line = lineNo;
    st.source = std::string(line);
    Reader r(line);
    std::string head = lower(r.word());
    if (head == "page") {
      st.kind = StatementKind::Page;
      std::string id = r.word();
      if (!parseId(id, &st.dialog)) return failLine("'page' needs a dialog id");
      if (!r.atEnd()) {
        if (r.peek() != ':') return failLine("expected ':' after the dialog id");
        r.advance(1);
        while (!r.atEnd()) {
          Action a;
          std::string why;
          size_t b = r.pos();
          if (!actionFrom(r, &a, &why)) return failLine(why);
          a.source = std::string(trim(line.substr(b, r.pos() - b)));
          st.actions.push_back(std::move(a));
          if (r.peek() == ';') {
            r.advance(1);
            if (r.atEnd()) return failLine("an action must follow ';'");
          }
        }
      }
    } else if (head == "msgbox") {
      st.kind = StatementKind::MsgBox;
      if (r.peek() == '"') {
        if (!r.quoted(&st.match)) return failLine("the quoted text is not closed");
        st.matchQuoted = true;
        if (st.match.empty()) return failLine("'msgbox' needs a text to look for");
      } else {
        std::string_view rest = r.rest();
        size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos) return failLine("expected ':' and an answer");
        st.match = std::string(trim(rest.substr(0, colon)));
        if (st.match.empty()) return failLine("'msgbox' needs an id or a text to look for");
        r.advance(colon);
      }
      if (r.peek() != ':') return failLine("expected ':' and an answer");
      r.advance(1);
      std::string answer = r.word();
      st.answer = answerId(answer);
      if (!st.answer)
        return failLine("unknown answer '" + answer +
                        "' (ok, cancel, yes, no, retry, abort, ignore, tryagain, continue)");
      if (!r.atEnd()) return failLine("unexpected text after the answer");
    } else if (head == "wait") {
      st.kind = StatementKind::Wait;
      if (!parseSeconds(r.word(), &st.seconds)) return failLine("'wait' needs a number of seconds (0 to 86400)");
      if (!r.atEnd()) return failLine("unexpected text after 'wait'");
    } else {
      return failLine("unknown statement '" + head + "' (page, msgbox, wait)");
    }
    result.push_back(std::move(st));
    if (eol == text.size()) break;
  }
  *out = std::move(result);
  return true;
}

std::string describeStatement(const Statement& st) {
  if (st.kind == StatementKind::Page) return "page " + st.dialog.toString();
  if (st.kind == StatementKind::MsgBox) return "msgbox " + st.match;
  return "wait";
}

}  // namespace winsim::ui
