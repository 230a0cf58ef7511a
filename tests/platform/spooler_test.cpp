// The spooler's enumerations and driver installation on their success
// paths, which Wine implements as Windows does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "support/conformance.h"

namespace {

char* s(const char* text) { return const_cast<char*>(text); }

std::string lower(std::string t) {
  std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return t;
}

// Sizes, then fills, as the program does; the records of the answer.
template <class Rec>
std::vector<Rec> enumerate(const std::function<BOOL(LPBYTE, DWORD, LPDWORD, LPDWORD)>& call,
                           std::vector<BYTE>& storage) {
  DWORD need = 0, count = 0xdead;
  SetLastError(0xdeadbeef);
  if (!call(nullptr, 0, &need, &count)) {
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_GT(need, 0u);
  } else {
    EXPECT_EQ(count, 0u);
  }
  storage.assign(need + 8, 0xCC);
  EXPECT_TRUE(call(storage.data(), need, &need, &count));
  const auto* r = reinterpret_cast<const Rec*>(storage.data());
  return std::vector<Rec>(r, r + count);
}

TEST(SpoolerEnumerations, PortsMonitorsAndProcessorsOfAFreshSystem) {
  std::vector<BYTE> storage;
  const auto ports = enumerate<PORT_INFO_2A>(
      [](LPBYTE b, DWORD n, LPDWORD need, LPDWORD c) { return EnumPortsA(nullptr, 2, b, n, need, c); }, storage);
  bool lpt1 = false;
  for (const auto& p : ports) lpt1 |= lower(p.pPortName) == "lpt1:";
  EXPECT_TRUE(lpt1);

  const auto monitors = enumerate<MONITOR_INFO_1A>(
      [](LPBYTE b, DWORD n, LPDWORD need, LPDWORD c) { return EnumMonitorsA(nullptr, 1, b, n, need, c); }, storage);
  bool local = false;
  for (const auto& m : monitors) local |= std::string(m.pName) == "Local Port";
  EXPECT_TRUE(local);

  const auto processors = enumerate<PRINTPROCESSOR_INFO_1A>(
      [](LPBYTE b, DWORD n, LPDWORD need, LPDWORD c) { return EnumPrintProcessorsA(nullptr, nullptr, 1, b, n, need, c); },
      storage);
  bool winprint = false;
  for (const auto& p : processors) winprint |= lower(p.pName) == "winprint";
  EXPECT_TRUE(winprint);

  DWORD need = 0, count = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(EnumPortsA(nullptr, 3, nullptr, 0, &need, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(EnumPrinterDriversA(nullptr, s("Bogus"), 3, nullptr, 0, &need, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ENVIRONMENT));
}

TEST(SpoolerDrivers, StagedFilesAreInstalledIntoTheVersionFolder) {
  char dir[MAX_PATH];
  DWORD need = 0;
  ASSERT_TRUE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(dir), sizeof dir, &need));
  const char* files[] = {"KVCDRV.DLL", "KVCDATA.GPD", "KVCUI.DLL"};
  for (const char* f : files) {
    HANDLE h = CreateFileA((std::string(dir) + "\\" + f).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << f;
    DWORD written = 0;
    WriteFile(h, f, static_cast<DWORD>(std::strlen(f)), &written, nullptr);
    CloseHandle(h);
  }
  DRIVER_INFO_6A d{};
  d.cVersion = 3;
  d.pName = s("KV Conformance Driver");
  d.pDriverPath = s("KVCDRV.DLL");
  d.pDataFile = s("KVCDATA.GPD");
  d.pConfigFile = s("KVCUI.DLL");
  d.pDefaultDataType = s("RAW");
  ASSERT_TRUE(AddPrinterDriverExA(nullptr, 6, reinterpret_cast<LPBYTE>(&d), APD_COPY_NEW_FILES)) << GetLastError();
  for (const char* f : files) {
    EXPECT_NE(GetFileAttributesA((std::string(dir) + "\\3\\" + f).c_str()), INVALID_FILE_ATTRIBUTES) << f;
  }
  // The same driver again is an update, not an error.
  EXPECT_TRUE(AddPrinterDriverExA(nullptr, 6, reinterpret_cast<LPBYTE>(&d), APD_COPY_NEW_FILES));

  std::vector<BYTE> storage;
  const auto drivers = enumerate<DRIVER_INFO_3A>(
      [](LPBYTE b, DWORD n, LPDWORD need, LPDWORD c) { return EnumPrinterDriversA(nullptr, nullptr, 3, b, n, need, c); },
      storage);
  const DRIVER_INFO_3A* mine = nullptr;
  for (const auto& r : drivers) {
    if (std::string(r.pName) == "KV Conformance Driver") mine = &r;
  }
  ASSERT_NE(mine, nullptr);
  EXPECT_EQ(mine->cVersion, 3u);
  EXPECT_EQ(lower(mine->pDriverPath), lower(std::string(dir) + "\\3\\KVCDRV.DLL"));
  EXPECT_EQ(lower(mine->pDataFile), lower(std::string(dir) + "\\3\\KVCDATA.GPD"));

  EXPECT_TRUE(DeletePrinterDriverA(nullptr, nullptr, s("KV Conformance Driver")));
  for (const char* f : files) {
    DeleteFileA((std::string(dir) + "\\" + f).c_str());
    DeleteFileA((std::string(dir) + "\\3\\" + f).c_str());
  }
}

TEST(SpoolerDefaults, AnUnknownPrinterCannotBeTheDefault) {
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetDefaultPrinterA("KV No Such Printer"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
  HANDLE h = nullptr;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(OpenPrinterA(s("KV No Such Printer"), &h, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
  PRINTER_DEFAULTSA admin{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
  KV_WINE_DEPARTS("Wine has no TCP/IP port monitor") {
    ASSERT_TRUE(OpenPrinterA(s(",XcvMonitor Standard TCP/IP Port"), &h, &admin));
    EXPECT_TRUE(ClosePrinter(h));
  }
}

}  // namespace
