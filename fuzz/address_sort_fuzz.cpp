// Fuzzes the printer list's address order: the addresses come from the
// network. Any two texts must compare without a crash, the same way both
// ways round, and a converted address must read back from its normal form.
#include <cstddef>
#include <cstdint>
#include <string>

#include "wizard/list_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const size_t half = text.find('\n');
  const std::string a = text.substr(0, half);
  const std::string b = half == std::string::npos ? std::string("10.0.0.1") : text.substr(half + 1);
  const std::string normal = CListModel::kNormaliseAddress(a);
  if (normal.size() > a.size()) __builtin_trap();
  uint32_t value = 0;
  if (CListModel::kConvertAddress(normal, value)) {
    uint32_t again = 0;
    if (!CListModel::kConvertAddress(CListModel::kNormaliseAddress(normal), again) || again != value) __builtin_trap();
  }
  CListModel list;
  list.kSetLangID(0x0409);
  if (list.kCompareAddress(a, b) != -list.kCompareAddress(b, a)) __builtin_trap();
  return 0;
}
