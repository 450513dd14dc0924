#pragma once

#include <cstdint>

#include "s/image/IEncodeSetting.h"
#include "s/thread/Pool.h"

namespace s::image::gif {

// Parameters of a GIF file to write.
class EncodeSetting final : public thread::PooledObject<EncodeSetting, IEncodeSetting> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_gif_EncodeSetting";

  EncodeSetting() { clear(); }
  void clear() override {
    keepTransparency = 1;
    bgRed = bgGreen = bgBlue = 255;
    bpp = 8;
  }

  // An animation of every (filtered) entry when the set is animated and has
  // more than one; otherwise a still GIF of the primary entry.
  IEncodedImage* createFromSet(IBufferedImageSet* set) override;
  // A single-frame GIF of the (filtered) image.
  IEncodedImage* createFromImage(IBufferedImage* image) override;

  // Write a transparent index for pixels that are (mostly) transparent.
  std::uint8_t keepTransparency = 1;
  // Where transparency is not kept, pixels are composited over this colour.
  std::int32_t bgRed = 255;
  std::int32_t bgGreen = 255;
  std::int32_t bgBlue = 255;
  // Bits per palette index: at most 2^bpp - 1 colours per frame.
  std::int32_t bpp = 8;
};

}  // namespace s::image::gif
