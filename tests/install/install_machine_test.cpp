// The installation engine's work on simulated machines: the file copy
// through a temporary name, replacement at restart, the added printers,
// the renewal of a printer object and the second-install registry test.
#include <cstring>
#include <memory>

#include "install/install_engine.h"
#include "install_fixture.h"
#include "advapi32/registry_store.h"
#include "kernel32/file_state.h"
#include "newdev/pnp.h"
#include "support/szdd_encoder.h"
#include "wizard/main_frame.h"

namespace {

using installtest::MachineTest;

// What the folder holds besides the given names: temporary files left over.
std::vector<std::string> leftovers(const std::string& strFolder, const std::vector<std::string>& lstKnown) {
  std::vector<std::string> out;
  WIN32_FIND_DATAA data{};
  HANDLE h = FindFirstFileA((strFolder + "\\*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == ".." || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    bool known = false;
    for (const auto& k : lstKnown) known |= lstrcmpiA(k.c_str(), name.c_str()) == 0;
    if (!known) out.push_back(name);
  } while (FindNextFileA(h, &data));
  FindClose(h);
  return out;
}

void setKnob(const char* pszName, DWORD dwValue) {
  HKEY hKey = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KVSim\\Faults", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &hKey, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(hKey, pszName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof dwValue);
  RegCloseKey(hKey);
}

class CopyTest : public MachineTest {
 protected:
  const std::string m_strTarget = "C:\\DRV\\KVDRV.DLL";
  void SetUp() override {
    MachineTest::SetUp();
    put(m_strTarget, "old driver");
    put("C:\\PKG\\KVDRV.DLL", "new driver, whole");
  }
};

TEST_F(CopyTest, TheTargetIsReplacedWholeAndNothingElseIsLeft) {
  ASSERT_TRUE(CInstallEngine::kCopyThroughTemporary(*m_app, "C:\\PKG\\KVDRV.DLL", m_strTarget));
  EXPECT_EQ(read(m_strTarget), "new driver, whole");
  EXPECT_EQ(leftovers("C:\\DRV", {"KVDRV.DLL"}), std::vector<std::string>{});
}

TEST_F(CopyTest, ACompressedFileIsExpandedToItsDeclaredLength) {
  put("C:\\PKG\\KVRES.DL_", kvtest::szddEncode(std::string(5000, 'x'), 'L'));
  ASSERT_TRUE(CInstallEngine::kCopyThroughTemporary(*m_app, "C:\\PKG\\KVRES.DLL", "C:\\DRV\\KVRES.DLL"));
  EXPECT_EQ(read("C:\\DRV\\KVRES.DLL"), std::string(5000, 'x'));
}

TEST_F(CopyTest, FailedCopiesLeaveTheOldFileAndNoHalfWrittenOne) {
  // Data that ends before the length its header declares.
  std::string strShort = kvtest::szddEncode(std::string(5000, 'x'), 'L');
  strShort.resize(strShort.size() / 2);
  put("C:\\PKG\\SHORT.DL_", strShort);
  EXPECT_FALSE(CInstallEngine::kCopyThroughTemporary(*m_app, "C:\\PKG\\SHORT.DLL", m_strTarget));
  EXPECT_EQ(read(m_strTarget), "old driver");
  EXPECT_EQ(leftovers("C:\\DRV", {"KVDRV.DLL"}), std::vector<std::string>{});

  setKnob("DiskFull", 1);
  EXPECT_FALSE(CInstallEngine::kCopyThroughTemporary(*m_app, "C:\\PKG\\KVDRV.DLL", m_strTarget));
  setKnob("DiskFull", 0);
  EXPECT_EQ(read(m_strTarget), "old driver");
  EXPECT_EQ(leftovers("C:\\DRV", {"KVDRV.DLL"}), std::vector<std::string>{});

  // Held open by another program without sharing.
  const auto host = winsim::hostPath(m_strTarget);
  ASSERT_TRUE(winsim::files::setLock(winsim::files::fileKey(*host), winsim::files::LockMode::Exclusive));
  EXPECT_FALSE(CInstallEngine::kCopyThroughTemporary(*m_app, "C:\\PKG\\KVDRV.DLL", m_strTarget));
  ASSERT_TRUE(winsim::files::clearLock(winsim::files::fileKey(*host)));
  EXPECT_EQ(read(m_strTarget), "old driver");
  EXPECT_EQ(leftovers("C:\\DRV", {"KVDRV.DLL"}), std::vector<std::string>{});
}

TEST_F(CopyTest, AReplacementAtRestartIsRecordedForTheTarget) {
  put("C:\\DRV\\KVIS1.TMP", "new");
  ASSERT_TRUE(CInstallEngine::kRebootCopyFile("C:\\DRV\\KVIS1.TMP", m_strTarget));
  char szData[1024] = {};
  DWORD cb = sizeof szData;
  HKEY hKey = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &hKey),
            ERROR_SUCCESS);
  ASSERT_EQ(RegQueryValueExA(hKey, "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(szData), &cb),
            ERROR_SUCCESS);
  RegCloseKey(hKey);
  const std::string strData(szData, cb);
  EXPECT_NE(strData.find("KVIS1.TMP"), std::string::npos);
  EXPECT_NE(strData.find("!\\??\\C:\\DRV\\KVDRV.DLL"), std::string::npos);
  EXPECT_NE(log().find("OSREBOOT FILE REBOOTOVERWRITE = [C:\\DRV\\KVDRV.DLL]"), std::string::npos);
}

// ---- Added printers ----------------------------------------------------------------------

class AddedPrinterTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    addDriver("KV Laser 5000", "KVDRV.DLL");
    addPrinter("Office", "KV Laser 5000");
    ASSERT_TRUE(m_app->m_pSpoolerInfomation->kMakePresentAllList(FALSE));
    m_app->m_lstPPL = m_app->m_pSpoolerInfomation->kGetPresentPrinterList();
  }
};

