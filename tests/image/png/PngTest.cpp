#include "s/image/png/win/Png.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/png/PngFixtures.h"
#include "s/file/win/PathWin.h"
#include "s/image/FormatDetection.h"
#include "s/image/filters/colors/Hsv.h"
#include "s/image/png/EncodeSetting.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/str/Utf.h"
#include "support/MemoryStreams.h"
#include "support/PlainHsv.h"

namespace {

using s::image::png::ColourChunks;
using s::image::png::win::Png;
using s::image::win::BufferedImage;
using s::image::win::BufferedImageSet;
using s::thread::own;
using s::thread::Owned;
using tintery::test::Chunk;
using tintery::test::chunksOf;
using tintery::test::findChunk;
using tintery::test::libpngFile;
using tintery::test::MemoryInputStream;
using tintery::test::MemoryOutputStream;
using tintery::test::minimalProfile;
using tintery::test::referencePixels;
using tintery::test::withoutColourChunks;
using Pixel = std::array<std::uint8_t, 4>;  // blue, green, red, alpha

const std::string kSuite = std::string(TINTERY_TEST_DATA) + "/png/pngsuite/";
const std::string kWild = std::string(TINTERY_TEST_DATA) + "/png/wild/";

std::vector<std::uint8_t> fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The suite's file names, sorted; `corrupt` selects the "x" files.
std::vector<std::string> suiteFiles(bool corrupt) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(kSuite)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".png" && (name[0] == 'x') == corrupt) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Reads bytes with the codec; any output on standard error fails the test.
Owned<Png> readPng(std::vector<std::uint8_t> bytes, bool* result = nullptr) {
  testing::internal::CaptureStderr();
  auto png = own(Png::obtain());
  MemoryInputStream in(std::move(bytes));
  const bool read = png->read(in);
  if (result != nullptr) *result = read;
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  return png;
}

std::vector<std::uint8_t> written(Png& png) {
  testing::internal::CaptureStderr();
  MemoryOutputStream out;
  EXPECT_TRUE(png.write(out));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  return out.data;
}

Owned<BufferedImage> pixelsOf(Png& png) {
  return own(png.decodeImage(0, nullptr));
}

Pixel at(BufferedImage& image, int x, int y) {
  Pixel p;
  std::memcpy(p.data(), image.getRow(y) + x * 4, 4);
  return p;
}

bool samePixels(BufferedImage& a, BufferedImage& b) {
  if (a.getWidth() != b.getWidth() || a.getHeight() != b.getHeight()) return false;
  for (int y = 0; y < a.getHeight(); ++y) {
    if (std::memcmp(a.getRow(y), b.getRow(y), static_cast<std::size_t>(a.getWidth()) * 4) != 0) {
      return false;
    }
  }
  return true;
}

int alphaCount(BufferedImage& image, int alpha) {
  int count = 0;
  for (int y = 0; y < image.getHeight(); ++y) {
    for (int x = 0; x < image.getWidth(); ++x)
      count += image.getRow(y)[x * 4 + 3] == alpha;
  }
  return count;
}

