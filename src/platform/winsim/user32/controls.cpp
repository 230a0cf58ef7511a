// winsim: the standard controls (buttons, statics, edits, list boxes, combo
// boxes), their messages and notifications, and the simulated user input
// the renderers use on every kind of control.
//
// Nothing is drawn: each control keeps the state its messages read and
// write, and tells its parent what Windows would tell it.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "comctl32/comctl_internal.h"
#include "machine.h"
#include "modules.h"
#include "user32/dialog_internal.h"

namespace winsim::dlg {
namespace {

// Base units of "MS Shell Dlg" 8 at 96 dots per inch.
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;

DWORD styleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)); }

void notifyParent(HWND control, WORD code) {
  HWND parent = GetParent(control);
  if (!parent) return;
  SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code), reinterpret_cast<LPARAM>(control));
}

template <class T>
T& ensureState(HWND hwnd) {
  auto w = user::findWindow(hwnd);
  if (!dynamic_cast<T*>(w->extension.get())) w->extension = std::make_shared<T>();
  return *static_cast<T*>(w->extension.get());
}

bool iless(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

// ---- Buttons ------------------------------------------------------------------------

DWORD buttonType(HWND hwnd) { return styleOf(hwnd) & BS_TYPEMASK; }

bool isCheckType(DWORD type) {
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}
bool isRadioType(DWORD type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }

// The controls of the group `hwnd` belongs to: from the nearest control at
// or before it with WS_GROUP up to the next one with WS_GROUP.
std::vector<HWND> groupOf(HWND hwnd) {
  auto parent = user::findWindow(GetParent(hwnd));
  if (!parent) return {hwnd};
  const auto& kids = parent->children;
  auto it = std::find(kids.begin(), kids.end(), hwnd);
  if (it == kids.end()) return {hwnd};
  auto first = it;
  while (first != kids.begin() && !(styleOf(*first) & WS_GROUP)) --first;
  std::vector<HWND> group{*first};
  for (auto j = first + 1; j != kids.end() && !(styleOf(*j) & WS_GROUP); ++j) group.push_back(*j);
  return group;
}

void buttonClicked(HWND hwnd) {
  const DWORD type = buttonType(hwnd);
  ButtonState& s = ensureState<ButtonState>(hwnd);
  if (type == BS_AUTOCHECKBOX) {
    SendMessageA(hwnd, BM_SETCHECK, s.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
  } else if (type == BS_AUTO3STATE) {
    SendMessageA(hwnd, BM_SETCHECK, (s.check + 1) % 3, 0);
  } else if (type == BS_AUTORADIOBUTTON) {
    // An automatic radio button checks itself and clears the other radio
    // buttons of its group.
    for (HWND other : groupOf(hwnd))
      if (other != hwnd && isRadioType(buttonType(other)) && classOf(other) == "Button")
        SendMessageA(other, BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageA(hwnd, BM_SETCHECK, BST_CHECKED, 0);
  }
  if (type != BS_GROUPBOX) notifyParent(hwnd, BN_CLICKED);
}

LRESULT CALLBACK buttonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE:
      ensureState<ButtonState>(hwnd);
      break;
    case BM_GETCHECK: {
      const DWORD type = buttonType(hwnd);
      return isCheckType(type) || isRadioType(type) ? ensureState<ButtonState>(hwnd).check : BST_UNCHECKED;
    }
    case BM_SETCHECK: {
      const DWORD type = buttonType(hwnd);
      ButtonState& s = ensureState<ButtonState>(hwnd);
      if (isRadioType(type))
        s.check = wParam ? BST_CHECKED : BST_UNCHECKED;
      else if (type == BS_3STATE || type == BS_AUTO3STATE)
        s.check = wParam > BST_INDETERMINATE ? BST_INDETERMINATE : static_cast<UINT>(wParam);
      else if (isCheckType(type))
        s.check = wParam == BST_UNCHECKED ? BST_UNCHECKED : BST_CHECKED;
      return 0;
    }
    case BM_GETSTATE: {
      ButtonState& s = ensureState<ButtonState>(hwnd);
      return s.check | (s.pushed ? BST_PUSHED : 0);
    }
    case BM_SETSTATE:
      ensureState<ButtonState>(hwnd).pushed = wParam != 0;
      return 0;
    case BM_SETSTYLE: {
      DWORD style = styleOf(hwnd);
      SetWindowLongPtrA(hwnd, GWL_STYLE, (style & ~0xFFFFu) | (static_cast<DWORD>(wParam) & 0xFFFF));
      return 0;
    }
    case BM_CLICK:
      // A disabled button takes no clicks.
      if (IsWindowEnabled(hwnd)) buttonClicked(hwnd);
      return 0;
    case BM_GETIMAGE:
      return reinterpret_cast<LRESULT>(ensureState<ButtonState>(hwnd).image);
    case BM_SETIMAGE: {
      ButtonState& s = ensureState<ButtonState>(hwnd);
      HANDLE old = s.image;
      s.image = reinterpret_cast<HANDLE>(lParam);
      return reinterpret_cast<LRESULT>(old);
    }
    case WM_GETDLGCODE: {
      const DWORD type = buttonType(hwnd);
      if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
      if (type == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
      if (isRadioType(type)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
      if (type == BS_GROUPBOX) return DLGC_STATIC;
      return DLGC_BUTTON;
    }
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// ---- Statics ------------------------------------------------------------------------

LRESULT CALLBACK staticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE: {
      StaticState& s = ensureState<StaticState>(hwnd);
      // "CONTROL 10550, ..." on a picture static names the picture; the
      // dialog manager passes it as "#10550".
      auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      const DWORD type = cs ? static_cast<DWORD>(cs->style) & SS_TYPEMASK : 0;
      if (cs && (type == SS_BITMAP || type == SS_ICON) && cs->lpszName) {
        LPCSTR name = cs->lpszName;
        if (!IS_INTRESOURCE(name) && name[0] == '#') name = MAKEINTRESOURCEA(std::atoi(name + 1));
        s.imageType = type == SS_BITMAP ? IMAGE_BITMAP : IMAGE_ICON;
        s.image = LoadImageA(cs->hInstance, name, s.imageType, 0, 0, 0);
        CREATESTRUCTA copy = *cs;
        copy.lpszName = "";
        return DefWindowProcA(hwnd, msg, wParam, reinterpret_cast<LPARAM>(&copy));
      }
      break;
    }
    case STM_SETIMAGE:
    case STM_SETICON: {
      StaticState& s = ensureState<StaticState>(hwnd);
      HANDLE old = s.image;
      s.image = reinterpret_cast<HANDLE>(msg == STM_SETICON ? static_cast<LPARAM>(wParam) : lParam);
      if (msg == STM_SETIMAGE) s.imageType = static_cast<UINT>(wParam);
      return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETIMAGE:
    case STM_GETICON:
      return reinterpret_cast<LRESULT>(ensureState<StaticState>(hwnd).image);
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// ---- Edits --------------------------------------------------------------------------

UINT editLimit(HWND hwnd) { return ensureState<EditState>(hwnd).limit; }

LRESULT CALLBACK editProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE:
      ensureState<EditState>(hwnd);
      break;
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcA(hwnd, msg, wParam, lParam);
      EditState& s = ensureState<EditState>(hwnd);
      s.selStart = s.selEnd = 0;
      // A single-line edit reports text set by the program too; a
      // multi-line one does not.
      if (!(styleOf(hwnd) & ES_MULTILINE)) notifyParent(hwnd, EN_CHANGE);
      return r;
    }
    case EM_LIMITTEXT:
      // 0 lifts the limit to the most the control can hold.
      ensureState<EditState>(hwnd).limit =
          wParam ? static_cast<UINT>(wParam) : (styleOf(hwnd) & ES_MULTILINE) ? 0xFFFFFFFFu : 0x7FFFFFFEu;
      return 0;
    case EM_GETLIMITTEXT:
      return editLimit(hwnd);
    case EM_SETREADONLY: {
      DWORD style = styleOf(hwnd);
      SetWindowLongPtrA(hwnd, GWL_STYLE, wParam ? (style | ES_READONLY) : (style & ~static_cast<DWORD>(ES_READONLY)));
      return TRUE;
    }
    case EM_GETSEL: {
      EditState& s = ensureState<EditState>(hwnd);
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = s.selStart;
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = s.selEnd;
      return MAKELRESULT(std::min<DWORD>(s.selStart, 0xFFFF), std::min<DWORD>(s.selEnd, 0xFFFF));
    }
    case EM_SETSEL: {
      EditState& s = ensureState<EditState>(hwnd);
      const DWORD len = static_cast<DWORD>(GetWindowTextLengthA(hwnd));
      LONG_PTR a = static_cast<LONG_PTR>(wParam), b = lParam;
      if (a < 0) {
        s.selStart = s.selEnd = len;
        return 0;
      }
      if (b < 0 || b > static_cast<LONG_PTR>(len)) b = len;
      if (a > static_cast<LONG_PTR>(len)) a = len;
      s.selStart = static_cast<DWORD>(std::min(a, b));
      s.selEnd = static_cast<DWORD>(std::max(a, b));
      return 0;
    }
    case EM_GETLINECOUNT: {
      int n = GetWindowTextLengthA(hwnd);
      std::string text(static_cast<size_t>(n) + 1, '\0');
      GetWindowTextA(hwnd, text.data(), n + 1);
      if (!(styleOf(hwnd) & ES_MULTILINE)) return 1;
      return 1 + std::count(text.begin(), text.begin() + n, '\n');
    }
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// ---- List boxes ---------------------------------------------------------------------

bool multiSelect(HWND hwnd) { return (styleOf(hwnd) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0; }
bool hasStrings(HWND hwnd) {
  const DWORD style = styleOf(hwnd);
  return !(style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) || (style & LBS_HASSTRINGS);
}

int insertListItem(HWND hwnd, ListBoxState& s, int index, const char* text, bool sorted) {
  ListBoxState::Item item;
  if (hasStrings(hwnd))
    item.text = text ? text : "";
  else
    item.data = reinterpret_cast<LPARAM>(text);  // owner-drawn without strings: the value is the item data
  if (sorted && hasStrings(hwnd)) {
    index = static_cast<int>(std::upper_bound(s.items.begin(), s.items.end(), item,
                                              [](const auto& a, const auto& b) { return iless(a.text, b.text); }) -
                             s.items.begin());
  }
  if (index < 0 || index > static_cast<int>(s.items.size())) index = static_cast<int>(s.items.size());
  s.items.insert(s.items.begin() + index, std::move(item));
  if (s.cursel >= index) ++s.cursel;
  if (s.caret >= index) ++s.caret;
  return index;
}

int findListString(const ListBoxState& s, WPARAM start, const char* text, bool exact) {
  if (!text) return LB_ERR;
  const int n = static_cast<int>(s.items.size());
  if (n == 0) return LB_ERR;
  const std::string want = toLower(text);
  int from = static_cast<int>(static_cast<LONG_PTR>(start));
  if (from < -1 || from >= n) from = -1;
  for (int k = 1; k <= n; ++k) {
    int i = (from + k) % n;
    std::string have = toLower(s.items[static_cast<size_t>(i)].text);
    if (exact ? have == want : have.compare(0, want.size(), want) == 0) return i;
  }
  return LB_ERR;
}

LRESULT listBoxMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  ListBoxState& s = ensureState<ListBoxState>(hwnd);
  const int count = static_cast<int>(s.items.size());
  const int index = static_cast<int>(static_cast<LONG_PTR>(wParam));
  const bool valid = index >= 0 && index < count;
  switch (msg) {
    case LB_ADDSTRING:
      return insertListItem(hwnd, s, count, reinterpret_cast<const char*>(lParam), (styleOf(hwnd) & LBS_SORT) != 0);
    case LB_INSERTSTRING:
      if (index > count) return LB_ERR;
      return insertListItem(hwnd, s, index < 0 ? count : index, reinterpret_cast<const char*>(lParam), false);
    case LB_DELETESTRING:
      if (!valid) return LB_ERR;
      s.items.erase(s.items.begin() + index);
      if (s.cursel == index) s.cursel = -1;
      else if (s.cursel > index) --s.cursel;
      if (s.caret == index) s.caret = -1;
      else if (s.caret > index) --s.caret;
      return static_cast<LRESULT>(s.items.size());
    case LB_RESETCONTENT:
      s.items.clear();
      s.cursel = s.caret = -1;
      s.top = 0;
      return 0;
    case LB_GETCOUNT:
      return count;
    case LB_GETCURSEL:
      if (multiSelect(hwnd)) return s.caret >= 0 ? s.caret : (count ? 0 : LB_ERR);
      return s.cursel >= 0 ? s.cursel : LB_ERR;
    case LB_SETCURSEL:
      if (multiSelect(hwnd)) return LB_ERR;
      if (!valid) {
        // -1 clears the selection; any other bad index leaves it alone.
        if (index == -1) s.cursel = -1;
        return LB_ERR;
      }
      s.cursel = s.caret = index;
      return index;
    case LB_GETSEL:
      if (!valid) return LB_ERR;
      return multiSelect(hwnd) ? (s.items[static_cast<size_t>(index)].selected ? 1 : 0) : (s.cursel == index ? 1 : 0);
    case LB_SETSEL: {
      if (!multiSelect(hwnd)) return LB_ERR;
      const int target = static_cast<int>(lParam);
      if (target == -1) {
        for (auto& it : s.items) it.selected = wParam != 0;
        return 0;
      }
      if (target < 0 || target >= count) return LB_ERR;
      s.items[static_cast<size_t>(target)].selected = wParam != 0;
      s.caret = target;
      return 0;
    }
    case LB_GETSELCOUNT: {
      if (!multiSelect(hwnd)) return LB_ERR;
      return std::count_if(s.items.begin(), s.items.end(), [](const auto& it) { return it.selected; });
    }
    case LB_GETSELITEMS: {
      if (!multiSelect(hwnd)) return LB_ERR;
      int* out = reinterpret_cast<int*>(lParam);
      int n = 0;
      for (int i = 0; i < count && n < index; ++i)
        if (s.items[static_cast<size_t>(i)].selected) out[n++] = i;
      return n;
    }
    case LB_GETTEXT:
      if (!valid) return LB_ERR;
      if (!hasStrings(hwnd)) {
        if (lParam) *reinterpret_cast<LPARAM*>(lParam) = s.items[static_cast<size_t>(index)].data;
        return sizeof(LPARAM);
      }
      if (!lParam) return LB_ERR;
      // The caller's buffer must hold the whole text, as on Windows.
      std::memcpy(reinterpret_cast<char*>(lParam), s.items[static_cast<size_t>(index)].text.c_str(),
                  s.items[static_cast<size_t>(index)].text.size() + 1);
      return static_cast<LRESULT>(s.items[static_cast<size_t>(index)].text.size());
    case LB_GETTEXTLEN:
      if (!valid) return LB_ERR;
      return hasStrings(hwnd) ? static_cast<LRESULT>(s.items[static_cast<size_t>(index)].text.size())
                              : static_cast<LRESULT>(sizeof(LPARAM));
    case LB_GETITEMDATA:
      if (!valid) return LB_ERR;
      return s.items[static_cast<size_t>(index)].data;
    case LB_SETITEMDATA:
      if (index == -1) {
        for (auto& it : s.items) it.data = lParam;
        return TRUE;
      }
      if (!valid) return LB_ERR;
      s.items[static_cast<size_t>(index)].data = lParam;
      return TRUE;
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
      return findListString(s, wParam, reinterpret_cast<const char*>(lParam), msg == LB_FINDSTRINGEXACT);
    case LB_SELECTSTRING: {
      int found = findListString(s, wParam, reinterpret_cast<const char*>(lParam), false);
      if (found == LB_ERR || multiSelect(hwnd)) return LB_ERR;
      s.cursel = s.caret = found;
      return found;
    }
    case LB_GETTOPINDEX:
      return s.top;
    case LB_SETTOPINDEX:
      if (!valid && !(index == 0 && count == 0)) return LB_ERR;
      s.top = index;
      return 0;
    case LB_SETHORIZONTALEXTENT:
      s.horizontalExtent = index;
      return 0;
    case LB_GETHORIZONTALEXTENT:
      return s.horizontalExtent;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK listBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE:
      ensureState<ListBoxState>(hwnd);
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    default:
      if (msg >= LB_ADDSTRING && msg <= LB_FINDSTRINGEXACT) return listBoxMessage(hwnd, msg, wParam, lParam);
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// ---- Combo boxes: a list with a current selection ------------------------------------

LRESULT CALLBACK comboBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE:
      ensureState<ListBoxState>(hwnd);
      break;
    case CB_ADDSTRING: {
      ListBoxState& s = ensureState<ListBoxState>(hwnd);
      return insertListItem(hwnd, s, static_cast<int>(s.items.size()), reinterpret_cast<const char*>(lParam),
                            (styleOf(hwnd) & CBS_SORT) != 0);
    }
    case CB_INSERTSTRING:
      return listBoxMessage(hwnd, LB_INSERTSTRING, wParam, lParam);
    case CB_DELETESTRING:
      return listBoxMessage(hwnd, LB_DELETESTRING, wParam, lParam);
    case CB_RESETCONTENT:
      return listBoxMessage(hwnd, LB_RESETCONTENT, wParam, lParam);
    case CB_GETCOUNT:
      return listBoxMessage(hwnd, LB_GETCOUNT, wParam, lParam);
    case CB_GETCURSEL:
      return listBoxMessage(hwnd, LB_GETCURSEL, wParam, lParam);
    case CB_SETCURSEL: {
      LRESULT r = listBoxMessage(hwnd, LB_SETCURSEL, wParam, lParam);
      ListBoxState& s = ensureState<ListBoxState>(hwnd);
      DefWindowProcA(hwnd, WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(s.cursel >= 0 ? s.items[static_cast<size_t>(s.cursel)].text.c_str() : ""));
      return r;
    }
    case CB_GETLBTEXT:
      return listBoxMessage(hwnd, LB_GETTEXT, wParam, lParam);
    case CB_GETLBTEXTLEN:
      return listBoxMessage(hwnd, LB_GETTEXTLEN, wParam, lParam);
    case CB_GETITEMDATA:
      return listBoxMessage(hwnd, LB_GETITEMDATA, wParam, lParam);
    case CB_SETITEMDATA:
      return listBoxMessage(hwnd, LB_SETITEMDATA, wParam, lParam);
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

const char* kindName(ControlKind kind) {
  static constexpr const char* kNames[] = {"label", "decoration", "picture", "button",   "check",
                                           "radio", "group",      "picture", "edit",     "list",
                                           "combo", "table",      "progress", "animation", "control"};
  return kNames[static_cast<int>(kind)];
}

void registerControlClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct Entry {
      const char* name;
      WNDPROC proc;
      int extra;
    };
    const Entry kClasses[] = {
        {"#32770", DefDlgProcA, DLGWINDOWEXTRA},
        {"Button", buttonProc, 0},
        {"Static", staticProc, 0},
        {"Edit", editProc, 0},
        {"ListBox", listBoxProc, 0},
        {"ComboBox", comboBoxProc, 0},
        {WC_LISTVIEWA, comctl::listViewProc, 0},
        {PROGRESS_CLASSA, comctl::progressProc, 0},
        {ANIMATE_CLASSA, comctl::animateProc, 0},
    };
    for (const Entry& e : kClasses) {
      user::WindowClass cls;
      cls.name = e.name;
      cls.proc = e.proc;
      cls.wndExtra = e.extra;
      user::registerSystemClass(cls);
    }
  });
}

// The system classes exist from the start, as on Windows, so that a program
// can create a button or list box without a dialog around it.
[[maybe_unused]] static const bool kClassesRegistered = (registerControlClasses(), true);

std::string classOf(HWND control) {
  char name[64] = {};
  GetClassNameA(control, name, sizeof name);
  return name;
}

ControlKind kindOf(HWND control) {
  const std::string cls = toLower(classOf(control));
  const DWORD style = styleOf(control);
  if (cls == "button") {
    switch (style & BS_TYPEMASK) {
      case BS_PUSHBUTTON:
      case BS_DEFPUSHBUTTON:
      case BS_PUSHBOX:
        return ControlKind::PushButton;
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
      case BS_3STATE:
      case BS_AUTO3STATE:
        return ControlKind::CheckBox;
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON:
        return ControlKind::RadioButton;
      case BS_GROUPBOX:
        return ControlKind::GroupBox;
      default:
        return ControlKind::OwnerDrawButton;
    }
  }
  if (cls == "static") {
    const DWORD type = style & SS_TYPEMASK;
    if (type == SS_BITMAP || type == SS_ICON || type == SS_ENHMETAFILE) return ControlKind::Picture;
    if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP ||
        type == SS_OWNERDRAW)
      return ControlKind::Label;
    return ControlKind::Decoration;
  }
  if (cls == "edit") return ControlKind::Edit;
  if (cls == "listbox") return ControlKind::ListBox;
  if (cls == "combobox") return ControlKind::ComboBox;
  if (cls == toLower(WC_LISTVIEWA)) return ControlKind::ListView;
  if (cls == toLower(PROGRESS_CLASSA)) return ControlKind::Progress;
  if (cls == toLower(ANIMATE_CLASSA)) return ControlKind::Animation;
  return ControlKind::Other;
}

int dluToPixelsX(int x) { return x * kBaseUnitX / 4; }
int dluToPixelsY(int y) { return y * kBaseUnitY / 8; }

int textWidth(const std::string& text) {
  int chars = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++chars;  // count characters, not UTF-8 bytes
  return chars * kBaseUnitX;
}

// ---- Simulated user input ------------------------------------------------------------

namespace {

bool reachable(HWND control, std::string* why) {
  if (!IsWindow(control)) {
    *why = "the control does not exist";
    return false;
  }
  if (!IsWindowVisible(control)) {
    *why = "control " + std::to_string(GetDlgCtrlID(control)) + " is hidden";
    return false;
  }
  if (!IsWindowEnabled(control)) {
    *why = "control " + std::to_string(GetDlgCtrlID(control)) + " is disabled";
    return false;
  }
  return true;
}

}  // namespace

bool userClick(HWND control, std::string* why) {
  if (!reachable(control, why)) return false;
  switch (kindOf(control)) {
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::OwnerDrawButton:
      SendMessageA(control, BM_CLICK, 0, 0);
      return true;
    default:
      *why = "control " + std::to_string(GetDlgCtrlID(control)) + " is a " + kindName(kindOf(control)) +
             ", not a button";
      return false;
  }
}

int findLine(HWND control, const std::string& text) {
  const std::string want = toLower(text);
  switch (kindOf(control)) {
    case ControlKind::ListBox:
    case ControlKind::ComboBox: {
      auto* s = stateOf<ListBoxState>(control);
      if (!s) return -1;
      for (size_t i = 0; i < s->items.size(); ++i)
        if (toLower(s->items[i].text) == want) return static_cast<int>(i);
      return -1;
    }
    case ControlKind::ListView: {
      auto* s = stateOf<ListViewState>(control);
      if (!s) return -1;
      for (size_t i = 0; i < s->items.size(); ++i)
        if (!s->items[i].texts.empty() && toLower(s->items[i].texts[0]) == want) return static_cast<int>(i);
      return -1;
    }
    default:
      return -1;
  }
}

bool userSelect(HWND control, int index, std::string* why) {
  if (!reachable(control, why)) return false;
  const int id = GetDlgCtrlID(control);
  switch (kindOf(control)) {
    case ControlKind::ListBox: {
      auto* s = stateOf<ListBoxState>(control);
      if (index < 0 || index >= static_cast<int>(s->items.size())) {
        *why = "list " + std::to_string(id) + " has no line " + std::to_string(index);
        return false;
      }
      if (multiSelect(control)) {
        SendMessageA(control, LB_SETSEL, !s->items[static_cast<size_t>(index)].selected, index);
      } else {
        SendMessageA(control, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
      }
      if (styleOf(control) & LBS_NOTIFY) notifyParent(control, LBN_SELCHANGE);
      return true;
    }
    case ControlKind::ComboBox: {
      auto* s = stateOf<ListBoxState>(control);
      if (index < 0 || index >= static_cast<int>(s->items.size())) {
        *why = "combo box " + std::to_string(id) + " has no line " + std::to_string(index);
        return false;
      }
      SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
      notifyParent(control, CBN_SELCHANGE);
      return true;
    }
    case ControlKind::ListView:
      return comctl::listViewUserSelect(control, index, why);
    default:
      *why = "control " + std::to_string(id) + " is a " + kindName(kindOf(control)) + ", not a list";
      return false;
  }
}

bool userSetText(HWND control, const std::string& text, std::string* why) {
  if (!reachable(control, why)) return false;
  if (kindOf(control) != ControlKind::Edit) {
    *why = "control " + std::to_string(GetDlgCtrlID(control)) + " is not an edit box";
    return false;
  }
  if (styleOf(control) & ES_READONLY) {
    *why = "edit box " + std::to_string(GetDlgCtrlID(control)) + " is read-only";
    return false;
  }
  // Typing stops at the limit, as it does for a person.
  std::string typed = text.substr(0, std::min<size_t>(text.size(), editLimit(control)));
  DefWindowProcA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
  notifyParent(control, EN_UPDATE);
  notifyParent(control, EN_CHANGE);
  return true;
}

void userCommand(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

}  // namespace winsim::dlg
