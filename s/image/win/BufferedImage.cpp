#include "s/image/win/BufferedImage.h"

#include <algorithm>
#include <cstring>

#include "s/image/bmp/win/Bitmap.h"
#include "s/image/filters/IFilter.h"
#include "s/image/filters/scale/BilinearFilter.h"
#include "s/image/filters/scale/ScaleImage.h"

namespace s::image::win {

using bmp::win::Bitmap;
using filters::IFilter;

namespace {

BufferedImage* concrete(IBufferedImage* image) {
  return static_cast<BufferedImage*>(image);
}

void recycleIfOwned(IFilter* filter) {
  if (filter != nullptr && filter->isOwnedByImage()) {
    dynamic_cast<thread::IPoolable*>(filter)->recycle();
  }
}

}  // namespace

BufferedImage::~BufferedImage() {
  clear();
}

BufferedImage* BufferedImage::create(std::int32_t width, std::int32_t height) {
  BufferedImage* image = obtain();
  if (image != nullptr && !image->allocate(width, height) && width > 0 && height > 0) {
    image->recycle();
    return nullptr;
  }
  return image;
}

void BufferedImage::clear() {
  if (store_ != nullptr) store_->recycle();
  store_ = nullptr;
  pixels_ = nullptr;
  width_ = height_ = capacityWidth_ = capacityHeight_ = 0;
  hasAlpha_ = false;
  thread::recycleAndNull(scaledCache_);
  clearFilters();
  thread::recycleAndNull(filteredCache_);
}

void BufferedImage::setStore(Bitmap* store, std::int32_t width, std::int32_t height) {
  if (store_ != nullptr) store_->recycle();
  store_ = store;
  pixels_ = store != nullptr ? store->getBits() : nullptr;
  capacityWidth_ = store != nullptr ? width : 0;
  capacityHeight_ = store != nullptr ? height : 0;
}

void BufferedImage::setSize(std::int32_t width, std::int32_t height) {
  width_ = width;
  height_ = height;
}

bool BufferedImage::allocate(std::int32_t width, std::int32_t height) {
  setStore(nullptr, 0, 0);
  width_ = height_ = 0;
  if (width <= 0 || height <= 0) return false;
  Bitmap* store = Bitmap::obtain();
  if (store == nullptr) return false;
  if (!store->createBitmap(width, height, 32)) {
    store->recycle();
    return false;
  }
  setStore(store, width, height);
  width_ = width;
  height_ = height;
  return true;
}

bool BufferedImage::reserve(std::int32_t width, std::int32_t height) {
  if (width <= capacityWidth_ && height <= capacityHeight_) return true;
  // Never smaller than the visible picture, so every visible row survives.
  const std::int32_t newWidth = std::max(width, width_);
  const std::int32_t newHeight = std::max(height, height_);
  Bitmap* store = Bitmap::obtain();
  if (store == nullptr) return false;
  if (!store->createBitmap(newWidth, newHeight, 32)) {
    store->recycle();
    return false;
  }
  const std::int32_t oldWidth = width_;
  const std::int32_t oldHeight = height_;
  const std::int64_t newStride = static_cast<std::int64_t>(newWidth) * 4;
  for (std::int32_t y = 0; y < oldHeight; ++y) {
    std::memcpy(store->getBits() + (newHeight - 1 - y) * newStride, getRow(y),
                static_cast<std::size_t>(oldWidth) * 4);
  }
  setStore(store, newWidth, newHeight);
  setSize(oldWidth, oldHeight);
  return true;
}

bool ensureCapacity(IBufferedImage* image, std::int32_t width, std::int32_t height) {
  std::int32_t capacityWidth = image->getCapacityWidth();
  std::int32_t capacityHeight = image->getCapacityHeight();
  if (capacityWidth >= width && capacityHeight >= height) return true;
  float grownWidth = static_cast<float>(capacityWidth == 0 ? width : capacityWidth);
  float grownHeight = static_cast<float>(capacityHeight == 0 ? height : capacityHeight);
  while (grownWidth < static_cast<float>(width))
    grownWidth *= 1.2f;
  while (grownHeight < static_cast<float>(height))
    grownHeight *= 1.2f;
  // Truncation may land a hair below the wanted size; never reserve less.
  const auto reserveWidth = std::max(width, static_cast<std::int32_t>(grownWidth));
  const auto reserveHeight = std::max(height, static_cast<std::int32_t>(grownHeight));
  return image->reserve(reserveWidth, reserveHeight);
}

void BufferedImage::setScaledCache(IBufferedImage* image) {
  if (scaledCache_ != nullptr && scaledCache_ != image) scaledCache_->recycle();
  scaledCache_ = concrete(image);
}

BufferedImage* BufferedImage::getScaled(std::int32_t width, std::int32_t height, bool keepAspect) {
  if (keepAspect && width_ > 0 && height_ > 0) {
    const double heightRatio = static_cast<double>(height) / height_;
    const double widthRatio = static_cast<double>(width) / width_;
    if (heightRatio > widthRatio) {
      height = static_cast<std::int32_t>(widthRatio * height_);
    } else if (widthRatio > heightRatio) {
      width = static_cast<std::int32_t>(heightRatio * width_);
    }
  }
  if (width == width_ && height == height_) return this;
  if (width <= 0 || height <= 0 || width_ <= 0 || height_ <= 0) return nullptr;
  if (scaledCache_ != nullptr && scaledCache_->width_ == width && scaledCache_->height_ == height) {
    return scaledCache_;
  }
  BufferedImage* target = scaledCache_ != nullptr ? scaledCache_ : obtain();
  if (target == nullptr) return nullptr;
  if (!filters::scale::scaleImage(*this, *target, filters::scale::BilinearFilter::shared(), width_,
                                  height_, width, height)) {
    if (target != scaledCache_) target->recycle();
    return nullptr;
  }
  scaledCache_ = target;
  return target;
}

void BufferedImage::drawImage(std::int32_t x, std::int32_t y, std::int32_t width,
                              std::int32_t height, IBufferedImage* sourceImage,
                              std::int32_t sourceX, std::int32_t sourceY, bool scaleFirst) {
  BufferedImage* source = concrete(sourceImage);
  if (scaleFirst) {
    source = source->getScaled(width, height, false);
    if (source == nullptr) return;
  }
  if (x < 0) sourceX -= x, x = 0;
  if (y < 0) sourceY -= y, y = 0;
  // A negative source origin moves the destination instead, so that only
  // source pixels are read.
  if (sourceX < 0) x -= sourceX, sourceX = 0;
  if (sourceY < 0) y -= sourceY, sourceY = 0;
  const std::int32_t copyWidth = std::max(0, std::min(source->width_ - sourceX, width_ - x));
  const std::int32_t copyHeight = std::max(0, std::min(source->height_ - sourceY, height_ - y));
  if (copyWidth == 0 || copyHeight == 0) return;

  if (!source->hasAlpha_) {
    for (std::int32_t i = 0; i < copyHeight; ++i) {
      std::memmove(getRow(y + i) + x * 4, source->getRow(sourceY + i) + sourceX * 4,
                   static_cast<std::size_t>(copyWidth) * 4);
    }
    return;
  }

  const bool destinationHasAlpha = hasAlpha_;
  for (std::int32_t i = 0; i < copyHeight; ++i) {
    const std::uint8_t* s = source->getRow(sourceY + i) + sourceX * 4;
    std::uint8_t* d = getRow(y + i) + x * 4;
    for (std::int32_t j = 0; j < copyWidth; ++j, s += 4, d += 4) {
      if (!destinationHasAlpha) d[3] = 255;
      const int sa = s[3];
      if (sa == 0) continue;
      const int da = d[3];
      if (sa == 255 || da == 0) {
        std::memcpy(d, s, 4);
        continue;
      }
      const int ra = sa + da - (((sa + 1) * da) >> 8);
      const int w = (sa * 256) / ra;
      // The shift is arithmetic: it rounds toward minus infinity.
      for (int c = 0; c < 3; ++c)
        d[c] = static_cast<std::uint8_t>((((s[c] - d[c]) * w) >> 8) + d[c]);
      d[3] = static_cast<std::uint8_t>(ra);
    }
  }
}

BufferedImage* BufferedImage::prepareTarget(IBufferedImage* target, std::int32_t width,
                                            std::int32_t height) {
  BufferedImage* result = concrete(target);
  if (result == nullptr) {
    result = create(width, height);
    if (result == nullptr) return nullptr;
  } else {
    result->setSize(0, 0);
    if (!result->reserve(width, height)) return nullptr;
    result->setSize(width, height);
  }
  result->hasAlpha_ = hasAlpha_;
  return result;
}

BufferedImage* BufferedImage::copyTo(IBufferedImage* target) {
  BufferedImage* result = concrete(target);
  if (result == nullptr) {
    result = create(width_, height_);
    if (result == nullptr) return nullptr;
  } else if (result == this) {
    return this;
  } else {
    result->allocate(width_, height_);
  }
  if (result->pixels_ != nullptr) {
    for (std::int32_t y = 0; y < height_; ++y) {
      std::memcpy(result->getRow(y), getRow(y), static_cast<std::size_t>(width_) * 4);
    }
  }
  result->hasAlpha_ = hasAlpha_;
  return result;
}

template <class Map>
BufferedImage* BufferedImage::remap(IBufferedImage* target, std::int32_t width, std::int32_t height,
                                    Map map) {
  // Turning a buffer into itself would read pixels already overwritten.
  BufferedImage* scratch = nullptr;
  if (target == this) {
    scratch = copyTo(nullptr);
    if (scratch == nullptr) return nullptr;
  }
  BufferedImage* source = scratch != nullptr ? scratch : this;
  BufferedImage* result = prepareTarget(target, width, height);
  if (result != nullptr) {
    for (std::int32_t y = 0; y < height; ++y) {
      auto* out = reinterpret_cast<std::uint32_t*>(result->getRow(y));
      for (std::int32_t x = 0; x < width; ++x) {
        std::int32_t sx, sy;
        map(x, y, sx, sy);
        std::memcpy(&out[x], source->getRow(sy) + sx * 4, 4);
      }
    }
  }
  if (scratch != nullptr) scratch->recycle();
  return result;
}

BufferedImage* BufferedImage::rotateRight(IBufferedImage* target) {
  const std::int32_t h = height_;
  return remap(target, height_, width_,
               [h](std::int32_t x, std::int32_t y, std::int32_t& sx, std::int32_t& sy) {
                 sx = y, sy = h - 1 - x;
               });
}

BufferedImage* BufferedImage::rotate180(IBufferedImage* target) {
  const std::int32_t w = width_, h = height_;
  return remap(target, width_, height_,
               [w, h](std::int32_t x, std::int32_t y, std::int32_t& sx, std::int32_t& sy) {
                 sx = w - 1 - x, sy = h - 1 - y;
               });
}

BufferedImage* BufferedImage::rotateLeft(IBufferedImage* target) {
  const std::int32_t w = width_;
  return remap(target, height_, width_,
               [w](std::int32_t x, std::int32_t y, std::int32_t& sx, std::int32_t& sy) {
                 sx = w - 1 - y, sy = x;
               });
}

BufferedImage* BufferedImage::mirror(IBufferedImage* target) {
  const std::int32_t w = width_;
  return remap(target, width_, height_,
               [w](std::int32_t x, std::int32_t y, std::int32_t& sx, std::int32_t& sy) {
                 sx = w - 1 - x, sy = y;
               });
}

BufferedImage* BufferedImage::flip(IBufferedImage* target) {
  const std::int32_t h = height_;
  return remap(target, width_, height_,
               [h](std::int32_t x, std::int32_t y, std::int32_t& sx, std::int32_t& sy) {
                 sx = x, sy = h - 1 - y;
               });
}

bool BufferedImage::findFilter(const char16_t* typeName, std::int32_t& index) const {
  const std::u16string_view wanted(typeName);
  for (std::int32_t i = 0; i < filters_.getLength(); ++i) {
    if (wanted == getFilter(i)->getTypeName()) {
      index = i;
      return true;
    }
  }
  return false;
}

void BufferedImage::dropFilteredCache() {
  thread::recycleAndNull(filteredCache_);
}

void BufferedImage::addFilter(IFilter* filter) {
  filters_.add(filter);
  dropFilteredCache();
}

void BufferedImage::insertFilter(std::int32_t index, IFilter* filter) {
  filters_.insert(index, filter);
  dropFilteredCache();
}

void BufferedImage::removeFilter(std::int32_t index) {
  recycleIfOwned(static_cast<IFilter*>(filters_.remove(index)));
  dropFilteredCache();
}

void BufferedImage::clearFilters() {
  for (void* filter : filters_)
    recycleIfOwned(static_cast<IFilter*>(filter));
  filters_.removeAllWithoutDisposing();
  dropFilteredCache();
}

void BufferedImage::detachFilters() {
  filters_.removeAllWithoutDisposing();
  dropFilteredCache();
}

bool BufferedImage::anyTransparentPixel() {
  for (std::int32_t y = 0; y < height_; ++y) {
    const std::uint8_t* p = getRow(y);
    for (std::int32_t x = 0; x < width_; ++x) {
      if (p[x * 4 + 3] != 255) return true;
    }
  }
  return false;
}

BufferedImage* BufferedImage::applyFilters() {
  dropFilteredCache();
  BufferedImage* result = nullptr;
  for (std::int32_t i = 0; i < filters_.getLength(); ++i) {
    BufferedImage* source = result != nullptr ? result : this;
    BufferedImage* target = obtain();
    if (target == nullptr) break;
    auto* produced = concrete(getFilter(i)->apply(source, target));
    if (produced != target) target->recycle();
    // A filter that fails, or hands back this very buffer, ends the chain.
    if (produced == nullptr || produced == this) break;
    if (result != nullptr && result != produced) result->recycle();
    result = produced;
  }
  if (result != nullptr) result->hasAlpha_ = result->anyTransparentPixel();
  filteredCache_ = result;
  return result;
}

BufferedImage* BufferedImage::getFiltered() {
  return filteredCache_ != nullptr ? filteredCache_ : applyFilters();
}

}  // namespace s::image::win
