#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "file/TempFolder.h"
#include "s/image/FormatDetection.h"
#include "s/image/IEncodedImage.h"
#include "s/image/bmp/EncodeSetting.h"
#include "s/image/gif/EncodeSetting.h"
#include "s/image/jpg/EncodeSetting.h"
#include "s/image/png/EncodeSetting.h"
#include "s/image/win/BufferedImage.h"
#include "support/MemoryStreams.h"

namespace {

using s::image::win::BufferedImage;
using s::thread::obtainOwned;
using s::thread::own;

// Every writer gives a file that its reader takes back at the same size;
// the lossless ones give back the same pixels.
TEST(BufferedImageWriting, EachFormatThroughItsRecord) {
  auto image = own(BufferedImage::create(6, 5));
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      std::uint8_t* p = image->getRow(y) + x * 4;
      p[0] = static_cast<std::uint8_t>(x * 40), p[1] = static_cast<std::uint8_t>(y * 50);
      p[2] = 90, p[3] = 255;
    }
  }
  auto bmp = obtainOwned<s::image::bmp::EncodeSetting>();
  auto gif = obtainOwned<s::image::gif::EncodeSetting>();
  auto jpg = obtainOwned<s::image::jpg::EncodeSetting>();
  auto png = obtainOwned<s::image::png::EncodeSetting>();
  struct Case {
    const char16_t* format;
    bool lossless;
    std::function<bool(s::io::IOutputStream&)> write;
  } cases[] = {
      {s::image::kFormatBmp, true, [&](auto& out) { return image->writeBmp(out, *bmp); }},
      {s::image::kFormatGif, true, [&](auto& out) { return image->writeGif(out, *gif); }},
      {s::image::kFormatJpg, false, [&](auto& out) { return image->writeJpeg(out, *jpg); }},
      {s::image::kFormatPng, true, [&](auto& out) { return image->writePng(out, *png); }},
  };
  for (const Case& c : cases) {
    tintery::test::MemoryOutputStream out;
    ASSERT_TRUE(c.write(out));
    tintery::test::MemoryInputStream in(out.data);
    auto codec = own(s::image::createCodec(c.format));
    ASSERT_TRUE(codec->read(in));
    auto back = own(codec->decodeImage(0, nullptr));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->getWidth(), 6);
    EXPECT_EQ(back->getHeight(), 5);
    if (!c.lossless) continue;
    for (int y = 0; y < 5; ++y)
      EXPECT_EQ(std::memcmp(back->getRow(y), image->getRow(y), 24), 0);
  }
}

TEST(BufferedImageWriting, PathsAreNeverReplaced) {
  tintery_test::TempFolder folder;
  auto image = own(BufferedImage::create(3, 3));
  auto bmp = obtainOwned<s::image::bmp::EncodeSetting>();
  const std::u16string path = folder.at16("out/picture.bmp");
  ASSERT_TRUE(image->writeBmp(path, *bmp));
  const long long size = tintery_test::sizeOnDisk(folder.at("out/picture.bmp"));
  EXPECT_EQ(size, 54 + 3 * 12);
  std::memset(image->getPixels(), 0xFF, 36);
  EXPECT_FALSE(image->writeBmp(path, *bmp));
  // The first file is still there, unchanged.
  EXPECT_EQ(tintery_test::readRaw(folder.at("out/picture.bmp")).substr(54, 3),
            std::string(3, '\0'));
}

}  // namespace
