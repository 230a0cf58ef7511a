// The driver-information facade on a simulated machine: initialisation,
// the copy of driver files stored plain or compressed, the INF copy and the
// device wrappers, and the detail-log lines of the exit paths.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

#include "driverinfo/driver_info_log.h"
#include "driverinfo/driver_infomation.h"
#include "driverinfo/inf_file.h"
#include "support/cab_writer.h"
#include "support/pe_builder.h"
#include "support/scratch.h"
#include "support/szdd_encoder.h"
#include "system/environment.h"

namespace {

class DriverInfomationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The analysis reads what the start-up classification found.
    (void)CEnvironment::kGetOsVersionCheck();
    ASSERT_EQ(VEXOERR_SUCCESS, m_info.VEXOInitialize("C:\\KV\\INSTDLL\\DrvInst"));
    m_src = kvtest::scratchDir("src");
    m_dst = kvtest::scratchDir("dst");
  }

  CDriverInfomation m_info;
  std::string m_src;
  std::string m_dst;
};

TEST(DriverInfomationInit, WrappersFailBeforeInitialisation) {
  CDriverInfomation info;
  EXPECT_EQ(INVALID_HANDLE_VALUE, info.kSetupDiGetClassDevs(nullptr, "USB", nullptr, DIGCF_ALLCLASSES));
  BOOL bFailed = FALSE;
  char szDest[MAX_PATH] = {};
  EXPECT_FALSE(info.kSetupCopyOEMInf("C:\\a.inf", nullptr, SPOST_PATH, 0, szDest, MAX_PATH, nullptr, nullptr,
                                     &bFailed));
  EXPECT_TRUE(bFailed);
  EXPECT_TRUE(info.VEXOGetCandidateDriverList().empty());
  EXPECT_EQ(VEXOERR_SOURCEPATHNG, info.VEXOMakeCandidateDriverList("C:\\pkg", "", FALSE));
}

TEST_F(DriverInfomationTest, InitialisationAddsTheDllFolderToPath) {
  char szPath[32768] = {};
  GetEnvironmentVariableA("PATH", szPath, sizeof(szPath));
  EXPECT_NE(std::string::npos, std::string(szPath).find(";C:\\KV\\INSTDLL\\DrvInst"));
  EXPECT_NE(nullptr, m_info.kGetSetupApi());
  EXPECT_NE(nullptr, m_info.kGetInfFile());
  EXPECT_NE(nullptr, m_info.kGetCandidateDriverInfomation());
}

TEST_F(DriverInfomationTest, PlainFileOverwritesTheTarget) {
  const std::string src = kvtest::writeFile(m_src, "kvdrv.dll", "new driver");
  const std::string dst = kvtest::writeFile(m_dst, "kvdrv.dll", "old driver, longer");
  std::string copy = "stale";
  ASSERT_TRUE(m_info.kSetupDecompressOrCopyFile(src, dst, 0, &copy));
  EXPECT_EQ("new driver", kvtest::readFile(dst));
  EXPECT_EQ("", copy);  // nothing compressed to keep
}

TEST_F(DriverInfomationTest, OnlyTheLzFormInThePackage) {
  kvtest::writeFile(m_src, "kvdrv.dl_", kvtest::szddEncode("expanded driver bytes", 'l'));
  const std::string dst = m_dst + "\\kvdrv.dll";
  std::string copy;
  ASSERT_TRUE(m_info.kSetupDecompressOrCopyFile(m_src + "\\kvdrv.dll", dst, 0, &copy));
  EXPECT_EQ("expanded driver bytes", kvtest::readFile(dst));
  // The compressed file is kept beside the target under the target's "_" name.
  EXPECT_EQ(m_dst + "\\kvdrv.dl_", copy);
  EXPECT_EQ(kvtest::readFile(m_src + "\\kvdrv.dl_"), kvtest::readFile(copy));
  // Without an output text no extra copy is made.
  std::filesystem::remove(kvtest::hostFor(copy));
  ASSERT_TRUE(m_info.kSetupDecompressOrCopyFile(m_src + "\\kvdrv.dll", dst, 0, nullptr));
  EXPECT_FALSE(kvtest::fileExists(copy));
}

