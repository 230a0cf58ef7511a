// The server service's share list through NetShareEnum, and as kvsim shows it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "advapi32/registry_store.h"
#include "advapi32/service_runstate.h"
#include "fresh_machine.h"
#include "machine_settings.h"
#include "netapi32/shares.h"
#include "platform/win32.h"
#include "unicode.h"

namespace {

namespace reg = winsim::reg;
using reg::Hive;

struct Seen {
  std::string name, remark, path;
  DWORD type, maxUses;
};

class NetShares : public kvtest::FreshMachine {
 protected:
  // Every share at level 502, `prefmaxlen` at a time, as the program asks.
  static std::vector<Seen> enumerate(DWORD prefmaxlen = MAX_PREFERRED_LENGTH, int* calls = nullptr) {
    std::vector<Seen> seen;
    DWORD resume = 0;
    for (int call = 1; call < 100; ++call) {
      LPBYTE buf = nullptr;
      DWORD read = 0, total = 0;
      const NET_API_STATUS status = NetShareEnum(nullptr, 502, &buf, prefmaxlen, &read, &total, &resume);
      EXPECT_TRUE(status == NERR_Success || status == ERROR_MORE_DATA) << status;
      EXPECT_GE(total, read);
      const auto* r = reinterpret_cast<const SHARE_INFO_502*>(buf);
      for (DWORD i = 0; i < read; ++i)
        seen.push_back({winsim::utf16ToUtf8(r[i].shi502_netname), winsim::utf16ToUtf8(r[i].shi502_remark),
                        winsim::utf16ToUtf8(r[i].shi502_path), r[i].shi502_type, r[i].shi502_max_uses});
      EXPECT_EQ(NetApiBufferFree(buf), static_cast<NET_API_STATUS>(NERR_Success));
      if (status != ERROR_MORE_DATA) {
        EXPECT_EQ(resume, 0u) << "a finished enumeration starts again from the top";
        if (calls) *calls = call;
        break;
      }
    }
    return seen;
  }
  static std::vector<std::string> names(const std::vector<Seen>& seen) {
    std::vector<std::string> n;
    for (const auto& s : seen) n.push_back(s.name);
    return n;
  }
};

TEST_F(NetShares, AFreshMachineSharesItsAdministrativeSharesAndThePrinterDrivers) {
  const auto seen = enumerate();
  ASSERT_EQ(names(seen), (std::vector<std::string>{"ADMIN$", "C$", "IPC$", "print$"}));
  EXPECT_EQ(seen[0].type, STYPE_DISKTREE | STYPE_SPECIAL);
  EXPECT_EQ(seen[0].path, "C:\\Windows");
  EXPECT_EQ(seen[2].type, STYPE_IPC | STYPE_SPECIAL);
  EXPECT_EQ(seen[3].type, static_cast<DWORD>(STYPE_DISKTREE));
  EXPECT_EQ(seen[3].path, "C:\\Windows\\system32\\spool\\drivers");
  EXPECT_EQ(seen[3].remark, "Printer Drivers");
  EXPECT_EQ(seen[3].maxUses, SHI_USES_UNLIMITED);
}

TEST_F(NetShares, SharesOfTheRegistryFollowTheAutomaticOnes) {
  ASSERT_TRUE(reg::setMultiString(Hive::LocalMachine, winsim::net::kSharesKey, "Laser",
                                  {"MaxUses=10", "Path=Laser,LocalsplOnly", "Remark=Büro", "Type=1"}));
  // A value of another type is no share.
  ASSERT_TRUE(reg::setString(Hive::LocalMachine, winsim::net::kSharesKey, "Broken", "Path=C:\\"));
  // Without the automatic shares of a workstation only IPC$ is made.
  ASSERT_TRUE(reg::setDword(Hive::LocalMachine, winsim::net::kParametersKey, "AutoShareWks", 0));
  const auto seen = enumerate();
  ASSERT_EQ(names(seen), (std::vector<std::string>{"IPC$", "print$", "Laser"}));
  EXPECT_EQ(seen[2].type, static_cast<DWORD>(STYPE_PRINTQ));
  EXPECT_EQ(seen[2].remark, "Büro") << "names and remarks are UTF-16 in the answer";
  EXPECT_EQ(seen[2].maxUses, 10u);
}

TEST_F(NetShares, ASmallPreferredLengthHandsOutTheListInPartsWithoutLosingAny) {
  int calls = 0;
  const auto one = enumerate(1, &calls);
  EXPECT_EQ(names(one), names(enumerate()));
  EXPECT_EQ(calls, 4) << "at least one share per call, so the caller always progresses";

  // The remaining count is counted from where the enumeration resumes.
  DWORD resume = 2, read = 0, total = 0;
  LPBYTE buf = nullptr;
  EXPECT_EQ(NetShareEnum(nullptr, 0, &buf, 1, &read, &total, &resume), static_cast<NET_API_STATUS>(ERROR_MORE_DATA));
  EXPECT_EQ(read, 1u);
  EXPECT_EQ(total, 2u);
  EXPECT_EQ(winsim::utf16ToUtf8(reinterpret_cast<SHARE_INFO_0*>(buf)->shi0_netname), "IPC$");
  EXPECT_EQ(resume, 3u);
  NetApiBufferFree(buf);

  // Past the end: nothing, and no block to free.
  resume = 40;
  buf = reinterpret_cast<LPBYTE>(&resume);
  EXPECT_EQ(NetShareEnum(nullptr, 1, &buf, MAX_PREFERRED_LENGTH, &read, &total, &resume),
            static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(buf, nullptr);
  EXPECT_EQ(read, 0u);
}

TEST_F(NetShares, NothingIsSharedWhileTheServerServiceIsNotRunning) {
  ASSERT_TRUE(winsim::runstate::set(winsim::net::kServerService, winsim::runstate::kStopped));
  LPBYTE buf = nullptr;
  DWORD read = 7, total = 7, resume = 0;
  EXPECT_EQ(NetShareEnum(nullptr, 502, &buf, MAX_PREFERRED_LENGTH, &read, &total, &resume),
            static_cast<NET_API_STATUS>(NERR_ServerNotStarted));
  EXPECT_EQ(buf, nullptr);
  EXPECT_EQ(read, 0u);

  // A machine without the service at all answers the same.
  ASSERT_TRUE(reg::deleteKeyTree(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\LanmanServer"));
  ASSERT_TRUE(winsim::runstate::set(winsim::net::kServerService, winsim::runstate::kRunning));
  EXPECT_EQ(NetShareEnum(nullptr, 502, &buf, MAX_PREFERRED_LENGTH, &read, &total, &resume),
            static_cast<NET_API_STATUS>(NERR_ServerNotStarted));
}

TEST_F(NetShares, RefusedRequests) {
  LPBYTE buf = nullptr;
  DWORD read = 0, total = 0;
  WCHAR other[] = u"\\\\FILESERVER";
  WCHAR self[] = u"\\\\kvsim-pc";
  const struct {
    const char* what;
    NET_API_STATUS status;
    NET_API_STATUS expected;
  } rows[] = {
      {"level 503 is not offered", NetShareEnum(nullptr, 503, &buf, MAX_PREFERRED_LENGTH, &read, &total, nullptr),
       ERROR_INVALID_LEVEL},
      {"no count", NetShareEnum(nullptr, 502, &buf, MAX_PREFERRED_LENGTH, nullptr, &total, nullptr),
       ERROR_INVALID_PARAMETER},
      {"another server", NetShareEnum(other, 502, &buf, MAX_PREFERRED_LENGTH, &read, &total, nullptr),
       ERROR_BAD_NETPATH},
  };
  for (const auto& row : rows) EXPECT_EQ(row.status, row.expected) << row.what;

  // This computer by its own name is the local server.
  ASSERT_EQ(NetShareEnum(self, 502, &buf, MAX_PREFERRED_LENGTH, &read, &total, nullptr),
            static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(read, 4u);
  NetApiBufferFree(buf);

  // Paths and permissions (levels 2 and 502) are for administrators only.
  winsim::MachineSettings s = winsim::machineSettings();
  s.admin = false;
  std::string error;
  ASSERT_TRUE(winsim::applySettings(s, &error)) << error;
  EXPECT_EQ(NetShareEnum(nullptr, 502, &buf, MAX_PREFERRED_LENGTH, &read, &total, nullptr),
            static_cast<NET_API_STATUS>(ERROR_ACCESS_DENIED));
  ASSERT_EQ(NetShareEnum(nullptr, 1, &buf, MAX_PREFERRED_LENGTH, &read, &total, nullptr),
            static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(read, 4u);
  NetApiBufferFree(buf);
}

TEST_F(NetShares, KvsimListsWhatTheServerOffers) {
  std::error_code ec;
  const auto kvsim = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().parent_path() / "bin" / "kvsim";
  if (!std::filesystem::exists(kvsim)) GTEST_SKIP() << "kvsim not built beside the tests";
  auto list = [&] {
    const std::string cmd = "'" + kvsim.string() + "' --root '" + m_root.string() + "' spooler list shares 2>/dev/null";
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    char line[512];
    while (p && std::fgets(line, sizeof line, p)) out += line;
    if (p) pclose(p);
    return out;
  };
  EXPECT_EQ(list(),
            "ADMIN$\t0x80000000\tC:\\Windows\tRemote Admin\n"
            "C$\t0x80000000\tC:\\\tDefault share\n"
            "IPC$\t0x80000003\t\tRemote IPC\n"
            "print$\t0x0\tC:\\Windows\\system32\\spool\\drivers\tPrinter Drivers\n");
  ASSERT_TRUE(winsim::runstate::set(winsim::net::kServerService, winsim::runstate::kStopped));
  EXPECT_EQ(list(), "");
}

}  // namespace
