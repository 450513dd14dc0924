// Writing the GIF file format (GIF89a) and building frames from pictures.

#include <algorithm>
#include <array>
#include <cstring>

#include "s/image/ImageLimits.h"
#include "s/image/filters/reduction/Quantizer.h"
#include "s/image/gif/win/Gif.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/io/ByteReader.h"
#include "s/io/IOutputStream.h"

namespace s::image::gif::win {

using image::win::BufferedImage;
using thread::Owned;

namespace {

// Every frame is written with a 256-entry table, so at code size 8.
constexpr std::int32_t kWrittenCodeSize = 8;
constexpr std::size_t kTableEntries = 256;

bool put(io::IOutputStream& stream, const void* bytes, std::size_t count) {
  std::size_t taken = 0;
  return stream.write(bytes, count, &taken) && taken == count;
}

std::uint8_t byteOf(std::int32_t value) {
  return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

// A new opaque picture of the background colour with image composited on it.
Owned<BufferedImage> overBackground(BufferedImage& image, std::int32_t width, std::int32_t height,
                                    std::int32_t red, std::int32_t green, std::int32_t blue) {
  auto result = thread::own(BufferedImage::create(width, height));
  if (result == nullptr) return result;
  const std::array<std::uint8_t, 4> colour = {byteOf(blue), byteOf(green), byteOf(red), 255};
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint8_t* row = result->getRow(y);
    for (std::int32_t x = 0; x < width; ++x)
      std::memcpy(row + x * 4, colour.data(), 4);
  }
  result->drawImage(0, 0, &image, 0, 0);
  result->setHasAlpha(false);
  return result;
}

bool visible(const std::uint8_t* pixel, std::int32_t threshold) {
  return pixel[3] >= threshold;
}

}  // namespace

bool Gif::writeFrame(const Frame& frame, io::IOutputStream& stream) {
  bmp::win::Bitmap& bitmap = *frame.bitmap;
  const std::int32_t width = bitmap.getWidth();
  const std::int32_t height = bitmap.getHeight();
  // GIF89a, 23. Graphic Control Extension; the delay is in hundredths.
  const auto hundredths = static_cast<std::uint16_t>(std::clamp(frame.delay / 10, 0, 0xFFFF));
  std::array<std::uint8_t, 8 + 10> head = {
      0x21, 0xF9, 0x04,
      static_cast<std::uint8_t>((frame.disposal & 7) << 2 | (frame.transparentIndex != -1 ? 1 : 0)),
      0, 0, static_cast<std::uint8_t>(frame.transparentIndex & 0xFF), 0x00,
      // GIF89a, 20. Image Descriptor: local table of 256 entries, not
      // interlaced, not sorted.
      0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0x87};
  io::storeLe16(&head[4], hundredths);
  io::storeLe16(&head[9], static_cast<std::uint16_t>(frame.left));
  io::storeLe16(&head[11], static_cast<std::uint16_t>(frame.top));
  io::storeLe16(&head[13], static_cast<std::uint16_t>(width));
  io::storeLe16(&head[15], static_cast<std::uint16_t>(height));

  std::array<std::uint8_t, kTableEntries * 3 + 1> table{};
  const std::uint8_t* entries = bitmap.getColorTable();
  for (std::size_t i = 0; i < kTableEntries; ++i) {
    table[i * 3 + 0] = entries[i * 4 + 2];
    table[i * 3 + 1] = entries[i * 4 + 1];
    table[i * 3 + 2] = entries[i * 4 + 0];
  }
  table.back() = static_cast<std::uint8_t>(kWrittenCodeSize);

  const IndexRows rows{bitmap.getRow(0), -static_cast<std::ptrdiff_t>(bitmap.getStride()), width,
                       height};
  const std::uint8_t blockTerminator = 0;
  bool written = put(stream, head.data(), head.size());
  written = put(stream, table.data(), table.size()) && written;
  written = lzw_.compress(kWrittenCodeSize, rows, stream) && written;
  return put(stream, &blockTerminator, 1) && written;
}

bool Gif::write(io::IOutputStream& stream) {
  if (frames_.empty()) return false;
  for (const Frame& frame : frames_) {
    if (frame.bitmap->getBitCount() != 8) return false;
  }
  // GIF89a, 17. Header and 18. Logical Screen Descriptor: no global table,
  // colour resolution 8 bits, table size field 7; then the loop extension.
  std::array<std::uint8_t, 13 + 19> head = {
      'G', 'I', 'F', '8', '9', 'a', 0,   0,   0,   0,   0x77, 0,    0,    0x21, 0xFF, 0x0B,
      'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0',  0x03, 0x01, 0,    0,    0x00};
  io::storeLe16(&head[6], static_cast<std::uint16_t>(screenWidth_));
  io::storeLe16(&head[8], static_cast<std::uint16_t>(screenHeight_));
  io::storeLe16(&head[29], loopCount_);
  bool written = put(stream, head.data(), head.size());
  for (const Frame& frame : frames_)
    written = writeFrame(frame, stream) && written;
  const std::uint8_t trailer = 0x3B;
  return put(stream, &trailer, 1) && written;
}

bool Gif::addFrame(IBufferedImage* imageIn, std::int32_t bitCount, bool keepTransparency,
                   std::int32_t red, std::int32_t green, std::int32_t blue,
                   std::int32_t alphaThreshold) {
  auto* image = static_cast<BufferedImage*>(imageIn);
  if (image == nullptr || image->getPixels() == nullptr) return false;
  const std::int32_t width = image->getWidth();
  const std::int32_t height = image->getHeight();
  if (!isAcceptableSize(width, height)) return false;
  if (bitCount < 1 || bitCount > 8) bitCount = 8;
  // One index is always left for transparency.
  const std::int32_t colors = (1 << bitCount) - 1;

  std::int32_t transparentIndex = -1;
  Owned<BufferedImage> prepared;
  if (image->hasAlpha() && keepTransparency) {
    // Alpha becomes all or nothing.
    prepared = thread::own(image->copyTo(nullptr));
    if (prepared == nullptr) return false;
    bool anyTransparent = false;
    for (std::int32_t y = 0; y < height; ++y) {
      std::uint8_t* pixel = prepared->getRow(y);
      for (std::int32_t x = 0; x < width; ++x, pixel += 4) {
        const bool opaque = visible(pixel, alphaThreshold);
        pixel[3] = opaque ? 255 : 0;
        anyTransparent |= !opaque;
      }
    }
    prepared->setHasAlpha(anyTransparent);
    transparentIndex = colors;
  } else if (image->hasAlpha()) {
    prepared = overBackground(*image, width, height, red, green, blue);
    if (prepared == nullptr) return false;
  } else if (image->anyTransparentPixel()) {
    // A picture without alpha is opaque, whatever its fourth bytes hold.
    prepared = thread::own(image->copyTo(nullptr));
    if (prepared == nullptr) return false;
    for (std::int32_t y = 0; y < height; ++y) {
      std::uint8_t* pixel = prepared->getRow(y);
      for (std::int32_t x = 0; x < width; ++x)
        pixel[x * 4 + 3] = 255;
    }
  }
  BufferedImage& source = prepared != nullptr ? *prepared : *image;

  Frame frame;
  frame.bitmap = thread::own(bmp::win::Bitmap::obtain());
  if (frame.bitmap == nullptr || !frame.bitmap->createBitmap(width, height, 8)) return false;
  auto quantizer = thread::obtainOwned<filters::reduction::Quantizer>();
  if (quantizer == nullptr || !quantizer->build(source, colors)) return false;
  // Pixels that are not opaque map to the index just past the palette,
  // which is the transparent index.
  const std::uint32_t* palette = quantizer->getPalette();
  std::uint8_t* entries = frame.bitmap->getColorTable();
  for (std::size_t i = 0; i < kTableEntries; ++i) {
    entries[i * 4 + 0] = static_cast<std::uint8_t>(palette[i]);
    entries[i * 4 + 1] = static_cast<std::uint8_t>(palette[i] >> 8);
    entries[i * 4 + 2] = static_cast<std::uint8_t>(palette[i] >> 16);
    entries[i * 4 + 3] = 0;
  }
  for (std::int32_t y = 0; y < height; ++y)
    quantizer->mapRow(source.getRow(y), width, frame.bitmap->getRow(y), 8);
  frame.transparentIndex = transparentIndex;
  frame.filledPixels = static_cast<std::int64_t>(width) * height;
  if (frames_.empty()) {
    screenWidth_ = width;
    screenHeight_ = height;
  }
  frames_.push_back(std::move(frame));
  return true;
}

namespace {

// The whole picture an entry of a set stands for, at width x height: the
// entry drawn over `shown` (the picture before it) when it is drawn over
// its predecessor, else the entry alone on a transparent picture. Without
// kept transparency the result is flattened over the background colour.
Owned<BufferedImage> pictureOf(BufferedImage& entry, BufferedImage* shown, std::int32_t width,
                               std::int32_t height, bool keepTransparency, std::int32_t red,
                               std::int32_t green, std::int32_t blue) {
  Owned<BufferedImage> picture =
      thread::own(shown != nullptr ? shown->copyTo(nullptr) : BufferedImage::create(width, height));
  if (picture == nullptr) return picture;
  if (shown == nullptr) picture->setHasAlpha(true);
  picture->drawImage(0, 0, &entry, 0, 0);
  if (!entry.hasAlpha()) {
    // Copied byte for byte: the entry's pixels are opaque whatever their
    // fourth bytes hold.
    const std::int32_t right = std::min(width, entry.getWidth());
    const std::int32_t bottom = std::min(height, entry.getHeight());
    for (std::int32_t y = 0; y < bottom; ++y) {
      std::uint8_t* row = picture->getRow(y);
      for (std::int32_t x = 0; x < right; ++x)
        row[x * 4 + 3] = 255;
    }
  }
  picture->setHasAlpha(picture->anyTransparentPixel());
  if (!keepTransparency && picture->hasAlpha()) {
    return overBackground(*picture, width, height, red, green, blue);
  }
  return picture;
}

}  // namespace

bool Gif::fromSet(IBufferedImageSet* set, std::int32_t bitCount, bool keepTransparency,
                  std::int32_t red, std::int32_t green, std::int32_t blue) {
  if (set == nullptr || set->getCount() == 0) return false;
  if (set->getCount() <= 1 || !set->isAnimated()) {
    return addFrame(set->getPrimary(), bitCount, keepTransparency, red, green, blue,
                    kAlphaThreshold);
  }
  loopCount_ = set->getLoopCount();
  auto* first = static_cast<BufferedImage*>(set->get(0));
  const std::int32_t width = first->getWidth();
  const std::int32_t height = first->getHeight();
  if (!isAcceptableSize(width, height)) return false;

  // What a viewer shows once the frames written so far have been drawn.
  Owned<BufferedImage> shown =
      pictureOf(*first, nullptr, width, height, keepTransparency, red, green, blue);
  if (shown == nullptr ||
      !addFrame(shown.get(), bitCount, keepTransparency, red, green, blue, kAlphaThreshold)) {
    return false;
  }
  frames_.back().delay = set->getDelay(0);
  frames_.back().disposal = set->getDisposal(0);

  for (std::int32_t i = 1; i < set->getCount(); ++i) {
    auto* entry = static_cast<BufferedImage*>(set->get(i));
    // An entry with disposal 1 is drawn over its predecessor; any other is
    // a whole picture.
    Owned<BufferedImage> picture =
        pictureOf(*entry, set->getDisposal(i) == 1 ? shown.get() : nullptr, width, height,
                  keepTransparency, red, green, blue);
    if (picture == nullptr) return false;
    auto changes = thread::own(picture->copyTo(nullptr));
    if (changes == nullptr) return false;

    // A frame kept on screen under the next one can only be painted over:
    // where the picture turns transparent again it has to be cleared
    // (disposal 2), and the next frame is then written whole.
    bool mustClear = false;
    for (std::int32_t y = 0; y < height && !mustClear; ++y) {
      const std::uint8_t* now = picture->getRow(y);
      const std::uint8_t* before = shown->getRow(y);
      for (std::int32_t x = 0; x < width * 4 && !mustClear; x += 4) {
        mustClear = !visible(now + x, kAlphaThreshold) && visible(before + x, kAlphaThreshold);
      }
    }
    if (!mustClear) {
      // Only what changes is written; the rest stays transparent and shows
      // the previous frame.
      bool anyUnchanged = false;
      for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* now = changes->getRow(y);
        const std::uint8_t* before = shown->getRow(y);
        for (std::int32_t x = 0; x < width * 4; x += 4) {
          const bool seen = visible(now + x, kAlphaThreshold);
          const bool unchanged = seen == visible(before + x, kAlphaThreshold) &&
                                 (!seen || std::memcmp(now + x, before + x, 3) == 0);
          if (unchanged) now[x + 3] = 0;
          anyUnchanged |= unchanged;
        }
      }
      changes->setHasAlpha(changes->hasAlpha() || anyUnchanged);
    }
    // The previous frame stays (0 and 1 both keep it) or is cleared.
    Frame& previous = frames_.back();
    if (mustClear) {
      previous.disposal = 2;
    } else if (previous.disposal != 0 && previous.disposal != 1) {
      previous.disposal = 1;
    }
    if (!addFrame(changes.get(), bitCount, true, red, green, blue, kAlphaThreshold)) return false;
    frames_.back().delay = set->getDelay(i);
    frames_.back().disposal = 1;
    shown = std::move(picture);
  }
  return true;
}

}  // namespace s::image::gif::win
