#include "catalogue_text.h"

#include <string_view>

namespace {

std::string_view trimBlanks(std::string_view text) {
  const size_t b = text.find_first_not_of(" \t");
  if (b == std::string_view::npos) return std::string_view();
  const size_t e = text.find_last_not_of(" \t");
  return text.substr(b, e - b + 1);
}

std::string upperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

}  // namespace

KvpkgCatalogue kvpkgParseCatalogue(const char* data, size_t size) {
  KvpkgCatalogue sections;
  std::string wide;  // the UTF-16 text narrowed, when it is UTF-16
  std::string_view text(data, size);
  if (size >= 2 && static_cast<unsigned char>(data[0]) == 0xFF && static_cast<unsigned char>(data[1]) == 0xFE) {
    wide.reserve(size / 2);
    for (size_t i = 2; i + 1 < size; i += 2) {
      const unsigned c = static_cast<unsigned char>(data[i]) | (static_cast<unsigned char>(data[i + 1]) << 8);
      wide += c < 0x80 ? static_cast<char>(c) : '?';
    }
    text = wide;
  }
  std::map<std::string, std::string>* current = nullptr;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = trimBlanks(line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      // "[NAME" without its bracket names the rest of the line.
      const size_t close = line.find(']');
      const std::string name =
          upperAscii(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
      // Ids before the first section, or under an empty name, belong nowhere.
      current = name.empty() ? nullptr : &sections[name];
      if (name.empty()) sections[name];
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos || !current) continue;
    (*current)[std::string(trimBlanks(line.substr(0, eq)))] = std::string(trimBlanks(line.substr(eq + 1)));
  }
  return sections;
}
