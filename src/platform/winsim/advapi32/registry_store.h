// winsim: the registry store behind the Reg* functions and everything else in
// winsim that keeps state in the registry (version, services, spooler, devices,
// fault knobs).
//
// Each hive is one "Windows Registry Editor Version 5.00" text file (UTF-8)
// under the machine root: registry/HKLM.reg and registry/HKCU.reg. A read
// takes the hive from a cache that is reloaded when the file changes on disk;
// a change runs under MachineLock and rewrites the hive atomically. Key paths
// are given without the hive ("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion")
// and compared without regard to case; names keep the case they were created
// with.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

namespace winsim::reg {

enum class Hive { LocalMachine, CurrentUser };

struct Value {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;  // exactly as RegQueryValueExA returns it (strings with their NUL)
};

// ---- Reading ----------------------------------------------------------------
bool keyExists(Hive hive, std::string_view path);
std::optional<Value> getValue(Hive hive, std::string_view path, std::string_view name);
std::vector<std::string> subKeys(Hive hive, std::string_view path);    // in the order Windows lists them
std::vector<std::string> valueNames(Hive hive, std::string_view path);
// Convenience: a REG_SZ/REG_EXPAND_SZ as text, a REG_DWORD as number.
std::string getString(Hive hive, std::string_view path, std::string_view name, std::string_view fallback = {});
DWORD getDword(Hive hive, std::string_view path, std::string_view name, DWORD fallback = 0);
std::vector<std::string> getMultiString(Hive hive, std::string_view path, std::string_view name);

// ---- Changing (each call is atomic on its own) --------------------------------
bool createKey(Hive hive, std::string_view path);  // with every missing parent
bool setValue(Hive hive, std::string_view path, std::string_view name, const Value& value);
bool setString(Hive hive, std::string_view path, std::string_view name, std::string_view text, DWORD type = REG_SZ);
bool setDword(Hive hive, std::string_view path, std::string_view name, DWORD value);
bool setMultiString(Hive hive, std::string_view path, std::string_view name, const std::vector<std::string>& items);
bool deleteValue(Hive hive, std::string_view path, std::string_view name);
bool deleteKeyTree(Hive hive, std::string_view path);

// Several changes that must land together (a driver's key and its values, a
// service's state): `edit` runs under MachineLock on the loaded hive and the
// hive is written once at the end.
class Editor;
bool transact(Hive hive, const std::function<bool(Editor&)>& edit);

// ---- Files ----------------------------------------------------------------
// Imports a .reg text (both hives may appear in it); fails with a line-numbered
// reason on malformed input and changes nothing then.
bool importText(std::string_view text, std::string* error);
// Exports a key (with the hive name: "HKEY_LOCAL_MACHINE\\SOFTWARE\\X") or a
// whole hive ("HKLM") as .reg text.
std::optional<std::string> exportText(std::string_view fullKey, std::string* error);
// Splits "HKLM\\X", "HKEY_LOCAL_MACHINE\\X", "HKCU\\X", "HKEY_CURRENT_USER\\X".
bool splitFullKey(std::string_view fullKey, Hive* hive, std::string* path);

}  // namespace winsim::reg
