#include "s/image/ico/win/Icon.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "s/image/FormatDetection.h"
#include "s/image/filters/colors/Hsv.h"
#include "s/image/ico/EncodeSetting.h"
#include "s/image/ico/win/IconImage.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/io/ByteReader.h"
#include "s/str/Utf.h"
#include "support/MemoryStreams.h"
#include "support/PlainHsv.h"

namespace {

using s::image::ico::win::Icon;
using s::image::ico::win::IconImage;
using s::image::win::BufferedImage;
using s::io::ByteReader;
using s::thread::own;
using tintery::test::MemoryInputStream;
using tintery::test::MemoryOutputStream;
using Bytes = std::vector<std::uint8_t>;

const std::string kData = std::string(TINTERY_TEST_DATA) + "/ico/";

Bytes fileBytes(const std::string& name) {
  std::ifstream in(kData + name, std::ios::binary);
  return Bytes{std::istreambuf_iterator<char>(in), {}};
}

s::thread::Owned<Icon> readIcon(const Bytes& bytes) {
  auto icon = own(Icon::obtain());
  MemoryInputStream stream(bytes);
  icon->read(stream);
  return icon;
}

Bytes written(s::image::IEncodedImage& image) {
  MemoryOutputStream out;
  EXPECT_TRUE(image.write(out));
  return out.data;
}

// A picture with a colour per pixel and, optionally, alpha running 0..255.
BufferedImage* picture(int size, bool withAlpha) {
  BufferedImage* image = BufferedImage::create(size, size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      std::uint8_t* p = image->getRow(y) + x * 4;
      p[0] = static_cast<std::uint8_t>(x * 255 / size);
      p[1] = static_cast<std::uint8_t>(y * 255 / size);
      p[2] = static_cast<std::uint8_t>(128 + x - y);
      p[3] = withAlpha ? static_cast<std::uint8_t>((x + y * size) * 255 / (size * size)) : 255;
    }
  }
  image->setHasAlpha(withAlpha);
  return image;
}

// An icon made by our writer with entries of these (size, depth).
Bytes iconOf(const std::vector<std::pair<int, int>>& entries, bool withAlpha = false) {
  auto icon = own(Icon::obtain());
  for (auto [size, depth] : entries) {
    auto source = own(picture(size, withAlpha));
    auto* entry = IconImage::obtain();
    EXPECT_TRUE(entry->setImage(source.get(), depth, true, 255, 255, 255));
    icon->add(entry);
  }
  return written(*icon);
}

std::vector<std::array<int, 3>> shapes(Icon& icon) {
  std::vector<std::array<int, 3>> result;
  for (int i = 0; i < icon.getImageCount(); ++i) {
    auto* entry = static_cast<IconImage*>(icon.get(i));
    result.push_back({entry->getWidth(), entry->getHeight(), entry->getBitCount()});
  }
  return result;
}

TEST(IconRead, WildFiles) {
  struct Case {
    const char* file;
    std::vector<std::array<int, 3>> shapes;  // in reading order
    bool alpha;
  } cases[] = {
      {"hopper.ico", {{16, 16, 8}}, false},
      {"black_and_white.ico", {{16, 16, 1}}, false},
      {"hopper_mask.ico", {{16, 16, 1}}, true},
      {"hopper_unexpected.ico", {{16, 16, 8}}, false},
      {"python.ico", {{32, 32, 32}, {16, 16, 32}, {48, 48, 32}}, true},
      {"pillow.ico",
       {{32, 32, 32}, {256, 256, 32}, {48, 48, 32}, {24, 24, 32}, {16, 16, 32}},
       true},
      {"hopper_256x256.ico", {{256, 256, 24}}, false},
  };
  for (const Case& c : cases) {
    auto icon = readIcon(fileBytes(c.file));
    EXPECT_EQ(shapes(*icon), c.shapes) << c.file;
    auto set = own(icon->decode(0));
    ASSERT_EQ(set->getCount(), static_cast<int>(c.shapes.size())) << c.file;
    for (int i = 0; i < set->getCount(); ++i)
      EXPECT_EQ(set->get(i)->hasAlpha(), c.alpha) << c.file;
  }
  auto hopper = own(readIcon(fileBytes("hopper.ico"))->decodeImage(0, nullptr));
  const std::uint8_t* p = hopper->getRow(0);
  EXPECT_EQ((std::array<int, 4>{p[2], p[1], p[0], p[3]}), (std::array<int, 4>{1, 1, 9, 255}));

  auto bomb = readIcon(fileBytes("decompression_bomb.ico"));
  EXPECT_EQ(bomb->getImageCount(), 0);
  EXPECT_EQ(bomb->getProblem(), "image too large");
}

