#pragma once

#include <cstdint>
#include <memory>

#include "s/image/filters/IFilter.h"
#include "s/thread/Pool.h"

namespace s::image::filters::colors {

// Shifts hue, saturation and brightness (value) of every pixel in an integer
// HSV model: hue in whole degrees 0..359, saturation and value in whole
// percent, truncating toward zero at every step. Because of the percent model
// a pixel changes slightly even with all shifts at zero; every output pixel
// of the program depends on this arithmetic, so it is followed exactly.
// Fully transparent pixels are copied unchanged.
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

// The per-pixel rule with its tables prepared once for a set of shifts.
class HsvShifter {
 public:
  HsvShifter(std::int32_t hueShift, std::int32_t saturationShift, std::int32_t valueShift);
  ~HsvShifter();
  HsvShifter(const HsvShifter&) = delete;
  HsvShifter& operator=(const HsvShifter&) = delete;
  // Converts `count` pixels (blue, green, red, alpha); `in` and `out` may be
  // the same memory. Remembers recent results, so one shifter serves one
  // thread at a time.
  void run(const std::uint8_t* in, std::uint8_t* out, std::int32_t count) const;

 private:
  struct Tables;
  struct Memo;
  std::unique_ptr<Tables> tables_;
  std::unique_ptr<Memo> memo_;
};

// The per-pixel rule on a run of pixels (blue, green, red, alpha); `in` and
// `out` may be the same memory.
void shiftPixels(const std::uint8_t* in, std::uint8_t* out, std::int32_t count,
                 std::int32_t hueShift, std::int32_t saturationShift, std::int32_t valueShift);

}  // namespace s::image::filters::colors
