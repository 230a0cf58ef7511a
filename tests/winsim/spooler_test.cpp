// The simulated spooler's rejections, install rules and state, which Wine
// cannot show (its spooler validates little and never needs its service).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "advapi32/registry_store.h"
#include "advapi32/service_runstate.h"
#include "fresh_machine.h"
#include "kernel32/file_state.h"
#include "platform/win32.h"

namespace reg = winsim::reg;
using reg::Hive;

namespace {

constexpr const char* kX64Dir = "C:\\Windows\\system32\\spool\\drivers\\x64";
constexpr const char* kDriversKey =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3";

char* s(const char* text) { return const_cast<char*>(text); }

class Spooler : public kvtest::FreshMachine {
 protected:
  void SetUp() override {
    FreshMachine::SetUp();
    for (const char* f : {"KVDRV.DLL", "KVDATA.GPD", "KVUI.DLL", "KVHELP.HLP", "KVRES.DLL"})
      put(std::string(kX64Dir) + "\\" + f, std::string("data of ") + f);
  }

  static DRIVER_INFO_6A driver(const char* name = "KV Laser") {
    DRIVER_INFO_6A d{};
    d.cVersion = 3;
    d.pName = s(name);
    d.pEnvironment = s("Windows x64");
    d.pDriverPath = s("KVDRV.DLL");
    d.pDataFile = s("KVDATA.GPD");
    d.pConfigFile = s("KVUI.DLL");
    d.pHelpFile = s("KVHELP.HLP");
    d.pDependentFiles = s("KVRES.DLL\0");
    d.pDefaultDataType = s("RAW");
    d.pszMfgName = s("KV");
    return d;
  }
  static BOOL addDriver(DRIVER_INFO_6A d, DWORD flags = APD_COPY_NEW_FILES) {
    return AddPrinterDriverExA(nullptr, 6, reinterpret_cast<LPBYTE>(&d), flags);
  }
  static PRINTER_INFO_2A printer(const char* name, const char* port = "LPT1:") {
    PRINTER_INFO_2A p{};
    p.pPrinterName = s(name);
    p.pPortName = s(port);
    p.pDriverName = s("KV Laser");
    p.pPrintProcessor = s("WinPrint");
    p.pDatatype = s("RAW");
    return p;
  }
  static HANDLE addPrinter(PRINTER_INFO_2A p) { return AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&p)); }

  template <class Rec>
  static std::vector<Rec> enumerate(const std::function<BOOL(LPBYTE, DWORD, LPDWORD, LPDWORD)>& call,
                                    std::vector<BYTE>& storage) {
    DWORD need = 0, count = 0;
    if (!call(nullptr, 0, &need, &count)) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    }
    storage.assign(need + 1, 0xCC);
    EXPECT_TRUE(call(storage.data(), need, &need, &count)) << GetLastError();
    const auto* r = reinterpret_cast<const Rec*>(storage.data());
    return std::vector<Rec>(r, r + count);
  }
};

