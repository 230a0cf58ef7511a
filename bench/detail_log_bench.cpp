// What a detail-log line costs: nothing worth measuring while the log is off
// (the usual case on a customer's machine), one open-write-close when it is on.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "system/detail_log.h"

namespace {

void BM_LineWhileLogIsOff(benchmark::State& state) {
  CDetailLog log;
  for (auto _ : state) {
    log.kWriteLog("CInfFile::kOpen() return FALSE (%d) LastError=%u %s\n", 1, 2u, "reason");
  }
}
BENCHMARK(BM_LineWhileLogIsOff);

void BM_TraceLineAtLevelOne(benchmark::State& state) {
  CDetailLog log;
  log.kSetDetailLogFileSetting(TRUE, "C:\\bench-never-written.log", 1);
  for (auto _ : state) {
    log.kWriteLogLevel99("trace %d\n", 1);
  }
}
BENCHMARK(BM_TraceLineAtLevelOne);

void BM_LineWhileLogIsOn(benchmark::State& state) {
  if (!std::getenv("KVSIM_ROOT")) setenv("KVSIM_ROOT", "/tmp/kvbench-detail-log", 1);
  char szTemp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, szTemp);
  const std::string strFile = std::string(szTemp) + "bench-detail.log";
  DeleteFileA(strFile.c_str());
  CDetailLog log;
  log.kSetDetailLogFileSetting(TRUE, strFile, 0);
  for (auto _ : state) {
    log.kWriteLog("CInfFile::kOpen() return FALSE (%d) LastError=%u %s\n", 1, 2u, "reason");
  }
  DeleteFileA(strFile.c_str());
}
BENCHMARK(BM_LineWhileLogIsOn);

}  // namespace
