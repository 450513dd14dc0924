#pragma once

#include <cstdint>

namespace s::image {

// Pictures larger than this are refused by every reader before any memory is
// allocated for them: a damaged or hostile header must not make the program
// ask for gigabytes. The pixel limit holds for one picture and for all the
// pictures of one file together (the frames of an animation, the entries of
// an icon); at 12 bytes per pixel while decoding it stays below 2 GiB.
constexpr std::int64_t kMaxPixels = 178'956'970;
constexpr std::int32_t kMaxDimension = 65535;

// The reason a reader gives for a refused picture.
inline constexpr char kTooLargeProblem[] = "image too large";

constexpr bool isAcceptableSize(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width <= kMaxDimension && height <= kMaxDimension &&
         width * height <= kMaxPixels;
}

}  // namespace s::image
