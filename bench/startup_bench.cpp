// The start-up of the real program on the staged sample package, from the
// process start to the first wizard message, on a machine of its own: the
// licence page that message opens is cancelled at once by a UI script. Run
// `make stage` first; `make bench` does.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// The processor time the ended child processes have used so far, in ms.
double childCpuMs() {
  rusage usage = {};
  getrusage(RUSAGE_CHILDREN, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// One machine per run of the benchmark, so that runs from several checkouts
// at once never share (and lock) one machine.
const fs::path kBenchRoot = fs::temp_directory_path() / ("kv_startup_bench." + std::to_string(getpid()));

struct CBenchRootRemover {
  ~CBenchRootRemover() {
    std::error_code ec;
    fs::remove_all(kBenchRoot, ec);
  }
} g_benchRootRemover;

// One run of kv_setup in the package folder; its exit code, or -1.
int runOnce(const fs::path& package, const char* pszArgument) {
  const std::string strProgram = (package / "kv_setup").string();
  char* argv[] = {const_cast<char*>(strProgram.c_str()), const_cast<char*>(pszArgument), nullptr};
  if (!*pszArgument) argv[1] = nullptr;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 0, 0);
  pid_t pid = 0;
  const int nError = posix_spawn(&pid, strProgram.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (nError != 0) return -1;
  int nStatus = 0;
  if (waitpid(pid, &nStatus, 0) != pid || !WIFEXITED(nStatus)) return -1;
  return WEXITSTATUS(nStatus);
}

void startup(benchmark::State& state, const char* pszArgument) {
  const fs::path package = KV_STAGED_PACKAGE;
  if (!fs::exists(package / "kv_setup")) {
    state.SkipWithError("no staged package: run `make stage` first");
    return;
  }
  setenv("KVSIM_ROOT", (kBenchRoot / "machine").c_str(), 1);
  // The first wizard message opens the licence page; the script cancels it.
  fs::create_directories(kBenchRoot);
  const fs::path script = kBenchRoot / "cancel-licence.txt";
  std::ofstream(script) << "page 1000: cancel\n";
  setenv("KVSIM_UI", ("script:" + script.string()).c_str(), 1);
  // The first run creates the machine; it is not measured.
  if (runOnce(package, pszArgument) != 0) {
    state.SkipWithError("kv_setup did not end cleanly");
    return;
  }
  // The time of a run on a busy host is mostly waiting for a processor; the
  // child's own processor time says what the start-up costs.
  const double dStart = childCpuMs();
  for (auto _ : state) {
    if (runOnce(package, pszArgument) != 0) state.SkipWithError("kv_setup did not end cleanly");
  }
  state.counters["child_cpu_ms"] =
      benchmark::Counter((childCpuMs() - dStart) / static_cast<double>(state.iterations()));
}

// The whole start-up: candidate drivers and the spooler's lists included.
void BM_StartupToFirstPage(benchmark::State& state) { startup(state, ""); }
BENCHMARK(BM_StartupToFirstPage)->Unit(benchmark::kMillisecond)->UseRealTime();

// A process that ends at once (+S), for the cost of starting and ending a
// process on the simulated machine, which the figure above includes.
void BM_ProcessStartAndEnd(benchmark::State& state) {
  // +S is refused before any window or file work; its exit is 6.
  const fs::path package = KV_STAGED_PACKAGE;
  if (!fs::exists(package / "kv_setup")) {
    state.SkipWithError("no staged package: run `make stage` first");
    return;
  }
  setenv("KVSIM_ROOT", (kBenchRoot / "machine").c_str(), 1);
  // No page opens: a script left unused would fail the run.
  setenv("KVSIM_UI", "none", 1);
  const double dStart = childCpuMs();
  for (auto _ : state) {
    if (runOnce(package, "+S") != 6) state.SkipWithError("kv_setup +S did not end with exit 6");
  }
  state.counters["child_cpu_ms"] =
      benchmark::Counter((childCpuMs() - dStart) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_ProcessStartAndEnd)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
