#include "s/image/gif/EncodeSetting.h"

#include "s/image/gif/win/Gif.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"

namespace s::image::gif {

IEncodedImage* EncodeSetting::createFromSet(IBufferedImageSet* set) {
  if (set == nullptr || set->getCount() == 0) return nullptr;
  if (set->getCount() <= 1 || !set->isAnimated()) return createFromImage(set->getPrimary());
  // Every entry's filters applied once, into a set of plain pictures.
  auto flattened = thread::own(set->flatten());
  if (flattened == nullptr || flattened->getCount() != set->getCount()) return nullptr;
  auto gif = thread::own(win::Gif::obtain());
  if (gif == nullptr ||
      !gif->fromSet(flattened.get(), bpp, keepTransparency != 0, bgRed, bgGreen, bgBlue)) {
    return nullptr;
  }
  return gif.release();
}

IEncodedImage* EncodeSetting::createFromImage(IBufferedImage* image) {
  if (image == nullptr) return nullptr;
  IBufferedImage* pixels = image->hasFilters() ? image->getFiltered() : image;
  if (pixels == nullptr) return nullptr;
  auto gif = thread::own(win::Gif::obtain());
  if (gif == nullptr || !gif->addFrame(pixels, bpp, keepTransparency != 0, bgRed, bgGreen, bgBlue,
                                       win::Gif::kAlphaThreshold)) {
    return nullptr;
  }
  return gif.release();
}

}  // namespace s::image::gif
