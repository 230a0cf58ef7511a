// winsim: the resource script reader (see rc_parser.h).
//
// Two stages: a lexer that also carries out the preprocessor lines and yields
// tokens with their file and line, and a recursive-descent parser over those
// tokens. Errors travel as a ParseError exception inside this file only and
// come out of parse() as a message; nothing else in winsim throws.
#include "user32/rc_parser.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <set>
#include <utility>

namespace winsim::rc {
namespace {

struct ParseError {
  std::string message;
};

// Constants of the system headers a script includes with #include <...>.
// The values are the SDK's.
struct NamedValue {
  const char* name;
  long long value;
};
constexpr NamedValue kBuiltinConstants[] = {
    // Window styles.
    {"WS_OVERLAPPED", 0x00000000}, {"WS_POPUP", 0x80000000}, {"WS_CHILD", 0x40000000},
    {"WS_MINIMIZE", 0x20000000}, {"WS_VISIBLE", 0x10000000}, {"WS_DISABLED", 0x08000000},
    {"WS_CLIPSIBLINGS", 0x04000000}, {"WS_CLIPCHILDREN", 0x02000000}, {"WS_MAXIMIZE", 0x01000000},
    {"WS_CAPTION", 0x00C00000}, {"WS_BORDER", 0x00800000}, {"WS_DLGFRAME", 0x00400000},
    {"WS_VSCROLL", 0x00200000}, {"WS_HSCROLL", 0x00100000}, {"WS_SYSMENU", 0x00080000},
    {"WS_THICKFRAME", 0x00040000}, {"WS_GROUP", 0x00020000}, {"WS_TABSTOP", 0x00010000},
    {"WS_MINIMIZEBOX", 0x00020000}, {"WS_MAXIMIZEBOX", 0x00010000}, {"WS_OVERLAPPEDWINDOW", 0x00CF0000},
    {"WS_POPUPWINDOW", 0x80880000},
    // Extended window styles.
    {"WS_EX_DLGMODALFRAME", 0x1}, {"WS_EX_NOPARENTNOTIFY", 0x4}, {"WS_EX_TOPMOST", 0x8},
    {"WS_EX_ACCEPTFILES", 0x10}, {"WS_EX_TRANSPARENT", 0x20}, {"WS_EX_TOOLWINDOW", 0x80},
    {"WS_EX_WINDOWEDGE", 0x100}, {"WS_EX_CLIENTEDGE", 0x200}, {"WS_EX_CONTEXTHELP", 0x400},
    {"WS_EX_RIGHT", 0x1000}, {"WS_EX_LEFT", 0}, {"WS_EX_CONTROLPARENT", 0x10000},
    {"WS_EX_STATICEDGE", 0x20000}, {"WS_EX_APPWINDOW", 0x40000},
    // Dialog styles.
    {"DS_ABSALIGN", 0x1}, {"DS_SYSMODAL", 0x2}, {"DS_3DLOOK", 0x4}, {"DS_FIXEDSYS", 0x8},
    {"DS_NOFAILCREATE", 0x10}, {"DS_LOCALEDIT", 0x20}, {"DS_SETFONT", 0x40}, {"DS_MODALFRAME", 0x80},
    {"DS_NOIDLEMSG", 0x100}, {"DS_SETFOREGROUND", 0x200}, {"DS_CONTROL", 0x400}, {"DS_CENTER", 0x800},
    {"DS_CENTERMOUSE", 0x1000}, {"DS_CONTEXTHELP", 0x2000}, {"DS_SHELLFONT", 0x48},
    // Static styles.
    {"SS_LEFT", 0x0}, {"SS_CENTER", 0x1}, {"SS_RIGHT", 0x2}, {"SS_ICON", 0x3}, {"SS_BLACKRECT", 0x4},
    {"SS_GRAYRECT", 0x5}, {"SS_WHITERECT", 0x6}, {"SS_BLACKFRAME", 0x7}, {"SS_GRAYFRAME", 0x8},
    {"SS_WHITEFRAME", 0x9}, {"SS_SIMPLE", 0xB}, {"SS_LEFTNOWORDWRAP", 0xC}, {"SS_OWNERDRAW", 0xD},
    {"SS_BITMAP", 0xE}, {"SS_ENHMETAFILE", 0xF}, {"SS_ETCHEDHORZ", 0x10}, {"SS_ETCHEDVERT", 0x11},
    {"SS_ETCHEDFRAME", 0x12}, {"SS_TYPEMASK", 0x1F}, {"SS_NOPREFIX", 0x80}, {"SS_NOTIFY", 0x100},
    {"SS_CENTERIMAGE", 0x200}, {"SS_RIGHTJUST", 0x400}, {"SS_REALSIZEIMAGE", 0x800}, {"SS_SUNKEN", 0x1000},
    {"SS_ENDELLIPSIS", 0x4000}, {"SS_PATHELLIPSIS", 0x8000}, {"SS_WORDELLIPSIS", 0xC000},
    // Button styles.
    {"BS_PUSHBUTTON", 0x0}, {"BS_DEFPUSHBUTTON", 0x1}, {"BS_CHECKBOX", 0x2}, {"BS_AUTOCHECKBOX", 0x3},
    {"BS_RADIOBUTTON", 0x4}, {"BS_3STATE", 0x5}, {"BS_AUTO3STATE", 0x6}, {"BS_GROUPBOX", 0x7},
    {"BS_USERBUTTON", 0x8}, {"BS_AUTORADIOBUTTON", 0x9}, {"BS_OWNERDRAW", 0xB}, {"BS_TYPEMASK", 0xF},
    {"BS_LEFTTEXT", 0x20}, {"BS_TEXT", 0x0}, {"BS_ICON", 0x40}, {"BS_BITMAP", 0x80}, {"BS_LEFT", 0x100},
    {"BS_RIGHT", 0x200}, {"BS_CENTER", 0x300}, {"BS_TOP", 0x400}, {"BS_BOTTOM", 0x800},
    {"BS_VCENTER", 0xC00}, {"BS_PUSHLIKE", 0x1000}, {"BS_MULTILINE", 0x2000}, {"BS_NOTIFY", 0x4000},
    {"BS_FLAT", 0x8000},
    // Edit styles.
    {"ES_LEFT", 0x0}, {"ES_CENTER", 0x1}, {"ES_RIGHT", 0x2}, {"ES_MULTILINE", 0x4}, {"ES_UPPERCASE", 0x8},
    {"ES_LOWERCASE", 0x10}, {"ES_PASSWORD", 0x20}, {"ES_AUTOVSCROLL", 0x40}, {"ES_AUTOHSCROLL", 0x80},
    {"ES_NOHIDESEL", 0x100}, {"ES_OEMCONVERT", 0x400}, {"ES_READONLY", 0x800}, {"ES_WANTRETURN", 0x1000},
    {"ES_NUMBER", 0x2000},
    // List box and combo box styles.
    {"LBS_NOTIFY", 0x1}, {"LBS_SORT", 0x2}, {"LBS_NOREDRAW", 0x4}, {"LBS_MULTIPLESEL", 0x8},
    {"LBS_OWNERDRAWFIXED", 0x10}, {"LBS_OWNERDRAWVARIABLE", 0x20}, {"LBS_HASSTRINGS", 0x40},
    {"LBS_USETABSTOPS", 0x80}, {"LBS_NOINTEGRALHEIGHT", 0x100}, {"LBS_MULTICOLUMN", 0x200},
    {"LBS_WANTKEYBOARDINPUT", 0x400}, {"LBS_EXTENDEDSEL", 0x800}, {"LBS_DISABLENOSCROLL", 0x1000},
    {"LBS_NODATA", 0x2000}, {"LBS_NOSEL", 0x4000}, {"LBS_STANDARD", 0xA00003},
    {"CBS_SIMPLE", 0x1}, {"CBS_DROPDOWN", 0x2}, {"CBS_DROPDOWNLIST", 0x3}, {"CBS_OWNERDRAWFIXED", 0x10},
    {"CBS_OWNERDRAWVARIABLE", 0x20}, {"CBS_AUTOHSCROLL", 0x40}, {"CBS_OEMCONVERT", 0x80}, {"CBS_SORT", 0x100},
    {"CBS_HASSTRINGS", 0x200}, {"CBS_NOINTEGRALHEIGHT", 0x400}, {"CBS_DISABLENOSCROLL", 0x800},
    // Common controls.
    {"LVS_ICON", 0x0}, {"LVS_REPORT", 0x1}, {"LVS_SMALLICON", 0x2}, {"LVS_LIST", 0x3}, {"LVS_TYPEMASK", 0x3},
    {"LVS_SINGLESEL", 0x4}, {"LVS_SHOWSELALWAYS", 0x8}, {"LVS_SORTASCENDING", 0x10},
    {"LVS_SORTDESCENDING", 0x20}, {"LVS_SHAREIMAGELISTS", 0x40}, {"LVS_NOLABELWRAP", 0x80},
    {"LVS_AUTOARRANGE", 0x100}, {"LVS_EDITLABELS", 0x200}, {"LVS_OWNERDRAWFIXED", 0x400},
    {"LVS_ALIGNTOP", 0x0}, {"LVS_ALIGNLEFT", 0x800}, {"LVS_OWNERDATA", 0x1000}, {"LVS_NOSCROLL", 0x2000},
    {"LVS_NOCOLUMNHEADER", 0x4000}, {"LVS_NOSORTHEADER", 0x8000},
    {"PBS_SMOOTH", 0x1}, {"PBS_VERTICAL", 0x4}, {"PBS_MARQUEE", 0x8},
    {"ACS_CENTER", 0x1}, {"ACS_TRANSPARENT", 0x2}, {"ACS_AUTOPLAY", 0x4}, {"ACS_TIMER", 0x8},
    // Dialog results and the "no id" of static texts.
    {"IDOK", 1}, {"IDCANCEL", 2}, {"IDABORT", 3}, {"IDRETRY", 4}, {"IDIGNORE", 5}, {"IDYES", 6},
    {"IDNO", 7}, {"IDCLOSE", 8}, {"IDHELP", 9}, {"IDC_STATIC", -1},
    // Languages of the LANGUAGE statement.
    {"LANG_NEUTRAL", 0x00}, {"LANG_ENGLISH", 0x09}, {"LANG_JAPANESE", 0x11}, {"LANG_GERMAN", 0x07},
    {"LANG_FRENCH", 0x0C}, {"SUBLANG_NEUTRAL", 0x00}, {"SUBLANG_DEFAULT", 0x01}, {"SUBLANG_SYS_DEFAULT", 0x02},
    {"SUBLANG_ENGLISH_US", 0x01}, {"SUBLANG_JAPANESE_JAPAN", 0x01},
};

constexpr NamedValue kStandardTypes[] = {
    {"CURSOR", 1}, {"BITMAP", 2}, {"ICON", 3}, {"MENU", 4}, {"DIALOG", 5}, {"STRING", 6},
    {"FONTDIR", 7}, {"FONT", 8}, {"ACCELERATORS", 9}, {"RCDATA", 10}, {"MESSAGETABLE", 11},
    {"GROUP_CURSOR", 12}, {"GROUP_ICON", 14}, {"VERSION", 16}, {"HTML", 23}, {"MANIFEST", 24},
};

constexpr int kMaxIncludeDepth = 8;
constexpr int kMaxIncludes = 64;
constexpr int kMaxDefineDepth = 16;
constexpr int kMaxExprDepth = 64;
constexpr size_t kMaxTokens = 4u << 20;  // a real script has a few thousand

std::string upper(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

bool isIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool isIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

enum class Tok { Ident, Number, String, Punct, End };

struct Token {
  Tok kind = Tok::End;
  std::string text;  // identifier, string contents, or the punctuation character
  unsigned long long number = 0;
  std::shared_ptr<const std::string> file;
  int line = 0;
};

[[noreturn]] void fail(const std::string& file, int line, const std::string& what) {
  throw ParseError{file + ":" + std::to_string(line) + ": " + what};
}

// ---- Lexer and preprocessor --------------------------------------------------

struct Define {
  std::string text;
  std::string file;
  int line = 0;
};

class Lexer {
 public:
  Lexer(const IncludeResolver& resolver, std::map<std::string, Define>* defines)
      : m_resolver(resolver), m_defines(defines) {}

  void run(std::string_view text, const std::string& fileName, int depth) {
    auto file = std::make_shared<const std::string>(fileName);
    if (depth > kMaxIncludeDepth) fail(fileName, 1, "#include nested too deeply");
    size_t i = 0;
    int line = 1;
    bool lineStart = true;
    std::vector<bool> active;  // conditional stack: is this region read?
    std::vector<bool> seenElse;
    std::vector<int> ifLines;  // where each open #if began
    const auto reading = [&]() { return std::all_of(active.begin(), active.end(), [](bool b) { return b; }); };
    const size_t n = text.size();
    while (i < n) {
      char c = text[i];
      if (c == '\n') {
        ++line;
        ++i;
        lineStart = true;
        continue;
      }
      if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++i;
        continue;
      }
      if (c == '/' && i + 1 < n && text[i + 1] == '/') {
        while (i < n && text[i] != '\n') ++i;
        continue;
      }
      if (c == '/' && i + 1 < n && text[i + 1] == '*') {
        const int startLine = line;
        i += 2;
        while (i < n && !(text[i] == '*' && i + 1 < n && text[i + 1] == '/')) {
          if (text[i] == '\n') ++line;
          ++i;
        }
        if (i >= n) fail(*file, startLine, "comment not closed");
        i += 2;
        continue;
      }
      if (c == '#' && lineStart) {
        // The directive runs to the end of the line; a backslash at the end
        // continues it. Comments inside it are dropped.
        const int directiveLine = line;
        std::string directive;
        ++i;
        while (i < n && text[i] != '\n') {
          if (text[i] == '\\' && i + 1 < n && (text[i + 1] == '\n' || text[i + 1] == '\r')) {
            while (i < n && text[i] != '\n') ++i;
            ++i;
            ++line;
            directive += ' ';
            continue;
          }
          if (text[i] == '/' && i + 1 < n && text[i + 1] == '/') {
            while (i < n && text[i] != '\n') ++i;
            break;
          }
          if (text[i] == '/' && i + 1 < n && text[i + 1] == '*') {
            i += 2;
            while (i < n && !(text[i] == '*' && i + 1 < n && text[i + 1] == '/')) {
              if (text[i] == '\n') ++line;
              ++i;
            }
            if (i >= n) fail(*file, directiveLine, "comment not closed");
            i += 2;
            directive += ' ';
            continue;
          }
          directive += text[i++];
        }
        directive_(directive, *file, directiveLine, depth, active, seenElse, ifLines, reading());
        continue;
      }
      lineStart = false;
      if (!reading()) {
        // Skip the rest of the line in an inactive region, minding strings
        // so that a quoted "#" does not count.
        while (i < n && text[i] != '\n') ++i;
        continue;
      }
      if (m_tokens.size() >= kMaxTokens) fail(*file, line, "script too long");
      Token t;
      t.file = file;
      t.line = line;
      if (isIdentStart(c)) {
        size_t s = i;
        while (i < n && isIdentChar(text[i])) ++i;
        t.kind = Tok::Ident;
        t.text = std::string(text.substr(s, i - s));
      } else if (std::isdigit(static_cast<unsigned char>(c))) {
        size_t s = i;
        while (i < n && isIdentChar(text[i])) ++i;
        t.kind = Tok::Number;
        t.text = std::string(text.substr(s, i - s));
        t.number = parseNumber(t.text, *file, line);
      } else if (c == '"') {
        t.kind = Tok::String;
        ++i;
        for (;;) {
          if (i >= n || text[i] == '\n') fail(*file, line, "string not closed");
          char d = text[i];
          if (d == '"') {
            if (i + 1 < n && text[i + 1] == '"') {  // "" stands for one quote
              t.text += '"';
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          if (d == '\\' && i + 1 < n) {
            char e = text[i + 1];
            const char* map = "n\nt\tr\ra\a\\\\\"\"";
            const char* hit = nullptr;
            for (const char* m = map; *m; m += 2)
              if (*m == e) hit = m;
            if (hit) {
              t.text += hit[1];
              i += 2;
              continue;
            }
          }
          t.text += d;
          ++i;
        }
      } else if (std::string_view("|,+-~(){}").find(c) != std::string_view::npos) {
        t.kind = Tok::Punct;
        t.text = std::string(1, c);
        ++i;
      } else {
        std::string shown = std::isprint(static_cast<unsigned char>(c)) ? std::string(1, c) : "\\x" + hex2(c);
        fail(*file, line, "unexpected character '" + shown + "'");
      }
      m_tokens.push_back(std::move(t));
    }
    if (!active.empty()) fail(*file, ifLines.empty() ? line : ifLines.back(), "#if without #endif");
  }

  std::vector<Token>& tokens() { return m_tokens; }

  static unsigned long long parseNumber(const std::string& s, const std::string& file, int line) {
    size_t i = 0;
    unsigned base = 10;
    if (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
      base = 16;
      i = 2;
    }
    unsigned long long v = 0;
    size_t digits = 0;
    for (; i < s.size(); ++i) {
      char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
      unsigned d;
      if (c >= '0' && c <= '9')
        d = static_cast<unsigned>(c - '0');
      else if (base == 16 && c >= 'a' && c <= 'f')
        d = static_cast<unsigned>(c - 'a' + 10);
      else
        break;
      if (v > (~0ULL - d) / base) fail(file, line, "number too large: " + s);
      v = v * base + d;
      ++digits;
    }
    // Suffixes of C integer literals: L, U, UL, LU, LL.
    std::string rest = upper(s.substr(i));
    if (digits == 0 || !(rest.empty() || rest == "L" || rest == "U" || rest == "UL" || rest == "LU" || rest == "LL" ||
                         rest == "ULL"))
      fail(file, line, "bad number: " + s);
    return v;
  }

 private:
  static std::string hex2(char c) {
    const char* d = "0123456789abcdef";
    unsigned char u = static_cast<unsigned char>(c);
    return std::string{d[u >> 4], d[u & 15]};
  }

  static std::string word(const std::string& s, size_t* pos) {
    size_t i = *pos;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    size_t b = i;
    while (i < s.size() && isIdentChar(s[i])) ++i;
    *pos = i;
    return s.substr(b, i - b);
  }

  static std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
  }

  bool isDefined(const std::string& name) const { return m_defines->count(name) != 0; }

  // #if accepts what resource headers use: a number, a defined name, and
  // defined(NAME) / defined NAME, optionally negated with "!".
  bool evalIf(std::string expr, const std::string& file, int line) const {
    expr = trim(expr);
    bool negate = false;
    while (!expr.empty() && expr[0] == '!') {
      negate = !negate;
      expr = trim(expr.substr(1));
    }
    bool value;
    if (expr.rfind("defined", 0) == 0) {
      std::string rest = trim(expr.substr(7));
      if (!rest.empty() && rest.front() == '(') {
        if (rest.back() != ')') fail(file, line, "bad #if: " + expr);
        rest = trim(rest.substr(1, rest.size() - 2));
      }
      value = isDefined(rest);
    } else if (!expr.empty() && std::isdigit(static_cast<unsigned char>(expr[0]))) {
      value = parseNumber(expr, file, line) != 0;
    } else if (!expr.empty() && isIdentStart(expr[0])) {
      auto it = m_defines->find(expr);
      value = it != m_defines->end() && trim(it->second.text) != "0" && !trim(it->second.text).empty();
    } else {
      fail(file, line, "#if expression not understood: " + expr);
    }
    return negate ? !value : value;
  }

  void directive_(const std::string& d, const std::string& file, int line, int depth, std::vector<bool>& active,
                  std::vector<bool>& seenElse, std::vector<int>& ifLines, bool reading) {
    size_t pos = 0;
    std::string name = word(d, &pos);
    std::string rest = d.substr(pos);
    if (name == "ifdef" || name == "ifndef" || name == "if") {
      bool v = false;
      if (reading) {
        if (name == "if") {
          v = evalIf(rest, file, line);
        } else {
          size_t p = 0;
          std::string what = word(rest, &p);
          if (what.empty()) fail(file, line, "#" + name + " without a name");
          v = isDefined(what) == (name == "ifdef");
        }
      }
      active.push_back(v);
      seenElse.push_back(false);
      ifLines.push_back(line);
      return;
    }
    if (name == "else" || name == "endif" || name == "elif") {
      if (active.empty()) fail(file, line, "#" + name + " without #if");
      if (name == "endif") {
        active.pop_back();
        seenElse.pop_back();
        if (!ifLines.empty()) ifLines.pop_back();
        return;
      }
      if (name == "elif") fail(file, line, "#elif is not supported");
      if (seenElse.back()) fail(file, line, "second #else");
      seenElse.back() = true;
      // The else branch is read when the whole stack above it is read and
      // the if branch was not.
      bool outer = std::all_of(active.begin(), active.end() - 1, [](bool b) { return b; });
      active.back() = outer && !active.back();
      return;
    }
    if (!reading) return;
    if (name == "define") {
      size_t p = pos;
      std::string macro = word(d, &p);
      if (macro.empty()) fail(file, line, "#define without a name");
      // Function-like macros are kept, but never give a value.
      if (p < d.size() && d[p] == '(') {
        (*m_defines)[macro] = Define{"", file, line};
        m_functionMacros.insert(macro);
        return;
      }
      (*m_defines)[macro] = Define{trim(d.substr(p)), file, line};
      return;
    }
    if (name == "undef") {
      size_t p = pos;
      m_defines->erase(word(d, &p));
      return;
    }
    if (name == "include") {
      std::string target = trim(rest);
      if (target.size() >= 2 && target.front() == '<' && target.back() == '>') return;  // built in
      if (target.size() < 2 || target.front() != '"' || target.back() != '"')
        fail(file, line, "#include needs a \"file\" or <file>");
      std::string inc = target.substr(1, target.size() - 2);
      // A header included over and over must not blow up the work.
      if (++m_includes > kMaxIncludes) fail(file, line, "too many #include lines");
      std::optional<std::string> body = m_resolver ? m_resolver(inc) : std::nullopt;
      if (!body) fail(file, line, "cannot open include file \"" + inc + "\"");
      run(*body, inc, depth + 1);
      return;
    }
    if (name == "pragma" || name == "error" || name == "line" || name.empty()) {
      if (name == "error") fail(file, line, "#error" + rest);
      return;
    }
    fail(file, line, "unknown directive #" + name);
  }

  const IncludeResolver& m_resolver;
  std::map<std::string, Define>* m_defines;
  std::set<std::string> m_functionMacros;
  std::vector<Token> m_tokens;
  int m_includes = 0;
};

// ---- Parser ------------------------------------------------------------------

class Parser {
 public:
  Parser(std::vector<Token>& tokens, std::map<std::string, Define>& defines, const std::string& mainFile)
      : m_t(tokens), m_defines(defines), m_mainFile(mainFile) {}

  void parseScript(Script* s) {
    while (!atEnd()) {
      const Token& t = peek();
      if (isWord(t, "LANGUAGE")) {
        next();
        expr();
        expect(",", "in LANGUAGE");
        expr();
        continue;
      }
      if (isWord(t, "STRINGTABLE")) {
        next();
        stringTable(s);
        continue;
      }
      resource(s);
    }
    for (const auto& [name, def] : m_defines) {
      long long v;
      if (tryDefineValue(name, &v)) s->defines[name] = v;
    }
  }

 private:
  bool atEnd() const { return m_pos >= m_t.size(); }
  const Token& peek() const {
    static const Token end;
    return atEnd() ? end : m_t[m_pos];
  }
  const Token& next() {
    if (atEnd()) failEnd("unexpected end of the script");
    return m_t[m_pos++];
  }
  [[noreturn]] void failAt(const Token& t, const std::string& what) const {
    if (t.kind == Tok::End) failEnd(what);
    fail(*t.file, t.line, what);
  }
  [[noreturn]] void failEnd(const std::string& what) const {
    if (m_t.empty()) fail(m_mainFile, 1, what);
    fail(*m_t.back().file, m_t.back().line, what + " (at the end of the script)");
  }
  static bool isWord(const Token& t, const char* w) { return t.kind == Tok::Ident && upper(t.text) == w; }
  static bool isPunct(const Token& t, const char* p) { return t.kind == Tok::Punct && t.text == p; }
  bool isBegin(const Token& t) const { return isWord(t, "BEGIN") || isPunct(t, "{"); }
  bool isEnd(const Token& t) const { return isWord(t, "END") || isPunct(t, "}"); }

  // A missing piece is reported on the line of the statement it belongs to,
  // not on the line of whatever came next.
  [[noreturn]] void failMissing(const std::string& what) const {
    const Token& t = peek();
    if (m_pos > 0 && m_pos <= m_t.size() && (t.kind == Tok::End || t.line != m_t[m_pos - 1].line))
      fail(*m_t[m_pos - 1].file, m_t[m_pos - 1].line, what + describe(t));
    failAt(t, what + describe(t));
  }

  void expect(const char* punct, const std::string& where) {
    if (!isPunct(peek(), punct)) failMissing(std::string("expected '") + punct + "' " + where);
    next();
  }
  bool accept(const char* punct) {
    if (isPunct(peek(), punct)) {
      next();
      return true;
    }
    return false;
  }
  static std::string describe(const Token& t) {
    switch (t.kind) {
      case Tok::End:
        return "";
      case Tok::String:
        return ", found a string";
      default:
        return ", found '" + t.text + "'";
    }
  }
  std::string str(const std::string& where) {
    const Token& t = peek();
    if (t.kind != Tok::String) failMissing("expected a string " + where);
    return next().text;
  }

  // ---- Expressions
  long long expr() { return orExpr(0); }

  long long orExpr(int depth) {
    long long v = addExpr(depth);
    while (accept("|")) v |= addExpr(depth);
    return v;
  }
  long long addExpr(int depth) {
    long long v = unary(depth);
    for (;;) {
      if (accept("+"))
        v = static_cast<long long>(static_cast<unsigned long long>(v) + static_cast<unsigned long long>(unary(depth)));
      else if (accept("-"))
        v = static_cast<long long>(static_cast<unsigned long long>(v) - static_cast<unsigned long long>(unary(depth)));
      else
        return v;
    }
  }
  long long unary(int depth) {
    if (depth > kMaxExprDepth) failAt(peek(), "expression nested too deeply");
    const Token& t = peek();
    if (isPunct(t, "-")) {
      next();
      return static_cast<long long>(0ULL - static_cast<unsigned long long>(unary(depth + 1)));
    }
    if (isPunct(t, "~") || isWord(t, "NOT")) {
      next();
      return ~unary(depth + 1);
    }
    if (isPunct(t, "(")) {
      next();
      long long v = orExpr(depth + 1);
      expect(")", "to close the expression");
      return v;
    }
    if (t.kind == Tok::Number) return static_cast<long long>(next().number);
    if (t.kind == Tok::Ident) {
      const Token& id = next();
      long long v;
      if (!identValue(id.text, m_depthBase, &v)) failAt(id, "unknown name '" + id.text + "'");
      return v;
    }
    failMissing("expected a number");
  }

  // Style expressions: "A | NOT B" adds A to the defaults and takes B away.
  DWORD styleExpr(DWORD defaults) {
    DWORD v = defaults;
    do {
      if (isWord(peek(), "NOT")) {
        next();
        v &= ~static_cast<DWORD>(unary(1));
      } else {
        v |= static_cast<DWORD>(addExpr(0));
      }
    } while (accept("|"));
    return v;
  }

  bool identValue(const std::string& name, int depth, long long* out) {
    if (depth > kMaxDefineDepth) return false;
    auto it = m_defines.find(name);
    if (it != m_defines.end()) {
      auto cached = m_cache.find(name);
      if (cached != m_cache.end()) {
        if (!cached->second) return false;
        *out = *cached->second;
        return true;
      }
      m_cache[name] = std::nullopt;  // guards against #define A A
      std::optional<long long> v = evalDefine(it->second, depth);
      m_cache[name] = v;
      if (!v) return false;
      *out = *v;
      return true;
    }
    for (const auto& c : kBuiltinConstants) {
      if (name == c.name) {
        *out = c.value;
        return true;
      }
    }
    return false;
  }

  bool tryDefineValue(const std::string& name, long long* out) { return identValue(name, 0, out); }

  // A #define's value: its text lexed and evaluated as an expression.
  std::optional<long long> evalDefine(const Define& def, int depth) {
    if (def.text.empty()) return std::nullopt;
    std::map<std::string, Define> none;
    Lexer lexer(IncludeResolver{}, &none);
    try {
      lexer.run(def.text, def.file, 0);
    } catch (const ParseError&) {
      return std::nullopt;
    }
    std::vector<Token>& toks = lexer.tokens();
    if (toks.empty()) return std::nullopt;
    for (Token& t : toks) t.line = def.line;
    Parser sub(toks, m_defines, def.file);
    sub.m_cache = m_cache;
    sub.m_depthBase = depth + 1;
    std::optional<long long> result;
    try {
      long long v = sub.exprAtDepth();
      if (sub.atEnd()) result = v;
    } catch (const ParseError&) {
    }
    // Keep what the nested evaluation learnt, so that a name used by many
    // others is evaluated once.
    for (const auto& [k, v] : sub.m_cache)
      if (v) m_cache[k] = v;
    return result;
  }
  long long exprAtDepth() {
    if (m_depthBase > kMaxDefineDepth) throw ParseError{"too deep"};
    return expr();
  }

  int intExpr(const std::string& what) {
    const Token& at = peek();
    long long v = expr();
    if (v < -0x80000000LL || v > 0xFFFFFFFFLL) failAt(at, what + " out of range");
    return static_cast<int>(v);
  }

  ResId resId(const std::string& what) {
    const Token& t = peek();
    ResId id;
    if (t.kind == Tok::Number) {
      id.number = static_cast<DWORD>(next().number);
      if (t.number > 0xFFFF) failAt(t, what + " out of range (0 to 65535)");
      return id;
    }
    if (t.kind == Tok::Ident) {
      next();
      long long v;
      if (identValue(t.text, 0, &v)) {
        if (v < 0 || v > 0xFFFF) failAt(t, what + " out of range (0 to 65535)");
        id.number = static_cast<DWORD>(v);
      } else {
        id.isNumber = false;
        id.name = upper(t.text);
      }
      return id;
    }
    if (t.kind == Tok::String) {
      id.isNumber = false;
      id.name = upper(next().text);
      return id;
    }
    failAt(t, "expected " + what + describe(t));
  }

  // ---- Statements
  void stringTable(Script* s) {
    while (!atEnd() && !isBegin(peek())) next();  // LANGUAGE, CHARACTERISTICS, VERSION
    if (atEnd()) failEnd("STRINGTABLE without BEGIN");
    next();
    for (;;) {
      const Token& t = peek();
      if (atEnd()) failEnd("STRINGTABLE without END");
      if (isEnd(t)) {
        next();
        return;
      }
      int id = intExpr("string id");
      accept(",");
      s->strings[static_cast<DWORD>(id) & 0xFFFF] = str("in STRINGTABLE");
    }
  }

  // VERSIONINFO: the fixed statements, then BLOCK "StringFileInfo" with its
  // tables of VALUE "name", "text" and BLOCK "VarFileInfo" with VALUE
  // "Translation", language, code page, ...
  void versionInfo(Script* s, const Token& first) {
    VersionInfo v;
    v.present = true;
    auto pairOf = [this](const char* what, DWORD* ms, DWORD* ls) {
      DWORD part[4] = {0, 0, 0, 0};
      for (int i = 0; i < 4; ++i) {
        part[i] = static_cast<DWORD>(intExpr(what)) & 0xFFFF;
        if (i < 3 && !accept(",")) break;
      }
      *ms = part[0] << 16 | part[1];
      *ls = part[2] << 16 | part[3];
    };
    while (!atEnd() && !isBegin(peek())) {
      const Token& t = next();
      const std::string w = upper(t.text);
      if (w == "FILEVERSION") pairOf("FILEVERSION", &v.fileVersionMS, &v.fileVersionLS);
      else if (w == "PRODUCTVERSION") pairOf("PRODUCTVERSION", &v.productVersionMS, &v.productVersionLS);
      else if (w == "FILEFLAGSMASK") v.fileFlagsMask = static_cast<DWORD>(intExpr(w));
      else if (w == "FILEFLAGS") v.fileFlags = static_cast<DWORD>(intExpr(w));
      else if (w == "FILEOS") v.fileOS = static_cast<DWORD>(intExpr(w));
      else if (w == "FILETYPE") v.fileType = static_cast<DWORD>(intExpr(w));
      else if (w == "FILESUBTYPE") v.fileSubtype = static_cast<DWORD>(intExpr(w));
      else failAt(t, "unknown VERSIONINFO statement" + describe(t));
    }
    if (atEnd()) failEnd("VERSIONINFO " + first.text + " has no BEGIN");
    next();
    while (!isEnd(peek())) {
      if (atEnd()) failEnd("VERSIONINFO without END");
      const Token& t = next();
      if (!isWord(t, "BLOCK")) failAt(t, "expected BLOCK in VERSIONINFO" + describe(t));
      const std::string kind = upper(str("after BLOCK"));
      if (!isBegin(peek())) failMissing("expected BEGIN after BLOCK");
      next();
      while (!isEnd(peek())) {
        if (atEnd()) failEnd("BLOCK without END");
        const Token& inner = next();
        if (kind == "STRINGFILEINFO" && isWord(inner, "BLOCK")) {
          VersionInfo::Table table;
          table.key = str("after BLOCK");
          if (!isBegin(peek())) failMissing("expected BEGIN after BLOCK");
          next();
          while (!isEnd(peek())) {
            if (atEnd()) failEnd("BLOCK without END");
            const Token& value = next();
            if (!isWord(value, "VALUE")) failAt(value, "expected VALUE" + describe(value));
            std::string name = str("after VALUE");
            accept(",");
            std::string text;
            while (peek().kind == Tok::String) text += next().text;
            while (!text.empty() && text.back() == '\0') text.pop_back();
            table.values.emplace_back(std::move(name), std::move(text));
          }
          next();
          v.tables.push_back(std::move(table));
        } else if (kind == "VARFILEINFO" && isWord(inner, "VALUE")) {
          str("after VALUE");
          while (accept(",")) v.translations.push_back(static_cast<WORD>(intExpr("translation")));
        } else {
          failAt(inner, "unexpected" + describe(inner) + " in BLOCK " + kind);
        }
      }
      next();
    }
    next();
    // The block's lengths are 16-bit: a bigger one cannot be stored.
    if (encodeVersionInfo(v).size() > 0xFFFF) failAt(first, "VERSIONINFO " + first.text + " is too large");
    if (!s->version.present) s->version = std::move(v);
  }

  void skipBlock() {
    int depth = 0;
    do {
      const Token& t = next();
      if (isBegin(t)) ++depth;
      if (isEnd(t)) --depth;
    } while (depth > 0);
  }

  void resource(Script* s) {
    const Token& first = peek();
    if (first.kind != Tok::Ident && first.kind != Tok::Number)
      failAt(first, "expected a resource name" + describe(first));
    ResId id = resId("resource id");
    const Token& typeTok = peek();
    if (typeTok.kind != Tok::Ident && typeTok.kind != Tok::Number)
      failAt(typeTok, "expected a resource type after " + id.toString() + describe(typeTok));
    if (isWord(typeTok, "DIALOGEX") || isWord(typeTok, "DIALOG")) {
      next();
      dialog(s, id, upper(typeTok.text) == "DIALOGEX", first);
      return;
    }
    if (isWord(typeTok, "VERSIONINFO")) {
      next();
      versionInfo(s, first);
      return;
    }
    ResId type;
    if (typeTok.kind == Tok::Number) {
      type.number = static_cast<DWORD>(next().number);
    } else {
      std::string name = upper(next().text);
      if (DWORD n = standardTypeNumber(name)) {
        type.number = n;
      } else {
        type.isNumber = false;
        type.name = name;
      }
    }
    // Attributes such as PRELOAD, DISCARDABLE may stand before the file name.
    while (peek().kind == Tok::Ident && !isBegin(peek())) {
      std::string w = upper(peek().text);
      if (w == "PRELOAD" || w == "LOADONCALL" || w == "FIXED" || w == "MOVEABLE" || w == "DISCARDABLE" ||
          w == "PURE" || w == "IMPURE")
        next();
      else
        break;
    }
    if (peek().kind == Tok::String) {
      FileResource f;
      f.id = id;
      f.type = type;
      f.line = first.line;
      f.fileName = next().text;
      if (f.fileName.empty()) failAt(first, "empty file name for resource " + id.toString());
      s->files.push_back(std::move(f));
      return;
    }
    // Blocks the dialog manager has no use for (TEXTINCLUDE, DESIGNINFO,
    // VERSIONINFO, MENU, ...) are read over.
    const bool fileType = type.isNumber && (type.number == 1 || type.number == 2 || type.number == 3);
    if (fileType) failAt(peek(), "expected the file name of " + id.toString() + describe(peek()));
    while (!atEnd() && !isBegin(peek())) next();
    if (atEnd()) failEnd("resource " + id.toString() + " has no BEGIN");
    skipBlock();
  }

  void dialog(Script* s, const ResId& id, bool extended, const Token& first) {
    for (const Dialog& d : s->dialogs)
      if (d.id == id) failAt(first, "dialog " + id.toString() + " defined twice");
    Dialog d;
    d.id = id;
    d.extended = extended;
    d.file = *first.file;
    d.line = first.line;
    d.x = intExpr("x");
    expect(",", "after x");
    d.y = intExpr("y");
    expect(",", "after y");
    d.cx = intExpr("width");
    expect(",", "after the width");
    d.cy = intExpr("height");
    if (accept(",")) intExpr("help id");
    DWORD style = 0x80000000 | 0x00800000 | 0x00080000;  // WS_POPUP | WS_BORDER | WS_SYSMENU
    bool caption = false, font = false;
    for (;;) {
      const Token& t = peek();
      if (atEnd()) failEnd("dialog " + id.toString() + " has no BEGIN");
      if (isBegin(t)) break;
      std::string w = t.kind == Tok::Ident ? upper(t.text) : "";
      next();
      if (w == "STYLE") {
        style = styleExpr(0);
      } else if (w == "EXSTYLE") {
        d.exStyle = styleExpr(0);
      } else if (w == "CAPTION") {
        d.caption = str("after CAPTION");
        caption = true;
      } else if (w == "FONT") {
        d.fontSize = intExpr("font size");
        expect(",", "after the font size");
        d.fontName = str("for the font name");
        if (accept(",")) {
          intExpr("font weight");
          if (accept(",")) {
            intExpr("italic flag");
            if (accept(",")) intExpr("character set");
          }
        }
        font = true;
      } else if (w == "MENU") {
        const Token& m = next();
        if (m.kind == Tok::End || m.kind == Tok::Punct) failAt(m, "expected a menu name");
        d.menu = m.text;
      } else if (w == "CLASS") {
        const Token& c = next();
        if (c.kind == Tok::End || c.kind == Tok::Punct) failAt(c, "expected a class name");
        d.className = c.text;
      } else if (w == "LANGUAGE") {
        expr();
        expect(",", "in LANGUAGE");
        expr();
      } else if (w == "CHARACTERISTICS" || w == "VERSION") {
        expr();
      } else {
        failAt(t, "unknown dialog statement '" + t.text + "'");
      }
    }
    if (caption) style |= 0x00C00000;  // WS_CAPTION
    if (font) style |= 0x40;           // DS_SETFONT
    d.style = style;
    next();  // BEGIN
    for (;;) {
      const Token& t = peek();
      if (atEnd()) failEnd("dialog " + id.toString() + " has no END");
      if (isEnd(t)) {
        next();
        break;
      }
      d.controls.push_back(control());
    }
    s->dialogs.push_back(std::move(d));
  }

  struct ControlKind {
    const char* statement;
    const char* className;
    DWORD defaults;  // besides WS_CHILD | WS_VISIBLE
    int shape;       // 0 text first, 1 no text, 2 icon, 3 CONTROL
  };

  Control control() {
    static constexpr DWORD GROUP = 0x00020000, TAB = 0x00010000, BORDER = 0x00800000;
    static constexpr ControlKind kKinds[] = {
        {"LTEXT", "Static", 0x0 | GROUP, 0},
        {"RTEXT", "Static", 0x2 | GROUP, 0},
        {"CTEXT", "Static", 0x1 | GROUP, 0},
        {"PUSHBUTTON", "Button", 0x0 | TAB, 0},
        {"DEFPUSHBUTTON", "Button", 0x1 | TAB, 0},
        {"PUSHBOX", "Button", 0xA | TAB, 0},
        {"CHECKBOX", "Button", 0x2 | TAB, 0},
        {"AUTOCHECKBOX", "Button", 0x3 | TAB, 0},
        {"RADIOBUTTON", "Button", 0x4, 0},
        {"AUTORADIOBUTTON", "Button", 0x9, 0},
        {"STATE3", "Button", 0x5 | TAB, 0},
        {"AUTO3STATE", "Button", 0x6 | TAB, 0},
        {"GROUPBOX", "Button", 0x7, 0},
        {"EDITTEXT", "Edit", 0x0 | BORDER | TAB, 1},
        {"LISTBOX", "ListBox", 0x1 | BORDER, 1},
        {"COMBOBOX", "ComboBox", 0x1 | TAB, 1},
        {"SCROLLBAR", "ScrollBar", 0x0, 1},
        {"ICON", "Static", 0x3, 2},
        {"CONTROL", "", 0x0, 3},
    };
    const Token& head = next();
    const ControlKind* kind = nullptr;
    if (head.kind == Tok::Ident)
      for (const auto& k : kKinds)
        if (upper(head.text) == k.statement) kind = &k;
    if (!kind) failAt(head, "unknown control statement '" + head.text + "'");
    Control c;
    c.statement = kind->statement;
    c.className = kind->className;
    c.line = head.line;
    const std::string where = std::string("in ") + kind->statement;
    const DWORD base = 0x40000000 | 0x10000000;  // WS_CHILD | WS_VISIBLE

    if (kind->shape != 1) {
      const Token& t = peek();
      if (t.kind == Tok::String) {
        c.text = next().text;
      } else if (t.kind == Tok::Number || t.kind == Tok::Ident) {
        c.textId = resId("picture or icon id");
      } else {
        failAt(t, "expected the control's text " + where + describe(t));
      }
      expect(",", "after the text " + where);
    }
    c.id = intExpr("control id");
    if (kind->shape == 3) {
      expect(",", "after the control id " + where);
      const Token& cls = next();
      if (cls.kind != Tok::String && cls.kind != Tok::Ident) failAt(cls, "expected a class name " + where);
      c.className = cls.text;
      static constexpr const char* kKnown[] = {"Button", "Edit", "Static", "ListBox", "ComboBox", "ScrollBar"};
      for (const char* k : kKnown)
        if (upper(c.className) == upper(k)) c.className = k;
      expect(",", "after the class name " + where);
      c.style = styleExpr(base);
      expect(",", "after the style " + where);
    } else {
      expect(",", "after the control id " + where);
    }
    c.x = intExpr("x");
    expect(",", "after x " + where);
    c.y = intExpr("y");
    if (kind->shape == 2) {  // ICON: the size is optional
      c.style = base | kind->defaults;
      if (accept(",")) {
        c.cx = intExpr("width");
        expect(",", "after the width " + where);
        c.cy = intExpr("height");
        if (accept(",")) {
          c.style = styleExpr(base | kind->defaults);
          if (accept(",")) c.exStyle = styleExpr(0);
        }
      }
      return c;
    }
    expect(",", "after y " + where);
    c.cx = intExpr("width");
    expect(",", "after the width " + where);
    c.cy = intExpr("height");
    if (kind->shape == 3) {
      if (accept(",")) {
        c.exStyle = styleExpr(0);
        if (accept(",")) intExpr("help id");
      }
      return c;
    }
    c.style = base | kind->defaults;
    if (accept(",")) {
      c.style = styleExpr(c.style);
      if (accept(",")) {
        c.exStyle = styleExpr(0);
        if (accept(",")) intExpr("help id");
      }
    }
    return c;
  }

  std::vector<Token>& m_t;
  size_t m_pos = 0;
  std::map<std::string, Define>& m_defines;
  std::map<std::string, std::optional<long long>> m_cache;
  int m_depthBase = 0;
  std::string m_mainFile;
};

}  // namespace

std::string ResId::toString() const { return isNumber ? std::to_string(number) : name; }

const Dialog* Script::findDialog(const ResId& id) const {
  for (const Dialog& d : dialogs)
    if (d.id == id) return &d;
  return nullptr;
}

DWORD standardTypeNumber(std::string_view typeName) {
  std::string u = upper(typeName);
  for (const auto& t : kStandardTypes)
    if (u == t.name) return static_cast<DWORD>(t.value);
  return 0;
}

bool parse(std::string_view text, const std::string& fileName, const IncludeResolver& resolver, Script* out,
           std::string* error) {
  try {
    std::map<std::string, Define> defines;
    Lexer lexer(resolver, &defines);
    lexer.run(text, fileName, 0);
    Script script;
    Parser parser(lexer.tokens(), defines, fileName);
    parser.parseScript(&script);
    *out = std::move(script);
    return true;
  } catch (const ParseError& e) {
    if (error) *error = e.message;
    return false;
  }
}

}  // namespace winsim::rc

namespace winsim::rc {
namespace {

// One node of a version block: length, value length, type, key, value,
// children, each part aligned to 32 bits.
class VersionNode {
 public:
  VersionNode(const std::string& key, WORD type) : m_type(type) { m_key = key; }
  void setValue(const std::string& bytes, WORD valueLength) {
    m_value = bytes;
    m_valueLength = valueLength;
  }
  void add(const VersionNode& child) { m_children.push_back(child.bytes()); }
  std::string bytes() const {
    std::string out(6, '\0');
    for (char c : m_key) {
      out.push_back(c);
      out.push_back('\0');
    }
    out.append(2, '\0');
    pad(&out);
    out += m_value;
    for (const std::string& child : m_children) {
      pad(&out);
      out += child;
    }
    const size_t length = out.size();
    out[0] = static_cast<char>(length & 0xFF);
    out[1] = static_cast<char>(length >> 8);
    out[2] = static_cast<char>(m_valueLength & 0xFF);
    out[3] = static_cast<char>(m_valueLength >> 8);
    out[4] = static_cast<char>(m_type & 0xFF);
    out[5] = static_cast<char>(m_type >> 8);
    return out;
  }

