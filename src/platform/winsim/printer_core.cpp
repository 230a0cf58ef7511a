// winsim: Windows' own printer drivers on a machine. Most printer INF files
// of the field install one of Windows' core drivers (the universal driver
// for GPD files, the PostScript driver for PPD files) with a data file of
// their own: they name Windows' printer INF, %windir%\INF\ntprint.inf, and
// the sections they need from it. A machine here gets such an INF, written
// for winsim with the core sections printer INF files use, and the core
// files in the version folder of its own print environment, as a system
// that has installed one printer of each kind holds them. The files are
// small stand-ins: DLLs are PE images of the machine's type with a
// version-3 printer-driver version resource, the others short texts.
//
// An Itanium machine also gets the print environment Windows has there,
// with its driver version and the default print processor.
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "advapi32/registry_store.h"
#include "machine.h"
#include "machine_settings.h"

namespace winsim {
namespace {

constexpr const char* kPrinterInf = R"(; Windows' printer INF as winsim has it: the core printer drivers that the
; printer INF files of makers install with their own data files.
[Version]
Signature="$Windows NT$"
Class=Printer
ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}
Provider=%Provider%
DriverVer=06/21/2006,6.1.7600.16385

[DestinationDirs]
DefaultDestDir=66000

; The universal driver: GPD minidrivers.
[UNIDRV.OEM]
CopyFiles=UNIDRV

[UNIDRV_DATA]
DriverFile=UNIDRV.DLL
ConfigFile=UNIDRVUI.DLL
HelpFile=UNIDRV.HLP

[UNIDRV]
UNIDRV.DLL
UNIDRVUI.DLL
UNIRES.DLL
STDNAMES.GPD
STDDTYPE.GDL
STDSCHEM.GDL
STDSCHMX.GDL
UNIDRV.HLP

; TrueType substitution table some GPD minidrivers add.
[TTFSUB.OEM]
CopyFiles=@TTFSUB.GPD

; The PostScript driver: PPD minidrivers.
[PSCRIPT.OEM]
CopyFiles=PSCRIPT

[PSCRIPT_DATA]
DriverFile=PSCRIPT5.DLL
ConfigFile=PS5UI.DLL
HelpFile=PSCRIPT.HLP

[PSCRIPT]
PSCRIPT5.DLL
PS5UI.DLL
PSCRIPT.HLP
PSCRIPT.NTF

[Strings]
Provider="Microsoft"
)";

// The core files, each with whether it is a DLL.
constexpr std::pair<const char*, bool> kCoreFiles[] = {
    {"UNIDRV.DLL", true},    {"UNIDRVUI.DLL", true},  {"UNIRES.DLL", true},   {"STDNAMES.GPD", false},
    {"STDDTYPE.GDL", false}, {"STDSCHEM.GDL", false}, {"STDSCHMX.GDL", false}, {"UNIDRV.HLP", false},
    {"TTFSUB.GPD", false},   {"PSCRIPT5.DLL", true},  {"PS5UI.DLL", true},    {"PSCRIPT.HLP", false},
    {"PSCRIPT.NTF", false},
};

