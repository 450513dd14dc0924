#pragma once

// The decode-encode-decode round trip shared by the writer targets.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "s/image/IEncodedImage.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/thread/Pool.h"

namespace tintery::fuzz {

// Files whose decoded pictures hold more pixels than this in all are not
// written back, in the regression suite too: encoding, writing and decoding
// again hold several copies of every picture, and the reader targets
// already cover the largest pictures.
constexpr std::int64_t kRoundTripPixelBudget = std::int64_t{1} << 18;

struct RoundTrip {
  s::thread::Owned<s::image::IEncodedImage> source;
  s::thread::Owned<s::image::win::BufferedImageSet> first;
  s::thread::Owned<s::image::IEncodedImage> encoded;
  std::vector<std::uint8_t> written;
  s::thread::Owned<s::image::IEncodedImage> reread;
  s::thread::Owned<s::image::win::BufferedImageSet> second;
};

enum class RoundTripStage {
  // The bytes gave no picture of the format (or too many pixels): nothing
  // to check.
  NothingDecoded,
  // The writer made no new picture from the decoded set.
  NotEncoded,
  // Written, read and decoded again: `second` holds the result.
  Done,
};

// Reads the bytes with the codec of `format` and decodes them into `first`;
// encodes `first` with the source's encodeSetLike and writes it. The writing
// must succeed, the file must be detected as `format` (when it is long enough
// to be detected at all), and the codec must read it back without a problem
// and decode it into `second`. With `squarePictures` every picture counts
// against the budget as the square of its longer side (the ICO writer
// makes squares).
RoundTripStage runRoundTrip(const char16_t* format, const std::uint8_t* data, std::size_t size,
                            RoundTrip& trip, bool squarePictures = false);

// The second decode holds as many pictures as the first, each of the same
// size as the one at its position.
void requireSameShapes(const s::image::win::BufferedImageSet& first,
                       const s::image::win::BufferedImageSet& second);

// Pixel comparisons of two pictures of the same size (blue, green, red,
// alpha). `exact`: all four bytes. `colourWhereVisible`: equal alpha, and the
// colour bytes equal where alpha is not 0.
void requireExactPixels(s::image::win::BufferedImage& expected,
                        s::image::win::BufferedImage& actual);
void requireColourWhereVisible(s::image::win::BufferedImage& expected,
                               s::image::win::BufferedImage& actual);

// The number of different colours among the pixels whose alpha is not 0,
// counted up to limit + 1.
std::int32_t countVisibleColours(s::image::win::BufferedImage& picture, std::int32_t limit);

}  // namespace tintery::fuzz
