#include "s/image/win/PixelRows.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using s::image::win::expandBgrToBgra;
using s::image::win::packBgraToBgr;

constexpr std::uint8_t kGuard = 0xA5;

// Rows of every width up to past two whole steps of the shuffling paths,
// and a long one; each output sits between guard bytes that must survive.
TEST(PixelRows, ConversionsMatchThePixelRuleAtEveryWidthAndStayInTheRow) {
  std::vector<int> widths;
  for (int w = 0; w <= 20; ++w)
    widths.push_back(w);
  widths.push_back(1001);
  for (const int width : widths) {
    std::vector<std::uint8_t> bgra(static_cast<std::size_t>(width) * 4);
    for (std::size_t i = 0; i < bgra.size(); ++i)
      bgra[i] = static_cast<std::uint8_t>(i * 37 + 11);
    std::vector<std::uint8_t> packed(static_cast<std::size_t>(width) * 3 + 32, kGuard);
    packBgraToBgr(bgra.data(), packed.data() + 16, width);
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(packed[16 + x * 3 + c], bgra[x * 4 + c]) << width << " " << x;
    }
    for (int i = 0; i < 16; ++i) {
      ASSERT_EQ(packed[i], kGuard) << width;
      ASSERT_EQ(packed[packed.size() - 1 - i], kGuard) << width;
    }

    std::vector<std::uint8_t> expanded(static_cast<std::size_t>(width) * 4 + 32, kGuard);
    expandBgrToBgra(packed.data() + 16, expanded.data() + 16, width);
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(expanded[16 + x * 4 + c], bgra[x * 4 + c]) << width << " " << x;
      ASSERT_EQ(expanded[16 + x * 4 + 3], 255) << width << " " << x;
    }
    for (int i = 0; i < 16; ++i) {
      ASSERT_EQ(expanded[i], kGuard) << width;
      ASSERT_EQ(expanded[expanded.size() - 1 - i], kGuard) << width;
    }
  }
}

}  // namespace
