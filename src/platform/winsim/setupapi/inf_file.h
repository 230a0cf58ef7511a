// winsim: one parsed INF file.
//
// The file is read once, in one pass, into sections and lines; every query
// afterwards works on that model. Each section keeps an index from its keys
// (after string substitution, lower-cased) to its lines, so that a keyed
// search costs one hash lookup however large the file is: a package with ten
// thousand models is analysed in one pass over the text and then only
// lookups.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <windows.h>
#include <setupapi.h>

namespace winsim::setupapi {

class DirTable;

// Names compared as the Setup API compares them, ASCII letters without
// regard to case, hashed and compared in place so that a lookup of a
// section, key or string never builds a lower-cased copy.
struct NoCaseHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const noexcept {
    size_t hash = 14695981039346656037ull;
    for (char c : text) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
  }
};
struct NoCaseEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      char x = a[i];
      char y = b[i];
      if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
      if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
      if (x != y) return false;
    }
    return true;
  }
};
template <typename T>
using NoCaseMap = std::unordered_map<std::string, T, NoCaseHash, NoCaseEqual>;

struct InfLine {
  bool hasKey = false;
  std::string key;                  // quotes removed, not yet substituted
  std::vector<std::string> fields;  // fields 1..n, quotes removed, not yet substituted
};

struct InfSection {
  std::string name;
  std::vector<std::uint32_t> lines;  // indexes into InfFile::lines(), file order, blocks merged
  // Substituted key (any case) -> positions in `lines`, ascending.
  NoCaseMap<std::vector<std::uint32_t>> keyIndex;
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
  // Parses a whole file (ANSI, UTF-8 with or without BOM, or UTF-16LE with
  // BOM). Returns nothing and fills `result` on a syntax error.
  static std::unique_ptr<InfFile> parse(std::string_view bytes, const ParseOptions& options, ParseResult* result);

  // Completes the model once the file's place on the machine is known: the
  // Windows path it was opened from (for DIRID 1), the folder table for
  // other DIRIDs and the language whose [Strings.LLLL] section applies.
  // Builds the key indexes. `dirs` must outlive the file.
  // `indexKeys` false leaves the key indexes out, for a caller that only
  // walks lines (the [Version] data of SetupGetInfInformation).
  void bind(std::string winPath, const DirTable* dirs, LANGID language, bool indexKeys = true);
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

  // The text with %strings% and %dirids% replaced (not recursively).
  std::string substitute(std::string_view text) const;
  // The same into `out`, whose storage is reused.
  void substituteInto(std::string_view text, std::string* out) const;
  // Field `index` of a line after substitution (0 = the key); false when the
  // line has no such field.
  bool field(const InfLine& line, DWORD index, std::string* out) const;
  // Fields 1..n after substitution, joined with commas.
  std::string lineText(const InfLine& line) const;

 private:
  friend class InfParser;
  void chooseStrings(LANGID language);

  std::string path_;
  const DirTable* dirs_ = nullptr;
  std::vector<InfSection> sections_;
  NoCaseMap<int> sectionIndex_;  // name (any case) -> index
  std::vector<InfLine> lines_;
  NoCaseMap<std::string> strings_;  // key (any case) -> raw value
};

// Lower-cases ASCII letters, as the Setup API compares names.
std::string lowerAscii(std::string_view text);

}  // namespace winsim::setupapi
