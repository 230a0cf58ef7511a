// kvdrive: answers the real pages and message boxes of the Windows build
// from a UI script (docs/ui-script.md), as a person would, and writes the
// same transcript as the native build's script renderer.
//
//   kvdrive [--parent] [--answer-copydata] [--script FILE] [--transcript FILE]
//           [--shots DIR] -- PROGRAM ARGS...
//
// It starts PROGRAM (with --parent as its parent installer: "+W:<window>
// +M:<base id>" appended and every report printed as kvparent prints it),
// watches the program's top-level dialogs, tells each page by its set of
// control ids compared with the program's resource script and each message
// box by its text (catalogue ids from the Resource folder beside PROGRAM),
// and carries out the script's actions through the messages a click or
// typing sends. It ends with the program's exit code, or with 3 when the
// script does not fit what the program shows. KVSIM_TIMESCALE scales the
// script's waits as the native build scales its machine clock.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "kvdrive_view.h"
#include "kvdrive_wire.h"
#include "user32/rc_parser.h"
#include "user32/ui_script.h"

namespace {

using kvdrive::BoxView;
using kvdrive::ControlView;
using kvdrive::DialogView;
using kvdrive::Kind;
using winsim::ui::Action;
using winsim::ui::ActionKind;
using winsim::ui::Statement;
using winsim::ui::StatementKind;

constexpr int kUiFailureExitCode = 3;
constexpr int kBackButtonId = 1012;
// A page whose actions are done and that stays open this long (script
// seconds) with nothing more for it ends the run, as on winsim.
constexpr double kIdleLimitSeconds = 600;
// How long a box waits for the hook's note of its style before kvdrive
// works the style out from the buttons alone.
constexpr DWORD kBoxNoteWaitMs = 1000;
// How often an open page is read for its closing lines.
constexpr ULONGLONG kReadEveryMs = 100;
// How long a click waits for the program to take it: long enough for a
// busy machine, and bounded because the answer may be a nested box.
constexpr UINT kDeliverWaitMs = 3000;

struct Options {
  bool parent = false;
  bool answerCopyData = false;
  std::string script;
  std::string transcript = "transcript.log";
  std::string shots;
  std::vector<std::string> program;
};

struct Template {
  std::string id;
  std::set<int> controls;
};

struct Item {
  bool box = false;
  HWND hwnd = nullptr;
  DialogView opened;
  DialogView last;  // the page as last seen, for its closing lines
  BoxView boxView;
  int answer = 0;
  std::deque<Action> pending;
  std::vector<std::string> done;
  int statementLine = 0;
  int lastPressed = 0;  // the button a person pressed last
  ULONGLONG waitUntil = 0;
  bool waiting = false;
  ULONGLONG idleSince = 0;
  ULONGLONG lastRead = 0;
};

Options g_opt;
std::vector<Template> g_templates;
std::map<std::string, long long> g_defines;
// Message id and text, of every language of the package.
std::vector<std::pair<std::string, std::string>> g_catalogue;
std::vector<Statement> g_statements;
size_t g_next = 0;
std::vector<std::unique_ptr<Item>> g_open;
std::set<HWND> g_seen;
std::map<HWND, UINT> g_boxStyles;  // from the hook
// How the program ended its dialogs (from the hook): the result and the
// dialog as it was left.
struct Ending {
  INT_PTR result = 0;
  DialogView left;
};
std::map<HWND, Ending> g_endings;
// The program's dialogs as they were when they had set themselves up (from
// the hook), until they show.
std::map<HWND, DialogView> g_openings;
HANDLE g_process = nullptr;
UINT g_base = 0;
double g_timescale = 1.0;
int g_shot = 0;

bool stillOpen(const Item& item);

void appendTranscript(const std::string& text) {
  std::ofstream out(g_opt.transcript, std::ios::binary | std::ios::app);
  out << text;
}

[[noreturn]] void failRun(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "\nkvdrive: %s\n", message.c_str());
  std::fflush(stderr);
  appendTranscript("!! " + message + "\n");
  if (g_process) {
    TerminateProcess(g_process, kUiFailureExitCode);
    WaitForSingleObject(g_process, 5000);
  }
  ExitProcess(kUiFailureExitCode);
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

ULONGLONG scriptMs(double seconds) { return static_cast<ULONGLONG>(std::llround(seconds * 1000 * g_timescale)); }

// ---- What the program is made of --------------------------------------------------------

std::string resourceText(const char* name) {
  HRSRC r = FindResourceA(nullptr, name, MAKEINTRESOURCEA(10));  // RT_RCDATA
  HGLOBAL g = r ? LoadResource(nullptr, r) : nullptr;
  const char* p = g ? static_cast<const char*>(LockResource(g)) : nullptr;
  return p ? std::string(p, SizeofResource(nullptr, r)) : std::string();
}

void loadTemplates() {
  const std::string defines = resourceText("KVDRIVE_DEFINES");
  winsim::rc::Script script;
  std::string error;
  const bool ok = winsim::rc::parse(
      resourceText("KVDRIVE_PAGES"), "kv_setup.rc",
      [&](const std::string& name) -> std::optional<std::string> {
        if (lower(name) == "resource.h") return defines;
        return std::nullopt;
      },
      &script, &error);
  if (!ok) failRun("the program's resource script cannot be read: " + error);
  g_defines = script.defines;
  for (const auto& d : script.dialogs) {
    Template t;
    t.id = d.id.toString();
    for (const auto& c : d.controls) t.controls.insert(c.id & 0xFFFF);
    g_templates.push_back(std::move(t));
  }
}

std::string readWholeFile(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "";
  std::string bytes;
  char buf[65536];
  DWORD got = 0;
  // A catalogue is a few kilobytes; anything past 16 MB is not one.
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0 && bytes.size() < (16u << 20)) bytes.append(buf, got);
  CloseHandle(f);
  return bytes;
}

