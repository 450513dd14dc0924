#pragma once

#include <cstdint>

#include "s/image/IEncodedImage.h"

namespace s::image::bmp {
class IBitmap;
}

namespace s::image::gif {

// A GIF file, still or animated: frames of one-byte palette indices, each an
// 8-bit bitmap with its own 256-entry colour table, plus a transparent
// index, a delay, a disposal method and a position on the logical screen per
// frame.
class IGif : public IEncodedImage {
 public:
  // Drops every frame and makes one new frame bitmap of width x height at
  // bitCount bits (GIF frames hold one byte per pixel: only 8 is accepted),
  // zero-filled, at (0, 0), without transparency, delay or disposal. False
  // (and no frame) when the size is not acceptable or memory cannot be had.
  virtual bool createBitmap(std::int32_t width, std::int32_t height, std::int32_t bitCount) = 0;
  // Those of frame 0 (0 or false without frames).
  virtual std::int32_t getBitCount() const = 0;
  virtual std::int64_t getStride() const = 0;
  virtual bool isDirect32() const = 0;
  virtual bool hasColorTable() const = 0;
  virtual std::int32_t getColorCount() const = 0;
  virtual std::int32_t getColorTableSize() const = 0;
  // Some frame has a transparent index.
  virtual bool hasTransparency() const = 0;
  // Appends one frame made from image: quantized to at most 2^bitCount - 1
  // colours (bitCount 1..8; anything else counts as 8), the index
  // 2^bitCount - 1 left for transparency. With keepTransparency, pixels whose
  // alpha is below alphaThreshold become that transparent index; without,
  // the picture is composited over the opaque colour (red, green, blue).
  virtual bool addFrame(IBufferedImage* image, std::int32_t bitCount, bool keepTransparency,
                        std::int32_t red, std::int32_t green, std::int32_t blue,
                        std::int32_t alphaThreshold) = 0;
  // Builds every frame from a set: an animated set of several entries
  // becomes an animation whose later frames carry only the pixels that
  // change; otherwise the primary entry becomes the one frame.
  virtual bool fromSet(IBufferedImageSet* set, std::int32_t bitCount, bool keepTransparency,
                       std::int32_t red, std::int32_t green, std::int32_t blue) = 0;

  // Frame i (0 <= i < getImageCount()): its bitmap, its transparent index
  // (-1 for none), delay in milliseconds, disposal method (0..7 as in the
  // file) and position on the logical screen.
  virtual bmp::IBitmap* getFrame(std::int32_t index) = 0;
  virtual std::int32_t getTransparentIndex(std::int32_t index) const = 0;
  virtual std::int32_t getDelay(std::int32_t index) const = 0;
  virtual std::int32_t getDisposal(std::int32_t index) const = 0;
  virtual std::int32_t getFrameLeft(std::int32_t index) const = 0;
  virtual std::int32_t getFrameTop(std::int32_t index) const = 0;
  // The size of the picture the frames are shown on: the logical screen, or
  // frame 0's size when the screen is too small to hold frame 0.
  virtual std::int32_t getScreenWidth() const = 0;
  virtual std::int32_t getScreenHeight() const = 0;
  // How often an animation repeats (0: for ever), from its loop extension.
  virtual std::uint16_t getLoopCount() const = 0;
};

}  // namespace s::image::gif
