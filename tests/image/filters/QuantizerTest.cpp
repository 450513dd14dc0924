#include "s/image/filters/reduction/Quantizer.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <new>
#include <random>
#include <set>
#include <vector>

#include "s/image/win/BufferedImage.h"

// Fault injection for the quantizer's node allocations, which use the nothrow
// form of new: the call numbered `failingNothrowCall` returns null. Every
// other call behaves as the standard library's own.
namespace {
std::atomic<long> nothrowCalls{0};
std::atomic<long> failingNothrowCall{0};
}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (++nothrowCalls == failingNothrowCall.load()) return nullptr;
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

namespace {

using s::image::filters::reduction::Quantizer;
using s::image::win::BufferedImage;
using s::thread::obtainOwned;
using s::thread::own;
using Image = s::thread::Owned<BufferedImage>;
using OwnedQuantizer = s::thread::Owned<Quantizer>;

struct Rgba {
  std::uint8_t r, g, b, a = 255;
};

constexpr std::uint32_t rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return r << 16 | g << 8 | b;
}

// Pixels fill the rows from the top, left to right; pixels not given stay
// fully transparent.
Image picture(int width, int height, const std::vector<Rgba>& pixels) {
  Image image = own(BufferedImage::create(width, height));
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    std::uint8_t* p = image->getRow(static_cast<int>(i) / width) + (i % width) * 4;
    const Rgba& c = pixels[i];
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
    p[3] = c.a;
  }
  return image;
}

std::vector<std::uint8_t> pixelRow(const std::vector<Rgba>& pixels) {
  std::vector<std::uint8_t> row;
  for (const Rgba& c : pixels)
    row.insert(row.end(), {c.b, c.g, c.r, c.a});
  return row;
}

std::vector<std::uint32_t> usedPalette(const Quantizer& q) {
  return {q.getPalette(), q.getPalette() + q.getColorCount()};
}

std::vector<std::uint8_t> mapAll(const Quantizer& q, BufferedImage& image, int bits = 8) {
  const int width = image.getWidth();
  const int rowBytes = bits == 8 ? width : (width + 1) / 2;
  std::vector<std::uint8_t> out(static_cast<std::size_t>(rowBytes) * image.getHeight());
  for (int y = 0; y < image.getHeight(); ++y) {
    q.mapRow(image.getRow(y), width, out.data() + y * rowBytes, bits);
  }
  return out;
}

void expectUnusedEntriesZero(const Quantizer& q) {
  for (int i = q.getColorCount(); i < 256; ++i) {
    EXPECT_EQ(q.getPalette()[i], 0u) << "entry " << i;
  }
}

TEST(Quantizer, FewColoursComeOutExactlyInTreeOrder) {
  // Level 0 splits on the top bits of red, green and blue (child index 4, 2
  // and 1 for a set bit), so blue (index 1) comes before both reds (index 4).
  // The two reds differ only in their lowest bit, which splits at level 7:
  // 128 (index 0) before 129 (index 4). Insertion order does not matter.
  const Rgba red129{129, 0, 0}, blue{0, 0, 255}, red128{128, 0, 0};
  Image image = picture(3, 2, {red129, blue, red128, blue, red129, red129});
  OwnedQuantizer q = obtainOwned<Quantizer>();
  ASSERT_TRUE(q->build(*image, 255));
  EXPECT_EQ(q->getRequestedColors(), 255);
  EXPECT_EQ(usedPalette(*q), (std::vector<std::uint32_t>{0x0000FF, 0x800000, 0x810000}));
  expectUnusedEntriesZero(*q);
  EXPECT_EQ(mapAll(*q, *image), (std::vector<std::uint8_t>{2, 0, 1, 0, 2, 2}));

  // Fewer leaves than a small maxColors asks for are kept as they are.
  ASSERT_TRUE(q->build(*image, 4));
  EXPECT_EQ(usedPalette(*q), (std::vector<std::uint32_t>{0x0000FF, 0x800000, 0x810000}));
}

// A fully transparent picture has no colours; its pixels take the reserved
// index, which keeps only its low bits when it does not fit the field.
struct TransparentCase {
  int maxColors;
  int bits;
  int requested;
  std::vector<std::uint8_t> output;
};

