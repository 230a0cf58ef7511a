// The network search at scale: 1,000 and 10,000 printers on the simulated
// network. The listing pass through the staged stand-in library (both
// passes, every printer opened), and the list page's work on the result:
// filling the list with the three texts and their widths, then the first
// sort by address. The goal is under 100 ms for filling and sorting 10,000
// printers, growing as n log n.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "platform/winsim/advapi32/registry_store.h"
#include "platform/winsim/machine.h"
#include "wizard/list_model.h"
#include "wizard/network_printer_list.h"

namespace {

namespace reg = winsim::reg;

std::string g_stage;

// A scratch machine whose network holds n printers with addresses in no
// particular order.
void fillNetwork(int n) {
  static int s_filled = -1;
  if (s_filled == n) return;
  s_filled = n;
  reg::transact(reg::Hive::LocalMachine, [n](reg::Editor& h) {
    h.deleteKeyTree("SOFTWARE\\KVSim\\Network");
    for (int i = 0; i < n; ++i) {
      char key[64], address[32];
      std::snprintf(key, sizeof key, "SOFTWARE\\KVSim\\Network\\Printer%06d", i + 1);
      const unsigned v = static_cast<unsigned>(i) * 2654435761u;
      std::snprintf(address, sizeof address, "10.%u.%u.%u", (v >> 16) & 255, (v >> 8) & 255, v & 255);
      h.createKey(key);
      h.setString(key, "Address", address);
      h.setString(key, "Model", i % 3 ? "KV Laser 4000" : "KV Ink 10");
      h.setString(key, "Description", "Floor " + std::to_string(i % 17));
    }
    return true;
  });
}

void setUp() {
  if (!g_stage.empty()) return;
  const auto root = std::filesystem::temp_directory_path() / ("kvbench-net-" + std::to_string(::getpid()));
  setenv("KVSIM_ROOT", root.c_str(), 1);
  // The scratch machine goes with the run.
  static const std::filesystem::path s_scratch = root;
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(s_scratch, ec);
  });
  setenv("KVSIM_TIMESCALE", "0", 1);
  winsim::resetMachineRoot();
  g_stage = std::string("Z:") + KV_NQCORE_STAGE_DIR + "/";
  for (char& c : g_stage)
    if (c == '/') c = '\\';
}

