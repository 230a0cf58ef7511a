// winsim: a bounds-checked reader of the version resource and the export
// names of PE images (32-bit and 64-bit), and of the VS_VERSIONINFO blocks
// inside the version resource.
#pragma once

#include <cstddef>
#include <string_view>

#include <windows.h>

namespace winsim::version {

// Finds the RT_VERSION resource of an image (first name, first language).
// Returns 0 and the resource bytes (a view into `image`), or
// ERROR_BAD_FORMAT (not a PE image), ERROR_RESOURCE_TYPE_NOT_FOUND (no
// version resource), ERROR_RESOURCE_NAME_NOT_FOUND / _LANG_NOT_FOUND (an
// empty level of the tree) or ERROR_RESOURCE_DATA_NOT_FOUND (the data lies
// outside the file).
DWORD findVersionResource(std::string_view image, std::string_view* resource);

// Whether an image exports a function of that name (compared with case):
// 0 and `found`, or ERROR_BAD_FORMAT (not a PE image, or an export table
// that leaves the file).
DWORD hasExport(std::string_view image, std::string_view name, bool* found);

struct VersionValue {
  const BYTE* data = nullptr;
  size_t bytes = 0;     // size of the value in bytes
  bool text = false;    // a UTF-16 text value (wType 1)
};

// Looks a path such as "\", "\VarFileInfo\Translation" or
// "\StringFileInfo\040904B0\FileVersion" up in a VS_VERSIONINFO block of
// `size` bytes; keys compare without regard to case. False when the path or
// its value is not there or the blocks are malformed.
bool queryVersionBlock(const BYTE* block, size_t size, std::string_view path, VersionValue* value);

}  // namespace winsim::version
