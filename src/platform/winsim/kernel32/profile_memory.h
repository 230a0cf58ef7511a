// winsim: profile files held in memory.
//
// The package readers (setup configuration, driver description file, message
// catalogue) read their files only through the profile functions. A harness
// or test that feeds them thousands of inputs a second registers the bytes
// under the file's name instead of writing a file each time: the profile
// functions then parse those bytes with the same document model and answer
// from them, so the readers above run unchanged, without touching the disk.
#pragma once

#include <string>
#include <string_view>

namespace winsim::profile {

// Reads of the profile file `name` (as the caller spells it, case and slash
// direction aside) are answered from `bytes` until the name is set again,
// cleared, or written to: a write goes to the machine's file and later reads
// follow it there.
void setMemoryFile(std::string_view name, std::string bytes);
void clearMemoryFiles();

}  // namespace winsim::profile
