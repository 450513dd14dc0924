#pragma once

#include <cstdint>

namespace s::image::bmp {

// The two headers at the start of a BMP file, as plain values (the file
// stores them little-endian and unaligned; readers and writers convert).
struct FileHeader {
  std::uint16_t bfType = 0x4D42;  // "BM"
  std::uint32_t bfSize = 54;
  std::uint16_t bfReserved1 = 0;
  std::uint16_t bfReserved2 = 0;
  std::uint32_t bfOffBits = 54;
};

struct InfoHeader {
  std::uint32_t biSize = 40;
  std::int32_t biWidth = 0;
  std::int32_t biHeight = 0;
  std::uint16_t biPlanes = 1;
  std::uint16_t biBitCount = 32;
  std::uint32_t biCompression = 0;
  std::uint32_t biSizeImage = 0;
  std::int32_t biXPelsPerMeter = 0;
  std::int32_t biYPelsPerMeter = 0;
  std::uint32_t biClrUsed = 0;
  std::uint32_t biClrImportant = 0;
};

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kCompressionRgb = 0;
constexpr std::uint32_t kCompressionBitFields = 3;

// Bytes per row: rows are padded to a multiple of four bytes.
constexpr std::int64_t strideFor(std::int64_t width, std::int64_t bitCount,
                                 std::int64_t planes = 1) {
  return ((bitCount * planes * width + 31) >> 3) & ~std::int64_t{3};
}

}  // namespace s::image::bmp
