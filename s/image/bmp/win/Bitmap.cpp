#include "s/image/bmp/win/Bitmap.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "s/image/ImageLimits.h"
#include "s/image/bmp/EncodeSetting.h"
#include "s/image/filters/reduction/Quantizer.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/image/win/PixelRows.h"
#include "s/io/ByteReader.h"

namespace s::image::bmp::win {

using image::win::BufferedImage;
using image::win::BufferedImageSet;

namespace {

// How one colour mask of a bit-field picture turns into an 8-bit channel.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t maximum = 0;  // largest value after shifting

  explicit Channel(std::uint32_t m) : mask(m) {
    if (mask == 0) return;
    shift = std::countr_zero(mask);
    maximum = mask >> shift;
  }

  std::uint8_t operator()(std::uint32_t pixel) const {
    if (maximum == 0) return 0;
    const std::uint32_t value = (pixel & mask) >> shift;
    if (maximum == 255) return static_cast<std::uint8_t>(value);
    return static_cast<std::uint8_t>((std::uint64_t{value} * 255 + maximum / 2) / maximum);
  }
};

// Masks used when a 16-bit picture names none: 5 bits per channel.
constexpr std::array<std::uint32_t, 4> kDefault16Masks = {0x7C00, 0x03E0, 0x001F, 0};

}  // namespace

Bitmap::~Bitmap() {
  releaseBits();
}

void Bitmap::releaseBits() {
  std::free(bits_);
  bits_ = nullptr;
}

void Bitmap::clear() {
  releaseBits();
  file_ = FileHeader{};
  info_ = InfoHeader{};
  masks_ = {};
  if (colorCount_ != 0) colorTable_.fill(0);
  colorCount_ = 0;
  stride_ = 0;
  transparentColor_ = -1;
  forgetProblem();
}

void Bitmap::deriveLayout() {
  stride_ = strideFor(info_.biWidth, info_.biBitCount, info_.biPlanes);
  if (info_.biClrUsed != 0) {
    colorCount_ = static_cast<std::int32_t>(std::min<std::uint32_t>(info_.biClrUsed, kMaxColors));
  } else if (info_.biBitCount <= 8) {
    colorCount_ = 1 << info_.biBitCount;
  } else {
    colorCount_ = 0;
  }
}

void Bitmap::deriveFileHeader() {
  const std::uint32_t maskBytes = info_.biCompression == kCompressionBitFields ? 12 : 0;
  file_ = FileHeader{};
  file_.bfOffBits = kFileHeaderSize + kInfoHeaderSize + maskBytes +
                    static_cast<std::uint32_t>(getColorTableSize());
  file_.bfSize = file_.bfOffBits + info_.biSizeImage;
}

bool Bitmap::allocateBits() {
  releaseBits();
  const std::int64_t bytes = stride_ * info_.biHeight;
  if (bytes <= 0) return false;
  bits_ = static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(bytes), 1));
  return bits_ != nullptr;
}

bool Bitmap::createBitmap(std::int32_t width, std::int32_t height, std::int32_t bitCount) {
  clear();
  if (!isAcceptableSize(width, height)) return false;
  const std::uint32_t colors = bitCount <= 8 ? (1u << bitCount) : 0;
  info_.biWidth = width;
  info_.biHeight = height;
  info_.biBitCount = static_cast<std::uint16_t>(bitCount);
  info_.biClrUsed = colors;
  info_.biClrImportant = colors;
  deriveLayout();
  info_.biSizeImage = static_cast<std::uint32_t>(stride_ * height);
  deriveFileHeader();
  if (!allocateBits()) {
    clear();
    return false;
  }
  return true;
}

void Bitmap::convertRow(std::int32_t y, std::uint8_t* out) const {
  const std::uint8_t* in = bits_ + static_cast<std::int64_t>(info_.biHeight - 1 - y) * stride_;
  const std::int32_t width = info_.biWidth;
  switch (info_.biBitCount) {
    case 1:
    case 2:
    case 4:
    case 8: {
      const int bits = info_.biBitCount;
      const int perByte = 8 / bits;
      const std::uint32_t indexMask = (1u << bits) - 1;
      for (std::int32_t x = 0; x < width; ++x, out += 4) {
        const int shift = 8 - bits * (x % perByte + 1);
        const std::uint32_t index = (in[x / perByte] >> shift) & indexMask;
        // Entries past the colour count are zero: black.
        std::memcpy(out, &colorTable_[index * 4], 3);
        out[3] = 255;
      }
      break;
    }
    case 16:
    case 32: {
      if (isDirect32()) {
        std::memcpy(out, in, static_cast<std::size_t>(width) * 4);
        break;
      }
      const auto& masks = info_.biCompression == kCompressionBitFields ? masks_ : kDefault16Masks;
      const Channel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
      const int bytes = info_.biBitCount / 8;
      for (std::int32_t x = 0; x < width; ++x, in += bytes, out += 4) {
        const std::uint32_t pixel =
            bytes == 2 ? io::ByteReader::loadLe16(in) : io::ByteReader::loadLe32(in);
        out[0] = blue(pixel);
        out[1] = green(pixel);
        out[2] = red(pixel);
        out[3] = masks[3] != 0 ? alpha(pixel) : 255;
      }
      break;
    }
    case 24:
      image::win::expandBgrToBgra(in, out, width);
      break;
    default:
      std::memset(out, 0, static_cast<std::size_t>(width) * 4);
      break;
  }
}

