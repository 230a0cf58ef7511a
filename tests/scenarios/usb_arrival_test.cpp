// What counts as the USB printer's arrival on the power-on page: a present
// device of the chosen model with its driver in place, one or more of them
// more than before; the ID in the form the INF gives it, prefixed or not.
// A device whose installation failed is no arrival, and a run never ends as
// a success without an added printer.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "scenarios/scenario.h"

namespace {

namespace fs = std::filesystem;
using scenario::Outcome;
using scenario::parentLine;

constexpr const char kHardwareId[] = "USBPRINT\\KVLaserPro_500A1B2";
constexpr const char kDriver[] = "KV LaserPro 5000";

constexpr const char kToInstallation[] =
    "page 1000: click 1003; next\n"
    "page 133: uncheck 1011; check 1012; ok\n"
    "page 149: select 1029 \"KV LaserPro 5000\"; ok\n"
    "page 144: next\n"
    "page 136\n"
    "page 145\n";

std::string readWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class UsbArrival : public scenario::ScenarioTest {
 protected:
  void SetUp() override {
    ScenarioTest::SetUp();
    setOutputLevel(99);
  }
  bool waitForLog(const std::string& strPart, double dSeconds = 60.0) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(dSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
      if (readWhole(m_temp / "KV_SETUPDetail.LOG").find(strPart) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  // The USB path up to the power-on page's wait; then plugs with kvsim.
  Outcome plugWhileWaiting(const std::vector<std::string>& lstPlug, const std::string& strAfter) {
    scenario::Started started = start({}, std::string(kToInstallation) + strAfter);
    EXPECT_TRUE(waitForLog("CPowerOnDialog::OnInitDialog() wait time")) << finish(started).describe();
    std::vector<std::string> lstArgs{"usb", "plug"};
    lstArgs.insert(lstArgs.end(), lstPlug.begin(), lstPlug.end());
    kvsim(lstArgs);
    return finish(started);
  }
  std::string report() { return readWhole(m_temp / "INNELI.LOG"); }
};

TEST_F(UsbArrival, TwoPrintersPluggedAtOnceArrive) {
  const Outcome r = plugWhileWaiting({kHardwareId, "--description", kDriver, "--count", "2"},
                                     "page 1001: ok\npage 135: ok\n");
  EXPECT_TRUE(r.logHas("CPowerOnDialog::OnDeviceChange() printer arrived.")) << r.describe();
  EXPECT_FALSE(r.logHas("CPowerOnDialog::OnTimer() post WM_DISP_TIMEOUT")) << r.describe();
  ASSERT_FALSE(r.lstParent.empty()) << r.describe();
  EXPECT_EQ(r.lstParent.back(), parentLine(0, 0, 0)) << r.describe();
  EXPECT_NE(report().find("Result : \t\tCompleted successfully"), std::string::npos) << report();
}

TEST_F(UsbArrival, ADeviceWhoseInstallationFailedIsNoArrival) {
  // The device carries the model's description but has no driver; the page
  // keeps waiting until the time-out, where the user gives up.
  const Outcome r = plugWhileWaiting({kHardwareId, "--description", kDriver, "--unknown"},
                                     "page 146: cancel\npage 147: cancel\n");
  EXPECT_FALSE(r.logHas("CPowerOnDialog::OnDeviceChange() printer arrived.")) << r.describe();
  EXPECT_TRUE(r.logHas("CPowerOnDialog::OnTimer() post WM_DISP_TIMEOUT")) << r.describe();
  ASSERT_FALSE(r.lstParent.empty()) << r.describe();
  EXPECT_NE(r.lstParent.back(), parentLine(0, 0, 0)) << r.describe();
  EXPECT_EQ(report().find("Completed successfully"), std::string::npos) << report();
  EXPECT_EQ(report().find("Installed printer"), std::string::npos) << report();
}

TEST_F(UsbArrival, TheTimeOutNamesTheConfiguredWait) {
  // USBConnectWaitTime is 60 seconds here: the question says so.
  std::string strIni = readWhole(packageFile("KVISETUP.INI"));
  const std::regex wait("USBConnectWaitTime=[0-9]*");
  strIni = std::regex_search(strIni, wait) ? std::regex_replace(strIni, wait, "USBConnectWaitTime=60")
                                           : std::regex_replace(strIni, std::regex("\\[Setup\\]"),
                                                                "[Setup]\r\nUSBConnectWaitTime=60");
  writePackageFile("KVISETUP.INI", strIni);
  const Outcome r = run({}, std::string(kToInstallation) + "page 146: cancel\npage 147: cancel\n");
  EXPECT_TRUE(r.logHas("CPowerOnDialog::OnInitDialog() wait time 60000 ms")) << r.describe();
  EXPECT_TRUE(r.transcriptHas("within 60 seconds")) << r.describe();
  EXPECT_FALSE(r.transcriptHas("three minutes")) << r.describe();
}

TEST_F(UsbArrival, AnInfWithTheIdWithoutItsEnumeratorInstallsOverUsb) {
  // The model line names the compatible form of the ID, as many printer
  // INFs do; the device plugged in carries both forms.
  std::string strInf = readWhole(packageFile("DRIVERS/DISK1/KVX64.INF"));
  const std::string strFrom = "KVLASER.GPD,USBPRINT\\KVLaserPro_500A1B2,";
  const size_t nAt = strInf.find(strFrom);
  ASSERT_NE(nAt, std::string::npos);
  strInf.replace(nAt, strFrom.size(), "KVLASER.GPD,KVLaserPro_500A1B2,");
  writePackageFile("DRIVERS/DISK1/KVX64.INF", strInf);
  const Outcome r = plugWhileWaiting({kHardwareId, "--description", kDriver},
                                     "page 1001: ok\npage 135: ok\n");
  EXPECT_TRUE(r.logHas("CPowerOnDialog::OnDeviceChange() printer arrived.")) << r.describe();
  ASSERT_FALSE(r.lstParent.empty()) << r.describe();
  EXPECT_EQ(r.lstParent.back(), parentLine(0, 0, 0)) << r.describe();
  EXPECT_NE(report().find("Installed printer"), std::string::npos) << report();
}

}  // namespace
