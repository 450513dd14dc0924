#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "s/file/win/PathWin.h"
#include "s/image/filters/colors/Hsv.h"
#include "s/image/gui/dialogs/tintery/HSVSetting.h"
#include "s/str/Utf.h"
#include "tests/file/TempFolder.h"

namespace {

using s::file::win::PathWin;
using s::image::gui::dialogs::tintery::Brightness;
using s::image::gui::dialogs::tintery::computeShifts;
using s::image::gui::dialogs::tintery::HSVSetting;
using s::image::gui::dialogs::tintery::Hue;
using s::image::gui::dialogs::tintery::makeShiftFilter;
using s::image::gui::dialogs::tintery::Saturation;
using s::image::gui::dialogs::tintery::shiftSuffix;
using s::image::gui::dialogs::tintery::variantFilePath;
using s::image::gui::dialogs::tintery::variantFolderPath;
using s::thread::obtainOwned;
using s::thread::own;
using tintery_test::TempFolder;

std::string u8(std::u16string_view text) {
  return s::str::utf16ToUtf8(text);
}

std::vector<int> shiftsOf(std::int32_t mode, std::int32_t count, bool maximum,
                          std::int32_t percent) {
  auto setting = obtainOwned<HSVSetting>();
  setting->mode = mode;
  setting->numOfSamples = count;
  setting->inMaximumRange = maximum;
  setting->percent = percent;
  computeShifts(*setting);
  return std::vector<int>(setting->shifts.begin(), setting->shifts.end());
}

// The spreading rule spelled out literally: 32-bit integers, the division in
// double precision, and a full scan of the list for every new value.
std::vector<int> literalShifts(int mode, int count, bool maximum, int percent) {
  std::vector<int> shifts;
  if (mode < 1 || mode > 3) return shifts;
  const bool open = mode == 1 && maximum;
  const int c = maximum ? 100 : percent;
  const double step = (2.0 * c) / (open ? count + 1 : count - 1);
  if (!open) {
    shifts.push_back(-c);
    shifts.push_back(c);
  }
  for (int i = open ? 0 : 2; i < count; ++i) {
    const int k = open ? i + 1 : i - 1;
    const int value = static_cast<int>(std::trunc(k * step)) - c;
    bool present = false;
    for (int existing : shifts)
      present = present || existing == value;
    if (!present) shifts.push_back(value);
  }
  return shifts;
}

struct ShiftsCase {
  const char* what;
  std::int32_t mode;
  std::int32_t count;
  bool maximum;
  std::int32_t percent;
  std::vector<int> expected;
};

TEST(ComputeShifts, GivesTheDocumentedSpreads) {
  const ShiftsCase cases[] = {
      {"hue, whole range", Hue, 10, true, 30, {-82, -64, -46, -28, -10, 9, 27, 45, 63, 81}},
      {"saturation, limited to 70",
       Saturation,
       10,
       false,
       70,
       {-70, 70, -55, -39, -24, -8, 7, 23, 38, 54}},
      {"brightness, whole range",
       Brightness,
       10,
       true,
       70,
       {-100, 100, -78, -56, -34, -12, 11, 33, 55, 77}},
      {"saturation, 3 variants", Saturation, 3, false, 70, {-70, 70, 0}},
      {"brightness, limited to 1: duplicates dropped", Brightness, 10, false, 1, {-1, 1, 0}},
      {"hue, one variant over the whole range", Hue, 1, true, 50, {0}},
      {"limited, 1 requested: still both ends", Saturation, 1, false, 40, {-40, 40}},
      {"limited, 0 requested: still both ends", Hue, 0, false, 40, {-40, 40}},
      {"limited beyond 100 percent", Hue, 3, false, 150, {-150, 150, 0}},
      {"negative percent: mirrored, ends first", Saturation, 4, false, -30, {30, -30, 10, -10}},
      {"zero-width range: one file, not two alike", Brightness, 5, false, 0, {0}},
      {"hue, whole range, nothing requested", Hue, 0, true, 50, {}},
      {"negative count over the whole hue range", Hue, -5, true, 50, {}},
      {"negative count, limited", Brightness, INT_MIN, false, 20, {-20, 20}},
      {"unknown mode", 0, 10, true, 50, {}},
      {"unknown mode", 4, 10, false, 50, {}},
  };
  for (const ShiftsCase& c : cases) {
    EXPECT_EQ(shiftsOf(c.mode, c.count, c.maximum, c.percent), c.expected) << c.what;
  }
}

TEST(ComputeShifts, BoundsExtremeCountsAndPercents) {
  // Counts beyond the bound behave as the bound; percents likewise.
  EXPECT_EQ(shiftsOf(Hue, INT_MAX, true, 0), shiftsOf(Hue, HSVSetting::kMaxSamples, true, 0));
  EXPECT_EQ(shiftsOf(Saturation, INT_MAX, false, INT_MAX),
            shiftsOf(Saturation, HSVSetting::kMaxSamples, false, HSVSetting::kMaxPercent));
  EXPECT_EQ(shiftsOf(Brightness, 7, false, INT_MIN),
            shiftsOf(Brightness, 7, false, -HSVSetting::kMaxPercent));

  // The widest allowed spread: every requested value distinct, rising
  // strictly inside the two ends.
  const std::vector<int> widest =
      shiftsOf(Hue, HSVSetting::kMaxSamples, false, HSVSetting::kMaxPercent);
  ASSERT_EQ(widest.size(), static_cast<std::size_t>(HSVSetting::kMaxSamples));
  EXPECT_EQ(widest[0], -HSVSetting::kMaxPercent);
  EXPECT_EQ(widest[1], HSVSetting::kMaxPercent);
  for (std::size_t i = 2; i < widest.size(); ++i) {
    EXPECT_LT(i > 2 ? widest[i - 1] : widest[0], widest[i]) << i;
    EXPECT_LT(widest[i], widest[1]) << i;
  }

  // Over the whole hue range the thousand requested values collapse to the
  // 200 distinct whole percents between the ends.
  const std::vector<int> dense = shiftsOf(Hue, HSVSetting::kMaxSamples, true, 0);
  ASSERT_EQ(dense.size(), 200u);
  EXPECT_EQ(dense.front(), -100);
  EXPECT_EQ(dense.back(), 99);
}

TEST(ComputeShifts, DropsExactlyTheDuplicatesAFullScanWouldDrop) {
  // The duplicate test compares with the ends and the last value only; over
  // many counts and ranges it must agree with scanning the whole list.
  const int percents[] = {-150, -71, -3, -1, 1, 2, 3, 7, 13, 33, 50, 70, 99, 100, 101, 150, 997};
  for (int mode = 1; mode <= 3; ++mode) {
    for (bool maximum : {true, false}) {
      for (int percent : percents) {
        for (int count = 0; count <= 260; ++count) {
          ASSERT_EQ(shiftsOf(mode, count, maximum, percent),
                    literalShifts(mode, count, maximum, percent))
              << "mode " << mode << " maximum " << maximum << " percent " << percent << " count "
              << count;
        }
      }
    }
  }
}

TEST(ComputeShifts, StartsFromAnEmptyListEachTime) {
  auto setting = obtainOwned<HSVSetting>();
  setting->mode = Saturation;
  setting->inMaximumRange = false;
  setting->percent = 70;
  setting->numOfSamples = 3;
  computeShifts(*setting);
  computeShifts(*setting);
  EXPECT_EQ(std::vector<int>(setting->shifts.begin(), setting->shifts.end()),
            (std::vector<int>{-70, 70, 0}));
}

TEST(HSVSetting, ClearRestoresTheDefaults) {
  auto setting = obtainOwned<HSVSetting>();
  setting->numOfSamples = 3;
  setting->mode = Brightness;
  setting->inMaximumRange = false;
  setting->percent = 9;
  computeShifts(*setting);
  ASSERT_FALSE(setting->shifts.isEmpty());
  setting->clear();
  EXPECT_EQ(setting->numOfSamples, 10);
  EXPECT_EQ(setting->mode, Hue);
  EXPECT_TRUE(setting->inMaximumRange);
  EXPECT_EQ(setting->percent, 50);
  EXPECT_TRUE(setting->shifts.isEmpty());
  EXPECT_EQ(std::u16string_view(setting->getClassTag()), u"s_image_gui_dialogs_tintery_HSVSetting");
}

TEST(HsvMode, NamesFolderFileAndSettingsSection) {
  using namespace s::image::gui::dialogs::tintery;
  EXPECT_EQ(folderSuffix(Hue), u" (Hue)");
  EXPECT_EQ(folderSuffix(Saturation), u" (Saturation)");
  EXPECT_EQ(folderSuffix(Brightness), u" (Brightness)");
  EXPECT_EQ(fileNamePrefix(Hue), u" (H ");
  EXPECT_EQ(fileNamePrefix(Saturation), u" (S ");
  EXPECT_EQ(fileNamePrefix(Brightness), u" (B ");
  EXPECT_EQ(settingsSection(Hue), u"ConvertTo\\Hue");
  EXPECT_EQ(settingsSection(Saturation), u"ConvertTo\\Saturation");
  EXPECT_EQ(settingsSection(Brightness), u"ConvertTo\\Brightness");
  for (std::int32_t unknown : {0, 4, -1}) {
    EXPECT_TRUE(folderSuffix(unknown).empty());
    EXPECT_TRUE(fileNamePrefix(unknown).empty());
    EXPECT_TRUE(settingsSection(unknown).empty());
  }
}

struct FilterCase {
  std::int32_t mode;
  std::int32_t shift;
  std::int32_t hue;
  std::int32_t saturation;
  std::int32_t value;
};

TEST(MakeShiftFilter, PutsTheShiftOnTheModesChannel) {
  const FilterCase cases[] = {
      // Percent of the hue circle to degrees, truncated toward zero.
      {Hue, -82, -147, 0, 0},
      {Hue, 81, 145, 0, 0},
      {Hue, 9, 16, 0, 0},
      {Hue, -1, -1, 0, 0},
      {Hue, 0, 0, 0, 0},
      {Hue, -150, -270, 0, 0},
      {Hue, 100000, 180000, 0, 0},
      {Saturation, -70, 0, -70, 0},
      {Saturation, 7, 0, 7, 0},
      {Brightness, 77, 0, 0, 77},
      {Brightness, -100, 0, 0, -100},
  };
  for (const FilterCase& c : cases) {
    auto setting = obtainOwned<HSVSetting>();
    setting->mode = c.mode;
    setting->shifts.add(12345);  // shift 0, never asked for
    setting->shifts.add(c.shift);
    auto filter = own(makeShiftFilter(*setting, 1));
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->hueShift, c.hue) << c.mode << " " << c.shift;
    EXPECT_EQ(filter->saturationShift, c.saturation) << c.mode << " " << c.shift;
    EXPECT_EQ(filter->valueShift, c.value) << c.mode << " " << c.shift;
    EXPECT_TRUE(filter->isOwnedByImage());
  }
}

