// Fuzzes the report rewrite with an installer log of arbitrary bytes (the
// input, repeated to make it large): the report is the summary, the
// separator and then exactly the old bytes with one line end, and no
// temporary file is left behind.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/kv_setup_app.h"

#include "asan_short_stacks.h"
#include "fuzz_flags.h"
#include "fuzz_machine.h"

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

std::string g_report;
constexpr size_t kMaxLog = 3u << 16;

std::string readAll(const std::string& strPath) {
  std::string strText;
  HANDLE h = CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return strText;
  char buffer[65536];
  DWORD dw = 0;
  while (ReadFile(h, buffer, sizeof buffer, &dw, nullptr) && dw) strText.append(buffer, dw);
  CloseHandle(h);
  return strText;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // The plain schedule: the entropic one's bookkeeping after every input
  // costs as much as a run of this target.
  kvFuzzDefaultFlags(argc, argv, {"-entropic=0"});
  // A scratch machine of its own, on tmpfs: every input writes files.
  (void)kvFuzzMachine("report");
  (void)CEnvironment::kGetOsVersionCheck();
  char szTemp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, szTemp);
  CreateDirectoryA(szTemp, nullptr);
  g_report = std::string(szTemp) + "INNELI.LOG";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string strOld(reinterpret_cast<const char*>(data), size);
  // The first byte chooses how often the input repeats: up to a few of the
  // pieces the rewrite copies at a time (64 KB), which is all it takes to
  // cross their edges; more only costs time.
  const size_t nRepeat = size ? 1 + (data[0] % 8) * 16 : 1;
  std::string strLog;
  strLog.reserve(std::min(nRepeat * size, kMaxLog + size));
  for (size_t i = 0; i < nRepeat && strLog.size() < kMaxLog; ++i) strLog += strOld;
  HANDLE h = CreateFileA(g_report.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  check(h != INVALID_HANDLE_VALUE, "the old report can be written");
  DWORD dw = 0;
  WriteFile(h, strLog.data(), static_cast<DWORD>(strLog.size()), &dw, nullptr);
  CloseHandle(h);

  CKV_SETUPApp app;
  app.m_strLogFile = g_report;
  app.m_bInstallError = size > 1 && (data[1] & 1);
  app.m_bWarning = size > 1 && (data[1] & 2);
  app.kWriteKVISETUPLogInfo();
  const std::string strReport = readAll(g_report);
  check(strReport.size() >= strLog.size() + 2, "the report holds the old log");
  check(strReport.compare(strReport.size() - strLog.size() - 2, strLog.size(), strLog) == 0,
        "the old log follows unchanged");
  check(strReport.compare(strReport.size() - 2, 2, "\r\n") == 0, "one line end closes it");
  const size_t nSeparator = strReport.find("\r\n\r\n\r\n");
  check(nSeparator != std::string::npos && nSeparator + 6 == strReport.size() - strLog.size() - 2,
        "the separator comes right before the old log");
  WIN32_FIND_DATAA found;
  char szTemp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, szTemp);
  HANDLE hFind = FindFirstFileA((std::string(szTemp) + "KVIS*").c_str(), &found);
  check(hFind == INVALID_HANDLE_VALUE, "no temporary report is left");
  return 0;
}
