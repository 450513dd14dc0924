// Reading the GIF file format (GIF87a and GIF89a).

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "s/image/ImageLimits.h"
#include "s/image/gif/win/Gif.h"
#include "s/io/ByteReader.h"
#include "s/io/IInputStream.h"

namespace s::image::gif::win {

namespace {

constexpr std::uint8_t kExtensionIntroducer = 0x21;
constexpr std::uint8_t kImageSeparator = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;
constexpr std::uint8_t kGraphicControlLabel = 0xF9;
constexpr std::uint8_t kApplicationLabel = 0xFF;
constexpr std::size_t kHeaderSize = 13;
constexpr std::size_t kDescriptorSize = 9;
constexpr std::uint8_t kColorTableFlag = 0x80;
constexpr std::uint8_t kInterlaceFlag = 0x40;

// The loop extension's identifiers: the usual one and an older alias.
constexpr char kLoopIdentifier[] = "NETSCAPE2.0";
constexpr char kLoopIdentifierAlias[] = "ANIMEXTS1.0";
constexpr std::size_t kIdentifierSize = 11;

// A frame's code stream never needs more than 12 bits for each pixel, with
// a clear code every few thousand codes; anything past twice the pixel
// count (and a little more for tiny frames) cannot be picture data.
std::size_t compressedLimit(std::int64_t pixels) {
  return static_cast<std::size_t>(2 * pixels + 1024);
}

// The bytes of a stream in order, through a buffer; never past the end.
class ByteInput {
 public:
  explicit ByteInput(io::IInputStream& stream) : stream_(stream), buffer_(65536) {}

  // The next byte, or -1 at the end of the data.
  std::int32_t byte() {
    if (position_ == length_ && !refill()) return -1;
    return buffer_[position_++];
  }

  // Up to count bytes into out; returns how many arrived.
  std::size_t read(std::uint8_t* out, std::size_t count) {
    std::size_t got = 0;
    while (got < count) {
      if (position_ == length_ && !refill()) break;
      const std::size_t chunk = std::min(count - got, length_ - position_);
      std::memcpy(out + got, &buffer_[position_], chunk);
      position_ += chunk;
      got += chunk;
    }
    return got;
  }

  // Data sub-blocks (a length byte 1..255 and that many bytes each) up to
  // and including the empty block that ends them. visit(bytes, size) sees
  // each block. False when the data ends first.
  template <class Visit>
  bool subBlocks(Visit visit) {
    std::array<std::uint8_t, 255> block;
    while (true) {
      const std::int32_t size = byte();
      if (size < 0) return false;
      if (size == 0) return true;
      const std::size_t got = read(block.data(), static_cast<std::size_t>(size));
      visit(block.data(), got);
      if (got < static_cast<std::size_t>(size)) return false;
    }
  }
  bool skipSubBlocks() {
    return subBlocks([](const std::uint8_t*, std::size_t) {});
  }

 private:
  bool refill() {
    if (ended_) return false;
    length_ = stream_.readFully(buffer_.data(), buffer_.size());
    position_ = 0;
    ended_ = length_ == 0;
    return !ended_;
  }

  io::IInputStream& stream_;
  std::vector<std::uint8_t> buffer_;
  std::size_t position_ = 0;
  std::size_t length_ = 0;
  bool ended_ = false;
};

// A colour table as the file holds it: (red, green, blue) per entry.
struct ColorTable {
  std::array<std::uint8_t, 256 * 3> rgb{};
  std::int32_t count = 0;
  std::int32_t bits = 0;
};

}  // namespace

// Parses a GIF stream block by block into a Gif. Damage ends the reading
// with the frames read so far kept.
class GifReader {
 public:
  // Measuring walks the blocks without decoding or keeping any frame, to
  // learn how many pixels the decoded file would hold.
  enum class Pass { Measure, Read };

  GifReader(Gif& gif, io::IInputStream& stream, Pass pass)
      : gif_(gif), in_(stream), measuring_(pass == Pass::Measure) {}

