// winsim: reading the fault knobs.
#include "faults.h"

#include <chrono>
#include <string>
#include <thread>

#include "advapi32/registry_store.h"
#include "machine.h"

namespace winsim::faults {

std::optional<DWORD> errorFor(std::string_view knob) {
  const auto value = reg::getValue(reg::Hive::LocalMachine, kFaultsKey, knob);
  if (!value || value->type != REG_DWORD || value->data.size() < 4) return std::nullopt;
  const DWORD code = reg::getDword(reg::Hive::LocalMachine, kFaultsKey, knob);
  if (code == 0) return std::nullopt;
  return code;
}

bool listNames(std::string_view knob, std::string_view item) {
  const std::string list = reg::getString(reg::Hive::LocalMachine, kFaultsKey, knob);
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string_view part(list.data() + start, comma - start);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    if (part == "*" || (!part.empty() && iequals(part, item))) return true;
    start = comma + 1;
  }
  return false;
}

std::optional<DWORD> countDown(std::string_view knob) {
  // Most calls find no knob: that needs no write lock.
  if (reg::getDword(reg::Hive::LocalMachine, kFaultsKey, knob, 0) == 0) return std::nullopt;
  std::optional<DWORD> left;
  reg::transact(reg::Hive::LocalMachine, [&](reg::Editor& hive) {
    const DWORD count = hive.getDword(kFaultsKey, knob, 0);
    if (count == 0) return false;
    if (!hive.setDword(kFaultsKey, knob, count - 1)) return false;
    left = count - 1;
    return true;
  });
  return left;
}

void holdAt(std::string_view call) {
  if (!listNames("HoldAt", call)) return;
  reg::setString(reg::Hive::LocalMachine, kFaultsKey, "HeldAt", std::string(call));
  // Real time, not the machine's scaled time: the test acts from outside.
  while (listNames("HoldAt", call)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

}  // namespace winsim::faults
