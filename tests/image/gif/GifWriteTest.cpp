#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "GifTestSupport.h"
#include "s/image/bmp/IBitmap.h"

namespace {

using gif_test::BufferedImage;
using gif_test::BufferedImageSet;
using gif_test::Bytes;
using gif_test::Gif;
using gif_test::joinSubBlocks;
using gif_test::Pixel;
using gif_test::pixelAt;
using gif_test::readGif;
using gif_test::written;
using s::thread::own;
using s::thread::Owned;

// Where the parts of a written file with one frame begin: the header (13
// bytes) and the loop extension (19) come first.
constexpr std::size_t kControl = 32;     // graphic control extension, 8 bytes
constexpr std::size_t kDescriptor = 40;  // image descriptor, 10 bytes
constexpr std::size_t kTable = 50;       // 768 bytes
constexpr std::size_t kCodeSize = 818;
constexpr std::size_t kData = 819;

// Pictures written as letters, one per pixel: R, G, B, K (black) opaque,
// "." fully transparent (and black, as decoded frames hold it).
Pixel pixelOf(char letter) {
  switch (letter) {
    case 'R':
      return {0, 0, 255, 255};
    case 'G':
      return {0, 255, 0, 255};
    case 'B':
      return {255, 0, 0, 255};
    case 'K':
      return {0, 0, 0, 255};
    default:
      return {0, 0, 0, 0};
  }
}

Owned<BufferedImage> pictureOf(const std::string& letters) {
  auto picture = own(BufferedImage::create(static_cast<int>(letters.size()), 1));
  for (std::size_t x = 0; x < letters.size(); ++x)
    std::memcpy(picture->getRow(0) + x * 4, pixelOf(letters[x]).data(), 4);
  picture->setHasAlpha(letters.find('.') != std::string::npos);
  return picture;
}

std::string lettersOf(BufferedImage& picture) {
  std::string letters;
  for (int x = 0; x < picture.getWidth(); ++x) {
    const Pixel p = pixelAt(picture, x, 0);
    char letter = '?';
    for (char candidate : std::string("RGBK.")) {
      if (p == pixelOf(candidate)) letter = candidate;
    }
    letters += letter;
  }
  return letters;
}

// An animated set of one-row pictures with their disposals.
Owned<BufferedImageSet> setOf(const std::vector<std::pair<std::string, int>>& entries,
                              std::uint16_t loopCount = 0) {
  auto set = own(BufferedImageSet::obtain());
  for (const auto& [letters, disposal] : entries)
    set->add(pictureOf(letters).release(), 8, 100, disposal);
  set->setAnimation(true, loopCount);
  return set;
}

TEST(GifWrite, AStillFrameIsWrittenByteForByte) {
  auto image = own(BufferedImage::create(2, 2));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x)
      std::memcpy(image->getRow(y) + x * 4, Pixel{30, 20, 10, 255}.data(), 4);
  }
  auto gif = own(Gif::obtain());
  ASSERT_TRUE(gif->addFrame(image.get(), 8, true, 255, 255, 255, 96));
  // clang-format off
  Bytes expected = {
      'G', 'I', 'F', '8', '9', 'a',        // header
      2, 0, 2, 0,                          // logical screen 2 x 2
      0x77,                                // no global table, colour resolution 7, size 7
      0, 0,                                // background index, aspect ratio
      0x21, 0xFF, 0x0B,                    // application extension
      'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0',
      3, 1, 1, 0,                          // sub-block 1: loop count 1
      0,                                   // end of the extension
      0x21, 0xF9, 0x04,                    // graphic control extension
      0x00,                                // disposal 0, no transparent index
      0, 0,                                // delay 0
      0xFF,                                // transparent index (none)
      0x00,                                // end of the extension
      0x2C, 0, 0, 0, 0, 2, 0, 2, 0,        // image at (0, 0), 2 x 2
      0x87,                                // local table of 256 entries
      10, 20, 30,                          // the picture's one colour, then 255 unused entries
  };
  expected.resize(expected.size() + 255 * 3, 0);
  const Bytes tail = {
      8,                                   // minimum code size
      6,                                   // one block of 6 bytes:
      0x00, 0x01, 0x08, 0x04, 0x10, 0x10,  // codes 256, 0, 258, 0, 257 of 9 bits
      0x00,                                // end of the data
      0x3B,                                // trailer
  };
  // clang-format on
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(written(*gif), expected);
}

