// winsim: the progress bar and the animation control, image lists, and
// InitCommonControlsEx.
#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "comctl32/comctl_internal.h"
#include "machine.h"
#include "modules.h"
#include "user32/dialog_internal.h"
#include "user32/resources.h"

namespace winsim::comctl {
namespace {

template <class T>
T& ensure(HWND hwnd) {
  auto w = user::findWindow(hwnd);
  if (!dynamic_cast<T*>(w->extension.get())) w->extension = std::make_shared<T>();
  return *static_cast<T*>(w->extension.get());
}

void notifyCommand(HWND hwnd, WORD code) {
  if (HWND parent = GetParent(hwnd))
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

}  // namespace

// The progress bar keeps its position inside its range; PBM_STEPIT starts
// over from the beginning when it passes the end, carrying what was left
// of the step, as Windows does.
LRESULT CALLBACK progressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE:
      ensure<dlg::ProgressState>(hwnd);
      break;
    case PBM_SETRANGE:
    case PBM_SETRANGE32: {
      auto& s = ensure<dlg::ProgressState>(hwnd);
      const LRESULT old = MAKELONG(s.low, s.high);
      if (msg == PBM_SETRANGE) {
        s.low = LOWORD(lParam);
        s.high = HIWORD(lParam);
      } else {
        s.low = static_cast<int>(wParam);
        s.high = static_cast<int>(lParam);
      }
      s.pos = std::clamp(s.pos, std::min(s.low, s.high), std::max(s.low, s.high));
      return old;
    }
    case PBM_GETRANGE: {
      auto& s = ensure<dlg::ProgressState>(hwnd);
      if (lParam) {
        auto* r = reinterpret_cast<PBRANGE*>(lParam);
        r->iLow = s.low;
        r->iHigh = s.high;
      }
      return wParam ? s.low : s.high;
    }
    case PBM_SETPOS:
    case PBM_DELTAPOS: {
      auto& s = ensure<dlg::ProgressState>(hwnd);
      const int old = s.pos;
      long long want = msg == PBM_SETPOS ? static_cast<int>(wParam)
                                         : static_cast<long long>(s.pos) + static_cast<int>(wParam);
      s.pos = static_cast<int>(std::clamp<long long>(want, std::min(s.low, s.high), std::max(s.low, s.high)));
      return old;
    }
    case PBM_SETSTEP: {
      auto& s = ensure<dlg::ProgressState>(hwnd);
      const int old = s.step;
      s.step = static_cast<int>(wParam);
      return old;
    }
    case PBM_STEPIT: {
      auto& s = ensure<dlg::ProgressState>(hwnd);
      const int old = s.pos;
      long long next = static_cast<long long>(s.pos) + s.step;
      const long long span = static_cast<long long>(s.high) - s.low;
      if (span > 0 && next > s.high) next = (next - s.low) % span + s.low;
      if (span > 0 && next < s.low) next = (next - s.low) % span + s.high;
      s.pos = static_cast<int>(std::clamp<long long>(next, std::min(s.low, s.high), std::max(s.low, s.high)));
      return old;
    }
    case PBM_GETPOS:
      return ensure<dlg::ProgressState>(hwnd).pos;
    case PBM_SETBARCOLOR:
    case PBM_SETBKCOLOR:
      return static_cast<LRESULT>(CLR_DEFAULT);
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The animation control plays nothing, but keeps what it was asked to open
// and whether it plays, so that the renderers and tests can see it.
LRESULT CALLBACK animateProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE:
      ensure<dlg::AnimateState>(hwnd);
      break;
    case ACM_OPENA: {
      auto& s = ensure<dlg::AnimateState>(hwnd);
      s.playing = false;
      if (!lParam) {
        s.open = false;
        s.clip.clear();
        return TRUE;
      }
      auto name = reinterpret_cast<LPCSTR>(lParam);
      HINSTANCE module = wParam ? reinterpret_cast<HINSTANCE>(wParam)
                                : reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE));
      bool found = FindResourceA(module, name, "AVI") != nullptr;
      if (!found && !IS_INTRESOURCE(name)) {
        std::optional<fs::path> host = hostPath(name);
        std::error_code ec;
        found = host && fs::is_regular_file(*host, ec);
      }
      s.open = found;
      s.clip = found ? resIdFromName(name).toString() : std::string();
      if (!found) return FALSE;
      if (GetWindowLongPtrA(hwnd, GWL_STYLE) & ACS_AUTOPLAY) {
        s.playing = true;
        s.repeat = -1;
        notifyCommand(hwnd, ACN_START);
      }
      return TRUE;
    }
    case ACM_PLAY: {
      auto& s = ensure<dlg::AnimateState>(hwnd);
      if (!s.open) return FALSE;
      s.playing = true;
      s.repeat = static_cast<int>(wParam);
      notifyCommand(hwnd, ACN_START);
      return TRUE;
    }
    case ACM_STOP: {
      auto& s = ensure<dlg::AnimateState>(hwnd);
      if (s.playing) {
        s.playing = false;
        notifyCommand(hwnd, ACN_STOP);
      }
      return TRUE;
    }
    case ACM_ISPLAYING:
      return ensure<dlg::AnimateState>(hwnd).playing ? TRUE : FALSE;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace winsim::comctl

