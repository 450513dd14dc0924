#include "s/image/filters/colors/HsvShifter.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace s::image::filters::colors {

// Pixels are read as little-endian words: 0xAARRGGBB.
static_assert(std::endian::native == std::endian::little);

// The rule in integer arithmetic. Every real division in it either has a
// non-negative numerator, so that integer division truncates like the real
// one, or is rewritten below to have one. A real quotient of two integers with
// a denominator of at most 255 is never within rounding distance of the next
// integer unless it is that integer, so the integer and the double results
// agree exactly; the test suite checks this over the whole colour cube.

namespace {

// Which of (v, m, v rising, v falling) each channel takes in each 60-degree
// sector of the hue circle, in the order red, green, blue.
constexpr std::uint8_t kSectorPick[6][3] = {{0, 2, 1}, {3, 0, 1}, {1, 0, 2},
                                            {1, 3, 0}, {2, 1, 0}, {0, 1, 3}};

}  // namespace

HsvShifter::HsvShifter(std::int32_t dh, std::int32_t ds, std::int32_t dv) {
  ds = std::clamp(ds, -100, 100);
  dv = std::clamp(dv, -100, 100);
  const std::int32_t turn = dh % 360;
  const std::uint32_t shift = static_cast<std::uint32_t>(turn < 0 ? turn + 360 : turn);
  for (std::uint32_t h = 0; h <= 360; ++h) {
    const std::uint32_t shifted = (h + shift) % 360;
    const std::uint8_t* pick = kSectorPick[shifted / 60];
    tables_.hue[h] =
        shifted % 60 | (pick[0] * 8u) << 8 | (pick[1] * 8u) << 16 | (pick[2] * 8u) << 24;
  }
  for (int s = 1; s <= 100; ++s) {
    tables_.saturation[s] =
        static_cast<std::uint32_t>(ds < 0 ? s * (ds + 100) / 100 : s + (100 - s) * ds / 100);
  }
  for (int max = 0; max < 256; ++max) {
    int v = max * 100 / 255;
    v = dv < 0 ? v * (dv + 100) / 100 : v + (100 - v) * dv / 100;
    tables_.value[max] = static_cast<std::uint32_t>(v * 255 / 100);
  }
}

void HsvShifter::run(const std::uint8_t* in, std::uint8_t* out, std::int32_t count) const {
  const std::int32_t done = shiftPixelsWide(tables_, in, out, count);
  runPortable(in + done * 4, out + done * 4, count - done);
}

void HsvShifter::runPortable(const std::uint8_t* in, std::uint8_t* out, std::int32_t count) const {
  const Tables& t = tables_;
  for (std::int32_t i = 0; i < count; ++i, in += 4, out += 4) {
    std::uint32_t pixel;
    std::memcpy(&pixel, in, 4);
    std::uint32_t result = pixel;  // alpha 0: unchanged
    if ((pixel >> 24) != 0) {
      const std::uint32_t b = pixel & 0xFF, g = (pixel >> 8) & 0xFF, r = (pixel >> 16) & 0xFF;
      const std::uint32_t max = std::max(r, std::max(g, b));
      const std::uint32_t min = std::min(r, std::min(g, b));
      const std::uint32_t delta = max - min;
      const std::uint32_t v = t.value[max];
      const std::uint32_t s = max == 0 ? 0 : t.saturation[delta * 100 / max];
      std::uint32_t colour = v * 0x010101;  // grey
      if (s != 0) {
        // Hue in degrees. The green and blue cases add 120 and 240 to a
        // quotient that may be negative; adding 2 or 4 times delta to the
        // numerator instead keeps it non-negative and gives the same floor.
        // The red case truncates toward zero, so a quotient just below zero
        // is 0, not 359 (entry 360 of the hue table repeats entry 0).
        std::uint32_t h;
        if (r == max) {
          h = g >= b ? (g - b) * 60 / delta : 360 - (b - g) * 60 / delta;
        } else if (g == max) {
          h = (b + 2 * delta - r) * 60 / delta;
        } else {
          h = (r + 4 * delta - g) * 60 / delta;
        }
        const std::uint32_t step = t.hue[h];
        const std::uint32_t m = (100 - s) * v / 100;
        const std::uint32_t f = (step & 0xFF) * (v - m) / 60;
        const std::uint32_t choices = v | m << 8 | (m + f) << 16 | (v - f) << 24;
        colour = ((choices >> (step >> 24)) & 0xFF) |
                 ((choices >> ((step >> 16) & 0xFF)) & 0xFF) << 8 |
                 ((choices >> ((step >> 8) & 0xFF)) & 0xFF) << 16;
      }
      result = colour | (pixel & 0xFF000000u);
    }
    std::memcpy(out, &result, 4);
  }
}

}  // namespace s::image::filters::colors
