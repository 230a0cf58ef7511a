// The installation's copy step: expanding the package's compressed driver
// files into place, measured beside libmspack's SZDD expansion of the same
// files and a plain copy of the expanded bytes, all in the same run.
//
// The package is made here: KV_BENCH_MB megabytes (default 200) of driver-
// like data (repetitive records with varying fields), split into files of
// 8 MB and compressed with a greedy LZSS encoder into SZDD files. Each
// expansion is checked against the data after it is timed.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <mspack.h>
#include <unistd.h>

#include "driverinfo/driver_infomation.h"
#include "platform/win32.h"

namespace {

namespace fs = std::filesystem;

// A greedy LZSS encoder in the SZDD layout: 4 KB window starting at 4080,
// matches of 3 to 18 bytes, a flag byte before every eight items.
std::string szddEncode(const std::string& in) {
  std::string out("SZDD\x88\xF0\x27\x33", 8);
  out.push_back('A');
  out.push_back('L');
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((in.size() >> (8 * i)) & 0xFF));
  std::vector<int> head(1 << 16, -1);
  std::vector<int> prev(in.size(), -1);
  size_t pos = 0;
  while (pos < in.size()) {
    const size_t flagAt = out.size();
    out.push_back(0);
    unsigned char flags = 0;
    for (int item = 0; item < 8 && pos < in.size(); ++item) {
      size_t bestLen = 0, bestAt = 0;
      if (pos + 3 <= in.size()) {
        const unsigned h = (static_cast<unsigned char>(in[pos]) << 8 ^ static_cast<unsigned char>(in[pos + 1]) << 4 ^
                            static_cast<unsigned char>(in[pos + 2])) & 0xFFFF;
        int cand = head[h];
        for (int tries = 0; cand >= 0 && tries < 8 && pos - static_cast<size_t>(cand) < 4096 - 18; ++tries) {
          size_t len = 0;
          while (len < 18 && pos + len < in.size() && in[static_cast<size_t>(cand) + len] == in[pos + len]) ++len;
          if (len > bestLen) bestLen = len, bestAt = static_cast<size_t>(cand);
          cand = prev[static_cast<size_t>(cand)];
        }
        prev[pos] = head[h];
        head[h] = static_cast<int>(pos);
      }
      if (bestLen >= 3) {
        const unsigned ring = static_cast<unsigned>((bestAt + 4080) & 0xFFF);
        out.push_back(static_cast<char>(ring & 0xFF));
        out.push_back(static_cast<char>(((ring >> 4) & 0xF0) | (bestLen - 3)));
        for (size_t k = 1; k < bestLen; ++k) {
          const size_t p = pos + k;
          if (p + 3 <= in.size()) {
            const unsigned h2 = (static_cast<unsigned char>(in[p]) << 8 ^ static_cast<unsigned char>(in[p + 1]) << 4 ^
                                 static_cast<unsigned char>(in[p + 2])) & 0xFFFF;
            prev[p] = head[h2];
            head[h2] = static_cast<int>(p);
          }
        }
        pos += bestLen;
      } else {
        flags |= static_cast<unsigned char>(1u << item);
        out.push_back(in[pos++]);
      }
    }
    out[flagAt] = static_cast<char>(flags);
  }
  return out;
}

struct Package {
  fs::path root;                     // the machine root
  std::vector<std::string> sources;  // Windows paths of the compressed files
  std::vector<fs::path> hostSources;
  std::vector<size_t> digests;       // of each file's data
  size_t expandedBytes = 0;
  ~Package() {
    std::error_code ec;
    if (!root.empty()) fs::remove_all(root, ec);
  }
};

Package& package() {
  static Package pkg = [] {
    Package p;
    const char* mb = std::getenv("KV_BENCH_MB");
    const size_t total = static_cast<size_t>(mb ? std::atoi(mb) : 200) << 20;
    p.root = fs::temp_directory_path() / ("kvbench-copy-" + std::to_string(::getpid()));
    fs::create_directories(p.root / "drive_c" / "PKG");
    fs::create_directories(p.root / "drive_c" / "OUT");
    setenv("KVSIM_ROOT", p.root.c_str(), 1);
    std::mt19937 rng(7);
    constexpr size_t kFile = 8u << 20;
    for (size_t n = 0; n * kFile < total; ++n) {
      std::string data;
      data.reserve(kFile);
      while (data.size() < kFile) {
        data += "RECORD " + std::to_string(rng() % 5000) + " OFFSET " + std::to_string(rng() % 100000) +
                " FLAGS 0x" + std::to_string(rng() % 16) + "\r\n";
        for (int k = 0; k < 4; ++k) data.push_back(static_cast<char>(rng() & 0xFF));
      }
      data.resize(std::min(kFile, total - n * kFile));
      const std::string name = "FILE" + std::to_string(n) + ".DL_";
      std::ofstream(p.root / "drive_c" / "PKG" / name, std::ios::binary) << szddEncode(data);
      p.sources.push_back("C:\\PKG\\" + name);
      p.hostSources.push_back(p.root / "drive_c" / "PKG" / name);
      p.digests.push_back(std::hash<std::string>()(data));
      p.expandedBytes += data.size();
    }
    return p;
  }();
  return pkg;
}

