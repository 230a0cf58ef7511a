// winsim: the process's environment block and command line.
//
// The block starts as the host's environment (so KVSIM_* settings reach the
// program, and PATH in Windows form) overlaid with the variables a Windows
// logon gives the user of the machine: the Windows and profile folders, the
// temp folder, the computer and user names, the processor architecture as a
// process of this bitness sees it.
#include "kernel32/environ.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <utility>
#include <vector>

#include <windows.h>

#include "machine.h"
#include "machine_settings.h"
#include "modules.h"

extern char** environ;

namespace winsim {
namespace {

using Block = std::vector<std::pair<std::string, std::string>>;

std::mutex g_envMutex;
bool g_built = false;
Block g_block;

// Set by a winsim parent for a child it starts, so that the child reports
// the command line the parent was given.
constexpr const char* kCommandLineVariable = "KVSIM_COMMAND_LINE";

Block::iterator findVar(Block& block, std::string_view name) {
  for (auto it = block.begin(); it != block.end(); ++it) {
    if (iequals(it->first, name)) return it;
  }
  return block.end();
}

void setVar(Block& block, std::string_view name, std::string value) {
  auto it = findVar(block, name);
  if (it != block.end()) it->second = std::move(value);
  else block.emplace_back(std::string(name), std::move(value));
}

// "/usr/bin:/bin" -> "Z:\usr\bin;Z:\bin".
std::string windowsPathList(std::string_view hostList) {
  std::string out;
  size_t start = 0;
  while (start <= hostList.size()) {
    size_t colon = hostList.find(':', start);
    if (colon == std::string_view::npos) colon = hostList.size();
    std::string_view entry = hostList.substr(start, colon - start);
    if (!entry.empty()) {
      if (!out.empty()) out += ';';
      out += winPath(fs::path(std::string(entry)));
    }
    start = colon + 1;
  }
  return out;
}

void buildBlock(Block& block) {
  block.clear();
  for (char** e = environ; e && *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (!eq || eq == *e) continue;
    std::string name(*e, static_cast<size_t>(eq - *e));
    if (name == kCommandLineVariable) continue;
    setVar(block, name, eq + 1);
  }
  const MachineSettings s = machineSettings();
  const bool nt = isNtPlatform(s);
  const bool is64 = is64BitSystem(s);
  const bool wow64 = processIsWow64(s);
  const std::string profiles = profilesDirectory();
  const bool oldLayout = iequals(profiles, "C:\\Documents and Settings");
  const std::string profile = profiles + "\\" + s.userName;
  const std::string temp = userTempFolder(s);
  const char* nativeArch = s.architecture == "amd64" ? "AMD64" : s.architecture == "ia64" ? "IA64" : "x86";

  std::string path = "C:\\Windows\\system32;C:\\Windows;C:\\Windows\\System32\\Wbem";
  auto hostPathVar = findVar(block, "PATH");
  if (hostPathVar != block.end()) {
    const std::string converted = windowsPathList(hostPathVar->second);
    if (!converted.empty()) path += ";" + converted;
    block.erase(hostPathVar);
  }
  setVar(block, "Path", path);
  setVar(block, "PATHEXT", ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC");
  setVar(block, "SystemDrive", "C:");
  setVar(block, "SystemRoot", "C:\\Windows");
  setVar(block, "windir", "C:\\Windows");
  setVar(block, "ComSpec", "C:\\Windows\\system32\\cmd.exe");
  if (nt) setVar(block, "OS", "Windows_NT");
  setVar(block, "TEMP", temp);
  setVar(block, "TMP", temp);
  setVar(block, "COMPUTERNAME", s.computerName);
  setVar(block, "USERDOMAIN", s.computerName);
  setVar(block, "USERNAME", s.userName);
  setVar(block, "USERPROFILE", profile);
  setVar(block, "HOMEDRIVE", "C:");
  setVar(block, "HOMEPATH", profile.substr(2));
  setVar(block, "NUMBER_OF_PROCESSORS", "2");
  if (oldLayout) {
    setVar(block, "ALLUSERSPROFILE", profiles + "\\All Users");
    setVar(block, "APPDATA", profile + "\\Application Data");
  } else {
    setVar(block, "ALLUSERSPROFILE", "C:\\ProgramData");
    setVar(block, "ProgramData", "C:\\ProgramData");
    setVar(block, "PUBLIC", profiles + "\\Public");
    setVar(block, "APPDATA", profile + "\\AppData\\Roaming");
    setVar(block, "LOCALAPPDATA", profile + "\\AppData\\Local");
  }
  // A WOW64 process is told it runs on x86 and finds the real architecture
  // in PROCESSOR_ARCHITEW6432; its ProgramFiles is the (x86) folder.
  setVar(block, "PROCESSOR_ARCHITECTURE", wow64 ? "x86" : nativeArch);
  if (wow64) setVar(block, "PROCESSOR_ARCHITEW6432", nativeArch);
  setVar(block, "ProgramFiles", wow64 ? "C:\\Program Files (x86)" : "C:\\Program Files");
  setVar(block, "CommonProgramFiles",
         wow64 ? "C:\\Program Files (x86)\\Common Files" : "C:\\Program Files\\Common Files");
  if (is64) {
    setVar(block, "ProgramFiles(x86)", "C:\\Program Files (x86)");
    setVar(block, "CommonProgramFiles(x86)", "C:\\Program Files (x86)\\Common Files");
    if (!oldLayout) {
      setVar(block, "ProgramW6432", "C:\\Program Files");
      setVar(block, "CommonProgramW6432", "C:\\Program Files\\Common Files");
    }
  }
}

Block& block() {
  if (!g_built) {
    buildBlock(g_block);
    g_built = true;
  }
  return g_block;
}

// Quotes one argument so that the usual command-line parser gives it back.
std::string quoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') out.append(backslashes * 2 + 1, '\\');
    else out.append(backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}

std::string buildCommandLine() {
  if (const char* given = std::getenv(kCommandLineVariable)) {
    std::string line = given;
    ::unsetenv(kCommandLineVariable);  // not handed down to our own children
    return line;
  }
  std::vector<std::string> args;
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (size_t start = 0; start < all.size();) {
    size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    args.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  std::string line;
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  line = quoteArgument(ec ? (args.empty() ? std::string() : args[0]) : winPath(exe));
  for (size_t i = 1; i < args.size(); ++i) line += " " + quoteArgument(args[i]);
  return line;
}

}  // namespace

std::string expandVariables(std::string_view text,
                            const std::function<std::optional<std::string>(std::string_view)>& lookup) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '%') {
      out += text[i++];
      continue;
    }
    const size_t close = text.find('%', i + 1);
    if (close == std::string_view::npos) {
      out.append(text.substr(i));
      break;
    }
    const std::string_view name = text.substr(i + 1, close - i - 1);
    std::optional<std::string> value;
    if (!name.empty()) value = lookup(name);
    if (value) {
      out += *value;
    } else {
      // An unknown name stays as it was written, both signs included.
      out.append(text.substr(i, close - i + 1));
    }
    i = close + 1;
  }
  return out;
}

