#pragma once

#include <cstdint>

#include "s/image/IEncodedImage.h"

namespace s::image::jpg {

class MarkerSegments;

// A baseline JPEG/JFIF picture: three 8-bit colour channels, no alpha.
class IJpeg : public IEncodedImage {
 public:
  // New zero-filled pixels of width x height; false (and an empty picture)
  // when the size is not acceptable or the memory cannot be had.
  virtual bool allocate(std::int32_t width, std::int32_t height) = 0;
  // This picture becomes a copy of image, transparent parts flattened onto
  // the background colour, to be written at quality (0 to 100).
  virtual bool setImage(IBufferedImage* image, std::int32_t quality, std::int32_t bgRed,
                        std::int32_t bgGreen, std::int32_t bgBlue) = 0;
  virtual std::int32_t getQuality() const = 0;
  // The EXIF and ICC profile segments read from the file, written again by
  // write(). Files built from this one (encodeLike) carry a copy.
  virtual const MarkerSegments& getSegments() const = 0;
  virtual MarkerSegments& getSegments() = 0;
};

}  // namespace s::image::jpg
