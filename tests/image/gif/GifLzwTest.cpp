#include "s/image/gif/win/GifLzw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "GifTestSupport.h"

namespace {

using gif_test::Bytes;
using gif_test::joinSubBlocks;
using gif_test::packCodes;
using s::image::gif::win::decodeLzw;
using s::image::gif::win::GifLzw;
using s::image::gif::win::IndexRows;
using s::image::gif::win::interlacedRow;
using s::image::gif::win::LzwEnd;
using s::image::gif::win::LzwResult;
using s::image::gif::win::rowArrival;

constexpr std::uint8_t kUntouched = 0xEE;

// Pseudo-random indices: nearly every pair of neighbours is new to the code
// table, so each code defines a new entry.
Bytes noise(std::size_t count) {
  Bytes out(count);
  std::uint32_t state = 12345;
  for (auto& value : out) {
    state = state * 1103515245u + 12345u;
    value = static_cast<std::uint8_t>(state >> 16);
  }
  return out;
}

// The code stream of width x height indices, the packets joined.
Bytes compressed(const Bytes& pixels, int width, int height, int codeSize = 8) {
  tintery::test::MemoryOutputStream out;
  GifLzw lzw;
  const IndexRows rows{const_cast<std::uint8_t*>(pixels.data()), width, width, height};
  EXPECT_TRUE(lzw.compress(codeSize, rows, out));
  out.data.push_back(0);  // the block terminator the writer adds
  const auto blocks = joinSubBlocks(out.data, 0, out.data.size());
  EXPECT_TRUE(blocks.wellFormed);
  return blocks.data;
}

Bytes decompressed(int codeSize, const Bytes& data, int width, int height, bool interlaced = false,
                   LzwResult* result = nullptr) {
  Bytes out(static_cast<std::size_t>(width) * height, kUntouched);
  const LzwResult r = decodeLzw(codeSize, data.data(), data.size(),
                                IndexRows{out.data(), width, width, height}, interlaced);
  if (result != nullptr) *result = r;
  return out;
}

// One code as a decoder reads it: its value, its width, and the table entry
// that the code after it defines (-1 right after a clear code).
struct Code {
  int value, width, defining;
};

// Reads the codes back with the widths a decoder uses (GIF89a, Appendix F),
// up to the end code; `spareBits` receives the bits left after it.
std::vector<Code> readCodes(const Bytes& data, int codeSize, std::size_t* spareBits) {
  const int clear = 1 << codeSize;
  std::vector<Code> codes;
  int width = codeSize + 1;
  int next = clear + 2;
  bool afterClear = true;
  std::size_t bit = 0;
  while (bit + width <= data.size() * 8) {
    int value = 0;
    for (int i = 0; i < width; ++i, ++bit)
      value |= (data[bit / 8] >> (bit % 8) & 1) << i;
    codes.push_back({value, width, afterClear ? -1 : next});
    if (value == clear) {
      width = codeSize + 1;
      next = clear + 2;
      afterClear = true;
      continue;
    }
    if (value == clear + 1) break;
    if (!afterClear && next < 4096 && ++next == 1 << width && width < 12) ++width;
    afterClear = false;
  }
  *spareBits = data.size() * 8 - bit;
  return codes;
}

TEST(GifLzw, CompressedIndicesDecodeBackExactly) {
  Bytes gradient(100 * 30);
  for (std::size_t i = 0; i < gradient.size(); ++i)
    gradient[i] = static_cast<std::uint8_t>(i % 100 + i / 100);
  Bytes alternating(64);
  for (std::size_t i = 0; i < alternating.size(); ++i)
    alternating[i] = static_cast<std::uint8_t>(i % 2);
  struct Case {
    const char* name;
    Bytes pixels;
    int width, height;
    int widest;  // the widest code the stream reaches
  } cases[] = {
      {"one pixel", {7}, 1, 1, 9},
      {"one colour, 300 x 200 (long strings)", Bytes(300 * 200, 3), 300, 200, 10},
      {"alternating row", alternating, 64, 1, 9},
      {"gradient", gradient, 100, 30, 11},
      // About 4000 codes, each defining an entry: every width from 9 to 12.
      {"noise, 64 x 64", noise(64 * 64), 64, 64, 12},
      // Several full tables, each ended by a clear code.
      {"noise, 200 x 100", noise(200 * 100), 200, 100, 12},
  };
  for (const Case& c : cases) {
    const Bytes data = compressed(c.pixels, c.width, c.height);
    LzwResult result;
    EXPECT_EQ(decompressed(8, data, c.width, c.height, false, &result), c.pixels) << c.name;
    EXPECT_EQ(result.end, LzwEnd::Complete) << c.name;
    EXPECT_EQ(result.pixels, static_cast<std::int64_t>(c.pixels.size())) << c.name;

    // The stream starts with a clear code, ends with the end code, and only
    // the last partial byte is padding.
    std::size_t spare = 0;
    const std::vector<Code> codes = readCodes(data, 8, &spare);
    ASSERT_GE(codes.size(), 2u) << c.name;
    EXPECT_EQ(codes.front().value, 256) << c.name;
    EXPECT_EQ(codes.back().value, 257) << c.name;
    EXPECT_LT(spare, 8u) << c.name;
    const auto widest = std::max_element(codes.begin(), codes.end(),
                                         [](auto& a, auto& b) { return a.width < b.width; });
    EXPECT_EQ(widest->width, c.widest) << c.name;
  }
}

TEST(GifLzw, AFullTableIsClearedAndCodesStartAgainAtNineBits) {
  // 20000 pixels of noise: each code defines an entry, so the table of
  // 4096 entries fills up several times.
  const Bytes pixels = noise(20000);
  std::size_t spare = 0;
  const std::vector<Code> codes = readCodes(compressed(pixels, 200, 100), 8, &spare);
  std::vector<std::size_t> clears;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    if (codes[i].value == 256) clears.push_back(i);
  }
  ASSERT_GE(clears.size(), 3u);
  for (std::size_t k = 1; k < clears.size(); ++k) {
    // Entries 258 to 4095 are defined by the codes after the one that
    // follows a clear; the code after the last of them finds the table full.
    EXPECT_EQ(clears[k] - clears[k - 1] - 1, 4096u - 258u + 1u) << k;
    EXPECT_EQ(codes[clears[k]].width, 12) << k;
    EXPECT_EQ(codes[clears[k] + 1].width, 9) << k;
  }
}

