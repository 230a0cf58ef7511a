// winsim: the INF parser and the queries on its model.
//
// The parser reads the text once, a run of ordinary characters at a time.
// The lexical rules are
// those of the Setup API: LF ends a line (CR is a blank), Ctrl-Z ends the
// file, ';' starts a comment outside quotes, a backslash that is the last
// thing on a line joins the next line, quotes make ',' ';' '=' and blanks
// literal and are themselves removed, and a doubled quote inside quotes is
// one quote character.
#include "setupapi/inf_file.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

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

// What the parser does with a byte outside quotes: most bytes are text and
// are taken a run at a time; the others end the run. NUL reads as a blank.
enum CharClass : unsigned char { kText, kBlank, kNewline, kQuote, kSemicolon, kComma, kEquals, kBackslash, kNul };

// A plain array rather than std::array: the parser looks up every byte, and
// the instrumented builds (fuzzing) check each std::array subscript in a call.
struct ClassTable {
  unsigned char of[256];
};
constexpr ClassTable kClasses = [] {
  ClassTable table{};
  for (unsigned char c : {' ', '\t', '\r', '\v', '\f'}) table.of[c] = kBlank;
  table.of[static_cast<unsigned char>('\0')] = kNul;
  table.of[static_cast<unsigned char>('\n')] = kNewline;
  table.of[static_cast<unsigned char>('"')] = kQuote;
  table.of[static_cast<unsigned char>(';')] = kSemicolon;
  table.of[static_cast<unsigned char>(',')] = kComma;
  table.of[static_cast<unsigned char>('=')] = kEquals;
  table.of[static_cast<unsigned char>('\\')] = kBackslash;
  return table;
}();

unsigned char classOf(char c) { return kClasses.of[static_cast<unsigned char>(c)]; }
bool isBlank(char c) {
  const unsigned char k = classOf(c);
  return k == kBlank || k == kNul;
}

// UTF-16 text decoded to the ANSI code page (UTF-8 in winsim), once for the
// whole file; other encodings are parsed in place.
std::string decodeWide(std::string_view bytes) {
  wstring16 wide;
  wide.reserve(bytes.size() / 2);
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    wide.push_back(static_cast<WCHAR>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  return utf16ToUtf8(wide);
}

}  // namespace

// ---- Parser -----------------------------------------------------------------

// One pass over the text. A content line's keys and fields are written
// straight into the file's text buffer; a line that belongs to no section
// (text before a first [Strings]) is taken back out.
class InfParser {
 public:
  // Parses file->text_ from `begin`, writing the model's texts over it.
  InfParser(size_t begin, const ParseOptions& options, InfFile* file)
      : text_(file->text_), begin_(begin), options_(options), file_(file) {}

  ParseResult run() {
    size_t p = begin_;
    while (p < text_.size() && result_.error == 0) p = lineStart(p);
    if (result_.error == 0 && garbageLine_ != 0 && currentSection_ < 0) fail(ERROR_EXPECTED_SECTION_NAME, garbageLine_);
    file_->text_.resize(written_);
    return result_;
  }

 private:
  bool atEnd(size_t p) const { return p >= text_.size(); }
  char at(size_t p) const { return text_[p]; }
  void fail(DWORD code, UINT line) {
    result_.error = code;
    result_.errorLine = line;
  }
  // The end of the line that `p` is on (its LF, or the end of the text).
  size_t lineEnd(size_t p) const {
    const size_t end = text_.find('\n', p);
    return end == std::string_view::npos ? text_.size() : end;
  }

  // Blank lines, comment lines, section headers and content lines; returns
  // the start of the next line.
  size_t lineStart(size_t p) {
    while (!atEnd(p) && isBlank(at(p))) ++p;
    if (atEnd(p)) return p;
    switch (at(p)) {
      case '\n':
        ++line_;
        return p + 1;
      case '[':
        return sectionName(p + 1);
      case ';':
        return lineEnd(p);  // the LF is the next line's start
      default:
        if (currentSection_ < 0 && garbageLine_ == 0) garbageLine_ = line_;
        return contentLine(p);
    }
  }

