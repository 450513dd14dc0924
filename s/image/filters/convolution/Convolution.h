#pragma once

#include <array>
#include <cstdint>

#include "s/thread/Pool.h"

namespace s::image::filters::convolution {

// A 3x3 kernel run over a picture in place.
class Convolution final : public thread::PooledObject<Convolution> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_filters_convolution_Convolution";

  Convolution() { clear(); }
  void clear() override {
    weights_.fill(0);
    divisor_ = 0;
  }

  // Weights in row order (top-left, top, top-right, left, centre, right,
  // bottom-left, bottom, bottom-right); the divisor is their sum.
  void setWeights(const std::array<std::int32_t, 9>& weights);
  const std::array<std::int32_t, 9>& getWeights() const { return weights_; }
  std::int32_t getDivisor() const { return divisor_; }

  // Rows top to bottom, pixels left to right, in place: each pixel reads its
  // neighbours as they stand, so the row above and the pixel to the left are
  // already results. Coordinates outside the picture are clamped to its edge.
  // Each channel is the weighted sum divided by the divisor (truncating;
  // a divisor of 0 or 1 leaves the sum as it is), clamped to 0..255.
  void convolve(std::uint8_t* const* rows, std::int32_t width, std::int32_t height) const;

 private:
  std::array<std::int32_t, 9> weights_{};
  std::int32_t divisor_ = 0;
};

}  // namespace s::image::filters::convolution
