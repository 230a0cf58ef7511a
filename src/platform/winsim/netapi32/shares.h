// winsim: the shares the server service offers.
//
// The shares made by hand live where Windows keeps them, one REG_MULTI_SZ
// value per share under the key
// HKLM\SYSTEM\CurrentControlSet\Services\LanmanServer\Shares
// with items "Path=...", "Remark=...", "Type=...", "MaxUses=..." and so on. Beside them the server makes the administrative shares itself
// whenever it starts: IPC$ always, ADMIN$ and one per fixed drive (C$) unless
// LanmanServer\Parameters "AutoShareWks" (on a workstation) or
// "AutoShareServer" (on a server) is 0. They are never written to the
// registry.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace winsim::net {

inline constexpr const char* kServerService = "LanmanServer";
inline constexpr const char* kSharesKey = "SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Shares";
inline constexpr const char* kParametersKey = "SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Parameters";

struct Share {
  std::string name, path, remark;
  DWORD type = 0;  // STYPE_*
  DWORD maxUses = static_cast<DWORD>(-1);
};

// Whether the server service runs (it is defined and in the running state).
bool serverRunning();

// What the server offers while it runs: the administrative shares first
// (ADMIN$, C$, IPC$), then the registry's in the registry's order. Values
// that are not REG_MULTI_SZ, and items without '=', are passed over.
std::vector<Share> serverShares();

}  // namespace winsim::net
