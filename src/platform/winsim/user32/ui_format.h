// The transcript's text for a dialog, its controls and a message box, from
// what a renderer sees of them. One formatter for every renderer: winsim's
// (the terminal, the UI script) and kvdrive's, which reads the Windows
// build's real dialogs under Wine, so that the two builds' transcripts
// compare line by line. Plain data in, text out: it compiles in both builds.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winsim::ui {

// What a control is, for the renderers.
enum class ControlKind {
  Label,       // static text
  Decoration,  // frames, rectangles, etched lines, empty statics
  Picture,     // bitmap or icon static
  PushButton,
  CheckBox,
  RadioButton,
  GroupBox,
  OwnerDrawButton,
  Edit,
  ListBox,
  ComboBox,
  ListView,
  Progress,
  Animation,
  Other,
};

struct ControlView {
  HWND hwnd = nullptr;
  int id = 0;
  ControlKind kind = ControlKind::Other;
  std::string text;
  bool visible = true;
  bool enabled = true;
  bool isDefault = false;  // the default push button
  UINT check = 0;          // check boxes and radio buttons
  bool readOnly = false;   // edits
  bool multiline = false;  // edits
  std::vector<std::string> lines;             // list and combo boxes
  std::vector<bool> selected;                 // list and combo boxes, list views: per line
  std::vector<std::string> columns;           // list views
  std::vector<std::vector<std::string>> rows;  // list views
  std::vector<int> checkStates;               // list views with check boxes: 0 none, 1 off, 2 on
  int low = 0, high = 0, pos = 0;             // progress bars
  bool playing = false;                       // animations

  bool operator==(const ControlView&) const = default;
};

struct DialogView {
  HWND hwnd = nullptr;
  std::string dialogId;  // the template's number or name
  std::string caption;
  std::vector<ControlView> controls;  // in template order

  const ControlView* find(int id) const;
};

struct BoxView {
  std::string caption;
  std::string text;
  UINT style = 0;
  std::vector<int> buttons;  // IDOK, IDYES, ... in the order they are shown
  int defaultButton = IDOK;
  std::vector<std::string> messageIds;  // catalogue ids whose text the box shows
};

// "MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 (0x124)".
std::string styleName(UINT style);
const char* buttonLabel(int id);         // "Yes", "Cancel", ...
std::string resultName(INT_PTR result);  // "1 (IDOK)"

// Text of the transcript for a dialog and a box (lines starting with two
// blanks). `number`, when given, numbers each control a person can use and
// gives the number (or 0); the terminal renderer uses it.
struct Numbering {
  virtual ~Numbering() = default;
  virtual int numberFor(const ControlView& c, int line) = 0;  // line -1: the control itself
};
// maxEditLines > 0: a multi-line edit of more lines shows only its first
// lines and how to read the rest (the terminal); 0: every line (the transcript).
std::string describeDialog(const DialogView& view, Numbering* number = nullptr, size_t maxEditLines = 0);
// The lines of a multi-line text, without line ends or trailing empty lines.
std::vector<std::string> textLines(const std::string& text);
// The same broken between words to fit `width` characters, as the terminal
// shows a multi-line edit.
inline constexpr size_t kTerminalTextWidth = 100;
std::vector<std::string> wrappedTextLines(const std::string& text, size_t width);
// The controls that changed between two views of a dialog (a control is the
// same control whatever its window handle).
std::string describeChanges(const DialogView& before, const DialogView& after);
std::string describeBox(const BoxView& box);
// "-- page ID left with RESULT[ after: ACTIONS]" and the controls that changed.
std::string describeClose(const DialogView& opened, const DialogView& left, const std::string& result,
                          const std::vector<std::string>& done);

}  // namespace winsim::ui
