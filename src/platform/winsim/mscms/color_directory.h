// winsim: where the colour profiles of the simulated machine live.
#pragma once

#include <string>

namespace winsim {

// C:\Windows\system32\spool\drivers\color
std::string colorDirectory();

}  // namespace winsim
