#pragma once

#include <array>
#include <cstdint>

#include "s/base/IObject.h"
#include "s/image/bmp/BmpHeaders.h"
#include "s/thread/Pool.h"

namespace s::image::bmp::win {

// A device-independent bitmap: headers, colour table and one zero-filled
// block of bottom-up pixel rows. Every BufferedImage keeps its 32-bit pixels
// in one of these.
class Bitmap final : public thread::PooledObject<Bitmap> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_bmp_win_Bitmap";
  static constexpr int kMaxColors = 256;

  Bitmap() { clear(); }
  ~Bitmap() override;
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  // Frees the pixel memory and resets the headers to an empty 32-bit picture.
  void clear() override;

  std::int32_t getWidth() const { return info_.biWidth; }
  std::int32_t getHeight() const { return info_.biHeight < 0 ? -info_.biHeight : info_.biHeight; }

  // Sets the headers for an uncompressed bottom-up picture and replaces the
  // pixel memory with a new zero-filled block. False (and an empty bitmap)
  // when the size is not positive or the memory cannot be had.
  bool createBitmap(std::int32_t width, std::int32_t height, std::int32_t bitCount);

  std::int32_t getBitCount() const { return info_.biBitCount; }
  std::int64_t getStride() const { return stride_; }
  bool isDirect32() const {
    return info_.biBitCount == 32 && info_.biCompression != kCompressionBitFields;
  }
  bool hasColorTable() const { return colorCount_ != 0; }
  std::int32_t getColorCount() const { return colorCount_; }
  std::int32_t getColorTableSize() const { return colorCount_ * 4; }
  std::uint8_t* getColorTable() { return colorTable_.data(); }
  const std::uint8_t* getColorTable() const { return colorTable_.data(); }
  // Row y, 0 being the top row.
  std::uint8_t* getRow(std::int32_t y) {
    return bits_ + static_cast<std::int64_t>(getHeight() - 1 - y) * stride_;
  }
  std::uint8_t* getBits() { return bits_; }
  bool hasTransparentColor() const { return transparentColor_ != -1; }
  std::int32_t getTransparentColor() const { return transparentColor_; }
  void setTransparentColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    transparentColor_ = red << 16 | green << 8 | blue;
  }

  const FileHeader& fileHeader() const { return file_; }
  const InfoHeader& infoHeader() const { return info_; }

 private:
  // Stride and colour count from the info header.
  void deriveLayout();
  void releaseBits();

  FileHeader file_;
  InfoHeader info_;
  std::array<std::uint8_t, kMaxColors * 4> colorTable_{};
  std::uint8_t* bits_ = nullptr;
  std::int64_t stride_ = 0;
  std::int32_t colorCount_ = 0;
  std::int32_t transparentColor_ = -1;
};

}  // namespace s::image::bmp::win
