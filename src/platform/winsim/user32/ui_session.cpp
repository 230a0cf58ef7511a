// winsim: the UI session of a process: which renderer answers the dialogs
// and boxes, the stack of open ones, the idle hook through which the
// renderer acts, the transcript, and MessageBoxA.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

#include "kernel32/nls.h"
#include "machine.h"
#include "modules.h"
#include "user32/resources.h"
#include "user32/ui.h"

namespace winsim::ui {
namespace {

// The session's state is never destroyed: the ticker thread and late
// callers may still look at it while the process exits.
struct Session {
  std::mutex mutex;
  std::unique_ptr<Renderer> renderer;
  std::vector<OpenItem*> open;  // in the order they were opened
  std::map<std::string, std::string> messageTexts;  // id -> text
  bool tickerStarted = false;
};

Session& session() {
  static Session* s = new Session;
  return *s;
}

std::unique_ptr<Renderer> chooseRenderer() {
  const char* env = std::getenv("KVSIM_UI");
  std::string ui = env ? env : "";
  if (ui.empty()) ui = isatty(STDIN_FILENO) ? "tty" : "none";
  if (ui == "tty") return makeTtyRenderer();
  if (ui == "none") return makeNoneRenderer();
  if (ui.rfind("script:", 0) == 0 && ui.size() > 7) return makeScriptRenderer(ui.substr(7));
  failRun("KVSIM_UI=\"" + ui + "\" is not a UI (tty, script:FILE or none)");
}

OpenItem* innermostFor(DWORD thread) {
  Session& s = session();
  std::lock_guard<std::mutex> guard(s.mutex);
  for (auto it = s.open.rbegin(); it != s.open.rend(); ++it)
    if ((*it)->threadId == thread) return *it;
  return nullptr;
}

// The thread that shows a dialog sleeps in its message wait while nothing
// happens; the renderers need it to look again now and then (a script's
// wait runs out, a line arrives on the terminal, a progress bar moves).
void tickerLoop() {
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    wakeOpenItems();
  }
}

Renderer& renderer() {
  Session& s = session();
  std::unique_lock<std::mutex> lock(s.mutex);
  if (!s.renderer) {
    lock.unlock();
    auto r = chooseRenderer();
    lock.lock();
    if (!s.renderer) s.renderer = std::move(r);
    user::setIdleHook([] {
      OpenItem* item = innermostFor(GetCurrentThreadId());
      return item ? session().renderer->idle(*item) : false;
    });
  }
  if (!s.tickerStarted) {
    s.tickerStarted = true;
    std::thread(tickerLoop).detach();
  }
  return *s.renderer;
}

void pushItem(OpenItem* item) {
  Session& s = session();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.open.push_back(item);
}

void popItem(OpenItem* item) {
  Session& s = session();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.open.erase(std::remove(s.open.begin(), s.open.end(), item), s.open.end());
}

std::map<HWND, std::unique_ptr<OpenItem>>& dialogItems() {
  static auto* m = new std::map<HWND, std::unique_ptr<OpenItem>>;
  return *m;
}

}  // namespace

std::uint64_t nowMs() { return machineTickMs(); }

void resetRendererForTests() {
  Session& s = session();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (!s.open.empty()) return;
  // The old renderer may still have a reader thread: it is kept, not freed.
  static auto* retired = new std::vector<std::unique_ptr<Renderer>>;
  if (s.renderer) retired->push_back(std::move(s.renderer));
}

OpenItem* topmostItem() {
  Session& s = session();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.open.empty() ? nullptr : s.open.back();
}

void wakeOpenItems() {
  std::vector<DWORD> threads;
  {
    Session& s = session();
    std::lock_guard<std::mutex> guard(s.mutex);
    for (OpenItem* item : s.open) threads.push_back(item->threadId);
  }
  for (DWORD t : threads) user::wakeThread(t);
}

void failRun(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "\nkvsim ui: %s\n", message.c_str());
  std::fflush(stderr);
  appendTranscript("!! " + message + "\n");
  // The run has failed with its reason: the processes still running must
  // not add that the rest of the script was never reached.
  noteScriptReached(kScriptFailed);
  _exit(kUiFailureExitCode);
}

std::string transcriptPath() {
  const char* env = std::getenv("KVSIM_TRANSCRIPT");
  if (env && *env) return env;
  return (machineRoot() / "transcript.log").string();
}