  // "[name]": everything up to the first ']' of the line, blanks kept; the
  // rest of the line is ignored.
  size_t sectionName(size_t p) {
    const size_t end = lineEnd(p);
    const size_t close = text_.substr(0, end).find(']', p);
    if (close == std::string_view::npos) {
      fail(ERROR_BAD_SECTION_NAME_LINE, line_);
      return end;
    }
    std::string name(text_.substr(p, close - p));
    std::replace(name.begin(), name.end(), '\0', ' ');
    if (name.size() > MAX_INF_SECTION_NAME_LENGTH) {
      fail(ERROR_SECTION_NAME_TOO_LONG, line_);
      return end;
    }
    // Text before the first section is tolerated only when that section is
    // [Strings], as Windows tolerates it.
    if (currentSection_ < 0 && garbageLine_ != 0 && !NoCaseEqual()(name, "strings")) {
      fail(ERROR_EXPECTED_SECTION_NAME, garbageLine_);
      return end;
    }
    currentSection_ = sectionFor(std::move(name));
    return end;
  }

  // A line with content: tokens separated by ',' (and the key by the first
  // '=' before any ','), quoted runs, continuations and a comment.
  size_t contentLine(size_t p) {
    const size_t lineText = written_;
    const size_t lineSpans = file_->spans_.size();
    file_->spans_.push_back(InfSpan{});  // the key, filled in at the end
    tokenStart_ = lineText;
    fieldCount_ = 0;
    sawEquals_ = false;
    hasContent_ = false;
    tokenStarted_ = false;
    pendingBlanks_ = 0;
    while (!atEnd(p)) {
      switch (classOf(at(p))) {
        case kText: {
          size_t run = p + 1;
          while (run < text_.size() && classOf(at(run)) == kText) ++run;
          flushBlanks();
          tokenStarted_ = true;
          hasContent_ = true;
          appendRun(text_.substr(p, run - p));
          p = run;
          continue;
        }
        case kBlank:
        case kNul:
          if (tokenStarted_) ++pendingBlanks_;
          ++p;
          continue;
        case kNewline:
          break;
        case kQuote:
          flushBlanks();
          tokenStarted_ = true;
          hasContent_ = true;
          p = quoted(p + 1);
          continue;
        case kSemicolon:
          p = lineEnd(p);
          continue;
        case kComma:
          hasContent_ = true;
          pushField();
          ++p;
          continue;
        case kEquals:
          hasContent_ = true;
          if (!sawEquals_ && fieldCount_ == 0) {
            sawEquals_ = true;
            file_->spans_[lineSpans] = takeToken();
          } else {
            appendText('=');
          }
          ++p;
          continue;
        case kBackslash:
          p = backslash(p);
          continue;
      }
      break;  // LF
    }
    if (hasContent_ || tokenStarted_) {
      pushField();
      auto& spans = file_->spans_;
      if (!sawEquals_ && fieldCount_ == 1) spans[lineSpans] = spans[lineSpans + 1];
      InfLine line;
      line.firstSpan = static_cast<std::uint32_t>(lineSpans);
      line.fieldCount = fieldCount_;
      line.hasKey = sawEquals_ || fieldCount_ == 1;
      if (currentSection_ >= 0) {
        file_->sections_[static_cast<size_t>(currentSection_)].lines.push_back(
            static_cast<std::uint32_t>(file_->lines_.size()));
        file_->lines_.push_back(line);
      } else {
        spans.resize(lineSpans);
        written_ = lineText;
      }
    } else {
      file_->spans_.resize(lineSpans);
      written_ = lineText;
    }
    if (atEnd(p)) return p;
    ++line_;
    return p + 1;
  }

