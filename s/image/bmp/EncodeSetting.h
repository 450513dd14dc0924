#pragma once

#include <cstdint>

#include "s/image/IEncodeSetting.h"
#include "s/thread/Pool.h"

namespace s::image::bmp {

// Parameters of a BMP file to write.
class EncodeSetting final : public thread::PooledObject<EncodeSetting, IEncodeSetting> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_bmp_EncodeSetting";

  EncodeSetting() { clear(); }
  void clear() override {
    keepTransparency = 1;
    bgRed = bgGreen = bgBlue = 255;
    bpp = 24;
  }

  // The primary picture of the set.
  IEncodedImage* createFromSet(IBufferedImageSet* set) override;
  // A new bitmap of the (filtered) image at bpp bits per pixel.
  IEncodedImage* createFromImage(IBufferedImage* image) override;

  // Keep alpha where the depth can hold it (32 bits).
  std::uint8_t keepTransparency = 1;
  // Where transparency is not kept, pixels are composited over this colour.
  std::int32_t bgRed = 255;
  std::int32_t bgGreen = 255;
  std::int32_t bgBlue = 255;
  std::int32_t bpp = 24;
};

}  // namespace s::image::bmp
