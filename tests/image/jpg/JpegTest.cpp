#include "s/image/jpg/win/Jpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/jpg/JpegFixtures.h"
#include "s/file/win/PathWin.h"
#include "s/image/FormatDetection.h"
#include "s/image/filters/colors/Hsv.h"
#include "s/image/jpg/EncodeSetting.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/str/Utf.h"
#include "support/MemoryStreams.h"
#include "support/PlainHsv.h"

namespace {

using s::image::jpg::MarkerSegments;
using s::image::jpg::win::Jpeg;
using s::image::win::BufferedImage;
using s::image::win::BufferedImageSet;
using s::thread::own;
using s::thread::Owned;
using tintery::test::libjpegFile;
using tintery::test::MemoryInputStream;
using tintery::test::MemoryOutputStream;
using tintery::test::Segment;
using tintery::test::segmentsOf;
using Pixel = std::array<std::uint8_t, 4>;  // blue, green, red, alpha

const std::string kWild = std::string(TINTERY_TEST_DATA) + "/jpeg/wild/";

std::vector<std::uint8_t> fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Reads bytes with the codec; any output on standard error fails the test.
Owned<Jpeg> readJpeg(std::vector<std::uint8_t> bytes, bool* result = nullptr) {
  testing::internal::CaptureStderr();
  auto jpeg = own(Jpeg::obtain());
  MemoryInputStream in(std::move(bytes));
  const bool read = jpeg->read(in);
  if (result != nullptr) *result = read;
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  return jpeg;
}

std::vector<std::uint8_t> written(Jpeg& jpeg) {
  MemoryOutputStream out;
  EXPECT_TRUE(jpeg.write(out));
  return out.data;
}

Owned<BufferedImage> pixelsOf(Jpeg& jpeg) {
  return own(jpeg.decodeImage(0, nullptr));
}

Pixel at(BufferedImage& image, int x, int y) {
  Pixel p;
  std::memcpy(p.data(), image.getRow(y) + x * 4, 4);
  return p;
}

struct Difference {
  double mean = 0;
  int largest = 0;
};

// Over the colour channels of two pictures of the same size.
Difference differenceOf(BufferedImage& a, BufferedImage& b) {
  Difference d;
  long total = 0;
  for (int y = 0; y < a.getHeight(); ++y) {
    for (int x = 0; x < a.getWidth(); ++x) {
      for (int c = 0; c < 3; ++c) {
        const int delta = std::abs(a.getRow(y)[x * 4 + c] - b.getRow(y)[x * 4 + c]);
        total += delta;
        d.largest = std::max(d.largest, delta);
      }
    }
  }
  d.mean = static_cast<double>(total) / (3.0 * a.getWidth() * a.getHeight());
  return d;
}

// A picture whose colours change smoothly, with a few hard edges.
Owned<BufferedImage> testCard(int width, int height) {
  auto image = own(BufferedImage::create(width, height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = image->getRow(y) + x * 4;
      p[0] = static_cast<std::uint8_t>(x * 255 / width);
      p[1] = static_cast<std::uint8_t>(y * 255 / height);
      p[2] = static_cast<std::uint8_t>(x < width / 2 ? 220 : 30);
      p[3] = 255;
    }
  }
  return image;
}

TEST(JpegRead, EveryFileMetInPracticeDecodesAtItsDeclaredSize) {
  struct Case {
    const char* file;
    int width, height;
    const char* problem;
  } cases[] = {
      {"hopper.jpg", 128, 128, ""},
      {"hopper_gray.jpg", 128, 128, ""},
      {"hopper_16bit_qtables.jpg", 128, 128, ""},
      {"app13-multiple.jpg", 256, 160, ""},
      {"pil_sample_cmyk.jpg", 100, 100, ""},
      {"pil_sample_rgb.jpg", 100, 100, ""},
      {"photoshop-200dpi.jpg", 200, 200, ""},
      // Damage in the headers does not touch the pixels.
      {"photoshop-200dpi-broken.jpg", 200, 200, ""},
      {"truncated_app14.jpg", 100, 100, ""},
      {"junk_jpeg_header.jpg", 1024, 768, ""},
      {"icc-after-SOF.jpg", 10, 10, ""},
      {"sugarshack_bad_mpo_header.jpg", 640, 480, ""},
      {"orientation_rectangle.jpg", 2, 1, ""},
      // Damage in the compressed pixels is reported, the picture kept.
      {"truncated_jpeg.jpg", 100, 100, "truncated image data"},
      {"hopper_bad_exif.jpg", 500, 500, "damaged image data"},
  };
  for (const Case& c : cases) {
    bool result = false;
    auto jpeg = readJpeg(fileBytes(kWild + c.file), &result);
    EXPECT_TRUE(result) << c.file;
    EXPECT_EQ(jpeg->getProblem(), c.problem) << c.file;
    auto set = own(jpeg->decode(0));
    ASSERT_EQ(set->getCount(), 1) << c.file;
    EXPECT_EQ(set->getWidth(), c.width) << c.file;
    EXPECT_EQ(set->getHeight(), c.height) << c.file;
    EXPECT_EQ(set->getBitsPerPixel(0), 24) << c.file;
    EXPECT_FALSE(set->get(0)->hasAlpha()) << c.file;
  }
}

TEST(JpegRead, DetectionHandsJpegFilesToThisCodec) {
  auto path = own(s::file::win::PathWin::obtain(s::str::utf8ToUtf16(kWild + "hopper.jpg")));
  auto codec = own(s::image::openEncodedImage(*path));
  ASSERT_NE(codec, nullptr);
  EXPECT_EQ(codec->getClassTag(), Jpeg::CLASS_TAG);
  EXPECT_EQ(codec->getWidth(), 128);
  EXPECT_EQ(std::u16string(codec->getExtension()), u".jpg");
}

TEST(JpegRead, ColourSpacesBecomeBlueGreenRed) {
  // Greyscale: the three colour bytes are equal everywhere.
  auto grey = pixelsOf(*readJpeg(fileBytes(kWild + "hopper_gray.jpg")));
  for (int y = 0; y < grey->getHeight(); ++y) {
    for (int x = 0; x < grey->getWidth(); ++x) {
      const Pixel p = at(*grey, x, y);
      ASSERT_TRUE(p[0] == p[1] && p[1] == p[2] && p[3] == 255) << x << "," << y;
    }
  }
  // Identical pixels whatever the damage to the headers.
  auto broken = pixelsOf(*readJpeg(fileBytes(kWild + "photoshop-200dpi-broken.jpg")));
  auto intact = pixelsOf(*readJpeg(fileBytes(kWild + "photoshop-200dpi.jpg")));
  EXPECT_EQ(differenceOf(*broken, *intact).largest, 0);

  // The YCCK sample: the first three channels scaled by the fourth give
  // (255, 13, 25) at the top left, and the picture is close to its YCbCr twin.
  auto cmyk = pixelsOf(*readJpeg(fileBytes(kWild + "pil_sample_cmyk.jpg")));
  auto rgb = pixelsOf(*readJpeg(fileBytes(kWild + "pil_sample_rgb.jpg")));
  EXPECT_EQ(at(*cmyk, 0, 0), (Pixel{25, 13, 255, 255}));
  EXPECT_EQ(at(*rgb, 0, 0), (Pixel{25, 32, 231, 255}));
  const Difference twin = differenceOf(*cmyk, *rgb);
  EXPECT_LT(twin.mean, 6.0);
  EXPECT_LE(twin.largest, 40);
}

TEST(JpegRead, FourChannelSamplesAreScaledByTheFourth) {
  // Flat 8 x 8 CMYK files at quality 100 keep their samples exactly.
  struct Case {
    std::array<int, 4> samples;
    Pixel expected;
  } cases[] = {
      {{255, 255, 255, 255}, {255, 255, 255, 255}}, {{255, 0, 0, 255}, {0, 0, 255, 255}},
      {{0, 255, 0, 255}, {0, 255, 0, 255}},         {{200, 100, 50, 0}, {0, 0, 0, 255}},
      {{200, 100, 50, 128}, {25, 50, 100, 255}},
  };
  for (const Case& c : cases) {
    const auto file = libjpegFile(8, 8, 4, JCS_CMYK, 100,
                                  [&](int, int, int channel) { return c.samples[channel]; });
    auto picture = pixelsOf(*readJpeg(file));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(at(*picture, 3, 5), c.expected) << c.samples[0] << "," << c.samples[3];
  }
}

TEST(JpegRead, CutFilesKeepTheirDeclaredSize) {
  const std::vector<std::uint8_t> whole = fileBytes(kWild + "hopper.jpg");
  for (std::size_t keep : {whole.size() / 2, whole.size() - 2, std::size_t{700}}) {
    bool result = false;
    auto jpeg = readJpeg({whole.begin(), whole.begin() + static_cast<long>(keep)}, &result);
    EXPECT_TRUE(result) << keep;
    EXPECT_EQ(jpeg->getProblem(), "truncated image data") << keep;
    EXPECT_EQ(jpeg->getWidth(), 128);
    EXPECT_EQ(jpeg->getHeight(), 128);
    // The variants of a cut file have the declared size too.
    auto set = own(jpeg->decode(0));
    auto variant = own(jpeg->encodeSetLike(set.get()));
    ASSERT_NE(variant, nullptr);
    auto reread = readJpeg(written(*static_cast<Jpeg*>(variant.get())));
    EXPECT_EQ(reread->getWidth(), 128);
    EXPECT_EQ(reread->getHeight(), 128);
  }
}

TEST(JpegRead, UnreadableFilesLeaveNothingAndSayWhy) {
  std::vector<std::uint8_t> huge = fileBytes(kWild + "hopper.jpg");
  // Frame header (SOF0) height and width set to 65500: beyond the pixel limit.
  bool patched = false;
  for (std::size_t i = 2; i + 9 < huge.size() && !patched; ++i) {
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = huge[i + 7] = 0xFF;
      huge[i + 6] = huge[i + 8] = 0xDC;
      patched = true;
    }
  }
  ASSERT_TRUE(patched);
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* problem;
  } cases[] = {
      {"empty", {}, "empty file"},
      {"only a start marker", {0xFF, 0xD8}, "damaged or unsupported header"},
      {"not a JPEG", {'G', 'I', 'F', '8', '9', 'a', 0, 0}, "not a JPEG file"},
      {"too large", huge, "image too large"},
  };
  for (const Case& c : cases) {
    bool result = true;
    auto jpeg = readJpeg(c.bytes, &result);
    EXPECT_FALSE(result) << c.name;
    EXPECT_EQ(jpeg->getProblem(), c.problem) << c.name;
    EXPECT_EQ(own(jpeg->decode(0))->getCount(), 0) << c.name;
  }
  // Every prefix of a small file is handled without reading past its end.
  const std::vector<std::uint8_t> small = fileBytes(kWild + "icc-after-SOF.jpg");
  for (std::size_t length = 0; length < small.size(); ++length) {
    auto jpeg = readJpeg({small.begin(), small.begin() + static_cast<long>(length)});
    own(jpeg->decode(0));
  }
}

