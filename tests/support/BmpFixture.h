#pragma once

// Small 24-bit BMP files written byte by byte, independently of the codec,
// so that tests can feed the program real pictures of a known content.

#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

namespace tintery_test {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  bool operator==(const Rgb&) const = default;
};

namespace bmp_detail {

inline void put16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

inline void put32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

}  // namespace bmp_detail

// A bottom-up 24-bit BMP of width x height whose pixel (x, y), y = 0 being
// the top row, is colourAt(x, y).
template <class ColourAt>
std::string bmp24(std::int32_t width, std::int32_t height, ColourAt colourAt) {
  using bmp_detail::put16;
  using bmp_detail::put32;
  // Rows are padded to a multiple of 4 bytes.
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
  const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(height);
  const std::uint32_t headersSize = 14 + 40;
  std::string out;
  out.reserve(headersSize + pixelBytes);
  // BITMAPFILEHEADER
  out.append("BM");                      // bfType
  put32(out, headersSize + pixelBytes);  // bfSize
  put16(out, 0);                         // bfReserved1
  put16(out, 0);                         // bfReserved2
  put32(out, headersSize);               // bfOffBits
  // BITMAPINFOHEADER
  put32(out, 40);                                  // biSize
  put32(out, static_cast<std::uint32_t>(width));   // biWidth
  put32(out, static_cast<std::uint32_t>(height));  // biHeight (positive: bottom-up)
  put16(out, 1);                                   // biPlanes
  put16(out, 24);                                  // biBitCount
  put32(out, 0);                                   // biCompression (BI_RGB)
  put32(out, pixelBytes);                          // biSizeImage
  put32(out, 2835);                                // biXPelsPerMeter (72 dpi)
  put32(out, 2835);                                // biYPelsPerMeter
  put32(out, 0);                                   // biClrUsed
  put32(out, 0);                                   // biClrImportant
  for (std::int32_t row = height - 1; row >= 0; --row) {
    const std::size_t start = out.size();
    for (std::int32_t x = 0; x < width; ++x) {
      const Rgb colour = colourAt(x, row);
      out.push_back(static_cast<char>(colour.b));
      out.push_back(static_cast<char>(colour.g));
      out.push_back(static_cast<char>(colour.r));
    }
    out.append(stride - (out.size() - start), '\0');
  }
  return out;
}

// One colour over the whole picture.
inline std::string bmp24Solid(std::int32_t width, std::int32_t height, Rgb colour) {
  return bmp24(width, height, [colour](std::int32_t, std::int32_t) { return colour; });
}

// Four quadrants of different colours, so that rows and columns kept in
// place can be told from swapped ones.
inline std::string bmp24Quadrants(std::int32_t width, std::int32_t height) {
  return bmp24(width, height, [width, height](std::int32_t x, std::int32_t y) {
    const bool right = x >= width / 2;
    const bool bottom = y >= height / 2;
    if (!right && !bottom) return Rgb{200, 40, 40};
    if (right && !bottom) return Rgb{40, 200, 40};
    if (!right && bottom) return Rgb{40, 40, 200};
    return Rgb{220, 180, 30};
  });
}

inline bool writeBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace tintery_test
