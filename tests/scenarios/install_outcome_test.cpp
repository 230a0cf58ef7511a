// Whole USB runs whose installation fails or must wait for a restart: what
// the run reports must be what the machine holds afterwards. A damaged
// compressed file for a system file in use is never scheduled over it; a
// failed copy with the spooler stopped leaves every service running and the
// program ends only after its installation thread has.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "scenarios/scenario.h"

namespace {

namespace fs = std::filesystem;
using scenario::Outcome;

constexpr const char kToInstallation[] =
    "page 1000: click 1003; next\n"
    "page 133: uncheck 1011; check 1012; ok\n"
    "page 149: select 1029 \"KV LaserPro 5000\"; ok\n"
    "page 144: next\n";

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class InstallOutcome : public scenario::ScenarioTest {
 protected:
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
  fs::path onMachine(const std::string& strWinPath) const {
    std::string out = kvsimOut("path '" + strWinPath + "'");
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
  }
  void spoolerControlOn() {
    std::string strIni = readFile(packageFile("KVISETUP.INI"));
    const size_t at = strIni.find("SpoolerControl=OFF");
    ASSERT_NE(at, std::string::npos);
    strIni.replace(at, std::strlen("SpoolerControl=OFF"), "SpoolerControl=ON");
    writePackageFile("KVISETUP.INI", strIni);
  }
  // Each service of the machine that is not running, one a line.
  std::string stoppedServices() const {
    std::istringstream lines(kvsimOut("service list"));
    std::string out;
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.find("running") == std::string::npos &&
          (line.rfind("Spooler", 0) == 0 || line.rfind("Fax", 0) == 0)) {
        out += line + "\n";
      }
    }
    return out;
  }
  std::string journal() const { return kvsimOut("reg query 'HKLM\\SOFTWARE\\HALVERN\\IMG\\DI\\KV_SETUP\\Journal'"); }
  // The status word the parent received last.
  static std::string lastStatus(const Outcome& r) { return r.lstParent.empty() ? "" : r.lstParent.back(); }
};

TEST_F(InstallOutcome, ADamagedFileForAMonitorInUseLeavesItIntactAndReportsTheFailure) {
  const fs::path monitor = onMachine("C:\\Windows\\System32\\KVLM64.DLL");
  std::ofstream(monitor, std::ios::binary) << "an older monitor";
  fs::last_write_time(monitor, fs::last_write_time(monitor) - std::chrono::hours(24 * 400));
  kvsim({"file", "lock", "C:\\Windows\\System32\\KVLM64.DLL"});
  // The package's compressed monitor: 20 bytes, a header and almost nothing.
  const std::string strWhole = readFile(packageFile("DRIVERS/DISK1/KVLM64.DL_"));
  ASSERT_GE(strWhole.size(), 20u);
  writePackageFile("DRIVERS/DISK1/KVLM64.DL_", strWhole.substr(0, 20));
  const Outcome r = run({}, std::string(kToInstallation) + "page 136\nmsgbox IDS_ERR_COPYFILE: ok\n");
  EXPECT_EQ(lastStatus(r), scenario::parentLine(0, 1, 0)) << r.describe();
  EXPECT_FALSE(r.logHas("OSREBOOT FILE REBOOTOVERWRITE = [C:\\WINDOWS\\SYSTEM32\\KVLM64.DLL]")) << r.describe();
  kvsim({"file", "unlock", "C:\\Windows\\System32\\KVLM64.DLL"});
  kvsim({"reboot"});
  EXPECT_EQ(readFile(monitor), "an older monitor");
  EXPECT_EQ(kvsimOut("spooler list drivers").find("KV LaserPro 5000"), std::string::npos);
  EXPECT_EQ(stoppedServices(), "");
}

