// winsim: the private-profile (INI) file model.
//
// A Document is the parsed form of one INI file's bytes. It answers the
// lookups of the profile functions and produces the bytes of the file after
// an edit. Edits work in place, the way Windows edits profile files: only the
// lines an edit touches change, every other byte (blank lines, comments,
// spacing, line endings, undecodable bytes) is kept exactly.
//
// Files without a byte-order mark are in the ANSI code page, which is UTF-8
// in winsim; files that start with FF FE are UTF-16LE throughout. Names and
// values are handed out as UTF-16 either way; the API layer converts.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "unicode.h"

namespace winsim::ini {

using Text = wstring16;
using TextView = wstring16_view;

enum class Encoding { kAnsi, kUtf16 };

enum class LineKind { kBlank, kComment, kHeader, kKey, kText };

struct Line {
  size_t begin = 0;    // byte offset of the line's text
  size_t end = 0;      // byte offset just past the text (before the line break)
  size_t next = 0;     // byte offset of the following line
  bool hasBreak = false;
  LineKind kind = LineKind::kBlank;
  Text name;   // header: section name; key: key name; text: the trimmed line
  Text value;  // key: the value, trimmed, quotes kept
};

struct Section {
  Text name;
  size_t header = 0;  // index of the header line
  size_t end = 0;     // index one past the section's last line
  // Folded key name -> index of the first key line of that name.
  std::unordered_map<Text, size_t> firstKey;
};

// Blanks of INI lines: space, tab and vertical tab.
bool isBlank(WCHAR c);
// Case folding used for section and key names.
Text fold(TextView text);
// Removes leading and trailing spaces (only 0x20), as the profile functions
// do with the section and key names they are given.
Text trimSpaces(TextView text);
// Removes one pair of matching outer quotes (" or ') from a value.
Text unquote(TextView value);

class Document {
 public:
  static Document parse(std::string bytes);
  // Takes the bytes of the file after text was added at its end, and parses
  // only what was added; `bytes` is taken only then. False, and the document
  // unchanged, when `bytes` is not this document's bytes followed by more,
  // when the last line has no break (the added text would continue it), or
  // when the file is too short to have settled its encoding.
  bool extend(std::string& bytes);

  Encoding encoding() const { return m_encoding; }
  const std::string& bytes() const { return m_bytes; }
  const std::vector<Line>& lines() const { return m_lines; }
  const std::vector<Section>& sections() const { return m_sections; }

  // The first section of that name (case-insensitive), or nullptr.
  const Section* findSection(TextView name) const;
  // The first key line of that name in the section, or nullptr.
  const Line* findKey(const Section& section, TextView key) const;

  // Enumerations, in file order, duplicates kept.
  std::vector<Text> sectionNames() const;
  std::vector<Text> keyNames(const Section& section) const;
  // Every key and text line of the section: "key=value" or the bare text.
  std::vector<Text> sectionEntries(const Section& section) const;

  // Edits. Each returns the new bytes of the file, or nothing when the file
  // stays as it is. Section and key names are taken as given (the caller
  // trims them).
  std::optional<std::string> setValue(TextView section, TextView key, TextView value) const;
  std::optional<std::string> deleteKey(TextView section, TextView key) const;
  std::optional<std::string> deleteSection(TextView section) const;

 private:
  // Parses the lines from a byte offset (the start of a line) to the end.
  void parseLinesFrom(size_t fromByte);
  // Adds the lines from `firstLine` on to the sections and their indexes.
  void indexFrom(size_t firstLine);
  std::string encode(TextView text) const;
  // The raw bytes of a key line's name (before the first '=', blanks cut).
  std::string rawKeyName(const Line& line) const;

  std::string m_bytes;
  Encoding m_encoding = Encoding::kAnsi;
  size_t m_textStart = 0;  // past the byte-order mark
  // An odd last byte of a UTF-16 file: no character, kept at the very end
  // so that text written into the file stays aligned.
  size_t m_tail = 0;
  std::vector<Line> m_lines;
  std::vector<Section> m_sections;
  std::unordered_map<Text, size_t> m_firstSection;  // folded name -> index in m_sections
};

}  // namespace winsim::ini
