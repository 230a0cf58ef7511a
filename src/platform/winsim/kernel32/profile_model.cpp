// winsim: parsing and in-place editing of private-profile (INI) files.
#include "kernel32/profile_model.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "kernel32/nls.h"

namespace winsim::ini {
namespace {

constexpr WCHAR kCr = 0x0D;
constexpr WCHAR kLf = 0x0A;

// Upper-cases one UTF-16 unit for name comparisons. Windows compares profile
// names with its Unicode upcase table; this covers the scripts a printer
// package plausibly uses (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic).
WCHAR upcase(WCHAR c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - 0x20) : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<WCHAR>(c - 0x20);
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    // Pairs: even upper, odd lower, except the stretch 0x139-0x148 and
    // 0x179-0x17E, where odd is upper and even lower.
    const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (oddUpper ? (c % 2 == 0) : (c % 2 == 1)) return static_cast<WCHAR>(c - 1);
    return c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<WCHAR>(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return static_cast<WCHAR>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<WCHAR>(c - 0x50);
  if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<WCHAR>(c - 0x20);  // full-width Latin
  return c;
}

TextView trimBlanks(TextView t) {
  size_t b = 0;
  size_t e = t.size();
  while (b < e && isBlank(t[b])) ++b;
  while (e > b && isBlank(t[e - 1])) --e;
  return t.substr(b, e - b);
}

Text literal(const char* ascii) {
  Text out;
  for (; *ascii; ++ascii) out.push_back(static_cast<WCHAR>(static_cast<unsigned char>(*ascii)));
  return out;
}

// Classifies one decoded line.
void classify(Line& line, TextView text) {
  const TextView t = trimBlanks(text);
  if (t.empty()) {
    line.kind = LineKind::kBlank;
  } else if (t[0] == u';') {
    line.kind = LineKind::kComment;
  } else if (t[0] == u'[') {
    // The name runs to the first ']'; a missing ']' is tolerated.
    TextView name = t.substr(1);
    if (size_t close = name.find(u']'); close != TextView::npos) name = name.substr(0, close);
    line.kind = LineKind::kHeader;
    line.name = Text(trimBlanks(name));
  } else if (size_t eq = t.find(u'='); eq != TextView::npos) {
    line.kind = LineKind::kKey;
    line.name = Text(trimBlanks(t.substr(0, eq)));
    line.value = Text(trimBlanks(t.substr(eq + 1)));
  } else {
    line.kind = LineKind::kText;
    line.name = Text(t);
  }
}

}  // namespace

bool isBlank(WCHAR c) { return c == u' ' || c == u'\t' || c == u'\v'; }

Text fold(TextView text) {
  Text out(text);
  for (auto& c : out) c = upcase(c);
  return out;
}

Text trimSpaces(TextView t) {
  size_t b = 0;
  size_t e = t.size();
  while (b < e && t[b] == u' ') ++b;
  while (e > b && t[e - 1] == u' ') --e;
  return Text(t.substr(b, e - b));
}

Text unquote(TextView v) {
  if (v.size() >= 2 && (v[0] == u'"' || v[0] == u'\'') && v.back() == v[0]) return Text(v.substr(1, v.size() - 2));
  return Text(v);
}

Document Document::parse(std::string bytes) {
  Document d;
  d.m_bytes = std::move(bytes);
  const std::string& b = d.m_bytes;
  const bool utf16 = b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0xFF && static_cast<unsigned char>(b[1]) == 0xFE;
  d.m_encoding = utf16 ? Encoding::kUtf16 : Encoding::kAnsi;
  d.m_textStart = utf16 ? 2 : 0;
  d.parseLinesFrom(d.m_textStart);
  d.indexFrom(0);
  return d;
}

bool Document::extend(std::string& bytes) {
  // Only text added after a last line that ends with its break: every line
  // already parsed stays as it is.
  if (m_tail != 0 || bytes.size() < m_bytes.size() || bytes.compare(0, m_bytes.size(), m_bytes) != 0) return false;
  if (!m_lines.empty() && !m_lines.back().hasBreak) return false;
  // The first two bytes decide the encoding: a shorter file may change it.
  if (m_bytes.size() < 2) return false;
  const size_t from = m_bytes.size();
  const size_t firstNew = m_lines.size();
  m_bytes = std::move(bytes);
  parseLinesFrom(from);
  indexFrom(firstNew);
  return true;
}

void Document::parseLinesFrom(size_t fromByte) {
  const std::string& b = m_bytes;
  const bool utf16 = m_encoding == Encoding::kUtf16;
  // The file as a sequence of code units: bytes, or 16-bit units after the
  // mark. An odd byte at the end of a UTF-16 file is no unit; it is kept in
  // the bytes but never decoded.
  const size_t unitSize = utf16 ? 2 : 1;
  const size_t units = (b.size() - m_textStart) / unitSize;
  auto unitAt = [&](size_t i) -> WCHAR {
    if (!utf16) return static_cast<WCHAR>(static_cast<unsigned char>(b[i]));
    const size_t o = 2 + 2 * i;
    return static_cast<WCHAR>(static_cast<unsigned char>(b[o]) | (static_cast<unsigned char>(b[o + 1]) << 8));
  };
  auto offset = [&](size_t i) { return m_textStart + i * unitSize; };
  m_tail = b.size() - offset(units);

  const UINT codePage = utf16 ? CP_UTF8 : ansiCodePage();
  // The end of the text of the line starting at unit i: the first CR or LF.
  // Bytes are searched with memchr, which every file's every byte passes.
  auto lineEnd = [&](size_t i) {
    if (utf16) {
      while (i < units && unitAt(i) != kCr && unitAt(i) != kLf) ++i;
      return i;
    }
    const char* from = b.data() + i;
    const size_t n = units - i;
    const void* lf = std::memchr(from, '\n', n);
    const size_t toLf = lf ? static_cast<size_t>(static_cast<const char*>(lf) - from) : n;
    const void* cr = std::memchr(from, '\r', toLf);
    return i + (cr ? static_cast<size_t>(static_cast<const char*>(cr) - from) : toLf);
  };
  size_t i = (fromByte - m_textStart) / unitSize;
  if (!utf16) {
    // A line per line feed, and one more (lone CRs add a few).
    size_t lines = 1;
    for (const char* p = b.data() + i; (p = static_cast<const char*>(std::memchr(p, '\n', b.data() + b.size() - p)));
         ++p)
      ++lines;
    m_lines.reserve(m_lines.size() + lines);
  }
  Text text;  // the line being classified, its buffer kept from line to line
  while (i < units) {
    const size_t start = i;
    i = lineEnd(i);
    Line line;
    line.begin = offset(start);
    line.end = offset(i);
    if (i < units) {
      line.hasBreak = true;
      i += (unitAt(i) == kCr && i + 1 < units && unitAt(i + 1) == kLf) ? 2 : 1;
    }
    line.next = offset(i);
    text.clear();
    if (utf16) {
      for (size_t k = start; k < start + (line.end - line.begin) / 2; ++k) text.push_back(unitAt(k));
    } else {
      const std::string_view bytes = std::string_view(b).substr(line.begin, line.end - line.begin);
      if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        text.assign(bytes.begin(), bytes.end());
      } else {
        text = ansiToUtf16(bytes, codePage);
      }
    }
    classify(line, text);
    m_lines.push_back(std::move(line));
  }
}

