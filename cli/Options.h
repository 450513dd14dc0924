#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "s/image/gui/dialogs/tintery/HSVSetting.h"

namespace tintery::cli {

// How the shifts are spread: as the window does on first start (the whole
// range for the hue, plus/minus 70 percent for saturation and brightness),
// over the whole range, or over plus/minus a given percent.
enum class Range { Default, Maximum, Limited };

struct Options {
  std::int32_t mode = s::image::gui::dialogs::tintery::Hue;
  std::int32_t variants = 10;
  Range range = Range::Default;
  std::int32_t limitedPercent = 0;
  // Variants written at the same time; 0: one per processor core.
  std::int32_t jobs = 0;
  bool quiet = false;
  bool help = false;
  bool version = false;
  // UTF-8, as given.
  std::vector<std::string> files;
};

// Inclusive bounds of --variants and --limited.
inline constexpr std::int32_t kMinVariants = 1;
inline constexpr std::int32_t kMaxVariants =
    s::image::gui::dialogs::tintery::HSVSetting::kMaxSamples;
inline constexpr std::int32_t kMinPercent = 1;
inline constexpr std::int32_t kMaxPercent =
    s::image::gui::dialogs::tintery::HSVSetting::kMaxPercent;

// Inclusive bounds of --jobs.
inline constexpr std::int32_t kMinJobs = 1;
inline constexpr std::int32_t kMaxJobs = 256;

// The percent the window starts with for a mode's limited range.
std::int32_t defaultLimitedPercent(std::int32_t mode);

struct ParseResult {
  Options options;
  // Empty when the arguments were understood; otherwise one line saying what
  // is wrong.
  std::string error;
  bool ok() const { return error.empty(); }
};

// The arguments after the program name. Options and files may be mixed;
// "--" ends the options. --help and --version end the parsing where they
// stand. Without --help or --version at least one file is required.
ParseResult parseArguments(const std::vector<std::string_view>& arguments);

// The text printed for --help and after a usage error.
std::string_view usageText();
// "tintery-cli <version>".
std::string versionText();

// Writes the options into `setting` the way the window's panel would, then
// computes the shifts.
void applyOptions(const Options& options, s::image::gui::dialogs::tintery::HSVSetting& setting);

}  // namespace tintery::cli
