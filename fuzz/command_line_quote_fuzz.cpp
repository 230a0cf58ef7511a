// Fuzzes the quoting of values in the command lines the wizard builds: the
// input is split at NUL bytes into values; each is put into a command line
// the way the external installer's and the property sheet's lines are made,
// and the line is read back by the argument rules (the program's own
// splitter and winsim's, which the started program uses). Both must give
// back exactly the values, as whole arguments.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kernel32/command_line.h"
#include "system/command_line_text.h"

namespace {

void check(bool ok, const char* what, const std::string& line) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\nline: [%s]\n", what, line.c_str());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string strInput(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lstValues;
  size_t nAt = 0;
  while (lstValues.size() < 4) {
    const size_t nEnd = strInput.find('\0', nAt);
    lstValues.push_back(strInput.substr(nAt, nEnd == std::string::npos ? std::string::npos : nEnd - nAt));
    if (nEnd == std::string::npos) break;
    nAt = nEnd + 1;
  }
  // The installer's form: a switch with its value in quotes.
  std::string strLine = "\"C:\\PKG\\INSTDLL\\NELI64.EXE\"";
  std::vector<std::string> lstExpected{"C:\\PKG\\INSTDLL\\NELI64.EXE"};
  const char* const kSwitches[] = {"+X:", "+8:", "+6:", "+3:"};
  for (size_t i = 0; i < lstValues.size(); ++i) {
    strLine += std::string(" ") + kSwitches[i] + kQuoteCommandLineValue(lstValues[i]);
    lstExpected.push_back(kSwitches[i] + lstValues[i]);
  }
  strLine += " +W:00001a2b";
  lstExpected.push_back("+W:00001a2b");
  check(kSplitCommandLine(strLine) == lstExpected, "the program's splitter gives the values back", strLine);
  check(winsim::splitCommandLine(strLine) == lstExpected, "winsim's splitter gives the values back", strLine);

  // The property sheet's form: the value is a whole argument.
  const std::string strSheet = "rundll32 printui.dll,PrintUIEntry /p /n " + kQuoteCommandLineValue(lstValues[0]);
  const std::vector<std::string> lstSheet{"rundll32", "printui.dll,PrintUIEntry", "/p", "/n", lstValues[0]};
  check(kSplitCommandLine(strSheet) == lstSheet, "the printer name is one argument", strSheet);
  check(winsim::splitCommandLine(strSheet) == lstSheet, "winsim reads the printer name as one argument", strSheet);

  // The splitter itself never fails on any line.
  (void)kSplitCommandLine(strInput);
  return 0;
}
