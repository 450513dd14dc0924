#pragma once

// PNG files for the tests, written with libpng directly (not through the
// codec), a reader of a PNG file's chunk list, and libpng's simplified
// reader as an independent reference for decoded pixels.

#include <png.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace tintery::test {

struct Chunk {
  std::string type;
  std::vector<std::uint8_t> data;
};

inline std::uint32_t bigEndian32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// The chunks after the signature, in file order; stops at the first chunk
// that does not fit in the file.
inline std::vector<Chunk> chunksOf(const std::vector<std::uint8_t>& file) {
  std::vector<Chunk> chunks;
  std::size_t at = 8;
  while (at + 12 <= file.size()) {
    const std::uint32_t length = bigEndian32(&file[at]);
    if (length > file.size() - at - 12) break;
    chunks.push_back({std::string(file.begin() + static_cast<long>(at + 4),
                                  file.begin() + static_cast<long>(at + 8)),
                      {file.begin() + static_cast<long>(at + 8),
                       file.begin() + static_cast<long>(at + 8 + length)}});
    at += 12 + length;
  }
  return chunks;
}

inline const Chunk* findChunk(const std::vector<Chunk>& chunks, const std::string& type) {
  for (const Chunk& c : chunks) {
    if (c.type == type) return &c;
  }
  return nullptr;
}

// The file without its colour-space chunks (gAMA, cHRM, sRGB, iCCP): the
// samples as stored, which is what the codec reads, with nothing telling
// a reader to convert them.
inline std::vector<std::uint8_t> withoutColourChunks(const std::vector<std::uint8_t>& file) {
  std::vector<std::uint8_t> out(file.begin(), file.begin() + 8);
  std::size_t at = 8;
  while (at + 12 <= file.size()) {
    const std::uint32_t length = bigEndian32(&file[at]);
    if (length > file.size() - at - 12) break;
    const std::string type(file.begin() + static_cast<long>(at + 4),
                           file.begin() + static_cast<long>(at + 8));
    if (type != "gAMA" && type != "cHRM" && type != "sRGB" && type != "iCCP") {
      out.insert(out.end(), file.begin() + static_cast<long>(at),
                 file.begin() + static_cast<long>(at + 12 + length));
    }
    at += 12 + length;
  }
  out.insert(out.end(), file.begin() + static_cast<long>(at), file.end());
  return out;
}

// libpng's simplified reader: the picture in `format` (8-bit formats give
// bytes, linear ones 16-bit samples), or empty when it refuses the file.
template <class Sample>
std::vector<Sample> referencePixels(const std::vector<std::uint8_t>& file, png_uint_32 format,
                                    png_uint_32& width, png_uint_32& height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return {};
  image.format = format;
  std::vector<Sample> pixels(PNG_IMAGE_SIZE(image) / sizeof(Sample));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return {};
  }
  width = image.width;
  height = image.height;
  return pixels;
}

// A width x height 8-bit PNG of colour type `colourType`; sample(x, y, c)
// gives each sample. `addChunks` may set further chunks on the info
// structure before it is written.
inline std::vector<std::uint8_t> libpngFile(
    int width, int height, int colourType, const std::function<int(int, int, int)>& sample,
    const std::function<void(png_structp, png_infop)>& addChunks = {}) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, size_t length) {
        auto* bytes = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
        bytes->insert(bytes->end(), data, data + length);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  if (addChunks) addChunks(png, info);
  png_write_info(png, info);
  const int channels = png_get_channels(png, info);
  std::vector<png_byte> row(static_cast<std::size_t>(width * channels));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < channels; ++c)
        row[x * channels + c] = static_cast<png_byte>(sample(x, y, c));
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

// A small ICC profile that libpng accepts for colour space `space` ("RGB "
// or "GRAY"): a display-class header with no tags, then 124 bytes of
// filler (libpng refuses an iCCP chunk that compresses below 92 bytes).
inline std::vector<std::uint8_t> minimalProfile(const char* space) {
  std::vector<std::uint8_t> p(256, 0);
  for (std::size_t i = 132; i < p.size(); ++i)
    p[i] = static_cast<std::uint8_t>(i * i * 31 + i * 7);
  p[2] = 1;                        // profile size: 256
  std::memcpy(&p[12], "mntr", 4);  // device class
  std::memcpy(&p[16], space, 4);   // data colour space
  std::memcpy(&p[20], "XYZ ", 4);  // connection space
  std::memcpy(&p[36], "acsp", 4);  // signature
  const std::uint8_t d50[12] = {0, 0, 0xF6, 0xD6, 0, 1, 0, 0, 0, 0, 0xD3, 0x2D};
  std::memcpy(&p[68], d50, 12);  // illuminant
  p[8] = 2;                      // version 2
  return p;
}

}  // namespace tintery::test