// A progressive 16 x 16 colour file of `scans` scans: the DC coefficients
// of all three components in one scan, then one AC coefficient of one
// component per scan.
std::vector<std::uint8_t> progressiveFile(int scans) {
  std::vector<jpeg_scan_info> script;
  jpeg_scan_info dc{};
  dc.comps_in_scan = 3;
  for (int c = 0; c < 3; ++c)
    dc.component_index[c] = c;
  script.push_back(dc);
  for (int i = 1; i < scans; ++i) {
    jpeg_scan_info ac{};
    ac.comps_in_scan = 1;
    ac.component_index[0] = (i - 1) / 63;
    ac.Ss = ac.Se = (i - 1) % 63 + 1;
    script.push_back(ac);
  }
  return libjpegFile(
      16, 16, 3, JCS_RGB, 90, [](int x, int y, int c) { return (x * 16 + y * 5 + c * 70) % 256; },
      {}, script);
}

TEST(JpegRead, ProgressiveFilesOfMoreThanAHundredScansAreRefused) {
  bool result = false;
  auto hundred = readJpeg(progressiveFile(100), &result);
  EXPECT_TRUE(result);
  EXPECT_EQ(hundred->getWidth(), 16);
  EXPECT_EQ(hundred->getProblem(), "");

  auto more = readJpeg(progressiveFile(101), &result);
  EXPECT_FALSE(result);
  EXPECT_EQ(more->getProblem(), "damaged image data (too many scans)");
  EXPECT_EQ(own(more->decode(0))->getCount(), 0);
}