std::optional<std::string> environmentVariable(std::string_view name) {
  std::lock_guard<std::mutex> guard(g_envMutex);
  Block& b = block();
  auto it = findVar(b, name);
  if (it == b.end()) return std::nullopt;
  return it->second;
}

void resetEnvironmentBlock() {
  std::lock_guard<std::mutex> guard(g_envMutex);
  g_built = false;
  g_block.clear();
}

}  // namespace winsim

// GetEnvironmentVariableA: 0 with ERROR_ENVVAR_NOT_FOUND for an unknown
// name; the size needed with the NUL when the buffer is too small, and the
// buffer left as it was.
extern "C" DWORD WINAPI GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize) {
  if (!lpName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto value = winsim::environmentVariable(lpName);
  if (!value) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  const DWORD length = static_cast<DWORD>(value->size());
  if (!lpBuffer || nSize <= length) return length + 1;
  std::memcpy(lpBuffer, value->c_str(), length + 1);
  if (length == 0) SetLastError(ERROR_SUCCESS);
  return length;
}

// SetEnvironmentVariableA: FALSE with ERROR_INVALID_PARAMETER for an empty
// name or one with '=' after its first character. A NULL value removes the
// variable (removing one that is not there succeeds).
extern "C" BOOL WINAPI SetEnvironmentVariableA(LPCSTR lpName, LPCSTR lpValue) {
  if (!lpName || !*lpName || std::strchr(lpName + 1, '=')) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(winsim::g_envMutex);
  auto& b = winsim::block();
  auto it = winsim::findVar(b, lpName);
  if (!lpValue) {
    if (it != b.end()) b.erase(it);
  } else {
    winsim::setVar(b, lpName, lpValue);
  }
  return TRUE;
}

// ExpandEnvironmentStringsA: the size of the result with its NUL; the
// result is written only when it fits. 0 with ERROR_INVALID_PARAMETER for
// a NULL source.
extern "C" DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize) {
  if (!lpSrc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string result = winsim::expandVariables(lpSrc, [](std::string_view name) {
    return winsim::environmentVariable(name);
  });
  const DWORD needed = static_cast<DWORD>(result.size() + 1);
  if (lpDst && nSize >= needed) std::memcpy(lpDst, result.c_str(), needed);
  return needed;
}

// GetCommandLineA: the process's command line, the program's own path
// first; never fails.
extern "C" LPSTR WINAPI GetCommandLineA(void) {
  static std::string line = winsim::buildCommandLine();
  return line.data();
}

static const winsim::ExportRegistrar kExports(
    "kernel32.dll", {WINSIM_EXPORT(GetEnvironmentVariableA), WINSIM_EXPORT(SetEnvironmentVariableA),
                     WINSIM_EXPORT(ExpandEnvironmentStringsA), WINSIM_EXPORT(GetCommandLineA)});
