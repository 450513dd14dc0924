#pragma once

#include <cstdint>

#include "s/image/IImage.h"
#include "s/thread/IPoolable.h"

namespace s::col::_array {
class ArrayP;
}
namespace s::image::filters {
class IFilter;
}

namespace s::image {

class IBufferedImage;

// Pixel access of a 32-bit buffer: 4 bytes per pixel (blue, green, red,
// alpha), rows stored bottom-up over the capacity.
class IImageBuffer : public IImage {
 public:
  virtual bool isBuffered() const = 0;
  // Visible size only; the caller keeps it within the capacity.
  virtual void setSize(std::int32_t width, std::int32_t height) = 0;
  // Grows the capacity to at least width x height, keeping the visible
  // pixels and size. False when memory cannot be had (nothing changes).
  virtual bool reserve(std::int32_t width, std::int32_t height) = 0;
  // New zero-filled memory of exactly width x height, visible size the same.
  // False (and an empty buffer) when memory cannot be had.
  virtual bool allocate(std::int32_t width, std::int32_t height) = 0;
  virtual IBufferedImage* createImage(std::int32_t width, std::int32_t height) const = 0;
  virtual std::int32_t getStride() const = 0;
  virtual std::int32_t getCapacityWidth() const = 0;
  virtual std::int32_t getCapacityHeight() const = 0;
  virtual std::int32_t getCapacityStride() const = 0;
  virtual std::uint8_t* getRow(std::int32_t y) = 0;
  virtual std::uint8_t* getPixels() = 0;
  virtual std::uint8_t* getScanline(std::int32_t y) = 0;
  virtual std::uint8_t* getBuffer() = 0;
};

// A pooled picture: pixels, the hasAlpha flag, pending filters and caches.
class IBufferedImage : public IImageBuffer, public thread::IPoolable {
 public:
  virtual bool hasAlpha() const = 0;
  virtual void setHasAlpha(bool hasAlpha) = 0;
  virtual IBufferedImage* getScaledCache() const = 0;
  virtual void setScaledCache(IBufferedImage* image) = 0;
  // Composites source onto this buffer at (x, y) from (sourceX, sourceY);
  // with scaleFirst the source is first scaled to width x height.
  virtual void drawImage(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                         IBufferedImage* source, std::int32_t sourceX, std::int32_t sourceY,
                         bool scaleFirst) = 0;
  // A copy at width x height (with keepAspect, the side whose ratio is larger
  // is reduced to keep the proportions). The result belongs to this buffer
  // (it is this buffer itself at the same size, else the cached copy); null
  // when a size is not positive or memory cannot be had.
  virtual IBufferedImage* getScaled(std::int32_t width, std::int32_t height, bool keepAspect) = 0;
  virtual IBufferedImage* copyTo(IBufferedImage* target) = 0;
  virtual IBufferedImage* rotateRight(IBufferedImage* target) = 0;
  virtual IBufferedImage* rotate180(IBufferedImage* target) = 0;
  virtual IBufferedImage* rotateLeft(IBufferedImage* target) = 0;
  virtual IBufferedImage* mirror(IBufferedImage* target) = 0;
  virtual IBufferedImage* flip(IBufferedImage* target) = 0;
  virtual bool hasFilters() const = 0;
  virtual bool findFilter(const char16_t* typeName, std::int32_t& index) const = 0;
  virtual col::_array::ArrayP& getFilters() = 0;
  virtual filters::IFilter* getFilter(std::int32_t index) const = 0;
  virtual void addFilter(filters::IFilter* filter) = 0;
  virtual void insertFilter(std::int32_t index, filters::IFilter* filter) = 0;
  virtual void removeFilter(std::int32_t index) = 0;
  virtual void clearFilters() = 0;
  virtual void detachFilters() = 0;
  virtual IBufferedImage* applyFilters() = 0;
  virtual IBufferedImage* getFiltered() = 0;
};

}  // namespace s::image
