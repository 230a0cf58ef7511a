// Fuzzes the INI reader on arbitrary bytes, as ANSI and as UTF-16 files:
// every lookup and list the file offers, the profile functions with buffers
// of every small size, then writes into the file and reads them back. The
// profile functions read the input from memory; only the inputs that write
// go through the machine's file (on tmpfs).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kernel32/profile_memory.h"
#include "kernel32/profile_model.h"
#include "platform/win32.h"

#include "fuzz_machine.h"

namespace {

namespace fs = std::filesystem;
using winsim::ini::Document;
using winsim::ini::Text;

fs::path g_file;

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

// A name the writer can store and read back unchanged: no line break, no
// '=' or ']' that would end it early, no leading ';' or '[', no outer blanks.
bool plainName(const Text& t) {
  if (t.empty() || t.front() == u';' || t.front() == u'[') return false;
  for (WCHAR c : t) {
    if (c == u'\r' || c == u'\n' || c == u'=' || c == u']' || c == 0) return false;
  }
  return !winsim::ini::isBlank(t.front()) && !winsim::ini::isBlank(t.back());
}

void exerciseModel(const std::string& bytes) {
  const Document doc = Document::parse(bytes);
  check(doc.bytes() == bytes, "the document keeps its bytes");
  for (const auto& line : doc.lines()) {
    check(line.begin <= line.end && line.end <= line.next && line.next <= bytes.size(), "line offsets");
  }
  for (const Text& name : doc.sectionNames()) {
    const auto* s = doc.findSection(name);
    check(s != nullptr, "every listed section is found");
    for (const Text& key : doc.keyNames(*s)) check(doc.findKey(*s, key) != nullptr, "every listed key is found");
    doc.sectionEntries(*s);
  }

  // Writes with names and values taken from the file itself.
  const Text value = u"fuzz value";
  // Each edit re-parses the whole file: the first section, the last and a
  // new one stand for all, so the cost does not grow with their count.
  std::vector<Text> sections = doc.sectionNames();
  if (sections.size() > 2) sections.erase(sections.begin() + 1, sections.end() - 1);
  sections.push_back(u"NewSection");
  for (const Text& section : sections) {
    if (!plainName(section)) continue;
    const auto* s = doc.findSection(section);
    // A new key and the last one stand for all.
    std::vector<Text> keys{u"NewKey"};
    if (s && !doc.keyNames(*s).empty()) keys.push_back(doc.keyNames(*s).back());
    for (const Text& key : keys) {
      if (!plainName(key)) continue;
      auto edited = doc.setValue(section, key, value);
      const Document after = Document::parse(edited ? *edited : bytes);
      const auto* s2 = after.findSection(section);
      check(s2 != nullptr, "the written section exists");
      const auto* line = after.findKey(*s2, key);
      check(line != nullptr && line->value == value, "the written value reads back");
      if (auto removed = after.deleteKey(section, key)) Document::parse(*removed);
    }
    if (auto removed = doc.deleteSection(section)) {
      check(removed->size() <= bytes.size(), "deleting a section never adds bytes");
      Document::parse(*removed);
    }
  }
}

void exerciseApi(const std::string& bytes, uint8_t sizeSeed, bool write) {
  // Reads come from memory; a write needs the bytes in the machine's file.
  const char* file = "C:\\fuzz.ini";
  winsim::profile::setMemoryFile(file, bytes);
  if (write) {
    std::ofstream out(g_file, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  static const WCHAR kFileW[] = {u'C', u':', u'\\', u'f', u'u', u'z', u'z', u'.', u'i', u'n', u'i', 0};
  const DWORD size = sizeSeed % 40;
  std::vector<char> buf(size + 1, '@');
  std::vector<WCHAR> wbuf(size + 1, u'@');

  GetPrivateProfileSectionNamesA(buf.data(), size, file);
  GetPrivateProfileSectionNamesW(wbuf.data(), size, kFileW);
  const Document doc = Document::parse(bytes);
  for (const Text& name : doc.sectionNames()) {
    const std::string a = winsim::utf16ToUtf8(name);
    const DWORD n = GetPrivateProfileStringA(a.c_str(), nullptr, "d", buf.data(), size, file);
    check(n <= (size ? size - 1 : 0), "a list answer fits the buffer");
    GetPrivateProfileStringW(name.c_str(), nullptr, nullptr, wbuf.data(), size, kFileW);
    GetPrivateProfileSectionA(a.c_str(), buf.data(), size, file);
    GetPrivateProfileSectionW(name.c_str(), wbuf.data(), size, kFileW);
    for (const Text& key : doc.keyNames(*doc.findSection(name))) {
      const std::string k = winsim::utf16ToUtf8(key);
      const DWORD m = GetPrivateProfileStringA(a.c_str(), k.c_str(), "default", buf.data(), size, file);
      check(size == 0 ? m == 0 : m < size, "a value answer fits the buffer");
      GetPrivateProfileStringW(name.c_str(), key.c_str(), nullptr, wbuf.data(), size, kFileW);
      GetPrivateProfileIntA(a.c_str(), k.c_str(), 7, file);
    }
    check(buf.back() == '@' && wbuf.back() == u'@', "nothing is written past the buffer");
  }
  // A write rewrites the file and re-reads it: only some inputs write.
  if (write) {
    WritePrivateProfileStringA("Fuzz", "key", "value", file);
    char out[16];
    check(GetPrivateProfileStringA("Fuzz", "key", "", out, sizeof out, file) == 5, "a write reads back");
    // Nothing of this input stays cached for the next.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);
  }
  winsim::profile::clearMemoryFiles();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string root = kvFuzzMachine("ini");
  fs::create_directories(fs::path(root) / "drive_c");
  g_file = fs::path(root) / "drive_c" / "fuzz.ini";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 4096) return 0;
  // The first byte picks the encoding, whether the profile functions run on
  // the file (and whether they write), and the buffer size they get.
  const uint8_t mode = data[0];
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  if (mode & 1) bytes.insert(0, "\xFF\xFE");
  exerciseModel(bytes);
  if (mode & 2) exerciseApi(bytes, mode >> 2, (mode & 0xC0) == 0xC0);
  return 0;
}
