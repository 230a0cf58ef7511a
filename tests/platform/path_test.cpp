// Path functions: full, short and long names with their buffer rules, the
// current directory, the system folders, the temporary folder and names.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/scratch_folder.h"
#include "platform/win32.h"

namespace {

using kvtest::ScratchFolder;

std::string upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return s;
}
bool iequal(const std::string& a, const std::string& b) { return upper(a) == upper(b); }

class PathTest : public ::testing::Test {
 protected:
  ScratchFolder dir;
};

// The rule every string-returning path call shares: the length without the
// NUL on success, the size needed with the NUL when the buffer is too small,
// and the buffer untouched then.
template <class Call>
void checkBufferRule(const char* what, const std::string& expected, Call call) {
  SCOPED_TRACE(what);
  const DWORD len = static_cast<DWORD>(expected.size());
  char buffer[MAX_PATH * 2];
  const DWORD sizes[] = {0, 1, len, len + 1, sizeof buffer};
  for (DWORD size : sizes) {
    SCOPED_TRACE("buffer size " + std::to_string(size));
    memset(buffer, '#', sizeof buffer);
    const DWORD n = call(buffer, size);
    if (size > len) {
      EXPECT_EQ(n, len);
      EXPECT_TRUE(iequal(buffer, expected)) << buffer;
    } else {
      EXPECT_EQ(n, len + 1);
      if (size == 0) {
        EXPECT_EQ(buffer[0], '#');
      }
    }
  }
}

TEST_F(PathTest, FullPathNameAndFilePart) {
  char cwd[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryA(sizeof cwd, cwd), 0u);
  ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
  struct Case {
    const char* input;
    std::string full;
    const char* filePart;  // nullptr: none
  };
  const std::string d = dir.path();
  const std::string drive = d.substr(0, 2);
  const Case cases[] = {
      {"file.txt", d + "\\file.txt", "file.txt"},
      {".\\sub\\..\\file.txt", d + "\\file.txt", "file.txt"},
      {"sub/x.dll", d + "\\sub\\x.dll", "x.dll"},
      {"sub\\", d + "\\sub\\", nullptr},
      {"\\", drive + "\\", nullptr},
      {"C:\\a\\..\\..\\b", "C:\\b", "b"},
      {"c:\\Windows\\.\\System32", "c:\\Windows\\System32", "System32"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    char buffer[MAX_PATH];
    memset(buffer, '#', sizeof buffer);
    LPSTR part = reinterpret_cast<LPSTR>(1);
    const DWORD n = GetFullPathNameA(c.input, sizeof buffer, buffer, &part);
    EXPECT_EQ(n, c.full.size());
    EXPECT_TRUE(iequal(buffer, c.full)) << buffer;
    if (c.filePart) {
      ASSERT_NE(part, nullptr);
      EXPECT_STREQ(part, c.filePart);
      EXPECT_TRUE(part >= buffer && part < buffer + n);
    } else {
      EXPECT_EQ(part, nullptr);
    }
  }
  checkBufferRule("GetFullPathNameA", d + "\\name.ext", [](char* b, DWORD s) {
    return GetFullPathNameA("name.ext", s, s ? b : nullptr, nullptr);
  });
  ASSERT_TRUE(SetCurrentDirectoryA(cwd));
}

TEST_F(PathTest, CurrentDirectory) {
  char saved[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryA(sizeof saved, saved), 0u);
  ASSERT_TRUE(CreateDirectoryA((dir / "Sub").c_str(), nullptr));
  ASSERT_TRUE(ScratchFolder::writeFile(dir / "file.txt", "f"));

  ASSERT_TRUE(SetCurrentDirectoryA((dir / "Sub\\").c_str()));
  checkBufferRule("GetCurrentDirectoryA", dir / "Sub", [](char* b, DWORD s) {
    return GetCurrentDirectoryA(s, s ? b : nullptr);
  });
  // Relative names now resolve against it.
  EXPECT_TRUE(ScratchFolder::writeFile("rel.txt", "r"));
  EXPECT_EQ(ScratchFolder::readFile(dir / "Sub\\rel.txt"), "r");
  EXPECT_TRUE(SetCurrentDirectoryA(".."));
  char now[MAX_PATH];
  GetCurrentDirectoryA(sizeof now, now);
  EXPECT_TRUE(iequal(now, dir.path())) << now;

  struct Case {
    std::string path;
    DWORD error;
  };
  const Case failures[] = {{dir / "none", ERROR_FILE_NOT_FOUND},
                           {dir / "none\\deeper", ERROR_PATH_NOT_FOUND},
                           {dir / "file.txt", ERROR_DIRECTORY}};
  for (const auto& f : failures) {
    SCOPED_TRACE(f.path);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetCurrentDirectoryA(f.path.c_str()));
    EXPECT_EQ(GetLastError(), f.error);
  }
  ASSERT_TRUE(SetCurrentDirectoryA(saved));
  DeleteFileA((dir / "Sub\\rel.txt").c_str());
}

