// Builds the candidate list of generated packages: one INF with N models on
// one driver file, and a package of 50 INF files of 200 models each. The
// build must grow linearly with the number of models.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "driverinfo/driver_infomation.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBenchRoot = fs::temp_directory_path() / "kv_candidate_bench";

// The benchmarks run on a machine of their own, never the user's.
const bool kMachineChosen = [] {
  setenv("KVSIM_ROOT", (kBenchRoot / "machine").c_str(), 0);
  return true;
}();

std::string makeInf(int models, int tag) {
  std::string inf =
      "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\nProvider=%Maker%\r\nCatalogFile=kv.cat\r\n"
      "[Manufacturer]\r\n%Maker%=Models,NTamd64\r\n[Models.NTamd64]\r\n";
  for (int i = 0; i < models; ++i) {
    const std::string n = std::to_string(tag) + "_" + std::to_string(i);
    inf += "\"%Maker% Model " + n + "\" = DRV_INSTALL, USBPRINT\\MakerModel" + n + ", MakerModel" + n + "\r\n";
  }
  inf += "[DRV_INSTALL]\r\nCopyFiles=DRV_FILES,@kvdrv.gpd\r\nDriverFile=kvdrv.dll\r\nConfigFile=kvui.dll\r\n"
         "PrintProcessor=WinPrint,\r\n[DRV_FILES]\r\nkvdrv.dll\r\nkvui.dll\r\n"
         "[DestinationDirs]\r\nDefaultDestDir=66000\r\n[Strings]\r\nMaker=\"Bench Maker\"\r\n";
  return inf;
}

// A package folder with `infs` INF files of `models` models each, made once.
std::string makePackage(int infs, int models) {
  const fs::path dir = kBenchRoot / ("pkg_" + std::to_string(infs) + "x" + std::to_string(models)) / "DISK1";
  if (!fs::exists(dir / "DRVINST.DSC")) {
    fs::create_directories(dir);
    for (int i = 0; i < infs; ++i) {
      std::ofstream(dir / ("kv" + std::to_string(i) + ".inf"), std::ios::binary) << makeInf(models, i);
    }
    for (const char* file : {"kvdrv.dll", "kvui.dll", "kvdrv.gpd"}) std::ofstream(dir / file) << "x";
    std::ofstream(dir / "DRVINST.DSC") << "[DrvInst]\r\nVersion=3\r\nPlatform=NTamd64\r\nModelName=KV\r\n";
  }
  std::string win = "Z:" + dir.string();
  for (char& c : win) {
    if (c == '/') c = '\\';
  }
  return win;
}

void analyse(benchmark::State& state, int infs, int models) {
  const std::string folder = makePackage(infs, models);
  CDriverInfomation info;
  if (info.VEXOInitialize("C:\\KV") != VEXOERR_SUCCESS) {
    state.SkipWithError("Setup API not bound");
    return;
  }
  for (auto _ : state) {
    if (info.VEXOMakeCandidateDriverList(folder, "", FALSE) != VEXOERR_SUCCESS) {
      state.SkipWithError("analysis failed");
      return;
    }
    benchmark::DoNotOptimize(info.VEXOGetCandidateDriverList().size());
  }
  state.counters["models"] = infs * models;
}

void BM_OneInf(benchmark::State& state) { analyse(state, 1, static_cast<int>(state.range(0))); }
BENCHMARK(BM_OneInf)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_FiftyInfs(benchmark::State& state) { analyse(state, 50, 200); }
BENCHMARK(BM_FiftyInfs)->Unit(benchmark::kMillisecond);

}  // namespace
