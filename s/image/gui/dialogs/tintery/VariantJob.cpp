#include "s/image/gui/dialogs/tintery/VariantJob.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <mutex>

#include "s/base/ClassTag.h"
#include "s/file/win/FileOutputStream.h"
#include "s/file/win/PathWin.h"
#include "s/image/FormatDetection.h"
#include "s/image/IEncodedImage.h"
#include "s/image/ImageLimits.h"
#include "s/image/filters/colors/Hsv.h"
#include "s/image/gui/dialogs/tintery/HSVSetting.h"
#include "s/image/gui/dialogs/tintery/VariantWorkers.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/io/IOutputStream.h"
#include "s/str/Utf.h"

namespace s::image::gui::dialogs::tintery {

namespace {

using file::win::PathWin;
using image::win::BufferedImage;
using image::win::BufferedImageSet;

constexpr std::u16string_view kSupportedExtensions[] = {u".bmp",  u".gif", u".jpg",
                                                        u".jpeg", u".png", u".ico"};

bool equalsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (base::foldAsciiUpper(a[i]) != base::foldAsciiUpper(b[i])) return false;
  }
  return true;
}

std::int32_t saturate(std::int64_t value) {
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(value, std::numeric_limits<std::int32_t>::max()));
}

// Writes variant j's pictures of `set` into `shifted`, a set of the same
// shape that a worker keeps for the whole file: the first call makes its
// pictures, later calls reuse their memory. Each picture is the colour
// filter's output with its transparency flag saying whether any of its
// pixels is not opaque, as a picture carrying the filter would hand it to an
// encoder; the filter never changes alpha, so `transparent` (per entry,
// measured once on the source) says it. False when a filter or a picture
// could not be had.
bool shiftInto(const BufferedImageSet& set, const std::vector<char>& transparent,
               const HSVSetting& setting, std::int32_t j,
               thread::Owned<BufferedImageSet>& shifted) {
  if (shifted == nullptr) {
    shifted = thread::own(BufferedImageSet::obtain());
    if (shifted == nullptr) return false;
    shifted->setAnimation(set.isAnimated(), set.getLoopCount());
  }
  const bool fresh = shifted->getCount() == 0;
  for (std::int32_t e = 0; e < set.getCount(); ++e) {
    thread::Owned<filters::colors::Hsv> filter = thread::own(makeShiftFilter(setting, j));
    if (filter == nullptr) return false;
    BufferedImage* target = fresh ? nullptr : shifted->get(e);
    auto* result = static_cast<BufferedImage*>(filter->apply(set.get(e), target));
    if (result == nullptr) return false;
    result->setHasAlpha(transparent[static_cast<std::size_t>(e)] != 0);
    if (fresh) shifted->add(result, set.getBitsPerPixel(e), set.getDelay(e), set.getDisposal(e));
  }
  return true;
}

}  // namespace

std::string_view describe(SkipReason reason) {
  switch (reason) {
    case SkipReason::NotFound:
      return "not found";
    case SkipReason::Folder:
      return "is a folder";
    case SkipReason::UnsupportedExtension:
      return "unsupported extension (use .bmp .gif .jpg .jpeg .png .ico)";
    case SkipReason::NotRecognised:
      return "not a recognised image";
    case SkipReason::Tiff:
      return "TIFF is not supported";
    case SkipReason::NoCodec:
      return "no reader for this format";
    case SkipReason::Damaged:
      return "damaged";
    case SkipReason::TooLarge:
      return kTooLargeProblem;
    case SkipReason::NoVariants:
      return "no variants to write";
    case SkipReason::FolderNotCreated:
      return "cannot create the variant folder";
  }
  return "skipped";
}

std::string_view describe(VariantFailure failure) {
  switch (failure) {
    case VariantFailure::CannotOpen:
      return "cannot create the file";
    case VariantFailure::CannotEncode:
      return "cannot encode the picture";
    case VariantFailure::CannotWrite:
      return "cannot write the file";
    case VariantFailure::AlreadyExists:
      return "a file of that name already exists";
  }
  return "not written";
}

