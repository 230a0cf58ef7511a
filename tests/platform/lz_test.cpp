// LZ32 and the Setup API's compression helpers over SZDD data.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>

#include "platform/win32.h"
#include "support/conformance.h"
#include "support/scratch.h"
#include "support/szdd_encoder.h"

namespace {

std::string hex(const char* text) {
  std::string out;
  for (const char* p = text; *p;) {
    if (*p == ' ') {
      ++p;
      continue;
    }
    out.push_back(static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16)));
    p += 2;
  }
  return out;
}

std::string sequence(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>((i * 7 + i / 256) & 0xFF));
  return s;
}

class Lz : public testing::Test {
 protected:
  void SetUp() override { dir_ = kvtest::scratchDir("lz"); }
  void TearDown() override { kvtest::removeScratchDir(dir_); }

  // Expands a file through LZOpenFileA + LZCopy; the count LZCopy returned.
  LONG expand(const std::string& src, const std::string& dst) {
    OFSTRUCT of{}, of2{};
    INT in = LZOpenFileA(const_cast<LPSTR>(src.c_str()), &of, OF_READ);
    if (in < 0) return in;
    INT out = LZOpenFileA(const_cast<LPSTR>(dst.c_str()), &of2, OF_CREATE);
    const LONG n = LZCopy(in, out);
    LZClose(in);
    LZClose(out);
    return n;
  }

  std::string dir_;
};

// The format's reference vectors: each file expands to exactly its data.
TEST_F(Lz, ExpandsReferenceVectorsByteForByte) {
  struct Case {
    std::string plain;
    std::string compressed;
  };
  const Case cases[] = {
      {"ABCABCABCABC", hex("53 5A 44 44 88 F0 27 33 41 4C 0C 00 00 00 07 41 42 43 F0 F6")},
      {"    hello", kvtest::szddHeader(9, 0) + hex("3E 00 01 68 65 6C 6C 6F")},
      {std::string(25, 'a'), kvtest::szddHeader(25, 0) + hex("01 61 F0 FF 00 03")},
      {"uncompressed\r\n", kvtest::szddHeader(14, 'X') + hex("FF 75 6E 63 6F 6D 70 72 65 3F 73 73 65 64 0D 0A")},
      {sequence(3000), kvtest::szddEncode(sequence(3000), 'L')},
      {"", kvtest::szddEncode("", 'L')},
  };
  int i = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(i);
    std::string stem = "v";
    stem += std::to_string(i++);
    const std::string src = kvtest::writeFile(dir_, stem + ".bi_", c.compressed);
    const std::string dst = dir_ + "\\" + stem + ".out";
    EXPECT_EQ(expand(src, dst), static_cast<LONG>(c.plain.size()));
    EXPECT_EQ(kvtest::readFile(dst), c.plain);

    OFSTRUCT of{};
    INT h = LZOpenFileA(const_cast<LPSTR>(src.c_str()), &of, OF_READ);
    ASSERT_GE(h, 0);
    std::string read(c.plain.size() + 8, '\0');
    EXPECT_EQ(LZRead(h, read.data(), static_cast<INT>(read.size())), static_cast<INT>(c.plain.size()));
    EXPECT_EQ(read.substr(0, c.plain.size()), c.plain);
    if (c.plain.size() > 3) {
      EXPECT_EQ(LZSeek(h, 3, 0), 3);
      char tail = 0;
      EXPECT_EQ(LZRead(h, &tail, 1), 1);
      EXPECT_EQ(tail, c.plain[3]);
    }
    LZClose(h);
  }
}

// Data whose encoding holds every kind of match: blanks from before the
// start, runs of one byte, short periods that overlap what they make,
// repeats from far back and from 4095 and 4096 bytes back, and literals,
// over several hundred kilobytes.
std::string matchRich() {
  std::string s(40, ' ');
  unsigned seed = 12345;
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<char>(seed >> 16);
  };
  for (int round = 0; s.size() < 600 * 1024; ++round) {
    s.append(static_cast<size_t>(50 + round % 300), static_cast<char>(round));
    const std::string period = std::string("abcdefghijklmnopqrs").substr(0, static_cast<size_t>(2 + round % 17));
    for (int i = 0; i < 20; ++i) s += period;
    for (int i = 0; i < 200; ++i) s.push_back(next());
    s += "RECORD " + std::to_string(round) + " OFFSET " + std::to_string(round * 7) + "\r\n";
    if (round % 16 == 15) s += s.substr(s.size() - 4096, 4096) + s.substr(s.size() - 4095, 600);
  }
  return s;
}

