// The UI script language: what each statement and action means, and the
// errors a wrong line gives.
#include <gtest/gtest.h>

#include <windows.h>

#include "user32/ui_script.h"

namespace {

using winsim::ui::ActionKind;
using winsim::ui::Statement;
using winsim::ui::StatementKind;

std::vector<Statement> parseOk(const std::string& text) {
  std::vector<Statement> out;
  std::string error;
  EXPECT_TRUE(winsim::ui::parseScript(text, "s.txt", &out, &error)) << error;
  return out;
}

TEST(UiScript, StatementsAndActions) {
  auto st = parseOk(
      "# a comment\n"
      "\n"
      "page 133: check 1012; ok   # trailing comment\n"
      "page IDD_LICENSE: click IDC_RADIO_AGREE ; next\n"
      "page 0x8C: select 1015 \"Model #2\"; select 1015 0; text 1001 \"a \\\"b\\\"\"; back; cancel; wait 1.5\n"
      "page 136\n"
      "msgbox IDS_MSG_DEFUALT_PRINTER: YES\n"
      "msgbox \"a: b\": retry\n"
      "msgbox was not found: ok\n"
      "wait 5\n");
  ASSERT_EQ(st.size(), 8u);
  EXPECT_EQ(st[0].kind, StatementKind::Page);
  EXPECT_EQ(st[0].line, 3);
  EXPECT_EQ(*st[0].dialog.number, 133);
  ASSERT_EQ(st[0].actions.size(), 2u);
  EXPECT_EQ(st[0].actions[0].kind, ActionKind::Check);
  EXPECT_EQ(*st[0].actions[0].control.number, 1012);
  EXPECT_EQ(st[0].actions[0].source, "check 1012");
  EXPECT_EQ(st[0].actions[1].kind, ActionKind::Ok);

  EXPECT_EQ(st[1].dialog.name, "IDD_LICENSE");
  EXPECT_EQ(st[1].actions[0].control.name, "IDC_RADIO_AGREE");
  EXPECT_EQ(st[1].actions[1].kind, ActionKind::Ok);

  EXPECT_EQ(*st[2].dialog.number, 140);
  ASSERT_EQ(st[2].actions.size(), 6u);
  EXPECT_EQ(st[2].actions[0].text, "Model #2");  // a quoted '#' is no comment
  EXPECT_FALSE(st[2].actions[0].index);
  EXPECT_EQ(*st[2].actions[1].index, 0);
  EXPECT_EQ(st[2].actions[2].text, "a \"b\"");
  EXPECT_EQ(st[2].actions[3].kind, ActionKind::Back);
  EXPECT_EQ(st[2].actions[4].kind, ActionKind::Cancel);
  EXPECT_DOUBLE_EQ(st[2].actions[5].seconds, 1.5);

  EXPECT_TRUE(st[3].actions.empty());

  EXPECT_EQ(st[4].kind, StatementKind::MsgBox);
  EXPECT_EQ(st[4].match, "IDS_MSG_DEFUALT_PRINTER");
  EXPECT_EQ(st[4].answer, IDYES);
  EXPECT_EQ(st[5].match, "a: b");
  EXPECT_TRUE(st[5].matchQuoted);
  EXPECT_EQ(st[5].answer, IDRETRY);
  EXPECT_EQ(st[6].match, "was not found");
  EXPECT_EQ(st[7].kind, StatementKind::Wait);
  EXPECT_DOUBLE_EQ(st[7].seconds, 5);
}

TEST(UiScript, ErrorsNameTheLine) {
  const struct {
    const char* text;
    const char* error;
  } kRows[] = {
      {"pgae 133\n", "s.txt:1: unknown statement 'pgae' (page, msgbox, wait)"},
      {"\npage\n", "s.txt:2: 'page' needs a dialog id"},
      {"page 133 ok\n", "s.txt:1: expected ':' after the dialog id"},
      {"page 133: clik 5\n", "s.txt:1: unknown action 'clik'"},
      {"page 133: check\n", "s.txt:1: 'check' needs a control id"},
      {"page 133: ok;\n", "s.txt:1: an action must follow ';'"},
      {"page 133: ok ok\n", "s.txt:1: unexpected 'ok' after 'ok'"},
      {"page 133: select 1015\n", "s.txt:1: 'select' needs a line number or a \"text\""},
      {"page 133: select 1015 -1\n", "s.txt:1: 'select' needs a line number of 0 or more"},
      {"page 133: text 1001 abc\n", "s.txt:1: 'text' needs a \"quoted value\""},
      {"page 133: text 1001 \"open\n", "s.txt:1: 'text' needs a \"quoted value\""},
      {"page 133: wait -1\n", "s.txt:1: 'wait' needs a number of seconds (0 to 86400)"},
      {"wait 100000\n", "s.txt:1: 'wait' needs a number of seconds (0 to 86400)"},
      {"wait 1 2\n", "s.txt:1: unexpected text after 'wait'"},
      {"msgbox IDS_X\n", "s.txt:1: expected ':' and an answer"},
      {"msgbox : yes\n", "s.txt:1: 'msgbox' needs an id or a text to look for"},
      {"msgbox IDS_X: maybe\n", "s.txt:1: unknown answer 'maybe'"},
      {"msgbox \"\": ok\n", "s.txt:1: 'msgbox' needs a text to look for"},
      {"msgbox IDS_X: yes no\n", "s.txt:1: unexpected text after the answer"},
  };
  for (const auto& row : kRows) {
    std::vector<Statement> out;
    std::string error;
    EXPECT_FALSE(winsim::ui::parseScript(row.text, "s.txt", &out, &error)) << row.text;
    EXPECT_NE(error.find(row.error), std::string::npos) << row.text << " gave: " << error;
  }
}

TEST(UiScript, SingleActionsOfTheTerminal) {
  winsim::ui::Action a;
  std::string error;
  EXPECT_TRUE(winsim::ui::parseAction("  uncheck 1011 ", &a, &error)) << error;
  EXPECT_EQ(a.kind, ActionKind::Uncheck);
  EXPECT_EQ(a.source, "uncheck 1011");
  EXPECT_FALSE(winsim::ui::parseAction("ok; cancel", &a, &error));
  EXPECT_EQ(error, "one action expected");
  EXPECT_FALSE(winsim::ui::parseAction("", &a, &error));
  EXPECT_EQ(error, "empty action");
}

}  // namespace
