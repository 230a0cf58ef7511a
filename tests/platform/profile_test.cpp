// The private-profile (INI) functions behave as on Windows: lookups, lists,
// truncation, defaults, encodings and in-place edits.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "support/conformance.h"

namespace {

namespace fs = std::filesystem;
using WStr = std::basic_string<WCHAR>;

// ---- Helpers ---------------------------------------------------------------

// A scratch folder for the test files, known by its Windows name and by the
// host path the test writes raw bytes through.
struct Scratch {
  std::string win;
  fs::path host;
};

const Scratch& scratch() {
  static const Scratch s = [] {
    Scratch r;
#ifdef _WIN32
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    r.win = std::string(temp) + "kvprofile";
    r.host = r.win;
#else
    // Until the file functions exist natively, the folder is made through
    // the machine's drive mapping.
    r.win = "C:\\kvtest";
    r.host = fs::path(std::getenv("KVSIM_ROOT")) / "drive_c" / "kvtest";
#endif
    std::error_code ec;
    fs::create_directories(r.host, ec);
    return r;
  }();
  return s;
}

std::string winFile(const std::string& name) { return scratch().win + "\\" + name; }

void putBytes(const std::string& name, const std::string& bytes) {
  std::ofstream out(scratch().host / name, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string bytesOf(const std::string& name) {
  std::ifstream in(scratch().host / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool exists(const std::string& name) {
  std::error_code ec;
  return fs::exists(scratch().host / name, ec);
}

void removeFile(const std::string& name) {
  std::error_code ec;
  fs::remove(scratch().host / name, ec);
}

// UTF-8 text as UTF-16 (the tests spell non-ASCII text in UTF-8).
WStr W(const std::string& s) {
  WStr out;
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    unsigned cp = len == 1 ? c : c & (0x7F >> len);
    for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += static_cast<size_t>(len);
    if (cp >= 0x10000) {
      out.push_back(static_cast<WCHAR>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<WCHAR>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<WCHAR>(cp));
    }
  }
  return out;
}

// The same text as the ANSI functions see it: the ANSI code page, which is
// Windows-1252 on the default machine, as on an English Windows.
std::string ansi(const std::string& utf8) {
  const WStr w = W(utf8);
  char buf[256] = {};
  WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, buf, sizeof buf, nullptr, nullptr);
  return buf;
}

// UTF-16LE bytes with the byte-order mark.
std::string utf16File(const std::string& utf8) {
  std::string out = "\xFF\xFE";
  for (WCHAR c : W(utf8)) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

// nullptr stays nullptr; otherwise the UTF-16 form, kept alive by `store`.
LPCWSTR wopt(const char* s, WStr& store) {
  if (!s) return nullptr;
  store = W(s);
  return store.c_str();
}

std::string listOf(const char* buf, size_t n) { return std::string(buf, n); }

// A list answer. When it filled the whole buffer, Windows (since 2003) also
// writes the last NUL, which Wine leaves out.
void expectList(const char* buf, DWORD size, const std::string& list) {
  if (list.size() < size) {
    EXPECT_EQ(listOf(buf, list.size()), list);
    return;
  }
  EXPECT_EQ(listOf(buf, size - 1), list.substr(0, size - 1));
  KV_WINE_DEPARTS("Wine leaves the last unit of a full list buffer") { EXPECT_EQ(buf[size - 1], '\0'); }
}

std::string keyName(size_t i) {
  std::string key = "k";
  key += std::to_string(i);
  return key;
}

// ---- The reference file --------------------------------------------------------

const char kReference[] =
    "top=before\r\n"
    "[Sec]\r\n"
    "  Key1 =  hello world  \r\n"
    "key2=\"quoted\"\r\n"
    "key3='single'\r\n"
    "key4=\"unbal\r\n"
    "key5=\"a\" \"b\"\r\n"
    ";comment=x\r\n"
    "#hash=y\r\n"
    "noequals\r\n"
    "key6=v;notcomment\r\n"
    "key1=second\r\n"
    "[sec]\r\n"
    "key1=dupsec\r\n"
    "key7=dupsec7\r\n"
    "[ Spaced ]\r\n"
    "k=v\r\n"
    "[Empty]\r\n";

class ProfileTest : public testing::Test {
 protected:
  void SetUp() override {
    putBytes("ref.ini", kReference);
    ref = winFile("ref.ini");
  }
  std::string ref;
};

struct Lookup {
  const char* section;
  const char* key;
  const char* def;
  DWORD ret;
  const char* value;
  const char* wine;  // how Wine departs, or nullptr
};

const Lookup kLookups[] = {
    {"Sec", "Key1", "def", 11, "hello world", nullptr},
    {"SEC", "KEY1", "def", 11, "hello world", nullptr},
    {"Sec", "key2", "def", 6, "quoted", nullptr},
    {"Sec", "key3", "def", 6, "single", nullptr},
    {"Sec", "key4", "def", 6, "\"unbal", nullptr},
    {"Sec", "key5", "def", 5, "a\" \"b", nullptr},
    {"Sec", ";comment", "def", 3, "def", "Wine finds comment lines by name"},
    {"Sec", "#hash", "def", 1, "y", nullptr},
    {"Sec", "noequals", "def", 3, "def", nullptr},
    {"Sec", "key6", "def", 12, "v;notcomment", nullptr},
    {"Sec", "key7", "def", 3, "def", nullptr},
    {"Spaced", "k", "def", 1, "v", nullptr},
    {"  Spaced  ", "k", "def", 1, "v", nullptr},
    {"Sec", "  key2  ", "def", 6, "quoted", nullptr},
    {"Sec", "key2\t", "def", 3, "def", "Wine trims tabs from the key argument"},
    {"", "top", "def", 3, "def", "Wine reaches text before the first header with \"\""},
    {"Sec", "nokey", "  d e  ", 5, "  d e", nullptr},
    {"Sec", "nokey", nullptr, 0, "", nullptr},
    {"Sec", "nokey", "one two  ", 7, "one two", nullptr},
    {"NoSec", "k", "def", 3, "def", nullptr},
    {"Empty", "k", "def", 3, "def", nullptr},
};

TEST_F(ProfileTest, LookupsFollowTheFileModel) {
  for (const auto& row : kLookups) {
    SCOPED_TRACE(std::string(row.section) + "/" + row.key);
    auto check = [&] {
      char buf[64];
      memset(buf, '@', sizeof buf);
      EXPECT_EQ(GetPrivateProfileStringA(row.section, row.key, row.def, buf, sizeof buf, ref.c_str()), row.ret);
      EXPECT_STREQ(buf, row.value);

      WStr s, k, d;
      WCHAR wbuf[64];
      std::fill(std::begin(wbuf), std::end(wbuf), WCHAR('@'));
      EXPECT_EQ(GetPrivateProfileStringW(wopt(row.section, s), wopt(row.key, k), wopt(row.def, d), wbuf, 64,
                                         W(ref).c_str()),
                row.ret);
      EXPECT_EQ(WStr(wbuf), W(row.value));
    };
    if (row.wine) {
      KV_WINE_DEPARTS(row.wine) { check(); }
    } else {
      check();
    }
  }
}

TEST_F(ProfileTest, LastErrorTellsFoundFromMissing) {
  char buf[64];
  SetLastError(0xdeadbeef);
  GetPrivateProfileStringA("Sec", "key2", "def", buf, sizeof buf, ref.c_str());
  EXPECT_EQ(GetLastError(), 0u);

  SetLastError(0xdeadbeef);
  GetPrivateProfileStringA("NoSec", "k", "def", buf, sizeof buf, ref.c_str());
  KV_WINE_DEPARTS("Wine leaves 0 for a missing section") { EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND)); }

  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetPrivateProfileStringA("Sec", "k", "def", buf, sizeof buf, winFile("missing.ini").c_str()), 3u);
  EXPECT_STREQ(buf, "def");
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

  memset(buf, '@', sizeof buf);
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "def", buf, sizeof buf, winFile("missing.ini").c_str()), 0u);
  EXPECT_EQ(buf[0], '\0');
}

