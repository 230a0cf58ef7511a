// Profile files held in memory answer every read exactly as the same bytes
// in a file do; a write goes to the file and later reads follow it there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fresh_machine.h"
#include "kernel32/profile_memory.h"
#include "platform/win32.h"

namespace {

class ProfileMemory : public kvtest::FreshMachine {
 protected:
  void TearDown() override {
    winsim::profile::clearMemoryFiles();
    kvtest::FreshMachine::TearDown();
  }
};

// Every answer the readers of package files ask for, as one text.
std::string answers(const char* file) {
  std::string out;
  std::vector<char> buffer(4096);
  auto add = [&](DWORD n) {
    out.append(buffer.data(), n);
    out += "|" + std::to_string(n) + "|" + std::to_string(GetLastError()) + "\n";
  };
  add(GetPrivateProfileSectionNamesA(buffer.data(), 4096, file));
  add(GetPrivateProfileStringA("S", nullptr, "", buffer.data(), 4096, file));
  for (const char* key : {"a", "A", "quoted", "last", "missing", "dup"}) {
    add(GetPrivateProfileStringA("S", key, "def", buffer.data(), 4096, file));
    add(GetPrivateProfileStringA("S", key, "def", buffer.data(), 5, file));
  }
  add(GetPrivateProfileSectionA("S", buffer.data(), 4096, file));
  add(GetPrivateProfileSectionA("T", buffer.data(), 4096, file));
  add(GetPrivateProfileIntA("S", "n", 7, file));
  return out;
}

TEST_F(ProfileMemory, MemoryAnswersAsTheFileDoes) {
  const std::vector<std::string> contents = {
      "[S]\r\na=1\r\nA=2\r\nquoted=\" q \"\r\ndup=x\r\ndup=y\r\nn=0x1F\r\n; c\r\n[T]\r\nk = v \r\nlast=end",
      "[S]\nlast=no line end",  // the very last byte is the value's
      "last=before any section\n[S]\r\n[S]\r\nlast=second header\r\n",
      std::string("\xFF\xFE[\0S\0]\0\r\0\n\0l\0a\0s\0t\0=\0w\0", 22),
      "",
      "[S",
  };
  for (const std::string& bytes : contents) {
    put("C:\\pkg\\disk.ini", bytes);
    winsim::profile::setMemoryFile("C:\\pkg\\mem.ini", bytes);
    EXPECT_EQ(answers("C:\\pkg\\mem.ini"), answers("C:\\pkg\\disk.ini")) << bytes;
  }
}

TEST_F(ProfileMemory, NameMatchesInAnyCaseAndSlashOnly) {
  winsim::profile::setMemoryFile("C:\\Pkg\\KVISETUP.INI", "[S]\r\nk=memory\r\n");
  char buffer[32];
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", buffer, sizeof buffer, "c:/pkg/kvisetup.ini"), 6u);
  EXPECT_STREQ(buffer, "memory");
  // Another spelling of the same path is another name: it reads the disk.
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "none", buffer, sizeof buffer, "C:\\Pkg\\.\\KVISETUP.INI"), 4u);
  winsim::profile::clearMemoryFiles();
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "none", buffer, sizeof buffer, "C:\\Pkg\\KVISETUP.INI"), 4u);
}

TEST_F(ProfileMemory, WriteGoesToTheFileAndReadsFollow) {
  put("C:\\pkg\\w.ini", "[S]\r\nk=disk\r\n");
  winsim::profile::setMemoryFile("C:\\pkg\\w.ini", "[S]\r\nk=memory\r\n");
  char buffer[32];
  GetPrivateProfileStringA("S", "k", "", buffer, sizeof buffer, "C:\\pkg\\w.ini");
  EXPECT_STREQ(buffer, "memory");
  ASSERT_TRUE(WritePrivateProfileStringA("S", "new", "1", "C:\\pkg\\w.ini"));
  GetPrivateProfileStringA("S", "k", "", buffer, sizeof buffer, "C:\\pkg\\w.ini");
  EXPECT_STREQ(buffer, "disk");
  GetPrivateProfileStringA("S", "new", "", buffer, sizeof buffer, "C:\\pkg\\w.ini");
  EXPECT_STREQ(buffer, "1");
}

}  // namespace
