// ICO decode, encode, decode. The writer makes one entry per decoded
// picture, a square whose edge is the picture's width, at the picture's
// depth (entries above 255 pixels are stored as PNG and read back at 32
// bits). Reading puts the entry nearest 32 x 32 first, so the entries are
// compared as a collection of shapes; pixels are compared where the order
// and shapes agree and no scaling happened:
// - 32, 24 and 16 bits keep every pixel (16-bit colours are already
//   expanded from 5 bits, which the writer's shift undoes exactly);
// - 1, 4 and 8 bits keep alpha, and the colours of visible pixels when the
//   picture has no more colours than the palette offers (2 at 1 bit, one
//   less than 2^depth at 4 and 8 bits, the last index serving transparent
//   pixels).

#include <algorithm>
#include <array>
#include <vector>

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"
#include "fuzz/RoundTrip.h"
#include "s/image/FormatDetection.h"

namespace tintery::fuzz {

namespace {

using s::image::win::BufferedImage;
using s::image::win::BufferedImageSet;
using Shape = std::array<std::int32_t, 3>;  // width, height, depth

Shape shapeOf(const BufferedImageSet& set, std::int32_t i) {
  return {set.get(i)->getWidth(), set.get(i)->getHeight(), set.getBitsPerPixel(i)};
}

void comparePixels(BufferedImage& expected, BufferedImage& actual, std::int32_t depth) {
  if (depth >= 16) {
    requireExactPixels(expected, actual);
    return;
  }
  const std::int32_t colours = depth == 1 ? 2 : (1 << depth) - 1;
  if (countVisibleColours(expected, colours) <= colours) {
    requireColourWhereVisible(expected, actual);
    return;
  }
  for (std::int32_t y = 0; y < expected.getHeight(); ++y) {
    for (std::int32_t x = 0; x < expected.getWidth(); ++x)
      require(expected.getRow(y)[x * 4 + 3] == actual.getRow(y)[x * 4 + 3]);
  }
}

}  // namespace

int roundTripIco(const std::uint8_t* data, std::size_t size) {
  RoundTrip trip;
  const RoundTripStage stage = runRoundTrip(s::image::kFormatIco, data, size, trip, true);
  if (stage == RoundTripStage::NothingDecoded) return 0;
  require(stage == RoundTripStage::Done);
  const auto& first = *trip.first;
  const auto& second = *trip.second;
  require(second.getCount() == first.getCount());

  std::vector<Shape> expected;
  std::vector<Shape> actual;
  bool square = true;
  for (std::int32_t i = 0; i < first.getCount(); ++i) {
    const auto [width, height, depth] = shapeOf(first, i);
    square = square && width == height;
    expected.push_back({width, width, width > 255 ? 32 : depth});
    actual.push_back(shapeOf(second, i));
  }
  const bool sameOrder = expected == actual;
  std::sort(expected.begin(), expected.end());
  std::sort(actual.begin(), actual.end());
  require(expected == actual);
  if (!square || !sameOrder) return 0;
  for (std::int32_t i = 0; i < first.getCount(); ++i)
    comparePixels(*first.get(i), *second.get(i), first.getBitsPerPixel(i));
  return 0;
}

}  // namespace tintery::fuzz
