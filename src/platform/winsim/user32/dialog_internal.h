// winsim: the dialog manager and the controls as the rest of winsim sees
// them: the state each control keeps, the dialog's own record, and the
// simulated user input the renderers use.
//
// Control state lives in the control window's extension slot and is read and
// written only on the thread that owns the window, like the window itself.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <commctrl.h>
#include <windows.h>

#include "user32/rc_parser.h"
#include "user32/ui_format.h"
#include "user32/window_internal.h"

namespace winsim::dlg {

// What a control is, for the renderers (the transcript's kinds).
using ControlKind = ui::ControlKind;
const char* kindName(ControlKind kind);

struct ButtonState : user::WindowExtension {
  UINT check = BST_UNCHECKED;
  bool pushed = false;
  HANDLE image = nullptr;
};

struct StaticState : user::WindowExtension {
  HANDLE image = nullptr;
  UINT imageType = IMAGE_BITMAP;
};

struct EditState : user::WindowExtension {
  UINT limit = 30000;  // what a person may type; the program's WM_SETTEXT is not limited
  DWORD selStart = 0, selEnd = 0;
};

struct ListBoxState : user::WindowExtension {
  struct Item {
    std::string text;
    LPARAM data = 0;
    bool selected = false;
  };
  std::vector<Item> items;
  int cursel = -1;  // single-selection boxes
  int caret = -1;
  int top = 0;
  int horizontalExtent = 0;
};

struct ListViewState : user::WindowExtension {
  struct Column {
    std::string text;
    int width = 0;
    int fmt = LVCFMT_LEFT;
  };
  struct Item {
    std::vector<std::string> texts;  // index 0 is the item, then the sub-items
    UINT state = 0;
    LPARAM lParam = 0;
    int image = 0;
  };
  std::vector<Column> columns;
  std::vector<Item> items;
  DWORD exStyle = 0;
  HIMAGELIST imageLists[3] = {nullptr, nullptr, nullptr};
  int selectionMark = -1;
  COLORREF colors[3] = {0xFFFFFF, 0x000000, 0xFFFFFF};  // background, text, text background
};

struct ProgressState : user::WindowExtension {
  int low = 0, high = 100, pos = 0, step = 10;
};

struct AnimateState : user::WindowExtension {
  std::string clip;  // what ACM_OPEN opened ("157", a file name)
  bool open = false;
  bool playing = false;
  int repeat = 0;
};

// The record of a dialog window.
struct DialogState : user::WindowExtension {
  DLGPROC proc = nullptr;
  std::atomic<bool> ended{false};
  std::atomic<INT_PTR> result{0};
  bool modal = false;
  HINSTANCE module = nullptr;
  rc::ResId templateId;
  int defaultId = IDOK;
  DWORD threadId = 0;
  HFONT font = nullptr;  // the template's font (DS_SETFONT), deleted with the dialog
  ~DialogState() override;
};

// The state of a window of this process, when it is of that kind.
template <class T>
T* stateOf(HWND hwnd) {
  auto w = user::findWindow(hwnd);
  return w ? dynamic_cast<T*>(w->extension.get()) : nullptr;
}
DialogState* dialogOf(HWND hwnd);

// Registers the dialog class and the controls (once per process).
void registerControlClasses();

ControlKind kindOf(HWND control);
// The class name as registered ("Button", "SysListView32", ...).
std::string classOf(HWND control);

// Dialog units to pixels, with the base units of the dialog font.
int dluToPixelsX(int x);
int dluToPixelsY(int y);
// The width in pixels the controls give a text (LVM_GETSTRINGWIDTH, automatic
// column widths): a fixed average character width.
int textWidth(const std::string& text);

// ---- Simulated user input ------------------------------------------------------
// Each does what a person's mouse or keyboard would, with the notifications
// Windows sends for it. They act on the calling thread and return false with
// a reason when a person could not do it (hidden or disabled control, no such
// line).
bool userClick(HWND control, std::string* why);
bool userSelect(HWND control, int index, std::string* why);
bool userSetText(HWND control, const std::string& text, std::string* why);
// The line of a list box, combo box or list view whose (first column) text
// equals `text` without regard to case; -1 when none.
int findLine(HWND control, const std::string& text);
// Sends WM_COMMAND IDOK/IDCANCEL to a dialog as Enter or Escape would.
void userCommand(HWND dialog, int id);

}  // namespace winsim::dlg
