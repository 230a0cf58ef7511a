// Fuzzes kvpkg check's reading of a message catalogue, from memory: UTF-16
// LE text with its mark or narrow text, any bytes. Whatever the input, the
// result is sections of upper-cased names holding trimmed ids and values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

// The reader is the tool's own source, built into the harness (the fuzz
// configuration builds no tools; fuzz/CMakeLists.txt picks the harness up).
#include "../tools/kvpkg/catalogue_text.cpp"
#include "../tools/kvpkg/catalogue_text.h"

namespace {

bool blankAtAnEnd(const std::string& text) {
  return !text.empty() && (text.front() == ' ' || text.front() == '\t' || text.back() == ' ' || text.back() == '\t');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const KvpkgCatalogue catalogue = kvpkgParseCatalogue(reinterpret_cast<const char*>(data), size);
  for (const auto& [section, ids] : catalogue) {
    for (char c : section) {
      if (c >= 'a' && c <= 'z') std::abort();
      if (c == '\n') std::abort();
    }
    for (const auto& [id, value] : ids) {
      if (blankAtAnEnd(id) || blankAtAnEnd(value)) std::abort();
      if (id.find('\n') != std::string::npos || value.find('\n') != std::string::npos) std::abort();
    }
  }
  return 0;
}
