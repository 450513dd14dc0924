#include "s/file/win/FileOutputStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

#include <fcntl.h>
#include <unistd.h>

#include "s/file/IPath.h"
#include "s/str/Utf.h"

namespace s::file::win {

void FileOutputStream::clear() {
  close();
  systemWrites_ = 0;
}

bool FileOutputStream::open(std::u16string_view path, bool append) {
  if (path.find(u'\0') != std::u16string_view::npos) {
    close();
    return false;
  }
  return openNative(str::utf16ToUtf8(path), append);
}

bool FileOutputStream::open(const IPath& path, bool append) {
  return openNative(path.getNativePath(), append);
}

bool FileOutputStream::openNative(const std::string& native, bool append) {
  close();
  systemWrites_ = 0;
  if (native.empty()) return false;
  const int flags = O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | (append ? 0 : O_TRUNC);
  int fd;
  do {
    fd = ::open(native.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  std::int64_t position = 0;
  if (append) {
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0) {
      ::close(fd);
      return false;
    }
    position = end;
  }
  buffer_.reset(new (std::nothrow) std::uint8_t[BUFFER_SIZE]);
  if (buffer_ == nullptr) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  pending_ = 0;
  position_ = position;
  return true;
}

bool FileOutputStream::writeBuffer() {
  std::size_t done = 0;
  while (done < pending_) {
    const ssize_t count = ::write(fd_, buffer_.get() + done, pending_ - done);
    ++systemWrites_;
    if (count < 0 && errno == EINTR) continue;
    // No progress without an error would loop forever: treat it as one.
    if (count <= 0) return false;
    done += static_cast<std::size_t>(count);
  }
  pending_ = 0;
  return true;
}

void FileOutputStream::fail() {
  ::close(fd_);
  fd_ = -1;
  buffer_.reset();
  pending_ = 0;
  position_ = 0;
  failed_ = true;
}

bool FileOutputStream::write(const void* bytes, std::size_t count, std::size_t* written) {
  if (written != nullptr) *written = 0;
  if (fd_ < 0) return false;
  if (count == 0) return true;
  if (bytes == nullptr ||
      count > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max() - position_)) {
    return false;
  }
  const auto* source = static_cast<const std::uint8_t*>(bytes);
  std::size_t taken = 0;
  while (taken < count) {
    const std::size_t chunk = std::min(count - taken, BUFFER_SIZE - pending_);
    std::memcpy(buffer_.get() + pending_, source + taken, chunk);
    pending_ += chunk;
    if (pending_ == BUFFER_SIZE && !writeBuffer()) {
      fail();
      if (written != nullptr) *written = taken;
      return false;
    }
    taken += chunk;
    position_ += static_cast<std::int64_t>(chunk);
  }
  if (written != nullptr) *written = taken;
  return true;
}

bool FileOutputStream::flush() {
  if (fd_ < 0) return false;
  if (!writeBuffer()) {
    fail();
    return false;
  }
  // Files that cannot be synchronised (devices, pipes) have nothing to wait for.
  return ::fdatasync(fd_) == 0 || errno == EINVAL;
}

bool FileOutputStream::setEnd() {
  if (fd_ < 0) return false;
  if (!writeBuffer()) {
    fail();
    return false;
  }
  int result;
  do {
    result = ::ftruncate(fd_, static_cast<off_t>(position_));
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

bool FileOutputStream::moveTo(std::int64_t offset, int whence) {
  if (fd_ < 0) return false;
  if (!writeBuffer()) {
    fail();
    return false;
  }
  const off_t where = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (where < 0) return false;
  position_ = where;
  return true;
}

bool FileOutputStream::seekToEnd() {
  return moveTo(0, SEEK_END);
}

bool FileOutputStream::seekTo(std::int64_t position) {
  if (fd_ < 0 || position < 0) return false;
  if (position == position_) return true;
  return moveTo(position, SEEK_SET);
}

bool FileOutputStream::close() {
  if (fd_ < 0) {
    const bool clean = !failed_;
    failed_ = false;
    return clean;
  }
  bool clean = writeBuffer();
  // Linux releases the descriptor even when close reports EINTR; never retry.
  if (::close(fd_) != 0 && errno != EINTR) clean = false;
  fd_ = -1;
  buffer_.reset();
  pending_ = 0;
  position_ = 0;
  failed_ = false;
  return clean;
}

}  // namespace s::file::win