TEST(Quantizer, TransparentPixelsTakeTheReservedIndex) {
  Image image = picture(3, 1, {{10, 20, 30, 0}, {255, 255, 255, 0}, {0, 0, 0, 0}});
  const TransparentCase cases[] = {
      {200, 8, 200, {200, 200, 200}}, {256, 8, 256, {0, 0, 0}}, {5, 4, 5, {0x55, 0x50}},
      {16, 4, 16, {0x00, 0x00}},      {0, 8, 1, {1, 1, 1}},  // clamped up to 1
      {1000, 8, 256, {0, 0, 0}},                             // clamped down to 256
  };
  OwnedQuantizer q = obtainOwned<Quantizer>();
  for (const TransparentCase& c : cases) {
    SCOPED_TRACE(c.maxColors);
    ASSERT_TRUE(q->build(*image, c.maxColors));
    EXPECT_EQ(q->getColorCount(), 0);
    EXPECT_EQ(q->getRequestedColors(), c.requested);
    expectUnusedEntriesZero(*q);
    EXPECT_EQ(mapAll(*q, *image, c.bits), c.output);
  }
}

TEST(Quantizer, SemiTransparentPixelsShapeThePaletteButTakeTheReservedIndex) {
  // b appears only semi-transparent, yet gets its entry, unweighted by
  // alpha; the fully transparent green is left out.
  const Rgba a{10, 20, 30}, b{200, 100, 50};
  Image image = picture(
      5, 1, {a, {b.r, b.g, b.b, 128}, {b.r, b.g, b.b, 1}, {0, 255, 0, 0}, {a.r, a.g, a.b, 254}});
  OwnedQuantizer q = obtainOwned<Quantizer>();
  ASSERT_TRUE(q->build(*image, 255));
  EXPECT_EQ(usedPalette(*q), (std::vector<std::uint32_t>{rgb(10, 20, 30), rgb(200, 100, 50)}));
  EXPECT_EQ(mapAll(*q, *image), (std::vector<std::uint8_t>{0, 255, 255, 255, 255}));

  const std::vector<std::uint8_t> opaque = pixelRow({b, a});
  std::vector<std::uint8_t> out(2);
  q->mapRow(opaque.data(), 2, out.data(), 8);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 0}));
}

TEST(Quantizer, OneColourIsThePixelWeightedMean) {
  const Rgba black{0, 0, 0}, white{255, 255, 255};
  struct Case {
    std::vector<Rgba> pixels;
    std::uint32_t mean;
  };
  const Case cases[] = {
      {{black, black, white, white, black, black, white, white}, rgb(127, 127, 127)},
      // 255 / 4: a mean over leaves instead of pixels would give 127.
      {{black, black, black, white}, rgb(63, 63, 63)},
  };
  for (const Case& c : cases) {
    Image image = picture(4, static_cast<int>(c.pixels.size()) / 4, c.pixels);
    OwnedQuantizer q = obtainOwned<Quantizer>();
    ASSERT_TRUE(q->build(*image, 1));
    EXPECT_EQ(usedPalette(*q), std::vector<std::uint32_t>{c.mean});
    expectUnusedEntriesZero(*q);
    EXPECT_EQ(mapAll(*q, *image), std::vector<std::uint8_t>(c.pixels.size(), 0));
  }
}

TEST(Quantizer, FewerColoursThanLeavesMergeRunsOfNeighbours) {
  // Five greys, in tree order, with pixel counts 1, 3, 2, 1, 1. Two entries
  // take leaves [5*0/2, 5*1/2) = {0, 1} and [2, 5) = {2, 3, 4}:
  // (0*1 + 40*3) / 4 = 30 and (80*2 + 120 + 200) / 4 = 120.
  const auto grey = [](std::uint8_t v) { return Rgba{v, v, v}; };
  Image image = picture(
      4, 2, {grey(200), grey(40), grey(80), grey(0), grey(40), grey(120), grey(80), grey(40)});
  OwnedQuantizer q = obtainOwned<Quantizer>();
  ASSERT_TRUE(q->build(*image, 2));
  EXPECT_EQ(usedPalette(*q), (std::vector<std::uint32_t>{rgb(30, 30, 30), rgb(120, 120, 120)}));
  EXPECT_EQ(mapAll(*q, *image), (std::vector<std::uint8_t>{1, 0, 1, 0, 0, 1, 1, 0}));
}

