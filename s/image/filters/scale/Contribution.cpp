#include "s/image/filters/scale/Contribution.h"

#include <algorithm>
#include <cmath>

namespace s::image::filters::scale {

void Contribution::build(const IScaleFilter& filter, std::int32_t n, std::int32_t s) {
  const double scale = static_cast<double>(n) / s;
  // Shrinking widens the filter so that every source pixel contributes.
  const double halfWidth = scale < 1.0 ? filter.getSupport() / scale : filter.getSupport();
  const double filterScale = scale < 1.0 ? scale : 1.0;
  window_ = 2 * static_cast<std::int32_t>(std::ceil(halfWidth)) + 1;
  entrySize_ = 4 * window_ + 8;
  count_ = n;
  entries_.assign(static_cast<std::size_t>(n) * (entrySize_ / 4), 0);

  // Positive weights lie strictly within the half width: never more than
  // the window holds.
  std::vector<double> found(static_cast<std::size_t>(window_));
  for (std::int32_t i = 0; i < n; ++i) {
    const double centre = i / scale;
    const auto start = static_cast<std::int32_t>(std::max(std::floor(centre - halfWidth), 0.0));
    std::int32_t left = start;
    std::int32_t right = static_cast<std::int32_t>(
        std::min(std::ceil(centre + halfWidth), static_cast<double>(s - 1)));
    std::size_t used = 0;
    double total = 0.0;
    for (std::int32_t j = left; j <= right; ++j) {
      const double w = filterScale * filter.weight(filterScale * (centre - j));
      if (w > 0.0) {
        if (used < found.size()) found[used++] = w;
        total += w;
      } else if (used > 0) {
        right = j - 1;
        break;
      } else {
        left = j + 1;
      }
    }
    std::int32_t* entry = entries_.data() + static_cast<std::size_t>(i) * (entrySize_ / 4);
    if (right < left) {
      // Nothing inside: the last pixel when the window ran past the end,
      // else the window's first pixel with no weight.
      const bool atEnd = right == s - 1;
      entry[0] = entry[1] = atEnd ? right : start;
      entry[2] = atEnd ? 65536 : 0;
      continue;
    }
    entry[0] = left;
    entry[1] = right;
    for (std::size_t k = 0; k < used; ++k) {
      const double w = total > 0.0 ? found[k] / total : found[k];
      entry[2 + k] = static_cast<std::int32_t>(w * 65536.0);
    }
  }
}

}  // namespace s::image::filters::scale
