#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "s/image/EncodedImage.h"
#include "s/image/ico/IIconImage.h"
#include "s/thread/Pool.h"

namespace s::image::ico::win {

// One icon entry: colour rows of 1, 4, 8, 16, 24 or 32 bits (bottom row
// first, as stored), a palette for up to 8 bits, and a 1-bit mask (1 means
// transparent). Entries stored as PNG are read into 32-bit colour rows; any
// entry wider or taller than 255 pixels is written as PNG.
class IconImage final : public thread::PooledObject<IconImage, SinglePictureImage<IIconImage>> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_ico_win_IconImage";

  IconImage() { clear(); }
  void clear() override;

  std::int32_t getWidth() const override { return width_; }
  std::int32_t getHeight() const override { return height_; }

  // IEncodedImage
  const char16_t* getExtension() const override { return u".ico"; }
  image::win::BufferedImage* decodeImage(std::int32_t index, IBufferedImage* target) override;
  image::win::BufferedImageSet* decode(std::int32_t index) override;
  bool write(io::IOutputStream& stream) override;
  // Reads the whole stream as one entry's data.
  bool read(io::IInputStream& stream) override;
  // An entry read on its own still belongs to a file of several pictures.
  bool isMultiImage() const override { return true; }
  IEncodedImage* encodeLike(IBufferedImage* image) override;

  // IIconImage
  bool allocate(std::int32_t width, std::int32_t height, std::int32_t bitCount) override;
  bool setImage(IBufferedImage* image, std::int32_t bitCount, bool keepTransparency,
                std::int32_t backgroundRed, std::int32_t backgroundGreen,
                std::int32_t backgroundBlue) override;
  std::int32_t getBitCount() const override { return bitCount_; }
  bool isDirect32() const override { return bitCount_ == 32; }
  bool hasPalette() const override { return paletteCount_ != 0; }
  std::int32_t getPaletteCount() const override { return paletteCount_; }
  std::int32_t getPaletteSize() const override { return paletteCount_ * 4; }
  std::uint8_t* getColorRow(std::int32_t y) override {
    return colour_.data() + static_cast<std::size_t>(height_ - 1 - y) * xorStride_;
  }
  std::uint8_t* getMaskRow(std::int32_t y) override {
    return mask_.data() + static_cast<std::size_t>(height_ - 1 - y) * maskStride_;
  }
  std::int32_t getXorStride() const override { return xorStride_; }
  std::int32_t getMaskStride() const override { return maskStride_; }
  const std::uint8_t* getPalette() const { return palette_.data(); }

  // Parses one entry's data: a PNG stream or a bitmap entry. False (and an
  // empty entry) when the data is damaged: a header shorter than 40 bytes,
  // an unknown depth or compression, a size beyond the limits, or colour and
  // mask rows that do not fit the data.
  bool readFrom(const std::uint8_t* data, std::size_t size);
  // The picture size an entry's data declares (its PNG header or bitmap
  // header), read without decoding anything; 0 x 0 when the header cannot
  // be read.
  static void declaredSize(const std::uint8_t* data, std::size_t size, std::int64_t& width,
                           std::int64_t& height);

 private:
  bool readBitmap(const std::uint8_t* data, std::size_t size);
  bool readPng(const std::uint8_t* data, std::size_t size);
  bool writePng(io::IOutputStream& stream);
  // Colour rows from a 32-bit picture of this entry's size.
  bool fillColourRows(image::win::BufferedImage& picture);

  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::int32_t bitCount_ = 32;
  std::array<std::uint8_t, 256 * 4> palette_{};
  std::int32_t paletteCount_ = 0;
  std::vector<std::uint8_t> colour_;
  std::int32_t xorStride_ = 0;
  std::vector<std::uint8_t> mask_;
  std::int32_t maskStride_ = 0;
};

}  // namespace s::image::ico::win
