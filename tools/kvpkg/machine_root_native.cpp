// In the native build the simulated machine is named by KVSIM_ROOT, which
// winsim reads on its first call; judging for another system uses a scratch
// machine of that system, made and set up the way `kvsim set os` does.
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "machine.h"
#include "machine_root.h"
#include "machine_settings.h"

namespace {

namespace fs = std::filesystem;

fs::path g_scratch;

bool useRoot(const fs::path& root) {
  if (::setenv("KVSIM_ROOT", root.c_str(), 1) != 0) return false;
  winsim::resetMachineRoot();
  return true;
}

}  // namespace

bool kvpkgUseMachineRoot(const std::string& strRoot, bool bCreate, std::string* pstrError) {
  if (strRoot.empty()) return true;
  std::error_code ec;
  const fs::path root = fs::absolute(strRoot, ec);
  if (ec) {
    *pstrError = "--root " + strRoot + ": " + ec.message();
    return false;
  }
  if (!winsim::isMachine(root)) {
    if (!bCreate) {
      *pstrError = "--root " + strRoot + " holds no machine (add --create to make one, or run kvsim create)";
      return false;
    }
    std::string error;
    if (!winsim::createMachine(root, winsim::kDefaultTemplate, &error)) {
      *pstrError = "--root " + strRoot + ": " + error;
      return false;
    }
  }
  if (!useRoot(root)) {
    *pstrError = "--root " + strRoot + ": cannot be set";
    return false;
  }
  return true;
}

bool kvpkgUseScratchMachine(const std::string& strOs, bool bServer, const std::string& strArch,
                            std::string* pstrNote, std::string* pstrError) {
  // The base is the chosen machine when there is one, else the default
  // template; the chosen machine itself is never changed.
  winsim::MachineSettings base;
  const char* env = std::getenv("KVSIM_ROOT");
  if (env && *env && winsim::isMachine(env)) base = winsim::machineSettings();
  winsim::MachineSettings settings = base;
  if (!strOs.empty() || bServer) {
    winsim::OsChoice choice;
    choice.kind = winsim::findOsKind(strOs.empty() ? base.osKind : strOs);
    if (!choice.kind) {
      *pstrError = "--os " + strOs + " is no release kvsim knows";
      return false;
    }
    choice.server = bServer;
    std::string error;
    if (!winsim::settingsForOs(base, choice, &settings, &error)) {
      *pstrError = error;
      return false;
    }
  }
  if (!strArch.empty()) {
    const winsim::OsKind* kind = winsim::findOsKind(settings.osKind);
    if (strArch != "x86" && kind && !kind->has64) {
      *pstrError = settings.osKind + " has no " + strArch + " edition: Windows never shipped that combination";
      return false;
    }
    // Itanium editions: Windows XP 64-bit Edition, and the servers of the XP,
    // Vista and 7 generations (Server 2003, 2008 and 2008 R2).
    const bool server = settings.productType != VER_NT_WORKSTATION;
    const bool itanium = settings.osKind == "xp" || (server && (settings.osKind == "vista" || settings.osKind == "win7"));
    if (strArch == "ia64" && !itanium) {
      *pstrError = settings.osKind + (server ? " server" : "") +
                   " has no ia64 edition: Windows never shipped that combination (ia64: xp, and the xp, vista and "
                   "win7 servers)";
      return false;
    }
    settings = winsim::rederiveForArchitecture(settings, strArch);
  } else if (settings.architecture != base.architecture) {
    *pstrNote = settings.osKind + " has no 64-bit edition: judged for x86";
  }

  char templ[] = "/tmp/kvpkg.XXXXXX";
  if (!::mkdtemp(templ)) {
    *pstrError = "cannot make a scratch machine in /tmp";
    return false;
  }
  g_scratch = templ;
  const fs::path root = g_scratch / "machine";
  std::string error;
  if (!winsim::createMachine(root, winsim::kDefaultTemplate, &error) || !useRoot(root)) {
    *pstrError = "scratch machine: " + error;
    kvpkgDropScratchMachine();
    return false;
  }
  winsim::MachineLock lock;
  if (!winsim::applySettings(settings, &error)) {
    *pstrError = "scratch machine: " + error;
    return false;
  }
  return true;
}

void kvpkgDropScratchMachine() {
  if (g_scratch.empty()) return;
  std::error_code ec;
  fs::remove_all(g_scratch, ec);
  g_scratch.clear();
}
