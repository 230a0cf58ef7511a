// winsim: the LZ32 functions over plain and SZDD-compressed files.
//
// A file opened for reading is read whole when it is opened. A compressed
// one is expanded when it is first read or sought, or by LZCopy straight
// into the destination; corrupt data is then reported by that call and
// never half-copied. Expanded files get handles from 0x400 up (at most 16
// at a time, as LZ32 allows); plain files get handles of their own range.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include <windows.h>
#include <lzexpand.h>

#include "atomic_file.h"
#include "lz32/szdd.h"
#include "machine.h"
#include "modules.h"

namespace {

using winsim::fs::path;

constexpr INT kFirstLzHandle = 0x400;
constexpr INT kMaxLzHandles = 16;
constexpr INT kFirstPlainHandle = 0x1000;

struct LzFile {
  bool expanded = false;   // an LZ handle over expanded data
  bool writable = false;   // opened with OF_CREATE / OF_WRITE
  INT error = 0;           // a read error every read reports (unknown method, corrupt data)
  std::string data;        // the (expanded) content of a file opened for reading
  std::string compressed;  // the SZDD bytes not expanded into `data` yet
  size_t pos = 0;
  path host;
  std::mutex expanding;
};

std::mutex g_mutex;
std::map<INT, std::shared_ptr<LzFile>> g_files;

INT allocate(std::shared_ptr<LzFile> file) {
  std::lock_guard<std::mutex> guard(g_mutex);
  if (file->expanded) {
    for (INT h = kFirstLzHandle; h < kFirstLzHandle + kMaxLzHandles; ++h) {
      if (g_files.emplace(h, file).second) return h;
    }
    return LZERROR_GLOBALLOC;
  }
  INT h = kFirstPlainHandle;
  while (g_files.count(h)) ++h;
  g_files.emplace(h, std::move(file));
  return h;
}

std::shared_ptr<LzFile> find(INT h) {
  std::lock_guard<std::mutex> guard(g_mutex);
  auto it = g_files.find(h);
  return it == g_files.end() ? nullptr : it->second;
}

INT readError(winsim::lz::Expand e) {
  return e == winsim::lz::Expand::UnknownAlgorithm ? LZERROR_UNKNOWNALG : LZERROR_READ;
}

// Takes the bytes of a file: plain data is what reading it gives; SZDD data
// is kept to be expanded when it is needed.
void prepare(LzFile* file, std::string bytes) {
  winsim::lz::SzddHeader header;
  if (!winsim::lz::readSzddHeader(bytes, &header)) {
    file->data = std::move(bytes);
    return;
  }
  file->expanded = true;
  if (header.mode != 'A') {
    file->error = LZERROR_UNKNOWNALG;
    return;
  }
  file->compressed = std::move(bytes);
}

// Expands what is still compressed into `data` (for reads and seeks).
void expandForReading(LzFile* file) {
  std::lock_guard<std::mutex> guard(file->expanding);
  if (file->compressed.empty()) return;
  const winsim::lz::Expand e = winsim::lz::expandSzdd(file->compressed, &file->data);
  if (e != winsim::lz::Expand::Ok) file->error = readError(e);
  std::string().swap(file->compressed);
}

void fillOfstruct(LPOFSTRUCT of, const std::string& name, WORD error) {
  if (!of) return;
  of->cBytes = static_cast<BYTE>(sizeof(OFSTRUCT));
  of->fFixedDisk = 1;
  of->nErrCode = error;
  const size_t n = std::min(name.size(), static_cast<size_t>(OFS_MAXPATHNAME - 1));
  std::memcpy(of->szPathName, name.data(), n);
  of->szPathName[n] = '\0';
}

bool isFile(const std::optional<path>& host) {
  std::error_code ec;
  return host && winsim::fs::is_regular_file(*host, ec);
}

}  // namespace

