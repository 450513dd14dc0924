#pragma once

#include <cstdint>
#include <vector>

#include "s/io/IInputStream.h"
#include "s/io/IOutputStream.h"
#include "s/thread/Pool.h"

namespace s::io {

// Reads bytes the caller keeps alive (an icon entry's data, for one).
class ByteArrayInputStream final : public thread::PooledObject<ByteArrayInputStream, IInputStream> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_io_ByteArrayInputStream";

  ByteArrayInputStream() { clear(); }
  void clear() override {
    data_ = nullptr;
    size_ = 0;
    position_ = 0;
  }
  void open(const std::uint8_t* data, std::size_t size) {
    data_ = data;
    size_ = size;
    position_ = 0;
  }

  bool read(void* buffer, std::size_t count, std::size_t* bytesRead) override;
  bool seekToEnd() override { return seekTo(static_cast<std::int64_t>(size_)); }
  bool seekTo(std::int64_t position) override;
  std::int64_t getPosition() const override { return static_cast<std::int64_t>(position_); }
  bool isOpen() const override { return data_ != nullptr; }
  bool close() override {
    clear();
    return true;
  }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t position_ = 0;
};

// Collects written bytes in memory.
class ByteArrayOutputStream final
    : public thread::PooledObject<ByteArrayOutputStream, IOutputStream> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_io_ByteArrayOutputStream";

  ByteArrayOutputStream() { clear(); }
  void clear() override {
    bytes_.clear();
    position_ = 0;
  }

  bool write(const void* bytes, std::size_t count, std::size_t* written) override;
  bool flush() override { return true; }
  bool seekToEnd() override { return seekTo(static_cast<std::int64_t>(bytes_.size())); }
  bool seekTo(std::int64_t position) override;
  std::int64_t getPosition() const override { return static_cast<std::int64_t>(position_); }
  bool isOpen() const override { return true; }
  bool close() override { return true; }

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  std::vector<std::uint8_t> takeBytes() {
    position_ = 0;
    return std::move(bytes_);
  }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

}  // namespace s::io
