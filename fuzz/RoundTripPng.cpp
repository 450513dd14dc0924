// PNG decode, encode, decode. The writer stores the decoded pixels as 8-bit
// red, green, blue, alpha with transparency kept, so every byte of every
// pixel comes back.

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"
#include "fuzz/RoundTrip.h"
#include "s/image/FormatDetection.h"

namespace tintery::fuzz {

int roundTripPng(const std::uint8_t* data, std::size_t size) {
  RoundTrip trip;
  const RoundTripStage stage = runRoundTrip(s::image::kFormatPng, data, size, trip);
  if (stage == RoundTripStage::NothingDecoded) return 0;
  require(stage == RoundTripStage::Done);
  requireSameShapes(*trip.first, *trip.second);
  require(trip.second->get(0)->hasAlpha() == trip.first->get(0)->hasAlpha());
  requireExactPixels(*trip.first->get(0), *trip.second->get(0));
  return 0;
}

}  // namespace tintery::fuzz
