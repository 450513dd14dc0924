#pragma once

#include <cstdint>

#include "s/image/IEncodeSetting.h"
#include "s/thread/Pool.h"

namespace s::image::png {

// Parameters of a PNG file to write.
class EncodeSetting final : public thread::PooledObject<EncodeSetting, IEncodeSetting> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_png_EncodeSetting";

  EncodeSetting() { clear(); }
  void clear() override {
    keepTransparency = 1;
    withInterlace = 1;
    bgRed = bgGreen = bgBlue = 255;
  }

  // The primary picture of the set.
  IEncodedImage* createFromSet(IBufferedImageSet* set) override;
  // A new PNG of the (filtered) image.
  IEncodedImage* createFromImage(IBufferedImage* image) override;

  // Keep the alpha channel.
  std::uint8_t keepTransparency = 1;
  // Write an Adam7-interlaced file.
  std::uint8_t withInterlace = 1;
  // Where transparency is not kept, pixels are composited over this colour.
  std::int32_t bgRed = 255;
  std::int32_t bgGreen = 255;
  std::int32_t bgBlue = 255;
};

}  // namespace s::image::png
