#include "s/file/win/FileOutputStream.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "s/file/IPath.h"
#include "s/file/win/NativeFiles.h"
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
  return adopt(fd, position);
}

bool FileOutputStream::adopt(int fd, std::int64_t position) {
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

namespace {

// An unnamed file can only be given a name through /proc.
bool canNameUnnamedFiles() {
  static const bool can = ::access("/proc/self/fd", X_OK) == 0;
  return can;
}

// Numbers the temporary names of one process.
std::atomic<unsigned> temporaryCounter{0};

int openExclusive(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

bool FileOutputStream::openNew(const IPath& target) {
  close();
  systemWrites_ = 0;
  const std::string& native = target.getNativePath();
  if (native.empty() || native.back() == '/') return false;
  const std::string folder = folderOf(native);
  int fd = -1;
  if (canNameUnnamedFiles()) {
    do {
      fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
  }
  std::string temporary;
  if (fd < 0) {
    // No unnamed files here: a hidden name beside the target instead.
    const std::string name = native.substr(native.rfind('/') + 1);
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      temporary = folder + "/." + name + "." + std::to_string(::getpid()) + "-" +
                  std::to_string(temporaryCounter.fetch_add(1)) + ".part";
      fd = openExclusive(temporary);
      if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return false;
  }
  if (!adopt(fd, 0)) {
    if (!temporary.empty()) ::unlink(temporary.c_str());
    return false;
  }
  newTarget_ = native;
  temporaryName_ = std::move(temporary);
  return true;
}

bool FileOutputStream::commit() {
  if (newTarget_.empty()) return close();
  if (fd_ < 0) {
    close();
    return false;
  }
  bool named = false;
  if (writeBuffer()) {
    if (temporaryName_.empty()) {
      char procPath[64];
      std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", fd_);
      // Linking never replaces: it fails when the name is taken.
      named = ::linkat(AT_FDCWD, procPath, AT_FDCWD, newTarget_.c_str(), AT_SYMLINK_FOLLOW) == 0;
    } else {
      named = renameWithoutReplacing(temporaryName_, newTarget_);
      if (named) temporaryName_.clear();
    }
  }
  const int error = errno;
  if (named) newTarget_.clear();
  const bool closed = release();
  errno = error;
  return named && closed;
}

bool FileOutputStream::release() {
  bool clean = true;
  // Linux releases the descriptor even when close reports EINTR; never retry.
  if (::close(fd_) != 0 && errno != EINTR) clean = false;
  fd_ = -1;
  buffer_.reset();
  pending_ = 0;
  position_ = 0;
  if (!temporaryName_.empty()) ::unlink(temporaryName_.c_str());
  // A new file not committed is gone now: it was never named.
  const bool committed = newTarget_.empty();
  newTarget_.clear();
  temporaryName_.clear();
  return clean && committed;
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
  release();
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
  // A new file closed without commit is dropped: its bytes need not be
  // written.
  const bool written = !newTarget_.empty() || writeBuffer();
  const bool released = release();
  failed_ = false;
  return written && released;
}

}  // namespace s::file::win
