// The stand-in network printer-management library. Its network is the
// machine's: one key per printer under HKLM\SOFTWARE\KVSim\Network, in key
// order, with the values
//   Address      REG_SZ     the printer's address (what the entry table lists)
//   Model        REG_SZ     the model name of its information record
//   Description  REG_SZ     the description of its detail record
//   Unreachable  REG_DWORD  non-zero: opening the printer fails
//   Delay        REG_DWORD  machine milliseconds the printer takes to answer
//                           during an enumeration
//   Null         REG_DWORD  hostile records: 1 address, 2 model name,
//                           4 detail record, 8 description handed back as null
// and on the Network key itself
//   FailIFVersion, FailEnum  REG_DWORD  non-zero: that call fails
//   ExtraOnListing           REG_DWORD  every enumeration after the first of
//                            the process lists that many more printers than
//                            the network holds (a network that grew between
//                            the counting and the listing pass)
// Every call returns 0 for success. The callback set with NQEnableCBFunc is
// called before each printer and while a slow printer answers; a non-zero
// answer ends the enumeration with ERROR_CANCELLED.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "wizard/network_printer_nq.h"

namespace {

constexpr const char* kNetworkKey = "SOFTWARE\\KVSim\\Network";
constexpr DWORD kSliceMs = 100;
constexpr DWORD kNetworkUnreachable = 1231;  // ERROR_NETWORK_UNREACHABLE
constexpr const char* kExtraModel = "Extra Printer";

struct Printer {
  std::string strAddress, strModel, strDescription;
  DWORD dwUnreachable = 0, dwDelay = 0, dwNull = 0;
};

struct Network {
  std::vector<Printer> printers;
  DWORD dwFailIFVersion = 0, dwFailEnum = 0, dwExtraOnListing = 0;
};

struct Enumeration {
  std::vector<Printer> printers;
  std::vector<ULONG_PTR> table;
};

struct OpenedPrinter {
  Printer printer;
  ULONG_PTR info[kNQInfoFields] = {};
  ULONG_PTR detail[kNQDetailFields] = {};
};

std::atomic<NQCALLBACKPROC> g_pfnCallBack{nullptr};

// The network as the last enumeration saw it, by address: opening a printer
// looks it up there instead of reading the whole network again.
std::mutex g_snapshotMutex;
std::shared_ptr<const std::unordered_map<std::string, Printer>> g_snapshot;
std::atomic<unsigned> g_nEnumerations{0};

std::string readString(HKEY hKey, const char* pszName) {
  DWORD dwType = 0, cb = 0;
  if (RegQueryValueExA(hKey, pszName, nullptr, &dwType, nullptr, &cb) != ERROR_SUCCESS || dwType != REG_SZ) return {};
  std::string text(cb, '\0');
  if (RegQueryValueExA(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(text.data()), &cb) != ERROR_SUCCESS)
    return {};
  text.resize(std::min<size_t>(cb, text.size()));
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

DWORD readDword(HKEY hKey, const char* pszName) {
  DWORD dwType = 0, dwValue = 0, cb = sizeof dwValue;
  if (RegQueryValueExA(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(&dwValue), &cb) != ERROR_SUCCESS ||
      dwType != REG_DWORD)
    return 0;
  return dwValue;
}

Network readNetwork() {
  Network net;
  HKEY hNet = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kNetworkKey, 0, KEY_READ, &hNet) != ERROR_SUCCESS) return net;
  net.dwFailIFVersion = readDword(hNet, "FailIFVersion");
  net.dwFailEnum = readDword(hNet, "FailEnum");
  net.dwExtraOnListing = readDword(hNet, "ExtraOnListing");
  for (DWORD i = 0;; ++i) {
    char szName[256];
    DWORD cch = sizeof szName;
    if (RegEnumKeyExA(hNet, i, szName, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY hPrinter = nullptr;
    if (RegOpenKeyExA(hNet, szName, 0, KEY_READ, &hPrinter) != ERROR_SUCCESS) continue;
    Printer p;
    p.strAddress = readString(hPrinter, "Address");
    p.strModel = readString(hPrinter, "Model");
    p.strDescription = readString(hPrinter, "Description");
    p.dwUnreachable = readDword(hPrinter, "Unreachable");
    p.dwDelay = readDword(hPrinter, "Delay");
    p.dwNull = readDword(hPrinter, "Null");
    RegCloseKey(hPrinter);
    net.printers.push_back(std::move(p));
  }
  RegCloseKey(hNet);
  return net;
}

// TRUE when the caller asked the enumeration to stop.
bool askedToStop() {
  const NQCALLBACKPROC pfn = g_pfnCallBack.load();
  return pfn && pfn() != 0;
}

// Waits the printer's answer time on the machine clock, asking the caller
// between slices so that a stop is seen within one slice.
bool waitForAnswer(DWORD dwDelay) {
  while (dwDelay > 0) {
    const DWORD dwSlice = std::min(dwDelay, kSliceMs);
    Sleep(dwSlice);
    dwDelay -= dwSlice;
    if (dwDelay > 0 && askedToStop()) return false;
  }
  return true;
}

}  // namespace

extern "C" {

DWORD WINAPI NQGetIFVersion(DWORD* pdwMajor, DWORD* pdwMinor, DWORD, DWORD) {
  if (readNetwork().dwFailIFVersion) return ERROR_NOT_SUPPORTED;
  if (pdwMajor) *pdwMajor = 1;
  if (pdwMinor) *pdwMinor = 0;
  return 0;
}

DWORD WINAPI NQEnumPrinterInfo(DWORD, DWORD, DWORD, DWORD, HANDLE* phEnum, DWORD* pdwCount, ULONG_PTR** ppTable) {
  if (!phEnum || !pdwCount || !ppTable) return ERROR_INVALID_PARAMETER;
  Network net = readNetwork();
  if (net.dwFailEnum) return kNetworkUnreachable;
  if (g_nEnumerations.fetch_add(1) > 0) {
    for (DWORD i = 0; i < net.dwExtraOnListing; ++i) {
      Printer extra;
      extra.strAddress = "10.255." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256);
      extra.strModel = kExtraModel;
      net.printers.push_back(extra);
    }
  }
  auto byAddress = std::make_shared<std::unordered_map<std::string, Printer>>();
  for (const Printer& p : net.printers) byAddress->emplace(p.strAddress, p);
  {
    std::lock_guard<std::mutex> guard(g_snapshotMutex);
    g_snapshot = byAddress;
  }
  auto e = std::make_unique<Enumeration>();
  e->printers = std::move(net.printers);
  e->table.assign(e->printers.size() * kNQEntryFields, 0);
  for (size_t i = 0; i < e->printers.size(); ++i) {
    if (askedToStop() || !waitForAnswer(e->printers[i].dwDelay)) return ERROR_CANCELLED;
    ULONG_PTR* entry = &e->table[i * kNQEntryFields];
    entry[0] = i + 1;
    entry[1] = kNQEntryFields * sizeof(ULONG_PTR);
    if (!(e->printers[i].dwNull & 1))
      entry[kNQEntryAddress] = reinterpret_cast<ULONG_PTR>(e->printers[i].strAddress.c_str());
  }
  if (askedToStop()) return ERROR_CANCELLED;
  *pdwCount = static_cast<DWORD>(e->printers.size());
  *ppTable = e->table.empty() ? nullptr : e->table.data();
  *phEnum = reinterpret_cast<HANDLE>(e.release());
  return 0;
}

DWORD WINAPI NQEnumFreePrinterInfo(HANDLE hEnum, DWORD) {
  if (!hEnum) return ERROR_INVALID_HANDLE;
  delete reinterpret_cast<Enumeration*>(hEnum);
  return 0;
}

DWORD WINAPI NQOpenPrinterInfo(const char* pszAddress, HANDLE* phPrinter, DWORD) {
  if (!pszAddress || !phPrinter) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<const std::unordered_map<std::string, Printer>> snapshot;
  {
    std::lock_guard<std::mutex> guard(g_snapshotMutex);
    snapshot = g_snapshot;
  }
  if (!snapshot) return ERROR_FILE_NOT_FOUND;  // nothing enumerated yet
  const auto it = snapshot->find(pszAddress);
  if (it == snapshot->end()) return ERROR_FILE_NOT_FOUND;
  const Printer& p = it->second;
  if (p.dwUnreachable) return WAIT_TIMEOUT;
  auto open = std::make_unique<OpenedPrinter>();
  open->printer = p;
  open->info[0] = kNQInfoSize;
  open->info[1] = kNQInfoLevel;
  if (!(p.dwNull & 2)) open->info[kNQInfoModelName] = reinterpret_cast<ULONG_PTR>(open->printer.strModel.c_str());
  if (!(p.dwNull & 4)) open->info[kNQInfoDetail] = reinterpret_cast<ULONG_PTR>(open->detail);
  if (!(p.dwNull & 8))
    open->detail[kNQDetailDescription] = reinterpret_cast<ULONG_PTR>(open->printer.strDescription.c_str());
  *phPrinter = reinterpret_cast<HANDLE>(open.release());
  return 0;
}

DWORD WINAPI NQGetPrinterInfo(HANDLE hPrinter, DWORD, DWORD, DWORD, ULONG_PTR** ppInfo) {
  if (!hPrinter || !ppInfo) return ERROR_INVALID_PARAMETER;
  *ppInfo = reinterpret_cast<OpenedPrinter*>(hPrinter)->info;
  return 0;
}

DWORD WINAPI NQClosePrinterInfo(HANDLE hPrinter) {
  if (!hPrinter) return ERROR_INVALID_HANDLE;
  delete reinterpret_cast<OpenedPrinter*>(hPrinter);
  return 0;
}

DWORD WINAPI NQEnableCBFunc(NQCALLBACKPROC pfnCallBack) {
  g_pfnCallBack.store(pfnCallBack);
  return 0;
}

// KV_NQ_WITHOUT_DISABLECB builds a damaged copy for the tests: a library
// that loads but lacks one of the entry points the program needs.
#ifndef KV_NQ_WITHOUT_DISABLECB
DWORD WINAPI NQDisableCBFunc(NQCALLBACKPROC pfnCallBack) {
  NQCALLBACKPROC expected = pfnCallBack;
  g_pfnCallBack.compare_exchange_strong(expected, nullptr);
  return 0;
}
#endif

}  // extern "C"