TEST_F(AddedPrinterTest, OnlyNamesAbsentAtStartUpCountAsAdded) {
  ASSERT_TRUE(m_app->kMakeAPL());
  EXPECT_TRUE(m_app->m_listAPL.empty());
  addPrinter("KV Laser 5000", "KV Laser 5000", "LPT1:");
  addPrinter("OFFICE (2)", "KV Laser 5000", "COM1:");
  ASSERT_TRUE(m_app->kMakeAPL());
  ASSERT_EQ(m_app->m_listAPL.size(), 2u);
  char szDriver[260] = "x", szPrinter[260] = "x", szPort[260] = "x";
  ASSERT_TRUE(m_app->kGetAddedPrinter(szDriver, 260, szPrinter, 260, szPort, 260));
  EXPECT_EQ(std::string(szPrinter), m_app->m_listAPL.front().strPrinterName) << "the first in enumeration order";
  EXPECT_EQ(std::string(szDriver), "KV Laser 5000");
  // A short buffer gets what fits.
  char szCut[4] = {};
  ASSERT_TRUE(m_app->kGetAddedPrinter(szCut, 4, szPrinter, 260, szPort, 260));
  EXPECT_EQ(std::string(szCut), "KV ");
  // No USB connection: the default printer stays.
  EXPECT_TRUE(m_app->kSetDefaultPrinter());
  char szDefault[260] = {};
  DWORD cch = sizeof szDefault;
  GetDefaultPrinterA(szDefault, &cch);
  EXPECT_NE(std::string(szDefault), szPrinter);
}

// ---- Renewal ----------------------------------------------------------------------------

std::string iccProfile() {
  std::string p(132, '\0');
  auto be32 = [&](size_t at, unsigned v) {
    for (int i = 0; i < 4; ++i) p[at + static_cast<size_t>(i)] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
  };
  be32(0, 132);
  be32(8, 0x02100000);
  std::memcpy(&p[12], "prtr", 4);
  std::memcpy(&p[16], "RGB ", 4);
  std::memcpy(&p[20], "XYZ ", 4);
  std::memcpy(&p[36], "acsp", 4);
  be32(68, 0x0000F6D6);
  be32(72, 0x00010000);
  be32(76, 0x0000D32D);
  return p;
}

