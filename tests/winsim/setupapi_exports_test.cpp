// The program binds thirty Setup API functions by name at run time: each
// must be in the built-in module's export table, as must the functions the
// other modules of this area serve.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "modules.h"

namespace {

bool exports(const char* module, const char* name) {
  const auto* table = winsim::findBuiltinModule(module);
  if (!table) return false;
  return std::any_of(table->begin(), table->end(),
                     [&](const winsim::ExportEntry& e) { return std::strcmp(e.name, name) == 0 && e.proc; });
}

TEST(SetupApiExports, EveryBoundFunctionIsThere) {
  const char* const kBound[] = {
      "SetupOpenInfFileA", "SetupCloseInfFile", "SetupGetInfInformationA", "SetupOpenAppendInfFileA",
      "SetupPromptForDiskA", "SetupGetLineTextA", "SetupFindFirstLineA", "SetupGetStringFieldA",
      "SetupGetTargetPathA", "SetupCopyOEMInfA", "SetupOpenFileQueue", "SetupCloseFileQueue", "SetupQueueCopyA",
      "SetupCommitFileQueueA", "SetupDefaultQueueCallbackA", "SetupInitDefaultQueueCallback",
      "SetupTermDefaultQueueCallback", "SetupFindNextLine", "SetupGetSourceFileLocationA", "SetupGetSourceInfoA",
      "SetupInstallFromInfSectionA", "SetupDecompressOrCopyFileA", "SetupDiGetClassDevsA", "SetupDiEnumDeviceInfo",
      "SetupDiGetDeviceRegistryPropertyA", "SetupDiDestroyDeviceInfoList", "SetupGetFileCompressionInfoA",
      "SetupDiCallClassInstaller", "SetupDiSetClassInstallParamsA", "SetupDiGetDeviceInstanceIdA",
  };
  for (const char* name : kBound) EXPECT_TRUE(exports("SetupApi.DLL", name)) << name;
}

TEST(SetupApiExports, CompanionModules) {
  struct Case {
    const char* module;
    const char* name;
  };
  const Case cases[] = {
      {"LZ32.dll", "LZOpenFileA"},           {"LZ32.dll", "LZCopy"},       {"lz32", "GetExpandedNameA"},
      {"version.dll", "VerQueryValueA"},     {"mscms.dll", "GetColorDirectoryA"},
      {"winspool.drv", "GetPrinterDriverDirectoryA"}, {"winspool", "GetPrintProcessorDirectoryA"},
  };
  for (const auto& c : cases) EXPECT_TRUE(exports(c.module, c.name)) << c.module << " " << c.name;
}

}  // namespace
