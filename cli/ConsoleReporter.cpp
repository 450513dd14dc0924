#include "cli/ConsoleReporter.h"

#include <algorithm>

#include "s/str/Utf.h"

namespace tintery::cli {

namespace tintery_ns = s::image::gui::dialogs::tintery;

namespace {

constexpr int kBarWidth = 30;

}  // namespace

ConsoleReporter::ConsoleReporter(std::FILE* out, std::FILE* err, bool showProgress,
                                 std::int32_t variantsPerFile)
    : out_(out), err_(err), showProgress_(showProgress), variantsPerFile_(variantsPerFile) {}

void ConsoleReporter::onStatus(std::u16string_view name, std::int32_t first, std::int32_t second,
                               std::u16string_view text) {
  if (name == tintery_ns::kProcessStatusEnd) {
    clearProgress();
    return;
  }
  if (!showProgress_ || name != tintery_ns::kProcessStatusUpdate || first <= 0) return;
  // `second` counts the variants before this one over the whole run.
  const double done = static_cast<double>(second) / first;
  const int filled = std::clamp(static_cast<int>(done * kBarWidth), 0, kBarWidth);
  const std::int32_t perFile = std::max(variantsPerFile_, 1);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kBarWidth - filled), '.');
  std::fprintf(err_, "\r\033[K[%s] %3d%%  %s  %d/%d", bar.c_str(), static_cast<int>(done * 100),
               s::str::utf16ToUtf8(text).c_str(), second % perFile + 1, perFile);
  std::fflush(err_);
  progressShown_ = true;
}

void ConsoleReporter::clearProgress() {
  if (!progressShown_) return;
  std::fputs("\r\033[K", err_);
  std::fflush(err_);
  progressShown_ = false;
}

void ConsoleReporter::message(std::u16string_view path, std::string_view text) {
  clearProgress();
  const std::string file = s::str::utf16ToUtf8(path);
  std::fprintf(err_, "tintery-cli: %s: %.*s\n", file.c_str(), static_cast<int>(text.size()),
               text.data());
  std::fflush(err_);
}

void ConsoleReporter::onFileSkipped(std::u16string_view path, tintery_ns::SkipReason reason,
                                    std::string_view detail) {
  failure_ = true;
  std::string text(tintery_ns::describe(reason));
  if (!detail.empty()) {
    text.append(": ");
    text.append(detail);
  }
  message(path, text);
}

void ConsoleReporter::onFileWarning(std::u16string_view path, std::string_view problem) {
  std::string text("warning: damaged: ");
  text.append(problem);
  text.append("; converted what could be read");
  message(path, text);
}

void ConsoleReporter::onVariantFailed(std::u16string_view variantPath,
                                      tintery_ns::VariantFailure failure) {
  failure_ = true;
  message(variantPath, tintery_ns::describe(failure));
}

void ConsoleReporter::onFileDone(std::u16string_view path, std::u16string_view folder,
                                 std::int32_t written, std::int32_t failed) {
  if (failed > 0) {
    message(path, std::to_string(failed) + " of " + std::to_string(written + failed) +
                      " variants could not be written");
  }
  if (written == 0) return;
  clearProgress();
  const std::string line = s::str::utf16ToUtf8(folder);
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

}  // namespace tintery::cli
