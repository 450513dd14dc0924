#include "cli/Options.h"

#include <charconv>
#include <optional>

#ifndef TINTERY_VERSION
#error "TINTERY_VERSION must be defined by the build"
#endif

namespace tintery::cli {

namespace tintery_ns = s::image::gui::dialogs::tintery;

namespace {

constexpr std::string_view kUsage =
    "Usage: tintery-cli [OPTIONS] FILE...\n"
    "Writes colour variants of each image FILE into a new folder beside it.\n"
    "\n"
    "  -c, --convert-to hue|saturation|brightness   channel to vary (default hue)\n"
    "  -n, --variants N     number of variants, 1 to 1000 (default 10)\n"
    "      --max-range      spread the shifts over the whole range\n"
    "      --limited P      spread the shifts over plus/minus P percent (1 to 100000)\n"
    "                       (neither: hue uses the whole range; saturation and\n"
    "                       brightness use --limited 70)\n"
    "  -j, --jobs N         variants written at the same time, 1 to 256\n"
    "                       (default: one per processor core); the files\n"
    "                       written do not depend on it\n"
    "  -q, --quiet          no progress output\n"
    "  -h, --help           show this help and exit\n"
    "      --version        show the version and exit\n"
    "\n"
    "Each created folder is printed on standard output. Exit status: 0 when\n"
    "every file was converted, 1 when any file was skipped or failed, 2 for a\n"
    "usage error.\n";

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

enum class Id { ConvertTo, Variants, MaxRange, Limited, Jobs, Quiet, Help, Version };

struct OptionInfo {
  Id id;
  char shortName;  // 0: none
  std::string_view longName;
  bool takesValue;
};

constexpr OptionInfo kOptions[] = {
    {Id::ConvertTo, 'c', "convert-to", true},
    {Id::Variants, 'n', "variants", true},
    {Id::MaxRange, 0, "max-range", false},
    {Id::Limited, 0, "limited", true},
    {Id::Jobs, 'j', "jobs", true},
    {Id::Quiet, 'q', "quiet", false},
    {Id::Help, 'h', "help", false},
    {Id::Version, 0, "version", false},
};

const OptionInfo* findLong(std::string_view name) {
  for (const OptionInfo& option : kOptions) {
    if (option.longName == name) return &option;
  }
  return nullptr;
}

const OptionInfo* findShort(char name) {
  for (const OptionInfo& option : kOptions) {
    if (option.shortName != 0 && option.shortName == name) return &option;
  }
  return nullptr;
}

std::string displayName(const OptionInfo& option) {
  return "--" + std::string(option.longName);
}

// A whole decimal number within [low, high], or an error text.
std::optional<std::int32_t> parseNumber(const OptionInfo& option, std::string_view text,
                                        std::int32_t low, std::int32_t high, std::string& error) {
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::int64_t value = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, code] = std::from_chars(digits.data(), end, value);
  if (digits.empty() || stop != end ||
      (code != std::errc() && code != std::errc::result_out_of_range)) {
    error = displayName(option) + ": '" + std::string(text) + "' is not a whole number";
    return std::nullopt;
  }
  if (code == std::errc::result_out_of_range || value < low || value > high) {
    error = displayName(option) + ": " + std::string(text) + " is out of range (" +
            std::to_string(low) + " to " + std::to_string(high) + ")";
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

// Applies one option; false (with `error` set) when its value is unusable.
bool apply(const OptionInfo& option, std::string_view value, Options& options, std::string& error) {
  switch (option.id) {
    case Id::ConvertTo:
      if (equalsIgnoringAsciiCase(value, "hue")) {
        options.mode = tintery_ns::Hue;
      } else if (equalsIgnoringAsciiCase(value, "saturation")) {
        options.mode = tintery_ns::Saturation;
      } else if (equalsIgnoringAsciiCase(value, "brightness")) {
        options.mode = tintery_ns::Brightness;
      } else {
        error = displayName(option) + ": '" + std::string(value) +
                "' is not one of hue, saturation, brightness";
        return false;
      }
      return true;
    case Id::Variants: {
      const auto number = parseNumber(option, value, kMinVariants, kMaxVariants, error);
      if (!number) return false;
      options.variants = *number;
      return true;
    }
    case Id::MaxRange:
      options.range = Range::Maximum;
      return true;
    case Id::Limited: {
      const auto number = parseNumber(option, value, kMinPercent, kMaxPercent, error);
      if (!number) return false;
      options.range = Range::Limited;
      options.limitedPercent = *number;
      return true;
    }
    case Id::Jobs: {
      const auto number = parseNumber(option, value, kMinJobs, kMaxJobs, error);
      if (!number) return false;
      options.jobs = *number;
      return true;
    }
    case Id::Quiet:
      options.quiet = true;
      return true;
    case Id::Help:
      options.help = true;
      return true;
    case Id::Version:
      options.version = true;
      return true;
  }
  return true;
}

}  // namespace

std::int32_t defaultLimitedPercent(std::int32_t mode) {
  return mode == tintery_ns::Hue ? 30 : 70;
}

ParseResult parseArguments(const std::vector<std::string_view>& arguments) {
  ParseResult result;
  Options& options = result.options;
  std::string& error = result.error;
  bool optionsEnded = false;

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      options.files.emplace_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }

