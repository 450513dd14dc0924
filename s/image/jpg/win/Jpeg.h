#pragma once

#include <cstdint>

#include "s/image/EncodedImage.h"
#include "s/image/jpg/IJpeg.h"
#include "s/image/jpg/MarkerSegments.h"
#include "s/thread/Pool.h"

namespace s::image::bmp::win {
class Bitmap;
}

namespace s::image::jpg::win {

// JPEG files through libjpeg. The picture is held in a 24-bit Bitmap (blue,
// green, red), rows addressed top to bottom.
//
// Reading takes any file libjpeg decodes: grey, YCbCr/RGB, CMYK and YCCK
// (the four-channel files scaled by their fourth sample). A file cut short
// still gives a picture of its declared size, with the missing part as the
// library fills it; read() then answers true with a problem noted. A file
// the library cannot decode at all leaves the picture empty.
// Writing produces a baseline JFIF file at the set quality, followed by the
// EXIF and ICC profile segments taken from the source file.
class Jpeg final : public thread::PooledObject<Jpeg, SinglePictureImage<IJpeg>> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_jpg_win_Jpeg";
  static constexpr std::int32_t kDefaultQuality = 75;

  Jpeg();
  ~Jpeg() override;
  Jpeg(const Jpeg&) = delete;
  Jpeg& operator=(const Jpeg&) = delete;

  // Empty picture, quality 75, no segments, no problem.
  void clear() override;

  // IImage
  std::int32_t getWidth() const override;
  std::int32_t getHeight() const override;

  // IEncodedImage
  const char16_t* getExtension() const override { return u".jpg"; }
  image::win::BufferedImage* decodeImage(std::int32_t index, IBufferedImage* target) override;
  image::win::BufferedImageSet* decode(std::int32_t index) override;
  bool write(io::IOutputStream& stream) override;
  bool read(io::IInputStream& stream) override;
  IEncodedImage* encodeLike(IBufferedImage* image) override;

  // IJpeg
  bool allocate(std::int32_t width, std::int32_t height) override;
  bool setImage(IBufferedImage* image, std::int32_t quality, std::int32_t bgRed,
                std::int32_t bgGreen, std::int32_t bgBlue) override;
  std::int32_t getQuality() const override { return quality_; }
  const MarkerSegments& getSegments() const override { return segments_; }
  MarkerSegments& getSegments() override { return segments_; }

  // Row y of the pixel store (0 = top), three bytes per pixel.
  std::uint8_t* getRow(std::int32_t y);

 private:
  // Copies the saved APP1 and APP2 segments of a file being read.
  void keepSegments(const void* decompressInfo);
  // Writes the kept segments after the JFIF header.
  void writeSegments(void* compressInfo) const;

  std::int32_t quality_ = kDefaultQuality;
  bmp::win::Bitmap* store_ = nullptr;
  MarkerSegments segments_;
};

}  // namespace s::image::jpg::win
