// winsim: SetupGetFileCompressionInfoA and SetupDecompressOrCopyFileA.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>

#include <windows.h>
#include <setupapi.h>

#include "atomic_file.h"
#include "kernel32/file_state.h"
#include "lz32/cabinet.h"
#include "lz32/szdd.h"
#include "faults.h"
#include "machine.h"

namespace {

namespace fs = winsim::fs;

struct SourceFile {
  std::string winPath;  // the name actually found
  fs::path host;
  std::string bytes;    // the whole file, or only its first bytes (see findSource)
  std::uintmax_t size = 0;
};

enum class Read { Whole, Header };

// The first bytes of a file, enough to tell how it is stored.
std::optional<std::string> readHeader(const fs::path& host) {
  std::ifstream in(host, std::ios::binary);
  if (!in) return std::nullopt;
  std::string head(winsim::lz::kSzddHeaderSize, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  if (in.bad()) return std::nullopt;
  head.resize(static_cast<size_t>(in.gcount()));
  return head;
}

// The file itself, or its compressed "_" form when only that exists.
DWORD findSource(const char* name, Read read, SourceFile* out) {
  std::error_code ec;
  for (const std::string& candidate : {std::string(name), winsim::lz::compressedName(name)}) {
    auto host = winsim::hostPath(candidate);
    if (!host || !fs::is_regular_file(*host, ec)) continue;
    auto bytes = read == Read::Whole ? winsim::readWholeFile(*host) : readHeader(*host);
    if (!bytes) return ERROR_ACCESS_DENIED;
    const std::uintmax_t size = read == Read::Whole ? bytes->size() : fs::file_size(*host, ec);
    if (ec) return ERROR_ACCESS_DENIED;
    *out = SourceFile{candidate, *host, std::move(*bytes), size};
    return NO_ERROR;
  }
  return ERROR_FILE_NOT_FOUND;
}

struct Compression {
  UINT type = FILE_COMPRESSION_NONE;
  DWORD targetSize = 0;
};

Compression detect(const SourceFile& file) {
  Compression c;
  c.targetSize = static_cast<DWORD>(file.size);
  winsim::lz::SzddHeader header;
  winsim::lz::CabinetInfo cab;
  if (winsim::lz::readSzddHeader(file.bytes, &header) && header.mode == 'A') {
    c.type = FILE_COMPRESSION_WINLZA;
    c.targetSize = header.length;
  } else if (winsim::lz::looksLikeCabinet(file.bytes) && winsim::lz::inspectCabinet(file.host, &cab)) {
    c.type = cab.method == 1 ? FILE_COMPRESSION_MSZIP : FILE_COMPRESSION_NTCAB;
    c.targetSize = cab.fileLength;
  }
  return c;
}

// The error of an output that could not be written.
DWORD writeError(const winsim::AtomicFileWriter& out) {
  return out.error() == ENOSPC || out.error() == EDQUOT ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
}

DWORD fail(DWORD error) {
  SetLastError(error);
  return error;
}

}  // namespace

// SetupGetFileCompressionInfoA: how a file is stored (none, SZDD, cabinet),
// its size and its expanded size; the name found (the file or its "_" form)
// is allocated with LocalAlloc for the caller to free with LocalFree.
// Returns NO_ERROR, ERROR_INVALID_PARAMETER, ERROR_FILE_NOT_FOUND or
// ERROR_NOT_ENOUGH_MEMORY.
extern "C" DWORD WINAPI SetupGetFileCompressionInfoA(PCSTR SourceFileName, PSTR* ActualSourceFileName,
                                                     PDWORD SourceFileSize, PDWORD TargetFileSize,
                                                     PUINT CompressionType) {
  winsim::faults::holdAt("SetupDecompressOrCopyFileA");
  if (!SourceFileName || !ActualSourceFileName || !SourceFileSize || !TargetFileSize || !CompressionType) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  SourceFile file;
  if (DWORD error = findSource(SourceFileName, Read::Header, &file)) return fail(error);
  const Compression c = detect(file);
  auto* name = static_cast<PSTR>(LocalAlloc(LPTR, file.winPath.size() + 1));
  if (!name) return fail(ERROR_NOT_ENOUGH_MEMORY);
  std::memcpy(name, file.winPath.c_str(), file.winPath.size() + 1);
  *ActualSourceFileName = name;
  *SourceFileSize = static_cast<DWORD>(file.size);
  *TargetFileSize = c.targetSize;
  *CompressionType = c.type;
  SetLastError(NO_ERROR);
  return NO_ERROR;
}

// SetupDecompressOrCopyFileA: expands (or, for an uncompressed file or a
// forced FILE_COMPRESSION_NONE, copies) a file over the target, which is
// replaced only once the whole output exists. Returns NO_ERROR,
// ERROR_INVALID_PARAMETER, ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND (no
// target folder), ERROR_INVALID_DATA (corrupt compressed data) or
// ERROR_WRITE_FAULT or ERROR_DISK_FULL.
extern "C" DWORD WINAPI SetupDecompressOrCopyFileA(PCSTR SourceFileName, PCSTR TargetFileName,
                                                   PUINT CompressionType) {
  if (!SourceFileName || !TargetFileName || (CompressionType && *CompressionType > FILE_COMPRESSION_NTCAB)) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  SourceFile file;
  if (DWORD error = findSource(SourceFileName, Read::Whole, &file)) return fail(error);
  auto target = winsim::hostPath(TargetFileName);
  std::error_code ec;
  if (!target || !fs::is_directory(target->parent_path(), ec)) return fail(ERROR_PATH_NOT_FOUND);
  const UINT type = CompressionType ? *CompressionType : detect(file).type;
  // The fault knob DiskFull: the disk has no room for the output; the
  // target is left as it was.
  if (winsim::files::diskFull()) return fail(ERROR_DISK_FULL);
  switch (type) {
    case FILE_COMPRESSION_WINLZA: {
      // Expanded straight into the scratch file that replaces the target.
      winsim::AtomicFileWriter out(*target);
      if (!out.isOpen()) return fail(writeError(out));
      switch (winsim::lz::expandSzdd(file.bytes, [&](std::string_view block) { return out.write(block); })) {
        case winsim::lz::Expand::Ok:
          break;
        case winsim::lz::Expand::WriteFailed:
          return fail(writeError(out));
        case winsim::lz::Expand::UnknownAlgorithm:
        case winsim::lz::Expand::Corrupt:
          return fail(ERROR_INVALID_DATA);
      }
      if (!out.commit()) return fail(writeError(out));
      break;
    }
    case FILE_COMPRESSION_MSZIP:
    case FILE_COMPRESSION_NTCAB:
      if (!winsim::lz::extractCabinet(file.host, *target)) return fail(ERROR_INVALID_DATA);
      break;
    default:
      if (!winsim::atomicWriteFile(*target, file.bytes)) return fail(ERROR_WRITE_FAULT);
      break;
  }
  SetLastError(NO_ERROR);
  return NO_ERROR;
}
