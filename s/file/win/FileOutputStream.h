#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "s/file/IFileOutputStream.h"
#include "s/thread/Pool.h"

namespace s::file::win {

// Writes a file through a 65536-byte buffer, so that encoders may write a
// byte at a time: the buffer goes to the file in one system write whenever it
// fills, and when the stream flushes, seeks, sets the end or closes.
//
// A failing system write closes the stream: the bytes it held are lost, every
// later operation reports false, and the next close reports the failure.
// close() and recycling store the pending bytes but, unlike flush(), do not
// wait for the disk.
//
// A new file (openNew) is written as an unnamed file in the target's folder
// and linked under its name at commit; where the file system has no unnamed
// files, it is a hidden ".<name>.<pid>-<n>.part" file renamed at commit.
class FileOutputStream final : public thread::PooledObject<FileOutputStream, IFileOutputStream> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_file_win_FileOutputStream";
  static constexpr std::size_t BUFFER_SIZE = 65536;

  FileOutputStream() { clear(); }
  ~FileOutputStream() override { close(); }
  FileOutputStream(const FileOutputStream&) = delete;
  FileOutputStream& operator=(const FileOutputStream&) = delete;

  void clear() override;

  bool open(std::u16string_view path, bool append) override;
  bool open(const IPath& path, bool append) override;
  bool openNew(const IPath& target) override;
  bool commit() override;

  bool write(const void* bytes, std::size_t count, std::size_t* written) override;
  bool flush() override;
  bool setEnd() override;
  bool seekToEnd() override;
  bool seekTo(std::int64_t position) override;
  std::int64_t getPosition() const override { return position_; }
  bool isOpen() const override { return fd_ >= 0; }
  bool close() override;
  std::uint64_t getSystemWriteCount() const override { return systemWrites_; }

 private:
  bool openNative(const std::string& native, bool append);
  // Writes the pending bytes at the file position, looping over partial
  // writes and interruptions.
  bool writeBuffer();
  // Closes the file after a failed write, remembering the failure for close.
  void fail();
  bool moveTo(std::int64_t offset, int whence);
  // Takes the descriptor of a newly opened file and the buffer.
  bool adopt(int fd, std::int64_t position);
  // Closes the descriptor; a new file that was not committed goes with it.
  bool release();

  int fd_ = -1;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t pending_ = 0;
  std::int64_t position_ = 0;
  std::uint64_t systemWrites_ = 0;
  bool failed_ = false;
  // Set while a stream opened with openNew awaits its commit: where the
  // file goes, and the temporary name it has until then (empty when the
  // file has no name yet).
  std::string newTarget_;
  std::string temporaryName_;
};

}  // namespace s::file::win