TEST(JpegWrite, BaselineFilesAtTheGivenQuality) {
  // The first entry of each quantisation table is the standard one (16 for
  // luminance, 17 for chrominance) scaled by the quality: 50 % at 75, the
  // smallest step 1 at 100.
  struct Case {
    int width, height, quality;
    int luminanceDc, chrominanceDc;
  } cases[] = {{1, 1, 75, 8, 9}, {37, 21, 75, 8, 9}, {37, 21, 100, 1, 1}};
  for (const Case& c : cases) {
    auto jpeg = own(Jpeg::obtain());
    ASSERT_TRUE(jpeg->setImage(testCard(c.width, c.height).get(), c.quality, 255, 255, 255));
    EXPECT_EQ(jpeg->getQuality(), c.quality);
    const std::vector<std::uint8_t> bytes = written(*jpeg);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    EXPECT_EQ(bytes[bytes.size() - 2], 0xFF);
    EXPECT_EQ(bytes[bytes.size() - 1], 0xD9);
    std::vector<int> markers;
    std::vector<int> tableStarts;
    for (const Segment& s : segmentsOf(bytes)) {
      markers.push_back(s.marker);
      if (s.marker == 0xDB) tableStarts.push_back(s.payload.at(1));
      if (s.marker == 0xC0) {
        EXPECT_EQ(s.payload.at(1) << 8 | s.payload.at(2), c.height);
        EXPECT_EQ(s.payload.at(3) << 8 | s.payload.at(4), c.width);
        EXPECT_EQ(s.payload.at(5), 3);  // components
      }
    }
    EXPECT_EQ(markers.front(), 0xE0);  // JFIF
    EXPECT_NE(std::find(markers.begin(), markers.end(), 0xC0), markers.end());
    EXPECT_EQ(tableStarts, (std::vector<int>{c.luminanceDc, c.chrominanceDc}));
    auto reread = readJpeg(bytes);
    EXPECT_EQ(reread->getWidth(), c.width);
    EXPECT_EQ(reread->getHeight(), c.height);
  }
}