  // A backslash followed only by blanks, more backslashes or a comment joins
  // the next line; blanks before it and at the start of the next line go.
  size_t backslash(size_t p) {
    size_t q = p + 1;
    while (!atEnd(q) && (isBlank(at(q)) || at(q) == '\\')) ++q;
    if (!atEnd(q) && at(q) != '\n' && at(q) != ';') {
      appendText('\\');
      return p + 1;
    }
    pendingBlanks_ = 0;
    if (!atEnd(q) && at(q) == ';') q = lineEnd(q);
    if (atEnd(q)) return q;
    ++line_;
    ++q;
    while (!atEnd(q) && isBlank(at(q))) ++q;
    return q;
  }

  // Inside quotes: everything is literal up to the closing quote or the end
  // of the line (an unterminated quote ends there); a doubled quote is one.
  size_t quoted(size_t p) {
    while (!atEnd(p)) {
      size_t run = p;
      while (run < text_.size() && at(run) != '"' && at(run) != '\n' && at(run) != '\0') ++run;
      appendRun(text_.substr(p, run - p));
      p = run;
      if (atEnd(p) || at(p) == '\n') return p;
      if (at(p) == '\0') {
        appendRun(" ");
        ++p;
        continue;
      }
      if (!atEnd(p + 1) && at(p + 1) == '"') {
        appendRun("\"");
        p += 2;
        continue;
      }
      return p + 1;
    }
    return p;
  }

  int sectionFor(std::string name) {
    auto it = file_->sectionIndex_.find(name);
    if (it != file_->sectionIndex_.end()) return it->second;
    const int index = static_cast<int>(file_->sections_.size());
    file_->sectionIndex_.emplace(name, index);
    file_->sections_.push_back(InfSection{std::move(name), {}, {}});
    return index;
  }

  size_t tokenLength() const { return written_ - tokenStart_; }
  // The pending blanks were read already: they fit behind what was written.
  void flushBlanks() {
    if (pendingBlanks_ && tokenLength() < options_.maxFieldLength) {
      const size_t n = std::min(pendingBlanks_, options_.maxFieldLength - tokenLength());
      std::memset(file_->text_.data() + written_, ' ', n);
      written_ += n;
    }
    pendingBlanks_ = 0;
  }
  void appendText(char c) {
    flushBlanks();
    tokenStarted_ = true;
    hasContent_ = true;
    appendRun(std::string_view(&c, 1));
  }
  // A token longer than the field limit is cut there, as Windows cuts it.
  // `run` lies at or after the place written to (memmove: they may overlap).
  void appendRun(std::string_view run) {
    const size_t length = tokenLength();
    if (length >= options_.maxFieldLength) return;
    const size_t n = std::min(run.size(), options_.maxFieldLength - length);
    std::memmove(file_->text_.data() + written_, run.data(), n);
    written_ += n;
  }
  InfSpan takeToken() {
    const InfSpan span{static_cast<std::uint32_t>(tokenStart_), static_cast<std::uint32_t>(tokenLength())};
    tokenStart_ = written_;
    tokenStarted_ = false;
    pendingBlanks_ = 0;
    return span;
  }
  void pushField() {
    file_->spans_.push_back(takeToken());
    ++fieldCount_;
  }

  std::string_view text_;  // the file's bytes; written_ <= the place read
  size_t begin_;
  size_t written_ = 0;
  ParseOptions options_;
  InfFile* file_;
  ParseResult result_;
  UINT line_ = 1;
  UINT garbageLine_ = 0;
  int currentSection_ = -1;

  size_t tokenStart_ = 0;
  std::uint32_t fieldCount_ = 0;
  bool sawEquals_ = false;
  bool hasContent_ = false;
  bool tokenStarted_ = false;
  size_t pendingBlanks_ = 0;
};

std::unique_ptr<InfFile> InfFile::parse(std::string_view bytes, const ParseOptions& options, ParseResult* result) {
  return parse(std::string(bytes), options, result);
}

