#include "s/image/png/EncodeSetting.h"

#include "s/image/png/win/Png.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"

namespace s::image::png {

IEncodedImage* EncodeSetting::createFromSet(IBufferedImageSet* set) {
  if (set == nullptr || set->getCount() == 0) return nullptr;
  return createFromImage(set->getPrimary());
}

IEncodedImage* EncodeSetting::createFromImage(IBufferedImage* image) {
  if (image == nullptr) return nullptr;
  IBufferedImage* pixels = image->hasFilters() ? image->getFiltered() : image;
  if (pixels == nullptr) return nullptr;
  auto png = thread::own(win::Png::obtain());
  if (png == nullptr ||
      !png->setImage(pixels, withInterlace, keepTransparency, bgRed, bgGreen, bgBlue))
    return nullptr;
  return png.release();
}

}  // namespace s::image::png
