// Fuzzes the listing of network printers with hostile libraries: the bytes
// describe what an in-process library hands back (counts that differ
// between the two passes, null tables, records and strings, addresses and
// texts of any bytes, failing calls). The wrapper must read nothing out of
// bounds, close every printer it opened, release every enumeration, and
// keep only printers whose texts are safe for the list and the interface
// file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "wizard/network_printer_list.h"

namespace {

struct Record {
  uint8_t flags = 0;  // 1 null address, 2 null info, 4 null model, 8 null detail,
                      // 16 null description, 32 unreachable, 64 info fails
  std::string address, model, description;
};

struct Hostile {
  uint8_t flags = 0;  // 1 IF version fails, 2 enumeration fails, 4 null table
  uint8_t countPass = 0, listPass = 0;
  std::vector<Record> records;
  int enumerations = 0, openPrinters = 0, openEnums = 0;
};

Hostile g;

struct Enumeration {
  std::vector<ULONG_PTR> table;
};

struct Open {
  const Record* record;
  ULONG_PTR info[kNQInfoFields] = {};
  ULONG_PTR detail[kNQDetailFields] = {};
};

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

const Record* find(const char* address) {
  for (const Record& r : g.records)
    if (!(r.flags & 1) && r.address == address) return &r;
  return nullptr;
}

DWORD WINAPI getIFVersion(DWORD*, DWORD*, DWORD, DWORD) { return (g.flags & 1) ? 1 : 0; }

DWORD WINAPI enumPrinterInfo(DWORD, DWORD, DWORD, DWORD, HANDLE* phEnum, DWORD* pdwCount, ULONG_PTR** ppTable) {
  if (g.flags & 2) return 1;
  const size_t n = g.enumerations++ == 0 ? g.countPass : g.listPass;
  auto e = std::make_unique<Enumeration>();
  // The table holds exactly the entries the count says (a library that
  // lies about its own table is beyond any caller's checks).
  e->table.assign(n * kNQEntryFields, 0);
  for (size_t i = 0; i < n && !g.records.empty(); ++i) {
    const Record& r = g.records[i % g.records.size()];
    if (!(r.flags & 1)) e->table[i * kNQEntryFields + kNQEntryAddress] = reinterpret_cast<ULONG_PTR>(r.address.c_str());
  }
  *pdwCount = static_cast<DWORD>(n);
  *ppTable = (g.flags & 4) || e->table.empty() ? nullptr : e->table.data();
  *phEnum = reinterpret_cast<HANDLE>(e.release());
  ++g.openEnums;
  return 0;
}

DWORD WINAPI enumFree(HANDLE h, DWORD) {
  delete reinterpret_cast<Enumeration*>(h);
  --g.openEnums;
  return 0;
}

DWORD WINAPI openPrinterInfo(const char* pszAddress, HANDLE* phPrinter, DWORD) {
  const Record* r = find(pszAddress);
  if (!r || (r->flags & 32)) return 1;
  auto o = std::make_unique<Open>();
  o->record = r;
  if (!(r->flags & 4)) o->info[kNQInfoModelName] = reinterpret_cast<ULONG_PTR>(r->model.c_str());
  if (!(r->flags & 8)) o->info[kNQInfoDetail] = reinterpret_cast<ULONG_PTR>(o->detail);
  if (!(r->flags & 16)) o->detail[kNQDetailDescription] = reinterpret_cast<ULONG_PTR>(r->description.c_str());
  *phPrinter = reinterpret_cast<HANDLE>(o.release());
  ++g.openPrinters;
  return 0;
}

DWORD WINAPI getPrinterInfo(HANDLE h, DWORD, DWORD, DWORD, ULONG_PTR** ppInfo) {
  Open* o = reinterpret_cast<Open*>(h);
  if (o->record->flags & 64) return 1;
  *ppInfo = (o->record->flags & 2) ? nullptr : o->info;
  return 0;
}

DWORD WINAPI closePrinterInfo(HANDLE h) {
  delete reinterpret_cast<Open*>(h);
  --g.openPrinters;
  return 0;
}

DWORD WINAPI enableCB(NQCALLBACKPROC) { return 0; }
DWORD WINAPI disableCB(NQCALLBACKPROC) { return 0; }

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
  std::string text() {
    const size_t n = std::min<size_t>(byte(), m_size - m_pos);
    std::string s(reinterpret_cast<const char*>(m_data + m_pos), n);
    m_pos += n;
    return s;  // may hold NULs and control characters
  }
  bool more() const { return m_pos < m_size; }

 private:
  const uint8_t* m_data;
  size_t m_size, m_pos = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g = Hostile{};
  Reader in(data, size);
  g.flags = in.byte();
  g.countPass = in.byte();
  g.listPass = in.byte();
  while (in.more() && g.records.size() < 64) {
    Record r;
    r.flags = in.byte();
    r.address = in.text();
    r.model = in.text();
    r.description = in.text();
    g.records.push_back(std::move(r));
  }
  CNQEntryPoints ep;
  ep.pNQClosePrinterInfo = closePrinterInfo;
  ep.pNQEnumFreePrinterInfo = enumFree;
  ep.pNQEnumPrinterInfo = enumPrinterInfo;
  ep.pNQGetIFVersion = getIFVersion;
  ep.pNQGetPrinterInfo = getPrinterInfo;
  ep.pNQOpenPrinterInfo = openPrinterInfo;
  ep.pNQEnableCBFunc = enableCB;
  ep.pNQDisableCBFunc = disableCB;
  {
    CNetworkPrinterList list(ep);
    list.kEnableCallBackFunc(NQCallBackFunc1);
    list.kMakeNetworkPrinterList();
    list.kDisableCallBackFunc(NQCallBackFunc1);
    check(list.m_lstNetworkPrinter.size() <= g.countPass, "more printers taken than counted");
    for (const CNetworkPrinter& p : list.m_lstNetworkPrinter) {
      check(CNetworkPrinterList::kIsPlainAddress(p.strAddress), "address not plain");
      check(p.strAddress.find_first_of("\\/") == std::string::npos, "path separator in a port name");
      check(p.strDescription.size() <= CNetworkPrinterList::kMaxDescription, "description longer than 63");
      for (const std::string* s : {&p.strModelName, &p.strDescription})
        for (unsigned char c : *s) check(c >= 0x20 && c != 0x7F, "control character kept");
    }
  }
  check(g.openPrinters == 0, "a printer was left open");
  check(g.openEnums == 0, "an enumeration was not released");
  return 0;
}