TEST(JpegWrite, RoundTripIsCloseAndThePixelStoreIsUntouched) {
  auto card = testCard(64, 48);
  auto jpeg = own(Jpeg::obtain());
  ASSERT_TRUE(jpeg->setImage(card.get(), 90, 255, 255, 255));
  const auto before = pixelsOf(*jpeg);
  auto back = pixelsOf(*readJpeg(written(*jpeg)));
  const Difference d = differenceOf(*back, *card);
  EXPECT_LT(d.mean, 2.0);
  EXPECT_LE(d.largest, 40);
  EXPECT_EQ(differenceOf(*pixelsOf(*jpeg), *before).largest, 0);

  // A stream that fails on the way: false, and still no change to the
  // pixels, also when the failure comes in the middle of the rows. Noise
  // makes the file large enough to leave the library's 4096-byte buffer
  // while rows are still being handed over.
  auto noise = own(BufferedImage::create(128, 128));
  std::uint32_t state = 12345;
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128 * 4; ++x) {
      state = state * 1103515245 + 12345;
      noise->getRow(y)[x] = static_cast<std::uint8_t>(state >> 24);
    }
  }
  ASSERT_TRUE(jpeg->setImage(noise.get(), 90, 255, 255, 255));
  const auto noisy = pixelsOf(*jpeg);
  const std::size_t size = written(*jpeg).size();
  ASSERT_GT(size, 3 * 4096u);
  for (std::size_t limit : {std::size_t{1}, std::size_t{5000}, size - 1}) {
    MemoryOutputStream full(limit);
    EXPECT_FALSE(jpeg->write(full)) << limit;
    EXPECT_EQ(differenceOf(*pixelsOf(*jpeg), *noisy).largest, 0) << limit;
  }
  // Nothing to write.
  auto empty = own(Jpeg::obtain());
  MemoryOutputStream out;
  EXPECT_FALSE(empty->write(out));
}

