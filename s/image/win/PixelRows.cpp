#include "s/image/win/PixelRows.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TINTERY_PIXEL_ROWS_SSSE3 1
#endif

namespace s::image::win {

namespace {

void packPortable(const std::uint8_t* in, std::uint8_t* out, std::int32_t width) {
  for (std::int32_t x = 0; x < width; ++x, in += 4, out += 3)
    std::memcpy(out, in, 3);
}

void expandPortable(const std::uint8_t* in, std::uint8_t* out, std::int32_t width) {
  for (std::int32_t x = 0; x < width; ++x, in += 3, out += 4) {
    out[0] = in[0];
    out[1] = in[1];
    out[2] = in[2];
    out[3] = 255;
  }
}

#ifdef TINTERY_PIXEL_ROWS_SSSE3

// Four pixels at a time: 16 bytes in, 12 bytes kept. Each step stores 16
// bytes, so the loop stops while at least 16 bytes of room remain and the
// portable loop finishes the row.
__attribute__((target("ssse3"))) void packSsse3(const std::uint8_t* in, std::uint8_t* out,
                                                std::int32_t width) {
  const __m128i pick = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  std::int32_t x = 0;
  for (; x + 6 <= width; x += 4, in += 16, out += 12) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(pixels, pick));
  }
  packPortable(in, out, width - x);
}

// Four pixels at a time: 12 bytes used of each 16-byte load, so the loop
// stops while at least 16 bytes remain to be read.
__attribute__((target("ssse3"))) void expandSsse3(const std::uint8_t* in, std::uint8_t* out,
                                                  std::int32_t width) {
  const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  std::int32_t x = 0;
  for (; x + 6 <= width; x += 4, in += 12, out += 16) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_or_si128(_mm_shuffle_epi8(pixels, spread), opaque));
  }
  expandPortable(in, out, width - x);
}

bool hasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

#endif

}  // namespace

void packBgraToBgr(const std::uint8_t* in, std::uint8_t* out, std::int32_t width) {
#ifdef TINTERY_PIXEL_ROWS_SSSE3
  if (hasSsse3()) return packSsse3(in, out, width);
#endif
  packPortable(in, out, width);
}

void expandBgrToBgra(const std::uint8_t* in, std::uint8_t* out, std::int32_t width) {
#ifdef TINTERY_PIXEL_ROWS_SSSE3
  if (hasSsse3()) return expandSsse3(in, out, width);
#endif
  expandPortable(in, out, width);
}

}  // namespace s::image::win