TEST(GifWrite, TransparentPixelsTakeTheLastIndexOfTheDepth) {
  // Alpha 255, 0, 95 and 96: the default threshold 96 keeps the last one.
  auto image = own(BufferedImage::create(4, 1));
  const std::uint8_t alphas[4] = {255, 0, 95, 96};
  for (int x = 0; x < 4; ++x)
    std::memcpy(image->getRow(0) + x * 4, Pixel{0, 0, 255, alphas[x]}.data(), 4);
  image->setHasAlpha(true);
  for (int bitCount : {8, 4}) {
    const int transparent = (1 << bitCount) - 1;
    auto gif = own(Gif::obtain());
    ASSERT_TRUE(gif->addFrame(image.get(), bitCount, true, 255, 255, 255, 96));
    const Bytes bytes = written(*gif);
    ASSERT_GT(bytes.size(), kData);
    EXPECT_EQ(bytes[kControl + 3], 0x01) << bitCount;  // transparent index given
    EXPECT_EQ(bytes[kControl + 6], transparent) << bitCount;
    EXPECT_EQ(bytes[kDescriptor + 9], 0x87) << bitCount;  // still 256 entries
    EXPECT_EQ(bytes[kCodeSize], 8) << bitCount;
    EXPECT_EQ((Bytes{bytes[kTable], bytes[kTable + 1], bytes[kTable + 2]}), (Bytes{255, 0, 0}));

    auto reread = readGif(bytes);
    ASSERT_EQ(reread->getImageCount(), 1);
    const std::uint8_t* row = reread->getFrame(0)->getRow(0);
    EXPECT_EQ((Bytes(row, row + 4)),
              (Bytes{0, std::uint8_t(transparent), std::uint8_t(transparent), 0}))
        << bitCount;
    EXPECT_EQ(reread->getTransparentIndex(0), transparent);
  }
  // Without kept transparency the picture lies on the background colour.
  auto gif = own(Gif::obtain());
  ASSERT_TRUE(gif->addFrame(image.get(), 8, false, 0, 255, 0, 96));
  EXPECT_EQ(gif->getTransparentIndex(0), -1);
  auto flat = own(gif->decodeImage(0, nullptr));
  EXPECT_EQ(pixelAt(*flat, 1, 0), (Pixel{0, 255, 0, 255}));
}

TEST(GifWrite, EveryFrameDecodesBackToItsIndices) {
  struct Case {
    const char* name;
    int width, height;
    std::uint8_t (*index)(int x, int y);
  } cases[] = {
      {"one pixel", 1, 1, [](int, int) -> std::uint8_t { return 200; }},
      // Rows of 3 bytes are stored 4 apart: only 3 of each are written.
      {"odd width", 3, 5, [](int x, int y) -> std::uint8_t { return std::uint8_t(x * 5 + y); }},
      {"one colour, several packets", 300, 200, [](int, int) -> std::uint8_t { return 9; }},
      {"stripes", 255, 3, [](int x, int) -> std::uint8_t { return std::uint8_t(x % 2); }},
      // Every index and about 4000 codes: all widths, one full table.
      {"noise", 64, 64,
       [](int x, int y) -> std::uint8_t {
         return std::uint8_t((x * 7919 + y * 104729 + (x * y) % 13) >> 1);
       }},
  };
  for (const Case& c : cases) {
    auto gif = own(Gif::obtain());
    ASSERT_TRUE(gif->createBitmap(c.width, c.height, 8)) << c.name;
    auto* frame = gif->getFrame(0);
    for (int i = 0; i < 256; ++i) {
      frame->getColorTable()[i * 4 + 0] = std::uint8_t(i);
      frame->getColorTable()[i * 4 + 1] = std::uint8_t(255 - i);
      frame->getColorTable()[i * 4 + 2] = std::uint8_t(i * 3);
    }
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x)
        frame->getRow(y)[x] = c.index(x, y);
    }
    const Bytes bytes = written(*gif);
    ASSERT_GT(bytes.size(), kData) << c.name;
    // Packets of 254 bytes, the last one shorter, then the end block.
    EXPECT_TRUE(joinSubBlocks(bytes, kData, bytes.size() - 1).wellFormed) << c.name;
    std::vector<int> sizes;
    for (std::size_t p = kData; bytes[p] != 0; p += 1 + bytes[p])
      sizes.push_back(bytes[p]);
    ASSERT_FALSE(sizes.empty()) << c.name;
    EXPECT_EQ(std::count(sizes.begin(), sizes.end() - 1, 254), sizes.end() - 1 - sizes.begin())
        << c.name;
    EXPECT_LE(sizes.back(), 254) << c.name;

    bool ok = false;
    auto reread = readGif(bytes, &ok);
    ASSERT_TRUE(ok) << c.name;
    EXPECT_EQ(reread->getProblem(), "") << c.name;
    ASSERT_EQ(reread->getImageCount(), 1) << c.name;
    auto* back = reread->getFrame(0);
    EXPECT_EQ(back->getWidth(), c.width);
    EXPECT_EQ(back->getHeight(), c.height);
    EXPECT_EQ(0, std::memcmp(back->getColorTable(), frame->getColorTable(), 256 * 4)) << c.name;
    for (int y = 0; y < c.height; ++y)
      ASSERT_EQ(0, std::memcmp(back->getRow(y), frame->getRow(y), c.width)) << c.name << y;
  }
}

