// The transcript's text for dialogs and message boxes (ui_format.h).
#include "user32/ui_format.h"

#include <algorithm>
#include <cstdio>

#include "user32/ui_script.h"

namespace winsim::ui {
namespace {

// Lines of a multi-line text, each prefixed.
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

// The lines of a multi-line text, without their line ends.
std::vector<std::string> splitTextLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) eol = text.size();
    std::string line = text.substr(pos, eol - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    if (eol == text.size()) break;
    pos = eol + 1;
  }
  while (lines.size() > 1 && lines.back().empty()) lines.pop_back();
  return lines;
}

// The lines as a multi-line edit shows them in a box `width` characters wide:
// long lines broken between words (a word longer than a line is cut).
std::vector<std::string> splitWrappedLines(const std::string& text, size_t width) {
  std::vector<std::string> out;
  for (const std::string& line : splitTextLines(text)) {
    std::string rest = line;
    while (rest.size() > width) {
      size_t cut = rest.rfind(' ', width);
      if (cut == std::string::npos || cut == 0) cut = width;
      out.push_back(rest.substr(0, cut));
      rest.erase(0, cut);
      while (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
    }
    out.push_back(rest);
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

std::string padRight(const std::string& s, size_t width) {
  size_t chars = 0;
  for (unsigned char ch : s)
    if ((ch & 0xC0) != 0x80) ++chars;
  return chars >= width ? s : s + std::string(width - chars, ' ');
}

size_t displayWidth(const std::string& s) {
  size_t chars = 0;
  for (unsigned char ch : s)
    if ((ch & 0xC0) != 0x80) ++chars;
  return chars;
}

std::string mark(Numbering* number, const ControlView& c, int line) {
  if (!number) return "";
  int n = number->numberFor(c, line);
  if (!n) return "      ";
  char buf[16];
  std::snprintf(buf, sizeof buf, "%4d) ", n);
  return buf;
}

std::string describeControl(const ControlView& c, Numbering* number, size_t maxEditLines) {
    const std::string id = std::to_string(c.id);
  const std::string flags = std::string(c.enabled ? "" : " (disabled)");
  std::string out;
  switch (c.kind) {
    case ControlKind::Decoration:
    case ControlKind::Picture:
    case ControlKind::OwnerDrawButton:
      return "";
    case ControlKind::Label:
      if (c.text.empty()) return "";
      return "  " + mark(number, c, -1) + id + " text:" + (c.text.find('\n') == std::string::npos
                                                               ? " " + c.text + "\n"
                                                               : "\n" + block(c.text, "      | "));
    case ControlKind::GroupBox:
      return c.text.empty() ? "" : "  " + mark(number, c, -1) + id + " group: " + c.text + "\n";
    case ControlKind::PushButton:
      return "  " + mark(number, c, -1) + id + " button " + quoted(c.text) + (c.isDefault ? " (default)" : "") + flags +
             "\n";
    case ControlKind::CheckBox:
      return "  " + mark(number, c, -1) + id + " check [" + (c.check == BST_CHECKED ? "x" : c.check ? "?" : " ") +
             "] " + quoted(c.text) + flags + "\n";
    case ControlKind::RadioButton:
      return "  " + mark(number, c, -1) + id + " radio (" + (c.check ? "*" : " ") + ") " + quoted(c.text) + flags +
             "\n";
    case ControlKind::Edit:
      out = "  " + mark(number, c, -1) + id + " edit" + (c.readOnly ? " (read-only)" : "") + flags;
      if (c.multiline && maxEditLines > 0) {
        // A long text shows its beginning; the rest is read page by page.
        const std::vector<std::string> lines = splitWrappedLines(c.text, kTerminalTextWidth);
        out += ":\n";
        if (lines.size() <= maxEditLines) {
          for (const std::string& line : lines) out += "      | " + line + "\n";
          return out;
        }
        for (size_t i = 0; i < maxEditLines; ++i) out += "      | " + lines[i] + "\n";
        return out + "      | ... " + std::to_string(lines.size() - maxEditLines) + " more lines (\"read " + id +
               "\" shows them page by page)\n";
      }
      if (c.multiline) return out + ":\n" + block(c.text, "      | ");
      return out + ": " + quoted(c.text) + "\n";
    case ControlKind::ListBox:
    case ControlKind::ComboBox:
      out = "  " + std::string(number ? "      " : "") + id + (c.kind == ControlKind::ListBox ? " list" : " combo") +
            flags + (c.lines.empty() ? ": (empty)\n" : ":\n");
      for (size_t i = 0; i < c.lines.size(); ++i)
        out += "  " + mark(number, c, static_cast<int>(i)) + "    " + (c.selected[i] ? "> " : "  ") + c.lines[i] + "\n";
      return out;
    case ControlKind::ListView: {
      out = "  " + std::string(number ? "      " : "") + id + " table" + flags + (c.rows.empty() ? ": (empty)\n" : ":\n");
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
      if (!c.columns.empty()) out += "  " + std::string(number ? "      " : "") + "      " + format(c.columns) + "\n";
      for (size_t i = 0; i < c.rows.size(); ++i) {
        std::string box = c.checkStates[i] == 2 ? "[x] " : c.checkStates[i] == 1 ? "[ ] " : "";
        out += "  " + mark(number, c, static_cast<int>(i)) + "    " + (c.selected[i] ? "> " : "  ") + box +
               format(c.rows[i]) + "\n";
      }
      return out;
    }
    case ControlKind::Progress:
      return "  " + mark(number, c, -1) + id + " progress " + progressBar(c) + "\n";
    case ControlKind::Animation:
      return "  " + mark(number, c, -1) + id + " animation " + (c.playing ? "playing" : "still") + "\n";
    case ControlKind::Other:
      return "  " + mark(number, c, -1) + id + " control " + quoted(c.text) + flags + "\n";
  }
  return "";
}

}  // namespace

std::vector<std::string> textLines(const std::string& text) { return splitTextLines(text); }
std::vector<std::string> wrappedTextLines(const std::string& text, size_t width) {
  return splitWrappedLines(text, width);
}

const ControlView* DialogView::find(int id) const {
  for (const auto& c : controls)
    if (c.id == id) return &c;
  return nullptr;
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

const char* buttonLabel(int id) {
  switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "Abort";
    case IDRETRY: return "Retry";
    case IDIGNORE: return "Ignore";
    case IDYES: return "Yes";
    case IDNO: return "No";
    case IDTRYAGAIN: return "Try Again";
    case IDCONTINUE: return "Continue";
    default: return "?";
  }
}

std::string resultName(INT_PTR result) {
  std::string out = std::to_string(result);
  switch (result) {
    case IDOK: return out + " (IDOK)";
    case IDCANCEL: return out + " (IDCANCEL)";
    default: return out;
  }
}

std::string describeDialog(const DialogView& view, Numbering* number, size_t maxEditLines) {
  std::string out = "== page " + view.dialogId + " " + quoted(view.caption) + "\n";
  for (const auto& c : view.controls)
    if (c.visible) out += describeControl(c, number, maxEditLines);
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
    out += describeControl(c, nullptr, 0);
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
  for (int b : box.buttons) out += std::string(" ") + answerWord(b) + (b == box.defaultButton ? "*" : "");
  return out + "\n";
}

std::string describeClose(const DialogView& opened, const DialogView& left, const std::string& result,
                          const std::vector<std::string>& done) {
  std::string line = "-- page " + opened.dialogId + " left with " + result;
  if (!done.empty()) {
    line += " after:";
    for (size_t i = 0; i < done.size(); ++i) line += (i ? "; " : " ") + done[i];
  }
  return line + "\n" + describeChanges(opened, left);
}

}  // namespace winsim::ui