TEST(Quantizer, TwentyColoursIntoFourFirstReduceToSixteenLeaves) {
  // c0..c15 have red's top nibble i and green, blue below 16, so levels 0..3
  // put them in order i, each under a level-7 node of its own. e15, e14,
  // e13, e12 (inserted in that order, after all of c) differ from their c
  // only in blue's lowest bit. Up to c15 there are 16 leaves, the limit;
  // each e adds a 17th leaf beside its c, and the newest level-7 node is
  // that very c's, so the pair merges at once. 16 leaves remain, merged
  // into 4 entries of 4 neighbours each.
  struct Sum {
    std::uint64_t r = 0, g = 0, b = 0, n = 0;
  };
  std::array<Sum, 16> leaves;
  std::vector<Rgba> pixels;
  const auto add = [&](int leaf, Rgba c, int times) {
    for (int t = 0; t < times; ++t) {
      pixels.push_back(c);
      leaves[leaf].r += c.r;
      leaves[leaf].g += c.g;
      leaves[leaf].b += c.b;
      ++leaves[leaf].n;
    }
  };
  const auto c = [](int i) {
    return Rgba{static_cast<std::uint8_t>(16 * i + 5 * i % 16),
                static_cast<std::uint8_t>(7 * i % 16), static_cast<std::uint8_t>(2 * (3 * i % 8))};
  };
  for (int i = 0; i < 16; ++i)
    add(i, c(i), 1 + i % 3);
  for (int j = 15; j >= 12; --j) {
    Rgba e = c(j);
    ++e.b;
    add(j, e, 2);
  }
  ASSERT_EQ(pixels.size(), 39u);
  Image image = picture(8, 5, pixels);  // the 40th pixel stays transparent

  std::vector<std::uint32_t> expected;
  for (int d = 0; d < 4; ++d) {
    Sum entry;
    for (int i = 4 * d; i < 4 * d + 4; ++i) {
      const Sum& leaf = leaves[i];
      entry.r += leaf.r / leaf.n * leaf.n;
      entry.g += leaf.g / leaf.n * leaf.n;
      entry.b += leaf.b / leaf.n * leaf.n;
      entry.n += leaf.n;
    }
    expected.push_back(rgb(entry.r / entry.n, entry.g / entry.n, entry.b / entry.n));
  }

  OwnedQuantizer q = obtainOwned<Quantizer>();
  ASSERT_TRUE(q->build(*image, 4));
  EXPECT_EQ(q->getColorCount(), 4);
  EXPECT_EQ(usedPalette(*q), expected);
  expectUnusedEntriesZero(*q);
}

TEST(Quantizer, ReducesTheNewestNodeOfTheDeepestLevelFirst) {
  // a, a' share a level-7 node, as do b, b'; s1..s13 each have their own.
  // The 17th leaf (s13) makes the tree reduce: the newest level-7 nodes
  // (s13 down to s1, one child each) become leaves without changing the
  // count, then b's node merges b and b' into (5/2, 5/2, 5/2). a and a'
  // stay apart. Merging the oldest node first would merge a and a' instead.
  const Rgba a{0, 1, 0}, a2{1, 0, 1}, b{2, 3, 2}, b2{3, 2, 3};
  std::vector<Rgba> pixels{a, a2, b, b2};
  std::vector<std::uint32_t> expected{rgb(0, 1, 0), rgb(1, 0, 1), rgb(2, 2, 2)};
  for (int i = 1; i <= 13; ++i) {
    pixels.push_back({static_cast<std::uint8_t>(16 * i), 0, 0});
    expected.push_back(rgb(16 * i, 0, 0));
  }
  Image image = picture(17, 1, pixels);
  OwnedQuantizer q = obtainOwned<Quantizer>();
  ASSERT_TRUE(q->build(*image, 16));
  EXPECT_EQ(usedPalette(*q), expected);
}