TEST(GifWrite, AnimationsCarryDelaysInHundredthsAndTheLoopCount) {
  auto entries = own(BufferedImageSet::obtain());
  entries->add(pictureOf("RG").release(), 8, 105, 0);
  entries->add(pictureOf("RB").release(), 8, 70, 2);
  entries->setAnimation(true, 3);
  auto gif = own(Gif::obtain());
  ASSERT_TRUE(gif->fromSet(entries.get(), 8, true, 255, 255, 255));
  const Bytes bytes = written(*gif);
  // 105 ms is written as 10 hundredths.
  EXPECT_EQ((Bytes{bytes[kControl + 4], bytes[kControl + 5]}), (Bytes{10, 0}));
  EXPECT_EQ((Bytes{bytes[29], bytes[30]}), (Bytes{3, 0}));

  auto reread = readGif(bytes);
  ASSERT_EQ(reread->getImageCount(), 2);
  EXPECT_EQ(reread->getLoopCount(), 3);
  EXPECT_EQ((std::vector<int>{reread->getDelay(0), reread->getDelay(1)}),
            (std::vector<int>{100, 70}));
}

TEST(GifWrite, LaterFramesCarryOnlyTheirChanges) {
  auto set = setOf({{"RGB", 0}, {"RKB", 2}});
  auto gif = own(Gif::obtain());
  ASSERT_TRUE(gif->fromSet(set.get(), 8, true, 255, 255, 255));
  ASSERT_EQ(gif->getImageCount(), 2);
  EXPECT_EQ((std::vector<int>{gif->getDisposal(0), gif->getDisposal(1)}), (std::vector<int>{0, 1}));
  const int transparent = gif->getTransparentIndex(1);
  EXPECT_EQ(transparent, 255);
  const std::uint8_t* row = gif->getFrame(1)->getRow(0);
  EXPECT_EQ(row[0], transparent);
  EXPECT_NE(row[1], transparent);
  EXPECT_EQ(row[2], transparent);
}

