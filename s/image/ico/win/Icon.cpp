#include "s/image/ico/win/Icon.h"

#include "s/archive/icon/Archive.h"
#include "s/image/ImageLimits.h"
#include "s/image/ico/EncodeSetting.h"
#include "s/image/ico/win/IconImage.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/io/ByteArrayStreams.h"

namespace s::image::ico::win {

using archive::icon::Archive;
using image::win::BufferedImage;
using image::win::BufferedImageSet;

void Icon::clear() {
  for (IconImage* entry : entries_)
    entry->recycle();
  entries_.clear();
  forgetProblem();
}

std::int32_t Icon::getWidth() const {
  return entries_.empty() ? 0 : entries_[0]->getWidth();
}
std::int32_t Icon::getHeight() const {
  return entries_.empty() ? 0 : entries_[0]->getHeight();
}

IIconImage* Icon::get(std::int32_t index) {
  return entries_[index];
}

void Icon::add(IIconImage* entry) {
  entries_.push_back(static_cast<IconImage*>(entry));
}

EntryShape Icon::shapeOf(std::int32_t index) const {
  const IconImage& entry = *entries_[index];
  return {entry.getWidth(), entry.getHeight(), entry.getBitCount()};
}

bool Icon::read(io::IInputStream& stream) {
  clear();
  auto archive = thread::obtainOwned<Archive>();
  if (archive == nullptr || !archive->readDirectory(stream)) {
    noteProblem("damaged icon directory");
    return false;
  }
  // The entry nearest to 32 x 32 at 32 bits by its directory values goes
  // first, then the others in directory order.
  const auto directoryShape = [&archive](std::int32_t i) {
    auto& entry = archive->get(i);
    return EntryShape{entry.width(), entry.height(), entry.bitCount()};
  };
  std::int32_t first = 0;
  findNearestEntry(Nearest::Size, archive->getCount(), directoryShape, 32, 32, 32, first);
  std::vector<std::int32_t> order;
  if (archive->getCount() > 0) order.push_back(first);
  for (std::int32_t i = 0; i < archive->getCount(); ++i) {
    if (i != first) order.push_back(i);
  }
  // The pictures of one file together stay within the pixel limit: the
  // entries' own headers are added up before any picture is allocated. An
  // entry too large by itself is left out below like a damaged one.
  std::int64_t pixels = 0;
  bool entryTooLarge = false;
  for (std::int32_t i = 0; i < archive->getCount(); ++i) {
    if (!archive->load(i)) continue;
    const auto& data = archive->get(i).data;
    std::int64_t width = 0;
    std::int64_t height = 0;
    IconImage::declaredSize(data.data(), data.size(), width, height);
    if (isAcceptableSize(width, height)) {
      pixels += width * height;
    } else if (width > 0 && height > 0) {
      entryTooLarge = true;
    }
  }
  if (pixels > kMaxPixels) {
    noteProblem(kTooLargeProblem);
    return false;
  }
  for (std::int32_t i : order) {
    auto entry = thread::own(IconImage::obtain());
    if (entry == nullptr) break;
    auto& data = archive->get(i).data;
    if (archive->load(i) && entry->readFrom(data.data(), data.size())) {
      entries_.push_back(entry.release());
    } else {
      noteProblem("a damaged picture was left out");
    }
  }
  if (entries_.empty()) {
    forgetProblem();
    noteProblem(entryTooLarge ? kTooLargeProblem : "the icon holds no readable picture");
    return false;
  }
  return true;
}

bool Icon::write(io::IOutputStream& stream) {
  auto archive = thread::obtainOwned<Archive>();
  auto buffer = thread::obtainOwned<io::ByteArrayOutputStream>();
  if (archive == nullptr || buffer == nullptr || entries_.empty()) return false;
  for (IconImage* image : entries_) {
    auto& entry = archive->add();
    const std::int32_t bits = image->getBitCount();
    entry.directory[0] = static_cast<std::uint8_t>(image->getWidth() < 256 ? image->getWidth() : 0);
    entry.directory[1] =
        static_cast<std::uint8_t>(image->getHeight() < 256 ? image->getHeight() : 0);
    entry.directory[2] = static_cast<std::uint8_t>(bits < 8 ? 1 << bits : 0);
    entry.directory[4] = 1;
    entry.directory[6] = static_cast<std::uint8_t>(bits);
    buffer->clear();
    if (!image->write(*buffer)) return false;
    entry.data = buffer->takeBytes();
  }
  return archive->write(stream);
}

BufferedImage* Icon::decodeImage(std::int32_t index, IBufferedImage* target) {
  if (index < 0 || index >= getImageCount()) return nullptr;
  return entries_[index]->decodeImage(0, target);
}

BufferedImageSet* Icon::decode(std::int32_t) {
  BufferedImageSet* set = BufferedImageSet::obtain();
  if (set == nullptr) return nullptr;
  for (IconImage* entry : entries_) {
    if (BufferedImage* picture = entry->decodeImage(0, nullptr)) {
      set->add(picture, entry->getBitCount(), 0, 0);
    }
  }
  return set;
}

IEncodedImage* Icon::encodeSetLike(IBufferedImageSet* set) {
  auto setting = thread::obtainOwned<EncodeSetting>();
  if (setting == nullptr || set == nullptr) return nullptr;
  setting->keepTransparency = 1;
  setting->keepRatio = 0;
  for (IconImage* entry : entries_) {
    setting->layout.add(entry->getWidth() * 65536 + entry->getBitCount());
  }
  return setting->createFromSet(set);
}

IEncodedImage* Icon::encodeLike(IBufferedImage* image) {
  auto setting = thread::obtainOwned<EncodeSetting>();
  return setting == nullptr ? nullptr : setting->createFromImage(image);
}

bool Icon::find(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                std::int32_t& index) {
  return findExactEntry(
      getImageCount(), [this](std::int32_t i) { return shapeOf(i); }, width, height, bitsPerPixel,
      index);
}

bool Icon::findNearestDepth(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                            std::int32_t& index) {
  return findNearestEntry(
      Nearest::Depth, getImageCount(), [this](std::int32_t i) { return shapeOf(i); }, width, height,
      bitsPerPixel, index);
}

bool Icon::findNearestSize(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                           std::int32_t& index) {
  return findNearestEntry(
      Nearest::Size, getImageCount(), [this](std::int32_t i) { return shapeOf(i); }, width, height,
      bitsPerPixel, index);
}

}  // namespace s::image::ico::win