class RenewTest : public AddedPrinterTest {
 protected:
  void SetUp() override {
    AddedPrinterTest::SetUp();
    char szDir[MAX_PATH] = {};
    DWORD cb = sizeof szDir;
    ASSERT_TRUE(GetColorDirectoryA(nullptr, szDir, &cb));
    for (const char* name : {"KVA.ICM", "KVB.ICM", "kva.icm"}) put(std::string(szDir) + "\\" + name, iccProfile());
    m_record = candidate("KV Laser 5000", "KVDRV.DLL");
    m_record.strPrintProcessor = "WinPrint";
  }
  std::vector<std::string> profiles() {
    CNameList lst;
    EXPECT_TRUE(m_app->m_pSpoolerInfomation->kGetColorProfiles(lst, "Office"));
    return std::vector<std::string>(lst.begin(), lst.end());
  }
  CCandidateDriver m_record;
};

TEST_F(RenewTest, ThePrinterEndsWithExactlyTheDeclaredProfiles) {
  m_record.strColorProfiles = "KVA.ICM,KVB.ICM,";
  ASSERT_TRUE(m_app->m_pSpoolerInfomation->kRenewPrinterObject("Office", m_record));
  EXPECT_EQ(profiles(), (std::vector<std::string>{"KVA.ICM", "KVB.ICM"}));
  // An association the candidate does not declare goes; letter case counts.
  m_record.strColorProfiles = "kva.icm,";
  ASSERT_TRUE(m_app->m_pSpoolerInfomation->kRenewPrinterObject("Office", m_record));
  EXPECT_EQ(profiles(), (std::vector<std::string>{"kva.icm"}));
  // A trailing name without a comma is not taken.
  m_record.strColorProfiles = "kva.icm,KVB.ICM";
  ASSERT_TRUE(m_app->m_pSpoolerInfomation->kRenewPrinterObject("Office", m_record));
  EXPECT_EQ(profiles(), (std::vector<std::string>{"kva.icm"}));
}

TEST_F(RenewTest, AVersion2DriverAndAnUpToDatePrinterAreLeftAsTheyAre) {
  m_record.dwInfOSVersion = 2;
  m_record.strPrintProcessor = "OtherProc";
  m_record.strColorProfiles = "KVA.ICM,";
  ASSERT_TRUE(m_app->m_pSpoolerInfomation->kRenewPrinterObject("Office", m_record));
  EXPECT_TRUE(profiles().empty());
  EXPECT_NE(log().find("not USER-MODE-DRIVER, no processing."), std::string::npos);

  m_record = candidate("KV Laser 5000", "KVDRV.DLL");
  m_record.strPrintProcessor = "winprint";  // the same processor in another case
  ASSERT_TRUE(m_app->m_pSpoolerInfomation->kRenewPrinterObject("Office", m_record));
  EXPECT_EQ(log().find("print processor ["), std::string::npos) << "no SetPrinter call";
  EXPECT_FALSE(m_app->m_pSpoolerInfomation->kRenewPrinterObject("No Such Printer", m_record));
}

TEST_F(RenewTest, AnUnknownPrintProcessorThatCannotBeAddedFails) {
  m_record.strPrintProcessor = "KVPROC";
  m_record.strPrintProcessorDLL = "KVPROC.DLL";  // not in the print processor directory
  EXPECT_FALSE(m_app->m_pSpoolerInfomation->kRenewPrinterObject("Office", m_record));
  EXPECT_NE(log().find("kRenewPrinterObject() return FALSE (7)"), std::string::npos);
}

// ---- The second-install registry test -------------------------------------------------------

class SecondInstallTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    m_app->m_CDE = candidate("KV Laser 5000", "KVDRV.DLL");
    m_app->m_CDE.strHardwareID = "USBPRINT\\HalvernKV-50001A2B";
    m_frame = std::make_unique<CMainFrame>(*m_app);
  }
  std::unique_ptr<CMainFrame> m_frame;
};

