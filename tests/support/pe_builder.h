// Builds small PE images holding a version resource, so that the version
// tests make their own files instead of committing binaries.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace kvtest {

inline void put16(std::string& s, size_t at, std::uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void put32(std::string& s, size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline std::string le32(std::uint32_t v) {
  std::string s(4, '\0');
  put32(s, 0, v);
  return s;
}
inline std::string utf16z(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out.push_back(c);
    out.push_back('\0');
  }
  out.append(2, '\0');
  return out;
}
inline void pad4(std::string& s) {
  while (s.size() % 4) s.push_back('\0');
}

// One VS_VERSIONINFO block: header, key, value, children.
inline std::string versionBlock(const std::string& key, const std::string& value, std::uint16_t valueLength,
                                std::uint16_t type, const std::vector<std::string>& children = {}) {
  std::string b(6, '\0');
  b += utf16z(key);
  pad4(b);
  b += value;
  for (const auto& child : children) {
    pad4(b);
    b += child;
  }
  put16(b, 0, static_cast<std::uint32_t>(b.size()));
  put16(b, 2, valueLength);
  put16(b, 4, type);
  return b;
}

struct VersionSpec {
  std::uint32_t fileMS = 0x00000003, fileLS = 0x00010002;  // 0.3.1.2
  std::uint32_t fileOS = 0x00040004;                       // VOS_NT_WINDOWS32
  std::uint32_t fileType = 3, fileSubtype = 1;             // VFT_DRV, VFT2_DRV_PRINTER
  std::vector<std::pair<std::string, std::string>> strings = {{"FileVersion", "0.3.1.2"},
                                                              {"FileDescription", "Test driver"}};
  std::uint16_t language = 0x0409, codePage = 1200;
};

inline std::string versionResource(const VersionSpec& v) {
  std::string fixed;
  const std::uint32_t words[13] = {0xFEEF04BD, 0x00010000, v.fileMS, v.fileLS, v.fileMS, v.fileLS, 0x3F, 0,
                                   v.fileOS,   v.fileType, v.fileSubtype, 0, 0};
  for (std::uint32_t w : words) fixed += le32(w);
  std::vector<std::string> strings;
  for (const auto& [name, text] : v.strings) {
    strings.push_back(versionBlock(name, utf16z(text), static_cast<std::uint16_t>(text.size() + 1), 1));
  }
  char table[9];
  std::snprintf(table, sizeof table, "%04X%04X", v.language, v.codePage);
  const std::string stringTable = versionBlock(table, "", 0, 1, strings);
  const std::string stringInfo = versionBlock("StringFileInfo", "", 0, 1, {stringTable});
  const std::string var =
      versionBlock("Translation", le32(static_cast<std::uint32_t>(v.language) | (static_cast<std::uint32_t>(v.codePage) << 16)),
                   4, 0);
  const std::string varInfo = versionBlock("VarFileInfo", "", 0, 1, {var});
  return versionBlock("VS_VERSION_INFO", fixed, 52, 0, {stringInfo, varInfo});
}

// A resource-only PE image (PE32 or PE32+) with one .rsrc section at RVA
// 0x1000, file offset 0x200, holding `resource` as RT_VERSION 1, language
// 0x409. An empty resource gives an image without a resource directory.
inline std::string peImage(const std::string& resource, bool pe64, std::uint16_t machine) {
  std::string rsrc;
  if (!resource.empty()) {
    rsrc.assign(0x58, '\0');
    put16(rsrc, 0x0E, 1);                    // root: one id entry
    put32(rsrc, 0x10, 16);                   // RT_VERSION
    put32(rsrc, 0x14, 0x80000000u | 0x18);   // -> name directory
    put16(rsrc, 0x18 + 0x0E, 1);
    put32(rsrc, 0x28, 1);                    // name 1
    put32(rsrc, 0x2C, 0x80000000u | 0x30);   // -> language directory
    put16(rsrc, 0x30 + 0x0E, 1);
    put32(rsrc, 0x40, 0x409);
    put32(rsrc, 0x44, 0x48);                 // -> data entry
    put32(rsrc, 0x48, 0x1000 + 0x58);        // data RVA
    put32(rsrc, 0x4C, static_cast<std::uint32_t>(resource.size()));
    rsrc += resource;
  } else {
    rsrc.assign(16, '\0');
  }
  const std::uint32_t rawSize = static_cast<std::uint32_t>((rsrc.size() + 0x1FF) & ~0x1FFu);
  rsrc.resize(rawSize, '\0');

  std::string img(0x200, '\0');
  img[0] = 'M';
  img[1] = 'Z';
  put32(img, 0x3C, 0x40);
  img.replace(0x40, 4, std::string("PE\0\0", 4));
  const size_t fh = 0x44;
  const std::uint32_t optSize = pe64 ? 0xF0 : 0xE0;
  put16(img, fh + 0, machine);
  put16(img, fh + 2, 1);
  put16(img, fh + 16, optSize);
  put16(img, fh + 18, pe64 ? 0x2022 : 0x2102);
  const size_t opt = fh + 20;
  put16(img, opt, pe64 ? 0x20B : 0x10B);
  if (pe64) {
    put32(img, opt + 24, 0x10000000);  // ImageBase (low half)
  } else {
    put32(img, opt + 28, 0x10000000);
  }
  put32(img, opt + 32, 0x1000);  // SectionAlignment
  put32(img, opt + 36, 0x200);   // FileAlignment
  put16(img, opt + 40, 4);       // OS version
  put16(img, opt + 48, 4);       // subsystem version
  put32(img, opt + 56, 0x1000 + ((rawSize + 0xFFF) & ~0xFFFu));  // SizeOfImage
  put32(img, opt + 60, 0x200);   // SizeOfHeaders
  put16(img, opt + 68, 2);       // GUI
  const size_t dirs = opt + (pe64 ? 108 : 92);
  put32(img, dirs, 16);
  if (!resource.empty()) {
    put32(img, dirs + 4 + 2 * 8, 0x1000);
    put32(img, dirs + 8 + 2 * 8, static_cast<std::uint32_t>(0x58 + resource.size()));
  }
  const size_t sec = opt + optSize;
  img.replace(sec, 5, ".rsrc");
  put32(img, sec + 8, static_cast<std::uint32_t>(rsrc.size()));
  put32(img, sec + 12, 0x1000);
  put32(img, sec + 16, rawSize);
  put32(img, sec + 20, 0x200);
  put32(img, sec + 36, 0x40000040);  // initialised data, readable
  return img + rsrc;
}

}  // namespace kvtest
