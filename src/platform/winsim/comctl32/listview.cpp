// winsim: the list view control (report view): columns, items with
// sub-items, selection, focus and check states, sorting with the caller's
// comparison, and the notifications a parent relies on (LVN_ITEMCHANGING,
// LVN_ITEMCHANGED, LVN_INSERTITEM, LVN_DELETEITEM, LVN_DELETEALLITEMS,
// NM_CLICK).
#include <algorithm>
#include <cstring>

#include "comctl32/comctl_internal.h"
#include "machine.h"
#include "user32/dialog_internal.h"

namespace winsim::comctl {
namespace {

using dlg::ListViewState;

constexpr int kMargin = 12;     // text margins of a cell, in pixels
constexpr int kRowHeight = 17;  // one line of "MS Shell Dlg" 8 with its spacing
constexpr int kSmallIcon = 16;

ListViewState& stateOf(HWND hwnd) {
  auto w = user::findWindow(hwnd);
  if (!dynamic_cast<ListViewState*>(w->extension.get())) w->extension = std::make_shared<ListViewState>();
  return *static_cast<ListViewState*>(w->extension.get());
}

DWORD styleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)); }

LRESULT notify(HWND hwnd, NMHDR* hdr, UINT code) {
  hdr->hwndFrom = hwnd;
  hdr->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd));
  hdr->code = code;
  HWND parent = GetParent(hwnd);
  return parent ? SendMessageA(parent, WM_NOTIFY, hdr->idFrom, reinterpret_cast<LPARAM>(hdr)) : 0;
}

LRESULT notifyItem(HWND hwnd, UINT code, int item, UINT oldState, UINT newState, UINT changed, LPARAM lParam) {
  NMLISTVIEW nm{};
  nm.iItem = item;
  nm.uOldState = oldState;
  nm.uNewState = newState;
  nm.uChanged = changed;
  nm.lParam = lParam;
  return notify(hwnd, &nm.hdr, code);
}

bool validItem(const ListViewState& s, int i) { return i >= 0 && i < static_cast<int>(s.items.size()); }

int subItemCount(const ListViewState& s) { return std::max<int>(1, static_cast<int>(s.columns.size())); }

std::string textArg(LPCSTR text) {
  // LPSTR_TEXTCALLBACK asks the parent for the text each time; the parent
  // is never asked here, so such an item shows no text.
  if (!text || text == reinterpret_cast<LPCSTR>(static_cast<LONG_PTR>(-1))) return {};
  return text;
}

// Changes the state bits of one item, with the notifications and the
// single-selection and single-focus rules. Returns false when the parent
// refused the change.
bool setState(HWND hwnd, int index, UINT state, UINT mask) {
  ListViewState& s = stateOf(hwnd);
  if (!validItem(s, index)) return false;
  const UINT old = s.items[static_cast<size_t>(index)].state;
  const UINT now = (old & ~mask) | (state & mask);
  if (now == old) return true;
  const LPARAM param = s.items[static_cast<size_t>(index)].lParam;
  if (notifyItem(hwnd, LVN_ITEMCHANGING, index, old, now, LVIF_STATE, param)) return false;
  if ((now & LVIS_SELECTED) && !(old & LVIS_SELECTED) && (styleOf(hwnd) & LVS_SINGLESEL)) {
    for (int j = 0; j < static_cast<int>(s.items.size()); ++j)
      if (j != index && (s.items[static_cast<size_t>(j)].state & LVIS_SELECTED)) setState(hwnd, j, 0, LVIS_SELECTED);
  }
  if ((now & LVIS_FOCUSED) && !(old & LVIS_FOCUSED)) {
    for (int j = 0; j < static_cast<int>(s.items.size()); ++j)
      if (j != index && (s.items[static_cast<size_t>(j)].state & LVIS_FOCUSED)) setState(hwnd, j, 0, LVIS_FOCUSED);
  }
  // The parent may have changed the list while it was told; look again.
  ListViewState& again = stateOf(hwnd);
  if (!validItem(again, index)) return false;
  again.items[static_cast<size_t>(index)].state = now;
  if ((now & LVIS_SELECTED) && !(old & LVIS_SELECTED)) again.selectionMark = index;
  notifyItem(hwnd, LVN_ITEMCHANGED, index, old, now, LVIF_STATE, param);
  return true;
}

