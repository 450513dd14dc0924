// Real GIF files (see tests/data/gif/NOTICE.md): what they decode to, and
// damaged copies of them.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "GifTestSupport.h"

namespace {

using gif_test::Bytes;
using gif_test::dataFile;
using gif_test::firstDifference;
using gif_test::Gif;
using gif_test::loadReference;
using gif_test::readGif;
using gif_test::Reference;
using s::thread::own;

TEST(GifCorpus, FramesDecodeAsABrowserShowsThem) {
  const char* names[] = {
      "dispose_none",
      "dispose_bgnd",
      "dispose_prev",
      "different_transparency",
      "missing_background",
      "iss634",
      "first_frame_transparency",  // one frame at an offset on a wider screen
      "test_extents",
      "test_extents_transparency",
      "decompression_bomb_extents",  // a frame far outside the screen
      "no_palette",
      "no_palette_after_rgb",
      "background_outside_palette",
      "hopper",
      "issue_2811",  // code size 11
  };
  for (const std::string name : names) {
    Reference reference;
    ASSERT_TRUE(loadReference(name, reference)) << name;
    bool ok = false;
    auto gif = readGif(dataFile(name + ".gif"), &ok);
    ASSERT_TRUE(ok) << name;
    EXPECT_EQ(gif->getProblem(), "") << name;
    // Without a loop extension the count stays 1.
    EXPECT_EQ(gif->getLoopCount(), reference.loopCount < 0 ? 1 : reference.loopCount) << name;
    auto set = own(gif->decode(0));
    ASSERT_EQ(set->getCount(), reference.frames) << name;
    EXPECT_EQ(set->getWidth(), reference.width) << name;
    EXPECT_EQ(set->getHeight(), reference.height) << name;
    EXPECT_TRUE(set->isAnimated()) << name;
    for (int i = 0; i < set->getCount(); ++i) {
      EXPECT_EQ(set->getDelay(i), reference.delays[i]) << name << " frame " << i;
      ASSERT_EQ(set->get(i)->getWidth(), reference.width) << name << " frame " << i;
      EXPECT_EQ(firstDifference(*set->get(i), reference.pictures[i]), "") << name << " frame " << i;
      if (i > 0) {
        EXPECT_EQ(set->getDisposal(i), 2) << name << " frame " << i;
      }
    }
  }
}

TEST(GifCorpus, EveryFileHasTheExpectedOutcome) {
  struct Case {
    const char* file;
    bool read;
    int frames, width, height, loopCount;
    const char* problem;
  } cases[] = {
      {"background_outside_palette.gif", true, 2, 1, 1, 1, ""},
      {"comment_after_last_frame.gif", true, 2, 1, 1, 1, ""},
      // Code size 143 on a frame of 65535 x 1321 far below the screen.
      {"decompression_bomb.gif", false, 0, 0, 0, 1, "damaged image data"},
      {"decompression_bomb_extents.gif", true, 2, 100, 100, 1, ""},
      {"different_transparency.gif", true, 2, 100, 100, 1, ""},
      {"dispose_bgnd.gif", true, 5, 100, 100, 0, ""},
      {"dispose_none.gif", true, 5, 100, 100, 0, ""},
      {"dispose_prev.gif", true, 5, 100, 100, 0, ""},
      // Two loop extensions: the later one counts.
      {"duplicate_number_of_loops.gif", true, 2, 1, 1, 3, ""},
      {"first_frame_transparency.gif", true, 1, 75, 50, 1, ""},
      {"hopper.gif", true, 1, 128, 128, 1, ""},
      {"hopper_zero_comment_subblocks.gif", true, 1, 128, 128, 1, ""},
      {"iss634.gif", true, 42, 245, 245, 0, ""},
      {"issue_2811.gif", true, 1, 100, 100, 1, ""},
      {"missing_background.gif", true, 4, 32, 32, 0, ""},
      {"no_palette.gif", true, 2, 1, 1, 1, ""},
      {"no_palette_after_rgb.gif", true, 3, 1, 1, 1, ""},
      {"test.colors.gif", true, 1, 807, 606, 1, ""},
      {"test_extents.gif", true, 2, 100, 100, 1, ""},
      // 25 stray bytes (a second header) between the frames are passed over.
      {"test_extents_transparency.gif", true, 2, 100, 100, 1, ""},
      {"zero_width.gif", false, 0, 0, 0, 1, "frame of zero size skipped"},
  };
  for (const Case& c : cases) {
    bool ok = !c.read;
    auto gif = readGif(dataFile(c.file), &ok);
    EXPECT_EQ(ok, c.read) << c.file;
    EXPECT_EQ(gif->getProblem(), c.problem) << c.file;
    EXPECT_EQ(gif->getImageCount(), c.frames) << c.file;
    EXPECT_EQ(gif->getScreenWidth(), c.width) << c.file;
    EXPECT_EQ(gif->getScreenHeight(), c.height) << c.file;
    EXPECT_EQ(gif->getLoopCount(), c.loopCount) << c.file;
    auto set = own(gif->decode(0));
    EXPECT_EQ(set->getCount(), c.frames) << c.file;
  }

  // The same picture, interlaced and with an empty comment.
  auto plain = own(readGif(dataFile("hopper.gif"))->decode(0));
  auto interlaced = own(readGif(dataFile("hopper_zero_comment_subblocks.gif"))->decode(0));
  ASSERT_EQ(plain->getCount(), 1);
  ASSERT_EQ(interlaced->getCount(), 1);
  for (int y = 0; y < 128; ++y) {
    ASSERT_EQ(0, std::memcmp(plain->get(0)->getRow(y), interlaced->get(0)->getRow(y), 128 * 4))
        << y;
  }
}

// Reads and decodes a file, checking what holds for every outcome.
void readDamaged(const Bytes& bytes, const std::string& what) {
  bool ok = false;
  auto gif = readGif(bytes, &ok);
  EXPECT_EQ(ok, gif->getImageCount() > 0) << what;
  if (!ok) {
    EXPECT_NE(gif->getProblem(), "") << what;
  }
  auto set = own(gif->decode(0));
  ASSERT_EQ(set->getCount(), gif->getImageCount()) << what;
  for (int i = 0; i < set->getCount(); ++i) {
    EXPECT_EQ(set->get(i)->getWidth(), gif->getScreenWidth()) << what;
    EXPECT_EQ(set->get(i)->getHeight(), gif->getScreenHeight()) << what;
  }
}

TEST(GifCorpus, DamagedCopiesAreReadAsFarAsTheyGo) {
  // Every length of two small files (one interlaced), and every byte of a
  // third replaced by 0, 255 or itself with some bits flipped.
  for (const char* name : {"dispose_prev.gif", "first_frame_transparency.gif"}) {
    const Bytes whole = dataFile(name);
    ASSERT_FALSE(whole.empty());
    for (std::size_t length = 0; length < whole.size(); ++length)
      readDamaged(Bytes(whole.begin(), whole.begin() + length), name);
  }
  const Bytes whole = dataFile("missing_background.gif");
  ASSERT_FALSE(whole.empty());
  for (std::size_t k = 0; k < whole.size(); ++k) {
    for (std::uint8_t value : {std::uint8_t{0}, std::uint8_t{255}, std::uint8_t(whole[k] ^ 0x5A)}) {
      Bytes changed = whole;
      changed[k] = value;
      readDamaged(changed, "missing_background.gif byte " + std::to_string(k));
    }
  }
}

}  // namespace
