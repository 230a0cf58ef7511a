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

int runTranscript(bool clear) {
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

void setup(CLI::App& kvsim) {
  CLI::App* transcript =
      addCommand(kvsim, "transcript", "print the transcript of pages and message boxes",
                 "usage: kvsim [--root DIR] transcript [--clear]\n",
                 "Prints the transcript that the UI renderers of the programs on this machine\n"
                 "wrote: one block per page (its controls when it opened, how it was left) and\n"
                 "per message box (caption, text, style, answer). The file is KVSIM_TRANSCRIPT,\n"
                 "else <root>/transcript.log. Prints nothing when there is none.\n");
  static bool clear = false;
  transcript->add_flag("--clear", clear, "remove the transcript instead");
  onRun(transcript, [] { return runTranscript(clear); });
}

const Registrar kRegistrar("transcript", setup);

}  // namespace
}  // namespace kvsim
