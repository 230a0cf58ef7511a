// What the application says to its parent installer, the status word it
// ends with, the relays of the main frame, the registered messages, the
// guard against a second instance and the restart request.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/window_messages.h"
#include "app_fixture.h"

namespace {

using apptest::AppFixture;

// A window of the test that stands for the parent installer: it keeps what
// it is sent and leaves what is posted to it in the queue.
struct ParentWindow {
  static inline std::vector<std::string> lstCopyData;

  static LRESULT CALLBACK proc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_COPYDATA) {
      const auto* pData = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      lstCopyData.emplace_back(static_cast<const char*>(pData->lpData), pData->cbData);
      return TRUE;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
  }

  ParentWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KvTestParent";
    RegisterClassA(&wc);
    hWnd = CreateWindowExA(0, "KvTestParent", "parent", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    lstCopyData.clear();
  }
  ~ParentWindow() { DestroyWindow(hWnd); }

  // The messages posted to the parent so far, as (message - base, wParam, lParam).
  std::vector<std::vector<unsigned long long>> take(UINT uBase) const {
    std::vector<std::vector<unsigned long long>> lstPosted;
    MSG msg;
    while (PeekMessageA(&msg, hWnd, 0, 0, PM_REMOVE)) {
      if (msg.message >= uBase && msg.message <= uBase + 2) {
        lstPosted.push_back({msg.message - uBase, static_cast<unsigned long long>(msg.wParam),
                             static_cast<unsigned long long>(msg.lParam)});
      }
    }
    return lstPosted;
  }

  HWND hWnd = nullptr;
};

class Instance : public AppFixture {
 protected:
  static constexpr UINT kBase = 0x8123;

  // Makes the test window the parent installer of the application, as +W
  // and +M do.
  static void adopt(const ParentWindow& parent, CKV_SETUPApp& app) {
    char szText[32];
    std::snprintf(szText, sizeof(szText), "%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(parent.hWnd)));
    app.m_strInstManHWnd = szText;
    std::snprintf(szText, sizeof(szText), "%x", kBase);
    app.m_strInstManMessage = szText;
  }
};

TEST_F(Instance, StatusWordReachesTheParent) {
  const struct {
    int bInstallError, bBreakOff, bCancel, bWarning, bOSReboot;
    unsigned long long ullStatus;
  } rows[] = {
      {1, 0, 0, 1, 0, 1},            // a warning is not reported beside an install error
      {0, 1, 0, 1, 0, 6},            // broken off with a warning
      {0, 0, 1, 0, 0, 2},            // a cancelled page counts as broken off
      {0, 0, 0, 0, 1, 0x10000},      // success that needs a restart
      {1, 0, 0, 1, 1, 0x10001},
      {0, 0, 0, 0, 0, 0},
  };
  for (const auto& row : rows) {
    ParentWindow parent;
    CKV_SETUPApp app;
    adopt(parent, app);
    app.m_bInstallError = row.bInstallError;
    app.m_bBreakOff = row.bBreakOff;
    app.m_bCancel = row.bCancel;
    app.m_bWarning = row.bWarning;
    app.m_bOSReboot = row.bOSReboot;
    app.ExitInstance();
    const auto lstPosted = parent.take(kBase);
    ASSERT_EQ(lstPosted.size(), 1u);
    EXPECT_EQ(lstPosted[0], (std::vector<unsigned long long>{0, row.ullStatus, 0})) << row.ullStatus;
  }
}

TEST_F(Instance, WithoutAParentNothingLeavesTheProgram) {
  ParentWindow parent;
  m_app.m_bInstallError = 1;
  EXPECT_EQ(m_app.kSendToIMMessage(2, 1, 2), 1);
  const char szText[] = "hello";
  COPYDATASTRUCT data = {0, sizeof(szText), const_cast<char*>(szText)};
  EXPECT_EQ(m_app.kSendMessageToIM(&data), 1);
  EXPECT_TRUE(parent.take(kBase).empty());
  EXPECT_TRUE(ParentWindow::lstCopyData.empty());
  EXPECT_NE(takeLog().find("CKV_SETUPApp::kSendMessageToIM() return TRUE (1) LastError=0 m_strInstManHWnd is "
                           "empty.\n"),
            std::string::npos);
}

TEST_F(Instance, FrameRelaysTheExternalInstallerToTheParent) {
  ParentWindow parent;
  adopt(parent, m_app);
  m_app.kRegisterMessageID();
  CMainFrame frame(m_app);
  ASSERT_TRUE(CMainFrame::kRegisterClass());
  const HWND hFrame = frame.kCreate("frame");
  ASSERT_NE(hFrame, nullptr);

  // Progress passes through unchanged; the announcement is kept.
  SendMessageA(hFrame, WM_APPMESSAGE_PROGRESS, 0xFFFFFFFF, 0x7FFFFFFF);
  SendMessageA(hFrame, WM_APPMESSAGE_CONNENCT, 0x1234, 0xC0DE);
  EXPECT_EQ(parent.take(kBase), (std::vector<std::vector<unsigned long long>>{{1, 0xFFFFFFFF, 0x7FFFFFFF}}));
  EXPECT_EQ(m_app.m_hNELIWnd, reinterpret_cast<HWND>(0x1234));
  EXPECT_EQ(m_app.m_dwNELIMessage, 0xC0DEu);

  // A copy-data block is sent on, and the parent has it when the call returns.
  const char szText[] = "step 3 of 5";
  COPYDATASTRUCT data = {7, sizeof(szText) - 1, const_cast<char*>(szText)};
  EXPECT_TRUE(SendMessageA(hFrame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)));
  EXPECT_EQ(ParentWindow::lstCopyData, std::vector<std::string>{"step 3 of 5"});

