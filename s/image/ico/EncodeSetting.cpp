#include "s/image/ico/EncodeSetting.h"

#include "s/image/ico/win/Icon.h"
#include "s/image/ico/win/IconImage.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"

namespace s::image::ico {

using image::win::BufferedImage;

BufferedImage* EncodeSetting::pictureAt(IBufferedImage* image, std::int32_t size,
                                        thread::Owned<BufferedImage>& owned) {
  auto* pixels = static_cast<BufferedImage*>(image->hasFilters() ? image->getFiltered() : image);
  if (pixels == nullptr || size <= 0) return nullptr;
  BufferedImage* scaled = pixels->getScaled(size, size, keepRatio != 0);
  if (scaled == nullptr) return nullptr;
  if (scaled->getWidth() == size && scaled->getHeight() == size) return scaled;
  // Proportions kept: centre the picture on a transparent square.
  owned = thread::own(BufferedImage::create(size, size));
  if (owned == nullptr) return nullptr;
  owned->setHasAlpha(true);
  owned->drawImage((size - scaled->getWidth()) / 2, (size - scaled->getHeight()) / 2, scaled, 0, 0);
  return owned.get();
}

IEncodedImage* EncodeSetting::createFromSet(IBufferedImageSet* set) {
  if (set == nullptr || set->getCount() == 0) return nullptr;
  if (layout.getLength() != set->getCount()) return createFromImage(set->getPrimary());
  auto icon = thread::own(win::Icon::obtain());
  if (icon == nullptr) return nullptr;
  for (std::int32_t k = 0; k < set->getCount(); ++k) {
    const std::int32_t size = layout.get(k) >> 16;
    const std::int32_t depth = layout.get(k) & 0xFFFF;
    thread::Owned<BufferedImage> centred;
    BufferedImage* picture = pictureAt(set->get(k), size, centred);
    auto entry = thread::own(win::IconImage::obtain());
    if (picture == nullptr || entry == nullptr ||
        !entry->setImage(picture, depth, keepTransparency != 0, bgRed, bgGreen, bgBlue)) {
      return nullptr;
    }
    icon->add(entry.release());
  }
  return icon.release();
}

IEncodedImage* EncodeSetting::createFromImage(IBufferedImage* image) {
  if (image == nullptr || sizes.isEmpty() || bitDepths.isEmpty()) return nullptr;
  auto icon = thread::own(win::Icon::obtain());
  if (icon == nullptr) return nullptr;
  for (std::int32_t size : sizes) {
    thread::Owned<BufferedImage> centred;
    BufferedImage* picture = pictureAt(image, size, centred);
    if (picture == nullptr) return nullptr;
    const std::int32_t onlyDepth = 32;
    const std::int32_t* depths = size > 255 ? &onlyDepth : bitDepths.begin();
    const std::int32_t depthCount = size > 255 ? 1 : bitDepths.getLength();
    for (std::int32_t d = 0; d < depthCount; ++d) {
      auto entry = thread::own(win::IconImage::obtain());
      if (entry == nullptr ||
          !entry->setImage(picture, depths[d], keepTransparency != 0, bgRed, bgGreen, bgBlue)) {
        return nullptr;
      }
      icon->add(entry.release());
    }
  }
  return icon.release();
}

}  // namespace s::image::ico
