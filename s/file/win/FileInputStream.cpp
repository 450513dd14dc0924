#include "s/file/win/FileInputStream.h"

#include <cerrno>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "s/file/IPath.h"
#include "s/str/Utf.h"

namespace s::file::win {

namespace {

// The most one read(2) transfers on Linux; larger requests are cut to it.
constexpr std::size_t MAX_SYSTEM_READ = 0x7FFFF000;

}  // namespace

bool FileInputStream::open(std::u16string_view path) {
  if (path.find(u'\0') != std::u16string_view::npos) {
    close();
    return false;
  }
  return openNative(str::utf16ToUtf8(path));
}

bool FileInputStream::open(const IPath& path) {
  return openNative(path.getNativePath());
}

bool FileInputStream::openNative(const std::string& native) {
  close();
  if (native.empty()) return false;
  // Non-blocking only while opening: a named pipe without writer would hold
  // the open forever. It is refused below like every non-regular file.
  int fd;
  do {
    fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  struct stat info;
  const int flags = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return false;
  }
  // A hint only; the stream works the same without it.
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  fd_ = fd;
  position_ = 0;
  return true;
}

bool FileInputStream::read(void* buffer, std::size_t count, std::size_t* bytesRead) {
  if (bytesRead != nullptr) *bytesRead = 0;
  if (fd_ < 0 || buffer == nullptr || count == 0) return false;
  if (count > MAX_SYSTEM_READ) count = MAX_SYSTEM_READ;
  ssize_t got;
  do {
    got = ::read(fd_, buffer, count);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) return false;
  position_ += got;
  if (bytesRead != nullptr) *bytesRead = static_cast<std::size_t>(got);
  return true;
}

bool FileInputStream::moveTo(std::int64_t offset, int whence) {
  if (fd_ < 0) return false;
  const off_t where = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (where < 0) return false;
  position_ = where;
  return true;
}

bool FileInputStream::seekToEnd() {
  return moveTo(0, SEEK_END);
}

bool FileInputStream::seekTo(std::int64_t position) {
  if (fd_ < 0 || position < 0) return false;
  if (position == position_) return true;
  return moveTo(position, SEEK_SET);
}

bool FileInputStream::close() {
  bool closed = true;
  if (fd_ >= 0) {
    // Linux releases the descriptor even when close reports EINTR; never retry.
    closed = ::close(fd_) == 0 || errno == EINTR;
    fd_ = -1;
  }
  position_ = 0;
  return closed;
}

}  // namespace s::file::win