void put16(std::string& s, size_t at, std::uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, size_t at, std::uint32_t v) {
  for (size_t i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
std::string le32(std::uint32_t v) {
  std::string s(4, '\0');
  put32(s, 0, v);
  return s;
}
std::string utf16z(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out.push_back(c);
    out.push_back('\0');
  }
  out.append(2, '\0');
  return out;
}
void pad4(std::string& s) {
  while (s.size() % 4) s.push_back('\0');
}
std::string versionBlock(const std::string& key, const std::string& value, std::uint16_t valueLength,
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

// A version resource of a version-3 printer driver: file version 0.3.7600.16385.
std::string versionResource(const std::string& description) {
  constexpr std::uint32_t kFileMS = 0x00000003, kFileLS = 0x1DB04001;
  std::string fixed;
  const std::uint32_t words[13] = {0xFEEF04BD, 0x00010000, kFileMS, kFileLS, kFileMS, kFileLS, 0x3F, 0,
                                   0x00040004, 3,          1,       0,       0};
  for (std::uint32_t w : words) fixed += le32(w);
  const std::string text = "0.3.7600.16385";
  const std::vector<std::string> strings = {
      versionBlock("FileVersion", utf16z(text), static_cast<std::uint16_t>(text.size() + 1), 1),
      versionBlock("FileDescription", utf16z(description), static_cast<std::uint16_t>(description.size() + 1), 1)};
  const std::string table = versionBlock("040904B0", "", 0, 1, strings);
  const std::string stringInfo = versionBlock("StringFileInfo", "", 0, 1, {table});
  const std::string var = versionBlock("Translation", le32(0x04B00409), 4, 0);
  const std::string varInfo = versionBlock("VarFileInfo", "", 0, 1, {var});
  return versionBlock("VS_VERSION_INFO", fixed, 52, 0, {stringInfo, varInfo});
}

// A DLL image of the machine type with the resource as RT_VERSION 1.
std::string dllImage(const std::string& resource, std::uint16_t machine) {
  const bool pe64 = machine != 0x014C;
  std::string rsrc(0x58, '\0');
  put16(rsrc, 0x0E, 1);
  put32(rsrc, 0x10, 16);
  put32(rsrc, 0x14, 0x80000000u | 0x18);
  put16(rsrc, 0x18 + 0x0E, 1);
  put32(rsrc, 0x28, 1);
  put32(rsrc, 0x2C, 0x80000000u | 0x30);
  put16(rsrc, 0x30 + 0x0E, 1);
  put32(rsrc, 0x40, 0x409);
  put32(rsrc, 0x44, 0x48);
  put32(rsrc, 0x48, 0x1000 + 0x58);
  put32(rsrc, 0x4C, static_cast<std::uint32_t>(resource.size()));
  rsrc += resource;
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
  put16(img, fh + 18, pe64 ? 0x2022 : 0x2102);  // a DLL
  const size_t opt = fh + 20;
  put16(img, opt, pe64 ? 0x20B : 0x10B);
  put32(img, opt + (pe64 ? 24 : 28), 0x10000000);
  put32(img, opt + 32, 0x1000);
  put32(img, opt + 36, 0x200);
  put16(img, opt + 40, 5);
  put16(img, opt + 48, 5);
  put32(img, opt + 56, 0x1000 + ((rawSize + 0xFFF) & ~0xFFFu));
  put32(img, opt + 60, 0x200);
  put16(img, opt + 68, 2);
  const size_t dirs = opt + (pe64 ? 108 : 92);
  put32(img, dirs, 16);
  put32(img, dirs + 4 + 2 * 8, 0x1000);
  put32(img, dirs + 8 + 2 * 8, static_cast<std::uint32_t>(0x58 + resource.size()));
  const size_t sec = opt + optSize;
  img.replace(sec, 5, ".rsrc");
  put32(img, sec + 8, static_cast<std::uint32_t>(rsrc.size()));
  put32(img, sec + 12, 0x1000);
  put32(img, sec + 16, rawSize);
  put32(img, sec + 20, 0x200);
  put32(img, sec + 36, 0x40000040);
  return img + rsrc;
}

struct NativeEnvironment {
  const char* name;
  const char* folder;
  std::uint16_t machine;
};

NativeEnvironment nativeEnvironment(const MachineSettings& s) {
  if (s.architecture == "amd64") return {"Windows x64", "x64", 0x8664};
  if (s.architecture == "ia64") return {"Windows IA64", "ia64", 0x0200};
  return {"Windows NT x86", "w32x86", 0x014C};
}

bool writeIfAbsent(const fs::path& path, const std::string& bytes, std::string* error) {
  std::error_code ec;
  if (fs::exists(path, ec)) return true;
  fs::create_directories(path.parent_path(), ec);
  if (!atomicWriteFile(path, bytes)) {
    if (error) *error = "cannot write " + path.string();
    return false;
  }
  return true;
}

}  // namespace

std::string printerCoreInfText() { return kPrinterInf; }

bool installPrinterCore(const fs::path& root, const MachineSettings& s, std::string* error) {
  const fs::path windows = root / "drive_c" / "Windows";
  if (!writeIfAbsent(windows / "inf" / "ntprint.inf", kPrinterInf, error)) return false;
  const NativeEnvironment env = nativeEnvironment(s);
  if (s.architecture == "ia64") {
    // Windows registers the Itanium environment with its driver version and
    // the default print processor, as on the other 64-bit machines.
    const std::string base =
        std::string("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\") + env.name;
    std::string text = "Windows Registry Editor Version 5.00\n";
    text += "\n[" + base + "]\n" + regQuote("Directory") + "=" + regQuote("IA64") + "\n";
    text += "\n[" + base + "\\Drivers]\n";
    text += "\n[" + base + "\\Drivers\\Version-3]\n";
    text += "\n[" + base + "\\Print Processors]\n";
    text += "\n[" + base + "\\Print Processors\\WinPrint]\n" + regQuote("Driver") + "=" + regQuote("winprint.dll") + "\n";
    if (!reg::importText(text, error)) return false;
    std::error_code ec;
    fs::create_directories(windows / "system32" / "spool" / "prtprocs" / "ia64", ec);
  }
  const fs::path folder = windows / "system32" / "spool" / "drivers" / env.folder / "3";
  for (const auto& [name, isDll] : kCoreFiles) {
    const std::string file = name;
    const std::string bytes = isDll ? dllImage(versionResource("Core printer driver " + file), env.machine)
                                    : "; " + file + ": core printer driver data (winsim stand-in)\r\n";
    if (!writeIfAbsent(folder / file, bytes, error)) return false;
  }
  return true;
}

}  // namespace winsim
