// Fuzzes the INF parser and every query on what it builds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "setupapi/inf_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  using namespace winsim::setupapi;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ParseResult result;
  auto file = InfFile::parse(bytes, ParseOptions{}, &result);
  if (!file) return 0;
  file->bind("Z:\\fuzz\\test.inf", nullptr, 0x0409);
  file->isWin4();
  std::string out;
  for (size_t s = 0; s < file->sections().size(); ++s) {
    const auto& section = file->sections()[s];
    for (std::uint32_t pos = 0; pos < section.lines.size(); ++pos) {
      const InfLine& line = file->line(static_cast<int>(s), pos);
      for (DWORD i = 0; i <= line.fields.size() + 1; ++i) file->field(line, i, &out);
      out = file->lineText(line);
      if (line.hasKey) file->findKey(static_cast<int>(s), line.key, 0);
    }
  }
  return 0;
}