TEST_F(ProfileTest, ValuesAreCutAtSizeMinusOne) {
  struct Row {
    const char* key;
    const char* def;
    DWORD size;
    DWORD ret;
    const char* value;
  };
  const Row rows[] = {
      {"Key1", "def", 5, 4, "hell"},
      {"Key1", "def", 12, 11, "hello world"},
      {"Key1", "def", 11, 10, "hello worl"},
      {"Key1", "def", 1, 0, ""},
      {"nokey", "default", 3, 2, "de"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.key) + " size " + std::to_string(row.size));
    char buf[64];
    memset(buf, '@', sizeof buf);
    EXPECT_EQ(GetPrivateProfileStringA("Sec", row.key, row.def, buf, row.size, ref.c_str()), row.ret);
    EXPECT_STREQ(buf, row.value);
  }
  char buf[8];
  memset(buf, '@', sizeof buf);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetPrivateProfileStringA("Sec", "Key1", "def", buf, 5, ref.c_str()), 4u);
  KV_WINE_DEPARTS("Wine does not report ERROR_MORE_DATA") { EXPECT_EQ(GetLastError(), DWORD(ERROR_MORE_DATA)); }
  memset(buf, '@', sizeof buf);
  EXPECT_EQ(GetPrivateProfileStringA("Sec", "Key1", "def", buf, 0, ref.c_str()), 0u);
  EXPECT_EQ(buf[0], '@');
}

