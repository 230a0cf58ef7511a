// INF files through the Setup API: lexical rules, fields, substitution,
// searches, target folders, source media, styles, encodings and OEM copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "support/conformance.h"
#include "support/scratch.h"

namespace {

const std::string kHeader = "[Version]\r\nSignature=\"$Windows NT$\"\r\n";

class Inf : public testing::Test {
 protected:
  void SetUp() override { dir_ = kvtest::scratchDir("inf"); }
  void TearDown() override {
    for (HINF h : open_) SetupCloseInfFile(h);
    kvtest::removeScratchDir(dir_);
  }

  std::string write(const std::string& text, const std::string& name = "test.inf") {
    return kvtest::writeFile(dir_, name, text);
  }
  HINF open(const std::string& text, DWORD style = INF_STYLE_WIN4) {
    UINT line = 0;
    HINF h = SetupOpenInfFileA(write(text).c_str(), nullptr, style, &line);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << text << " error " << std::hex << GetLastError() << " line " << line;
    if (h != INVALID_HANDLE_VALUE) open_.push_back(h);
    return h;
  }
  static bool field(INFCONTEXT* ctx, DWORD index, std::string* out) {
    char buf[MAX_INF_STRING_LENGTH];
    DWORD need = 0;
    if (!SetupGetStringFieldA(ctx, index, buf, sizeof buf, &need)) return false;
    *out = buf;
    return true;
  }
  static std::string lineText(INFCONTEXT* ctx) {
    char buf[MAX_INF_STRING_LENGTH] = "";
    DWORD need = 0;
    EXPECT_TRUE(SetupGetLineTextA(ctx, nullptr, nullptr, nullptr, buf, sizeof buf, &need));
    return buf;
  }
  static std::string targetPath(HINF h, const char* section) {
    char buf[MAX_PATH] = "";
    DWORD need = 0;
    if (!SetupGetTargetPathA(h, nullptr, section, buf, sizeof buf, &need)) return "<failed>";
    EXPECT_EQ(need, std::strlen(buf) + 1);
    return buf;
  }
  static std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }

  std::string dir_;
  std::vector<HINF> open_;
};

// ---- Lexical rules and the line model --------------------------------------------

struct LineCase {
  const char* line;
  bool hasKey;
  const char* key;
  std::vector<std::string> fields;
  const char* text;
};

