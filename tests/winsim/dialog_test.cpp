// The dialog manager under the script renderer: pages of the program's own
// resource script opened, answered by a UI script, and written to the
// transcript; message boxes; the ways a script fails a run.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <windows.h>

#include "res/resource.h"
#include "user32/ui.h"

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Each test gets its own script and transcript, and a fresh renderer.
class DialogScript : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("kvdlg-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(m_dir);
    setenv("KVSIM_TRANSCRIPT", (m_dir / "transcript.log").c_str(), 1);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  void useScript(const std::string& text) {
    const fs::path path = m_dir / "ui.txt";
    std::ofstream(path) << text;
    setenv("KVSIM_UI", ("script:" + path.string()).c_str(), 1);
    winsim::ui::resetRendererForTests();
  }
  std::string transcript() const { return readFile(m_dir / "transcript.log"); }

  fs::path m_dir;
};

// A small setup-kind page: the same interplay rules as the wizard's.
struct SetupKindResult {
  BOOL usbChecked = FALSE;
  BOOL networkChecked = FALSE;
  int timerTicks = 0;
};

INT_PTR CALLBACK setupKindProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* r = reinterpret_cast<SetupKindResult*>(GetWindowLongPtrA(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dlg, DWLP_USER, lParam);
      SetWindowTextA(dlg, "Setup kind");
      SetDlgItemTextA(dlg, IDC_TITLE, "Choose what to do");
      CheckRadioButton(dlg, IDC_RADIO_ADD, IDC_RADIO_UPDATE, IDC_RADIO_ADD);
      EnableWindow(GetDlgItem(dlg, IDC_CHECK_NETWORK), FALSE);
      SetTimer(dlg, 1, 100, nullptr);
      return TRUE;
    case WM_TIMER:
      ++r->timerTicks;
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          r->usbChecked = IsDlgButtonChecked(dlg, IDC_CHECK_USB);
          r->networkChecked = IsDlgButtonChecked(dlg, IDC_CHECK_NETWORK);
          KillTimer(dlg, 1);
          EndDialog(dlg, 1);
          return TRUE;
        case IDCANCEL:
          EndDialog(dlg, 2);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

TEST_F(DialogScript, PageFromTheProgramsTemplateTakesTheScriptsActions) {
  useScript("# the setup-kind page\npage 133: check 1012; ok\n");
  SetupKindResult r;
  const INT_PTR result = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_SETUPKIND), nullptr, setupKindProc,
                                         reinterpret_cast<LPARAM>(&r));
  EXPECT_EQ(result, 1);
  EXPECT_EQ(r.usbChecked, BST_CHECKED);
  const std::string t = transcript();
  EXPECT_NE(t.find("== page 133 \"Setup kind\""), std::string::npos) << t;
  EXPECT_NE(t.find("50 text: Choose what to do"), std::string::npos) << t;
  EXPECT_NE(t.find("1007 radio (*) \"&Add a printer\""), std::string::npos) << t;
  EXPECT_NE(t.find("1011 check [ ] \"Search the &network\" (disabled)"), std::string::npos) << t;
  EXPECT_NE(t.find("1 button \"&Next >\" (default)"), std::string::npos) << t;
  EXPECT_NE(t.find("-- page 133 left with 1 (IDOK) after: check 1012; ok\n  1012 check [x]"), std::string::npos) << t;
  // The hidden update radio of the template is not shown.
  EXPECT_EQ(t.find("1042"), std::string::npos) << t;
}

TEST_F(DialogScript, NamesFromResourceHeaderAndWaitsKeepTimersRunning) {
  useScript("page IDD_SETUPKIND: click IDC_CHECK_USB; wait 2; next\n");
  SetupKindResult r;
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_SETUPKIND), nullptr, setupKindProc,
                            reinterpret_cast<LPARAM>(&r)),
            1);
  EXPECT_EQ(r.usbChecked, BST_CHECKED);
  // The page's 100 ms timer kept firing while the script waited two seconds.
  EXPECT_GE(r.timerTicks, 3);
}