int insertItem(HWND hwnd, const LVITEMA* item) {
  ListViewState& s = stateOf(hwnd);
  if (!item || item->iSubItem != 0 || item->iItem < 0) return -1;
  ListViewState::Item it;
  it.texts.assign(1, (item->mask & LVIF_TEXT) ? textArg(item->pszText) : std::string());
  if (item->mask & LVIF_PARAM) it.lParam = item->lParam;
  if (item->mask & LVIF_IMAGE) it.image = item->iImage;
  if (s.exStyle & LVS_EX_CHECKBOXES) it.state = INDEXTOSTATEIMAGEMASK(1);
  UINT wanted = (item->mask & LVIF_STATE) ? (item->state & item->stateMask) : 0;
  if (item->mask & LVIF_STATE) it.state = (it.state & ~item->stateMask) | wanted;
  const UINT selectionBits = it.state & (LVIS_SELECTED | LVIS_FOCUSED);
  it.state &= ~static_cast<UINT>(LVIS_SELECTED | LVIS_FOCUSED);
  int index = std::min<int>(item->iItem, static_cast<int>(s.items.size()));
  const DWORD style = styleOf(hwnd);
  if (style & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) {
    const bool ascending = (style & LVS_SORTASCENDING) != 0;
    const std::string key = toLower(it.texts[0]);
    index = 0;
    while (index < static_cast<int>(s.items.size())) {
      const std::string other = toLower(s.items[static_cast<size_t>(index)].texts[0]);
      if (ascending ? key < other : key > other) break;
      ++index;
    }
  }
  s.items.insert(s.items.begin() + index, std::move(it));
  if (s.selectionMark >= index) ++s.selectionMark;
  notifyItem(hwnd, LVN_INSERTITEM, index, 0, 0, 0, s.items[static_cast<size_t>(index)].lParam);
  // Selection and focus given at insertion follow the usual rules.
  if (selectionBits) setState(hwnd, index, selectionBits, selectionBits);
  return index;
}

BOOL setItem(HWND hwnd, const LVITEMA* item) {
  ListViewState& s = stateOf(hwnd);
  if (!item || !validItem(s, item->iItem) || item->iSubItem < 0 || item->iSubItem >= subItemCount(s)) return FALSE;
  auto& it = s.items[static_cast<size_t>(item->iItem)];
  if (item->mask & LVIF_TEXT) {
    if (it.texts.size() <= static_cast<size_t>(item->iSubItem)) it.texts.resize(static_cast<size_t>(item->iSubItem) + 1);
    it.texts[static_cast<size_t>(item->iSubItem)] = textArg(item->pszText);
  }
  if (item->iSubItem == 0) {
    const LPARAM old = it.lParam;
    if (item->mask & LVIF_PARAM) it.lParam = item->lParam;
    if (item->mask & LVIF_IMAGE) it.image = item->iImage;
    if ((item->mask & LVIF_PARAM) && old != item->lParam)
      notifyItem(hwnd, LVN_ITEMCHANGED, item->iItem, it.state, it.state, LVIF_PARAM, it.lParam);
    if (item->mask & LVIF_STATE) return setState(hwnd, item->iItem, item->state, item->stateMask) ? TRUE : FALSE;
  }
  return TRUE;
}

LRESULT copyText(const std::string& text, LPSTR out, int size) {
  if (!out || size <= 0) return 0;
  size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
  return static_cast<LRESULT>(n);
}

BOOL getItem(HWND hwnd, LVITEMA* item) {
  ListViewState& s = stateOf(hwnd);
  if (!item || !validItem(s, item->iItem) || item->iSubItem < 0 || item->iSubItem >= subItemCount(s)) return FALSE;
  const auto& it = s.items[static_cast<size_t>(item->iItem)];
  if (item->mask & LVIF_TEXT) {
    const std::string& text =
        static_cast<size_t>(item->iSubItem) < it.texts.size() ? it.texts[static_cast<size_t>(item->iSubItem)] : "";
    copyText(text, item->pszText, item->cchTextMax);
  }
  if (item->mask & LVIF_STATE) item->state = it.state & item->stateMask;
  if (item->mask & LVIF_PARAM) item->lParam = it.lParam;
  if (item->mask & LVIF_IMAGE) item->iImage = it.image;
  return TRUE;
}

void deleteItemAt(HWND hwnd, int index) {
  ListViewState& s = stateOf(hwnd);
  notifyItem(hwnd, LVN_DELETEITEM, index, 0, 0, 0, s.items[static_cast<size_t>(index)].lParam);
  ListViewState& again = stateOf(hwnd);
  if (!validItem(again, index)) return;
  again.items.erase(again.items.begin() + index);
  if (again.selectionMark == index) again.selectionMark = -1;
  else if (again.selectionMark > index) --again.selectionMark;
}

