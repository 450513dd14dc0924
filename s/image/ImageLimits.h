#pragma once

#include <cstdint>

namespace s::image {

// Pictures larger than this are refused by every reader before any memory is
// allocated for them: a damaged or hostile header must not make the program
// ask for gigabytes.
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;
constexpr std::int32_t kMaxDimension = 65535;

constexpr bool isAcceptableSize(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width <= kMaxDimension && height <= kMaxDimension &&
         width * height <= kMaxPixels;
}

}  // namespace s::image
