#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "s/file/IFileInputStream.h"
#include "s/thread/Pool.h"

namespace s::file::win {

// Reads a regular file without buffering of its own: every read is one
// system read. Only regular files open, so a named pipe or a device can
// never block or endlessly feed a reader.
class FileInputStream final : public thread::PooledObject<FileInputStream, IFileInputStream> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_file_win_FileInputStream";

  FileInputStream() { clear(); }
  ~FileInputStream() override { close(); }
  FileInputStream(const FileInputStream&) = delete;
  FileInputStream& operator=(const FileInputStream&) = delete;

  void clear() override { close(); }

  bool open(std::u16string_view path) override;
  bool open(const IPath& path) override;

  bool read(void* buffer, std::size_t count, std::size_t* bytesRead) override;
  bool seekToEnd() override;
  bool seekTo(std::int64_t position) override;
  std::int64_t getPosition() const override { return position_; }
  bool isOpen() const override { return fd_ >= 0; }
  bool close() override;

 private:
  bool openNative(const std::string& native);
  bool moveTo(std::int64_t offset, int whence);

  int fd_ = -1;
  std::int64_t position_ = 0;
};

}  // namespace s::file::win
