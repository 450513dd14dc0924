#include "s/image/win/BufferedImageSet.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "s/image/filters/colors/Hsv.h"

namespace {

using s::image::win::BufferedImage;
using s::image::win::BufferedImageSet;
using s::thread::own;
using Pixel = std::array<std::uint8_t, 4>;

BufferedImage* filled(int width, int height, Pixel colour) {
  BufferedImage* image = BufferedImage::create(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      std::memcpy(image->getRow(y) + x * 4, colour.data(), 4);
  }
  return image;
}

Pixel at(BufferedImage* image, int x, int y) {
  Pixel p;
  std::memcpy(p.data(), image->getRow(y) + x * 4, 4);
  return p;
}

TEST(BufferedImageSet, PrimaryIsLargestThenDeepestThenEarliest) {
  auto set = s::thread::obtainOwned<BufferedImageSet>();
  set->add(BufferedImage::create(16, 16), 8, 0, 0);
  EXPECT_EQ(set->getPrimaryIndex(), 0);
  set->add(BufferedImage::create(32, 32), 4, 0, 0);
  EXPECT_EQ(set->getPrimaryIndex(), 1);
  set->add(BufferedImage::create(32, 32), 32, 0, 0);
  EXPECT_EQ(set->getPrimaryIndex(), 2);
  set->add(BufferedImage::create(32, 32), 32, 0, 0);
  EXPECT_EQ(set->getPrimaryIndex(), 2);
  EXPECT_EQ(set->getWidth(), 32);
  EXPECT_EQ(set->getPrimaryBitsPerPixel(), 32);
  EXPECT_EQ(set->getPrimary(), set->get(2));
  EXPECT_EQ(set->getDelay(5), 1000);
  EXPECT_EQ(set->getDisposal(4), 1000);
}

TEST(BufferedImageSet, FindsExactAndNearestEntries) {
  auto set = s::thread::obtainOwned<BufferedImageSet>();
  set->add(BufferedImage::create(16, 16), 32, 0, 0);
  set->add(BufferedImage::create(64, 64), 8, 0, 0);
  std::int32_t index = -1;
  EXPECT_TRUE(set->findNearestDepth(48, 48, 32, index));
  EXPECT_EQ(index, 0);
  EXPECT_TRUE(set->findNearestSize(48, 48, 32, index));
  EXPECT_EQ(index, 1);
  EXPECT_TRUE(set->find(64, 64, 8, index));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(set->find(64, 64, 32, index));
  EXPECT_EQ(index, 0);
  // An exact match wins at once, whatever came before.
  EXPECT_TRUE(set->findNearestSize(64, 64, 8, index));
  EXPECT_EQ(index, 1);

  auto empty = s::thread::obtainOwned<BufferedImageSet>();
  index = 9;
  EXPECT_FALSE(empty->findNearestDepth(1, 1, 1, index));
  EXPECT_EQ(index, 0);
}

TEST(BufferedImageSet, CoalesceDrawsKeptFramesOverTheirPredecessor) {
  auto frames = s::thread::obtainOwned<BufferedImageSet>();
  frames->setAnimation(true, 3);
  frames->add(filled(2, 1, {10, 20, 30, 255}), 8, 100, 0);
  BufferedImage* over = filled(2, 1, {200, 0, 0, 255});
  std::memset(over->getRow(0) + 4, 0, 4);  // right pixel transparent
  over->setHasAlpha(true);
  frames->add(over, 8, 50, 1);
  frames->add(filled(2, 1, {1, 1, 1, 0}), 8, 70, 0);

  auto full = own(frames->coalesce());
  ASSERT_EQ(full->getCount(), 3);
  EXPECT_TRUE(full->isAnimated());
  EXPECT_EQ(full->getLoopCount(), 3);
  EXPECT_EQ(at(full->get(1), 0, 0), (Pixel{200, 0, 0, 255}));
  EXPECT_EQ(at(full->get(1), 1, 0), (Pixel{10, 20, 30, 255}));  // first frame shows through
  EXPECT_EQ(full->getDisposal(1), 2);
  EXPECT_EQ(full->getDelay(1), 50);
  // Disposal 0 is taken over unchanged.
  EXPECT_EQ(at(full->get(2), 1, 0), (Pixel{1, 1, 1, 0}));
  EXPECT_EQ(full->getDisposal(2), 0);
}

TEST(BufferedImageSet, CopyFlattenAndUpdateSize) {
  auto set = s::thread::obtainOwned<BufferedImageSet>();
  set->setAnimation(true, 0);
  set->add(filled(3, 2, {0, 0, 255, 255}), 8, 40, 2);
  set->add(filled(1, 1, {5, 5, 5, 255}), 4, 10, 1);
  auto* hsv = s::image::filters::colors::Hsv::obtain();
  hsv->hueShift = 120;
  set->get(0)->addFilter(hsv);

  auto copied = own(set->copy());
  ASSERT_EQ(copied->getCount(), 2);
  EXPECT_NE(copied->get(0), set->get(0));
  EXPECT_FALSE(copied->get(0)->hasFilters());
  EXPECT_EQ(at(copied->get(0), 2, 1), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(copied->getBitsPerPixel(1), 4);
  EXPECT_EQ(copied->getDisposal(0), 2);
  EXPECT_EQ(copied->getLoopCount(), 0);

  auto flat = own(set->flatten());
  EXPECT_EQ(at(flat->get(0), 0, 0), (Pixel{0, 255, 0, 255}));  // red turned green
  EXPECT_EQ(at(flat->get(1), 0, 0), (Pixel{5, 5, 5, 255}));
  EXPECT_TRUE(flat->isAnimated());
  EXPECT_EQ(flat->getDelay(0), 40);

  EXPECT_EQ(set->updateSize(), 2);
  EXPECT_EQ(set->getWidth(), 3);
  EXPECT_EQ(set->getHeight(), 2);
}

TEST(BufferedImageSet, DetachLeavesImagesWithTheCallerAndClearRecycles) {
  auto set = own(s::image::win::createImageSet(BufferedImage::create(2, 2)));
  BufferedImage* image = set->get(0);
  set->setAnimation(true, 5);
  set->detachAll();
  EXPECT_EQ(set->getCount(), 0);
  EXPECT_FALSE(set->isAnimated());
  EXPECT_EQ(set->getWidth(), 0);
  EXPECT_EQ(image->getWidth(), 2);  // still alive and ours
  set->add(image);
  set->setAnimation(true, 5);
  set->clear();
  EXPECT_EQ(set->getCount(), 0);
  EXPECT_EQ(set->getLoopCount(), 1);
}

}  // namespace
