// Detection and loading as the program does it for a dropped file, from
// memory: the signature test on the first 100 bytes, the detected format's
// codec, its read, the decoded set, and for animations the coalesced
// frames.

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"
#include "s/image/FormatDetection.h"
#include "s/image/win/BufferedImageSet.h"

namespace tintery::fuzz {

namespace {

// What detectFormat reads of a file; files no longer than this are never
// recognised.
constexpr std::size_t kHeaderSize = 100;

}  // namespace

int detectAndDecode(const std::uint8_t* data, std::size_t size) {
  if (size <= kHeaderSize) return 0;
  const char16_t* format =
      s::image::matchSignature(data, kHeaderSize, static_cast<std::int64_t>(size));
  if (format == nullptr) return 0;
  bool readOk = false;
  auto codec = readCodec(format, data, size, readOk);
  // Every recognised format but TIFF has a codec.
  require((codec == nullptr) == (format == s::image::kFormatTiff));
  if (codec == nullptr || !withinDecodeBudget(*codec)) return 0;
  auto set = s::thread::own(codec->decode(0));
  require(set != nullptr);
  if (readOk) require(set->getCount() == codec->getImageCount());
  if (set->isAnimated()) {
    auto frames = s::thread::own(set->coalesce());
    require(frames != nullptr && frames->getCount() == set->getCount());
  }
  return 0;
}

}  // namespace tintery::fuzz
