// An in-process network library for the tests and the fuzz harness: the
// printers it lists and the ways it misbehaves are set field by field, so
// that hostile records reach the wrapper exactly as a broken or malicious
// library would hand them over.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "wizard/network_printer_list.h"

namespace kvnet {

struct FakePrinter {
  std::string strAddress, strModel, strDescription;
  bool bNullAddress = false, bNullModel = false, bNullDetail = false, bNullDescription = false;
  bool bUnreachable = false, bInfoFails = false, bNullInfo = false;
  // A string without its end: the text is handed over without a NUL within
  // its own storage (the storage is padded so the wrapper's bounded read
  // stays inside it).
  bool bUnterminatedModel = false;
};

struct FakeNetwork {
  std::vector<FakePrinter> printers;
  DWORD dwIFVersionResult = 0;
  DWORD dwEnumResult = 0;
  // Entries the listing pass reports beyond the counting pass.
  DWORD dwExtraOnListing = 0;
  // A count with a null table.
  bool bNullTable = false;
  // Called before each printer during an enumeration; non-zero stops it.
  unsigned nCallbacks = 0;
  unsigned nEnumerations = 0;
  int nOpen = 0;  // printers open now: every open is closed
  int nEnumOpen = 0;
};

// The network the entry points below serve (one at a time).
FakeNetwork& fakeNetwork();
// All eight entry points of the fake library.
CNQEntryPoints fakeEntryPoints();

}  // namespace kvnet