void Document::indexFrom(size_t firstLine) {
  // Sections run from their header to the next header. Lines before the
  // first header belong to no section and cannot be reached.
  if (!m_sections.empty()) m_sections.back().end = m_lines.size();
  for (size_t n = firstLine; n < m_lines.size(); ++n) {
    const Line& line = m_lines[n];
    if (line.kind == LineKind::kHeader) {
      if (!m_sections.empty()) m_sections.back().end = n;
      Section s;
      s.name = line.name;
      s.header = n;
      s.end = m_lines.size();
      m_firstSection.emplace(fold(s.name), m_sections.size());
      m_sections.push_back(std::move(s));
    } else if (line.kind == LineKind::kKey && !m_sections.empty()) {
      m_sections.back().firstKey.emplace(fold(line.name), n);
    }
  }
}

namespace {

// A name folded into a buffer kept per thread: lookups run for every value a
// reader asks, and the buffer saves each of them an allocation.
const Text& foldedName(TextView name) {
  thread_local Text folded;
  folded.assign(name);
  for (auto& c : folded) c = upcase(c);
  return folded;
}

}  // namespace

const Section* Document::findSection(TextView name) const {
  auto it = m_firstSection.find(foldedName(name));
  return it == m_firstSection.end() ? nullptr : &m_sections[it->second];
}

const Line* Document::findKey(const Section& section, TextView key) const {
  auto it = section.firstKey.find(foldedName(key));
  return it == section.firstKey.end() ? nullptr : &m_lines[it->second];
}

// An empty name would end a NUL-separated list early and hide every name
// after it, so enumerations leave empty names out.
std::vector<Text> Document::sectionNames() const {
  std::vector<Text> out;
  for (const auto& s : m_sections) {
    if (!s.name.empty()) out.push_back(s.name);
  }
  return out;
}

