#pragma once

#include <cstdint>

namespace s::image::win {

// Conversions between the 4-byte pixels of a BufferedImage (blue, green,
// red, alpha) and 3-byte rows (blue, green, red) as 24-bit stores hold them.
// Both choose a byte-shuffling path at run time where the processor has one.

// Drops the alpha byte of `width` pixels.
void packBgraToBgr(const std::uint8_t* in, std::uint8_t* out, std::int32_t width);
// Adds an opaque alpha byte to `width` pixels.
void expandBgrToBgra(const std::uint8_t* in, std::uint8_t* out, std::int32_t width);

}  // namespace s::image::win