TEST(JpegWrite, TransparentPicturesAreFlattenedOntoTheBackground) {
  auto image = own(BufferedImage::create(2, 1));
  const Pixel pixels[2] = {{10, 20, 30, 0}, {0, 0, 200, 128}};
  for (int x = 0; x < 2; ++x)
    std::memcpy(image->getRow(0) + x * 4, pixels[x].data(), 4);
  struct Case {
    bool hasAlpha;
    Pixel first, second;
  } cases[] = {
      // Background (red 40, green 50, blue 60) where fully transparent,
      // blended where half transparent.
      {true, {60, 50, 40, 255}, {30, 25, 120, 255}},
      // Without transparency the colour bytes stay as they are.
      {false, {10, 20, 30, 255}, {0, 0, 200, 255}},
  };
  for (const Case& c : cases) {
    image->setHasAlpha(c.hasAlpha);
    auto jpeg = own(Jpeg::obtain());
    ASSERT_TRUE(jpeg->setImage(image.get(), 75, 40, 50, 60));
    auto flat = pixelsOf(*jpeg);
    EXPECT_EQ(at(*flat, 0, 0), c.first) << c.hasAlpha;
    EXPECT_EQ(at(*flat, 1, 0), c.second) << c.hasAlpha;
  }
  EXPECT_FALSE(own(Jpeg::obtain())->setImage(nullptr, 75, 0, 0, 0));
}

TEST(JpegEncode, VariantsAreBaselineAtQuality75AndCloseToTheFilteredSource) {
  for (const char* file : {"hopper.jpg", "hopper_gray.jpg", "pil_sample_cmyk.jpg"}) {
    auto source = readJpeg(fileBytes(kWild + file));
    auto set = own(source->decode(0));
    ASSERT_EQ(set->getCount(), 1);
    auto expected = own(set->get(0)->copyTo(nullptr));
    for (int y = 0; y < expected->getHeight(); ++y) {
      for (int x = 0; x < expected->getWidth(); ++x)
        tintery::test::plainHsvPixel(expected->getRow(y) + x * 4, 120, 30, -20);
    }
    auto* hsv = s::image::filters::colors::Hsv::obtain();
    hsv->hueShift = 120;
    hsv->saturationShift = 30;
    hsv->valueShift = -20;
    set->get(0)->addFilter(hsv);
    auto variant = own(source->encodeSetLike(set.get()));
    ASSERT_NE(variant, nullptr) << file;
    auto* jpeg = static_cast<Jpeg*>(variant.get());
    EXPECT_EQ(jpeg->getQuality(), 75);
    const std::vector<std::uint8_t> bytes = written(*jpeg);
    int frames = 0;
    for (const Segment& s : segmentsOf(bytes)) {
      if (s.marker >= 0xC1 && s.marker <= 0xCF && s.marker != 0xC4 && s.marker != 0xCC) {
        ADD_FAILURE() << "not baseline: " << std::hex << s.marker;
      }
      frames += s.marker == 0xC0;
    }
    EXPECT_EQ(frames, 1) << file;
    auto back = pixelsOf(*readJpeg(bytes));
    const Difference d = differenceOf(*back, *expected);
    // Quality 75 with halved chroma: small on average, larger at sharp
    // colour edges.
    EXPECT_LT(d.mean, 7.0) << file;
    EXPECT_LE(d.largest, 160) << file;
  }
}

