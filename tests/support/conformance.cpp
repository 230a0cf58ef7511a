#include "support/conformance.h"

#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/win32.h"

namespace kvtest {
namespace {
std::mutex g_mutex;
std::vector<std::string> g_departures;
}  // namespace

bool runningUnderWine() {
#ifdef _WIN32
  static const bool wine = [] {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }();
  return wine;
#else
  return false;
#endif
}

bool runningOnWinsim() {
#ifdef _WIN32
  return false;
#else
  return true;
#endif
}

bool noteDeparture(const char* kind, const std::string& what, const char* file, int line) {
  std::lock_guard<std::mutex> guard(g_mutex);
  g_departures.push_back(std::string("[ ") + kind + " ] " + what + " (" + file + ":" + std::to_string(line) + ")");
  return true;
}

void printDepartures() {
  std::lock_guard<std::mutex> guard(g_mutex);
  if (g_departures.empty()) return;
  std::printf("Known departures reported, not checked (%zu):\n", g_departures.size());
  for (auto& d : g_departures) std::printf("  %s\n", d.c_str());
}

}  // namespace kvtest
