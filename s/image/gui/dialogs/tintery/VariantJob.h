#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "s/thread/Pool.h"

namespace s::file {
class IFileOutputStream;
class IPath;
}  // namespace s::file
namespace s::image {
class IEncodedImage;
namespace win {
class BufferedImageSet;
}
}  // namespace s::image

namespace s::image::gui::dialogs::tintery {

class HSVSetting;
class VariantWorkers;

// Names of the status events a run sends, in this order: one start, one
// update before each variant, and always one end (also after a cancel).
inline constexpr char16_t kProcessStatusStart[] = u"ProcessStatusStart";
inline constexpr char16_t kProcessStatusUpdate[] = u"ProcessStatusUpdate";
inline constexpr char16_t kProcessStatusEnd[] = u"ProcessStatusEnd";

// Why a queued file produced no variants.
enum class SkipReason : std::int32_t {
  NotFound,              // nothing exists at the path
  Folder,                // the path names a folder
  UnsupportedExtension,  // not .bmp .gif .jpg .jpeg .png .ico
  NotRecognised,         // the content matches no image format
  Tiff,                  // recognised as TIFF, which has no codec
  NoCodec,               // recognised, but this build cannot read the format
  Damaged,               // recognised, but nothing could be decoded
  TooLarge,              // the picture is above the size any file may have
  NoVariants,            // the options give no shifts
  FolderNotCreated,      // the variant folder could not be created
};

// Why one variant file was not written.
enum class VariantFailure : std::int32_t {
  CannotOpen,     // the file could not be created
  CannotEncode,   // the codec made no encoded picture
  CannotWrite,    // writing or closing the file failed
  AlreadyExists,  // another file took the name first; it was left alone
};

// A few English words for the person who gave the file.
std::string_view describe(SkipReason reason);
std::string_view describe(VariantFailure failure);

// What a run tells its owner. Calls arrive on the thread that runs the job.
// Paths of queued files are passed as they were queued; folders and variant
// files as full paths.
class IVariantJobListener {
 public:
  virtual ~IVariantJobListener() = default;
  // The progress events: ("ProcessStatusStart", 0, 0, ""), before each
  // variant ("ProcessStatusUpdate", n * m, i * m + j, file name with
  // extension) for file i of n and variant j of m, and ("ProcessStatusEnd",
  // 0, 0, "") last.
  virtual void onStatus(std::u16string_view name, std::int32_t first, std::int32_t second,
                        std::u16string_view text) = 0;
  // The file produced no variants; `detail` adds the codec's own words for
  // a damaged file.
  virtual void onFileSkipped(std::u16string_view /*path*/, SkipReason /*reason*/,
                             std::string_view /*detail*/) {}
  // The file was read only in part; its variants show what could be read.
  virtual void onFileWarning(std::u16string_view /*path*/, std::string_view /*problem*/) {}
  virtual void onFolderCreated(std::u16string_view /*folder*/) {}
  // The variant file was not written (nothing of it is left on disk); the
  // run goes on with the next variant.
  virtual void onVariantFailed(std::u16string_view /*variantPath*/, VariantFailure /*failure*/) {}
  // The file's variants are done: `written` files are in `folder`, `failed`
  // could not be written. A folder left empty has been removed again.
  virtual void onFileDone(std::u16string_view /*path*/, std::u16string_view /*folder*/,
                          std::int32_t /*written*/, std::int32_t /*failed*/) {}
};

// True when the name ends in one of the extensions the job accepts, ignoring
// case.
bool hasSupportedExtension(const file::IPath& path);

// The per-file loop of a colour-variant run, free of any window: for each
// queued image file it decodes the picture once, creates the variant folder
// beside it and writes one variant per shift of the setting, each through
// the source's own codec so that the format and its parameters are kept.
//
// The file is loaded and decoded before its folder is made, so a file that
// is not an image leaves nothing behind. Each variant is written to an
// unnamed (or hidden temporary) file in the folder and named only when
// complete, never over an existing file: a failed, cancelled or killed run
// leaves no partial variant. A variant that cannot be written is reported
// and the run goes on.
class VariantJob {
 public:
  // Both must outlive the job; the setting must not change during run().
  VariantJob(const HSVSetting& setting, IVariantJobListener& listener);
  virtual ~VariantJob();
  VariantJob(const VariantJob&) = delete;
  VariantJob& operator=(const VariantJob&) = delete;

  // Converts every queued file. The cancel flag is read before each file and
  // before each variant; a variant whose writing has begun is finished. The
  // end event is sent in every case.
  void run(const std::vector<std::u16string>& queue);

  // From any thread (or a signal handler): stop at the next check.
  void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
  bool isCancelled() const { return cancelled_.load(std::memory_order_relaxed); }
  // Clears the flag for another run.
  void resetCancel() { cancelled_.store(false, std::memory_order_relaxed); }

  // How many variants are written at the same time (1 by default; below 1
  // means one per processor core). The files written are the same for any
  // count, and the listener's calls keep their order and still all arrive
  // on the thread that runs the job. Not during run().
  void setWorkerCount(std::int32_t count);
  std::int32_t getWorkerCount() const;

 protected:
  // The stream a variant is written to, opened so that the file appears at
  // `variant` only when the stream is committed (see IFileOutputStream::
  // openNew); a new pooled object the caller recycles; null or closed when
  // the file cannot be created. A test may put a stream of its own here.
  virtual file::IFileOutputStream* openOutput(file::IPath& variant);

 private:
  // Queue entry `index` of `fileCount`: checks, decodes, writes its variants.
  void processFile(std::u16string_view entry, std::int32_t index, std::int32_t fileCount);
  // What became of one variant file.
  struct VariantOutcome {
    std::u16string target;
    bool written = false;
    VariantFailure failure = VariantFailure::CannotOpen;
  };
  // Writes variant j of the decoded set through the shifted pictures of the
  // worker that runs it; touches neither the listener nor the shared set.
  // `transparent` says per entry whether the source has pixels that are not
  // opaque.
  VariantOutcome writeVariant(IEncodedImage& codec, const win::BufferedImageSet& set,
                              const std::vector<char>& transparent, const file::IPath& source,
                              std::u16string_view folder, std::int32_t j,
                              thread::Owned<win::BufferedImageSet>& shifted);
  void sendUpdate(std::int32_t fileCount, std::int32_t index, std::int32_t j,
                  std::u16string_view name);

  const HSVSetting& setting_;
  IVariantJobListener& listener_;
  std::atomic<bool> cancelled_{false};
  std::unique_ptr<VariantWorkers> workers_;
};

}  // namespace s::image::gui::dialogs::tintery
