#pragma once

#include <cstdint>

#include "s/image/IEncodedImage.h"

namespace s::image::png {

struct ColourChunks;

// A PNG picture held as 8-bit red, green, blue and alpha.
class IPng : public IEncodedImage {
 public:
  // New zero-filled pixels of width x height; false (and an empty picture)
  // when the size is not acceptable or the memory cannot be had.
  virtual bool allocate(std::int32_t width, std::int32_t height) = 0;
  // This picture becomes a copy of image. With keepTransparency 0 a
  // transparent image is composited over the background colour; withInterlace
  // 1 makes write() produce an Adam7-interlaced file.
  virtual bool setImage(IBufferedImage* image, std::uint8_t withInterlace,
                        std::uint8_t keepTransparency, std::int32_t bgRed, std::int32_t bgGreen,
                        std::int32_t bgBlue) = 0;
  virtual std::uint8_t getWithInterlace() const = 0;
  // The colour-space chunks read from the file (iCCP, sRGB, gAMA, cHRM),
  // written again by write(). Files built from this one (encodeLike) carry
  // a copy.
  virtual const ColourChunks& getColourChunks() const = 0;
  virtual ColourChunks& getColourChunks() = 0;
};

}  // namespace s::image::png
