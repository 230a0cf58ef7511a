// Fuzzes the setup configuration reader on arbitrary bytes: the reading
// succeeds or names the key it stopped at, and the published settings are
// always within their documented ranges. The file is read from memory (the
// profile functions answer from the input's bytes); on the scratch machine
// lie a file of its name and the setup program its plug-in sections name.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/kvi_setup_ini_info.h"
#include "kernel32/profile_memory.h"
#include "system/environment.h"

#include "fuzz_flags.h"
#include "fuzz_machine.h"

namespace {

namespace fs = std::filesystem;
const char kIniFile[] = "C:\\pkg\\KVISETUP.INI";

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // The plain schedule: the entropic one's bookkeeping after every input
  // costs as much as a run of this target.
  kvFuzzDefaultFlags(argc, argv, {"-entropic=0"});
  const std::string root = kvFuzzMachine("setupini");
  fs::create_directories(fs::path(root) / "drive_c" / "pkg");
  // A setup program the plug-in sections can name.
  std::ofstream(fs::path(root) / "drive_c" / "pkg" / "setup.exe") << "MZ";
  // The file lies in the package as it does on a user's disk (the reader
  // asks for its short name); its contents come from memory.
  std::ofstream(fs::path(root) / "drive_c" / "pkg" / "KVISETUP.INI") << "[SETUP]\r\n";
  (void)CEnvironment::kGetOsVersionCheck();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Nothing of this input stays in memory for the next (the leak check
  // compares what each input allocates with what it frees).
  struct Forget {
    ~Forget() { winsim::profile::clearMemoryFiles(); }
  } forget;
  winsim::profile::setMemoryFile(kIniFile, std::string(reinterpret_cast<const char*>(data), size));
  CKVISetupIniInfo reader;
  if (!reader.kOpenRead(kIniFile)) {
    check(!reader.kGetCurrentKey().empty(), "a failed reading names its key");
    return 0;
  }
  const CSetupIniSettings& s = CKVISetupIniInfo::kGetPublished();
  check(s.nRebootLevel >= 1 && s.nRebootLevel <= 5, "reboot level");
  check(s.dwUSBConnectWaitTime >= 60000 && s.dwUSBConnectWaitTime <= 600000, "wait time");
  check(s.nIconType == 1 || s.nIconType == 2, "icon type");
  check(s.nSetupKind >= 0 && s.nSetupKind <= 3, "setup kind");
  check(!s.strVendorID.empty() && !s.strPortMonitorName.empty() && !s.strPortMonitorFile.empty(), "ids and monitor");
  check(s.nPrinterType == PRINTERTYPE_SINGLE || (!s.strProductID.empty() && !s.strMultipleInterfaceID.empty()),
        "multi-interface ids");
  for (const CPluginInfo& info : s.lstPlugin) {
    check(info.strSectionName.find("PLUGIN.") != std::string::npos && !info.strComponentName.empty() &&
              !info.strSetup.empty(),
          "plug-in record");
  }
  return 0;
}