    if (argument[1] == '-') {
      // --name or --name=value
      const std::string_view body = argument.substr(2);
      const std::size_t equals = body.find('=');
      const std::string_view name = body.substr(0, equals);
      const OptionInfo* option = findLong(name);
      if (option == nullptr) {
        error = "unknown option '--" + std::string(name) + "'";
        return result;
      }
      std::string_view value;
      if (equals != std::string_view::npos) {
        if (!option->takesValue) {
          error = "option '" + displayName(*option) + "' takes no value";
          return result;
        }
        value = body.substr(equals + 1);
      } else if (option->takesValue) {
        if (i + 1 >= arguments.size()) {
          error = "option '" + displayName(*option) + "' needs a value";
          return result;
        }
        value = arguments[++i];
      }
      if (!apply(*option, value, options, error)) return result;
      if (options.help || options.version) return result;
      continue;
    }

    // -x, clusters of flags such as -qh, and -nVALUE / -n VALUE.
    for (std::size_t k = 1; k < argument.size(); ++k) {
      const OptionInfo* option = findShort(argument[k]);
      if (option == nullptr) {
        error = "unknown option '-" + std::string(1, argument[k]) + "'";
        return result;
      }
      std::string_view value;
      if (option->takesValue) {
        if (k + 1 < argument.size()) {
          value = argument.substr(k + 1);
        } else if (i + 1 < arguments.size()) {
          value = arguments[++i];
        } else {
          error = "option '-" + std::string(1, option->shortName) + "' needs a value";
          return result;
        }
        k = argument.size();
      }
      if (!apply(*option, value, options, error)) return result;
      if (options.help || options.version) return result;
    }
  }

  if (options.files.empty()) error = "no input files";
  return result;
}

std::string_view usageText() {
  return kUsage;
}

std::string versionText() {
  return std::string("tintery-cli ") + TINTERY_VERSION;
}

void applyOptions(const Options& options, tintery_ns::HSVSetting& setting) {
  setting.clear();
  setting.mode = options.mode;
  setting.numOfSamples = options.variants;
  switch (options.range) {
    case Range::Default:
      setting.inMaximumRange = options.mode == tintery_ns::Hue;
      setting.percent = defaultLimitedPercent(options.mode);
      break;
    case Range::Maximum:
      setting.inMaximumRange = true;
      setting.percent = defaultLimitedPercent(options.mode);
      break;
    case Range::Limited:
      setting.inMaximumRange = false;
      setting.percent = options.limitedPercent;
      break;
  }
  tintery_ns::computeShifts(setting);
}

}  // namespace tintery::cli