// The catalogue files beside the program (Resource\KV_MSG_*.INI, UTF-16):
// every "ID=text" line, with the escapes the program replaces.
void loadCatalogue(const std::string& program) {
  std::string folder = program;
  const size_t slash = folder.find_last_of("\\/");
  folder = slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
  const std::wstring pattern = kvdrive::fromUtf8(folder + "\\Resource\\KV_MSG_*.INI");
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(pattern.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::string bytes = readWholeFile(kvdrive::fromUtf8(folder + "\\Resource\\") + fd.cFileName);
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF || static_cast<unsigned char>(bytes[1]) != 0xFE)
      continue;
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i)
      text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                     (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
    std::istringstream lines(kvdrive::toUtf8(text));
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line[0] == ';' || line[0] == '[') continue;
      const size_t eq = line.find('=');
      if (eq == std::string::npos || eq == 0) continue;
      std::string value = line.substr(eq + 1);
      for (const auto& [from, to] : {std::pair<const char*, char>{"\\n", '\n'}, {"\\t", '\t'}, {"\\r", '\r'}}) {
        size_t at = 0;
        while ((at = value.find(from, at)) != std::string::npos) value.replace(at, 2, 1, to), ++at;
      }
      g_catalogue.emplace_back(line.substr(0, eq), value);
    }
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  if (std::getenv("KVDRIVE_DEBUG")) std::fprintf(stderr, "kvdrive: %zu catalogue texts from %s\n", g_catalogue.size(), folder.c_str());
}

// The catalogue messages a box shows. kvdrive knows every text of the
// catalogue, where the native renderers know those the program looked up: a
// text found only inside a longer message the box shows (the word "Printer"
// in "Printer driver:") is part of that message, not one of its own.
std::vector<std::string> messageIdsIn(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> found;
  for (const auto& [id, msg] : g_catalogue)
    if (!msg.empty() && text.find(msg) != std::string::npos) found.emplace_back(id, msg);
  auto inside = [&](size_t at, size_t length, const std::string& own) {
    for (const auto& [otherId, other] : found) {
      if (other.size() <= length || other == own) continue;
      for (size_t q = text.find(other); q != std::string::npos; q = text.find(other, q + 1))
        if (q <= at && at + length <= q + other.size()) return true;
    }
    return false;
  };
  std::set<std::string> ids;
  for (const auto& [id, msg] : found) {
    bool alone = false;
    for (size_t at = text.find(msg); at != std::string::npos && !alone; at = text.find(msg, at + 1))
      alone = !inside(at, msg.size(), msg);
    if (alone) ids.insert(id);
  }
  return {ids.begin(), ids.end()};
}

bool resolveId(const winsim::ui::ScriptId& id, long* out) {
  if (id.number) {
    *out = *id.number;
    return true;
  }
  auto it = g_defines.find(id.name);
  if (it == g_defines.end()) return false;
  *out = static_cast<long>(it->second);
  return true;
}

// ---- Pictures ------------------------------------------------------------------------------

// The window as it shows on the screen, as a 24-bit BMP: NN-ID.bmp.
void takePicture(HWND hwnd, const std::string& id) {
  if (g_opt.shots.empty()) return;
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Sleep(250);
  RECT r;
  if (!GetWindowRect(hwnd, &r)) return;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3);
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
  fh.bfSize = fh.bfOffBits + stride * static_cast<DWORD>(h);
  char name[64];
  std::snprintf(name, sizeof name, "\\%02d-%s.bmp", ++g_shot, id.c_str());
  std::ofstream out(g_opt.shots + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
  out.write(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof bi.bmiHeader);
  out.write(static_cast<const char*>(bits), static_cast<std::streamsize>(stride) * h);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
}

// ---- Message boxes ------------------------------------------------------------------------

const std::vector<std::vector<int>>& buttonSets() {
  static const std::vector<std::vector<int>> sets = {
      {IDOK}, {IDOK, IDCANCEL}, {IDABORT, IDRETRY, IDIGNORE}, {IDYES, IDNO, IDCANCEL},
      {IDYES, IDNO}, {IDRETRY, IDCANCEL}, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}};
  return sets;
}