TEST_F(ProfileTest, ListsOfKeysAndSections) {
  struct Row {
    const char* section;
    DWORD size;
    DWORD ret;
    std::string list;
    bool wineLayout;  // Wine cuts truncated key lists elsewhere
  };
  const Row rows[] = {
      {"Sec", 64, 41, std::string("Key1\0key2\0key3\0key4\0key5\0#hash\0key6\0key1\0\0", 42), false},
      {"Sec", 12, 10, std::string("Key1\0key2\0\0\0", 12), true},
      {nullptr, 64, 21, std::string("Sec\0sec\0Spaced\0Empty\0\0", 22), false},
      {nullptr, 10, 8, std::string("Sec\0sec\0\0\0", 10), false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.section ? row.section : "(sections)") + " size " + std::to_string(row.size));
    char buf[64];
    memset(buf, '@', sizeof buf);
    EXPECT_EQ(GetPrivateProfileStringA(row.section, nullptr, "def", buf, row.size, ref.c_str()), row.ret);
    if (row.wineLayout) {
      KV_WINE_DEPARTS("Wine cuts a truncated key list at another place") {
        EXPECT_EQ(listOf(buf, row.list.size()), row.list);
      }
    } else {
      expectList(buf, row.size, row.list);
    }
  }
}

TEST_F(ProfileTest, SectionNamesAreTrimmedAndCut) {
  putBytes("names.ini", "[ section1 ]\r\n[section2]\r\n[section3]\r\n");
  const std::string file = winFile("names.ini");
  const std::string full("section1\0section2\0section3\0\0", 28);
  struct Row {
    DWORD size;
    DWORD ret;
    std::string list;
  };
  const Row rows[] = {
      {29, 27, full},
      {28, 26, full},
      {27, 25, std::string("section1\0section2\0section\0\0", 27)},
      {16, 14, std::string("section1\0secti\0\0", 16)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.size);
    char buf[64];
    memset(buf, '@', sizeof buf);
    EXPECT_EQ(GetPrivateProfileSectionNamesA(buf, row.size, file.c_str()), row.ret);
    expectList(buf, row.size, row.list);
  }
  char buf[8];
  memset(buf, '@', sizeof buf);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetPrivateProfileSectionNamesA(buf, sizeof buf, winFile("missing.ini").c_str()), 0u);
  EXPECT_EQ(buf[0], '\0');
}

