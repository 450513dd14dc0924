#pragma once

#include <cstdint>

#include "s/image/filters/scale/IScaleFilter.h"

namespace s::image {
class IBufferedImage;
}

namespace s::image::filters::scale {

// Resamples source (sourceWidth x sourceHeight) into destination
// (destinationWidth x destinationHeight) in two separable passes with 16.16
// fixed-point weights. The destination is resized within its capacity
// (grown by steps of 1.2 when needed) and takes the source's hasAlpha.
// False when memory cannot be had or a size is not positive.
bool scaleImage(IBufferedImage& source, IBufferedImage& destination, const IScaleFilter& filter,
                std::int32_t sourceWidth, std::int32_t sourceHeight, std::int32_t destinationWidth,
                std::int32_t destinationHeight);

}  // namespace s::image::filters::scale
