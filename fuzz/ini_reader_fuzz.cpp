// Fuzzes the INI reader on arbitrary bytes, as ANSI and as UTF-16 files:
// every lookup and list the file offers, one edit of the document read
// back, the profile functions on its first sections and keys with buffers
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

#include "fuzz_flags.h"
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

void exerciseModel(const Document& doc, const std::string& bytes, unsigned edit) {
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

  // Writes with names and values taken from the file itself. Each edit
  // re-parses the whole file, so an input makes one: into the first
  // section, the last or a new one, under a new key or the section's last
  // one, as the input chooses. Those stand for all, and the cost does not
  // grow with the count of sections and keys.
  const Text value = u"fuzz value";
  const std::vector<Text> names = doc.sectionNames();
  Text section = u"NewSection";
  if (edit % 3 == 0 && !names.empty()) section = names.front();
  if (edit % 3 == 1 && !names.empty()) section = names.back();
  if (!plainName(section)) return;
  const auto* s = doc.findSection(section);
  Text key = u"NewKey";
  if ((edit / 3) % 2 == 1 && s) {
    const std::vector<Text> existing = doc.keyNames(*s);
    if (!existing.empty()) key = existing.back();
  }
  if (plainName(key)) {
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

void exerciseApi(const Document& doc, const std::string& bytes, uint8_t sizeSeed, bool write) {
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
  // The first few sections and keys stand for the rest: each costs a dozen
  // calls, and their count must not set the cost of an input.
  constexpr size_t kFew = 4;
  std::vector<Text> sections = doc.sectionNames();
  if (sections.size() > kFew) sections.resize(kFew);
  for (const Text& name : sections) {
    const std::string a = winsim::utf16ToUtf8(name);
    const DWORD n = GetPrivateProfileStringA(a.c_str(), nullptr, "d", buf.data(), size, file);
    check(n <= (size ? size - 1 : 0), "a list answer fits the buffer");
    GetPrivateProfileStringW(name.c_str(), nullptr, nullptr, wbuf.data(), size, kFileW);
    GetPrivateProfileSectionA(a.c_str(), buf.data(), size, file);
    GetPrivateProfileSectionW(name.c_str(), wbuf.data(), size, kFileW);
    std::vector<Text> keys = doc.keyNames(*doc.findSection(name));
    if (keys.size() > kFew) keys.resize(kFew);
    for (const Text& key : keys) {
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

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // The plain schedule: the entropic one's bookkeeping after every input
  // costs as much as a run of this target.
  kvFuzzDefaultFlags(argc, argv, {"-entropic=0"});
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
  const Document doc = Document::parse(bytes);
  exerciseModel(doc, bytes, mode >> 2);
  if (mode & 2) exerciseApi(doc, bytes, mode >> 2, (mode & 0xC0) == 0xC0);
  return 0;
}