TEST(GifWrite, AnimationsPlayBackAsTheirSets) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, int>> entries;
    std::vector<std::string> shown;
  } cases[] = {
      {"only changes", {{"RGB", 0}, {"RKB", 2}, {"RKR", 2}}, {"RGB", "RKB", "RKR"}},
      // A frame left on screen cannot make a pixel transparent again: the
      // frame before is cleared and the next one written whole.
      {"pixels turning transparent", {{"RGB", 0}, {"R.B", 2}, {"RRB", 2}}, {"RGB", "R.B", "RRB"}},
      // Its own disposal would clear the first frame under the changes.
      {"first entry restoring the background", {{"RG", 2}, {"RB", 2}}, {"RG", "RB"}},
      // Transparent pixels are black in decoded frames: a black pixel that
      // appears there is a change.
      {"black appearing where nothing was", {{".R", 0}, {"KR", 2}}, {".R", "KR"}},
      {"an entry drawn over its predecessor", {{"RG", 0}, {".B", 1}}, {"RG", "RB"}},
      {"nothing changing", {{"RG", 0}, {"RG", 2}}, {"RG", "RG"}},
  };
  for (const Case& c : cases) {
    auto set = setOf(c.entries);
    auto gif = own(Gif::obtain());
    ASSERT_TRUE(gif->fromSet(set.get(), 8, true, 255, 255, 255)) << c.name;
    auto reread = readGif(written(*gif));
    auto shown = own(reread->decode(0));
    ASSERT_EQ(shown->getCount(), static_cast<int>(c.shown.size())) << c.name;
    for (int i = 0; i < shown->getCount(); ++i)
      EXPECT_EQ(lettersOf(*shown->get(i)), c.shown[i]) << c.name << " frame " << i;
  }
}

TEST(GifWrite, PicturesWithoutAlphaAreOpaqueWhateverTheirFourthBytes) {
  // Zero-filled buffers that were given colours only: alpha bytes 0, but
  // the buffer says it has no alpha.
  std::vector<Owned<BufferedImage>> pictures;
  for (const char* letters : {"RG", "RB"}) {
    pictures.push_back(pictureOf(letters));
    for (int x = 0; x < 2; ++x)
      pictures.back()->getRow(0)[x * 4 + 3] = 0;
    pictures.back()->setHasAlpha(false);
  }
  auto still = own(Gif::obtain());
  ASSERT_TRUE(still->addFrame(pictures[0].get(), 8, true, 255, 255, 255, 96));
  auto stillShown = own(readGif(written(*still))->decode(0));
  EXPECT_EQ(lettersOf(*stillShown->get(0)), "RG");

  auto set = own(BufferedImageSet::obtain());
  set->add(pictures[0].release(), 8, 100, 0);
  set->add(pictures[1].release(), 8, 100, 2);
  set->setAnimation(true, 0);
  auto animation = own(Gif::obtain());
  ASSERT_TRUE(animation->fromSet(set.get(), 8, true, 255, 255, 255));
  auto shown = own(readGif(written(*animation))->decode(0));
  ASSERT_EQ(shown->getCount(), 2);
  EXPECT_EQ(lettersOf(*shown->get(0)), "RG");
  EXPECT_EQ(lettersOf(*shown->get(1)), "RB");
}

TEST(GifWrite, ASetThatIsNotAnAnimationGivesOneFrame) {
  auto set = setOf({{"RG", 0}, {"RGB", 0}});
  set->setAnimation(false, 0);
  auto gif = own(Gif::obtain());
  ASSERT_TRUE(gif->fromSet(set.get(), 8, true, 255, 255, 255));
  ASSERT_EQ(gif->getImageCount(), 1);
  EXPECT_EQ(gif->getWidth(), 3);  // the primary entry, the largest
}

TEST(GifWrite, FailuresAreReported) {
  auto empty = own(Gif::obtain());
  tintery::test::MemoryOutputStream out;
  EXPECT_FALSE(empty->write(out));
  EXPECT_FALSE(empty->addFrame(nullptr, 8, true, 0, 0, 0, 96));
  EXPECT_FALSE(empty->createBitmap(2, 2, 4));
  EXPECT_FALSE(empty->createBitmap(0, 2, 8));
  EXPECT_EQ(empty->getImageCount(), 0);

  // A full disk, at every part of the file.
  auto gif = own(Gif::obtain());
  ASSERT_TRUE(gif->fromSet(setOf({{"RGB", 0}, {"RKB", 2}}).get(), 8, true, 255, 255, 255));
  const std::size_t size = written(*gif).size();
  for (std::size_t limit : {std::size_t{0}, std::size_t{20}, kTable + 10, kData + 2, size - 1}) {
    tintery::test::MemoryOutputStream full(limit);
    EXPECT_FALSE(gif->write(full)) << limit;
  }
}

}  // namespace