// Two copies of the program in two package folders: the single-instance
// guard, named after the program's path, lets both start; the installation
// itself waits for the other's to end.
TEST_F(InstallOutcome, TwoPackageFoldersInstallOneAfterTheOther) {
  std::error_code ec;
  fs::copy(m_root / "drive_c" / "PKG", m_root / "drive_c" / "PKG2", fs::copy_options::recursive, ec);
  ASSERT_FALSE(ec) << ec.message();
  const std::string strScript = std::string(kToInstallation) + "page 136\npage 145\npage 146: cancel\n";
  kvsim({"fault", "set", "HoldAt", "SetupCopyOEMInfA"});
  scenario::Started first = start({}, strScript);
  bool bHeld = false;
  for (int i = 0; i < 3000 && !bHeld; ++i) {
    bHeld = kvsimOut("fault list").find("HeldAt\tSetupCopyOEMInfA") != std::string::npos;
    if (!bHeld) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(bHeld) << finish(first).describe();
  m_strProgram = "C:\\PKG2\\kv_setup";
  scenario::Started second = start({}, strScript);
  bool bWaiting = false;
  for (int i = 0; i < 3000 && !bWaiting; ++i) {
    bWaiting = readFile(m_temp / "KV_SETUPDetail.LOG").find("another installation is running; waiting") !=
               std::string::npos;
    if (!bWaiting) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(bWaiting);
  kvsim({"fault", "clear", "HoldAt"});
  const Outcome a = finish(first);
  const Outcome b = finish(second);
  EXPECT_EQ(a.nExit, b.nExit) << a.describe() << b.describe();
  EXPECT_NE(lastStatus(a), scenario::parentLine(0, 1, 0)) << a.describe();
  EXPECT_NE(lastStatus(b), scenario::parentLine(0, 1, 0)) << b.describe();
  EXPECT_FALSE(b.transcriptHas("IDS_ERR")) << b.describe();
  EXPECT_NE(kvsimOut("spooler list drivers").find("KV LaserPro 5000"), std::string::npos);
  EXPECT_EQ(stoppedServices(), "");
}

TEST_F(InstallOutcome, AMonitorReplacedAtTheRestartAsksForTheRestart) {
  const fs::path monitor = onMachine("C:\\Windows\\System32\\KVLM64.DLL");
  std::ofstream(monitor, std::ios::binary) << "an older monitor";
  fs::last_write_time(monitor, fs::last_write_time(monitor) - std::chrono::hours(24 * 400));
  kvsim({"file", "lock", "C:\\Windows\\System32\\KVLM64.DLL"});
  scenario::Started started = start({}, std::string(kToInstallation) +
                                            "page 136\npage 145\npage 1001: ok\npage 135: check 1004; ok\n");
  bool bWaiting = false;
  for (int i = 0; i < 3000 && !bWaiting; ++i) {
    bWaiting = readFile(m_temp / "KV_SETUPDetail.LOG").find("CPowerOnDialog::OnInitDialog() wait time") !=
               std::string::npos;
    if (!bWaiting) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(bWaiting) << finish(started).describe();
  kvsim({"usb", "plug", "USBPRINT\\KVLaserPro_500A1B2", "--description", "KV LaserPro 5000"});
  const Outcome r = finish(started);
  EXPECT_EQ(r.nExit, 0) << r.describe();
  EXPECT_TRUE(r.logHas("OSREBOOT FILE REBOOTOVERWRITE = [C:\\WINDOWS\\SYSTEM32\\KVLM64.DLL]")) << r.describe();
  // The new monitor is in use only after the restart: the status word and
  // the report say so.
  EXPECT_EQ(lastStatus(r), scenario::parentLine(0, 0x10000, 0)) << r.describe();
  EXPECT_TRUE(r.logHas("SETUP_GLOBAL->m_bOSReboot=1")) << r.describe();
}

// A copy that fails with the spooler stopped, at the machine's real pace
// and at a hundredth of it: the page ends after its thread, which starts
// the services again before it ends; the wizard closes after that.
class FailedCopy : public InstallOutcome, public testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    const char* scale = std::getenv("KVSIM_TIMESCALE");
    m_strSavedScale = scale ? scale : "";
    setenv("KVSIM_TIMESCALE", GetParam(), 1);
    InstallOutcome::SetUp();
  }
  void TearDown() override {
    InstallOutcome::TearDown();
    if (m_strSavedScale.empty()) {
      unsetenv("KVSIM_TIMESCALE");
    } else {
      setenv("KVSIM_TIMESCALE", m_strSavedScale.c_str(), 1);
    }
  }
  std::string m_strSavedScale;
};

TEST_P(FailedCopy, LeavesEveryServiceRunningAndNothingHalfDone) {
  spoolerControlOn();
  // The driver file in the driver directory is held by another program.
  const fs::path held = onMachine("C:\\Windows\\System32\\spool\\drivers\\x64") / "KVLASER.GPD";
  std::ofstream(held, std::ios::binary) << "held";
  kvsim({"file", "lock", "C:\\Windows\\System32\\spool\\drivers\\x64\\KVLASER.GPD"});
  const Outcome r = run({}, std::string(kToInstallation) + "page 136\nmsgbox IDS_ERR_COPYFILE: ok\n");
  EXPECT_EQ(r.nExit, 0) << r.describe();
  EXPECT_EQ(lastStatus(r), scenario::parentLine(0, 1, 0)) << r.describe();
  EXPECT_EQ(stoppedServices(), "") << r.describe();
  EXPECT_TRUE(r.logHas("CInstallPrepareDialog::kOnEndInstall() EndDialog(2)")) << r.describe();
  EXPECT_TRUE(r.logHas("CKV_SETUPApp::ExitInstance() dwStatus = [0x00000001]")) << r.describe();
  // The thread ended before the wizard did.
  const size_t nThreadEnd = r.strDetailLog.find("ExecInstallThread end:");
  const size_t nPageEnd = r.strDetailLog.find("kOnEndInstall() EndDialog(2)");
  ASSERT_NE(nThreadEnd, std::string::npos) << r.describe();
  EXPECT_LT(nThreadEnd, nPageEnd);
  EXPECT_EQ(journal().find("E0000"), std::string::npos) << journal();
  kvsim({"file", "unlock", "C:\\Windows\\System32\\spool\\drivers\\x64\\KVLASER.GPD"});
  EXPECT_EQ(readFile(held), "held");
}

INSTANTIATE_TEST_SUITE_P(Pace, FailedCopy, testing::Values("1", "0.01"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param) == "1" ? std::string("RealTime") : std::string("Scaled");
                         });

}  // namespace