TEST_F(DialogScript, CancelPressesTheCancelButton) {
  useScript("page 133: cancel\n");
  SetupKindResult r;
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_SETUPKIND), nullptr, setupKindProc,
                            reinterpret_cast<LPARAM>(&r)),
            2);
}

// A page that ends itself when its worker thread reports, as the
// installation page does, needs no action from the script.
constexpr UINT WM_WORKER_DONE = WM_APP + 1;
INT_PTR CALLBACK workerPageProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    std::thread([dlg] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      PostMessageA(dlg, WM_WORKER_DONE, 42, 0);
    }).detach();
    SendDlgItemMessageA(dlg, IDC_PROGRESS, PBM_SETRANGE32, 0, 10);
    return TRUE;
  }
  if (msg == WM_WORKER_DONE) {
    SendDlgItemMessageA(dlg, IDC_PROGRESS, PBM_SETPOS, 10, 0);
    EndDialog(dlg, static_cast<INT_PTR>(wParam));
    return TRUE;
  }
  return FALSE;
}

TEST_F(DialogScript, PageEndedByItsWorkerThread) {
  useScript("page 136\n");
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_INSTALLPREPARE), nullptr, workerPageProc, 0), 42);
  const std::string t = transcript();
  EXPECT_NE(t.find("1036 progress [--------------------]   0%"), std::string::npos) << t;
  EXPECT_NE(t.find("-- page 136 left with 42\n  1036 progress [####################] 100%"), std::string::npos) << t;
}

// A page that asks a question on top of itself: the script answers the
// inner page and message box in order.
INT_PTR CALLBACK timeoutPageProc(HWND dlg, UINT msg, WPARAM, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      SetTimer(dlg, 1, 1000, nullptr);
      return TRUE;
    case WM_TIMER: {
      KillTimer(dlg, 1);
      const INT_PTR inner = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_TIMEOUT), dlg,
                                            [](HWND d, UINT m, WPARAM w, LPARAM) -> INT_PTR {
                                              if (m == WM_COMMAND) EndDialog(d, LOWORD(w));
                                              return m == WM_INITDIALOG;
                                            },
                                            0);
      const int box = MessageBoxA(dlg, "Keep waiting for the printer?", "Setup", MB_YESNO | MB_ICONQUESTION);
      EndDialog(dlg, inner * 10 + box);
      return TRUE;
    }
  }
  return FALSE;
}

TEST_F(DialogScript, NestedDialogAndMessageBoxFollowTheScriptOrder) {
  useScript("page 145: wait 5\npage 146: ok\nmsgbox \"keep waiting\": no\n");
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_POWERON), nullptr, timeoutPageProc, 0), IDOK * 10 + IDNO);
  const std::string t = transcript();
  const size_t outer = t.find("== page 145"), inner = t.find("== page 146"), box = t.find("== msgbox \"Setup\"");
  ASSERT_NE(box, std::string::npos) << t;
  EXPECT_LT(outer, inner);
  EXPECT_LT(inner, box);
  EXPECT_NE(t.find("MB_YESNO|MB_ICONQUESTION (0x24)"), std::string::npos) << t;
  EXPECT_NE(t.find("-- answered no"), std::string::npos) << t;
}

TEST_F(DialogScript, MessageBoxesMatchedByCatalogueIdOrText) {
  useScript("msgbox IDS_MSG_DEFUALT_PRINTER: yes\nmsgbox \"was not found\": retry\nmsgbox *: cancel\n");
  WinsimNoteMessageText("IDS_MSG_DEFUALT_PRINTER", "Make the new printer the default printer?");
  EXPECT_EQ(MessageBoxA(nullptr, "Make the new printer the default printer?", "Setup", MB_YESNO | MB_ICONQUESTION),
            IDYES);
  EXPECT_EQ(MessageBoxA(nullptr, "The printer WAS NOT FOUND.", "Setup", MB_RETRYCANCEL), IDRETRY);
  EXPECT_EQ(MessageBoxA(nullptr, "Anything", "Setup", MB_OKCANCEL), IDCANCEL);
  EXPECT_NE(transcript().find("[IDS_MSG_DEFUALT_PRINTER]"), std::string::npos) << transcript();
}

