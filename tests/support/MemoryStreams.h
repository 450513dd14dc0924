#pragma once

// Streams over memory, so codec tests can read and write without files.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "s/io/IInputStream.h"
#include "s/io/IOutputStream.h"

namespace tintery::test {

inline constexpr char16_t kMemoryStreamTag[] = u"test_MemoryStream";

class MemoryOutputStream final : public s::io::IOutputStream {
 public:
  // With a limit, writes past that many bytes fail (a full disk).
  explicit MemoryOutputStream(std::size_t limit = SIZE_MAX) : limit_(limit) {}

  s::base::ClassTag getClassTag() const override { return kMemoryStreamTag; }
  s::base::IObject* newInstance() const override { return new MemoryOutputStream(); }
  bool write(const void* bytes, std::size_t count, std::size_t* written) override {
    const std::size_t room = limit_ - std::min(limit_, position_);
    const std::size_t taken = std::min(count, room);
    if (position_ + taken > data.size()) data.resize(position_ + taken);
    if (taken > 0) std::memcpy(data.data() + position_, bytes, taken);
    position_ += taken;
    if (written != nullptr) *written = taken;
    return taken == count;
  }
  bool flush() override { return true; }
  bool seekToEnd() override { return seekTo(static_cast<std::int64_t>(data.size())); }
  bool seekTo(std::int64_t position) override {
    if (position < 0) return false;
    position_ = static_cast<std::size_t>(position);
    return true;
  }
  std::int64_t getPosition() const override { return static_cast<std::int64_t>(position_); }
  bool isOpen() const override { return true; }
  bool close() override { return true; }
  void recycle() override { delete this; }

  std::vector<std::uint8_t> data;

 private:
  std::size_t limit_;
  std::size_t position_ = 0;
};

class MemoryInputStream final : public s::io::IInputStream {
 public:
  // A stream that is not seekable reads forward only, like a pipe: it
  // knows no position and refuses every seek.
  explicit MemoryInputStream(std::vector<std::uint8_t> bytes, bool seekable = true)
      : data_(std::move(bytes)), seekable_(seekable) {}

  s::base::ClassTag getClassTag() const override { return kMemoryStreamTag; }
  s::base::IObject* newInstance() const override { return new MemoryInputStream({}); }
  bool read(void* buffer, std::size_t count, std::size_t* bytesRead) override {
    const std::size_t taken = std::min(count, data_.size() - std::min(data_.size(), position_));
    if (taken > 0) std::memcpy(buffer, data_.data() + position_, taken);
    position_ += taken;
    if (bytesRead != nullptr) *bytesRead = taken;
    return taken > 0;
  }
  bool seekToEnd() override { return seekTo(static_cast<std::int64_t>(data_.size())); }
  bool seekTo(std::int64_t position) override {
    if (!seekable_ || position < 0 || position > static_cast<std::int64_t>(data_.size()))
      return false;
    position_ = static_cast<std::size_t>(position);
    return true;
  }
  std::int64_t getPosition() const override {
    return seekable_ ? static_cast<std::int64_t>(position_) : -1;
  }
  bool isOpen() const override { return true; }
  bool close() override { return true; }
  void recycle() override { delete this; }

 private:
  std::vector<std::uint8_t> data_;
  bool seekable_ = true;
  std::size_t position_ = 0;
};

}  // namespace tintery::test
