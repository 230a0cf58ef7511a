// Times the Setup API's parse of a printer INF in process: open, every line
// of the model section with every field, close (with --by-key each model is
// also found again by its description, as the candidate list does; another
// Setup API may search keys line by line, which this makes plain). Only Win32
// calls, so the same program runs on winsim and, built with MinGW, on another
// implementation of the Setup API; the two figures compare the parsers alone.
//   inf_parse_timing [--by-key] FILE.INF SECTION [ROUNDS]
// prints the best and the median time of one whole parse in milliseconds;
//   inf_parse_timing --write MODELS FILE.INF
// writes the generated INF the benchmarks read (section Models.NTamd64).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win32.h"

#include "generated_inf.h"

namespace {

// One parse; the number of model lines read, or -1 when the INF would not open.
long parseOnce(const char* pszFile, const char* pszSection, bool bByKey) {
  HINF hInf = SetupOpenInfFileA(pszFile, nullptr, INF_STYLE_WIN4, nullptr);
  if (hInf == INVALID_HANDLE_VALUE) return -1;
  INFCONTEXT context;
  char szField[LINE_LEN];
  long nLines = 0;
  for (BOOL bMore = SetupFindFirstLineA(hInf, pszSection, nullptr, &context); bMore;
       bMore = SetupFindNextLine(&context, &context)) {
    for (DWORD dwField = 0; dwField <= 3; ++dwField) {
      SetupGetStringFieldA(&context, dwField, szField, sizeof szField, nullptr);
    }
    if (bByKey) {
      INFCONTEXT byKey;
      SetupGetStringFieldA(&context, 0, szField, sizeof szField, nullptr);
      SetupFindFirstLineA(hInf, pszSection, szField, &byKey);
    }
    ++nLines;
  }
  SetupCloseInfFile(hInf);
  return nLines;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--write") {
    std::ofstream out(argv[3], std::ios::binary);
    out << makeInf(std::atoi(argv[2]));
    return out ? 0 : 1;
  }
  const bool bByKey = argc > 1 && std::string(argv[1]) == "--by-key";
  if (bByKey) {
    --argc;
    ++argv;
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: inf_parse_timing [--by-key] FILE.INF SECTION [ROUNDS]\n");
    return 2;
  }
  const int nRounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 20;
  long nLines = parseOnce(argv[1], argv[2], bByKey);  // warms the file cache
  if (nLines < 0) {
    std::fprintf(stderr, "cannot open %s (error %lu)\n", argv[1], static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  std::vector<double> lstMs;
  for (int n = 0; n < nRounds; ++n) {
    const auto start = std::chrono::steady_clock::now();
    nLines = parseOnce(argv[1], argv[2], bByKey);
    const auto stop = std::chrono::steady_clock::now();
    lstMs.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
  }
  std::sort(lstMs.begin(), lstMs.end());
  std::printf("%s%s: %ld model lines, best %.3f ms, median %.3f ms over %d rounds\n", bByKey ? "(by key) " : "", argv[1], nLines, lstMs.front(),
              lstMs[lstMs.size() / 2], nRounds);
  return 0;
}
