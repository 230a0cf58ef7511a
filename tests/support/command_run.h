// Runs a command line through the shell, as a person would type it, and
// keeps its exit status and everything it printed (output and errors
// together), for the tests of the user's programs.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace kvtest {

struct Result {
  int status = -1;
  std::string out;  // standard output and error together
  bool has(const std::string& part) const { return out.find(part) != std::string::npos; }
};

// A word for the shell, quoted so that nothing in it is read as syntax.
inline std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline Result run(const std::string& command) {
  Result r;
  FILE* p = ::popen((command + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int st = ::pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

}  // namespace kvtest
