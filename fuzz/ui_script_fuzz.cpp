// Fuzzes the UI script parser: any text gives statements or a clear error
// naming a line, never a crash or a read out of bounds. Each line is also
// tried as a single action, as the terminal renderer reads them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "user32/ui_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<winsim::ui::Statement> statements;
  std::string error;
  if (!winsim::ui::parseScript(text, "fuzz.txt", &statements, &error) && error.empty()) __builtin_trap();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) eol = text.size();
    winsim::ui::Action action;
    std::string why;
    if (!winsim::ui::parseAction(std::string_view(text).substr(pos, eol - pos), &action, &why) && why.empty())
      __builtin_trap();
    pos = eol + 1;
  }
  return 0;
}