// A merge sort that stays well-defined whatever the comparison answers
// (the caller's function need not be a strict order).
void sortItems(std::vector<ListViewState::Item>& items, PFNLVCOMPARE compare, LPARAM lParamSort) {
  std::vector<ListViewState::Item> tmp(items.size());
  for (size_t width = 1; width < items.size(); width *= 2) {
    for (size_t lo = 0; lo < items.size(); lo += 2 * width) {
      size_t mid = std::min(lo + width, items.size()), hi = std::min(lo + 2 * width, items.size());
      size_t a = lo, b = mid, k = lo;
      while (a < mid && b < hi) {
        if (compare(items[b].lParam, items[a].lParam, lParamSort) < 0)
          tmp[k++] = std::move(items[b++]);
        else
          tmp[k++] = std::move(items[a++]);
      }
      while (a < mid) tmp[k++] = std::move(items[a++]);
      while (b < hi) tmp[k++] = std::move(items[b++]);
    }
    items.swap(tmp);
  }
}

int autoWidth(HWND hwnd, int column, bool useHeader) {
  ListViewState& s = stateOf(hwnd);
  int width = 0;
  for (const auto& it : s.items)
    if (static_cast<size_t>(column) < it.texts.size()) width = std::max(width, dlg::textWidth(it.texts[static_cast<size_t>(column)]));
  width += kMargin;
  if (column == 0 && s.imageLists[LVSIL_SMALL]) width += kSmallIcon;
  if (column == 0 && (s.exStyle & LVS_EX_CHECKBOXES)) width += kSmallIcon;
  if (useHeader) width = std::max(width, dlg::textWidth(s.columns[static_cast<size_t>(column)].text) + kMargin);
  return width;
}

