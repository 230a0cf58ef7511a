// winsim: the INF parser and the queries on its model.
//
// The parser is a small state machine over the decoded text: one handler per
// state consumes characters and names the next state. The lexical rules are
// those of the Setup API: LF ends a line (CR is a blank), Ctrl-Z ends the
// file, ';' starts a comment outside quotes, a backslash that is the last
// thing on a line joins the next line, quotes make ',' ';' '=' and blanks
// literal and are themselves removed, and a doubled quote inside quotes is
// one quote character.
#include "setupapi/inf_file.h"

#include <algorithm>
#include <cstdlib>

#include "setupapi/dir_table.h"
#include "unicode.h"

namespace winsim::setupapi {

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

namespace {

constexpr size_t kMaxSubstituted = MAX_INF_STRING_LENGTH - 1;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// The file's text as the parser reads it: UTF-16 decoded to the ANSI code
// page (UTF-8 in winsim), cut at the first Ctrl-Z, NUL read as a blank.
std::string decode(std::string_view bytes) {
  std::string text;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    wstring16 wide;
    wide.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      wide.push_back(static_cast<WCHAR>(static_cast<unsigned char>(bytes[i]) |
                                        (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    text = utf16ToUtf8(wide);
  } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    text.assign(bytes.substr(3));
  } else {
    text.assign(bytes);
  }
  if (auto eof = text.find('\x1a'); eof != std::string::npos) text.resize(eof);
  std::replace(text.begin(), text.end(), '\0', ' ');
  return text;
}

}  // namespace

// ---- Parser -----------------------------------------------------------------

class InfParser {
 public:
  InfParser(std::string text, const ParseOptions& options, InfFile* file)
      : text_(std::move(text)), options_(options), file_(file) {}

  ParseResult run() {
    static constexpr Handler kHandlers[] = {
        &InfParser::lineStart, &InfParser::sectionName, &InfParser::token,
        &InfParser::quoted,    &InfParser::comment,     &InfParser::endLine,
    };
    while (state_ != State::Done && result_.error == 0) {
      pos_ = (this->*kHandlers[static_cast<int>(state_)])(pos_);
    }
    if (result_.error == 0 && garbageLine_ != 0 && currentSection_ < 0) fail(ERROR_EXPECTED_SECTION_NAME, garbageLine_);
    return result_;
  }

 private:
  enum class State { LineStart, SectionName, Token, Quoted, Comment, EndLine, Done };
  using Handler = size_t (InfParser::*)(size_t);

  bool atEnd(size_t p) const { return p >= text_.size(); }
  char at(size_t p) const { return text_[p]; }
  void fail(DWORD code, UINT line) {
    result_.error = code;
    result_.errorLine = line;
  }

  // Blank lines, comment lines, section headers and the start of a content line.
  size_t lineStart(size_t p) {
    while (!atEnd(p) && isBlank(at(p))) ++p;
    if (atEnd(p)) {
      state_ = State::Done;
      return p;
    }
    switch (at(p)) {
      case '\n':
        ++line_;
        return p + 1;
      case '[':
        state_ = State::SectionName;
        return p + 1;
      case ';':
        afterComment_ = State::LineStart;
        state_ = State::Comment;
        return p;
      default:
        if (currentSection_ < 0 && garbageLine_ == 0) garbageLine_ = line_;
        beginLine();
        state_ = State::Token;
        return p;
    }
  }

  // "[name]": everything up to the first ']' of the line, blanks kept; the
  // rest of the line is ignored.
  size_t sectionName(size_t p) {
    size_t close = p;
    while (!atEnd(close) && at(close) != ']' && at(close) != '\n') ++close;
    if (atEnd(close) || at(close) != ']') {
      fail(ERROR_BAD_SECTION_NAME_LINE, line_);
      return close;
    }
    std::string_view name(text_.data() + p, close - p);
    if (name.size() > MAX_INF_SECTION_NAME_LENGTH) {
      fail(ERROR_SECTION_NAME_TOO_LONG, line_);
      return close;
    }
    // Text before the first section is tolerated only when that section is
    // [Strings], as Windows tolerates it.
    if (currentSection_ < 0 && garbageLine_ != 0 && lowerAscii(name) != "strings") {
      fail(ERROR_EXPECTED_SECTION_NAME, garbageLine_);
      return close;
    }
    currentSection_ = sectionFor(name);
    afterComment_ = State::LineStart;
    state_ = State::Comment;  // the rest of the header line is ignored
    return close + 1;
  }

