// The GIF LZW unit on its own. The first three bytes choose the parameters:
// byte 0 the code size (low four bits, so sizes the decoder must refuse come
// up too), interlacing (bit 4) and bottom-up rows (bit 5); bytes 1 and 2 the
// width and height less one. The rest is used twice: as a code stream for
// the decoder, and as palette indices that the coder compresses and the
// decoder must give back unchanged.

#include <algorithm>
#include <vector>

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"
#include "s/image/gif/win/GifLzw.h"
#include "s/io/ByteArrayStreams.h"

namespace tintery::fuzz {

namespace {

using s::image::gif::win::decodeLzw;
using s::image::gif::win::IndexRows;
using s::image::gif::win::interlacedRow;
using s::image::gif::win::LzwEnd;
using s::image::gif::win::LzwResult;

// Bytes after each row that the decoder must never touch.
constexpr std::int32_t kRowPadding = 3;
constexpr std::uint8_t kUntouched = 0xA5;

struct Rows {
  std::vector<std::uint8_t> bytes;
  IndexRows rows;

  Rows(std::int32_t width, std::int32_t height, bool bottomUp) {
    const std::int32_t stride = width + kRowPadding;
    bytes.assign(static_cast<std::size_t>(stride) * height, kUntouched);
    rows.width = width;
    rows.height = height;
    rows.step = bottomUp ? -stride : stride;
    rows.top =
        bottomUp ? bytes.data() + static_cast<std::size_t>(stride) * (height - 1) : bytes.data();
  }
};

void decodeCodeStream(std::int32_t codeSize, bool interlaced, bool bottomUp, std::int32_t width,
                      std::int32_t height, const std::uint8_t* data, std::size_t size) {
  Rows out(width, height, bottomUp);
  const LzwResult result = decodeLzw(codeSize, data, size, out.rows, interlaced);
  const std::int64_t total = static_cast<std::int64_t>(width) * height;
  const bool validSize = codeSize >= s::image::gif::win::kLzwMinCodeSize &&
                         codeSize <= s::image::gif::win::kLzwMaxCodeSize;
  if (!validSize) require(result.end == LzwEnd::BadCode && result.pixels == 0);
  require(result.pixels >= 0 && result.pixels <= total);
  require((result.end == LzwEnd::Complete) == (result.pixels == total));
  // Only the pixels that arrived were written: the rest of the rows and the
  // padding after every row are as they were.
  for (std::int32_t n = 0; n < height; ++n) {
    const std::uint8_t* row = out.rows.row(interlaced ? interlacedRow(n, height) : n);
    const std::int64_t arrived =
        std::clamp<std::int64_t>(result.pixels - static_cast<std::int64_t>(n) * width, 0, width);
    for (std::int32_t x = static_cast<std::int32_t>(arrived); x < width + kRowPadding; ++x) {
      require(row[x] == kUntouched);
    }
  }
}

void compressAndDecode(std::int32_t codeSize, std::int32_t width, const std::uint8_t* data,
                       std::size_t size) {
  width = std::min<std::int32_t>(width, static_cast<std::int32_t>(size));
  const std::int32_t height = width > 0 ? static_cast<std::int32_t>(size) / width : 0;
  if (height == 0) return;
  std::vector<std::uint8_t> indices(data, data + static_cast<std::size_t>(width) * height);
  for (std::uint8_t& index : indices)
    index = static_cast<std::uint8_t>(index & ((1 << codeSize) - 1));
  const IndexRows rows{indices.data(), width, width, height};

  auto stream = s::thread::obtainOwned<s::io::ByteArrayOutputStream>();
  require(stream != nullptr);
  s::image::gif::win::GifLzw coder;
  require(coder.compress(codeSize, rows, *stream));
  // Packets of 1 to 254 bytes, each after its length.
  const std::vector<std::uint8_t>& packets = stream->bytes();
  std::vector<std::uint8_t> codes;
  for (std::size_t p = 0; p < packets.size();) {
    const std::size_t length = packets[p];
    require(length >= 1 && length <= s::image::gif::win::GifLzw::kPacketSize &&
            p + 1 + length <= packets.size());
    codes.insert(codes.end(), packets.begin() + static_cast<std::ptrdiff_t>(p + 1),
                 packets.begin() + static_cast<std::ptrdiff_t>(p + 1 + length));
    p += 1 + length;
  }

  std::vector<std::uint8_t> decoded(indices.size(), kUntouched);
  const LzwResult result = decodeLzw(codeSize, codes.data(), codes.size(),
                                     IndexRows{decoded.data(), width, width, height}, false);
  require(result.end == LzwEnd::Complete && decoded == indices);
}

}  // namespace

int gifLzw(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::int32_t codeSize = data[0] & 0x0F;
  const bool interlaced = (data[0] & 0x10) != 0;
  const bool bottomUp = (data[0] & 0x20) != 0;
  const std::int32_t width = data[1] + 1;
  const std::int32_t height = data[2] + 1;
  decodeCodeStream(codeSize, interlaced, bottomUp, width, height, data + 3, size - 3);
  // The writer's code sizes are 2 to 8.
  compressAndDecode(2 + codeSize % 7, width, data + 3, size - 3);
  return 0;
}

}  // namespace tintery::fuzz
