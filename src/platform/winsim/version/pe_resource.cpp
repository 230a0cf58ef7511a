// winsim: PE resources and version blocks, every offset checked against the
// bytes actually present.
#include "version/pe_resource.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <vector>

namespace winsim::version {
namespace {

constexpr std::uint32_t kRtVersion = 16;

// Little-endian reads that fail instead of reading past the end.
struct Reader {
  std::string_view bytes;
  bool u16(std::uint64_t at, std::uint32_t* out) const {
    if (at + 2 > bytes.size()) return false;
    *out = static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
    return true;
  }
  bool u32(std::uint64_t at, std::uint32_t* out) const {
    if (at + 4 > bytes.size()) return false;
    *out = 0;
    for (int i = 3; i >= 0; --i) *out = (*out << 8) | static_cast<unsigned char>(bytes[at + static_cast<unsigned>(i)]);
    return true;
  }
};

struct Section {
  std::uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

bool rvaToOffset(const std::vector<Section>& sections, std::uint32_t rva, std::uint64_t* offset) {
  for (const auto& s : sections) {
    const std::uint64_t extent = std::max(s.virtualSize, s.rawSize);
    if (rva >= s.virtualAddress && rva < static_cast<std::uint64_t>(s.virtualAddress) + extent) {
      *offset = static_cast<std::uint64_t>(rva) - s.virtualAddress + s.rawOffset;
      return true;
    }
  }
  return false;
}

// The offset (from the resource root) named by the entry with `id` in the
// directory at `dir`, or by its first entry when `id` is 0; `isDir` tells
// whether it is a sub-directory.
bool directoryEntry(const Reader& r, std::uint64_t root, std::uint64_t dir, std::uint32_t id, std::uint32_t* target,
                    bool* isDir) {
  std::uint32_t named = 0, ids = 0;
  if (!r.u16(dir + 12, &named) || !r.u16(dir + 14, &ids)) return false;
  const std::uint32_t count = named + ids;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t entry = dir + 16 + 8ull * i;
    std::uint32_t nameOrId = 0, offset = 0;
    if (!r.u32(entry, &nameOrId) || !r.u32(entry + 4, &offset)) return false;
    if (id != 0 && ((nameOrId & 0x80000000u) || nameOrId != id)) continue;
    *target = offset & 0x7FFFFFFFu;
    *isDir = (offset & 0x80000000u) != 0;
    (void)root;
    return true;
  }
  return false;
}

bool keyEquals(const BYTE* key, size_t units, std::string_view name) {
  if (units != name.size()) return false;
  for (size_t i = 0; i < units; ++i) {
    const unsigned c = key[2 * i] | key[2 * i + 1] << 8;
    if (c > 0x7F || std::tolower(static_cast<int>(c)) != std::tolower(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

size_t align4(size_t n) { return (n + 3) & ~static_cast<size_t>(3); }

struct Block {
  size_t length, valueLength, type, keyUnits, valueOffset, childrenOffset;
  const BYTE* key;
};

// Reads the header of the block at `at` (an offset within `size`).
bool readBlock(const BYTE* base, size_t size, size_t at, Block* b) {
  if (at + 6 > size) return false;
  b->length = base[at] | base[at + 1] << 8;
  b->valueLength = base[at + 2] | base[at + 3] << 8;
  b->type = base[at + 4] | base[at + 5] << 8;
  if (b->length < 6 || at + b->length > size) return false;
  const size_t end = at + b->length;
  size_t p = at + 6;
  b->key = base + p;
  b->keyUnits = 0;
  while (true) {
    if (p + 2 > end) return false;
    if (base[p] == 0 && base[p + 1] == 0) break;
    p += 2;
    ++b->keyUnits;
  }
  b->valueOffset = align4(p + 2);
  const size_t valueBytes = b->type == 1 ? b->valueLength * 2 : b->valueLength;
  if (b->valueOffset + valueBytes > end) {
    if (valueBytes != 0) return false;
    b->valueOffset = end;
  }
  b->childrenOffset = align4(b->valueOffset + valueBytes);
  return true;
}


// The section table and one entry of the data directory of a PE image:
// 0 and the entry's address and size (0 and 0 when the image has no such
// entry, and then no sections), or ERROR_BAD_FORMAT.
DWORD readImage(const Reader& r, std::uint32_t entry, std::vector<Section>* sections, std::uint32_t* rva,
                std::uint32_t* size) {
  const std::string_view image = r.bytes;
  if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z') return ERROR_BAD_FORMAT;
  std::uint32_t peOffset = 0;
  if (!r.u32(0x3C, &peOffset) || static_cast<std::uint64_t>(peOffset) + 24 > image.size() ||
      image.substr(peOffset, 4) != std::string_view("PE\0\0", 4)) {
    return ERROR_BAD_FORMAT;
  }
  const std::uint64_t fileHeader = peOffset + 4ull;
  const std::uint64_t optional = fileHeader + 20;
  std::uint32_t sectionCount = 0, optionalSize = 0, magic = 0;
  if (!r.u16(fileHeader + 2, &sectionCount) || !r.u16(fileHeader + 16, &optionalSize) || !r.u16(optional, &magic)) {
    return ERROR_BAD_FORMAT;
  }
  std::uint64_t dirCountAt = 0;
  if (magic == 0x10B) dirCountAt = optional + 92;
  else if (magic == 0x20B) dirCountAt = optional + 108;
  else return ERROR_BAD_FORMAT;
  std::uint32_t dirCount = 0;
  if (!r.u32(dirCountAt, &dirCount)) return ERROR_BAD_FORMAT;
  *rva = *size = 0;
  if (dirCount > entry && dirCountAt + 4 + (entry + 1) * 8ull <= optional + optionalSize) {
    if (!r.u32(dirCountAt + 4 + entry * 8ull, rva) || !r.u32(dirCountAt + 8 + entry * 8ull, size)) {
      return ERROR_BAD_FORMAT;
    }
  }
  if (*rva == 0 || *size == 0) return 0;
  const std::uint64_t table = optional + optionalSize;
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    const std::uint64_t s = table + 40ull * i;
    Section sec{};
    if (!r.u32(s + 8, &sec.virtualSize) || !r.u32(s + 12, &sec.virtualAddress) || !r.u32(s + 16, &sec.rawSize) ||
        !r.u32(s + 20, &sec.rawOffset)) {
      return ERROR_BAD_FORMAT;
    }
    sections->push_back(sec);
  }
  return 0;
}

}  // namespace

DWORD findVersionResource(std::string_view image, std::string_view* resource) {
  const Reader r{image};
  std::vector<Section> sections;
  std::uint32_t resourceRva = 0, resourceSize = 0;
  if (DWORD error = readImage(r, 2, &sections, &resourceRva, &resourceSize)) return error;
  if (resourceRva == 0 || resourceSize == 0) return ERROR_RESOURCE_TYPE_NOT_FOUND;

  std::uint64_t root = 0;
  if (!rvaToOffset(sections, resourceRva, &root)) return ERROR_RESOURCE_TYPE_NOT_FOUND;

  // type -> name -> language -> data entry
  static const DWORD kMissing[] = {ERROR_RESOURCE_TYPE_NOT_FOUND, ERROR_RESOURCE_NAME_NOT_FOUND,
                                   ERROR_RESOURCE_LANG_NOT_FOUND};
  std::uint64_t node = root;
  for (int level = 0; level < 3; ++level) {
    std::uint32_t target = 0;
    bool isDir = false;
    if (!directoryEntry(r, root, node, level == 0 ? kRtVersion : 0, &target, &isDir)) return kMissing[level];
    const bool wantDir = level < 2;
    if (isDir != wantDir) return ERROR_RESOURCE_DATA_NOT_FOUND;
    node = root + target;
  }
  std::uint32_t dataRva = 0, dataSize = 0;
  std::uint64_t dataOffset = 0;
  if (!r.u32(node, &dataRva) || !r.u32(node + 4, &dataSize) || !rvaToOffset(sections, dataRva, &dataOffset) ||
      dataOffset + dataSize > image.size() || dataSize == 0) {
    return ERROR_RESOURCE_DATA_NOT_FOUND;
  }
  *resource = image.substr(dataOffset, dataSize);
  return 0;
}

bool queryVersionBlock(const BYTE* base, size_t size, std::string_view path, VersionValue* value) {
  Block block{};
  if (!readBlock(base, size, 0, &block)) return false;
  size_t at = 0;
  while (!path.empty()) {
    while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
    if (path.empty()) break;
    const size_t slash = path.find('\\');
    const std::string_view name = path.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash);
    bool found = false;
    const size_t end = at + block.length;
    for (size_t child = block.childrenOffset; child < end;) {
      Block c{};
      if (!readBlock(base, end, child, &c)) return false;
      if (keyEquals(c.key, c.keyUnits, name)) {
        at = child;
        block = c;
        found = true;
        break;
      }
      child = align4(child + c.length);
    }
    if (!found) return false;
  }
  if (block.valueLength == 0) return false;
  value->data = base + block.valueOffset;
  value->text = block.type == 1;
  value->bytes = value->text ? block.valueLength * 2 : block.valueLength;
  if (block.valueOffset + value->bytes > at + block.length) return false;
  return true;
}

DWORD hasExport(std::string_view image, std::string_view name, bool* found) {
  *found = false;
  const Reader r{image};
  std::vector<Section> sections;
  std::uint32_t exportRva = 0, exportSize = 0;
  if (DWORD error = readImage(r, 0, &sections, &exportRva, &exportSize)) return error;
  if (exportRva == 0 || exportSize == 0) return 0;
  std::uint64_t table = 0;
  std::uint32_t nameCount = 0, namesRva = 0;
  if (!rvaToOffset(sections, exportRva, &table) || !r.u32(table + 24, &nameCount) || !r.u32(table + 32, &namesRva)) {
    return ERROR_BAD_FORMAT;
  }
  std::uint64_t names = 0;
  if (nameCount == 0) return 0;
  if (!rvaToOffset(sections, namesRva, &names) || names + 4ull * nameCount > image.size()) return ERROR_BAD_FORMAT;
  for (std::uint32_t i = 0; i < nameCount; ++i) {
    std::uint32_t nameRva = 0;
    std::uint64_t at = 0;
    if (!r.u32(names + 4ull * i, &nameRva) || !rvaToOffset(sections, nameRva, &at) || at >= image.size()) {
      return ERROR_BAD_FORMAT;
    }
    const std::string_view rest = image.substr(static_cast<size_t>(at));
    const size_t end = rest.find('\0');
    if (end == std::string_view::npos) return ERROR_BAD_FORMAT;
    if (rest.substr(0, end) == name) {
      *found = true;
      return 0;
    }
  }
  return 0;
}

}  // namespace winsim::version