// Compares the codec's picture of a file with libpng's simplified reader on
// the same file without colour-space chunks. Up to 8 bits per sample the
// two must agree exactly. For 16-bit files the reference gives the full
// samples (premultiplied by alpha); the codec keeps the high byte, so each
// of its values must account for the reference's sample within rounding.
void expectSameAsReference(const std::string& name, const std::vector<std::uint8_t>& file) {
  auto png = readPng(file);
  ASSERT_TRUE(png->getProblem().empty()) << name << ": " << png->getProblem();
  auto ours = pixelsOf(*png);
  ASSERT_NE(ours, nullptr) << name;
  const std::vector<std::uint8_t> plain = withoutColourChunks(file);
  png_uint_32 width = 0, height = 0;
  const bool sixteenBits = file.at(24) == 16;  // IHDR bit depth
  if (!sixteenBits) {
    const auto reference = referencePixels<std::uint8_t>(plain, PNG_FORMAT_BGRA, width, height);
    ASSERT_FALSE(reference.empty()) << name;
    ASSERT_EQ(ours->getWidth(), static_cast<int>(width)) << name;
    ASSERT_EQ(ours->getHeight(), static_cast<int>(height)) << name;
    for (png_uint_32 y = 0; y < height; ++y) {
      ASSERT_EQ(
          std::memcmp(ours->getRow(static_cast<int>(y)), &reference[y * width * 4], width * 4), 0)
          << name << " row " << y;
    }
    return;
  }
  const auto reference =
      referencePixels<std::uint16_t>(plain, PNG_FORMAT_LINEAR_RGB_ALPHA, width, height);
  ASSERT_FALSE(reference.empty()) << name;
  ASSERT_EQ(ours->getWidth(), static_cast<int>(width)) << name;
  ASSERT_EQ(ours->getHeight(), static_cast<int>(height)) << name;
  for (png_uint_32 y = 0; y < height; ++y) {
    for (png_uint_32 x = 0; x < width; ++x) {
      const std::uint16_t* r = &reference[(y * width + x) * 4];  // red, green, blue, alpha
      const Pixel p = at(*ours, static_cast<int>(x), static_cast<int>(y));
      ASSERT_EQ(p[3], r[3] >> 8) << name << " alpha at " << x << "," << y;
      for (int c = 0; c < 3; ++c) {
        // The 16-bit sample lay in [v * 256, v * 256 + 255] for our byte v.
        const double low = p[2 - c] * 256.0 * r[3] / 65535.0;
        const double high = (p[2 - c] * 256.0 + 255.0) * r[3] / 65535.0;
        ASSERT_GE(r[c], low - 1) << name << " channel " << c << " at " << x << "," << y;
        ASSERT_LE(r[c], high + 1) << name << " channel " << c << " at " << x << "," << y;
      }
    }
  }
}

TEST(PngRead, EverySuiteFileMatchesTheLibrarysOwnReader) {
  const std::vector<std::string> names = suiteFiles(false);
  ASSERT_EQ(names.size(), 161u);
  for (const std::string& name : names)
    expectSameAsReference(name, fileBytes(kSuite + name));
}

TEST(PngRead, WellFormedFilesMetInPracticeMatchTheLibrarysOwnReader) {
  for (const char* name : {"hopper.png", "1_trns.png", "i_trns.png", "pil123p.png",
                           "bw_gradient.png", "padded_idat.png", "tRNS_null_1x1.png",
                           "single_frame_default.png", "hopper_idat_after_image_end.png",
                           "png_decompression_dos.png", "unknown_compression_method.png"}) {
    expectSameAsReference(name, fileBytes(kWild + name));
  }
  // Transparency counts known from the files' documentation.
  struct Case {
    const char* file;
    int alpha, count;
  } cases[] = {{"pil123p.png", 0, 11780},
               {"pil123p.png", 255, 5855},
               {"i_trns.png", 0, 559},
               {"1_trns.png", 0, 1994},
               {"tRNS_null_1x1.png", 0, 1}};
  for (const Case& c : cases) {
    auto picture = pixelsOf(*readPng(fileBytes(kWild + c.file)));
    EXPECT_EQ(alphaCount(*picture, c.alpha), c.count) << c.file;
    EXPECT_TRUE(picture->hasAlpha()) << c.file;
  }
}

TEST(PngRead, InterlacedFilesReadAsTheirPlainTwins) {
  for (const std::string& name : suiteFiles(false)) {
    if (name[3] != 'i') continue;
    std::string twin = name;
    twin[3] = 'n';
    if (!std::filesystem::exists(kSuite + twin)) continue;
    auto interlaced = pixelsOf(*readPng(fileBytes(kSuite + name)));
    auto plain = pixelsOf(*readPng(fileBytes(kSuite + twin)));
    EXPECT_TRUE(samePixels(*interlaced, *plain)) << name;
  }
}

