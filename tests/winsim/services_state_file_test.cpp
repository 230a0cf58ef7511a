// The services' run states live in one file that every process of the
// machine reads and changes: however often, and however recently, one process
// has read it, a change made by another is what its next call sees.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "advapi32/registry_store.h"
#include "advapi32/service_runstate.h"
#include "fresh_machine.h"

namespace {

namespace rs = winsim::runstate;

class ServicesStateFile : public kvtest::FreshMachine {
 protected:
  // Writes the file over in place, keeping its inode, as a process that
  // does not replace the file would.
  void rewrite(const std::string& text) {
    std::ofstream out(m_root / "services.state", std::ios::binary | std::ios::trunc);
    out << text;
  }
  // Longer than the file needs to count as settled, after which its parse
  // is kept while the file keeps its stamp.
  static void letSettle() { std::this_thread::sleep_for(std::chrono::milliseconds(300)); }
};

TEST_F(ServicesStateFile, ChangesByAnotherProcessAreSeenByTheNextCall) {
  ASSERT_TRUE(rs::spoolerRunning());
  // The same size, the same inode, within one tick of the file clock.
  rewrite("Spooler\tstopped\n");
  EXPECT_FALSE(rs::spoolerRunning());
  rewrite("Spooler\trunning\n");
  EXPECT_TRUE(rs::spoolerRunning());

  // Read again and again once settled, then changed in place or replaced.
  letSettle();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(rs::spoolerRunning());
  rewrite("Spooler\tstopped\n");
  EXPECT_FALSE(rs::spoolerRunning());
  letSettle();
  EXPECT_FALSE(rs::spoolerRunning());
  ASSERT_TRUE(rs::set("Spooler", rs::kRunning));
  EXPECT_TRUE(rs::spoolerRunning());
  EXPECT_EQ(rs::find("spooler")->state, rs::kRunning);

  // A stop with a deadline ends while the file stays as it is.
  ASSERT_TRUE(rs::set("Spooler", rs::kStopPending, rs::nowMs() + 100));
  EXPECT_FALSE(rs::spoolerRunning());
  letSettle();
  EXPECT_EQ(rs::find("Spooler")->state, rs::kStopped);
  EXPECT_EQ(rs::all().size(), 1u) << "the one line written";

  // No file: the start type decides; no service key: nothing runs.
  std::filesystem::remove(m_root / "services.state");
  EXPECT_TRUE(rs::spoolerRunning()) << "the spooler starts automatically";
  EXPECT_FALSE(rs::find("Spooler").has_value());
  ASSERT_TRUE(winsim::reg::deleteKeyTree(winsim::reg::Hive::LocalMachine,
                                         "SYSTEM\\CurrentControlSet\\Services\\Spooler"));
  EXPECT_FALSE(rs::spoolerRunning());
}

}  // namespace
