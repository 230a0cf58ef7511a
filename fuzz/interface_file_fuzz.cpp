// Fuzzes the interface-file writer with hostile driver, printer and port
// names: whatever the bytes, the file holds exactly the sections the batch
// variant writes, and every value reads back as the writer said it meant.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/kv_setup_app.h"

#include "asan_short_stacks.h"
#include "fuzz_flags.h"
#include "fuzz_machine.h"

namespace {

namespace fs = std::filesystem;

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

std::string g_file;

// The answer buffers are made once: clearing a megabyte for every read cost
// more than the writer under test.
std::string readBack(const std::string& strSection, const char* pszKey) {
  static std::vector<char> buffer(70000);
  GetPrivateProfileStringA(strSection.c_str(), pszKey, "\x01", buffer.data(), static_cast<DWORD>(buffer.size()),
                           g_file.c_str());
  return buffer.data();
}

std::vector<std::string> sections() {
  static std::vector<char> buffer(1 << 20);
  GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()), g_file.c_str());
  std::vector<std::string> lst;
  for (const char* p = buffer.data(); *p; p += std::strlen(p) + 1) lst.emplace_back(p);
  return lst;
}

bool isAnsiText(const std::string& s) {
  if (s.empty()) return true;
  const int nWide = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (nWide <= 0) return false;
  std::vector<WCHAR> wide(static_cast<size_t>(nWide));
  MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), wide.data(), nWide);
  std::string back(s.size() * 2 + 4, '\0');
  const int nBack = WideCharToMultiByte(CP_ACP, 0, wide.data(), nWide, back.data(), static_cast<int>(back.size()),
                                        nullptr, nullptr);
  return nBack == static_cast<int>(s.size()) && back.compare(0, s.size(), s) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // The plain schedule: the entropic one's bookkeeping after every input
  // costs as much as a run of this target.
  kvFuzzDefaultFlags(argc, argv, {"-entropic=0"});
  // A scratch machine of its own, on tmpfs: every input writes files.
  (void)kvFuzzMachine("iface");
  (void)CEnvironment::kGetOsVersionCheck();
  char szTemp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, szTemp);
  CreateDirectoryA(szTemp, nullptr);
  g_file = std::string(szTemp) + "NELSETUP.INI";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Three names from the input, split at its first two zero bytes; a name
  // with a NUL cannot come from a command line or an INF.
  std::string strInput(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lstPart;
  size_t nStart = 0;
  for (int i = 0; i < 2; ++i) {
    const size_t nEnd = strInput.find('\0', nStart);
    if (nEnd == std::string::npos) break;
    lstPart.push_back(strInput.substr(nStart, nEnd - nStart));
    nStart = nEnd + 1;
  }
  lstPart.push_back(strInput.substr(std::min(nStart, strInput.size())));
  for (auto& s : lstPart) s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());
  lstPart.resize(3);
  const std::string& strDriver = lstPart[0];
  const std::string& strPrinter = lstPart[1];
  const std::string& strPort = lstPart[2];
  if (strDriver.find_first_of(",:|^") != std::string::npos) return 0;  // several printer objects: another shape
  // Names come from INF files and the command line as text of the ANSI code
  // page; bytes that are no text of it cannot be meant.
  for (const std::string& s : lstPart) {
    if (!isAnsiText(s)) return 0;
  }

  // Every input leaves the profile functions' kept parses behind it, as a
  // program that ends would: a parse kept from the input before would be
  // freed during this one and its own kept into the next, and a run whose
  // allocations and frees do not match is run again under LeakSanitizer.
  struct ForgetParses {
    ~ForgetParses() { WritePrivateProfileStringA(nullptr, nullptr, nullptr, g_file.c_str()); }
  } forget;
  CKV_SETUPApp app;
  app.m_strLogFile = "C:\\temp\\INNELI.LOG";
  app.m_bBSwitch = 1;
  app.m_bASwitch = 1;
  app.m_strAddDriverName = strDriver;
  app.m_bNSwitch = 1;
  app.m_strPrinterName = strPrinter;
  app.m_bPSwitch = !strPort.empty();
  app.m_strPortName = strPort;
  CCandidateDriver candidate;
  candidate.strDriverName = strDriver;
  candidate.strInfPath = "C:\\PKG\\" + strPort + "\\X.INF";
  candidate.dwInfOSVersion = 3;
  candidate.strPlatform = "NTamd64";
  CCandidateDriverList& lst = app.m_pDriverInfomation->VEXOGetCandidateDriverList();
  lst.clear();
  lst.push_back(candidate);
  const BOOL bMade = app.kMakeInterfaceFile();
  lst.clear();
  if (!bMade) {
    check(GetFileAttributesA(g_file.c_str()) == INVALID_FILE_ATTRIBUTES, "a failed file is removed");
    return 0;
  }
  const std::vector<std::string> lstNames = sections();
  // The +A value gives one printer object unless it is only blanks.
  const bool bTrimmedEmpty = strDriver.find_first_not_of(" \t\r\n\v\f") == std::string::npos;
  const size_t nExpected = 2 + (bTrimmedEmpty ? 0 : 1) + (app.m_bPSwitch && !bTrimmedEmpty ? 1 : 0);
  check(lstNames.size() == nExpected, "only the sections the variant writes");
  check(lstNames[0] == "Generic", "[Generic] first");
  for (const std::string& strName : lstNames) {
    check(strName.find_first_of("[]\r\n") == std::string::npos, "no bracket or line break in a section name");
  }
  std::string strMeant;
  CInterfaceFileWriter::kCleanValue(strDriver, &strMeant);
  check(readBack(lstNames[1], "ComponentName") == strMeant, "component name reads back as meant");
  if (bTrimmedEmpty) {
    DeleteFileA(g_file.c_str());
    return 0;
  }
  check(readBack(lstNames[2], "DriverName") == strMeant, "driver name reads back as meant");
  CInterfaceFileWriter::kCleanValue(strPrinter, &strMeant);
  check(readBack(lstNames[2], "PrinterName") == strMeant, "printer name reads back as meant");
  if (app.m_bPSwitch) {
    const std::string strPortSection = readBack(lstNames[2], "PortSectionName");
    check(readBack(strPortSection, "PortName") != "\x01", "the port section named is there");
  }
  DeleteFileA(g_file.c_str());
  return 0;
}
