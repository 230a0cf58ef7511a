// Builds the candidate list of generated packages: one INF with N models on
// one driver file, and a package of 50 INF files of 200 models each. The
// build must grow linearly with the number of models.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "driverinfo/driver_infomation.h"
#include "system/common_function.h"

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

// The sibling-folder search of a package folder with a long name beside
// `siblings` folders of long names (other packages, each with a few files):
// a file that is nowhere costs one listing of the parent and a search of the
// disk folders alone, however many folders lie beside it.
std::string makeCrowdedPackage(int siblings) {
  const std::string strLong = "Printer_Driver_Package_For_A_Very_Long_Model_Name_";
  const fs::path parent = kBenchRoot / ("crowd_" + std::to_string(siblings));
  const fs::path dir = parent / (strLong + "DISK1");
  if (!fs::exists(dir)) {
    fs::create_directories(dir);
    // One listed file is missing: every analysis searches the folders beside.
    std::string inf = makeInf(10, 0);
    inf.replace(inf.find("[DRV_FILES]\r\n"), 13, "[DRV_FILES]\r\nkvmissing.dll\r\n");
    std::ofstream(dir / "kv.inf", std::ios::binary) << inf;
    for (const char* file : {"kvdrv.dll", "kvui.dll", "kvdrv.gpd"}) std::ofstream(dir / file) << "x";
    std::ofstream(dir / "DRVINST.DSC") << "[DrvInst]\r\nVersion=3\r\nPlatform=NTamd64\r\nModelName=KV\r\n";
    for (int i = 0; i < siblings; ++i) {
      const fs::path other = parent / ("Another_Vendor_Package_With_A_Long_Folder_Name_" + std::to_string(i));
      fs::create_directories(other);
      for (const char* file : {"setup.inf", "driver.dll", "readme.txt"}) std::ofstream(other / file) << "x";
    }
  }
  std::string win = "Z:" + dir.string();
  for (char& c : win) {
    if (c == '/') c = '\\';
  }
  return win;
}

void BM_SearchMissingFileBeside(benchmark::State& state) {
  const std::string folder = makeCrowdedPackage(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::string strFound;
    if (CCommonFunction::kStdAfxSearchFile(folder.c_str(), "missing.dll", strFound, 1)) {
      state.SkipWithError("a file of another package was taken");
      return;
    }
  }
  state.counters["siblings"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_SearchMissingFileBeside)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_AnalyseBeside(benchmark::State& state) {
  const std::string folder = makeCrowdedPackage(static_cast<int>(state.range(0)));
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
  }
  state.counters["siblings"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_AnalyseBeside)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