// LZOpenFileA: opens a file for reading (trying the compressed "_" name when
// the file itself is missing) or creates one (OF_CREATE). Returns a handle,
// or LZERROR_BADINHANDLE with ERROR_FILE_NOT_FOUND and the last name tried in
// the OFSTRUCT.
extern "C" INT WINAPI LZOpenFileA(LPSTR lpFileName, LPOFSTRUCT lpReOpenBuf, WORD wStyle) {
  if (!lpFileName || !*lpFileName) {
    fillOfstruct(lpReOpenBuf, "", ERROR_FILE_NOT_FOUND);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return LZERROR_BADINHANDLE;
  }
  std::string name = winsim::fullWinPath(lpFileName);
  auto file = std::make_shared<LzFile>();
  if (wStyle & OF_CREATE) {
    auto host = winsim::hostPath(name);
    if (!host || !winsim::atomicWriteFile(*host, "")) {
      fillOfstruct(lpReOpenBuf, name, ERROR_PATH_NOT_FOUND);
      SetLastError(ERROR_PATH_NOT_FOUND);
      return LZERROR_BADINHANDLE;
    }
    file->writable = true;
    file->host = *host;
    fillOfstruct(lpReOpenBuf, name, 0);
    return allocate(std::move(file));
  }
  auto host = winsim::hostPath(name);
  if (!isFile(host)) {
    name = winsim::lz::compressedName(name);
    host = winsim::hostPath(name);
  }
  std::optional<std::string> bytes;
  if (isFile(host)) bytes = winsim::readWholeFile(*host);
  if (!bytes) {
    fillOfstruct(lpReOpenBuf, name, ERROR_FILE_NOT_FOUND);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return LZERROR_BADINHANDLE;
  }
  file->host = *host;
  file->writable = (wStyle & (OF_WRITE | OF_READWRITE)) != 0;
  prepare(file.get(), std::move(*bytes));
  fillOfstruct(lpReOpenBuf, name, 0);
  return allocate(std::move(file));
}

// LZInit: an LZ handle for a file opened with LZOpenFileA when it holds
// compressed data, else the handle itself. LZERROR_BADINHANDLE for a handle
// that is not open.
extern "C" INT WINAPI LZInit(INT hfSource) {
  auto file = find(hfSource);
  if (!file) return LZERROR_BADINHANDLE;
  return hfSource;
}

// LZRead: reads (expanded) bytes from the current position; returns the
// count, or LZERROR_BADINHANDLE / the file's read error.
extern "C" INT WINAPI LZRead(INT hFile, LPSTR lpBuffer, INT cbRead) {
  auto file = find(hFile);
  if (!file || file->writable) return LZERROR_BADINHANDLE;
  expandForReading(file.get());
  if (file->error) return file->error;
  if (cbRead < 0 || (!lpBuffer && cbRead > 0)) return LZERROR_BADVALUE;
  const size_t n = std::min(static_cast<size_t>(cbRead), file->data.size() - std::min(file->pos, file->data.size()));
  if (n) std::memcpy(lpBuffer, file->data.data() + file->pos, n);
  file->pos += n;
  return static_cast<INT>(n);
}

// LZSeek: moves the read position (0 from the start, 1 from the current
// position, 2 from the end); returns the new position or LZERROR_BADVALUE.
extern "C" LONG WINAPI LZSeek(INT hFile, LONG lOffset, INT iOrigin) {
  auto file = find(hFile);
  if (!file) return LZERROR_BADINHANDLE;
  expandForReading(file.get());
  long long base = 0;
  switch (iOrigin) {
    case 0: base = 0; break;
    case 1: base = static_cast<long long>(file->pos); break;
    case 2: base = static_cast<long long>(file->data.size()); break;
    default: return LZERROR_BADVALUE;
  }
  const long long target = base + lOffset;
  if (target < 0 || target > static_cast<long long>(file->data.size())) return LZERROR_BADVALUE;
  file->pos = static_cast<size_t>(target);
  return static_cast<LONG>(target);
}

