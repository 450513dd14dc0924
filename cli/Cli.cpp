#include "cli/Cli.h"

#include <atomic>
#include <string>

#include "cli/ConsoleReporter.h"
#include "cli/Options.h"
#include "s/image/gui/dialogs/tintery/HSVSetting.h"
#include "s/image/gui/dialogs/tintery/VariantJob.h"
#include "s/str/Utf.h"
#include "s/thread/Pool.h"

namespace tintery::cli {

namespace tintery_ns = s::image::gui::dialogs::tintery;

namespace {

// The job a signal may cancel; lock-free, so the handler may touch it.
std::atomic<tintery_ns::VariantJob*> activeJob{nullptr};
static_assert(std::atomic<tintery_ns::VariantJob*>::is_always_lock_free);

}  // namespace

void cancelActiveRun() {
  tintery_ns::VariantJob* job = activeJob.load();
  if (job != nullptr) job->cancel();
}

int runCli(const std::vector<std::string_view>& arguments, std::FILE* out, std::FILE* err,
           bool showProgress) {
  const ParseResult parsed = parseArguments(arguments);
  if (!parsed.ok()) {
    std::fprintf(err, "tintery-cli: %s\n\n%.*s", parsed.error.c_str(),
                 static_cast<int>(usageText().size()), usageText().data());
    return kExitUsage;
  }
  const Options& options = parsed.options;
  if (options.help) {
    std::fprintf(out, "%.*s", static_cast<int>(usageText().size()), usageText().data());
    return kExitConverted;
  }
  if (options.version) {
    std::fprintf(out, "%s\n", versionText().c_str());
    return kExitConverted;
  }

  s::thread::Owned<tintery_ns::HSVSetting> setting =
      s::thread::obtainOwned<tintery_ns::HSVSetting>();
  if (setting == nullptr) {
    std::fprintf(err, "tintery-cli: out of memory\n");
    return kExitSomeFailed;
  }
  applyOptions(options, *setting);

  std::vector<std::u16string> queue;
  queue.reserve(options.files.size());
  for (const std::string& file : options.files)
    queue.push_back(s::str::utf8ToUtf16(file));

  ConsoleReporter reporter(out, err, showProgress && !options.quiet, setting->shifts.getLength());
  tintery_ns::VariantJob job(*setting, reporter);
  job.setWorkerCount(options.jobs);
  activeJob.store(&job);
  job.run(queue);
  activeJob.store(nullptr);

  if (job.isCancelled()) {
    std::fprintf(err, "tintery-cli: cancelled\n");
    return kExitCancelled;
  }
  return reporter.anyFailure() ? kExitSomeFailed : kExitConverted;
}

}  // namespace tintery::cli
