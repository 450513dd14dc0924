#pragma once

#include <cstdint>

#include "s/col/_array/ArrayP.h"
#include "s/col/_array/IntArrays.h"
#include "s/image/IBufferedImageSet.h"
#include "s/image/NearestEntry.h"
#include "s/image/win/BufferedImage.h"
#include "s/thread/Pool.h"

namespace s::image::win {

class BufferedImageSet final : public thread::PooledObject<BufferedImageSet, IBufferedImageSet> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_win_BufferedImageSet";
  // What getDelay and getDisposal answer for an index past the end.
  static constexpr std::int32_t kMissingEntryValue = 1000;

  BufferedImageSet() { clear(); }
  ~BufferedImageSet() override { clear(); }
  BufferedImageSet(const BufferedImageSet&) = delete;
  BufferedImageSet& operator=(const BufferedImageSet&) = delete;

  // Recycles every image and empties the set; loop count back to 1.
  void clear() override;

  std::int32_t getWidth() const override { return width_; }
  std::int32_t getHeight() const override { return height_; }
  std::int32_t getCount() const override { return images_.getLength(); }
  // Takes ownership of image. The primary entry is the largest by area, ties
  // going to the greater depth, further ties to the earliest entry.
  void add(IBufferedImage* image, std::int32_t bitsPerPixel, std::int32_t delay,
           std::int32_t disposal) override;
  void add(IBufferedImage* image) { add(image, 32, 0, 0); }
  std::int32_t updateSize() override;
  bool isAnimated() const override { return animated_; }
  std::uint16_t getLoopCount() const override { return loopCount_; }
  void setAnimation(bool animated, std::uint16_t loopCount) override {
    animated_ = animated;
    loopCount_ = loopCount;
  }
  std::int32_t getDelay(std::int32_t index) const override;
  std::int32_t getDisposal(std::int32_t index) const override;
  BufferedImageSet* copy() override;
  // Full frames: a frame that is drawn over its predecessor (disposal 1)
  // becomes the predecessor with the frame composited on top (disposal 2).
  BufferedImageSet* coalesce() override;
  // Every entry replaced by a copy of its getScaled result.
  BufferedImageSet* getScaled(std::int32_t width, std::int32_t height, bool keepAspect) override;
  // Every entry replaced by its filtered result.
  BufferedImageSet* flatten() override;
  std::int32_t getPrimaryIndex() const override { return primaryIndex_; }
  BufferedImage* getPrimary() const override { return get(primaryIndex_); }
  bool find(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
            std::int32_t& index) const override;
  // Closest depth first, then closest area.
  bool findNearestDepth(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                        std::int32_t& index) const override;
  // Closest area first, then closest depth.
  bool findNearestSize(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                       std::int32_t& index) const override;
  // Empties the set without recycling the images (the caller keeps them).
  void detachAll() override;
  BufferedImage* get(std::int32_t index) const override {
    return static_cast<BufferedImage*>(images_.get(index));
  }
  std::int32_t getBitsPerPixel(std::int32_t index) const override {
    return bitsPerPixel_.get(index);
  }
  std::int32_t getPrimaryBitsPerPixel() const { return primaryBitsPerPixel_; }

 private:
  EntryShape shapeOf(std::int32_t index) const;
  // Empty set with this one's animation values.
  BufferedImageSet* emptyLikeThis() const;

  col::_array::ArrayP images_;
  col::_array::ArrayS32 bitsPerPixel_;
  col::_array::ArrayS32 delays_;
  col::_array::ArrayS32 disposals_;
  bool animated_ = false;
  std::uint16_t loopCount_ = 1;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::int32_t primaryBitsPerPixel_ = 0;
  std::int32_t primaryIndex_ = 0;
};

// A new set holding image as its only entry (32 bits, no delay).
BufferedImageSet* createImageSet(IBufferedImage* image);

}  // namespace s::image::win
