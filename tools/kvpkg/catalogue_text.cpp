#include "catalogue_text.h"

#include <cctype>

namespace {

std::string trimBlanks(const std::string& text) {
  const size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  const size_t e = text.find_last_not_of(" \t");
  return text.substr(b, e - b + 1);
}

std::string upperAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

KvpkgCatalogue kvpkgParseCatalogue(const char* data, size_t size) {
  KvpkgCatalogue sections;
  std::string text;
  const bool utf16 = size >= 2 && static_cast<unsigned char>(data[0]) == 0xFF && static_cast<unsigned char>(data[1]) == 0xFE;
  if (utf16) {
    text.reserve(size / 2);
    for (size_t i = 2; i + 1 < size; i += 2) {
      const unsigned c = static_cast<unsigned char>(data[i]) | (static_cast<unsigned char>(data[i + 1]) << 8);
      text += c < 0x80 ? static_cast<char>(c) : '?';
    }
  } else {
    text.assign(data, size);
  }
  std::string section;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line = trimBlanks(line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      // "[NAME" without its bracket names the rest of the line.
      const size_t close = line.find(']');
      section = upperAscii(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      sections[section];
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos || section.empty()) continue;
    sections[section][trimBlanks(line.substr(0, eq))] = trimBlanks(line.substr(eq + 1));
  }
  return sections;
}
