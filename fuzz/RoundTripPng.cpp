// PNG decode, encode, decode. The writer stores the decoded pixels as 8-bit
// red, green, blue, alpha with transparency kept, so every byte of every
// pixel comes back. The input is used with every chunk's CRC made right
// (PngChunks.h), so that mutations reach the decoder.

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"
#include "fuzz/PngChunks.h"
#include "fuzz/RoundTrip.h"
#include "s/image/FormatDetection.h"

namespace tintery::fuzz {

int roundTripPng(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> fixed = withChunkCrcsFixed(data, size);
  if (!fixed.empty()) {
    data = fixed.data();
    size = fixed.size();
  }
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
