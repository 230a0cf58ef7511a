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
#include <utility>
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
// A key or value name holding a line break (or a key name holding a NUL) is
// refused: the hive's text form cannot hold it, and a hive that reads back
// differently from what was written would be corrupt.
bool createKey(Hive hive, std::string_view path);  // with every missing parent
bool setValue(Hive hive, std::string_view path, std::string_view name, const Value& value);
bool setString(Hive hive, std::string_view path, std::string_view name, std::string_view text, DWORD type = REG_SZ);
bool setDword(Hive hive, std::string_view path, std::string_view name, DWORD value);
bool setMultiString(Hive hive, std::string_view path, std::string_view name, const std::vector<std::string>& items);
// False when the value or key is missing (nothing changes then).
bool deleteValue(Hive hive, std::string_view path, std::string_view name);
bool deleteKeyTree(Hive hive, std::string_view path);

// Several changes that must land together (a driver's key and its values, a
// service's state): `edit` runs under MachineLock on the loaded hive and the
// hive is written once at the end. When `edit` returns false nothing of what
// it did is kept.
class Editor;
bool transact(Hive hive, const std::function<bool(Editor&)>& edit);
// Several reads that must see one state of the hive (an enumeration, a key
// and its values): `look` runs on the cached hive while no change of this
// process can come between. It must not change the hive.
void inspect(Hive hive, const std::function<void(const Editor&)>& look);
// The same on the hive as this process last saw it, without looking whether
// another process has changed the file since (the changes of this process
// are seen, and another machine root is loaded): for what Windows fixes when
// a process starts, such as its code page.
void inspectLastSeen(Hive hive, const std::function<void(const Editor&)>& look);

struct KeyNode;

// The hive seen by transact() and inspect(). Paths and names are as for the
// functions above; every call works on the hive in memory only.
class Editor {
 public:
  bool keyExists(std::string_view path) const;
  std::optional<Value> getValue(std::string_view path, std::string_view name) const;
  std::vector<std::string> subKeys(std::string_view path) const;
  std::vector<std::string> valueNames(std::string_view path) const;
  // A key's values in enumeration order, with their names.
  std::vector<std::pair<std::string, Value>> values(std::string_view path) const;
  std::string getString(std::string_view path, std::string_view name, std::string_view fallback = {}) const;
  DWORD getDword(std::string_view path, std::string_view name, DWORD fallback = 0) const;
  std::vector<std::string> getMultiString(std::string_view path, std::string_view name) const;

  // `created` (when given) tells whether the key itself was new.
  bool createKey(std::string_view path, bool* created = nullptr);
  bool setValue(std::string_view path, std::string_view name, const Value& value);
  bool setString(std::string_view path, std::string_view name, std::string_view text, DWORD type = REG_SZ);
  bool setDword(std::string_view path, std::string_view name, DWORD value);
  bool setMultiString(std::string_view path, std::string_view name, const std::vector<std::string>& items);
  // False when the value or key is missing.
  bool deleteValue(std::string_view path, std::string_view name);
  bool deleteKeyTree(std::string_view path);

  Editor(KeyNode* root, unsigned long long generation) : m_root(root), m_generation(generation) {}
  // Whether any call so far changed the hive (transact() writes only then).
  bool changed() const { return m_changed; }
  // Which state of the hive this editor was given: another state (a reload,
  // a change by anyone) has another number. Within one inspect() the state
  // is fixed, so anything read from it can be kept until the number moves.
  unsigned long long generation() const { return m_generation; }

 private:
  const Value* findValue(std::string_view path, std::string_view name) const;

  KeyNode* m_root;
  unsigned long long m_generation;
  bool m_changed = false;
};

// Values built the way RegQueryValueExA returns them.
Value stringValue(std::string_view text, DWORD type = REG_SZ);
Value dwordValue(DWORD value);
Value multiStringValue(const std::vector<std::string>& items);
// The items of REG_MULTI_SZ data: every NUL-terminated string, less the empty
// one that ends the list (empty items inside the list are kept, as
// PendingFileRenameOperations needs).
std::vector<std::string> splitMultiString(const std::vector<BYTE>& data);

// The file that holds a hive, under the current machine root.
std::string hiveFilePath(Hive hive);

// ---- Files ----------------------------------------------------------------
// Imports a .reg text (both hives may appear in it); fails with a line-numbered
// reason on malformed input and changes nothing then.
bool importText(std::string_view text, std::string* error);
// Exports a key (with the hive name: "HKEY_LOCAL_MACHINE\\SOFTWARE\\X") or a
// whole hive ("HKLM") as .reg text; an empty name exports both hives.
std::optional<std::string> exportText(std::string_view fullKey, std::string* error);
// Splits "HKLM\\X", "HKEY_LOCAL_MACHINE\\X", "HKCU\\X", "HKEY_CURRENT_USER\\X".
bool splitFullKey(std::string_view fullKey, Hive* hive, std::string* path);

}  // namespace winsim::reg
