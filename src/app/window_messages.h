// The wizard's window messages: one id per name, registered with the
// system at start-up ("KV_SETUP_" followed by the name) so that the frame,
// its pages and the installation thread post the same ids, and so that the
// parent installer and the external installer can be told them.
#pragma once

#include "platform/win32.h"

// Filled by CKV_SETUPApp::kRegisterMessageID, in this order.
inline UINT WM_APPBASE_MESSAGE = 0;
inline UINT WM_DISP_LICENSE = 0;
inline UINT WM_DISP_SETUPKIND = 0;
inline UINT WM_DISP_UPDATEPRINTER = 0;
inline UINT WM_DISP_COMPLETE = 0;
inline UINT WM_EXECUTE_NELI = 0;
inline UINT UM_CALL_UNSYNC_WAIT = 0;
inline UINT UM_EXIT_REBOOT = 0;
inline UINT WM_ENDINSTALL = 0;
inline UINT WM_DISP_PRINTERLIST = 0;
inline UINT WM_DISP_SEARCHPRINTER = 0;
inline UINT WM_DISP_POWEROFF = 0;
inline UINT WM_DISP_PREPAREINSTALL = 0;
inline UINT WM_DISP_POWERON = 0;
inline UINT WM_DECIDE_INSTALLKIND = 0;
inline UINT WM_DRIVER_CHECK = 0;
inline UINT WM_EXEC_APPLICATION = 0;
inline UINT WM_DISP_TIMEOUT = 0;
inline UINT WM_DISP_ADDFORCE = 0;
inline UINT WM_DISP_NOMCOMPLETE = 0;
inline UINT WM_DISP_ERRCOMPLETE = 0;
inline UINT WM_EXECUTE_NELIADDFORCE = 0;
inline UINT WM_UPDATEDATA = 0;
inline UINT WM_DISP_NEXTCOMP = 0;
inline UINT WM_DISP_USBPRINTERLIST = 0;
inline UINT WM_SESSIONBASE_MESSAGE = 0;
inline UINT WM_DISP_INITPRNSELECT = 0;

// Derived from the base, never registered: progress and the start
// announcement of the external installer.
inline UINT WM_APPMESSAGE_PROGRESS = 0;
inline UINT WM_APPMESSAGE_CONNENCT = 0;

// The table of names and the ids they fill, in the order of registration.
struct CWindowMessageName {
  const char* pszName;
  UINT* pId;
};

inline constexpr CWindowMessageName kWindowMessageNames[] = {
    {"WM_APPBASE_MESSAGE", &WM_APPBASE_MESSAGE},
    {"WM_DISP_LICENSE", &WM_DISP_LICENSE},
    {"WM_DISP_SETUPKIND", &WM_DISP_SETUPKIND},
    {"WM_DISP_UPDATEPRINTER", &WM_DISP_UPDATEPRINTER},
    {"WM_DISP_COMPLETE", &WM_DISP_COMPLETE},
    {"WM_EXECUTE_NELI", &WM_EXECUTE_NELI},
    {"UM_CALL_UNSYNC_WAIT", &UM_CALL_UNSYNC_WAIT},
    {"UM_EXIT_REBOOT", &UM_EXIT_REBOOT},
    {"WM_ENDINSTALL", &WM_ENDINSTALL},
    {"WM_DISP_PRINTERLIST", &WM_DISP_PRINTERLIST},
    {"WM_DISP_SEARCHPRINTER", &WM_DISP_SEARCHPRINTER},
    {"WM_DISP_POWEROFF", &WM_DISP_POWEROFF},
    {"WM_DISP_PREPAREINSTALL", &WM_DISP_PREPAREINSTALL},
    {"WM_DISP_POWERON", &WM_DISP_POWERON},
    {"WM_DECIDE_INSTALLKIND", &WM_DECIDE_INSTALLKIND},
    {"WM_DRIVER_CHECK", &WM_DRIVER_CHECK},
    {"WM_EXEC_APPLICATION", &WM_EXEC_APPLICATION},
    {"WM_DISP_TIMEOUT", &WM_DISP_TIMEOUT},
    {"WM_DISP_ADDFORCE", &WM_DISP_ADDFORCE},
    {"WM_DISP_NOMCOMPLETE", &WM_DISP_NOMCOMPLETE},
    {"WM_DISP_ERRCOMPLETE", &WM_DISP_ERRCOMPLETE},
    {"WM_EXECUTE_NELIADDFORCE", &WM_EXECUTE_NELIADDFORCE},
    {"WM_UPDATEDATA", &WM_UPDATEDATA},
    {"WM_DISP_NEXTCOMP", &WM_DISP_NEXTCOMP},
    {"WM_DISP_USBPRINTERLIST", &WM_DISP_USBPRINTERLIST},
    {"WM_SESSIONBASE_MESSAGE", &WM_SESSIONBASE_MESSAGE},
    {"WM_DISP_INITPRNSELECT", &WM_DISP_INITPRNSELECT},
};

// The prefix of every registered name.
inline constexpr const char kWindowMessagePrefix[] = "KV_SETUP_";