TEST_F(Spooler, EveryCallFailsWhileTheServiceIsStopped) {
  ASSERT_TRUE(addDriver(driver()));
  ASSERT_TRUE(winsim::runstate::set("Spooler", winsim::runstate::kStopped));
  DWORD need = 0, count = 0;
  BYTE buf[64];
  HANDLE h = nullptr;
  auto d = driver();
  auto p = printer("P");
  MONITOR_INFO_2A m{s("M"), nullptr, s("localspl.dll")};
  const struct {
    const char* call;
    BOOL result;
  } rows[] = {
      {"EnumPrinterDriversA", EnumPrinterDriversA(nullptr, nullptr, 3, nullptr, 0, &need, &count)},
      {"EnumPrintersA", EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &need, &count)},
      {"EnumPortsA", EnumPortsA(nullptr, 2, nullptr, 0, &need, &count)},
      {"EnumMonitorsA", EnumMonitorsA(nullptr, 1, nullptr, 0, &need, &count)},
      {"EnumPrintProcessorsA", EnumPrintProcessorsA(nullptr, nullptr, 1, nullptr, 0, &need, &count)},
      {"AddPrinterDriverExA", AddPrinterDriverExA(nullptr, 6, reinterpret_cast<LPBYTE>(&d), APD_COPY_NEW_FILES)},
      {"AddMonitorA", AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&m))},
      {"AddPrintProcessorA", AddPrintProcessorA(nullptr, nullptr, s("x.dll"), s("X"))},
      {"AddPrinterA", addPrinter(p) != nullptr},
      {"OpenPrinterA", OpenPrinterA(s(",XcvMonitor Local Port"), &h, nullptr)},
      {"SetDefaultPrinterA", SetDefaultPrinterA("P")},
      {"GetPrinterDriverDirectoryA", GetPrinterDriverDirectoryA(nullptr, nullptr, 1, buf, sizeof buf, &need)},
  };
  // Each row's call ran before the next; the last error is checked once per
  // row by repeating the cheapest form of the check.
  for (const auto& row : rows) {
    SCOPED_TRACE(row.call);
    EXPECT_FALSE(row.result);
  }
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(EnumPortsA(nullptr, 2, nullptr, 0, &need, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));

  ASSERT_TRUE(winsim::runstate::set("Spooler", winsim::runstate::kRunning));
  EXPECT_FALSE(EnumPortsA(nullptr, 2, nullptr, 0, &need, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(Spooler, AFaultKnobFailsOneCall) {
  ASSERT_TRUE(reg::setDword(Hive::LocalMachine, "SOFTWARE\\KVSim\\Faults", "Spooler.AddPrinterDriverExA", 5));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(addDriver(driver()));
  EXPECT_EQ(GetLastError(), 5u);
  DWORD need = 0, count = 0;
  EXPECT_TRUE(EnumPrinterDriversA(nullptr, nullptr, 3, nullptr, 0, &need, &count));
}

TEST_F(Spooler, DriverInstallCopiesIntoTheVersionFolder) {
  DWORD need = 7, count = 7;
  EXPECT_TRUE(EnumPrinterDriversA(nullptr, nullptr, 3, nullptr, 0, &need, &count));
  EXPECT_EQ(need, 0u);
  EXPECT_EQ(count, 0u);

  ASSERT_TRUE(addDriver(driver())) << GetLastError();
  for (const char* f : {"KVDRV.DLL", "KVDATA.GPD", "KVUI.DLL", "KVHELP.HLP", "KVRES.DLL"})
    EXPECT_TRUE(exists(std::string(kX64Dir) + "\\3\\" + f)) << f;
  const std::string key = std::string(kDriversKey) + "\\KV Laser";
  EXPECT_EQ(reg::getString(Hive::LocalMachine, key, "Driver"), "KVDRV.DLL");
  EXPECT_EQ(reg::getMultiString(Hive::LocalMachine, key, "Dependent Files"), std::vector<std::string>{"KVRES.DLL"});
  EXPECT_EQ(reg::getString(Hive::LocalMachine, key, "Manufacturer"), "KV");

  std::vector<BYTE> storage;
  auto list = enumerate<DRIVER_INFO_3A>(
      [](LPBYTE b, DWORD n, LPDWORD need, LPDWORD c) { return EnumPrinterDriversA(nullptr, nullptr, 3, b, n, need, c); },
      storage);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_STREQ(list[0].pDriverPath, "C:\\Windows\\system32\\spool\\drivers\\x64\\3\\KVDRV.DLL");
  EXPECT_STREQ(list[0].pDependentFiles, "C:\\Windows\\system32\\spool\\drivers\\x64\\3\\KVRES.DLL");
  EXPECT_EQ(list[0].pDependentFiles[std::strlen(list[0].pDependentFiles) + 1], '\0');
  auto list6 = enumerate<DRIVER_INFO_6A>(
      [](LPBYTE b, DWORD n, LPDWORD need, LPDWORD c) { return EnumPrinterDriversA(nullptr, s("all"), 6, b, n, need, c); },
      storage);
  ASSERT_EQ(list6.size(), 1u);
  EXPECT_STREQ(list6[0].pszMfgName, "KV");

  // The same driver again updates it; AddPrinterDriverA reports it present.
  EXPECT_TRUE(addDriver(driver()));
  auto d = driver();
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(AddPrinterDriverA(nullptr, 6, reinterpret_cast<LPBYTE>(&d)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINTER_DRIVER_ALREADY_INSTALLED));
}

TEST_F(Spooler, DriverRejections) {
  struct Row {
    const char* what;
    void (*edit)(DRIVER_INFO_6A&);
    DWORD level;
    DWORD flags;
    DWORD error;
  };
  const Row rows[] = {
      {"data file missing", [](DRIVER_INFO_6A& d) { d.pDataFile = s("NOPE.GPD"); }, 6, APD_COPY_NEW_FILES,
       ERROR_FILE_NOT_FOUND},
      {"unknown environment", [](DRIVER_INFO_6A& d) { d.pEnvironment = s("Windows NT R4000"); }, 6,
       APD_COPY_NEW_FILES, ERROR_INVALID_ENVIRONMENT},
      {"level 1", [](DRIVER_INFO_6A&) {}, 1, APD_COPY_NEW_FILES, ERROR_INVALID_LEVEL},
      {"no name", [](DRIVER_INFO_6A& d) { d.pName = nullptr; }, 6, APD_COPY_NEW_FILES, ERROR_INVALID_PARAMETER},
      {"no config file", [](DRIVER_INFO_6A& d) { d.pConfigFile = nullptr; }, 3, 0, ERROR_INVALID_PARAMETER},
      {"version 2 on x64", [](DRIVER_INFO_6A& d) { d.cVersion = 2; }, 6, 0, ERROR_INVALID_PARAMETER},
      {"source folder missing", [](DRIVER_INFO_6A& d) { d.pDriverPath = s("Z:\\nowhere\\KVDRV.DLL"); }, 6,
       APD_COPY_FROM_DIRECTORY | APD_COPY_NEW_FILES, ERROR_FILE_NOT_FOUND},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    auto d = driver();
    row.edit(d);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(AddPrinterDriverExA(nullptr, row.level, reinterpret_cast<LPBYTE>(&d), row.flags));
    EXPECT_EQ(GetLastError(), row.error);
  }
  EXPECT_FALSE(reg::keyExists(Hive::LocalMachine, std::string(kDriversKey) + "\\KV Laser"));

  reg::setDword(Hive::LocalMachine, "SOFTWARE\\KVSim\\Machine", "Admin", 0);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(addDriver(driver()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(Spooler, StrictUpgradeRefusesFilesThatAreNotNewer) {
  ASSERT_TRUE(addDriver(driver()));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(addDriver(driver(), APD_STRICT_UPGRADE | APD_COPY_ALL_FILES));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINTER_DRIVER_ALREADY_INSTALLED));
}

TEST_F(Spooler, CopyFromDirectoryTakesFullPaths) {
  for (const char* f : {"A.DLL", "B.GPD", "C.DLL"}) put(std::string("C:\\pkg\\") + f, f);
  auto d = driver("KV From Folder");
  d.pDriverPath = s("C:\\pkg\\A.DLL");
  d.pDataFile = s("C:\\pkg\\B.GPD");
  d.pConfigFile = s("C:\\pkg\\C.DLL");
  d.pHelpFile = nullptr;
  d.pDependentFiles = nullptr;
  ASSERT_TRUE(addDriver(d, APD_COPY_FROM_DIRECTORY | APD_COPY_NEW_FILES)) << GetLastError();
  EXPECT_TRUE(exists(std::string(kX64Dir) + "\\3\\B.GPD"));
}

TEST_F(Spooler, AFileInUseMakesAPendingUpgrade) {
  ASSERT_TRUE(addDriver(driver()));
  const auto host = winsim::hostPath(std::string(kX64Dir) + "\\3\\KVDRV.DLL");
  ASSERT_TRUE(winsim::files::setLock(winsim::files::fileKey(*host), winsim::files::LockMode::Image));
  ASSERT_TRUE(addDriver(driver(), APD_COPY_ALL_FILES)) << GetLastError();
  EXPECT_TRUE(exists(std::string(kX64Dir) + "\\3\\New\\KVDRV.DLL"));
  EXPECT_EQ(reg::subKeys(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Print\\PendingUpgrades\\Version-3"),
            std::vector<std::string>{"KV Laser"});
}

TEST_F(Spooler, MonitorsAndPrintProcessors) {
  put("C:\\Windows\\system32\\kvlm.dll", "lm");
  MONITOR_INFO_2A m{s("KV Language Monitor"), s("Windows x64"), s("kvlm.dll")};
  ASSERT_TRUE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&m)));
  MONITOR_INFO_2A missing{s("Other Monitor"), nullptr, s("absent.dll")};
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&m)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINT_MONITOR_ALREADY_INSTALLED));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&missing)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(AddMonitorA(nullptr, 1, reinterpret_cast<LPBYTE>(&m)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(AddPrintProcessorA(nullptr, nullptr, s("winprint.dll"), s("winprint")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINT_PROCESSOR_ALREADY_INSTALLED));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(AddPrintProcessorA(nullptr, nullptr, s("kvpp.dll"), s("KVPP")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  put("C:\\Windows\\system32\\spool\\prtprocs\\x64\\kvpp.dll", "pp");
  ASSERT_TRUE(AddPrintProcessorA(nullptr, nullptr, s("kvpp.dll"), s("KVPP")));
  std::vector<BYTE> storage;
  auto list = enumerate<PRINTPROCESSOR_INFO_1A>(
      [](LPBYTE b, DWORD n, LPDWORD need, LPDWORD c) { return EnumPrintProcessorsA(nullptr, nullptr, 1, b, n, need, c); },
      storage);
  ASSERT_EQ(list.size(), 2u);
  // Listed in the registry's order, which sorts names.
  EXPECT_STREQ(list[0].pName, "KVPP");
  EXPECT_STREQ(list[1].pName, "WinPrint");
}

// A 64-bit PE image with one section whose export table names `exports`.
std::string imageExporting(const std::vector<std::string>& exports) {
  std::string image(0x400, '\0');
  auto put16 = [&](size_t at, unsigned v) { image[at] = static_cast<char>(v & 0xFF), image[at + 1] = static_cast<char>(v >> 8); };
  auto put32 = [&](size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) image[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  image[0] = 'M', image[1] = 'Z';
  put32(0x3C, 0x40);
  std::memcpy(&image[0x40], "PE\0\0", 4);
  const size_t file = 0x44, optional = file + 20;
  put16(file, 0x8664);
  put16(file + 2, 1);    // sections
  put16(file + 16, 240);  // optional header size
  put16(optional, 0x20B);
  put32(optional + 108, 16);  // data directory entries
  const std::uint32_t exportRva = 0x1000;
  put32(optional + 112, exportRva);
  put32(optional + 116, 0x100);
  const size_t section = optional + 240;
  put32(section + 8, 0x200);    // virtual size
  put32(section + 12, 0x1000);  // virtual address
  put32(section + 16, 0x200);   // raw size
  put32(section + 20, 0x200);   // raw offset
  const size_t table = 0x200;   // the export directory, at the section's start
  put32(table + 24, static_cast<std::uint32_t>(exports.size()));
  put32(table + 32, exportRva + 0x40);
  size_t text = 0x280;
  for (size_t i = 0; i < exports.size(); ++i) {
    put32(table + 0x40 + 4 * i, static_cast<std::uint32_t>(exportRva + (text - table)));
    std::memcpy(&image[text], exports[i].c_str(), exports[i].size() + 1);
    text += exports[i].size() + 1;
  }
  return image;
}

// The spooler loads a monitor and asks it for its functions: a DLL without
// the entry point is refused, as Windows refuses it; a legacy entry point
// does.
TEST_F(Spooler, AMonitorWithoutItsEntryPointIsRefused) {
  put("C:\\Windows\\system32\\kvnone.dll", imageExporting({"DrvDocumentPropertySheets"}));
  put("C:\\Windows\\system32\\kvlm2.dll", imageExporting({"DrvDocumentPropertySheets", "InitializePrintMonitor2"}));
  put("C:\\Windows\\system32\\kvlm1.dll", imageExporting({"InitializePrintMonitor"}));
  MONITOR_INFO_2A none{s("No Entry"), s("Windows x64"), s("kvnone.dll")};
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&none)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  MONITOR_INFO_2A v2{s("Monitor Two"), s("Windows x64"), s("kvlm2.dll")};
  EXPECT_TRUE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&v2))) << GetLastError();
  MONITOR_INFO_2A v1{s("Monitor One"), s("Windows x64"), s("kvlm1.dll")};
  EXPECT_TRUE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&v1))) << GetLastError();
  EXPECT_TRUE(reg::keyExists(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Monitor Two"));
  EXPECT_FALSE(reg::keyExists(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\No Entry"));
}

TEST_F(Spooler, PrinterRejections) {
  ASSERT_TRUE(addDriver(driver()));
  HANDLE h = addPrinter(printer("P1"));
  ASSERT_NE(h, nullptr) << GetLastError();
  ClosePrinter(h);
  struct Row {
    const char* what;
    void (*edit)(PRINTER_INFO_2A&);
    DWORD error;
  };
  const Row rows[] = {
      {"name taken", [](PRINTER_INFO_2A&) {}, ERROR_PRINTER_ALREADY_EXISTS},
      {"name with comma", [](PRINTER_INFO_2A& p) { p.pPrinterName = s("A,B"); }, ERROR_INVALID_PRINTER_NAME},
      {"name with backslash", [](PRINTER_INFO_2A& p) { p.pPrinterName = s("A\\B"); }, ERROR_INVALID_PRINTER_NAME},
      {"driver absent",
       [](PRINTER_INFO_2A& p) {
         p.pPrinterName = s("P2");
         p.pDriverName = s("No Such Driver");
       },
       ERROR_UNKNOWN_PRINTER_DRIVER},
      {"port absent",
       [](PRINTER_INFO_2A& p) {
         p.pPrinterName = s("P2");
         p.pPortName = s("USB009");
       },
       ERROR_UNKNOWN_PORT},
      {"processor absent",
       [](PRINTER_INFO_2A& p) {
         p.pPrinterName = s("P2");
         p.pPrintProcessor = s("NoSuchPP");
       },
       ERROR_UNKNOWN_PRINTPROCESSOR},
      {"data type unknown",
       [](PRINTER_INFO_2A& p) {
         p.pPrinterName = s("P2");
         p.pDatatype = s("BOGUS");
       },
       ERROR_INVALID_DATATYPE},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    auto p = printer("P1");
    row.edit(p);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(addPrinter(p), nullptr);
    EXPECT_EQ(GetLastError(), row.error);
  }
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeletePrinterDriverA(nullptr, nullptr, s("KV Laser")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINTER_DRIVER_IN_USE));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(OpenPrinterA(s("nope"), &h, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetDefaultPrinterA("nope"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
}

TEST_F(Spooler, PrinterSettingsAndTheDefault) {
  ASSERT_TRUE(addDriver(driver()));
  put("C:\\Windows\\system32\\spool\\prtprocs\\x64\\kvpp.dll", "pp");
  ASSERT_TRUE(AddPrintProcessorA(nullptr, nullptr, s("kvpp.dll"), s("KVPP")));
  HANDLE a = addPrinter(printer("Alpha"));
  HANDLE b = addPrinter(printer("Beta", "FILE:"));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);

  // The first printer became the default.
  char name[64];
  DWORD size = 2;
  EXPECT_FALSE(GetDefaultPrinterA(name, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, 6u);
  size = sizeof name;
  ASSERT_TRUE(GetDefaultPrinterA(name, &size));
  EXPECT_STREQ(name, "Alpha");

  DWORD need = 0;
  EXPECT_FALSE(GetPrinterA(b, 2, nullptr, 0, &need));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  std::vector<BYTE> buf(need);
  ASSERT_TRUE(GetPrinterA(b, 2, buf.data(), need, &need));
  auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buf.data());
  EXPECT_STREQ(info->pPortName, "FILE:");
  EXPECT_STREQ(info->pDevMode ? reinterpret_cast<const char*>(info->pDevMode->dmDeviceName) : "", "Beta");
  EXPECT_EQ(info->Attributes & PRINTER_ATTRIBUTE_LOCAL, static_cast<DWORD>(PRINTER_ATTRIBUTE_LOCAL));
  info->pPrintProcessor = s("KVPP");
  ASSERT_TRUE(SetPrinterA(b, 2, buf.data(), 0)) << GetLastError();
  info->pPrintProcessor = s("NoSuchPP");
  EXPECT_FALSE(SetPrinterA(b, 2, buf.data(), 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PRINTPROCESSOR));
  EXPECT_EQ(reg::getString(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Beta",
                           "Print Processor"),
            "KVPP");

  // A handle opened for use only may not change the printer.
  HANDLE user = nullptr;
  PRINTER_DEFAULTSA use{nullptr, nullptr, PRINTER_ACCESS_USE};
  ASSERT_TRUE(OpenPrinterA(s("beta"), &user, &use));
  EXPECT_FALSE(SetPrinterA(user, 2, buf.data(), 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(DeletePrinter(user));
  ClosePrinter(user);

  ASSERT_TRUE(SetDefaultPrinterA("Beta"));
  EXPECT_EQ(reg::getString(Hive::CurrentUser, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Device"),
            "Beta,winspool,FILE:");
  ASSERT_TRUE(DeletePrinter(b));
  size = sizeof name;
  ASSERT_TRUE(GetDefaultPrinterA(name, &size));
  EXPECT_STREQ(name, "Alpha");
  ASSERT_TRUE(DeletePrinter(a));
  size = sizeof name;
  EXPECT_FALSE(GetDefaultPrinterA(name, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(ClosePrinter(a));
  EXPECT_TRUE(ClosePrinter(b));
  EXPECT_FALSE(ClosePrinter(b));
  EXPECT_TRUE(DeletePrinterDriverA(nullptr, nullptr, s("KV Laser")));
}

TEST_F(Spooler, TcpPortsThroughTheMonitorInterface) {
  HANDLE xcv = nullptr;
  PRINTER_DEFAULTSA admin{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
  ASSERT_TRUE(OpenPrinterA(s(",XcvMonitor Standard TCP/IP Port"), &xcv, &admin));
  const std::u16string port = u"IP_10.0.0.5";
  DWORD need = 0, status = 0xdead;
  ASSERT_TRUE(XcvDataW(xcv, u"AddPort", reinterpret_cast<PBYTE>(const_cast<char16_t*>(port.c_str())),
                       static_cast<DWORD>((port.size() + 1) * 2), nullptr, 0, &need, &status));
  EXPECT_EQ(status, 0u);
  ASSERT_TRUE(XcvDataW(xcv, u"AddPort", reinterpret_cast<PBYTE>(const_cast<char16_t*>(port.c_str())),
                       static_cast<DWORD>((port.size() + 1) * 2), nullptr, 0, &need, &status));
  EXPECT_EQ(status, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  ClosePrinter(xcv);
  EXPECT_EQ(reg::getString(Hive::LocalMachine,
                           "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports\\IP_10.0.0.5",
                           "IPAddress"),
            "10.0.0.5");

  std::vector<BYTE> storage;
  auto ports = enumerate<PORT_INFO_2A>(
      [](LPBYTE b, DWORD n, LPDWORD need, LPDWORD c) { return EnumPortsA(nullptr, 2, b, n, need, c); }, storage);
  ASSERT_EQ(ports.size(), 4u);
  EXPECT_STREQ(ports[3].pPortName, "IP_10.0.0.5");
  EXPECT_STREQ(ports[3].pMonitorName, "Standard TCP/IP Port");

  // Without the TCP/IP monitor its interface cannot be opened.
  reg::deleteKeyTree(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port");
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(OpenPrinterA(s(",XcvMonitor Standard TCP/IP Port"), &xcv, &admin));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PORT));
}

}  // namespace