TEST_F(DialogScript, WithoutUiBoxesTakeTheirDefaultButton) {
  setenv("KVSIM_UI", "none", 1);
  winsim::ui::resetRendererForTests();
  const struct {
    UINT style;
    int expected;
  } kRows[] = {{MB_OK, IDOK},
               {MB_YESNO | MB_DEFBUTTON2, IDNO},
               {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
               {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
               {MB_YESNO | MB_DEFBUTTON4, IDYES}};  // no fourth button: the first
  for (const auto& row : kRows) EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", row.style), row.expected) << row.style;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", 7), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// The USB model page ends while it starts when there is one model: nobody
// sees it, the script needs no line for it, the transcript notes it.
TEST_F(DialogScript, PageEndedWhileStartingIsNotShown) {
  useScript("");
  auto proc = [](HWND dlg, UINT msg, WPARAM, LPARAM) -> INT_PTR {
    if (msg == WM_INITDIALOG) EndDialog(dlg, 1);
    return msg == WM_INITDIALOG;
  };
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_USBPRINTERLIST), nullptr, proc, 0), 1);
  EXPECT_NE(transcript().find("== page 149 \"Printer Driver Setup\" ended while starting with 1 (IDOK)"),
            std::string::npos)
      << transcript();
}

TEST_F(DialogScript, MissingTemplateFailsTheCall) {
  useScript("");
  SetLastError(0xdeadbeef);
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(9999), nullptr, setupKindProc, 0), -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

// ---- A script that does not fit the program ends the run with status 3 ----------

class DialogScriptDeath : public DialogScript {};

void runSetupKind() {
  SetupKindResult r;
  DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_SETUPKIND), nullptr, setupKindProc, reinterpret_cast<LPARAM>(&r));
  std::exit(0);
}

TEST_F(DialogScriptDeath, ScriptFailures) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const struct {
    const char* script;
    const char* message;
  } kRows[] = {
      {"page 134: ok\n", "page 133 \"Setup kind\" opened, but .*ui.txt:1 expects \"page 134: ok\""},
      {"", "page 133 \"Setup kind\" opened, but the UI script .* has ended"},
      {"msgbox *: ok\n", "expects \"msgbox \\*: ok\""},
      {"page 133: click 1011; ok\n", "page 133, .*ui.txt:1: \"click 1011\": control 1011 is disabled"},
      {"page 133: uncheck 1007\n", "radio button 1007 cannot be unchecked"},
      {"page 133: check 4242\n", "the page has no control 4242"},
      {"page 133: check IDC_NOPE\n", "no control is named IDC_NOPE"},
      {"page 133: ok; check 1012\n", "page 133 closed with 1 \\(IDOK\\) before \"check 1012\""},
      {"page 133: select 1012 0\n", "control 1012 is a check, not a list"},
      {"page 133: bogus\n", "ui.txt:1: unknown action 'bogus'"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.script);
    useScript(row.script);
    EXPECT_EXIT(runSetupKind(), ::testing::ExitedWithCode(winsim::ui::kUiFailureExitCode), row.message);
  }
}

TEST_F(DialogScriptDeath, PageWithoutUiFailsAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  setenv("KVSIM_UI", "none", 1);
  winsim::ui::resetRendererForTests();
  EXPECT_EXIT(runSetupKind(), ::testing::ExitedWithCode(winsim::ui::kUiFailureExitCode),
              "page 133 \"Setup kind\" needs an answer, but no UI is chosen");
}

TEST_F(DialogScriptDeath, ForgottenPageDoesNotHang) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  useScript("page 133\n");
  EXPECT_EXIT(runSetupKind(), ::testing::ExitedWithCode(winsim::ui::kUiFailureExitCode),
              "page 133 \"Setup kind\" is still open after 600 seconds");
}

}  // namespace
