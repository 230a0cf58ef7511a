// winsim: a reader of resource scripts (.rc), the subset the program's
// dialogs use.
//
// The native build has no resource compiler: the dialog manager reads the same
// script the Windows build compiles and builds each dialog from it at run
// time. The reader understands
//   - the preprocessor lines #define NAME value, #include "file" (through a
//     resolver), #include <...> (system headers: their constants are built
//     in), #ifdef/#ifndef/#else/#endif, #undef, #pragma (ignored);
//   - DIALOGEX / DIALOG with STYLE, EXSTYLE, CAPTION, FONT, MENU, CLASS;
//   - the controls CONTROL, LTEXT, RTEXT, CTEXT, PUSHBUTTON, DEFPUSHBUTTON,
//     GROUPBOX, EDITTEXT, LISTBOX, COMBOBOX, AUTORADIOBUTTON, RADIOBUTTON,
//     AUTOCHECKBOX, CHECKBOX, STATE3, AUTO3STATE, ICON, each with the default
//     styles the resource compiler gives it;
//   - resources stored in files (ICON, BITMAP, RCDATA, AVI or any other type
//     name followed by a file name), STRINGTABLE, LANGUAGE;
//   - numeric expressions of numbers, names, |, +, -, ~, NOT and parentheses.
// Anything else is an error that names the file and line. Every read is
// bounds-checked: the input is untrusted text.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

namespace winsim::rc {

// A resource or control name: a number, or a name when the script uses an
// identifier that no #define gives a value.
struct ResId {
  bool isNumber = true;
  DWORD number = 0;
  std::string name;  // upper case when not a number

  bool operator==(const ResId&) const = default;
  std::string toString() const;
};

struct Control {
  std::string statement;  // "LTEXT", "CONTROL", ...
  std::string text;       // the control's text (empty when textId is set)
  std::optional<ResId> textId;  // "CONTROL 10550, ..." names a picture or icon
  int id = 0;
  std::string className;  // "Static", "Button", "SysListView32", ...
  DWORD style = 0;
  DWORD exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  int line = 0;
};

struct Dialog {
  ResId id;
  bool extended = true;  // DIALOGEX
  int x = 0, y = 0, cx = 0, cy = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string caption;
  std::string fontName;
  int fontSize = 0;
  std::string menu;
  std::string className;
  std::vector<Control> controls;
  std::string file;
  int line = 0;
};

// A resource whose bytes are in a file: ICON, BITMAP, RCDATA, AVI, ...
struct FileResource {
  ResId id;
  ResId type;  // a number for the standard types (RT_BITMAP 2, ...), else the name
  std::string fileName;
  int line = 0;
};

// A VERSIONINFO block: the fixed values, the string tables and the
// translations.
struct VersionInfo {
  bool present = false;
  DWORD fileVersionMS = 0, fileVersionLS = 0, productVersionMS = 0, productVersionLS = 0;
  DWORD fileFlagsMask = 0, fileFlags = 0, fileOS = 0, fileType = 0, fileSubtype = 0;
  struct Table {
    std::string key;  // "040904b0"
    std::vector<std::pair<std::string, std::string>> values;
  };
  std::vector<Table> tables;
  std::vector<WORD> translations;  // language, code page, ...
};

struct Script {
  std::map<std::string, long long> defines;  // the #defines that have a numeric value
  std::vector<Dialog> dialogs;
  std::vector<FileResource> files;
  std::map<DWORD, std::string> strings;  // STRINGTABLE
  VersionInfo version;                   // the first VERSIONINFO

  const Dialog* findDialog(const ResId& id) const;
};

// Gives the text of an #include "name"; nothing when it does not exist.
using IncludeResolver = std::function<std::optional<std::string>(const std::string& name)>;

// Parses a script. On failure returns false and sets *error to
// "<file>:<line>: <what is wrong>"; *out is then left unchanged.
bool parse(std::string_view text, const std::string& fileName, const IncludeResolver& resolver, Script* out,
           std::string* error);

// The VS_VERSIONINFO block of a VERSIONINFO, as the resource compiler
// stores it (UTF-16 keys and texts, 32-bit alignment).
std::string encodeVersionInfo(const VersionInfo& version);

// The number of a standard resource type name ("BITMAP" -> 2), or 0.
DWORD standardTypeNumber(std::string_view typeName);

}  // namespace winsim::rc
