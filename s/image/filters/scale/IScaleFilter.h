#pragma once

#include "s/base/IObject.h"
#include "s/thread/IPoolable.h"

namespace s::image::filters::scale {

// A resampling weight function: weight(x) for a distance x in source pixels,
// non-zero only within the support.
class IScaleFilter : public base::IObject, public thread::IPoolable {
 public:
  virtual double weight(double x) const = 0;
  virtual double getSupport() const = 0;
  virtual void setSupport(double support) = 0;
};

}  // namespace s::image::filters::scale