bool shownButton(HWND box, int id) {
  HWND b = GetDlgItem(box, id);
  return b && (GetWindowLongPtrW(b, GWL_STYLE) & WS_VISIBLE);
}

void pumpOwnMessages() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
}

BoxView readBox(HWND hwnd) {
  BoxView box;
  box.caption = kvdrive::windowText(hwnd);
  box.text = kvdrive::windowText(GetDlgItem(hwnd, kvdrive::kBoxTextId));
  const ULONGLONG until = GetTickCount64() + kBoxNoteWaitMs;
  while (!g_boxStyles.count(hwnd) && GetTickCount64() < until) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    pumpOwnMessages();
  }
  auto note = g_boxStyles.find(hwnd);
  if (note != g_boxStyles.end()) {
    box.style = note->second;
    const UINT type = box.style & MB_TYPEMASK;
    box.buttons = type < buttonSets().size() ? buttonSets()[type] : buttonSets()[0];
  } else {
    // No note: the buttons the box shows tell its type, the default push
    // button its default; the icon cannot be told.
    for (size_t t = buttonSets().size(); t-- > 0;) {
      bool all = true;
      for (int b : buttonSets()[t]) all = all && shownButton(hwnd, b);
      if (all) {
        box.style = static_cast<UINT>(t);
        box.buttons = buttonSets()[t];
        break;
      }
    }
    if (box.buttons.empty()) box.buttons = {IDOK};
    for (size_t i = 0; i < box.buttons.size(); ++i) {
      HWND b = GetDlgItem(hwnd, box.buttons[i]);
      if (b && (GetWindowLongPtrW(b, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) box.style |= static_cast<UINT>(i) << 8;
    }
  }
  const size_t def = (box.style & MB_DEFMASK) >> 8;
  box.defaultButton = box.buttons[def < box.buttons.size() ? def : 0];
  box.messageIds = messageIdsIn(box.text);
  return box;
}

// ---- The script ----------------------------------------------------------------------------

std::string firstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  return line.size() > 60 ? line.substr(0, 60) + "..." : line;
}

bool boxMatches(const Statement& st, const BoxView& box) {
  if (st.match == "*") return true;
  if (!st.matchQuoted && std::find(box.messageIds.begin(), box.messageIds.end(), st.match) != box.messageIds.end())
    return true;
  return lower(box.text).find(lower(st.match)) != std::string::npos;
}

// A page or box has opened: it must be what the next statement expects.
void opened(Item& item) {
  std::deque<Action> waits;
  while (g_next < g_statements.size() && g_statements[g_next].kind == StatementKind::Wait) {
    Action w;
    w.kind = ActionKind::Wait;
    w.seconds = g_statements[g_next].seconds;
    w.source = g_statements[g_next].source;
    waits.push_back(w);
    ++g_next;
  }
  const std::string what = item.box ? "message box \"" + firstLine(item.boxView.text) + "\""
                                    : "page " + item.opened.dialogId + " \"" + item.opened.caption + "\"";
  appendTranscript(item.box ? kvdrive::describeBox(item.boxView) : kvdrive::describeDialog(item.opened));
  if (g_next >= g_statements.size()) failRun(what + " opened, but the UI script " + g_opt.script + " has ended");
  const Statement& st = g_statements[g_next];
  const std::string expected = g_opt.script + ":" + std::to_string(st.line) + " expects \"" + st.source + "\"";
  if (!item.box) {
    long id;
    if (st.kind != StatementKind::Page) failRun(what + " opened, but " + expected);
    if (!resolveId(st.dialog, &id))
      failRun(g_opt.script + ":" + std::to_string(st.line) + ": no dialog is named " + st.dialog.toString());
    if (std::to_string(id) != item.opened.dialogId && st.dialog.name != item.opened.dialogId)
      failRun(what + " opened, but " + expected);
    item.pending = std::move(waits);
    item.pending.insert(item.pending.end(), st.actions.begin(), st.actions.end());
  } else {
    if (st.kind != StatementKind::MsgBox || !boxMatches(st, item.boxView)) failRun(what + " opened, but " + expected);
    if (std::find(item.boxView.buttons.begin(), item.boxView.buttons.end(), st.answer) == item.boxView.buttons.end()) {
      std::string buttons;
      for (int b : item.boxView.buttons) buttons += std::string(buttons.empty() ? "" : ", ") + winsim::ui::answerWord(b);
      failRun(what + " has no button '" + winsim::ui::answerWord(st.answer) + "' (it has " + buttons + "); " +
              g_opt.script + ":" + std::to_string(st.line));
    }
    item.pending = std::move(waits);
    item.answer = st.answer;
  }
  item.statementLine = st.line;
  ++g_next;
  item.idleSince = GetTickCount64();
}

