#pragma once

#include <cstdint>

#include "s/col/_array/IntArrays.h"
#include "s/image/IEncodeSetting.h"
#include "s/thread/Pool.h"

namespace s::image::win {
class BufferedImage;
}

namespace s::image::ico {

// Parameters of an icon file to write.
class EncodeSetting final : public thread::PooledObject<EncodeSetting, IEncodeSetting> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_ico_EncodeSetting";

  EncodeSetting() { clear(); }
  void clear() override {
    keepTransparency = 1;
    bgRed = bgGreen = bgBlue = 255;
    keepRatio = 1;
    sizes.removeAllWithoutDisposing();
    bitDepths.removeAllWithoutDisposing();
    layout.removeAllWithoutDisposing();
  }

  // With a layout entry per picture of the set: one icon entry per picture,
  // of that entry's size and depth; otherwise createFromImage of the primary.
  IEncodedImage* createFromSet(IBufferedImageSet* set) override;
  // One entry per size and depth (one 32-bit entry for sizes above 255);
  // nothing when either list is empty.
  IEncodedImage* createFromImage(IBufferedImage* image) override;

  std::uint8_t keepTransparency = 1;
  std::int32_t bgRed = 255;
  std::int32_t bgGreen = 255;
  std::int32_t bgBlue = 255;
  // Keep the width/height ratio when scaling to an icon size.
  std::uint8_t keepRatio = 1;
  // Edge lengths, and the depths to write for each (4, 8, 32 …).
  col::_array::ArrayS32 sizes;
  col::_array::ArrayS32 bitDepths;
  // One entry per picture of a set: edge length << 16 | depth.
  col::_array::ArrayS32 layout;

 private:
  // The picture brought to size x size (centred on transparency when its
  // proportions were kept), or null. `owned` receives a buffer made here.
  image::win::BufferedImage* pictureAt(IBufferedImage* image, std::int32_t size,
                                       thread::Owned<image::win::BufferedImage>& owned);
};

}  // namespace s::image::ico
