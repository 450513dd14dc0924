#include "s/image/filters/sharpness/Sharpness.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "s/image/filters/convolution/Convolution.h"
#include "s/image/win/BufferedImage.h"

namespace {

using s::image::filters::convolution::Convolution;
using s::image::filters::sharpness::Sharpness;
using s::image::win::BufferedImage;
using s::thread::own;

TEST(Sharpness, KernelsFromStrength) {
  struct Case {
    int strength;
    std::array<std::int32_t, 9> weights;
    std::int32_t divisor;
  } cases[] = {
      {70, {0, -125, 0, -125, 1100, -125, 0, -125, 0}, 600},
      {80, {0, -144, 0, -144, 1100, -144, 0, -144, 0}, 524},
      {100, {0, -180, 0, -180, 1100, -180, 0, -180, 0}, 380},
      {-100, {100, 200, 100, 200, 400, 200, 100, 200, 100}, 1600},
      // The strongest sharpening whose weights still sum above zero.
      {500, {0, -273, 0, -273, 1100, -273, 0, -273, 0}, 8},
  };
  for (const Case& c : cases) {
    auto filter = own(Sharpness::create(c.strength));
    ASSERT_NE(filter->getKernel(), nullptr) << c.strength;
    EXPECT_EQ(filter->getKernel()->getWeights(), c.weights) << c.strength;
    EXPECT_EQ(filter->getKernel()->getDivisor(), c.divisor) << c.strength;
  }
  EXPECT_EQ(own(Sharpness::create(0))->getKernel(), nullptr);
}

TEST(Sharpness, CopiesAtZeroAndKeepsUniformPictures) {
  auto picture = own(BufferedImage::create(5, 4));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      std::uint8_t* p = picture->getRow(y) + x * 4;
      p[0] = static_cast<std::uint8_t>(x * 50), p[1] = static_cast<std::uint8_t>(y * 60);
      p[2] = 7, p[3] = 255;
    }
  }
  picture->setHasAlpha(true);
  auto copy = own(own(Sharpness::create(0))->apply(picture.get(), nullptr));
  for (int y = 0; y < 4; ++y)
    EXPECT_EQ(std::memcmp(copy->getRow(y), picture->getRow(y), 20), 0);
  EXPECT_TRUE(copy->hasAlpha());

  auto uniform = own(BufferedImage::create(6, 6));
  std::memset(uniform->getPixels(), 90, 6 * 6 * 4);
  for (int strength : {70, 80, -50}) {
    auto out = own(own(Sharpness::create(strength))->apply(uniform.get(), nullptr));
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 24; ++x)
        ASSERT_EQ(out->getRow(y)[x], 90) << strength;
    }
  }
}

TEST(Convolution, InPlaceWithClampedEdges) {
  // One channel on a 3 x 2 picture; the kernel takes the left neighbour, so
  // each row becomes its first value (the left pixel is already a result).
  Convolution left;
  left.setWeights({0, 0, 0, 1, 0, 0, 0, 0, 0});
  std::uint8_t rowA[12] = {10, 0, 0, 0, 20, 0, 0, 0, 30, 0, 0, 0};
  std::uint8_t rowB[12] = {40, 0, 0, 0, 50, 0, 0, 0, 60, 0, 0, 0};
  std::uint8_t* rows[2] = {rowA, rowB};
  left.convolve(rows, 3, 2);
  EXPECT_EQ((std::array<int, 3>{rowA[0], rowA[4], rowA[8]}), (std::array<int, 3>{10, 10, 10}));
  EXPECT_EQ((std::array<int, 3>{rowB[0], rowB[4], rowB[8]}), (std::array<int, 3>{40, 40, 40}));

  // The top neighbour reads the row above as already replaced; sums clamp.
  Convolution above;
  above.setWeights({0, 3, 0, 0, 0, 0, 0, 0, 0});  // divisor 3
  std::uint8_t a[4] = {90, 0, 0, 0};
  std::uint8_t b[4] = {200, 0, 0, 0};
  std::uint8_t* column[2] = {a, b};
  above.convolve(column, 1, 2);
  EXPECT_EQ(a[0], 90);  // row -1 reads row 0
  EXPECT_EQ(b[0], 90);
  Convolution loud;
  loud.setWeights({0, 0, 0, 0, 5, 0, 0, 0, -4});  // divisor 1: no division
  std::uint8_t c[4] = {100, 0, 0, 0};
  std::uint8_t* single[1] = {c};
  loud.convolve(single, 1, 1);
  EXPECT_EQ(c[0], 100);
}

}  // namespace
