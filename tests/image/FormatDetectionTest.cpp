#include "s/image/FormatDetection.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "s/file/win/PathWin.h"
#include "s/image/IEncodedImage.h"
#include "s/io/ByteReader.h"
#include "s/str/Utf.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using s::image::matchSignature;

Bytes padded(Bytes start, std::size_t size = 100) {
  start.resize(std::max(size, start.size()), 0);
  return start;
}

const char16_t* match(const Bytes& header, std::int64_t fileSize = 1000) {
  return matchSignature(header.data(), header.size(), fileSize);
}

TEST(FormatDetection, SignatureTable) {
  struct Case {
    const char* name;
    Bytes start;
    const char16_t* expected;
  } cases[] = {
      {"jpeg E0", {0xFF, 0xD8, 0xFF, 0xE0}, s::image::kFormatJpg},
      {"jpeg 01", {0xFF, 0xD8, 0xFF, 0x01}, s::image::kFormatJpg},
      {"jpeg DB", {0xFF, 0xD8, 0xFF, 0xDB}, s::image::kFormatJpg},
      {"jpeg 00 is no marker", {0xFF, 0xD8, 0xFF, 0x00}, nullptr},
      {"jpeg C4", {0xFF, 0xD8, 0xFF, 0xC4}, s::image::kFormatJpg},
      {"gif87a", {'G', 'I', 'F', '8', '7', 'a'}, s::image::kFormatGif},
      {"gif89a", {'G', 'I', 'F', '8', '9', 'a'}, s::image::kFormatGif},
      {"gif88a", {'G', 'I', 'F', '8', '8', 'a'}, nullptr},
      {"png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, s::image::kFormatPng},
      {"bmp", {'B', 'M', 1, 2, 3, 4, 0, 0, 0, 0}, s::image::kFormatBmp},
      {"bmp with reserved bytes", {'B', 'M', 1, 2, 3, 4, 0, 0, 1, 0}, nullptr},
      {"tiff intel", {'I', 'I', '*', 0}, s::image::kFormatTiff},
      {"tiff motorola", {'M', 'M', 0, '*'}, s::image::kFormatTiff},
      {"tiff motorola, short form", {'M', 'M', '*'}, s::image::kFormatTiff},
      {"nothing", {'h', 'e', 'l', 'l', 'o'}, nullptr},
  };
  for (const Case& c : cases)
    EXPECT_EQ(match(padded(c.start)), c.expected) << c.name;
  // Fewer than 100 bytes are never enough.
  EXPECT_EQ(matchSignature(padded({'G', 'I', 'F', '8', '9', 'a'}).data(), 99, 1000), nullptr);
}

// An icon directory of `count` entries, each 16 x 16 at `bits`, whose data
// follow the directory one after the other (`size` bytes each).
Bytes iconDirectory(int count, int bits = 32, std::uint32_t size = 40) {
  Bytes h(6 + 16 * count, 0);
  h[2] = 1;
  h[4] = static_cast<std::uint8_t>(count);
  for (int i = 0; i < count; ++i) {
    std::uint8_t* e = &h[6 + 16 * i];
    e[0] = e[1] = 16;
    s::io::storeLe16(e + 6, static_cast<std::uint16_t>(bits));
    s::io::storeLe32(e + 8, size);
    s::io::storeLe32(e + 12, static_cast<std::uint32_t>(6 + 16 * count + size * i));
  }
  return padded(h);
}

TEST(FormatDetection, IconDirectories) {
  const std::int64_t threeIcons = 6 + 48 + 3 * 40;
  EXPECT_EQ(match(iconDirectory(3), threeIcons), s::image::kFormatIco);

  Bytes deep = iconDirectory(3);
  s::io::storeLe16(&deep[6 + 16 + 6], 64);  // second entry: 64 bits
  EXPECT_EQ(match(deep, threeIcons), nullptr);

  // Only the entries wholly inside the first 100 bytes are examined.
  Bytes six = iconDirectory(6);
  const std::int64_t sixIcons = 6 + 96 + 6 * 40;
  six.resize(6 + 96);
  s::io::storeLe16(&six[6 + 5 * 16 + 6], 64);
  EXPECT_EQ(match(six, sixIcons), s::image::kFormatIco);

  // The first entry's data ending exactly at the end of the file is fine;
  // one byte further is not.
  Bytes one = iconDirectory(1);
  EXPECT_EQ(match(one, 6 + 16 + 40), s::image::kFormatIco);
  EXPECT_EQ(match(one, 6 + 16 + 39), nullptr);

  Bytes reserved = iconDirectory(1);
  reserved[6 + 3] = 1;
  EXPECT_EQ(match(reserved, 6 + 16 + 40), nullptr);
  Bytes empty = iconDirectory(0);
  EXPECT_EQ(match(empty, 1000), nullptr);
  Bytes early = iconDirectory(1);
  s::io::storeLe32(&early[6 + 12], 21);  // points into its own entry
  EXPECT_EQ(match(early, 1000), nullptr);
}

class DetectionFiles : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tintery-detect-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

  std::u16string file(const std::string& name, const Bytes& content) {
    const std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()),
               static_cast<std::streamsize>(content.size()));
    return s::str::utf8ToUtf16(path);
  }

  std::string folder_;
};

TEST_F(DetectionFiles, FilesOfAHundredBytesOrLessAreNeverRecognised) {
  const char16_t* format = u"unset";
  Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
  gif.resize(90);
  EXPECT_FALSE(s::image::detectFormat(file("small.gif", gif), format));
  EXPECT_EQ(format, nullptr);
  gif.resize(101);
  EXPECT_TRUE(s::image::detectFormat(file("padded.gif", gif), format));
  EXPECT_EQ(format, s::image::kFormatGif);
  EXPECT_FALSE(s::image::detectFormat(s::str::utf8ToUtf16(folder_), format));
  EXPECT_FALSE(s::image::detectFormat(file("x", {}) + u".missing", format));
}

TEST_F(DetectionFiles, ContentChoosesTheCodecAndTiffIsRefused) {
  // A BMP named .png is opened as BMP.
  std::ifstream in(std::string(TINTERY_TEST_DATA) + "/bmp/good/rgb24.bmp", std::ios::binary);
  const Bytes bmp{std::istreambuf_iterator<char>(in), {}};
  auto path = s::thread::own(s::file::win::PathWin::obtain(file("picture.png", bmp)));
  auto codec = s::thread::own(s::image::openEncodedImage(*path));
  ASSERT_NE(codec, nullptr);
  EXPECT_EQ(std::u16string(codec->getExtension()), u".bmp");
  EXPECT_EQ(codec->getWidth(), 127);

  auto tiff = s::thread::own(
      s::file::win::PathWin::obtain(file("scan.tif", padded({'I', 'I', '*', 0}, 200))));
  const char16_t* format = nullptr;
  EXPECT_TRUE(s::image::detectFormat(tiff->getFullPath(), format));
  EXPECT_EQ(format, s::image::kFormatTiff);
  EXPECT_EQ(s::image::openEncodedImage(*tiff), nullptr);
}

}  // namespace
