#pragma once

#include "s/base/IObject.h"

namespace s::image {
class IBufferedImage;
}

namespace s::image::filters {

// A pixel filter attached to a buffer and run on demand (applyFilters).
class IFilter : public base::IObject {
 public:
  // Names the kind of filter; findFilter compares against it.
  virtual const char16_t* getTypeName() const = 0;
  // When true the buffer holding the filter recycles it on removeFilter and
  // clearFilters.
  virtual bool isOwnedByImage() const = 0;
  virtual void setOwnedByImage(bool owned) = 0;
  // Writes the filtered picture of source into target (created when null)
  // and returns the result.
  virtual IBufferedImage* apply(IBufferedImage* source, IBufferedImage* target) = 0;
};

}  // namespace s::image::filters
