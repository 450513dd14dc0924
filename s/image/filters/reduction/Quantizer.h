#pragma once

#include <array>
#include <cstdint>

#include "s/base/IObject.h"
#include "s/thread/Pool.h"

namespace s::image {
class IBufferedImage;
}

namespace s::image::filters::reduction {

// Octree colour quantizer for the palette writers (BMP at 4 and 8 bits, GIF,
// icons). `build` reduces a 32-bit picture to at most maxColors palette
// entries; `mapRow` then gives every pixel the nearest entry, without
// dithering. Pixels that are not fully opaque take the reserved index
// getRequestedColors(), just past the palette, which the GIF and icon writers
// use as their transparent index.
//
// Use: obtain, build once, copy the palette, mapRow for each row, recycle.
class Quantizer final : public thread::PooledObject<Quantizer> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_filters_reduction_Quantizer";
  static constexpr std::int32_t MAX_COLORS = 256;

  Quantizer() { clear(); }
  ~Quantizer() override;
  Quantizer(const Quantizer&) = delete;
  Quantizer& operator=(const Quantizer&) = delete;

  // Frees the tree; palette all zero, no colours, 16 requested.
  void clear() override;

  // Builds the palette of `image` (maxColors is clamped to 1..256). Starts
  // from a reset, so a quantizer can be reused. False only when memory for
  // the tree cannot be had; the quantizer is then reset (no colours) and the
  // picture cannot be written with a palette.
  bool build(IBufferedImage& image, std::int32_t maxColors);

  // 256 entries 0x00RRGGBB; those from getColorCount() on are 0.
  const std::uint32_t* getPalette() const { return palette_.data(); }
  std::int32_t getColorCount() const { return colorCount_; }
  // The maxColors of the last build, also the index of non-opaque pixels.
  std::int32_t getRequestedColors() const { return requestedColors_; }

  // Writes the palette index of each of `width` pixels (blue, green, red,
  // alpha) to `output`: with 8 bits one byte per pixel, with 4 bits two per
  // byte, left pixel in the high nibble and an odd last pixel leaving the low
  // nibble 0. An index too large for its field keeps only its low bits (the
  // reserved index 256 becomes 0 in a byte, 16 becomes 0 in a nibble). Other
  // widths of index write nothing.
  void mapRow(const std::uint8_t* pixels, std::int32_t width, std::uint8_t* output,
              std::int32_t bitsPerIndex) const;

 private:
  struct Node;
  struct Leaf;

  static void deleteTree(Node* node);
  static void collectLeaves(const Node* node, Leaf* leaves, std::uint32_t& count);
  Node* newNode();
  void releaseNode(Node* node);
  void freeNodes();
  bool insert(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  bool reduce();
  void makePalette();
  std::int32_t nearest(std::int32_t red, std::int32_t green, std::int32_t blue) const;

  Node* root_ = nullptr;
  std::uint32_t leafCount_ = 0;
  // Inner nodes of each tree level, newest first.
  std::array<Node*, 8> reducible_{};
  std::array<std::uint32_t, MAX_COLORS> palette_{};
  std::int32_t colorCount_ = 0;
  std::int32_t requestedColors_ = 16;
  // Nodes freed by reductions, kept for the next insertions of this build.
  Node* spare_ = nullptr;
};

}  // namespace s::image::filters::reduction
