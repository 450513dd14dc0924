#include "s/image/filters/colors/Hsv.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "s/image/win/BufferedImage.h"

namespace s::image::filters::colors {

// The rule, step by step, in integer arithmetic. Every division in it either
// has a non-negative numerator (so integer division truncates like the real
// one) or is rewritten below to have one. A real quotient of two integers
// with a denominator of at most 255 is never within rounding distance of the
// next integer unless it is that integer, so integer and double results agree
// exactly; the test suite checks this over the whole colour cube.
//
// Tables hold the steps that depend on one or two byte-sized values:
//   saturation from (max, delta), the shifted value v from max, the sector
//   and its offset from the hue, m from (S, v), and f(k) = k * d / 60.
// The hue needs one division by delta; it is a multiplication by a rounded-up
// reciprocal, exact for the numerators that occur (below 2^16).

namespace {

struct StaticTables {
  // Saturation percent of a pixel: trunc(delta * 100 / max), indexed
  // [max * 256 + delta].
  std::array<std::uint8_t, 256 * 256> saturation{};
  // trunc((100 - S) * v / 100), indexed [S * 256 + v].
  std::array<std::uint8_t, 101 * 256> m{};
  // trunc(k * d / 60) for k in 0..59, indexed [k * 256 + d].
  std::array<std::uint8_t, 60 * 256> f{};
  // floor(2^24 / delta) + 1: n * reciprocal >> 24 == n / delta for n < 2^16.
  std::array<std::uint32_t, 256> reciprocal{};

  StaticTables() {
    for (int max = 1; max < 256; ++max) {
      for (int delta = 0; delta <= max; ++delta)
        saturation[max * 256 + delta] = delta * 100 / max;
    }
    for (int s = 0; s <= 100; ++s) {
      for (int v = 0; v < 256; ++v)
        m[s * 256 + v] = (100 - s) * v / 100;
    }
    for (int k = 0; k < 60; ++k) {
      for (int d = 0; d < 256; ++d)
        f[k * 256 + d] = k * d / 60;
    }
    for (int delta = 1; delta < 256; ++delta)
      reciprocal[delta] = (1u << 24) / delta + 1;
  }
};

const StaticTables& staticTables() {
  static const StaticTables tables;
  return tables;
}

// Tables that depend on the shifts.
struct ShiftTables {
  // Saturation percent after the shift (0 stays 0).
  std::array<std::uint8_t, 101> saturation{};
  // The output value byte v from a pixel's max channel.
  std::array<std::uint8_t, 256> value{};
  std::int32_t hue = 0;  // 0..359

  ShiftTables(std::int32_t dh, std::int32_t ds, std::int32_t dv) {
    ds = std::clamp(ds, -100, 100);
    dv = std::clamp(dv, -100, 100);
    hue = dh % 360;
    if (hue < 0) hue += 360;
    saturation[0] = 0;
    for (int s = 1; s <= 100; ++s) {
      saturation[s] = ds < 0 ? s * (ds + 100) / 100 : s + (100 - s) * ds / 100;
    }
    for (int max = 0; max < 256; ++max) {
      int v = max * 100 / 255;
      v = dv < 0 ? v * (dv + 100) / 100 : v + (100 - v) * dv / 100;
      value[max] = static_cast<std::uint8_t>(v * 255 / 100);
    }
  }
};

inline int divideByDelta(const StaticTables& t, int numerator, int delta) {
  return static_cast<int>((static_cast<std::uint64_t>(numerator) * t.reciprocal[delta]) >> 24);
}

}  // namespace

struct HsvShifter::Tables : ShiftTables {
  using ShiftTables::ShiftTables;
};

HsvShifter::HsvShifter(std::int32_t hueShift, std::int32_t saturationShift, std::int32_t valueShift)
    : tables_(std::make_unique<Tables>(hueShift, saturationShift, valueShift)) {}

HsvShifter::~HsvShifter() = default;

void shiftPixels(const std::uint8_t* in, std::uint8_t* out, std::int32_t count,
                 std::int32_t hueShift, std::int32_t saturationShift, std::int32_t valueShift) {
  HsvShifter(hueShift, saturationShift, valueShift).run(in, out, count);
}

void HsvShifter::run(const std::uint8_t* in, std::uint8_t* out, std::int32_t count) const {
  const StaticTables& t = staticTables();
  const ShiftTables& shift = *tables_;

  // Neighbouring pixels are often equal; the last result is reused for them.
  std::uint32_t lastIn = 0;
  std::uint32_t lastOut = 0;
  bool haveLast = false;

  for (std::int32_t i = 0; i < count; ++i, in += 4, out += 4) {
    std::uint32_t pixel;
    std::memcpy(&pixel, in, 4);
    if (haveLast && pixel == lastIn) {
      std::memcpy(out, &lastOut, 4);
      continue;
    }
    const int b = in[0], g = in[1], r = in[2], a = in[3];
    std::uint8_t result[4];
    if (a == 0) {
      std::memcpy(result, in, 4);
    } else {
      const int max = std::max(r, std::max(g, b));
      const int min = std::min(r, std::min(g, b));
      const int delta = max - min;
      const int v = shift.value[max];
      const int s = shift.saturation[t.saturation[max * 256 + delta]];
      if (s == 0) {
        result[0] = result[1] = result[2] = static_cast<std::uint8_t>(v);
      } else {
        // Hue in degrees. The green and blue cases add 120 and 240 to a
        // quotient that may be negative; adding 2 or 4 times delta to the
        // numerator instead keeps it non-negative and gives the same floor.
        int h;
        if (r == max) {
          const int diff = g - b;
          h = diff >= 0 ? divideByDelta(t, diff * 60, delta) : -divideByDelta(t, -diff * 60, delta);
          if (h < 0) h += 360;
        } else if (g == max) {
          h = divideByDelta(t, (b - r + 2 * delta) * 60, delta);
        } else {
          h = divideByDelta(t, (r - g + 4 * delta) * 60, delta);
        }
        h += shift.hue;
        if (h >= 360) h -= 360;

        const int m = t.m[s * 256 + v];
        const int d = v - m;
        const int sector = h / 60;
        const int k = h - sector * 60;
        int red, green, blue;
        switch (sector) {
          case 0:
            red = v, green = m + t.f[k * 256 + d], blue = m;
            break;
          case 1:
            red = v - t.f[k * 256 + d], green = v, blue = m;
            break;
          case 2:
            red = m, green = v, blue = m + t.f[k * 256 + d];
            break;
          case 3:
            red = m, green = v - t.f[k * 256 + d], blue = v;
            break;
          case 4:
            red = m + t.f[k * 256 + d], green = m, blue = v;
            break;
          default:
            red = v, green = m, blue = v - t.f[k * 256 + d];
            break;
        }
        result[0] = static_cast<std::uint8_t>(blue);
        result[1] = static_cast<std::uint8_t>(green);
        result[2] = static_cast<std::uint8_t>(red);
      }
      result[3] = static_cast<std::uint8_t>(a);
    }
    std::memcpy(out, result, 4);
    lastIn = pixel;
    std::memcpy(&lastOut, result, 4);
    haveLast = true;
  }
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
  for (std::int32_t y = 0; y < height; ++y)
    shifter.run(source->getRow(y), target->getRow(y), width);
  target->setHasAlpha(source->hasAlpha());
  return target;
}

}  // namespace s::image::filters::colors