TEST(IconRead, MaskedPictureMatchesItsReference) {
  auto icon = readIcon(fileBytes("hopper_mask.ico"));
  auto decoded = own(icon->decodeImage(0, nullptr));
  ASSERT_NE(decoded, nullptr);
  auto png = own(s::image::createCodec(s::image::kFormatPng));
  ASSERT_NE(png, nullptr);
  MemoryInputStream stream(fileBytes("hopper_mask.png"));
  ASSERT_TRUE(png->read(stream));
  auto reference = own(png->decodeImage(0, nullptr));
  ASSERT_NE(reference, nullptr);
  int transparent = 0;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const std::uint8_t* a = decoded->getRow(y) + x * 4;
      const std::uint8_t* b = reference->getRow(y) + x * 4;
      EXPECT_EQ(a[3], b[3]) << x << "," << y;
      if (b[3] != 0) {
        EXPECT_EQ(std::memcmp(a, b, 3), 0) << x << "," << y;
      }
      transparent += a[3] == 0;
    }
  }
  EXPECT_EQ(transparent, 128);
}

TEST(IconRead, NearestToThirtyTwoComesFirst) {
  auto mixed = readIcon(iconOf({{16, 4}, {32, 8}, {48, 32}}));
  EXPECT_EQ(shapes(*mixed),
            (std::vector<std::array<int, 3>>{{32, 32, 8}, {16, 16, 4}, {48, 48, 32}}));
  auto without = readIcon(iconOf({{48, 32}, {24, 32}}));
  EXPECT_EQ(shapes(*without), (std::vector<std::array<int, 3>>{{24, 24, 32}, {48, 48, 32}}));
}

TEST(IconRead, DamagedEntriesAreLeftOut) {
  const Bytes good = iconOf({{16, 8}, {32, 32}});
  // Second directory entry (offset 22): its data ends one byte past the file.
  Bytes pastEnd = good;
  const std::uint32_t offset = ByteReader::loadLe32(&pastEnd[22 + 12]);
  s::io::storeLe32(&pastEnd[22 + 8], static_cast<std::uint32_t>(pastEnd.size() - offset + 1));
  auto kept = readIcon(pastEnd);
  EXPECT_EQ(kept->getImageCount(), 1);
  EXPECT_FALSE(kept->getProblem().empty());

  // A bitmap header shorter than 40 bytes.
  Bytes shortHeader = good;
  s::io::storeLe32(&shortHeader[ByteReader::loadLe32(&shortHeader[6 + 12])], 12);
  EXPECT_EQ(readIcon(shortHeader)->getImageCount(), 1);

  // A directory longer than the file, and an empty file.
  Bytes manyEntries = good;
  s::io::storeLe16(&manyEntries[4], 5000);
  EXPECT_EQ(readIcon(manyEntries)->getImageCount(), 0);
  EXPECT_EQ(readIcon({})->getImageCount(), 0);

  // Every prefix of a valid icon is handled.
  for (std::size_t length = 0; length < good.size(); length += 13) {
    readIcon(Bytes(good.begin(), good.begin() + static_cast<long>(length)));
  }
}

TEST(IconRead, PicturesOfOneFileShareThePixelLimit) {
  // Two entries whose bitmap headers declare side x side pictures: 10000
  // squared twice is above the limit for one file, 9000 squared twice is
  // not (those entries then fail only because their data is short).
  for (const auto& [side, refused] : {std::pair{10000, true}, std::pair{9000, false}}) {
    Bytes file = iconOf({{16, 32}, {16, 32}});
    for (int i = 0; i < 2; ++i) {
      const std::uint32_t offset = ByteReader::loadLe32(&file[6 + i * 16 + 12]);
      s::io::storeLe32(&file[offset + 4], static_cast<std::uint32_t>(side));
      s::io::storeLe32(&file[offset + 8], static_cast<std::uint32_t>(side * 2));
    }
    auto icon = readIcon(file);
    EXPECT_EQ(icon->getImageCount(), 0) << side;
    EXPECT_EQ(icon->getProblem() == "image too large", refused) << side;
  }
}

TEST(IconWrite, DirectoryAndEntryLayout) {
  const Bytes bytes = iconOf({{16, 4}, {32, 32}, {256, 32}}, true);
  ByteReader r(bytes.data(), bytes.size());
  EXPECT_EQ(r.u16le(), 0);
  EXPECT_EQ(r.u16le(), 1);
  ASSERT_EQ(r.u16le(), 3);
  std::uint32_t expectedOffset = 6 + 16 * 3;
  const int widths[3] = {16, 32, 0};
  const int depths[3] = {4, 32, 32};
  for (int i = 0; i < 3; ++i) {
    const std::uint8_t* e = bytes.data() + 6 + 16 * i;
    EXPECT_EQ(e[0], widths[i]);
    EXPECT_EQ(e[1], widths[i]);
    EXPECT_EQ(e[2], depths[i] < 8 ? 1 << depths[i] : 0);
    EXPECT_EQ(ByteReader::loadLe16(e + 4), 1);
    EXPECT_EQ(ByteReader::loadLe16(e + 6), depths[i]);
    EXPECT_EQ(ByteReader::loadLe32(e + 12), expectedOffset);
    expectedOffset += ByteReader::loadLe32(e + 8);
  }
  EXPECT_EQ(expectedOffset, bytes.size());
  // Bitmap entries store twice the height and the pixel count as image size.
  const std::uint8_t* header = bytes.data() + ByteReader::loadLe32(bytes.data() + 6 + 16 + 12);
  EXPECT_EQ(ByteReader::loadLe32(header + 8), 64u);
  EXPECT_EQ(ByteReader::loadLe32(header + 20), 32u * 32u);
  // The 256-pixel entry is a PNG stream.
  const std::uint8_t* png = bytes.data() + ByteReader::loadLe32(bytes.data() + 6 + 32 + 12);
  EXPECT_EQ(std::memcmp(png, "\x89PNG", 4), 0);
}