  // Reads the file into the Gif (or, measuring, only counts); false when no
  // frame could be kept.
  bool read();
  // After a measuring pass: false when the decoded file would exceed the
  // pixel limit.
  bool fitsLimit() const { return !tooLarge_; }

 private:
  // Whether reading goes on after a block.
  enum class Next { Continue, Stop };

  Next truncated() {
    gif_.noteProblem("truncated file");
    return Next::Stop;
  }
  bool readHeader();
  bool readColorTable(std::uint8_t packed, ColorTable& table);
  Next readExtension();
  Next readImage();
  // Places the first frame: the screen is the logical screen when that
  // holds the frame's size, else the frame's own size with the frame at
  // (0, 0), as browsers show such files.
  bool placeFirstFrame(std::int32_t width, std::int32_t height, std::int32_t& left,
                       std::int32_t& top);
  Next keepFrame(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                 std::uint8_t packed, std::int32_t codeSize, const ColorTable& table,
                 std::int64_t held);

  // The decoded file would hold more pixels than any file may: nothing is
  // kept.
  Next refuseTooLarge() {
    tooLarge_ = true;
    gif_.frames_.clear();
    gif_.noteProblem(kTooLargeProblem);
    return Next::Stop;
  }

  Gif& gif_;
  ByteInput in_;
  const bool measuring_;
  bool tooLarge_ = false;
  std::int32_t framesSeen_ = 0;
  std::int32_t logicalWidth_ = 0;
  std::int32_t logicalHeight_ = 0;
  bool hasGlobalTable_ = false;
  ColorTable globalTable_;
  ColorTable greyRamp_;
  // The last graphic control extension, until an image uses it.
  bool controlPending_ = false;
  std::uint8_t controlPacked_ = 0;
  std::int32_t controlDelay_ = 0;
  std::int32_t controlIndex_ = 0;
  // Pixels held by the frames kept, each counted at least as the screen,
  // since every frame becomes one whole screen when decoded.
  std::int64_t pixelsHeld_ = 0;
};

bool GifReader::readHeader() {
  std::array<std::uint8_t, kHeaderSize> header{};
  const std::size_t got = in_.read(header.data(), header.size());
  if (got < 3) {
    gif_.noteProblem("not a GIF file (too short)");
    return false;
  }
  if (std::memcmp(header.data(), "GIF", 3) != 0) {
    gif_.noteProblem("not a GIF file");
    return false;
  }
  if (got < kHeaderSize) {
    truncated();
    return false;
  }
  // GIF89a, 18. Logical Screen Descriptor.
  logicalWidth_ = io::ByteReader::loadLe16(&header[6]);
  logicalHeight_ = io::ByteReader::loadLe16(&header[8]);
  const std::uint8_t packed = header[10];
  for (std::int32_t i = 0; i < 256; ++i) {
    greyRamp_.rgb[i * 3] = greyRamp_.rgb[i * 3 + 1] = greyRamp_.rgb[i * 3 + 2] =
        static_cast<std::uint8_t>(i);
  }
  greyRamp_.count = 256;
  greyRamp_.bits = 8;
  hasGlobalTable_ = (packed & kColorTableFlag) != 0;
  if (hasGlobalTable_ && !readColorTable(packed, globalTable_)) {
    truncated();
    return false;
  }
  return true;
}

bool GifReader::readColorTable(std::uint8_t packed, ColorTable& table) {
  table.bits = (packed & 7) + 1;
  table.count = 1 << table.bits;
  const auto bytes = static_cast<std::size_t>(table.count) * 3;
  return in_.read(table.rgb.data(), bytes) == bytes;
}

GifReader::Next GifReader::readExtension() {
  const std::int32_t label = in_.byte();
  if (label < 0) return truncated();
  std::int32_t block = 0;
  bool loopExtension = false;
  const bool complete = in_.subBlocks([&](const std::uint8_t* data, std::size_t size) {
    if (label == kGraphicControlLabel && block == 0 && size >= 4) {
      // GIF89a, 23. Graphic Control Extension: packed fields, delay in
      // hundredths of a second, transparent colour index.
      controlPending_ = true;
      controlPacked_ = data[0];
      controlDelay_ = io::ByteReader::loadLe16(data + 1);
      controlIndex_ = data[3];
    } else if (label == kApplicationLabel && block == 0) {
      loopExtension = size == kIdentifierSize &&
                      (std::memcmp(data, kLoopIdentifier, kIdentifierSize) == 0 ||
                       std::memcmp(data, kLoopIdentifierAlias, kIdentifierSize) == 0);
    } else if (loopExtension && size >= 3 && data[0] == 1) {
      // Sub-block 1 of the loop extension: the repeat count (0 for ever).
      // A later loop extension replaces an earlier one.
      gif_.loopCount_ = io::ByteReader::loadLe16(data + 1);
    }
    ++block;
  });
  return complete ? Next::Continue : truncated();
}

bool GifReader::placeFirstFrame(std::int32_t width, std::int32_t height, std::int32_t& left,
                                std::int32_t& top) {
  std::int32_t screenWidth = logicalWidth_;
  std::int32_t screenHeight = logicalHeight_;
  if (screenWidth < width || screenHeight < height) {
    screenWidth = width;
    screenHeight = height;
    left = top = 0;
  }
  if (!isAcceptableSize(screenWidth, screenHeight)) return false;
  gif_.screenWidth_ = screenWidth;
  gif_.screenHeight_ = screenHeight;
  return true;
}

GifReader::Next GifReader::readImage() {
  // GIF89a, 20. Image Descriptor.
  std::array<std::uint8_t, kDescriptorSize> descriptor{};
  if (in_.read(descriptor.data(), descriptor.size()) != descriptor.size()) return truncated();
  std::int32_t left = io::ByteReader::loadLe16(&descriptor[0]);
  std::int32_t top = io::ByteReader::loadLe16(&descriptor[2]);
  const std::int32_t width = io::ByteReader::loadLe16(&descriptor[4]);
  const std::int32_t height = io::ByteReader::loadLe16(&descriptor[6]);
  const std::uint8_t packed = descriptor[8];
  ColorTable localTable;
  if ((packed & kColorTableFlag) != 0 && !readColorTable(packed, localTable)) return truncated();
  const ColorTable& table = (packed & kColorTableFlag) != 0 ? localTable
                            : hasGlobalTable_               ? globalTable_
                                                            : greyRamp_;
  const std::int32_t codeSize = in_.byte();
  if (codeSize < 0) return truncated();

  // Frames that cannot be kept are passed over, data and all.
  const char* skipped = nullptr;
  if (width == 0 || height == 0) {
    skipped = "frame of zero size skipped";
  } else if (!isAcceptableSize(width, height)) {
    skipped = "frame too large";
  } else if (codeSize < kLzwMinCodeSize || codeSize > kLzwMaxCodeSize) {
    skipped = "damaged image data";
  } else if (framesSeen_ == 0 && !placeFirstFrame(width, height, left, top)) {
    return refuseTooLarge();
  }
  if (skipped != nullptr) {
    gif_.noteProblem(skipped);
    controlPending_ = false;
    return in_.skipSubBlocks() ? Next::Continue : truncated();
  }
  ++framesSeen_;
  // Every frame kept becomes one whole screen when decoded, and holds its
  // own indices until then.
  const std::int64_t held =
      std::max(static_cast<std::int64_t>(width) * height,
               static_cast<std::int64_t>(gif_.screenWidth_) * gif_.screenHeight_);
  if (pixelsHeld_ + held > kMaxPixels) return refuseTooLarge();
  if (measuring_) {
    pixelsHeld_ += held;
    controlPending_ = false;
    return in_.skipSubBlocks() ? Next::Continue : truncated();
  }
  return keepFrame(left, top, width, height, packed, codeSize, table, held);
}

GifReader::Next GifReader::keepFrame(std::int32_t left, std::int32_t top, std::int32_t width,
                                     std::int32_t height, std::uint8_t packed,
                                     std::int32_t codeSize, const ColorTable& table,
                                     std::int64_t held) {
  const std::int64_t pixels = static_cast<std::int64_t>(width) * height;

  std::vector<std::uint8_t>& data = gif_.compressed_;
  data.clear();
  const std::size_t limit = compressedLimit(pixels);
  const bool complete = in_.subBlocks([&](const std::uint8_t* bytes, std::size_t size) {
    data.insert(data.end(), bytes, bytes + std::min(size, limit - std::min(limit, data.size())));
  });

  Gif::Frame frame;
  frame.bitmap = thread::own(bmp::win::Bitmap::obtain());
  if (frame.bitmap == nullptr || !frame.bitmap->createBitmap(width, height, 8)) {
    gif_.noteProblem("not enough memory for the picture");
    return Next::Stop;
  }
  std::uint8_t* entries = frame.bitmap->getColorTable();
  for (std::int32_t i = 0; i < 256; ++i) {
    const bool present = i < table.count;
    entries[i * 4 + 0] = present ? table.rgb[i * 3 + 2] : 0;
    entries[i * 4 + 1] = present ? table.rgb[i * 3 + 1] : 0;
    entries[i * 4 + 2] = present ? table.rgb[i * 3 + 0] : 0;
    entries[i * 4 + 3] = 0;
  }
  frame.interlaced = (packed & kInterlaceFlag) != 0;
  const IndexRows rows{frame.bitmap->getRow(0),
                       -static_cast<std::ptrdiff_t>(frame.bitmap->getStride()), width, height};
  const LzwResult decoded = decodeLzw(codeSize, data.data(), data.size(), rows, frame.interlaced);
  frame.filledPixels = decoded.pixels;
  frame.left = left;
  frame.top = top;
  if (controlPending_) {
    frame.transparentIndex = (controlPacked_ & 1) != 0 ? controlIndex_ : -1;
    frame.disposal = (controlPacked_ >> 2) & 7;
    frame.delay = controlDelay_ * 10;
    controlPending_ = false;
  }

  if (!complete) {
    // A frame cut short keeps the rows it has; one with none is dropped.
    truncated();
    if (decoded.pixels == 0) return Next::Stop;
  } else if (decoded.end == LzwEnd::BadCode) {
    gif_.noteProblem("damaged image data");
  } else if (decoded.end != LzwEnd::Complete) {
    gif_.noteProblem("image data ends early");
  }
  pixelsHeld_ += held;
  gif_.bitsPerPixel_ = std::max(gif_.bitsPerPixel_, table.bits);
  gif_.frames_.push_back(std::move(frame));
  return complete ? Next::Continue : Next::Stop;
}

bool GifReader::read() {
  if (!readHeader()) return false;
  bool trailer = false;
  Next next = Next::Continue;
  while (next == Next::Continue && !trailer) {
    const std::int32_t introducer = in_.byte();
    if (introducer < 0) {
      gif_.noteProblem("truncated file (no trailer)");
      break;
    }
    switch (introducer) {
      case kExtensionIntroducer:
        next = readExtension();
        break;
      case kImageSeparator:
        next = readImage();
        break;
      case kTrailer:
        trailer = true;
        break;
      default:
        // Stray bytes between blocks are passed over.
        break;
    }
  }
  if (measuring_) return framesSeen_ > 0 && !tooLarge_;
  if (gif_.frames_.empty()) {
    gif_.noteProblem("no image in the file");
    return false;
  }
  return true;
}

bool Gif::read(io::IInputStream& stream) {
  clear();
  // A file whose decoded frames would exceed the pixel limit is refused
  // before any frame is allocated: a first pass over the blocks counts
  // them. A stream that cannot go back is read in one pass, which refuses
  // the file as soon as the frames kept reach the limit.
  const std::int64_t start = stream.getPosition();
  if (start >= 0) {
    GifReader measure(*this, stream, GifReader::Pass::Measure);
    measure.read();
    if (!measure.fitsLimit()) return false;
    clear();
    if (!stream.seekTo(start)) {
      noteProblem("cannot read the file");
      return false;
    }
  }
  return GifReader(*this, stream, GifReader::Pass::Read).read();
}

}  // namespace s::image::gif::win
