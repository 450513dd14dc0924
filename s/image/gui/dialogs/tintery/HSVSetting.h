#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "s/col/_array/IntArrays.h"
#include "s/thread/Pool.h"

namespace s::file {
class IPath;
namespace win {
class PathWin;
}
}  // namespace s::file
namespace s::image::filters::colors {
class Hsv;
}

namespace s::image::gui::dialogs::tintery {

// The channel a run varies. The "Convert to:" entry at index n selects mode
// n + 1.
enum HsvMode : std::int32_t { Hue = 1, Saturation = 2, Brightness = 3 };

constexpr bool isHsvMode(std::int32_t mode) {
  return mode == Hue || mode == Saturation || mode == Brightness;
}

// Appended to the source's file name to name its variant folder:
// " (Hue)", " (Saturation)", " (Brightness)"; empty for an unknown mode.
std::u16string_view folderSuffix(std::int32_t mode);
// Put between the source's stem and the shift in a variant's file name:
// " (H ", " (S ", " (B "; empty for an unknown mode.
std::u16string_view fileNamePrefix(std::int32_t mode);
// The settings section holding the mode's options: "ConvertTo\Hue",
// "ConvertTo\Saturation", "ConvertTo\Brightness"; empty for an unknown mode.
std::u16string_view settingsSection(std::int32_t mode);

// The options of one run and the shifts they give.
class HSVSetting final : public thread::PooledObject<HSVSetting> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_gui_dialogs_tintery_HSVSetting";
  // computeShifts bounds the requested count and the percent to these, so
  // that no typed value can make it loop for long or overflow.
  static constexpr std::int32_t kMaxSamples = 1000;
  static constexpr std::int32_t kMaxPercent = 100000;

  HSVSetting() { clear(); }
  HSVSetting(const HSVSetting&) = delete;
  HSVSetting& operator=(const HSVSetting&) = delete;

  // 10 variants of the hue over the whole range (50 percent when limited),
  // no shifts.
  void clear() override;

  // Requested number of variants.
  std::int32_t numOfSamples = 10;
  // An HsvMode; other values give no shifts.
  std::int32_t mode = Hue;
  // True: spread over the whole range; false: over plus/minus `percent`.
  bool inMaximumRange = true;
  // Half-width of the limited range, in percent of the full range.
  std::int32_t percent = 50;
  // The shift of each variant in percent of the full range, in the order the
  // variants are written.
  col::_array::ArrayS32 shifts;
};

// Fills `setting.shifts` from the other fields. For a limited range, and for
// saturation and brightness, the two ends (-c, +c) come first, then the inner
// values rising (falling for a negative percent). For the hue over the whole
// range neither end is produced, since both are the unchanged colour. Values
// that truncate to one already present are dropped, so fewer variants than
// requested can result.
void computeShifts(HSVSetting& setting);

// A new filter (the caller owns it until it is handed to a buffer) applying
// shift j of the setting to its mode's channel; a hue shift in percent
// becomes degrees with truncation toward zero (-82 % is -147 degrees). Null
// when j is out of range or the mode is unknown.
filters::colors::Hsv* makeShiftFilter(const HSVSetting& setting, std::int32_t j);

// "-82%)", "+9%)", "+0%)": the signed shift closing a variant's file name.
std::u16string shiftSuffix(std::int32_t shift);

// The full path of variant j of `source` inside `folder` (a full path
// without trailing separator): folder + "/" + stem + prefix + shiftSuffix +
// the source's extension spelled as in the source. Empty when j is out of
// range or the mode is unknown.
std::u16string variantFilePath(std::u16string_view folder, const file::IPath& source,
                               const HSVSetting& setting, std::int32_t j);

// Chooses the variant folder of `source` (its folder + its file name with
// extension + the mode's folder suffix, numbered " (1)", " (2)" ... when the
// name is taken) and creates it with any missing parents. A new path the
// caller recycles; null when the folder could not be created.
file::win::PathWin* variantFolderPath(const file::IPath& source, std::int32_t mode);

}  // namespace s::image::gui::dialogs::tintery
