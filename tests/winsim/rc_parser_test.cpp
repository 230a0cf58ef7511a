// The resource script reader: the program's own script, the default styles
// of each control statement, expressions, and malformed scripts.
#include <gtest/gtest.h>

#include <windows.h>

#include "user32/rc_parser.h"
#include "user32/resources.h"

namespace {

using winsim::rc::Script;

std::optional<std::string> noIncludes(const std::string&) { return std::nullopt; }

Script parseOk(const std::string& text) {
  Script s;
  std::string error;
  EXPECT_TRUE(winsim::rc::parse(text, "t.rc", noIncludes, &s, &error)) << error;
  return s;
}

std::string parseError(const std::string& text) {
  Script s;
  std::string error;
  EXPECT_FALSE(winsim::rc::parse(text, "t.rc", noIncludes, &s, &error)) << text;
  return error;
}

const winsim::rc::Control* control(const winsim::rc::Dialog& d, int id) {
  for (const auto& c : d.controls)
    if (c.id == id) return &c;
  return nullptr;
}

// Every page of the program: dialog ids and the control ids the pages use.
TEST(RcParser, ProgramScriptHasEveryPage) {
  std::string error;
  const winsim::ModuleResources* m = winsim::moduleResources(nullptr, &error);
  ASSERT_NE(m, nullptr) << error;
  const struct {
    int dialog;
    std::vector<int> controls;
  } kPages[] = {
      {1000, {1, 2, 1001, 1003, 1004, 1012, 50, 51, 1002, 1006, 1047, 1300, 1301}},
      {133, {1, 2, 1007, 1008, 1011, 1012, 1014, 1042}},
      {134, {1, 2, 1001, 1016}},
      {149, {1, 2, 1029, 1012}},
      {136, {1, 2, 1035, 1036, 1037, 1039}},
      {144, {1, 2, 1012, 1003, 1022, 1035}},
      {145, {1, 2, 1013, 1016, 1017, 1018, 1019, 1020, 1021, 1002, 1003, 1031, 1032, 1033, 1034, 1038}},
      {146, {1, 2, 1030}},
      {139, {1, 1091, 1092}},
      {140, {1, 2, 1015, 1041}},
      {147, {1, 2, 1012, 1002, 1003, 1023, 1024, 1025}},
      {1001, {1, 2, 1002, 1003, 1004, 1023, 1043, 1046}},
      {135, {1, 2, 1001, 1008, 1003, 1004, 1009, 1018}},
  };
  for (const auto& page : kPages) {
    SCOPED_TRACE("dialog " + std::to_string(page.dialog));
    const winsim::rc::Dialog* d = m->script.findDialog(winsim::rc::ResId{true, static_cast<DWORD>(page.dialog), ""});
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->fontName, "MS Shell Dlg");
    for (int id : page.controls) EXPECT_NE(control(*d, id), nullptr) << "control " << id;
  }
  // The pictures and the animation the pages load by number.
  const struct {
    int id;
    LPCSTR type;
  } kResources[] = {{10550, RT_BITMAP}, {162, RT_BITMAP}, {158, RT_BITMAP}, {159, RT_BITMAP},
                    {141, RT_GROUP_ICON}, {143, RT_GROUP_ICON}, {163, RT_GROUP_ICON}, {164, RT_GROUP_ICON},
                    {150, RT_GROUP_ICON}, {157, "AVI"}};
  for (const auto& r : kResources)
    EXPECT_NE(FindResourceA(nullptr, MAKEINTRESOURCEA(r.id), r.type), nullptr) << r.id;
}