TEST_F(SecondInstallTest, TheModelCountsAsSeenOnlyWhenItsDeviceKeyExists) {
  int nSeen = 0;
  // A machine with no USB devices at all: the test cannot decide.
  namespace reg = winsim::reg;
  reg::deleteKeyTree(reg::Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Enum\\USB");
  ASSERT_TRUE(reg::createKey(reg::Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Enum\\USB"));
  EXPECT_FALSE(m_frame->kUSBPrinter2ndInstallCheck_Win2K(&nSeen));

  winsim::pnp::PlugRequest other;
  other.hardwareId = "USBPRINT\\OtherMakerXY991234";
  ASSERT_TRUE(winsim::pnp::plugPrinter(other, nullptr, nullptr));
  EXPECT_TRUE(m_frame->kUSBPrinter2ndInstallCheck_Win2K(&nSeen));
  EXPECT_EQ(nSeen, 0);

  winsim::pnp::PlugRequest mine;
  mine.hardwareId = m_app->m_CDE.strHardwareID;
  mine.unknown = true;
  ASSERT_TRUE(winsim::pnp::plugPrinter(mine, nullptr, nullptr));
  EXPECT_TRUE(m_frame->kUSBPrinter2ndInstallCheck_Win2K(&nSeen));
  EXPECT_EQ(nSeen, 1);
}

TEST_F(SecondInstallTest, APluggedPrinterIsInstalledWhenItsDriverIsPresent) {
  winsim::pnp::PlugRequest request;
  request.hardwareId = m_app->m_CDE.strHardwareID;
  winsim::pnp::PlugResult result;
  ASSERT_TRUE(winsim::pnp::plugPrinter(request, &result, nullptr));
  EXPECT_FALSE(result.installed) << "no driver of that hardware ID yet";
  auto devices = winsim::pnp::usbPrinters();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].configFlags, 0x40u);

  addDriver("KV Laser 5000", "KVDRV.DLL");
  // The driver's hardware ID is what plug and play matches.
  DRIVER_INFO_6A info{};
  info.cVersion = 3;
  info.pName = const_cast<LPSTR>("KV Laser 5000");
  std::string strPath = m_strDriverDir + "\\KVDRV.DLL", strUi = m_strDriverDir + "\\KVUI.DLL",
              strData = m_strDriverDir + "\\KV.GPD";
  info.pDriverPath = strPath.data();
  info.pConfigFile = strUi.data();
  info.pDataFile = strData.data();
  info.pszHardwareID = const_cast<LPSTR>("USBPRINT\\HalvernKV-50001A2B");
  ASSERT_TRUE(AddPrinterDriverExA(nullptr, 6, reinterpret_cast<LPBYTE>(&info), APD_COPY_NEW_FILES));
  put("C:\\PKG\\KV.INF", "[Version]\n");
  BOOL bReboot = TRUE;
  ASSERT_TRUE(UpdateDriverForPlugAndPlayDevicesA(nullptr, "USBPRINT\\HalvernKV-50001A2B", "C:\\PKG\\KV.INF",
                                                 INSTALLFLAG_FORCE, &bReboot));
  EXPECT_FALSE(bReboot);
  devices = winsim::pnp::usbPrinters();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].configFlags, 0u);
  EXPECT_EQ(devices[0].deviceClass, "Printer");
  EXPECT_EQ(devices[0].description, "KV Laser 5000");
  HANDLE hPrinter = nullptr;
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("KV Laser 5000"), &hPrinter, nullptr));
  BYTE buffer[4096];
  DWORD cb = 0;
  ASSERT_TRUE(GetPrinterA(hPrinter, 2, buffer, sizeof buffer, &cb));
  EXPECT_STREQ(reinterpret_cast<PRINTER_INFO_2A*>(buffer)->pPortName, "USB001");
  ClosePrinter(hPrinter);
  m_app->m_nInstalledDeviceCount = 0;
  EXPECT_EQ(m_app->kIsInstalledDeviceCount(nullptr), 1);
  EXPECT_FALSE(UpdateDriverForPlugAndPlayDevicesA(nullptr, "USBPRINT\\NoSuchThing1234", "C:\\PKG\\KV.INF", 1, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
}

}  // namespace