// ---- Image lists: they only count their images --------------------------------------------

struct _IMAGELIST {
  int cx = 0, cy = 0;
  UINT flags = 0;
  std::vector<HICON> icons;
};

namespace {
std::mutex& imageListMutex() {
  static std::mutex m;
  return m;
}
std::vector<std::unique_ptr<_IMAGELIST>>& imageLists() {
  static std::vector<std::unique_ptr<_IMAGELIST>> v;
  return v;
}
bool liveImageList(HIMAGELIST himl) {
  for (const auto& p : imageLists())
    if (p.get() == himl) return true;
  return false;
}
}  // namespace

// ImageList_Create: a new image list, or NULL for a size below 1.
extern "C" HIMAGELIST WINAPI ImageList_Create(int cx, int cy, UINT flags, int /*cInitial*/, int /*cGrow*/) {
  if (cx <= 0 || cy <= 0) return nullptr;
  std::lock_guard<std::mutex> guard(imageListMutex());
  auto list = std::make_unique<_IMAGELIST>();
  list->cx = cx;
  list->cy = cy;
  list->flags = flags;
  imageLists().push_back(std::move(list));
  return imageLists().back().get();
}

// ImageList_Destroy: FALSE for a list that does not exist.
extern "C" BOOL WINAPI ImageList_Destroy(HIMAGELIST himl) {
  std::lock_guard<std::mutex> guard(imageListMutex());
  auto& v = imageLists();
  auto it = std::find_if(v.begin(), v.end(), [&](const auto& p) { return p.get() == himl; });
  if (it == v.end()) return FALSE;
  v.erase(it);
  return TRUE;
}

// ImageList_ReplaceIcon: index -1 adds; the index of the image, or -1 for a
// bad list, index or icon.
extern "C" int WINAPI ImageList_ReplaceIcon(HIMAGELIST himl, int i, HICON hicon) {
  std::lock_guard<std::mutex> guard(imageListMutex());
  if (!liveImageList(himl) || !hicon) return -1;
  if (i == -1) {
    himl->icons.push_back(hicon);
    return static_cast<int>(himl->icons.size()) - 1;
  }
  if (i < 0 || i >= static_cast<int>(himl->icons.size())) return -1;
  himl->icons[static_cast<size_t>(i)] = hicon;
  return i;
}

// ImageList_GetImageCount: 0 for a bad list.
extern "C" int WINAPI ImageList_GetImageCount(HIMAGELIST himl) {
  std::lock_guard<std::mutex> guard(imageListMutex());
  return liveImageList(himl) ? static_cast<int>(himl->icons.size()) : 0;
}

// ImageList_GetIconSize: FALSE for a bad list or pointers.
extern "C" BOOL WINAPI ImageList_GetIconSize(HIMAGELIST himl, int* cx, int* cy) {
  std::lock_guard<std::mutex> guard(imageListMutex());
  if (!liveImageList(himl) || !cx || !cy) return FALSE;
  *cx = himl->cx;
  *cy = himl->cy;
  return TRUE;
}

// InitCommonControlsEx: registers the control classes; FALSE for a bad
// structure size.
extern "C" BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
  if (!picce || picce->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
  winsim::dlg::registerControlClasses();
  return TRUE;
}

// InitCommonControls: registers the control classes.
extern "C" void WINAPI InitCommonControls(void) { winsim::dlg::registerControlClasses(); }

static const winsim::ExportRegistrar kExports("comctl32.dll", {
    WINSIM_EXPORT(InitCommonControlsEx), WINSIM_EXPORT(InitCommonControls), WINSIM_EXPORT(ImageList_Create),
    WINSIM_EXPORT(ImageList_Destroy), WINSIM_EXPORT(ImageList_ReplaceIcon), WINSIM_EXPORT(ImageList_GetImageCount),
    WINSIM_EXPORT(ImageList_GetIconSize)});
