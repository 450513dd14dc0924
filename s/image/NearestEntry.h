#pragma once

#include <cstdint>
#include <cstdlib>

namespace s::image {

// The size and depth of one picture of a multi-picture file.
struct EntryShape {
  std::int64_t width = 0;
  std::int64_t height = 0;
  std::int64_t bitsPerPixel = 0;
};

enum class Nearest { Depth, Size };

// Index of the entry nearest to (width, height, bitsPerPixel): an exact match
// wins at once; otherwise, by Depth, the smallest depth difference and then
// the smallest area difference; by Size the other way round. A full tie keeps
// the earlier entry. False (index 0) only when there is no entry.
template <class ShapeOf>
bool findNearestEntry(Nearest first, std::int32_t count, ShapeOf shapeOf, std::int64_t width,
                      std::int64_t height, std::int64_t bitsPerPixel, std::int32_t& index) {
  const std::int64_t wanted = width * height;
  std::int64_t bestDepth = -16777215;
  std::int64_t bestArea = -16777215;
  std::int32_t bestIndex = -1;
  for (std::int32_t i = 0; i < count; ++i) {
    const EntryShape entry = shapeOf(i);
    if (entry.width == width && entry.height == height && entry.bitsPerPixel == bitsPerPixel) {
      index = i;
      return true;
    }
    const std::int64_t area = entry.width * entry.height;
    const std::int64_t depthGap = std::llabs(bitsPerPixel - entry.bitsPerPixel);
    const std::int64_t bestDepthGap = std::llabs(bitsPerPixel - bestDepth);
    const std::int64_t areaGap = std::llabs(wanted - area);
    const std::int64_t bestAreaGap = std::llabs(wanted - bestArea);
    const bool wins =
        first == Nearest::Depth
            ? depthGap < bestDepthGap || (depthGap == bestDepthGap && areaGap < bestAreaGap)
            : areaGap < bestAreaGap || (areaGap == bestAreaGap && depthGap < bestDepthGap);
    if (wins) {
      bestDepth = entry.bitsPerPixel;
      bestArea = area;
      bestIndex = i;
    }
  }
  index = bestIndex < 0 ? 0 : bestIndex;
  return bestIndex >= 0;
}

// Index of the first entry matching all three exactly (0 when none).
template <class ShapeOf>
bool findExactEntry(std::int32_t count, ShapeOf shapeOf, std::int64_t width, std::int64_t height,
                    std::int64_t bitsPerPixel, std::int32_t& index) {
  for (std::int32_t i = 0; i < count; ++i) {
    const EntryShape entry = shapeOf(i);
    if (entry.width == width && entry.height == height && entry.bitsPerPixel == bitsPerPixel) {
      index = i;
      return true;
    }
  }
  index = 0;
  return false;
}

}  // namespace s::image
