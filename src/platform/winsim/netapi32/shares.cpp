// winsim: NetShareEnum and NetApiBufferFree over the shares of the server
// service (netapi32/shares.h).
#include "netapi32/shares.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include <windows.h>
#include <lm.h>

#include "advapi32/registry_store.h"
#include "advapi32/service_runstate.h"
#include "machine.h"
#include "machine_settings.h"
#include "modules.h"
#include "unicode.h"

namespace winsim::net {

bool serverRunning() { return runstate::serviceRunning(kServerService); }

std::vector<Share> serverShares() {
  const MachineSettings settings = machineSettings();
  std::vector<Share> list;
  reg::inspect(reg::Hive::LocalMachine, [&](const reg::Editor& hive) {
    const char* autoShare = settings.productType == VER_NT_WORKSTATION ? "AutoShareWks" : "AutoShareServer";
    if (hive.getDword(kParametersKey, autoShare, 1) != 0) {
      list.push_back({"ADMIN$", "C:\\Windows", "Remote Admin", STYPE_DISKTREE | STYPE_SPECIAL});
      list.push_back({"C$", "C:\\", "Default share", STYPE_DISKTREE | STYPE_SPECIAL});
    }
    list.push_back({"IPC$", "", "Remote IPC", STYPE_IPC | STYPE_SPECIAL});
    for (const auto& [name, value] : hive.values(kSharesKey)) {
      if (value.type != REG_MULTI_SZ || name.empty()) continue;
      Share s;
      s.name = name;
      for (const std::string& item : reg::splitMultiString(value.data)) {
        const size_t eq = item.find('=');
        if (eq == std::string::npos) continue;
        const std::string field = item.substr(0, eq), text = item.substr(eq + 1);
        if (iequals(field, "Path")) s.path = text;
        else if (iequals(field, "Remark")) s.remark = text;
        else if (iequals(field, "Type")) s.type = static_cast<DWORD>(std::strtoul(text.c_str(), nullptr, 10));
        else if (iequals(field, "MaxUses")) s.maxUses = static_cast<DWORD>(std::strtoul(text.c_str(), nullptr, 10));
      }
      list.push_back(std::move(s));
    }
  });
  return list;
}

}  // namespace winsim::net

namespace {

namespace net = winsim::net;

// Whether a server name names this computer: NULL, "", "NAME" or "\\NAME".
bool isLocalServer(LPCWSTR servername) {
  if (!servername || !*servername) return true;
  std::string name = winsim::utf16ToUtf8(servername);
  if (name.rfind("\\\\", 0) == 0) name = name.substr(2);
  return winsim::iequals(name, winsim::machineSettings().computerName);
}

size_t recordSize(DWORD level) {
  switch (level) {
    case 0: return sizeof(SHARE_INFO_0);
    case 1: return sizeof(SHARE_INFO_1);
    case 2: return sizeof(SHARE_INFO_2);
    case 502: return sizeof(SHARE_INFO_502);
    default: return 0;
  }
}

size_t textBytes(const std::string& s) { return (winsim::utf8ToUtf16(s).size() + 1) * sizeof(WCHAR); }

// The bytes one share takes in the answer: its record and its strings.
size_t shareBytes(const net::Share& s, DWORD level) {
  size_t n = recordSize(level) + textBytes(s.name);
  if (level >= 1) n += textBytes(s.remark);
  if (level >= 2) n += textBytes(s.path);
  return n;
}

// Records at the start of the block, their strings packed after them, as
// the server hands them out; one block, so NetApiBufferFree frees it whole.
class Block {
 public:
  Block(BYTE* base, size_t stringsAt) : m_base(base), m_at(stringsAt) {}
  LPWSTR text(const std::string& s) {
    const auto w = winsim::utf8ToUtf16(s);
    auto* out = reinterpret_cast<LPWSTR>(m_base + m_at);
    std::memcpy(out, w.c_str(), (w.size() + 1) * sizeof(WCHAR));
    m_at += (w.size() + 1) * sizeof(WCHAR);
    return out;
  }

