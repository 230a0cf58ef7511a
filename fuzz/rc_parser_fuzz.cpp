// Fuzzes the resource script reader: any text must give a script or a clear
// error, never a crash, a hang or a read out of bounds. An #include of
// "inc.h" resolves to the input itself, so nesting limits are exercised too.
#include <cstddef>
#include <cstdint>
#include <string>

#include "user32/rc_parser.h"
#include "version/pe_resource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  auto resolver = [&](const std::string& name) -> std::optional<std::string> {
    if (name == "inc.h") return text;
    return std::nullopt;
  };
  winsim::rc::Script script;
  std::string error;
  if (!winsim::rc::parse(text, "fuzz.rc", resolver, &script, &error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  // A version block built from the script reads back: its fixed part is there.
  if (script.version.present) {
    const std::string block = winsim::rc::encodeVersionInfo(script.version);
    winsim::version::VersionValue value;
    if (block.size() > 0xFFFF ||
        !winsim::version::queryVersionBlock(reinterpret_cast<const BYTE*>(block.data()), block.size(), "\\", &value) ||
        value.bytes != 52)
      __builtin_trap();
  }
  return 0;
}
