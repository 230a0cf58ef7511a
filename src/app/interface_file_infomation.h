// The records of the interface file that the external installer reads
// (NELSETUP.INI): one install record per INF file, the network printers the
// interface file names, and the writer that keeps what the file says equal
// to what was meant.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

// One install record: the drivers of one INF file that one install section
// of the interface file describes.
struct CInterfaceFileInfomation {
  std::string strInstallSection;  // "INSTALL." + driver name + "." + OS token
  std::string strDriverNames;     // the record's drivers, separated by ","
  std::string strSourcePath;      // folder of the INF file, no trailing backslash
  std::string strSupportOS;       // "Win95", "Winnt4" or "Win2k"
  std::string strComponentName;   // the first driver's name
  std::string strPrinterName;     // network install: the printer's name
  std::string strPortName;        // network install: "IP_" + address
  std::string strPortAddress;     // network install: the address
  std::string strPlatform;        // "NTx86" or "NTamd64"
  std::string strInfPath;         // the key of the record: the INF file's full path
};

using CInterfaceFileInfomationList = std::vector<CInterfaceFileInfomation>;

// A network printer chosen for installation, as the interface file needs
// it. The network path fills these from its own records before it posts
// WM_EXECUTE_NELI.
struct CIFINetworkPrinter {
  std::string strPrinterName;
  std::string strAddress;
  std::string strModelName;
};

// "Win95", "Winnt4", "Win2k" for driver versions 0, 2 and 3; empty for any
// other version.
std::string kIFIOsToken(DWORD dwDriverVersion);

// Puts the records in the order the writers visit them: component name,
// OS token and INF path, without regard to case.
void kSortIFI(CInterfaceFileInfomationList& lstRecords);

// Writes one file key by key through the private-profile calls. Values and
// names are made safe first: a value that would read back as something else
// (a line break that starts a new key, outer blanks or quotes that the reader
// strips) or a section name holding a bracket or a line break is cleaned,
// and every change is logged. The file can then only ever say what the
// caller meant.
class CInterfaceFileWriter {
 public:
  explicit CInterfaceFileWriter(std::string strFile) : m_strFile(std::move(strFile)) {}

  // The section name as it will be written: brackets and control
  // characters become "_", outer blanks go.
  static std::string kCleanSectionName(const std::string& strName);
  // The value as it must be written so that the reader gives back the
  // meant value: control characters (line breaks) become blanks and outer
  // blanks go (both logged as changes); a value that starts and ends with a
  // quote is quoted once more, because the reader strips one pair.
  static std::string kCleanValue(const std::string& strValue, std::string* pstrMeant);

  // Writes one key; FALSE when the system refused (GetLastError tells).
  BOOL kWrite(const std::string& strSection, const char* pszKey, const std::string& strValue);
  // The first name of "base", "base.2", "base.3", ... whose section does
  // not hold the probe key.
  std::string kFreeSectionName(const std::string& strBase, const char* pszProbeKey);
  const std::string& kFile() const { return m_strFile; }

 private:
  std::string m_strFile;
};
