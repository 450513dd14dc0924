#include "s/image/gif/win/Gif.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "s/image/ImageLimits.h"
#include "s/image/gif/EncodeSetting.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"

namespace s::image::gif::win {

using bmp::win::Bitmap;
using image::win::BufferedImage;
using image::win::BufferedImageSet;

namespace {

// The part of a frame at (left, top) of width x height that lies on a
// screen of screenWidth x screenHeight, in screen coordinates.
struct Clip {
  std::int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  Clip(std::int64_t left, std::int64_t top, std::int64_t width, std::int64_t height,
       std::int64_t screenWidth, std::int64_t screenHeight) {
    x0 = static_cast<std::int32_t>(std::clamp<std::int64_t>(left, 0, screenWidth));
    y0 = static_cast<std::int32_t>(std::clamp<std::int64_t>(top, 0, screenHeight));
    x1 = static_cast<std::int32_t>(std::clamp<std::int64_t>(left + width, x0, screenWidth));
    y1 = static_cast<std::int32_t>(std::clamp<std::int64_t>(top + height, y0, screenHeight));
  }
  bool empty() const { return x0 == x1 || y0 == y1; }
  std::size_t rowBytes() const { return static_cast<std::size_t>(x1 - x0) * 4; }
};

}  // namespace

void Gif::clear() {
  frames_.clear();
  screenWidth_ = screenHeight_ = 0;
  bitsPerPixel_ = 0;
  loopCount_ = 1;
  // A pooled object keeps no large buffer.
  std::vector<std::uint8_t>().swap(compressed_);
  forgetProblem();
}

const Gif::Frame* Gif::frameAt(std::int32_t index) const {
  if (index < 0 || index >= getImageCount()) return nullptr;
  return &frames_[static_cast<std::size_t>(index)];
}

std::int32_t Gif::getWidth() const {
  return frames_.empty() ? 0 : frames_[0].bitmap->getWidth();
}

std::int32_t Gif::getHeight() const {
  return frames_.empty() ? 0 : frames_[0].bitmap->getHeight();
}

std::int32_t Gif::getBitCount() const {
  return frames_.empty() ? 0 : frames_[0].bitmap->getBitCount();
}

std::int64_t Gif::getStride() const {
  return frames_.empty() ? 0 : frames_[0].bitmap->getStride();
}

bool Gif::hasColorTable() const {
  return !frames_.empty() && frames_[0].bitmap->hasColorTable();
}

std::int32_t Gif::getColorCount() const {
  return frames_.empty() ? 0 : frames_[0].bitmap->getColorCount();
}

std::int32_t Gif::getColorTableSize() const {
  return frames_.empty() ? 0 : frames_[0].bitmap->getColorTableSize();
}

bool Gif::hasTransparency() const {
  return std::any_of(frames_.begin(), frames_.end(),
                     [](const Frame& frame) { return frame.transparentIndex != -1; });
}

bmp::IBitmap* Gif::getFrame(std::int32_t index) {
  const Frame* frame = frameAt(index);
  return frame != nullptr ? frame->bitmap.get() : nullptr;
}

std::int32_t Gif::getTransparentIndex(std::int32_t index) const {
  const Frame* frame = frameAt(index);
  return frame != nullptr ? frame->transparentIndex : -1;
}

std::int32_t Gif::getDelay(std::int32_t index) const {
  const Frame* frame = frameAt(index);
  return frame != nullptr ? frame->delay : 0;
}

std::int32_t Gif::getDisposal(std::int32_t index) const {
  const Frame* frame = frameAt(index);
  return frame != nullptr ? frame->disposal : 0;
}

std::int32_t Gif::getFrameLeft(std::int32_t index) const {
  const Frame* frame = frameAt(index);
  return frame != nullptr ? frame->left : 0;
}

std::int32_t Gif::getFrameTop(std::int32_t index) const {
  const Frame* frame = frameAt(index);
  return frame != nullptr ? frame->top : 0;
}

bool Gif::createBitmap(std::int32_t width, std::int32_t height, std::int32_t bitCount) {
  frames_.clear();
  if (bitCount != 8) return false;
  auto bitmap = thread::own(Bitmap::obtain());
  if (bitmap == nullptr || !bitmap->createBitmap(width, height, 8)) return false;
  Frame frame;
  frame.bitmap = std::move(bitmap);
  frame.filledPixels = static_cast<std::int64_t>(width) * height;
  frames_.push_back(std::move(frame));
  screenWidth_ = width;
  screenHeight_ = height;
  return true;
}

std::int32_t Gif::filledInRow(const Frame& frame, std::int32_t y) {
  const std::int32_t width = frame.bitmap->getWidth();
  const std::int64_t before =
      static_cast<std::int64_t>(rowArrival(y, frame.bitmap->getHeight(), frame.interlaced)) * width;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(frame.filledPixels - before, 0, width));
}