TEST(IconWrite, PaletteDepthsKeepMaskAndColours) {
  auto source = own(picture(16, true));
  auto entry = own(IconImage::obtain());
  ASSERT_TRUE(entry->setImage(source.get(), 4, true, 255, 255, 255));
  EXPECT_EQ(entry->getPaletteCount(), 16);
  // At most 15 entries are filled: the last is left for transparent pixels.
  const std::uint8_t* palette = entry->getPalette();
  EXPECT_EQ(palette[15 * 4] | palette[15 * 4 + 1] | palette[15 * 4 + 2], 0);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const bool masked = (entry->getMaskRow(y)[x / 8] >> (7 - x % 8)) & 1;
      EXPECT_EQ(masked, source->getRow(y)[x * 4 + 3] < 32) << x << "," << y;
    }
  }

  // Depths without a palette keep the picture instead of writing black.
  for (int depth : {1, 16, 24}) {
    auto opaque = own(picture(8, false));
    auto deep = own(IconImage::obtain());
    ASSERT_TRUE(deep->setImage(opaque.get(), depth, true, 255, 255, 255));
    MemoryInputStream in(written(*deep));
    auto back = own(IconImage::obtain());
    ASSERT_TRUE(back->read(in)) << depth;
    EXPECT_EQ(back->getBitCount(), depth);
    auto pixels = own(back->decodeImage(0, nullptr));
    int largest = 0, brightest = 0;
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        for (int c = 0; c < 3; ++c) {
          const int got = pixels->getRow(y)[x * 4 + c];
          brightest = std::max(brightest, got);
          if (depth != 1) largest = std::max(largest, std::abs(got - opaque->getRow(y)[x * 4 + c]));
        }
      }
    }
    EXPECT_GT(brightest, 100) << depth;
    EXPECT_LE(largest, depth == 16 ? 8 : 0) << depth;
  }
}

TEST(IconEncode, VariantsKeepSizesDepthsOrderAndExactPixels) {
  auto source = readIcon(fileBytes("python.ico"));
  auto mixed = readIcon(iconOf({{16, 4}, {32, 8}, {20, 24}}, true));
  for (Icon* icon : {source.get(), mixed.get()}) {
    auto set = own(icon->decode(0));
    auto originals = own(set->copy());
    for (int i = 0; i < set->getCount(); ++i) {
      auto* hsv = s::image::filters::colors::Hsv::obtain();
      hsv->hueShift = 77;
      set->get(i)->addFilter(hsv);
    }
    auto variant = own(icon->encodeSetLike(set.get()));
    ASSERT_NE(variant, nullptr);
    MemoryInputStream in(written(*variant));
    auto reread = own(Icon::obtain());
    ASSERT_TRUE(reread->read(in));
    EXPECT_EQ(shapes(*reread), shapes(*icon));
    for (int i = 0; i < reread->getImageCount(); ++i) {
      if (static_cast<IconImage*>(reread->get(i))->getBitCount() != 32) continue;
      auto pixels = own(reread->decodeImage(i, nullptr));
      BufferedImage* original = originals->get(i);
      for (int y = 0; y < original->getHeight(); ++y) {
        for (int x = 0; x < original->getWidth(); ++x) {
          std::uint8_t expected[4];
          std::memcpy(expected, original->getRow(y) + x * 4, 4);
          tintery::test::plainHsvPixel(expected, 77, 0, 0);
          ASSERT_EQ(std::memcmp(expected, pixels->getRow(y) + x * 4, 4), 0) << i << ":" << x;
        }
      }
    }
  }
  // One picture without a list of sizes gives nothing.
  auto lone = own(picture(8, false));
  EXPECT_EQ(source->encodeLike(lone.get()), nullptr);
  auto setting = s::thread::obtainOwned<s::image::ico::EncodeSetting>();
  setting->sizes.add(16);
  setting->sizes.add(300);
  setting->bitDepths.add(8);
  setting->bitDepths.add(32);
  auto made = own(setting->createFromImage(lone.get()));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(shapes(static_cast<Icon&>(*made)),
            (std::vector<std::array<int, 3>>{{16, 16, 8}, {16, 16, 32}, {300, 300, 32}}));
}

}  // namespace
