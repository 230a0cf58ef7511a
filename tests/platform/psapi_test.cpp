// The process status functions: the process list and its sizing rule, the
// modules of a process with the image first, and module file names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "support/conformance.h"

namespace {

std::vector<DWORD> allProcessIds() {
  std::vector<DWORD> ids(64);
  for (;;) {
    DWORD cbNeeded = 0;
    const DWORD cb = static_cast<DWORD>(ids.size() * sizeof(DWORD));
    EXPECT_TRUE(EnumProcesses(ids.data(), cb, &cbNeeded));
    if (cbNeeded < cb) {
      ids.resize(cbNeeded / sizeof(DWORD));
      return ids;
    }
    ids.resize(ids.size() * 2);
  }
}

std::string ownImage() {
  char sz[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, sz, sizeof sz);
  return sz;
}

TEST(ProcessStatus, TheProcessListHoldsThisProcessAndReportsBytesWritten) {
  const std::vector<DWORD> ids = allProcessIds();
  EXPECT_NE(std::find(ids.begin(), ids.end(), GetCurrentProcessId()), ids.end());
  ASSERT_GE(ids.size(), 2u);

  // A buffer too small for all of them is filled, and the size written is
  // the buffer's size: the caller's sign to grow it. A remainder smaller
  // than one id is not written.
  for (DWORD cb : {4u, 6u, 8u}) {
    std::vector<DWORD> few(4, 0xdeadbeef);
    DWORD cbNeeded = 0xdeadbeef;
    ASSERT_TRUE(EnumProcesses(few.data(), cb, &cbNeeded)) << cb;
    EXPECT_EQ(cbNeeded, cb / 4 * 4) << cb;
    EXPECT_EQ(few[cb / 4], 0xdeadbeefu) << "nothing written past the whole ids, cb=" << cb;
  }
  DWORD cbNeeded = 0xdeadbeef;
  ASSERT_TRUE(EnumProcesses(nullptr, 0, &cbNeeded));
  EXPECT_EQ(cbNeeded, 0u);
}

TEST(ProcessStatus, TheFirstModuleOfAProcessIsItsImage) {
  HANDLE hProcess = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, GetCurrentProcessId());
  ASSERT_NE(hProcess, nullptr) << GetLastError();

  // One slot: the first handle and the size that all of them need.
  HMODULE hFirst = nullptr;
  DWORD cbNeeded = 0;
  ASSERT_TRUE(EnumProcessModules(hProcess, &hFirst, sizeof hFirst, &cbNeeded)) << GetLastError();
  EXPECT_EQ(hFirst, GetModuleHandleA(nullptr));
  EXPECT_GT(cbNeeded, sizeof(HMODULE)) << "a program has more than its image loaded";
  EXPECT_EQ(cbNeeded % sizeof(HMODULE), 0u);

  std::vector<HMODULE> modules(cbNeeded / sizeof(HMODULE));
  DWORD cbAgain = 0;
  ASSERT_TRUE(EnumProcessModules(hProcess, modules.data(), cbNeeded, &cbAgain));
  EXPECT_EQ(cbAgain, cbNeeded);
  EXPECT_EQ(modules[0], hFirst);

  // The image by a NULL module and by its handle; every other module has a
  // full path of its own.
  char szPath[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameExA(hProcess, nullptr, szPath, sizeof szPath);
  EXPECT_EQ(n, std::strlen(szPath));
  EXPECT_EQ(std::string(szPath), ownImage());
  ASSERT_GT(GetModuleFileNameExA(hProcess, hFirst, szPath, sizeof szPath), 0u);
  EXPECT_EQ(std::string(szPath), ownImage());
  for (size_t i = 1; i < modules.size(); ++i) {
    ASSERT_GT(GetModuleFileNameExA(hProcess, modules[i], szPath, sizeof szPath), 0u) << i;
    EXPECT_EQ(szPath[1], ':') << szPath;
    EXPECT_NE(std::string(szPath), ownImage());
  }
  CloseHandle(hProcess);
}

TEST(ProcessStatus, ALoadedLibraryJoinsTheModulesOfItsProcess) {
  HMODULE hPsapi = LoadLibraryA("psapi.dll");
  ASSERT_NE(hPsapi, nullptr);
  std::vector<HMODULE> modules(1024);
  DWORD cbNeeded = 0;
  ASSERT_TRUE(EnumProcessModules(GetCurrentProcess(), modules.data(),
                                 static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &cbNeeded));
  modules.resize(cbNeeded / sizeof(HMODULE));
  ASSERT_NE(std::find(modules.begin(), modules.end(), hPsapi), modules.end());
  char szPath[MAX_PATH + 1] = {};
  ASSERT_GT(GetModuleFileNameExA(GetCurrentProcess(), hPsapi, szPath, sizeof szPath), 0u);
  std::string path = szPath;
  for (char& c : path) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ASSERT_GE(path.size(), 10u);
  EXPECT_EQ(path.substr(path.size() - 10), "\\PSAPI.DLL");
  FreeLibrary(hPsapi);
}

TEST(ProcessStatus, ShortBuffersAndUnknownModules) {
  HANDLE hProcess = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, GetCurrentProcessId());
  ASSERT_NE(hProcess, nullptr);
  const std::string image = ownImage();
  ASSERT_GT(image.size(), 4u);
  // Cut to three characters and a NUL; the answer is the buffer's size.
  char sz[8];
  std::memset(sz, 0x7f, sizeof sz);
  EXPECT_EQ(GetModuleFileNameExA(hProcess, nullptr, sz, 4), 4u);
  EXPECT_EQ(std::string(sz), image.substr(0, 3));
  EXPECT_EQ(sz[4], 0x7f);

  char szPath[MAX_PATH + 1] = {};
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetModuleFileNameExA(hProcess, reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x1230000)), szPath,
                                 sizeof szPath),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  CloseHandle(hProcess);
}

TEST(ProcessStatus, ThePsapiFunctionsBindByName) {
  HMODULE hPsapi = LoadLibraryA("psapi.dll");
  ASSERT_NE(hPsapi, nullptr);
  for (const char* name : {"EnumProcesses", "EnumProcessModules", "GetModuleFileNameExA"}) {
    EXPECT_NE(GetProcAddress(hPsapi, name), nullptr) << name;
  }
  using PFN_ENUMPROCESSES = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
  const auto pfn = reinterpret_cast<PFN_ENUMPROCESSES>(
      reinterpret_cast<void (*)()>(GetProcAddress(hPsapi, "EnumProcesses")));
  ASSERT_NE(pfn, nullptr);
  DWORD ids[256] = {};
  DWORD cbNeeded = 0;
  ASSERT_TRUE(pfn(ids, sizeof ids, &cbNeeded));
  EXPECT_NE(std::find(ids, ids + cbNeeded / sizeof(DWORD), GetCurrentProcessId()), ids + cbNeeded / sizeof(DWORD));
  FreeLibrary(hPsapi);
}

TEST(ProcessStatus, TheSystemProcessCannotBeRead) {
  // Id 0 is the idle process, which cannot be opened at all; id 4 is the
  // System process, which no program may read.
  SetLastError(0xdeadbeef);
  EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  KV_WINE_DEPARTS("Wine has no System process with id 4") {
    const std::vector<DWORD> ids = allProcessIds();
    EXPECT_NE(std::find(ids.begin(), ids.end(), 4u), ids.end());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, 4), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  }
}

}  // namespace
