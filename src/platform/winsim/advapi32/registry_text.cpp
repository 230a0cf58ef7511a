// winsim: key trees and the .reg text format.
#include "advapi32/registry_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "machine.h"
#include "unicode.h"

namespace winsim::reg {
namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
// Hex data is wrapped the way the system's own editor wraps it, so that
// exported files read alike.
constexpr size_t kWrapColumn = 76;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimLeft(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view trimRight(std::string_view s) {
  while (!s.empty() && (isBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::string_view trim(std::string_view s) { return trimRight(trimLeft(s)); }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && iequals(s.substr(0, prefix.size()), prefix);
}

// UTF-16LE bytes (a string value's data as the file holds it) to the ANSI
// form the store keeps. An odd trailing byte cannot be part of a character
// and is dropped.
std::vector<BYTE> utf16BytesToAnsi(const std::vector<BYTE>& bytes) {
  wstring16 wide;
  wide.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    wide.push_back(static_cast<WCHAR>(bytes[i] | (bytes[i + 1] << 8)));
  }
  const std::string narrow = utf16ToUtf8(wide);
  return std::vector<BYTE>(narrow.begin(), narrow.end());
}

std::vector<BYTE> ansiToUtf16Bytes(const std::vector<BYTE>& data) {
  const wstring16 wide = utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
  std::vector<BYTE> bytes;
  bytes.reserve(wide.size() * 2);
  for (WCHAR c : wide) {
    bytes.push_back(static_cast<BYTE>(c & 0xFF));
    bytes.push_back(static_cast<BYTE>((c >> 8) & 0xFF));
  }
  return bytes;
}

// The text is UTF-16LE when it starts with that byte-order mark (the system
// editor exports so); everything else is taken as UTF-8.
std::string decodeText(std::string_view text) {
  if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF && static_cast<unsigned char>(text[1]) == 0xFE) {
    std::vector<BYTE> bytes(text.begin() + 2, text.end());
    const auto narrow = utf16BytesToAnsi(bytes);
    return std::string(narrow.begin(), narrow.end());
  }
  if (text.size() >= 3 && static_cast<unsigned char>(text[0]) == 0xEF &&
      static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF) {
    text.remove_prefix(3);
  }
  return std::string(text);
}

// Reads a quoted string starting at s[pos] == '"'. Backslash escapes only a
// backslash or a quote; anything else after a backslash is an error rather
// than a guess, so that an unescaped Windows path is reported, not mangled.
bool readQuoted(std::string_view s, size_t* pos, std::string* out, std::string* reason) {
  size_t i = *pos + 1;
  out->clear();
  while (i < s.size()) {
    const char c = s[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c == '\\') {
      if (i + 1 >= s.size()) break;
      const char next = s[i + 1];
      if (next != '\\' && next != '"') {
        *reason = std::string("unknown escape \\") + next + " in a quoted string (write \\\\ for a backslash)";
        return false;
      }
      out->push_back(next);
      i += 2;
      continue;
    }
    out->push_back(c);
    ++i;
  }
  *reason = "unterminated quoted string";
  return false;
}

// The cursor over physical lines, so that a hex list continued with a
// trailing backslash can pull the next line and errors name the right line.
struct Lines {
  std::vector<std::string_view> lines;
  size_t next = 0;  // index of the next unread line

  explicit Lines(std::string_view text) {
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      lines.push_back(line);
      if (end == text.size()) break;
      start = end + 1;
    }
  }
  bool done() const { return next >= lines.size(); }
};

bool parseHexBytes(std::string_view first, Lines* lines, std::vector<BYTE>* out, std::string* reason) {
  std::string_view cur = first;
  for (;;) {
    cur = trimRight(cur);
    bool continued = false;
    if (!cur.empty() && cur.back() == '\\') {
      continued = true;
      cur.remove_suffix(1);
    }
    size_t i = 0;
    while (i < cur.size()) {
      while (i < cur.size() && isBlank(cur[i])) ++i;
      if (i >= cur.size()) break;
      const int hi = hexDigit(cur[i]);
      if (hi < 0) {
        *reason = std::string("'") + cur[i] + "' is not a hex digit";
        return false;
      }
      int value = hi;
      ++i;
      if (i < cur.size() && hexDigit(cur[i]) >= 0) {
        value = value * 16 + hexDigit(cur[i]);
        ++i;
      }
      out->push_back(static_cast<BYTE>(value));
      while (i < cur.size() && isBlank(cur[i])) ++i;
      if (i < cur.size()) {
        if (cur[i] != ',') {
          *reason = std::string("expected ',' between hex bytes, found '") + cur[i] + "'";
          return false;
        }
        ++i;
      }
    }
    if (!continued) return true;
    if (lines->done()) {
      *reason = "the file ends inside a continued hex list";
      return false;
    }
    cur = trimLeft(lines->lines[lines->next++]);
  }
}

struct Section {
  bool open = false;     // a key line has been read
  bool deleted = false;  // it was a [-KEY] line
  bool broken = false;   // the key line was malformed: its values go nowhere
  Hive hive = Hive::LocalMachine;
  std::vector<std::string> path;
};

// Parses one value line; `line` is the first physical line of it.
bool parseValueLine(std::string_view line, Lines* lines, bool unicodeFile, const Section& section,
                    std::vector<RegChange>* changes, std::string* reason) {
  std::string name;
  size_t pos = 0;
  if (line[0] == '@') {
    pos = 1;
  } else if (!readQuoted(line, &pos, &name, reason)) {
    return false;
  }
  if (name.find('\0') != std::string::npos) {
    *reason = "a value name cannot hold a NUL character";
    return false;
  }
  while (pos < line.size() && isBlank(line[pos])) ++pos;
  if (pos >= line.size() || line[pos] != '=') {
    *reason = "expected '=' after the value name";
    return false;
  }
  ++pos;
  std::string_view data = trimLeft(line.substr(pos));
  if (!section.open) {
    *reason = "a value before the first [KEY] line";
    return false;
  }
  if (section.deleted && !section.broken) {
    *reason = "a value under a key that is being deleted";
    return false;
  }
  RegChange change;
  change.hive = section.hive;
  change.path = section.path;
  change.name = name;
  if (trimRight(data) == "-") {
    change.kind = RegChange::DeleteValue;
    if (!section.broken) changes->push_back(std::move(change));
    return true;
  }
  change.kind = RegChange::SetValue;
  Value& value = change.value;
  if (!data.empty() && data[0] == '"') {
    std::string text;
    size_t at = 0;
    if (!readQuoted(data, &at, &text, reason)) return false;
    std::string_view rest = trim(data.substr(at));
    if (!rest.empty() && rest[0] != ';') {
      *reason = "unexpected text after the quoted string";
      return false;
    }
    value.type = REG_SZ;
    value.data.assign(text.begin(), text.end());
    value.data.push_back(0);
  } else if (startsWithNoCase(data, "dword:")) {
    std::string_view digits = trimRight(data.substr(6));
    if (digits.empty() || digits.size() > 8 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return hexDigit(c) >= 0; })) {
      *reason = "dword: needs 1 to 8 hex digits";
      return false;
    }
    DWORD v = 0;
    for (char c : digits) v = (v << 4) | static_cast<DWORD>(hexDigit(c));
    value.type = REG_DWORD;
    value.data = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
                  static_cast<BYTE>(v >> 24)};
  } else if (startsWithNoCase(data, "hex")) {
    size_t at = 3;
    DWORD type = REG_BINARY;
    if (at < data.size() && data[at] == '(') {
      const size_t close = data.find(')', at);
      if (close == std::string_view::npos || close == at + 1 || close - at - 1 > 8) {
        *reason = "hex(TYPE) needs 1 to 8 hex digits for the type";
        return false;
      }
      type = 0;
      for (size_t k = at + 1; k < close; ++k) {
        const int d = hexDigit(data[k]);
        if (d < 0) {
          *reason = "hex(TYPE) needs 1 to 8 hex digits for the type";
          return false;
        }
        type = (type << 4) | static_cast<DWORD>(d);
      }
      at = close + 1;
    }
    if (at >= data.size() || data[at] != ':') {
      *reason = "expected ':' after hex";
      return false;
    }
    std::vector<BYTE> bytes;
    if (!parseHexBytes(data.substr(at + 1), lines, &bytes, reason)) return false;
    value.type = type;
    // The version 5 format holds strings in hex form as UTF-16LE; REGEDIT4
    // holds them in the ANSI code page.
    value.data = (unicodeFile && isStringType(type)) ? utf16BytesToAnsi(bytes) : std::move(bytes);
  } else {
    *reason = "unrecognised value data (expected \"text\", dword:, hex:, hex(N): or -)";
    return false;
  }
  // Under a malformed key line the value is read (to keep the line count
  // right) but dropped: the key line's error stands for it.
  if (!section.broken) changes->push_back(std::move(change));
  return true;
}