TEST(PngRead, DepthsAndColourTypesBecomeEightBitRgba) {
  struct Case {
    const char* file;
    int x, y;
    Pixel expected;
    bool hasAlpha;
  } cases[] = {
      // 1-bit grey: black and white, opaque.
      {"basn0g01.png", 0, 0, {255, 255, 255, 255}, false},
      {"basn0g01.png", 31, 0, {0, 0, 0, 255}, false},
      // 16-bit RGBA: high bytes (0xFF, 0xFF, 0xFF, 0x00 at the top left).
      {"basn6a16.png", 0, 0, {0, 255, 255, 0}, true},
  };
  for (const Case& c : cases) {
    auto picture = pixelsOf(*readPng(fileBytes(kSuite + c.file)));
    EXPECT_EQ(at(*picture, c.x, c.y), c.expected) << c.file << " at " << c.x << "," << c.y;
    EXPECT_EQ(picture->hasAlpha(), c.hasAlpha) << c.file;
  }
  // Palette without tRNS: opaque everywhere; with tRNS: its alpha values.
  auto opaque = pixelsOf(*readPng(fileBytes(kSuite + "basn3p08.png")));
  EXPECT_EQ(alphaCount(*opaque, 255), 32 * 32);
  EXPECT_FALSE(opaque->hasAlpha());
  auto keyed = pixelsOf(*readPng(fileBytes(kSuite + "tbbn3p08.png")));
  EXPECT_GT(alphaCount(*keyed, 0), 0);
  EXPECT_EQ(alphaCount(*keyed, 0) + alphaCount(*keyed, 255), 32 * 32);
  EXPECT_TRUE(keyed->hasAlpha());
  // Grey with alpha: red = green = blue everywhere, alpha varies.
  auto greyAlpha = pixelsOf(*readPng(fileBytes(kSuite + "basn4a08.png")));
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const Pixel p = at(*greyAlpha, x, y);
      ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]) << x << "," << y;
    }
  }
  EXPECT_TRUE(greyAlpha->hasAlpha());
  // Detection hands PNG files to this codec.
  auto path = own(s::file::win::PathWin::obtain(s::str::utf8ToUtf16(kSuite + "basn2c08.png")));
  auto codec = own(s::image::openEncodedImage(*path));
  ASSERT_NE(codec, nullptr);
  EXPECT_EQ(codec->getClassTag(), Png::CLASS_TAG);
  EXPECT_EQ(codec->getWidth(), 32);
}

TEST(PngRead, CorruptFilesAreRefusedOrReadAsFarAsTheyGo) {
  const std::vector<std::string> names = suiteFiles(true);
  ASSERT_EQ(names.size(), 14u);
  for (const std::string& name : names) {
    bool result = true;
    auto png = readPng(fileBytes(kSuite + name), &result);
    // Every one is refused and leaves nothing, also the one whose damage
    // comes after some rows.
    EXPECT_FALSE(result) << name;
    EXPECT_FALSE(png->getProblem().empty()) << name;
    EXPECT_EQ(own(png->decode(0))->getCount(), 0) << name;
  }
  std::vector<std::uint8_t> scary = fileBytes(kWild + "pngtest_bad.png.bin");
  scary.insert(scary.begin(), 0x89);
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    bool read;  // what read() reports
    bool kept;  // whether the rows decoded before the damage stay
    const char* problem;
  } cases[] = {
      {"broken.png", fileBytes(kWild + "broken.png"), false, false,
       "damaged or unsupported header"},
      {"pngtest_bad.png", scary, false, false, "damaged or unsupported header"},
      {"broken_data_stream.png", fileBytes(kWild + "broken_data_stream.png"), false, false,
       "truncated or damaged image data"},
      {"truncated_image.png", fileBytes(kWild + "truncated_image.png"), false, false,
       "truncated or damaged image data"},
      {"truncated_end_chunk.png", fileBytes(kWild + "truncated_end_chunk.png"), true, true,
       "damaged data after the image"},
      {"empty", {}, false, false, "not a PNG file"},
  };
  for (const Case& c : cases) {
    bool result = !c.read;
    auto png = readPng(c.bytes, &result);
    EXPECT_EQ(result, c.read) << c.name;
    EXPECT_EQ(png->getProblem(), c.problem) << c.name;
    EXPECT_EQ(own(png->decode(0))->getCount(), c.kept ? 1 : 0) << c.name;
  }
  // All rows arrived before the cut: the picture is the whole one.
  auto cut = pixelsOf(*readPng(fileBytes(kWild + "truncated_end_chunk.png")));
  auto whole = pixelsOf(*readPng(fileBytes(kWild + "hopper.png")));
  EXPECT_TRUE(samePixels(*cut, *whole));
}

