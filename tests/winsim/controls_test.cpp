// Controls inside a dialog: the notifications a person's clicks produce,
// radio groups, the dialog item functions, and module resources. The dialog
// is modeless and built from a test module's script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "user32/dialog_internal.h"
#include "user32/resources.h"

namespace {

constexpr const char* kScript = R"(
#define IDC_RA 10
#define IDC_CHK 11
#define IDC_RB 12
#define IDC_RD 14
7 BITMAP "pic.bmp"
9 RCDATA "blob.bin"
157 AVI "clip.avi"
STRINGTABLE
BEGIN
  5, "Printer Driver Setup"
END
100 DIALOGEX 0, 0, 200, 200
CAPTION "Controls"
BEGIN
  AUTORADIOBUTTON "A", IDC_RA, 0, 0, 10, 10, WS_GROUP
  AUTOCHECKBOX "C", IDC_CHK, 0, 0, 10, 10
  AUTORADIOBUTTON "B", IDC_RB, 0, 0, 10, 10
  LTEXT "label", 13, 0, 0, 10, 10
  AUTORADIOBUTTON "D", IDC_RD, 0, 0, 10, 10, WS_GROUP
  PUSHBUTTON "Off", 15, 0, 0, 10, 10, WS_DISABLED
  PUSHBUTTON "Hidden", 16, 0, 0, 10, 10, NOT WS_VISIBLE
  LISTBOX 20, 0, 0, 50, 50, LBS_NOTIFY
  LISTBOX 21, 0, 0, 50, 50, NOT LBS_NOTIFY
  CONTROL "", 30, "SysListView32", LVS_REPORT | LVS_SINGLESEL, 0, 0, 100, 50
  EDITTEXT 40, 0, 0, 50, 12
  EDITTEXT 41, 0, 0, 50, 12, ES_READONLY
  CONTROL 7, 50, "Static", SS_BITMAP, 0, 0, 10, 10
  CONTROL "", 60, "SysAnimate32", 0, 0, 0, 10, 10
  PUSHBUTTON "Cancel", IDCANCEL, 0, 0, 10, 10
END
)";

struct Event {
  UINT msg;
  int id;
  int code;
  int item;
  bool operator==(const Event&) const = default;
};
std::vector<Event> g_events;
LRESULT g_deleteAllAnswer = FALSE;

INT_PTR CALLBACK recordingProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND) {
    g_events.push_back({msg, LOWORD(wParam), HIWORD(wParam), -1});
    return TRUE;
  }
  if (msg == WM_NOTIFY) {
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    int item = -1;
    if (hdr->code == NM_CLICK) item = reinterpret_cast<NMITEMACTIVATE*>(lParam)->iItem;
    else item = reinterpret_cast<NMLISTVIEW*>(lParam)->iItem;
    g_events.push_back({msg, static_cast<int>(hdr->idFrom), static_cast<int>(hdr->code), item});
    if (hdr->code == LVN_DELETEALLITEMS) {
      SetWindowLongPtrA(dlg, DWLP_MSGRESULT, g_deleteAllAnswer);
      return TRUE;
    }
    return FALSE;
  }
  return msg == WM_INITDIALOG;
}

class DialogControls : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string bmp = "BM" + std::string(12, '\0') + std::string("\x28\0\0\0", 4) + std::string(36, '\1');
    std::string error;
    s_module = winsim::registerResourceModule("controls_test.rc", kScript,
                                              {{"pic.bmp", bmp}, {"blob.bin", std::string("\x01\x02\x03", 3)}, {"clip.avi", "RIFF"}},
                                              &error);
    ASSERT_NE(s_module, nullptr) << error;
  }
  void SetUp() override {
    ASSERT_NE(s_module, nullptr);
    m_dlg = CreateDialogParamA(s_module, MAKEINTRESOURCEA(100), nullptr, recordingProc, 0);
    ASSERT_NE(m_dlg, nullptr);
    ShowWindow(m_dlg, SW_SHOW);
    g_events.clear();
    g_deleteAllAnswer = FALSE;
  }
  void TearDown() override { DestroyWindow(m_dlg); }
  HWND item(int id) const { return GetDlgItem(m_dlg, id); }
  void drain() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }

  static inline HINSTANCE s_module = nullptr;
  HWND m_dlg = nullptr;
};

TEST_F(DialogControls, AutoRadioButtonsClearOnlyTheirGroup) {
  CheckDlgButton(m_dlg, 10, BST_CHECKED);
  CheckDlgButton(m_dlg, 11, BST_CHECKED);
  CheckDlgButton(m_dlg, 14, BST_CHECKED);
  std::string why;
  ASSERT_TRUE(winsim::dlg::userClick(item(12), &why)) << why;
  EXPECT_EQ(IsDlgButtonChecked(m_dlg, 10), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(m_dlg, 11), BST_CHECKED);  // a check box in the group is left alone
  EXPECT_EQ(IsDlgButtonChecked(m_dlg, 12), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(m_dlg, 14), BST_CHECKED);  // another group
  ASSERT_TRUE(winsim::dlg::userClick(item(11), &why)) << why;
  EXPECT_EQ(IsDlgButtonChecked(m_dlg, 11), BST_UNCHECKED);
  const std::vector<Event> expected = {{WM_COMMAND, 12, BN_CLICKED, -1}, {WM_COMMAND, 11, BN_CLICKED, -1}};
  EXPECT_EQ(g_events, expected);
  // CheckRadioButton works by id range, whatever the groups.
  EXPECT_TRUE(CheckRadioButton(m_dlg, 10, 14, 14));
  EXPECT_EQ(IsDlgButtonChecked(m_dlg, 12), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(m_dlg, 11), BST_UNCHECKED);
}

