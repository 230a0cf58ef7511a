// kvdrive: snapshots of another process's dialogs (see kvdrive_view.h).
#include "kvdrive_view.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>

namespace kvdrive {
namespace {

// Messages to another process's controls never wait for long: a program
// that hangs must not hang the driver too.
constexpr UINT kSendTimeoutMs = 2000;

LRESULT ask(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeoutMs, &result))
    return 0;
  return static_cast<LRESULT>(result);
}

DWORD styleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)); }

std::wstring lowerW(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

// Memory lent in another process for the messages that carry pointers.
class RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, size_t size) : m_process(process), m_size(size) {
    m_base = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (m_base) VirtualFreeEx(m_process, m_base, 0, MEM_RELEASE);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;
  bool ok() const { return m_base != nullptr; }
  char* at(size_t offset) const { return static_cast<char*>(m_base) + offset; }
  bool write(size_t offset, const void* data, size_t n) const {
    SIZE_T done = 0;
    return offset + n <= m_size && WriteProcessMemory(m_process, at(offset), data, n, &done) && done == n;
  }
  bool read(size_t offset, void* data, size_t n) const {
    SIZE_T done = 0;
    return offset + n <= m_size && ReadProcessMemory(m_process, at(offset), data, n, &done) && done == n;
  }

 private:
  HANDLE m_process;
  size_t m_size;
  void* m_base = nullptr;
};

constexpr size_t kTextChars = 1024;

std::string listViewText(HWND lv, const RemoteBuffer& buf, int item, int sub) {
  LVITEMW it{};
  it.iSubItem = sub;
  it.cchTextMax = kTextChars;
  it.pszText = reinterpret_cast<LPWSTR>(buf.at(sizeof(LVITEMW)));
  if (!buf.write(0, &it, sizeof it)) return "";
  const LRESULT n = ask(lv, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(buf.at(0)));
  std::wstring text(static_cast<size_t>(std::clamp<LRESULT>(n, 0, kTextChars - 1)), L'\0');
  if (!text.empty() && !buf.read(sizeof(LVITEMW), text.data(), text.size() * sizeof(wchar_t))) return "";
  return toUtf8(text);
}

void readListView(HWND lv, HANDLE process, ControlView* v) {
  RemoteBuffer buf(process, sizeof(LVITEMW) + sizeof(LVCOLUMNW) + kTextChars * sizeof(wchar_t));
  if (!buf.ok()) return;
  const DWORD exStyle = static_cast<DWORD>(ask(lv, LVM_GETEXTENDEDLISTVIEWSTYLE));
  HWND header = reinterpret_cast<HWND>(ask(lv, LVM_GETHEADER));
  const int columns = header ? static_cast<int>(ask(header, HDM_GETITEMCOUNT)) : 0;
  for (int k = 0; k < columns; ++k) {
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.cchTextMax = kTextChars;
    col.pszText = reinterpret_cast<LPWSTR>(buf.at(sizeof(LVCOLUMNW)));
    std::wstring text(kTextChars, L'\0');
    if (buf.write(0, &col, sizeof col) && ask(lv, LVM_GETCOLUMNW, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(buf.at(0))) &&
        buf.read(sizeof(LVCOLUMNW), text.data(), text.size() * sizeof(wchar_t))) {
      text.resize(wcsnlen(text.c_str(), kTextChars));
      v->columns.push_back(toUtf8(text));
    } else {
      v->columns.emplace_back();
    }
  }
  const size_t width = std::max<size_t>(1, v->columns.size());
  const int items = static_cast<int>(ask(lv, LVM_GETITEMCOUNT));
  for (int i = 0; i < items; ++i) {
    std::vector<std::string> row(width);
    for (size_t k = 0; k < width; ++k) row[k] = listViewText(lv, buf, i, static_cast<int>(k));
    v->rows.push_back(std::move(row));
    const UINT state = static_cast<UINT>(ask(lv, LVM_GETITEMSTATE, static_cast<WPARAM>(i),
                                             LVIS_SELECTED | LVIS_STATEIMAGEMASK));
    v->selected.push_back((state & LVIS_SELECTED) != 0);
    v->checkStates.push_back((exStyle & LVS_EX_CHECKBOXES) ? static_cast<int>((state >> 12) & 0xF) : 0);
  }
}

}  // namespace

