#include "network/fake_nq_library.h"

#include <cstring>
#include <memory>

namespace kvnet {
namespace {

FakeNetwork g_network;
std::atomic<NQCALLBACKPROC> g_pfnCallBack{nullptr};

struct Enumeration {
  std::vector<FakePrinter> printers;
  std::vector<ULONG_PTR> table;
};

struct Open {
  FakePrinter printer;
  std::vector<char> model;  // padded so that an unterminated text stays inside
  ULONG_PTR info[kNQInfoFields] = {};
  ULONG_PTR detail[kNQDetailFields] = {};
};

DWORD WINAPI getIFVersion(DWORD* pMajor, DWORD* pMinor, DWORD, DWORD) {
  *pMajor = 1;
  *pMinor = 0;
  return g_network.dwIFVersionResult;
}

DWORD WINAPI enumPrinterInfo(DWORD dwFlags, DWORD, DWORD, DWORD, HANDLE* phEnum, DWORD* pdwCount, ULONG_PTR** ppTable) {
  if (dwFlags != kNQEnumFlags) return ERROR_INVALID_PARAMETER;
  if (g_network.dwEnumResult) return g_network.dwEnumResult;
  auto e = std::make_unique<Enumeration>();
  e->printers = g_network.printers;
  if (g_network.nEnumerations++ > 0) {
    for (DWORD i = 0; i < g_network.dwExtraOnListing; ++i) {
      FakePrinter p;
      p.strAddress = "10.255.0." + std::to_string(i);
      p.strModel = "Extra";
      e->printers.push_back(p);
    }
  }
  e->table.assign(e->printers.size() * kNQEntryFields, 0);
  for (size_t i = 0; i < e->printers.size(); ++i) {
    ++g_network.nCallbacks;
    if (NQCALLBACKPROC pfn = g_pfnCallBack.load(); pfn && pfn()) return ERROR_CANCELLED;
    if (!e->printers[i].bNullAddress)
      e->table[i * kNQEntryFields + kNQEntryAddress] = reinterpret_cast<ULONG_PTR>(e->printers[i].strAddress.c_str());
  }
  *pdwCount = static_cast<DWORD>(e->printers.size());
  *ppTable = g_network.bNullTable || e->table.empty() ? nullptr : e->table.data();
  *phEnum = reinterpret_cast<HANDLE>(e.release());
  ++g_network.nEnumOpen;
  return 0;
}

DWORD WINAPI enumFreePrinterInfo(HANDLE hEnum, DWORD) {
  delete reinterpret_cast<Enumeration*>(hEnum);
  --g_network.nEnumOpen;
  return 0;
}

DWORD WINAPI openPrinterInfo(const char* pszAddress, HANDLE* phPrinter, DWORD) {
  std::vector<FakePrinter> all = g_network.printers;
  for (DWORD i = 0; i < g_network.dwExtraOnListing; ++i) {
    FakePrinter p;
    p.strAddress = "10.255.0." + std::to_string(i);
    p.strModel = "Extra";
    all.push_back(p);
  }
  for (const FakePrinter& p : all) {
    if (p.strAddress != pszAddress) continue;
    if (p.bUnreachable) return WAIT_TIMEOUT;
    auto o = std::make_unique<Open>();
    o->printer = p;
    o->model.assign(o->printer.strModel.begin(), o->printer.strModel.end());
    if (p.bUnterminatedModel) {
      o->model.resize(o->model.size() + 2048, 'M');
      o->model.back() = '\0';
    } else {
      o->model.push_back('\0');
    }
    if (!p.bNullModel) o->info[kNQInfoModelName] = reinterpret_cast<ULONG_PTR>(o->model.data());
    if (!p.bNullDetail) o->info[kNQInfoDetail] = reinterpret_cast<ULONG_PTR>(o->detail);
    if (!p.bNullDescription)
      o->detail[kNQDetailDescription] = reinterpret_cast<ULONG_PTR>(o->printer.strDescription.c_str());
    *phPrinter = reinterpret_cast<HANDLE>(o.release());
    ++g_network.nOpen;
    return 0;
  }
  return ERROR_FILE_NOT_FOUND;
}

DWORD WINAPI getPrinterInfo(HANDLE hPrinter, DWORD dwLevel, DWORD dwSize, DWORD, ULONG_PTR** ppInfo) {
  if (dwLevel != kNQInfoLevel || dwSize != kNQInfoSize) return ERROR_INVALID_PARAMETER;
  Open* o = reinterpret_cast<Open*>(hPrinter);
  if (o->printer.bInfoFails) return ERROR_GEN_FAILURE;
  *ppInfo = o->printer.bNullInfo ? nullptr : o->info;
  return 0;
}

DWORD WINAPI closePrinterInfo(HANDLE hPrinter) {
  delete reinterpret_cast<Open*>(hPrinter);
  --g_network.nOpen;
  return 0;
}

DWORD WINAPI enableCBFunc(NQCALLBACKPROC pfn) {
  g_pfnCallBack.store(pfn);
  return 0;
}

DWORD WINAPI disableCBFunc(NQCALLBACKPROC) {
  g_pfnCallBack.store(nullptr);
  return 0;
}

}  // namespace

FakeNetwork& fakeNetwork() { return g_network; }

CNQEntryPoints fakeEntryPoints() {
  CNQEntryPoints ep;
  ep.pNQClosePrinterInfo = closePrinterInfo;
  ep.pNQEnumFreePrinterInfo = enumFreePrinterInfo;
  ep.pNQEnumPrinterInfo = enumPrinterInfo;
  ep.pNQGetIFVersion = getIFVersion;
  ep.pNQGetPrinterInfo = getPrinterInfo;
  ep.pNQOpenPrinterInfo = openPrinterInfo;
  ep.pNQEnableCBFunc = enableCBFunc;
  ep.pNQDisableCBFunc = disableCBFunc;
  return ep;
}

}  // namespace kvnet
