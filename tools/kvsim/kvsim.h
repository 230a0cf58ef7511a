// kvsim: the command-line tool for simulated machines. Each command lives in
// its own source file and adds itself, with its options and sub-commands, to
// the command line through a static Registrar.
#pragma once

#include <functional>
#include <string>

#include <CLI/CLI.hpp>

namespace kvsim {

// A command line kvsim cannot use (unknown command or option, a missing or
// malformed argument): the status kvpkg and the BSD tools give it.
constexpr int kExitUsage = 64;

// What a command does once its command line has been read; the exit status.
using Action = std::function<int()>;

// Adds the sub-command NAME under parent. summary is its line in the
// parent's list; usage the lines that open its --help (the default one when
// null); help the explanation after its options.
CLI::App* addCommand(CLI::App& parent, const std::string& name, const std::string& summary,
                     const char* usage = nullptr, const char* help = nullptr);
// The action of a sub-command, run when it is the last one given.
void onRun(CLI::App* command, Action action);

using Setup = void (*)(CLI::App& kvsim);
struct Registrar {
  Registrar(const char* name, Setup setup);
};

// Prints "kvsim: <message>" to stderr and returns the error status 2.
int fail(const std::string& message);
// The same for a command line that the parser accepted but that still makes
// no sense: returns kExitUsage.
int usageError(const std::string& message);

// The root named by --root (or KVSIM_ROOT, or the default machine's folder).
std::string rootFolder();

}  // namespace kvsim
