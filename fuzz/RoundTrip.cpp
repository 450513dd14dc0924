#include "fuzz/RoundTrip.h"

#include <cstring>
#include <unordered_set>

#include "fuzz/CodecSupport.h"
#include "s/image/FormatDetection.h"
#include "s/io/ByteArrayStreams.h"

namespace tintery::fuzz {

using s::image::win::BufferedImage;
using s::image::win::BufferedImageSet;
using s::thread::own;

namespace {

// What detectFormat reads of a file; shorter files are never recognised.
constexpr std::size_t kHeaderSize = 100;

}  // namespace

RoundTripStage runRoundTrip(const char16_t* format, const std::uint8_t* data, std::size_t size,
                            RoundTrip& trip, bool squarePictures) {
  bool readOk = false;
  trip.source = readCodec(format, data, size, readOk);
  if (trip.source == nullptr || !readOk) return RoundTripStage::NothingDecoded;
  if (decodedPixels(*trip.source, squarePictures) > kRoundTripPixelBudget) {
    return RoundTripStage::NothingDecoded;
  }
  trip.first = own(trip.source->decode(0));
  if (trip.first == nullptr || trip.first->getCount() == 0) return RoundTripStage::NothingDecoded;

  trip.encoded = own(trip.source->encodeSetLike(trip.first.get()));
  if (trip.encoded == nullptr) return RoundTripStage::NotEncoded;
  auto out = s::thread::obtainOwned<s::io::ByteArrayOutputStream>();
  require(out != nullptr);
  require(trip.encoded->write(*out));
  trip.written = out->takeBytes();
  if (trip.written.size() > kHeaderSize) {
    require(s::image::matchSignature(trip.written.data(), kHeaderSize,
                                     static_cast<std::int64_t>(trip.written.size())) == format);
  }

  trip.reread = own(s::image::createCodec(format));
  auto in = s::thread::obtainOwned<s::io::ByteArrayInputStream>();
  require(trip.reread != nullptr && in != nullptr);
  in->open(trip.written.data(), trip.written.size());
  require(trip.reread->read(*in));
  require(trip.reread->getProblem().empty());
  trip.second = own(trip.reread->decode(0));
  require(trip.second != nullptr);
  return RoundTripStage::Done;
}

void requireSameShapes(const BufferedImageSet& first, const BufferedImageSet& second) {
  require(second.getCount() == first.getCount());
  for (std::int32_t i = 0; i < first.getCount(); ++i) {
    require(second.get(i)->getWidth() == first.get(i)->getWidth());
    require(second.get(i)->getHeight() == first.get(i)->getHeight());
  }
}

void requireExactPixels(BufferedImage& expected, BufferedImage& actual) {
  require(expected.getWidth() == actual.getWidth() && expected.getHeight() == actual.getHeight());
  const auto rowBytes = static_cast<std::size_t>(expected.getWidth()) * 4;
  for (std::int32_t y = 0; y < expected.getHeight(); ++y)
    require(std::memcmp(expected.getRow(y), actual.getRow(y), rowBytes) == 0);
}

void requireColourWhereVisible(BufferedImage& expected, BufferedImage& actual) {
  require(expected.getWidth() == actual.getWidth() && expected.getHeight() == actual.getHeight());
  for (std::int32_t y = 0; y < expected.getHeight(); ++y) {
    const std::uint8_t* e = expected.getRow(y);
    const std::uint8_t* a = actual.getRow(y);
    for (std::int32_t x = 0; x < expected.getWidth(); ++x, e += 4, a += 4) {
      require(e[3] == a[3]);
      if (e[3] != 0) require(std::memcmp(e, a, 3) == 0);
    }
  }
}

std::int32_t countVisibleColours(BufferedImage& picture, std::int32_t limit) {
  std::unordered_set<std::uint32_t> colours;
  for (std::int32_t y = 0; y < picture.getHeight(); ++y) {
    const std::uint8_t* p = picture.getRow(y);
    for (std::int32_t x = 0; x < picture.getWidth(); ++x, p += 4) {
      if (p[3] == 0) continue;
      colours.insert(static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16));
      if (static_cast<std::int32_t>(colours.size()) > limit) return limit + 1;
    }
  }
  return static_cast<std::int32_t>(colours.size());
}

}  // namespace tintery::fuzz
