// Drives the driver description file readers over arbitrary file contents,
// and the whole candidate-list build over a package holding that file
// beside a well-formed INF: every reader must accept or refuse a value
// without crashing or reading out of bounds.
//
// The readers get the file from memory (the profile functions answer from
// the input's bytes). The candidate-list build opens the INF and lists the
// package folder on the scratch machine, which costs a hundred times the
// readers: it runs for one input in 64, chosen by the input's length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "driverinfo/candidate_driver_infomation.h"
#include "driverinfo/driver_infomation.h"
#include "kernel32/profile_memory.h"

#include "fuzz_flags.h"
#include "fuzz_machine.h"

namespace {

const char kInf[] =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\nProvider=KV\r\n"
    "[Manufacturer]\r\nKV=Models\r\n[Models]\r\n\"KV A\"=KVINST,USB\\KV_A\r\n\"KV B\"=KVINST\r\n"
    "[KVINST]\r\nCopyFiles=@KVDRV.DLL\r\nDriverFile=KVDRV.DLL\r\nPrintProcessor=WinPrint,x\r\n"
    "[DestinationDirs]\r\nDefaultDestDir=66000\r\n";

struct Harness {
  CDriverInfomation info;
  std::filesystem::path hostDir;
  std::string winDir;

  Harness() {
    const std::filesystem::path root = kvFuzzMachine("dsc");
    hostDir = root / "drive_c" / "pkg" / "DISK1";
    std::filesystem::create_directories(hostDir);
    std::ofstream(hostDir / "KV.INF", std::ios::binary) << kInf;
    std::ofstream(hostDir / "KVDRV.DLL", std::ios::binary) << "x";
    winDir = "C:\\pkg\\DISK1";
    if (info.VEXOInitialize("C:\\KV") != VEXOERR_SUCCESS) std::abort();
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // The plain schedule: the entropic one's bookkeeping after every input
  // costs as much as a run of this target.
  kvFuzzDefaultFlags(argc, argv, {"-entropic=0"});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness h;
  const std::string dsc = h.winDir + "\\DRVINST.DSC";
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // Nothing of this input stays in memory for the next (the leak check
  // compares what each input allocates with what it frees).
  struct Forget {
    ~Forget() { winsim::profile::clearMemoryFiles(); }
  } forget;
  winsim::profile::setMemoryFile(dsc, bytes);
  CCandidateDriverInfomation& b = *h.info.kGetCandidateDriverInfomation();
  std::string text, a, c;
  BOOL flag = FALSE, from = FALSE, skip = FALSE;
  DWORD number = 0;
  std::vector<std::string> names;
  CVendorSetupInfo vendor;
  b.kGetDriverVersion(dsc, "$Windows NT$", number, from, skip);
  b.kGetPlatform(dsc, text);
  b.kGetUserCodeOK(dsc, flag, number);
  b.kGetDrvNamesForDrvInst(dsc, names);
  // Without a language the reader asks the machine's (a registry read of
  // every machine setting): only with the candidate-list build below.
  const bool bBuild = size % 64 == 1;
  b.kGetVendorSetup(dsc, bBuild ? "" : "0409", vendor);
  b.kGetIniFileName(dsc, text, a, c);
  b.kGetComment(dsc, "KV A", text);
  CCandidateDriverInfomation::kSplitDscList(bytes);
  if (bBuild) {
    // The build finds the file in the folder, then reads it as above.
    std::ofstream(h.hostDir / "DRVINST.DSC", std::ios::binary | std::ios::trunc) << bytes;
    h.info.VEXOMakeCandidateDriverList(h.winDir, "0409", (size & 128) ? TRUE : FALSE);
  }
  return 0;
}