TEST(Quantizer, EqualDistancesGoToTheLowerIndex) {
  Image image = picture(2, 1, {{100, 100, 100}, {110, 100, 100}});
  OwnedQuantizer q = obtainOwned<Quantizer>();
  ASSERT_TRUE(q->build(*image, 255));
  ASSERT_EQ(usedPalette(*q), (std::vector<std::uint32_t>{rgb(100, 100, 100), rgb(110, 100, 100)}));
  // 105 is 5 from both entries; repeats check that a remembered result
  // never outlives its colour.
  const std::vector<std::uint8_t> row = pixelRow({{105, 100, 100},
                                                  {105, 100, 100},
                                                  {106, 100, 100},
                                                  {105, 100, 100},
                                                  {104, 101, 99},
                                                  {106, 99, 101}});
  std::vector<std::uint8_t> out(6);
  q->mapRow(row.data(), 6, out.data(), 8);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{0, 0, 1, 0, 0, 1}));
}

TEST(Quantizer, IndicesArePackedIntoTheRequestedWidth) {
  // Palette 0 black, 1 blue, 2 green, 3 red (child indices 0, 1, 2, 4).
  const Rgba black{0, 0, 0}, blue{0, 0, 255}, green{0, 255, 0}, red{255, 0, 0};
  Image image = picture(4, 1, {red, green, blue, black});
  OwnedQuantizer q = obtainOwned<Quantizer>();
  ASSERT_TRUE(q->build(*image, 16));
  ASSERT_EQ(q->getColorCount(), 4);

  struct Case {
    std::vector<Rgba> pixels;
    int bits;
    std::vector<std::uint8_t> output;  // beyond the row's bytes: untouched
  };
  const Case cases[] = {
      {{blue, green, red}, 4, {0x12, 0x30, 0xAA, 0xAA}},
      // Transparent: the reserved index 16 is 0 in a nibble.
      {{red, blue, {0, 0, 0, 0}, green}, 4, {0x31, 0x02, 0xAA, 0xAA}},
      {{blue}, 4, {0x10, 0xAA, 0xAA, 0xAA}},
      {{blue, green, red}, 8, {1, 2, 3, 0xAA}},
      {{blue, green, red}, 1, {0xAA, 0xAA, 0xAA, 0xAA}},
      {{blue, green, red}, 2, {0xAA, 0xAA, 0xAA, 0xAA}},
      {{blue, green, red}, 24, {0xAA, 0xAA, 0xAA, 0xAA}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.pixels.size() << " pixels");
    const std::vector<std::uint8_t> row = pixelRow(c.pixels);
    std::vector<std::uint8_t> out(4, 0xAA);
    q->mapRow(row.data(), static_cast<int>(c.pixels.size()), out.data(), c.bits);
    EXPECT_EQ(out, c.output);
  }
}

// Random colours, an eighth of them fully transparent and an eighth
// semi-transparent.
Image randomPicture(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<Rgba> pixels;
  for (int i = 0; i < width * height; ++i) {
    const std::uint32_t v = random();
    const std::uint32_t kind = random() % 8;
    const std::uint8_t alpha = kind == 0 ? 0 : kind == 1 ? 1 + random() % 254 : 255;
    pixels.push_back({static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                      static_cast<std::uint8_t>(v >> 16), alpha});
  }
  return picture(width, height, pixels);
}

TEST(Quantizer, RebuildingMatchesAFreshQuantizer) {
  Image first = randomPicture(40, 30, 1);
  Image second = randomPicture(33, 20, 2);
  OwnedQuantizer reused = obtainOwned<Quantizer>();
  OwnedQuantizer fresh = obtainOwned<Quantizer>();
  ASSERT_TRUE(reused->build(*first, 256));
  ASSERT_TRUE(reused->build(*second, 7));
  ASSERT_TRUE(fresh->build(*second, 7));
  EXPECT_EQ(reused->getColorCount(), 7);
  EXPECT_EQ(reused->getRequestedColors(), 7);
  EXPECT_EQ(std::memcmp(reused->getPalette(), fresh->getPalette(), 256 * 4), 0);
  EXPECT_EQ(mapAll(*reused, *second), mapAll(*fresh, *second));

  reused->clear();
  EXPECT_EQ(reused->getColorCount(), 0);
  EXPECT_EQ(reused->getRequestedColors(), 16);
  expectUnusedEntriesZero(*reused);
}

