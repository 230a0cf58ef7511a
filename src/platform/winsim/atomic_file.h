// winsim: a file written in pieces that appears whole or not at all, as
// atomicWriteFile writes one from memory.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include <sys/stat.h>

namespace winsim {

// The pieces go to a temporary file in the target's folder, which commit()
// renames over the target; a writer dropped without a successful commit
// removes it. error() is the errno of the first failure (0 while none).
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(const std::filesystem::path& path);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
  bool isOpen() const { return fd_ >= 0; }
  bool write(std::string_view bytes);
  bool commit(struct ::stat* written = nullptr);
  int error() const { return error_; }

 private:
  void discard();
  std::filesystem::path path_;
  std::string tmp_;
  int fd_ = -1;
  int error_ = 0;
};

}  // namespace winsim
