// The transcript formatter both builds' renderers share: a page as it
// opens, as it is left, and a message box, written line for line.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "user32/ui_format.h"

namespace {

using winsim::ui::BoxView;
using winsim::ui::ControlKind;
using winsim::ui::ControlView;
using winsim::ui::DialogView;

ControlView control(int id, ControlKind kind, const std::string& text = "") {
  ControlView c;
  c.id = id;
  c.kind = kind;
  c.text = text;
  return c;
}

DialogView installationPage() {
  DialogView v;
  v.dialogId = "136";
  v.caption = "Setup";
  ControlView guide = control(1001, ControlKind::Label, "Copying files...");
  ControlView bar = control(1002, ControlKind::Progress);
  bar.high = 100;
  bar.pos = 20;
  ControlView next = control(1, ControlKind::PushButton, "Next");
  next.isDefault = true;
  next.enabled = false;
  v.controls = {guide, control(1003, ControlKind::Picture), bar, next};
  return v;
}

TEST(UiFormat, APageAsItOpensAndAsItIsLeft) {
  const DialogView opened = installationPage();
  EXPECT_EQ(winsim::ui::describeDialog(opened),
            "== page 136 \"Setup\"\n"
            "  1001 text: Copying files...\n"
            "  1002 progress [####----------------]  20%\n"
            "  1 button \"Next\" (default) (disabled)\n");
  // Left by itself at 60%: only what changed is written. The same control
  // read through another window handle (another process's view of it) is
  // the same control.
  DialogView left = opened;
  left.controls[2].pos = 60;
  for (ControlView& c : left.controls) c.hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x100 + c.id));
  left.controls[3].visible = false;
  EXPECT_EQ(winsim::ui::describeClose(opened, left, winsim::ui::resultName(1), {}),
            "-- page 136 left with 1 (IDOK)\n"
            "  1002 progress [############--------]  60%\n"
            "  1 hidden\n");
  EXPECT_EQ(winsim::ui::describeClose(opened, opened, winsim::ui::resultName(2), {"wait 5", "cancel"}),
            "-- page 136 left with 2 (IDCANCEL) after: wait 5; cancel\n");
}

TEST(UiFormat, AMessageBoxWithItsStyleAndButtons) {
  BoxView box;
  box.caption = "Setup";
  box.text = "Set as default printer?\nIt can be changed later.";
  box.style = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;
  box.buttons = {IDYES, IDNO};
  box.defaultButton = IDNO;
  box.messageIds = {"IDS_MSG_DEFUALT_PRINTER"};
  EXPECT_EQ(winsim::ui::describeBox(box),
            "== msgbox \"Setup\" MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 (0x124) [IDS_MSG_DEFUALT_PRINTER]\n"
            "  | Set as default printer?\n"
            "  | It can be changed later.\n"
            "  buttons: yes no*\n");
}

TEST(UiFormat, ATableWithCheckBoxesLinesUpItsColumns) {
  DialogView v;
  v.dialogId = "1001";
  ControlView table = control(1046, ControlKind::ListView);
  table.columns = {"Printer", "Port"};
  table.rows = {{"KV LaserPro 5000", "USB001"}, {"Fax", "LPT1:"}};
  table.selected = {true, false};
  table.checkStates = {2, 1};
  v.controls = {table};
  EXPECT_EQ(winsim::ui::describeDialog(v),
            "== page 1001 \"\"\n"
            "  1046 table:\n"
            "        Printer           Port\n"
            "      > [x] KV LaserPro 5000  USB001\n"
            "        [ ] Fax               LPT1:\n");
}

}  // namespace
