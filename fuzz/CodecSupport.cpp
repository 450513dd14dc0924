#include "fuzz/CodecSupport.h"

#include <algorithm>
#include <string_view>

#include "s/image/FormatDetection.h"
#include "s/image/ImageLimits.h"
#include "s/image/bmp/IBitmap.h"
#include "s/image/gif/IGif.h"
#include "s/image/ico/IIcon.h"
#include "s/image/ico/IIconImage.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/io/ByteArrayStreams.h"

namespace tintery::fuzz {

using s::image::IEncodedImage;
using s::image::win::BufferedImage;
using s::thread::own;

namespace {

std::int64_t budget = 0;

void requireWithinLimits(const BufferedImage& picture) {
  require(s::image::isAcceptableSize(picture.getWidth(), picture.getHeight()));
}

std::int64_t pixelsOf(std::int64_t width, std::int64_t height, bool square) {
  const std::int64_t side = std::max(width, height);
  return square ? side * side : width * height;
}

}  // namespace

void setDecodeBudget(std::int64_t pixels) {
  budget = pixels;
}

std::int64_t decodeBudget() {
  return budget;
}

std::int64_t decodedPixels(IEncodedImage& codec, bool square) {
  const std::u16string_view extension = codec.getExtension();
  std::int64_t pixels = 0;
  if (extension == u".gif") {
    auto& gif = static_cast<s::image::gif::IGif&>(codec);
    pixels = pixelsOf(gif.getScreenWidth(), gif.getScreenHeight(), square) * gif.getImageCount();
    // decodeImage gives each frame at its own size as well.
    for (std::int32_t i = 0; i < gif.getImageCount(); ++i)
      pixels += pixelsOf(gif.getFrame(i)->getWidth(), gif.getFrame(i)->getHeight(), square);
  } else if (extension == u".ico") {
    auto& icon = static_cast<s::image::ico::IIcon&>(codec);
    for (std::int32_t i = 0; i < icon.getImageCount(); ++i)
      pixels += pixelsOf(icon.get(i)->getWidth(), icon.get(i)->getHeight(), square);
  } else {
    pixels = pixelsOf(codec.getWidth(), codec.getHeight(), square);
  }
  return pixels;
}

bool withinDecodeBudget(IEncodedImage& codec) {
  return budget <= 0 || decodedPixels(codec) <= budget;
}

s::thread::Owned<IEncodedImage> readCodec(const char16_t* format, const std::uint8_t* data,
                                          std::size_t size, bool& readOk) {
  readOk = false;
  auto codec = own(s::image::createCodec(format));
  auto stream = s::thread::obtainOwned<s::io::ByteArrayInputStream>();
  if (codec == nullptr || stream == nullptr) return nullptr;
  stream->open(data, size);
  readOk = codec->read(*stream);
  // Whatever went wrong is described in a few words, never left unsaid
  // when nothing could be read.
  const std::string_view problem = codec->getProblem();
  require(readOk || !problem.empty());
  return codec;
}

void decodeEveryPicture(IEncodedImage& codec, bool readOk) {
  const std::int32_t count = codec.getImageCount();
  {
    auto set = own(codec.decode(0));
    require(set != nullptr);
    if (readOk) require(set->getCount() == count);
    for (std::int32_t i = 0; i < set->getCount(); ++i)
      requireWithinLimits(*set->get(i));
  }
  // Into a buffer used for one picture after the other, as the program
  // decodes an icon's entries for display; each picture alone is what the
  // set was made of.
  auto reused = own(BufferedImage::create(1, 1));
  if (reused == nullptr) return;
  for (std::int32_t i = 0; i < count; ++i) {
    BufferedImage* into = codec.decodeImage(i, reused.get());
    require(into == nullptr || into == reused.get());
    if (into != nullptr) requireWithinLimits(*into);
  }
}

int readAndDecode(const char16_t* format, const std::uint8_t* data, std::size_t size) {
  bool readOk = false;
  auto codec = readCodec(format, data, size, readOk);
  if (codec != nullptr && withinDecodeBudget(*codec)) decodeEveryPicture(*codec, readOk);
  return 0;
}

}  // namespace tintery::fuzz
