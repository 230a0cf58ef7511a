// winsim: command-line splitting and quoting.
#include "kernel32/command_line.h"

namespace winsim {
namespace {
bool isBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::vector<std::string> splitCommandLine(std::string_view s) {
  std::vector<std::string> out;
  size_t i = 0;
  const size_t n = s.size();
  while (i < n && isBlank(s[i])) ++i;
  if (i >= n) return out;
  // The program name: no backslash rules.
  std::string first;
  if (s[i] == '"') {
    ++i;
    while (i < n && s[i] != '"') first += s[i++];
    if (i < n) ++i;
  } else {
    while (i < n && !isBlank(s[i])) first += s[i++];
  }
  out.push_back(first);
  while (i < n && isBlank(s[i])) ++i;
  std::string arg;
  bool inArg = false;
  int qcount = 0;  // quotes seen in a row; odd while inside quotes
  size_t bcount = 0;
  while (i < n) {
    const char c = s[i];
    if (isBlank(c) && qcount == 0) {
      out.push_back(arg);
      arg.clear();
      inArg = false;
      bcount = 0;
      while (i < n && isBlank(s[i])) ++i;
      continue;
    }
    inArg = true;
    if (c == '\\') {
      arg += c;
      ++bcount;
      ++i;
    } else if (c == '"') {
      if (bcount % 2 == 0) {
        arg.resize(arg.size() - bcount / 2);
        ++qcount;
      } else {
        arg.resize(arg.size() - bcount / 2 - 1);
        arg += '"';
      }
      ++i;
      bcount = 0;
      while (i < n && s[i] == '"') {
        if (++qcount == 3) {
          arg += '"';
          qcount = 0;
        }
        ++i;
      }
      if (qcount == 2) qcount = 0;
    } else {
      arg += c;
      bcount = 0;
      ++i;
    }
  }
  if (inArg) out.push_back(arg);
  return out;
}

std::string quoteArgument(std::string_view arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string_view::npos) return std::string(arg);
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
    } else if (c == '"') {
      out.append(backslashes + 1, '\\');
      backslashes = 0;
    } else {
      backslashes = 0;
    }
    out += c;
  }
  out.append(backslashes, '\\');
  out += '"';
  return out;
}

}  // namespace winsim
