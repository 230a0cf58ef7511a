// winsim: one parsed INF file.
//
// The file is read once, in one pass, into sections and lines. The text of
// every key and field (quotes removed, not yet substituted) is kept in one
// buffer and a line names its texts by offset, so that a file of ten
// thousand models is a few allocations and about its own size in memory.
// A section is indexed by its keys (after string substitution, without
// regard to case) the first time a key is looked for in it: a keyed search
// then costs a binary search, and a caller that only walks lines never pays
// for an index.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <windows.h>
#include <setupapi.h>

namespace winsim::setupapi {

class DirTable;

// ASCII letters lowered by a table, as the Setup API compares names: names
// are hashed and compared on every lookup of a section, key or string, and
// a look into a plain array costs no branch per character.
struct LowerAsciiTable {
  unsigned char lower[256];
};
inline constexpr LowerAsciiTable kLowerAscii = [] {
  LowerAsciiTable table{};
  for (int c = 0; c < 256; ++c) {
    table.lower[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return table;
}();
inline unsigned char lowerAsciiChar(char c) { return kLowerAscii.lower[static_cast<unsigned char>(c)]; }

// Names compared as the Setup API compares them, ASCII letters without
// regard to case, hashed and compared in place so that a lookup of a
// section, key or string never builds a lower-cased copy. The hash is not
// noexcept on purpose: the standard library then keeps each entry's hash
// beside it, and a lookup compares names only where the hashes agree
// instead of hashing every name of a bucket again as it walks it.
struct NoCaseHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const {
    size_t hash = 14695981039346656037ull;
    for (char c : text) hash = (hash ^ lowerAsciiChar(c)) * 1099511628211ull;
    return hash;
  }
};
struct NoCaseEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept {
    if (a.size() != b.size()) return false;
    // Callers mostly spell a name as the file does: one compare of the bytes.
    if (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0) return true;
    unsigned char differ = 0;
    for (size_t i = 0; i < a.size(); ++i) differ |= lowerAsciiChar(a[i]) ^ lowerAsciiChar(b[i]);
    return differ == 0;
  }
};
template <typename T>
using NoCaseMap = std::unordered_map<std::string, T, NoCaseHash, NoCaseEqual>;

// One text of a line in InfFile's text buffer.
struct InfSpan {
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
};

// A line: its key and fields 1..n are InfFile::spans()[firstSpan ..
// firstSpan + fieldCount], the key first (an empty span when the line has
// none).
struct InfLine {
  std::uint32_t firstSpan = 0;
  std::uint32_t fieldCount : 31 = 0;
  std::uint32_t hasKey : 1 = 0;
};

// The keys of a section after substitution: (hash of the lower-cased key
// << 32 | position), sorted, so that equal keys sit together in file order.
struct KeyIndex {
  std::vector<std::uint64_t> entries;
};

struct InfSection {
  std::string name;
  std::vector<std::uint32_t> lines;  // indexes into InfFile::lines(), file order, blocks merged
  // Built on the first keyed search of a large section (InfFile::findKey).
  mutable std::unique_ptr<const KeyIndex> keyIndex;
};

struct ParseOptions {
  // Longest field kept before substitution, in characters; longer fields are
  // cut, as Windows cuts them (511 on 2000/XP, 4095 later).
  size_t maxFieldLength = MAX_INF_STRING_LENGTH - 1;
};

struct ParseResult {
  DWORD error = 0;  // 0, or one of the ERROR_*SECTION*/GENERAL_SYNTAX codes
  UINT errorLine = 0;
};

class InfFile {
 public:
  // Parses a whole file given as its bytes (ANSI, UTF-8 with or without
  // BOM, or UTF-16LE with BOM). Returns nothing and fills `result` on a
  // syntax error. Reading a file is the caller's: this is all the parse.
  static std::unique_ptr<InfFile> parse(std::string_view bytes, const ParseOptions& options, ParseResult* result);
  // The same over bytes the model may keep: the parse writes the keys and
  // fields over them, and no second copy of the file is made.
  static std::unique_ptr<InfFile> parse(std::string&& bytes, const ParseOptions& options, ParseResult* result);

  // Completes the model once the file's place on the machine is known: the
  // Windows path it was opened from (for DIRID 1), the folder table for
  // other DIRIDs and the language whose [Strings.LLLL] section applies.
  // `dirs` must outlive the file.
  void bind(std::string winPath, const DirTable* dirs, LANGID language);
  // The folder table given to bind().
  const DirTable* dirs() const { return dirs_; }

  const std::string& path() const { return path_; }
  // The folder of the file with a trailing backslash.
  std::string folder() const;
  bool isWin4() const;
  DWORD style() const { return isWin4() ? INF_STYLE_WIN4 : INF_STYLE_OLDNT; }

  const std::vector<InfSection>& sections() const { return sections_; }
  const std::vector<InfLine>& lines() const { return lines_; }
  // Index of a section (case-insensitive), or -1.
  int findSection(std::string_view name) const;
  const InfLine& line(int section, std::uint32_t position) const {
    return lines_[sections_[static_cast<size_t>(section)].lines[position]];
  }
  // First position >= `from` in `section` whose key matches, or -1.
  long findKey(int section, std::string_view key, std::uint32_t from) const;

  // Text `index` of a line as written, quotes removed (0 = the key, empty
  // when the line has none); empty past the last field.
  std::string_view rawField(const InfLine& line, DWORD index) const {
    if (index > line.fieldCount) return {};
    const InfSpan& span = spans_[line.firstSpan + index];
    return std::string_view(text_.data() + span.offset, span.length);
  }

  // The text with %strings% and %dirids% replaced (not recursively).
  std::string substitute(std::string_view text) const;
  // The same into `out`, whose storage is reused.
  void substituteInto(std::string_view text, std::string* out) const;
  // Field `index` of a line after substitution (0 = the key); false when the
  // line has no such field.
  bool field(const InfLine& line, DWORD index, std::string* out) const;
  // Fields 1..n after substitution, joined with commas.
  std::string lineText(const InfLine& line) const;
  // The same into `out`, whose storage is reused, as is that of `scratch`.
  void lineTextInto(const InfLine& line, std::string* out, std::string* scratch) const;

 private:
  friend class InfParser;
  void chooseStrings(LANGID language);
  // The key of a line as searches compare it: substituted, cut as Windows
  // cuts it. Points into `scratch` or into the file.
  std::string_view searchKey(const InfLine& line, std::string* scratch) const;
  // The raw value of a [Strings] key, or nothing.
  bool stringValue(std::string_view name, std::string_view* value) const;
  std::unique_ptr<const KeyIndex> buildIndex(const InfSection& section, bool substituted) const;
  long lookup(const InfSection& section, const KeyIndex* index, bool substituted, std::string_view key,
              std::uint32_t from) const;

  std::string path_;
  const DirTable* dirs_ = nullptr;
  std::string text_;             // every key and field, one after another
  std::vector<InfSpan> spans_;   // per line: the key, then the fields
  std::vector<InfLine> lines_;
  std::vector<InfSection> sections_;
  NoCaseMap<int> sectionIndex_;  // name (any case) -> index
  int strings_ = -1;             // the [Strings] section chosen by bind()
  std::unique_ptr<const KeyIndex> stringsIndex_;  // its raw keys
  mutable std::mutex indexMutex_;  // builds of the sections' key indexes
};

// Lower-cases ASCII letters, as the Setup API compares names.
std::string lowerAscii(std::string_view text);

}  // namespace winsim::setupapi
