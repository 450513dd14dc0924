#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "s/base/IObject.h"

namespace s::io {
class IOutputStream;
}

namespace s::image::gif::win {

// Rows of one-byte palette indices: row y (0 being the top row) starts at
// top + y * step. A negative step serves bottom-up memory such as a Bitmap's.
struct IndexRows {
  std::uint8_t* top = nullptr;
  std::ptrdiff_t step = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;

  std::uint8_t* row(std::int32_t y) const { return top + static_cast<std::ptrdiff_t>(y) * step; }
};

// Codes are at most 12 bits wide (GIF89a, Appendix F), so a code table never
// holds more than 4096 entries and no string is longer than that.
inline constexpr std::int32_t kLzwMaxBits = 12;
inline constexpr std::int32_t kLzwTableSize = 1 << kLzwMaxBits;
// Minimum code sizes a frame may declare: beyond 11 the first codes would
// already be wider than 12 bits.
inline constexpr std::int32_t kLzwMinCodeSize = 2;
inline constexpr std::int32_t kLzwMaxCodeSize = 11;

// Where row n of an image is stored when its rows arrive in the order of
// the four interlace passes (GIF89a, Appendix E): every 8th row from 0, every
// 8th from 4, every 4th from 2, every 2nd from 1.
std::int32_t interlacedRow(std::int32_t n, std::int32_t height);
// The opposite: at which position row y arrives.
std::int32_t rowArrival(std::int32_t y, std::int32_t height, bool interlaced);

// How a code stream ended.
enum class LzwEnd {
  Complete,   // every pixel of the image was filled
  EndCode,    // the end-of-information code came first
  OutOfData,  // the data ran out first
  BadCode,    // a code named no table entry: decoding stopped there
};

struct LzwResult {
  // Pixels filled, in arrival order (row by row, passes in order).
  std::int64_t pixels = 0;
  LzwEnd end = LzwEnd::OutOfData;
};

// Decodes one image's LZW code stream (the data sub-blocks joined) into
// rows of indices. codeSize is the image's minimum code size and must lie in
// kLzwMinCodeSize..kLzwMaxCodeSize. Pixels the stream does not reach are left
// as they were. Roots wider than a byte (code sizes above 8) keep their low
// 8 bits. When the table is full, decoding goes on without new entries
// until the encoder sends a clear code (a deferred clear).
LzwResult decodeLzw(std::int32_t codeSize, const std::uint8_t* data, std::size_t size,
                    const IndexRows& output, bool interlaced);

// The LZW compressor of the GIF writer: codes found through an
// open-addressed hash table of 5003 entries with double hashing, packed
// least significant bit first into data sub-blocks of 254 bytes.
class GifLzw final : public base::IObject {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_gif_win_GifLzw";
  static constexpr std::int32_t kHashSize = 5003;
  static constexpr std::int32_t kPacketSize = 254;

  base::ClassTag getClassTag() const override { return CLASS_TAG; }
  base::IObject* newInstance() const override { return new GifLzw(); }

  // Writes the data sub-blocks of the image in `rows` (every index below
  // 2^codeSize; codeSize 2..8): the code stream from the first clear code to
  // the end code, as length-prefixed packets. Neither the code-size byte
  // before nor the empty block after is written. False when the stream did
  // not take every byte.
  bool compress(std::int32_t codeSize, const IndexRows& rows, io::IOutputStream& stream);

 private:
  void start(std::int32_t codeSize);
  void emit(std::int32_t code);
  void resetHash() { hashTable_.fill(-1); }
  void writePacket();

  std::array<std::int32_t, kHashSize> hashTable_{};
  std::array<std::uint16_t, kHashSize> codeTable_{};
  std::int32_t initialBits_ = 0;
  std::int32_t codeBits_ = 0;
  std::int32_t maxCode_ = 0;
  std::int32_t nextCode_ = 0;
  std::int32_t clearCode_ = 0;
  bool clearPending_ = false;
  std::uint32_t bitBuffer_ = 0;
  std::int32_t bitCount_ = 0;
  std::array<std::uint8_t, 256> packet_{};
  std::int32_t packetFill_ = 0;
  io::IOutputStream* stream_ = nullptr;
  bool written_ = true;
};

}  // namespace s::image::gif::win
