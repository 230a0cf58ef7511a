// winsim: the in-memory form of a hive and its "Windows Registry Editor
// Version 5.00" text form.
//
// The reader turns .reg text into a list of changes (create a key, delete a
// key tree, set or delete a value) so that an import can be checked whole
// before anything is applied; the writer turns a key tree back into text that
// the reader reads to the same tree. Both work without a machine, so the
// fuzz harness and the tests use them directly.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "advapi32/registry_store.h"

namespace winsim::reg {

// One key: its name as created, its values in the order they were first set
// (the order RegEnumValue gives), and its subkeys sorted the way Windows lists
// them (by the upper-case form of the name).
struct KeyNode {
  std::string name;
  std::vector<std::pair<std::string, Value>> values;
  std::map<std::string, std::unique_ptr<KeyNode>> children;

  KeyNode* child(std::string_view childName) const;
  KeyNode* find(const std::vector<std::string>& parts);
  const KeyNode* find(const std::vector<std::string>& parts) const;
  // The key at a backslash path, as find(splitPath(path)) without building
  // the parts.
  const KeyNode* findPath(std::string_view path) const;
  KeyNode* findPath(std::string_view path) { return const_cast<KeyNode*>(std::as_const(*this).findPath(path)); }
  // Creates every missing key on the way; `created` tells whether the last
  // one was new.
  KeyNode* create(const std::vector<std::string>& parts, bool* created = nullptr);
  // Removes the key at `parts` with everything below it; false when missing.
  bool removeTree(const std::vector<std::string>& parts);

  const Value* findValue(std::string_view valueName) const;
  void setValue(std::string_view valueName, Value value);
  bool eraseValue(std::string_view valueName);
};

// The map key under which a subkey is filed: Windows sorts and compares
// subkey names by their upper-case form.
std::string foldName(std::string_view name);

// Splits a key path at backslashes, dropping empty parts ("A\\B\\" is A, B).
std::vector<std::string> splitPath(std::string_view path);
std::string joinPath(const std::vector<std::string>& parts);

// Strings (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) are kept as the ANSI (UTF-8)
// form the A functions return. Windows keeps them as UTF-16, so bytes that
// are not UTF-8 do not survive a store; this folds them the same way, which
// keeps what a process reads from its cache equal to what it reads from disk.
bool isStringType(DWORD type);
void normaliseValue(Value* value);

// Names of the hives as they appear in .reg text.
const char* hiveLongName(Hive hive);   // "HKEY_LOCAL_MACHINE"
const char* hiveShortName(Hive hive);  // "HKLM" (also the file name)

struct RegChange {
  enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue } kind = CreateKey;
  Hive hive = Hive::LocalMachine;
  std::vector<std::string> path;
  std::string name;
  Value value;
};

struct RegParseError {
  size_t line = 0;
  std::string reason;
};

// Reads .reg text (UTF-8 with or without BOM, or UTF-16LE with BOM; LF or
// CRLF; "Windows Registry Editor Version 5.00" or "REGEDIT4"). Strict mode
// stops at the first malformed line; lenient mode skips each malformed line,
// records it and goes on, so the readable part of a damaged file survives.
// Returns true when no line was malformed.
bool parseRegText(std::string_view text, bool lenient, std::vector<RegChange>* changes,
                  std::vector<RegParseError>* errors);

// Applies parsed changes for one hive to its tree.
void applyChanges(KeyNode* root, Hive hive, const std::vector<RegChange>& changes);

// The header line and blank line every .reg text starts with.
std::string regHeader();
// Writes `node` (whose full name, hive included, is `fullName`) and every key
// below it as .reg sections. The hive's own root is written only when it
// holds values, since it always exists.
void writeRegTree(const KeyNode& node, const std::string& fullName, bool isHiveRoot, std::string* out);
// One value line ("name"=data) with its line end.
void writeRegValue(std::string_view name, const Value& value, std::string* out);

}  // namespace winsim::reg
