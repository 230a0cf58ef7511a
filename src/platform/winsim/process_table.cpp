// winsim: process identities from the host's process table.
#include "process_table.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

namespace winsim {
namespace {

// Reads the state and the start time from /proc/<pid>/stat. The command name
// in parentheses may hold blanks and parentheses itself, so the fields are
// counted from the last ')'.
bool readStat(unsigned pid, char* state, unsigned long long* start) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream fields(text.substr(close + 1));
  std::string field;
  // Fields after the name: 3 state ... 22 starttime.
  for (int index = 3; fields >> field; ++index) {
    if (index == 3) *state = field.empty() ? '?' : field[0];
    if (index == 22) {
      *start = std::strtoull(field.c_str(), nullptr, 10);
      return true;
    }
  }
  return false;
}

}  // namespace

unsigned long long processStartTime(unsigned pid) {
  char state = 0;
  unsigned long long start = 0;
  if (!readStat(pid, &state, &start)) return 0;
  if (state == 'Z' || state == 'X') return 0;
  return start;
}

ProcessIdentity selfIdentity() {
  static const ProcessIdentity self{static_cast<unsigned>(::getpid()),
                                    processStartTime(static_cast<unsigned>(::getpid()))};
  return self;
}

bool processAlive(const ProcessIdentity& who) {
  if (who.pid == 0) return false;
  const unsigned long long start = processStartTime(who.pid);
  return start != 0 && (who.start == 0 || start == who.start);
}

}  // namespace winsim
