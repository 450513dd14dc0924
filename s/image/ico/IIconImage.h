#pragma once

#include <cstdint>

#include "s/image/IEncodedImage.h"

namespace s::image::ico {

// One picture of an icon file: a bitmap with a colour part and a 1-bit
// transparency mask.
class IIconImage : public IEncodedImage {
 public:
  // Header, strides and zero-filled colour rows and mask for that size and
  // depth; false when the size or depth is not acceptable.
  virtual bool allocate(std::int32_t width, std::int32_t height, std::int32_t bitCount) = 0;
  // Builds the entry from a 32-bit picture at bitCount bits per pixel.
  virtual bool setImage(IBufferedImage* image, std::int32_t bitCount, bool keepTransparency,
                        std::int32_t backgroundRed, std::int32_t backgroundGreen,
                        std::int32_t backgroundBlue) = 0;
  virtual std::int32_t getBitCount() const = 0;
  virtual bool isDirect32() const = 0;
  virtual bool hasPalette() const = 0;
  virtual std::int32_t getPaletteCount() const = 0;
  virtual std::int32_t getPaletteSize() const = 0;
  // Row y, 0 being the top row.
  virtual std::uint8_t* getColorRow(std::int32_t y) = 0;
  virtual std::uint8_t* getMaskRow(std::int32_t y) = 0;
  virtual std::int32_t getXorStride() const = 0;
  virtual std::int32_t getMaskStride() const = 0;
};

}  // namespace s::image::ico
