#pragma once

// Helpers of the GIF tests: small GIF files put together block by block,
// the reference renderings, and pixel access.

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "s/image/gif/win/Gif.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/thread/Pool.h"
#include "support/MemoryStreams.h"

namespace gif_test {

using Bytes = std::vector<std::uint8_t>;
using s::image::gif::win::Gif;
using s::image::win::BufferedImage;
using s::image::win::BufferedImageSet;
using Pixel = std::array<std::uint8_t, 4>;  // blue, green, red, alpha

inline const std::string kData = TINTERY_GIF_DATA;

inline Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes dataFile(const std::string& name) {
  return readFile(kData + "/" + name);
}

// A Gif read from bytes; `ok` receives read()'s result.
inline s::thread::Owned<Gif> readGif(const Bytes& bytes, bool* ok = nullptr) {
  auto gif = s::thread::own(Gif::obtain());
  tintery::test::MemoryInputStream stream(bytes);
  const bool result = gif->read(stream);
  if (ok != nullptr) *ok = result;
  return gif;
}

inline Bytes written(s::image::IEncodedImage& image) {
  tintery::test::MemoryOutputStream out;
  image.write(out);
  return out.data;
}

inline Pixel pixelAt(BufferedImage& image, int x, int y) {
  Pixel p;
  std::memcpy(p.data(), image.getRow(y) + x * 4, 4);
  return p;
}

// Packs codes of one width least significant bit first, as a GIF code
// stream is packed.
inline Bytes packCodes(const std::vector<int>& codes, int width) {
  Bytes out;
  std::uint32_t bits = 0;
  int count = 0;
  for (int code : codes) {
    bits |= static_cast<std::uint32_t>(code) << count;
    count += width;
    while (count >= 8) {
      out.push_back(static_cast<std::uint8_t>(bits));
      bits >>= 8;
      count -= 8;
    }
  }
  if (count > 0) out.push_back(static_cast<std::uint8_t>(bits));
  return out;
}

// The bytes of data sub-blocks joined, and whether every block was 1..254
// bytes long and the blocks ended with the empty one exactly at `end`.
struct SubBlocks {
  Bytes data;
  bool wellFormed = true;
};
inline SubBlocks joinSubBlocks(const Bytes& bytes, std::size_t start, std::size_t end) {
  SubBlocks result;
  std::size_t p = start;
  while (p < end && bytes[p] != 0) {
    const std::size_t size = bytes[p];
    result.wellFormed &= size <= 254 && p + 1 + size < end;
    result.data.insert(result.data.end(), bytes.begin() + p + 1,
                       bytes.begin() + std::min(end, p + 1 + size));
    p += 1 + size;
  }
  result.wellFormed &= p + 1 == end;
  return result;
}

struct Rgb {
  std::uint8_t r, g, b;
};

// A GIF file put together block by block (GIF89a). Each image's code stream
// is the plainest there is: a clear code before every pixel and the pixel's
// index as a root code, so that every code has the first width and the
// table never grows.
class GifBuilder {
 public:
  // Header and logical screen descriptor, with a global colour table when
  // colours are given.
  GifBuilder(int width, int height, const std::vector<Rgb>& global = {}) {
    append("GIF89a");
    put16(width);
    put16(height);
    bytes_.push_back(global.empty() ? 0 : static_cast<std::uint8_t>(0x80 | sizeField(global)));
    bytes_.push_back(0);  // background colour index
    bytes_.push_back(0);  // pixel aspect ratio
    table(global);
  }

  // Application extension NETSCAPE2.0, sub-block 1: the repeat count.
  GifBuilder& loop(int count) {
    bytes_.insert(bytes_.end(), {0x21, 0xFF, 0x0B});
    append("NETSCAPE2.0");
    bytes_.insert(bytes_.end(), {0x03, 0x01});
    put16(count);
    bytes_.push_back(0);
    return *this;
  }

  // Graphic control extension: disposal, delay in hundredths, transparent
  // index (-1 for none).
  GifBuilder& control(int disposal, int hundredths, int transparent = -1) {
    bytes_.insert(bytes_.end(), {0x21, 0xF9, 0x04});
    bytes_.push_back(static_cast<std::uint8_t>(disposal << 2 | (transparent >= 0 ? 1 : 0)));
    put16(hundredths);
    bytes_.push_back(static_cast<std::uint8_t>(transparent >= 0 ? transparent : 0));
    bytes_.push_back(0);
    return *this;
  }