bool reachable(HWND control, std::string* why) {
  const int id = GetDlgCtrlID(control);
  const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
  if (!(style & WS_VISIBLE)) {
    *why = "control " + std::to_string(id) + " is hidden";
    return false;
  }
  if (style & WS_DISABLED) {
    *why = "control " + std::to_string(id) + " is disabled";
    return false;
  }
  return true;
}

// Delivers a click or notification and waits a little for the program to
// take it, so that the page is read after it. Never for long: the
// program's answer to a click may be a nested page or box that kvdrive
// itself has to answer (the message still arrives; kvdrive goes on).
void deliver(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  const ULONGLONG start = GetTickCount64();
  if (!SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_NORMAL, kDeliverWaitMs, &result)) {
    // A nested page or box is running: wait until the program waits for
    // input in it, then go on.
    const ULONGLONG spent = GetTickCount64() - start;
    if (spent < kDeliverWaitMs) WaitForInputIdle(g_process, static_cast<DWORD>(kDeliverWaitMs - spent));
  }
}

// The parent is told as a click would tell it.
void notifyParent(HWND control, WORD code) {
  deliver(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code), reinterpret_cast<LPARAM>(control));
}

bool click(Item& item, HWND control, std::string* why) {
  if (!reachable(control, why)) return false;
  const Kind kind = kvdrive::kindOf(control);
  switch (kind) {
    case Kind::PushButton:
    case Kind::CheckBox:
    case Kind::RadioButton:
    case Kind::OwnerDrawButton:
      if (kind == Kind::PushButton || kind == Kind::OwnerDrawButton) item.lastPressed = GetDlgCtrlID(control);
      deliver(control, BM_CLICK, 0, 0);
      return true;
    default:
      *why = "control " + std::to_string(GetDlgCtrlID(control)) + " is a " + kvdrive::kindName(kind) + ", not a button";
      return false;
  }
}

// A click on a line of a list view: the line becomes the only selected one
// (the list view tells its parent LVN_ITEMCHANGED itself), then NM_CLICK.
bool selectListViewLine(HWND lv, int index, std::string* why) {
  const int count = static_cast<int>(SendMessageW(lv, LVM_GETITEMCOUNT, 0, 0));
  if (index < 0 || index >= count) {
    *why = "list " + std::to_string(GetDlgCtrlID(lv)) + " has no line " + std::to_string(index);
    return false;
  }
  // The structures live in the program's memory; they are left there, as
  // the notification is delivered after kvdrive has moved on.
  const size_t size = sizeof(LVITEMW) + sizeof(NMITEMACTIVATE);
  char* remote = static_cast<char*>(VirtualAllocEx(g_process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!remote) {
    *why = "the program's memory cannot be reached";
    return false;
  }
  auto setState = [&](int i, UINT state, UINT mask) {
    LVITEMW it{};
    it.state = state;
    it.stateMask = mask;
    SIZE_T done = 0;
    WriteProcessMemory(g_process, remote, &it, sizeof it, &done);
    DWORD_PTR r = 0;
    SendMessageTimeoutW(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote),
                        SMTO_ABORTIFHUNG, 2000, &r);
  };
  if (!(GetWindowLongPtrW(lv, GWL_STYLE) & LVS_SINGLESEL))
    for (int i = 0; i < count; ++i)
      if (i != index) setState(i, 0, LVIS_SELECTED);
  setState(index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  NMITEMACTIVATE nm{};
  nm.hdr.hwndFrom = lv;
  nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(lv));
  nm.hdr.code = NM_CLICK;
  nm.iItem = index;
  SIZE_T done = 0;
  WriteProcessMemory(g_process, remote + sizeof(LVITEMW), &nm, sizeof nm, &done);
  SendNotifyMessageW(GetParent(lv), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(remote + sizeof(LVITEMW)));
  return true;
}

int findLine(HWND control, const std::string& text) {
  const std::string want = lower(text);
  const ControlView v = kvdrive::viewOf(control, g_process);
  if (v.kind == Kind::ListView) {
    for (size_t i = 0; i < v.rows.size(); ++i)
      if (!v.rows[i].empty() && lower(v.rows[i][0]) == want) return static_cast<int>(i);
    return -1;
  }
  for (size_t i = 0; i < v.lines.size(); ++i)
    if (lower(v.lines[i]) == want) return static_cast<int>(i);
  return -1;
}

