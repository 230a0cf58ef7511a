// The wizard's one top-level window. It owns no page of its own: every step
// of the wizard is a registered message that the frame posts to itself,
// and the relays between the external installer and the parent installer
// pass through it.
#pragma once

#include "platform/win32.h"

class CKV_SETUPApp;

class CMainFrame {
 public:
  // The window class of the frame; registering it is the frame's template.
  static constexpr const char* kClassName = "KV_SETUPMainFrame";

  explicit CMainFrame(CKV_SETUPApp& app) : m_app(app) {}
  CMainFrame(const CMainFrame&) = delete;
  CMainFrame& operator=(const CMainFrame&) = delete;

  // Registers the frame's window class; FALSE when the system refuses it.
  static BOOL kRegisterClass();
  // Creates the frame window, hidden and without a menu; NULL on failure.
  HWND kCreate(const char* pszTitle);
  HWND kGetSafeHwnd() const { return m_hWnd; }

  // The handlers of the frame's messages; each returns 1.
  LRESULT kOnDispLicenseDialog(WPARAM wParam, LPARAM lParam);
  LRESULT kOnBaseProc(WPARAM wParam, LPARAM lParam);
  LRESULT kOnKVSetupReceiveProgress(WPARAM wParam, LPARAM lParam);
  LRESULT kOnKVSetupReceiveConnect(WPARAM wParam, LPARAM lParam);
  LRESULT kOnInstManCancelProc(WPARAM wParam, LPARAM lParam);
  LRESULT kOnExitReboot(WPARAM wParam, LPARAM lParam);
  BOOL OnCopyData(const COPYDATASTRUCT* pCopyDataStruct);

 private:
  static LRESULT CALLBACK kWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
  LRESULT kDispatch(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

  CKV_SETUPApp& m_app;
  HWND m_hWnd = nullptr;
};
