// GIF decode, encode, decode. Decoding gives every frame as the whole
// screen; the writer writes one frame per picture (only what changed after
// the first), with the delays and loop count of the set, so the second
// decode has as many pictures of the screen's size with the same delays.
// The writer's palette has one entry less than 2^depth (the other is the
// transparent index), its depth one bit more than the deepest colour table
// read (at most 8); when no picture has more colours than that, the
// quantizer is exact and every pixel comes back. Transparent pixels of a
// decoded GIF are all zero.

#include <algorithm>

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"
#include "fuzz/RoundTrip.h"
#include "s/image/FormatDetection.h"
#include "s/image/gif/win/Gif.h"

namespace tintery::fuzz {

int roundTripGif(const std::uint8_t* data, std::size_t size) {
  RoundTrip trip;
  const RoundTripStage stage = runRoundTrip(s::image::kFormatGif, data, size, trip);
  if (stage == RoundTripStage::NothingDecoded) return 0;
  require(stage == RoundTripStage::Done);
  const auto& first = *trip.first;
  const auto& second = *trip.second;
  requireSameShapes(first, second);
  if (first.getCount() > 1) {
    require(second.getLoopCount() == first.getLoopCount());
    for (std::int32_t i = 0; i < first.getCount(); ++i)
      require(second.getDelay(i) == first.getDelay(i));
  }

  const auto& source = static_cast<const s::image::gif::win::Gif&>(*trip.source);
  const std::int32_t read = source.getBitsPerPixel();
  const std::int32_t depth = read > 0 ? std::min(read + 1, 8) : 8;
  const std::int32_t colours = (1 << depth) - 1;
  for (std::int32_t i = 0; i < first.getCount(); ++i) {
    if (countVisibleColours(*first.get(i), colours) > colours) return 0;
  }
  for (std::int32_t i = 0; i < first.getCount(); ++i)
    requireExactPixels(*first.get(i), *second.get(i));
  return 0;
}

}  // namespace tintery::fuzz
