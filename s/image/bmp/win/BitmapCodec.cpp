// Reading and writing the BMP file format.

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "s/image/ImageLimits.h"
#include "s/image/bmp/win/Bitmap.h"
#include "s/io/ByteReader.h"
#include "s/io/IInputStream.h"
#include "s/io/IOutputStream.h"

namespace s::image::bmp::win {

namespace {

constexpr std::uint32_t kCompressionRle8 = 1;
constexpr std::uint32_t kCompressionRle4 = 2;
constexpr std::uint32_t kCompressionJpeg = 4;
constexpr std::uint32_t kCompressionPng = 5;
constexpr std::uint32_t kCompressionAlphaBitFields = 6;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kLargestInfoHeader = 124;
// The info header sizes in use: the other operating system's 2.x headers (16
// and 64 bytes) and the Windows versions 3 to 5 (40, 52, 56, 108, 124).
constexpr std::uint32_t kInfoHeaderSizes[] = {16, 40, 52, 56, 64, 108, 124};
// Header sizes that only the other operating system's 2.x format uses; its
// compression numbers 3 and 4 mean Huffman and 24-bit run-length there.
constexpr std::uint32_t kOs2HeaderSizes[] = {16, 64};

bool isSupportedDepth(std::uint32_t bits) {
  return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Moves past count bytes, reading and throwing them away where the stream
// cannot seek.
bool skipBytes(io::IInputStream& stream, std::int64_t count) {
  if (count <= 0) return true;
  if (stream.seekForward(count)) return true;
  std::array<std::uint8_t, 4096> scratch;
  while (count > 0) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::int64_t>(count, 4096));
    if (stream.readFully(scratch.data(), chunk) != chunk) return false;
    count -= static_cast<std::int64_t>(chunk);
  }
  return true;
}

}  // namespace

// Parses one bitmap from a stream into a Bitmap. The stream is read in order;
// every size and offset from the file is checked before it is used.
class BitmapReader {
 public:
  // consumed: bytes of this bitmap already read (the file header);
  // pixelOffset: where the rows start from the beginning of the file, or 0
  // when there is no file header to say so.
  BitmapReader(Bitmap& bitmap, io::IInputStream& stream, std::int64_t consumed,
               std::uint32_t pixelOffset)
      : bitmap_(bitmap), stream_(stream), consumed_(consumed), pixelOffset_(pixelOffset) {}

  bool read();

 private:
  bool fail(const char* problem) {
    bitmap_.clear();
    bitmap_.noteProblem(problem);
    return false;
  }
  bool readExactly(void* buffer, std::size_t count) {
    const std::size_t got = stream_.readFully(buffer, count);
    consumed_ += static_cast<std::int64_t>(got);
    return got == count;
  }
  bool readHeader();
  bool readMasks();
  bool readColorTable();
  bool moveToPixels();
  void readRows();
  void readRunLengths();
  void decodeRunLengths(const std::uint8_t* data, std::size_t size);

  Bitmap& bitmap_;
  io::IInputStream& stream_;
  std::int64_t consumed_;
  std::uint32_t pixelOffset_;

  std::uint32_t headerSize_ = 0;
  std::int64_t width_ = 0;
  std::int64_t height_ = 0;  // negative: rows stored top row first
  std::uint32_t planes_ = 0;
  std::uint32_t bitCount_ = 0;
  std::uint32_t compression_ = 0;
  std::uint32_t colorsUsed_ = 0;
  std::array<std::uint32_t, 4> masks_{};
  bool masksInHeader_ = false;
  std::uint32_t paletteEntrySize_ = 4;
  std::int64_t headerEnd_ = 0;
};

