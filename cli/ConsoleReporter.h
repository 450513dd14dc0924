#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "s/image/gui/dialogs/tintery/VariantJob.h"

namespace tintery::cli {

// Tells the person at the terminal what a run does: each folder that got
// variants on `out`, one line per skipped file or failed variant on `err`,
// and, when asked, a progress bar on `err` that the other lines interrupt
// cleanly.
class ConsoleReporter final : public s::image::gui::dialogs::tintery::IVariantJobListener {
 public:
  ConsoleReporter(std::FILE* out, std::FILE* err, bool showProgress, std::int32_t variantsPerFile);

  void onStatus(std::u16string_view name, std::int32_t first, std::int32_t second,
                std::u16string_view text) override;
  void onFileSkipped(std::u16string_view path, s::image::gui::dialogs::tintery::SkipReason reason,
                     std::string_view detail) override;
  void onFileWarning(std::u16string_view path, std::string_view problem) override;
  void onVariantFailed(std::u16string_view variantPath,
                       s::image::gui::dialogs::tintery::VariantFailure failure) override;
  void onFileDone(std::u16string_view path, std::u16string_view folder, std::int32_t written,
                  std::int32_t failed) override;

  // True when a file was skipped or a variant could not be written.
  bool anyFailure() const { return failure_; }

 private:
  // Clears the progress line so that a message starts at the left edge.
  void clearProgress();
  void message(std::u16string_view path, std::string_view text);

  std::FILE* out_;
  std::FILE* err_;
  bool showProgress_;
  std::int32_t variantsPerFile_;
  bool progressShown_ = false;
  bool failure_ = false;
};

}  // namespace tintery::cli
