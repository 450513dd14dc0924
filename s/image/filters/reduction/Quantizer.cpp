#include "s/image/filters/reduction/Quantizer.h"

#include <algorithm>
#include <new>

#include "s/image/IBufferedImage.h"

namespace s::image::filters::reduction {

// Level L of the tree (0 at the root) splits on bit 7 - L of each channel;
// nodes at depth 8 hold one exact colour and are always leaves. An inner node
// becomes a leaf when it is reduced: it takes over its children's pixels.
//
// Sums and counts are 64-bit so that a large picture of one colour cannot
// overflow its leaf.
struct Quantizer::Node {
  bool isLeaf = false;
  std::uint64_t pixelCount = 0;
  std::uint64_t sumRed = 0;
  std::uint64_t sumGreen = 0;
  std::uint64_t sumBlue = 0;
  std::array<Node*, 8> children{};
  // The next node of the same level's reducible list (or of the spare list).
  Node* nextReducible = nullptr;
};

namespace {

constexpr int kLeafLevel = 8;
// The leaf limit while building. Pictures asked for fewer colours still keep
// up to 16 leaves and merge them afterwards: a tree cut down to two or three
// leaves would split the colours only on their top bits.
constexpr std::uint32_t kMinLeafLimit = 16;

int childIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue, int level) {
  const unsigned mask = 0x80u >> level;
  return ((red & mask) != 0 ? 4 : 0) + ((green & mask) != 0 ? 2 : 0) + ((blue & mask) != 0 ? 1 : 0);
}

std::uint32_t packColor(std::uint64_t red, std::uint64_t green, std::uint64_t blue) {
  return static_cast<std::uint32_t>(red << 16 | green << 8 | blue);
}

}  // namespace

Quantizer::~Quantizer() {
  freeNodes();
}

void Quantizer::clear() {
  freeNodes();
  leafCount_ = 0;
  reducible_.fill(nullptr);
  palette_.fill(0);
  colorCount_ = 0;
  requestedColors_ = 16;
}

void Quantizer::deleteTree(Node* node) {
  if (node == nullptr) return;
  for (Node* child : node->children)
    deleteTree(child);
  delete node;
}

void Quantizer::freeNodes() {
  deleteTree(root_);
  root_ = nullptr;
  while (spare_ != nullptr) {
    Node* next = spare_->nextReducible;
    delete spare_;
    spare_ = next;
  }
}

Quantizer::Node* Quantizer::newNode() {
  if (spare_ == nullptr) return new (std::nothrow) Node{};
  Node* node = spare_;
  spare_ = node->nextReducible;
  *node = Node{};
  return node;
}

void Quantizer::releaseNode(Node* node) {
  node->nextReducible = spare_;
  spare_ = node;
}

bool Quantizer::build(IBufferedImage& image, std::int32_t maxColors) {
  clear();
  requestedColors_ = std::clamp(maxColors, 1, MAX_COLORS);
  const std::uint32_t limit = std::max(static_cast<std::uint32_t>(requestedColors_), kMinLeafLimit);
  const std::int32_t width = image.getWidth();
  const std::int32_t height = image.getHeight();
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* pixel = image.getRow(y);
    for (std::int32_t x = 0; x < width; ++x, pixel += 4) {
      if (pixel[3] == 0) continue;
      if (!insert(pixel[2], pixel[1], pixel[0])) {
        clear();
        return false;
      }
      // Enforced after every pixel, so the tree never holds more than
      // limit + 1 leaves whatever the size of the picture.
      while (leafCount_ > limit && reduce()) {
      }
    }
  }
  makePalette();
  return true;
}

bool Quantizer::insert(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  Node** slot = &root_;
  for (int level = 0;; ++level) {
    Node* node = *slot;
    if (node == nullptr) {
      node = newNode();
      if (node == nullptr) return false;
      *slot = node;
      if (level == kLeafLevel) {
        node->isLeaf = true;
        ++leafCount_;
      } else {
        node->nextReducible = reducible_[level];
        reducible_[level] = node;
      }
    }
    if (node->isLeaf) {
      ++node->pixelCount;
      node->sumRed += red;
      node->sumGreen += green;
      node->sumBlue += blue;
      return true;
    }
    slot = &node->children[childIndex(red, green, blue, level)];
  }
}