bool hasSupportedExtension(const file::IPath& path) {
  const std::u16string_view extension = path.getExtension();
  return std::any_of(std::begin(kSupportedExtensions), std::end(kSupportedExtensions),
                     [extension](std::u16string_view supported) {
                       return equalsIgnoringAsciiCase(extension, supported);
                     });
}

VariantJob::VariantJob(const HSVSetting& setting, IVariantJobListener& listener)
    : setting_(setting), listener_(listener), workers_(std::make_unique<VariantWorkers>(1)) {}

VariantJob::~VariantJob() = default;

void VariantJob::setWorkerCount(std::int32_t count) {
  if (count < 1) count = VariantWorkers::coreCount();
  if (count != workers_->getCount()) workers_ = std::make_unique<VariantWorkers>(count);
}

std::int32_t VariantJob::getWorkerCount() const {
  return workers_->getCount();
}

void VariantJob::run(const std::vector<std::u16string>& queue) {
  listener_.onStatus(kProcessStatusStart, 0, 0, {});
  const std::int32_t fileCount = static_cast<std::int32_t>(
      std::min<std::size_t>(queue.size(), std::numeric_limits<std::int32_t>::max()));
  for (std::int32_t i = 0; i < fileCount && !isCancelled(); ++i)
    processFile(queue[i], i, fileCount);
  listener_.onStatus(kProcessStatusEnd, 0, 0, {});
}

file::IFileOutputStream* VariantJob::openOutput(file::IPath& variant) {
  file::win::FileOutputStream* stream = file::win::FileOutputStream::obtain();
  if (stream != nullptr) stream->openNew(variant);
  return stream;
}

void VariantJob::sendUpdate(std::int32_t fileCount, std::int32_t index, std::int32_t j,
                            std::u16string_view name) {
  const std::int64_t m = setting_.shifts.getLength();
  listener_.onStatus(kProcessStatusUpdate, saturate(fileCount * m), saturate(index * m + j), name);
}

