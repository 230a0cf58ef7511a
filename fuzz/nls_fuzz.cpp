// Fuzzes the text parsers of the system services with outside input: the
// UTF-8 and UTF-16 conversions, the word-sort comparison and the expansion
// of %NAME% references, which all read strings the program takes from
// package files and the environment.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int n = static_cast<int>(text.size());
  if (n == 0) return 0;

  // Bytes to UTF-16 and back, sized first as callers do.
  const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), n, nullptr, 0);
  if (units > 0) {
    std::vector<WCHAR> wide(static_cast<size_t>(units));
    if (MultiByteToWideChar(CP_UTF8, 0, text.data(), n, wide.data(), units) != units) __builtin_trap();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    std::vector<char> back(static_cast<size_t>(bytes > 0 ? bytes : 1));
    if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, back.data(), bytes, nullptr, nullptr) != bytes)
      __builtin_trap();
    // A short buffer must never be overrun.
    if (units > 1) MultiByteToWideChar(CP_UTF8, 0, text.data(), n, wide.data(), units - 1);
    if (bytes > 1) WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, back.data(), bytes - 1, nullptr, nullptr);
  }
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), n, nullptr, 0);
  // The raw bytes as UTF-16 units (lone surrogates included).
  std::vector<WCHAR> raw(size / 2);
  if (!raw.empty()) {
    std::memcpy(raw.data(), data, raw.size() * 2);
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, raw.data(), static_cast<int>(raw.size()), nullptr, 0, nullptr,
                        nullptr);
  }

  // Comparison is a total order: a string equals itself, and swapping the
  // sides swaps the answer.
  const size_t half = size / 2;
  const std::string a = text.substr(0, half), b = text.substr(half);
  const int ab = CompareStringA(LOCALE_USER_DEFAULT, 0, a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()));
  const int ba = CompareStringA(LOCALE_USER_DEFAULT, 0, b.data(), static_cast<int>(b.size()), a.data(),
                                static_cast<int>(a.size()));
  if (ab + ba != 4) __builtin_trap();
  if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), a.data(),
                     static_cast<int>(a.size())) != CSTR_EQUAL)
    __builtin_trap();

  // Expansion: the size asked first is the size written.
  const std::string src = text.substr(0, text.find('\0'));
  const DWORD need = ExpandEnvironmentStringsA(src.c_str(), nullptr, 0);
  std::vector<char> out(need);
  if (ExpandEnvironmentStringsA(src.c_str(), out.data(), need) != need || out[need - 1] != '\0') __builtin_trap();
  return 0;
}
