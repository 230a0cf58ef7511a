// winsim: cabinet archives through libmspack.
#include "lz32/cabinet.h"

#include <unistd.h>

#include <atomic>
#include <string>
#include <system_error>

#ifdef KV_HAVE_MSPACK
#include <mspack.h>
#endif

namespace winsim::lz {

#ifdef KV_HAVE_MSPACK
namespace {

// Owns a decompressor and the cabinet it opened.
class Cabinet {
 public:
  explicit Cabinet(const std::filesystem::path& path) : d_(mspack_create_cab_decompressor(nullptr)) {
    if (d_) cab_ = d_->open(d_, const_cast<char*>(path.c_str()));
  }
  ~Cabinet() {
    if (d_ && cab_) d_->close(d_, cab_);
    if (d_) mspack_destroy_cab_decompressor(d_);
  }
  Cabinet(const Cabinet&) = delete;
  Cabinet& operator=(const Cabinet&) = delete;

  mscabd_file* firstFile() const { return cab_ ? cab_->files : nullptr; }
  mscab_decompressor* decompressor() const { return d_; }

 private:
  mscab_decompressor* d_ = nullptr;
  mscabd_cabinet* cab_ = nullptr;
};

}  // namespace

bool inspectCabinet(const std::filesystem::path& cab, CabinetInfo* info) {
  Cabinet c(cab);
  mscabd_file* file = c.firstFile();
  if (!file || !file->folder) return false;
  info->fileLength = file->length;
  info->method = MSCABD_COMP_METHOD(file->folder->comp_type);
  return true;
}

bool extractCabinet(const std::filesystem::path& cab, const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  Cabinet c(cab);
  mscabd_file* file = c.firstFile();
  if (!file) return false;
  std::filesystem::path scratch = target;
  scratch += ".cab." + std::to_string(::getpid()) + "." + std::to_string(counter++);
  std::error_code ec;
  if (c.decompressor()->extract(c.decompressor(), file, const_cast<char*>(scratch.c_str())) != MSPACK_ERR_OK) {
    std::filesystem::remove(scratch, ec);
    return false;
  }
  std::filesystem::rename(scratch, target, ec);
  if (ec) {
    std::filesystem::remove(scratch, ec);
    return false;
  }
  return true;
}

#else

bool inspectCabinet(const std::filesystem::path&, CabinetInfo*) { return false; }
bool extractCabinet(const std::filesystem::path&, const std::filesystem::path&) { return false; }

#endif

}  // namespace winsim::lz
