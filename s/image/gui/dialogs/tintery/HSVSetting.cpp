#include "s/image/gui/dialogs/tintery/HSVSetting.h"

#include <algorithm>
#include <cmath>

#include "s/file/IPath.h"
#include "s/file/win/PathWin.h"
#include "s/image/filters/colors/Hsv.h"

namespace s::image::gui::dialogs::tintery {

namespace {

struct ModeNames {
  std::u16string_view folderSuffix;
  std::u16string_view fileNamePrefix;
  std::u16string_view settingsSection;
};

constexpr ModeNames kModeNames[] = {
    {u" (Hue)", u" (H ", u"ConvertTo\\Hue"},
    {u" (Saturation)", u" (S ", u"ConvertTo\\Saturation"},
    {u" (Brightness)", u" (B ", u"ConvertTo\\Brightness"},
};

const ModeNames* namesOf(std::int32_t mode) {
  return isHsvMode(mode) ? &kModeNames[mode - 1] : nullptr;
}

// True when `value` is among the shifts already appended. The inner values
// are produced in monotone order (k * step with a fixed step, truncated) and
// stay strictly inside the far end, so a repeat can only equal one of the two
// ends or the value appended last: three comparisons instead of a scan.
bool alreadyHas(const col::_array::ArrayS32& shifts, std::int32_t value) {
  const std::int32_t length = shifts.getLength();
  if (length == 0) return false;
  if (shifts.get(length - 1) == value || shifts.get(0) == value) return true;
  return length > 1 && shifts.get(1) == value;
}

}  // namespace

std::u16string_view folderSuffix(std::int32_t mode) {
  const ModeNames* names = namesOf(mode);
  return names != nullptr ? names->folderSuffix : std::u16string_view();
}

std::u16string_view fileNamePrefix(std::int32_t mode) {
  const ModeNames* names = namesOf(mode);
  return names != nullptr ? names->fileNamePrefix : std::u16string_view();
}

std::u16string_view settingsSection(std::int32_t mode) {
  const ModeNames* names = namesOf(mode);
  return names != nullptr ? names->settingsSection : std::u16string_view();
}

void HSVSetting::clear() {
  numOfSamples = 10;
  mode = Hue;
  inMaximumRange = true;
  percent = 50;
  shifts.removeAllWithoutDisposing();
}

void computeShifts(HSVSetting& setting) {
  col::_array::ArrayS32& shifts = setting.shifts;
  shifts.removeAllWithoutDisposing();
  if (!isHsvMode(setting.mode)) return;

  // The two ends of the hue circle are the same colour, so over the whole
  // hue range neither end is written and the values sit between them.
  const bool open = setting.mode == Hue && setting.inMaximumRange;
  const std::int32_t c =
      setting.inMaximumRange
          ? 100
          : std::clamp(setting.percent, -HSVSetting::kMaxPercent, HSVSetting::kMaxPercent);
  const std::int32_t count = std::clamp(setting.numOfSamples, 0, HSVSetting::kMaxSamples);
  shifts.ensureCapacity(count + 2);

  if (!open) {
    shifts.add(-c);
    // With a zero-width range both ends are the same file.
    if (c != 0) shifts.add(c);
  }
  const std::int32_t first = open ? 0 : 2;
  if (first >= count) return;
  // Here the divisor is at least 1 (count + 1, or count - 1 with count >= 3).
  const std::int32_t divisor = open ? count + 1 : count - 1;
  const double step = (2.0 * c) / divisor;
  for (std::int32_t i = first; i < count; ++i) {
    const std::int32_t k = open ? i + 1 : i - 1;
    // |k * step| < 2 * kMaxPercent, so the truncated product fits.
    const std::int32_t value = static_cast<std::int32_t>(std::trunc(k * step)) - c;
    if (!alreadyHas(shifts, value)) shifts.add(value);
  }
}

filters::colors::Hsv* makeShiftFilter(const HSVSetting& setting, std::int32_t j) {
  if (!isHsvMode(setting.mode) || j < 0 || j >= setting.shifts.getLength()) return nullptr;
  filters::colors::Hsv* filter = filters::colors::Hsv::obtain();
  if (filter == nullptr) return nullptr;
  const std::int32_t shift = setting.shifts.get(j);
  switch (setting.mode) {
    case Hue:
      // Percent of the full circle to degrees; integer division truncates
      // toward zero. 64-bit so that any stored shift converts safely.
      filter->hueShift = static_cast<std::int32_t>(std::int64_t{shift} * 180 / 100);
      break;
    case Saturation:
      filter->saturationShift = shift;
      break;
    case Brightness:
      filter->valueShift = shift;
      break;
  }
  return filter;
}

std::u16string shiftSuffix(std::int32_t shift) {
  std::u16string text;
  if (shift >= 0) text.push_back(u'+');
  const std::string digits = std::to_string(shift);
  text.append(digits.begin(), digits.end());
  text.append(u"%)");
  return text;
}

std::u16string variantFilePath(std::u16string_view folder, const file::IPath& source,
                               const HSVSetting& setting, std::int32_t j) {
  if (!isHsvMode(setting.mode) || j < 0 || j >= setting.shifts.getLength()) return {};
  std::u16string path(folder);
  path.push_back(u'/');
  path.append(source.getStem());
  path.append(fileNamePrefix(setting.mode));
  path.append(shiftSuffix(setting.shifts.get(j)));
  path.append(source.getExtension());
  return path;
}

file::win::PathWin* variantFolderPath(const file::IPath& source, std::int32_t mode) {
  if (!isHsvMode(mode)) return nullptr;
  std::u16string wanted(source.getFolder());
  wanted.append(source.getFileName());
  wanted.append(folderSuffix(mode));
  thread::Owned<file::win::PathWin> path = thread::own(file::win::PathWin::obtain(wanted));
  if (path == nullptr) return nullptr;
  // An existing folder gets " (n)" after its whole name, an existing file
  // before its last extension.
  thread::Owned<file::win::PathWin> free = thread::own(path->firstFreeVariant());
  // Creation fails when the name was taken meanwhile: the folder must be new.
  if (free == nullptr || !free->createFolder(false)) return nullptr;
  return free.release();
}

}  // namespace s::image::gui::dialogs::tintery
