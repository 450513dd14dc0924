#pragma once

#include "s/base/IObject.h"
#include "s/thread/IPoolable.h"

namespace s::image {

class IBufferedImage;
class IBufferedImageSet;
class IEncodedImage;

// The parameter record that turns pixels into one encoded picture of one
// file format. Taken from its pool at its defaults, filled in, used once,
// handed back.
class IEncodeSetting : public base::IObject, public thread::IPoolable {
 public:
  // A new encoded picture the caller owns, or null. Neither argument is
  // taken over; a buffer with pending filters is encoded filtered.
  virtual IEncodedImage* createFromSet(IBufferedImageSet* set) = 0;
  virtual IEncodedImage* createFromImage(IBufferedImage* image) = 0;
};

}  // namespace s::image