bool select(HWND control, int index, std::string* why) {
  if (!reachable(control, why)) return false;
  const int id = GetDlgCtrlID(control);
  const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
  switch (kvdrive::kindOf(control)) {
    case Kind::ListBox: {
      const int count = static_cast<int>(SendMessageW(control, LB_GETCOUNT, 0, 0));
      if (index < 0 || index >= count) {
        *why = "list " + std::to_string(id) + " has no line " + std::to_string(index);
        return false;
      }
      if (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) {
        const bool was = SendMessageW(control, LB_GETSEL, static_cast<WPARAM>(index), 0) > 0;
        SendMessageW(control, LB_SETSEL, !was, index);
      } else {
        SendMessageW(control, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
      }
      if (style & LBS_NOTIFY) notifyParent(control, LBN_SELCHANGE);
      return true;
    }
    case Kind::ComboBox: {
      const int count = static_cast<int>(SendMessageW(control, CB_GETCOUNT, 0, 0));
      if (index < 0 || index >= count) {
        *why = "combo box " + std::to_string(id) + " has no line " + std::to_string(index);
        return false;
      }
      SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
      notifyParent(control, CBN_SELCHANGE);
      return true;
    }
    case Kind::ListView:
      return selectListViewLine(control, index, why);
    default:
      *why = "control " + std::to_string(id) + " is a " + kvdrive::kindName(kvdrive::kindOf(control)) + ", not a list";
      return false;
  }
}

bool typeText(HWND control, const std::string& text, std::string* why) {
  if (!reachable(control, why)) return false;
  if (kvdrive::kindOf(control) != Kind::Edit) {
    *why = "control " + std::to_string(GetDlgCtrlID(control)) + " is not an edit box";
    return false;
  }
  const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
  if (style & ES_READONLY) {
    *why = "edit box " + std::to_string(GetDlgCtrlID(control)) + " is read-only";
    return false;
  }
  // Typing stops at the box's limit, as it does for a person.
  std::wstring typed = kvdrive::fromUtf8(text);
  const size_t limit = static_cast<size_t>(SendMessageW(control, EM_GETLIMITTEXT, 0, 0));
  if (limit && typed.size() > limit) typed.resize(limit);
  SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
  // A single-line edit box tells its parent itself; a multi-line one does
  // not for WM_SETTEXT, where typing would.
  if (style & ES_MULTILINE) {
    notifyParent(control, EN_UPDATE);
    notifyParent(control, EN_CHANGE);
  }
  return true;
}

bool runAction(Item& item, const Action& a, std::string* why) {
  HWND dlg = item.hwnd;
  auto control = [&](HWND* out) {
    long id;
    if (!resolveId(a.control, &id)) {
      *why = "no control is named " + a.control.toString();
      return false;
    }
    *out = GetDlgItem(dlg, static_cast<int>(id));
    if (!*out) *why = "the page has no control " + a.control.toString();
    return *out != nullptr;
  };
  auto command = [&](int id) {
    item.lastPressed = id;
    deliver(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
    return true;
  };
  auto pressButton = [&](int id, bool pressIfHidden) {
    HWND button = GetDlgItem(dlg, id);
    if (!button) return command(id);
    const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
    if (pressIfHidden && !(style & WS_VISIBLE) && !(style & WS_DISABLED)) return command(id);
    return click(item, button, why);
  };
  HWND c = nullptr;
  switch (a.kind) {
    case ActionKind::Click:
      return control(&c) && click(item, c, why);
    case ActionKind::Check:
    case ActionKind::Uncheck: {
      if (!control(&c)) return false;
      const Kind kind = kvdrive::kindOf(c);
      if (kind != Kind::CheckBox && kind != Kind::RadioButton) {
        *why = "control " + a.control.toString() + " is not a check box or radio button";
        return false;
      }
      const bool want = a.kind == ActionKind::Check;
      const bool is = SendMessageW(c, BM_GETCHECK, 0, 0) == BST_CHECKED;
      if (want == is) return true;
      if (!want && kind == Kind::RadioButton) {
        *why = "radio button " + a.control.toString() + " cannot be unchecked: choose another one of its group";
        return false;
      }
      return click(item, c, why);
    }
    case ActionKind::Select: {
      if (!control(&c)) return false;
      const int index = a.index ? static_cast<int>(*a.index) : findLine(c, a.text);
      if (!a.index && index < 0) {
        *why = "list " + a.control.toString() + " has no line \"" + a.text + "\"";
        return false;
      }
      return select(c, index, why);
    }
    case ActionKind::Text:
      return control(&c) && typeText(c, a.text, why);
    case ActionKind::Ok:
      return pressButton(IDOK, false);
    case ActionKind::Cancel:
      return pressButton(IDCANCEL, true);
    case ActionKind::Back: {
      HWND back = GetDlgItem(dlg, kBackButtonId);
      if (!back || kvdrive::kindOf(back) != Kind::PushButton) {
        *why = "the page has no Back button";
        return false;
      }
      return click(item, back, why);
    }
    case ActionKind::Wait:
      item.waitUntil = GetTickCount64() + scriptMs(a.seconds);
      item.waiting = true;
      return true;
  }
  return false;
}

// The innermost open item has nothing else to do: the next action, a wait,
// or the box's answer.
void idle(Item& item) {
  if (item.waiting) {
    if (GetTickCount64() < item.waitUntil) return;
    item.waiting = false;
    item.idleSince = GetTickCount64();
  }
  if (!item.pending.empty()) {
    Action a = item.pending.front();
    item.pending.pop_front();
    item.done.push_back(a.source);
    std::string why;
    if (!item.box && !runAction(item, a, &why))
      failRun("page " + item.opened.dialogId + ", " + g_opt.script + ":" + std::to_string(item.statementLine) + ": \"" +
              a.source + "\": " + why);
    if (!item.box && a.kind != ActionKind::Wait && stillOpen(item)) {
      DialogView now = kvdrive::snapshot(item.hwnd, g_process);
      if (now.controls.size() == item.opened.controls.size()) item.last = std::move(now);
      item.lastRead = GetTickCount64();
    }
    if (item.box && a.kind == ActionKind::Wait) {
      item.waitUntil = GetTickCount64() + scriptMs(a.seconds);
      item.waiting = true;
    }
    item.idleSince = GetTickCount64();
    return;
  }
  if (item.box) {
    if (item.lastPressed) return;
    item.lastPressed = item.answer;
    if (HWND b = GetDlgItem(item.hwnd, item.answer)) PostMessageW(b, BM_CLICK, 0, 0);
    else PostMessageW(item.hwnd, WM_COMMAND, MAKEWPARAM(item.answer, BN_CLICKED), 0);
    return;
  }
  if (g_next < g_statements.size() && g_statements[g_next].kind == StatementKind::Wait) {
    const Statement& st = g_statements[g_next++];
    item.done.push_back(st.source);
    item.waitUntil = GetTickCount64() + scriptMs(st.seconds);
    item.waiting = true;
    return;
  }
  if (GetTickCount64() - item.idleSince > scriptMs(kIdleLimitSeconds))
    failRun("page " + item.opened.dialogId + " \"" + item.opened.caption +
            "\" is still open after 600 seconds, and the UI script has nothing more for it (" + g_opt.script + ":" +
            std::to_string(item.statementLine) + ")");
}

void closed(Item& item) {
  if (item.box) {
    appendTranscript("-- answered " + std::string(winsim::ui::answerWord(item.answer)) + " (" + g_opt.script + ":" +
                     std::to_string(item.statementLine) + ")\n");
    return;
  }
  // The result the page ended with, as the program's EndDialog gave it;
  // without word from the hook, the button a person pressed (a page that
  // ends by itself is not pressed at all).
  std::string result = item.lastPressed ? kvdrive::resultName(item.lastPressed) : std::string("its own result");
  if (auto end = g_endings.find(item.hwnd); end != g_endings.end()) {
    result = kvdrive::resultName(end->second.result);
    if (end->second.left.controls.size() == item.opened.controls.size()) item.last = std::move(end->second.left);
    g_endings.erase(end);
  }
  appendTranscript(kvdrive::describeClose(item.opened, item.last, result, item.done));
  for (const Action& a : item.pending)
    if (a.kind != ActionKind::Wait)
      failRun("page " + item.opened.dialogId + " closed before \"" + a.source + "\" of " + g_opt.script + ":" +
              std::to_string(item.statementLine) + " ran");
}

// ---- Watching the program's windows --------------------------------------------------------

std::string templateOf(HWND dlg) {
  std::set<int> ids;
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ids.insert(GetDlgCtrlID(c) & 0xFFFF);
  for (const auto& t : g_templates)
    if (t.controls == ids) return t.id;
  return "";
}

BOOL CALLBACK collect(HWND hwnd, LPARAM lParam) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != GetProcessId(g_process)) return TRUE;
  wchar_t cls[16] = {};
  GetClassNameW(hwnd, cls, 16);
  if (lstrcmpW(cls, L"#32770") != 0) return TRUE;
  if (!(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_VISIBLE)) return TRUE;
  reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
  return TRUE;
}