bool parseKeyLine(std::string_view line, Section* section, std::string* reason) {
  const size_t close = line.rfind(']');
  if (close == std::string_view::npos) {
    *reason = "a key line without its closing ']'";
    return false;
  }
  std::string_view rest = trim(line.substr(close + 1));
  if (!rest.empty() && rest[0] != ';') {
    *reason = "unexpected text after ']'";
    return false;
  }
  std::string_view full = line.substr(1, close - 1);
  bool deleting = false;
  if (!full.empty() && full[0] == '-') {
    deleting = true;
    full.remove_prefix(1);
  }
  Hive hive;
  std::string path;
  if (!splitFullKey(full, &hive, &path)) {
    *reason = "unknown or unsupported hive in [" + std::string(full) + "] (HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER)";
    return false;
  }
  auto parts = splitPath(path);
  if (deleting && parts.empty()) {
    *reason = "a whole hive cannot be deleted";
    return false;
  }
  section->open = true;
  section->broken = false;
  section->deleted = deleting;
  section->hive = hive;
  section->path = std::move(parts);
  return true;
}

void escapeInto(std::string_view s, std::string* out) {
  for (char c : s) {
    if (c == '\\' || c == '"') out->push_back('\\');
    out->push_back(c);
  }
}

// A REG_SZ is written as "text" when that form reads back to the same bytes:
// one terminating NUL, no other NUL and no line break.
bool isPlainText(const Value& value) {
  if (value.type != REG_SZ || value.data.empty() || value.data.back() != 0) return false;
  for (size_t i = 0; i + 1 < value.data.size(); ++i) {
    const BYTE b = value.data[i];
    if (b == 0 || b == '\r' || b == '\n') return false;
  }
  return true;
}

}  // namespace

