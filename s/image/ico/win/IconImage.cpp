#include "s/image/ico/win/IconImage.h"

#include <cstring>

#include "s/image/FormatDetection.h"
#include "s/image/ImageLimits.h"
#include "s/image/filters/reduction/Quantizer.h"
#include "s/image/png/EncodeSetting.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/io/ByteArrayStreams.h"
#include "s/io/ByteReader.h"
#include "s/io/IInputStream.h"
#include "s/io/IOutputStream.h"

namespace s::image::ico::win {

using image::win::BufferedImage;
using image::win::BufferedImageSet;

namespace {

constexpr std::uint8_t kPngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr std::uint32_t kHeaderSize = 40;
// Alpha below this makes a pixel transparent in entries that keep
// transparency only in their mask.
constexpr std::uint8_t kMaskThreshold = 32;

bool isSupportedDepth(std::int64_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

std::uint8_t expand5(std::uint32_t value) {
  return static_cast<std::uint8_t>((value * 255 + 15) / 31);
}

}  // namespace

void IconImage::clear() {
  width_ = height_ = 0;
  bitCount_ = 32;
  if (paletteCount_ != 0) palette_.fill(0);
  paletteCount_ = 0;
  // A pooled entry keeps no picture memory: vectors keep their capacity
  // when cleared, so an entry once read at the largest size would hold that
  // memory in the pool for good, and every such entry more of it.
  std::vector<std::uint8_t>().swap(colour_);
  std::vector<std::uint8_t>().swap(mask_);
  xorStride_ = maskStride_ = 0;
  forgetProblem();
}

bool IconImage::allocate(std::int32_t width, std::int32_t height, std::int32_t bitCount) {
  clear();
  if (!isAcceptableSize(width, height) || !isSupportedDepth(bitCount)) return false;
  width_ = width;
  height_ = height;
  bitCount_ = bitCount;
  xorStride_ =
      static_cast<std::int32_t>((static_cast<std::int64_t>(bitCount) * width + 31) / 32 * 4);
  maskStride_ = (width + 31) / 32 * 4;
  paletteCount_ = bitCount <= 8 ? 1 << bitCount : 0;
  colour_.assign(static_cast<std::size_t>(height) * xorStride_, 0);
  mask_.assign(static_cast<std::size_t>(height) * maskStride_, 0);
  return true;
}

bool IconImage::read(io::IInputStream& stream) {
  std::vector<std::uint8_t> data;
  std::uint8_t chunk[1024];
  std::size_t got;
  while ((got = stream.readFully(chunk, sizeof chunk)) > 0) {
    data.insert(data.end(), chunk, chunk + got);
    if (got < sizeof chunk) break;
  }
  return readFrom(data.data(), data.size());
}

void IconImage::declaredSize(const std::uint8_t* data, std::size_t size, std::int64_t& width,
                             std::int64_t& height) {
  width = height = 0;
  if (size > 8 && std::memcmp(data, kPngSignature, 8) == 0) {
    // The signature, then the header chunk's length and type, then width
    // and height as big-endian numbers.
    if (size < 24) return;
    width = io::ByteReader::loadBe32(data + 16);
    height = io::ByteReader::loadBe32(data + 20);
    return;
  }
  if (size < 12) return;
  width = std::abs(
      static_cast<std::int64_t>(static_cast<std::int32_t>(io::ByteReader::loadLe32(data + 4))));
  // The stored height covers the colour rows and the mask.
  height = std::abs(static_cast<std::int64_t>(
               static_cast<std::int32_t>(io::ByteReader::loadLe32(data + 8)))) /
           2;
}

bool IconImage::readFrom(const std::uint8_t* data, std::size_t size) {
  clear();
  const bool ok = size > 8 && std::memcmp(data, kPngSignature, 8) == 0 ? readPng(data, size)
                                                                       : readBitmap(data, size);
  if (!ok) {
    const auto problem = getProblem();
    clear();
    noteProblem(problem.empty() ? "damaged picture" : problem.data());
  }
  return ok;
}

bool IconImage::readPng(const std::uint8_t* data, std::size_t size) {
  auto codec = thread::own(createCodec(kFormatPng));
  auto stream = thread::own(io::ByteArrayInputStream::obtain());
  if (codec == nullptr || stream == nullptr) return false;
  stream->open(data, size);
  if (!codec->read(*stream)) return false;
  auto picture = thread::own(codec->decodeImage(0, nullptr));
  return picture != nullptr && setImage(picture.get(), 32, true, 255, 255, 255);
}

bool IconImage::readBitmap(const std::uint8_t* data, std::size_t size) {
  io::ByteReader header(data, size);
  const std::uint32_t headerSize = header.u32le();
  const std::int32_t width = header.s32le();
  const std::int32_t storedHeight = header.s32le();
  const std::uint16_t planes = header.u16le();
  const std::uint16_t bitCount = header.u16le();
  const std::uint32_t compression = header.u32le();
  header.skip(12);
  const std::uint32_t colorsUsed = header.u32le();
  if (!header.ok() || headerSize < kHeaderSize || headerSize > size) {
    noteProblem("damaged picture header");
    return false;
  }
  if (compression != 0 || !isSupportedDepth(bitCount) || planes > 1) {
    noteProblem("unsupported picture depth or compression");
    return false;
  }
  // The stored height covers the colour rows and the mask.
  const std::int32_t height = storedHeight / 2;
  if (!isAcceptableSize(width, height)) {
    noteProblem("damaged picture size");
    return false;
  }
  const std::uint32_t tableSize =
      colorsUsed != 0 ? colorsUsed : (bitCount <= 8 ? 1u << bitCount : 0);
  if (tableSize > 256) {
    noteProblem("damaged colour table");
    return false;
  }
  // Both the colour rows and the mask must be in the data. Checked before
  // allocating: a header that promises a huge picture over a few bytes of
  // data must not cost that picture's memory.
  const std::int64_t rowBytes =
      (std::int64_t{bitCount} * width + 31) / 32 * 4 + (std::int64_t{width} + 31) / 32 * 4;
  if (std::int64_t{tableSize} * 4 + rowBytes * height >
      static_cast<std::int64_t>(size - headerSize)) {
    noteProblem("truncated picture data");
    return false;
  }
  if (!allocate(width, height, bitCount)) {
    noteProblem("damaged picture size");
    return false;
  }
  io::ByteReader body(data + headerSize, size - headerSize);
  if (bitCount <= 8) {
    body.bytes(palette_.data(), tableSize * 4);
  } else {
    body.skip(tableSize * 4);
  }
  // Both the colour rows and the mask must be in the data.
  if (!body.bytes(colour_.data(), colour_.size()) || !body.bytes(mask_.data(), mask_.size())) {
    noteProblem("truncated picture data");
    return false;
  }
  return true;
}

BufferedImage* IconImage::decodeImage(std::int32_t, IBufferedImage* targetImage) {
  if (width_ <= 0 || height_ <= 0) return nullptr;
  auto* target = static_cast<BufferedImage*>(targetImage);
  if (target != nullptr) {
    target->setSize(0, 0);
    if (!image::win::ensureCapacity(target, width_, height_)) return nullptr;
    target->setSize(width_, height_);
  } else {
    target = BufferedImage::create(width_, height_);
    if (target == nullptr) return nullptr;
  }
  bool anyAlpha = false;
  for (std::int32_t y = 0; y < height_; ++y) {
    const std::uint8_t* in = getColorRow(y);
    std::uint8_t* out = target->getRow(y);
    for (std::int32_t x = 0; x < width_; ++x, out += 4) {
      switch (bitCount_) {
        case 1:
        case 4:
        case 8: {
          const int perByte = 8 / bitCount_;
          const int shift = 8 - bitCount_ * (x % perByte + 1);
          const std::uint32_t index = (in[x / perByte] >> shift) & ((1u << bitCount_) - 1);
          std::memcpy(out, &palette_[index * 4], 3);
          out[3] = 255;
          break;
        }
        case 16: {
          const std::uint32_t pixel = io::ByteReader::loadLe16(in + x * 2);
          out[0] = expand5(pixel & 0x1F);
          out[1] = expand5((pixel >> 5) & 0x1F);
          out[2] = expand5((pixel >> 10) & 0x1F);
          out[3] = 255;
          break;
        }
        case 24:
          std::memcpy(out, in + x * 3, 3);
          out[3] = 255;
          break;
        default:
          std::memcpy(out, in + x * 4, 4);
          anyAlpha |= out[3] != 0;
          break;
      }
    }
  }
  // 32-bit entries carry their own alpha; one whose alpha bytes are all 0
  // was written by a program that kept transparency in the mask only.
  const bool useMask = !(bitCount_ == 32 && anyAlpha);
  bool transparent = false;
  for (std::int32_t y = 0; y < height_; ++y) {
    const std::uint8_t* mask = getMaskRow(y);
    std::uint8_t* out = target->getRow(y);
    for (std::int32_t x = 0; x < width_; ++x) {
      if (useMask) out[x * 4 + 3] = (mask[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
      transparent |= out[x * 4 + 3] != 255;
    }
  }
  target->setHasAlpha(transparent);
  return target;
}

BufferedImageSet* IconImage::decode(std::int32_t) {
  BufferedImageSet* set = BufferedImageSet::obtain();
  if (set == nullptr) return nullptr;
  if (BufferedImage* picture = decodeImage(0, nullptr)) set->add(picture, bitCount_, 0, 0);
  return set;
}

bool IconImage::setImage(IBufferedImage* sourceImage, std::int32_t bitCount, bool keepTransparency,
                         std::int32_t backgroundRed, std::int32_t backgroundGreen,
                         std::int32_t backgroundBlue) {
  auto* source = static_cast<BufferedImage*>(sourceImage);
  if (source == nullptr || source->getPixels() == nullptr) return false;
  if (!isSupportedDepth(bitCount)) bitCount = 32;
  const std::int32_t width = source->getWidth();
  const std::int32_t height = source->getHeight();

  // The picture to encode: alpha kept at 32 bits, thresholded for the mask
  // at other depths, or composited over the background.
  thread::Owned<BufferedImage> temporary;
  BufferedImage* working = source;
  if (source->hasAlpha() && keepTransparency && bitCount != 32) {
    temporary = thread::own(source->copyTo(nullptr));
    if (temporary == nullptr) return false;
    bool anyTransparent = false;
    for (std::int32_t y = 0; y < height; ++y) {
      std::uint8_t* p = temporary->getRow(y);
      for (std::int32_t x = 0; x < width; ++x) {
        p[x * 4 + 3] = p[x * 4 + 3] < kMaskThreshold ? 0 : 255;
        anyTransparent |= p[x * 4 + 3] == 0;
      }
    }
    temporary->setHasAlpha(anyTransparent);
    working = temporary.get();
  } else if (source->hasAlpha() && !keepTransparency) {
    temporary = thread::own(BufferedImage::create(width, height));
    if (temporary == nullptr) return false;
    const std::uint8_t background[4] = {static_cast<std::uint8_t>(backgroundBlue),
                                        static_cast<std::uint8_t>(backgroundGreen),
                                        static_cast<std::uint8_t>(backgroundRed), 255};
    for (std::int32_t y = 0; y < height; ++y) {
      for (std::int32_t x = 0; x < width; ++x)
        std::memcpy(temporary->getRow(y) + x * 4, background, 4);
    }
    temporary->drawImage(0, 0, source, 0, 0);
    working = temporary.get();
  }

  if (!allocate(width, height, bitCount) || !fillColourRows(*working)) {
    clear();
    return false;
  }
  if (working->hasAlpha()) {
    for (std::int32_t y = 0; y < height; ++y) {
      const std::uint8_t* p = working->getRow(y);
      std::uint8_t* mask = getMaskRow(y);
      for (std::int32_t x = 0; x < width; ++x) {
        if (p[x * 4 + 3] == 0) mask[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
    }
  }
  return true;
}

bool IconImage::fillColourRows(BufferedImage& picture) {
  if (bitCount_ == 32 || bitCount_ == 24 || bitCount_ == 16) {
    for (std::int32_t y = 0; y < height_; ++y) {
      const std::uint8_t* in = picture.getRow(y);
      std::uint8_t* out = getColorRow(y);
      for (std::int32_t x = 0; x < width_; ++x, in += 4) {
        if (bitCount_ == 32) {
          std::memcpy(out + x * 4, in, 4);
        } else if (bitCount_ == 24) {
          std::memcpy(out + x * 3, in, 3);
        } else {
          io::storeLe16(out + x * 2, static_cast<std::uint16_t>(in[0] >> 3 | (in[1] >> 3) << 5 |
                                                                (in[2] >> 3) << 10));
        }
      }
    }
    return true;
  }
  // Palette depths: 4 and 8 bits keep one index free for transparent pixels
  // (the mask shows them); 1 bit uses both colours.
  auto quantizer = thread::obtainOwned<filters::reduction::Quantizer>();
  const std::int32_t colours = bitCount_ == 1 ? 2 : (1 << bitCount_) - 1;
  if (quantizer == nullptr || !quantizer->build(picture, colours)) return false;
  const std::uint32_t* palette = quantizer->getPalette();
  for (std::int32_t i = 0; i < quantizer->getColorCount(); ++i) {
    palette_[i * 4 + 0] = static_cast<std::uint8_t>(palette[i]);
    palette_[i * 4 + 1] = static_cast<std::uint8_t>(palette[i] >> 8);
    palette_[i * 4 + 2] = static_cast<std::uint8_t>(palette[i] >> 16);
  }
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(width_));
  for (std::int32_t y = 0; y < height_; ++y) {
    if (bitCount_ != 1) {
      quantizer->mapRow(picture.getRow(y), width_, getColorRow(y), bitCount_);
      continue;
    }
    quantizer->mapRow(picture.getRow(y), width_, indices.data(), 8);
    std::uint8_t* out = getColorRow(y);
    for (std::int32_t x = 0; x < width_; ++x) {
      if (indices[x] & 1) out[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
  }
  return true;
}

bool IconImage::write(io::IOutputStream& stream) {
  if (width_ <= 0 || height_ <= 0) return false;
  if (width_ > 255 || height_ > 255) return writePng(stream);
  std::uint8_t header[kHeaderSize] = {};
  const std::uint32_t colours = bitCount_ <= 8 ? 1u << bitCount_ : 0;
  io::storeLe32(header, kHeaderSize);
  io::storeLe32(header + 4, static_cast<std::uint32_t>(width_));
  io::storeLe32(header + 8, static_cast<std::uint32_t>(height_ * 2));
  io::storeLe16(header + 12, 1);
  io::storeLe16(header + 14, static_cast<std::uint16_t>(bitCount_));
  // The image size field holds the pixel count.
  io::storeLe32(header + 20, static_cast<std::uint32_t>(width_ * height_));
  io::storeLe32(header + 32, colours);
  io::storeLe32(header + 36, colours);
  std::size_t written = 0;
  const auto put = [&](const std::uint8_t* bytes, std::size_t count) {
    return stream.write(bytes, count, &written) && written == count;
  };
  return put(header, sizeof header) && put(palette_.data(), colours * 4) &&
         put(colour_.data(), colour_.size()) && put(mask_.data(), mask_.size());
}

bool IconImage::writePng(io::IOutputStream& stream) {
  auto picture = thread::own(decodeImage(0, nullptr));
  auto setting = thread::obtainOwned<png::EncodeSetting>();
  if (picture == nullptr || setting == nullptr) return false;
  setting->withInterlace = 0;
  setting->keepTransparency = 1;
  auto encoded = thread::own(setting->createFromImage(picture.get()));
  return encoded != nullptr && encoded->write(stream);
}

IEncodedImage* IconImage::encodeLike(IBufferedImage* image) {
  if (image == nullptr) return nullptr;
  IBufferedImage* pixels = image->hasFilters() ? image->getFiltered() : image;
  auto entry = thread::own(IconImage::obtain());
  if (entry == nullptr || pixels == nullptr ||
      !entry->setImage(pixels, bitCount_, true, 255, 255, 255)) {
    return nullptr;
  }
  return entry.release();
}

}  // namespace s::image::ico::win