// True when the files named OUT\<prefix><n>.DLL hold the package's data.
bool expandedIntact(const Package& p, const std::string& prefix) {
  for (size_t i = 0; i < p.sources.size(); ++i) {
    std::ifstream in(p.root / "drive_c" / "OUT" / (prefix + std::to_string(i) + ".DLL"), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (std::hash<std::string>()(bytes) != p.digests[i]) return false;
  }
  return true;
}

// The Setup API's expansion: SetupDecompressOrCopyFileA into the target
// folder.
void BM_CopyStepExpansion(benchmark::State& state) {
  Package& p = package();
  for (auto _ : state) {
    for (size_t i = 0; i < p.sources.size(); ++i) {
      const std::string target = "C:\\OUT\\FILE" + std::to_string(i) + ".DLL";
      UINT type = FILE_COMPRESSION_WINLZA;
      if (SetupDecompressOrCopyFileA(p.sources[i].c_str(), target.c_str(), &type) != NO_ERROR) {
        state.SkipWithError("SetupDecompressOrCopyFileA failed");
        return;
      }
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.expandedBytes));
  if (!expandedIntact(p, "FILE")) state.SkipWithError("the expanded files differ from the data");
}

// The installation's own copy of a file: expanded by the driver-information
// facade (LZOpenFileA and LZCopy) into a temporary file in the target
// folder, which then replaces the target.
void BM_InstallationCopy(benchmark::State& state) {
  Package& p = package();
  CDriverInfomation info;
  if (info.VEXOInitialize("C:\\PKG") != VEXOERR_SUCCESS) {
    state.SkipWithError("VEXOInitialize failed");
    return;
  }
  for (auto _ : state) {
    for (size_t i = 0; i < p.sources.size(); ++i) {
      const std::string target = "C:\\OUT\\INST" + std::to_string(i) + ".DLL";
      char temp[MAX_PATH] = {};
      if (!GetTempFileNameA("C:\\OUT", "KVIS", 0, temp) ||
          !info.kSetupDecompressOrCopyFile(p.sources[i], temp, 0, nullptr) ||
          !MoveFileExA(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        state.SkipWithError("the installation's copy failed");
        return;
      }
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.expandedBytes));
  if (!expandedIntact(p, "INST")) state.SkipWithError("the expanded files differ from the data");
}

// libmspack's SZDD expansion of the same files, file to file.
void BM_MspackSzdd(benchmark::State& state) {
  Package& p = package();
  msszdd_decompressor* szdd = mspack_create_szdd_decompressor(nullptr);
  for (auto _ : state) {
    for (size_t i = 0; i < p.hostSources.size(); ++i) {
      const fs::path out = p.root / "drive_c" / "OUT" / ("M" + std::to_string(i) + ".DLL");
      if (szdd->decompress(szdd, const_cast<char*>(p.hostSources[i].c_str()), const_cast<char*>(out.c_str())) !=
          MSPACK_ERR_OK) {
        state.SkipWithError("libmspack failed");
        break;
      }
    }
  }
  mspack_destroy_szdd_decompressor(szdd);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.expandedBytes));
  if (!expandedIntact(p, "M")) state.SkipWithError("the expanded files differ from the data");
}

// A plain copy of the expanded bytes.
void BM_PlainCopy(benchmark::State& state) {
  Package& p = package();
  for (size_t i = 0; i < p.sources.size(); ++i) {
    const std::string target = "C:\\OUT\\FILE" + std::to_string(i) + ".DLL";
    UINT type = FILE_COMPRESSION_WINLZA;
    SetupDecompressOrCopyFileA(p.sources[i].c_str(), target.c_str(), &type);
  }
  for (auto _ : state) {
    for (size_t i = 0; i < p.sources.size(); ++i) {
      const std::string from = "C:\\OUT\\FILE" + std::to_string(i) + ".DLL";
      const std::string to = "C:\\OUT\\COPY" + std::to_string(i) + ".DLL";
      if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
        state.SkipWithError("CopyFileA failed");
        return;
      }
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.expandedBytes));
}

BENCHMARK(BM_CopyStepExpansion)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InstallationCopy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MspackSzdd)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
