#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace s::io {

// A bounded cursor over bytes in memory. Every read first asks whether the
// bytes are there; a short read returns 0 and marks the reader failed, so
// parsers can read a whole header and check ok() once.
class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool ok() const { return ok_; }
  std::size_t position() const { return position_; }
  std::size_t remaining() const { return size_ - position_; }
  bool has(std::size_t count) const { return count <= remaining(); }

  std::uint8_t u8() { return has(1) ? data_[position_++] : fail<std::uint8_t>(); }
  std::uint16_t u16le() {
    if (!has(2)) return fail<std::uint16_t>();
    const std::uint16_t value = data_[position_] | data_[position_ + 1] << 8;
    position_ += 2;
    return value;
  }
  std::uint32_t u32le() {
    if (!has(4)) return fail<std::uint32_t>();
    const std::uint32_t value = loadLe32(data_ + position_);
    position_ += 4;
    return value;
  }
  std::int32_t s32le() { return static_cast<std::int32_t>(u32le()); }
  bool bytes(void* out, std::size_t count) {
    if (!has(count)) return fail<bool>();
    std::memcpy(out, data_ + position_, count);
    position_ += count;
    return true;
  }
  bool skip(std::size_t count) {
    if (!has(count)) return fail<bool>();
    position_ += count;
    return true;
  }
  const std::uint8_t* here() const { return data_ + position_; }

  static std::uint32_t loadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
  }
  static std::uint32_t loadBe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
  }
  static std::uint16_t loadLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
  }

 private:
  template <class T>
  T fail() {
    ok_ = false;
    position_ = size_;
    return T{};
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
  bool ok_ = true;
};

// Little-endian stores for writers.
inline void storeLe16(std::uint8_t* p, std::uint16_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}
inline void storeLe32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace s::io
