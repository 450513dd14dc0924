// The variable-length-code LZW of GIF (GIF89a, 22. Table Based Image Data,
// and Appendix F): the decoder of the reader and the compressor of the writer.

#include "s/image/gif/win/GifLzw.h"

#include "s/io/IOutputStream.h"

namespace s::image::gif::win {

namespace {

// Rows in each interlace pass of an image of `height` rows.
struct PassCounts {
  std::int32_t first, second, third;
  explicit PassCounts(std::int32_t height)
      : first((height + 7) / 8), second((height + 3) / 8), third((height + 1) / 4) {}
};

}  // namespace

std::int32_t interlacedRow(std::int32_t n, std::int32_t height) {
  const PassCounts passes(height);
  if (n < passes.first) return n * 8;
  n -= passes.first;
  if (n < passes.second) return 4 + n * 8;
  n -= passes.second;
  if (n < passes.third) return 2 + n * 4;
  n -= passes.third;
  return 1 + n * 2;
}

std::int32_t rowArrival(std::int32_t y, std::int32_t height, bool interlaced) {
  if (!interlaced) return y;
  const PassCounts passes(height);
  if (y % 8 == 0) return y / 8;
  if (y % 8 == 4) return passes.first + y / 8;
  if (y % 4 == 2) return passes.first + passes.second + y / 4;
  return passes.first + passes.second + passes.third + y / 2;
}

LzwResult decodeLzw(std::int32_t codeSize, const std::uint8_t* data, std::size_t size,
                    const IndexRows& output, bool interlaced) {
  LzwResult result;
  if (codeSize < kLzwMinCodeSize || codeSize > kLzwMaxCodeSize || output.width <= 0 ||
      output.height <= 0) {
    result.end = LzwEnd::BadCode;
    return result;
  }
  const std::int64_t total = static_cast<std::int64_t>(output.width) * output.height;
  const std::int32_t clear = 1 << codeSize;
  const std::int32_t end = clear + 1;
  const std::int32_t firstFree = clear + 2;

  // Entry e (from firstFree on) is the string of entry prefix[e] followed by
  // the byte suffix[e]; codes below clear are the one-byte roots.
  std::array<std::uint16_t, kLzwTableSize> prefix;
  std::array<std::uint8_t, kLzwTableSize> suffix;
  // A string is collected last byte first, then copied out in order.
  std::array<std::uint8_t, kLzwTableSize> stack;

  // Output position: x in the current row, n the rows completed so far.
  std::int32_t x = 0;
  std::int32_t n = 0;
  std::uint8_t* row = output.row(0);
  const auto put = [&](std::uint8_t index) {
    row[x] = index;
    ++result.pixels;
    if (++x == output.width) {
      x = 0;
      if (++n < output.height) row = output.row(interlaced ? interlacedRow(n, output.height) : n);
    }
  };

  std::int32_t width = codeSize + 1;
  std::int32_t next = firstFree;
  std::int32_t previous = -1;  // none since the last clear code
  std::uint32_t bits = 0;
  std::int32_t bitCount = 0;
  std::size_t position = 0;
  while (true) {
    while (bitCount < width) {
      if (position >= size) {
        result.end = LzwEnd::OutOfData;
        return result;
      }
      bits |= static_cast<std::uint32_t>(data[position++]) << bitCount;
      bitCount += 8;
    }
    const auto code = static_cast<std::int32_t>(bits & ((1u << width) - 1));
    bits >>= width;
    bitCount -= width;

    if (code == clear) {
      width = codeSize + 1;
      next = firstFree;
      previous = -1;
      continue;
    }
    if (code == end) {
      result.end = LzwEnd::EndCode;
      return result;
    }

    // Collect the string of `code` into the stack, last byte first.
    std::int32_t length = 0;
    std::int32_t walk;
    if (previous < 0) {
      // After a clear only a root can follow.
      if (code > clear) {
        result.end = LzwEnd::BadCode;
        return result;
      }
      walk = code;
    } else if (code < next) {
      walk = code;
    } else if (code == next && next < kLzwTableSize) {
      // The entry being defined (GIF89a, Appendix F: the "KwKwK" case): the
      // previous string followed by its own first byte, which is pushed
      // once the walk below has found it.
      length = 1;
      walk = previous;
    } else {
      result.end = LzwEnd::BadCode;
      return result;
    }
    while (walk >= firstFree) {
      stack[length++] = suffix[walk];
      walk = prefix[walk];
    }
    const auto firstByte = static_cast<std::uint8_t>(walk);
    stack[length++] = firstByte;
    if (code >= next) stack[0] = firstByte;

    // Stop at the last pixel of the image.
    const std::int64_t room = total - result.pixels;
    const std::int32_t taken = length < room ? length : static_cast<std::int32_t>(room);
    for (std::int32_t i = 0; i < taken; ++i)
      put(stack[length - 1 - i]);
    if (result.pixels == total) {
      result.end = LzwEnd::Complete;
      return result;
    }

    if (previous >= 0 && next < kLzwTableSize) {
      prefix[next] = static_cast<std::uint16_t>(previous);
      suffix[next] = firstByte;
      ++next;
      if (next == (1 << width) && width < kLzwMaxBits) ++width;
    }
    previous = code;
  }
}

void GifLzw::start(std::int32_t codeSize) {
  initialBits_ = codeBits_ = codeSize + 1;
  maxCode_ = (1 << codeBits_) - 1;
  clearCode_ = 1 << codeSize;
  nextCode_ = clearCode_ + 2;
  clearPending_ = false;
  bitBuffer_ = 0;
  bitCount_ = 0;
  packetFill_ = 0;
  resetHash();
}

void GifLzw::writePacket() {
  packet_[0] = static_cast<std::uint8_t>(packetFill_);
  std::size_t taken = 0;
  const auto bytes = static_cast<std::size_t>(packetFill_) + 1;
  if (!stream_->write(packet_.data(), bytes, &taken) || taken != bytes) written_ = false;
  packetFill_ = 0;
}

void GifLzw::emit(std::int32_t code) {
  bitBuffer_ |= static_cast<std::uint32_t>(code) << bitCount_;
  bitCount_ += codeBits_;
  while (bitCount_ >= 8) {
    packet_[1 + packetFill_++] = static_cast<std::uint8_t>(bitBuffer_);
    bitBuffer_ >>= 8;
    bitCount_ -= 8;
    if (packetFill_ == kPacketSize) writePacket();
  }
  // The next code is one bit wider once the table has outgrown this width;
  // after a clear code it starts again at the initial width.
  if (nextCode_ > maxCode_ || clearPending_) {
    if (clearPending_) {
      codeBits_ = initialBits_;
      maxCode_ = (1 << codeBits_) - 1;
      clearPending_ = false;
    } else {
      ++codeBits_;
      maxCode_ = codeBits_ == kLzwMaxBits ? kLzwTableSize : (1 << codeBits_) - 1;
    }
  }
}

bool GifLzw::compress(std::int32_t codeSize, const IndexRows& rows, io::IOutputStream& stream) {
  stream_ = &stream;
  written_ = true;
  start(codeSize);
  const std::int32_t endCode = clearCode_ + 1;
  emit(clearCode_);

  std::int32_t prefix = -1;
  for (std::int32_t y = 0; y < rows.height; ++y) {
    const std::uint8_t* pixels = rows.row(y);
    for (std::int32_t x = 0; x < rows.width; ++x) {
      const std::int32_t c = pixels[x];
      if (prefix < 0) {
        prefix = c;
        continue;
      }
      const std::int32_t key = (c << kLzwMaxBits) + prefix;
      std::int32_t h = (c << 4) ^ prefix;
      bool found = hashTable_[h] == key;
      if (!found && hashTable_[h] >= 0) {
        // Secondary probe (double hashing) through the occupied entries.
        const std::int32_t step = h == 0 ? 1 : kHashSize - h;
        do {
          h -= step;
          if (h < 0) h += kHashSize;
          found = hashTable_[h] == key;
        } while (!found && hashTable_[h] > 0);
      }
      if (found) {
        prefix = codeTable_[h];
        continue;
      }
      emit(prefix);
      if (nextCode_ < kLzwTableSize) {
        codeTable_[h] = static_cast<std::uint16_t>(nextCode_++);
        hashTable_[h] = key;
      } else {
        // The table is full: start a new one.
        resetHash();
        nextCode_ = clearCode_ + 2;
        clearPending_ = true;
        emit(clearCode_);
      }
      prefix = c;
    }
  }
  if (prefix >= 0) emit(prefix);
  emit(endCode);
  // The last partial byte, then the last packet.
  while (bitCount_ > 0) {
    packet_[1 + packetFill_++] = static_cast<std::uint8_t>(bitBuffer_);
    bitBuffer_ >>= 8;
    bitCount_ -= 8;
    if (packetFill_ == kPacketSize) writePacket();
  }
  if (packetFill_ > 0) writePacket();
  stream_ = nullptr;
  return written_;
}

}  // namespace s::image::gif::win
