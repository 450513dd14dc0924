#include "s/image/bmp/win/Bitmap.h"

#include <cstdlib>

namespace s::image::bmp::win {

namespace {

// The largest pixel block one bitmap may hold; pictures are refused before
// this by the readers' pixel limit, so this only guards against overflow.
constexpr std::int64_t kMaxBytes = (std::int64_t{1} << 32) - 1;

}  // namespace

Bitmap::~Bitmap() {
  releaseBits();
}

void Bitmap::releaseBits() {
  std::free(bits_);
  bits_ = nullptr;
}

void Bitmap::clear() {
  releaseBits();
  file_ = FileHeader{};
  info_ = InfoHeader{};
  if (colorCount_ != 0) colorTable_.fill(0);
  colorCount_ = 0;
  stride_ = 0;
  transparentColor_ = -1;
}

void Bitmap::deriveLayout() {
  stride_ = strideFor(info_.biWidth, info_.biBitCount, info_.biPlanes);
  if (info_.biClrUsed != 0) {
    colorCount_ =
        static_cast<std::int32_t>(info_.biClrUsed > kMaxColors ? kMaxColors : info_.biClrUsed);
  } else if (info_.biBitCount <= 8) {
    colorCount_ = 1 << info_.biBitCount;
  } else {
    colorCount_ = 0;
  }
}

bool Bitmap::createBitmap(std::int32_t width, std::int32_t height, std::int32_t bitCount) {
  clear();
  if (width <= 0 || height <= 0) return false;
  const std::int64_t stride = strideFor(width, bitCount);
  const std::int64_t bytes = stride * height;
  if (bytes > kMaxBytes) return false;
  bits_ = static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(bytes), 1));
  if (bits_ == nullptr) return false;

  const std::uint32_t colors = bitCount <= 8 ? (1u << bitCount) : 0;
  info_.biWidth = width;
  info_.biHeight = height;
  info_.biBitCount = static_cast<std::uint16_t>(bitCount);
  info_.biSizeImage = static_cast<std::uint32_t>(bytes);
  info_.biClrUsed = colors;
  info_.biClrImportant = colors;
  deriveLayout();
  file_.bfOffBits = kFileHeaderSize + kInfoHeaderSize + colors * 4;
  file_.bfSize = file_.bfOffBits + info_.biSizeImage;
  return true;
}

}  // namespace s::image::bmp::win
