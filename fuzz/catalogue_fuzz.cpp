// Fuzzes the reading of the package's resource files: the UTF-16 message
// catalogue (through the wide profile functions), the language definitions
// and the licence text. Any input must be read, or refused with an error
// text, without a crash.
//
// The first byte (modulo 8) chooses what the rest of the input becomes:
//   0-2  the catalogue KV_MSG.INI, as UTF-16 LE after a byte order mark
//   3-5  the catalogue without a byte order mark
//   6    ResourceDef.ini
//   7    the licence text DI_ENU.txt
// The catalogue has most of the reading code, hence most of the inputs.
//
// The profile files (the catalogue, the definitions) are read from memory:
// the files lie on the scratch machine once, for the component's folder
// checks, and the profile functions answer from the input's bytes under
// every spelling of their names the component uses. Only the licence text
// is read with the file functions, so only its inputs write a file.
//
// Only the definitions need a component that reads the package anew. The
// licence text, and one catalogue input in sixteen, go to a component that
// read the package once, at the start.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <unistd.h>

#include "kernel32/profile_memory.h"
#include "platform/win32.h"
#include "resources/rsc_common.h"

#include "asan_short_stacks.h"
#include "fuzz_flags.h"
#include "fuzz_machine.h"

namespace {

std::string g_strPackage;

const char kDefinitions[] =
    "[Precondition]\r\nDefaultLangID=0x0409\r\n[English]\r\nOmittedName=ENU\r\nTwoLetter=EN\r\nLangID=0x0409\r\n"
    "PrimaryLangID=9\r\nSubLangID=1\r\nIRCFileName=MSG.INI\r\nIRCSectionName=English\r\n";

void writeFile(const std::string& strName, const std::string& strBytes) {
  HANDLE h = CreateFileA((g_strPackage + strName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) std::abort();
  DWORD dwWritten = 0;
  WriteFile(h, strBytes.data(), static_cast<DWORD>(strBytes.size()), &dwWritten, nullptr);
  CloseHandle(h);
}

// The component reads a profile file under its long and its short name
// (the files lie on the machine from the start, so their short names are
// asked once).
void setProfile(const std::string& strName, const std::string& strBytes) {
  static std::map<std::string, std::string> s_short;
  const std::string strLong = g_strPackage + strName;
  winsim::profile::setMemoryFile(strLong, strBytes);
  auto it = s_short.find(strName);
  if (it == s_short.end()) {
    char szShort[MAX_PATH + 1] = {};
    const DWORD dwShort = GetShortPathNameA(strLong.c_str(), szShort, MAX_PATH);
    const bool bOther = dwShort > 0 && dwShort < MAX_PATH && strLong != szShort;
    it = s_short.emplace(strName, bOther ? std::string(szShort) : std::string()).first;
  }
  if (!it->second.empty()) winsim::profile::setMemoryFile(it->second, strBytes);
}

// A component that has read the package once, for the licence inputs: the
// licence text is read anew on every call, with the language decided then.
CRscCommon& analysedComponent() {
  static CRscCommon* s_pRsc = [] {
    auto* pRsc = new CRscCommon("KV_");
    pRsc->kSetModulePath(g_strPackage);
    setProfile("ResourceDef.ini", kDefinitions);
    setProfile("DrvInst\\KV_MSG.INI", "[English]\r\nIDS_A=A\r\n");
    if (!pRsc->kCollectiveFileAnalyze() || !pRsc->kDecideLanguage("0x0409")) std::abort();
    winsim::profile::clearMemoryFiles();
    return pRsc;
  }();
  return *s_pRsc;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // The plain schedule: the entropic one's bookkeeping after every input
  // costs as much as a run of this target.
  kvFuzzDefaultFlags(argc, argv, {"-entropic=0"});
  // A scratch machine of its own, with a fast clock.
  (void)kvFuzzMachine("catalogue");
  char szTemp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, szTemp);
  g_strPackage = std::string(szTemp) + "fuzzpkg";
  CreateDirectoryA(g_strPackage.c_str(), nullptr);
  g_strPackage += "\\";
  CreateDirectoryA((g_strPackage + "DrvInst").c_str(), nullptr);
  writeFile("ResourceDef.ini", kDefinitions);
  writeFile("DrvInst\\KV_MSG.INI", "");
  writeFile("DrvInst\\DI_ENU.txt", "");
  (void)analysedComponent();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Longer inputs add lines, not shapes: the reader compares every key with
  // the keys before it, so a few thousand one-letter keys only cost time.
  if (size == 0 || size > 2048) return 0;
  static const int kKind[8] = {0, 0, 0, 1, 1, 1, 2, 3};
  const int nMode = kKind[data[0] % 8];
  const std::string strInput(reinterpret_cast<const char*>(data + 1), size - 1);

  // Nothing of this input stays in memory for the next (the leak check
  // compares what each input allocates with what it frees).
  struct Forget {
    ~Forget() { winsim::profile::clearMemoryFiles(); }
  } forget;
  // The licence text through a component that has read the package.
  if (nMode == 3) {
    writeFile("DrvInst\\DI_ENU.txt", strInput);
    std::string strLicense;
    (void)analysedComponent().kGetLicenseFile(strLicense, "");
    return 0;
  }

  // The definitions through a component that reads the package anew (it
  // checks the package's folders the definitions name).
  if (nMode == 2) {
    setProfile("ResourceDef.ini", strInput);
    CRscCommon rsc("KV_");
    rsc.kSetModulePath(g_strPackage);
    if (rsc.kCollectiveFileAnalyze()) {
      if (rsc.kDecideLanguage("")) {
        for (const char* pszId : {"IDS_A", "ids_a", "AFX_IDS_APP_TITLE", ""}) (void)rsc.kGetMessageText(pszId);
      }
      (void)rsc.kTempDecideLanguage(strInput.substr(0, 16));
      std::string strLicense;
      (void)rsc.kGetLicenseFile(strLicense, "");
    }
    (void)rsc.kGetErrorMessage();
  }

  if (nMode == 0) setProfile("DrvInst\\KV_MSG.INI", "\xFF\xFE" + strInput);
  if (nMode == 1) setProfile("DrvInst\\KV_MSG.INI", strInput);
  // One catalogue input in sixteen is loaded by the component that read the
  // package, as the wizard loads it when the language is decided: a failed
  // load keeps the catalogue it had, and its messages are looked up.
  if (nMode <= 1 && size > 1 && data[1] % 16 == 0) {
    CRscCommon& rsc = analysedComponent();
    if (rsc.kDecideLanguage("0x0409")) {
      for (const char* pszId : {"IDS_A", "ids_a", "AFX_IDS_APP_TITLE", ""}) (void)rsc.kGetMessageText(pszId);
    }
    (void)rsc.kTempDecideLanguage(strInput.substr(0, 16));
    (void)rsc.kGetErrorMessage();
  }

  // The reader on its own, with a section name taken from the input.
  CRscBase base;
  CRscIRCFile irc(base);
  std::unordered_map<std::string, CIRCMessage> messages;
  int nExit = 0;
  const std::string strFile = g_strPackage + "DrvInst\\KV_MSG.INI";
  (void)irc.kReadCatalogueSection(strFile, nMode <= 1 ? "English" : strInput.substr(0, 8), messages, nExit);
  for (const auto& entry : messages) (void)CRscMsg::kReplaceEscape(entry.second.strMessage);
  (void)irc.kCheckExistSectionName(strFile, "English");
  return 0;
}
