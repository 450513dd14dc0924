#include "s/image/filters/colors/Hsv.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "s/image/win/BufferedImage.h"
#include "support/PlainHsv.h"

namespace {

using s::image::filters::colors::Hsv;
using s::image::filters::colors::HsvShifter;
using s::image::win::BufferedImage;
using tintery::test::plainHsvPixel;

struct Shift {
  int dh, ds, dv;
};

void PrintTo(const Shift& s, std::ostream* os) {
  *os << "(" << s.dh << ", " << s.ds << ", " << s.dv << ")";
}

// Every opaque RGB colour, one row of 4096 pixels at a time, through both
// implementations of the filter (the vector one where the processor has it,
// and the portable one) and the plain rule.
class HsvColourCube : public testing::TestWithParam<Shift> {};

TEST_P(HsvColourCube, EqualsThePlainRuleForEveryOpaqueColour) {
  const Shift shift = GetParam();
  const HsvShifter shifter(shift.dh, shift.ds, shift.dv);
  constexpr int kRow = 4096;
  std::vector<std::uint8_t> in(kRow * 4), fast(kRow * 4), portable(kRow * 4);
  long mismatches = 0;
  for (std::uint32_t base = 0; base < (1u << 24); base += kRow) {
    for (int i = 0; i < kRow; ++i) {
      const std::uint32_t rgb = base + i;
      in[i * 4 + 0] = rgb & 0xFF;
      in[i * 4 + 1] = (rgb >> 8) & 0xFF;
      in[i * 4 + 2] = (rgb >> 16) & 0xFF;
      in[i * 4 + 3] = 255;
    }
    shifter.run(in.data(), fast.data(), kRow);
    shifter.runPortable(in.data(), portable.data(), kRow);
    for (int i = 0; i < kRow; ++i) {
      std::uint8_t* expected = &in[i * 4];
      plainHsvPixel(expected, shift.dh, shift.ds, shift.dv);
      const bool fastWrong = std::memcmp(expected, &fast[i * 4], 4) != 0;
      const bool portableWrong = std::memcmp(expected, &portable[i * 4], 4) != 0;
      if ((fastWrong || portableWrong) && ++mismatches <= 5) {
        ADD_FAILURE() << "colour 0x" << std::hex << base + i << (fastWrong ? " fast" : "")
                      << (portableWrong ? " portable" : "");
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(Shifts, HsvColourCube,
                         testing::Values(Shift{0, 0, 0}, Shift{1, 0, 0}, Shift{-1, 0, 0},
                                         Shift{147, 0, 0}, Shift{-147, 0, 0}, Shift{360, 0, 0},
                                         Shift{-360, 0, 0}, Shift{0, -100, 0}, Shift{0, -50, 0},
                                         Shift{0, -1, 0}, Shift{0, 1, 0}, Shift{0, 50, 0},
                                         Shift{0, 100, 0}, Shift{0, 0, -100}, Shift{0, 0, -50},
                                         Shift{0, 0, -1}, Shift{0, 0, 1}, Shift{0, 0, 50},
                                         Shift{0, 0, 100}, Shift{-290, 35, -65}));

TEST(Hsv, TransparencyAndOutOfRangeShiftsFollowThePlainRule) {
  // Alpha 0 keeps the pixel as it was; other alphas are carried over.
  // Saturation and value shifts beyond 100 percent act as 100 percent.
  const Shift shifts[] = {{90, 20, -20}, {-725, 250, -250}, {1000, -130, 130}};
  std::vector<std::uint8_t> in;
  for (std::uint32_t i = 0; i < (1u << 24); i += 97) {
    const std::uint8_t pixel[4] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8),
                                   static_cast<std::uint8_t>(i >> 16),
                                   static_cast<std::uint8_t>((i * 37) >> 5)};
    in.insert(in.end(), pixel, pixel + 4);
  }
  const int count = static_cast<int>(in.size() / 4);
  for (const Shift& shift : shifts) {
    std::vector<std::uint8_t> expected = in;
    for (std::size_t i = 0; i < expected.size(); i += 4) {
      plainHsvPixel(&expected[i], shift.dh, shift.ds, shift.dv);
    }
    const HsvShifter shifter(shift.dh, shift.ds, shift.dv);
    std::vector<std::uint8_t> fast(in.size()), portable(in.size());
    shifter.run(in.data(), fast.data(), count);
    shifter.runPortable(in.data(), portable.data(), count);
    EXPECT_EQ(fast, expected) << "shift " << shift.dh;
    EXPECT_EQ(portable, expected) << "shift " << shift.dh;
  }
}

struct Worked {
  std::array<int, 4> rgba;
  Shift shift;
  std::array<int, 4> expected;
};

TEST(Hsv, WorkedPixels) {
  const Worked cases[] = {
      {{10, 10, 10, 255}, {0, 0, 0}, {7, 7, 7, 255}},
      {{50, 100, 200, 255}, {0, 0, 0}, {49, 99, 198, 255}},
      {{50, 100, 200, 255}, {-30, 0, 0}, {49, 174, 198, 255}},
      {{255, 0, 0, 255}, {120, 0, 0}, {0, 255, 0, 255}},
      {{255, 0, 0, 255}, {-360, 0, 0}, {255, 0, 0, 255}},
      {{255, 0, 0, 255}, {0, -50, 0}, {255, 127, 127, 255}},
      {{255, 254, 254, 255}, {0, 0, 0}, {255, 255, 255, 255}},
      {{0, 0, 0, 255}, {0, 0, 50}, {127, 127, 127, 255}},
      {{255, 255, 255, 255}, {0, 0, -100}, {0, 0, 0, 255}},
      {{255, 0, 0, 0}, {77, -40, 90}, {255, 0, 0, 0}},
      {{56, 34, 12, 128}, {90, 20, -20}, {7, 40, 7, 128}},
      // A hue slightly below zero truncates to 0, not 359.
      {{255, 0, 1, 255}, {0, 0, 0}, {255, 0, 0, 255}},
  };
  for (const Worked& c : cases) {
    auto image = s::thread::own(BufferedImage::create(1, 1));
    std::uint8_t* p = image->getRow(0);
    p[0] = c.rgba[2], p[1] = c.rgba[1], p[2] = c.rgba[0], p[3] = c.rgba[3];
    auto* filter = Hsv::obtain();
    filter->hueShift = c.shift.dh;
    filter->saturationShift = c.shift.ds;
    filter->valueShift = c.shift.dv;
    image->addFilter(filter);
    BufferedImage* result = image->getFiltered();
    ASSERT_NE(result, nullptr);
    const std::uint8_t* q = result->getRow(0);
    EXPECT_EQ((std::array<int, 4>{q[2], q[1], q[0], q[3]}), c.expected)
        << c.rgba[0] << "," << c.rgba[1] << "," << c.rgba[2] << "," << c.rgba[3];
    // The source is left as it was.
    EXPECT_EQ(p[2], c.rgba[0]);
  }
}

TEST(Hsv, WorksInPlaceOnAnyLength) {
  // Lengths around the vector width, converted in place.
  const std::uint8_t colours[3][4] = {{10, 200, 30, 255}, {10, 200, 30, 0}, {250, 1, 90, 255}};
  for (int length : {1, 7, 8, 9, 23}) {
    std::vector<std::uint8_t> pixels;
    for (int i = 0; i < length; ++i)
      pixels.insert(pixels.end(), colours[i % 3], colours[i % 3] + 4);
    std::vector<std::uint8_t> expected = pixels;
    for (std::size_t i = 0; i < expected.size(); i += 4)
      plainHsvPixel(&expected[i], 200, -30, 40);
    HsvShifter(200, -30, 40).run(pixels.data(), pixels.data(), length);
    EXPECT_EQ(pixels, expected) << length;
  }
}

TEST(Hsv, TargetSizing) {
  auto source = s::thread::own(BufferedImage::create(3, 2));
  source->setHasAlpha(true);
  auto filter = s::thread::obtainOwned<Hsv>();

  // A null target yields a new buffer of the source size.
  auto made = s::thread::own(static_cast<BufferedImage*>(filter->apply(source.get(), nullptr)));
  EXPECT_EQ(made->getWidth(), 3);
  EXPECT_EQ(made->getHeight(), 2);
  EXPECT_TRUE(made->hasAlpha());

  // A larger target shrinks to the source size without new memory.
  auto large = s::thread::own(BufferedImage::create(8, 8));
  std::uint8_t* memory = large->getPixels();
  EXPECT_EQ(filter->apply(source.get(), large.get()), large.get());
  EXPECT_EQ(large->getWidth(), 3);
  EXPECT_EQ(large->getHeight(), 2);
  EXPECT_EQ(large->getPixels(), memory);
  EXPECT_EQ(std::u16string(filter->getTypeName()), u"HSV");
}

}  // namespace
