// winsim: the machine templates. A template is a set of folders under drive_c
// and the registry a new machine starts with.
#include "machine.h"

namespace winsim {

bool populateTemplate(const fs::path& root, std::string_view templateName, std::string* error) {
  static const char* const kFolders[] = {
      "drive_c/Windows/system32/spool/drivers/x64/3",
      "drive_c/Windows/system32/spool/drivers/w32x86/3",
      "drive_c/Windows/system32/spool/drivers/color",
      "drive_c/Windows/system32/spool/prtprocs/x64",
      "drive_c/Windows/system32/spool/prtprocs/w32x86",
      "drive_c/Windows/inf",
      "drive_c/Windows/Temp",
      "drive_c/Program Files",
  };
  std::error_code ec;
  for (const char* folder : kFolders) {
    fs::create_directories(root / folder, ec);
    if (ec) {
      if (error) *error = "cannot create " + (root / folder).string() + ": " + ec.message();
      return false;
    }
  }
  (void)templateName;
  return true;
}

}  // namespace winsim
