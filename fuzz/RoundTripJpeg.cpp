// JPEG decode, encode, decode. The writer is lossy (quality 75), so only
// the picture and its size must come back.

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"
#include "fuzz/RoundTrip.h"
#include "s/image/FormatDetection.h"

namespace tintery::fuzz {

int roundTripJpeg(const std::uint8_t* data, std::size_t size) {
  RoundTrip trip;
  const RoundTripStage stage = runRoundTrip(s::image::kFormatJpg, data, size, trip);
  if (stage == RoundTripStage::NothingDecoded) return 0;
  require(stage == RoundTripStage::Done);
  requireSameShapes(*trip.first, *trip.second);
  return 0;
}

}  // namespace tintery::fuzz
