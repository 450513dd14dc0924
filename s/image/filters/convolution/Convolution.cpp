#include "s/image/filters/convolution/Convolution.h"

#include <algorithm>

namespace s::image::filters::convolution {

void Convolution::setWeights(const std::array<std::int32_t, 9>& weights) {
  weights_ = weights;
  divisor_ = 0;
  for (std::int32_t w : weights_)
    divisor_ += w;
}

void Convolution::convolve(std::uint8_t* const* rows, std::int32_t width,
                           std::int32_t height) const {
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* neighbourRows[3] = {rows[std::max(y - 1, 0)], rows[y],
                                            rows[std::min(y + 1, height - 1)]};
    for (std::int32_t x = 0; x < width; ++x) {
      const std::int32_t columns[3] = {std::max(x - 1, 0), x, std::min(x + 1, width - 1)};
      std::int32_t sums[4] = {0, 0, 0, 0};
      for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
          const std::int32_t w = weights_[row * 3 + column];
          const std::uint8_t* p = neighbourRows[row] + columns[column] * 4;
          for (int c = 0; c < 4; ++c)
            sums[c] += w * p[c];
        }
      }
      std::uint8_t* out = rows[y] + x * 4;
      for (int c = 0; c < 4; ++c) {
        std::int32_t value = sums[c];
        if (divisor_ != 0 && divisor_ != 1) value /= divisor_;
        out[c] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
      }
    }
  }
}

}  // namespace s::image::filters::convolution
