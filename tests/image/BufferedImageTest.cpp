#include "s/image/win/BufferedImage.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "s/image/filters/colors/Hsv.h"

namespace {

using s::image::win::BufferedImage;
using s::thread::own;
using Owned = s::thread::Owned<BufferedImage>;

using Pixel = std::array<std::uint8_t, 4>;  // blue, green, red, alpha

Pixel at(BufferedImage& image, int x, int y) {
  Pixel p;
  std::memcpy(p.data(), image.getRow(y) + x * 4, 4);
  return p;
}

void put(BufferedImage& image, int x, int y, Pixel p) {
  std::memcpy(image.getRow(y) + x * 4, p.data(), 4);
}

// A picture whose every pixel is distinct: (x, y, 7, 255).
Owned numbered(int width, int height) {
  Owned image = own(BufferedImage::create(width, height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      put(*image, x, y, {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 7, 255});
    }
  }
  return image;
}

TEST(BufferedImage, RowsRunBottomUpOverTheCapacity) {
  Owned image = own(BufferedImage::create(3, 2));
  EXPECT_EQ(image->getRow(0), image->getPixels() + 12);
  EXPECT_EQ(image->getRow(1), image->getPixels());
  EXPECT_EQ(image->getStride(), 12);

  Owned big = own(BufferedImage::create(4, 4));
  big->setSize(2, 1);
  EXPECT_EQ(big->getRow(0), big->getPixels() + 48);
  EXPECT_EQ(big->getCapacityStride(), 16);
  EXPECT_EQ(big->getByteCount(), 8);
}

TEST(BufferedImage, ReserveKeepsPixelsAndVisibleSize) {
  Owned image = numbered(4, 3);
  ASSERT_TRUE(image->reserve(10, 10));
  EXPECT_EQ(image->getWidth(), 4);
  EXPECT_EQ(image->getHeight(), 3);
  EXPECT_EQ(image->getCapacityWidth(), 10);
  image->setSize(10, 10);
  EXPECT_EQ(at(*image, 3, 2), (Pixel{3, 2, 7, 255}));
  EXPECT_EQ(at(*image, 4, 0), (Pixel{0, 0, 0, 0}));
  EXPECT_EQ(at(*image, 0, 3), (Pixel{0, 0, 0, 0}));

  // Growing one side while asking less than the visible size on the other
  // never drops visible rows.
  Owned tall = numbered(2, 5);
  ASSERT_TRUE(tall->reserve(6, 3));
  EXPECT_EQ(tall->getCapacityHeight(), 5);
  EXPECT_EQ(at(*tall, 1, 4), (Pixel{1, 4, 7, 255}));
}

TEST(BufferedImage, EnsureCapacityGrowsBySteps) {
  Owned image = own(BufferedImage::create(10, 10));
  ASSERT_TRUE(s::image::win::ensureCapacity(image.get(), 13, 5));
  // 10 -> 12 -> 14.4 (truncated to 14); the height already fits.
  EXPECT_EQ(image->getCapacityWidth(), 14);
  EXPECT_EQ(image->getCapacityHeight(), 10);
  Owned empty = own(BufferedImage::obtain());
  ASSERT_TRUE(s::image::win::ensureCapacity(empty.get(), 7, 9));
  EXPECT_EQ(empty->getCapacityWidth(), 7);
  EXPECT_EQ(empty->getCapacityHeight(), 9);
}

TEST(BufferedImage, RefusesSizesItCannotHold) {
  Owned image = own(BufferedImage::obtain());
  EXPECT_FALSE(image->allocate(0, 5));
  EXPECT_FALSE(image->allocate(-3, 5));
  EXPECT_FALSE(image->allocate(1 << 30, 1 << 30));
  EXPECT_EQ(image->getPixels(), nullptr);
  EXPECT_EQ(image->getWidth(), 0);
  EXPECT_EQ(BufferedImage::create(1 << 30, 1 << 30), nullptr);
}

struct Blend {
  Pixel source;
  Pixel destination;
  bool destinationHasAlpha;
  Pixel expected;
};

TEST(BufferedImage, DrawImageCompositesWithIntegerArithmetic) {
  const Blend cases[] = {
      // Over a transparent destination the source is copied.
      {{10, 20, 30, 128}, {200, 200, 200, 0}, true, {10, 20, 30, 128}},
      // Half-transparent over opaque: alpha 255, channels about half way.
      // ra = 128 + 255 - (129 * 255 >> 8) = 255; w = 128; (10 - 200) * 128 >> 8 = -95.
      {{10, 20, 30, 128}, {200, 100, 0, 255}, true, {105, 60, 15, 255}},
      // A transparent source pixel leaves the destination alone...
      {{10, 20, 30, 0}, {1, 2, 3, 40}, true, {1, 2, 3, 40}},
      // ...except that a destination without alpha is made opaque first.
      {{10, 20, 30, 0}, {1, 2, 3, 40}, false, {1, 2, 3, 255}},
      // Both partly transparent: ra = 100 + 50 - (101 * 50 >> 8) = 131, w = 195;
      // green (0 - 255) * 195 >> 8 rounds down to -195, giving 60, not 61.
      {{255, 0, 100, 100}, {0, 255, 100, 50}, true, {194, 60, 100, 131}},
  };
  for (const Blend& c : cases) {
    Owned source = own(BufferedImage::create(1, 1));
    Owned target = own(BufferedImage::create(1, 1));
    put(*source, 0, 0, c.source);
    put(*target, 0, 0, c.destination);
    source->setHasAlpha(true);
    target->setHasAlpha(c.destinationHasAlpha);
    target->drawImage(0, 0, source.get(), 0, 0);
    EXPECT_EQ(at(*target, 0, 0), c.expected);
    EXPECT_EQ(target->hasAlpha(), c.destinationHasAlpha);
  }

  // Without hasAlpha the source is copied byte for byte, alpha included, and
  // negative positions clip.
  Owned source = numbered(3, 3);
  put(*source, 1, 1, {9, 9, 9, 17});
  Owned target = own(BufferedImage::create(3, 3));
  target->drawImage(-1, -1, source.get(), 0, 0);
  EXPECT_EQ(at(*target, 0, 0), (Pixel{9, 9, 9, 17}));
  EXPECT_EQ(at(*target, 1, 1), (Pixel{2, 2, 7, 255}));
  EXPECT_EQ(at(*target, 2, 2), (Pixel{0, 0, 0, 0}));
}

TEST(BufferedImage, CopiesAndTurns) {
  Owned image = numbered(3, 2);
  image->setHasAlpha(true);
  struct Case {
    const char* name;
    BufferedImage* (BufferedImage::*turn)(s::image::IBufferedImage*);
    int width, height;
    // Where result(x, y) comes from.
    int (*sourceX)(int x, int y);
    int (*sourceY)(int x, int y);
  } cases[] = {
      {"copy", &BufferedImage::copyTo, 3, 2, [](int x, int) { return x; },
       [](int, int y) { return y; }},
      {"right", &BufferedImage::rotateRight, 2, 3, [](int, int y) { return y; },
       [](int x, int) { return 1 - x; }},
      {"180", &BufferedImage::rotate180, 3, 2, [](int x, int) { return 2 - x; },
       [](int, int y) { return 1 - y; }},
      {"left", &BufferedImage::rotateLeft, 2, 3, [](int, int y) { return 2 - y; },
       [](int x, int) { return x; }},
      {"mirror", &BufferedImage::mirror, 3, 2, [](int x, int) { return 2 - x; },
       [](int, int y) { return y; }},
      {"flip", &BufferedImage::flip, 3, 2, [](int x, int) { return x; },
       [](int, int y) { return 1 - y; }},
  };
  for (const Case& c : cases) {
    for (bool reuse : {false, true}) {
      Owned spare = own(reuse ? BufferedImage::create(5, 5) : nullptr);
      Owned result = own(((*image).*c.turn)(spare.get()));
      if (reuse) {
        EXPECT_EQ(result.get(), spare.get()) << c.name;
        (void)spare.release();
      }
      ASSERT_EQ(result->getWidth(), c.width) << c.name;
      ASSERT_EQ(result->getHeight(), c.height) << c.name;
      EXPECT_TRUE(result->hasAlpha()) << c.name;
      for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
          EXPECT_EQ(at(*result, x, y), at(*image, c.sourceX(x, y), c.sourceY(x, y)))
              << c.name << " at " << x << "," << y;
        }
      }
    }
  }
  // Turning a buffer into itself works from a copy.
  Owned self = numbered(3, 2);
  EXPECT_EQ(self->rotateRight(self.get()), self.get());
  EXPECT_EQ(at(*self, 0, 0), (Pixel{0, 1, 7, 255}));
  EXPECT_EQ(at(*self, 1, 2), (Pixel{2, 0, 7, 255}));
}

