#include "s/image/win/BufferedImageSet.h"

#include <algorithm>
#include <cstdlib>

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

bool BufferedImageSet::find(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                            std::int32_t& index) const {
  for (std::int32_t i = 0; i < getCount(); ++i) {
    if (get(i)->getWidth() == width && get(i)->getHeight() == height &&
        bitsPerPixel_.get(i) == bitsPerPixel) {
      index = i;
      return true;
    }
  }
  index = 0;
  return false;
}

bool BufferedImageSet::findNearest(Nearest first, std::int32_t width, std::int32_t height,
                                   std::int32_t bitsPerPixel, std::int32_t& index) const {
  const std::int64_t wanted = static_cast<std::int64_t>(width) * height;
  std::int64_t bestDepth = -16777215;
  std::int64_t bestArea = -16777215;
  std::int32_t bestIndex = -1;
  for (std::int32_t i = 0; i < getCount(); ++i) {
    const BufferedImage* entry = get(i);
    const std::int32_t depth = bitsPerPixel_.get(i);
    if (entry->getWidth() == width && entry->getHeight() == height && depth == bitsPerPixel) {
      index = i;
      return true;
    }
    const std::int64_t area = areaOf(*entry);
    const std::int64_t depthGap = std::llabs(bitsPerPixel - depth);
    const std::int64_t bestDepthGap = std::llabs(bitsPerPixel - bestDepth);
    const std::int64_t areaGap = std::llabs(wanted - area);
    const std::int64_t bestAreaGap = std::llabs(wanted - bestArea);
    bool wins;
    if (first == Nearest::Depth) {
      wins = depthGap < bestDepthGap || (depthGap == bestDepthGap && areaGap < bestAreaGap);
    } else {
      wins = areaGap < bestAreaGap || (areaGap == bestAreaGap && depthGap < bestDepthGap);
    }
    if (wins) {
      bestDepth = depth;
      bestArea = area;
      bestIndex = i;
    }
  }
  index = bestIndex < 0 ? 0 : bestIndex;
  return bestIndex >= 0;
}

bool BufferedImageSet::findNearestDepth(std::int32_t width, std::int32_t height,
                                        std::int32_t bitsPerPixel, std::int32_t& index) const {
  return findNearest(Nearest::Depth, width, height, bitsPerPixel, index);
}

bool BufferedImageSet::findNearestSize(std::int32_t width, std::int32_t height,
                                       std::int32_t bitsPerPixel, std::int32_t& index) const {
  return findNearest(Nearest::Size, width, height, bitsPerPixel, index);
}

BufferedImageSet* createImageSet(IBufferedImage* image) {
  BufferedImageSet* set = BufferedImageSet::obtain();
  if (set != nullptr) set->add(image, 32, 0, 0);
  return set;
}

}  // namespace s::image::win