TEST_F(Inf, LinesSplitIntoKeyAndFields) {
  const LineCase cases[] = {
      {"ab=cd,ef,gh,ij", true, "ab", {"cd", "ef", "gh", "ij"}, "cd,ef,gh,ij"},
      {"ab", true, "ab", {"ab"}, "ab"},
      {"ab,cd", false, "", {"ab", "cd"}, "ab,cd"},
      {"ab,cd=ef", false, "", {"ab", "cd=ef"}, "ab,cd=ef"},
      {"=abcd,ef", true, "", {"abcd", "ef"}, "abcd,ef"},
      {" a b = c , d ", true, "a b", {"c", "d"}, "c,d"},
      {" a b = c ,\" d\" ", true, "a b", {"c", " d"}, "c, d"},
      {"a=b,,,c,,,d", true, "a", {"b", "", "", "c", "", "", "d"}, "b,,,c,,,d"},
      {"a=b,\"\",c,\" \",d", true, "a", {"b", "", "c", " ", "d"}, "b,,c, ,d"},
      {",=,,b", false, "", {"", "=", "", "b"}, ",=,,b"},
      {"ab=cd\",\"ef", true, "ab", {"cd,ef"}, "cd,ef"},
      {"ab\"\"\"cd,ef=gh\"", true, "ab\"cd,ef=gh", {"ab\"cd,ef=gh"}, "ab\"cd,ef=gh"},
      {"Ab\"Cd=Ef\"", true, "AbCd=Ef", {"AbCd=Ef"}, "AbCd=Ef"},
      {"HKLM,A,B,'C',D", false, "", {"HKLM", "A", "B", "'C'", "D"}, "HKLM,A,B,'C',D"},
      {"ab=c\x1a" "d", true, "ab", {"c"}, "c"},
      {"ab\x1a=cd", true, "ab", {"ab"}, "ab"},
      {"ba\\\r\ncd=ef", true, "bacd", {"ef"}, "ef"},
      {"ba \\ dc=xx", true, "ba \\ dc", {"xx"}, "xx"},
      {"ab=cd \\ ", true, "ab", {"cd"}, "cd"},
      {"k6=\"a\"\"b\"", true, "k6", {"a\"b"}, "a\"b"},
      {"k7=long \\\r\n  continued", true, "k7", {"longcontinued"}, "longcontinued"},
      {"ab  \\  \r\ncd=ef", true, "abcd", {"ef"}, "ef"},
      {"ab  \\ ;cc\r\ncd=ef", true, "abcd", {"ef"}, "ef"},
      {"ba=c \\\r\n \\\r\n a", true, "ba", {"ca"}, "ca"},
      {"ba \\\\ \r\nc=d", true, "bac", {"d"}, "d"},
      {"a=b\\\\c", true, "a", {"b\\\\c"}, "b\\\\c"},
      {"ab=cd\",ef\\\nab", true, "ab", {"cd,ef\\"}, "cd,ef\\"},
      {"Key=Field1,", true, "Key", {"Field1", ""}, "Field1,"},
      {"a=", true, "a", {""}, ""},
      {"key1 = v1 , v2 ,, \"q,uoted\" ; comment", true, "key1", {"v1", "v2", "", "q,uoted"}, "v1,v2,,q,uoted"},
      {"abcd=ef", true, "abcd", {"ef gh"}, "ef gh"},  // written with "\0gh" after it
      // Each row ends the file: a quote or backslash as the very last byte.
      {"k8=\"abc", true, "k8", {"abc"}, "abc"},
      {"k9=\"a\"\"", true, "k9", {"a\""}, "a\""},
      {"k10=ab\"", true, "k10", {"ab"}, "ab"},
      {"k11=a,b\\", true, "k11", {"a", "b"}, "a,b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    std::string content = kHeader + "[Test]\r\n";
    // Rows with an embedded NUL carry it past the C string.
    content += std::strcmp(c.line, "abcd=ef") == 0 ? std::string("abcd=ef\0gh", 10) : std::string(c.line);
    HINF h = open(content);
    INFCONTEXT ctx;
    ASSERT_TRUE(SetupFindFirstLineA(h, "Test", nullptr, &ctx));
    std::string key;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(field(&ctx, 0, &key), c.hasKey);
    if (c.hasKey) {
      EXPECT_EQ(key, c.key);
    }
    ASSERT_EQ(SetupGetFieldCount(&ctx), c.fields.size());
    for (DWORD i = 0; i < c.fields.size(); ++i) {
      std::string f;
      EXPECT_TRUE(field(&ctx, i + 1, &f));
      EXPECT_EQ(f, c.fields[i]) << "field " << i + 1;
    }
    std::string past;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(field(&ctx, static_cast<DWORD>(c.fields.size() + 1), &past));
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(lineText(&ctx), c.text);
    // Only the row with a quoted trailing backslash has a second line: that
    // backslash does not join the lines.
    EXPECT_EQ(SetupGetLineCountA(h, "Test"), std::strstr(c.line, "ef\\\nab") ? 2 : 1);
  }
}

TEST_F(Inf, SectionHeadersKeepTheirTextAndMerge) {
  struct Case {
    const char* header;
    const char* name;
  };
  const Case cases[] = {
      {"[TestSection]   dummy", "TestSection"}, {"  [  Test Section  ]", "  Test Section  "},
      {"[Test[Section]", "Test[Section"},        {"[Test[S]ection]", "Test[S"},
      {"[Test;Section]", "Test;Section"},        {"[]", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    HINF h = open(kHeader + c.header + "\r\nkey=value\r\n");
    INFCONTEXT ctx;
    EXPECT_TRUE(SetupFindFirstLineA(h, c.name, "KEY", &ctx));
  }
  HINF h = open(kHeader + "[A]\r\na=1\r\n[B]\r\nx=0\r\n[a]\r\nb=2\r\n;[A]\r\nc=3\r\n");
  EXPECT_EQ(SetupGetLineCountA(h, "A"), 3);
  INFCONTEXT ctx;
  ASSERT_TRUE(SetupGetLineByIndexA(h, "a", 1, &ctx));
  std::string key;
  EXPECT_TRUE(field(&ctx, 0, &key));
  EXPECT_EQ(key, "b");
}

// ---- Opening ---------------------------------------------------------------------

TEST_F(Inf, OpenReportsSyntaxErrorsWithTheirLine) {
  struct Case {
    std::string text;
    DWORD error;
    UINT line;
  };
  const Case cases[] = {
      {"\r\n", ERROR_WRONG_INF_STYLE, 0},
      {"[Version]\r\n", ERROR_WRONG_INF_STYLE, 0},
      {kHeader + "[ab", ERROR_BAD_SECTION_NAME_LINE, 3},
      {kHeader + "\n\n[ab\x1a]", ERROR_BAD_SECTION_NAME_LINE, 5},
      {kHeader + "[" + std::string(256, 'x') + "]", ERROR_SECTION_NAME_TOO_LONG, 3},
      {"abc\r\n" + kHeader, ERROR_EXPECTED_SECTION_NAME, 1},
      {";\n;\nabc\r\n" + kHeader, ERROR_EXPECTED_SECTION_NAME, 3},
      {"garbage1\ngarbage2\n[abc]\n" + kHeader, ERROR_EXPECTED_SECTION_NAME, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    UINT line = 0xdead;
    SetLastError(0xdeadbeef);
    HINF h = SetupOpenInfFileA(write(c.text).c_str(), nullptr, INF_STYLE_WIN4, &line);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(line, c.line);
  }
  // Accepted: comments before the header, a 255-character name, and the
  // quirk of text before a first section named [Strings].
  for (const std::string& ok : {";c\r\n\r\n" + kHeader, kHeader + "[" + std::string(255, 'x') + "]",
                                "garbage1\ngarbage2\n[Strings]\n" + kHeader}) {
    SetLastError(0xdeadbeef);
    open(ok);
    EXPECT_EQ(GetLastError(), 0u);
  }
  UINT line = 0;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(SetupOpenInfFileA((dir_ + "\\missing.inf").c_str(), nullptr, INF_STYLE_WIN4, &line), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Inf, StyleFollowsTheSignature) {
  struct Case {
    const char* version;
    bool win4;
  };
  const Case cases[] = {
      {"[Version]\r\nSignature=\"$Windows NT$\"\r\n", true},
      {"[Version]\r\nSignature=$CHICAGO$\r\n", true},
      {"[version]\r\nsignature=$chicago$,abcd\r\n", true},
      {"[Version]\r\nSignature=\"$Windows 95$\"\r\n", true},
      {"[Version]\r\nClass=Printer\r\n[X]\r\n[Version]\r\nSignature=$Windows NT$\r\n", true},
      {"[Version]\r\nSignature=$Windows 98$\r\n", false},
      {"[Version]\r\nSignature=foo\r\n", false},
      {"[Other]\r\na=b\r\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    const std::string path = write(c.version);
    UINT line = 0xdead;
    SetLastError(0xdeadbeef);
    HINF h = SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, &line);
    if (c.win4) {
      EXPECT_NE(h, INVALID_HANDLE_VALUE);
      SetupCloseInfFile(h);
    } else {
      EXPECT_EQ(h, INVALID_HANDLE_VALUE);
      EXPECT_EQ(GetLastError(), ERROR_WRONG_INF_STYLE);
      EXPECT_EQ(line, 0u);
    }
    h = SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_OLDNT, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    SetupCloseInfFile(h);
    auto openBoth = [&] {
      h = SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_OLDNT | INF_STYLE_WIN4, nullptr);
      EXPECT_NE(h, INVALID_HANDLE_VALUE);
      SetupCloseInfFile(h);
    };
    if (c.win4) {
      openBoth();
    } else {
      KV_WINE_DEPARTS("a file without a WIN4 signature is refused when the mask also holds WIN4") { openBoth(); }
    }

    DWORD size = 0;
    const BOOL sized = SetupGetInfInformationA(path.c_str(), INFINFO_INF_NAME_IS_ABSOLUTE, nullptr, 0, &size);
    auto check = [&] {
      ASSERT_TRUE(sized);
      ASSERT_GE(size, sizeof(SP_INF_INFORMATION));
      std::vector<BYTE> buf(size);
      auto* info = reinterpret_cast<PSP_INF_INFORMATION>(buf.data());
      ASSERT_TRUE(SetupGetInfInformationA(path.c_str(), INFINFO_INF_NAME_IS_ABSOLUTE, info, size, &size));
      EXPECT_EQ(info->InfStyle, static_cast<DWORD>(c.win4 ? INF_STYLE_WIN4 : INF_STYLE_OLDNT));
      EXPECT_EQ(info->InfCount, 1u);
    };
    if (c.win4) {
      check();
    } else {
      KV_WINE_DEPARTS("SetupGetInfInformationA fails for a file without a WIN4 signature") { check(); }
    }
  }
}

TEST_F(Inf, InfInformationSizing) {
  const std::string path = write(kHeader + "Provider=%P%\r\n[Strings]\r\nP=\"Maker\"\r\n");
  DWORD size = 0;
  ASSERT_TRUE(SetupGetInfInformationA(path.c_str(), INFINFO_INF_NAME_IS_ABSOLUTE, nullptr, 0, &size));
  std::vector<BYTE> buf(size + 16, 0xCC);
  auto* info = reinterpret_cast<PSP_INF_INFORMATION>(buf.data());
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupGetInfInformationA(path.c_str(), INFINFO_INF_NAME_IS_ABSOLUTE, info, 4, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupGetInfInformationA(path.c_str(), INFINFO_INF_NAME_IS_ABSOLUTE, nullptr, size, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupGetInfInformationA((dir_ + "\\none.inf").c_str(), INFINFO_INF_NAME_IS_ABSOLUTE, nullptr, 0, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupGetInfInformationA(nullptr, INFINFO_INF_SPEC_IS_HINF, nullptr, 0, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  ASSERT_TRUE(SetupGetInfInformationA(path.c_str(), INFINFO_INF_NAME_IS_ABSOLUTE, info, size, &size));
  KV_WINE_DEPARTS("SetupQueryInfVersionInformationA is not implemented") {
    char value[64] = "";
    DWORD need = 0;
    EXPECT_TRUE(SetupQueryInfVersionInformationA(info, 0, "signature", value, sizeof value, &need));
    EXPECT_STREQ(value, "$Windows NT$");
    EXPECT_TRUE(SetupQueryInfVersionInformationA(info, 0, "Provider", value, sizeof value, &need));
    EXPECT_STREQ(value, "Maker");
    EXPECT_EQ(need, 6u);
  }
}

TEST_F(Inf, ClassIsChecked) {
  const std::string extension = kvtest::dataPath("inf/psa-extension.inf");
  HINF h = SetupOpenInfFileA(extension.c_str(), "Extension", INF_STYLE_WIN4, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  SetupCloseInfFile(h);
  KV_WINE_DEPARTS("a class mismatch is not detected") {
    SetLastError(0xdeadbeef);
    h = SetupOpenInfFileA(extension.c_str(), "Printer", INF_STYLE_WIN4, nullptr);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_CLASS_MISMATCH);
  }
}

// ---- Substitution ----------------------------------------------------------------------

TEST_F(Inf, StringsAreSubstitutedOnce) {
  HINF h = open(kHeader +
                "[Test]\r\n"
                "k2=%S1%\r\n"
                "k3=%%literal%%\r\n"
                "k4=%UNKNOWN%\r\n"
                "k9=\"%S2%\"\r\n"
                "%S1%=keysub\r\n"
                "k5=%foo%xx,%per%%cent%\r\n"
                "k6=%f\"o\"o%\r\n"
                "k7=%bar;bla%\r\n"
                "k8=%loop%\r\n"
                "k10=%s1%x%s2%\r\n"
                "%% %foo%=pct\r\n"
                "[Strings]\r\n"
                "S1=\"sub one\"\r\n"
                "S2=  two  \r\n"
                "foo=aaa\r\nbar=bbb\r\nper=1\r\ncent=2\r\nloop=%loop2%\r\nloop2=deep\r\n");
  struct Case {
    const char* key;
    const char* text;
  };
  const Case cases[] = {
      {"k2", "sub one"},   {"k3", "%literal%"}, {"k4", "%UNKNOWN%"}, {"k9", "two"},
      {"k5", "aaaxx,12"},  {"k6", "aaa"},       {"k7", "%bar"},      {"k8", "%loop2%"},
      {"k10", "sub onextwo"}, {"sub one", "keysub"}, {"% aaa", "pct"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    char buf[256] = "";
    DWORD need = 0;
    EXPECT_TRUE(SetupGetLineTextA(nullptr, h, "Test", c.key, buf, sizeof buf, &need));
    EXPECT_STREQ(buf, c.text);
  }
  INFCONTEXT ctx;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupFindFirstLineA(h, "Test", "%S1%", &ctx));
  EXPECT_EQ(GetLastError(), ERROR_LINE_NOT_FOUND);
}

TEST_F(Inf, DirectoryIdsInText) {
  HINF h = open(kHeader + "[Test]\r\nk10=%11%,%12%,%17%,%23%,%24%,%25%,%01%\r\nk11=\"%24%\\fred\"\r\n"
                          "k12=\"%mydrive%\\fred\"\r\nk13=%10%\\x\r\n[Strings]\r\nmydrive=\"C:\\\"\r\n");
  INFCONTEXT ctx;
  ASSERT_TRUE(SetupFindFirstLineA(h, "Test", "k10", &ctx));
  const std::vector<std::string> expected = {"c:\\windows\\system32", "c:\\windows\\system32\\drivers",
                                             "c:\\windows\\inf", "c:\\windows\\system32\\spool\\drivers\\color",
                                             "c:\\", "c:\\windows"};
  for (DWORD i = 0; i < expected.size(); ++i) {
    std::string f;
    EXPECT_TRUE(field(&ctx, i + 1, &f));
    EXPECT_EQ(lower(f), expected[i]);
  }
  std::string src;
  EXPECT_TRUE(field(&ctx, 7, &src));
  EXPECT_EQ(src.back(), '\\') << src;
  struct Case {
    const char* key;
    const char* text;
  };
  for (const Case& c : {Case{"k11", "c:\\fred"}, Case{"k12", "c:\\\\fred"}, Case{"k13", "c:\\windows\\x"}}) {
    char buf[MAX_PATH] = "";
    EXPECT_TRUE(SetupGetLineTextA(nullptr, h, "Test", c.key, buf, sizeof buf, nullptr));
    EXPECT_EQ(lower(buf), c.text);
  }
}

TEST_F(Inf, LanguageStringsReplaceThePlainSection) {
  // winsim machines and the test prefix both run in US English (0409).
  HINF h = open(kHeader + "[Test]\r\na=%Name%\r\nb=%Only%\r\n[Strings]\r\nName=plain\r\nOnly=plain only\r\n"
                          "[Strings.0407]\r\nName=german\r\n[Strings.0009]\r\nName=neutral\r\n"
                          "[Strings.0409]\r\nName=english\r\n");
  KV_WINE_DEPARTS("[Strings.LanguageID] sections are ignored") {
    char buf[64] = "";
    EXPECT_TRUE(SetupGetLineTextA(nullptr, h, "Test", "a", buf, sizeof buf, nullptr));
    EXPECT_STREQ(buf, "english");
    // A key the chosen section lacks is not taken from [Strings].
    EXPECT_TRUE(SetupGetLineTextA(nullptr, h, "Test", "b", buf, sizeof buf, nullptr));
    EXPECT_STREQ(buf, "%Only%");
  }
}

// ---- Searches, sizes and numbers -----------------------------------------------------------

TEST_F(Inf, SearchesAndTheirErrors) {
  HINF h = open(kHeader + "[Test]\r\nkey1=value1,v2\r\nf1,f2\r\nother=x\r\nKEY1=dupkey\r\n[Empty]\r\n");
  INFCONTEXT ctx;
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(SetupFindFirstLineA(h, "test", "KEY1", &ctx));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(ctx.Line, 0u);
  ASSERT_TRUE(SetupFindNextMatchLineA(&ctx, "key1", &ctx));
  EXPECT_EQ(lineText(&ctx), "dupkey");
  EXPECT_FALSE(SetupFindNextMatchLineA(&ctx, "key1", &ctx));
  EXPECT_EQ(GetLastError(), ERROR_LINE_NOT_FOUND);

  struct Miss {
    const char* section;
    const char* key;
  };
  for (const Miss& m : {Miss{"Test", "f1"}, Miss{"Nope", nullptr}, Miss{"Empty", nullptr}, Miss{"Test", "none"}}) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupFindFirstLineA(h, m.section, m.key, &ctx)) << m.section;
    EXPECT_EQ(GetLastError(), ERROR_LINE_NOT_FOUND) << m.section;
  }
  SetLastError(0xdeadbeef);
  EXPECT_EQ(SetupGetLineCountA(h, "Nope"), -1);
  EXPECT_EQ(GetLastError(), ERROR_SECTION_NOT_FOUND);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(SetupGetLineCountA(h, "Empty"), 0);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(SetupGetLineCountA(h, "TEST"), 4);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupGetLineByIndexA(h, "Test", 4, &ctx));
  EXPECT_EQ(GetLastError(), ERROR_LINE_NOT_FOUND);

  char buf[32];
  DWORD need = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupGetLineTextA(nullptr, h, "Test", "key1", buf, 5, &need));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(need, 10u);
  EXPECT_TRUE(SetupGetLineTextA(nullptr, h, "Test", "key1", nullptr, 0, &need));
  EXPECT_EQ(need, 10u);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupGetLineTextA(nullptr, h, "Nope", "key1", buf, sizeof buf, &need));
  EXPECT_EQ(GetLastError(), ERROR_LINE_NOT_FOUND);

  ASSERT_TRUE(SetupFindFirstLineA(h, "Test", "other", &ctx));
  std::memset(buf, 'x', sizeof buf);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupGetStringFieldA(&ctx, 1, buf, 1, &need));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(need, 2u);
}

TEST_F(Inf, IntegerFields) {
  HINF h = open(kHeader + "[Test]\r\nKey=48\r\n123=48\r\nHex=0x4\r\nOct=010\r\nText=Field1\r\nGap=Field1,,Field3\r\n");
  struct Case {
    const char* key;
    DWORD index;
    BOOL ok;
    INT value;
    DWORD error;
  };
  const Case cases[] = {
      {"Key", 1, TRUE, 48, 0},  {"Key", 0, FALSE, 0, ERROR_INVALID_DATA}, {"123", 0, TRUE, 123, 0},
      {"Hex", 1, TRUE, 4, 0},   {"Oct", 1, TRUE, 8, 0},  {"Text", 1, FALSE, 0, ERROR_INVALID_DATA},
      {"Gap", 2, TRUE, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    INFCONTEXT ctx;
    ASSERT_TRUE(SetupFindFirstLineA(h, "Test", c.key, &ctx));
    INT value = -7;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(SetupGetIntField(&ctx, c.index, &value), c.ok);
    if (c.ok) {
      EXPECT_EQ(value, c.value);
    } else {
      EXPECT_EQ(GetLastError(), c.error);
    }
  }
}

// ---- Target folders and source media -------------------------------------------------------------

TEST_F(Inf, TargetPaths) {
  HINF h = open(kHeader +
                "[DestinationDirs]\r\nDefaultDestDir=11\r\nD24=24,sub\\dir\r\nD24q=24,\"sub\\dir\\\"\r\n"
                "Dm1=-1,C:\\abs\r\nD66000=66000\r\nD66001=66001\r\nD66003=66003\r\nD23=23\r\nD10=10,\"probe\\sub\"\r\n"
                "Dname=24,%Dest%\r\nD99=99\r\n[Strings]\r\nDest=LANCOM\r\n");
  struct Case {
    const char* section;
    const char* path;
  };
  const Case cases[] = {
      {nullptr, "c:\\windows\\system32"},
      {"NotListed", "c:\\windows\\system32"},
      {"D24", "c:\\sub\\dir"},
      {"D24q", "c:\\sub\\dir"},
      {"Dm1", "c:\\abs"},
      {"D66000", "c:\\windows\\system32\\spool\\drivers\\x64"},
      {"D66001", "c:\\windows\\system32\\spool\\prtprocs\\x64"},
      {"D66003", "c:\\windows\\system32\\spool\\drivers\\color"},
      {"D23", "c:\\windows\\system32\\spool\\drivers\\color"},
      {"D10", "c:\\windows\\probe\\sub"},
      {"Dname", "c:\\lancom"},
      {"D99", "c:\\windows\\system32\\unknown"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.section ? c.section : "(null)");
    if (c.section && std::strcmp(c.section, "D24q") == 0) {
      KV_WINE_DEPARTS("a quoted subfolder keeps its trailing backslash") {
        EXPECT_EQ(lower(targetPath(h, c.section)), c.path);
      }
      continue;
    }
    EXPECT_EQ(lower(targetPath(h, c.section)), c.path);
  }
  char small[4];
  DWORD need = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupGetTargetPathA(h, nullptr, "Dname", small, sizeof small, &need));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(need, 10u);

  // Without DefaultDestDir an unlisted section goes to the system folder.
  HINF bare = open(kHeader + "[DestinationDirs]\r\nX=10\r\n");
  EXPECT_EQ(lower(targetPath(bare, "Other")), "c:\\windows\\system32");
}

TEST_F(Inf, SourceMedia) {
  HINF h = open(kHeader +
                "[SourceDisksNames]\r\n1=%Disk1%,tag1.cab\r\n2 = %SrcDiskName%, LANCOM\\LANtools\\lanconf.cab\r\n"
                "[SourceDisksFiles]\r\nlanconf.exe = 2\r\nother.dll=1\r\nlost.dll=9\r\n"
                "[Strings]\r\nSrcDiskName = \"LANCOM Software CD\"\r\nDisk1=First\r\n");
  UINT id = 0;
  char buf[MAX_PATH] = "x";
  DWORD need = 0;
  ASSERT_TRUE(SetupGetSourceFileLocationA(h, nullptr, "LANCONF.EXE", &id, buf, sizeof buf, &need));
  EXPECT_EQ(id, 2u);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(need, 1u);
  for (const char* missing : {"nothere.dll", "lost.dll"}) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupGetSourceFileLocationA(h, nullptr, missing, &id, buf, sizeof buf, &need)) << missing;
    EXPECT_EQ(GetLastError(), ERROR_LINE_NOT_FOUND) << missing;
  }
  struct Case {
    UINT what;
    const char* text;
  };
  for (const Case& c : {Case{SRCINFO_PATH, ""}, Case{SRCINFO_TAGFILE, "LANCOM\\LANtools\\lanconf.cab"},
                        Case{SRCINFO_DESCRIPTION, "LANCOM Software CD"}}) {
    ASSERT_TRUE(SetupGetSourceInfoA(h, 2, c.what, buf, sizeof buf, &need)) << c.what;
    EXPECT_STREQ(buf, c.text);
    EXPECT_EQ(need, std::strlen(c.text) + 1);
  }
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupGetSourceInfoA(h, 7, SRCINFO_DESCRIPTION, buf, sizeof buf, &need));
  EXPECT_EQ(GetLastError(), ERROR_LINE_NOT_FOUND);
}

