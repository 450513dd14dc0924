#pragma once

#include <cstdint>

#include "s/base/IObject.h"

namespace s::image {

// Anything with a picture size.
class IImage : public base::IObject {
 public:
  virtual std::int32_t getWidth() const = 0;
  virtual std::int32_t getHeight() const = 0;
};

}  // namespace s::image