// Expanded through each way a program may ask (the Setup API, LZCopy, LZRead
// in pieces), matches give back exactly the data they encode.
TEST_F(Lz, ExpandsMatchesOfEveryKind) {
  const std::string data = matchRich();
  const std::string packed = kvtest::szddEncodeMatches(data, 'L');
  ASSERT_LT(packed.size(), data.size() / 2);  // mostly matches
  const std::string src = kvtest::writeFile(dir_, "rich.dl_", packed);

  EXPECT_EQ(expand(src, dir_ + "\\lzcopy.dll"), static_cast<LONG>(data.size()));
  EXPECT_TRUE(kvtest::readFile(dir_ + "\\lzcopy.dll") == data);
  EXPECT_EQ(SetupDecompressOrCopyFileA(src.c_str(), (dir_ + "\\setup.dll").c_str(), nullptr), 0u);
  EXPECT_TRUE(kvtest::readFile(dir_ + "\\setup.dll") == data);

  OFSTRUCT of{};
  INT h = LZOpenFileA(const_cast<LPSTR>(src.c_str()), &of, OF_READ);
  ASSERT_GE(h, 0);
  std::string read;
  char piece[7777];
  for (INT n; (n = LZRead(h, piece, sizeof piece)) > 0;) read.append(piece, static_cast<size_t>(n));
  LZClose(h);
  EXPECT_TRUE(read == data);
}

// A damaged file fails whole: the Setup API leaves the target as it was,
// LZCopy leaves the target it created empty, and no scratch file stays
// behind in the folder.
TEST_F(Lz, DamagedFilesFailWhole) {
  const std::string good = kvtest::szddEncodeMatches(matchRich().substr(0, 20000), 'L');
  std::string longer = good;  // the header promises more than the data holds
  longer[11] = static_cast<char>(longer[11] + 1);
  std::string shorter = good;  // the data holds more than the header promises
  shorter[10] = static_cast<char>(shorter[10] - 1);
  std::string cut = good.substr(0, good.size() - 1);
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"twenty", kvtest::szddHeader(4000, 'L') + std::string("\x00\x01\x02\x03\x04\x05", 6)},
      {"longer", longer},
      {"shorter", shorter},
      {"cut", cut},
      {"half", good.substr(0, good.size() / 2)},
  };
  KV_WINE_DEPARTS("Wine stops at the end of the input and reports the short data as a success") {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      const std::string src = kvtest::writeFile(dir_, std::string(c.name) + ".dl_", c.bytes);
      const std::string dst = kvtest::writeFile(dir_, std::string(c.name) + ".dll", "previous");
      EXPECT_EQ(SetupDecompressOrCopyFileA(src.c_str(), dst.c_str(), nullptr), static_cast<DWORD>(ERROR_INVALID_DATA));
      EXPECT_EQ(kvtest::readFile(dst), "previous");
      EXPECT_LT(expand(src, dst), 0);
      EXPECT_EQ(kvtest::readFile(dst), "");
    }
    WIN32_FIND_DATAA found{};
    HANDLE find = FindFirstFileA((dir_ + "\\*").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    int files = 0;
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++files;
    } while (FindNextFileA(find, &found));
    FindClose(find);
    EXPECT_EQ(files, 2 * static_cast<int>(std::size(cases)));
  }
}

TEST_F(Lz, PlainFilesCopyAsTheyAre) {
  const std::string src = kvtest::writeFile(dir_, "plain.txt", "not compressed at all");
  EXPECT_EQ(expand(src, dir_ + "\\plain.out"), 21);
  EXPECT_EQ(kvtest::readFile(dir_ + "\\plain.out"), "not compressed at all");
}

