// winsim: the directory ids of INF files.
#include "setupapi/dir_table.h"

#include <setupapi.h>

#include "mscms/color_directory.h"
#include "winspool/directories.h"

namespace winsim::setupapi {
namespace {

// Ids that name a fixed folder below the Windows folder ("" is the Windows
// folder itself) or an absolute folder.
struct FixedDir {
  long id;
  const char* belowWindows;
};
const FixedDir kFixedDirs[] = {
    {DIRID_WINDOWS, ""},
    {DIRID_SYSTEM, "\\system32"},
    {DIRID_DRIVERS, "\\system32\\drivers"},
    {DIRID_INF, "\\inf"},
    {DIRID_HELP, "\\help"},
    {DIRID_FONTS, "\\fonts"},
    {DIRID_VIEWERS, "\\system32\\viewers"},
    {DIRID_SHARED, ""},
    {DIRID_SYSTEM16, "\\system"},
    {DIRID_SPOOL, "\\system32\\spool"},
    {DIRID_SPOOLDRIVERS, "\\system32\\spool\\drivers"},
    {66002, "\\system32"},
    // Shell folders (CSIDL + 0x4000) an INF may name.
    {0x4000 + 0x24, ""},                  // CSIDL_WINDOWS
    {0x4000 + 0x25, "\\system32"},        // CSIDL_SYSTEM
    {0x4000 + 0x14, "\\fonts"},           // CSIDL_FONTS
};

struct RootDir {
  long id;
  const char* path;
};
const RootDir kRootDirs[] = {
    {DIRID_APPS, "C:\\"},
    {DIRID_BOOT, "C:\\"},
    {DIRID_PROGRAM_FILES, "C:\\Program Files"},
    {DIRID_PROGRAM_FILES_COMMON, "C:\\Program Files\\Common Files"},
    {DIRID_PROGRAM_FILES_X86, "C:\\Program Files (x86)"},
    {DIRID_COMMON_APPDATA, "C:\\ProgramData"},
};

}  // namespace

const char* windowsFolder() { return "C:\\Windows"; }

DirTable DirTable::forMachine() {
  DirTable t;
  t.windows_ = windowsFolder();
  t.system_ = t.windows_ + "\\system32";
  const auto& env = spool::processEnvironment();
  t.driverDir_ = spool::driverDirectory(env);
  t.printProcessorDir_ = spool::printProcessorDirectory(env);
  t.colorDir_ = colorDirectory();
  return t;
}

std::optional<std::string> DirTable::resolve(long id, const std::string& infFolder) const {
  if (id == DIRID_NULL) return std::nullopt;
  if (id == DIRID_SRCPATH) return infFolder;
  for (const auto& d : kFixedDirs) {
    if (d.id == id) return windows_ + d.belowWindows;
  }
  for (const auto& d : kRootDirs) {
    if (d.id == id) return std::string(d.path);
  }
  switch (id) {
    case DIRID_COLOR:
    case 66003:
      return colorDir_;
    case DIRID_PRINTPROCESSOR:
    case 66001:
      return printProcessorDir_;
    case 66000:
      return driverDir_;
    default:
      break;
  }
  // Ids this machine cannot answer get the marker callers look for.
  return system_ + "\\unknown";
}

}  // namespace winsim::setupapi
