// Colour shift of a 12-megapixel picture: the program's filter beside the
// plain step-by-step rule, in megapixels per second.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "s/image/filters/colors/Hsv.h"
#include "s/image/win/BufferedImage.h"
#include "support/PlainHsv.h"

namespace {

using s::image::win::BufferedImage;

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// Smooth gradients with a little noise, like a photograph: neighbouring
// pixels are close but rarely identical.
BufferedImage* photoLike() {
  static BufferedImage* image = [] {
    BufferedImage* made = BufferedImage::create(kWidth, kHeight);
    std::mt19937 random(7);
    for (int y = 0; y < kHeight; ++y) {
      std::uint8_t* p = made->getRow(y);
      for (int x = 0; x < kWidth; ++x, p += 4) {
        // Each channel has noise of its own, as a camera sensor gives.
        const auto noise = [&random] { return static_cast<int>(random() % 9) - 4; };
        p[0] = static_cast<std::uint8_t>(std::clamp(x * 255 / kWidth + noise(), 0, 255));
        p[1] = static_cast<std::uint8_t>(std::clamp(y * 255 / kHeight + noise(), 0, 255));
        p[2] = static_cast<std::uint8_t>(
            std::clamp((x + y) * 255 / (kWidth + kHeight) + noise(), 0, 255));
        p[3] = 255;
      }
    }
    return made;
  }();
  return image;
}

// Every pixel an unrelated colour: nothing repeats, the worst case for the
// filter's memory of recent results.
BufferedImage* randomColours() {
  static BufferedImage* image = [] {
    BufferedImage* made = BufferedImage::create(kWidth, kHeight);
    std::mt19937 random(11);
    for (int y = 0; y < kHeight; ++y) {
      auto* p = reinterpret_cast<std::uint32_t*>(made->getRow(y));
      for (int x = 0; x < kWidth; ++x)
        p[x] = random() | 0xFF000000u;
    }
    return made;
  }();
  return image;
}

BufferedImage* picture(const benchmark::State& state) {
  return state.range(0) == 0 ? photoLike() : randomColours();
}

void reportRate(benchmark::State& state) {
  state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight / 1e6,
                                               benchmark::Counter::kIsIterationInvariantRate);
}

void FilterHsv(benchmark::State& state) {
  BufferedImage* source = picture(state);
  BufferedImage* target = BufferedImage::create(kWidth, kHeight);
  auto* filter = s::image::filters::colors::Hsv::obtain();
  filter->hueShift = 147;
  filter->saturationShift = -20;
  filter->valueShift = 15;
  for (auto _ : state) {
    filter->apply(source, target);
    benchmark::DoNotOptimize(target->getPixels());
  }
  reportRate(state);
  filter->recycle();
  target->recycle();
}

// The filter's portable loop alone, as on processors without a vector unit.
void PortableLoop(benchmark::State& state) {
  BufferedImage* source = picture(state);
  BufferedImage* target = BufferedImage::create(kWidth, kHeight);
  const s::image::filters::colors::HsvShifter shifter(147, -20, 15);
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y)
      shifter.runPortable(source->getRow(y), target->getRow(y), kWidth);
    benchmark::DoNotOptimize(target->getPixels());
  }
  reportRate(state);
  target->recycle();
}

void PlainRule(benchmark::State& state) {
  BufferedImage* source = picture(state);
  BufferedImage* target = BufferedImage::create(kWidth, kHeight);
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y) {
      const std::uint8_t* in = source->getRow(y);
      std::uint8_t* out = target->getRow(y);
      for (int x = 0; x < kWidth * 4; x += 4) {
        std::memcpy(out + x, in + x, 4);
        tintery::test::plainHsvPixel(out + x, 147, -20, 15);
      }
    }
    benchmark::DoNotOptimize(target->getPixels());
  }
  reportRate(state);
  target->recycle();
}

// Argument 0: the photograph-like picture; 1: random colours.
BENCHMARK(FilterHsv)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(PortableLoop)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(PlainRule)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