std::string foldName(std::string_view name) { return toUpper(name); }

std::vector<std::string> splitPath(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string joinPath(const std::vector<std::string>& parts) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += '\\';
    out += parts[i];
  }
  return out;
}

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

void normaliseValue(Value* value) {
  if (!isStringType(value->type)) return;
  const std::string_view text(reinterpret_cast<const char*>(value->data.data()), value->data.size());
  const std::string folded = utf16ToUtf8(utf8ToUtf16(text));
  if (folded.size() != value->data.size() || !std::equal(folded.begin(), folded.end(), value->data.begin())) {
    value->data.assign(folded.begin(), folded.end());
  }
}

const char* hiveLongName(Hive hive) {
  return hive == Hive::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}
const char* hiveShortName(Hive hive) { return hive == Hive::LocalMachine ? "HKLM" : "HKCU"; }

bool splitFullKey(std::string_view fullKey, Hive* hive, std::string* path) {
  static const struct {
    const char* name;
    Hive hive;
  } kHives[] = {{"HKEY_LOCAL_MACHINE", Hive::LocalMachine},
                {"HKLM", Hive::LocalMachine},
                {"HKEY_CURRENT_USER", Hive::CurrentUser},
                {"HKCU", Hive::CurrentUser}};
  const size_t slash = fullKey.find('\\');
  const std::string_view head = fullKey.substr(0, slash);
  for (const auto& h : kHives) {
    if (iequals(head, h.name)) {
      *hive = h.hive;
      *path = slash == std::string_view::npos ? std::string() : joinPath(splitPath(fullKey.substr(slash + 1)));
      return true;
    }
  }
  return false;
}