std::vector<Text> Document::keyNames(const Section& section) const {
  std::vector<Text> out;
  for (size_t n = section.header + 1; n < section.end; ++n) {
    const Line& l = m_lines[n];
    if (l.kind == LineKind::kKey && !l.name.empty()) out.push_back(l.name);
  }
  return out;
}

std::vector<Text> Document::sectionEntries(const Section& section) const {
  std::vector<Text> out;
  for (size_t n = section.header + 1; n < section.end; ++n) {
    const Line& l = m_lines[n];
    if (l.kind == LineKind::kKey) out.push_back(l.name + u'=' + l.value);
    else if (l.kind == LineKind::kText) out.push_back(l.name);
  }
  return out;
}

std::string Document::encode(TextView text) const {
  if (m_encoding == Encoding::kAnsi) return utf16ToAnsi(text);
  std::string out;
  out.reserve(text.size() * 2);
  for (WCHAR c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

std::string Document::rawKeyName(const Line& line) const {
  const size_t unitSize = m_encoding == Encoding::kUtf16 ? 2 : 1;
  auto unitAt = [&](size_t o) -> WCHAR {
    if (unitSize == 1) return static_cast<WCHAR>(static_cast<unsigned char>(m_bytes[o]));
    return static_cast<WCHAR>(static_cast<unsigned char>(m_bytes[o]) | (static_cast<unsigned char>(m_bytes[o + 1]) << 8));
  };
  size_t b = line.begin;
  size_t e = line.begin;
  while (e + unitSize <= line.end && unitAt(e) != u'=') e += unitSize;
  while (b < e && isBlank(unitAt(b))) b += unitSize;
  while (e > b && isBlank(unitAt(e - unitSize))) e -= unitSize;
  return m_bytes.substr(b, e - b);
}

std::optional<std::string> Document::setValue(TextView section, TextView key, TextView value) const {
  const Text crlf = literal("\r\n");
  const Section* s = findSection(section);
  if (!s) {
    // A new section goes at the end of the file, with no blank line before
    // it; a file that does not end with a line break gets one first (a
    // UTF-16 file holding only its mark counts as such a file).
    const size_t at = m_bytes.size() - m_tail;
    const bool needBreak = m_lines.empty() ? at > 0 : !m_lines.back().hasBreak;
    std::string added;
    if (needBreak) added += encode(crlf);
    added += encode(u'[' + Text(section) + u']' + crlf + Text(key) + u'=' + Text(value) + crlf);
    return m_bytes.substr(0, at) + added + m_bytes.substr(at);
  }
  if (const Line* line = findKey(*s, key)) {
    // Only this line changes; it keeps the key's spelling as stored.
    std::string replaced = rawKeyName(*line) + encode(u'=' + Text(value));
    if (m_bytes.compare(line->begin, line->end - line->begin, replaced) == 0) return std::nullopt;
    return m_bytes.substr(0, line->begin) + replaced + m_bytes.substr(line->end);
  }
  // A new key follows the section's last key (or text) line, so that blank
  // lines and comments that close the section stay where they are.
  size_t after = s->header;
  for (size_t n = s->header + 1; n < s->end; ++n) {
    if (m_lines[n].kind == LineKind::kKey || m_lines[n].kind == LineKind::kText) after = n;
  }
  const Line& a = m_lines[after];
  std::string inserted;
  if (!a.hasBreak) inserted += encode(crlf);
  inserted += encode(Text(key) + u'=' + Text(value) + crlf);
  return m_bytes.substr(0, a.next) + inserted + m_bytes.substr(a.next);
}

std::optional<std::string> Document::deleteKey(TextView section, TextView key) const {
  const Section* s = findSection(section);
  if (!s) return std::nullopt;
  const Line* line = findKey(*s, key);
  if (!line) return std::nullopt;
  return m_bytes.substr(0, line->begin) + m_bytes.substr(line->next);
}

std::optional<std::string> Document::deleteSection(TextView section) const {
  const Section* s = findSection(section);
  if (!s) return std::nullopt;
  // The header and its key and text lines go; comments and blank lines
  // inside the section stay, as Windows keeps them.
  std::string out = m_bytes.substr(0, m_lines[s->header].begin);
  size_t copyFrom = m_lines[s->header].next;
  for (size_t n = s->header + 1; n < s->end; ++n) {
    const Line& l = m_lines[n];
    if (l.kind == LineKind::kKey || l.kind == LineKind::kText) {
      out.append(m_bytes, copyFrom, l.begin - copyFrom);
      copyFrom = l.next;
    }
  }
  out.append(m_bytes, copyFrom, std::string::npos);
  return out;
}

}  // namespace winsim::ini
