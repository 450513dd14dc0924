#pragma once

#include <cstdint>

#include "s/image/IImage.h"
#include "s/thread/IPoolable.h"

namespace s::image {

class IBufferedImage;

// The pictures of one file (GIF frames, icon sizes) with per-entry depth,
// delay (milliseconds) and disposal, the size of the largest entry and the
// primary entry.
class IBufferedImageSet : public IImage, public thread::IPoolable {
 public:
  virtual std::int32_t getCount() const = 0;
  virtual void add(IBufferedImage* image, std::int32_t bitsPerPixel, std::int32_t delay,
                   std::int32_t disposal) = 0;
  virtual std::int32_t updateSize() = 0;
  virtual bool isAnimated() const = 0;
  virtual std::uint16_t getLoopCount() const = 0;
  virtual void setAnimation(bool animated, std::uint16_t loopCount) = 0;
  virtual std::int32_t getDelay(std::int32_t index) const = 0;
  virtual std::int32_t getDisposal(std::int32_t index) const = 0;
  virtual IBufferedImageSet* copy() = 0;
  virtual IBufferedImageSet* coalesce() = 0;
  virtual IBufferedImageSet* getScaled(std::int32_t width, std::int32_t height,
                                       bool keepAspect) = 0;
  virtual IBufferedImageSet* flatten() = 0;
  virtual std::int32_t getPrimaryIndex() const = 0;
  virtual IBufferedImage* getPrimary() const = 0;
  virtual bool find(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                    std::int32_t& index) const = 0;
  virtual bool findNearestDepth(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                                std::int32_t& index) const = 0;
  virtual bool findNearestSize(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                               std::int32_t& index) const = 0;
  virtual void detachAll() = 0;
  virtual IBufferedImage* get(std::int32_t index) const = 0;
  virtual std::int32_t getBitsPerPixel(std::int32_t index) const = 0;
};

}  // namespace s::image