TEST_F(Inf, AppendedFilesExtendSections) {
  const std::string layout =
      kvtest::writeFile(dir_, "layout.inf", kHeader + "[SourceDisksNames]\r\n5=LayoutDisk\r\n[SourceDisksFiles]\r\n"
                                                      "drv.dll=5\r\n[Shared]\r\nfromlayout=1\r\n");
  HINF h = open(kHeader + "LayoutFile=" + layout + "\r\n[Shared]\r\nfromparent=1\r\n");
  ASSERT_TRUE(SetupOpenAppendInfFileA(nullptr, h, nullptr));
  EXPECT_EQ(SetupGetLineCountA(h, "Shared"), 2);
  INFCONTEXT ctx;
  ASSERT_TRUE(SetupFindFirstLineA(h, "Shared", nullptr, &ctx));
  ASSERT_TRUE(SetupFindNextLine(&ctx, &ctx));
  std::string key;
  EXPECT_TRUE(field(&ctx, 0, &key));
  EXPECT_EQ(key, "fromlayout");
  UINT id = 0;
  EXPECT_TRUE(SetupGetSourceFileLocationA(h, nullptr, "drv.dll", &id, nullptr, 0, nullptr));
  EXPECT_EQ(id, 5u);

  HINF plain = open(kHeader + "[A]\r\nb=c\r\n");
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupOpenAppendInfFileA(nullptr, plain, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_LINE_NOT_FOUND);
}

