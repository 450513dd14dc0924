#include "s/image/jpg/win/Jpeg.h"

#include <cstring>

#include "s/image/bmp/win/Bitmap.h"
#include "s/image/jpg/EncodeSetting.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/image/win/PixelRows.h"

namespace s::image::jpg::win {

using bmp::win::Bitmap;
using image::win::BufferedImage;
using image::win::BufferedImageSet;

namespace {

// The colour bytes of a 32-bit picture into a 24-bit one of the same size.
void copyColours(BufferedImage& from, Bitmap& to) {
  const std::int32_t width = from.getWidth();
  for (std::int32_t y = 0; y < from.getHeight(); ++y)
    image::win::packBgraToBgr(from.getRow(y), to.getRow(y), width);
}

}  // namespace

Jpeg::Jpeg() : store_(Bitmap::obtain()) {
  clear();
}

Jpeg::~Jpeg() {
  if (store_ != nullptr) store_->recycle();
}

void Jpeg::clear() {
  if (store_ != nullptr) store_->clear();
  quality_ = kDefaultQuality;
  segments_.clear();
  forgetProblem();
}

std::int32_t Jpeg::getWidth() const {
  return store_ != nullptr ? store_->getWidth() : 0;
}

std::int32_t Jpeg::getHeight() const {
  return store_ != nullptr ? store_->getHeight() : 0;
}

std::uint8_t* Jpeg::getRow(std::int32_t y) {
  return store_->getRow(y);
}

bool Jpeg::allocate(std::int32_t width, std::int32_t height) {
  return store_ != nullptr && store_->createBitmap(width, height, 24);
}

BufferedImage* Jpeg::decodeImage(std::int32_t index, IBufferedImage* target) {
  return store_ != nullptr ? store_->decodeImage(index, target) : nullptr;
}

BufferedImageSet* Jpeg::decode(std::int32_t) {
  BufferedImageSet* set = BufferedImageSet::obtain();
  if (set == nullptr) return nullptr;
  if (BufferedImage* picture = decodeImage(0, nullptr)) set->add(picture, 24, 0, 0);
  return set;
}

bool Jpeg::setImage(IBufferedImage* imageInterface, std::int32_t quality, std::int32_t bgRed,
                    std::int32_t bgGreen, std::int32_t bgBlue) {
  clear();
  auto* image = static_cast<BufferedImage*>(imageInterface);
  if (image == nullptr || image->getPixels() == nullptr) return false;
  const std::int32_t width = image->getWidth();
  const std::int32_t height = image->getHeight();
  if (!allocate(width, height)) return false;
  if (!image->hasAlpha()) {
    copyColours(*image, *store_);
  } else {
    // JPEG has no alpha: the picture is composited over the background.
    auto flat = thread::own(BufferedImage::create(width, height));
    if (flat == nullptr) {
      clear();
      return false;
    }
    const std::uint8_t background[4] = {static_cast<std::uint8_t>(bgBlue),
                                        static_cast<std::uint8_t>(bgGreen),
                                        static_cast<std::uint8_t>(bgRed), 255};
    for (std::int32_t y = 0; y < height; ++y) {
      std::uint8_t* p = flat->getRow(y);
      for (std::int32_t x = 0; x < width; ++x)
        std::memcpy(p + x * 4, background, 4);
    }
    flat->drawImage(0, 0, image, 0, 0);
    copyColours(*flat, *store_);
  }
  quality_ = quality;
  return true;
}

IEncodedImage* Jpeg::encodeLike(IBufferedImage* image) {
  auto setting = thread::obtainOwned<EncodeSetting>();
  if (setting == nullptr) return nullptr;
  setting->quality = kDefaultQuality;
  auto* variant = static_cast<Jpeg*>(setting->createFromImage(image));
  // The variant keeps the source's orientation and colour profile.
  if (variant != nullptr) variant->segments_ = segments_;
  return variant;
}

}  // namespace s::image::jpg::win
