// The reference parent installer and device-change broadcasts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "user32/window_internal.h"

namespace {

std::string run(const std::string& cmd, int* status) {
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  char buf[256];
  while (p && std::fgets(buf, sizeof buf, p)) out += buf;
  const int rc = p ? pclose(p) : -1;
  *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

TEST(Parent, PrintsEveryReportedMessageAndTheChildsExitCode) {
  int status = -1;
  const std::string out = run(std::string(KV_PARENT) + " -- " + KV_TEST_CHILD + " status", &status);
  // Posted messages keep their order; the sent WM_COPYDATA is handled as soon
  // as the parent looks at its queue, which may be before the posted ones.
  const char* kind2 = "kind=2 wParam=0x00001234 lParam=0x00005678\n";
  const char* kind1 = "kind=1 wParam=0x00000032 lParam=0x00000064\n";
  const char* copy = "copydata=status text dwData=0x0 cbData=12\n";
  const char* kind0 = "kind=0 wParam=0x00010004 lParam=0x00000000\n";
  EXPECT_EQ(out.size(), std::strlen(kind2) + std::strlen(kind1) + std::strlen(copy) + std::strlen(kind0)) << out;
  const auto p2 = out.find(kind2), p1 = out.find(kind1), pc = out.find(copy), p0 = out.find(kind0);
  ASSERT_TRUE(p2 != std::string::npos && p1 != std::string::npos && pc != std::string::npos &&
              p0 != std::string::npos)
      << out;
  EXPECT_LT(p2, p1);
  EXPECT_LT(p1, p0);
  EXPECT_LT(pc, p0);
  EXPECT_EQ(status, 0);
  run(std::string(KV_PARENT) + " -- " + KV_TEST_CHILD + " exit 7", &status);
  EXPECT_EQ(status, 7);
  run(std::string(KV_PARENT) + " --bogus 2>/dev/null", &status);
  EXPECT_EQ(status, 64) << "an option kvparent does not know";
}

std::vector<std::pair<WPARAM, std::string>> g_changes;

LRESULT CALLBACK deviceProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DEVICECHANGE) {
    auto* d = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(lParam);
    g_changes.emplace_back(wParam, d ? d->dbcc_name : "");
    return TRUE;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

std::vector<BYTE> interfaceRecord(const GUID& g, const char* name) {
  std::vector<BYTE> bytes(offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + std::strlen(name) + 1);
  DEV_BROADCAST_DEVICEINTERFACE_A head{};
  head.dbcc_size = static_cast<DWORD>(bytes.size());
  head.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  head.dbcc_classguid = g;
  std::memcpy(bytes.data(), &head, offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name));
  std::memcpy(bytes.data() + offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name), name, std::strlen(name) + 1);
  return bytes;
}

TEST(Devices, BroadcastsReachRegisteredWindowsOfTheirClassOnly) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = deviceProc;
  wc.lpszClassName = "KvDeviceTest";
  RegisterClassA(&wc);
  HWND h = CreateWindowExA(0, "KvDeviceTest", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(h, nullptr);
  const GUID usbPrint{0x28d78fad, 0x5a12, 0x11d1, {0xae, 0x5b, 0x00, 0x00, 0xf8, 0x03, 0xa8, 0xc2}};
  const GUID other{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  DEV_BROADCAST_DEVICEINTERFACE_A filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = usbPrint;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(RegisterDeviceNotificationA(nullptr, &filter, DEVICE_NOTIFY_WINDOW_HANDLE), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  HDEVNOTIFY n = RegisterDeviceNotificationA(h, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  ASSERT_NE(n, nullptr);

  EXPECT_EQ(winsim::broadcastDeviceChange(DBT_DEVICEARRIVAL, interfaceRecord(usbPrint, "\\\\?\\USB#VID_1#1")), 1);
  EXPECT_EQ(winsim::broadcastDeviceChange(DBT_DEVICEARRIVAL, interfaceRecord(other, "other")), 0);
  ASSERT_EQ(g_changes.size(), 1u);
  EXPECT_EQ(g_changes[0].first, static_cast<WPARAM>(DBT_DEVICEARRIVAL));
  EXPECT_EQ(g_changes[0].second, "\\\\?\\USB#VID_1#1");

  EXPECT_TRUE(UnregisterDeviceNotification(n));
  EXPECT_EQ(winsim::broadcastDeviceChange(DBT_DEVICEARRIVAL, interfaceRecord(usbPrint, "x")), 0);
  DestroyWindow(h);
}

}  // namespace