// The pages as laid out: every shown control inside its page, and no two
// shown controls covering each other, apart from the header band, which
// carries the title, the subtitle and the picture, and a group box around
// its choices. Texts that grow with a language grow into room of their own.
TEST(RcParser, ProgramPagesKeepTheirControlsApart) {
  std::string error;
  const winsim::ModuleResources* m = winsim::moduleResources(nullptr, &error);
  ASSERT_NE(m, nullptr) << error;
  for (const winsim::rc::Dialog& d : m->script.dialogs) {
    SCOPED_TRACE("dialog " + d.id.toString());
    std::vector<const winsim::rc::Control*> shown;
    for (const auto& c : d.controls) {
      if (!(c.style & WS_VISIBLE)) continue;
      EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.x + c.cx <= d.cx && c.y + c.cy <= d.cy)
          << "control " << c.id << " (line " << c.line << ") runs past the page";
      shown.push_back(&c);
    }
    const int headerBottom = [&] {
      for (const auto* c : shown)
        if (c->id == 1006) return c->y + c->cy;
      return 0;
    }();
    auto inside = [](const winsim::rc::Control& outer, const winsim::rc::Control& inner) {
      return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.cx <= outer.x + outer.cx &&
             inner.y + inner.cy <= outer.y + outer.cy;
    };
    for (size_t i = 0; i < shown.size(); ++i) {
      for (size_t j = i + 1; j < shown.size(); ++j) {
        const auto& a = *shown[i];
        const auto& b = *shown[j];
        if (a.y + a.cy <= headerBottom && b.y + b.cy <= headerBottom) continue;
        if ((a.statement == "GROUPBOX" && inside(a, b)) || (b.statement == "GROUPBOX" && inside(b, a))) continue;
        const bool overlap = a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
        EXPECT_FALSE(overlap) << "controls " << a.id << " (line " << a.line << ") and " << b.id << " (line "
                              << b.line << ") cover each other";
      }
    }
  }
}

// A power page draws its picture at the full width of its control and as
// high as that makes it: the control must be high enough for every dialog
// font the pages meet (horizontal and vertical base units: Tahoma 8 pt and
// the Japanese dialog fonts).
TEST(RcParser, PowerPicturesFitTheirControls) {
  std::string error;
  const winsim::ModuleResources* m = winsim::moduleResources(nullptr, &error);
  ASSERT_NE(m, nullptr) << error;
  const struct {
    int dialog, control, bitmap;
  } kPictures[] = {{144, 1022, 158}, {145, 1013, 159}};
  const struct {
    int x, y;
  } kBaseUnits[] = {{6, 13}, {7, 13}, {7, 12}, {6, 12}};
  for (const auto& p : kPictures) {
    SCOPED_TRACE("dialog " + std::to_string(p.dialog));
    const winsim::rc::Dialog* d = m->script.findDialog(winsim::rc::ResId{true, static_cast<DWORD>(p.dialog), ""});
    ASSERT_NE(d, nullptr);
    const winsim::rc::Control* c = control(*d, p.control);
    ASSERT_NE(c, nullptr);
    HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(p.bitmap), RT_BITMAP);
    ASSERT_NE(info, nullptr);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, info)));
    ASSERT_NE(header, nullptr);
    ASSERT_GT(header->biWidth, 0);
    EXPECT_EQ(header->biBitCount, 8) << "the page gives the picture's palette entry 46 the page's colour";
    for (const auto& u : kBaseUnits) {
      const int width = c->cx * u.x / 4, height = c->cy * u.y / 8;
      const int drawn = static_cast<int>(header->biHeight) * (width * 100 / header->biWidth) / 100;
      EXPECT_LE(drawn, height) << "base units " << u.x << "x" << u.y;
    }
  }
}