TEST(MakeShiftFilter, GivesNothingOutsideTheShifts) {
  auto setting = obtainOwned<HSVSetting>();
  computeShifts(*setting);
  ASSERT_EQ(setting->shifts.getLength(), 10);
  EXPECT_EQ(makeShiftFilter(*setting, -1), nullptr);
  EXPECT_EQ(makeShiftFilter(*setting, 10), nullptr);
  setting->mode = 7;
  EXPECT_EQ(makeShiftFilter(*setting, 0), nullptr);
}

TEST(VariantNames, WriteTheSignedShift) {
  EXPECT_EQ(shiftSuffix(-82), u"-82%)");
  EXPECT_EQ(shiftSuffix(9), u"+9%)");
  EXPECT_EQ(shiftSuffix(0), u"+0%)");
  EXPECT_EQ(shiftSuffix(-100000), u"-100000%)");
  EXPECT_EQ(shiftSuffix(INT_MIN), u"-2147483648%)");
}

struct FileNameCase {
  const char* source;
  std::int32_t mode;
  std::int32_t shift;
  const char* expected;
};

TEST(VariantNames, BuildTheVariantFilePath) {
  const FileNameCase cases[] = {
      {"/pics/photo.jpg", Hue, -82, "/out/photo (H -82%).jpg"},
      {"/pics/photo.jpg", Hue, 9, "/out/photo (H +9%).jpg"},
      {"/pics/photo.jpg", Hue, 0, "/out/photo (H +0%).jpg"},
      {"/pics/PHOTO.JPG", Saturation, -70, "/out/PHOTO (S -70%).JPG"},
      {"/pics/Logo.Png", Brightness, 55, "/out/Logo (B +55%).Png"},
      {"/pics/my.holiday.gif", Hue, 27, "/out/my.holiday (H +27%).gif"},
      {"/pics/Farbtöne.jpeg", Brightness, -1, "/out/Farbtöne (B -1%).jpeg"},
  };
  for (const FileNameCase& c : cases) {
    auto setting = obtainOwned<HSVSetting>();
    setting->mode = c.mode;
    setting->shifts.add(c.shift);
    auto source = obtainOwned<PathWin>();
    source->setPathUtf8(c.source);
    EXPECT_EQ(u8(variantFilePath(u"/out", *source, *setting, 0)), c.expected) << c.source;
    EXPECT_TRUE(variantFilePath(u"/out", *source, *setting, 1).empty());
  }
}

