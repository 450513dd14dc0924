#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "s/image/EncodedImage.h"
#include "s/image/bmp/win/Bitmap.h"
#include "s/image/gif/IGif.h"
#include "s/image/gif/win/GifLzw.h"
#include "s/thread/Pool.h"

namespace s::image::gif::win {

// GIF files (GIF87a and GIF89a), still and animated.
//
// Reading keeps every frame as the file has it: an 8-bit bitmap of the
// frame's own size with the colour table it uses (its local table, else the
// global one, else a grey ramp), its position on the logical screen, its
// transparent index, delay and disposal. decode() then shows the frames as
// a web browser does: each entry is the whole logical screen after that
// frame has been drawn over what the previous frame's disposal left.
//
// Writing produces GIF89a with a loop extension and, per frame, a graphic
// control extension and a 256-entry local colour table; every frame is
// compressed at code size 8.
class Gif final : public thread::PooledObject<Gif, EncodedImage<IGif>> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_gif_win_Gif";
  // Threshold of addFrame below which a pixel counts as transparent, and
  // what the encode settings use.
  static constexpr std::int32_t kAlphaThreshold = 96;

  Gif() { clear(); }
  Gif(const Gif&) = delete;
  Gif& operator=(const Gif&) = delete;

  // Drops every frame; screen 0 x 0, no colour depth, loop count 1.
  void clear() override;

  // IImage: frame 0's size.
  std::int32_t getWidth() const override;
  std::int32_t getHeight() const override;

  // IEncodedImage
  const char16_t* getExtension() const override { return u".gif"; }
  // Frame `index` alone, at its own size: its colours, alpha 0 where it has
  // its transparent index or where its code stream did not reach.
  image::win::BufferedImage* decodeImage(std::int32_t index, IBufferedImage* target) override;
  // Every frame as the whole picture a viewer shows once that frame is
  // drawn; an animated set (also for a single frame) with the loop count.
  // Entries after the first carry disposal 2 since each is complete.
  image::win::BufferedImageSet* decode(std::int32_t index) override;
  bool write(io::IOutputStream& stream) override;
  bool read(io::IInputStream& stream) override;
  bool isMultiImage() const override { return !frames_.empty(); }
  std::int32_t getImageCount() const override { return static_cast<std::int32_t>(frames_.size()); }
  IEncodedImage* encodeSetLike(IBufferedImageSet* set) override;
  IEncodedImage* encodeLike(IBufferedImage* image) override;
  // Over the frames at their own sizes, each of depth 8.
  bool find(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
            std::int32_t& index) override;
  bool findNearestDepth(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                        std::int32_t& index) override;
  bool findNearestSize(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                       std::int32_t& index) override;

  // IGif
  bool createBitmap(std::int32_t width, std::int32_t height, std::int32_t bitCount) override;
  std::int32_t getBitCount() const override;
  std::int64_t getStride() const override;
  bool isDirect32() const override { return false; }
  bool hasColorTable() const override;
  std::int32_t getColorCount() const override;
  std::int32_t getColorTableSize() const override;
  bool hasTransparency() const override;
  bool addFrame(IBufferedImage* image, std::int32_t bitCount, bool keepTransparency,
                std::int32_t red, std::int32_t green, std::int32_t blue,
                std::int32_t alphaThreshold) override;
  bool fromSet(IBufferedImageSet* set, std::int32_t bitCount, bool keepTransparency,
               std::int32_t red, std::int32_t green, std::int32_t blue) override;
  bmp::IBitmap* getFrame(std::int32_t index) override;
  std::int32_t getTransparentIndex(std::int32_t index) const override;
  std::int32_t getDelay(std::int32_t index) const override;
  std::int32_t getDisposal(std::int32_t index) const override;
  std::int32_t getFrameLeft(std::int32_t index) const override;
  std::int32_t getFrameTop(std::int32_t index) const override;
  std::int32_t getScreenWidth() const override { return screenWidth_; }
  std::int32_t getScreenHeight() const override { return screenHeight_; }
  std::uint16_t getLoopCount() const override { return loopCount_; }

  // The deepest colour table the frames were read with, in bits (the grey
  // ramp that stands in for a missing table counts as 8); 0 when nothing
  // was read.
  std::int32_t getBitsPerPixel() const { return bitsPerPixel_; }

 private:
  friend class GifReader;

  struct Frame {
    thread::Owned<bmp::win::Bitmap> bitmap;
    std::int32_t transparentIndex = -1;
    std::int32_t delay = 0;     // milliseconds
    std::int32_t disposal = 0;  // 0..7 as in the file
    std::int32_t left = 0;
    std::int32_t top = 0;
    bool interlaced = false;
    // Pixels the code stream filled, in the order they arrive; the others
    // were never drawn.
    std::int64_t filledPixels = 0;
  };

  const Frame* frameAt(std::int32_t index) const;
  // The number of pixels of row y the frame's code stream reached.
  static std::int32_t filledInRow(const Frame& frame, std::int32_t y);
  // Draws frame onto the canvas at its position, clipped; pixels of its
  // transparent index and pixels never filled leave the canvas alone.
  static void drawFrame(const Frame& frame, image::win::BufferedImage& canvas);
  // The colour depth handed to the writer when this file is re-encoded.
  std::int32_t encodingDepth() const;
  bool writeFrame(const Frame& frame, io::IOutputStream& stream);

  GifLzw lzw_;
  std::vector<Frame> frames_;
  std::int32_t screenWidth_ = 0;
  std::int32_t screenHeight_ = 0;
  std::int32_t bitsPerPixel_ = 0;
  std::uint16_t loopCount_ = 1;
  // The compressed data of the frame being read, kept for the next one.
  std::vector<std::uint8_t> compressed_;
};

}  // namespace s::image::gif::win