  // Unquoted text of a content line.
  size_t token(size_t p) {
    while (!atEnd(p)) {
      const char c = at(p);
      if (c == '\n') break;
      if (isBlank(c)) {
        if (tokenStarted_) ++pendingBlanks_;
        ++p;
        continue;
      }
      switch (c) {
        case '"':
          flushBlanks();
          tokenStarted_ = true;
          hasContent_ = true;
          state_ = State::Quoted;
          return p + 1;
        case ';':
          afterComment_ = State::EndLine;
          state_ = State::Comment;
          return p;
        case ',':
          hasContent_ = true;
          pushToken();
          ++p;
          continue;
        case '=':
          hasContent_ = true;
          if (!sawEquals_ && tokens_.empty()) {
            sawEquals_ = true;
            key_ = takeToken();
          } else {
            append(c);
          }
          ++p;
          continue;
        case '\\':
          p = backslash(p);
          continue;
        default:
          append(c);
          ++p;
      }
    }
    state_ = State::EndLine;
    return p;
  }

  // A backslash followed only by blanks, more backslashes or a comment joins
  // the next line; blanks before it and at the start of the next line go.
  size_t backslash(size_t p) {
    size_t q = p + 1;
    while (!atEnd(q) && (isBlank(at(q)) || at(q) == '\\')) ++q;
    if (!atEnd(q) && at(q) != '\n' && at(q) != ';') {
      append('\\');
      return p + 1;
    }
    pendingBlanks_ = 0;
    if (!atEnd(q) && at(q) == ';') {
      while (!atEnd(q) && at(q) != '\n') ++q;
    }
    if (atEnd(q)) return q;
    ++line_;
    ++q;
    while (!atEnd(q) && isBlank(at(q))) ++q;
    return q;
  }

  // Inside quotes: everything is literal up to the closing quote or the end
  // of the line (an unterminated quote ends there).
  size_t quoted(size_t p) {
    while (!atEnd(p) && at(p) != '\n') {
      if (at(p) == '"') {
        if (!atEnd(p + 1) && at(p + 1) == '"') {
          appendRaw('"');
          p += 2;
          continue;
        }
        state_ = State::Token;
        return p + 1;
      }
      appendRaw(at(p));
      ++p;
    }
    state_ = State::Token;
    return p;
  }

  size_t comment(size_t p) {
    while (!atEnd(p) && at(p) != '\n') ++p;
    state_ = afterComment_;
    return p;
  }

  size_t endLine(size_t p) {
    if (hasContent_ || tokenStarted_) {
      pushToken();
      InfLine line;
      // Exactly as many fields as the line has; tokens_ keeps its storage.
      line.fields.reserve(tokens_.size());
      for (auto& token : tokens_) line.fields.push_back(std::move(token));
      tokens_.clear();
      if (sawEquals_) {
        line.hasKey = true;
        line.key = std::move(key_);
      } else if (line.fields.size() == 1) {
        line.hasKey = true;
        line.key = line.fields[0];
      }
      if (currentSection_ >= 0) {
        file_->sections_[static_cast<size_t>(currentSection_)].lines.push_back(
            static_cast<std::uint32_t>(file_->lines_.size()));
        file_->lines_.push_back(std::move(line));
      }
    }
    state_ = State::LineStart;
    if (!atEnd(p)) {
      ++line_;
      return p + 1;
    }
    return p;
  }

  int sectionFor(std::string_view name) {
    auto it = file_->sectionIndex_.find(name);
    if (it != file_->sectionIndex_.end()) return it->second;
    const int index = static_cast<int>(file_->sections_.size());
    file_->sections_.push_back(InfSection{std::string(name), {}, {}});
    file_->sectionIndex_.emplace(std::string(name), index);
    return index;
  }

