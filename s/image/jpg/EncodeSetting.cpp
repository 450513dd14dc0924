#include "s/image/jpg/EncodeSetting.h"

#include "s/image/jpg/win/Jpeg.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"

namespace s::image::jpg {

IEncodedImage* EncodeSetting::createFromSet(IBufferedImageSet* set) {
  if (set == nullptr || set->getCount() == 0) return nullptr;
  return createFromImage(set->getPrimary());
}

IEncodedImage* EncodeSetting::createFromImage(IBufferedImage* image) {
  if (image == nullptr) return nullptr;
  IBufferedImage* pixels = image->hasFilters() ? image->getFiltered() : image;
  if (pixels == nullptr) return nullptr;
  auto jpeg = thread::own(win::Jpeg::obtain());
  if (jpeg == nullptr || !jpeg->setImage(pixels, quality, bgRed, bgGreen, bgBlue)) return nullptr;
  return jpeg.release();
}

}  // namespace s::image::jpg
