// winsim: the UI renderers: how the modal dialogs and message boxes of a
// program reach a person at a terminal (`tty`), a UI script (`script:FILE`)
// or nobody (`none`), chosen by KVSIM_UI, and the transcript they all write.
//
// The dialog manager and MessageBoxA call the functions below on the thread
// that shows the dialog or box; the renderer acts from that thread's idle
// hook, so the dialog's own timers, threads and messages keep running while
// the renderer waits for a person or a script's `wait`.
#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "user32/dialog_internal.h"
#include "user32/ui_format.h"
#include "user32/ui_script.h"

namespace winsim::ui {

// ---- What a renderer sees (the views and their text: ui_format.h) -------------------
DialogView snapshot(HWND dlg);

// ---- The open dialogs and boxes ---------------------------------------------------
// How a dialog was left: its result, the actions taken and the controls that
// changed since it opened.
struct OpenItem;
std::string describeClose(const OpenItem& item, INT_PTR result);

struct OpenItem {
  enum class Kind { Dialog, Box } kind = Kind::Dialog;
  DWORD threadId = 0;
  // A dialog.
  HWND hwnd = nullptr;
  DialogView openedView;
  HINSTANCE module = nullptr;
  // A box.
  BoxView box;
  std::atomic<int> answer{0};
  // What the renderer has done with it, for the transcript ("check 1012; ok").
  std::vector<std::string> done;
  // Script renderer: the actions still to run, and its clock.
  std::deque<Action> pending;
  int statementLine = 0;
  std::uint64_t waitUntilMs = 0;
  std::uint64_t idleSinceMs = 0;
  bool waiting = false;
};

class Renderer {
 public:
  virtual ~Renderer() = default;
  virtual const char* name() const = 0;
  // The item's loop is about to start (dialogs: after WM_INITDIALOG).
  virtual void opened(OpenItem& item) = 0;
  // On the item's thread, when it has nothing else to do; true when the
  // renderer acted (the thread then looks at its messages again).
  virtual bool idle(OpenItem& item) = 0;
  // The item's loop has ended (dialogs: before the window is destroyed).
  virtual void closed(OpenItem& item, INT_PTR result) = 0;
};

// Ends the run at once because the UI cannot go on (a script that does not
// expect a page, a closed terminal): the message goes to stderr and the
// transcript, and the process exits with status 3.
[[noreturn]] void failRun(const std::string& message);
inline constexpr int kUiFailureExitCode = 3;

// The terminal's answer to a message box: the button's number, y/n,
// yes/no, o/ok, c/cancel or another answer word, case-insensitive; an empty
// line takes the default button. 0 when the line names no button of the box.
int ttyBoxAnswer(const std::string& line, const std::vector<int>& buttons, int defaultButton);

// The script renderer has taken this many statements of the process's UI
// script (ui_script_end.cpp: the last process of a run to end fails the run
// when statements other than waits were never reached).
void noteScriptReached(size_t statements);
// Taken as reached by a run the script renderer has already failed.
inline constexpr size_t kScriptFailed = 1u << 30;

// The transcript: KVSIM_TRANSCRIPT, else <machine root>/transcript.log.
std::string transcriptPath();
void appendTranscript(const std::string& block);

// ---- Called by the dialog manager and MessageBoxA -----------------------------------
void dialogOpened(HWND dlg);
void dialogClosed(HWND dlg, INT_PTR result);
void dialogEndedAtStart(HWND dlg, INT_PTR result);
int showBox(HWND owner, BoxView box);

// Catalogue texts registered by the program (WinsimNoteMessageText).
void noteMessageText(const std::string& id, const std::string& text);
std::vector<std::string> messageIdsIn(const std::string& boxText);

// For tests: the next dialog or box chooses its renderer from KVSIM_UI
// again. Only while nothing is open.
void resetRendererForTests();

// The renderers, made by the session from KVSIM_UI.
std::unique_ptr<Renderer> makeNoneRenderer();
std::unique_ptr<Renderer> makeScriptRenderer(const std::string& path);
std::unique_ptr<Renderer> makeTtyRenderer();

// Helpers shared by the renderers.
std::uint64_t nowMs();  // the machine clock
// The open item drawn last (the one a person is looking at).
OpenItem* topmostItem();
void wakeOpenItems();
// A control or dialog id of a script: numbers as they are, names through the
// #defines of the dialog's resource script. False when the name is unknown.
bool resolveId(const ScriptId& id, HINSTANCE module, long* out);
// The Back button of the wizard's pages (`back` presses it).
inline constexpr int kBackButtonId = 1012;

// Runs one action on a dialog as a person would; false with the reason when
// a person could not do it.
bool runAction(OpenItem& item, const Action& action, std::string* why);

}  // namespace winsim::ui