class QuantizerRandomPicture : public testing::TestWithParam<int> {};

// Odd width, so that the last 4-bit index of each row sits alone.
TEST_P(QuantizerRandomPicture, MapsEveryOpaquePixelToTheFirstNearestEntry) {
  const int maxColors = GetParam();
  const int width = 63, height = 64;
  Image image = randomPicture(width, height, 7);
  OwnedQuantizer q = obtainOwned<Quantizer>();
  ASSERT_TRUE(q->build(*image, maxColors));
  const int count = q->getColorCount();
  const std::uint32_t* palette = q->getPalette();
  if (maxColors >= 16) {
    // Thousands of colours fill the tree to the limit; one reduction takes at
    // most 7 leaves away. Leaves cover disjoint boxes of the colour cube, so
    // their means are all different.
    EXPECT_LE(count, maxColors);
    EXPECT_GE(count, maxColors - 6);
    EXPECT_EQ(std::set<std::uint32_t>(palette, palette + count).size(), std::size_t(count));
  } else {
    EXPECT_EQ(count, maxColors);
  }
  expectUnusedEntriesZero(*q);

  const std::vector<std::uint8_t> indices = mapAll(*q, *image, 8);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = image->getRow(y);
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = row + x * 4;
      int expected = q->getRequestedColors();
      if (p[3] == 255) {
        int bestDistance = 1 << 30;
        for (int i = 0; i < count; ++i) {
          const int dr = p[2] - static_cast<int>(palette[i] >> 16 & 0xFF);
          const int dg = p[1] - static_cast<int>(palette[i] >> 8 & 0xFF);
          const int db = p[0] - static_cast<int>(palette[i] & 0xFF);
          const int distance = dr * dr + dg * dg + db * db;
          if (distance < bestDistance) {
            bestDistance = distance;
            expected = i;
          }
        }
      }
      ASSERT_EQ(indices[y * width + x], static_cast<std::uint8_t>(expected))
          << "pixel " << x << ", " << y;
    }
  }

  if (maxColors <= 16) {
    const std::vector<std::uint8_t> packed = mapAll(*q, *image, 4);
    const int rowBytes = (width + 1) / 2;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < rowBytes * 2; ++x) {
        const std::uint8_t byte = packed[y * rowBytes + x / 2];
        const int nibble = x % 2 == 0 ? byte >> 4 : byte & 0x0F;
        const int expected = x < width ? indices[y * width + x] & 0x0F : 0;
        ASSERT_EQ(nibble, expected) << "pixel " << x << ", " << y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(QuantizerMaxColors, QuantizerRandomPicture,
                         testing::Values(256, 100, 16, 5, 1));

TEST(Quantizer, FailedNodeAllocationLeavesItReset) {
  Image image = randomPicture(16, 16, 3);
  OwnedQuantizer reference = obtainOwned<Quantizer>();
  OwnedQuantizer q = obtainOwned<Quantizer>();
  // 7 colours, so that the reset shows in the reserved index as well.
  const long before = nothrowCalls.load();
  ASSERT_TRUE(reference->build(*image, 7));
  const long allocations = nothrowCalls.load() - before;
  ASSERT_GT(allocations, 16);

  for (const long failing : {1L, allocations / 2, allocations}) {
    SCOPED_TRACE(failing);
    failingNothrowCall = nothrowCalls.load() + failing;
    const bool built = q->build(*image, 7);
    failingNothrowCall = 0;
    EXPECT_FALSE(built);
    EXPECT_EQ(q->getColorCount(), 0);
    EXPECT_EQ(q->getRequestedColors(), 16);
    expectUnusedEntriesZero(*q);

    ASSERT_TRUE(q->build(*image, 7));
    EXPECT_EQ(std::memcmp(q->getPalette(), reference->getPalette(), 256 * 4), 0);
  }
}

}  // namespace