TEST_F(Lz, OpenFallsBackToTheCompressedName) {
  kvtest::writeFile(dir_, "DRIVER.DL_", kvtest::szddEncode("driver bytes", 'L'));
  OFSTRUCT of{};
  const std::string wanted = dir_ + "\\DRIVER.DLL";
  INT h = LZOpenFileA(const_cast<LPSTR>(wanted.c_str()), &of, OF_READ);
  ASSERT_GE(h, 0);
  EXPECT_NE(std::string(of.szPathName).find("DRIVER.DL_"), std::string::npos) << of.szPathName;
  char buf[32] = "";
  EXPECT_EQ(LZRead(h, buf, sizeof buf), 12);
  LZClose(h);

  const std::string missing = dir_ + "\\none.dll";
  SetLastError(0xdeadbeef);
  EXPECT_EQ(LZOpenFileA(const_cast<LPSTR>(missing.c_str()), &of, OF_READ), LZERROR_BADINHANDLE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(of.nErrCode, ERROR_FILE_NOT_FOUND);
}

TEST_F(Lz, CorruptDataIsRefusedAndLeavesTheTargetAlone) {
  std::string truncated = kvtest::szddEncode(sequence(100), 'L');
  truncated.resize(truncated.size() - 20);
  const std::string src = kvtest::writeFile(dir_, "bad.dl_", truncated);
  const std::string dst = kvtest::writeFile(dir_, "bad.dll", "previous");
  KV_WINE_DEPARTS("Wine stops at the end of the input and reports the short data as a success") {
    OFSTRUCT of{}, of2{};
    INT in = LZOpenFileA(const_cast<LPSTR>(src.c_str()), &of, OF_READ);
    ASSERT_GE(in, 0);
    INT out = LZOpenFileA(const_cast<LPSTR>(dst.c_str()), &of2, OF_READ | OF_CREATE);
    EXPECT_LT(LZCopy(in, out), 0);
    LZClose(in);
    LZClose(out);
    // Creating the target empties it, as on Windows; it never holds half the data.
    EXPECT_EQ(kvtest::readFile(dst), "");
  }
}

TEST_F(Lz, ExpandedNames) {
  struct Case {
    const char* file;
    std::string bytes;
    const char* expanded;
  };
  const Case cases[] = {
      {"HELLO.TX_", kvtest::szddEncode("x", 'T'), "HELLO.TXT"},
      {"t4.bi_", kvtest::szddEncode("x", 'X'), "t4.bix"},
      {"PROBEUI.DL_", kvtest::szddEncode("x", 0), "PROBEUI.DL"},
      {"plain.dl_", "not compressed", "plain.dl_"},
  };
  for (const auto& c : cases) {
    const std::string path = kvtest::writeFile(dir_, c.file, c.bytes);
    char out[MAX_PATH] = "";
    EXPECT_EQ(GetExpandedNameA(const_cast<LPSTR>(path.c_str()), out), 1) << c.file;
    EXPECT_EQ(std::string(out), dir_ + "\\" + c.expanded);
  }
  char out[MAX_PATH];
  const std::string missing = dir_ + "\\missing.tx_";
  EXPECT_EQ(GetExpandedNameA(const_cast<LPSTR>(missing.c_str()), out), LZERROR_BADINHANDLE);
}

TEST_F(Lz, SetupCompressionInfo) {
  const std::string data = sequence(500);
  struct Case {
    const char* name;
    std::string bytes;
    UINT type;
    DWORD target;
  };
  const Case cases[] = {
      {"plain.dll", data, FILE_COMPRESSION_NONE, 500},
      {"packed.dl_", kvtest::szddEncode(data, 'L'), FILE_COMPRESSION_WINLZA, 500},
      {"zip.dll", "PK\x03\x04 not a cabinet", FILE_COMPRESSION_NONE, 18},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = kvtest::writeFile(dir_, c.name, c.bytes);
    PSTR actual = nullptr;
    DWORD srcSize = 0, tgtSize = 0;
    UINT type = 99;
    ASSERT_EQ(SetupGetFileCompressionInfoA(path.c_str(), &actual, &srcSize, &tgtSize, &type), 0u);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(srcSize, c.bytes.size());
    EXPECT_EQ(tgtSize, c.target);
    ASSERT_NE(actual, nullptr);
    EXPECT_STREQ(actual, path.c_str());
    LocalFree(actual);

    const std::string out = dir_ + "\\" + c.name + ".out";
    kvtest::writeFile(dir_, std::string(c.name) + ".out", "old contents");
    EXPECT_EQ(SetupDecompressOrCopyFileA(path.c_str(), out.c_str(), nullptr), 0u);
    EXPECT_EQ(kvtest::readFile(out), c.type == FILE_COMPRESSION_NONE ? c.bytes : data);
  }
  // Forcing "no compression" copies the compressed bytes as they are.
  const std::string packed = dir_ + "\\packed.dl_";
  UINT none = FILE_COMPRESSION_NONE;
  EXPECT_EQ(SetupDecompressOrCopyFileA(packed.c_str(), (dir_ + "\\raw.out").c_str(), &none), 0u);
  EXPECT_EQ(kvtest::readFile(dir_ + "\\raw.out"), kvtest::readFile(packed));
  UINT invalid = 5;
  EXPECT_EQ(SetupDecompressOrCopyFileA(packed.c_str(), (dir_ + "\\x.out").c_str(), &invalid),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  PSTR actual = nullptr;
  DWORD a = 0, b = 0;
  UINT t = 0;
  EXPECT_EQ(SetupGetFileCompressionInfoA((dir_ + "\\none.dll").c_str(), &actual, &a, &b, &t),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(SetupGetFileCompressionInfoA(packed.c_str(), nullptr, &a, &b, &t), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