// The keys and fields are written over the bytes already read: the text
// written never runs ahead of the text read, so one buffer serves both.
std::unique_ptr<InfFile> InfFile::parse(std::string&& bytes, const ParseOptions& options, ParseResult* result) {
  auto file = std::make_unique<InfFile>();
  size_t begin = 0;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    bytes = decodeWide(bytes);
  } else if (std::string_view(bytes).substr(0, 3) == "\xEF\xBB\xBF") {
    begin = 3;
  }
  // Ctrl-Z ends the file.
  if (const size_t eof = bytes.find('\x1a', begin); eof != std::string::npos) bytes.resize(eof);
  if (bytes.size() >= UINT32_MAX) {
    if (result) *result = ParseResult{ERROR_NOT_ENOUGH_MEMORY, 0};
    return nullptr;
  }
  // Room for a line per 32 bytes and four texts a line, the shape of a
  // models section, so that most files are parsed without the arrays
  // growing; what is left unused is given back below (and room never
  // written is never touched).
  const size_t expectedLines = (bytes.size() - begin) / 32 + 16;
  file->lines_.reserve(expectedLines);
  file->spans_.reserve(4 * expectedLines);
  file->text_ = std::move(bytes);
  InfParser parser(begin, options, file.get());
  ParseResult r = parser.run();
  if (result) *result = r;
  if (r.error != 0) return nullptr;
  // The model lives as long as the file is open: no more than an eighth
  // of it is left unused (a copy to save less costs more than it gives).
  const auto trim = [](auto& buffer) {
    if (buffer.capacity() - buffer.size() > buffer.size() / 8) buffer.shrink_to_fit();
  };
  trim(file->text_);
  trim(file->spans_);
  trim(file->lines_);
  for (auto& section : file->sections_) trim(section.lines);
  return file;
}

// ---- Model ----------------------------------------------------------------------

namespace {

// Sections this small are searched line by line: an index would cost more
// than it saves.
constexpr size_t kLinearSearchLines = 8;

std::uint32_t keyHash(std::string_view key) { return static_cast<std::uint32_t>(NoCaseHash()(key)); }

}  // namespace

void InfFile::bind(std::string winPath, const DirTable* dirs, LANGID language) {
  path_ = std::move(winPath);
  dirs_ = dirs;
  for (auto& section : sections_) section.keyIndex.reset();
  chooseStrings(language);
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
    if (!l.hasKey || !NoCaseEqual()(rawField(l, 0), "signature") || l.fieldCount == 0) continue;
    const std::string_view sig = rawField(l, 1);
    return NoCaseEqual()(sig, "$chicago$") || NoCaseEqual()(sig, "$windows nt$") ||
           NoCaseEqual()(sig, "$windows 95$");
  }
  return false;
}

int InfFile::findSection(std::string_view name) const {
  auto it = sectionIndex_.find(name);
  return it == sectionIndex_.end() ? -1 : it->second;
}

std::string_view InfFile::searchKey(const InfLine& l, std::string* scratch) const {
  const std::string_view key = rawField(l, 0);
  if (key.find('%') == std::string_view::npos) return key.substr(0, std::min(key.size(), kMaxSubstituted));
  substituteInto(key, scratch);
  return *scratch;
}

// The entries of every keyed line, sorted by hash and then by position.
std::unique_ptr<const KeyIndex> InfFile::buildIndex(const InfSection& section, bool substituted) const {
  auto index = std::make_unique<KeyIndex>();
  index->entries.reserve(section.lines.size());
  std::string scratch;
  for (std::uint32_t pos = 0; pos < section.lines.size(); ++pos) {
    const InfLine& l = lines_[section.lines[pos]];
    if (!l.hasKey) continue;
    const std::string_view key = substituted ? searchKey(l, &scratch) : rawField(l, 0);
    index->entries.push_back(static_cast<std::uint64_t>(keyHash(key)) << 32 | pos);
  }
  std::sort(index->entries.begin(), index->entries.end());
  index->entries.shrink_to_fit();
  return index;
}

