// Opens a generated printer INF with N model lines on one driver file and
// reads every model line and its fields, as the candidate list does.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/win32.h"

#include "generated_inf.h"

namespace {

std::string writeInf(int models) {
  const auto dir = std::filesystem::temp_directory_path() / "kv_inf_bench";
  std::filesystem::create_directories(dir);
  const auto file = dir / ("models" + std::to_string(models) + ".inf");
  std::ofstream(file, std::ios::binary) << makeInf(models);
  std::string win = "Z:" + file.string();
  for (char& c : win) {
    if (c == '/') c = '\\';
  }
  return win;
}

void BM_OpenAndEnumerateModels(benchmark::State& state) {
  const int models = static_cast<int>(state.range(0));
  const std::string path = writeInf(models);
  for (auto _ : state) {
    HINF h = SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      state.SkipWithError("open failed");
      break;
    }
    INFCONTEXT ctx;
    char buf[LINE_LEN];
    DWORD seen = 0;
    for (BOOL more = SetupFindFirstLineA(h, "Models.NTamd64", nullptr, &ctx); more;
         more = SetupFindNextLine(&ctx, &ctx)) {
      for (DWORD f = 0; f <= 3; ++f) SetupGetStringFieldA(&ctx, f, buf, sizeof buf, nullptr);
      // The reader also looks each model up again by its description.
      INFCONTEXT byKey;
      SetupGetStringFieldA(&ctx, 0, buf, sizeof buf, nullptr);
      SetupFindFirstLineA(h, "Models.NTamd64", buf, &byKey);
      ++seen;
    }
    SetupCloseInfFile(h);
    if (seen != static_cast<DWORD>(models)) state.SkipWithError("wrong model count");
  }
  state.SetComplexityN(models);
}
BENCHMARK(BM_OpenAndEnumerateModels)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

// A scratch machine of its own, set before anything asks for the machine.
const bool kMachineChosen = [] {
  if (!std::getenv("KVSIM_ROOT")) {
    const auto root = std::filesystem::temp_directory_path() / "kv_inf_bench" / "machine";
    setenv("KVSIM_ROOT", root.c_str(), 1);
  }
  return true;
}();

}  // namespace
