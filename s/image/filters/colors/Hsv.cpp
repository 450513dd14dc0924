#include "s/image/filters/colors/Hsv.h"

#include "s/image/win/BufferedImage.h"

namespace s::image::filters::colors {

IBufferedImage* Hsv::apply(IBufferedImage* source, IBufferedImage* target) {
  const std::int32_t width = source->getWidth();
  const std::int32_t height = source->getHeight();
  if (target == nullptr) {
    target = source->createImage(width, height);
    if (target == nullptr) return nullptr;
  } else if (target != source) {
    target->setSize(0, 0);
    if (!target->reserve(width, height)) return nullptr;
    target->setSize(width, height);
  }
  const HsvShifter shifter(hueShift, saturationShift, valueShift);
  for (std::int32_t y = 0; y < height; ++y) {
    shifter.run(source->getRow(y), target->getRow(y), width);
  }
  target->setHasAlpha(source->hasAlpha());
  return target;
}

}  // namespace s::image::filters::colors