void appendTranscript(const std::string& block) {
  // One write of the whole block to a file opened for appending keeps the
  // blocks of processes that share the machine from mixing.
  const std::string path = transcriptPath();
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  // The pages' texts are in the ANSI code page; the transcript is UTF-8.
  const std::string text = ansiToUtf8(block);
  if (fd < 0) return;
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

void dialogOpened(HWND dlg) {
  auto item = std::make_unique<OpenItem>();
  item->kind = OpenItem::Kind::Dialog;
  item->threadId = GetCurrentThreadId();
  item->hwnd = dlg;
  item->openedView = snapshot(dlg);
  if (auto* d = dlg::dialogOf(dlg)) item->module = d->module;
  item->idleSinceMs = nowMs();
  OpenItem* raw = item.get();
  {
    Session& s = session();
    std::lock_guard<std::mutex> guard(s.mutex);
    dialogItems()[dlg] = std::move(item);
  }
  Renderer& r = renderer();
  pushItem(raw);
  r.opened(*raw);
}

void dialogClosed(HWND dlg, INT_PTR result) {
  std::unique_ptr<OpenItem> item;
  {
    Session& s = session();
    std::lock_guard<std::mutex> guard(s.mutex);
    auto it = dialogItems().find(dlg);
    if (it == dialogItems().end()) return;
    item = std::move(it->second);
    dialogItems().erase(it);
  }
  popItem(item.get());
  renderer().closed(*item, result);
}

void dialogEndedAtStart(HWND dlg, INT_PTR result) {
  DialogView view = snapshot(dlg);
  appendTranscript("== page " + view.dialogId + " \"" + view.caption + "\" ended while starting with " +
                   resultName(result) + "\n");
}

int showBox(HWND owner, BoxView box) {
  OpenItem item;
  item.kind = OpenItem::Kind::Box;
  item.threadId = GetCurrentThreadId();
  item.box = std::move(box);
  item.idleSinceMs = nowMs();
  Renderer& r = renderer();
  const bool disableOwner = owner && IsWindow(owner) && IsWindowEnabled(owner);
  if (disableOwner) EnableWindow(owner, FALSE);
  pushItem(&item);
  r.opened(item);
  if (!item.answer) user::runModalLoop([&item] { return item.answer.load() != 0; });
  popItem(&item);
  r.closed(item, item.answer);
  if (disableOwner) EnableWindow(owner, TRUE);
  return item.answer;
}

void noteMessageText(const std::string& id, const std::string& text) {
  Session& s = session();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.messageTexts[id] = text;
}

std::vector<std::string> messageIdsIn(const std::string& boxText) {
  Session& s = session();
  std::lock_guard<std::mutex> guard(s.mutex);
  std::vector<std::string> ids;
  for (const auto& [id, text] : s.messageTexts)
    if (!text.empty() && boxText.find(text) != std::string::npos) ids.push_back(id);
  return ids;
}

bool resolveId(const ScriptId& id, HINSTANCE module, long* out) {
  if (id.number) {
    *out = *id.number;
    return true;
  }
  std::string error;
  const ModuleResources* m = moduleResources(module, &error);
  if (!m) return false;
  auto it = m->script.defines.find(id.name);
  if (it == m->script.defines.end()) return false;
  *out = static_cast<long>(it->second);
  return true;
}

// ---- The renderer for nobody ----------------------------------------------------------

namespace {

class NoneRenderer : public Renderer {
 public:
  const char* name() const override { return "none"; }
  void opened(OpenItem& item) override {
    if (item.kind == OpenItem::Kind::Dialog) {
      appendTranscript(describeDialog(item.openedView));
      failRun("page " + item.openedView.dialogId + " \"" + item.openedView.caption +
              "\" needs an answer, but no UI is chosen: set KVSIM_UI=tty or KVSIM_UI=script:FILE");
    }
    item.answer = item.box.defaultButton;
  }
  bool idle(OpenItem&) override { return false; }
  void closed(OpenItem& item, INT_PTR result) override {
    if (item.kind == OpenItem::Kind::Box)
      appendTranscript(describeBox(item.box) + "-- answered " + answerWord(static_cast<int>(result)) +
                       " (the default button; no UI is chosen)\n");
  }
};

}  // namespace

std::unique_ptr<Renderer> makeNoneRenderer() { return std::make_unique<NoneRenderer>(); }

}  // namespace winsim::ui

// ---- MessageBoxA ------------------------------------------------------------------------

namespace {

std::vector<int> buttonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
      return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
      return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
      return {IDYES, IDNO};
    case MB_RETRYCANCEL:
      return {IDRETRY, IDCANCEL};
    case MB_CANCELTRYCONTINUE:
      return {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
    default:
      return {IDOK};
  }
}

}  // namespace

// MessageBoxA: the button the renderer answered with; 0 with
// ERROR_INVALID_PARAMETER for an unknown box type (a button set above
// MB_CANCELTRYCONTINUE or a default button beyond the fourth).
extern "C" int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  if ((uType & MB_TYPEMASK) > MB_CANCELTRYCONTINUE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  winsim::ui::BoxView box;
  box.text = lpText ? lpText : "";
  box.caption = lpCaption ? lpCaption : "Error";
  box.style = uType;
  box.buttons = buttonsOf(uType);
  const size_t def = (uType & MB_DEFMASK) >> 8;
  // A default button the box does not have falls back to the first, as on
  // Windows.
  box.defaultButton = box.buttons[def < box.buttons.size() ? def : 0];
  box.messageIds = winsim::ui::messageIdsIn(box.text);
  return winsim::ui::showBox(hWnd, std::move(box));
}

// WinsimNoteMessageText: remembers that `lpText` is the catalogue message
// `lpMessageId`; ignores NULL arguments.
extern "C" void WINAPI WinsimNoteMessageText(LPCSTR lpMessageId, LPCSTR lpText) {
  if (!lpMessageId || !lpText) return;
  winsim::ui::noteMessageText(lpMessageId, lpText);
}

static const winsim::ExportRegistrar kExports("user32.dll", {WINSIM_EXPORT(MessageBoxA),
                                                             WINSIM_EXPORT(WinsimNoteMessageText)});
