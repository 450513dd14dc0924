#pragma once

#include <array>
#include <cstdint>

namespace s::image::filters::colors {

// The colour-shift rule with its tables prepared once for a set of shifts.
//
// The rule works in an integer HSV model: hue in whole degrees 0..359,
// saturation and value in whole percent, truncating toward zero at every
// step; fully transparent pixels are copied unchanged. Every output pixel of
// the program depends on this arithmetic, so it is followed exactly.
class HsvShifter {
 public:
  // Saturation and value shifts are bounded to -100..100 (beyond that the
  // colour arithmetic would leave the byte range); the hue shift is taken
  // modulo 360.
  HsvShifter(std::int32_t hueShift, std::int32_t saturationShift, std::int32_t valueShift);

  // Converts `count` pixels (blue, green, red, alpha); `in` and `out` may be
  // the same memory. Uses the processor's vector unit where it has one.
  void run(const std::uint8_t* in, std::uint8_t* out, std::int32_t count) const;
  // The same without the vector unit.
  void runPortable(const std::uint8_t* in, std::uint8_t* out, std::int32_t count) const;

  // Tables that depend on the shifts; 32-bit entries so that vector code can
  // gather them.
  struct Tables {
    // The output value byte v from a pixel's largest channel.
    std::array<std::uint32_t, 256> value{};
    // Saturation percent after the shift (0 stays 0).
    std::array<std::uint32_t, 101> saturation{};
    // For each hue before the shift: k, the offset into its 60-degree sector
    // after the shift (bits 0-7), and for red, green and blue (bits 8-15,
    // 16-23, 24-31) the bit position of the byte they take from the packed
    // (v, m, v rising, v falling). Entry 360 repeats entry 0.
    std::array<std::uint32_t, 361> hue{};
  };

 private:
  Tables tables_;
};

// Vector kernel: converts the largest multiple of 8 pixels not above count
// and returns how many it converted; 0 where the processor lacks the unit.
std::int32_t shiftPixelsWide(const HsvShifter::Tables& tables, const std::uint8_t* in,
                             std::uint8_t* out, std::int32_t count);

}  // namespace s::image::filters::colors