// Each open handle has the file as it was when opened, however often the
// same file is asked for; a rewrite (here of the same size, at once) is seen
// by the next open.
TEST_F(Inf, EveryOpenSeesTheFileAsItIsThen) {
  const auto keyValue = [](HINF h) {
    char buf[64] = "";
    if (!SetupGetLineTextA(nullptr, h, "S", "k", buf, sizeof buf, nullptr)) return std::string("<none>");
    return std::string(buf);
  };
  HINF first = open(kHeader + "[S]\r\nk=one\r\n");
  const std::string path = dir_ + "\\test.inf";
  DWORD need = 0;
  EXPECT_TRUE(SetupGetInfInformationA(path.c_str(), INFINFO_INF_NAME_IS_ABSOLUTE, nullptr, 0, &need));
  HINF second = open(kHeader + "[S]\r\nk=two\r\n");
  HINF third = open(kHeader + "[S]\r\nk=two\r\n");
  EXPECT_EQ(keyValue(first), "one");
  EXPECT_EQ(keyValue(second), "two");
  SetupCloseInfFile(second);
  open_.erase(std::find(open_.begin(), open_.end(), second));
  EXPECT_EQ(keyValue(third), "two");

  // The same file appended to itself is searched twice, line by line.
  ASSERT_TRUE(SetupOpenAppendInfFileA(path.c_str(), third, nullptr));
  EXPECT_EQ(SetupGetLineCountA(third, "S"), 2);
  INFCONTEXT ctx;
  ASSERT_TRUE(SetupFindFirstLineA(third, "S", nullptr, &ctx));
  EXPECT_TRUE(SetupFindNextLine(&ctx, &ctx));
  EXPECT_FALSE(SetupFindNextLine(&ctx, &ctx));
  EXPECT_EQ(GetLastError(), ERROR_LINE_NOT_FOUND);
}

