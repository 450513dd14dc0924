#include "s/io/ByteArrayStreams.h"

#include <algorithm>
#include <cstring>

namespace s::io {

bool ByteArrayInputStream::read(void* buffer, std::size_t count, std::size_t* bytesRead) {
  const std::size_t taken = data_ == nullptr ? 0 : std::min(count, size_ - position_);
  if (taken > 0) std::memcpy(buffer, data_ + position_, taken);
  position_ += taken;
  if (bytesRead != nullptr) *bytesRead = taken;
  return taken > 0;
}

bool ByteArrayInputStream::seekTo(std::int64_t position) {
  if (data_ == nullptr || position < 0 || static_cast<std::uint64_t>(position) > size_) {
    return false;
  }
  position_ = static_cast<std::size_t>(position);
  return true;
}

bool ByteArrayOutputStream::write(const void* bytes, std::size_t count, std::size_t* written) {
  if (position_ + count > bytes_.size()) bytes_.resize(position_ + count);
  if (count > 0) std::memcpy(bytes_.data() + position_, bytes, count);
  position_ += count;
  if (written != nullptr) *written = count;
  return true;
}

bool ByteArrayOutputStream::seekTo(std::int64_t position) {
  if (position < 0) return false;
  const auto target = static_cast<std::size_t>(position);
  if (target > bytes_.size()) bytes_.resize(target);
  position_ = target;
  return true;
}

}  // namespace s::io