BufferedImage* Gif::decodeImage(std::int32_t index, IBufferedImage* target) {
  const Frame* frame = frameAt(index);
  if (frame == nullptr) return nullptr;
  BufferedImage* picture = frame->bitmap->decodeImage(0, target);
  if (picture == nullptr) return nullptr;
  bool anyTransparent = false;
  for (std::int32_t y = 0; y < picture->getHeight(); ++y) {
    const std::uint8_t* indices = frame->bitmap->getRow(y);
    std::uint8_t* pixels = picture->getRow(y);
    const std::int32_t filled = filledInRow(*frame, y);
    for (std::int32_t x = 0; x < picture->getWidth(); ++x) {
      if (x >= filled || indices[x] == frame->transparentIndex) {
        pixels[x * 4 + 3] = 0;
        anyTransparent = true;
      }
    }
  }
  picture->setHasAlpha(anyTransparent);
  return picture;
}

void Gif::drawFrame(const Frame& frame, BufferedImage& canvas) {
  Bitmap& bitmap = *frame.bitmap;
  const std::uint8_t* table = bitmap.getColorTable();
  const Clip clip(frame.left, frame.top, bitmap.getWidth(), bitmap.getHeight(), canvas.getWidth(),
                  canvas.getHeight());
  for (std::int32_t y = clip.y0; y < clip.y1; ++y) {
    const std::int32_t frameY = y - frame.top;
    const std::uint8_t* indices = bitmap.getRow(frameY);
    const std::int32_t end =
        std::min<std::int32_t>(clip.x1, frame.left + filledInRow(frame, frameY));
    std::uint8_t* pixels = canvas.getRow(y);
    for (std::int32_t x = clip.x0; x < end; ++x) {
      const std::int32_t index = indices[x - frame.left];
      if (index == frame.transparentIndex) continue;
      std::memcpy(pixels + x * 4, table + index * 4, 3);
      pixels[x * 4 + 3] = 255;
    }
  }
}

