#include <gtest/gtest.h>

#include <dirent.h>

#include <string>
#include <vector>

#include "GifTestSupport.h"
#include "s/image/bmp/IBitmap.h"

namespace {

using gif_test::Bytes;
using gif_test::dataFile;
using gif_test::Gif;
using gif_test::GifBuilder;
using gif_test::packCodes;
using gif_test::Pixel;
using gif_test::pixelAt;
using gif_test::readGif;
using gif_test::Rgb;
using s::thread::own;

const std::vector<Rgb> kColours = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
constexpr int R = 0, G = 1, B = 2, W = 3;

// A picture written as rows of letters separated by "/": R, G, B, W for the
// colours above, "." for a fully transparent pixel.
std::string lettersOf(gif_test::BufferedImage& picture) {
  std::string text;
  for (int y = 0; y < picture.getHeight(); ++y) {
    if (y > 0) text += '/';
    for (int x = 0; x < picture.getWidth(); ++x) {
      const Pixel p = pixelAt(picture, x, y);
      char letter = '?';
      if (p[3] == 0 && p[0] == 0 && p[1] == 0 && p[2] == 0) letter = '.';
      for (int c = 0; c < 4; ++c) {
        if (p[3] == 255 && p[2] == kColours[c].r && p[1] == kColours[c].g &&
            p[0] == kColours[c].b) {
          letter = "RGBW"[c];
        }
      }
      text += letter;
    }
  }
  return text;
}

// The last entry of the decoded set as letters.
std::string lastPicture(Gif& gif) {
  auto set = own(gif.decode(0));
  if (set->getCount() == 0) return "(none)";
  return lettersOf(*set->get(set->getCount() - 1));
}

// Screen 3 x 2 with four colours, a loop extension and two frames, the
// second one smaller and placed at (1, 1) with a transparent pixel.
// clang-format off
Bytes twoFrames() {
  Bytes bytes = {
      'G', 'I', 'F', '8', '9', 'a',        // signature and version
      3, 0, 2, 0,                          // logical screen 3 x 2
      0x81,                                // global table of 2^(1 + 1) entries
      0,                                   // background colour index
      0,                                   // pixel aspect ratio
      255, 0, 0,   0, 255, 0,              // red, green,
      0, 0, 255,   255, 255, 255,          // blue, white
      0x21, 0xFF, 11,                      // application extension, 11 bytes:
      'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0',
      3, 1, 5, 0,                          // sub-block 1: repeat 5 times
      0,                                   // end of the extension
      0x21, 0xF9, 4,                       // graphic control extension, 4 bytes:
      1 << 2,                              // disposal 1, no transparent index
      7, 0,                                // delay 7 hundredths
      0,                                   // transparent index (not used)
      0,                                   // end of the extension
      0x2C, 0, 0, 0, 0, 3, 0, 2, 0,        // image at (0, 0), 3 x 2
      0,                                   // no local table, not interlaced
      2,                                   // minimum code size
  };
  // Codes of 3 bits, a clear code (4) before each pixel, the end code (5).
  Bytes data = packCodes({4, R, 4, G, 4, B, 4, W, 4, R, 4, G, 5}, 3);
  bytes.push_back(static_cast<std::uint8_t>(data.size()));
  bytes.insert(bytes.end(), data.begin(), data.end());
  bytes.push_back(0);
  const Bytes second = {
      0x21, 0xF9, 4,                       // graphic control extension:
      2 << 2 | 1,                          // disposal 2, with a transparent index
      20, 0,                               // delay 20 hundredths
      3,                                   // transparent index 3 (white)
      0,                                   // end of the extension
      0x2C, 1, 0, 1, 0, 2, 0, 1, 0,        // image at (1, 1), 2 x 1
      0,                                   // no local table
      2,                                   // minimum code size
  };
  bytes.insert(bytes.end(), second.begin(), second.end());
  data = packCodes({4, W, 4, G, 5}, 3);
  bytes.push_back(static_cast<std::uint8_t>(data.size()));
  bytes.insert(bytes.end(), data.begin(), data.end());
  bytes.push_back(0);
  bytes.push_back(0x3B);                   // trailer
  return bytes;
}
// clang-format on

TEST(GifRead, FramesKeepTheirPlaceTimingAndTransparency) {
  bool ok = false;
  auto gif = readGif(twoFrames(), &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(gif->getProblem(), "");
  ASSERT_EQ(gif->getImageCount(), 2);
  EXPECT_TRUE(gif->isMultiImage());
  EXPECT_EQ(gif->getScreenWidth(), 3);
  EXPECT_EQ(gif->getScreenHeight(), 2);
  EXPECT_EQ(gif->getLoopCount(), 5);
  EXPECT_EQ(gif->getBitsPerPixel(), 2);
  EXPECT_EQ((std::vector<int>{gif->getWidth(), gif->getHeight(), gif->getFrame(1)->getWidth(),
                              gif->getFrame(1)->getHeight()}),
            (std::vector<int>{3, 2, 2, 1}));
  EXPECT_EQ((std::vector<int>{gif->getDelay(0), gif->getDelay(1)}), (std::vector<int>{70, 200}));
  EXPECT_EQ((std::vector<int>{gif->getDisposal(0), gif->getDisposal(1)}), (std::vector<int>{1, 2}));
  EXPECT_EQ((std::vector<int>{gif->getTransparentIndex(0), gif->getTransparentIndex(1)}),
            (std::vector<int>{-1, 3}));
  EXPECT_EQ((std::vector<int>{gif->getFrameLeft(1), gif->getFrameTop(1)}),
            (std::vector<int>{1, 1}));
  EXPECT_TRUE(gif->hasTransparency());
  EXPECT_EQ(gif->getFrame(0)->getBitCount(), 8);

  // A frame alone: its own size, alpha 0 at its transparent index.
  auto second = own(gif->decodeImage(1, nullptr));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(lettersOf(*second), "?G");
  EXPECT_EQ(pixelAt(*second, 0, 0)[3], 0);
  EXPECT_TRUE(second->hasAlpha());
  EXPECT_EQ(gif->decodeImage(2, nullptr), nullptr);

  // The set: whole screens, the second frame drawn over the first.
  auto set = own(gif->decode(0));
  ASSERT_EQ(set->getCount(), 2);
  EXPECT_TRUE(set->isAnimated());
  EXPECT_EQ(set->getLoopCount(), 5);
  EXPECT_EQ(lettersOf(*set->get(0)), "RGB/WRG");
  EXPECT_EQ(lettersOf(*set->get(1)), "RGB/WRG");
  EXPECT_EQ(lettersOf(*set->get(1)), lettersOf(*set->get(0)));
  EXPECT_EQ((std::vector<int>{set->getDelay(0), set->getDelay(1)}), (std::vector<int>{70, 200}));
  // The first entry keeps its disposal; later ones are complete pictures.
  EXPECT_EQ((std::vector<int>{set->getDisposal(0), set->getDisposal(1)}), (std::vector<int>{1, 2}));
  EXPECT_EQ(set->getBitsPerPixel(1), 8);
  EXPECT_FALSE(set->get(1)->hasAlpha());
}

TEST(GifRead, DisposalDecidesWhatTheNextFrameIsDrawnOver) {
  // Screen 2 x 1 in red; a green frame at (1, 0) with the disposal under
  // test; then a blue frame at (0, 0).
  struct Case {
    int disposal;
    const char* after;
  } cases[] = {
      {0, "BG"}, {1, "BG"},  // kept
      {2, "B."},             // cleared to transparent
      {3, "BR"}, {4, "BR"},  // what was there before (4 is written for 3 by some encoders)
      {5, "BG"}, {7, "BG"},  // undefined values keep the frame
  };
  for (const Case& c : cases) {
    const Bytes file = GifBuilder(2, 1, kColours)
                           .control(1, 0)
                           .image(0, 0, 2, 1, {R, R})
                           .control(c.disposal, 0)
                           .image(1, 0, 1, 1, {G})
                           .control(0, 0)
                           .image(0, 0, 1, 1, {B})
                           .finish();
    auto gif = readGif(file);
    auto set = own(gif->decode(0));
    ASSERT_EQ(set->getCount(), 3) << c.disposal;
    EXPECT_EQ(lettersOf(*set->get(1)), "RG") << c.disposal;
    EXPECT_EQ(lettersOf(*set->get(2)), c.after) << c.disposal;
    EXPECT_EQ(gif->getDisposal(1), c.disposal);
  }
}

TEST(GifRead, FramesArePlacedOnTheScreenAndClipped) {
  struct Case {
    const char* name;
    Bytes file;
    int screenWidth, screenHeight;
    const char* last;
  } cases[] = {
      {"a frame reaching past the screen",
       GifBuilder(3, 2, kColours)
           .image(0, 0, 3, 2, {W, W, W, W, W, W})
           .image(2, 1, 2, 2, {R, G, B, B})
           .finish(),
       3, 2, "WWW/WWR"},
      {"a frame wholly outside the screen",
       GifBuilder(2, 1, kColours).image(0, 0, 2, 1, {W, W}).image(65535, 65535, 1, 1, {R}).finish(),
       2, 1, "WW"},
      {"frames beside the screen, restoring what they covered",
       GifBuilder(2, 1, kColours)
           .image(0, 0, 2, 1, {W, W})
           .control(3, 0)
           .image(5, 0, 1, 1, {R})
           .control(2, 0)
           .image(0, 7, 1, 1, {R})
           .finish(),
       2, 1, "WW"},
      {"a still frame smaller than the screen",
       GifBuilder(3, 1, kColours).image(1, 0, 1, 1, {R}).finish(), 3, 1, ".R."},
      // Browsers show such files at the first frame's size, from its corner.
      {"a screen too small for the first frame",
       GifBuilder(1, 1, kColours).image(5, 5, 3, 1, {R, G, B}).image(1, 0, 1, 1, {W}).finish(), 3,
       1, "RWB"},
      {"a screen of no size", GifBuilder(0, 0, kColours).image(0, 0, 2, 1, {G, B}).finish(), 2, 1,
       "GB"},
  };
  for (const Case& c : cases) {
    bool ok = false;
    auto gif = readGif(c.file, &ok);
    EXPECT_TRUE(ok) << c.name;
    EXPECT_EQ(gif->getProblem(), "") << c.name;
    EXPECT_EQ(gif->getScreenWidth(), c.screenWidth) << c.name;
    EXPECT_EQ(gif->getScreenHeight(), c.screenHeight) << c.name;
    EXPECT_EQ(lastPicture(*gif), c.last) << c.name;
  }
}

TEST(GifRead, ColoursComeFromTheLocalTheGlobalOrAGreyTable) {
  // Frame 0 uses the global table, frame 1 its own (green first), frame 2
  // an index past the global table's four entries: black.
  auto gif = readGif(GifBuilder(1, 1, kColours)
                         .image(0, 0, 1, 1, {B})
                         .image(0, 0, 1, 1, {0}, {{0, 255, 0}, {1, 2, 3}})
                         .image(0, 0, 1, 1, {9})
                         .finish());
  auto set = own(gif->decode(0));
  ASSERT_EQ(set->getCount(), 3);
  EXPECT_EQ(pixelAt(*set->get(0), 0, 0), (Pixel{255, 0, 0, 255}));
  EXPECT_EQ(pixelAt(*set->get(1), 0, 0), (Pixel{0, 255, 0, 255}));
  EXPECT_EQ(pixelAt(*set->get(2), 0, 0), (Pixel{0, 0, 0, 255}));
  EXPECT_EQ(gif->getBitsPerPixel(), 2);

  // Without any table the indices are shades of grey.
  auto grey = readGif(GifBuilder(2, 1).image(0, 0, 2, 1, {77, 200}).finish());
  auto greySet = own(grey->decode(0));
  ASSERT_EQ(greySet->getCount(), 1);
  EXPECT_EQ(pixelAt(*greySet->get(0), 0, 0), (Pixel{77, 77, 77, 255}));
  EXPECT_EQ(pixelAt(*greySet->get(0), 1, 0), (Pixel{200, 200, 200, 255}));
  EXPECT_EQ(grey->getBitsPerPixel(), 8);
}

TEST(GifRead, DamagedFilesKeepWhatCouldBeRead) {
  const GifBuilder oneFrame = GifBuilder(2, 1, kColours).image(0, 0, 2, 1, {R, G});
  Bytes cutInData = GifBuilder(oneFrame).image(0, 0, 2, 1, {B, B}).unfinished();
  cutInData.erase(cutInData.end() - 3, cutInData.end());
  Bytes cutAtCodeSize = GifBuilder(oneFrame).image(0, 0, 2, 1, {B, B}).unfinished();
  // Without the data: a block of 6 bytes, its length and the end block.
  cutAtCodeSize.erase(cutAtCodeSize.end() - 8, cutAtCodeSize.end());
  struct Case {
    const char* name;
    Bytes file;
    bool read;
    int frames;
    const char* problem;
  } cases[] = {
      {"empty", {}, false, 0, "not a GIF file (too short)"},
      {"another format", Bytes(40, 'B'), false, 0, "not a GIF file"},
      {"header cut short", {'G', 'I', 'F', '8', '9', 'a', 1, 0}, false, 0, "truncated file"},
      {"no frame", GifBuilder(2, 1, kColours).finish(), false, 0, "no image in the file"},
      {"no trailer", oneFrame.unfinished(), true, 1, "truncated file (no trailer)"},
      {"cut inside a frame's data", cutInData, true, 2, "truncated file"},
      {"cut before any data of a frame", cutAtCodeSize, true, 1, "truncated file"},
      {"a frame of no size between two",
       GifBuilder(oneFrame).image(0, 0, 0, 5, {}).image(0, 0, 1, 1, {W}).finish(), true, 2,
       "frame of zero size skipped"},
      {"a frame above the pixel limit",
       GifBuilder(oneFrame).image(0, 0, 65535, 65535, {R}).finish(), true, 1, "frame too large"},
      {"a screen above the pixel limit",
       GifBuilder(65535, 65535, kColours).image(0, 0, 1, 1, {R}).finish(), false, 0,
       "image too large"},
      {"code size 1",
       GifBuilder(oneFrame).raw({0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 1, 1, 0, 0}).finish(), true, 1,
       "damaged image data"},
      {"code size 12",
       GifBuilder(oneFrame).raw({0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 12, 1, 0, 0}).finish(), true, 1,
       "damaged image data"},
      {"a code beyond the table",
       GifBuilder(2, 1, kColours)
           .raw({0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0, 2})
           .subBlocks(packCodes({4, 1, 7, 5}, 3))
           .finish(),
       true, 1, "damaged image data"},
      {"an end code before the last pixel",
       GifBuilder(2, 1, kColours)
           .raw({0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0, 2})
           .subBlocks(packCodes({4, 1, 5}, 3))
           .finish(),
       true, 1, "image data ends early"},
      {"stray bytes and odd extensions",
       GifBuilder(2, 1, kColours)
           .raw({0x00, 0x47, 0x99})                 // stray bytes
           .raw({0x21, 0xF9, 0x02, 0x09, 0x09, 0})  // control block too short: ignored
           .raw({0x21, 0xFE, 0})                    // comment without data
           .raw({0x21, 0x01, 3, 'a', 'b', 'c', 0})  // plain text extension
           .image(0, 0, 2, 1, {R, G})
           .finish(),
       true, 1, ""},
  };
  for (const Case& c : cases) {
    bool ok = !c.read;
    auto gif = readGif(c.file, &ok);
    EXPECT_EQ(ok, c.read) << c.name;
    EXPECT_EQ(gif->getImageCount(), c.frames) << c.name;
    EXPECT_EQ(gif->getProblem(), c.problem) << c.name;
    EXPECT_EQ(gif->getTransparentIndex(0), -1) << c.name;
    auto set = own(gif->decode(0));
    EXPECT_EQ(set->getCount(), c.frames) << c.name;
  }
}

TEST(GifRead, AFrameCutShortShowsOnlyItsDecodedPixels) {
  struct Case {
    const char* name;
    int width, height;
    bool interlaced;
    int pixelsSent;
    const char* last;
  } cases[] = {
      {"rows in order", 4, 2, false, 5, "RRRR/RWWW"},
      // Rows arrive 0, 2, 1: after two rows, the middle one is missing.
      {"interlaced rows", 2, 3, true, 4, "RR/WW/RR"},
  };
  for (const Case& c : cases) {
    const int pixels = c.width * c.height;
    // Each pixel is a clear code and a root code of 9 bits: 18 bits. The
    // second frame's data is cut after the bytes that hold pixelsSent
    // pixels whole.
    GifBuilder builder = GifBuilder(c.width, c.height, kColours)
                             .image(0, 0, c.width, c.height, std::vector<int>(pixels, W));
    const std::size_t start = builder.unfinished().size();
    Bytes file =
        builder.image(0, 0, c.width, c.height, std::vector<int>(pixels, R), {}, c.interlaced)
            .unfinished();
    // Past the descriptor (10 bytes), the code size and the block length.
    file.resize(start + 10 + 1 + 1 + (c.pixelsSent * 18 + 7) / 8);
    bool ok = false;
    auto gif = readGif(file, &ok);
    ASSERT_TRUE(ok) << c.name;
    EXPECT_EQ(gif->getProblem(), "truncated file") << c.name;
    ASSERT_EQ(gif->getImageCount(), 2) << c.name;
    EXPECT_EQ(lastPicture(*gif), c.last) << c.name;
    auto frame = own(gif->decodeImage(1, nullptr));
    EXPECT_TRUE(frame->hasAlpha()) << c.name;
  }
}

TEST(GifRead, AnAnimationAboveThePixelLimitIsRefused) {
  // Every frame becomes a whole screen of 10000 x 10000 pixels: one frame
  // is within the limit for a file, two are not. The whole file is refused,
  // from a stream that can go back (measured before any frame is kept) and
  // from one that cannot (refused when the second frame arrives).
  GifBuilder builder(10000, 10000, kColours);
  for (int i = 0; i < 2; ++i)
    builder.image(0, 0, 1, 1, {R});
  const Bytes file = builder.finish();
  for (const bool seekable : {true, false}) {
    auto gif = own(Gif::obtain());
    tintery::test::MemoryInputStream stream(file, seekable);
    EXPECT_FALSE(gif->read(stream)) << seekable;
    EXPECT_EQ(gif->getImageCount(), 0) << seekable;
    EXPECT_EQ(gif->getProblem(), "image too large") << seekable;
  }
  // One frame of the same screen is read.
  bool ok = false;
  auto single = readGif(GifBuilder(10000, 10000, kColours).image(0, 0, 1, 1, {R}).finish(), &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(single->getImageCount(), 1);
}

TEST(GifRead, LookupsOverTheFrames) {
  auto gif = readGif(GifBuilder(4, 4, kColours)
                         .image(0, 0, 4, 4, std::vector<int>(16, R))
                         .image(0, 0, 2, 1, {G, G})
                         .finish());
  std::int32_t index = -1;
  EXPECT_TRUE(gif->find(2, 1, 8, index));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(gif->find(2, 1, 32, index));
  EXPECT_EQ(index, 0);
  EXPECT_TRUE(gif->findNearestSize(3, 3, 8, index));
  EXPECT_EQ(index, 0);
  EXPECT_TRUE(gif->findNearestDepth(1, 1, 32, index));
  EXPECT_EQ(index, 1);
  auto empty = own(Gif::obtain());
  EXPECT_FALSE(empty->findNearestSize(1, 1, 8, index));
  EXPECT_EQ(empty->getWidth(), 0);
  EXPECT_EQ(empty->getBitCount(), 0);
}

}  // namespace
