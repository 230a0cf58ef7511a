// Drives the INF reader over arbitrary INF text: every operation a package
// can reach must answer TRUE or FALSE without crashing or reading out of
// bounds, whatever the file holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "driverinfo/inf_file.h"
#include "driverinfo/setup_api.h"

#include "fuzz_flags.h"
#include "fuzz_machine.h"
#include "setupapi/inf_handles.h"

namespace {

struct Harness {
  std::unique_ptr<CSetupApi> api;
  std::string winFile;

  Harness() {
    const std::filesystem::path root = kvFuzzMachine("inf");
    std::filesystem::create_directories(root / "drive_c" / "pkg");
    winFile = "C:\\pkg\\fuzz.inf";
    BOOL bBound = FALSE;
    api = std::make_unique<CSetupApi>("C:\\KV", &bBound);
    if (!bBound) std::abort();
  }
};

void exercise(CInfFile& inf) {
  std::string value, a, b, c;
  std::vector<std::string> sections, descriptions, files, flags, names;
  inf.kGetClassName(value);
  inf.kGetOSKind(value);
  inf.kGetProviderName(value);
  inf.kGetCatalogFile(value);
  inf.kGetComment(value);
  inf.kGetDriverType(value);
  inf.kGetDrvInstNoCheckFile(value);
  inf.kGetDrvInstLanguageMonitor(value);
  inf.kGetIniFileName(a, b, c);
  CVendorSetupInfo vendor;
  inf.kGetVendorSetup("0409", vendor);
  inf.kGetDrvNamesForDrvInst(names);
  inf.kGetPlatform(value);
  inf.kGetOEMUrl(a, b);
  // Enumerates [DestinationDirs] (each entry's folder through the Setup API)
  // and keeps what it found.
  inf.kAddDestinationDirsList("", 3);
  if (!inf.kGetManufacturerNameSection(sections)) return;
  inf.kEnumDeviceDescriptions(sections, descriptions);
  if (descriptions.size() > 8) descriptions.resize(8);
  for (const std::string& description : descriptions) {
    std::string install;
    inf.kGetInstallSectionName(description, install);
    inf.kGetHardwareID(description, value);
    inf.kGetCompatibleID(description, value);
    if (install.empty()) continue;
    inf.kGetExtensionName(install, "DriverFile", value);
    inf.kGetExtensionName(install, "PrintProcessor", value);
    if (inf.kEnumCopyFilesDirNo(install, files, flags)) {
      if (files.size() != flags.size()) std::abort();
      for (const std::string& file : files) {
        const size_t slash = file.find('\\');
        UINT id = 0;
        inf.kGetDiskName(file.substr(slash + 1), id, value);
      }
    }
    inf.kGetTargetDir(install, value);
    // The core-driver links: Include, Needs, CoreDriverSections, a data
    // section the INF does not hold; and the per-platform source folders.
    if (inf.kUsesCoreDriver(install)) {
      inf.kGetCoreSections(install);
      inf.kEnumCoreFiles(install);
    }
    inf.kGetExtensionName(install, "DriverFile", value);
    for (const std::string& file : files) {
      const size_t slash = file.find('\\');
      inf.kGetPlatformSourceFolder(file.substr(slash + 1), "NTamd64", value);
    }
  }
}

}  // namespace

// Inputs of at most 2 KB (every construct of the grammar fits in a few
// lines; longer real INFs from the seeds are cut there) and the plain
// schedule: with inputs of several KB, and the entropic schedule's per-input
// bookkeeping (measured as a third of the time), a run managed about a
// hundred inputs a second. Flags given on the command line still win.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  kvFuzzDefaultFlags(argc, argv, {"-max_len=2048", "-entropic=0"});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness harness;
  // The input is the file at winFile for every read of the Setup API, held
  // in memory: writing it to the machine's disk for each input cost more than
  // reading it.
  winsim::setupapi::setMemoryInf(harness.winFile, std::string(reinterpret_cast<const char*>(data), size));
  {
    // A reader of its own per input: the reader keeps the destination
    // folders of every INF it opened, and a map growing with the names of
    // thousands of inputs would read as a leak after each new name.
    CInfFile inf(harness.api.get());
    if (inf.kOpen(harness.winFile)) exercise(inf);
    // Each input's INF is closed before the next, as the analysis closes
    // every INF it opened; an open handle across inputs would read as a leak.
    inf.kClose();
  }
  // Nor does the Setup API's cache of recent parses carry over: an input
  // ends with the memory it started with, or the fuzzer looks for a leak
  // after it (a scan of the whole heap).
  winsim::setupapi::forgetCachedInfs();
  winsim::setupapi::clearMemoryInfs();
  return 0;
}
