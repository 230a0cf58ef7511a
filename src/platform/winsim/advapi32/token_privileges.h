// winsim: what other winsim modules ask of the process token.
#pragma once

#include <string_view>

namespace winsim {

// Whether the process token holds the named privilege ("SeShutdownPrivilege")
// and it is enabled now: held privileges start in their default state and
// change only through AdjustTokenPrivileges, for this process alone.
bool privilegeEnabled(std::string_view name);

}  // namespace winsim
