// BMP decode, encode, decode. The writer keeps the source's depth when it
// writes that depth (4, 8, 24, 32) and uses 24 bits otherwise, so:
// - 32 bits keeps every pixel; with transparency, fully transparent pixels
//   take the background colour and keep alpha 0;
// - 24 bits keeps the colours of an opaque picture;
// - 4 and 8 bits keep the colours of an opaque picture that has no more
//   colours than the palette holds (the quantizer is exact then).
// Transparent pictures written below 32 bits are composited over the
// background and not compared.

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"
#include "fuzz/RoundTrip.h"
#include "s/image/FormatDetection.h"

namespace tintery::fuzz {

int roundTripBmp(const std::uint8_t* data, std::size_t size) {
  RoundTrip trip;
  const RoundTripStage stage = runRoundTrip(s::image::kFormatBmp, data, size, trip);
  if (stage == RoundTripStage::NothingDecoded) return 0;
  require(stage == RoundTripStage::Done);
  requireSameShapes(*trip.first, *trip.second);

  auto& expected = *trip.first->get(0);
  auto& actual = *trip.second->get(0);
  const std::int32_t sourceDepth = trip.first->getBitsPerPixel(0);
  const std::int32_t writtenDepth =
      sourceDepth == 4 || sourceDepth == 8 || sourceDepth == 32 ? sourceDepth : 24;
  require(trip.second->getBitsPerPixel(0) == writtenDepth);
  if (writtenDepth == 32) {
    require(actual.hasAlpha() == expected.hasAlpha());
    if (expected.hasAlpha()) {
      requireColourWhereVisible(expected, actual);
    } else {
      requireExactPixels(expected, actual);
    }
    return 0;
  }
  if (expected.hasAlpha()) return 0;
  if (writtenDepth < 24 && countVisibleColours(expected, 1 << writtenDepth) > 1 << writtenDepth) {
    return 0;
  }
  require(!actual.hasAlpha());
  requireExactPixels(expected, actual);
  return 0;
}

}  // namespace tintery::fuzz