TEST(GifLzw, AnAlternatingRowUsesTheEntryBeingDefined) {
  Bytes row(200);
  for (std::size_t i = 0; i < row.size(); ++i)
    row[i] = static_cast<std::uint8_t>(i % 2);
  const Bytes data = compressed(row, 200, 1);
  std::size_t spare = 0;
  const std::vector<Code> codes = readCodes(data, 8, &spare);
  // 0, 1, then 258 (0 1), then 260: the entry the decoder is about to
  // define from 258 and its own first byte.
  EXPECT_TRUE(std::any_of(codes.begin(), codes.end(),
                          [](const Code& code) { return code.value == code.defining; }));
  EXPECT_EQ(decompressed(8, data, 200, 1), row);
}

TEST(GifLzw, DamagedStreamsStopWithThePixelsDecodedSoFar) {
  // Code size 2: clear 4, end 5, first entry 6, codes of 3 bits at first.
  constexpr std::uint8_t U = kUntouched;
  struct Case {
    const char* name;
    int codeSize;
    Bytes data;
    int width, height;
    LzwEnd end;
    Bytes expected;
  } cases[] = {
      {"end code before the last pixel",
       2,
       packCodes({4, 1, 5}, 3),
       2,
       2,
       LzwEnd::EndCode,
       {1, U, U, U}},
      // Clear codes between the pixels keep every code 3 bits wide, so
      // eight codes fill three bytes exactly.
      {"data running out",
       2,
       packCodes({4, 1, 4, 2, 4, 3, 4, 1}, 3),
       3,
       3,
       LzwEnd::OutOfData,
       {1, 2, 3, 1, U, U, U, U, U}},
      {"code beyond the table", 2, packCodes({4, 1, 7, 2}, 3), 2, 2, LzwEnd::BadCode, {1, U, U, U}},
      {"table code right after a clear",
       2,
       packCodes({4, 6, 1}, 3),
       2,
       2,
       LzwEnd::BadCode,
       {U, U, U, U}},
      {"code size 0", 0, packCodes({1, 0, 2}, 1), 2, 1, LzwEnd::BadCode, {U, U}},
      {"code size 12", 12, packCodes({4096, 1, 4097}, 13), 2, 1, LzwEnd::BadCode, {U, U}},
      {"no data", 2, {}, 1, 1, LzwEnd::OutOfData, {U}},
      {"data after the last pixel",
       2,
       packCodes({4, 1, 4, 2, 4, 3, 5}, 3),
       2,
       1,
       LzwEnd::Complete,
       {1, 2}},
      // Code size 11 names roots up to 2047; a byte keeps the low 8 bits.
      {"roots wider than a byte",
       11,
       packCodes({2048, 300, 2049}, 12),
       1,
       1,
       LzwEnd::Complete,
       {300 & 0xFF}},
  };
  for (const Case& c : cases) {
    LzwResult result;
    EXPECT_EQ(decompressed(c.codeSize, c.data, c.width, c.height, false, &result), c.expected)
        << c.name;
    EXPECT_EQ(result.end, c.end) << c.name;
    EXPECT_EQ(result.pixels, std::count_if(c.expected.begin(), c.expected.end(),
                                           [](std::uint8_t v) { return v != U; }))
        << c.name;
  }
}