void VariantJob::processFile(std::u16string_view entry, std::int32_t index,
                             std::int32_t fileCount) {
  auto skip = [&](SkipReason reason, std::string_view detail = {}) {
    listener_.onFileSkipped(entry, reason, detail);
  };

  thread::Owned<PathWin> source = thread::own(PathWin::obtain(entry));
  if (source == nullptr || !source->exists()) return skip(SkipReason::NotFound);
  if (source->isFolder()) return skip(SkipReason::Folder);
  if (!hasSupportedExtension(*source)) return skip(SkipReason::UnsupportedExtension);
  if (setting_.shifts.isEmpty()) return skip(SkipReason::NoVariants);

  // The content decides the format, whatever the extension says. The file
  // is read and decoded before its folder is made, so that a file that is
  // not a usable picture leaves no empty folder behind.
  const char16_t* format = nullptr;
  if (!detectFormat(source->getFullPath(), format) || format == nullptr) {
    return skip(SkipReason::NotRecognised);
  }
  if (std::u16string_view(format) == kFormatTiff) return skip(SkipReason::Tiff);
  thread::Owned<IEncodedImage> codec = thread::own(createCodec(format));
  if (codec == nullptr) return skip(SkipReason::NoCodec, str::utf16ToUtf8(format));
  // A failed load still leaves whatever part of the file could be read.
  codec->loadFromFile(*source);
  thread::Owned<BufferedImageSet> set = thread::own(codec->decode(0));
  if (set != nullptr && set->isAnimated()) {
    // Full frames, so that each frame is shifted as it is shown.
    BufferedImageSet* coalesced = set->coalesce();
    if (coalesced != nullptr) set.reset(coalesced);
  }
  const std::string_view problem = codec->getProblem();
  if (set == nullptr || set->getCount() == 0) {
    if (problem == kTooLargeProblem) return skip(SkipReason::TooLarge);
    return skip(SkipReason::Damaged, problem.empty() ? "nothing could be decoded" : problem);
  }
  if (!problem.empty()) listener_.onFileWarning(entry, problem);

  thread::Owned<PathWin> folder = thread::own(variantFolderPath(*source, setting_.mode));
  if (folder == nullptr) return skip(SkipReason::FolderNotCreated);
  listener_.onFolderCreated(folder->getFullPath());

  // Each worker shifts into pictures of its own and writes through its own
  // stream; the source set and codec are only read. Updates go out in
  // order before each variant is handed over, failures in order as soon as
  // every earlier variant is done.
  const std::int32_t count = setting_.shifts.getLength();
  std::vector<char> transparent(static_cast<std::size_t>(set->getCount()));
  for (std::int32_t e = 0; e < set->getCount(); ++e)
    transparent[static_cast<std::size_t>(e)] = set->get(e)->anyTransparentPixel() ? 1 : 0;
  std::vector<thread::Owned<BufferedImageSet>> shifted(
      static_cast<std::size_t>(workers_->getCount()));
  std::vector<VariantOutcome> outcomes(static_cast<std::size_t>(count));
  std::vector<char> finished(static_cast<std::size_t>(count), 0);
  std::mutex finishedLock;
  std::int32_t reported = 0;
  std::int32_t written = 0;
  std::int32_t failed = 0;
  const auto reportFinished = [&] {
    while (reported < count) {
      {
        std::lock_guard<std::mutex> lock(finishedLock);
        if (!finished[static_cast<std::size_t>(reported)]) return;
      }
      const VariantOutcome& outcome = outcomes[static_cast<std::size_t>(reported)];
      if (outcome.written) {
        ++written;
      } else {
        ++failed;
        listener_.onVariantFailed(outcome.target, outcome.failure);
      }
      ++reported;
    }
  };
  for (std::int32_t j = 0; j < count && !isCancelled(); ++j) {
    sendUpdate(fileCount, index, j, source->getFileName());
    workers_->run([&, j](std::int32_t worker) {
      VariantOutcome outcome =
          writeVariant(*codec, *set, transparent, *source, folder->getFullPath(), j,
                       shifted[static_cast<std::size_t>(worker)]);
      std::lock_guard<std::mutex> lock(finishedLock);
      outcomes[static_cast<std::size_t>(j)] = std::move(outcome);
      finished[static_cast<std::size_t>(j)] = 1;
    });
    reportFinished();
  }
  workers_->waitAll();
  reportFinished();
  // Nothing was written (every write failed, or the run was cancelled): the
  // folder is ours and new, so it goes again rather than stay behind empty.
  if (written == 0) std::remove(folder->getNativePath().c_str());
  listener_.onFileDone(entry, folder->getFullPath(), written, failed);
}

VariantJob::VariantOutcome VariantJob::writeVariant(IEncodedImage& codec,
                                                    const BufferedImageSet& set,
                                                    const std::vector<char>& transparent,
                                                    const file::IPath& source,
                                                    std::u16string_view folder, std::int32_t j,
                                                    thread::Owned<BufferedImageSet>& shifted) {
  VariantOutcome outcome;
  outcome.target = variantFilePath(folder, source, setting_, j);
  outcome.failure = VariantFailure::CannotOpen;
  thread::Owned<PathWin> path = thread::own(PathWin::obtain(outcome.target));
  if (path == nullptr) return outcome;
  thread::Owned<file::IFileOutputStream> stream = thread::own(openOutput(*path));
  if (stream == nullptr || !stream->isOpen()) return outcome;

  bool encodedAll = false;
  bool wroteAll = false;
  if (shiftInto(set, transparent, setting_, j, shifted)) {
    thread::Owned<IEncodedImage> encoded = thread::own(codec.encodeSetLike(shifted.get()));
    encodedAll = encoded != nullptr;
    wroteAll = encodedAll && encoded->write(*stream);
  }
  // The variant gets its name only now, complete; an incomplete one is
  // dropped unnamed.
  if (encodedAll && wroteAll && stream->commit()) {
    outcome.written = true;
    return outcome;
  }
  stream->close();
  outcome.failure = VariantFailure::CannotEncode;
  if (encodedAll) {
    path->refresh();
    outcome.failure = path->exists() ? VariantFailure::AlreadyExists : VariantFailure::CannotWrite;
  }
  return outcome;
}

}  // namespace s::image::gui::dialogs::tintery