TEST_F(DialogControls, PeopleCannotUseDisabledOrHiddenControls) {
  std::string why;
  EXPECT_FALSE(winsim::dlg::userClick(item(15), &why));
  EXPECT_EQ(why, "control 15 is disabled");
  EXPECT_FALSE(winsim::dlg::userClick(item(16), &why));
  EXPECT_EQ(why, "control 16 is hidden");
  EXPECT_FALSE(winsim::dlg::userClick(item(20), &why));
  EXPECT_EQ(why, "control 20 is a list, not a button");
  // The program's own BM_CLICK on a disabled button does nothing either.
  SendMessageA(item(15), BM_CLICK, 0, 0);
  EXPECT_TRUE(g_events.empty());
}

TEST_F(DialogControls, ListBoxSelectionNotifiesOnlyWithLbsNotify) {
  for (int id : {20, 21})
    for (const char* s : {"one", "two"}) SendDlgItemMessageA(m_dlg, id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
  std::string why;
  ASSERT_TRUE(winsim::dlg::userSelect(item(20), winsim::dlg::findLine(item(20), "TWO"), &why)) << why;
  ASSERT_TRUE(winsim::dlg::userSelect(item(21), 0, &why)) << why;
  EXPECT_FALSE(winsim::dlg::userSelect(item(21), 5, &why));
  EXPECT_EQ(why, "list 21 has no line 5");
  EXPECT_EQ(SendDlgItemMessageA(m_dlg, 20, LB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(SendDlgItemMessageA(m_dlg, 21, LB_GETCURSEL, 0, 0), 0);
  const std::vector<Event> expected = {{WM_COMMAND, 20, LBN_SELCHANGE, -1}};
  EXPECT_EQ(g_events, expected);
}

TEST_F(DialogControls, ListViewClickNotifications) {
  HWND lv = item(30);
  for (int i = 0; i < 3; ++i) {
    LVITEMA it{};
    it.mask = LVIF_TEXT;
    it.iItem = i;
    it.pszText = const_cast<char*>("row");
    SendMessageA(lv, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it));
  }
  g_events.clear();
  std::string why;
  ASSERT_TRUE(winsim::dlg::userSelect(lv, 1, &why));
  ASSERT_TRUE(winsim::dlg::userSelect(lv, 2, &why));
  const UINT N = WM_NOTIFY;
  const int changing = static_cast<int>(LVN_ITEMCHANGING), changed = static_cast<int>(LVN_ITEMCHANGED);
  const std::vector<Event> expected = {
      {N, 30, changing, 1}, {N, 30, changed, 1}, {N, 30, static_cast<int>(NM_CLICK), 1},
      // The second click takes selection and focus from line 1 first.
      {N, 30, changing, 2}, {N, 30, changing, 1}, {N, 30, changed, 1}, {N, 30, changing, 1}, {N, 30, changed, 1},
      {N, 30, changed, 2}, {N, 30, static_cast<int>(NM_CLICK), 2}};
  EXPECT_EQ(g_events, expected);
  EXPECT_EQ(SendMessageA(lv, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 2);

  // Deleting all items tells the parent once, then per item unless it
  // answered TRUE.
  g_events.clear();
  SendMessageA(lv, LVM_DELETEALLITEMS, 0, 0);
  ASSERT_EQ(g_events.size(), 4u);
  EXPECT_EQ(g_events[0].code, static_cast<int>(LVN_DELETEALLITEMS));
  EXPECT_EQ(g_events[3].code, static_cast<int>(LVN_DELETEITEM));
}

TEST_F(DialogControls, TypingRespectsLimitAndReadOnly) {
  SendDlgItemMessageA(m_dlg, 40, EM_LIMITTEXT, 4, 0);
  std::string why;
  ASSERT_TRUE(winsim::dlg::userSetText(item(40), "123456", &why)) << why;
  char text[16];
  GetDlgItemTextA(m_dlg, 40, text, sizeof text);
  EXPECT_STREQ(text, "1234");
  EXPECT_FALSE(winsim::dlg::userSetText(item(41), "x", &why));
  EXPECT_EQ(why, "edit box 41 is read-only");
  const std::vector<Event> expected = {{WM_COMMAND, 40, EN_UPDATE, -1}, {WM_COMMAND, 40, EN_CHANGE, -1}};
  EXPECT_EQ(g_events, expected);
}

TEST_F(DialogControls, DialogItemNumbers) {
  const struct {
    const char* text;
    BOOL isSigned;
    UINT value;
    BOOL translated;
  } kRows[] = {
      {"42", FALSE, 42, TRUE},          {"  42  ", FALSE, 42, TRUE},    {"-42", TRUE, static_cast<UINT>(-42), TRUE},
      {"-42", FALSE, 0, FALSE},         {"4x2", FALSE, 0, FALSE},       {"", FALSE, 0, FALSE},
      {"4294967295", FALSE, 4294967295u, TRUE}, {"4294967296", FALSE, 0, FALSE}, {"2147483648", TRUE, 0, FALSE},
  };
  for (const auto& row : kRows) {
    SetDlgItemTextA(m_dlg, 40, row.text);
    BOOL ok = 7;
    EXPECT_EQ(GetDlgItemInt(m_dlg, 40, &ok, row.isSigned), row.value) << row.text;
    EXPECT_EQ(ok, row.translated) << row.text;
  }
  EXPECT_TRUE(SetDlgItemInt(m_dlg, 40, static_cast<UINT>(-5), TRUE));
  char text[16];
  EXPECT_EQ(GetDlgItemTextA(m_dlg, 40, text, sizeof text), 2u);
  EXPECT_STREQ(text, "-5");
  SetDlgItemInt(m_dlg, 40, static_cast<UINT>(-5), FALSE);
  GetDlgItemTextA(m_dlg, 40, text, sizeof text);
  EXPECT_STREQ(text, "4294967291");
}

TEST_F(DialogControls, ItemLookupErrors) {
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetDlgItem(m_dlg, 999), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetDlgItem(reinterpret_cast<HWND>(0x7777), 1), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  char text[4] = "abc";
  EXPECT_EQ(GetDlgItemTextA(m_dlg, 999, text, sizeof text), 0u);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(GetDlgCtrlID(item(30)), 30);
  EXPECT_FALSE(EndDialog(item(30), 1));  // a control is not a dialog
  EXPECT_EQ(SendDlgItemMessageA(m_dlg, 999, LB_GETCOUNT, 0, 0), 0);
}

TEST_F(DialogControls, ClosingTheWindowPressesCancel) {
  SendMessageA(m_dlg, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(m_dlg));
  drain();
  const std::vector<Event> expected = {{WM_COMMAND, IDCANCEL, BN_CLICKED, -1}};
  EXPECT_EQ(g_events, expected);
}

TEST_F(DialogControls, PicturesAnimationAndResources) {
  HANDLE picture = reinterpret_cast<HANDLE>(SendMessageA(item(50), STM_GETIMAGE, IMAGE_BITMAP, 0));
  EXPECT_NE(picture, nullptr);
  HANDLE other = LoadImageA(s_module, MAKEINTRESOURCEA(7), IMAGE_BITMAP, 0, 0, 0);
  EXPECT_EQ(reinterpret_cast<HANDLE>(SendMessageA(item(50), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(other))),
            picture);

  // A bitmap resource is the DIB without the file header.
  HRSRC bmp = FindResourceA(s_module, MAKEINTRESOURCEA(7), RT_BITMAP);
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(SizeofResource(s_module, bmp), 40u);
  const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(s_module, bmp)));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(bytes[0], 0x28);
  HRSRC blob = FindResourceA(s_module, MAKEINTRESOURCEA(9), RT_RCDATA);
  ASSERT_NE(blob, nullptr);
  EXPECT_EQ(SizeofResource(s_module, blob), 3u);

  const struct {
    LPCSTR name;
    LPCSTR type;
    DWORD error;
  } kMissing[] = {{MAKEINTRESOURCEA(8), RT_BITMAP, ERROR_RESOURCE_NAME_NOT_FOUND},
                  {MAKEINTRESOURCEA(7), RT_GROUP_ICON, ERROR_RESOURCE_TYPE_NOT_FOUND},
                  {"#9", RT_RCDATA, 0}};
  for (const auto& row : kMissing) {
    SetLastError(0xdeadbeef);
    HRSRC r = FindResourceA(s_module, row.name, row.type);
    if (row.error) {
      EXPECT_EQ(r, nullptr);
      EXPECT_EQ(GetLastError(), row.error);
    } else {
      EXPECT_NE(r, nullptr);  // "#9" names resource 9
    }
  }

  // String resources are cut to the buffer.
  char text[8];
  EXPECT_EQ(LoadStringA(s_module, 5, text, sizeof text), 7);
  EXPECT_STREQ(text, "Printer");
  SetLastError(0xdeadbeef);
  EXPECT_EQ(LoadStringA(s_module, 6, text, sizeof text), 0);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));

  // The animation opens the module's clip 157, not a missing one.
  HWND anim = item(60);
  EXPECT_TRUE(SendMessageA(anim, ACM_OPENA, 0, reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(157))));
  EXPECT_TRUE(SendMessageA(anim, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 0xFFFF)));
  EXPECT_TRUE(SendMessageA(anim, ACM_ISPLAYING, 0, 0));
  EXPECT_FALSE(SendMessageA(anim, ACM_OPENA, 0, reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(4242))));
  EXPECT_FALSE(SendMessageA(anim, ACM_PLAY, 1, 0));
}

}  // namespace
