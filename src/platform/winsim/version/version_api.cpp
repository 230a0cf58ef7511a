// winsim: GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA.
//
// The data handed to the caller is the version resource followed by a
// marker and room of the same size again: VerQueryValueA returns text values
// in the ANSI code page, converted into that room at the same relative
// place, so the caller's buffer holds both and no memory of ours is needed.
#include <algorithm>
#include <cstring>

#include <windows.h>
#include <winver.h>

#include "machine.h"
#include "modules.h"
#include "unicode.h"
#include "user32/resources.h"
#include "version/pe_resource.h"

namespace {

constexpr char kMarker[4] = {'F', 'E', '2', 'X'};
constexpr std::uintmax_t kMaxImageBytes = 256u << 20;

// Whether a host file is this process's own program.
bool isProgramFile(const winsim::fs::path& host) {
  char self[MAX_PATH] = {};
  if (!GetModuleFileNameA(nullptr, self, sizeof self)) return false;
  auto selfHost = winsim::hostPath(self);
  std::error_code ec;
  return selfHost && winsim::fs::equivalent(*selfHost, host, ec);
}

// Reads a file and finds its version resource; 0 or the error to report.
DWORD loadResource(LPCSTR name, std::string* image, std::string_view* resource) {
  if (!name || !*name) return ERROR_RESOURCE_DATA_NOT_FOUND;
  auto host = winsim::hostPath(name);
  std::error_code ec;
  if (!host || !winsim::fs::is_regular_file(*host, ec)) return ERROR_FILE_NOT_FOUND;
  // The native program is no PE image: its version is the VERSIONINFO of
  // the resource script, the same block the Windows build carries. Its own
  // file is then not read at all (a build with sanitizers is tens of MB).
  const winsim::ModuleResources* program = nullptr;
  if (isProgramFile(*host)) {
    std::string why;
    program = winsim::moduleResources(nullptr, &why);
  }
  if (program) {
    for (const winsim::ResourceEntry& e : program->entries) {
      if (e.type.isNumber && e.type.number == 16) {
        *image = e.bytes;
        *resource = *image;
        return 0;
      }
    }
  }
  if (winsim::fs::file_size(*host, ec) > kMaxImageBytes) return ERROR_BAD_FORMAT;
  auto bytes = winsim::readWholeFile(*host);
  if (!bytes) return ERROR_ACCESS_DENIED;
  *image = std::move(*bytes);
  const DWORD error = winsim::version::findVersionResource(*image, resource);
  if (error == 0 || !program) return error;
  return ERROR_RESOURCE_TYPE_NOT_FOUND;
}

}  // namespace

// GetFileVersionInfoSizeA: the buffer size GetFileVersionInfoA needs; *lpdwHandle
// is set to 0. 0 on failure with ERROR_FILE_NOT_FOUND, ERROR_BAD_FORMAT (not a
// PE image), ERROR_RESOURCE_TYPE_NOT_FOUND (no version resource) or
// ERROR_RESOURCE_DATA_NOT_FOUND (no name given, data outside the file).
extern "C" DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle) {
  if (lpdwHandle) *lpdwHandle = 0;
  std::string image;
  std::string_view resource;
  if (DWORD error = loadResource(lptstrFilename, &image, &resource)) {
    SetLastError(error);
    return 0;
  }
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(resource.size() * 2 + sizeof kMarker);
}

// GetFileVersionInfoA: copies the version data into the caller's buffer (cut
// to dwLen). FALSE with the errors of GetFileVersionInfoSizeA, or
// ERROR_INVALID_DATA when no buffer is given.
extern "C" BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData) {
  (void)dwHandle;
  if (!lpData || dwLen == 0) {
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  std::string image;
  std::string_view resource;
  if (DWORD error = loadResource(lptstrFilename, &image, &resource)) {
    SetLastError(error);
    return FALSE;
  }
  auto* out = static_cast<BYTE*>(lpData);
  const size_t copied = std::min<size_t>(dwLen, resource.size());
  std::memcpy(out, resource.data(), copied);
  // A cut copy says how much of it is there, so that lookups stay inside it.
  if (copied >= 2) {
    const size_t length = std::min<size_t>(copied, out[0] | out[1] << 8);
    out[0] = static_cast<BYTE>(length & 0xFF);
    out[1] = static_cast<BYTE>(length >> 8);
  }
  // Whether the room for converted text follows is told inside the copy
  // (the root's type word, 0 in every real resource), so that a lookup never
  // reads past a buffer that lacks it.
  if (dwLen >= resource.size() * 2 + sizeof kMarker) {
    std::memcpy(out + resource.size(), kMarker, sizeof kMarker);
  } else if (copied >= 6) {
    out[4] = out[5] = 0xFF;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// VerQueryValueA: the fixed file information ("\"), a Var value
// ("\VarFileInfo\Translation") or a string ("\StringFileInfo\<lang><cp>\Name",
// returned in the ANSI code page, length in characters with the NUL). FALSE
// with ERROR_RESOURCE_TYPE_NOT_FOUND when the item is not there.
extern "C" BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen) {
  if (!pBlock || !lplpBuffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto* base = static_cast<const BYTE*>(pBlock);
  const size_t size = base[0] | base[1] << 8;
  winsim::version::VersionValue value;
  if (!winsim::version::queryVersionBlock(base, size, lpSubBlock ? lpSubBlock : "", &value)) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
  }
  if (!value.text) {
    *lplpBuffer = const_cast<BYTE*>(value.data);
    if (puLen) *puLen = static_cast<UINT>(value.bytes);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
  }
  // Text: converted into the room after the resource when the caller's
  // buffer has it (the size GetFileVersionInfoSizeA asked for), else in place.
  winsim::wstring16 wide;
  for (size_t i = 0; i + 1 < value.bytes; i += 2) {
    const WCHAR c = static_cast<WCHAR>(value.data[i] | value.data[i + 1] << 8);
    if (c == 0) break;
    wide.push_back(c);
  }
  std::string text = winsim::utf16ToUtf8(wide);
  auto* room = const_cast<BYTE*>(value.data);
  const bool hasRoom = !(base[4] == 0xFF && base[5] == 0xFF);
  if (hasRoom && std::memcmp(base + size, kMarker, sizeof kMarker) == 0) room += size + sizeof kMarker;
  // The room holds as many bytes as the wide value did.
  while (text.size() + 1 > value.bytes && !text.empty()) {
    text.pop_back();
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) text.pop_back();
    if (!text.empty() && (static_cast<unsigned char>(text.back()) & 0x80)) text.pop_back();
  }
  std::memcpy(room, text.c_str(), text.size() + 1);
  *lplpBuffer = room;
  if (puLen) *puLen = static_cast<UINT>(text.size() + 1);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

static const winsim::ExportRegistrar kVersionExports("version.dll", {
    WINSIM_EXPORT(GetFileVersionInfoSizeA),
    WINSIM_EXPORT(GetFileVersionInfoA),
    WINSIM_EXPORT(VerQueryValueA),
});