bool stillOpen(const Item& item) {
  return IsWindow(item.hwnd) && (GetWindowLongPtrW(item.hwnd, GWL_STYLE) & WS_VISIBLE);
}

void watch() {
  // Closed ones first, innermost first.
  for (size_t i = g_open.size(); i-- > 0;) {
    Item& item = *g_open[i];
    if (stillOpen(item)) continue;
    if (!item.box && IsWindow(item.hwnd)) {
      // A page on its way out may have lost some of its controls already:
      // then it is described as it was last seen whole.
      DialogView now = kvdrive::snapshot(item.hwnd, g_process);
      if (now.controls.size() == item.opened.controls.size()) item.last = std::move(now);
    }
    closed(item);
    g_open.erase(g_open.begin() + static_cast<std::ptrdiff_t>(i));
  }
  std::vector<HWND> shown;
  EnumWindows(collect, reinterpret_cast<LPARAM>(&shown));
  // EnumWindows gives the topmost first: the newest window last.
  std::reverse(shown.begin(), shown.end());
  for (HWND hwnd : shown) {
    if (g_seen.count(hwnd)) continue;
    g_seen.insert(hwnd);
    auto item = std::make_unique<Item>();
    item->hwnd = hwnd;
    const std::string id = templateOf(hwnd);
    if (id.empty() && GetDlgItem(hwnd, kvdrive::kBoxTextId)) {
      item->box = true;
      item->boxView = readBox(hwnd);
      takePicture(hwnd, "msgbox");
    } else {
      // As it was when it had set itself up, when the hook said so: what a
      // page's timers or threads did since is not its opening.
      auto early = g_openings.find(hwnd);
      item->opened = early != g_openings.end() ? std::move(early->second) : kvdrive::snapshot(hwnd, g_process);
      if (early != g_openings.end()) g_openings.erase(early);
      item->opened.dialogId = id.empty() ? "?" : id;
      item->last = item->opened;
      if (id.empty()) {
        appendTranscript(kvdrive::describeDialog(item->opened));
        failRun("a window \"" + item->opened.caption + "\" opened that is no page of the program's resource script");
      }
      takePicture(hwnd, id);
    }
    opened(*item);
    g_open.push_back(std::move(item));
  }
  // The open pages are read again now and then, so that a page that ends
  // is described as it was last seen even when it goes at once.
  for (auto& item : g_open)
    if (!item->box && GetTickCount64() - item->lastRead >= kReadEveryMs && stillOpen(*item)) {
      DialogView now = kvdrive::snapshot(item->hwnd, g_process);
      if (now.controls.size() == item->opened.controls.size()) item->last = std::move(now);
      item->lastRead = GetTickCount64();
    }
  if (!g_open.empty()) idle(*g_open.back());
}