  // The external installer's result: install error, warning, restart.
  SendMessageA(hFrame, WM_APPBASE_MESSAGE, 0x10005, 0);
  EXPECT_EQ(m_app.m_bInstallError, 1);
  EXPECT_EQ(m_app.m_bWarning, 1);
  EXPECT_EQ(m_app.m_bOSReboot, 1);
  EXPECT_EQ(m_app.m_bSuccess, 0);
  EXPECT_EQ(m_app.m_bBreakOff, 0);
  // A later success report never clears them.
  SendMessageA(hFrame, WM_APPBASE_MESSAGE, 0, 0);
  EXPECT_EQ(m_app.m_bInstallError, 1);
  EXPECT_EQ(m_app.m_bSuccess, 1);
  m_app.m_bSuccess = 0;
  m_app.ExitInstance();
  EXPECT_EQ(parent.take(kBase), (std::vector<std::vector<unsigned long long>>{{0, 0x10001, 0}}));
  DestroyWindow(hFrame);
}

TEST_F(Instance, RegisteredMessagesAvoidTheTwoDerivedIds) {
  m_app.kRegisterMessageID();
  std::vector<UINT> lstIds;
  for (const CWindowMessageName& entry : kWindowMessageNames) {
    EXPECT_NE(*entry.pId, 0u) << entry.pszName;
    if (entry.pId != &WM_APPBASE_MESSAGE) {
      EXPECT_NE(*entry.pId, WM_APPBASE_MESSAGE + 1) << entry.pszName;
      EXPECT_NE(*entry.pId, WM_APPBASE_MESSAGE + 2) << entry.pszName;
    }
    lstIds.push_back(*entry.pId);
  }
  std::sort(lstIds.begin(), lstIds.end());
  EXPECT_EQ(std::adjacent_find(lstIds.begin(), lstIds.end()), lstIds.end());
  EXPECT_EQ(WM_APPMESSAGE_PROGRESS, WM_APPBASE_MESSAGE + 1);
  EXPECT_EQ(WM_APPMESSAGE_CONNENCT, WM_APPBASE_MESSAGE + 2);

  // The same names give the same ids again, in this process and any other.
  const UINT uLicense = WM_DISP_LICENSE;
  m_app.kRegisterMessageID();
  EXPECT_EQ(WM_DISP_LICENSE, uLicense);
  const std::string strLog = takeLog();
  EXPECT_NE(strLog.find("kRegisterMessageID WM_DISP_INITPRNSELECT = "), std::string::npos);
  // Where the system hands out the ids after the base to the next names,
  // the retries carry the "_EXTEND" mark and their number.
  if (RegisterWindowMessageA("KV_SETUP_WM_DISP_LICENSE") == WM_APPBASE_MESSAGE + 1) {
    EXPECT_NE(strLog.find("Change Message ID: KV_SETUP_WM_DISP_LICENSE_EXTEND_1, "), std::string::npos) << strLog;
  }
}

TEST_F(Instance, OnlyOneInstanceRunsAtATime) {
  CKV_SETUPApp second;
  CKV_SETUPApp third;
  ASSERT_EQ(m_app.kCheckDuplicationExecute(), 0);
  EXPECT_EQ(second.kCheckDuplicationExecute(), 1);
  // The refused instance leaves the count as it found it.
  second.ExitInstance();
  m_app.ExitInstance();
  EXPECT_EQ(third.kCheckDuplicationExecute(), 0);
  third.ExitInstance();
}

TEST_F(Instance, RestartIsRequestedFromTheSystem) {
  HKEY hKey = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KVSim\\Machine", 0, KEY_ALL_ACCESS, &hKey), ERROR_SUCCESS);
  RegDeleteValueA(hKey, "ShutdownRequest");
  EXPECT_TRUE(m_app.kRebootExit());
  char szKind[32] = {};
  DWORD dwSize = sizeof(szKind);
  EXPECT_EQ(RegQueryValueExA(hKey, "ShutdownRequest", nullptr, nullptr, reinterpret_cast<BYTE*>(szKind), &dwSize),
            ERROR_SUCCESS);
  EXPECT_STREQ(szKind, "reboot");
  RegDeleteValueA(hKey, "ShutdownRequest");
  RegCloseKey(hKey);
}

}  // namespace
