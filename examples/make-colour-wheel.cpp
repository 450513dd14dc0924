// Writes colour-wheel.png and colour-wheel.jpg, the demo pictures for the
// PNG and JPEG codecs, with the program's own encoders: a 160 x 160 hue
// wheel whose saturation rises outwards, on a transparent background in the
// PNG (white in the JPEG, which has no alpha), so that every colour shift
// and the kept transparency show at a glance.
//
// Built and run once by hand from the repository root, after a build:
//   g++ -std=c++20 -I. examples/make-colour-wheel.cpp build/s/libtintery_engine.a
//       -lpng -ljpeg -lpthread -o /tmp/make-colour-wheel
//   /tmp/make-colour-wheel
// `make demo` uses the committed files.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "s/image/jpg/win/Jpeg.h"
#include "s/image/png/win/Png.h"
#include "s/image/win/BufferedImage.h"

namespace {

constexpr int kSize = 160;
constexpr double kRadius = 76;

// Hue in [0, 1), saturation and value in [0, 1] to blue-green-red bytes.
void hsvToBgr(double hue, double saturation, double value, std::uint8_t* out) {
  const double h = hue * 6;
  const int sector = static_cast<int>(h) % 6;
  const double f = h - std::floor(h);
  const double p = value * (1 - saturation);
  const double q = value * (1 - saturation * f);
  const double t = value * (1 - saturation * (1 - f));
  const double rgb[6][3] = {{value, t, p}, {q, value, p}, {p, value, t},
                            {p, q, value}, {t, p, value}, {value, p, q}};
  for (int c = 0; c < 3; ++c)
    out[2 - c] = static_cast<std::uint8_t>(std::lround(rgb[sector][c] * 255));
}

}  // namespace

int main() {
  using s::image::win::BufferedImage;
  auto image = s::thread::own(BufferedImage::create(kSize, kSize));
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      std::uint8_t* p = image->getRow(y) + x * 4;
      const double dx = x - kSize / 2 + 0.5;
      const double dy = y - kSize / 2 + 0.5;
      const double radius = std::hypot(dx, dy);
      const double hue = std::fmod(std::atan2(-dy, dx) / (2 * std::numbers::pi) + 1, 1);
      hsvToBgr(hue, std::min(1.0, radius / kRadius), 1.0, p);
      // Opaque inside the wheel, a one-pixel soft edge, transparent outside.
      p[3] =
          static_cast<std::uint8_t>(std::lround(255 * std::clamp(kRadius + 1 - radius, 0.0, 1.0)));
    }
  }
  image->setHasAlpha(true);

  auto png = s::thread::own(s::image::png::win::Png::obtain());
  auto jpeg = s::thread::own(s::image::jpg::win::Jpeg::obtain());
  const bool ok = png->setImage(image.get(), 0, 1, 255, 255, 255) &&
                  png->saveToFile(u"examples/colour-wheel.png") &&
                  jpeg->setImage(image.get(), 90, 255, 255, 255) &&
                  jpeg->saveToFile(u"examples/colour-wheel.jpg");
  if (!ok) std::fputs("could not write the pictures (do they exist already?)\n", stderr);
  return ok ? 0 : 1;
}