// ---- KeyNode ----------------------------------------------------------------

KeyNode* KeyNode::child(std::string_view childName) const {
  // Folded into a buffer kept per thread: a lookup allocates nothing once
  // the buffer has grown to the longest name.
  thread_local std::string folded;
  folded.assign(childName);
  for (char& c : folded) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  auto it = children.find(folded);
  return it == children.end() ? nullptr : it->second.get();
}

const KeyNode* KeyNode::findPath(std::string_view path) const {
  const KeyNode* node = this;
  size_t start = 0;
  while (node && start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) node = node->child(path.substr(start, end - start));
    start = end + 1;
  }
  return node;
}

KeyNode* KeyNode::find(const std::vector<std::string>& parts) {
  KeyNode* node = this;
  for (const auto& part : parts) {
    node = node->child(part);
    if (!node) return nullptr;
  }
  return node;
}

const KeyNode* KeyNode::find(const std::vector<std::string>& parts) const {
  return const_cast<KeyNode*>(this)->find(parts);
}

KeyNode* KeyNode::create(const std::vector<std::string>& parts, bool* created) {
  KeyNode* node = this;
  bool isNew = false;
  for (const auto& part : parts) {
    auto& slot = node->children[foldName(part)];
    isNew = !slot;
    if (isNew) {
      slot = std::make_unique<KeyNode>();
      slot->name = part;
    }
    node = slot.get();
  }
  if (created) *created = isNew;
  return node;
}

bool KeyNode::removeTree(const std::vector<std::string>& parts) {
  if (parts.empty()) return false;
  KeyNode* parent = find(std::vector<std::string>(parts.begin(), parts.end() - 1));
  if (!parent) return false;
  return parent->children.erase(foldName(parts.back())) > 0;
}

const Value* KeyNode::findValue(std::string_view valueName) const {
  for (const auto& [n, v] : values) {
    if (iequals(n, valueName)) return &v;
  }
  return nullptr;
}

void KeyNode::setValue(std::string_view valueName, Value value) {
  normaliseValue(&value);
  for (auto& [n, v] : values) {
    if (iequals(n, valueName)) {
      v = std::move(value);
      return;
    }
  }
  values.emplace_back(std::string(valueName), std::move(value));
}

bool KeyNode::eraseValue(std::string_view valueName) {
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (iequals(it->first, valueName)) {
      values.erase(it);
      return true;
    }
  }
  return false;
}

// ---- Reading ------------------------------------------------------------------

