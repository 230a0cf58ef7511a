// The command line: every scanning error, every refusal of the validation
// with its message and detail, and the values the switches leave behind.
#include <string>
#include <vector>

#include "app_fixture.h"

namespace {

using apptest::AppFixture;
using Args = std::vector<std::string>;

std::string joined(const Args& args) {
  std::string strText;
  for (const std::string& s : args) strText += "[" + s + "] ";
  return strText;
}

class CommandLine : public AppFixture {
 protected:
  // Scans the arguments; the error number the scan logged, 0 after success.
  int scan(const Args& args) {
    takeLog();
    m_app.kSetArguments(args);
    const BOOL bResult = m_app.kGetCommandLine();
    const std::string strLog = takeLog();
    const std::string strMark = "CKV_SETUPApp::kGetCommandLine() return FALSE (";
    const size_t nAt = strLog.rfind(strMark);
    if (bResult) return nAt == std::string::npos ? 0 : -1;
    return nAt == std::string::npos ? -2 : std::atoi(strLog.c_str() + nAt + strMark.size());
  }

  // Scans and validates; the exit number of the validation (0 after
  // success), with the message shown (catalogue text and detail).
  int validate(const Args& args, std::string* pMessage = nullptr) {
    scan(args);
    const BOOL bResult = m_app.kAnalysisCommandLine();
    const std::string strLog = takeLog();
    const std::string strMark = "CKV_SETUPApp::kAnalysisCommandLine() return FALSE (";
    const size_t nAt = strLog.rfind(strMark);
    if (pMessage) {
      pMessage->clear();
      const std::string strBox = "CKV_SETUPApp::kDispErrorMessage() ";
      const size_t nBox = strLog.rfind(strBox);
      if (nBox != std::string::npos) {
        const size_t nOpen = strLog.find("  [", nBox);
        const size_t nClose = strLog.find("]\n", nOpen);
        if (nOpen != std::string::npos && nClose != std::string::npos) *pMessage = strLog.substr(nOpen + 3, nClose - nOpen - 3);
      }
    }
    if (bResult) return nAt == std::string::npos ? 0 : -1;
    return nAt == std::string::npos ? -2 : std::atoi(strLog.c_str() + nAt + strMark.size());
  }
};

TEST_F(CommandLine, EachMalformedArgumentHasItsErrorNumber) {
  const struct {
    Args args;
    int nError;
  } rows[] = {
      {{"+"}, 1},          {{""}, 1},           {{"B"}, 1},           {{"/B"}, 2},        {{"xB"}, 2},
      {{"+B:"}, 3},        {{"+Sx"}, 3},        {{"-1 "}, 3},         {{"+A"}, 4},        {{"+A:"}, 4},
      {{"+Ax:y"}, 4},      {{"+E:"}, 4},        {{"+X"}, 5},          {{"+C:1"}, 5},      {{"+0"}, 5},
      {{"+!"}, 5},         {{"+\xE9:x"}, 5},    {{"+E:3"}, 6},        {{"+E:10"}, 6},     {{"+E: 1"}, 6},
      {{"+N:,,"}, 7},      {{"+N: , "}, 7},     {{"+N:P,Q,Maybe"}, 8}, {{"+P:,"}, 9},     {{"+P: "}, 9},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(scan(row.args), row.nError) << joined(row.args);
    EXPECT_EQ(m_app.m_strErrorCommandLine, row.args.back()) << joined(row.args);
  }
}

TEST_F(CommandLine, ScanStopsAtTheFirstBadArgumentKeepingWhatCameBefore) {
  EXPECT_EQ(scan({"+B", "+X", "+F"}), 5);
  EXPECT_EQ(m_app.m_bBSwitch, 1);
  EXPECT_EQ(m_app.m_bFSwitch, 0);
  EXPECT_EQ(m_app.m_strErrorCommandLine, "+X");
  // A new scan starts from the defaults again.
  EXPECT_EQ(scan({}), 0);
  EXPECT_EQ(m_app.m_bBSwitch, 0);
  EXPECT_EQ(m_app.m_strErrorCommandLine, "");
  EXPECT_EQ(m_app.m_nRebootMethod, RebootMethod_Undecided);
  EXPECT_EQ(m_app.m_bHSwitchPlus, 1);
}

TEST_F(CommandLine, ValuesAndPiecesAreStoredAsGiven) {
  ASSERT_EQ(scan({"+b", "-f", "+A:Drv  Name ", "+E:2", "-H:xyz", "+N:Printer,,Force", "+P:IP_1, Std ,1.2.3.4,RAW,x",
                  "+w:1A2b", "+m:C000", "+g:sub"}),
            0);
  EXPECT_EQ(m_app.m_bBSwitch, 1);
  EXPECT_EQ(m_app.m_bFSwitch, 1);
  EXPECT_EQ(m_app.m_strAddDriverName, "Drv  Name ");
  EXPECT_EQ(m_app.m_nRebootMethod, RebootMethod_DoReboot);
  EXPECT_EQ(m_app.m_bHSwitch, 1);
  EXPECT_EQ(m_app.m_bHSwitchPlus, 0);
  EXPECT_EQ(m_app.m_strLangCode, "xyz");
  // Empty pieces are skipped, so "Force" is the divert printer, not a mode.
  EXPECT_EQ(m_app.m_strPrinterName, "Printer");
  EXPECT_EQ(m_app.m_bDivertPrinter, 1);
  EXPECT_EQ(m_app.m_strDivertPrinterName, "Force");
  EXPECT_EQ(m_app.m_strDivertMode, "");
  EXPECT_EQ(m_app.m_strPortName, "IP_1");
  EXPECT_EQ(m_app.m_strMonitorName, "Std");
  EXPECT_EQ(m_app.m_strPortAddress, "1.2.3.4");
  EXPECT_EQ(m_app.m_strPrintProtocol, "RAW");
  EXPECT_EQ(m_app.m_strPortParam, "IP_1, Std ,1.2.3.4,RAW,x");
  EXPECT_EQ(m_app.m_strInstManHWnd, "1A2b");
  EXPECT_EQ(m_app.m_strInstManMessage, "C000");
  EXPECT_EQ(m_app.m_strRestrictPath, "sub");

  ASSERT_EQ(scan({"+N: P1 , D1 , add "}), 0);
  EXPECT_EQ(m_app.m_strPrinterName, "P1");
  EXPECT_EQ(m_app.m_strDivertPrinterName, "D1");
  EXPECT_EQ(m_app.m_strDivertMode, "add");
}

TEST_F(CommandLine, ValidationRefusesWithItsNumberMessageAndDetail) {
  m_pkg.writeAnsi("pkg\\file.txt", "x");
  const std::string strMissing = m_pkg.folder() + "missing";
  const std::string strFile = m_pkg.folder() + "file.txt";
  const std::string strCmd = apptest::kCmdLineText;
  const struct {
    Args args;
    int nExit;
    std::string strMessage;
  } rows[] = {
      {{"+X"}, 1, strCmd + "\n+X"},
      {{"+B", ""}, 1, strCmd},
      {{"+E:3"}, 1, strCmd + "\n+E:3"},
      {{"+H:040"}, 2, strCmd + "\n+H:040"},
      {{"+H:04090"}, 2, strCmd + "\n+H:04090"},
      {{"+H:04G9"}, 3, strCmd + "\n+H:04G9"},
      {{"+G:missing"}, 4, strCmd + "\n+G:" + strMissing},
      {{"+G:file.txt"}, 5, strCmd + "\n+G:" + strFile},
      {{"+B", "+A:a", "+R:r"}, 18, strCmd + "\n+A:a\n+R:r"},
      {{"+B", "+R:r", "+D:d", "+A:a"}, 18, strCmd + "\n+A:a\n+D:d\n+R:r"},
      {{"+B"}, 19, strCmd + "\n+B"},
      {{"+B", "+N:OnlyName"}, 19, strCmd + "\n+B"},
      {{"+Z", "+A:a"}, 6, strCmd + "\n+A:a"},
      {{"+D:d"}, 7, strCmd + "\n+D:d"},
      {{"+E:1"}, 8, strCmd + "\n+E:1"},
      {{"+F"}, 9, strCmd + "\n+F"},
      {{"+N:P, D"}, 10, strCmd + "\n+N:P"},
      {{"+P:a,b"}, 11, strCmd + "\n+P:a,b"},
      {{"+R:r"}, 12, strCmd + "\n+R:r"},
      {{"+U:u"}, 13, strCmd + "\n+U:u"},
      {{"+Z"}, 14, strCmd + "\n+Z"},
      {{"+1"}, 15, strCmd + "\n+1"},
      {{"+3:i.ini"}, 16, strCmd + "\n+3:i.ini"},
      {{"+4:share"}, 17, strCmd + "\n+4:share"},
      {{"+W:1234"}, 21, std::string(apptest::kOrSwitchText) + "\n+M:\n+W:"},
      {{"+M:c000"}, 21, std::string(apptest::kOrSwitchText) + "\n+M:\n+W:"},
      {{"+6:nofolder\\names.ini"}, 23, apptest::kKeepOnText},
      // A line break in a value would add interface-file entries of its own.
      {{"+B", "+A:a", "+N:Office\nPrinterName=INJECTED"}, 26, strCmd + "\n+N:Office\nPrinterName=INJECTED"},
      // (the box's text has its line ends as the catalogue's: CR LF shows as one)
      {{"+B", "+A:a", "+P:USB001\r\nPortName=LPT1:"}, 26, strCmd + "\n+P:USB001\nPortName=LPT1:"},
      {{"+B", "+A:a", "+U:u\n"}, 26, strCmd + "\n+U:u\n"},
      {{"+B", "+A:a\nb"}, 26, strCmd + "\n+A:a\nb"},
      {{"+8:DISPLAY\n+X:C:\\E.INI"}, 26, strCmd + "\n+8:DISPLAY\n+X:C:\\E.INI"},
      // A folder name no file system accepts has no short form.
      {{"+6:bad|dir\\names.ini"}, 22, strCmd + "\n+6:bad|dir\\names.ini"},
  };
  for (const auto& row : rows) {
    std::string strMessage;
    EXPECT_EQ(validate(row.args, &strMessage), row.nExit) << joined(row.args);
    EXPECT_EQ(strMessage, row.strMessage) << joined(row.args);
  }
}

TEST_F(CommandLine, ValidCombinationsPass) {
  const Args rows[] = {
      {},
      {"-H:anything"},
      {"+H:0407"},
      {"+B", "+N:P,Q"},
      {"+B", "+1", "+Z", "+F", "+E:0", "+A:a", "+N:P", "+P:port", "+U:u", "+3:i", "+4:s"},
      {"+W:1234", "+M:C000"},
      {"+G:."},
      {"+6:names.ini"},
  };
  for (const Args& args : rows) EXPECT_EQ(validate(args), 0) << joined(args);
}

TEST_F(CommandLine, ValidatedValues) {
  ASSERT_EQ(validate({"+H:04Ab"}), 0);
  EXPECT_EQ(m_app.m_strHSwitchValue, "04Ab");
  EXPECT_EQ(m_app.m_strLangCode, "0x04Ab");

  ASSERT_EQ(validate({}), 0);
  EXPECT_EQ(m_app.m_strRestrictPath, m_app.m_strModulePath);

  ASSERT_EQ(validate({"+6:names.ini"}), 0);
  EXPECT_EQ(m_app.m_strDriversNameIniFile, m_pkg.folder() + "names.ini");

  // With a driver named, a divert form of +N is dropped; the name stays.
  ASSERT_EQ(validate({"+B", "+A:a", "+N:P,Q,Add"}), 0);
  EXPECT_EQ(m_app.m_nSetupKind, SETUPKIND_ADD);
  EXPECT_EQ(m_app.m_bDivertPrinter, 0);
  EXPECT_EQ(m_app.m_strPrinterName, "P");
  EXPECT_EQ(m_app.m_strPrinterNameParam, "");
  EXPECT_EQ(m_app.m_strDivertPrinterName, "");
  EXPECT_EQ(m_app.m_strDivertMode, "");
  ASSERT_EQ(validate({"+B", "+R:r"}), 0);
  EXPECT_EQ(m_app.m_nSetupKind, SETUPKIND_UPDATE);
  ASSERT_EQ(validate({"+B", "+D:d"}), 0);
  EXPECT_EQ(m_app.m_nSetupKind, SETUPKIND_DELETE);
}

TEST_F(CommandLine, ReadOnlyNamesFileIsRefused) {
  m_pkg.writeAnsi("pkg\\names.ini", "[Drivers]\n");
  const std::string strNames = m_pkg.folder() + "names.ini";
  ASSERT_TRUE(SetFileAttributesA(strNames.c_str(), FILE_ATTRIBUTE_READONLY));
  std::string strMessage;
  EXPECT_EQ(validate({"+6:names.ini"}, &strMessage), 24);
  EXPECT_EQ(strMessage, apptest::kKeepOnText);
  SetFileAttributesA(strNames.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(validate({"+6:names.ini"}), 0);
}

TEST_F(CommandLine, PageSelectionAndInitialSettings) {
  const struct {
    Args args;
    int bLicense;
    int bComplete;
    int nInitPrn;
    const char* pszInitPrnParam;
  } rows[] = {
      {{}, 1, 1, INITPRN_SELECT, "SELECT"},
      {{"+B", "+A:a"}, 1, 1, INITPRN_NODISPLAY, "NODISPLAY"},
      // The tenth character of "1" is one of the zeros appended.
      {{"+Q:1"}, 1, 1, INITPRN_SELECT, "SELECT"},
      {{"+B", "+A:a", "+Q:1"}, 1, 0, INITPRN_NODISPLAY, "NODISPLAY"},
      // The tenth character of "x" is an appended zero as well.
      {{"+Q:x"}, 0, 1, INITPRN_SELECT, "SELECT"},
      {{"+B", "+A:a", "+Q:x"}, 0, 0, INITPRN_NODISPLAY, "NODISPLAY"},
      {{"+Q:0000000001"}, 1, 1, INITPRN_SELECT, "SELECT"},
      {{"+B", "+A:a", "+Q:0000000001"}, 0, 1, INITPRN_NODISPLAY, "NODISPLAY"},
      {{"+Q:100000000x"}, 1, 0, INITPRN_SELECT, "SELECT"},
      {{"+8:display"}, 1, 1, INITPRN_DISPLAY, "display"},
      {{"+B", "+A:a", "+8:Select"}, 1, 1, INITPRN_SELECT, "Select"},
      {{"+8:NoDisplay"}, 1, 1, INITPRN_NODISPLAY, "NoDisplay"},
      {{"+8:Custom"}, 1, 1, INITPRN_OTHER, "Custom"},
  };
  for (const auto& row : rows) {
    ASSERT_EQ(validate(row.args), 0) << joined(row.args);
    EXPECT_EQ(m_app.m_bShowLicensePage, row.bLicense) << joined(row.args);
    EXPECT_EQ(m_app.m_bShowCompletePage, row.bComplete) << joined(row.args);
    EXPECT_EQ(m_app.m_nInitPrnSelect, row.nInitPrn) << joined(row.args);
    EXPECT_EQ(m_app.m_strInitPrnParam, row.pszInitPrnParam) << joined(row.args);
  }
  EXPECT_EQ(m_app.m_strInitPrnSelectValue, "Custom");
}

// ---- The error box -----------------------------------------------------------------

LRESULT CALLBACK testWndProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

HWND makeWindow() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = testWndProc;
  wc.lpszClassName = "KvAppTestFrame";
  RegisterClassA(&wc);
  return CreateWindowExA(0, "KvAppTestFrame", "frame", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                         nullptr);
}

bool takeClose(HWND hWnd) {
  MSG msg;
  bool bFound = false;
  while (PeekMessageA(&msg, hWnd, WM_CLOSE, WM_CLOSE, PM_REMOVE)) bFound = true;
  return bFound;
}

TEST_F(CommandLine, ErrorBoxClosesTheMainWindowAndRespectsSilentMode) {
  const struct {
    bool bWindow;
    int bAnalyzed;
    Args args;
    const char* pszKey;
    bool bShown;
  } rows[] = {
      {false, 0, {}, "IDS_ERR_CMDLINE", false},      // no window yet
      {true, 0, {}, "IDS_ERR_CMDLINE", true},
      // Silent mode holds from the scan on: a box nobody answers would hold a
      // deployment for ever, also for a refused command line.
      {true, 0, {"+B", "+1"}, "IDS_ERR_CMDLINE", false},
      {true, 1, {"+B", "+1"}, "IDS_ERR_CMDLINE", false},
      {true, 1, {}, "IDS_ERR_CMDLINE", true},
      {true, 0, {}, "IDS_NOT_IN_CATALOGUE", false},   // no text, no box
  };
  for (const auto& row : rows) {
    if (row.bWindow && !m_app.m_hMainWnd) m_app.m_hMainWnd = makeWindow();
    if (!row.bWindow && m_app.m_hMainWnd) {
      DestroyWindow(m_app.m_hMainWnd);
      m_app.m_hMainWnd = nullptr;
    }
    ASSERT_EQ(scan(row.args), 0);
    m_app.m_bCmdLineAnalyzed = row.bAnalyzed;
    const int nButton = m_app.kDispErrorMessage(row.pszKey, "detail", "", kStartupMessageStyle);
    const std::string strLog = takeLog();
    EXPECT_EQ(nButton, row.bShown ? IDOK : 0) << row.pszKey << " " << joined(row.args);
    EXPECT_NE(strLog.find(std::string("kDispErrorMessage() ") + row.pszKey + " shown=" + (row.bShown ? "1" : "0")),
              std::string::npos)
        << strLog;
    // Every error ends the wizard, also when nothing was shown.
    if (row.bWindow) {
      EXPECT_TRUE(takeClose(m_app.m_hMainWnd)) << joined(row.args);
    }
  }
}

}  // namespace