TEST_F(ProfileTest, SectionListsEveryLine) {
  putBytes("section.ini", "[s]\r\nname1=val1\r\nname2=\r\nname3\r\n;skip=me\r\nname4=val4\r\n[t]\r\n[u]\r\nx=1\r\n");
  const std::string file = winFile("section.ini");
  const std::string whole("name1=val1\0name2=\0name3\0name4=val4\0\0", 36);
  char buf[64];
  memset(buf, '@', sizeof buf);
  EXPECT_EQ(GetPrivateProfileSectionA("s", buf, sizeof buf, file.c_str()), 35u);
  EXPECT_EQ(listOf(buf, whole.size()), whole);

  memset(buf, '@', sizeof buf);
  EXPECT_EQ(GetPrivateProfileSectionA("s", buf, 24, file.c_str()), 22u);
  EXPECT_EQ(listOf(buf, 24), std::string("name1=val1\0name2=\0name\0\0", 24));

  for (const char* empty : {"t", "nosuch"}) {
    memset(buf, '@', sizeof buf);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetPrivateProfileSectionA(empty, buf, sizeof buf, file.c_str()), 0u) << empty;
    EXPECT_EQ(listOf(buf, 2), std::string("\0\0", 2)) << empty;
  }
  SetLastError(0xdeadbeef);
  GetPrivateProfileSectionA("t", buf, sizeof buf, file.c_str());
  EXPECT_EQ(GetLastError(), 0u);

  WCHAR wbuf[64];
  EXPECT_EQ(GetPrivateProfileSectionW(W("S").c_str(), wbuf, 64, W(file).c_str()), 35u);
  EXPECT_EQ(WStr(wbuf), W("name1=val1"));
}

TEST_F(ProfileTest, IntegersParseAsWindowsDoes) {
  struct Row {
    const char* stored;  // nullptr: key absent
    INT def;
    UINT expected;
  };
  const Row rows[] = {
      {"1", -1, 1},
      {"+1", -1, 1},
      {"-1", 1, 4294967295u},
      {"4294967296", -1, 0},
      {"4294967297", -1, 1},
      {"-4294967297", 1, 4294967295u},
      {"42A94967297", -1, 42},
      {"B4294967297", -1, 0},
      {"0x1F", -1, 31},
      {"010", -1, 10},
      {"  12abc", -1, 12},
      {"\"77\"", -1, 77},
      {"", 99, 99},
      {nullptr, -1, 4294967295u},
  };
  std::string text = "[n]\r\n";
  for (size_t i = 0; i < std::size(rows); ++i) {
    if (rows[i].stored) text += keyName(i) + "=" + rows[i].stored + "\r\n";
  }
  putBytes("int.ini", text);
  const std::string file = winFile("int.ini");
  for (size_t i = 0; i < std::size(rows); ++i) {
    const std::string key = keyName(i);
    SCOPED_TRACE(key);
    EXPECT_EQ(GetPrivateProfileIntA("n", key.c_str(), rows[i].def, file.c_str()), rows[i].expected);
    EXPECT_EQ(GetPrivateProfileIntW(W("n").c_str(), W(key).c_str(), rows[i].def, W(file).c_str()), rows[i].expected);
  }
  KV_WINE_DEPARTS("Wine answers 0 for a NULL section or key") {
    EXPECT_EQ(GetPrivateProfileIntA(nullptr, "k0", 1, file.c_str()), 1u);
    EXPECT_EQ(GetPrivateProfileIntA("n", nullptr, 1, file.c_str()), 1u);
  }
}

// ---- Writing -------------------------------------------------------------------

