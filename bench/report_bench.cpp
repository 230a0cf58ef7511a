// The report rewrite with a large installer log: its cost must grow with the
// log's size and no faster (one streamed copy, no whole-file buffers), and
// the writing of the interface file for a package of many INF files.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "app/kv_setup_app.h"

namespace {

std::string tempFolder() {
  if (!std::getenv("KVSIM_ROOT")) setenv("KVSIM_ROOT", "/tmp/kvbench-report", 1);
  char szTemp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, szTemp);
  CreateDirectoryA(szTemp, nullptr);
  return szTemp;
}

void writeLog(const std::string& strPath, size_t nBytes) {
  HANDLE h = CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  const std::string strLine = "NELI: driver KV LaserPro 5000 registered for Windows x64 from C:\\PKG\\DRIVERS\r\n";
  std::string strChunk;
  while (strChunk.size() < (1u << 20)) strChunk += strLine;
  DWORD dw = 0;
  for (size_t n = 0; n < nBytes; n += strChunk.size()) {
    WriteFile(h, strChunk.data(), static_cast<DWORD>(std::min(strChunk.size(), nBytes - n)), &dw, nullptr);
  }
  CloseHandle(h);
}

void BM_ReportRewrite(benchmark::State& state) {
  const size_t nBytes = static_cast<size_t>(state.range(0)) << 20;
  CKV_SETUPApp& app = *new CKV_SETUPApp;  // lives as long as the process, as the program's own does
  app.m_strLogFile = tempFolder() + "INNELI.LOG";
  (void)CEnvironment::kGetOsVersionCheck();
  for (auto _ : state) {
    state.PauseTiming();
    writeLog(app.m_strLogFile, nBytes);
    state.ResumeTiming();
    app.kWriteKVISETUPLogInfo();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * nBytes));
  DeleteFileA(app.m_strLogFile.c_str());
}
BENCHMARK(BM_ReportRewrite)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);

void BM_InterfaceFileBatch(benchmark::State& state) {
  tempFolder();
  CKV_SETUPApp& app = *new CKV_SETUPApp;
  (void)CEnvironment::kGetOsVersionCheck();
  app.m_strLogFile = tempFolder() + "INNELI.LOG";
  app.m_bBSwitch = 1;
  app.m_bASwitch = 1;
  app.m_strAddDriverName = "KV LaserPro 5000";
  CCandidateDriverList& lst = app.m_pDriverInfomation->VEXOGetCandidateDriverList();
  for (int i = 0; i < state.range(0); ++i) {
    CCandidateDriver c;
    c.strDriverName = "KV LaserPro 5000";
    c.strInfPath = "C:\\PKG\\D" + std::to_string(i) + "\\KV.INF";
    c.dwInfOSVersion = 3;
    c.strPlatform = "NTamd64";
    lst.push_back(c);
  }
  for (auto _ : state) benchmark::DoNotOptimize(app.kMakeInterfaceFile());
  lst.clear();
}
BENCHMARK(BM_InterfaceFileBatch)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace
