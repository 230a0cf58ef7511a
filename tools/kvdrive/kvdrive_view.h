// kvdrive: what it sees of a page or message box of another process, and
// the transcript text for it, written exactly as winsim's renderers write
// theirs (src/platform/winsim/user32/ui_view.cpp) so that the two builds'
// transcripts can be compared line by line.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kvdrive {

enum class Kind { Label, Decoration, Picture, PushButton, CheckBox, RadioButton, GroupBox, OwnerDrawButton,
                  Edit, ListBox, ComboBox, ListView, Progress, Animation, Other };

struct ControlView {
  HWND hwnd = nullptr;
  int id = 0;
  Kind kind = Kind::Other;
  std::string text;
  bool visible = true;
  bool enabled = true;
  bool isDefault = false;
  UINT check = 0;
  bool readOnly = false;
  bool multiline = false;
  std::vector<std::string> lines;
  std::vector<bool> selected;
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
  std::vector<int> checkStates;
  int low = 0, high = 0, pos = 0;
  bool playing = false;

  bool operator==(const ControlView&) const = default;
};

struct DialogView {
  HWND hwnd = nullptr;
  std::string dialogId;
  std::string caption;
  std::vector<ControlView> controls;  // in template (tab) order
  const ControlView* find(int id) const;
};

struct BoxView {
  std::string caption;
  std::string text;
  UINT style = 0;
  std::vector<int> buttons;
  int defaultButton = IDOK;
  std::vector<std::string> messageIds;
};

// Text of a window of another process, as UTF-8.
std::string windowText(HWND hwnd);
std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);

Kind kindOf(HWND control);
const char* kindName(Kind kind);
// Reads a control of another process through its messages (list views
// through memory lent in that process).
ControlView viewOf(HWND control, HANDLE process);
// Every child of the dialog, in the order the dialog manager made them.
DialogView snapshot(HWND dlg, HANDLE process);

std::string styleName(UINT style);
std::string resultName(INT_PTR result);
std::string describeDialog(const DialogView& view);
std::string describeChanges(const DialogView& before, const DialogView& after);
std::string describeBox(const BoxView& box);

}  // namespace kvdrive
