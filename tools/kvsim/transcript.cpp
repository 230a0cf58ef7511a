// kvsim transcript: prints (or clears) the transcript of the pages and
// message boxes that programs on the machine have shown.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "kvsim.h"
#include "user32/ui.h"

namespace kvsim {
namespace {

int runTranscript(const Args& args) {
  bool clear = false;
  for (const std::string& a : args) {
    if (a == "--clear") clear = true;
    else return fail("transcript: unexpected argument '" + a + "'");
  }
  const std::string path = winsim::ui::transcriptPath();
  std::error_code ec;
  if (clear) {
    if (std::filesystem::exists(path, ec) && !std::filesystem::remove(path, ec))
      return fail("transcript: cannot remove " + path + ": " + ec.message());
    return 0;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return 0;  // nothing shown yet
  std::cout << in.rdbuf();
  std::cout.flush();
  return std::cout ? 0 : fail("transcript: cannot write the output");
}

const Registrar reg({"transcript", "print the transcript of pages and message boxes",
                     "usage: kvsim [--root DIR] transcript [--clear]\n"
                     "Prints the transcript that the UI renderers of the programs on this machine\n"
                     "wrote: one block per page (its controls when it opened, how it was left) and\n"
                     "per message box (caption, text, style, answer). The file is KVSIM_TRANSCRIPT,\n"
                     "else <root>/transcript.log. Prints nothing when there is none.\n"
                     "  --clear   remove the transcript instead\n",
                     runTranscript});

}  // namespace
}  // namespace kvsim