TEST(RcParser, StatementDefaultsAndStyleExpressions) {
  Script s = parseOk(R"(
#define IDC_A 10
#define IDC_B (IDC_A + 1)
#define STYLE_X WS_TABSTOP | WS_GROUP
5 DIALOGEX 1, 2, 100, 50
STYLE DS_MODALFRAME | WS_POPUP
CAPTION "Cap ""quoted"""
FONT 8, "MS Shell Dlg"
BEGIN
  LTEXT "text", IDC_A, 1, 2, 3, 4
  DEFPUSHBUTTON "OK", IDOK, 1, 2, 3, 4, NOT WS_TABSTOP | WS_DISABLED
  AUTORADIOBUTTON "r", IDC_B, 1, 2, 3, 4, STYLE_X
  EDITTEXT 12, 1, 2, 3, 4, ES_MULTILINE | NOT WS_VISIBLE
  CONTROL "", 13, "SysListView32", LVS_REPORT, 5, 6, 7, 8, WS_EX_CLIENTEDGE
  CONTROL 0x2A, 14, STATIC, SS_BITMAP, 0, 0, 0, 0
  ICON 150, 15, 1, 1
  LISTBOX 16, 0, 0, 10, 10
  LTEXT "minus", -1, -5, 0, 1, 1
END
)");
  ASSERT_EQ(s.dialogs.size(), 1u);
  const auto& d = s.dialogs[0];
  EXPECT_EQ(d.caption, "Cap \"quoted\"");
  EXPECT_EQ(d.style, static_cast<DWORD>(DS_MODALFRAME | WS_POPUP | WS_CAPTION | DS_SETFONT));
  const DWORD childVisible = WS_CHILD | WS_VISIBLE;
  const struct {
    int id;
    const char* className;
    DWORD style;
  } kRows[] = {
      {10, "Static", childVisible | SS_LEFT | WS_GROUP},
      {1, "Button", childVisible | BS_DEFPUSHBUTTON | WS_DISABLED},
      {11, "Button", childVisible | BS_AUTORADIOBUTTON | WS_TABSTOP | WS_GROUP},
      {12, "Edit", WS_CHILD | ES_MULTILINE | WS_BORDER | WS_TABSTOP},
      {13, "SysListView32", childVisible | 1},
      {14, "Static", childVisible | SS_BITMAP},
      {15, "Static", childVisible | SS_ICON},
      {16, "ListBox", childVisible | LBS_NOTIFY | WS_BORDER},
      {-1, "Static", childVisible | SS_LEFT | WS_GROUP},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.id);
    const auto* c = control(d, row.id);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->className, row.className);
    EXPECT_EQ(c->style, row.style);
  }
  EXPECT_EQ(control(d, 13)->exStyle, static_cast<DWORD>(WS_EX_CLIENTEDGE));
  ASSERT_TRUE(control(d, 14)->textId.has_value());
  EXPECT_EQ(control(d, 14)->textId->number, 42u);
  EXPECT_EQ(control(d, -1)->x, -5);
  EXPECT_EQ(s.defines.at("IDC_B"), 11);
}

TEST(RcParser, PreprocessorAndFileResources) {
  Script s;
  std::string error;
  auto resolver = [](const std::string& name) -> std::optional<std::string> {
    if (name == "ids.h") return std::string("#ifndef IDS_H\n#define IDS_H\n#define IDB_X 7 // seven\n#endif\n");
    return std::nullopt;
  };
  ASSERT_TRUE(winsim::rc::parse("#include <windows.h>\n#include \"ids.h\"\n#include \"ids.h\"\n"
                                "#ifdef NOPE\nthis is not read\n#else\nIDB_X BITMAP \"x.bmp\"\n#endif\n"
                                "/* a\n comment */ NAMED AVI DISCARDABLE \"y.avi\"\n"
                                "1 TEXTINCLUDE BEGIN \"resource.h\\0\" END\n"
                                "STRINGTABLE BEGIN 3, \"three\" END\n",
                                "t.rc", resolver, &s, &error))
      << error;
  ASSERT_EQ(s.files.size(), 2u);
  EXPECT_EQ(s.files[0].id.number, 7u);
  EXPECT_EQ(s.files[0].type.number, 2u);
  EXPECT_FALSE(s.files[1].id.isNumber);
  EXPECT_EQ(s.files[1].id.name, "NAMED");
  EXPECT_EQ(s.files[1].type.name, "AVI");
  EXPECT_EQ(s.strings.at(3), "three");
}