  // Image descriptor, local colour table when colours are given, code size
  // and data. `indices` holds the pixels in the order they are sent (pass
  // by pass for an interlaced image).
  GifBuilder& image(int left, int top, int width, int height, const std::vector<int>& indices,
                    const std::vector<Rgb>& local = {}, bool interlaced = false, int codeSize = 8) {
    bytes_.push_back(0x2C);
    put16(left);
    put16(top);
    put16(width);
    put16(height);
    bytes_.push_back(static_cast<std::uint8_t>((local.empty() ? 0 : 0x80 | sizeField(local)) |
                                               (interlaced ? 0x40 : 0)));
    table(local);
    bytes_.push_back(static_cast<std::uint8_t>(codeSize));
    std::vector<int> codes;
    for (int index : indices) {
      codes.push_back(1 << codeSize);  // clear
      codes.push_back(index);
    }
    codes.push_back((1 << codeSize) + 1);  // end
    subBlocks(packCodes(codes, codeSize + 1));
    return *this;
  }

  // Any bytes, for damaged files.
  GifBuilder& raw(const Bytes& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
  }

  GifBuilder& subBlocks(const Bytes& data) {
    for (std::size_t i = 0; i < data.size(); i += 255) {
      const std::size_t size = std::min<std::size_t>(255, data.size() - i);
      bytes_.push_back(static_cast<std::uint8_t>(size));
      bytes_.insert(bytes_.end(), data.begin() + i, data.begin() + i + size);
    }
    bytes_.push_back(0);
    return *this;
  }

  // The file so far, with or without the trailer.
  Bytes finish() const {
    Bytes out = bytes_;
    out.push_back(0x3B);
    return out;
  }
  const Bytes& unfinished() const { return bytes_; }

 private:
  static int sizeField(const std::vector<Rgb>& colours) {
    int bits = 1;
    while ((1u << bits) < colours.size())
      ++bits;
    return bits - 1;
  }
  void table(const std::vector<Rgb>& colours) {
    if (colours.empty()) return;
    const std::size_t entries = std::size_t{1} << (sizeField(colours) + 1);
    for (std::size_t i = 0; i < entries; ++i) {
      const Rgb c = i < colours.size() ? colours[i] : Rgb{0, 0, 0};
      bytes_.insert(bytes_.end(), {c.r, c.g, c.b});
    }
  }
  void append(const char* text) {
    for (; *text != 0; ++text)
      bytes_.push_back(static_cast<std::uint8_t>(*text));
  }
  void put16(int value) {
    bytes_.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
  }

  Bytes bytes_;
};

// A reference rendering made by make_reference.py: the frames as a browser
// shows them, red-green-blue-alpha, rows top to bottom.
struct Reference {
  int width = 0, height = 0, frames = 0, loopCount = -1;
  std::vector<int> delays;
  std::vector<Bytes> pictures;
};

inline bool loadReference(const std::string& name, Reference& reference) {
  const Bytes file = dataFile("reference/" + name + ".ref");
  const auto newline = std::find(file.begin(), file.end(), '\n');
  if (newline == file.end()) return false;
  std::istringstream head(std::string(file.begin(), newline));
  std::string tag, delays;
  head >> tag >> reference.width >> reference.height >> reference.frames >> reference.loopCount >>
      delays;
  if (tag != "GIFREF") return false;
  std::istringstream delayList(delays);
  for (std::string delay; std::getline(delayList, delay, ',');)
    reference.delays.push_back(std::stoi(delay));

  const std::size_t pictureSize = static_cast<std::size_t>(reference.width) * reference.height * 4;
  Bytes all(pictureSize * reference.frames);
  uLongf size = static_cast<uLongf>(all.size());
  const std::size_t start = static_cast<std::size_t>(newline - file.begin()) + 1;
  if (uncompress(all.data(), &size, file.data() + start, static_cast<uLong>(file.size() - start)) !=
          Z_OK ||
      size != all.size()) {
    return false;
  }
  // Frames after the first are stored XORed with the one before.
  for (int i = 0; i < reference.frames; ++i) {
    Bytes picture(all.begin() + i * pictureSize, all.begin() + (i + 1) * pictureSize);
    if (i > 0) {
      for (std::size_t k = 0; k < pictureSize; ++k)
        picture[k] ^= reference.pictures.back()[k];
    }
    reference.pictures.push_back(std::move(picture));
  }
  return true;
}

// The first pixel where a decoded picture and a reference picture differ,
// as text ("" when they agree).
inline std::string firstDifference(BufferedImage& picture, const Bytes& reference) {
  for (int y = 0; y < picture.getHeight(); ++y) {
    for (int x = 0; x < picture.getWidth(); ++x) {
      const Pixel p = pixelAt(picture, x, y);
      const std::uint8_t* r =
          &reference[(static_cast<std::size_t>(y) * picture.getWidth() + x) * 4];
      if (p[2] != r[0] || p[1] != r[1] || p[0] != r[2] || p[3] != r[3]) {
        std::ostringstream text;
        text << "(" << x << "," << y << ") is rgba " << int(p[2]) << " " << int(p[1]) << " "
             << int(p[0]) << " " << int(p[3]) << ", expected " << int(r[0]) << " " << int(r[1])
             << " " << int(r[2]) << " " << int(r[3]);
        return text.str();
      }
    }
  }
  return "";
}

}  // namespace gif_test