std::string toUtf8(const std::wstring& text) {
  if (text.empty()) return "";
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(std::max(n, 0)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring fromUtf8(const std::string& text) {
  if (text.empty()) return L"";
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(std::max(n, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string windowText(HWND hwnd) {
  const LRESULT n = ask(hwnd, WM_GETTEXTLENGTH);
  if (n <= 0) return "";
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  const LRESULT got = ask(hwnd, WM_GETTEXT, static_cast<WPARAM>(n + 1), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, n)));
  return toUtf8(text);
}

Kind kindOf(HWND control) {
  wchar_t name[64] = {};
  GetClassNameW(control, name, 64);
  const std::wstring cls = lowerW(name);
  const DWORD style = styleOf(control);
  if (cls == L"button") {
    switch (style & BS_TYPEMASK) {
      case BS_PUSHBUTTON:
      case BS_DEFPUSHBUTTON:
      case BS_PUSHBOX:
        return Kind::PushButton;
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
      case BS_3STATE:
      case BS_AUTO3STATE:
        return Kind::CheckBox;
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON:
        return Kind::RadioButton;
      case BS_GROUPBOX:
        return Kind::GroupBox;
      default:
        return Kind::OwnerDrawButton;
    }
  }
  if (cls == L"static") {
    const DWORD type = style & SS_TYPEMASK;
    if (type == SS_BITMAP || type == SS_ICON || type == SS_ENHMETAFILE) return Kind::Picture;
    if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP ||
        type == SS_OWNERDRAW)
      return Kind::Label;
    return Kind::Decoration;
  }
  if (cls == L"edit") return Kind::Edit;
  if (cls == L"listbox") return Kind::ListBox;
  if (cls == L"combobox") return Kind::ComboBox;
  if (cls == lowerW(WC_LISTVIEWW)) return Kind::ListView;
  if (cls == lowerW(PROGRESS_CLASSW)) return Kind::Progress;
  if (cls == lowerW(ANIMATE_CLASSW)) return Kind::Animation;
  return Kind::Other;
}

const char* kindName(Kind kind) {
  switch (kind) {
    case Kind::Label: return "text";
    case Kind::Decoration: return "decoration";
    case Kind::Picture: return "picture";
    case Kind::PushButton: return "button";
    case Kind::CheckBox: return "check box";
    case Kind::RadioButton: return "radio button";
    case Kind::GroupBox: return "group box";
    case Kind::OwnerDrawButton: return "owner-drawn button";
    case Kind::Edit: return "edit box";
    case Kind::ListBox: return "list box";
    case Kind::ComboBox: return "combo box";
    case Kind::ListView: return "list view";
    case Kind::Progress: return "progress bar";
    case Kind::Animation: return "animation";
    case Kind::Other: return "control";
  }
  return "control";
}

ControlView viewOf(HWND c, HANDLE process) {
  ControlView v;
  v.hwnd = c;
  v.id = GetDlgCtrlID(c);
  v.kind = kindOf(c);
  const DWORD style = styleOf(c);
  // The control's own flags: a page that has ended is hidden as a whole,
  // and its controls must still read as they were left.
  v.visible = (style & WS_VISIBLE) != 0;
  v.enabled = (style & WS_DISABLED) == 0;
  if (v.kind != Kind::ListView) v.text = windowText(c);
  switch (v.kind) {
    case Kind::PushButton:
      v.isDefault = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
      break;
    case Kind::CheckBox:
    case Kind::RadioButton:
      v.check = static_cast<UINT>(ask(c, BM_GETCHECK));
      break;
    case Kind::Edit:
      v.readOnly = (style & ES_READONLY) != 0;
      v.multiline = (style & ES_MULTILINE) != 0;
      break;
    case Kind::ListBox: {
      const bool multi = (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
      const int n = static_cast<int>(ask(c, LB_GETCOUNT));
      const int cur = static_cast<int>(ask(c, LB_GETCURSEL));
      for (int i = 0; i < n; ++i) {
        const LRESULT len = ask(c, LB_GETTEXTLEN, static_cast<WPARAM>(i));
        std::wstring text(static_cast<size_t>(std::max<LRESULT>(len, 0)) + 1, L'\0');
        const LRESULT got = ask(c, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, len)));
        v.lines.push_back(toUtf8(text));
        v.selected.push_back(multi ? ask(c, LB_GETSEL, static_cast<WPARAM>(i)) > 0 : i == cur);
      }
      break;
    }
    case Kind::ComboBox: {
      const int n = static_cast<int>(ask(c, CB_GETCOUNT));
      const int cur = static_cast<int>(ask(c, CB_GETCURSEL));
      for (int i = 0; i < n; ++i) {
        const LRESULT len = ask(c, CB_GETLBTEXTLEN, static_cast<WPARAM>(i));
        std::wstring text(static_cast<size_t>(std::max<LRESULT>(len, 0)) + 1, L'\0');
        const LRESULT got = ask(c, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, len)));
        v.lines.push_back(toUtf8(text));
        v.selected.push_back(i == cur);
      }
      break;
    }
    case Kind::ListView:
      readListView(c, process, &v);
      break;
    case Kind::Progress:
      v.low = static_cast<int>(ask(c, PBM_GETRANGE, TRUE));
      v.high = static_cast<int>(ask(c, PBM_GETRANGE, FALSE));
      v.pos = static_cast<int>(ask(c, PBM_GETPOS));
      break;
    case Kind::Animation:
      v.playing = ask(c, ACM_ISPLAYING) != 0;
      break;
    default:
      break;
  }
  return v;
}

DialogView snapshot(HWND dlg, HANDLE process) {
  DialogView v;
  v.hwnd = dlg;
  v.caption = windowText(dlg);
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) v.controls.push_back(viewOf(c, process));
  return v;
}

}  // namespace kvdrive