TEST(PngRead, OversizedPicturesAreRefusedBeforeAllocation) {
  // A valid file whose IHDR is rewritten (CRC included) to a larger size.
  const auto resized = [](std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> file =
        libpngFile(2, 2, PNG_COLOR_TYPE_RGB, [](int, int, int) { return 0; });
    for (int i = 0; i < 4; ++i) {
      file[16 + i] = static_cast<std::uint8_t>(width >> (24 - 8 * i));
      file[20 + i] = static_cast<std::uint8_t>(height >> (24 - 8 * i));
    }
    const png_uint_32 crc = static_cast<png_uint_32>(crc32(0, &file[12], 17));
    for (int i = 0; i < 4; ++i)
      file[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    return file;
  };
  for (auto [width, height] : {std::pair{70000u, 1u}, std::pair{20000u, 20000u}}) {
    bool result = true;
    auto png = readPng(resized(width, height), &result);
    EXPECT_FALSE(result) << width;
    EXPECT_EQ(png->getProblem(), "image too large") << width;
  }
  // Every prefix of a small file is handled without reading past its end.
  const std::vector<std::uint8_t> small = fileBytes(kSuite + "basi0g01.png");
  for (std::size_t length = 0; length < small.size(); ++length) {
    auto png = readPng({small.begin(), small.begin() + static_cast<long>(length)});
    own(png->decode(0));
  }
}

// A picture of varied colours and alphas.
Owned<BufferedImage> testCard(int width, int height, bool transparent) {
  auto image = own(BufferedImage::create(width, height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = image->getRow(y) + x * 4;
      p[0] = static_cast<std::uint8_t>(x * 37 + y);
      p[1] = static_cast<std::uint8_t>(y * 53);
      p[2] = static_cast<std::uint8_t>(x * y * 11);
      p[3] = transparent ? static_cast<std::uint8_t>((x + y) * 40) : 255;
    }
  }
  image->setHasAlpha(transparent);
  return image;
}

TEST(PngWrite, EightBitRgbaInterlacedOrNotAndExactOnRereading) {
  auto card = testCard(13, 7, true);
  for (std::uint8_t interlace : {0, 1}) {
    auto png = own(Png::obtain());
    ASSERT_TRUE(png->setImage(card.get(), interlace, 1, 255, 255, 255));
    EXPECT_EQ(png->getWithInterlace(), interlace);
    const std::vector<std::uint8_t> bytes = written(*png);
    const std::vector<Chunk> chunks = chunksOf(bytes);
    ASSERT_FALSE(chunks.empty());
    ASSERT_EQ(chunks[0].type, "IHDR");
    const std::vector<std::uint8_t>& ihdr = chunks[0].data;
    EXPECT_EQ(tintery::test::bigEndian32(&ihdr[0]), 13u);
    EXPECT_EQ(tintery::test::bigEndian32(&ihdr[4]), 7u);
    EXPECT_EQ(ihdr[8], 8);  // bit depth
    EXPECT_EQ(ihdr[9], 6);  // colour type: RGB with alpha
    EXPECT_EQ(ihdr[12], interlace);
    // Nothing but the picture itself.
    for (const Chunk& c : chunks)
      EXPECT_TRUE(c.type == "IHDR" || c.type == "IDAT" || c.type == "IEND") << c.type;
    auto back = pixelsOf(*readPng(bytes));
    EXPECT_TRUE(samePixels(*back, *card));
    EXPECT_TRUE(samePixels(*pixelsOf(*png), *card));
  }
}

TEST(PngWrite, AFailingStreamLeavesThePixelStoreAsItWas) {
  // Noise does not compress, so the library hands data to the stream while
  // the rows (swapped to red-green-blue order) are still being written.
  auto card = testCard(128, 128, true);
  std::uint32_t state = 777;
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128 * 4; ++x) {
      state = state * 1103515245 + 12345;
      card->getRow(y)[x] = static_cast<std::uint8_t>(state >> 24);
    }
  }
  auto png = own(Png::obtain());
  ASSERT_TRUE(png->setImage(card.get(), 1, 1, 255, 255, 255));
  const std::size_t size = written(*png).size();
  ASSERT_GT(size, 40000u);
  // In the signature, in IHDR, in the image data, in IEND.
  for (std::size_t limit : {std::size_t{1}, std::size_t{20}, std::size_t{20000}, size - 1}) {
    testing::internal::CaptureStderr();
    MemoryOutputStream full(limit);
    EXPECT_FALSE(png->write(full)) << limit;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(samePixels(*pixelsOf(*png), *card)) << limit;
  }
  MemoryOutputStream out;
  EXPECT_FALSE(own(Png::obtain())->write(out));
}

