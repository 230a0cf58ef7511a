// A document extended by the text a write added at its end is the document
// a parse of the whole new file gives; anything but such an addition is
// refused and leaves the document as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel32/profile_model.h"

namespace {

using winsim::ini::Document;
using winsim::ini::Text;

// Everything a reader or a writer can learn from a document, as one text.
std::string describe(const Document& d) {
  std::string out = d.bytes() + "|";
  for (const auto& l : d.lines()) {
    out += std::to_string(l.begin) + "," + std::to_string(l.end) + "," + std::to_string(l.next) + "," +
           std::to_string(l.hasBreak) + "," + std::to_string(static_cast<int>(l.kind)) + ";";
  }
  out += "|";
  for (const auto& s : d.sections()) {
    out += std::to_string(s.header) + "-" + std::to_string(s.end) + ";";
  }
  for (const Text& name : d.sectionNames()) {
    const auto* s = d.findSection(name);
    out += "[" + winsim::utf16ToUtf8(name) + "@" + std::to_string(s->header) + "]";
    for (const Text& key : d.keyNames(*s)) {
      const auto* line = d.findKey(*s, key);
      out += winsim::utf16ToUtf8(key) + "=" + winsim::utf16ToUtf8(line->value) + ";";
    }
  }
  return out;
}

void expectExtends(const std::string& before, const std::string& added) {
  SCOPED_TRACE(before + " + " + added);
  Document d = Document::parse(before);
  std::string bytes = before + added;
  ASSERT_TRUE(d.extend(bytes));
  EXPECT_EQ(describe(d), describe(Document::parse(before + added)));
}

void expectRefused(const std::string& before, std::string after) {
  SCOPED_TRACE(before + " -> " + after);
  Document d = Document::parse(before);
  const std::string kept = after;
  EXPECT_FALSE(d.extend(after));
  EXPECT_EQ(after, kept) << "the bytes stay with the caller";
  EXPECT_EQ(describe(d), describe(Document::parse(before)));
}

std::string utf16(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

}  // namespace

TEST(ProfileDocumentExtend, AddedKeysAndSectionsReadAsInAWholeParse) {
  expectExtends("[A]\r\nk=1\r\n", "k2=2\r\n");
  expectExtends("[A]\r\nk=1\r\n", "[B]\r\nx=y\r\n");
  // A second section of a name already there, and a key already there in
  // it: the first of each still answers.
  expectExtends("[A]\r\nk=1\r\n[B]\r\n", "[a]\r\nk=2\r\nk=3\r\n");
  expectExtends("[A]\r\nk=1\r\n", "K=again\r\n");
  // Lines before any section, blank lines and comments at the end.
  expectExtends("loose=1\n\n", "[S]\nv=w\n; note\n\n");
  expectExtends("[A]\n; closing comment\n", "late=1\n");
  // Bytes outside ASCII in the added lines.
  expectExtends("[A]\r\nk=1\r\n", "[\xC3\xA9t\xC3\xA9]\r\nn\xC3\xBCm=\xC3\xA4\r\n");
  // A UTF-16 file grows in its own encoding.
  expectExtends(utf16("[A]\r\nk=1\r\n"), utf16("k2=2\r\n").substr(2));
}

TEST(ProfileDocumentExtend, AnythingButAnAdditionAfterALineBreakIsRefused) {
  expectRefused("[A]\r\nk=1\r\n", "[A]\r\nk=2\r\n");           // a change, not an addition
  expectRefused("[A]\r\nk=1\r\n", "[A]\r\n");                  // shorter
  expectRefused("[A]\r\nk=1", "[A]\r\nk=1\r\nk2=2\r\n");       // the last line would go on
  expectRefused("", "[A]\r\nk=1\r\n");                         // nothing decides the encoding yet
  expectRefused("\xFF", "\xFF\xFE[\0]\0");                     // the mark is only being made
  expectRefused(utf16("[A]\r\n") + "\x41", utf16("[A]\r\n") + "\x41\x00k\0");  // an odd byte at the end
}