 private:
  static void pad(std::string* s) {
    while (s->size() % 4) s->push_back('\0');
  }
  std::string m_key;
  WORD m_type;
  WORD m_valueLength = 0;
  std::string m_value;
  std::vector<std::string> m_children;
};

void putDword(std::string* out, DWORD v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// The script's texts are ANSI; the block keeps UTF-16 (the characters of
// the scripts here are ASCII).
std::string utf16(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    out.push_back(static_cast<char>(c));
    out.push_back('\0');
  }
  out.append(2, '\0');
  return out;
}

}  // namespace

std::string encodeVersionInfo(const VersionInfo& v) {
  VersionNode root("VS_VERSION_INFO", 0);
  std::string fixed;
  for (DWORD d : {DWORD{0xFEEF04BD}, DWORD{0x00010000}, v.fileVersionMS, v.fileVersionLS, v.productVersionMS,
                  v.productVersionLS, v.fileFlagsMask, v.fileFlags, v.fileOS, v.fileType, v.fileSubtype, DWORD{0},
                  DWORD{0}})
    putDword(&fixed, d);
  root.setValue(fixed, static_cast<WORD>(fixed.size()));
  if (!v.tables.empty()) {
    VersionNode info("StringFileInfo", 1);
    for (const VersionInfo::Table& t : v.tables) {
      VersionNode table(t.key, 1);
      for (const auto& [name, text] : t.values) {
        VersionNode value(name, 1);
        value.setValue(utf16(text), static_cast<WORD>(text.size() + 1));
        table.add(value);
      }
      info.add(table);
    }
    root.add(info);
  }
  if (!v.translations.empty()) {
    VersionNode info("VarFileInfo", 1);
    VersionNode var("Translation", 0);
    std::string words;
    for (WORD w : v.translations) {
      words.push_back(static_cast<char>(w & 0xFF));
      words.push_back(static_cast<char>(w >> 8));
    }
    var.setValue(words, static_cast<WORD>(words.size()));
    info.add(var);
    root.add(info);
  }
  return root.bytes();
}

}  // namespace winsim::rc
