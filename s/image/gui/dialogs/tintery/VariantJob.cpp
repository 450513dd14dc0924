#include "s/image/gui/dialogs/tintery/VariantJob.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "s/base/ClassTag.h"
#include "s/file/win/FileOutputStream.h"
#include "s/file/win/PathWin.h"
#include "s/image/FormatDetection.h"
#include "s/image/IEncodedImage.h"
#include "s/image/ImageLimits.h"
#include "s/image/filters/colors/Hsv.h"
#include "s/image/gui/dialogs/tintery/HSVSetting.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/io/IOutputStream.h"
#include "s/str/Utf.h"

namespace s::image::gui::dialogs::tintery {

namespace {

using file::win::PathWin;
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

// Attaches the filter of one variant to every entry of a set and takes the
// filters off again (recycling them) when the scope ends.
class VariantFilters {
 public:
  VariantFilters(BufferedImageSet& set, const HSVSetting& setting, std::int32_t j) : set_(set) {
    for (std::int32_t e = 0; e < set_.getCount(); ++e) {
      filters::colors::Hsv* filter = makeShiftFilter(setting, j);
      if (filter == nullptr) {
        complete_ = false;
        break;
      }
      set_.get(e)->addFilter(filter);
    }
  }
  ~VariantFilters() {
    for (std::int32_t e = 0; e < set_.getCount(); ++e)
      set_.get(e)->clearFilters();
  }
  VariantFilters(const VariantFilters&) = delete;
  VariantFilters& operator=(const VariantFilters&) = delete;

  // False when a filter could not be had: the variant would be unshifted.
  bool complete() const { return complete_; }

 private:
  BufferedImageSet& set_;
  bool complete_ = true;
};

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
    : setting_(setting), listener_(listener) {}

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

  std::int32_t written = 0;
  std::int32_t failed = 0;
  for (std::int32_t j = 0; j < setting_.shifts.getLength() && !isCancelled(); ++j) {
    sendUpdate(fileCount, index, j, source->getFileName());
    if (writeVariant(*codec, *set, *source, folder->getFullPath(), j)) {
      ++written;
    } else {
      ++failed;
    }
  }
  // Nothing was written (every write failed, or the run was cancelled): the
  // folder is ours and new, so it goes again rather than stay behind empty.
  if (written == 0) std::remove(folder->getNativePath().c_str());
  listener_.onFileDone(entry, folder->getFullPath(), written, failed);
}

bool VariantJob::writeVariant(IEncodedImage& codec, BufferedImageSet& set,
                              const file::IPath& source, std::u16string_view folder,
                              std::int32_t j) {
  const std::u16string target = variantFilePath(folder, source, setting_, j);
  thread::Owned<PathWin> path = thread::own(PathWin::obtain(target));
  if (path == nullptr) {
    listener_.onVariantFailed(target, VariantFailure::CannotOpen);
    return false;
  }
  thread::Owned<file::IFileOutputStream> stream = thread::own(openOutput(*path));
  if (stream == nullptr || !stream->isOpen()) {
    listener_.onVariantFailed(target, VariantFailure::CannotOpen);
    return false;
  }

  bool encodedAll = false;
  bool wroteAll = false;
  {
    // The filters run lazily while the encoder reads each entry; they come
    // off again before the next variant.
    VariantFilters filters(set, setting_, j);
    if (filters.complete()) {
      thread::Owned<IEncodedImage> encoded = thread::own(codec.encodeSetLike(&set));
      encodedAll = encoded != nullptr;
      wroteAll = encodedAll && encoded->write(*stream);
    }
  }
  // The variant gets its name only now, complete; an incomplete one is
  // dropped unnamed.
  if (encodedAll && wroteAll && stream->commit()) return true;
  stream->close();

  VariantFailure failure = VariantFailure::CannotEncode;
  if (encodedAll) {
    path->refresh();
    failure = path->exists() ? VariantFailure::AlreadyExists : VariantFailure::CannotWrite;
  }
  listener_.onVariantFailed(target, failure);
  return false;
}

}  // namespace s::image::gui::dialogs::tintery
