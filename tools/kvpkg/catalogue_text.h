// kvpkg check's reading of a message catalogue from its bytes: UTF-16 LE
// text with its mark, or narrow text. Only ids and whether each has text
// matter to the check, so characters outside ASCII read as '?'.
#pragma once

#include <cstddef>
#include <map>
#include <string>

// Section (upper-cased, without brackets) to id to value (trimmed). Lines
// without '=' and before the first section are ignored; the last of two
// equal ids wins. Never reads outside [data, data + size).
using KvpkgCatalogue = std::map<std::string, std::map<std::string, std::string>>;
KvpkgCatalogue kvpkgParseCatalogue(const char* data, size_t size);
