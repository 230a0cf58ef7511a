// Fonts, brushes, device contexts, window rectangles and coordinate mapping
// as the wizard pages use them, answered the same way by winsim and Windows.
// The windows are message-only or hidden, so the tests need no display.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32.h"
#include "support/conformance.h"

namespace {

TEST(Paint, FontKeepsItsCreationRecord) {
  LOGFONTA lf = {};
  lf.lfHeight = -13;
  lf.lfWeight = FW_NORMAL;
  std::strcpy(lf.lfFaceName, "Tahoma");
  HFONT hFont = CreateFontIndirectA(&lf);
  ASSERT_NE(hFont, nullptr);
  EXPECT_EQ(GetObjectA(hFont, 0, nullptr), static_cast<int>(sizeof(LOGFONTA)));
  LOGFONTA back = {};
  ASSERT_EQ(GetObjectA(hFont, sizeof(back), &back), static_cast<int>(sizeof(back)));
  EXPECT_EQ(back.lfHeight, -13);
  EXPECT_EQ(back.lfWeight, FW_NORMAL);
  EXPECT_STREQ(back.lfFaceName, "Tahoma");
  // The title font of a page: two units larger, bold.
  back.lfHeight -= 2;
  back.lfWeight = FW_BOLD;
  HFONT hBold = CreateFontIndirectA(&back);
  ASSERT_NE(hBold, nullptr);
  LOGFONTA bold = {};
  ASSERT_EQ(GetObjectA(hBold, sizeof(bold), &bold), static_cast<int>(sizeof(bold)));
  EXPECT_EQ(bold.lfHeight, -15);
  EXPECT_EQ(bold.lfWeight, FW_BOLD);
  EXPECT_EQ(GetObjectType(hBold), static_cast<DWORD>(OBJ_FONT));
  EXPECT_TRUE(DeleteObject(hBold));
  EXPECT_TRUE(DeleteObject(hFont));
  EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
}

TEST(Paint, SolidBrushAndStockObjects) {
  HBRUSH hBrush = CreateSolidBrush(RGB(0xFF, 0xFF, 0xFF));
  ASSERT_NE(hBrush, nullptr);
  LOGBRUSH lb = {};
  ASSERT_EQ(GetObjectA(hBrush, sizeof(lb), &lb), static_cast<int>(sizeof(lb)));
  EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_SOLID));
  EXPECT_EQ(lb.lbColor, 0xFFFFFFu);
  EXPECT_EQ(GetObjectType(hBrush), static_cast<DWORD>(OBJ_BRUSH));
  EXPECT_TRUE(DeleteObject(hBrush));
  EXPECT_NE(GetStockObject(DEFAULT_GUI_FONT), nullptr);
  EXPECT_EQ(GetObjectType(GetStockObject(WHITE_BRUSH)), static_cast<DWORD>(OBJ_BRUSH));
}

TEST(Paint, ControlsKeepTheFontTheyAreGiven) {
  HWND hStatic = CreateWindowExA(0, "Static", "title", WS_CHILD, 0, 0, 100, 20, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(hStatic, nullptr);
  HFONT hFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  SendMessageA(hStatic, WM_SETFONT, reinterpret_cast<WPARAM>(hFont), FALSE);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(hStatic, WM_GETFONT, 0, 0)), hFont);
  HDC hDC = GetDC(hStatic);
  ASSERT_NE(hDC, nullptr);
  SIZE empty = {}, text = {}, longer = {};
  SelectObject(hDC, hFont);
  ASSERT_TRUE(GetTextExtentPoint32A(hDC, "", 0, &empty));
  ASSERT_TRUE(GetTextExtentPoint32A(hDC, "abc", 3, &text));
  ASSERT_TRUE(GetTextExtentPoint32A(hDC, "abcabc", 6, &longer));
  EXPECT_EQ(empty.cx, 0);
  EXPECT_GT(text.cx, 0);
  EXPECT_GT(longer.cx, text.cx);
  EXPECT_GT(text.cy, 0);
  EXPECT_EQ(ReleaseDC(hStatic, hDC), 1);
  DestroyWindow(hStatic);
}

TEST(Paint, ChildRectanglesAreOnTheScreenAndMapBack) {
  HWND hParent = CreateWindowExA(0, "Static", "", WS_POPUP, 100, 50, 300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(hParent, nullptr);
  HWND hChild = CreateWindowExA(0, "Static", "", WS_CHILD, 10, 20, 30, 40, hParent, nullptr, nullptr, nullptr);
  ASSERT_NE(hChild, nullptr);
  RECT rcParent = {}, rc = {};
  ASSERT_TRUE(GetWindowRect(hParent, &rcParent));
  ASSERT_TRUE(GetWindowRect(hChild, &rc));
  EXPECT_EQ(rc.right - rc.left, 30);
  EXPECT_EQ(rc.bottom - rc.top, 40);
  // A borderless popup's client area starts at its corner.
  EXPECT_EQ(rc.left, rcParent.left + 10);
  EXPECT_EQ(rc.top, rcParent.top + 20);
  MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
  EXPECT_EQ(rc.left, 10);
  EXPECT_EQ(rc.top, 20);
  POINT pt = {10, 20};
  ASSERT_TRUE(ClientToScreen(hParent, &pt));
  ASSERT_TRUE(ScreenToClient(hChild, &pt));
  EXPECT_EQ(pt.x, 0);
  EXPECT_EQ(pt.y, 0);
  DestroyWindow(hParent);
}

TEST(Paint, MetricsAndAttachingInput) {
  EXPECT_GT(GetSystemMetrics(SM_CXEDGE), 0);
  EXPECT_GT(GetSystemMetrics(SM_CXSMICON), 0);
  EXPECT_GT(GetSystemMetrics(SM_CXFRAME), 0);
  // A thread cannot attach its input to itself.
  const DWORD dwSelf = GetCurrentThreadId();
  EXPECT_FALSE(AttachThreadInput(dwSelf, dwSelf, TRUE));
}

}  // namespace
