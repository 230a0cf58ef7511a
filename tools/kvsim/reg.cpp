// kvsim reg: import, export and query the machine's registry.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "advapi32/registry_store.h"
#include "advapi32/registry_text.h"
#include "kvsim.h"
#include "machine.h"

namespace kvsim {
namespace {

namespace wreg = winsim::reg;

int runImport(const std::string& file) {
  std::string text;
  if (file == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  } else {
    auto content = winsim::readWholeFile(file);
    if (!content) return fail("reg import: cannot read " + file);
    text = std::move(*content);
  }
  std::string error;
  if (!wreg::importText(text, &error)) return fail("reg import: " + file + ": " + error);
  return 0;
}

int runExport(const std::string& key) {
  std::string error;
  auto text = wreg::exportText(key, &error);
  if (!text) return fail("reg export: " + error);
  std::fwrite(text->data(), 1, text->size(), stdout);
  return 0;
}

// The data alone, in the form a script compares most easily.
void printData(const wreg::Value& value) {
  const auto& d = value.data;
  if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
    std::string text(d.begin(), d.end());
    if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
    std::printf("%s\n", text.c_str());
  } else if (value.type == REG_MULTI_SZ) {
    for (const auto& item : wreg::splitMultiString(d)) std::printf("%s\n", item.c_str());
  } else if ((value.type == REG_DWORD && d.size() == 4) || (value.type == REG_QWORD && d.size() == 8)) {
    unsigned long long n = 0;
    for (size_t i = d.size(); i-- > 0;) n = (n << 8) | d[i];
    std::printf("%llu\n", n);
  } else {
    for (BYTE b : d) std::printf("%02x", b);
    std::printf("\n");
  }
}

int runQuery(const std::vector<std::string>& args) {
  wreg::Hive hive;
  std::string path;
  if (!wreg::splitFullKey(args[0], &hive, &path)) return fail("reg query: unknown hive in '" + args[0] + "' (HKLM or HKCU)");
  int status = 0;
  wreg::inspect(hive, [&](const wreg::Editor& e) {
    if (!e.keyExists(path)) {
      status = fail("reg query: no key " + args[0]);
      return;
    }
    if (args.size() == 2) {
      auto value = e.getValue(path, args[1]);
      if (!value) {
        status = fail("reg query: no value '" + args[1] + "' in " + args[0]);
        return;
      }
      printData(*value);
      return;
    }
    // The key as a .reg section with its values, then a line for each subkey.
    std::string full = wreg::hiveLongName(hive);
    if (!path.empty()) full += "\\" + path;
    std::string out = "[" + full + "]\n";
    for (const auto& [name, value] : e.values(path)) wreg::writeRegValue(name, value, &out);
    const auto subs = e.subKeys(path);
    if (!subs.empty()) out += "\n";
    for (const auto& sub : subs) out += "[" + full + "\\" + sub + "]\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
  });
  return status;
}

void setup(CLI::App& kvsim) {
  CLI::App* regCmd = addCommand(
      kvsim, "reg", "import, export or query the registry",
      "usage: kvsim [--root DIR] reg import FILE.reg\n"
      "       kvsim [--root DIR] reg export [KEY]\n"
      "       kvsim [--root DIR] reg query KEY [VALUE]\n",
      "KEY starts with its hive: HKLM\\... or HKEY_LOCAL_MACHINE\\..., HKCU\\... or\n"
      "HKEY_CURRENT_USER\\...\n"
      "import  applies a \"Windows Registry Editor Version 5.00\" file (- reads standard\n"
      "        input); a malformed file changes nothing and names the bad line.\n"
      "export  writes the key and everything below it (both hives without KEY) as a\n"
      "        .reg text to standard output.\n"
      "query   with VALUE prints the data alone: a string as it is, a DWORD or QWORD\n"
      "        in decimal, a multi-string one item a line, anything else as hex\n"
      "        digits. VALUE \"\" is the key's default value. Without VALUE prints the\n"
      "        key's values and the names of its subkeys in .reg form.\n"
      "Exit status 2 when the key or value does not exist.\n");
  regCmd->require_subcommand(1);
  static std::string file, exportKey;
  static std::vector<std::string> query;
  CLI::App* import = addCommand(*regCmd, "import", "apply a .reg file", "usage: kvsim [--root DIR] reg import FILE.reg\n");
  import->add_option("FILE", file, "the .reg file (- for standard input)")->required();
  onRun(import, [] { return runImport(file); });
  CLI::App* exportCmd = addCommand(*regCmd, "export", "write a key as .reg text",
                                   "usage: kvsim [--root DIR] reg export [KEY]\n");
  exportCmd->add_option("KEY", exportKey, "the key (both hives without it)");
  onRun(exportCmd, [] { return runExport(exportKey); });
  CLI::App* queryCmd = addCommand(*regCmd, "query", "print a value's data, or a key",
                                  "usage: kvsim [--root DIR] reg query KEY [VALUE]\n");
  queryCmd->add_option("KEY", query, "the key, then the value (\"\" for the key's default value)")
      ->required()
      ->expected(1, 2);
  onRun(queryCmd, [] { return runQuery(query); });
}

const Registrar kRegistrar("reg", setup);

}  // namespace
}  // namespace kvsim