// ---- The parent installer's window -------------------------------------------------------

std::string showBytes(const unsigned char* p, DWORD n) {
  if (n > 0 && p[n - 1] == 0) --n;
  std::string out;
  for (DWORD i = 0; i < n; ++i) {
    if (p[i] >= 0x20 && p[i] < 0x7f && p[i] != '\\') {
      out += static_cast<char>(p[i]);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", p[i]);
      out += buf;
    }
  }
  return out;
}

LRESULT CALLBACK driverProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (g_base && msg >= g_base && msg <= g_base + 2) {
    std::printf("kind=%u wParam=0x%08llx lParam=0x%08llx\n", msg - g_base, static_cast<unsigned long long>(wParam),
                static_cast<unsigned long long>(lParam));
    std::fflush(stdout);
    return 0;
  }
  if (msg == WM_COPYDATA) {
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (cds && cds->dwData == kvdrive::kOpenNoteTag && cds->cbData == sizeof(kvdrive::OpenNote)) {
      const auto* note = static_cast<const kvdrive::OpenNote*>(cds->lpData);
      HWND dlg = reinterpret_cast<HWND>(static_cast<uintptr_t>(note->hwnd));
      g_openings[dlg] = kvdrive::snapshot(dlg, g_process);
      return TRUE;
    }
    if (cds && cds->dwData == kvdrive::kEndNoteTag && cds->cbData == sizeof(kvdrive::EndNote)) {
      // The program waits in its EndDialog while the dialog is read.
      const auto* note = static_cast<const kvdrive::EndNote*>(cds->lpData);
      HWND dlg = reinterpret_cast<HWND>(static_cast<uintptr_t>(note->hwnd));
      Ending& ending = g_endings[dlg];
      ending.result = static_cast<INT_PTR>(note->result);
      ending.left = kvdrive::snapshot(dlg, g_process);
      return TRUE;
    }
    if (cds && cds->dwData == kvdrive::kBoxNoteTag && cds->cbData == sizeof(kvdrive::BoxNote)) {
      const auto* note = static_cast<const kvdrive::BoxNote*>(cds->lpData);
      g_boxStyles[reinterpret_cast<HWND>(static_cast<uintptr_t>(note->hwnd))] = note->style;
      return TRUE;
    }
    if (cds && g_opt.parent) {
      std::printf("copydata=%s dwData=0x%llx cbData=%lu\n",
                  showBytes(static_cast<const unsigned char*>(cds->lpData), cds->lpData ? cds->cbData : 0).c_str(),
                  static_cast<unsigned long long>(cds->dwData), static_cast<unsigned long>(cds->cbData));
      std::fflush(stdout);
    }
    return g_opt.answerCopyData ? TRUE : FALSE;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::string quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
    } else {
      if (c == '"') out.append(backslashes + 1, '\\');
      backslashes = 0;
    }
    out += c;
  }
  out.append(backslashes, '\\');
  return out + "\"";
}

