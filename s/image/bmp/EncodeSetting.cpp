#include "s/image/bmp/EncodeSetting.h"

#include "s/image/bmp/win/Bitmap.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"

namespace s::image::bmp {

IEncodedImage* EncodeSetting::createFromSet(IBufferedImageSet* set) {
  if (set == nullptr || set->getCount() == 0) return nullptr;
  return createFromImage(set->getPrimary());
}

IEncodedImage* EncodeSetting::createFromImage(IBufferedImage* image) {
  if (image == nullptr) return nullptr;
  IBufferedImage* pixels = image->hasFilters() ? image->getFiltered() : image;
  if (pixels == nullptr) return nullptr;
  auto bitmap = thread::own(win::Bitmap::obtain());
  if (bitmap == nullptr ||
      !bitmap->fromImage(pixels, bpp, keepTransparency != 0, bgRed, bgGreen, bgBlue)) {
    return nullptr;
  }
  return bitmap.release();
}

}  // namespace s::image::bmp