  void beginLine() {
    tokens_.clear();
    key_.clear();
    current_.clear();
    sawEquals_ = false;
    hasContent_ = false;
    tokenStarted_ = false;
    pendingBlanks_ = 0;
  }
  void flushBlanks() {
    if (pendingBlanks_ && current_.size() < options_.maxFieldLength) {
      current_.append(std::min(pendingBlanks_, options_.maxFieldLength - current_.size()), ' ');
    }
    pendingBlanks_ = 0;
  }
  void append(char c) {
    flushBlanks();
    tokenStarted_ = true;
    hasContent_ = true;
    appendRaw(c);
  }
  void appendRaw(char c) {
    if (current_.size() < options_.maxFieldLength) current_.push_back(c);
  }
  // The token is copied out at its exact size and current_ keeps its
  // storage for the next one: a field grown a character at a time would
  // otherwise be reallocated as it grows and keep up to twice its length.
  std::string takeToken() {
    std::string t(current_);
    current_.clear();
    tokenStarted_ = false;
    pendingBlanks_ = 0;
    return t;
  }
  void pushToken() { tokens_.push_back(takeToken()); }

  std::string text_;
  ParseOptions options_;
  InfFile* file_;
  ParseResult result_;
  State state_ = State::LineStart;
  State afterComment_ = State::LineStart;
  size_t pos_ = 0;
  UINT line_ = 1;
  UINT garbageLine_ = 0;
  int currentSection_ = -1;

