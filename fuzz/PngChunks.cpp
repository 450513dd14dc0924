#include "fuzz/PngChunks.h"

#include <zlib.h>

#include <algorithm>

namespace tintery::fuzz {

namespace {

constexpr std::size_t kSignatureSize = 8;

std::uint32_t loadBe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

}  // namespace

std::vector<std::uint8_t> withChunkCrcsFixed(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> fixed(data, data + size);
  bool changed = false;
  // Length (4), type (4), data, CRC (4) of type and data.
  for (std::size_t p = kSignatureSize; p + 12 <= size;) {
    const std::size_t length = loadBe32(&fixed[p]);
    if (length > size - p - 12) break;
    const uLong crc = crc32(crc32(0, nullptr, 0), &fixed[p + 4], static_cast<uInt>(length + 4));
    std::uint8_t* stored = &fixed[p + 8 + length];
    const std::uint8_t wanted[4] = {
        static_cast<std::uint8_t>(crc >> 24), static_cast<std::uint8_t>(crc >> 16),
        static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)};
    if (!std::equal(wanted, wanted + 4, stored)) {
      std::copy(wanted, wanted + 4, stored);
      changed = true;
    }
    p += 12 + length;
  }
  if (!changed) fixed.clear();
  return fixed;
}

}  // namespace tintery::fuzz
