// winsim: what the renderers see of a dialog (a snapshot of its controls)
// and the actions of the UI language carried out on a dialog. How it is
// written down for the transcript and the terminal is ui_format.cpp's.
#include <algorithm>
#include <cstdio>

#include "kernel32/nls.h"
#include "machine.h"
#include "user32/ui.h"

namespace winsim::ui {
namespace {

std::string windowText(HWND hwnd) {
  const int n = GetWindowTextLengthA(hwnd);
  std::string text(static_cast<size_t>(std::max(n, 0)) + 1, '\0');
  const int got = GetWindowTextA(hwnd, text.data(), n + 1);
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return text;
}

ControlView viewOf(HWND c) {
  using dlg::ControlKind;
  ControlView v;
  v.hwnd = c;
  v.id = GetDlgCtrlID(c);
  v.kind = dlg::kindOf(c);
  v.text = windowText(c);
  auto w = user::findWindow(c);
  v.visible = w && w->visible;
  v.enabled = w && w->enabled;
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(c, GWL_STYLE));
  switch (v.kind) {
    case ControlKind::PushButton:
      v.isDefault = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
      break;
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
      if (auto* s = dlg::stateOf<dlg::ButtonState>(c)) v.check = s->check;
      break;
    case ControlKind::Edit:
      v.readOnly = (style & ES_READONLY) != 0;
      v.multiline = (style & ES_MULTILINE) != 0;
      break;
    case ControlKind::ListBox:
    case ControlKind::ComboBox:
      if (auto* s = dlg::stateOf<dlg::ListBoxState>(c)) {
        const bool multi = (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) && v.kind == ControlKind::ListBox;
        for (size_t i = 0; i < s->items.size(); ++i) {
          v.lines.push_back(s->items[i].text);
          v.selected.push_back(multi ? s->items[i].selected : static_cast<int>(i) == s->cursel);
        }
      }
      break;
    case ControlKind::ListView:
      if (auto* s = dlg::stateOf<dlg::ListViewState>(c)) {
        for (const auto& col : s->columns) v.columns.push_back(col.text);
        const size_t width = std::max<size_t>(1, s->columns.size());
        for (const auto& it : s->items) {
          std::vector<std::string> row(width);
          for (size_t k = 0; k < width && k < it.texts.size(); ++k) row[k] = it.texts[k];
          v.rows.push_back(std::move(row));
          v.selected.push_back((it.state & LVIS_SELECTED) != 0);
          v.checkStates.push_back((s->exStyle & LVS_EX_CHECKBOXES) ? static_cast<int>((it.state >> 12) & 0xF) : 0);
        }
      }
      break;
    case ControlKind::Progress:
      if (auto* s = dlg::stateOf<dlg::ProgressState>(c)) {
        v.low = s->low;
        v.high = s->high;
        v.pos = s->pos;
      }
      break;
    case ControlKind::Animation:
      if (auto* s = dlg::stateOf<dlg::AnimateState>(c)) v.playing = s->playing;
      break;
    default:
      break;
  }
  return v;
}

}  // namespace

DialogView snapshot(HWND dlg) {
  DialogView v;
  v.hwnd = dlg;
  v.caption = windowText(dlg);
  if (auto* d = dlg::dialogOf(dlg)) v.dialogId = d->templateId.toString();
  auto w = user::findWindow(dlg);
  if (!w) return v;
  for (HWND c : std::vector<HWND>(w->children)) v.controls.push_back(viewOf(c));
  return v;
}

std::string describeClose(const OpenItem& item, INT_PTR result) {
  return describeClose(item.openedView, snapshot(item.hwnd), resultName(result), item.done);
}

bool runAction(OpenItem& item, const Action& a, std::string* why) {
  HWND dlg = item.hwnd;
  auto control = [&](HWND* out) {
    long id;
    if (!resolveId(a.control, item.module, &id)) {
      *why = "no control is named " + a.control.toString();
      return false;
    }
    *out = GetDlgItem(dlg, static_cast<int>(id));
    if (!*out) *why = "the page has no control " + a.control.toString();
    return *out != nullptr;
  };
  auto pressButton = [&](int id, bool pressIfHidden) {
    HWND button = GetDlgItem(dlg, id);
    if (!button) {
      dlg::userCommand(dlg, id);
      return true;
    }
    if (pressIfHidden && !IsWindowVisible(button) && IsWindowEnabled(button)) {
      dlg::userCommand(dlg, id);
      return true;
    }
    return dlg::userClick(button, why);
  };
  HWND c = nullptr;
  switch (a.kind) {
    case ActionKind::Click:
      return control(&c) && dlg::userClick(c, why);
    case ActionKind::Check:
    case ActionKind::Uncheck: {
      if (!control(&c)) return false;
      const dlg::ControlKind kind = dlg::kindOf(c);
      if (kind != dlg::ControlKind::CheckBox && kind != dlg::ControlKind::RadioButton) {
        *why = "control " + a.control.toString() + " is not a check box or radio button";
        return false;
      }
      const bool want = a.kind == ActionKind::Check;
      const bool is = SendMessageA(c, BM_GETCHECK, 0, 0) == BST_CHECKED;
      if (want == is) return true;
      if (!want && kind == dlg::ControlKind::RadioButton) {
        *why = "radio button " + a.control.toString() + " cannot be unchecked: choose another one of its group";
        return false;
      }
      return dlg::userClick(c, why);
    }
    case ActionKind::Select: {
      if (!control(&c)) return false;
      // The script's and the terminal's text is UTF-8, the list's ANSI.
      int index = a.index ? static_cast<int>(*a.index) : dlg::findLine(c, utf8ToAnsi(a.text));
      if (!a.index && index < 0) {
        *why = "list " + a.control.toString() + " has no line \"" + a.text + "\"";
        return false;
      }
      return dlg::userSelect(c, index, why);
    }
    case ActionKind::Text:
      return control(&c) && dlg::userSetText(c, utf8ToAnsi(a.text), why);
    case ActionKind::Ok:
      return pressButton(IDOK, false);
    case ActionKind::Cancel:
      // Escape reaches a hidden Cancel button too, but not a disabled one.
      return pressButton(IDCANCEL, true);
    case ActionKind::Back: {
      HWND back = GetDlgItem(dlg, kBackButtonId);
      if (!back || dlg::kindOf(back) != dlg::ControlKind::PushButton) {
        *why = "the page has no Back button";
        return false;
      }
      return dlg::userClick(back, why);
    }
    case ActionKind::Wait:
      item.waitUntilMs = nowMs() + static_cast<std::uint64_t>(a.seconds * 1000);
      item.waiting = true;
      return true;
  }
  return false;
}

}  // namespace winsim::ui