TEST_F(DriverInfomationTest, ACabinetUnderTheUnderscoreNameIsExpanded) {
  const std::string image = kvtest::peImage(kvtest::versionResource({}), true, 0x8664);
  kvtest::writeFile(m_src, "kvcab.dl_", kvtest::storedCabinet("kvcab.dll", image));
  const std::string dst = m_dst + "\\kvcab.dll";
  std::string copy;
  ASSERT_TRUE(m_info.kSetupDecompressOrCopyFile(m_src + "\\kvcab.dll", dst, 0, &copy));
  EXPECT_EQ(image, kvtest::readFile(dst));
  EXPECT_EQ(m_dst + "\\kvcab.dl_", copy);
}

TEST_F(DriverInfomationTest, MissingSourceOrTargetFolderFails) {
  EXPECT_FALSE(m_info.kSetupDecompressOrCopyFile(m_src + "\\none.dll", m_dst + "\\none.dll", 0, nullptr));
  const std::string src = kvtest::writeFile(m_src, "kvdrv.dll", "x");
  EXPECT_FALSE(m_info.kSetupDecompressOrCopyFile(src, m_dst + "\\no\\folder\\kvdrv.dll", 0, nullptr));
}

TEST_F(DriverInfomationTest, OemInfCopyReportsTheDestination) {
  const std::string inf = kvtest::writeFile(m_src, "kv.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n");
  char szDest[MAX_PATH] = {};
  PSTR pszComponent = nullptr;
  BOOL bFailed = TRUE;
  ASSERT_TRUE(m_info.kSetupCopyOEMInf(inf.c_str(), nullptr, SPOST_PATH, 0, szDest, MAX_PATH, nullptr, &pszComponent,
                                      &bFailed));
  EXPECT_FALSE(bFailed);
  std::string dest = szDest;
  for (char& c : dest) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(0u, dest.rfind("c:\\windows\\inf\\oem", 0)) << szDest;
  bFailed = FALSE;
  EXPECT_FALSE(m_info.kSetupCopyOEMInf((m_src + "\\missing.inf").c_str(), nullptr, SPOST_PATH, 0, szDest, MAX_PATH,
                                       nullptr, nullptr, &bFailed));
  EXPECT_TRUE(bFailed);
}

TEST_F(DriverInfomationTest, ANewMachineHasNoUsbPrinters) {
  HDEVINFO hSet = m_info.kSetupDiGetClassDevs(nullptr, "USBPRINT", nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
  ASSERT_NE(INVALID_HANDLE_VALUE, hSet);
  SP_DEVINFO_DATA data = {};
  data.cbSize = sizeof(data);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(m_info.kSetupDiEnumDeviceInfo(hSet, 0, &data));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), GetLastError());
  EXPECT_TRUE(m_info.kSetupDiDestroyDeviceInfoList(hSet));
}

// Support reads the numbered exit lines; they must appear as written.
TEST_F(DriverInfomationTest, ExitPathsWriteTheirNumberedLines) {
  const std::string log = m_dst + "\\KV_SETUPDetail.LOG";
  kDriverInfoLog().kSetDetailLogFileSetting(TRUE, log, 1);
  CInfFile* inf = m_info.kGetInfFile();
  EXPECT_FALSE(inf->kOpen("relative.inf"));
  std::string value;
  EXPECT_FALSE(inf->kGetLineText("Version", "Class", value));
  m_info.kSetupDecompressOrCopyFile(m_src + "\\none.dll", m_dst + "\\none.dll", 0, nullptr);
  kDriverInfoLog().kSetDetailLogFileSetting(FALSE, "", 0);
  const std::string text = kvtest::readFile(log);
  for (const char* line : {"CInfFile::kOpen() return FALSE (1) LastError=",
                           "CInfFile::kGetLineText() return FALSE (1) LastError=",
                           "CDriverInfomation::kSetupDecompressOrCopyFile() return FALSE (3) LastError="}) {
    EXPECT_NE(std::string::npos, text.find(line)) << line << "\n" << text;
  }
}

}  // namespace
