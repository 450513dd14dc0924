// Colour variants of GIF files: re-encoding through the source's codec, as
// the variant job does.

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "GifTestSupport.h"
#include "file/TempFolder.h"
#include "s/image/FormatDetection.h"
#include "s/image/filters/colors/Hsv.h"
#include "s/image/gif/EncodeSetting.h"
#include "s/image/gui/dialogs/tintery/HSVSetting.h"
#include "s/image/gui/dialogs/tintery/VariantJob.h"
#include "s/str/Utf.h"
#include "support/PlainHsv.h"

namespace {

using gif_test::BufferedImage;
using gif_test::BufferedImageSet;
using gif_test::Bytes;
using gif_test::dataFile;
using gif_test::Gif;
using gif_test::GifBuilder;
using gif_test::Pixel;
using gif_test::pixelAt;
using gif_test::readGif;
using gif_test::Rgb;
using gif_test::written;
using s::thread::own;
using s::thread::Owned;

constexpr int kHueShift = -147;

// The decoded set of a file, coalesced as the variant job does.
Owned<BufferedImageSet> framesOf(Gif& gif) {
  auto set = own(gif.decode(0));
  return own(set->coalesce());
}

// What the codec writes for a set, read back.
Owned<Gif> variantOf(Gif& source, BufferedImageSet& set) {
  auto encoded = own(source.encodeSetLike(&set));
  EXPECT_NE(encoded, nullptr);
  if (encoded == nullptr) return own(Gif::obtain());
  bool ok = false;
  auto variant = readGif(written(*encoded), &ok);
  EXPECT_TRUE(ok);
  return variant;
}

// The number of pixels of two pictures of one size that differ.
int differingPixels(BufferedImage& a, BufferedImage& b) {
  int count = 0;
  for (int y = 0; y < a.getHeight(); ++y) {
    for (int x = 0; x < a.getWidth(); ++x)
      count += pixelAt(a, x, y) != pixelAt(b, x, y);
  }
  return count;
}

TEST(GifEncode, AnimatedVariantsKeepFramesTimingAndLoopCount) {
  // Every frame written holds at most 255 colours here, so the variants
  // show exactly the shifted frames.
  for (const char* file :
       {"dispose_none.gif", "dispose_bgnd.gif", "dispose_prev.gif", "missing_background.gif",
        "different_transparency.gif", "no_palette_after_rgb.gif", "duplicate_number_of_loops.gif",
        "iss634.gif"}) {
    auto source = readGif(dataFile(file));
    auto frames = framesOf(*source);
    ASSERT_EQ(frames->getCount(), source->getImageCount()) << file;
    // What the variant must show: every frame shifted by the plain rule.
    std::vector<Owned<BufferedImage>> expected;
    for (int i = 0; i < frames->getCount(); ++i) {
      expected.push_back(own(frames->get(i)->copyTo(nullptr)));
      for (int y = 0; y < expected.back()->getHeight(); ++y) {
        for (int x = 0; x < expected.back()->getWidth(); ++x)
          tintery::test::plainHsvPixel(expected.back()->getRow(y) + x * 4, kHueShift, 0, 0);
      }
      auto* hsv = s::image::filters::colors::Hsv::obtain();
      hsv->hueShift = kHueShift;
      frames->get(i)->addFilter(hsv);
    }

    auto variant = variantOf(*source, *frames);
    ASSERT_EQ(variant->getImageCount(), source->getImageCount()) << file;
    EXPECT_EQ(variant->getLoopCount(), source->getLoopCount()) << file;
    auto shown = own(variant->decode(0));
    ASSERT_EQ(shown->getCount(), source->getImageCount()) << file;
    for (int i = 0; i < shown->getCount(); ++i) {
      EXPECT_EQ(variant->getDelay(i), source->getDelay(i)) << file << " frame " << i;
      EXPECT_EQ(differingPixels(*shown->get(i), *expected[i]), 0) << file << " frame " << i;
    }
  }
}

TEST(GifEncode, StillPicturesGiveStillGifs) {
  struct Case {
    const char* file;
    int width, height;
    bool transparent;
  } cases[] = {
      {"hopper.gif", 128, 128, false},
      // A frame covering part of its screen: the rest stays transparent.
      {"first_frame_transparency.gif", 75, 50, true},
  };
  for (const Case& c : cases) {
    auto source = readGif(dataFile(c.file));
    auto frames = framesOf(*source);
    auto variant = variantOf(*source, *frames);
    ASSERT_EQ(variant->getImageCount(), 1) << c.file;
    EXPECT_EQ(variant->getScreenWidth(), c.width) << c.file;
    EXPECT_EQ(variant->getScreenHeight(), c.height) << c.file;
    EXPECT_EQ(variant->hasTransparency(), c.transparent) << c.file;
    auto shown = own(variant->decode(0));
    EXPECT_EQ(pixelAt(*shown->get(0), 0, 0)[3], c.transparent ? 0 : 255) << c.file;
  }
  // Several frames in a set that is not an animation: the primary one.
  auto source = readGif(dataFile("dispose_none.gif"));
  auto set = own(source->decode(0));
  set->setAnimation(false, 0);
  auto variant = variantOf(*source, *set);
  EXPECT_EQ(variant->getImageCount(), 1);
}

TEST(GifEncode, VariantsKeepEveryColourOfTheSourceTable) {
  // A picture using every entry of its global table, re-encoded unchanged.
  for (int colours : {2, 4, 8, 16, 128}) {
    std::vector<Rgb> table;
    std::vector<int> indices;
    for (int i = 0; i < colours; ++i) {
      table.push_back({std::uint8_t(i * 2), std::uint8_t(255 - i), std::uint8_t(i * 7 % 256)});
      indices.push_back(i);
    }
    auto source = readGif(GifBuilder(colours, 1, table).image(0, 0, colours, 1, indices).finish());
    auto frames = framesOf(*source);
    auto variant = variantOf(*source, *frames);
    auto shown = own(variant->decode(0));
    ASSERT_EQ(shown->getCount(), 1);
    EXPECT_EQ(differingPixels(*shown->get(0), *frames->get(0)), 0) << colours << " colours";
  }
}

TEST(GifEncode, SettingRecordsComeBackAtTheirDefaults) {
  auto* setting = s::image::gif::EncodeSetting::obtain();
  setting->bpp = 3;
  setting->keepTransparency = 0;
  setting->bgBlue = 7;
  setting->recycle();
  auto again = own(s::image::gif::EncodeSetting::obtain());
  EXPECT_EQ(again->bpp, 8);
  EXPECT_EQ(again->keepTransparency, 1);
  EXPECT_EQ((std::vector<int>{again->bgRed, again->bgGreen, again->bgBlue}),
            (std::vector<int>{255, 255, 255}));
  EXPECT_EQ(again->createFromImage(nullptr), nullptr);
  EXPECT_EQ(again->createFromSet(nullptr), nullptr);
}

// Records what the job reports, one line per call.
class Recorder : public s::image::gui::dialogs::tintery::IVariantJobListener {
 public:
  void onStatus(std::u16string_view, std::int32_t, std::int32_t, std::u16string_view) override {}
  void onFileSkipped(std::u16string_view path, s::image::gui::dialogs::tintery::SkipReason reason,
                     std::string_view detail) override {
    lines.push_back(nameOf(path) + " skipped: " + std::string(describe(reason)) + ": " +
                    std::string(detail));
  }
  void onFileWarning(std::u16string_view path, std::string_view problem) override {
    lines.push_back(nameOf(path) + " warning: " + std::string(problem));
  }
  void onFileDone(std::u16string_view path, std::u16string_view, std::int32_t written,
                  std::int32_t failed) override {
    lines.push_back(nameOf(path) + " done " + std::to_string(written) + "/" +
                    std::to_string(failed));
  }
  std::vector<std::string> lines;

