#include "s/image/win/BufferedImageSet.h"

#include <algorithm>
#include <cstdlib>

#include "s/image/NearestEntry.h"

namespace s::image::win {

namespace {

std::int64_t areaOf(const IImage& image) {
  return static_cast<std::int64_t>(image.getWidth()) * image.getHeight();
}

}  // namespace

void BufferedImageSet::clear() {
  for (void* image : images_)
    static_cast<BufferedImage*>(image)->recycle();
  images_.clear();
  bitsPerPixel_.clear();
  delays_.clear();
  disposals_.clear();
  animated_ = false;
  loopCount_ = 1;
  width_ = height_ = primaryBitsPerPixel_ = primaryIndex_ = 0;
}

void BufferedImageSet::detachAll() {
  images_.removeAllWithoutDisposing();
  bitsPerPixel_.removeAllWithoutDisposing();
  delays_.removeAllWithoutDisposing();
  disposals_.removeAllWithoutDisposing();
  animated_ = false;
  width_ = height_ = primaryBitsPerPixel_ = primaryIndex_ = 0;
}

void BufferedImageSet::add(IBufferedImage* image, std::int32_t bitsPerPixel, std::int32_t delay,
                           std::int32_t disposal) {
  const std::int64_t area = areaOf(*image);
  const std::int64_t largest = static_cast<std::int64_t>(width_) * height_;
  if (largest < area || (bitsPerPixel > primaryBitsPerPixel_ && largest == area)) {
    width_ = image->getWidth();
    height_ = image->getHeight();
    primaryBitsPerPixel_ = bitsPerPixel;
    primaryIndex_ = getCount();
  }
  images_.add(image);
  bitsPerPixel_.add(bitsPerPixel);
  delays_.add(delay);
  disposals_.add(disposal);
}

std::int32_t BufferedImageSet::updateSize() {
  width_ = height_ = 0;
  std::int64_t largest = 0;
  for (std::int32_t i = 0; i < getCount(); ++i) {
    BufferedImage* entry = get(i);
    const BufferedImage* measured = entry->hasFilters() ? entry->getFiltered() : entry;
    if (measured == nullptr) measured = entry;
    if (areaOf(*measured) > largest) {
      largest = areaOf(*measured);
      width_ = measured->getWidth();
      height_ = measured->getHeight();
    }
  }
  return getCount();
}

std::int32_t BufferedImageSet::getDelay(std::int32_t index) const {
  return index >= 0 && index < getCount() ? delays_.get(index) : kMissingEntryValue;
}

std::int32_t BufferedImageSet::getDisposal(std::int32_t index) const {
  return index >= 0 && index < getCount() ? disposals_.get(index) : kMissingEntryValue;
}

BufferedImageSet* BufferedImageSet::emptyLikeThis() const {
  BufferedImageSet* result = obtain();
  if (result != nullptr) result->setAnimation(animated_, loopCount_);
  return result;
}

BufferedImageSet* BufferedImageSet::copy() {
  BufferedImageSet* result = emptyLikeThis();
  if (result == nullptr) return nullptr;
  for (std::int32_t i = 0; i < getCount(); ++i) {
    BufferedImage* entry = get(i)->copyTo(nullptr);
    if (entry == nullptr) break;
    result->add(entry, bitsPerPixel_.get(i), delays_.get(i), disposals_.get(i));
  }
  return result;
}

BufferedImageSet* BufferedImageSet::getScaled(std::int32_t width, std::int32_t height,
                                              bool keepAspect) {
  BufferedImageSet* result = emptyLikeThis();
  if (result == nullptr) return nullptr;
  for (std::int32_t i = 0; i < getCount(); ++i) {
    BufferedImage* scaled = get(i)->getScaled(width, height, keepAspect);
    BufferedImage* copied = scaled != nullptr ? scaled->copyTo(nullptr) : nullptr;
    if (copied == nullptr) break;
    result->add(copied, bitsPerPixel_.get(i), delays_.get(i), disposals_.get(i));
  }
  return result;
}

BufferedImageSet* BufferedImageSet::flatten() {
  BufferedImageSet* result = emptyLikeThis();
  if (result == nullptr) return nullptr;
  for (std::int32_t i = 0; i < getCount(); ++i) {
    BufferedImage* entry = get(i);
    BufferedImage* filtered = entry->hasFilters() ? entry->getFiltered() : nullptr;
    BufferedImage* copied = (filtered != nullptr ? filtered : entry)->copyTo(nullptr);
    if (copied == nullptr) break;
    result->add(copied, bitsPerPixel_.get(i), delays_.get(i), disposals_.get(i));
  }
  return result;
}

BufferedImageSet* BufferedImageSet::coalesce() {
  BufferedImageSet* result = obtain();
  if (result == nullptr) return nullptr;
  for (std::int32_t i = 0; i < getCount(); ++i) {
    BufferedImage* frame = get(i)->copyTo(nullptr);
    if (frame == nullptr) break;
    std::int32_t disposal = disposals_.get(i);
    if (i > 0 && disposal == 1) {
      BufferedImage* previous = result->get(result->getCount() - 1)->copyTo(nullptr);
      if (previous == nullptr) {
        frame->recycle();
        break;
      }
      previous->drawImage(0, 0, frame, 0, 0);
      frame->recycle();
      frame = previous;
      disposal = 2;
    }
    result->add(frame, bitsPerPixel_.get(i), delays_.get(i), disposal);
  }
  result->setAnimation(true, loopCount_);
  return result;
}

EntryShape BufferedImageSet::shapeOf(std::int32_t index) const {
  return {get(index)->getWidth(), get(index)->getHeight(), bitsPerPixel_.get(index)};
}

bool BufferedImageSet::find(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                            std::int32_t& index) const {
  return findExactEntry(
      getCount(), [this](std::int32_t i) { return shapeOf(i); }, width, height, bitsPerPixel,
      index);
}

bool BufferedImageSet::findNearestDepth(std::int32_t width, std::int32_t height,
                                        std::int32_t bitsPerPixel, std::int32_t& index) const {
  return findNearestEntry(
      Nearest::Depth, getCount(), [this](std::int32_t i) { return shapeOf(i); }, width, height,
      bitsPerPixel, index);
}

bool BufferedImageSet::findNearestSize(std::int32_t width, std::int32_t height,
                                       std::int32_t bitsPerPixel, std::int32_t& index) const {
  return findNearestEntry(
      Nearest::Size, getCount(), [this](std::int32_t i) { return shapeOf(i); }, width, height,
      bitsPerPixel, index);
}

BufferedImageSet* createImageSet(IBufferedImage* image) {
  BufferedImageSet* set = BufferedImageSet::obtain();
  if (set != nullptr) set->add(image, 32, 0, 0);
  return set;
}

}  // namespace s::image::win