TEST(PngWrite, TransparencyIsKeptOrFlattened) {
  auto image = own(BufferedImage::create(2, 1));
  const Pixel pixels[2] = {{10, 20, 30, 0}, {0, 0, 200, 128}};
  for (int x = 0; x < 2; ++x)
    std::memcpy(image->getRow(0) + x * 4, pixels[x].data(), 4);
  image->setHasAlpha(true);
  struct Case {
    std::uint8_t keep;
    Pixel first, second;
  } cases[] = {
      {1, {10, 20, 30, 0}, {0, 0, 200, 128}},
      // Background red 40, green 50, blue 60 where fully transparent.
      {0, {60, 50, 40, 255}, {30, 25, 120, 255}},
  };
  for (const Case& c : cases) {
    auto png = own(Png::obtain());
    ASSERT_TRUE(png->setImage(image.get(), 0, c.keep, 40, 50, 60));
    auto back = pixelsOf(*readPng(written(*png)));
    EXPECT_EQ(at(*back, 0, 0), c.first) << int{c.keep};
    EXPECT_EQ(at(*back, 1, 0), c.second) << int{c.keep};
  }
  EXPECT_FALSE(own(Png::obtain())->setImage(nullptr, 1, 1, 0, 0, 0));
}

TEST(PngEncode, VariantsAreInterlacedRgbaAndPixelExactWithTheFilter) {
  for (const char* file : {"basn2c08.png", "basn3p04.png", "basn6a08.png", "basi4a16.png",
                           "tbrn2c08.png", "s35n3p04.png"}) {
    auto source = readPng(fileBytes(kSuite + file));
    auto set = own(source->decode(0));
    ASSERT_EQ(set->getCount(), 1) << file;
    EXPECT_EQ(set->getBitsPerPixel(0), 32);
    auto expected = own(set->get(0)->copyTo(nullptr));
    for (int y = 0; y < expected->getHeight(); ++y) {
      for (int x = 0; x < expected->getWidth(); ++x)
        tintery::test::plainHsvPixel(expected->getRow(y) + x * 4, -100, 40, 15);
    }
    auto* hsv = s::image::filters::colors::Hsv::obtain();
    hsv->hueShift = -100;
    hsv->saturationShift = 40;
    hsv->valueShift = 15;
    set->get(0)->addFilter(hsv);
    auto variant = own(source->encodeSetLike(set.get()));
    ASSERT_NE(variant, nullptr) << file;
    const std::vector<std::uint8_t> bytes = written(*static_cast<Png*>(variant.get()));
    const std::vector<Chunk> chunks = chunksOf(bytes);
    ASSERT_EQ(chunks.at(0).type, "IHDR");
    const std::vector<std::uint8_t>& ihdr = chunks[0].data;
    EXPECT_EQ(ihdr.at(8), 8) << file;
    EXPECT_EQ(ihdr.at(9), 6) << file;
    EXPECT_EQ(ihdr.at(12), 1) << file;
    auto back = pixelsOf(*readPng(bytes));
    EXPECT_TRUE(samePixels(*back, *expected)) << file;
  }
}

TEST(PngEncode, SettingRecordsComeBackAtTheirDefaults) {
  auto* setting = s::image::png::EncodeSetting::obtain();
  setting->keepTransparency = 0;
  setting->withInterlace = 0;
  setting->bgBlue = 3;
  setting->recycle();
  auto again = own(s::image::png::EncodeSetting::obtain());
  EXPECT_EQ(again->keepTransparency, 1);
  EXPECT_EQ(again->withInterlace, 1);
  EXPECT_EQ(again->bgRed, 255);
  EXPECT_EQ(again->bgGreen, 255);
  EXPECT_EQ(again->bgBlue, 255);
  EXPECT_EQ(again->createFromImage(nullptr), nullptr);
  EXPECT_EQ(again->createFromSet(nullptr), nullptr);
  // A recycled Png comes back empty, not interlaced, without colour chunks.
  auto* used = readPng(fileBytes(kWild + "hopper.png")).release();
  EXPECT_FALSE(used->getColourChunks().empty());
  used->recycle();
  auto fresh = own(Png::obtain());
  EXPECT_EQ(fresh->getWidth(), 0);
  EXPECT_EQ(fresh->getWithInterlace(), 0);
  EXPECT_TRUE(fresh->getColourChunks().empty());
}