long InfFile::lookup(const InfSection& section, const KeyIndex* index, bool substituted, std::string_view key,
                     std::uint32_t from) const {
  std::string scratch;
  const auto matches = [&](std::uint32_t pos) {
    const InfLine& l = lines_[section.lines[pos]];
    return l.hasKey && NoCaseEqual()(substituted ? searchKey(l, &scratch) : rawField(l, 0), key);
  };
  if (!index) {
    for (std::uint32_t pos = from; pos < section.lines.size(); ++pos) {
      if (matches(pos)) return pos;
    }
    return -1;
  }
  const std::uint64_t hash = static_cast<std::uint64_t>(keyHash(key)) << 32;
  for (auto it = std::lower_bound(index->entries.begin(), index->entries.end(), hash | from);
       it != index->entries.end() && (*it & 0xFFFFFFFF00000000ull) == hash; ++it) {
    const auto pos = static_cast<std::uint32_t>(*it);
    if (matches(pos)) return pos;
  }
  return -1;
}

long InfFile::findKey(int section, std::string_view key, std::uint32_t from) const {
  if (section < 0) return -1;
  const InfSection& s = sections_[static_cast<size_t>(section)];
  const KeyIndex* index = nullptr;
  if (s.lines.size() > kLinearSearchLines) {
    std::lock_guard<std::mutex> guard(indexMutex_);
    if (!s.keyIndex) s.keyIndex = buildIndex(s, true);
    index = s.keyIndex.get();
  }
  return lookup(s, index, true, key, from);
}

bool InfFile::stringValue(std::string_view name, std::string_view* value) const {
  if (strings_ < 0) return false;
  const InfSection& s = sections_[static_cast<size_t>(strings_)];
  const long pos = lookup(s, stringsIndex_.get(), false, name, 0);
  if (pos < 0) return false;
  const InfLine& l = lines_[s.lines[static_cast<size_t>(pos)]];
  *value = rawField(l, 1);
  return true;
}

// One [Strings] section serves the whole file: the machine's language
// exactly, then its neutral form, then any form of the same primary
// language, then the plain section. Keys missing from the chosen section are
// not looked up elsewhere, as on Windows.
void InfFile::chooseStrings(LANGID language) {
  strings_ = -1;
  stringsIndex_.reset();
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
      strings_ = static_cast<int>(i);
    }
  }
  if (strings_ < 0) return;
  const InfSection& s = sections_[static_cast<size_t>(strings_)];
  if (s.lines.size() > kLinearSearchLines) stringsIndex_ = buildIndex(s, false);
}

std::string InfFile::substitute(std::string_view text) const {
  std::string out;
  substituteInto(text, &out);
  return out;
}

void InfFile::substituteInto(std::string_view text, std::string* result) const {
  std::string& out = *result;
  out.clear();
  size_t i = 0;
  while (i < text.size() && out.size() < kMaxSubstituted) {
    const size_t open = text.find('%', i);
    if (open == std::string_view::npos) {
      out.append(text.substr(i));
      break;
    }
    out.append(text.substr(i, open - i));
    i = open;
    const size_t close = text.find('%', i + 1);
    if (close == std::string_view::npos) {
      out.append(text.substr(i));
      break;
    }
    const std::string_view name = text.substr(i + 1, close - i - 1);
    std::string_view value;
    if (name.empty()) {
      out.push_back('%');
    } else if (stringValue(name, &value)) {
      out += value;
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
  if ((index == 0 && !l.hasKey) || index > l.fieldCount) return false;
  substituteInto(rawField(l, index), out);
  return true;
}

std::string InfFile::lineText(const InfLine& l) const {
  std::string out;
  std::string value;
  lineTextInto(l, &out, &value);
  return out;
}

void InfFile::lineTextInto(const InfLine& l, std::string* result, std::string* scratch) const {
  std::string& out = *result;
  out.clear();
  for (DWORD i = 1; i <= l.fieldCount; ++i) {
    if (i > 1) out.push_back(',');
    substituteInto(rawField(l, i), scratch);
    out += *scratch;
    if (out.size() >= kMaxSubstituted) {
      out.resize(kMaxSubstituted);
      break;
    }
  }
}

}  // namespace winsim::setupapi
