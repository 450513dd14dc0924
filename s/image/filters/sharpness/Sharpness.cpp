#include "s/image/filters/sharpness/Sharpness.h"

#include <vector>

#include "s/image/filters/convolution/Convolution.h"
#include "s/image/win/BufferedImage.h"

namespace s::image::filters::sharpness {

using convolution::Convolution;

Sharpness::~Sharpness() {
  clear();
}

Sharpness* Sharpness::create(std::int32_t strength) {
  Sharpness* filter = obtain();
  if (filter != nullptr) filter->setStrength(strength);
  return filter;
}

void Sharpness::clear() {
  Convolution* old;
  {
    std::lock_guard guard(lock_);
    old = kernel_;
    kernel_ = nullptr;
    strength_ = 0;
  }
  if (old != nullptr) old->recycle();
  ownedByImage_ = true;
}

void Sharpness::setStrength(std::int32_t strength) {
  if (strength > kStrongest) strength = kStrongest;
  Convolution* kernel = nullptr;
  if (strength != 0) {
    kernel = Convolution::obtain();
    if (kernel != nullptr) {
      // The factor is taken in single precision and multiplied in double, so
      // 70 gives an edge of -125 (0.7f is slightly below 0.7).
      if (strength < 0) {
        const float x = static_cast<float>(-strength / 100.0);
        const auto corner = static_cast<std::int32_t>(static_cast<double>(x) * 100);
        const auto edge = static_cast<std::int32_t>(static_cast<double>(x) * 200);
        kernel->setWeights({corner, edge, corner, edge, 400, edge, corner, edge, corner});
      } else {
        const float x = static_cast<float>(strength / 100.0);
        const auto edge = static_cast<std::int32_t>(static_cast<double>(x) * -180.0);
        kernel->setWeights({0, edge, 0, edge, 1100, edge, 0, edge, 0});
      }
    }
  }
  Convolution* old;
  {
    std::lock_guard guard(lock_);
    old = kernel_;
    kernel_ = kernel;
    strength_ = strength;
  }
  if (old != nullptr) old->recycle();
}

IBufferedImage* Sharpness::apply(IBufferedImage* source, IBufferedImage* target) {
  IBufferedImage* result = source->copyTo(target);
  if (result == nullptr) return nullptr;
  {
    std::lock_guard guard(lock_);
    if (kernel_ != nullptr) {
      std::vector<std::uint8_t*> rows(static_cast<std::size_t>(result->getHeight()));
      for (std::int32_t y = 0; y < result->getHeight(); ++y)
        rows[y] = result->getScanline(y);
      kernel_->convolve(rows.data(), result->getWidth(), result->getHeight());
    }
  }
  result->setHasAlpha(source->hasAlpha());
  return result;
}

}  // namespace s::image::filters::sharpness