  std::vector<std::string> tokens_;
  std::string key_;
  std::string current_;
  bool sawEquals_ = false;
  bool hasContent_ = false;
  bool tokenStarted_ = false;
  size_t pendingBlanks_ = 0;
};

std::unique_ptr<InfFile> InfFile::parse(std::string_view bytes, const ParseOptions& options, ParseResult* result) {
  auto file = std::make_unique<InfFile>();
  InfParser parser(decode(bytes), options, file.get());
  ParseResult r = parser.run();
  if (result) *result = r;
  if (r.error != 0) return nullptr;
  // The model lives as long as the file is open: no growth slack.
  file->lines_.shrink_to_fit();
  return file;
}

// ---- Model ----------------------------------------------------------------------

void InfFile::bind(std::string winPath, const DirTable* dirs, LANGID language, bool indexKeys) {
  path_ = std::move(winPath);
  dirs_ = dirs;
  chooseStrings(language);
  for (auto& section : sections_) section.keyIndex.clear();
  if (!indexKeys) return;
  for (auto& section : sections_) {
    section.keyIndex.clear();
    for (std::uint32_t pos = 0; pos < section.lines.size(); ++pos) {
      const InfLine& l = lines_[section.lines[pos]];
      if (!l.hasKey) continue;
      // Most keys hold no %string%: they index as they are.
      if (l.key.find('%') == std::string::npos && l.key.size() <= kMaxSubstituted) {
        auto it = section.keyIndex.find(std::string_view(l.key));
        if (it == section.keyIndex.end()) it = section.keyIndex.emplace(l.key, std::vector<std::uint32_t>()).first;
        it->second.push_back(pos);
        continue;
      }
      section.keyIndex[substitute(l.key)].push_back(pos);
    }
  }
}

std::string InfFile::folder() const {
  auto slash = path_.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
}

bool InfFile::isWin4() const {
  const int version = findSection("Version");
  if (version < 0) return false;
  for (std::uint32_t pos : sections_[static_cast<size_t>(version)].lines) {
    const InfLine& l = lines_[pos];
    if (!l.hasKey || lowerAscii(l.key) != "signature" || l.fields.empty()) continue;
    const std::string sig = lowerAscii(l.fields[0]);
    return sig == "$chicago$" || sig == "$windows nt$" || sig == "$windows 95$";
  }
  return false;
}

int InfFile::findSection(std::string_view name) const {
  auto it = sectionIndex_.find(name);
  return it == sectionIndex_.end() ? -1 : it->second;
}

long InfFile::findKey(int section, std::string_view key, std::uint32_t from) const {
  if (section < 0) return -1;
  const auto& index = sections_[static_cast<size_t>(section)].keyIndex;
  auto it = index.find(key);
  if (it == index.end()) return -1;
  auto pos = std::lower_bound(it->second.begin(), it->second.end(), from);
  return pos == it->second.end() ? -1 : static_cast<long>(*pos);
}

// One [Strings] section serves the whole file: the machine's language
// exactly, then its neutral form, then any form of the same primary
// language, then the plain section. Keys missing from the chosen section are
// not looked up elsewhere, as on Windows.
void InfFile::chooseStrings(LANGID language) {
  strings_.clear();
  int chosen = -1;
  int rank = 4;
  for (size_t i = 0; i < sections_.size(); ++i) {
    const std::string lower = lowerAscii(sections_[i].name);
    int r = 4;
    if (lower == "strings") {
      r = 3;
    } else if (lower.size() == 12 && lower.compare(0, 8, "strings.") == 0) {
      char* end = nullptr;
      const std::string hex = lower.substr(8);
      const unsigned long id = std::strtoul(hex.c_str(), &end, 16);
      if (end != hex.c_str() + 4 || hex[0] == '-' || hex[0] == '+') continue;
      if (id == language) r = 0;
      else if (id == PRIMARYLANGID(language)) r = 1;
      else if (PRIMARYLANGID(id) == PRIMARYLANGID(language)) r = 2;
    }
    if (r < rank) {
      rank = r;
      chosen = static_cast<int>(i);
    }
  }
  if (chosen < 0) return;
  for (std::uint32_t pos : sections_[static_cast<size_t>(chosen)].lines) {
    const InfLine& l = lines_[pos];
    if (!l.hasKey) continue;
    strings_.try_emplace(l.key, l.fields.empty() ? std::string() : l.fields[0]);
  }
}

std::string InfFile::substitute(std::string_view text) const {
  std::string out;
  substituteInto(text, &out);
  return out;
}

void InfFile::substituteInto(std::string_view text, std::string* result) const {
  std::string& out = *result;
  out.clear();
  if (text.find('%') == std::string_view::npos) {
    out.assign(text.substr(0, std::min(text.size(), kMaxSubstituted)));
    return;
  }
  size_t i = 0;
  while (i < text.size() && out.size() < kMaxSubstituted) {
    if (text[i] != '%') {
      out.push_back(text[i++]);
      continue;
    }
    const size_t close = text.find('%', i + 1);
    if (close == std::string_view::npos) {
      out.append(text.substr(i));
      break;
    }
    const std::string_view name = text.substr(i + 1, close - i - 1);
    const auto known = name.empty() ? strings_.end() : strings_.find(name);
    if (name.empty()) {
      out.push_back('%');
    } else if (known != strings_.end()) {
      out += known->second;
    } else if (dirs_ && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
               name.size() <= 9) {
      auto dir = dirs_->resolve(std::strtol(std::string(name).c_str(), nullptr, 10), folder());
      if (dir) {
        // "%24%\fred" is "C:\fred": a folder that ends in a backslash loses
        // it when the text goes on with one.
        if (!dir->empty() && dir->back() == '\\' && close + 1 < text.size() && text[close + 1] == '\\') {
          dir->pop_back();
        }
        out += *dir;
      } else {
        out.append(text.substr(i, close - i + 1));
      }
    } else {
      out.append(text.substr(i, close - i + 1));
    }
    i = close + 1;
  }
  if (out.size() > kMaxSubstituted) out.resize(kMaxSubstituted);
}

bool InfFile::field(const InfLine& l, DWORD index, std::string* out) const {
  if (index == 0) {
    if (!l.hasKey) return false;
    substituteInto(l.key, out);
    return true;
  }
  if (index > l.fields.size()) return false;
  substituteInto(l.fields[index - 1], out);
  return true;
}

std::string InfFile::lineText(const InfLine& l) const {
  std::string out;
  for (size_t i = 0; i < l.fields.size(); ++i) {
    if (i) out.push_back(',');
    out += substitute(l.fields[i]);
    if (out.size() >= kMaxSubstituted) {
      out.resize(kMaxSubstituted);
      break;
    }
  }
  return out;
}

}  // namespace winsim::setupapi
