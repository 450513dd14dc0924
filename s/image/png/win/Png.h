#pragma once

#include <cstdint>

#include "s/image/EncodedImage.h"
#include "s/image/png/ColourChunks.h"
#include "s/image/png/IPng.h"
#include "s/thread/Pool.h"

namespace s::image::bmp::win {
class Bitmap;
}

namespace s::image::png::win {

// PNG files through libpng. The picture is held in a 32-bit Bitmap (blue,
// green, red, alpha; not premultiplied), rows addressed top to bottom.
//
// Reading turns every colour type and depth into 8-bit RGBA: palettes and
// grey expanded, tRNS made alpha, 16-bit samples cut to their high byte, no
// gamma applied (the colour-space chunks are kept and written again
// instead). A file that breaks off inside the image data keeps the rows
// that were decoded (read() answers true with a problem noted); one that
// fails before any row leaves the picture empty.
// Writing produces 8-bit RGBA (colour type 6), Adam7-interlaced or not, with
// the colour-space chunks of the source file.
class Png final : public thread::PooledObject<Png, SinglePictureImage<IPng>> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_png_win_Png";

  Png();
  ~Png() override;
  Png(const Png&) = delete;
  Png& operator=(const Png&) = delete;

  // Empty picture, not interlaced, no colour chunks, no problem.
  void clear() override;

  // IImage
  std::int32_t getWidth() const override;
  std::int32_t getHeight() const override;

  // IEncodedImage
  const char16_t* getExtension() const override { return u".png"; }
  image::win::BufferedImage* decodeImage(std::int32_t index, IBufferedImage* target) override;
  image::win::BufferedImageSet* decode(std::int32_t index) override;
  // On a library error the stream is closed (after a flush when writing):
  // what follows in it is of no use.
  bool write(io::IOutputStream& stream) override;
  bool read(io::IInputStream& stream) override;
  IEncodedImage* encodeLike(IBufferedImage* image) override;

  // IPng
  bool allocate(std::int32_t width, std::int32_t height) override;
  bool setImage(IBufferedImage* image, std::uint8_t withInterlace, std::uint8_t keepTransparency,
                std::int32_t bgRed, std::int32_t bgGreen, std::int32_t bgBlue) override;
  std::uint8_t getWithInterlace() const override { return withInterlace_; }
  const ColourChunks& getColourChunks() const override { return colour_; }
  ColourChunks& getColourChunks() override { return colour_; }

  // Row y of the pixel store (0 = top), four bytes per pixel.
  std::uint8_t* getRow(std::int32_t y);

 private:
  // Swaps the first and third byte of every pixel (BGRA <-> RGBA).
  void swapRedAndBlue();
  // Takes the colour-space chunks from a file being read.
  void keepColourChunks(void* png, void* info);
  // Hands the kept colour-space chunks to a file being written.
  void setColourChunks(void* png, void* info) const;

  std::uint8_t withInterlace_ = 0;
  bmp::win::Bitmap* store_ = nullptr;
  ColourChunks colour_;
};

}  // namespace s::image::png::win