 private:
  static std::string nameOf(std::u16string_view path) {
    const std::string text = s::str::utf16ToUtf8(path);
    return text.substr(text.rfind('/') + 1);
  }
};

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      if (entry->d_name[0] != '.') names.push_back(folder + "/" + entry->d_name);
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(GifJob, AnimatedGifsGiveAnimatedVariants) {
  using namespace s::image::gui::dialogs::tintery;
  tintery_test::TempFolder temp;
  ASSERT_FALSE(temp.path().empty());
  const auto copy = [&](const Bytes& bytes, const std::string& name) {
    ASSERT_TRUE(tintery_test::writeRaw(temp.at(name), std::string(bytes.begin(), bytes.end())));
  };
  copy(dataFile("dispose_bgnd.gif"), "anim.gif");
  copy(dataFile("hopper.gif"), "still.gif");
  // Cut inside the fourth frame's data.
  const Bytes whole = dataFile("dispose_prev.gif");
  copy(Bytes(whole.begin(), whole.begin() + 1200), "cut.gif");
  // A frame whose code size no decoder accepts, and a comment to make the
  // file long enough to be recognised.
  copy(GifBuilder(2, 2, {{1, 2, 3}})
           .raw({0x21, 0xFE, 100})
           .raw(Bytes(100, 'x'))
           .raw({0, 0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 12, 1, 0, 0})
           .finish(),
       "broken.gif");

  auto setting = s::thread::obtainOwned<HSVSetting>();
  setting->mode = Hue;
  setting->numOfSamples = 2;
  computeShifts(*setting);
  Recorder recorder;
  VariantJob job(*setting, recorder);
  job.run({temp.at16("anim.gif"), temp.at16("still.gif"), temp.at16("cut.gif"),
           temp.at16("broken.gif")});
  EXPECT_EQ(recorder.lines, (std::vector<std::string>{
                                "anim.gif done 2/0",
                                "still.gif done 2/0",
                                "cut.gif warning: truncated file",
                                "cut.gif done 2/0",
                                "broken.gif skipped: damaged: damaged image data",
                            }));

  struct Expected {
    const char* folder;
    int frames;
    std::uint16_t loopCount;
    int delay;
  } expected[] = {
      {"anim.gif (Hue)", 5, 0, 1000}, {"still.gif (Hue)", 1, 1, 0}, {"cut.gif (Hue)", 4, 0, 1000}};
  for (const Expected& e : expected) {
    const std::vector<std::string> variants = filesIn(temp.at(e.folder));
    ASSERT_EQ(variants.size(), 2u) << e.folder;
    for (const std::string& path : variants) {
      const char16_t* format = nullptr;
      ASSERT_TRUE(s::image::detectFormat(s::str::utf8ToUtf16(path), format)) << path;
      EXPECT_EQ(format, s::image::kFormatGif) << path;
      bool ok = false;
      auto variant = readGif(gif_test::readFile(path), &ok);
      ASSERT_TRUE(ok) << path;
      EXPECT_EQ(variant->getImageCount(), e.frames) << path;
      EXPECT_EQ(variant->getLoopCount(), e.loopCount) << path;
      EXPECT_EQ(variant->getDelay(variant->getImageCount() - 1), e.delay) << path;
    }
  }
}

}  // namespace