TEST_F(PathTest, ShortAndLongNames) {
  const std::string file = dir / "a long file name.txt";
  ASSERT_TRUE(ScratchFolder::writeFile(file, "x"));
  // Without 8.3 names the short path is the long one; with them it is an
  // alias. Either way it names the same file and obeys the buffer rules.
  char shortPath[MAX_PATH];
  memset(shortPath, '#', sizeof shortPath);
  const DWORD n = GetShortPathNameA(file.c_str(), shortPath, sizeof shortPath);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(n, strlen(shortPath));
  EXPECT_EQ(ScratchFolder::readFile(shortPath), "x");
  const std::string shortText = shortPath;
  checkBufferRule("GetShortPathNameA", shortText, [&](char* b, DWORD s) {
    return GetShortPathNameA(file.c_str(), s ? b : nullptr, s);
  });

  char longPath[MAX_PATH];
  const DWORD m = GetLongPathNameA(shortPath, longPath, sizeof longPath);
  EXPECT_EQ(m, file.size());
  EXPECT_TRUE(iequal(longPath, file)) << longPath;

  for (const std::string& missing : {dir / "absent.txt", dir / "absent\\x.txt"}) {
    SCOPED_TRACE(missing);
    SetLastError(0xdeadbeef);
    memset(shortPath, '#', sizeof shortPath);
    EXPECT_EQ(GetShortPathNameA(missing.c_str(), shortPath, sizeof shortPath), 0u);
    const DWORD error = GetLastError();
    EXPECT_TRUE(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) << error;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetLongPathNameA(missing.c_str(), longPath, sizeof longPath), 0u);
    EXPECT_TRUE(GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND);
  }
}

TEST_F(PathTest, SystemFolders) {
  char system[MAX_PATH], windows[MAX_PATH], sysWindows[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryA(system, sizeof system), 0u);
  ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
  ASSERT_GT(GetSystemWindowsDirectoryA(sysWindows, sizeof sysWindows), 0u);
  EXPECT_TRUE(iequal(system, "C:\\Windows\\system32")) << system;
  EXPECT_TRUE(iequal(windows, "C:\\Windows")) << windows;
  EXPECT_TRUE(iequal(sysWindows, windows));
  checkBufferRule("GetSystemDirectoryA", system, [](char* b, DWORD s) { return GetSystemDirectoryA(s ? b : nullptr, s); });
  checkBufferRule("GetWindowsDirectoryA", windows,
                  [](char* b, DWORD s) { return GetWindowsDirectoryA(s ? b : nullptr, s); });
  EXPECT_EQ(GetFileAttributesA(system) & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetDriveTypeA("C:\\"), static_cast<UINT>(DRIVE_FIXED));
  EXPECT_EQ(GetDriveTypeA("Q:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
  ULARGE_INTEGER avail, total, freeBytes;
  ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &avail, &total, &freeBytes));
  EXPECT_GT(total.QuadPart, 0u);
  EXPECT_LE(avail.QuadPart, total.QuadPart);
}

TEST_F(PathTest, TempPathEndsWithBackslash) {
  char temp[MAX_PATH];
  const DWORD n = GetTempPathA(sizeof temp, temp);
  ASSERT_GT(n, 3u);
  EXPECT_EQ(temp[n - 1], '\\');
  EXPECT_EQ(temp[1], ':');
  checkBufferRule("GetTempPathA", temp, [](char* b, DWORD s) { return GetTempPathA(s, s ? b : nullptr); });
}

struct TempNameCase {
  const char* prefix;
  UINT unique;
  UINT returned;
  const char* name;  // after the folder, compared without regard to case
};

TEST_F(PathTest, TempFileNamesWithAGivenNumber) {
  const TempNameCase cases[] = {
      {"KVIS", 0x1234, 0x1234, "KVI1234.tmp"},
      {nullptr, 0x1234, 0x1234, "1234.tmp"},
      {"", 0xBEEF, 0xBEEF, "BEEF.tmp"},
      {"pre", 0xABCDE, 0xBCDE, "preBCDE.tmp"},
      {"pre", 0x1A, 0x1A, "pre1A.tmp"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char name[MAX_PATH];
    memset(name, '#', sizeof name);
    EXPECT_EQ(GetTempFileNameA(dir.path().c_str(), c.prefix, c.unique, name), c.returned);
    EXPECT_TRUE(iequal(name, dir / c.name)) << name;
    EXPECT_FALSE(ScratchFolder::exists(name)) << "a given number creates nothing";
  }
}

TEST_F(PathTest, TempFileNamesCreateUniqueFiles) {
  char first[MAX_PATH], second[MAX_PATH];
  const UINT a = GetTempFileNameA((dir.path() + "\\").c_str(), "KVIS", 0, first);
  const UINT b = GetTempFileNameA(dir.path().c_str(), "KVIS", 0, second);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  for (const char* name : {first, second}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ScratchFolder::readFile(name), "") << "created empty";
    const std::string n = upper(name);
    EXPECT_EQ(n.rfind(upper(dir / "KVI"), 0), 0u);
    EXPECT_EQ(n.substr(n.size() - 4), ".TMP");
  }
  // The number in the name is the one returned.
  char expected[MAX_PATH];
  GetTempFileNameA(dir.path().c_str(), "KVIS", a, expected);
  EXPECT_TRUE(iequal(first, expected));

  for (UINT unique : {0u, 7u}) {
    SCOPED_TRACE(unique);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetTempFileNameA((dir / "missing").c_str(), "KVI", unique, first), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
  }
}

}  // namespace
