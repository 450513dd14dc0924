#pragma once

#include <cstdint>

#include "s/image/IEncodedImage.h"

namespace s::image::bmp {

// A device-independent bitmap in the file format's own layout: headers,
// colour table, bottom-up rows of bitCount bits per pixel padded to four
// bytes.
class IBitmap : public IEncodedImage {
 public:
  // Headers for an uncompressed bottom-up picture and new zero-filled pixel
  // memory. False (and an empty bitmap) when the size is not acceptable or
  // the memory cannot be had.
  virtual bool createBitmap(std::int32_t width, std::int32_t height, std::int32_t bitCount) = 0;
  virtual std::int32_t getBitCount() const = 0;
  virtual std::int64_t getStride() const = 0;
  // 32 bits per pixel, blue-green-red-alpha (not bit fields).
  virtual bool isDirect32() const = 0;
  virtual bool hasColorTable() const = 0;
  virtual std::int32_t getColorCount() const = 0;
  virtual std::int32_t getColorTableSize() const = 0;
  virtual std::uint8_t* getColorTable() = 0;
  // Row y, 0 being the top row.
  virtual std::uint8_t* getRow(std::int32_t y) = 0;
  virtual std::uint8_t* getBits() = 0;
  virtual bool hasTransparentColor() const = 0;
  virtual void setTransparentColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) = 0;
  // The bitmap without its file header (the form icons embed).
  virtual bool writeDib(io::IOutputStream& stream) = 0;
  virtual bool readDib(io::IInputStream& stream) = 0;
  // The encoder: this bitmap becomes image at bitCount bits per pixel.
  virtual bool fromImage(IBufferedImage* image, std::int32_t bitCount, bool keepTransparency,
                         std::int32_t backgroundRed, std::int32_t backgroundGreen,
                         std::int32_t backgroundBlue) = 0;
};

}  // namespace s::image::bmp