// LZCopy: writes the whole (expanded) source into the destination, which is
// replaced in one step, and gives it the source's time stamp. Returns the
// byte count, or LZERROR_BADINHANDLE, LZERROR_BADOUTHANDLE, the source's
// read error (LZERROR_READ for corrupt data, LZERROR_UNKNOWNALG) or
// LZERROR_WRITE; the destination is then left as it was.
extern "C" LONG WINAPI LZCopy(INT hfSource, INT hfDest) {
  auto src = find(hfSource);
  if (!src || src->writable) return LZERROR_BADINHANDLE;
  auto dst = find(hfDest);
  if (!dst || !dst->writable) return LZERROR_BADOUTHANDLE;
  std::lock_guard<std::mutex> guard(src->expanding);
  if (src->error) return src->error;
  std::uint64_t copied = src->data.size();
  if (!src->compressed.empty()) {
    // Expanded straight into the scratch file that replaces the destination.
    winsim::lz::SzddHeader header;
    winsim::lz::readSzddHeader(src->compressed, &header);
    if (header.length > 0x7FFFFFFF) return LZERROR_READ;
    winsim::AtomicFileWriter out(dst->host);
    if (!out.isOpen()) return LZERROR_WRITE;
    const winsim::lz::Expand e =
        winsim::lz::expandSzdd(src->compressed, [&](std::string_view block) { return out.write(block); });
    if (e == winsim::lz::Expand::WriteFailed) return LZERROR_WRITE;
    if (e != winsim::lz::Expand::Ok) return readError(e);
    if (!out.commit()) return LZERROR_WRITE;
    copied = header.length;
  } else {
    if (copied > 0x7FFFFFFF) return LZERROR_READ;
    if (!winsim::atomicWriteFile(dst->host, src->data)) return LZERROR_WRITE;
  }
  std::error_code ec;
  const auto stamp = winsim::fs::last_write_time(src->host, ec);
  if (!ec) winsim::fs::last_write_time(dst->host, stamp, ec);
  return static_cast<LONG>(copied);
}

// LZClose: closes a handle of either kind; unknown handles are ignored.
extern "C" VOID WINAPI LZClose(INT hFile) {
  std::lock_guard<std::mutex> guard(g_mutex);
  g_files.erase(hFile);
}

// GetExpandedNameA: the name a compressed file expands to, from the
// character its header keeps; other files keep their name. Returns 1, or
// LZERROR_BADINHANDLE when the file cannot be read.
extern "C" INT WINAPI GetExpandedNameA(LPSTR lpszSource, LPSTR lpszBuffer) {
  if (!lpszSource || !lpszBuffer) return LZERROR_BADVALUE;
  auto host = winsim::hostPath(lpszSource);
  if (!isFile(host)) return LZERROR_BADINHANDLE;
  std::string head(winsim::lz::kSzddHeaderSize, '\0');
  {
    auto bytes = winsim::readWholeFile(*host);
    if (!bytes) return LZERROR_BADINHANDLE;
    head = bytes->substr(0, winsim::lz::kSzddHeaderSize);
  }
  std::string name = lpszSource;
  winsim::lz::SzddHeader header;
  if (winsim::lz::readSzddHeader(head, &header)) name = winsim::lz::expandedName(name, header.missingChar);
  std::memcpy(lpszBuffer, name.c_str(), name.size() + 1);
  return 1;
}

static const winsim::ExportRegistrar kLzExports("lz32.dll", {
    WINSIM_EXPORT(LZOpenFileA), WINSIM_EXPORT(LZInit), WINSIM_EXPORT(LZCopy), WINSIM_EXPORT(LZRead),
    WINSIM_EXPORT(LZSeek), WINSIM_EXPORT(LZClose), WINSIM_EXPORT(GetExpandedNameA),
});
