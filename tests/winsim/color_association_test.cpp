// Colour profiles associated with printers: the list each printer keeps in
// its own registry data, and how enumeration by device reads it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "advapi32/registry_store.h"
#include "fresh_machine.h"
#include "platform/win32.h"

namespace {

namespace reg = winsim::reg;
using reg::Hive;

constexpr const char* kColor = "C:\\Windows\\system32\\spool\\drivers\\color";
constexpr const char* kPrinters = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";

std::string iccProfile(const char cls[4]) {
  std::string p(128, '\0');
  p[3] = static_cast<char>(128);
  std::memcpy(&p[12], cls, 4);
  std::memcpy(&p[36], "acsp", 4);
  return p;
}

class ColorAssociation : public kvtest::FreshMachine {
 protected:
  void SetUp() override {
    kvtest::FreshMachine::SetUp();
    // The profiles a driver's INF copied into the colour directory, installed
    // by bare name as the program does.
    for (const char* name : {"a.icm", "b.icm", "mon.icm"}) {
      put(std::string(kColor) + "\\" + name, iccProfile(std::strcmp(name, "mon.icm") == 0 ? "mntr" : "prtr"));
      ASSERT_TRUE(InstallColorProfileA(nullptr, name)) << name << " " << GetLastError();
    }
    put(std::string(kColor) + "\\loose.icm", iccProfile("prtr"));
    ASSERT_TRUE(reg::createKey(Hive::LocalMachine, std::string(kPrinters) + "\\P1"));
    ASSERT_TRUE(reg::createKey(Hive::LocalMachine, std::string(kPrinters) + "\\P2"));
  }

  static std::vector<std::string> ofDevice(const char* device, DWORD cls = 0) {
    ENUMTYPEA e{};
    e.dwSize = sizeof e;
    e.dwVersion = ENUM_TYPE_VERSION;
    e.dwFields = ET_DEVICENAME | (cls ? ET_CLASS : 0);
    e.pDeviceName = device;
    e.dwClass = cls;
    DWORD size = 0, count = 0;
    EXPECT_FALSE(EnumColorProfilesA(nullptr, &e, nullptr, &size, &count));
    std::vector<BYTE> buf(size);
    std::vector<std::string> names;
    EXPECT_TRUE(EnumColorProfilesA(nullptr, &e, buf.data(), &size, &count)) << GetLastError();
    for (const char* p = reinterpret_cast<const char*>(buf.data()); *p; p += std::strlen(p) + 1) names.push_back(p);
    EXPECT_EQ(count, names.size());
    return names;
  }
};

TEST_F(ColorAssociation, EachPrinterKeepsItsOwnListInAssociationOrder) {
  EXPECT_TRUE(ofDevice("P1").empty());
  EXPECT_TRUE(AssociateColorProfileWithDeviceA(nullptr, "b.icm", "P1"));
  EXPECT_TRUE(AssociateColorProfileWithDeviceA(nullptr, (std::string(kColor) + "\\A.ICM").c_str(), "p1"))
      << "a path into the colour directory and any case of the printer's name";
  EXPECT_TRUE(AssociateColorProfileWithDeviceA(nullptr, "mon.icm", "P1"));
  EXPECT_TRUE(AssociateColorProfileWithDeviceA(nullptr, "b.icm", "P1")) << "again: keeps its place";
  EXPECT_EQ(ofDevice("P1"), (std::vector<std::string>{"b.icm", "a.icm", "mon.icm"}));
  EXPECT_EQ(ofDevice("P1", CLASS_PRINTER), (std::vector<std::string>{"b.icm", "a.icm"}));
  EXPECT_TRUE(ofDevice("P2").empty());
  EXPECT_EQ(reg::getMultiString(Hive::LocalMachine, std::string(kPrinters) + "\\P1\\PrinterDriverData", "ICMProfile"),
            (std::vector<std::string>{"b.icm", "a.icm", "mon.icm"}));

  EXPECT_TRUE(DisassociateColorProfileFromDeviceA(nullptr, "a.icm", "P1"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DisassociateColorProfileFromDeviceA(nullptr, "a.icm", "P1"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROFILE_NOT_ASSOCIATED_WITH_DEVICE));
  EXPECT_EQ(ofDevice("P1"), (std::vector<std::string>{"b.icm", "mon.icm"}));

  // An uninstalled profile no longer counts as associated.
  EXPECT_TRUE(UninstallColorProfileA(nullptr, "b.icm", FALSE));
  EXPECT_EQ(ofDevice("P1"), (std::vector<std::string>{"mon.icm"}));
  EXPECT_TRUE(exists(std::string(kColor) + "\\b.icm")) << "kept without bDelete";
}

TEST_F(ColorAssociation, UnknownProfilesAndPrintersAreRefused) {
  const struct {
    const char* profile;
    const char* device;
    DWORD error;
  } rows[] = {
      {"absent.icm", "P1", ERROR_FILE_NOT_FOUND},
      {"loose.icm", "P1", ERROR_INVALID_PROFILE},  // in the folder, never installed
      {"C:\\elsewhere\\a.icm", "P1", ERROR_FILE_NOT_FOUND},
      {"a.icm", "No Such Printer", ERROR_INVALID_PRINTER_NAME},
  };
  for (const auto& row : rows) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(AssociateColorProfileWithDeviceA(nullptr, row.profile, row.device)) << row.profile;
    EXPECT_EQ(GetLastError(), row.error) << row.profile << " / " << row.device;
  }
  EXPECT_TRUE(ofDevice("P1").empty());
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DisassociateColorProfileFromDeviceA(nullptr, "a.icm", "No Such Printer"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(UninstallColorProfileA(nullptr, "loose.icm", TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(exists(std::string(kColor) + "\\loose.icm"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(AssociateColorProfileWithDeviceA("\\\\OTHER", "a.icm", "P1"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

TEST_F(ColorAssociation, AProfileInstalledAnewUnderAnotherClassMovesToIt) {
  put("C:\\Temp\\a.icm", iccProfile("scnr"));
  ASSERT_TRUE(InstallColorProfileA(nullptr, "C:\\Temp\\a.icm"));
  ENUMTYPEA e{};
  e.dwSize = sizeof e;
  e.dwVersion = ENUM_TYPE_VERSION;
  e.dwFields = ET_CLASS;
  e.dwClass = CLASS_PRINTER;
  char buf[64] = {};
  DWORD size = sizeof buf, count = 0;
  ASSERT_TRUE(EnumColorProfilesA(nullptr, &e, reinterpret_cast<BYTE*>(buf), &size, &count));
  EXPECT_EQ(count, 1u);
  EXPECT_STREQ(buf, "b.icm");
  EXPECT_EQ(size, 7u);
}

}  // namespace