BufferedImage* Bitmap::decodeImage(std::int32_t, IBufferedImage* targetImage) {
  const std::int32_t width = info_.biWidth;
  const std::int32_t height = info_.biHeight;
  if (bits_ == nullptr || width <= 0 || height <= 0) return nullptr;
  BufferedImage* target = static_cast<BufferedImage*>(targetImage);
  if (target != nullptr) {
    target->setSize(0, 0);
    if (!image::win::ensureCapacity(target, width, height)) return nullptr;
    target->setSize(width, height);
  } else {
    target = BufferedImage::create(width, height);
    if (target == nullptr) return nullptr;
  }
  for (std::int32_t y = 0; y < height; ++y)
    convertRow(y, target->getRow(y));

  // Alpha: a 32-bit picture (or one with an alpha mask) whose alpha bytes
  // are all 0 was written by a program that does not use them; it is opaque.
  const bool alphaInFile = isDirect32() || (info_.biCompression == kCompressionBitFields &&
                                            masks_[3] != 0 && info_.biBitCount >= 16);
  bool anyAlpha = false;
  bool anyTranslucent = false;
  if (alphaInFile) {
    for (std::int32_t y = 0; y < height && !anyTranslucent; ++y) {
      const std::uint8_t* p = target->getRow(y);
      for (std::int32_t x = 0; x < width; ++x) {
        anyAlpha |= p[x * 4 + 3] != 0;
        anyTranslucent |= p[x * 4 + 3] != 255;
      }
    }
  }
  if (alphaInFile && anyAlpha) {
    target->setHasAlpha(anyTranslucent);
    return target;
  }
  const bool keyed = hasTransparentColor();
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint8_t* p = target->getRow(y);
    for (std::int32_t x = 0; x < width; ++x, p += 4) {
      const std::int32_t colour = p[2] << 16 | p[1] << 8 | p[0];
      p[3] = keyed && colour == transparentColor_ ? 0 : 255;
    }
  }
  target->setHasAlpha(keyed);
  return target;
}

BufferedImageSet* Bitmap::decode(std::int32_t) {
  BufferedImageSet* set = BufferedImageSet::obtain();
  if (set == nullptr) return nullptr;
  if (BufferedImage* picture = decodeImage(0, nullptr)) set->add(picture, getBitCount(), 0, 0);
  return set;
}

bool Bitmap::fromImage(IBufferedImage* sourceImage, std::int32_t bitCount, bool keepTransparency,
                       std::int32_t backgroundRed, std::int32_t backgroundGreen,
                       std::int32_t backgroundBlue) {
  auto* source = static_cast<BufferedImage*>(sourceImage);
  if (source == nullptr || source->getPixels() == nullptr) {
    clear();
    return false;
  }
  // The depths written are 4, 8, 24 and 32; anything else keeps its colours
  // at 24 bits.
  if (bitCount != 4 && bitCount != 8 && bitCount != 32) bitCount = 24;
  const std::int32_t width = source->getWidth();
  const std::int32_t height = source->getHeight();
  const auto background = std::array<std::uint8_t, 4>{
      static_cast<std::uint8_t>(backgroundBlue), static_cast<std::uint8_t>(backgroundGreen),
      static_cast<std::uint8_t>(backgroundRed), 255};

  // Transparency that the depth cannot keep is composited over the background.
  thread::Owned<BufferedImage> flattened;
  const bool keepAlpha = source->hasAlpha() && keepTransparency && bitCount == 32;
  if (source->hasAlpha() && !keepAlpha) {
    flattened = thread::own(BufferedImage::create(width, height));
    if (flattened == nullptr) return false;
    for (std::int32_t y = 0; y < height; ++y) {
      std::uint8_t* p = flattened->getRow(y);
      for (std::int32_t x = 0; x < width; ++x)
        std::memcpy(p + x * 4, background.data(), 4);
    }
    flattened->drawImage(0, 0, source, 0, 0);
    source = flattened.get();
  }

  if (!createBitmap(width, height, bitCount)) return false;
  if (bitCount == 32) {
    for (std::int32_t y = 0; y < height; ++y) {
      std::uint8_t* out = getRow(y);
      std::memcpy(out, source->getRow(y), static_cast<std::size_t>(width) * 4);
      // Fully transparent pixels carry the background colour, so that
      // programs that ignore alpha show the background there.
      if (keepAlpha) {
        for (std::int32_t x = 0; x < width; ++x) {
          if (out[x * 4 + 3] == 0) std::memcpy(out + x * 4, background.data(), 3);
        }
      }
    }
  } else if (bitCount == 24) {
    for (std::int32_t y = 0; y < height; ++y) {
      image::win::packBgraToBgr(source->getRow(y), getRow(y), width);
    }
  } else {
    auto quantizer = thread::obtainOwned<filters::reduction::Quantizer>();
    if (quantizer == nullptr || !quantizer->build(*source, 1 << bitCount)) {
      clear();
      return false;
    }
    const std::uint32_t* palette = quantizer->getPalette();
    for (int i = 0; i < (1 << bitCount); ++i) {
      colorTable_[i * 4 + 0] = static_cast<std::uint8_t>(palette[i]);
      colorTable_[i * 4 + 1] = static_cast<std::uint8_t>(palette[i] >> 8);
      colorTable_[i * 4 + 2] = static_cast<std::uint8_t>(palette[i] >> 16);
      colorTable_[i * 4 + 3] = 0;
    }
    for (std::int32_t y = 0; y < height; ++y) {
      quantizer->mapRow(source->getRow(y), width, getRow(y), bitCount);
    }
  }
  return true;
}

IEncodedImage* Bitmap::encodeLike(IBufferedImage* image) {
  auto setting = thread::obtainOwned<EncodeSetting>();
  if (setting == nullptr) return nullptr;
  setting->bpp = getBitCount();
  setting->keepTransparency = 1;
  return setting->createFromImage(image);
}

}  // namespace s::image::bmp::win