TEST_F(ProfileTest, WritesBuildAFileStepByStep) {
  removeFile("w.ini");
  const std::string file = winFile("w.ini");
  const char* f = file.c_str();

  SetLastError(0xdeadbeef);
  EXPECT_TRUE(WritePrivateProfileStringA("A", "k1", "v1", f));
  KV_WINE_DEPARTS("Wine clears the last error of a created file") {
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));  // the file was created
  }
  EXPECT_EQ(bytesOf("w.ini"), "[A]\r\nk1=v1\r\n");

  struct Step {
    const char* section;
    const char* key;
    const char* value;
    const char* file;  // expected bytes afterwards
    bool wine;         // Wine rewrites the whole file from its own tree
  };
  const Step steps[] = {
      {"A", "k2", "  v2  ", "[A]\r\nk1=v1\r\nk2=  v2  \r\n", true},
      {"B", "k3", "v3", "[A]\r\nk1=v1\r\nk2=  v2  \r\n[B]\r\nk3=v3\r\n", true},
      {"a", "K1", "new", "[A]\r\nk1=new\r\nk2=  v2  \r\n[B]\r\nk3=v3\r\n", true},
      {" A ", "  k4  ", "v4", "[A]\r\nk1=new\r\nk2=  v2  \r\nk4=v4\r\n[B]\r\nk3=v3\r\n", true},
      {"A", "k2", nullptr, "[A]\r\nk1=new\r\nk4=v4\r\n[B]\r\nk3=v3\r\n", true},
      {"A", "k9", nullptr, "[A]\r\nk1=new\r\nk4=v4\r\n[B]\r\nk3=v3\r\n", true},
      {"A", nullptr, nullptr, "[B]\r\nk3=v3\r\n", false},
      {"Zz", nullptr, nullptr, "[B]\r\nk3=v3\r\n", false},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(std::string(step.section) + "/" + (step.key ? step.key : "(null)"));
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(WritePrivateProfileStringA(step.section, step.key, step.value, f));
    KV_WINE_DEPARTS("Wine leaves ERROR_INVALID_PARAMETER after a good write") { EXPECT_EQ(GetLastError(), 0u); }
    if (step.wine) {
      KV_WINE_DEPARTS("Wine rewrites the whole file") { EXPECT_EQ(bytesOf("w.ini"), step.file); }
    } else {
      EXPECT_EQ(bytesOf("w.ini"), step.file);
    }
  }
  char buf[16];
  EXPECT_EQ(GetPrivateProfileStringA("b", "K3", "", buf, sizeof buf, f), 2u);
  EXPECT_STREQ(buf, "v3");

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "k", "v", f));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(ProfileTest, BlanksOfAWrittenValueAreStoredButNotRead) {
  removeFile("blank.ini");
  const std::string file = winFile("blank.ini");
  ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "  v  ", file.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("A", "e", "", file.c_str()));
  char buf[16];
  EXPECT_EQ(GetPrivateProfileStringA("A", "k", "", buf, sizeof buf, file.c_str()), 1u);
  EXPECT_STREQ(buf, "v");
  EXPECT_EQ(GetPrivateProfileStringA("A", "e", "def", buf, sizeof buf, file.c_str()), 0u);
  EXPECT_STREQ(buf, "");
}

TEST_F(ProfileTest, EditsKeepTheRestOfTheFile) {
  putBytes("layout.ini", "; head\r\n[A]\r\nx = 1\r\n\r\n[B]\r\ny=2");
  const std::string file = winFile("layout.ini");
  struct Step {
    const char* section;
    const char* key;
    const char* value;
    const char* bytes;
  };
  const Step steps[] = {
      {"A", "z", "3", "; head\r\n[A]\r\nx = 1\r\nz=3\r\n\r\n[B]\r\ny=2"},
      {"C", "c", "4", "; head\r\n[A]\r\nx = 1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n[C]\r\nc=4\r\n"},
      {"A", "x", "9", "; head\r\n[A]\r\nx=9\r\nz=3\r\n\r\n[B]\r\ny=2\r\n[C]\r\nc=4\r\n"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(std::string(step.section) + "/" + step.key);
    EXPECT_TRUE(WritePrivateProfileStringA(step.section, step.key, step.value, file.c_str()));
    KV_WINE_DEPARTS("Wine drops blank lines and respaces keys") { EXPECT_EQ(bytesOf("layout.ini"), step.bytes); }
  }
  // Line ends of other kinds stay as they are.
  putBytes("ends.ini", "[A]\nx=1\rc=2\n;note\n");
  EXPECT_TRUE(WritePrivateProfileStringA("A", "x", "5", winFile("ends.ini").c_str()));
  KV_WINE_DEPARTS("Wine rewrites line ends") { EXPECT_EQ(bytesOf("ends.ini"), "[A]\nx=5\rc=2\n;note\n"); }
  // Deleting a section keeps the comments inside it.
  putBytes("del.ini", "[A]\r\n;keep\r\nk=1\r\n[B]\r\nj=2\r\n");
  EXPECT_TRUE(WritePrivateProfileStringA("A", nullptr, nullptr, winFile("del.ini").c_str()));
  KV_WINE_DEPARTS("Wine drops the comments of a deleted section") {
    EXPECT_EQ(bytesOf("del.ini"), ";keep\r\n[B]\r\nj=2\r\n");
  }
}

TEST_F(ProfileTest, WriteFailuresAndCreation) {
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", winFile("nodir\\x.ini").c_str()));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(exists("nodir"));

  // Deleting from a missing file creates it, empty.
  removeFile("created.ini");
  EXPECT_TRUE(WritePrivateProfileStringA("A", "k", nullptr, winFile("created.ini").c_str()));
  KV_WINE_DEPARTS("Wine creates no file") {
    EXPECT_TRUE(exists("created.ini"));
    EXPECT_EQ(bytesOf("created.ini"), "");
  }
  // A folder is no profile file.
  char buf[8];
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetPrivateProfileStringA("A", "k", "d", buf, sizeof buf, scratch().win.c_str()), 1u);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", scratch().win.c_str()));
}

