// kvsim show: what the machine is, in one line per setting.
#include <cstdio>
#include <string>

#include "kvsim.h"
#include "machine.h"
#include "machine_settings.h"

namespace kvsim {
namespace {

std::string templateName(const winsim::fs::path& root) {
  const auto id = winsim::readWholeFile(root / "machine.id");
  if (!id) return "?";
  const std::string key = "template=";
  const size_t at = id->find(key);
  if (at == std::string::npos) return "?";
  const size_t end = id->find('\n', at);
  return id->substr(at + key.size(), end == std::string::npos ? std::string::npos : end - at - key.size());
}

int runShow() {
  const auto& root = winsim::machineRoot();
  if (!winsim::isMachine(root)) return fail("show: no machine in " + root.string());
  const winsim::MachineSettings s = winsim::machineSettings();
  const winsim::OsKind* kind = winsim::findOsKind(s.osKind);
  const bool server = s.productType == VER_NT_SERVER || s.productType == VER_NT_DOMAIN_CONTROLLER;
  const char* product = kind ? winsim::osEdition(*kind, server, s.architecture).productName : "?";
  const std::string temp = winsim::userTempFolder(s);
  const auto tempHost = winsim::hostPath(temp);
  std::printf("root      %s\n", root.c_str());
  std::printf("template  %s\n", templateName(root).c_str());
  std::printf("os        %s: %s %u.%u.%u%s%s, %s%s\n", s.osKind.c_str(), product, s.majorVersion, s.minorVersion,
              s.buildNumber, s.csdVersion.empty() ? "" : " ", s.csdVersion.c_str(),
              server ? "server" : "workstation", (s.suiteMask & VER_SUITE_TERMINAL) ? ", terminal services" : "");
  std::printf("arch      %s\n", s.architecture.c_str());
  std::printf("wow64     %s\n", s.wow64 ? "on" : "off");
  std::printf("admin     %s\n", s.admin ? "on" : "off");
  std::printf("language  0x%04X\n", s.langId);
  std::printf("computer  %s\n", s.computerName.c_str());
  std::printf("user      %s\n", s.userName.c_str());
  std::printf("temp      %s (%s)\n", temp.c_str(), tempHost ? tempHost->c_str() : "not on a drive of the machine");
  return 0;
}

void setup(CLI::App& kvsim) {
  CLI::App* show = addCommand(kvsim, "show", "show the machine's settings", "usage: kvsim [--root DIR] show\n",
                              "Prints the machine root, its template, OS release, architecture, WOW64,\n"
                              "administrator rights, language, computer and user names and the user's\n"
                              "temp folder (Windows path, then host path).\n");
  onRun(show, runShow);
}

const Registrar kRegistrar("show", setup);

}  // namespace
}  // namespace kvsim
