// Fuzzes the utilities that take text from outside the program: the folder
// names of a package (the "?" walk of the sibling search), paths (element
// split), language codes (hexadecimal check) and the drivers-name file of
// the +6 switch, whose keys are read and extended.
//
// Input: the first byte picks what runs; the rest is split at the first NUL
// into a name and the names file's content. The names file is read from
// memory; one input in eight of those that read it also writes a name into
// it, through the machine's file (on tmpfs).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "kernel32/profile_memory.h"
#include "system/common_function.h"

#include "fuzz_flags.h"
#include "fuzz_machine.h"

namespace {

namespace fs = std::filesystem;

fs::path g_file;
const char* const kIniPath = "C:\\names.ini";

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

// The walk ends for every name, never grows a pattern past the name's
// length plus three, and never hands back a pattern without a "?".
// The walk takes about the square of the name's length in steps; longer
// names bring no step of another kind.
void walkNames(const std::string& strTruth) {
  if (strTruth.size() > 24) return;
  std::string strInput = strTruth;
  std::string strNext;
  const size_t nLimit = 4 * (strTruth.size() + 2) * (strTruth.size() + 2);
  size_t nSteps = 0;
  while (CCommonFunction::kStdAfxGetNearlyDirName(strTruth, strInput, strNext)) {
    check(strNext.find('?') != std::string::npos, "a pattern has a window");
    check(strNext.size() <= 2 * strTruth.size() + 2, "patterns stay short");
    strInput = strNext;
    if (++nSteps > nLimit) {
      // Names made of wildcards may walk in circles; the search refuses them.
      check(strTruth.find_first_of("?*") != std::string::npos, "the walk of a plain name ends");
      break;
    }
  }
}

void splitPaths(const std::string& strPath) {
  for (int nCode : {0, 1, 2, 3, 4, 5, 6, 10, 30, 99}) {
    std::string strElement;
    check(CCommonFunction::kStdAfxGetPathElement(strPath, nCode, strElement), "path elements never fail");
    check(strElement.size() <= strPath.size() + 1, "an element is part of the path");
  }
  (void)CCommonFunction::kIsHexString(strPath.c_str());
}

void namesFile(const std::string& strName, const std::string& strContent, bool bWrite) {
  // The reads come from memory; a write needs the content in the machine's
  // file, so only some inputs write.
  winsim::profile::setMemoryFile(kIniPath, strContent);
  if (bWrite) {
    std::ofstream out(g_file, std::ios::binary | std::ios::trunc);
    out.write(strContent.data(), static_cast<std::streamsize>(strContent.size()));
  }
  std::vector<std::string> lstBefore;
  (void)CCommonFunction::kStdAfxEnumPrivateProfileKeys(kIniPath, "Drivers", lstBefore);
  std::string strValue;
  BOOL bExists = FALSE;
  (void)CCommonFunction::kStdAfxGetPrivateProfile(kIniPath, "Drivers", "DriverName01", strValue, bExists);
  if (bWrite) {
    BOOL bOver = FALSE;
    const BOOL bWritten = CCommonFunction::kMakePrinterDriverNameFile(kIniPath, strName.c_str(), &bOver);
    std::vector<std::string> lstAfter;
    (void)CCommonFunction::kStdAfxEnumPrivateProfileKeys(kIniPath, "Drivers", lstAfter);
    if (bWritten) check(lstAfter.size() >= lstBefore.size(), "a written name removes no key");
    (void)CCommonFunction::kStdAfxGetPrivateProfile(kIniPath, "Drivers", "DriverName01", strValue, bExists);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, kIniPath);  // nothing stays cached
  }
  winsim::profile::clearMemoryFiles();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // The plain schedule: the entropic one's bookkeeping after every input
  // costs as much as a run of this target.
  kvFuzzDefaultFlags(argc, argv, {"-entropic=0"});
  const std::string root = kvFuzzMachine("common");
  fs::create_directories(fs::path(root) / "drive_c");
  g_file = fs::path(root) / "drive_c" / "names.ini";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 4096) return 0;
  const uint8_t mode = data[0];
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t nul = rest.find('\0');
  const std::string strName = rest.substr(0, nul);
  const std::string strContent = nul == std::string::npos ? std::string() : rest.substr(nul + 1);
  if (mode & 1) walkNames(strName);
  if (mode & 2) splitPaths(strName);
  if (mode & 4) namesFile(strName, strContent, (mode & 0x38) == 0x38);
  return 0;
}