class VariantFolder : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(temp.path().empty()); }

  // The folder made for `source` in `mode`, as a UTF-8 path ("" when none).
  std::string makeFolder(const std::string& source, std::int32_t mode) {
    auto path = obtainOwned<PathWin>();
    path->setPathUtf8(source);
    auto folder = own(variantFolderPath(*path, mode));
    return folder == nullptr ? std::string() : u8(folder->getFullPath());
  }

  static bool isFolder(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  }

  TempFolder temp;
};

TEST_F(VariantFolder, IsCreatedBesideTheSourceAndNumberedWhenTaken) {
  const std::string source = temp.at("photo.jpg");
  ASSERT_TRUE(tintery_test::writeRaw(source, "x"));
  struct Step {
    std::int32_t mode;
    const char* expected;
  };
  const Step steps[] = {
      {Hue, "photo.jpg (Hue)"},
      {Hue, "photo.jpg (Hue) (1)"},
      {Hue, "photo.jpg (Hue) (2)"},
      {Saturation, "photo.jpg (Saturation)"},
      {Brightness, "photo.jpg (Brightness)"},
      {Brightness, "photo.jpg (Brightness) (1)"},
  };
  for (const Step& step : steps) {
    const std::string folder = makeFolder(source, step.mode);
    EXPECT_EQ(folder, temp.at(step.expected));
    EXPECT_TRUE(isFolder(folder)) << folder;
  }
}