void BM_ListingPass(benchmark::State& state) {
  setUp();
  const int n = static_cast<int>(state.range(0));
  fillNetwork(n);
  for (auto _ : state) {
    CNetworkPrinterList list(g_stage);
    if (!list.m_bNQEnable || !list.kMakeNetworkPrinterList() ||
        list.m_lstNetworkPrinter.size() != static_cast<size_t>(n)) {
      state.SkipWithError("the stand-in library did not list the network");
      return;
    }
    benchmark::DoNotOptimize(list.m_lstNetworkPrinter.data());
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_ListingPass)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

// The wrapper's own share of the listing pass: the same two passes over a
// library that answers from memory (the stand-in's share above is reading
// the machine's registry, whose subkey enumeration lists every key again
// for each index).
struct MemoryNetwork {
  std::vector<std::string> addresses;
  std::vector<ULONG_PTR> table;
  ULONG_PTR info[kNQInfoFields] = {};
  ULONG_PTR detail[kNQDetailFields] = {};
} g_memory;

DWORD WINAPI memIFVersion(DWORD*, DWORD*, DWORD, DWORD) { return 0; }
DWORD WINAPI memEnum(DWORD, DWORD, DWORD, DWORD, HANDLE* phEnum, DWORD* pdwCount, ULONG_PTR** ppTable) {
  *phEnum = reinterpret_cast<HANDLE>(&g_memory);
  *pdwCount = static_cast<DWORD>(g_memory.addresses.size());
  *ppTable = g_memory.table.data();
  return 0;
}
DWORD WINAPI memFree(HANDLE, DWORD) { return 0; }
DWORD WINAPI memOpen(const char*, HANDLE* phPrinter, DWORD) {
  *phPrinter = reinterpret_cast<HANDLE>(&g_memory);
  return 0;
}
DWORD WINAPI memClose(HANDLE) { return 0; }
DWORD WINAPI memInfo(HANDLE, DWORD, DWORD, DWORD, ULONG_PTR** ppInfo) {
  *ppInfo = g_memory.info;
  return 0;
}
DWORD WINAPI memCB(NQCALLBACKPROC) { return 0; }

void BM_ListingPassInMemory(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  static const std::string model = "KV Laser 4000", description = "Floor 2";
  g_memory.addresses.clear();
  for (int i = 0; i < n; ++i) g_memory.addresses.push_back("10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256));
  g_memory.table.assign(static_cast<size_t>(n) * kNQEntryFields, 0);
  for (int i = 0; i < n; ++i)
    g_memory.table[static_cast<size_t>(i) * kNQEntryFields + kNQEntryAddress] =
        reinterpret_cast<ULONG_PTR>(g_memory.addresses[static_cast<size_t>(i)].c_str());
  g_memory.info[kNQInfoModelName] = reinterpret_cast<ULONG_PTR>(model.c_str());
  g_memory.info[kNQInfoDetail] = reinterpret_cast<ULONG_PTR>(g_memory.detail);
  g_memory.detail[kNQDetailDescription] = reinterpret_cast<ULONG_PTR>(description.c_str());
  CNQEntryPoints ep;
  ep.pNQClosePrinterInfo = memClose;
  ep.pNQEnumFreePrinterInfo = memFree;
  ep.pNQEnumPrinterInfo = memEnum;
  ep.pNQGetIFVersion = memIFVersion;
  ep.pNQGetPrinterInfo = memInfo;
  ep.pNQOpenPrinterInfo = memOpen;
  ep.pNQEnableCBFunc = memCB;
  ep.pNQDisableCBFunc = memCB;
  for (auto _ : state) {
    CNetworkPrinterList list(ep);
    list.kMakeNetworkPrinterList();
    benchmark::DoNotOptimize(list.m_lstNetworkPrinter.data());
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_ListingPassInMemory)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

// The list page's list control with its three columns, over the printers
// the listing pass found on a network of `n` printers.
struct ListPage {
  explicit ListPage(int n) : list(g_stage) {
    setUp();
    fillNetwork(n);
    list.kMakeNetworkPrinterList();
    hList = CreateWindowExA(0, "SysListView32", "", LVS_REPORT | WS_CHILD, 0, 0, 500, 300, HWND_MESSAGE, nullptr,
                            nullptr, nullptr);
    model.kAttach(hList);
    for (int c = 0; c < 3; ++c) model.kInsertColumn(c, "column", LVCFMT_LEFT, 100);
  }
  ~ListPage() {
    model.kDeleteAllItems();
    DestroyWindow(hList);
  }
  CNetworkPrinterList list;
  HWND hList = nullptr;
  CListModel model;
};

// What the list page does with the printers found: one item per printer
// with its three texts measured, then the first sort by address.
void BM_FillAndSortListPage(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  ListPage page(n);
  CNetworkPrinterList& list = page.list;
  HWND hList = page.hList;
  CListModel& model = page.model;
  for (auto _ : state) {
    model.kDeleteAllItems();
    int widest[3] = {0, 0, 0};
    for (const CNetworkPrinter& p : list.m_lstNetworkPrinter) {
      model.kAddItem(new CListModelRecord{p.strModelName, p.strAddress, p.strDescription, {}});
      const std::string* texts[3] = {&p.strModelName, &p.strAddress, &p.strDescription};
      for (int c = 0; c < 3; ++c) {
        const int w = static_cast<int>(
            SendMessageA(hList, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(texts[c]->c_str())));
        if (w > widest[c]) widest[c] = w;
      }
    }
    model.kSort(1, TRUE);
    model.kSelectItem(0);
    benchmark::DoNotOptimize(widest);
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_FillAndSortListPage)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

// The first sort alone, on a filled list.
void BM_FirstAddressSort(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  ListPage page(n);
  CNetworkPrinterList& list = page.list;
  CListModel& model = page.model;
  for (auto _ : state) {
    state.PauseTiming();
    model.kDeleteAllItems();
    for (const CNetworkPrinter& p : list.m_lstNetworkPrinter)
      model.kAddItem(new CListModelRecord{p.strModelName, p.strAddress, p.strDescription, {}});
    state.ResumeTiming();
    model.kSort(1, TRUE);
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_FirstAddressSort)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oNLogN);

}  // namespace
