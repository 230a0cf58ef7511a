// kvsim: the command-line tool for simulated machines. Each command lives in
// its own source file and registers itself with a static Registrar.
#pragma once

#include <string>
#include <vector>

namespace kvsim {

using Args = std::vector<std::string>;

struct Command {
  const char* name;     // first word on the command line ("reg", "set", ...)
  const char* summary;  // one line for "kvsim --help"
  const char* help;     // the whole text for "kvsim NAME --help"
  int (*run)(const Args& args);  // args after the command name; returns the exit status
};

void registerCommand(const Command& command);

struct Registrar {
  explicit Registrar(const Command& command) { registerCommand(command); }
};

// Prints "kvsim: <message>" to stderr and returns the error status 2.
int fail(const std::string& message);

// The root named by --root (or KVSIM_ROOT, or the default machine's folder).
std::string rootFolder();

}  // namespace kvsim
