// kvdrive: what it sees of a page or message box of another process. The
// transcript text for it comes from the formatter winsim's renderers use
// (user32/ui_format.h), so that the two builds' transcripts can be compared
// line by line.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "user32/ui_format.h"

namespace kvdrive {

// The views are the transcript formatter's, shared with winsim's renderers.
using Kind = winsim::ui::ControlKind;
using winsim::ui::BoxView;
using winsim::ui::ControlView;
using winsim::ui::DialogView;
using winsim::ui::describeBox;
using winsim::ui::describeChanges;
using winsim::ui::describeClose;
using winsim::ui::describeDialog;
using winsim::ui::resultName;
using winsim::ui::styleName;

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

}  // namespace kvdrive
