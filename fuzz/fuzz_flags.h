// Default flags of a harness, put before the command line's own so that
// flags given there still win.
#pragma once

#include <initializer_list>
#include <vector>

inline void kvFuzzDefaultFlags(int* argc, char*** argv, std::initializer_list<const char*> flags) {
  static std::vector<char*> args;
  args.assign(*argv, *argv + *argc);
  args.insert(args.begin() + 1, flags.size(), nullptr);
  size_t i = 1;
  for (const char* flag : flags) args[i++] = const_cast<char*>(flag);
  args.push_back(nullptr);
  *argc = static_cast<int>(args.size() - 1);
  *argv = args.data();
}