TEST(BufferedImage, FiltersAndTheirCache) {
  using s::image::filters::colors::Hsv;
  Owned image = numbered(2, 2);
  EXPECT_EQ(image->applyFilters(), nullptr);
  EXPECT_EQ(image->getFiltered(), nullptr);

  Hsv* kept = Hsv::obtain();
  kept->setOwnedByImage(false);
  kept->valueShift = -100;
  Hsv* owned = Hsv::obtain();
  owned->hueShift = 120;
  image->addFilter(owned);
  image->insertFilter(0, kept);
  std::int32_t index = -1;
  ASSERT_TRUE(image->findFilter(u"HSV", index));
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(image->findFilter(u"Sharpness", index));

  BufferedImage* filtered = image->getFiltered();
  ASSERT_NE(filtered, nullptr);
  EXPECT_EQ(image->getFiltered(), filtered);  // cached
  EXPECT_EQ(at(*filtered, 1, 1), (Pixel{0, 0, 0, 255}));
  EXPECT_EQ(at(*image, 1, 1), (Pixel{1, 1, 7, 255}));  // own pixels untouched
  EXPECT_FALSE(filtered->hasAlpha());

  // Removing the filter the image does not own leaves it with the caller.
  image->removeFilter(0);
  EXPECT_EQ(kept->valueShift, -100);
  kept->recycle();
  image->clearFilters();
  EXPECT_FALSE(image->hasFilters());

  // A transparent pixel in the result turns hasAlpha on.
  put(*image, 0, 0, {1, 2, 3, 0});
  image->addFilter(Hsv::obtain());
  EXPECT_TRUE(image->getFiltered()->hasAlpha());
}

TEST(BufferedImage, RecycledBufferComesBackEmpty) {
  BufferedImage* image = BufferedImage::create(4, 4);
  image->setHasAlpha(true);
  image->addFilter(s::image::filters::colors::Hsv::obtain());
  image->getFiltered();
  image->recycle();
  Owned again = own(BufferedImage::obtain());
  EXPECT_EQ(again->getWidth(), 0);
  EXPECT_EQ(again->getCapacityWidth(), 0);
  EXPECT_EQ(again->getPixels(), nullptr);
  EXPECT_FALSE(again->hasAlpha());
  EXPECT_FALSE(again->hasFilters());
  EXPECT_EQ(again->getClassTag(), BufferedImage::CLASS_TAG);
}

}  // namespace