BufferedImageSet* Gif::decode(std::int32_t) {
  BufferedImageSet* set = BufferedImageSet::obtain();
  if (set == nullptr || frames_.empty()) return set;
  if (!isAcceptableSize(screenWidth_, screenHeight_)) return set;

  // The screen starts transparent (GIF89a leaves the background to the
  // viewer; browsers show the page through it).
  auto canvas = thread::own(BufferedImage::create(screenWidth_, screenHeight_));
  if (canvas == nullptr) {
    noteProblem("not enough memory for the picture");
    return set;
  }
  canvas->setHasAlpha(true);
  std::vector<std::uint8_t> saved;
  for (std::size_t i = 0; i < frames_.size(); ++i) {
    const Frame& frame = frames_[i];
    const Clip clip(frame.left, frame.top, frame.bitmap->getWidth(), frame.bitmap->getHeight(),
                    screenWidth_, screenHeight_);
    // GIF89a, 23. Graphic Control Extension: 2 restores the area to the
    // background (transparent here), 3 to what was there before the frame.
    // Some encoders write 4 for the latter.
    const bool restoreBackground = frame.disposal == 2 && !clip.empty();
    const bool restorePrevious = (frame.disposal == 3 || frame.disposal == 4) && !clip.empty();
    if (restorePrevious) {
      saved.resize(clip.rowBytes() * static_cast<std::size_t>(clip.y1 - clip.y0));
      for (std::int32_t y = clip.y0; y < clip.y1; ++y) {
        std::memcpy(&saved[(y - clip.y0) * clip.rowBytes()], canvas->getRow(y) + clip.x0 * 4,
                    clip.rowBytes());
      }
    }

    drawFrame(frame, *canvas);
    BufferedImage* entry = canvas->copyTo(nullptr);
    if (entry == nullptr) {
      noteProblem("not enough memory for the picture");
      break;
    }
    entry->setHasAlpha(entry->anyTransparentPixel());
    // Every entry is complete; only the first keeps the file's disposal.
    set->add(entry, 8, frame.delay, i == 0 ? frame.disposal : 2);

    for (std::int32_t y = clip.y0; y < clip.y1 && (restoreBackground || restorePrevious); ++y) {
      std::uint8_t* row = canvas->getRow(y) + clip.x0 * 4;
      if (restoreBackground) std::memset(row, 0, clip.rowBytes());
      if (restorePrevious) {
        std::memcpy(row, &saved[(y - clip.y0) * clip.rowBytes()], clip.rowBytes());
      }
    }
  }
  set->setAnimation(true, loopCount_);
  return set;
}

bool Gif::find(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
               std::int32_t& index) {
  for (std::int32_t i = 0; i < getImageCount(); ++i) {
    if (getFrame(i)->getWidth() == width && getFrame(i)->getHeight() == height &&
        bitsPerPixel == 8) {
      index = i;
      return true;
    }
  }
  index = 0;
  return false;
}

// Every frame has depth 8, so the nearest depth and the nearest size agree:
// an exact match, else the first frame of the closest area.
bool Gif::findNearestSize(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                          std::int32_t& index) {
  if (find(width, height, bitsPerPixel, index)) return true;
  const std::int64_t wanted = static_cast<std::int64_t>(width) * height;
  std::int64_t bestGap = -1;
  for (std::int32_t i = 0; i < getImageCount(); ++i) {
    const std::int64_t area =
        static_cast<std::int64_t>(getFrame(i)->getWidth()) * getFrame(i)->getHeight();
    const std::int64_t gap = std::llabs(wanted - area);
    if (bestGap < 0 || gap < bestGap) {
      bestGap = gap;
      index = i;
    }
  }
  return bestGap >= 0;
}

bool Gif::findNearestDepth(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                           std::int32_t& index) {
  return findNearestSize(width, height, bitsPerPixel, index);
}

std::int32_t Gif::encodingDepth() const {
  // Nothing read: the writer's full depth.
  if (bitsPerPixel_ <= 0) return 8;
  // One bit more than the deepest table, so that every colour that table
  // can hold keeps an index of its own beside the transparent one (at its
  // own depth a two-colour picture would come out in one colour).
  return std::min(bitsPerPixel_ + 1, 8);
}

IEncodedImage* Gif::encodeLike(IBufferedImage* image) {
  auto setting = thread::obtainOwned<EncodeSetting>();
  if (setting == nullptr) return nullptr;
  setting->keepTransparency = 1;
  setting->bpp = encodingDepth();
  return setting->createFromImage(image);
}

IEncodedImage* Gif::encodeSetLike(IBufferedImageSet* set) {
  if (set == nullptr || set->getCount() == 0) return nullptr;
  if (set->getCount() <= 1 || !set->isAnimated()) return encodeLike(set->getPrimary());
  auto setting = thread::obtainOwned<EncodeSetting>();
  if (setting == nullptr) return nullptr;
  setting->keepTransparency = 1;
  setting->bpp = encodingDepth();
  return setting->createFromSet(set);
}

}  // namespace s::image::gif::win