TEST(JpegEncode, SettingRecordsComeBackAtTheirDefaults) {
  auto* setting = s::image::jpg::EncodeSetting::obtain();
  setting->quality = 30;
  setting->bgGreen = 7;
  setting->recycle();
  auto again = own(s::image::jpg::EncodeSetting::obtain());
  EXPECT_EQ(again->quality, 75);
  EXPECT_EQ(again->bgRed, 255);
  EXPECT_EQ(again->bgGreen, 255);
  EXPECT_EQ(again->bgBlue, 255);
  EXPECT_EQ(again->createFromImage(nullptr), nullptr);
  EXPECT_EQ(again->createFromSet(nullptr), nullptr);
  // A recycled Jpeg comes back empty, at quality 75, without segments.
  auto* used = Jpeg::obtain();
  ASSERT_TRUE(used->setImage(testCard(4, 4).get(), 20, 0, 0, 0));
  used->getSegments().collect(MarkerSegments::kExifMarker,
                              reinterpret_cast<const std::uint8_t*>("Exif\0\0MM"), 8);
  used->recycle();
  auto fresh = own(Jpeg::obtain());
  EXPECT_EQ(fresh->getWidth(), 0);
  EXPECT_EQ(fresh->getQuality(), 75);
  EXPECT_TRUE(fresh->getSegments().empty());
}

// A made-up ICC profile of `size` bytes for colour space `space`: a header
// that names its size and colour space, then filler.
std::vector<std::uint8_t> profileBytes(std::size_t size, const char* space) {
  std::vector<std::uint8_t> profile(size);
  for (std::size_t i = 0; i < size; ++i)
    profile[i] = static_cast<std::uint8_t>(i * 7);
  for (int i = 0; i < 4; ++i)
    profile[i] = static_cast<std::uint8_t>(size >> (24 - 8 * i));
  std::memcpy(&profile[16], space, 4);
  std::memcpy(&profile[36], "acsp", 4);
  return profile;
}

// The profile in APP2 segments of at most `partSize` profile bytes each.
std::vector<Segment> iccSegments(const std::vector<std::uint8_t>& profile, std::size_t partSize) {
  std::vector<Segment> parts;
  const std::size_t count = (profile.size() + partSize - 1) / partSize;
  for (std::size_t i = 0; i < count; ++i) {
    Segment s{0xE2, {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0}};
    s.payload.push_back(static_cast<std::uint8_t>(i + 1));
    s.payload.push_back(static_cast<std::uint8_t>(count));
    const auto from = profile.begin() + static_cast<long>(i * partSize);
    s.payload.insert(s.payload.end(), from,
                     from + static_cast<long>(std::min(partSize, profile.size() - i * partSize)));
    parts.push_back(std::move(s));
  }
  return parts;
}

std::vector<Segment> segmentsWithMarker(const std::vector<std::uint8_t>& file, int marker) {
  std::vector<Segment> out;
  for (Segment& s : segmentsOf(file)) {
    if (s.marker == marker) out.push_back(std::move(s));
  }
  return out;
}

// Writes the variant of a source file and returns its bytes.
std::vector<std::uint8_t> variantOf(const std::vector<std::uint8_t>& source) {
  auto jpeg = readJpeg(source);
  auto set = own(jpeg->decode(0));
  auto* hsv = s::image::filters::colors::Hsv::obtain();
  hsv->hueShift = 60;
  set->get(0)->addFilter(hsv);
  auto variant = own(jpeg->encodeSetLike(set.get()));
  EXPECT_NE(variant, nullptr);
  if (variant == nullptr) return {};
  return written(*static_cast<Jpeg*>(variant.get()));
}