// ---- Real files and encodings -----------------------------------------------------------------------

// Every line of every section, as "section|key|text".
std::vector<std::string> dump(HINF h, const std::vector<std::string>& sections) {
  std::vector<std::string> out;
  for (const auto& s : sections) {
    INFCONTEXT ctx;
    bool more = SetupFindFirstLineA(h, s.c_str(), nullptr, &ctx);
    while (more) {
      char key[512] = "", text[MAX_INF_STRING_LENGTH] = "";
      SetupGetStringFieldA(&ctx, 0, key, sizeof key, nullptr);
      SetupGetLineTextA(&ctx, nullptr, nullptr, nullptr, text, sizeof text, nullptr);
      out.push_back(s + "|" + key + "|" + text);
      more = SetupFindNextLine(&ctx, &ctx);
    }
  }
  return out;
}

TEST_F(Inf, EncodingsAndLineEndsReadTheSame) {
  const std::vector<std::string> sections = {"Version", "Manufacturer", "Standard.NTamd64", "INSTALL_XDSMPL_FILTERS_VISTA",
                                             "DestinationDirs", "XPSDrvSample", "SourceDisksFiles", "Strings"};
  const std::string lf = kvtest::readFile(kvtest::dataPath("inf/xdsmpl.inf"));
  ASSERT_FALSE(lf.empty());
  std::string crlf, utf16 = "\xFF\xFE";
  for (char c : lf) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  for (char c : crlf) {
    utf16 += c;
    utf16 += '\0';
  }
  std::vector<std::vector<std::string>> dumps;
  for (const std::string& path : {kvtest::dataPath("inf/xdsmpl.inf"), kvtest::writeFile(dir_, "crlf.inf", crlf),
                                  kvtest::writeFile(dir_, "utf16.inf", utf16),
                                  kvtest::writeFile(dir_, "utf8.inf", "\xEF\xBB\xBF" + lf)}) {
    HINF h = SetupOpenInfFileA(path.c_str(), "Printer", INF_STYLE_WIN4, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    dumps.push_back(dump(h, sections));
    SetupCloseInfFile(h);
  }
  ASSERT_GT(dumps[0].size(), 30u);
  for (size_t i = 1; i < dumps.size(); ++i) EXPECT_EQ(dumps[0], dumps[i]) << "variant " << i;
  EXPECT_NE(std::find(dumps[0].begin(), dumps[0].end(), "Manufacturer|TODO-Set-Manufacturer|Standard,NTx86,NTia64,"
                                                         "NTamd64,NTx86.6.0,NTia64.6.0,NTamd64.6.0,NTarm64.6.0"),
            dumps[0].end());

  // The sample as its publisher re-encoded it (UTF-16LE, BOM, CRLF).
  HINF h = SetupOpenInfFileA(kvtest::dataPath("inf/xdsmpl-utf16.inf").c_str(), "Printer", INF_STYLE_WIN4, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  open_.push_back(h);
  char text[256] = "";
  EXPECT_TRUE(SetupGetLineTextA(nullptr, h, "Manufacturer", "TODO-Set-Manufacturer", text, sizeof text, nullptr));
  EXPECT_STREQ(text, "Standard,NTx86,NTamd64,NTx86.6.0,NTamd64.6.0,NTarm64.6.0");
  EXPECT_EQ(SetupGetLineCountA(h, "XPSDrvSample"), 13);
}

TEST_F(Inf, SampleDriverInf) {
  HINF h = SetupOpenInfFileA(kvtest::dataPath("inf/xdsmpl.inf").c_str(), nullptr, INF_STYLE_WIN4, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  open_.push_back(h);
  EXPECT_EQ(lower(targetPath(h, "COLORPROFILES")), "c:\\windows\\system32\\spool\\drivers\\color");
  EXPECT_EQ(lower(targetPath(h, "XPSDrvSample")), "c:\\windows\\system32\\spool\\drivers\\x64");
  UINT id = 0;
  char path[MAX_PATH] = "";
  ASSERT_TRUE(SetupGetSourceFileLocationA(h, nullptr, "xdwmark.dll", &id, path, sizeof path, nullptr));
  EXPECT_EQ(id, 2u);
  EXPECT_EQ(lower(path).find("amd64") != std::string::npos, true) << path;
  char desc[128] = "";
  ASSERT_TRUE(SetupGetSourceInfoA(h, 1, SRCINFO_DESCRIPTION, desc, sizeof desc, nullptr));
  EXPECT_STREQ(desc, "XPSDrv Sample Driver Location");
  EXPECT_EQ(SetupGetLineCountA(h, "XPSDrvSample"), 13);
}

// ---- OEM copies -------------------------------------------------------------------------------------

TEST_F(Inf, CopyOemInf) {
  const std::string source = write(kHeader + "Class=Printer\r\n[Marker]\r\nunique=" + dir_ + "\r\n", "kxdrv.inf");
  char dest[MAX_PATH] = "";
  DWORD need = 0;
  PSTR component = nullptr;
  SetLastError(0xdeadbeef);
  ASSERT_TRUE(SetupCopyOEMInfA(source.c_str(), nullptr, SPOST_PATH, 0, dest, sizeof dest, &need, &component));
  EXPECT_EQ(need, std::strlen(dest) + 1);
  ASSERT_NE(component, nullptr);
  EXPECT_EQ(lower(std::string(dest, static_cast<size_t>(component - dest))), "c:\\windows\\inf\\");
  KV_WINE_DEPARTS("the copy keeps the source's name instead of oem<N>.inf") {
    EXPECT_EQ(lower(component).rfind("oem", 0), 0u) << component;
  }
  HINF copy = SetupOpenInfFileA(dest, nullptr, INF_STYLE_WIN4, nullptr);
  EXPECT_NE(copy, INVALID_HANDLE_VALUE);
  SetupCloseInfFile(copy);

  // The same file again is found, not copied twice.
  char again[MAX_PATH] = "";
  ASSERT_TRUE(SetupCopyOEMInfA(source.c_str(), nullptr, SPOST_PATH, 0, again, sizeof again, nullptr, nullptr));
  EXPECT_STREQ(again, dest);
  std::memset(again, 0, sizeof again);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupCopyOEMInfA(source.c_str(), nullptr, SPOST_PATH, SP_COPY_NOOVERWRITE, again, sizeof again,
                                nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_STREQ(again, dest);

  char tiny[4] = "abc";
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupCopyOEMInfA(source.c_str(), nullptr, SPOST_PATH, 0, tiny, sizeof tiny, &need, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(need, std::strlen(dest) + 1);
  EXPECT_STREQ(tiny, "abc");

  struct Bad {
    const char* name;
    DWORD error;
  };
  for (const Bad& b : {Bad{"kxdrv.inf", ERROR_FILE_NOT_FOUND}, Bad{"", ERROR_FILE_NOT_FOUND},
                       Bad{nullptr, ERROR_INVALID_PARAMETER}}) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupCopyOEMInfA(b.name, nullptr, SPOST_PATH, 0, dest, sizeof dest, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), b.error) << (b.name ? b.name : "(null)");
  }
}

// The catalogue an INF names is installed with it: without it beside the
// INF there is no copy. The entry decorated for the platform comes first.
TEST_F(Inf, CopyOemInfNeedsTheCatalogueItNames) {
  const std::string marker = "[Marker]\r\nunique=cat-" + dir_ + "\r\n";
  const std::string source =
      write(kHeader + "Class=Printer\r\nCatalogFile=kxcat.cat\r\n" + marker, "kxcat.inf");
  const std::string decorated = write(
      kHeader + "Class=Printer\r\nCatalogFile=kxcat.cat\r\nCatalogFile.NTamd64=kxamd.cat\r\n" + marker + "x=1\r\n",
      "kxamd.inf");
  char dest[MAX_PATH] = "";
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupCopyOEMInfA(source.c_str(), nullptr, SPOST_PATH, 0, dest, sizeof dest, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  write("catalogue", "kxcat.cat");
  EXPECT_TRUE(SetupCopyOEMInfA(source.c_str(), nullptr, SPOST_PATH, 0, dest, sizeof dest, nullptr, nullptr))
      << GetLastError();
  // The x64 system takes the decorated entry, whose file is still missing.
  KV_WINE_DEPARTS("the INF copy looks for the undecorated CatalogFile entry only") {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupCopyOEMInfA(decorated.c_str(), nullptr, SPOST_PATH, 0, dest, sizeof dest, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  }
  write("catalogue", "kxamd.cat");
  EXPECT_TRUE(SetupCopyOEMInfA(decorated.c_str(), nullptr, SPOST_PATH, 0, dest, sizeof dest, nullptr, nullptr))
      << GetLastError();
}

// ---- Devices -------------------------------------------------------------------------------------------

TEST(SetupDi, PrinterClassEnumeration) {
  const GUID printer = {0x4D36E979, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
  HDEVINFO set = SetupDiGetClassDevsA(&printer, nullptr, nullptr, DIGCF_PRESENT);
  ASSERT_NE(set, INVALID_HANDLE_VALUE);
  SP_DEVINFO_DATA data;
  data.cbSize = sizeof data - 1;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
  data.cbSize = sizeof data;
  DWORD count = 0;
  while (SetupDiEnumDeviceInfo(set, count, &data)) ++count;
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
  EXPECT_EQ(count, 0u) << "a new machine has no printer devices";
  EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

}  // namespace

namespace {

// The program reaches the Setup API only by name, through GetProcAddress.
TEST(SetupApiBinding, EveryBoundFunctionResolves) {
  HMODULE module = LoadLibraryA("SetupApi.DLL");
  ASSERT_NE(module, nullptr);
  const char* const kBound[] = {
      "SetupOpenInfFileA", "SetupCloseInfFile", "SetupGetInfInformationA", "SetupOpenAppendInfFileA",
      "SetupPromptForDiskA", "SetupGetLineTextA", "SetupFindFirstLineA", "SetupGetStringFieldA",
      "SetupGetTargetPathA", "SetupCopyOEMInfA", "SetupOpenFileQueue", "SetupCloseFileQueue", "SetupQueueCopyA",
      "SetupCommitFileQueueA", "SetupDefaultQueueCallbackA", "SetupInitDefaultQueueCallback",
      "SetupTermDefaultQueueCallback", "SetupFindNextLine", "SetupGetSourceFileLocationA", "SetupGetSourceInfoA",
      "SetupInstallFromInfSectionA", "SetupDecompressOrCopyFileA", "SetupDiGetClassDevsA", "SetupDiEnumDeviceInfo",
      "SetupDiGetDeviceRegistryPropertyA", "SetupDiDestroyDeviceInfoList", "SetupGetFileCompressionInfoA",
      "SetupDiCallClassInstaller", "SetupDiSetClassInstallParamsA", "SetupDiGetDeviceInstanceIdA",
  };
  for (const char* name : kBound) EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
  using OpenFn = HINF(WINAPI*)(PCSTR, PCSTR, DWORD, PUINT);
  auto open = reinterpret_cast<OpenFn>(reinterpret_cast<void (*)()>(GetProcAddress(module, "SetupOpenInfFileA")));
  ASSERT_NE(open, nullptr);
  HINF h = open(kvtest::dataPath("inf/winxp.inf").c_str(), nullptr, INF_STYLE_WIN4, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  SetupCloseInfFile(h);
  FreeLibrary(module);
}

}  // namespace
