// kvdrive: snapshots of another process's dialogs and their transcript text
// (see kvdrive_view.h). The text formats follow winsim's ui_view.cpp line
// for line.
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

std::string block(const std::string& text, const std::string& prefix) {
  std::string out;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) eol = text.size();
    std::string line = text.substr(pos, eol - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out += prefix + line + "\n";
    if (eol == text.size()) break;
    pos = eol + 1;
  }
  return out;
}

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') continue;
    else if (c == '\t') out += "\\t";
    else if (c == '"') out += "\\\"";
    else out += c;
  }
  return out + "\"";
}

std::string progressBar(const ControlView& c) {
  const long long span = static_cast<long long>(c.high) - c.low;
  const int percent = span > 0 ? static_cast<int>((static_cast<long long>(c.pos) - c.low) * 100 / span) : 0;
  const int filled = std::clamp(percent / 5, 0, 20);
  char tail[32];
  std::snprintf(tail, sizeof tail, "] %3d%%", percent);
  return "[" + std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(20 - filled), '-') +
         tail;
}

size_t displayWidth(const std::string& s) {
  size_t chars = 0;
  for (unsigned char ch : s)
    if ((ch & 0xC0) != 0x80) ++chars;
  return chars;
}

std::string padRight(const std::string& s, size_t width) {
  const size_t chars = displayWidth(s);
  return chars >= width ? s : s + std::string(width - chars, ' ');
}

std::string describeControl(const ControlView& c) {
  const std::string id = std::to_string(c.id);
  const std::string flags = c.enabled ? "" : " (disabled)";
  std::string out;
  switch (c.kind) {
    case Kind::Decoration:
    case Kind::Picture:
    case Kind::OwnerDrawButton:
      return "";
    case Kind::Label:
      if (c.text.empty()) return "";
      return "  " + id + " text:" + (c.text.find('\n') == std::string::npos ? " " + c.text + "\n"
                                                                            : "\n" + block(c.text, "      | "));
    case Kind::GroupBox:
      return c.text.empty() ? "" : "  " + id + " group: " + c.text + "\n";
    case Kind::PushButton:
      return "  " + id + " button " + quoted(c.text) + (c.isDefault ? " (default)" : "") + flags + "\n";
    case Kind::CheckBox:
      return "  " + id + " check [" + (c.check == BST_CHECKED ? "x" : c.check ? "?" : " ") + "] " + quoted(c.text) +
             flags + "\n";
    case Kind::RadioButton:
      return "  " + id + " radio (" + (c.check ? "*" : " ") + ") " + quoted(c.text) + flags + "\n";
    case Kind::Edit:
      out = "  " + id + " edit" + (c.readOnly ? " (read-only)" : "") + flags;
      if (c.multiline) return out + ":\n" + block(c.text, "      | ");
      return out + ": " + quoted(c.text) + "\n";
    case Kind::ListBox:
    case Kind::ComboBox:
      out = "  " + id + (c.kind == Kind::ListBox ? " list" : " combo") + flags + (c.lines.empty() ? ": (empty)\n" : ":\n");
      for (size_t i = 0; i < c.lines.size(); ++i) out += "      " + std::string(c.selected[i] ? "> " : "  ") + c.lines[i] + "\n";
      return out;
    case Kind::ListView: {
      out = "  " + id + " table" + flags + (c.rows.empty() ? ": (empty)\n" : ":\n");
      std::vector<size_t> widths(c.columns.size(), 0);
      for (size_t k = 0; k < c.columns.size(); ++k) widths[k] = displayWidth(c.columns[k]);
      for (const auto& row : c.rows)
        for (size_t k = 0; k < row.size() && k < widths.size(); ++k) widths[k] = std::max(widths[k], displayWidth(row[k]));
      auto format = [&](const std::vector<std::string>& cells) {
        std::string line;
        for (size_t k = 0; k < cells.size(); ++k)
          line += (k ? "  " : "") + (k + 1 < cells.size() && k < widths.size() ? padRight(cells[k], widths[k]) : cells[k]);
        return line;
      };
      if (!c.columns.empty()) out += "        " + format(c.columns) + "\n";
      for (size_t i = 0; i < c.rows.size(); ++i) {
        const std::string box = c.checkStates[i] == 2 ? "[x] " : c.checkStates[i] == 1 ? "[ ] " : "";
        out += "      " + std::string(c.selected[i] ? "> " : "  ") + box + format(c.rows[i]) + "\n";
      }
      return out;
    }
    case Kind::Progress:
      return "  " + id + " progress " + progressBar(c) + "\n";
    case Kind::Animation:
      return "  " + id + " animation " + (c.playing ? "playing" : "still") + "\n";
    case Kind::Other:
      return "  " + id + " control " + quoted(c.text) + flags + "\n";
  }
  return "";
}

