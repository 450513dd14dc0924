#include "s/image/filters/scale/ScaleImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "s/image/filters/scale/BilinearFilter.h"
#include "s/image/filters/scale/Contribution.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"

namespace {

using s::image::filters::scale::BilinearFilter;
using s::image::filters::scale::Contribution;
using s::image::win::BufferedImage;
using s::thread::own;

// A picture of one row (or one column) whose every channel carries `values`.
s::thread::Owned<BufferedImage> line(const std::vector<int>& values, bool vertical) {
  const int n = static_cast<int>(values.size());
  auto image = own(BufferedImage::create(vertical ? 1 : n, vertical ? n : 1));
  for (int i = 0; i < n; ++i) {
    std::uint8_t* p = vertical ? image->getRow(i) : image->getRow(0) + i * 4;
    std::memset(p, values[i], 4);
  }
  return image;
}

std::vector<int> channel(BufferedImage& image, bool vertical, int c) {
  std::vector<int> values;
  const int n = vertical ? image.getHeight() : image.getWidth();
  for (int i = 0; i < n; ++i) {
    const std::uint8_t* p = vertical ? image.getRow(i) : image.getRow(0) + i * 4;
    values.push_back(p[c]);
  }
  return values;
}

TEST(Resampler, WorkedRows) {
  struct Case {
    std::vector<int> in;
    int size;
    std::vector<int> horizontal;
  } cases[] = {
      {{0, 255}, 4, {0, 128, 255, 255}},
      {{0, 100, 200, 255}, 2, {33, 189}},
      {{10, 20, 30}, 6, {10, 15, 20, 25, 30, 30}},
      {{7, 99, 250}, 3, {7, 99, 250}},
  };
  for (const Case& c : cases) {
    auto row = line(c.in, false);
    auto wide = own(BufferedImage::obtain());
    ASSERT_TRUE(s::image::filters::scale::scaleImage(*row, *wide, BilinearFilter::shared(),
                                                     row->getWidth(), 1, c.size, 1));
    for (int ch = 0; ch < 4; ++ch)
      EXPECT_EQ(channel(*wide, false, ch), c.horizontal);

    // Columns are anchored at the bottom: the same values read bottom-up.
    std::vector<int> upward(c.in.rbegin(), c.in.rend());
    auto column = line(upward, true);
    auto tall = own(BufferedImage::obtain());
    ASSERT_TRUE(s::image::filters::scale::scaleImage(*column, *tall, BilinearFilter::shared(), 1,
                                                     column->getHeight(), 1, c.size));
    std::vector<int> expected(c.horizontal.rbegin(), c.horizontal.rend());
    EXPECT_EQ(channel(*tall, true, 2), expected);
  }
}

TEST(Resampler, ContributionEntries) {
  Contribution table;
  table.build(BilinearFilter::shared(), 2, 4);
  EXPECT_EQ(table.getWindow(), 5);
  EXPECT_EQ(table.getEntrySize(), 28);
  ASSERT_EQ(table.first(0), 0);
  ASSERT_EQ(table.last(0), 1);
  EXPECT_EQ(table.weights(0)[0], 43690);
  EXPECT_EQ(table.weights(0)[1], 21845);
  ASSERT_EQ(table.first(1), 1);
  ASSERT_EQ(table.last(1), 3);
  EXPECT_EQ(table.weights(1)[0], 16384);
  EXPECT_EQ(table.weights(1)[1], 32768);
  EXPECT_EQ(table.weights(1)[2], 16384);
}

TEST(Resampler, GetScaledSizesCachesAndCopiesAtEqualSize) {
  auto image = own(BufferedImage::create(40, 20));
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 40; ++x)
      std::memset(image->getRow(y) + x * 4, (x * 7 + y * 13) & 0xFF, 4);
  }
  image->setHasAlpha(true);
  EXPECT_EQ(image->getScaled(40, 20, false), image.get());
  BufferedImage* half = image->getScaled(20, 10, false);
  ASSERT_NE(half, nullptr);
  EXPECT_EQ(half->getWidth(), 20);
  EXPECT_TRUE(half->hasAlpha());
  EXPECT_EQ(image->getScaled(20, 10, false), half);  // cached
  EXPECT_EQ(image->getScaledCache(), half);
  // Keeping the aspect reduces the side whose ratio is larger.
  BufferedImage* boxed = image->getScaled(32, 32, true);
  ASSERT_NE(boxed, nullptr);
  EXPECT_EQ(boxed->getWidth(), 32);
  EXPECT_EQ(boxed->getHeight(), 16);
  EXPECT_EQ(image->getScaled(0, 5, false), nullptr);

  // Scaling through the same size twice gives back the pixels exactly.
  auto copy = own(BufferedImage::obtain());
  ASSERT_TRUE(s::image::filters::scale::scaleImage(*image, *copy, BilinearFilter::shared(), 40, 20,
                                                   40, 20));
  for (int y = 0; y < 20; ++y)
    EXPECT_EQ(std::memcmp(copy->getRow(y), image->getRow(y), 160), 0);

  // A set scales every entry and keeps their values.
  auto set = own(s::image::win::createImageSet(image->copyTo(nullptr)));
  auto scaled = own(set->getScaled(10, 5, false));
  ASSERT_EQ(scaled->getCount(), 1);
  EXPECT_EQ(scaled->get(0)->getWidth(), 10);
  EXPECT_EQ(scaled->getBitsPerPixel(0), 32);
}

}  // namespace