bool BitmapReader::readHeader() {
  std::array<std::uint8_t, kLargestInfoHeader> header{};
  if (!readExactly(header.data(), 4)) return fail("truncated header");
  headerSize_ = io::ByteReader::loadLe32(header.data());
  if (headerSize_ == kCoreHeaderSize) {
    if (!readExactly(header.data() + 4, 8)) return fail("truncated header");
    io::ByteReader core(header.data() + 4, 8);
    width_ = core.u16le();
    height_ = core.u16le();
    planes_ = core.u16le();
    bitCount_ = core.u16le();
    paletteEntrySize_ = 3;
  } else if (std::find(std::begin(kInfoHeaderSizes), std::end(kInfoHeaderSizes), headerSize_) !=
             std::end(kInfoHeaderSizes)) {
    if (!readExactly(header.data() + 4, headerSize_ - 4)) return fail("truncated header");
    io::ByteReader info(header.data() + 4, kLargestInfoHeader - 4);
    width_ = info.s32le();
    height_ = info.s32le();
    planes_ = info.u16le();
    bitCount_ = info.u16le();
    compression_ = info.u32le();
    info.skip(12);  // image size and resolution: not needed
    colorsUsed_ = info.u32le();
    info.skip(4);
    if (headerSize_ >= 52) {
      masks_ = {info.u32le(), info.u32le(), info.u32le(), 0};
      masksInHeader_ = true;
    }
    if (headerSize_ >= 56) masks_[3] = info.u32le();
    const bool os2 = std::find(std::begin(kOs2HeaderSizes), std::end(kOs2HeaderSizes),
                               headerSize_) != std::end(kOs2HeaderSizes);
    if (os2 && (compression_ == 3 || compression_ == 4)) {
      return fail("unsupported compression (Huffman or 24-bit run-length)");
    }
  } else {
    return fail("unsupported header size");
  }
  headerEnd_ = consumed_;

  if (planes_ != 1) return fail("damaged header (plane count is not 1)");
  // Embedded JPEG and PNG data declare no bit depth of their own: say what
  // they are before the depth is checked.
  if (compression_ == kCompressionJpeg) return fail("JPEG data inside a BMP file is not supported");
  if (compression_ == kCompressionPng) return fail("PNG data inside a BMP file is not supported");
  if (!isSupportedDepth(bitCount_)) return fail("unsupported bit depth");
  switch (compression_) {
    case kCompressionRgb:
      break;
    case kCompressionRle8:
      if (bitCount_ != 8) return fail("damaged header (run-length data of the wrong depth)");
      break;
    case kCompressionRle4:
      if (bitCount_ != 4) return fail("damaged header (run-length data of the wrong depth)");
      break;
    case kCompressionBitFields:
    case kCompressionAlphaBitFields:
      if (bitCount_ != 16 && bitCount_ != 32) return fail("damaged header (bit fields)");
      break;
    default:
      return fail("unsupported compression");
  }
  if (width_ <= 0) return fail("damaged header (width)");
  if (height_ == 0) return fail("damaged header (height)");
  if (!isAcceptableSize(width_, height_ < 0 ? -height_ : height_)) {
    return fail(kTooLargeProblem);
  }
  if (height_ < 0 && (compression_ == kCompressionRle4 || compression_ == kCompressionRle8)) {
    return fail("damaged header (top-down run-length data)");
  }
  return true;
}

bool BitmapReader::readMasks() {
  if (compression_ != kCompressionBitFields && compression_ != kCompressionAlphaBitFields) {
    return true;
  }
  // A 40-byte header is followed by the masks; larger headers hold them.
  if (!masksInHeader_) {
    const std::size_t count = compression_ == kCompressionAlphaBitFields ? 4 : 3;
    std::array<std::uint8_t, 16> bytes{};
    if (!readExactly(bytes.data(), count * 4)) return fail("truncated header");
    for (std::size_t i = 0; i < count; ++i)
      masks_[i] = io::ByteReader::loadLe32(&bytes[i * 4]);
  }
  if (compression_ == kCompressionBitFields && !masksInHeader_) masks_[3] = 0;
  headerEnd_ = consumed_;
  return true;
}

bool BitmapReader::readColorTable() {
  if (bitCount_ > 8) return true;
  // More entries than the depth can address is a damaged header.
  if (colorsUsed_ > (1u << bitCount_)) return fail("damaged header (colour count)");
  std::uint32_t count = colorsUsed_ != 0 ? colorsUsed_ : 1u << bitCount_;
  // A file header that puts the pixels closer than the table says shows how
  // many entries there really are.
  if (pixelOffset_ > consumed_) {
    const auto room = static_cast<std::uint64_t>(pixelOffset_ - consumed_) / paletteEntrySize_;
    if (room > 0 && room < count) count = static_cast<std::uint32_t>(room);
  }
  count = std::min<std::uint32_t>(count, Bitmap::kMaxColors);
  std::array<std::uint8_t, Bitmap::kMaxColors * 4> entries{};
  if (!readExactly(entries.data(), count * paletteEntrySize_)) {
    return fail("truncated colour table");
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::memcpy(&bitmap_.colorTable_[i * 4], &entries[i * paletteEntrySize_], 3);
    bitmap_.colorTable_[i * 4 + 3] = 0;
  }
  colorsUsed_ = count;
  return true;
}