TEST(JpegMetadata, OrientationSurvivesInTheVariants) {
  // orientation_rectangle.jpg: 2 x 1 pixels, EXIF orientation 8 (shown
  // turned a quarter to the left, so 1 x 2 on screen).
  const std::vector<std::uint8_t> source = fileBytes(kWild + "orientation_rectangle.jpg");
  const std::vector<Segment> exif = segmentsWithMarker(source, 0xE1);
  ASSERT_EQ(exif.size(), 1u);
  const std::vector<std::uint8_t> variant = variantOf(source);
  const std::vector<Segment> carried = segmentsWithMarker(variant, 0xE1);
  ASSERT_EQ(carried.size(), 1u);
  EXPECT_EQ(carried[0].payload, exif[0].payload);
  // The orientation tag (0x0112, SHORT, value 8) is in the carried block.
  const std::vector<std::uint8_t>& block = carried[0].payload;
  const bool bigEndian = block.at(6) == 'M';
  bool found = false;
  for (std::size_t i = 6; i + 10 <= block.size(); ++i) {
    const auto u16 = [&](std::size_t at) {
      return bigEndian ? block[at] << 8 | block[at + 1] : block[at + 1] << 8 | block[at];
    };
    if (u16(i) == 0x0112 && u16(i + 2) == 3 && u16(i + 8) == 8) found = true;
  }
  EXPECT_TRUE(found);
  // And the variant is still a 2 x 1 picture whose EXIF follows the JFIF header.
  EXPECT_EQ(segmentsOf(variant).at(0).marker, 0xE0);
  EXPECT_EQ(segmentsOf(variant).at(1).marker, 0xE1);
  EXPECT_EQ(readJpeg(variant)->getWidth(), 2);
}

TEST(JpegMetadata, ColourProfilesSurviveInTheVariantsWhole) {
  // A 100,000-byte RGB profile needs two APP2 segments.
  const std::vector<std::uint8_t> profile = profileBytes(100000, "RGB ");
  const std::vector<Segment> parts = iccSegments(profile, 65519);
  ASSERT_EQ(parts.size(), 2u);
  const auto card = [](int x, int y, int c) { return (x * 13 + y * 7 + c * 50) % 256; };
  const std::vector<std::uint8_t> source = libjpegFile(16, 8, 3, JCS_RGB, 90, card, parts);
  const std::vector<Segment> carried = segmentsWithMarker(variantOf(source), 0xE2);
  ASSERT_EQ(carried.size(), 2u);
  EXPECT_EQ(carried[0].payload, parts[0].payload);
  EXPECT_EQ(carried[1].payload, parts[1].payload);

  // Parts stored out of order are written in order.
  const std::vector<Segment> swapped = {parts[1], parts[0]};
  const std::vector<Segment> reordered =
      segmentsWithMarker(variantOf(libjpegFile(16, 8, 3, JCS_RGB, 90, card, swapped)), 0xE2);
  ASSERT_EQ(reordered.size(), 2u);
  EXPECT_EQ(reordered[0].payload, parts[0].payload);

  // A profile with a part missing, or for another colour space, is not
  // carried: it would describe the written pixels wrongly.
  const std::vector<std::vector<Segment>> dropped = {
      {parts[0]},
      iccSegments(profileBytes(3000, "CMYK"), 65519),
      iccSegments(profileBytes(3000, "GRAY"), 65519),
  };
  for (const std::vector<Segment>& segments : dropped) {
    const std::vector<std::uint8_t> file = libjpegFile(16, 8, 3, JCS_RGB, 90, card, segments);
    EXPECT_TRUE(segmentsWithMarker(variantOf(file), 0xE2).empty());
  }
}

}  // namespace
