#include "s/image/filters/scale/ScaleImage.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "s/image/filters/scale/BilinearFilter.h"
#include "s/image/filters/scale/Contribution.h"
#include "s/image/win/BufferedImage.h"

namespace s::image::filters::scale {

namespace {

// Scaling shares one intermediate buffer and one contribution table across
// the process, each under its own lock: the buffer for a whole scaling, the
// table for each pass.
struct Shared {
  std::mutex bufferLock;
  std::vector<std::uint32_t> intermediate;
  std::mutex tableLock;
  Contribution table;
};

Shared& shared() {
  static Shared state;
  return state;
}

// One pixel from the source pixels first..last (stride apart, in 32-bit
// pixels) of an entry: a single pixel is copied, otherwise each channel is
// the weighted sum rounded to the nearest integer, keeping its low 8 bits.
inline std::uint32_t resample(const Contribution& table, std::int32_t i, const std::uint32_t* line,
                              std::size_t stride) {
  const std::int32_t first = table.first(i);
  const std::int32_t last = table.last(i);
  if (first == last) return line[first * stride];
  const std::int32_t* weights = table.weights(i);
  std::int32_t sum[4] = {0, 0, 0, 0};
  for (std::int32_t k = 0; k <= last - first; ++k) {
    const std::uint32_t pixel = line[(first + k) * stride];
    const std::int32_t w = weights[k];
    sum[0] += w * static_cast<std::int32_t>(pixel & 0xFF);
    sum[1] += w * static_cast<std::int32_t>((pixel >> 8) & 0xFF);
    sum[2] += w * static_cast<std::int32_t>((pixel >> 16) & 0xFF);
    sum[3] += w * static_cast<std::int32_t>(pixel >> 24);
  }
  std::uint32_t result = 0;
  for (int c = 0; c < 4; ++c) {
    result |= ((static_cast<std::uint32_t>(sum[c] + 0x8000) >> 16) & 0xFF) << (8 * c);
  }
  return result;
}

}  // namespace

const BilinearFilter& BilinearFilter::shared() {
  static const BilinearFilter filter;
  return filter;
}

bool scaleImage(IBufferedImage& source, IBufferedImage& destination, const IScaleFilter& filter,
                std::int32_t sourceWidth, std::int32_t sourceHeight, std::int32_t destinationWidth,
                std::int32_t destinationHeight) {
  if (sourceWidth <= 0 || sourceHeight <= 0 || destinationWidth <= 0 || destinationHeight <= 0) {
    return false;
  }
  destination.setSize(0, 0);
  if (!image::win::ensureCapacity(&destination, destinationWidth, destinationHeight)) return false;
  destination.setSize(destinationWidth, destinationHeight);

  Shared& state = shared();
  std::lock_guard bufferGuard(state.bufferLock);
  const std::size_t rowPixels = static_cast<std::size_t>(destinationWidth);
  state.intermediate.resize(rowPixels * sourceHeight);

  // Rows are counted from the bottom of the picture, as they lie in memory:
  // row index k is picture row height - 1 - k.
  const auto sourceRow = [&](std::int32_t k) {
    return reinterpret_cast<const std::uint32_t*>(source.getRow(sourceHeight - 1 - k));
  };
  const auto destinationRow = [&](std::int32_t k) {
    return reinterpret_cast<std::uint32_t*>(destination.getRow(destinationHeight - 1 - k));
  };

  // Horizontal pass into the intermediate rows.
  if (destinationWidth == sourceWidth) {
    for (std::int32_t k = 0; k < sourceHeight; ++k) {
      std::memcpy(&state.intermediate[k * rowPixels], sourceRow(k), rowPixels * 4);
    }
  } else {
    std::lock_guard tableGuard(state.tableLock);
    state.table.build(filter, destinationWidth, sourceWidth);
    for (std::int32_t k = 0; k < sourceHeight; ++k) {
      const std::uint32_t* in = sourceRow(k);
      std::uint32_t* out = &state.intermediate[k * rowPixels];
      for (std::int32_t i = 0; i < destinationWidth; ++i)
        out[i] = resample(state.table, i, in, 1);
    }
  }

  // Vertical pass into the destination, anchored at the bottom row.
  if (destinationHeight == sourceHeight) {
    for (std::int32_t k = 0; k < destinationHeight; ++k) {
      std::memcpy(destinationRow(k), &state.intermediate[k * rowPixels], rowPixels * 4);
    }
  } else {
    std::lock_guard tableGuard(state.tableLock);
    state.table.build(filter, destinationHeight, sourceHeight);
    for (std::int32_t k = 0; k < destinationHeight; ++k) {
      std::uint32_t* out = destinationRow(k);
      for (std::int32_t x = 0; x < destinationWidth; ++x) {
        out[x] = resample(state.table, k, &state.intermediate[x], rowPixels);
      }
    }
  }
  destination.setHasAlpha(source.hasAlpha());
  return true;
}

}  // namespace s::image::filters::scale
