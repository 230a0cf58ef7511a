// Files by handle and by name: dispositions, sharing, attributes, copy, move,
// delete, folders and searches, as Windows answers them.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/scratch_folder.h"
#include "platform/win32.h"
#include "support/conformance.h"

namespace {

using kvtest::ScratchFolder;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class FileTest : public ::testing::Test {
 protected:
  ScratchFolder dir;
};

// ---- CreateFileA dispositions --------------------------------------------------

struct DispositionCase {
  const char* name;
  DWORD disposition;
  bool exists;
  bool ok;
  DWORD error;            // last error, on success as well
  const char* content;    // content afterwards ("<missing>" when absent)
};

TEST_F(FileTest, DispositionsAgainstExistence) {
  const DispositionCase cases[] = {
      {"create new, absent", CREATE_NEW, false, true, 0, ""},
      {"create new, present", CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
      {"create always, absent", CREATE_ALWAYS, false, true, 0, ""},
      {"create always, present", CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
      {"open existing, absent", OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, "<missing>"},
      {"open existing, present", OPEN_EXISTING, true, true, 0, "old"},
      {"open always, absent", OPEN_ALWAYS, false, true, 0, ""},
      {"open always, present", OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
      {"truncate existing, absent", TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, "<missing>"},
      {"truncate existing, present", TRUNCATE_EXISTING, true, true, 0, ""},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / ("disp" + std::to_string(n++) + ".txt");
    if (c.exists) {
      ASSERT_TRUE(ScratchFolder::writeFile(path, "old"));
    }
    SetLastError(0xdeadbeef);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, c.disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.ok);
    EXPECT_EQ(error, c.error);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    EXPECT_EQ(ScratchFolder::readFile(path), c.content);
  }
}

TEST_F(FileTest, CreateInMissingFolderAndBadArguments) {
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateFileA((dir / "nofolder\\x.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateFileA((dir / "x.txt").c_str(), GENERIC_WRITE, 0, nullptr, 0, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateFileA((dir / "a*b.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
  // A folder opens only with backup semantics.
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateFileA(dir.path().c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  HANDLE h = CreateFileA(dir.path().c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

// ---- Sharing between two handles ------------------------------------------------

struct ShareCase {
  DWORD access1, share1, access2, share2;
  bool ok;
};

TEST_F(FileTest, SharingBetweenTwoHandles) {
  const DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE;
  const ShareCase cases[] = {
      {R, 0, R, SR, false},            // the first handle shares nothing
      {R, SR, R, SR, true},            // readers sharing reading
      {R, SR, W, SR | SW, false},      // a writer where only reading is shared
      {R, SR | SW, W, SR | SW, true},  // both share everything they use
      {W, SR, R, SR, false},           // the second refuses to share the first's writing
      {W, SR, R, SR | SW, true},
      {0, 0, R | W, 0, true},          // an open for attributes only never conflicts
      {R | W, 0, 0, 0, true},
      {DELETE, FILE_SHARE_DELETE, R, SR, false},
      {R, SR | FILE_SHARE_DELETE, DELETE, SR | FILE_SHARE_DELETE, true},
  };
  const std::string path = dir / "shared.txt";
  ASSERT_TRUE(ScratchFolder::writeFile(path, "data"));
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE("row " + std::to_string(i));
    HANDLE first = CreateFileA(path.c_str(), c.access1, c.share1, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    SetLastError(0xdeadbeef);
    HANDLE second = CreateFileA(path.c_str(), c.access2, c.share2, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.ok);
    if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
    else {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    CloseHandle(first);
  }
}

TEST_F(FileTest, OperationsOnAFileOpenWithoutSharing) {
  const std::string path = dir / "busy.txt";
  ASSERT_TRUE(ScratchFolder::writeFile(path, "busy"));
  ASSERT_TRUE(ScratchFolder::writeFile(dir / "other.txt", "other"));
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  // What the program's in-use check does: open for writing with no sharing.
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CopyFileA((dir / "other.txt").c_str(), path.c_str(), FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteFileA(path.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(MoveFileExA(path.c_str(), (dir / "moved.txt").c_str(), 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(h);
  EXPECT_EQ(ScratchFolder::readFile(path), "busy");
  EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST_F(FileTest, DeleteOnCloseRemovesTheFile) {
  const std::string path = dir / "transient.tmp";
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(h, "x", 1, &written, nullptr));
  CloseHandle(h);
  EXPECT_FALSE(ScratchFolder::exists(path));
}

// ---- Reading, writing and the file pointer -----------------------------------------

TEST_F(FileTest, ReadWriteSeekAndTruncate) {
  const std::string path = dir / "rw.bin";
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0xdeadbeef;
  ASSERT_TRUE(WriteFile(h, "0123456789", 10, &n, nullptr));
  EXPECT_EQ(n, 10u);
  EXPECT_EQ(GetFileSize(h, nullptr), 10u);

  EXPECT_EQ(SetFilePointer(h, 2, nullptr, FILE_BEGIN), 2u);
  char buf[16] = {};
  ASSERT_TRUE(ReadFile(h, buf, 3, &n, nullptr));
  EXPECT_EQ(std::string(buf, n), "234");
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 5u);
  EXPECT_EQ(SetFilePointer(h, -3, nullptr, FILE_END), 7u);

  SetLastError(0xdeadbeef);
  EXPECT_EQ(SetFilePointer(h, -11, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 7u) << "a failed seek moves nothing";

  // A position beyond 4 GiB needs the high part.
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(h, 16, &high, FILE_BEGIN), 16u);
  EXPECT_EQ(high, 1);
  high = 0;
  EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_CURRENT), 16u);
  EXPECT_EQ(high, 1);

  // Reading at the end gives 0 bytes and success.
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_END), 10u);
  n = 0xdeadbeef;
  EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(n, 0u);

  EXPECT_EQ(SetFilePointer(h, 4, nullptr, FILE_BEGIN), 4u);
  EXPECT_TRUE(SetEndOfFile(h));
  DWORD sizeHigh = 0xdeadbeef;
  EXPECT_EQ(GetFileSize(h, &sizeHigh), 4u);
  EXPECT_EQ(sizeHigh, 0u);
  EXPECT_TRUE(FlushFileBuffers(h));
  CloseHandle(h);
  EXPECT_EQ(ScratchFolder::readFile(path), "0123");
}

TEST_F(FileTest, AccessRightsOfAHandleAreEnforced) {
  const std::string path = dir / "ro_handle.txt";
  ASSERT_TRUE(ScratchFolder::writeFile(path, "abc"));
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0xdeadbeef;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(WriteFile(h, "x", 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(n, 0u);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetEndOfFile(h));
  KV_WINE_DEPARTS("Wine answers ERROR_INVALID_PARAMETER to SetEndOfFile without write access") {
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  }
  CloseHandle(h);

  h = CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char buf[4];
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ReadFile(h, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(h);

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ReadFile(h, buf, sizeof buf, &n, nullptr)) << "a closed handle";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// ---- Attributes and the read-only attribute ------------------------------------------

TEST_F(FileTest, ReadOnlyAttributeIsHonoured) {
  const std::string path = dir / "locked.txt";
  const std::string source = dir / "source.txt";
  ASSERT_TRUE(ScratchFolder::writeFile(path, "keep"));
  ASSERT_TRUE(ScratchFolder::writeFile(source, "new"));
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_NE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);

  // Wine keeps the attribute in the file's mode bits, which a superuser's
  // process does not obey.
  KV_WINE_DEPARTS("Wine running as the superuser opens read-only files for writing") {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CopyFileA(source.c_str(), path.c_str(), FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  }
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(DeleteFileA(path.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(ScratchFolder::readFile(path), "keep");

  // Reading still works, and renaming a read-only file is allowed.
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  const std::string renamed = dir / "locked2.txt";
  EXPECT_TRUE(MoveFileExA(path.c_str(), renamed.c_str(), 0));
  EXPECT_NE(GetFileAttributesA(renamed.c_str()) & FILE_ATTRIBUTE_READONLY, 0u) << "attributes move with the file";

  ASSERT_TRUE(SetFileAttributesA(renamed.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesA(renamed.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_TRUE(DeleteFileA(renamed.c_str()));
}

TEST_F(FileTest, AttributesOfFilesAndFolders) {
  const std::string path = dir / "plain.txt";
  ASSERT_TRUE(ScratchFolder::writeFile(path, "12345"));
  const DWORD attrs = GetFileAttributesA(path.c_str());
  EXPECT_EQ(attrs & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY), 0u);
  EXPECT_NE(GetFileAttributesA(dir.path().c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);

  WIN32_FILE_ATTRIBUTE_DATA data;
  memset(&data, 0xcc, sizeof data);
  ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_EQ(data.dwFileAttributes, attrs);

  struct MissingCase {
    std::string path;
    DWORD error;
  };
  const MissingCase missing[] = {{dir / "absent.txt", ERROR_FILE_NOT_FOUND},
                                 {dir / "absent\\absent.txt", ERROR_PATH_NOT_FOUND}};
  for (const auto& m : missing) {
    SCOPED_TRACE(m.path);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetFileAttributesA(m.path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), m.error);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetFileAttributesA(m.path.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), m.error);
  }
}

// ---- Copy, move, delete ---------------------------------------------------------------

TEST_F(FileTest, CopyKeepsWriteTimeAndAttributes) {
  const std::string src = dir / "src.dat";
  const std::string dst = dir / "dst.dat";
  ASSERT_TRUE(ScratchFolder::writeFile(src, "payload"));
  // An old write time, so that a copy that takes the current time shows.
  HANDLE h = CreateFileA(src.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  SYSTEMTIME st = {2001, 2, 0, 3, 4, 5, 6, 0};
  FILETIME old;
  ASSERT_TRUE(SystemTimeToFileTime(&st, &old));
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &old));
  CloseHandle(h);
  ASSERT_TRUE(SetFileAttributesA(src.c_str(), FILE_ATTRIBUTE_READONLY));

  ASSERT_TRUE(CopyFileA(src.c_str(), dst.c_str(), TRUE));
  EXPECT_EQ(ScratchFolder::readFile(dst), "payload");
  EXPECT_NE(GetFileAttributesA(dst.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA(dst.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(CompareFileTime(&data.ftLastWriteTime, &old), 0);
}

struct CopyCase {
  const char* name;
  const char* src;
  const char* dst;
  BOOL failIfExists;
  bool ok;
  DWORD error;
  const char* dstContent;
};

TEST_F(FileTest, CopyErrors) {
  ASSERT_TRUE(ScratchFolder::writeFile(dir / "a.txt", "A"));
  ASSERT_TRUE(ScratchFolder::writeFile(dir / "b.txt", "B"));
  ASSERT_TRUE(CreateDirectoryA((dir / "sub").c_str(), nullptr));
  const CopyCase cases[] = {
      {"target exists, fail if exists", "a.txt", "b.txt", TRUE, false, ERROR_FILE_EXISTS, "B"},
      {"target exists, overwrite", "a.txt", "b.txt", FALSE, true, 0, "A"},
      {"source missing", "nothing.txt", "c.txt", FALSE, false, ERROR_FILE_NOT_FOUND, "<missing>"},
      {"target folder missing", "a.txt", "none\\c.txt", FALSE, false, ERROR_PATH_NOT_FOUND, "<missing>"},
      {"target is a folder", "a.txt", "sub", FALSE, false, ERROR_ACCESS_DENIED, "<missing>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetLastError(0xdeadbeef);
    const BOOL ok = CopyFileA((dir / c.src).c_str(), (dir / c.dst).c_str(), c.failIfExists);
    EXPECT_EQ(ok != FALSE, c.ok);
    if (!c.ok) {
      EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(ScratchFolder::readFile(dir / c.dst), c.dstContent);
  }
}

TEST_F(FileTest, MoveAndDelete) {
  ASSERT_TRUE(ScratchFolder::writeFile(dir / "one.txt", "1"));
  ASSERT_TRUE(ScratchFolder::writeFile(dir / "two.txt", "2"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(MoveFileExA((dir / "one.txt").c_str(), (dir / "two.txt").c_str(), 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(MoveFileA((dir / "one.txt").c_str(), (dir / "two.txt").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

  EXPECT_TRUE(MoveFileExA((dir / "one.txt").c_str(), (dir / "two.txt").c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(ScratchFolder::readFile(dir / "two.txt"), "1");
  EXPECT_FALSE(ScratchFolder::exists(dir / "one.txt"));

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(MoveFileExA((dir / "one.txt").c_str(), (dir / "three.txt").c_str(), 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  // A change of case only renames the file in place.
  EXPECT_TRUE(MoveFileA((dir / "two.txt").c_str(), (dir / "TWO.TXT").c_str()));
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((dir / "two.txt").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  KV_WINE_DEPARTS("Wine keeps the old case when a rename changes only the case") {
    EXPECT_STREQ(data.cFileName, "TWO.TXT");
  }
  FindClose(find);

  // Folders move too.
  ASSERT_TRUE(CreateDirectoryA((dir / "d1").c_str(), nullptr));
  ASSERT_TRUE(ScratchFolder::writeFile(dir / "d1\\in.txt", "in"));
  EXPECT_TRUE(MoveFileA((dir / "d1").c_str(), (dir / "d2").c_str()));
  EXPECT_EQ(ScratchFolder::readFile(dir / "d2\\in.txt"), "in");

  struct DeleteCase {
    std::string path;
    DWORD error;
  };
  const DeleteCase deletes[] = {{dir / "absent.txt", ERROR_FILE_NOT_FOUND},
                                {dir / "absent\\x.txt", ERROR_PATH_NOT_FOUND},
                                {dir / "d2", ERROR_ACCESS_DENIED}};
  for (const auto& d : deletes) {
    SCOPED_TRACE(d.path);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteFileA(d.path.c_str()));
    EXPECT_EQ(GetLastError(), d.error);
  }
  EXPECT_TRUE(DeleteFileA((dir / "TWO.TXT").c_str()));
  EXPECT_FALSE(ScratchFolder::exists(dir / "TWO.TXT"));
}

TEST_F(FileTest, DelayedMoveIsAcceptedWithoutTouchingFiles) {
  ASSERT_TRUE(ScratchFolder::writeFile(dir / "pending.tmp", "new"));
  ASSERT_TRUE(ScratchFolder::writeFile(dir / "target.dll", "old"));
  EXPECT_TRUE(MoveFileExA((dir / "pending.tmp").c_str(), (dir / "target.dll").c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_TRUE(MoveFileExA((dir / "pending.tmp").c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_EQ(ScratchFolder::readFile(dir / "target.dll"), "old");
  EXPECT_EQ(ScratchFolder::readFile(dir / "pending.tmp"), "new");
  KV_WINE_DEPARTS("Wine accepts a delayed move that may copy") {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(MoveFileExA((dir / "pending.tmp").c_str(), (dir / "target.dll").c_str(),
                             MOVEFILE_COPY_ALLOWED | MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
}

// ---- Folders ------------------------------------------------------------------------

TEST_F(FileTest, CreateAndRemoveFolders) {
  const std::string sub = dir / "folder";
  EXPECT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
  struct Case {
    const char* name;
    BOOL (*call)(const std::string&);
    std::string path;
    DWORD error;
  };
  ASSERT_TRUE(ScratchFolder::writeFile(dir / "file.txt", "f"));
  ASSERT_TRUE(ScratchFolder::writeFile(dir / "folder\\inner.txt", "i"));
  auto create = [](const std::string& p) { return CreateDirectoryA(p.c_str(), nullptr); };
  auto remove = [](const std::string& p) { return RemoveDirectoryA(p.c_str()); };
  const Case cases[] = {
      {"create existing folder", +create, sub, ERROR_ALREADY_EXISTS},
      {"create over a file", +create, dir / "file.txt", ERROR_ALREADY_EXISTS},
      {"create in a missing folder", +create, dir / "x\\y", ERROR_PATH_NOT_FOUND},
      {"remove a missing folder", +remove, dir / "none", ERROR_FILE_NOT_FOUND},
      {"remove a non-empty folder", +remove, sub, ERROR_DIR_NOT_EMPTY},
      {"remove a file", +remove, dir / "file.txt", ERROR_DIRECTORY},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(c.call(c.path));
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_TRUE(DeleteFileA((dir / "folder\\inner.txt").c_str()));
  EXPECT_TRUE(RemoveDirectoryA(sub.c_str()));
  EXPECT_FALSE(ScratchFolder::exists(sub));
}

// ---- Searches -------------------------------------------------------------------------

std::set<std::string> findAll(const std::string& pattern, DWORD* error) {
  std::set<std::string> names;
  WIN32_FIND_DATAA data;
  SetLastError(0xdeadbeef);
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return names;
  }
  do {
    names.insert(data.cFileName);
  } while (FindNextFileA(find, &data));
  *error = GetLastError();
  FindClose(find);
  return names;
}

struct FindCase {
  const char* pattern;
  std::set<std::string> names;
  DWORD error;        // after the last entry, or of FindFirstFileA
  bool wineDeparts;   // Wine's '?' always takes one character, and it ignores a trailing '.'
};

TEST_F(FileTest, FindPatterns) {
  for (const char* name : {"a.txt", "ab.txt", "abc.TXT", "b.dat", "noext", "x.tar.gz"}) {
    ASSERT_TRUE(ScratchFolder::writeFile(dir / name, name));
  }
  ASSERT_TRUE(CreateDirectoryA((dir / "sub").c_str(), nullptr));
  const std::set<std::string> all = {".", "..", "a.txt", "ab.txt", "abc.TXT", "b.dat", "noext", "x.tar.gz", "sub"};
  const FindCase cases[] = {
      {"*", all, ERROR_NO_MORE_FILES, false},
      {"*.*", all, ERROR_NO_MORE_FILES, false},
      {"*.txt", {"a.txt", "ab.txt", "abc.TXT"}, ERROR_NO_MORE_FILES, false},
      // '?' also matches nothing before a dot or at the end of the name.
      {"A?.TXT", {"a.txt", "ab.txt"}, ERROR_NO_MORE_FILES, true},
      {"a??.txt", {"a.txt", "ab.txt", "abc.TXT"}, ERROR_NO_MORE_FILES, true},
      {"a?c.txt", {"abc.TXT"}, ERROR_NO_MORE_FILES, false},
      {"*.gz", {"x.tar.gz"}, ERROR_NO_MORE_FILES, false},
      {"*.", {".", "..", "noext", "sub"}, ERROR_NO_MORE_FILES, true},
      {"b.dat", {"b.dat"}, ERROR_NO_MORE_FILES, false},
      {"*.none", {}, ERROR_FILE_NOT_FOUND, false},
      {"missing\\*", {}, ERROR_PATH_NOT_FOUND, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    DWORD error = 0;
    const auto names = findAll(dir / c.pattern, &error);
    if (c.wineDeparts) {
      KV_WINE_DEPARTS(std::string("Wine matches the pattern ") + c.pattern + " differently") {
        EXPECT_EQ(names, c.names);
      }
      continue;
    }
    EXPECT_EQ(names, c.names);
    EXPECT_EQ(error, c.error);
  }
  // The folder itself, found by its name.
  DWORD error = 0;
  const auto self = findAll(dir.path(), &error);
  ASSERT_EQ(self.size(), 1u);
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((dir / "sub").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_NE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(FindNextFileA(find, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(FindClose(find));
}

TEST_F(FileTest, FindReportsSizeAndAttributes) {
  ASSERT_TRUE(ScratchFolder::writeFile(dir / "sized.bin", std::string(1234, 'z')));
  ASSERT_TRUE(SetFileAttributesA((dir / "sized.bin").c_str(), FILE_ATTRIBUTE_READONLY));
  WIN32_FIND_DATAA data;
  memset(&data, 0xcc, sizeof data);
  HANDLE find = FindFirstFileA((dir / "SIZED.BIN").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "sized.bin");
  EXPECT_EQ(data.nFileSizeLow, 1234u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_NE(data.dwFileAttributes & FILE_ATTRIBUTE_READONLY, 0u);
  FindClose(find);
}

}  // namespace