// Writes a hue-shifted variant of a source file and returns its bytes.
std::vector<std::uint8_t> variantOf(const std::vector<std::uint8_t>& source) {
  auto png = readPng(source);
  auto set = own(png->decode(0));
  if (set->getCount() != 1) return {};
  auto* hsv = s::image::filters::colors::Hsv::obtain();
  hsv->hueShift = 90;
  set->get(0)->addFilter(hsv);
  auto variant = own(png->encodeSetLike(set.get()));
  if (variant == nullptr) return {};
  return written(*static_cast<Png*>(variant.get()));
}

TEST(PngMetadata, ColourChunksSurviveInTheVariants) {
  const auto colours = [](int x, int y, int c) { return (x * 30 + y * 20 + c * 80) % 256; };
  const std::vector<std::uint8_t> profile = minimalProfile("RGB ");
  struct Case {
    const char* name;
    std::vector<std::uint8_t> source;
    std::vector<std::string> carried;
  } cases[] = {
      // A photo with gAMA and cHRM.
      {"hopper.png", fileBytes(kWild + "hopper.png"), {"gAMA", "cHRM"}},
      {"gamma 0.35", fileBytes(kSuite + "g03n2c08.png"), {"gAMA"}},
      {"ICC profile",
       libpngFile(4, 3, PNG_COLOR_TYPE_RGB, colours,
                  [&](png_structp png, png_infop info) {
                    png_set_iCCP(png, info, "test profile", PNG_COMPRESSION_TYPE_BASE,
                                 profile.data(), static_cast<png_uint_32>(profile.size()));
                  }),
       {"iCCP"}},
      {"sRGB",
       libpngFile(4, 3, PNG_COLOR_TYPE_RGB_ALPHA, colours,
                  [](png_structp png, png_infop info) {
                    png_set_sRGB(png, info, PNG_sRGB_INTENT_SATURATION);
                  }),
       {"sRGB"}},
  };
  for (const Case& c : cases) {
    const std::vector<Chunk> source = chunksOf(c.source);
    const std::vector<std::uint8_t> variant = variantOf(c.source);
    ASSERT_FALSE(variant.empty()) << c.name;
    const std::vector<Chunk> chunks = chunksOf(variant);
    for (const std::string& type : c.carried) {
      ASSERT_NE(findChunk(source, type), nullptr) << c.name << " " << type;
      const Chunk* kept = findChunk(chunks, type);
      ASSERT_NE(kept, nullptr) << c.name << " " << type;
      if (type != "iCCP") {
        EXPECT_EQ(kept->data, findChunk(source, type)->data) << c.name;
      }
    }
    // Colour-space chunks come before the image data.
    const auto idat =
        std::find_if(chunks.begin(), chunks.end(), [](const Chunk& k) { return k.type == "IDAT"; });
    for (auto k = idat; k != chunks.end(); ++k)
      EXPECT_TRUE(k->type == "IDAT" || k->type == "IEND") << c.name << " " << k->type;
  }
  // The profile itself arrives unchanged (its chunk is compressed).
  const std::vector<std::uint8_t> withProfile =
      libpngFile(4, 3, PNG_COLOR_TYPE_RGB, colours, [&](png_structp png, png_infop info) {
        png_set_iCCP(png, info, "test profile", PNG_COMPRESSION_TYPE_BASE, profile.data(),
                     static_cast<png_uint_32>(profile.size()));
      });
  auto reread = readPng(variantOf(withProfile));
  EXPECT_TRUE(reread->getColourChunks().hasProfile);
  EXPECT_EQ(reread->getColourChunks().profileName, "test profile");
  EXPECT_EQ(reread->getColourChunks().profile, profile);

  // A grey picture's profile does not describe the RGB variant: not carried.
  const std::vector<std::uint8_t> greyProfile = minimalProfile("GRAY");
  const std::vector<std::uint8_t> grey =
      libpngFile(4, 3, PNG_COLOR_TYPE_GRAY, colours, [&](png_structp png, png_infop info) {
        png_set_iCCP(png, info, "grey", PNG_COMPRESSION_TYPE_BASE, greyProfile.data(),
                     static_cast<png_uint_32>(greyProfile.size()));
      });
  ASSERT_NE(findChunk(chunksOf(grey), "iCCP"), nullptr);
  const std::vector<std::uint8_t> greyVariant = variantOf(grey);
  ASSERT_FALSE(greyVariant.empty());
  EXPECT_EQ(findChunk(chunksOf(greyVariant), "iCCP"), nullptr);
}

}  // namespace
