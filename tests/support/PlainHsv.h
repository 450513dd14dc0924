#pragma once

// The colour-shift rule written out step by step, with real divisions in
// double precision and truncation toward zero, exactly as the filter's
// documentation states it. Tests and benchmarks compare the fast filter with
// it; it is never used by the program.

#include <algorithm>
#include <cstdint>

namespace tintery::test {

inline int wrapHue(int h) {
  if (h < 0) return h + 360 * (((-1 - h) / 360) + 1);
  if (h >= 360) return h % 360;
  return h;
}

// One pixel in memory order blue, green, red, alpha, changed in place.
inline void plainHsvPixel(std::uint8_t* pixel, int dh, int ds, int dv) {
  ds = std::clamp(ds, -100, 100);
  dv = std::clamp(dv, -100, 100);
  const int b = pixel[0], g = pixel[1], r = pixel[2], a = pixel[3];
  if (a == 0) return;
  const int max = std::max({r, g, b});
  const int min = std::min({r, g, b});
  const int delta = max - min;
  int h = 0, s = 0, v = 0;
  if (max != 0) {
    v = static_cast<int>(static_cast<double>(max) * 100 / 255);
    s = static_cast<int>(static_cast<double>(delta) * 100 / max);
    if (delta != 0) {
      if (r == max) {
        h = static_cast<int>(static_cast<double>(g - b) * 60 / delta);
      } else if (g == max) {
        h = static_cast<int>(static_cast<double>(b - r) * 60 / delta + 120);
      } else {
        h = static_cast<int>(static_cast<double>(r - g) * 60 / delta + 240);
      }
      h = wrapHue(h);
    }
  }
  h = wrapHue(h + dh);
  if (s != 0) {
    if (ds < 0) {
      s = static_cast<int>(static_cast<double>(s) * (ds + 100) / 100);
    } else {
      s = s + static_cast<int>(static_cast<double>(100 - s) * ds / 100);
    }
  }
  if (dv < 0) {
    v = static_cast<int>(static_cast<double>(v) * (dv + 100) / 100);
  } else {
    v = v + static_cast<int>(static_cast<double>(100 - v) * dv / 100);
  }
  const int value = static_cast<int>(static_cast<double>(v) * 255 / 100);
  int red, green, blue;
  if (s == 0) {
    red = green = blue = value;
  } else {
    const int m = static_cast<int>(static_cast<double>(100 - s) * value / 100);
    const int d = value - m;
    const auto f = [d](int k) { return static_cast<int>(static_cast<double>(k) * d / 60); };
    switch (h / 60) {
      case 0:
        red = value, green = m + f(h), blue = m;
        break;
      case 1:
        red = value - f(h - 60), green = value, blue = m;
        break;
      case 2:
        red = m, green = value, blue = m + f(h - 120);
        break;
      case 3:
        red = m, green = value - f(h - 180), blue = value;
        break;
      case 4:
        red = m + f(h - 240), green = m, blue = value;
        break;
      default:
        red = value, green = m, blue = value - f(h - 300);
        break;
    }
  }
  pixel[0] = static_cast<std::uint8_t>(blue);
  pixel[1] = static_cast<std::uint8_t>(green);
  pixel[2] = static_cast<std::uint8_t>(red);
}

}  // namespace tintery::test
