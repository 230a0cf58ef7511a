// The mapping of Windows paths onto the machine, and what the simulated file
// system adds to Windows behaviour: files held in use by other programs, the
// full-disk fault, the pending-rename list and opens in other processes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "advapi32/registry_store.h"
#include "kernel32/file_common.h"
#include "kernel32/file_state.h"
#include "machine.h"
#include "platform/win32.h"

namespace reg = winsim::reg;
namespace fs = std::filesystem;

namespace {

const fs::path& driveC() {
  static const fs::path c = winsim::machineRoot() / "drive_c";
  return c;
}

void touch(const fs::path& p, const std::string& content = "x") {
  fs::create_directories(p.parent_path());
  std::ofstream(p) << content;
}

std::string slurp(const fs::path& p) { return winsim::readWholeFile(p).value_or("<missing>"); }

// ---- Mapping ---------------------------------------------------------------------

// The machine lock keeps its file open between locks; a lock file removed
// and made again (a machine made anew in the same folder) is the one other
// processes lock, so it must be the one locked here too.
TEST(MachineLockFile, TheLockFileThereNowIsTheOneLocked) {
  const fs::path lockPath = winsim::machineRoot() / ".lock";
  auto lockedElsewhere = [&] {
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return taken;
  };
  { winsim::MachineLock lock; }
  EXPECT_FALSE(lockedElsewhere());
  fs::remove(lockPath);
  {
    winsim::MachineLock lock;
    EXPECT_TRUE(lockedElsewhere());
    winsim::MachineLock inner;  // re-entrant in one thread
  }
  EXPECT_FALSE(lockedElsewhere());
}

// A name used again resolves as a new lookup would: after its file was
// removed and made again in another case, after the current folder moved,
// and for another machine.
TEST(PathMapping, ANameUsedAgainFollowsTheFileSystem) {
  touch(driveC() / "again" / "Note.txt", "first");
  const char* name = "C:\\again\\Note.txt";
  ASSERT_NE(GetFileAttributesA(name), INVALID_FILE_ATTRIBUTES);
  ASSERT_NE(GetFileAttributesA(name), INVALID_FILE_ATTRIBUTES);
  fs::remove(driveC() / "again" / "Note.txt");
  touch(driveC() / "again" / "NOTE.TXT", "second");
  HANDLE h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char buf[16] = {};
  DWORD got = 0;
  EXPECT_TRUE(ReadFile(h, buf, sizeof buf - 1, &got, nullptr));
  CloseHandle(h);
  EXPECT_STREQ(buf, "second");
  fs::remove(driveC() / "again" / "NOTE.TXT");
  EXPECT_EQ(GetFileAttributesA(name), INVALID_FILE_ATTRIBUTES);

  touch(driveC() / "again" / "a" / "x.txt");
  touch(driveC() / "again" / "b" / "x.txt", "bb");
  const std::string saved = winsim::currentDirectory();
  winsim::setCurrentDirectory("C:\\again\\a");
  EXPECT_EQ(slurp(driveC() / "again" / "a" / "x.txt"), "x");
  EXPECT_TRUE(DeleteFileA("x.txt"));
  winsim::setCurrentDirectory("C:\\again\\b");
  EXPECT_NE(GetFileAttributesA("x.txt"), INVALID_FILE_ATTRIBUTES);
  winsim::setCurrentDirectory(saved);
  EXPECT_EQ(slurp(driveC() / "again" / "b" / "x.txt"), "bb");
  // A pattern is refused where the name it matches would not be.
  EXPECT_EQ(GetFileAttributesA("C:\\again\\b\\x.tx?"), INVALID_FILE_ATTRIBUTES);
  fs::remove_all(driveC() / "again");
}

TEST(PathMapping, DrivesCaseAndDots) {
  touch(driveC() / "MixedCase" / "Inner.TXT");
  struct Case {
    const char* win;
    fs::path host;
  };
  const Case cases[] = {
      {"C:\\mixedcase\\inner.txt", driveC() / "MixedCase" / "Inner.TXT"},
      {"c:/MIXEDCASE/INNER.txt", driveC() / "MixedCase" / "Inner.TXT"},
      {"C:\\MixedCase\\New Folder\\File.txt", driveC() / "MixedCase" / "New Folder" / "File.txt"},
      {"C:\\a\\b\\..\\..\\mixedcase\\.\\inner.txt", driveC() / "MixedCase" / "Inner.TXT"},
      {"C:\\..\\..\\mixedcase", driveC() / "MixedCase"},  // ".." stops at the drive root
      {"C:\\mixedcase\\inner.txt.", driveC() / "MixedCase" / "Inner.TXT"},  // trailing dot dropped
      {"\\\\?\\C:\\mixedcase", driveC() / "MixedCase"},
      {"Z:\\tmp", "/tmp"},
      {"z:\\", "/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.win);
    auto host = winsim::hostPath(c.win);
    ASSERT_TRUE(host.has_value());
    EXPECT_EQ(fs::path(*host).lexically_normal(), c.host.lexically_normal());
  }
  for (const char* unsupported : {"D:\\x", "\\\\server\\share\\x", ""}) {
    SCOPED_TRACE(unsupported);
    EXPECT_FALSE(winsim::hostPath(unsupported).has_value());
  }
}

// Another case of a name is found by listing its folder, and a folder that
// has not changed for a while is not listed again; a file made, removed or
// renamed there afterwards must still be seen at once.
TEST(PathMapping, AFolderListedBeforeStillShowsItsChanges) {
  const fs::path folder = driveC() / "CaseMemo";
  fs::remove_all(folder);
  touch(folder / "Name.txt");
  std::this_thread::sleep_for(std::chrono::milliseconds(150));  // the folder has settled
  EXPECT_EQ(winsim::hostPath("C:\\casememo\\NAME.TXT"), folder / "Name.txt");
  EXPECT_EQ(winsim::hostPath("C:\\casememo\\new.txt"), folder / "new.txt");  // not there yet

  touch(folder / "NEW.txt");
  EXPECT_EQ(winsim::hostPath("C:\\casememo\\new.txt"), folder / "NEW.txt");
  touch(folder / "NAME.txt");  // sorts before "Name.txt": the least name wins
  EXPECT_EQ(winsim::hostPath("C:\\casememo\\name.TXT"), folder / "NAME.txt");
  fs::remove(folder / "NAME.txt");
  EXPECT_EQ(winsim::hostPath("C:\\casememo\\name.TXT"), folder / "Name.txt");

  // The same again once the folder has settled after the changes.
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(winsim::hostPath("C:\\casememo\\name.TXT"), folder / "Name.txt");
  fs::rename(folder / "Name.txt", folder / "Other.txt");
  EXPECT_EQ(winsim::hostPath("C:\\casememo\\name.TXT"), folder / "name.TXT");
  EXPECT_EQ(winsim::hostPath("C:\\casememo\\OTHER.TXT"), folder / "Other.txt");
  fs::remove_all(folder);
}

// Two names that differ only in case: the one spelled as asked wins, else
// the least of them, also when a folder on the way was spelled otherwise.
TEST(PathMapping, NamesDifferingOnlyInCase) {
  touch(driveC() / "dupcase" / "Dup.txt");
  touch(driveC() / "dupcase" / "DUP.TXT");
  EXPECT_EQ(*winsim::hostPath("C:\\dupcase\\Dup.txt"), driveC() / "dupcase" / "Dup.txt");
  EXPECT_EQ(*winsim::hostPath("C:\\DUPCASE\\Dup.txt"), driveC() / "dupcase" / "Dup.txt");
  EXPECT_EQ(*winsim::hostPath("C:\\DUPCASE\\dup.txt"), driveC() / "dupcase" / "DUP.TXT");
  EXPECT_EQ(*winsim::hostPath("C:\\dupcase\\dUp.TxT"), driveC() / "dupcase" / "DUP.TXT");
  EXPECT_EQ(*winsim::hostPath("C:\\DupCase\\New.txt"), driveC() / "dupcase" / "New.txt");
  fs::remove_all(driveC() / "dupcase");
}

TEST(PathMapping, WinPathIsTheInverse) {
  EXPECT_EQ(winsim::winPath(driveC() / "Windows" / "system32"), "C:\\Windows\\system32");
  EXPECT_EQ(winsim::winPath(driveC() / "x" / ".." / "Windows" / "."), "C:\\Windows\\");
  EXPECT_EQ(winsim::winPath(driveC().string() + "//Windows"), "C:\\Windows");
  EXPECT_EQ(winsim::winPath(driveC()), "C:\\");
  EXPECT_EQ(winsim::winPath("/usr/lib"), "Z:\\usr\\lib");
  EXPECT_EQ(winsim::winPath("/"), "Z:\\");
  // The same file through Z: has the key it has through C:.
  auto viaZ = winsim::hostPath(winsim::winPath("/") + (driveC() / "Windows").string().substr(1));
  ASSERT_TRUE(viaZ);
  EXPECT_EQ(winsim::files::fileKey(*viaZ), "c:\\windows");
}

TEST(PathMapping, RelativePathsFollowTheCurrentDirectory) {
  const std::string saved = winsim::currentDirectory();
  winsim::setCurrentDirectory("C:\\Windows\\system32");
  EXPECT_EQ(winsim::fullWinPath("drivers\\x.sys"), "C:\\Windows\\system32\\drivers\\x.sys");
  EXPECT_EQ(winsim::fullWinPath("..\\inf"), "C:\\Windows\\inf");
  EXPECT_EQ(winsim::fullWinPath("\\Temp"), "C:\\Temp");
  EXPECT_EQ(winsim::fullWinPath("C:x.txt"), "C:\\Windows\\system32\\x.txt");
  EXPECT_EQ(winsim::fullWinPath("Z:x.txt"), "Z:\\x.txt");
  EXPECT_EQ(winsim::fullWinPath("sub\\"), "C:\\Windows\\system32\\sub\\");
  winsim::setCurrentDirectory(saved);
}

// Full paths keep their form but for the drive letter; anything that is not
// quite full yet is folded.
TEST(PathMapping, FullPathsAndNearlyFullOnes) {
  const std::pair<const char*, const char*> cases[] = {
      {"c:\\Windows\\x", "C:\\Windows\\x"},
      {"C:\\", "C:\\"},
      {"C:\\a\\", "C:\\a\\"},
      {"C:\\a. \\b", "C:\\a. \\b"},
      {"C:\\a\\b. ", "C:\\a\\b"},
      {"C:\\a\\...", "C:\\a\\..."},
      {"C:\\a\\..\\b", "C:\\b"},
      {"C:\\a\\.\\b", "C:\\a\\b"},
      {"C:\\a\\\\b", "C:\\a\\b"},
      {"C:/a/b", "C:\\a\\b"},
      {"\\\\?\\c:\\a", "C:\\a"},
  };
  for (const auto& [given, full] : cases) EXPECT_EQ(winsim::fullWinPath(given), full) << given;
}

TEST(PathMapping, PatternsFollowWindowsRules) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"*.*", "noext", true},       {"*", ".hidden", true},      {"*.", "noext", true},
      {"*.", "a.txt", false},       {"a?.txt", "a.txt", true},   {"a?.txt", "abc.txt", false},
      {"a?c", "a.c", false},        {"*.txt", "A.TXT", true},    {"*.txt", "a.txt.bak", false},
      {"*.b", "a.b.c", false},      {"*.c", "a.b.c", true},      {"a*b*c", "aXbYc", true},
      {"file??", "file", true},     {"file??", "file123", false}, {"DISK?", "DISK12", false},
      {"DISK?", "disk2", true},     {"????ISK1", "DISK1", false}, {"?ISK1", "DISK1", true},  {"", "a", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(winsim::files::matchPattern(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
  }
}

// ---- Files held in use ------------------------------------------------------------------

class InUse : public testing::Test {
 protected:
  void SetUp() override {
    m_name = std::string("C:\\inuse_") + testing::UnitTest::GetInstance()->current_test_info()->name();
    touch(driveC() / m_name.substr(3), "loaded");
    touch(driveC() / "inuse_source.dll", "fresh");
    m_key = winsim::files::fileKey(driveC() / m_name.substr(3));
  }
  void TearDown() override { winsim::files::clearLock(m_key); }
  std::string m_name;
  std::string m_key;
};

TEST_F(InUse, ALoadedModuleCanBeReadAndRenamedButNotReplaced) {
  ASSERT_TRUE(winsim::files::setLock(m_key, winsim::files::LockMode::Image));
  struct Case {
    const char* what;
    BOOL ok;
    DWORD error;
  };
  auto open = [&](DWORD access, DWORD share) {
    HANDLE h = CreateFileA(m_name.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return FALSE;
    CloseHandle(h);
    return TRUE;
  };
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(open(GENERIC_WRITE, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(open(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(open(GENERIC_READ, 0)) << "the loader's read access must be shared";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CopyFileA("C:\\inuse_source.dll", m_name.c_str(), FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteFileA(m_name.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(MoveFileExA("C:\\inuse_source.dll", m_name.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(slurp(driveC() / m_name.substr(3)), "loaded");

  // Renaming is allowed and the lock goes with the file.
  const std::string renamed = m_name + ".old";
  ASSERT_TRUE(MoveFileExA(m_name.c_str(), renamed.c_str(), 0));
  const std::string renamedKey = winsim::files::fileKey(driveC() / renamed.substr(3));
  EXPECT_FALSE(winsim::files::lockOf(m_key).has_value());
  EXPECT_TRUE(winsim::files::lockOf(renamedKey).has_value());
  EXPECT_TRUE(CopyFileA("C:\\inuse_source.dll", m_name.c_str(), FALSE)) << "the old name is free again";
  winsim::files::clearLock(renamedKey);
}

TEST_F(InUse, AnExclusiveOpenRefusesEverything) {
  ASSERT_TRUE(winsim::files::setLock(m_key, winsim::files::LockMode::Exclusive));
  struct Case {
    const char* what;
    std::function<BOOL()> call;
  };
  const Case cases[] = {
      {"open for reading", [&] {
         HANDLE h = CreateFileA(m_name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
         if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
         return h != INVALID_HANDLE_VALUE ? TRUE : FALSE;
       }},
      {"copy from", [&] { return CopyFileA(m_name.c_str(), "C:\\inuse_copy.dll", FALSE); }},
      {"copy onto", [&] { return CopyFileA("C:\\inuse_source.dll", m_name.c_str(), FALSE); }},
      {"delete", [&] { return DeleteFileA(m_name.c_str()); }},
      {"rename", [&] { return MoveFileExA(m_name.c_str(), "C:\\inuse_renamed.dll", 0); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(c.call());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  }
  // Attributes stay readable, and unlocking frees the file.
  EXPECT_NE(GetFileAttributesA(m_name.c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(winsim::files::clearLock(m_key));
  EXPECT_TRUE(DeleteFileA(m_name.c_str()));
}

// Another process holds the file open, without sharing, until it is let go:
// this one must be refused a write, and may write once that process ended.
// `closeFirst` says whether the other process closes the file before it
// ends or leaves that to its end.
static void expectHeldByAnotherProcess(const std::string& name, bool closeFirst) {
  int toChild[2], toParent[2];
  ASSERT_EQ(pipe(toChild), 0);
  ASSERT_EQ(pipe(toParent), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    HANDLE h = CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const char ready = h != INVALID_HANDLE_VALUE ? 'y' : 'n';
    (void)!write(toParent[1], &ready, 1);
    char go;
    (void)!read(toChild[0], &go, 1);
    if (closeFirst) CloseHandle(h);
    _exit(0);
  }
  char ready = 0;
  ASSERT_EQ(read(toParent[0], &ready, 1), 1);
  ASSERT_EQ(ready, 'y');
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  (void)!write(toChild[1], "g", 1);
  int status = 0;
  waitpid(pid, &status, 0);
  for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) close(fd);
  HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE) << "the other process's open ended with it";
  CloseHandle(h);
}

TEST_F(InUse, AnOpenInAnotherProcessIsSeen) { expectHeldByAnotherProcess(m_name, true); }

// A process that has looked at the open files many times, and found none
// of another process for a while, still sees the first open of a new one.
TEST_F(InUse, AnOpenInAnotherProcessIsSeenAfterAQuietSpell) {
  HANDLE mine = CreateFileA(m_name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(mine, INVALID_HANDLE_VALUE);
  CloseHandle(mine);
  // The folder of open files must have been left alone for a few seconds.
  sleep(3);
  for (int i = 0; i < 3; ++i) {
    HANDLE h = CreateFileA(m_name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
  }
  expectHeldByAnotherProcess(m_name, false);
}

TEST_F(InUse, OpensOfAProcessThatDiedAreForgotten) {
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // Ends without closing, as a crashed program would.
    CreateFileA(m_name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  HANDLE h = CreateFileA(m_name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

// ---- Full disk -----------------------------------------------------------------------------

TEST(Faults, FullDiskLeavesNoPartialTarget) {
  touch(driveC() / "full_src.bin", std::string(100000, 's'));
  touch(driveC() / "full_old.bin", "previous");
  ASSERT_TRUE(reg::setDword(reg::Hive::LocalMachine, "SOFTWARE\\KVSim\\Faults", "DiskFull", 1));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CopyFileA("C:\\full_src.bin", "C:\\full_new.bin", FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_FALSE(fs::exists(driveC() / "full_new.bin"));
  EXPECT_FALSE(CopyFileA("C:\\full_src.bin", "C:\\full_old.bin", FALSE));
  EXPECT_EQ(slurp(driveC() / "full_old.bin"), "previous") << "an existing target is kept whole";

  HANDLE h = CreateFileA("C:\\full_write.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0xdeadbeef;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(WriteFile(h, "abc", 3, &written, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(written, 0u);
  ULARGE_INTEGER avail;
  ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &avail, nullptr, nullptr));
  EXPECT_EQ(avail.QuadPart, 0u);

  ASSERT_TRUE(reg::deleteValue(reg::Hive::LocalMachine, "SOFTWARE\\KVSim\\Faults", "DiskFull"));
  EXPECT_TRUE(WriteFile(h, "abc", 3, &written, nullptr));
  CloseHandle(h);
  EXPECT_TRUE(CopyFileA("C:\\full_src.bin", "C:\\full_new.bin", FALSE));
  EXPECT_EQ(fs::file_size(driveC() / "full_new.bin"), 100000u);
}

// ---- Pending renames --------------------------------------------------------------------------

constexpr const char* kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

std::string pendingRenames() {
  auto v = reg::getValue(reg::Hive::LocalMachine, kSessionManager, "PendingFileRenameOperations");
  if (!v) return "<none>";
  EXPECT_EQ(v->type, static_cast<DWORD>(REG_MULTI_SZ));
  return std::string(v->data.begin(), v->data.end());
}

TEST(PendingRenames, PairsAreAppendedInTheSessionManagerForm) {
  reg::deleteValue(reg::Hive::LocalMachine, kSessionManager, "PendingFileRenameOperations");
  reg::setDword(reg::Hive::LocalMachine, "SOFTWARE\\KVSim\\Machine", "Admin", 1);
  ASSERT_TRUE(MoveFileExA("C:\\src.tmp", "C:\\windows\\system32\\dst.dll",
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(MoveFileExA("C:\\src2.tmp", "C:\\dst2.dll", MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(MoveFileExA("C:\\del.tmp", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  const std::string expected(
      "\\??\\C:\\src.tmp\0!\\??\\C:\\windows\\system32\\dst.dll\0\\??\\C:\\src2.tmp\0\\??\\C:\\dst2.dll\0"
      "\\??\\C:\\del.tmp\0\0\0",
      sizeof("\\??\\C:\\src.tmp\0!\\??\\C:\\windows\\system32\\dst.dll\0\\??\\C:\\src2.tmp\0\\??\\C:\\dst2.dll\0"
             "\\??\\C:\\del.tmp\0\0\0") - 1);
  EXPECT_EQ(pendingRenames(), expected);
  // A delete entry at the end stays one when more pairs follow.
  ASSERT_TRUE(MoveFileExA("C:\\a.tmp", "C:\\b.dll", MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_EQ(pendingRenames(), expected.substr(0, expected.size() - 1) + std::string("\\??\\C:\\a.tmp\0\\??\\C:\\b.dll\0\0", 27));
  EXPECT_EQ(reg::splitMultiString(reg::getValue(reg::Hive::LocalMachine, kSessionManager,
                                                "PendingFileRenameOperations")->data).size(), 8u);
  reg::deleteValue(reg::Hive::LocalMachine, kSessionManager, "PendingFileRenameOperations");
}

TEST(PendingRenames, RelativeNamesAreMadeFullAndNonAdministratorsAreRefused) {
  reg::deleteValue(reg::Hive::LocalMachine, kSessionManager, "PendingFileRenameOperations");
  const std::string saved = winsim::currentDirectory();
  winsim::setCurrentDirectory("C:\\Windows");
  ASSERT_TRUE(MoveFileExA("new.dll", "system32\\old.dll", MOVEFILE_DELAY_UNTIL_REBOOT));
  winsim::setCurrentDirectory(saved);
  EXPECT_EQ(pendingRenames(), std::string("\\??\\C:\\Windows\\new.dll\0\\??\\C:\\Windows\\system32\\old.dll\0\0", 56));

  ASSERT_TRUE(reg::setDword(reg::Hive::LocalMachine, "SOFTWARE\\KVSim\\Machine", "Admin", 0));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(MoveFileExA("C:\\x.tmp", "C:\\y.dll", MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  ASSERT_TRUE(reg::setDword(reg::Hive::LocalMachine, "SOFTWARE\\KVSim\\Machine", "Admin", 1));
  EXPECT_EQ(pendingRenames(), std::string("\\??\\C:\\Windows\\new.dll\0\\??\\C:\\Windows\\system32\\old.dll\0\0", 56));
  reg::deleteValue(reg::Hive::LocalMachine, kSessionManager, "PendingFileRenameOperations");
}

// ---- The tables themselves ----------------------------------------------------------------------

TEST(FileTables, DamagedLinesAreSkippedAndKeysRoundTrip) {
  using winsim::files::Record;
  const std::vector<Record> records = {{1, "c:\\plain"}, {0x21, std::string("z:\\odd\tname\n%", 14)}};
  EXPECT_EQ(winsim::files::parseTable(winsim::files::formatTable(records)).size(), 2u);
  const auto back = winsim::files::parseTable(winsim::files::formatTable(records));
  EXPECT_EQ(back[1].key, records[1].key);
  EXPECT_EQ(back[1].value, 0x21u);
  const auto damaged = winsim::files::parseTable("zz\tc:\\a\n1\n\tc:\\b\n123456789\tc:\\c\n2\tc:\\bad%4\n3\tc:\\ok\n");
  ASSERT_EQ(damaged.size(), 1u);
  EXPECT_EQ(damaged[0].key, "c:\\ok");
}

}  // namespace