const char* answerWordOf(int id) {
  switch (id) {
    case IDOK: return "ok";
    case IDCANCEL: return "cancel";
    case IDABORT: return "abort";
    case IDRETRY: return "retry";
    case IDIGNORE: return "ignore";
    case IDYES: return "yes";
    case IDNO: return "no";
    case IDTRYAGAIN: return "tryagain";
    case IDCONTINUE: return "continue";
    default: return "?";
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

const ControlView* DialogView::find(int id) const {
  for (const auto& c : controls)
    if (c.id == id) return &c;
  return nullptr;
}

DialogView snapshot(HWND dlg, HANDLE process) {
  DialogView v;
  v.hwnd = dlg;
  v.caption = windowText(dlg);
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) v.controls.push_back(viewOf(c, process));
  return v;
}

std::string styleName(UINT style) {
  static constexpr const char* kTypes[] = {"MB_OK",    "MB_OKCANCEL",      "MB_ABORTRETRYIGNORE", "MB_YESNOCANCEL",
                                           "MB_YESNO", "MB_RETRYCANCEL", "MB_CANCELTRYCONTINUE"};
  const UINT type = style & MB_TYPEMASK;
  std::string out = type < 7 ? kTypes[type] : "type " + std::to_string(type);
  switch (style & MB_ICONMASK) {
    case MB_ICONHAND: out += "|MB_ICONHAND"; break;
    case MB_ICONQUESTION: out += "|MB_ICONQUESTION"; break;
    case MB_ICONEXCLAMATION: out += "|MB_ICONEXCLAMATION"; break;
    case MB_ICONASTERISK: out += "|MB_ICONASTERISK"; break;
    default: break;
  }
  const UINT def = (style & MB_DEFMASK) >> 8;
  if (def) out += "|MB_DEFBUTTON" + std::to_string(def + 1);
  char hex[16];
  std::snprintf(hex, sizeof hex, " (0x%X)", style);
  return out + hex;
}

std::string resultName(INT_PTR result) {
  std::string out = std::to_string(result);
  switch (result) {
    case IDOK: return out + " (IDOK)";
    case IDCANCEL: return out + " (IDCANCEL)";
    default: return out;
  }
}

std::string describeDialog(const DialogView& view) {
  std::string out = "== page " + view.dialogId + " " + quoted(view.caption) + "\n";
  for (const auto& c : view.controls)
    if (c.visible) out += describeControl(c);
  return out;
}

std::string describeChanges(const DialogView& before, const DialogView& after) {
  std::string out;
  for (const auto& c : after.controls) {
    const ControlView* old = before.find(c.id);
    if (old) {
      ControlView same = c;
      same.hwnd = old->hwnd;
      if (*old == same) continue;
    }
    if (!c.visible && (!old || !old->visible)) continue;
    if (!c.visible) {
      out += "  " + std::to_string(c.id) + " hidden\n";
      continue;
    }
    out += describeControl(c);
  }
  return out;
}

std::string describeBox(const BoxView& box) {
  std::string out = "== msgbox " + quoted(box.caption) + " " + styleName(box.style);
  if (!box.messageIds.empty()) {
    out += " [";
    for (size_t i = 0; i < box.messageIds.size(); ++i) out += (i ? " " : "") + box.messageIds[i];
    out += "]";
  }
  out += "\n" + block(box.text, "  | ") + "  buttons:";
  for (int b : box.buttons) out += std::string(" ") + answerWordOf(b) + (b == box.defaultButton ? "*" : "");
  return out + "\n";
}

}  // namespace kvdrive
