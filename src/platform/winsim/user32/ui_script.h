// winsim: the UI script language that answers pages and message boxes in
// tests and unattended runs (docs/ui-script.md describes it for users).
//
//   # comment
//   page 133: check 1012; ok
//   page IDD_LICENSE: click IDC_RADIO_AGREE; next
//   msgbox IDS_MSG_DEFUALT_PRINTER: yes
//   msgbox "was not found": ok
//   wait 5
//
// This file holds the statements and their parser; the renderer that runs
// them is ui_script_renderer.cpp.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace winsim::ui {

// A dialog or control named in a script: a number, or a name of the
// program's resource.h that is looked up when the statement runs.
struct ScriptId {
  std::optional<long> number;
  std::string name;
  std::string toString() const { return number ? std::to_string(*number) : name; }
};

enum class ActionKind { Click, Check, Uncheck, Select, Text, Ok, Cancel, Back, Wait };

struct Action {
  ActionKind kind = ActionKind::Ok;
  ScriptId control;            // click, check, uncheck, select, text
  std::optional<long> index;   // select by position
  std::string text;            // select by text, text value
  double seconds = 0;          // wait
  std::string source;          // the action as written, for messages
};

enum class StatementKind { Page, MsgBox, Wait };

struct Statement {
  StatementKind kind = StatementKind::Wait;
  int line = 0;
  ScriptId dialog;              // page
  std::vector<Action> actions;  // page
  std::string match;            // msgbox: catalogue id or text; "*" any box
  bool matchQuoted = false;     // msgbox: the match was quoted, so it is text only
  int answer = 0;               // msgbox: IDOK, IDYES, ...
  double seconds = 0;           // wait
  std::string source;           // the line as written
};

// Parses a whole script. On failure returns false and sets *error to
// "<file>:<line>: <what is wrong>".
bool parseScript(std::string_view text, const std::string& fileName, std::vector<Statement>* out, std::string* error);

// Parses one action ("check 1012"), as the terminal renderer accepts them too.
bool parseAction(std::string_view text, Action* out, std::string* error);

// The answer words and their button ids: "yes" -> IDYES, ...
int answerId(std::string_view word);
const char* answerWord(int id);
// How a statement names what it expects ("page 145", "msgbox IDS_..."), for
// the message of a run that ended with statements left.
std::string describeStatement(const Statement& st);

// Longest wait a script may ask for, in machine seconds (a day).
inline constexpr double kMaxWaitSeconds = 86400;

}  // namespace winsim::ui
