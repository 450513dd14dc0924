#pragma once

#include <cmath>

#include "s/image/filters/scale/IScaleFilter.h"
#include "s/thread/Pool.h"

namespace s::image::filters::scale {

// The triangle filter: support - |x| inside the support, 0 outside (and at
// the edge).
class BilinearFilter final : public thread::PooledObject<BilinearFilter, IScaleFilter> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_filters_scale_BilinearFilter";

  BilinearFilter() { clear(); }
  void clear() override { support_ = 1.0; }

  // The one instance all scaling uses, kept for the process's life.
  static const BilinearFilter& shared();

  double weight(double x) const override {
    const double distance = std::fabs(x);
    return distance < support_ ? support_ - distance : 0.0;
  }
  double getSupport() const override { return support_; }
  void setSupport(double support) override { support_ = support; }

 private:
  double support_ = 1.0;
};

}  // namespace s::image::filters::scale
