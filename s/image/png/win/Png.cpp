#include "s/image/png/win/Png.h"

#include <cstring>
#include <utility>

#include "s/image/bmp/win/Bitmap.h"
#include "s/image/png/EncodeSetting.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"

namespace s::image::png::win {

using bmp::win::Bitmap;
using image::win::BufferedImage;
using image::win::BufferedImageSet;

Png::Png() : store_(Bitmap::obtain()) {
  clear();
}

Png::~Png() {
  if (store_ != nullptr) store_->recycle();
}

void Png::clear() {
  if (store_ != nullptr) store_->clear();
  withInterlace_ = 0;
  colour_.clear();
  forgetProblem();
}

std::int32_t Png::getWidth() const {
  return store_ != nullptr ? store_->getWidth() : 0;
}

std::int32_t Png::getHeight() const {
  return store_ != nullptr ? store_->getHeight() : 0;
}

std::uint8_t* Png::getRow(std::int32_t y) {
  return store_->getRow(y);
}

bool Png::allocate(std::int32_t width, std::int32_t height) {
  return store_ != nullptr && store_->createBitmap(width, height, 32);
}

void Png::swapRedAndBlue() {
  const std::int32_t width = getWidth();
  for (std::int32_t y = 0; y < getHeight(); ++y) {
    std::uint8_t* p = getRow(y);
    for (std::int32_t x = 0; x < width; ++x, p += 4)
      std::swap(p[0], p[2]);
  }
}

// The rows as they are, alpha included: a PNG's alpha is always meant as
// alpha, even where every pixel is fully transparent.
BufferedImage* Png::decodeImage(std::int32_t, IBufferedImage* targetImage) {
  const std::int32_t width = getWidth();
  const std::int32_t height = getHeight();
  if (store_ == nullptr || store_->getBits() == nullptr || width <= 0 || height <= 0) {
    return nullptr;
  }
  auto* target = static_cast<BufferedImage*>(targetImage);
  if (target != nullptr) {
    target->setSize(0, 0);
    if (!image::win::ensureCapacity(target, width, height)) return nullptr;
    target->setSize(width, height);
  } else {
    target = BufferedImage::create(width, height);
    if (target == nullptr) return nullptr;
  }
  bool translucent = false;
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* in = getRow(y);
    std::memcpy(target->getRow(y), in, static_cast<std::size_t>(width) * 4);
    for (std::int32_t x = 0; x < width && !translucent; ++x)
      translucent = in[x * 4 + 3] != 255;
  }
  target->setHasAlpha(translucent);
  return target;
}

BufferedImageSet* Png::decode(std::int32_t) {
  BufferedImageSet* set = BufferedImageSet::obtain();
  if (set == nullptr) return nullptr;
  if (BufferedImage* picture = decodeImage(0, nullptr)) set->add(picture, 32, 0, 0);
  return set;
}

bool Png::setImage(IBufferedImage* imageInterface, std::uint8_t withInterlace,
                   std::uint8_t keepTransparency, std::int32_t bgRed, std::int32_t bgGreen,
                   std::int32_t bgBlue) {
  clear();
  auto* image = static_cast<BufferedImage*>(imageInterface);
  if (image == nullptr || image->getPixels() == nullptr) return false;
  const std::int32_t width = image->getWidth();
  const std::int32_t height = image->getHeight();
  if (!allocate(width, height)) return false;
  thread::Owned<BufferedImage> flat;
  BufferedImage* source = image;
  if (image->hasAlpha() && keepTransparency == 0) {
    flat = thread::own(BufferedImage::create(width, height));
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
    source = flat.get();
  }
  for (std::int32_t y = 0; y < height; ++y)
    std::memcpy(getRow(y), source->getRow(y), static_cast<std::size_t>(width) * 4);
  withInterlace_ = withInterlace != 0 ? 1 : 0;
  return true;
}

IEncodedImage* Png::encodeLike(IBufferedImage* image) {
  auto setting = thread::obtainOwned<EncodeSetting>();
  if (setting == nullptr) return nullptr;
  setting->keepTransparency = 1;
  setting->withInterlace = 1;
  auto* variant = static_cast<Png*>(setting->createFromImage(image));
  // The variant shows its colours the way the source file asks for.
  if (variant != nullptr) variant->colour_ = colour_;
  return variant;
}

}  // namespace s::image::png::win
