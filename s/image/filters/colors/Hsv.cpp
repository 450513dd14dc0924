#include "s/image/filters/colors/Hsv.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "s/image/win/BufferedImage.h"

namespace s::image::filters::colors {

// Pixels are read as little-endian words: 0xAARRGGBB.
static_assert(std::endian::native == std::endian::little);

// The rule in integer arithmetic. Every real division in it either has a
// non-negative numerator, so that integer division truncates like the real
// one, or is rewritten below to have one. A real quotient of two integers with
// a denominator of at most 255 is never within rounding distance of the next
// integer unless it is that integer, so the integer and the double results
// agree exactly; the test suite checks this over the whole colour cube.
//
// The steps that depend on one value are tables built once per shift: the
// output value byte from the largest channel and the shifted saturation from
// the pixel's saturation. Divisions by the largest channel and by delta are
// multiplications by a rounded-up reciprocal, exact for numerators below
// 2^16; divisions by 100 and 60 are left to the compiler, which turns them
// into multiplications as well.

namespace {

// floor(2^24 / n) + 1, so that (k * reciprocal[n]) >> 24 == k / n for every
// k below 2^16 and n in 1..255: the error k / 2^24 stays below 1 / 255.
struct Reciprocals {
  std::array<std::uint32_t, 256> of{};
  Reciprocals() {
    for (std::uint32_t n = 1; n < 256; ++n)
      of[n] = (1u << 24) / n + 1;
  }
};

const Reciprocals& reciprocals() {
  static const Reciprocals table;
  return table;
}

inline std::uint32_t divide(std::uint32_t numerator, std::uint32_t reciprocal) {
  return static_cast<std::uint32_t>((std::uint64_t{numerator} * reciprocal) >> 24);
}

// Which of (v, m, v rising, v falling) each channel takes in each 60-degree
// sector of the hue circle, in the order red, green, blue.
constexpr std::uint8_t kSectorPick[6][3] = {{0, 2, 1}, {3, 0, 1}, {1, 0, 2},
                                            {1, 3, 0}, {2, 1, 0}, {0, 1, 3}};

}  // namespace

struct HsvShifter::Tables {
  // Saturation percent after the shift (0 stays 0).
  std::array<std::uint8_t, 101> saturation{};
  // The output value byte v from a pixel's largest channel.
  std::array<std::uint8_t, 256> value{};
  // For each hue before the shift: the offset k into its 60-degree sector
  // after the shift, and for red, green and blue the bit position of the
  // byte they take from the packed (v, m, v rising, v falling).
  struct HueStep {
    std::uint8_t k, red, green, blue;
  };
  std::array<HueStep, 361> hue{};

  Tables(std::int32_t dh, std::int32_t ds, std::int32_t dv) {
    ds = std::clamp(ds, -100, 100);
    dv = std::clamp(dv, -100, 100);
    const std::int32_t turn = dh % 360;
    const int shift = turn < 0 ? turn + 360 : turn;
    for (int h = 0; h <= 360; ++h) {
      const int shifted = (h + shift) % 360;
      const std::uint8_t* pick = kSectorPick[shifted / 60];
      hue[h] = {static_cast<std::uint8_t>(shifted % 60), static_cast<std::uint8_t>(pick[0] * 8),
                static_cast<std::uint8_t>(pick[1] * 8), static_cast<std::uint8_t>(pick[2] * 8)};
    }
    for (int s = 1; s <= 100; ++s) {
      saturation[s] =
          static_cast<std::uint8_t>(ds < 0 ? s * (ds + 100) / 100 : s + (100 - s) * ds / 100);
    }
    for (int max = 0; max < 256; ++max) {
      int v = max * 100 / 255;
      v = dv < 0 ? v * (dv + 100) / 100 : v + (100 - v) * dv / 100;
      value[max] = static_cast<std::uint8_t>(v * 255 / 100);
    }
  }
};

// Results of recently seen pixels. Pictures repeat colours a great deal, so
// most pixels are found here. Every entry starts as pixel 0 (transparent
// black), whose result is itself, so the fresh table is already correct.
struct HsvShifter::Memo {
  static constexpr int kBits = 14;
  struct Entry {
    std::uint32_t pixel = 0;
    std::uint32_t result = 0;
  };
  std::array<Entry, 1 << kBits> entries{};
};

HsvShifter::HsvShifter(std::int32_t hueShift, std::int32_t saturationShift, std::int32_t valueShift)
    : tables_(std::make_unique<Tables>(hueShift, saturationShift, valueShift)),
      memo_(std::make_unique<Memo>()) {}

HsvShifter::~HsvShifter() = default;

void HsvShifter::run(const std::uint8_t* in, std::uint8_t* out, std::int32_t count) const {
  const std::uint32_t* reciprocal = reciprocals().of.data();
  const Tables& shift = *tables_;

  Memo& memo = *memo_;
  for (std::int32_t i = 0; i < count; ++i, in += 4, out += 4) {
    std::uint32_t pixel;
    std::memcpy(&pixel, in, 4);
    Memo::Entry& known = memo.entries[(pixel * 0x9E3779B1u) >> (32 - Memo::kBits)];
    if (known.pixel == pixel) {
      std::memcpy(out, &known.result, 4);
      continue;
    }
    const std::uint32_t b = pixel & 0xFF, g = (pixel >> 8) & 0xFF, r = (pixel >> 16) & 0xFF;
    std::uint32_t result = pixel;  // alpha 0: unchanged
    if ((pixel >> 24) != 0) {
      const std::uint32_t max = std::max(r, std::max(g, b));
      const std::uint32_t min = std::min(r, std::min(g, b));
      const std::uint32_t delta = max - min;
      const std::uint32_t v = shift.value[max];
      // delta is 0 whenever max is 0, and reciprocal[0] is 0.
      const std::uint32_t s = shift.saturation[divide(delta * 100, reciprocal[max])];
      std::uint32_t colour = v * 0x010101;  // grey
      if (s != 0) {
        // Hue in degrees. The green and blue cases add 120 and 240 to a
        // quotient that may be negative; adding 2 or 4 times delta to the
        // numerator instead keeps it non-negative and gives the same floor.
        // The red case truncates toward zero, so a quotient just below zero
        // is 0, not 359 (entry 360 of the hue table repeats entry 0).
        std::uint32_t h;
        if (r == max) {
          h = g >= b ? divide((g - b) * 60, reciprocal[delta])
                     : 360 - divide((b - g) * 60, reciprocal[delta]);
        } else if (g == max) {
          h = divide((b + 2 * delta - r) * 60, reciprocal[delta]);
        } else {
          h = divide((r + 4 * delta - g) * 60, reciprocal[delta]);
        }
        const Tables::HueStep step = shift.hue[h];
        const std::uint32_t m = (100 - s) * v / 100;
        const std::uint32_t f = step.k * (v - m) / 60;
        const std::uint32_t choices = v | m << 8 | (m + f) << 16 | (v - f) << 24;
        colour = ((choices >> step.blue) & 0xFF) | ((choices >> step.green) & 0xFF) << 8 |
                 ((choices >> step.red) & 0xFF) << 16;
      }
      result = colour | (pixel & 0xFF000000u);
    }
    std::memcpy(out, &result, 4);
    known = {pixel, result};
  }
}

void shiftPixels(const std::uint8_t* in, std::uint8_t* out, std::int32_t count,
                 std::int32_t hueShift, std::int32_t saturationShift, std::int32_t valueShift) {
  HsvShifter(hueShift, saturationShift, valueShift).run(in, out, count);
}

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
