// Fuzzes the INF parser from memory and every Setup API query on what it
// builds: the bytes are opened as SetupOpenInfFileA opens a file (the file
// path only reads the file first), then every line and field of every
// section is read, found again by its key, and the section's target folder
// asked for.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>
#include <setupapi.h>

#include "fuzz_flags.h"
#include "fuzz_machine.h"
#include "setupapi/inf_handles.h"

namespace {

using namespace winsim::setupapi;

// The machine is read once per process: the folders of the DIRIDs, the
// field limit and the language.
struct Machine {
  DirTable dirs;
  ParseOptions options;
  LANGID language = 0;
};
const Machine& machine() {
  static const Machine m = [] {
    kvFuzzMachine("infparser");
    return Machine{DirTable::forMachine(), optionsForMachine(), machineLanguage()};
  }();
  return m;
}

void exerciseSection(HINF inf, const std::string& section) {
  char buffer[MAX_INF_STRING_LENGTH];
  DWORD need = 0;
  INFCONTEXT context;
  SetupGetLineCountA(inf, section.c_str());
  SetupGetTargetPathA(inf, nullptr, section.c_str(), buffer, sizeof buffer, &need);
  bool first = true;
  int lines = 0;
  for (BOOL more = SetupFindFirstLineA(inf, section.c_str(), nullptr, &context); more && lines < 256;
       more = SetupFindNextLine(&context, &context), ++lines) {
    const DWORD count = SetupGetFieldCount(&context);
    for (DWORD i = 0; i <= count + 1 && i < 64; ++i) {
      SetupGetStringFieldA(&context, i, buffer, sizeof buffer, &need);
      INT number = 0;
      SetupGetIntField(&context, i, &number);
    }
    SetupGetStringFieldA(&context, 1, buffer, 4, &need);
    SetupGetLineTextA(&context, nullptr, nullptr, nullptr, buffer, sizeof buffer, &need);
    if (first) SetupGetTargetPathA(inf, &context, nullptr, buffer, sizeof buffer, &need);
    first = false;
    if (SetupGetStringFieldA(&context, 0, buffer, sizeof buffer, &need)) {
      INFCONTEXT byKey;
      if (SetupFindFirstLineA(inf, section.c_str(), buffer, &byKey)) {
        SetupFindNextMatchLineA(&byKey, buffer, &byKey);
      }
      SetupGetLineTextA(nullptr, inf, section.c_str(), buffer, buffer, sizeof buffer, &need);
    }
  }
}

}  // namespace

// Inputs of at most 2 KB (every construct of the grammar fits in a few
// lines; longer real INFs from the seeds are cut there) and the plain
// schedule: with inputs of several KB, and the entropic schedule's per-input
// bookkeeping (measured as a third of the time), a run managed about a
// hundred inputs a second. Flags given on the command line still win.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  kvFuzzDefaultFlags(argc, argv, {"-max_len=2048", "-entropic=0"});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const Machine& m = machine();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  UINT errorLine = 0;
  HINF inf = openInfBuffer(bytes, "Z:\\fuzz\\test.inf", INF_STYLE_OLDNT | INF_STYLE_WIN4, m.dirs, m.options,
                           m.language, &errorLine);
  if (inf == INVALID_HANDLE_VALUE) return 0;
  const InfFile& file = *lookupInf(inf)->files.front();
  DWORD need = 0;
  SetupGetInfInformationA(inf, INFINFO_INF_SPEC_IS_HINF, nullptr, 0, &need);
  for (size_t s = 0; s < file.sections().size() && s < 64; ++s) exerciseSection(inf, file.sections()[s].name);
  SetupCloseInfFile(inf);
  return 0;
}
