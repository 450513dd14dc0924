#pragma once

#include <cstdint>

#include "s/image/filters/IFilter.h"
#include "s/image/filters/colors/HsvShifter.h"
#include "s/thread/Pool.h"

namespace s::image::filters::colors {

// The filter that shifts hue, saturation and brightness (value) of every
// pixel, by the rule of HsvShifter. Because of the rule's percent model a
// pixel changes slightly even with all shifts at zero.
class Hsv final : public thread::PooledObject<Hsv, IFilter> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_filters_colors_Hsv";
  static constexpr char16_t TYPE_NAME[] = u"HSV";

  Hsv() { clear(); }

  void clear() override {
    ownedByImage = true;
    hueShift = saturationShift = valueShift = 0;
  }

  const char16_t* getTypeName() const override { return TYPE_NAME; }
  bool isOwnedByImage() const override { return ownedByImage; }
  void setOwnedByImage(bool owned) override { ownedByImage = owned; }
  // Source and target may be the same buffer. A null target gets a new
  // buffer of the source's size; a given one is resized within its capacity
  // when it is large enough.
  IBufferedImage* apply(IBufferedImage* source, IBufferedImage* target) override;

  bool ownedByImage = true;
  // Degrees; any value, taken modulo 360.
  std::int32_t hueShift = 0;
  // Percent; bounded to -100..100 when applied (beyond that the colour
  // arithmetic would leave the byte range).
  std::int32_t saturationShift = 0;
  // Percent; bounded to -100..100 like the saturation shift.
  std::int32_t valueShift = 0;
};

}  // namespace s::image::filters::colors