TEST_F(ProfileTest, FileChangedBehindTheReaderIsReadAgain) {
  const std::string file = winFile("change.ini");
  putBytes("change.ini", "[s]\r\nk=1\r\n");
  for (const char* value : {"2", "3", "4"}) {
    char buf[8];
    GetPrivateProfileStringA("s", "k", "", buf, sizeof buf, file.c_str());
    putBytes("change.ini", std::string("[s]\r\nk=") + value + "\r\n");  // same size, same file
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", buf, sizeof buf, file.c_str()), 1u);
    EXPECT_STREQ(buf, value);
  }
}

// A writer keeps what it wrote for its next call on the file; a change made
// behind it right after (same size, same moment, in place or by a new file)
// must still be what the next read and the next write start from.
TEST_F(ProfileTest, FileChangedRightAfterAWriteIsReadAgain) {
  const std::string file = winFile("written.ini");
  removeFile("written.ini");
  ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "1", file.c_str()));
  char buf[8];
  putBytes("written.ini", "[s]\r\nk=2\r\n");  // in place, the size the writer left
  EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", buf, sizeof buf, file.c_str()), 1u);
  EXPECT_STREQ(buf, "2");

  ASSERT_TRUE(WritePrivateProfileStringA("s", "a", "x", file.c_str()));
  putBytes("written.ini", "[s]\r\nk=3\r\na=x\r\n");
  ASSERT_TRUE(WritePrivateProfileStringA("s", "b", "y", file.c_str()));
  EXPECT_EQ(bytesOf("written.ini"), "[s]\r\nk=3\r\na=x\r\nb=y\r\n");

  // Removed and made again under another case of its name.
  removeFile("written.ini");
  putBytes("WRITTEN.ini", "[s]\r\nk=4\r\n");
  EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", buf, sizeof buf, file.c_str()), 1u);
  EXPECT_STREQ(buf, "4");
  ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "5", file.c_str()));
  EXPECT_EQ(bytesOf("WRITTEN.ini"), "[s]\r\nk=5\r\n");
  removeFile("WRITTEN.ini");
}

TEST_F(ProfileTest, NameWithoutPathIsInTheWindowsFolder) {
  const char* name = "kvprofile_nopath.ini";
  ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "there", name));
#ifdef _WIN32
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string full = std::string(windows) + "\\" + name;
#else
  const std::string full = std::string("C:\\Windows\\") + name;
#endif
  char buf[16];
  EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", buf, sizeof buf, full.c_str()), 5u);
  EXPECT_STREQ(buf, "there");
  EXPECT_TRUE(WritePrivateProfileStringA("s", nullptr, nullptr, name));
}

// ---- Encodings -----------------------------------------------------------------