LRESULT listViewMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  ListViewState& s = stateOf(hwnd);
  const int index = static_cast<int>(static_cast<LONG_PTR>(wParam));
  switch (msg) {
    case LVM_GETITEMCOUNT:
      return static_cast<LRESULT>(s.items.size());
    case LVM_INSERTITEMA:
      return insertItem(hwnd, reinterpret_cast<const LVITEMA*>(lParam));
    case LVM_SETITEMA:
      return setItem(hwnd, reinterpret_cast<const LVITEMA*>(lParam));
    case LVM_GETITEMA:
      return getItem(hwnd, reinterpret_cast<LVITEMA*>(lParam));
    case LVM_SETITEMTEXTA: {
      auto* item = reinterpret_cast<LVITEMA*>(lParam);
      if (!item) return FALSE;
      LVITEMA copy = *item;
      copy.iItem = index;
      copy.mask = LVIF_TEXT;
      return setItem(hwnd, &copy);
    }
    case LVM_GETITEMTEXTA: {
      auto* item = reinterpret_cast<LVITEMA*>(lParam);
      if (!item || !validItem(s, index) || item->iSubItem < 0 || item->iSubItem >= subItemCount(s)) return 0;
      const auto& it = s.items[static_cast<size_t>(index)];
      return copyText(static_cast<size_t>(item->iSubItem) < it.texts.size() ? it.texts[static_cast<size_t>(item->iSubItem)] : "",
                      item->pszText, item->cchTextMax);
    }
    case LVM_DELETEITEM:
      if (!validItem(s, index)) return FALSE;
      deleteItemAt(hwnd, index);
      return TRUE;
    case LVM_DELETEALLITEMS: {
      if (s.items.empty()) return TRUE;
      NMLISTVIEW nm{};
      nm.iItem = -1;
      // A parent that answers TRUE does not want one notification per item.
      const bool quiet = notify(hwnd, &nm.hdr, LVN_DELETEALLITEMS) != 0;
      while (!stateOf(hwnd).items.empty()) {
        if (quiet)
          stateOf(hwnd).items.pop_back();
        else
          deleteItemAt(hwnd, static_cast<int>(stateOf(hwnd).items.size()) - 1);
      }
      stateOf(hwnd).selectionMark = -1;
      return TRUE;
    }
    case LVM_SETITEMSTATE: {
      auto* item = reinterpret_cast<const LVITEMA*>(lParam);
      if (!item) return FALSE;
      if (index == -1) {
        for (int i = 0; i < static_cast<int>(stateOf(hwnd).items.size()); ++i)
          setState(hwnd, i, item->state, item->stateMask);
        return TRUE;
      }
      return setState(hwnd, index, item->state, item->stateMask) ? TRUE : FALSE;
    }
    case LVM_GETITEMSTATE:
      if (!validItem(s, index)) return 0;
      return s.items[static_cast<size_t>(index)].state & static_cast<UINT>(lParam);
    case LVM_GETNEXTITEM: {
      const UINT flags = LOWORD(lParam);
      const UINT want = flags & (LVNI_FOCUSED | LVNI_SELECTED | LVNI_CUT | LVNI_DROPHILITED);
      const int n = static_cast<int>(s.items.size());
      const bool up = (flags & LVNI_ABOVE) != 0;
      int i = up ? index - 1 : (index < -1 ? 0 : index + 1);
      for (; i >= 0 && i < n; i += up ? -1 : 1)
        if ((s.items[static_cast<size_t>(i)].state & want) == want) return i;
      return -1;
    }
    case LVM_GETSELECTEDCOUNT:
      return std::count_if(s.items.begin(), s.items.end(), [](const auto& it) { return (it.state & LVIS_SELECTED) != 0; });
    case LVM_SORTITEMS: {
      auto compare = reinterpret_cast<PFNLVCOMPARE>(lParam);
      if (!compare) return FALSE;
      // The comparison may call back into the list: sort a copy.
      std::vector<ListViewState::Item> items = s.items;
      sortItems(items, compare, static_cast<LPARAM>(wParam));
      stateOf(hwnd).items = std::move(items);
      return TRUE;
    }
    case LVM_GETSTRINGWIDTHA:
      return lParam ? dlg::textWidth(reinterpret_cast<const char*>(lParam)) : 0;
    case LVM_INSERTCOLUMNA: {
      auto* col = reinterpret_cast<const LVCOLUMNA*>(lParam);
      if (!col || index < 0) return -1;
      ListViewState::Column c;
      if (col->mask & LVCF_FMT) c.fmt = col->fmt;
      if (col->mask & LVCF_WIDTH) c.width = col->cx;
      if (col->mask & LVCF_TEXT) c.text = textArg(col->pszText);
      const int at = std::min<int>(index, static_cast<int>(s.columns.size()));
      s.columns.insert(s.columns.begin() + at, std::move(c));
      // Sub-items after the new column move one place to the right.
      if (at > 0 && s.columns.size() > 1)
        for (auto& it : s.items)
          if (it.texts.size() > static_cast<size_t>(at)) it.texts.insert(it.texts.begin() + at, std::string());
      return at;
    }
    case LVM_DELETECOLUMN:
      if (index < 0 || index >= static_cast<int>(s.columns.size())) return FALSE;
      s.columns.erase(s.columns.begin() + index);
      if (index > 0)
        for (auto& it : s.items)
          if (it.texts.size() > static_cast<size_t>(index)) it.texts.erase(it.texts.begin() + index);
      return TRUE;
    case LVM_GETCOLUMNA:
    case LVM_SETCOLUMNA: {
      auto* col = reinterpret_cast<LVCOLUMNA*>(lParam);
      if (!col || index < 0 || index >= static_cast<int>(s.columns.size())) return FALSE;
      auto& c = s.columns[static_cast<size_t>(index)];
      if (msg == LVM_SETCOLUMNA) {
        if (col->mask & LVCF_FMT) c.fmt = col->fmt;
        if (col->mask & LVCF_WIDTH) c.width = col->cx;
        if (col->mask & LVCF_TEXT) c.text = textArg(col->pszText);
        return TRUE;
      }
      if (col->mask & LVCF_FMT) col->fmt = c.fmt;
      if (col->mask & LVCF_WIDTH) col->cx = c.width;
      if (col->mask & LVCF_TEXT) copyText(c.text, col->pszText, col->cchTextMax);
      if (col->mask & LVCF_SUBITEM) col->iSubItem = index;
      return TRUE;
    }
    case LVM_GETCOLUMNWIDTH:
      if (index < 0 || index >= static_cast<int>(s.columns.size())) return 0;
      return s.columns[static_cast<size_t>(index)].width;
    case LVM_SETCOLUMNWIDTH: {
      if (index < 0 || index >= static_cast<int>(s.columns.size())) return FALSE;
      int cx = static_cast<short>(LOWORD(lParam));
      if (cx == LVSCW_AUTOSIZE || cx == LVSCW_AUTOSIZE_USEHEADER) cx = autoWidth(hwnd, index, cx == LVSCW_AUTOSIZE_USEHEADER);
      s.columns[static_cast<size_t>(index)].width = std::max(0, cx);
      return TRUE;
    }
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
      const DWORD old = s.exStyle;
      const DWORD mask = wParam ? static_cast<DWORD>(wParam) : 0xFFFFFFFFu;
      s.exStyle = (old & ~mask) | (static_cast<DWORD>(lParam) & mask);
      if ((s.exStyle & LVS_EX_CHECKBOXES) && !(old & LVS_EX_CHECKBOXES))
        for (auto& it : s.items)
          if (!(it.state & LVIS_STATEIMAGEMASK)) it.state |= INDEXTOSTATEIMAGEMASK(1);
      return old;
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
      return s.exStyle;
    case LVM_SETIMAGELIST: {
      if (wParam > LVSIL_STATE) return 0;
      HIMAGELIST old = s.imageLists[wParam];
      s.imageLists[wParam] = reinterpret_cast<HIMAGELIST>(lParam);
      return reinterpret_cast<LRESULT>(old);
    }
    case LVM_GETIMAGELIST:
      return wParam > LVSIL_STATE ? 0 : reinterpret_cast<LRESULT>(s.imageLists[wParam]);
    case LVM_GETSELECTIONMARK:
      return s.selectionMark;
    case LVM_SETSELECTIONMARK: {
      int old = s.selectionMark;
      s.selectionMark = static_cast<int>(lParam);
      return old;
    }
    case LVM_SETBKCOLOR:
    case LVM_SETTEXTCOLOR:
    case LVM_SETTEXTBKCOLOR:
      s.colors[msg == LVM_SETBKCOLOR ? 0 : msg == LVM_SETTEXTCOLOR ? 1 : 2] = static_cast<COLORREF>(lParam);
      return TRUE;
    case LVM_GETBKCOLOR:
      return s.colors[0];
    case LVM_GETTEXTCOLOR:
      return s.colors[1];
    case LVM_GETTEXTBKCOLOR:
      return s.colors[2];
    case LVM_GETITEMRECT: {
      auto* rc = reinterpret_cast<RECT*>(lParam);
      if (!rc || !validItem(s, index)) return FALSE;
      RECT client{};
      GetClientRect(hwnd, &client);
      *rc = RECT{0, kRowHeight * (index + 1), client.right, kRowHeight * (index + 2)};
      return TRUE;
    }
    case LVM_GETCOUNTPERPAGE: {
      RECT client{};
      GetClientRect(hwnd, &client);
      return std::max<LONG>(1, (client.bottom - client.top) / kRowHeight - 1);
    }
    case LVM_GETTOPINDEX:
    case LVM_GETHEADER:
      return 0;
    case LVM_ENSUREVISIBLE:
    case LVM_REDRAWITEMS:
    case LVM_UPDATE:
    case LVM_SETITEMCOUNT:
      return TRUE;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

LRESULT CALLBACK listViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE:
      stateOf(hwnd);
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_DESTROY: {
      // The items are deleted with their notifications, so that a parent
      // that keeps records in the item data can free them.
      ListViewState& s = stateOf(hwnd);
      if (!s.items.empty()) listViewMessage(hwnd, LVM_DELETEALLITEMS, 0, 0);
      break;
    }
    default:
      if (msg >= LVM_FIRST && msg < LVM_FIRST + 0x100) return listViewMessage(hwnd, msg, wParam, lParam);
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool listViewUserSelect(HWND hwnd, int index, std::string* why) {
  ListViewState& s = stateOf(hwnd);
  if (!validItem(s, index)) {
    *why = "list " + std::to_string(GetDlgCtrlID(hwnd)) + " has no line " + std::to_string(index);
    return false;
  }
  if (!(styleOf(hwnd) & LVS_SINGLESEL)) {
    // A plain click selects only the clicked line.
    for (int i = 0; i < static_cast<int>(stateOf(hwnd).items.size()); ++i)
      if (i != index) setState(hwnd, i, 0, LVIS_SELECTED);
  }
  setState(hwnd, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  NMITEMACTIVATE nm{};
  nm.iItem = index;
  notify(hwnd, &nm.hdr, NM_CLICK);
  return true;
}

}  // namespace winsim::comctl
