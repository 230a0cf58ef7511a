// kvsim's and kvparent's command lines as a person meets them: help for the
// tool and each command, a wrong command line told apart from a command that
// failed, and real commands doing what they did before; kvpkg's JSON of a
// text in the ANSI code page.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "kv_source_dir.h"
#include "support/command_run.h"

namespace {

namespace fs = std::filesystem;

using kvtest::quote;
using kvtest::Result;
using kvtest::run;

constexpr int kUsage = 64;

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("kvcli-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    m_root = (m_dir / "machine").string();
    m_env = "KVSIM_TIMESCALE=0.01 KVSIM_UI=none KVSIM_ROOT=" + quote(m_root) + " ";
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(m_dir);
  }
  Result kvsim(const std::string& args) { return run(m_env + KV_SIM_EXE + " " + args); }
  Result kvparent(const std::string& args) { return run(m_env + KV_PARENT_EXE + " " + args); }

  fs::path m_dir;
  std::string m_root;
  std::string m_env;
};

TEST_F(CommandLine, KvsimExplainsItselfAndEachCommand) {
  Result r = kvsim("--help");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(r.has("usage: kvsim [--root DIR] COMMAND")) << r.out;
  for (const char* command : {"create", "fault", "net", "proc", "reg", "set", "show", "spooler", "usb"})
    EXPECT_TRUE(r.has(std::string("\n  ") + command + " ")) << command << "\n" << r.out;
  EXPECT_EQ(kvsim("help").out, r.out);
  r = kvsim("usb plug --help");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(r.has("usage: kvsim [--root DIR] usb plug [--hwid] USBPRINT\\MODEL")) << r.out;
  EXPECT_TRUE(r.has("--count")) << r.out;
  r = kvsim("reg --help");
  EXPECT_TRUE(r.has("Exit status 2 when the key or value does not exist")) << r.out;
}

TEST_F(CommandLine, KvsimTellsAWrongCommandLineFromAFailedCommand) {
  ASSERT_EQ(kvsim("create").status, 0);
  struct Case {
    const char* args;
    const char* says;
  };
  for (const Case& c : {Case{"", "A subcommand is required"},
                        Case{"bogus", "bogus"},
                        Case{"set arch amd65", "amd65 not in {x86,amd64,ia64}"},
                        Case{"set os", "RELEASE is required"},
                        Case{"proc list --all", "--all"},
                        Case{"usb plug USBPRINT\\\\A --count 9", "--count"},
                        Case{"reg query", "KEY is required"},
                        Case{"path C:\\\\Windows --temp", "expected WINPATH or --temp"}}) {
    const Result r = kvsim(c.args);
    EXPECT_EQ(r.status, kUsage) << c.args << "\n" << r.out;
    EXPECT_TRUE(r.has(c.says)) << c.args << "\n" << r.out;
    EXPECT_TRUE(r.has("--help")) << "points to the help: " << c.args << "\n" << r.out;
  }
  // A command line that is right, on a machine that says no: the command's
  // own failure, as before.
  Result r = kvsim("reg query 'HKLM\\SOFTWARE\\NoSuchKey'");
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_TRUE(r.has("kvsim: reg query: no key")) << r.out;
  r = kvsim("set os win98 --server");
  EXPECT_EQ(r.status, 2) << r.out;
}

TEST_F(CommandLine, KvsimCommandsWorkAsBeforeWithRootAnywhere) {
  const std::string other = (m_dir / "other").string();
  Result r = run(std::string(KV_SIM_EXE) + " create --root " + quote(other) + " --template=xp-x86");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "created xp-x86 machine in " + other + "\n");
  ASSERT_EQ(run(std::string(KV_SIM_EXE) + " --root " + quote(other) + " set lang 0x0407").status, 0);
  r = run(std::string(KV_SIM_EXE) + " reg query 'HKLM\\SOFTWARE\\KVSim\\Machine' LangID --root " + quote(other));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "1031\n");
  r = run(std::string(KV_SIM_EXE) + " show --root=" + quote(other));
  EXPECT_TRUE(r.has("template  xp-x86\n")) << r.out;
  EXPECT_TRUE(r.has("language  0x0407\n")) << r.out;
  // Values that look like options after "--", and an empty value.
  ASSERT_EQ(run(std::string(KV_SIM_EXE) + " --root " + quote(other) + " fault set -- Knob -5").status, 0);
  r = run(std::string(KV_SIM_EXE) + " --root " + quote(other) + " fault list");
  EXPECT_EQ(r.out, "Knob\t-5\n");
}

TEST_F(CommandLine, KvparentExplainsItselfRefusesAnUnknownOptionAndRunsTheChild) {
  Result r = kvparent("--help");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(r.has("usage: kvparent [--answer-copydata] [--] PROGRAM ARGS...")) << r.out;
  EXPECT_TRUE(r.has("--answer-copydata")) << r.out;
  r = kvparent("--bogus");
  EXPECT_EQ(r.status, kUsage) << r.out;
  EXPECT_TRUE(r.has("unknown option --bogus")) << r.out;
  r = kvparent("");
  EXPECT_EQ(r.status, kUsage) << r.out;
  EXPECT_TRUE(r.has("which program?")) << r.out;
  // The child's own options stay the child's, with or without "--".
  EXPECT_EQ(kvparent("-- /bin/sh -c 'exit 5'").status, 5);
  EXPECT_EQ(kvparent("--answer-copydata /bin/sh -c 'exit 6'").status, 6);
  r = kvparent("/bin/sh -c 'echo \"$0 $1\"' --help");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(r.has("--help +W:")) << "the child got its --help and the switches after it\n" << r.out;
}

// A printer name of the INF in the ANSI code page (0xE9, "é" in 1252) comes
// out of kvpkg's JSON as that character in UTF-8.
TEST_F(CommandLine, KvpkgJsonWritesTheAnsiCharacter) {
  ASSERT_EQ(kvsim("create").status, 0);
  const Result r =
      run(m_env + KV_PKG_EXE + " analyze --json " + quote(std::string(KV_SOURCE_DIR) + "/tests/data/kvpkg/ansi_name") +
          " 2>/dev/null");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(r.has("KV Test Printer \xc3\xa9")) << r.out;
  EXPECT_FALSE(r.has("\xef\xbf\xbd")) << "no replacement character\n" << r.out;
}

}  // namespace
