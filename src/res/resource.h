// Resource identifiers of KV_SETUP: dialog templates, their controls, and the
// pictures, icons, animation and licence text the pages load by number.
//
// The numbers are fixed: pages, tests and UI scripts refer to dialogs and
// controls by them, and the same numbers are compiled into the Windows
// program. Several controls share a number on different pages; each page
// uses the name that says what the control is there.
#pragma once

// ---- The main frame ---------------------------------------------------------
#define IDR_MAINFRAME                 128

// ---- Dialog templates (one per page) ----------------------------------------
#define IDD_SETUPKIND                 133
#define IDD_UPDATEPRINTER             134
#define IDD_COMPLETE                  135
#define IDD_INSTALLPREPARE            136
#define IDD_SEARCHPRINTER             139
#define IDD_PRINTERLIST               140
#define IDD_POWEROFF                  144
#define IDD_POWERON                   145
#define IDD_TIMEOUT                   146
#define IDD_ADDFORCE                  147
#define IDD_USBPRINTERLIST            149
#define IDD_LICENSE                   1000
#define IDD_INITPRNSELECT             1001

// ---- Pictures, icons, animation, licence text -------------------------------
#define IDI_PRINTER_PORT              141
#define IDI_PRINTER_NETWORK           143
#define IDI_TIMEOUT                   150
#define IDR_AVI_POWERON               157
#define IDB_POWEROFF                  158
#define IDB_POWERON                   159
#define IDR_LICENSE                   160
#define IDB_HEADER_ALT                162
#define IDI_PRINTER_NETWORK_ALT       163
#define IDI_PRINTER_PORT_ALT          164
#define IDB_HEADER                    10550

// ---- Controls common to every wizard page ------------------------------------
#define IDC_TITLE                     50
#define IDC_SUBTITLE                  51
#define IDC_GUIDE                     1002
#define IDC_HEADER_BAND               1006
#define IDC_HEADER_PICTURE            1047
#define IDC_SEPARATOR_TOP             1300
#define IDC_SEPARATOR_BOTTOM          1301

// The header frame: the picture is placed inside it. Its number depends on
// the page (the licence and USB pages share 1012 with nothing else).
#define IDC_HEADER_FRAME_1012         1012
#define IDC_HEADER_FRAME_1014         1014
#define IDC_HEADER_FRAME_1016         1016
#define IDC_HEADER_FRAME_1018         1018
#define IDC_HEADER_FRAME_1035         1035
#define IDC_HEADER_FRAME_1038         1038
#define IDC_HEADER_FRAME_1041         1041

// ---- Page controls -----------------------------------------------------------
// Licence page.
#define IDC_TEXT                      1001   // read-only multi-line edit (also update and completion pages)
#define IDC_RADIO_AGREE               1003
#define IDC_RADIO_DISAGREE            1004

// Setup-kind page.
#define IDC_RADIO_ADD                 1007
#define IDC_RADIO_UPDATE              1008
#define IDC_CHECK_NETWORK             1011
#define IDC_CHECK_USB                 1012
#define IDC_ADD_TEXT                  1042

// Completion page.
#define IDC_RADIO_REBOOT_NOW          1003
#define IDC_RADIO_REBOOT_LATER        1004
#define IDC_REBOOT_FRAME              1008
#define IDC_REBOOT_GUIDE              1009

// USB printer page.
#define IDC_USB_MODELS                1029

// Installation page.
#define IDC_PROGRESS                  1036
#define IDC_PERCENT                   1037
#define IDC_STATUS                    1039

// Power-off and power-on pages.
#define IDC_BACK                      1012
#define IDC_GUIDE2                    1003
#define IDC_POWEROFF_PICTURE          1022
#define IDC_POWERON_PICTURE           1013
#define IDC_POWERON_OPE1              1016
#define IDC_POWERON_OPE2              1017
#define IDC_POWERON_OPE3              1018
#define IDC_POWERON_ONE               1019
#define IDC_POWERON_TWO               1020
#define IDC_POWERON_THREE             1021
#define IDC_POWERON_HARDWIZARD1       1031
#define IDC_POWERON_HARDWIZARD2       1032
#define IDC_POWERON_WAITING           1033
#define IDC_POWERON_ANIMATION         1034

// Time-out question.
#define IDC_TIMEOUT_MESSAGE           1030
#define IDC_TIMEOUT_ICON              1040

// Search and printer list pages.
#define IDC_PRINTER_LIST              1015
#define IDC_SEARCH_TEXT1              1091
#define IDC_SEARCH_TEXT2              1092

// Manual-port page (with IDC_GUIDE, IDC_GUIDE2 and IDC_BACK).
#define IDC_GUIDE3                    1023
#define IDC_GUIDE4                    1024
#define IDC_GUIDE5                    1025

// Initial-settings selection page (with IDC_GUIDE, IDC_GUIDE2, IDC_GUIDE3).
#define IDC_ASTER                     1004
#define IDC_PRNLST_LABEL              1043
#define IDC_PRNLST                    1046
