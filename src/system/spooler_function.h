// The spooler's enumeration calls, the driver directory and the default
// printer, always on the local spooler.
//
// Every enumeration asks for the size first and then fills a buffer of
// exactly that size, which the caller receives and owns: the records and the
// strings they point to live in that one buffer, so the pointers stay valid
// exactly as long as the buffer. A failure leaves the buffer empty and the
// count 0, writes its numbered line to the program's detail log and leaves
// the spooler's error as the thread's last error.
#pragma once

#include <list>
#include <string>
#include <vector>

#include "platform/win32.h"

// The answer of one enumeration: the spooler's buffer and the number of
// records at its start.
template <class TRecord>
class CSpoolerArray {
 public:
  const TRecord* kData() const { return m_dwCount ? reinterpret_cast<const TRecord*>(m_vecBuffer.data()) : nullptr; }
  DWORD kCount() const { return m_dwCount; }
  const TRecord& operator[](DWORD i) const { return kData()[i]; }

  std::vector<BYTE> m_vecBuffer;
  DWORD m_dwCount = 0;
};

class CSpoolerFunction {
 public:
  // EnumPrinterDriversA at level 3; a null environment means this system's.
  [[nodiscard]] BOOL kEnumPrinterDrivers(LPCSTR pEnvironment, CSpoolerArray<DRIVER_INFO_3A>& result) const;
  // EnumPrintersA at level 2 with the given PRINTER_ENUM_ flags.
  [[nodiscard]] BOOL kEnumPrinters(DWORD dwFlags, CSpoolerArray<PRINTER_INFO_2A>& result) const;
  // EnumPortsA at level 2.
  [[nodiscard]] BOOL kEnumPorts(CSpoolerArray<PORT_INFO_2A>& result) const;
  // EnumMonitorsA at level 1: the monitor names are appended to the list.
  [[nodiscard]] BOOL kEnumMonitors(std::list<std::string>& lstMonitor) const;
  // EnumPrintProcessorsA at level 1 for an environment (null: the default
  // one): the names are appended to the list.
  [[nodiscard]] BOOL kEnumPrintProcessors(std::list<std::string>& lstProcessor, LPCSTR pEnvironment = nullptr) const;
  // Asks the spooler for the size of its level-3 driver list and nothing
  // else; the spooler reads its driver store afresh on this question before
  // a driver is added. A failure is only logged.
  void kOnlyEnumPrinterDrivers() const;
  // The printer-driver directory of this system's environment.
  [[nodiscard]] BOOL kGetDriverDirectory(std::string& strDirectory) const;
  // Makes a printer the user's default. On Windows 2000 and later through
  // SetDefaultPrinterA (bound at run time: FALSE when it cannot be bound or
  // refuses); on older systems through the "windows" "device" profile value
  // and a broadcast of the change, whose failures are only logged.
  [[nodiscard]] BOOL kSetDefaultPrinter(LPCSTR pszPrinterName, LPCSTR pszPortName, LPCSTR pszDriverFile) const;

 private:
  // The two-call sizing around one enumeration. `call` is asked with a
  // buffer and its size and answers the call's result, the bytes needed and
  // the records returned.
  template <class TCall>
  BOOL kEnumerate(const char* pszFunction, const char* pszCall, TCall call, std::vector<BYTE>& vecBuffer,
                  DWORD& dwCount) const;
};