TEST_F(VariantFolder, NumbersBeforeTheLastExtensionWhenAFileHoldsTheName) {
  // A file occupying the name is numbered like any file: before its last
  // extension, which here is ".jpg (Hue)".
  ASSERT_TRUE(tintery_test::writeRaw(temp.at("photo.jpg (Hue)"), "x"));
  const std::string folder = makeFolder(temp.at("photo.jpg"), Hue);
  EXPECT_EQ(folder, temp.at("photo (1).jpg (Hue)"));
  EXPECT_TRUE(isFolder(folder));
}

TEST_F(VariantFolder, CreatesMissingParentsAndFailsWhereNoFolderCanBe) {
  EXPECT_EQ(makeFolder(temp.at("new/deeper/a.png"), Saturation),
            temp.at("new/deeper/a.png (Saturation)"));
  EXPECT_TRUE(isFolder(temp.at("new/deeper/a.png (Saturation)")));

  // Below a file nothing can be created.
  ASSERT_TRUE(tintery_test::writeRaw(temp.at("plain"), "x"));
  EXPECT_EQ(makeFolder(temp.at("plain/a.png"), Hue), "");
  // Nor for an unknown mode.
  EXPECT_EQ(makeFolder(temp.at("b.png"), 0), "");
}

}  // namespace
