#pragma once

#include <array>
#include <cstdint>

#include "s/image/EncodedImage.h"
#include "s/image/bmp/BmpHeaders.h"
#include "s/image/bmp/IBitmap.h"
#include "s/thread/Pool.h"

namespace s::image::bmp::win {

// BMP files, and the pixel memory of every BufferedImage.
//
// Reading accepts the 12-byte core header and info headers of 16 to 124
// bytes; 1, 2, 4, 8, 16, 24 and 32 bits per pixel; plain, bit-field and
// run-length (4 and 8 bits) data; bottom-up and top-down rows. Whatever was
// read is kept uncompressed and bottom-up, so the pixel memory always has
// the layout of an uncompressed bottom-up bitmap of the file's depth.
// Writing produces 4, 8, 24 or 32 bits per pixel; a picture asked for at a
// depth the writer does not produce (1, 2 or 16 bits) is written at 24 bits
// so that no colour is lost.
class Bitmap final : public thread::PooledObject<Bitmap, SinglePictureImage<IBitmap>> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_bmp_win_Bitmap";
  static constexpr int kMaxColors = 256;

  Bitmap() { clear(); }
  ~Bitmap() override;
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  // Frees the pixel memory and resets the headers to an empty 32-bit picture.
  void clear() override;

  // IImage
  std::int32_t getWidth() const override { return info_.biWidth; }
  std::int32_t getHeight() const override { return info_.biHeight; }

  // IEncodedImage
  const char16_t* getExtension() const override { return u".bmp"; }
  image::win::BufferedImage* decodeImage(std::int32_t index, IBufferedImage* target) override;
  image::win::BufferedImageSet* decode(std::int32_t index) override;
  bool write(io::IOutputStream& stream) override;
  bool read(io::IInputStream& stream) override;
  IEncodedImage* encodeLike(IBufferedImage* image) override;

  // IBitmap
  bool createBitmap(std::int32_t width, std::int32_t height, std::int32_t bitCount) override;
  std::int32_t getBitCount() const override { return info_.biBitCount; }
  std::int64_t getStride() const override { return stride_; }
  bool isDirect32() const override {
    return info_.biBitCount == 32 && info_.biCompression != kCompressionBitFields;
  }
  bool hasColorTable() const override { return colorCount_ != 0; }
  std::int32_t getColorCount() const override { return colorCount_; }
  std::int32_t getColorTableSize() const override { return colorCount_ * 4; }
  std::uint8_t* getColorTable() override { return colorTable_.data(); }
  std::uint8_t* getRow(std::int32_t y) override {
    return bits_ + static_cast<std::int64_t>(info_.biHeight - 1 - y) * stride_;
  }
  std::uint8_t* getBits() override { return bits_; }
  bool hasTransparentColor() const override { return transparentColor_ != -1; }
  void setTransparentColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) override {
    transparentColor_ = red << 16 | green << 8 | blue;
  }
  bool writeDib(io::IOutputStream& stream) override;
  bool readDib(io::IInputStream& stream) override;
  bool fromImage(IBufferedImage* image, std::int32_t bitCount, bool keepTransparency,
                 std::int32_t backgroundRed, std::int32_t backgroundGreen,
                 std::int32_t backgroundBlue) override;

  const FileHeader& fileHeader() const { return file_; }
  const InfoHeader& infoHeader() const { return info_; }
  // Colour masks of a bit-field picture: red, green, blue, alpha.
  const std::array<std::uint32_t, 4>& masks() const { return masks_; }

 private:
  friend class BitmapReader;

  // Stride and colour count from the info header.
  void deriveLayout();
  // The file header that goes with the info header and colour table.
  void deriveFileHeader();
  void releaseBits();
  bool allocateBits();
  // Converts row y into 32-bit pixels; alpha is filled in later.
  void convertRow(std::int32_t y, std::uint8_t* out) const;
  bool writeHeadersAndRows(io::IOutputStream& stream, bool withFileHeader);

  FileHeader file_;
  InfoHeader info_;
  std::array<std::uint32_t, 4> masks_{};
  std::array<std::uint8_t, kMaxColors * 4> colorTable_{};
  std::uint8_t* bits_ = nullptr;
  std::int64_t stride_ = 0;
  std::int32_t colorCount_ = 0;
  std::int32_t transparentColor_ = -1;
};

}  // namespace s::image::bmp::win
