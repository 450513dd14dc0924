#pragma once

#include <cstdint>

#include "s/image/IEncodedImage.h"

namespace s::image::ico {

class IIconImage;

// An icon file: an ordered list of entries.
class IIcon : public IEncodedImage {
 public:
  virtual IIconImage* get(std::int32_t index) = 0;
  // Appends an entry; the icon takes ownership.
  virtual void add(IIconImage* entry) = 0;
};

}  // namespace s::image::ico