int usage() {
  std::fprintf(stderr,
               "usage: kvdrive [--parent] [--answer-copydata] [--script FILE] [--transcript FILE] [--shots DIR] "
               "-- PROGRAM ARGS...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int i = 1;
  for (; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    if (a == "--parent") g_opt.parent = true;
    else if (a == "--answer-copydata") g_opt.answerCopyData = true;
    else if (a == "--script") { if (!value(&g_opt.script)) return usage(); }
    else if (a == "--transcript") { if (!value(&g_opt.transcript)) return usage(); }
    else if (a == "--shots") { if (!value(&g_opt.shots)) return usage(); }
    else if (a == "--") { ++i; break; }
    else if (a == "--help" || a == "-h") {
      std::printf(
          "usage: kvdrive [--parent] [--answer-copydata] [--script FILE] [--transcript FILE] [--shots DIR] -- PROGRAM ARGS...\n"
          "Starts PROGRAM and answers its pages and message boxes from the UI script FILE\n"
          "(docs/ui-script.md), appending the transcript to FILE (transcript.log). --parent\n"
          "acts as its parent installer, as kvparent does. --shots writes a picture of every\n"
          "page and box as it opens (NN-ID.bmp). Exits with PROGRAM's exit code, or 3 when\n"
          "the script does not fit.\n");
      return 0;
    } else return usage();
  }
  if (i >= argc) return usage();
  for (int k = i; k < argc; ++k) g_opt.program.push_back(argv[k]);
  if (const char* scale = std::getenv("KVSIM_TIMESCALE"); scale && *scale) {
    g_timescale = std::strtod(scale, nullptr);
    if (!(g_timescale > 0) || !std::isfinite(g_timescale)) g_timescale = 1.0;
  }

  if (!g_opt.script.empty()) {
    std::ifstream in(g_opt.script, std::ios::binary);
    if (!in) failRun("the UI script " + g_opt.script + " cannot be read");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    if (!winsim::ui::parseScript(text, g_opt.script, &g_statements, &error)) failRun("UI script: " + error);
  }
  loadTemplates();
  loadCatalogue(g_opt.program[0]);

  WNDCLASSW wc{};
  wc.lpfnWndProc = driverProc;
  wc.lpszClassName = L"KvDriveWindow";
  if (!RegisterClassW(&wc)) {
    std::fprintf(stderr, "kvdrive: cannot register the window class (%lu)\n", GetLastError());
    return 2;
  }
  HWND hwnd = CreateWindowExW(0, L"KvDriveWindow", L"kvdrive", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (!hwnd) {
    std::fprintf(stderr, "kvdrive: cannot create the window (%lu)\n", GetLastError());
    return 2;
  }
  char handle[32];
  std::snprintf(handle, sizeof handle, "%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd)));
  SetEnvironmentVariableA("KVDRIVE_WINDOW", handle);

  std::string line;
  for (const auto& a : g_opt.program) line += (line.empty() ? "" : " ") + quote(a);
  if (g_opt.parent) {
    g_base = RegisterWindowMessageA("KVPARENT_BASE_MESSAGE");
    char switches[64];
    std::snprintf(switches, sizeof switches, " +W:%08llx +M:%05x",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd)), g_base);
    line += switches;
  }
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  // A start that fails is tried again for a few seconds: a run under Wine
  // once ended here, right after the program of the run before had ended,
  // and the next start went through.
  for (int nTry = 1;; ++nTry) {
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si, &pi))
      break;
    const DWORD dwError = GetLastError();
    if (nTry == 10) {
      std::fprintf(stderr, "kvdrive: cannot start %s (%lu)\n", g_opt.program[0].c_str(), dwError);
      return 2;
    }
    std::fprintf(stderr, "kvdrive: the start of %s failed (%lu), trying again\n", g_opt.program[0].c_str(), dwError);
    Sleep(300);
  }
  g_process = pi.hProcess;
  // The hook tells the style of each message box the program's main thread shows.
  HHOOK hook = nullptr;
  char self[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string hookPath(self, n);
  hookPath = hookPath.substr(0, hookPath.find_last_of("\\/") + 1) + "kvdrive_hook.dll";
  if (HMODULE dll = LoadLibraryA(hookPath.c_str())) {
    auto proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(dll, "kvdriveCallWndRetProc")));
    if (proc) hook = SetWindowsHookExA(WH_CALLWNDPROCRET, proc, dll, pi.dwThreadId);
  }
  if (!hook) std::fprintf(stderr, "kvdrive: no hook (%lu): message box icons cannot be told\n", GetLastError());
  ResumeThread(pi.hThread);

  for (;;) {
    const DWORD r = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 10, QS_ALLINPUT);
    pumpOwnMessages();
    if (r == WAIT_OBJECT_0) break;
    watch();
  }
  pumpOwnMessages();
  watch();
  // Whatever was still open ended with the program.
  for (size_t k = g_open.size(); k-- > 0;) closed(*g_open[k]);
  g_open.clear();
  // A script must be used to its end: a statement never reached fails the
  // run as the native renderers fail it.
  for (size_t i = g_next; i < g_statements.size(); ++i) {
    const Statement& st = g_statements[i];
    if (st.kind == StatementKind::Wait) continue;
    failRun(winsim::ui::describeStatement(st) + " expected, the program ended (" + g_opt.script + ":" +
            std::to_string(st.line) + ": \"" + st.source + "\" was never reached)");
  }
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  if (hook) UnhookWindowsHookEx(hook);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  DestroyWindow(hwnd);
  return static_cast<int>(code);
}