bool BitmapReader::moveToPixels() {
  // Without a file header, or with an offset that points into the headers,
  // the rows follow what was read.
  if (pixelOffset_ == 0 || pixelOffset_ < headerEnd_) return true;
  if (pixelOffset_ > consumed_) {
    if (!skipBytes(stream_, pixelOffset_ - consumed_)) {
      bitmap_.noteProblem("truncated pixel data");
      return false;
    }
  } else if (pixelOffset_ < consumed_) {
    // The colour table ran into the pixels; they start where the file says.
    if (!stream_.seekBackward(consumed_ - pixelOffset_)) return true;
  }
  consumed_ = pixelOffset_;
  return true;
}

void BitmapReader::readRows() {
  const std::int64_t height = bitmap_.info_.biHeight;
  const std::int64_t stride = bitmap_.stride_;
  bool complete;
  if (height_ > 0) {
    complete = readExactly(bitmap_.bits_, static_cast<std::size_t>(stride * height));
  } else {
    complete = true;
    for (std::int64_t row = 0; row < height && complete; ++row) {
      complete = readExactly(bitmap_.bits_ + (height - 1 - row) * stride,
                             static_cast<std::size_t>(stride));
    }
  }
  if (!complete) bitmap_.noteProblem("truncated pixel data");
}

void BitmapReader::readRunLengths() {
  // Compressed data is at most two bytes per pixel plus a few markers per
  // row; reading stops at the end of the file or there.
  const std::int64_t pixels = width_ * bitmap_.info_.biHeight;
  const auto limit = static_cast<std::size_t>(2 * pixels + 4 * bitmap_.info_.biHeight + 1024);
  std::vector<std::uint8_t> data;
  std::size_t got = 0;
  do {
    data.resize(std::min(limit, got + 65536));
    const std::size_t chunk = stream_.readFully(data.data() + got, data.size() - got);
    got += chunk;
    if (chunk == 0) break;
  } while (got == data.size() && got < limit);
  decodeRunLengths(data.data(), got);
}

void BitmapReader::decodeRunLengths(const std::uint8_t* data, std::size_t size) {
  const bool nibbles = compression_ == kCompressionRle4;
  const std::int64_t width = width_;
  const std::int64_t height = bitmap_.info_.biHeight;
  const std::int64_t stride = bitmap_.stride_;
  std::int64_t x = 0;
  std::int64_t y = 0;  // rows count from the bottom, as stored
  const auto put = [&](std::uint32_t value) {
    if (x < width && y < height) {
      std::uint8_t* row = bitmap_.bits_ + y * stride;
      if (nibbles) {
        std::uint8_t& byte = row[x / 2];
        byte = (x % 2 == 0) ? static_cast<std::uint8_t>((byte & 0x0F) | value << 4)
                            : static_cast<std::uint8_t>((byte & 0xF0) | (value & 0x0F));
      } else {
        row[x] = static_cast<std::uint8_t>(value);
      }
    }
    ++x;
  };

  std::size_t i = 0;
  while (y < height) {
    if (i + 2 > size) {
      bitmap_.noteProblem("truncated run-length data");
      return;
    }
    const std::uint32_t count = data[i];
    const std::uint32_t value = data[i + 1];
    i += 2;
    if (count > 0) {
      for (std::uint32_t k = 0; k < count; ++k) {
        put(nibbles ? (k % 2 == 0 ? value >> 4 : value & 0x0F) : value);
      }
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++y;
        break;
      case 1:  // end of bitmap
        return;
      case 2:  // move right and up
        if (i + 2 > size) {
          bitmap_.noteProblem("truncated run-length data");
          return;
        }
        x += data[i];
        y += data[i + 1];
        i += 2;
        break;
      default: {  // a literal run, padded to an even number of bytes
        const std::size_t bytes = nibbles ? (value + 1) / 2 : value;
        if (i + bytes > size) {
          bitmap_.noteProblem("truncated run-length data");
          return;
        }
        for (std::uint32_t k = 0; k < value; ++k) {
          put(nibbles ? (k % 2 == 0 ? data[i + k / 2] >> 4 : data[i + k / 2] & 0x0F) : data[i + k]);
        }
        i += bytes + (bytes & 1);
        break;
      }
    }
  }
}

