#pragma once

#include <cstdint>
#include <string_view>

#include "s/col/_array/ArrayP.h"
#include "s/image/IBufferedImage.h"
#include "s/thread/Pool.h"

namespace s::image::bmp::win {
class Bitmap;
}
namespace s::image {
class IEncodeSetting;
}
namespace s::image::bmp {
class EncodeSetting;
}
namespace s::image::gif {
class EncodeSetting;
}
namespace s::image::jpg {
class EncodeSetting;
}
namespace s::image::png {
class EncodeSetting;
}
namespace s::io {
class IOutputStream;
}

namespace s::image::win {

// The program's one pixel buffer. Pixels are 4 bytes (blue, green, red,
// alpha; not premultiplied), held in a zero-filled Bitmap whose rows run
// bottom-up over the whole capacity: row y of the picture starts at
// (capacityHeight - 1 - y) * capacityStride. A picture smaller than its
// capacity therefore uses the last rows of the block.
class BufferedImage final : public thread::PooledObject<BufferedImage, IBufferedImage> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_win_BufferedImage";

  BufferedImage() { clear(); }
  ~BufferedImage() override;
  BufferedImage(const BufferedImage&) = delete;
  BufferedImage& operator=(const BufferedImage&) = delete;

  // A pooled buffer allocated to width x height (null when memory cannot be
  // had); the caller recycles it.
  static BufferedImage* create(std::int32_t width, std::int32_t height);

  void clear() override;

  std::int32_t getWidth() const override { return width_; }
  std::int32_t getHeight() const override { return height_; }

  bool isBuffered() const override { return true; }
  void setSize(std::int32_t width, std::int32_t height) override;
  bool reserve(std::int32_t width, std::int32_t height) override;
  bool allocate(std::int32_t width, std::int32_t height) override;
  BufferedImage* createImage(std::int32_t width, std::int32_t height) const override {
    return create(width, height);
  }
  std::int32_t getStride() const override { return width_ * 4; }
  std::int32_t getCapacityWidth() const override { return capacityWidth_; }
  std::int32_t getCapacityHeight() const override { return capacityHeight_; }
  std::int32_t getCapacityStride() const override { return capacityWidth_ * 4; }
  std::uint8_t* getRow(std::int32_t y) override {
    return pixels_ + static_cast<std::int64_t>(capacityHeight_ - 1 - y) * (capacityWidth_ * 4);
  }
  std::uint8_t* getPixels() override { return pixels_; }
  std::uint8_t* getScanline(std::int32_t y) override { return getRow(y); }
  std::uint8_t* getBuffer() override { return pixels_; }
  std::int64_t getPixelCount() const { return static_cast<std::int64_t>(width_) * height_; }
  std::int64_t getByteCount() const { return getPixelCount() * 4; }

  bool hasAlpha() const override { return hasAlpha_; }
  void setHasAlpha(bool hasAlpha) override { hasAlpha_ = hasAlpha; }
  BufferedImage* getScaledCache() const override { return scaledCache_; }
  void setScaledCache(IBufferedImage* image) override;
  void drawImage(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                 IBufferedImage* source, std::int32_t sourceX, std::int32_t sourceY,
                 bool scaleFirst) override;
  void drawImage(std::int32_t x, std::int32_t y, IBufferedImage* source, std::int32_t sourceX,
                 std::int32_t sourceY) {
    drawImage(x, y, 0, 0, source, sourceX, sourceY, false);
  }
  BufferedImage* getScaled(std::int32_t width, std::int32_t height, bool keepAspect) override;
  // Encodes this picture (filtered, when it has filters) in the record's
  // format and writes it to the stream, or to a new file at path (an
  // existing file is never replaced). False when nothing complete was
  // written. writeBmp, writeGif, writeJpeg and writePng are these with the
  // format's own record.
  bool writeEncoded(io::IOutputStream& stream, IEncodeSetting& setting);
  bool writeEncoded(std::u16string_view path, IEncodeSetting& setting);
  bool writeBmp(io::IOutputStream& stream, bmp::EncodeSetting& setting);
  bool writeBmp(std::u16string_view path, bmp::EncodeSetting& setting);
  bool writeGif(io::IOutputStream& stream, gif::EncodeSetting& setting);
  bool writeGif(std::u16string_view path, gif::EncodeSetting& setting);
  bool writeJpeg(io::IOutputStream& stream, jpg::EncodeSetting& setting);
  bool writeJpeg(std::u16string_view path, jpg::EncodeSetting& setting);
  bool writePng(io::IOutputStream& stream, png::EncodeSetting& setting);
  bool writePng(std::u16string_view path, png::EncodeSetting& setting);
  BufferedImage* copyTo(IBufferedImage* target) override;
  BufferedImage* rotateRight(IBufferedImage* target) override;
  BufferedImage* rotate180(IBufferedImage* target) override;
  BufferedImage* rotateLeft(IBufferedImage* target) override;
  BufferedImage* mirror(IBufferedImage* target) override;
  BufferedImage* flip(IBufferedImage* target) override;
  bool hasFilters() const override { return filters_.getLength() != 0; }
  bool findFilter(const char16_t* typeName, std::int32_t& index) const override;
  col::_array::ArrayP& getFilters() override { return filters_; }
  filters::IFilter* getFilter(std::int32_t index) const override {
    return static_cast<filters::IFilter*>(filters_.get(index));
  }
  void addFilter(filters::IFilter* filter) override;
  void insertFilter(std::int32_t index, filters::IFilter* filter) override;
  void removeFilter(std::int32_t index) override;
  void clearFilters() override;
  void detachFilters() override;
  BufferedImage* applyFilters() override;
  BufferedImage* getFiltered() override;

  // True when any visible pixel's alpha is below 255.
  bool anyTransparentPixel();

 private:
  // Sizes a given result buffer to width x height without giving up its
  // memory, or creates one; copies hasAlpha to it.
  BufferedImage* prepareTarget(IBufferedImage* target, std::int32_t width, std::int32_t height);
  // Result of a pixel-remapping operation: target(x, y) = this(map(x, y)).
  template <class Map>
  BufferedImage* remap(IBufferedImage* target, std::int32_t width, std::int32_t height, Map map);
  void setStore(bmp::win::Bitmap* store, std::int32_t width, std::int32_t height);
  void dropFilteredCache();

  bmp::win::Bitmap* store_ = nullptr;
  std::uint8_t* pixels_ = nullptr;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::int32_t capacityWidth_ = 0;
  std::int32_t capacityHeight_ = 0;
  BufferedImage* scaledCache_ = nullptr;
  bool hasAlpha_ = false;
  col::_array::ArrayP filters_;
  BufferedImage* filteredCache_ = nullptr;
};

// Grows the capacity of `image` by steps of 1.2 until it holds width x height
// (decoders reuse one buffer for pictures of varying size).
bool ensureCapacity(IBufferedImage* image, std::int32_t width, std::int32_t height);

}  // namespace s::image::win