 private:
  BYTE* m_base;
  size_t m_at;
};

void fillRecord(BYTE* at, const net::Share& s, DWORD level, Block& strings) {
  switch (level) {
    case 0: {
      auto* r = reinterpret_cast<SHARE_INFO_0*>(at);
      r->shi0_netname = strings.text(s.name);
      break;
    }
    case 1: {
      auto* r = reinterpret_cast<SHARE_INFO_1*>(at);
      r->shi1_netname = strings.text(s.name);
      r->shi1_type = s.type;
      r->shi1_remark = strings.text(s.remark);
      break;
    }
    default: {
      // SHARE_INFO_502 begins with the fields of SHARE_INFO_2.
      auto* r = reinterpret_cast<SHARE_INFO_502*>(at);
      r->shi502_netname = strings.text(s.name);
      r->shi502_type = s.type;
      r->shi502_remark = strings.text(s.remark);
      r->shi502_permissions = 0;
      r->shi502_max_uses = s.maxUses;
      r->shi502_current_uses = 0;
      r->shi502_path = strings.text(s.path);
      r->shi502_passwd = nullptr;
      if (level == 502) {
        r->shi502_reserved = 0;
        r->shi502_security_descriptor = nullptr;
      }
      break;
    }
  }
}

}  // namespace

// NetShareEnum: the shares of the local server at level 0, 1, 2 or 502, in
// one block the caller frees with NetApiBufferFree. Answers
// ERROR_INVALID_PARAMETER without bufptr, entriesread or totalentries;
// ERROR_INVALID_LEVEL for another level; ERROR_BAD_NETPATH for another
// server; NERR_ServerNotStarted while the server service is not running;
// ERROR_ACCESS_DENIED at levels 2 and 502 for a user who is not an
// administrator. With a preferred length other than MAX_PREFERRED_LENGTH
// the block holds the shares that fit in it, but always at least one, so a
// caller that continues makes progress; ERROR_MORE_DATA then says that more
// follow from *resume_handle. The last part answers NERR_Success and sets
// *resume_handle back to 0. *bufptr is NULL when no share is returned.
extern "C" NET_API_STATUS NET_API_FUNCTION NetShareEnum(LMSTR servername, DWORD level, LPBYTE* bufptr,
                                                        DWORD prefmaxlen, LPDWORD entriesread,
                                                        LPDWORD totalentries, LPDWORD resume_handle) {
  if (!bufptr || !entriesread || !totalentries) return ERROR_INVALID_PARAMETER;
  *bufptr = nullptr;
  *entriesread = 0;
  *totalentries = 0;
  if (!recordSize(level)) return ERROR_INVALID_LEVEL;
  if (!isLocalServer(servername)) return ERROR_BAD_NETPATH;
  if (!net::serverRunning()) return NERR_ServerNotStarted;
  if ((level == 2 || level == 502) && !winsim::machineSettings().admin) return ERROR_ACCESS_DENIED;

  const std::vector<net::Share> shares = net::serverShares();
  const size_t first = resume_handle ? *resume_handle : 0;
  if (first >= shares.size()) {
    if (resume_handle) *resume_handle = 0;
    return NERR_Success;
  }
  size_t last = first, bytes = 0;
  while (last < shares.size()) {
    const size_t more = shareBytes(shares[last], level);
    if (prefmaxlen != MAX_PREFERRED_LENGTH && last > first && bytes + more > prefmaxlen) break;
    bytes += more;
    ++last;
  }
  BYTE* block = static_cast<BYTE*>(std::calloc(1, bytes));
  if (!block) return ERROR_NOT_ENOUGH_MEMORY;
  Block strings(block, (last - first) * recordSize(level));
  for (size_t i = first; i < last; ++i) fillRecord(block + (i - first) * recordSize(level), shares[i], level, strings);
  *bufptr = block;
  *entriesread = static_cast<DWORD>(last - first);
  *totalentries = static_cast<DWORD>(shares.size() - first);
  const bool more = last < shares.size();
  if (resume_handle) *resume_handle = more ? static_cast<DWORD>(last) : 0;
  return more ? ERROR_MORE_DATA : NERR_Success;
}

// NetApiBufferFree: frees a block handed out by a Net* call; NULL is
// accepted. NERR_Success.
extern "C" NET_API_STATUS NET_API_FUNCTION NetApiBufferFree(LPVOID Buffer) {
  std::free(Buffer);
  return NERR_Success;
}

static const winsim::ExportRegistrar kExports("netapi32.dll",
                                              {WINSIM_EXPORT(NetShareEnum), WINSIM_EXPORT(NetApiBufferFree)});
