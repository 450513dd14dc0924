#include "s/image/bmp/win/Bitmap.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "s/image/bmp/EncodeSetting.h"
#include "s/image/filters/colors/Hsv.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/io/ByteReader.h"
#include "s/str/Utf.h"
#include "support/MemoryStreams.h"
#include "support/PlainHsv.h"

namespace {

using s::image::bmp::win::Bitmap;
using s::image::win::BufferedImage;
using s::image::win::BufferedImageSet;
using s::io::ByteReader;
using s::thread::own;
using tintery::test::MemoryInputStream;
using tintery::test::MemoryOutputStream;
using Pixel = std::array<std::uint8_t, 4>;  // blue, green, red, alpha

const std::string kData = std::string(TINTERY_TEST_DATA) + "/bmp/";

s::thread::Owned<Bitmap> load(const std::string& name) {
  auto bitmap = own(Bitmap::obtain());
  bitmap->loadFromFile(s::str::utf8ToUtf16(kData + name));
  return bitmap;
}

s::thread::Owned<BufferedImage> decoded(const std::string& name) {
  return own(load(name)->decodeImage(0, nullptr));
}

Pixel at(BufferedImage& image, int x, int y) {
  Pixel p;
  std::memcpy(p.data(), image.getRow(y) + x * 4, 4);
  return p;
}

// Largest difference of any channel of any pixel (sizes must agree).
int largestDifference(BufferedImage& a, BufferedImage& b) {
  int largest = 0;
  for (int y = 0; y < a.getHeight(); ++y) {
    for (int x = 0; x < a.getWidth() * 4; ++x) {
      largest = std::max(largest, std::abs(a.getRow(y)[x] - b.getRow(y)[x]));
    }
  }
  return largest;
}

std::vector<std::uint8_t> written(Bitmap& bitmap) {
  MemoryOutputStream out;
  EXPECT_TRUE(bitmap.write(out));
  return out.data;
}

struct Family {
  const char* reference;
  std::vector<const char*> members;
  int tolerance;
};

// Files of one family show the same 127 x 64 scene in different layouts
// (depths, headers, compression, row order), so they decode alike.
TEST(BitmapRead, FamiliesOfTheSuiteDecodeAlike) {
  const Family families[] = {
      {"good/pal8.bmp",
       {"good/pal8-0.bmp", "good/pal8rle.bmp", "good/pal8topdown.bmp", "good/pal8v4.bmp",
        "good/pal8v5.bmp", "good/pal8os2.bmp", "questionable/pal8offs.bmp",
        "questionable/pal8os2v2.bmp", "questionable/pal8os2v2-16.bmp",
        "questionable/pal8os2sp.bmp"},
       1},
      {"good/rgb24.bmp",
       {"good/rgb24pal.bmp", "good/rgb32.bmp", "good/rgb32bf.bmp", "questionable/rgb24largepal.bmp",
        "questionable/rgb24prof.bmp", "questionable/rgb24lprof.bmp",
        "questionable/rgb32bf-xbgr.bmp", "questionable/rgb32h52.bmp"},
       0},
      {"good/rgb24.bmp", {"questionable/rgb32-111110.bmp"}, 4},
      {"good/pal4.bmp", {"good/pal4rle.bmp"}, 0},
      {"good/pal1.bmp", {"good/pal1wb.bmp"}, 0},
      {"good/rgb16-565.bmp", {"good/rgb16-565pal.bmp"}, 0},
  };
  for (const Family& family : families) {
    auto reference = decoded(family.reference);
    ASSERT_NE(reference, nullptr) << family.reference;
    for (const char* member : family.members) {
      auto picture = decoded(member);
      ASSERT_NE(picture, nullptr) << member;
      ASSERT_EQ(picture->getWidth(), reference->getWidth()) << member;
      ASSERT_EQ(picture->getHeight(), reference->getHeight()) << member;
      EXPECT_LE(largestDifference(*picture, *reference), family.tolerance) << member;
      EXPECT_FALSE(picture->hasAlpha()) << member;
    }
  }
}

TEST(BitmapRead, SizesDepthsAndColours) {
  struct Case {
    const char* file;
    int width, height, depth;
  } cases[] = {
      {"good/pal1.bmp", 127, 64, 1},
      {"good/pal1bg.bmp", 127, 64, 1},
      {"good/pal4.bmp", 127, 64, 4},
      {"good/pal8.bmp", 127, 64, 8},
      {"good/pal8nonsquare.bmp", 127, 32, 8},
      {"good/pal8w124.bmp", 124, 61, 8},
      {"good/pal8w125.bmp", 125, 62, 8},
      {"good/pal8w126.bmp", 126, 63, 8},
      {"good/rgb16.bmp", 127, 64, 16},
      {"good/rgb16-565.bmp", 127, 64, 16},
      {"good/rgb24.bmp", 127, 64, 24},
      {"good/rgb32.bmp", 127, 64, 32},
      {"questionable/pal2.bmp", 127, 64, 2},
      {"questionable/pal1p1.bmp", 127, 64, 1},
      {"questionable/rgb16-231.bmp", 127, 64, 16},
  };
  for (const Case& c : cases) {
    auto set = own(load(c.file)->decode(0));
    ASSERT_EQ(set->getCount(), 1) << c.file;
    EXPECT_EQ(set->getWidth(), c.width) << c.file;
    EXPECT_EQ(set->getHeight(), c.height) << c.file;
    EXPECT_EQ(set->getBitsPerPixel(0), c.depth) << c.file;
  }
  // 5-bit channels stretch to the full byte range: white stays white.
  auto rgb16 = decoded("good/rgb16.bmp");
  auto rgb24 = decoded("good/rgb24.bmp");
  EXPECT_LE(largestDifference(*rgb16, *rgb24), 8);
  // Unknown colour indices are black, never read past the table.
  auto badIndex = decoded("bad/pal8badindex.bmp");
  ASSERT_NE(badIndex, nullptr);
  EXPECT_EQ(badIndex->getWidth(), 127);
}

TEST(BitmapRead, AlphaFromTheFourthByte) {
  // rgba32: alpha mask in a v5 header; the picture has see-through parts.
  auto rgba = decoded("questionable/rgba32.bmp");
  ASSERT_NE(rgba, nullptr);
  EXPECT_TRUE(rgba->hasAlpha());
  auto abf = decoded("questionable/rgba32abf.bmp");
  ASSERT_NE(abf, nullptr);
  EXPECT_EQ(largestDifference(*abf, *rgba), 0);

  // Built by hand: fourth bytes all 0 decode opaque; one non-zero keeps them.
  struct Case {
    std::uint8_t alphas[2];
    bool hasAlpha;
    std::uint8_t decoded[2];
  } cases[] = {{{0, 0}, false, {255, 255}},
               {{0, 255}, true, {0, 255}},
               {{255, 255}, false, {255, 255}},
               {{128, 255}, true, {128, 255}}};
  for (const Case& c : cases) {
    auto bitmap = own(Bitmap::obtain());
    ASSERT_TRUE(bitmap->createBitmap(2, 1, 32));
    std::uint8_t* row = bitmap->getRow(0);
    row[3] = c.alphas[0];
    row[7] = c.alphas[1];
    auto picture = own(bitmap->decodeImage(0, nullptr));
    EXPECT_EQ(picture->hasAlpha(), c.hasAlpha);
    EXPECT_EQ(at(*picture, 0, 0)[3], c.decoded[0]);
    EXPECT_EQ(at(*picture, 1, 0)[3], c.decoded[1]);
  }
}

TEST(BitmapRead, DamagedFilesAreRefusedOrDecodedAsFarAsTheyGo) {
  const char* refused[] = {"bad/badbitcount.bmp",       "bad/badheadersize.bmp",
                           "bad/badpalettesize.bmp",    "bad/badplanes.bmp",
                           "bad/badwidth.bmp",          "bad/reallybig.bmp",
                           "bad/rletopdown.bmp",        "questionable/rgb24jpeg.bmp",
                           "questionable/rgb24png.bmp", "questionable/pal8oversizepal.bmp"};
  for (const char* file : refused) {
    auto bitmap = load(file);
    EXPECT_FALSE(bitmap->getProblem().empty()) << file;
    auto set = own(bitmap->decode(0));
    EXPECT_EQ(set->getCount(), 0) << file;
  }
  const char* decodedAnyway[] = {"bad/badbitssize.bmp",
                                 "bad/baddens1.bmp",
                                 "bad/baddens2.bmp",
                                 "bad/badfilesize.bmp",
                                 "bad/shortfile.bmp",
                                 "bad/badrle.bmp",
                                 "questionable/pal4rletrns.bmp",
                                 "questionable/pal8rletrns.bmp"};
  for (const char* file : decodedAnyway) {
    auto set = own(load(file)->decode(0));
    ASSERT_EQ(set->getCount(), 1) << file;
    EXPECT_EQ(set->getWidth(), 127) << file;
  }
  EXPECT_EQ(load("bad/shortfile.bmp")->getProblem(), "truncated pixel data");

  // Every prefix of a valid file is handled without reading past its end.
  std::ifstream in(kData + "good/pal4rle.bmp", std::ios::binary);
  const std::vector<std::uint8_t> whole{std::istreambuf_iterator<char>(in), {}};
  for (std::size_t length = 0; length < whole.size(); length += 7) {
    MemoryInputStream stream({whole.begin(), whole.begin() + static_cast<long>(length)});
    auto bitmap = own(Bitmap::obtain());
    bitmap->read(stream);
    own(bitmap->decode(0));
  }
}

TEST(BitmapWrite, HeadersFollowTheFileLayout) {
  struct Case {
    int width, height, depth;
    std::uint32_t size, offset, imageSize, colorsUsed;
  } cases[] = {
      {3, 2, 24, 78, 54, 24, 0},
      {5, 1, 4, 122, 118, 4, 16},
      {2, 2, 8, 1078 + 8, 1078, 8, 256},
      {2, 1, 32, 62, 54, 8, 0},
  };
  for (const Case& c : cases) {
    auto image = own(BufferedImage::create(c.width, c.height));
    auto bitmap = own(Bitmap::obtain());
    ASSERT_TRUE(bitmap->fromImage(image.get(), c.depth, true, 255, 255, 255));
    const std::vector<std::uint8_t> bytes = written(*bitmap);
    ASSERT_EQ(bytes.size(), c.size) << c.depth;
    ByteReader header(bytes.data(), bytes.size());
    EXPECT_EQ(header.u16le(), 0x4D42);
    EXPECT_EQ(header.u32le(), c.size);
    EXPECT_EQ(header.u32le(), 0u);
    EXPECT_EQ(header.u32le(), c.offset);
    EXPECT_EQ(header.u32le(), 40u);
    EXPECT_EQ(header.s32le(), c.width);
    EXPECT_EQ(header.s32le(), c.height);
    EXPECT_EQ(header.u16le(), 1);
    EXPECT_EQ(header.u16le(), c.depth);
    EXPECT_EQ(header.u32le(), 0u);
    EXPECT_EQ(header.u32le(), c.imageSize);
    header.skip(8);
    EXPECT_EQ(header.u32le(), c.colorsUsed);
    EXPECT_EQ(header.u32le(), c.colorsUsed);
  }
}

TEST(BitmapWrite, RowsArePaddedAndPacked) {
  // 3 x 2 at 24 bits: 9 bytes of pixels and 3 zero bytes per row.
  auto image = own(BufferedImage::create(3, 2));
  std::memset(image->getPixels(), 0xAB, 3 * 2 * 4);
  auto bitmap = own(Bitmap::obtain());
  ASSERT_TRUE(bitmap->fromImage(image.get(), 24, true, 0, 0, 0));
  std::vector<std::uint8_t> bytes = written(*bitmap);
  for (int row = 0; row < 2; ++row) {
    const std::uint8_t* r = &bytes[54 + row * 12];
    EXPECT_EQ(r[8], 0xAB);
    EXPECT_EQ(r[9] | r[10] | r[11], 0);
  }

  // 5 x 1 at 4 bits: five nibbles, then a zero low nibble and a zero byte.
  auto five = own(BufferedImage::create(5, 1));
  for (int x = 0; x < 5; ++x) {
    std::uint8_t* p = five->getRow(0) + x * 4;
    p[0] = static_cast<std::uint8_t>(x * 50), p[3] = 255;
  }
  ASSERT_TRUE(bitmap->fromImage(five.get(), 4, true, 0, 0, 0));
  bytes = written(*bitmap);
  ASSERT_EQ(bytes.size(), 122u);
  EXPECT_EQ(bytes[118 + 2] & 0x0F, 0);
  EXPECT_EQ(bytes[118 + 3], 0);
  // Each pixel's index leads to its own colour.
  for (int x = 0; x < 5; ++x) {
    const int index = (bytes[118 + x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0F;
    EXPECT_EQ(bytes[54 + index * 4], x * 50) << x;
  }
}

TEST(BitmapWrite, TransparencyIsKeptOrComposited) {
  auto image = own(BufferedImage::create(3, 1));
  const Pixel pixels[3] = {{0, 0, 255, 0}, {0, 0, 255, 128}, {10, 20, 30, 255}};
  for (int x = 0; x < 3; ++x)
    std::memcpy(image->getRow(0) + x * 4, pixels[x].data(), 4);
  image->setHasAlpha(true);

  auto bitmap = own(Bitmap::obtain());
  ASSERT_TRUE(bitmap->fromImage(image.get(), 24, true, 255, 255, 255));
  std::vector<std::uint8_t> bytes = written(*bitmap);
  EXPECT_EQ((std::array<int, 3>{bytes[54], bytes[55], bytes[56]}),
            (std::array<int, 3>{255, 255, 255}));
  EXPECT_EQ((std::array<int, 3>{bytes[57], bytes[58], bytes[59]}),
            (std::array<int, 3>{127, 127, 255}));
  EXPECT_EQ((std::array<int, 3>{bytes[60], bytes[61], bytes[62]}),
            (std::array<int, 3>{10, 20, 30}));

  ASSERT_TRUE(bitmap->fromImage(image.get(), 32, true, 1, 2, 3));
  bytes = written(*bitmap);
  EXPECT_EQ((std::array<int, 4>{bytes[54], bytes[55], bytes[56], bytes[57]}),
            (std::array<int, 4>{3, 2, 1, 0}));
  EXPECT_EQ((std::array<int, 4>{bytes[58], bytes[59], bytes[60], bytes[61]}),
            (std::array<int, 4>{0, 0, 255, 128}));
  // The source picture is not changed by encoding.
  EXPECT_EQ(at(*image, 0, 0), pixels[0]);
}

TEST(BitmapWrite, RoundTripsThroughTheReader) {
  // 4 colours fit every depth, so every depth gives them back exactly.
  auto image = own(BufferedImage::create(7, 3));
  const Pixel colours[4] = {
      {0, 0, 0, 255}, {255, 0, 0, 255}, {12, 200, 99, 255}, {255, 255, 255, 255}};
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 7; ++x)
      std::memcpy(image->getRow(y) + x * 4, colours[(x + y) % 4].data(), 4);
  }
  for (int depth : {4, 8, 24, 32}) {
    auto bitmap = own(Bitmap::obtain());
    ASSERT_TRUE(bitmap->fromImage(image.get(), depth, true, 255, 255, 255));
    MemoryInputStream in(written(*bitmap));
    auto reread = own(Bitmap::obtain());
    ASSERT_TRUE(reread->read(in)) << depth;
    EXPECT_TRUE(reread->getProblem().empty()) << depth;
    EXPECT_EQ(reread->getBitCount(), depth);
    auto back = own(reread->decodeImage(0, nullptr));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(largestDifference(*back, *image), 0) << depth;
  }
  // A full disk is reported.
  auto bitmap = own(Bitmap::obtain());
  ASSERT_TRUE(bitmap->fromImage(image.get(), 24, true, 255, 255, 255));
  MemoryOutputStream full(60);
  EXPECT_FALSE(bitmap->write(full));
}

TEST(BitmapEncode, VariantsKeepTheDepthAndAreExactWithTheFilter) {
  struct Case {
    const char* file;
    int writtenDepth;
  } cases[] = {{"good/rgb24.bmp", 24},        {"good/rgb32.bmp", 32},
               {"good/pal8.bmp", 8},          {"good/pal4.bmp", 4},
               {"good/pal1.bmp", 24},         {"good/rgb16.bmp", 24},
               {"questionable/pal2.bmp", 24}, {"questionable/rgba32.bmp", 32}};
  for (const Case& c : cases) {
    auto source = load(c.file);
    auto set = own(source->decode(0));
    ASSERT_EQ(set->getCount(), 1) << c.file;
    auto original = own(set->get(0)->copyTo(nullptr));
    auto* hsv = s::image::filters::colors::Hsv::obtain();
    hsv->hueShift = -147;
    set->get(0)->addFilter(hsv);
    auto variant = own(source->encodeSetLike(set.get()));
    ASSERT_NE(variant, nullptr) << c.file;
    auto* bitmap = static_cast<Bitmap*>(variant.get());
    EXPECT_EQ(bitmap->getBitCount(), c.writtenDepth) << c.file;
    if (c.writtenDepth < 24) continue;
    auto pixels = own(bitmap->decodeImage(0, nullptr));
    for (int y = 0; y < original->getHeight(); ++y) {
      for (int x = 0; x < original->getWidth(); ++x) {
        Pixel expected = at(*original, x, y);
        tintery::test::plainHsvPixel(expected.data(), -147, 0, 0);
        Pixel actual = at(*pixels, x, y);
        if (c.writtenDepth == 24) expected[3] = actual[3] = 255;
        // Fully transparent pixels are written in the background colour.
        if (expected[3] == 0) expected = {255, 255, 255, 0};
        ASSERT_EQ(actual, expected) << c.file << " at " << x << "," << y;
      }
    }
  }
}

TEST(BitmapEncode, SettingRecordsComeBackAtTheirDefaults) {
  auto* setting = s::image::bmp::EncodeSetting::obtain();
  setting->bpp = 8;
  setting->keepTransparency = 0;
  setting->bgRed = 3;
  setting->recycle();
  auto again = own(s::image::bmp::EncodeSetting::obtain());
  EXPECT_EQ(again->bpp, 24);
  EXPECT_EQ(again->keepTransparency, 1);
  EXPECT_EQ(again->bgRed, 255);
  EXPECT_EQ(again->createFromImage(nullptr), nullptr);
}

}  // namespace