bool parseRegText(std::string_view rawText, bool lenient, std::vector<RegChange>* changes,
                  std::vector<RegParseError>* errors) {
  const std::string text = decodeText(rawText);
  Lines lines(text);
  bool clean = true;
  auto fail = [&](size_t line, std::string reason) {
    clean = false;
    if (errors) errors->push_back({line, std::move(reason)});
    return lenient;
  };

  // The header is the first line that is not blank.
  bool unicodeFile = true;
  for (;;) {
    if (lines.done()) {
      fail(lines.lines.size(), "empty text: expected the line \"" + std::string(kHeader5) + "\"");
      return false;
    }
    const size_t number = lines.next + 1;
    const std::string_view line = trim(lines.lines[lines.next++]);
    if (line.empty()) continue;
    if (line == kHeader5) break;
    if (line == kHeader4) {
      unicodeFile = false;
      break;
    }
    fail(number, "expected the line \"" + std::string(kHeader5) + "\"");
    return false;
  }

  Section section;
  while (!lines.done()) {
    const size_t number = lines.next + 1;
    const std::string_view line = trim(lines.lines[lines.next++]);
    if (line.empty() || line[0] == ';') continue;
    std::string reason;
    bool ok = false;
    if (line[0] == '[') {
      ok = parseKeyLine(line, &section, &reason);
      if (ok) {
        RegChange change;
        change.kind = section.deleted ? RegChange::DeleteKey : RegChange::CreateKey;
        change.hive = section.hive;
        change.path = section.path;
        changes->push_back(std::move(change));
      } else {
        // The values that follow a bad key line must not land in the key before it.
        section.open = true;
        section.broken = true;
      }
    } else if (line[0] == '"' || line[0] == '@') {
      std::vector<RegChange> one;
      ok = parseValueLine(line, &lines, unicodeFile, section, &one, &reason);
      if (ok) changes->insert(changes->end(), one.begin(), one.end());
    } else {
      reason = "not a key, value or comment line";
    }
    if (!ok && !fail(number, std::move(reason))) return false;
  }
  return clean;
}

void applyChanges(KeyNode* root, Hive hive, const std::vector<RegChange>& changes) {
  for (const auto& change : changes) {
    if (change.hive != hive) continue;
    switch (change.kind) {
      case RegChange::CreateKey:
        root->create(change.path);
        break;
      case RegChange::DeleteKey:
        root->removeTree(change.path);
        break;
      case RegChange::SetValue:
        root->create(change.path)->setValue(change.name, change.value);
        break;
      case RegChange::DeleteValue:
        if (KeyNode* node = root->find(change.path)) node->eraseValue(change.name);
        break;
    }
  }
}

// ---- Writing ------------------------------------------------------------------

std::string regHeader() { return std::string(kHeader5) + "\n\n"; }

void writeRegValue(std::string_view name, const Value& value, std::string* out) {
  const size_t lineStart = out->size();
  if (name.empty()) {
    out->push_back('@');
  } else {
    out->push_back('"');
    escapeInto(name, out);
    out->push_back('"');
  }
  out->push_back('=');
  if (isPlainText(value)) {
    out->push_back('"');
    escapeInto(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1), out);
    out->append("\"\n");
    return;
  }
  if (value.type == REG_DWORD && value.data.size() == 4) {
    char buf[16];
    const DWORD v = static_cast<DWORD>(value.data[0]) | (static_cast<DWORD>(value.data[1]) << 8) |
                    (static_cast<DWORD>(value.data[2]) << 16) | (static_cast<DWORD>(value.data[3]) << 24);
    std::snprintf(buf, sizeof buf, "dword:%08x\n", static_cast<unsigned>(v));
    out->append(buf);
    return;
  }
  if (value.type == REG_BINARY) {
    out->append("hex:");
  } else {
    char buf[24];
    std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(value.type));
    out->append(buf);
  }
  const std::vector<BYTE> bytes = isStringType(value.type) ? ansiToUtf16Bytes(value.data) : value.data;
  size_t column = out->size() - lineStart;
  static const char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < bytes.size(); ++i) {
    out->push_back(kHex[bytes[i] >> 4]);
    out->push_back(kHex[bytes[i] & 15]);
    column += 2;
    if (i + 1 < bytes.size()) {
      out->push_back(',');
      ++column;
      if (column >= kWrapColumn) {
        out->append("\\\n  ");
        column = 2;
      }
    }
  }
  out->push_back('\n');
}

void writeRegTree(const KeyNode& node, const std::string& fullName, bool isHiveRoot, std::string* out) {
  if (!isHiveRoot || !node.values.empty()) {
    out->append("[").append(fullName).append("]\n");
    for (const auto& [name, value] : node.values) writeRegValue(name, value, out);
    out->push_back('\n');
  }
  for (const auto& [folded, child] : node.children) {
    writeRegTree(*child, fullName + "\\" + child->name, false, out);
  }
}

}  // namespace winsim::reg