TEST(GifLzw, AFullTableWithoutAClearCodeKeepsDecoding) {
  // An encoder may leave the full table as it is and go on with 12-bit
  // codes (a deferred clear). 3839 roots fill the table (entries 258 to
  // 4095), 5000 more follow.
  std::vector<std::pair<int, int>> codes = {{256, 9}};
  Bytes expected;
  int width = 9, next = 258;
  for (int i = 0; i < 3839 + 5000; ++i) {
    const int root = (i * 7) % 256;
    codes.push_back({root, width});
    expected.push_back(static_cast<std::uint8_t>(root));
    if (i > 0 && next < 4096 && ++next == 1 << width && width < 12) ++width;
  }
  codes.push_back({257, width});
  Bytes data;
  std::uint32_t bits = 0;
  int count = 0;
  for (const auto& [code, codeWidth] : codes) {
    bits |= static_cast<std::uint32_t>(code) << count;
    for (count += codeWidth; count >= 8; count -= 8, bits >>= 8)
      data.push_back(static_cast<std::uint8_t>(bits));
  }
  if (count > 0) data.push_back(static_cast<std::uint8_t>(bits));

  LzwResult result;
  EXPECT_EQ(decompressed(8, data, static_cast<int>(expected.size()), 1, false, &result), expected);
  EXPECT_EQ(result.end, LzwEnd::Complete);
}

TEST(GifLzw, InterlacedRowsFollowTheFourPasses) {
  const std::vector<std::pair<int, std::vector<int>>> orders = {
      {1, {0}}, {3, {0, 2, 1}}, {10, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}}};
  for (const auto& [height, rows] : orders) {
    for (int n = 0; n < height; ++n)
      EXPECT_EQ(interlacedRow(n, height), rows[n]) << height << " " << n;
  }
  for (int height = 1; height <= 40; ++height) {
    std::vector<int> seen(height, 0);
    for (int n = 0; n < height; ++n) {
      const int y = interlacedRow(n, height);
      ASSERT_TRUE(y >= 0 && y < height) << height;
      ++seen[y];
      EXPECT_EQ(rowArrival(y, height, true), n) << height << " " << y;
      EXPECT_EQ(rowArrival(y, height, false), y);
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), height) << height;
  }
  // Five rows of one pixel arrive as rows 0, 4, 2, 1, 3.
  EXPECT_EQ(decompressed(2, packCodes({4, 0, 4, 1, 4, 2, 4, 3, 4, 0, 5}, 3), 1, 5, true),
            (Bytes{0, 3, 2, 0, 1}));
}

}  // namespace