TEST(RcParser, MalformedScriptsNameTheLine) {
  const struct {
    const char* text;
    const char* expected;
  } kRows[] = {
      {"1 DIALOGEX 0, 0, 10\nBEGIN\nEND\n", "t.rc:1: expected ','"},
      {"1 DIALOGEX 0,0,1,1\nBEGIN\n  LTEXT \"x\", 1, 2, 3\nEND\n", "t.rc:3: expected ','"},
      {"1 DIALOGEX 0,0,1,1\nBEGIN\n  FOO 1\nEND\n", "t.rc:3: unknown control statement 'FOO'"},
      {"1 DIALOGEX 0,0,1,1\nBEGIN\n  LTEXT \"x\", UNKNOWN_ID, 1, 2, 3, 4\nEND\n", "t.rc:3: unknown name 'UNKNOWN_ID'"},
      {"1 DIALOGEX 0,0,1,1\nBEGIN\n  LTEXT \"open, 1, 2, 3, 4, 5\nEND\n", "t.rc:3: string not closed"},
      {"1 DIALOGEX 0,0,1,1\nBEGIN\n  LTEXT \"x\", 1, 1, 1, 1, 1\n", "t.rc:3: dialog 1 has no END"},
      {"1 DIALOGEX 0,0,1,1\nSTYLE WS_POPUP\nBOGUS 3\nBEGIN\nEND\n", "t.rc:3: unknown dialog statement 'BOGUS'"},
      {"1 DIALOGEX 0,0,1,1\nBEGIN\nEND\n1 DIALOGEX 0,0,1,1\nBEGIN\nEND\n", "t.rc:4: dialog 1 defined twice"},
      {"70000 DIALOGEX 0,0,1,1\nBEGIN\nEND\n", "t.rc:1: resource id out of range"},
      {"1 DIALOGEX 0,0,1,99999999999999999999\n", "t.rc:1: number too large"},
      {"1 DIALOGEX 0,0,1,12abc\n", "t.rc:1: bad number"},
      {"#ifdef X\n", "t.rc:1: #if without #endif"},
      {"#endif\n", "t.rc:1: #endif without #if"},
      {"#include \"missing.h\"\n", "t.rc:1: cannot open include file \"missing.h\""},
      {"#frobnicate\n", "t.rc:1: unknown directive #frobnicate"},
      {"/* never closed\n\n", "t.rc:1: comment not closed"},
      {"1 BITMAP\n", "t.rc:1: expected the file name of 1"},
      {"1 DIALOGEX 0,0,1,1 BEGIN LTEXT \"a\" @ END", "t.rc:1: unexpected character '@'"},
      {"1 DIALOGEX 0,0,1,((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((1", "nested too deeply"},
  };
  for (const auto& row : kRows) {
    std::string error = parseError(row.text);
    EXPECT_NE(error.find(row.expected), std::string::npos) << row.text << "\n gave: " << error;
  }
}

TEST(RcParser, IncludesThatIncludeThemselvesStop) {
  auto resolver = [](const std::string&) -> std::optional<std::string> {
    return std::string(10, ' ') + "#include \"self.h\"\n#include \"self.h\"\n#include \"self.h\"\n";
  };
  Script s;
  std::string error;
  EXPECT_FALSE(winsim::rc::parse("#include \"self.h\"\n", "t.rc", resolver, &s, &error));
  EXPECT_NE(error.find("self.h:1: #include nested too deeply"), std::string::npos) << error;
  auto wide = [](const std::string&) -> std::optional<std::string> { return std::string("#define X 1\n"); };
  std::string many;
  for (int i = 0; i < 100; ++i) many += "#include \"x.h\"\n";
  EXPECT_FALSE(winsim::rc::parse(many, "t.rc", wide, &s, &error));
  EXPECT_NE(error.find("t.rc:65: too many #include lines"), std::string::npos) << error;
}

TEST(RcParser, SelfReferentialDefinesDoNotLoop) {
  std::string error = parseError("#define A B\n#define B A\n1 DIALOGEX 0,0,1,1\nBEGIN\n LTEXT \"\", A, 0,0,1,1\nEND\n");
  EXPECT_NE(error.find("t.rc:5: unknown name 'A'"), std::string::npos) << error;
}

// The reader's table of system constants must agree with the headers the
// pages compile against.
TEST(RcParser, BuiltinConstantsMatchTheHeaders) {
  const struct {
    const char* name;
    long long value;
  } kRows[] = {{"WS_VISIBLE", WS_VISIBLE},       {"WS_DISABLED", WS_DISABLED},     {"DS_SETFONT", DS_SETFONT},
               {"SS_BITMAP", SS_BITMAP},         {"SS_ETCHEDHORZ", SS_ETCHEDHORZ}, {"BS_AUTORADIOBUTTON", BS_AUTORADIOBUTTON},
               {"BS_OWNERDRAW", BS_OWNERDRAW},   {"ES_READONLY", ES_READONLY},     {"LBS_SORT", LBS_SORT},
               {"LBS_HASSTRINGS", LBS_HASSTRINGS}, {"IDCANCEL", IDCANCEL},         {"WS_EX_APPWINDOW", WS_EX_APPWINDOW}};
  for (const auto& row : kRows) {
    Script s = parseOk(std::string("#define X ") + row.name + "\n");
    EXPECT_EQ(s.defines.at("X"), row.value) << row.name;
  }
}

}  // namespace