// Merges the newest inner node of the deepest level that has one: the finest
// split goes first, and that node's children are all leaves (an inner child
// would still sit on a deeper, non-empty list), so a reduction costs at most
// eight children.
bool Quantizer::reduce() {
  int level = kLeafLevel - 1;
  while (level > 0 && reducible_[level] == nullptr)
    --level;
  Node* node = reducible_[level];
  if (node == nullptr) return false;
  reducible_[level] = node->nextReducible;
  node->nextReducible = nullptr;
  std::uint32_t merged = 0;
  for (Node*& child : node->children) {
    if (child == nullptr) continue;
    node->pixelCount += child->pixelCount;
    node->sumRed += child->sumRed;
    node->sumGreen += child->sumGreen;
    node->sumBlue += child->sumBlue;
    releaseNode(child);
    child = nullptr;
    ++merged;
  }
  node->isLeaf = true;
  leafCount_ = leafCount_ + 1 - merged;
  return true;
}

// A leaf's mean colour and its weight.
struct Quantizer::Leaf {
  std::uint64_t red, green, blue, pixelCount;
};

// Leaves depth-first, children in index order.
void Quantizer::collectLeaves(const Node* node, Leaf* leaves, std::uint32_t& count) {
  if (node == nullptr) return;
  if (node->isLeaf) {
    const std::uint64_t n = node->pixelCount;
    leaves[count++] = {node->sumRed / n, node->sumGreen / n, node->sumBlue / n, n};
    return;
  }
  for (const Node* child : node->children)
    collectLeaves(child, leaves, count);
}

void Quantizer::makePalette() {
  // At most max(requestedColors, 16) <= 256 leaves remain after building.
  std::array<Leaf, MAX_COLORS> leaves;
  std::uint32_t n = 0;
  collectLeaves(root_, leaves.data(), n);
  const auto k = static_cast<std::uint32_t>(requestedColors_);
  if (n <= k) {
    for (std::uint32_t i = 0; i < n; ++i) {
      palette_[i] = packColor(leaves[i].red, leaves[i].green, leaves[i].blue);
    }
    colorCount_ = static_cast<std::int32_t>(n);
    return;
  }
  // Fewer than 16 colours asked for: merge the (up to 16) leaves in tree
  // order into k runs of neighbours, each weighted by its pixel count.
  for (std::uint32_t d = 0; d < k; ++d) {
    std::uint64_t red = 0, green = 0, blue = 0, pixels = 0;
    for (std::uint32_t i = n * d / k; i < n * (d + 1) / k; ++i) {
      red += leaves[i].red * leaves[i].pixelCount;
      green += leaves[i].green * leaves[i].pixelCount;
      blue += leaves[i].blue * leaves[i].pixelCount;
      pixels += leaves[i].pixelCount;
    }
    palette_[d] = packColor(red / pixels, green / pixels, blue / pixels);
  }
  colorCount_ = static_cast<std::int32_t>(k);
}

// The first entry at the smallest squared distance; 200000 exceeds any
// distance in the colour cube (3 x 255^2).
std::int32_t Quantizer::nearest(std::int32_t red, std::int32_t green, std::int32_t blue) const {
  std::int32_t best = 0;
  std::int32_t bestDistance = 200000;
  for (std::int32_t i = 0; i < colorCount_; ++i) {
    const std::uint32_t entry = palette_[i];
    const std::int32_t dr = red - static_cast<std::int32_t>(entry >> 16 & 0xFF);
    const std::int32_t dg = green - static_cast<std::int32_t>(entry >> 8 & 0xFF);
    const std::int32_t db = blue - static_cast<std::int32_t>(entry & 0xFF);
    const std::int32_t distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
      if (distance == 0) break;
    }
  }
  return best;
}

void Quantizer::mapRow(const std::uint8_t* pixels, std::int32_t width, std::uint8_t* output,
                       std::int32_t bitsPerIndex) const {
  if (bitsPerIndex != 8 && bitsPerIndex != 4) return;
  // Runs of one colour are common in pictures headed for a palette, so the
  // last opaque colour's index is remembered; it is the search's own result.
  std::uint32_t lastColor = 0;
  std::int32_t lastIndex = -1;
  auto indexOf = [&](std::int32_t x) {
    const std::uint8_t* pixel = pixels + static_cast<std::int64_t>(x) * 4;
    if (pixel[3] != 255) return requestedColors_;
    const std::uint32_t color = packColor(pixel[2], pixel[1], pixel[0]);
    if (lastIndex < 0 || color != lastColor) {
      lastColor = color;
      lastIndex = nearest(pixel[2], pixel[1], pixel[0]);
    }
    return lastIndex;
  };
  if (bitsPerIndex == 8) {
    for (std::int32_t x = 0; x < width; ++x)
      output[x] = static_cast<std::uint8_t>(indexOf(x));
    return;
  }
  for (std::int32_t x = 0; x < width; x += 2) {
    const std::int32_t high = indexOf(x) & 0x0F;
    const std::int32_t low = x + 1 < width ? indexOf(x + 1) & 0x0F : 0;
    output[x / 2] = static_cast<std::uint8_t>(high << 4 | low);
  }
}

}  // namespace s::image::filters::reduction