TEST_F(ProfileTest, Utf16FilesAreReadAndWrittenAsUtf16) {
  putBytes("u16.ini", utf16File("[S]\r\nk=été\r\n[T]\r\nx=1\r\n"));
  const std::string file = winFile("u16.ini");
  WCHAR wbuf[16];
  EXPECT_EQ(GetPrivateProfileStringW(W("S").c_str(), W("k").c_str(), W("d").c_str(), wbuf, 16, W(file).c_str()),
            3u);
  EXPECT_EQ(WStr(wbuf), W("été"));

  char buf[16];
  const std::string expected = ansi("été");
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "d", buf, sizeof buf, file.c_str()), expected.size());
  EXPECT_EQ(std::string(buf), expected);

  EXPECT_TRUE(WritePrivateProfileStringW(W("S").c_str(), W("n").c_str(), W("☺").c_str(), W(file).c_str()));
  EXPECT_TRUE(WritePrivateProfileStringA("T", "y", "2", file.c_str()));
  EXPECT_EQ(bytesOf("u16.ini"), utf16File("[S]\r\nk=été\r\nn=☺\r\n[T]\r\nx=1\r\ny=2\r\n"));

  // A file holding only the mark stays UTF-16; a line break follows the mark.
  putBytes("bom.ini", "\xFF\xFE");
  EXPECT_TRUE(WritePrivateProfileStringA("A", "k", "v", winFile("bom.ini").c_str()));
  KV_WINE_DEPARTS("Wine writes no line break after the mark") {
    EXPECT_EQ(bytesOf("bom.ini"), utf16File("\r\n[A]\r\nk=v\r\n"));
  }
}

TEST_F(ProfileTest, OtherMarksAreNotRecognised) {
  putBytes("u8.ini", "\xEF\xBB\xBF[S]\r\nk=v\r\n[T]\r\nk=t\r\n");
  char buf[16];
  KV_WINE_DEPARTS("Wine recognises the UTF-8 mark") {
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "def", buf, sizeof buf, winFile("u8.ini").c_str()), 3u);
    EXPECT_STREQ(buf, "def");
  }
  EXPECT_EQ(GetPrivateProfileStringA("T", "k", "def", buf, sizeof buf, winFile("u8.ini").c_str()), 1u);
  EXPECT_STREQ(buf, "t");

  // A new file is ANSI even when the W function creates it.
  removeFile("new.ini");
  EXPECT_TRUE(WritePrivateProfileStringW(W("A").c_str(), W("k").c_str(), W("v").c_str(), W(winFile("new.ini")).c_str()));
  EXPECT_EQ(bytesOf("new.ini"), "[A]\r\nk=v\r\n");
}

// The message catalogue: a UTF-16 section with far more than 8,192
// characters of key names and values longer than 4,096 characters, read with
// buffers that grow as the program grows them.
TEST_F(ProfileTest, BigSectionsAndLongValuesAreReadWhole) {
  std::string text = "[Catalogue]\r\n";
  std::string names;
  const std::string longValue = std::string(5000, 'x') + "é" + std::string(5000, 'y');
  for (int i = 0; i < 1200; ++i) {
    std::string key = "IDS_MESSAGE_";
    key += std::to_string(10000 + i);
    text += key;
    text += "=";
    text += i == 700 ? longValue : key + " text";
    text += "\r\n";
    names += key;
    names.push_back('\0');
  }
  putBytes("cat.ini", utf16File(text));
  const WStr file = W(winFile("cat.ini"));
  const WStr section = W("Catalogue");

  std::vector<WCHAR> buf;
  DWORD got = 0;
  for (DWORD size = 8192;; size += 8192) {
    buf.assign(size, WCHAR('@'));
    got = GetPrivateProfileStringW(section.c_str(), nullptr, W("").c_str(), buf.data(), size, file.c_str());
    if (got != size - 2) break;
  }
  EXPECT_EQ(WStr(buf.data(), got), W(names));

  for (DWORD size = 4096;; size += 4096) {
    buf.assign(size, WCHAR('@'));
    got = GetPrivateProfileStringW(section.c_str(), W("IDS_MESSAGE_10700").c_str(), W("").c_str(), buf.data(), size,
                                   file.c_str());
    if (got != size - 1) break;
  }
  EXPECT_EQ(WStr(buf.data(), got), W(longValue));
}

}  // namespace
