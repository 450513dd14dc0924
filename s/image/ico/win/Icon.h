#pragma once

#include <cstdint>
#include <vector>

#include "s/image/EncodedImage.h"
#include "s/image/NearestEntry.h"
#include "s/image/ico/IIcon.h"
#include "s/thread/Pool.h"

namespace s::image::ico::win {

class IconImage;

// An icon file: its entries, the one nearest to 32 x 32 at 32 bits first and
// then the others in directory order. Entries that are damaged or point
// outside the file are left out; the others are kept.
class Icon final : public thread::PooledObject<Icon, EncodedImage<IIcon>> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_ico_win_Icon";

  Icon() { clear(); }
  ~Icon() override { clear(); }
  Icon(const Icon&) = delete;
  Icon& operator=(const Icon&) = delete;
  void clear() override;

  // The first entry's size (0 when there is none).
  std::int32_t getWidth() const override;
  std::int32_t getHeight() const override;

  const char16_t* getExtension() const override { return u".ico"; }
  image::win::BufferedImage* decodeImage(std::int32_t index, IBufferedImage* target) override;
  // One 32-bit picture per entry, in entry order, with the entry's depth.
  image::win::BufferedImageSet* decode(std::int32_t index) override;
  bool write(io::IOutputStream& stream) override;
  bool read(io::IInputStream& stream) override;
  bool isMultiImage() const override { return entries_.size() > 1; }
  std::int32_t getImageCount() const override { return static_cast<std::int32_t>(entries_.size()); }
  // Every picture of set as an entry of the size and depth of this icon's
  // entry at the same position.
  IEncodedImage* encodeSetLike(IBufferedImageSet* set) override;
  // Nothing: an icon needs its list of sizes.
  IEncodedImage* encodeLike(IBufferedImage* image) override;
  bool find(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
            std::int32_t& index) override;
  bool findNearestDepth(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                        std::int32_t& index) override;
  bool findNearestSize(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                       std::int32_t& index) override;

  IIconImage* get(std::int32_t index) override;
  void add(IIconImage* entry) override;

 private:
  EntryShape shapeOf(std::int32_t index) const;

  std::vector<IconImage*> entries_;
};

}  // namespace s::image::ico::win
