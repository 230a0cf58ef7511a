// The USB path from the licence to the completion page on scratch machines:
// the driver installed by the installation thread, the printer plugged in
// while the power-on page waits, the time-out question, the same printer
// found installed on a second run, a file in use replaced at restart, and
// the fault knobs the path must survive.
#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstring>
#include <cstdio>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "scenarios/scenario.h"

namespace {

namespace fs = std::filesystem;
using scenario::Outcome;

constexpr const char kHardwareId[] = "USBPRINT\\KVLaserPro_500A1B2";
constexpr const char kDriver[] = "KV LaserPro 5000";

// Licence, setup kind with USB, the model, power off; the installation page
// ends by itself.
constexpr const char kToInstallation[] =
    "page 1000: click 1003; next\n"
    "page 133: uncheck 1011; check 1012; ok\n"
    "page 149: select 1029 \"KV LaserPro 5000\"; ok\n"
    "page 144: next\n";

class UsbPath : public scenario::ScenarioTest {
 protected:
  void SetUp() override {
    ScenarioTest::SetUp();
    setOutputLevel(99);
  }
  std::string detailLog() const {
    std::ifstream in(m_temp / "KV_SETUPDetail.LOG", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Waits until the running program's detail log holds PART.
  bool waitForLog(const std::string& strPart, double dSeconds = 60.0) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(dSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
      if (detailLog().find(strPart) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  // kvsim's standard output.
  std::string kvsimOut(const std::string& strArgs) const {
    const std::string strCommand = std::string(KV_SIM_EXE) + " --root '" + m_root.string() + "' " + strArgs;
    std::string out;
    if (FILE* p = popen(strCommand.c_str(), "r")) {
      char buf[512];
      while (fgets(buf, sizeof buf, p)) out += buf;
      pclose(p);
    }
    return out;
  }
  // The host path of a file of the machine, found as the program finds it
  // (without regard to case).
  fs::path onMachine(const std::string& strWinPath) const {
    std::string out = kvsimOut("path '" + strWinPath + "'");
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
  }
  // A printer that exists before the wizard runs, so that the default-
  // printer question is asked.
  void addFaxPrinter() {
    const fs::path reg = m_root / "fax.reg";
    std::ofstream(reg) << "Windows Registry Editor Version 5.00\n\n"
                          "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Fax]\n"
                          "\"Name\"=\"Fax\"\n\"Port\"=\"LPT1:\"\n\"Printer Driver\"=\"Generic Fax\"\n"
                          "\"Print Processor\"=\"WinPrint\"\n\"Datatype\"=\"RAW\"\n\"Attributes\"=dword:00000040\n";
    kvsim({"reg", "import", reg.string()});
  }
  // The whole path with the printer plugged in while the power-on page waits.
  Outcome runWholePath() {
    const std::string strScript = std::string(kToInstallation) +
                                  "page 136\n"
                                  "page 145\n"
                                  "msgbox IDS_MSG_DEFUALT_PRINTER: yes\n"
                                  "page 1001: ok\n"
                                  "page 135: ok\n";
    scenario::Started started = start({}, strScript);
    EXPECT_TRUE(waitForLog("CPowerOnDialog::OnInitDialog() wait time")) << finish(started).describe();
    kvsim({"usb", "plug", kHardwareId, "--description", kDriver});
    return finish(started);
  }
};

TEST_F(UsbPath, APrinterPluggedInWhileThePageWaitsIsInstalledAndSetUp) {
  addFaxPrinter();
  const Outcome r = runWholePath();
  EXPECT_EQ(r.nExit, 0) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDecideInstallKind() post WM_DISP_POWEROFF (2)")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispPowerOffDialog() post WM_DISP_PREPAREINSTALL (1)")) << r.describe();
  EXPECT_TRUE(r.logHas("ExecInstallThread normal end.")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispInstPrepareDialog() post WM_DISP_POWERON (1)")) << r.describe();
  EXPECT_TRUE(r.logHas("CPowerOnDialog::OnDeviceChange() printer arrived.")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispPowerOnDialog() post WM_DISP_COMPLETE (1)")) << r.describe();
  EXPECT_TRUE(r.logHas("SET DEFAULT PRINTER = [KV LaserPro 5000]")) << r.describe();
  EXPECT_TRUE(r.logHas("CKV_SETUPApp::kMakeIPL\nm_listIPL AddTail \nPrinterName=KV LaserPro 5000")) << r.describe();
  EXPECT_TRUE(r.transcriptHas("== page 136")) << r.describe();
  // The completion page shows the report naming the printer and its port.
  EXPECT_TRUE(r.transcriptHas("| Result : \t\tCompleted successfully")) << r.describe();
  EXPECT_TRUE(r.transcriptHas("| Printer:\tKV LaserPro 5000\n")) << r.describe();
  EXPECT_TRUE(r.transcriptHas("| Port:\tUSB001\n")) << r.describe();
  // The driver in the spooler with its files, the printer on USB001 with
  // the declared print processor.
  const std::string strDrivers = kvsimOut("spooler list drivers");
  EXPECT_NE(strDrivers.find(kDriver), std::string::npos) << strDrivers;
  const std::string strPrinters = kvsimOut("spooler list printers");
  EXPECT_NE(strPrinters.find("KV LaserPro 5000\tUSB001"), std::string::npos) << strPrinters;
  EXPECT_NE(strPrinters.find("KVPrint"), std::string::npos) << strPrinters;
  EXPECT_TRUE(fs::exists(onMachine("C:\\Windows\\System32\\spool\\drivers\\x64\\3\\KVDRV64.DLL"))) << r.describe();
  EXPECT_TRUE(fs::exists(onMachine("C:\\Windows\\System32\\KVLM64.DLL"))) << "the language monitor";
  const std::string strDevices = kvsimOut("usb list");
  EXPECT_NE(strDevices.find("\tPrinter\t0x00000000"), std::string::npos) << strDevices;

  // A second run finds the same printer installed and ends without the
  // cancel flag.
  const Outcome again = run({}, std::string(kToInstallation, std::strlen(kToInstallation) - std::strlen("page 144: next\n")) +
                                    "msgbox IDS_ERR_ALREADY_USBPRINER: ok\n");
  EXPECT_EQ(again.nExit, 0) << again.describe();
  EXPECT_TRUE(again.logHas("CMainFrame::kOnDecideInstallKind() post WM_CLOSE (3)")) << again.describe();
  EXPECT_TRUE(again.transcriptHas("(0x40) [IDS_ERR_ALREADY_USBPRINER")) << again.describe();
}

TEST_F(UsbPath, TheTimeOutQuestionRetriesAndThenGivesUpAutomaticDetection) {
  const std::string strScript = std::string(kToInstallation) +
                                "page 136\n"
                                "page 145\n"
                                "page 146: ok\n"
                                "page 146: cancel\n";
  const Outcome r = run({}, strScript);
  EXPECT_TRUE(r.logHas("CPowerOnDialog::OnInitDialog() wait time 180000 ms")) << r.describe();
  EXPECT_TRUE(r.logHas("CPowerOnDialog::kOnTimeoutConfirm() CTimeoutDialog returned [1]")) << r.describe();
  EXPECT_TRUE(r.logHas("CPowerOnDialog::kOnTimeoutConfirm() CTimeoutDialog returned [2]")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispPowerOnDialog() post WM_DISP_ADDFORCE (2)")) << r.describe();
}

// Giving up the wait leads to the manual-port page; Back returns to the
// wait, and OK hands the driver to the external installer in add-force
// mode, which creates the printer on the machine's default port. The
// initial-settings page then lists it, checked, and the run completes.
TEST_F(UsbPath, GivingUpTheWaitInstallsThroughTheManualPortPage) {
  const std::string strScript = std::string(kToInstallation) +
                                "page 136\n"
                                "page 145\n"
                                "page 146: cancel\n"
                                "page 147: click 1012\n"
                                "page 145\n"
                                "page 146: cancel\n"
                                "page 147: ok\n"
                                "page 1001: ok\n"
                                "page 135: ok\n";
  const Outcome r = run({}, strScript);
  EXPECT_EQ(r.nExit, 0) << r.describe();
  EXPECT_TRUE(r.logHas("CAddForcePrinterDialog::OnCommand() Back.")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispAddForceDialog() post WM_DISP_POWERON (4)")) << r.describe();
  EXPECT_TRUE(r.logHas("CKV_SETUPApp::kMakeInterfaceFileAddForce() return TRUE (14)")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispAddForceDialog() post WM_EXECUTE_NELIADDFORCE (2)")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnExecuteNELIAddForce() post WM_DISP_INITPRNSELECT (3)")) << r.describe();
  // The printer the installer added, listed and not to be unchecked.
  EXPECT_TRUE(r.transcriptHas(std::string("1046 list (disabled):\n        ") + kDriver + "\n")) << r.describe();
  EXPECT_TRUE(r.transcriptHas("-- page 135 left with 1 (IDOK) after: ok")) << r.describe();
  ASSERT_FALSE(r.lstParent.empty()) << r.describe();
  EXPECT_EQ(r.lstParent.back(), scenario::parentLine(0, 0, 0)) << r.describe();
  // The interface file names the driver and the port; the installer made
  // the printer on that port.
  std::ifstream in(m_temp / "NELSETUP.INI", std::ios::binary);
  std::stringstream ini;
  ini << in.rdbuf();
  EXPECT_NE(ini.str().find(std::string("ComponentName=") + kDriver), std::string::npos) << ini.str();
  const std::string strPrinters = kvsimOut("spooler list printers");
  EXPECT_NE(strPrinters.find(std::string(kDriver) + "\t"), std::string::npos) << strPrinters << r.describe();
}

TEST_F(UsbPath, ADriverTheSpoolerRefusesEndsTheInstallationWithItsMessage) {
  kvsim({"fault", "set", "Spooler.AddPrinterDriverExA", "5"});
  const Outcome r = run({}, std::string(kToInstallation) + "page 136\nmsgbox IDS_ERR_ADDDRIVER: ok\n");
  EXPECT_TRUE(r.logHas("Exit ExecInstallThread kAddPrintProcessor fail.") ||
              r.logHas("AddPrinterDriverEx Error = [5]")) << r.describe();
  // The message closes the wizard; the run still ends as a failed one.
  EXPECT_TRUE(r.logHas("CKV_SETUPApp::ExitInstance() dwStatus = [0x00000001]")) << r.describe();
  EXPECT_EQ(kvsimOut("spooler list drivers").find(kDriver), std::string::npos);
}

TEST_F(UsbPath, AFullDiskDuringTheCopyLeavesNoHalfWrittenFile) {
  // The disk fills up while the power-off page is open.
  const std::string strScript = std::string(kToInstallation).replace(std::strlen(kToInstallation) - 5, 5,
                                                                     "wait 100; next\n") +
                                "page 136\nmsgbox IDS_ERR_COPYFILE: ok\n";
  // The machine holds Windows' own core driver files in the driver
  // directory before the run: only what the run adds counts.
  const fs::path drivers = onMachine("C:\\Windows\\System32\\spool\\drivers\\x64\\3");
  std::set<fs::path> before;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(drivers, ec)) before.insert(e.path());
  scenario::Started started = start({}, strScript);
  EXPECT_TRUE(waitForLog("CMainFrame::kOnDispPowerOffDialog wParam")) << finish(started).describe();
  kvsim({"fault", "set", "DiskFull", "1"});
  const Outcome r = finish(started);
  // The detail log is on the full disk too: the transcript and the status
  // word tell what happened.
  EXPECT_TRUE(r.transcriptHas("(0x30) [IDS_ERR_COPYFILE]")) << r.describe();
  ASSERT_FALSE(r.lstParent.empty()) << r.describe();
  EXPECT_EQ(r.lstParent.back(), scenario::parentLine(0, 1, 0)) << "installation failed";
  for (const auto& e : fs::directory_iterator(drivers, ec)) {
    if (!before.count(e.path())) ADD_FAILURE() << "left in the driver directory: " << e.path();
  }
}

TEST_F(UsbPath, AMonitorFileInUseIsReplacedAtTheNextRestart) {
  const fs::path monitor = onMachine("C:\\Windows\\System32\\KVLM64.DLL");
  std::ofstream(monitor, std::ios::binary) << "an older monitor";
  // Older than the package's: a file of the same time would be left alone.
  fs::last_write_time(monitor, fs::last_write_time(monitor) - std::chrono::hours(24 * 400));
  addFaxPrinter();
  kvsim({"file", "lock", "C:\\Windows\\System32\\KVLM64.DLL"});
  const Outcome r = runWholePath();
  EXPECT_TRUE(r.logHas("OSREBOOT FILE REBOOTOVERWRITE = [C:\\WINDOWS\\SYSTEM32\\KVLM64.DLL]")) << r.describe();
  std::ifstream before(monitor, std::ios::binary);
  std::stringstream s1;
  s1 << before.rdbuf();
  EXPECT_EQ(s1.str(), "an older monitor") << "replaced only at the restart";
  kvsim({"reboot"});
  std::ifstream after(monitor, std::ios::binary);
  std::stringstream s2;
  s2 << after.rdbuf();
  // The package stores the monitor compressed: what arrives is its expansion.
  EXPECT_NE(s2.str(), "an older monitor");
  EXPECT_FALSE(s2.str().empty());
  EXPECT_EQ(s2.str().rfind("SZDD", 0), std::string::npos) << "expanded, not copied";
}


// ---- Faults of the installation thread and the devices ---------------------

class UsbPathFaults : public UsbPath {
 protected:
  // The package asks for the spooler to be stopped around the file copy.
  void spoolerControlOn() {
    std::ifstream in(packageFile("KVISETUP.INI"), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    std::string strIni = s.str();
    const size_t at = strIni.find("SpoolerControl=OFF");
    ASSERT_NE(at, std::string::npos);
    strIni.replace(at, std::strlen("SpoolerControl=OFF"), "SpoolerControl=ON");
    writePackageFile("KVISETUP.INI", strIni);
  }
  bool spoolerRunning() const {
    const std::string strList = kvsimOut("service list");
    std::istringstream lines(strList);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("Spooler\t", 0) == 0 || line.rfind("Spooler ", 0) == 0) return line.find("running") != std::string::npos;
    }
    ADD_FAILURE() << "no spooler in: " << strList;
    return false;
  }
  // The names and sizes in the driver directory (the platform's folder,
  // where the copy puts the files, and its version folders), one a line.
  std::string driverDirectory() const {
    std::string strOut;
    std::error_code ec;
    std::vector<std::string> lst;
    const fs::path root = onMachine("C:\\Windows\\System32\\spool\\drivers\\x64");
    for (const auto& e : fs::recursive_directory_iterator(root, ec)) {
      if (!e.is_regular_file()) continue;
      lst.push_back(fs::relative(e.path(), root).string() + " " + std::to_string(fs::file_size(e.path(), ec)));
    }
    std::sort(lst.begin(), lst.end());
    for (const auto& s : lst) strOut += s + "\n";
    return strOut;
  }
  // No temporary file of the copy ("KVI....tmp") in the driver directory
  // or the system directory.
  void expectNoTemporaryFile() const {
    const std::string strDir = driverDirectory();
    EXPECT_EQ(strDir.find(".tmp"), std::string::npos) << strDir;
    EXPECT_EQ(strDir.find(".TMP"), std::string::npos) << strDir;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(onMachine("C:\\Windows\\System32"), ec)) {
      std::string strName = e.path().filename().string();
      for (char& c : strName) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      if (strName.rfind("KVI", 0) == 0 && strName.size() > 4 && strName.substr(strName.size() - 4) == ".TMP") {
        ADD_FAILURE() << "left in the system directory: " << e.path();
      }
    }
  }
  // Waits until the HoldAt knob holds a call; the call it holds.
  bool waitUntilHeld(const std::string& strCall, double dSeconds = 60.0) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(dSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
      if (kvsimOut("fault list").find("HeldAt\t" + strCall) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  static std::string failedStatus() { return scenario::parentLine(0, 1, 0); }
};

TEST_F(UsbPathFaults, APrinterPluggedInDuringTheCopyIsInstalledOnceTheDriverIsThere) {
  // Start-up expands files too: the copy is held once the spooler stop
  // before it has been reached.
  spoolerControlOn();
  kvsim({"fault", "set", "HoldAt", "ControlService"});
  // The power-on page finds the printer there already and ends at once.
  scenario::Started started = start({}, std::string(kToInstallation) + "page 136\npage 1001: ok\npage 135: ok\n");
  EXPECT_TRUE(waitUntilHeld("ControlService")) << finish(started).describe();
  kvsim({"fault", "set", "HoldAt", "SetupDecompressOrCopyFileA"});
  EXPECT_TRUE(waitUntilHeld("SetupDecompressOrCopyFileA")) << finish(started).describe();
  kvsim({"usb", "plug", kHardwareId, "--description", kDriver});
  kvsim({"fault", "clear", "HoldAt"});
  const Outcome r = finish(started);
  EXPECT_EQ(r.nExit, 0) << r.describe();
  EXPECT_TRUE(r.logHas("ExecInstallThread normal end.")) << r.describe();
  EXPECT_TRUE(r.logHas("CMainFrame::kOnDispPowerOnDialog() post WM_DISP_COMPLETE (1)")) << r.describe();
  const std::string strPrinters = kvsimOut("spooler list printers");
  EXPECT_NE(strPrinters.find("KV LaserPro 5000\tUSB001"), std::string::npos) << strPrinters;
  const std::string strDevices = kvsimOut("usb list");
  EXPECT_NE(strDevices.find("\tPrinter\t0x00000000"), std::string::npos) << strDevices;
}

TEST_F(UsbPathFaults, TwoPrintersArrivingAtOnceAreTheArrivalAwaited) {
  // One or more installed devices of the model more than at the page's
  // start are the printer awaited: two plugged at once end the wait, and
  // plug and play has set both printers up.
  scenario::Started started = start({}, std::string(kToInstallation) + "page 136\npage 145\npage 1001: ok\npage 135: ok\n");
  EXPECT_TRUE(waitForLog("CPowerOnDialog::OnInitDialog() wait time")) << finish(started).describe();
  kvsim({"usb", "plug", kHardwareId, "--description", kDriver, "--count", "2"});
  const Outcome r = finish(started);
  EXPECT_TRUE(r.logHas("CPowerOnDialog::OnDeviceChange() printer arrived.")) << r.describe();
  EXPECT_FALSE(r.logHas("CPowerOnDialog::OnTimer() post WM_DISP_TIMEOUT")) << r.describe();
  const std::string strPrinters = kvsimOut("spooler list printers");
  EXPECT_NE(strPrinters.find("\tUSB001"), std::string::npos) << strPrinters;
  EXPECT_NE(strPrinters.find("\tUSB002"), std::string::npos) << strPrinters;
}

TEST_F(UsbPathFaults, AMonitorTheSpoolerRefusesEndsTheInstallationWithItsMessage) {
  spoolerControlOn();
  kvsim({"fault", "set", "Spooler.AddMonitorA", "5"});
  const Outcome r = run({}, std::string(kToInstallation) + "page 136\nmsgbox IDS_ERR_ADDMONITOR: ok\n");
  EXPECT_TRUE(r.transcriptHas("(0x30) [IDS_ERR_ADDMONITOR")) << r.describe();
  EXPECT_TRUE(r.logHas("Exit ExecInstallThread kAddMonitor fail.")) << r.describe();
  ASSERT_FALSE(r.lstParent.empty()) << r.describe();
  EXPECT_EQ(r.lstParent.back(), failedStatus()) << r.describe();
  EXPECT_TRUE(spoolerRunning());
  EXPECT_EQ(kvsimOut("spooler list drivers").find(kDriver), std::string::npos);
  expectNoTemporaryFile();
}

TEST_F(UsbPathFaults, ASpoolerThatWillNotStopLeavesTheInstallationGoingWithItRunning) {
  spoolerControlOn();
  kvsim({"fault", "set", "ServiceRefusesStop", "Spooler"});
  addFaxPrinter();
  const Outcome r = runWholePath();
  EXPECT_EQ(r.nExit, 0) << r.describe();
  EXPECT_TRUE(r.logHas("ExecInstallThread normal end.")) << r.describe();
  EXPECT_TRUE(spoolerRunning());
  EXPECT_NE(kvsimOut("spooler list drivers").find(kDriver), std::string::npos);
  expectNoTemporaryFile();
}

TEST_F(UsbPathFaults, ASpoolerThatWillNotStartAgainEndsTheInstallationWithItsMessage) {
  spoolerControlOn();
  kvsim({"fault", "set", "ServiceFailsToStart", "Spooler"});
  const Outcome r = run({}, std::string(kToInstallation) + "page 136\nmsgbox IDS_ERR_SERVICESTART: ok\n");
  EXPECT_TRUE(r.transcriptHas("(0x30) [IDS_ERR_SERVICESTART")) << r.describe();
  EXPECT_TRUE(r.logHas("Exit ExecInstallThread kStartSpoolerService fail.")) << r.describe();
  ASSERT_FALSE(r.lstParent.empty()) << r.describe();
  EXPECT_EQ(r.lstParent.back(), failedStatus()) << r.describe();
  // It cannot run again while the fault lasts; once it is gone a start by
  // hand brings it back.
  EXPECT_FALSE(spoolerRunning());
  expectNoTemporaryFile();
  kvsim({"fault", "clear", "ServiceFailsToStart"});
  kvsim({"service", "set", "Spooler", "running"});
  EXPECT_TRUE(spoolerRunning());
}


// ---- A run killed in the middle of the installation ------------------------

// Each step of the installation thread, by the system call it makes.
class UsbPathKilled : public UsbPathFaults, public testing::WithParamInterface<const char*> {
 protected:
  // The program under the started parent (its only child).
  static pid_t programOf(const scenario::Started& started) {
    std::ifstream in("/proc/" + std::to_string(started.pid) + "/task/" + std::to_string(started.pid) + "/children");
    pid_t pid = -1;
    in >> pid;
    return pid;
  }
  // What a finished installation leaves: the spooler's drivers and
  // printers and the driver directory.
  std::string installedState() const {
    return "drivers:\n" + kvsimOut("spooler list drivers") + "printers:\n" + kvsimOut("spooler list printers") +
           "driver directory:\n" + driverDirectory();
  }
  std::string wholePathScript() const { return std::string(kToInstallation) + "page 136\npage 145\npage 1001: ok\npage 135: ok\n"; }
  // The whole path, the printer plugged in while the power-on page waits.
  Outcome installWithPrinter() {
    scenario::Started started = start({}, wholePathScript());
    EXPECT_TRUE(waitForLog("CPowerOnDialog::OnInitDialog() wait time")) << finish(started).describe();
    kvsim({"usb", "plug", kHardwareId, "--description", kDriver});
    return finish(started);
  }
};

TEST_P(UsbPathKilled, ASecondRunInstallsAsACleanOneDoes) {
  spoolerControlOn();
  // The reference: a clean installation on a copy of this machine.
  const fs::path saved = m_root.parent_path() / (m_root.filename().string() + "-before");
  std::error_code ec;
  fs::copy(m_root, saved, fs::copy_options::recursive, ec);
  ASSERT_FALSE(ec) << ec.message();
  const Outcome clean = installWithPrinter();
  ASSERT_EQ(clean.nExit, 0) << clean.describe();
  const std::string strClean = installedState();
  kvsim({"usb", "unplug", kHardwareId});
  fs::remove_all(m_root);
  fs::rename(saved, m_root);

  // The run killed while the step's call is under way. A call that start-up
  // makes too is held only once an earlier step of the thread has been
  // reached ("FIRST>CALL").
  std::string strCall = GetParam();
  scenario::Started started;
  if (const size_t n = strCall.find('>'); n != std::string::npos) {
    const std::string strFirst = strCall.substr(0, n);
    strCall = strCall.substr(n + 1);
    kvsim({"fault", "set", "HoldAt", strFirst});
    started = start({}, wholePathScript());
    ASSERT_TRUE(waitUntilHeld(strFirst)) << finish(started).describe();
  } else {
    kvsim({"fault", "set", "HoldAt", strCall});
    started = start({}, wholePathScript());
  }
  kvsim({"fault", "set", "HoldAt", strCall});
  ASSERT_TRUE(waitUntilHeld(strCall)) << finish(started).describe();
  const pid_t program = programOf(started);
  ASSERT_GT(program, 0);
  kill(program, SIGKILL);
  (void)finish(started, scenario::Judge::Killed);
  kvsim({"fault", "clear", "HoldAt"});
  fs::remove(m_temp / "KV_SETUPDetail.LOG", ec);

  // The next start finishes the killed run's undo before its spooler
  // check: a spooler the run stopped runs again, with no hand needed.
  const Outcome again = installWithPrinter();
  EXPECT_EQ(again.nExit, 0) << again.describe();
  EXPECT_TRUE(spoolerRunning());
  EXPECT_FALSE(again.logHas("kCheckSpoolerStatus returned FALSE.")) << again.describe();
  // Temporary files a killed copy left are gone with the second copy.
  EXPECT_EQ(installedState(), strClean);
  expectNoTemporaryFile();
}

INSTANTIATE_TEST_SUITE_P(EachStep, UsbPathKilled,
                         testing::Values("SetupCopyOEMInfA", "ControlService", "ControlService>SetupDecompressOrCopyFileA",
                                         "StartServiceA", "AddMonitorA", "AddPrinterDriverExA", "AddPrintProcessorA"));

}  // namespace
