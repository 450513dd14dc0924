#pragma once

#include <cstdint>

#include "s/image/IEncodeSetting.h"
#include "s/thread/Pool.h"

namespace s::image::jpg {

// Parameters of a JPEG file to write.
class EncodeSetting final : public thread::PooledObject<EncodeSetting, IEncodeSetting> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_jpg_EncodeSetting";

  EncodeSetting() { clear(); }
  void clear() override {
    quality = 75;
    bgRed = bgGreen = bgBlue = 255;
  }

  // The primary picture of the set.
  IEncodedImage* createFromSet(IBufferedImageSet* set) override;
  // A new JPEG of the (filtered) image.
  IEncodedImage* createFromImage(IBufferedImage* image) override;

  // libjpeg quality, 0 to 100.
  std::int32_t quality = 75;
  // JPEG has no alpha: transparent pixels are composited over this colour.
  std::int32_t bgRed = 255;
  std::int32_t bgGreen = 255;
  std::int32_t bgBlue = 255;
};

}  // namespace s::image::jpg