bool BitmapReader::read() {
  if (!readHeader() || !readMasks() || !readColorTable()) return false;

  // What is kept: uncompressed, bottom-up, the file's depth.
  InfoHeader& info = bitmap_.info_;
  info = InfoHeader{};
  info.biWidth = static_cast<std::int32_t>(width_);
  info.biHeight = static_cast<std::int32_t>(height_ < 0 ? -height_ : height_);
  info.biBitCount = static_cast<std::uint16_t>(bitCount_);
  const bool bitFields =
      compression_ == kCompressionBitFields || compression_ == kCompressionAlphaBitFields;
  info.biCompression = bitFields ? kCompressionBitFields : kCompressionRgb;
  info.biClrUsed = bitCount_ <= 8 ? colorsUsed_ : 0;
  info.biClrImportant = info.biClrUsed;
  bitmap_.masks_ = bitFields ? masks_ : std::array<std::uint32_t, 4>{};
  bitmap_.deriveLayout();
  info.biSizeImage = static_cast<std::uint32_t>(bitmap_.stride_ * info.biHeight);
  bitmap_.deriveFileHeader();
  if (!bitmap_.allocateBits()) return fail("not enough memory for the picture");

  // From here on the picture exists; damage only leaves rows unread (zero).
  if (!moveToPixels()) return true;
  if (compression_ == kCompressionRle4 || compression_ == kCompressionRle8) {
    readRunLengths();
  } else {
    readRows();
  }
  return true;
}

bool Bitmap::read(io::IInputStream& stream) {
  clear();
  std::array<std::uint8_t, kFileHeaderSize> header{};
  if (stream.readFully(header.data(), header.size()) != header.size()) {
    noteProblem("not a BMP file (too short)");
    return false;
  }
  if (header[0] != 'B' || header[1] != 'M') {
    noteProblem("not a BMP file");
    return false;
  }
  const std::uint32_t pixelOffset = io::ByteReader::loadLe32(&header[10]);
  return BitmapReader(*this, stream, kFileHeaderSize, pixelOffset).read();
}

bool Bitmap::readDib(io::IInputStream& stream) {
  clear();
  return BitmapReader(*this, stream, 0, 0).read();
}

bool Bitmap::writeHeadersAndRows(io::IOutputStream& stream, bool withFileHeader) {
  deriveFileHeader();
  std::vector<std::uint8_t> head;
  head.reserve(kFileHeaderSize + kInfoHeaderSize + 12 + colorTable_.size());
  const auto put16 = [&head](std::uint32_t v) {
    head.push_back(static_cast<std::uint8_t>(v));
    head.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  const auto put32 = [&](std::uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  if (withFileHeader) {
    put16(file_.bfType);
    put32(file_.bfSize);
    put16(file_.bfReserved1);
    put16(file_.bfReserved2);
    put32(file_.bfOffBits);
  }
  put32(kInfoHeaderSize);
  put32(static_cast<std::uint32_t>(info_.biWidth));
  put32(static_cast<std::uint32_t>(info_.biHeight));
  put16(info_.biPlanes);
  put16(info_.biBitCount);
  put32(info_.biCompression);
  put32(info_.biSizeImage);
  put32(static_cast<std::uint32_t>(info_.biXPelsPerMeter));
  put32(static_cast<std::uint32_t>(info_.biYPelsPerMeter));
  put32(info_.biClrUsed);
  put32(info_.biClrImportant);
  if (info_.biCompression == kCompressionBitFields) {
    for (int i = 0; i < 3; ++i)
      put32(masks_[i]);
  }
  head.insert(head.end(), colorTable_.begin(), colorTable_.begin() + getColorTableSize());

  std::size_t written = 0;
  if (!stream.write(head.data(), head.size(), &written) || written != head.size()) return false;
  const std::size_t rows = static_cast<std::size_t>(stride_ * info_.biHeight);
  if (rows == 0 || bits_ == nullptr) return true;
  return stream.write(bits_, rows, &written) && written == rows;
}

bool Bitmap::write(io::IOutputStream& stream) {
  return writeHeadersAndRows(stream, true);
}

bool Bitmap::writeDib(io::IOutputStream& stream) {
  return writeHeadersAndRows(stream, false);
}

}  // namespace s::image::bmp::win
