// Fuzzes the PE resource and export readers and the version block lookups.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "version/pe_resource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  using namespace winsim::version;
  const std::string_view image(reinterpret_cast<const char*>(data), size);
  std::string_view resource;
  // Both the whole image and the raw bytes as a version block.
  std::string_view blocks[2] = {image, {}};
  if (findVersionResource(image, &resource) == 0) blocks[1] = resource;
  bool found = false;
  for (const char* name : {"InitializePrintMonitor2", "", "DrvDocumentPropertySheets"}) (void)hasExport(image, name, &found);
  for (std::string_view block : blocks) {
    if (block.empty()) continue;
    for (const char* path : {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904B0\\FileVersion",
                             "\\StringFileInfo", "\\a\\b\\c\\d"}) {
      VersionValue value;
      if (queryVersionBlock(reinterpret_cast<const BYTE*>(block.data()), block.size(), path, &value)) {
        volatile BYTE sink = 0;
        for (size_t i = 0; i < value.bytes; ++i) sink = sink ^ value.data[i];
      }
    }
  }
  return 0;
}
