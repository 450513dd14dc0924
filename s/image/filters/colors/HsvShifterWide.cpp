// The colour-shift rule eight pixels at a time with AVX2, chosen at run time
// on processors that have it. Same results as the portable loop, bit for bit
// (the test suite compares both over the whole colour cube):
// - the divisions by the largest channel and by delta are done in single
//   precision: numerators stay below 2^24 and quotients below 301, so the
//   rounding error (under 2e-5) never reaches the next integer, which a
//   quotient with a denominator of at most 255 misses by at least 1/255;
// - x / 100 for x <= 25500 is (x * 41944) >> 22 and x / 60 for x <= 15045 is
//   (x * 34953) >> 21: both multipliers overshoot by less than the distance
//   to the next integer over those ranges.

#include "s/image/filters/colors/HsvShifter.h"

#if defined(__x86_64__) && defined(__GNUC__)

#include <immintrin.h>

namespace s::image::filters::colors {

namespace {

__attribute__((target("avx2"))) std::int32_t shiftAvx2(const HsvShifter::Tables& t,
                                                       const std::uint8_t* in, std::uint8_t* out,
                                                       std::int32_t count) {
  const __m256i byteMask = _mm256_set1_epi32(0xFF);
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i zero = _mm256_setzero_si256();
  const auto* value = reinterpret_cast<const int*>(t.value.data());
  const auto* saturation = reinterpret_cast<const int*>(t.saturation.data());
  const auto* hue = reinterpret_cast<const int*>(t.hue.data());
  const std::int32_t wide = count & ~7;
  for (std::int32_t i = 0; i < wide; i += 8) {
    const __m256i pixel = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i * 4));
    const __m256i b = _mm256_and_si256(pixel, byteMask);
    const __m256i g = _mm256_and_si256(_mm256_srli_epi32(pixel, 8), byteMask);
    const __m256i r = _mm256_and_si256(_mm256_srli_epi32(pixel, 16), byteMask);
    const __m256i alpha = _mm256_srli_epi32(pixel, 24);

    const __m256i max = _mm256_max_epi32(r, _mm256_max_epi32(g, b));
    const __m256i min = _mm256_min_epi32(r, _mm256_min_epi32(g, b));
    const __m256i delta = _mm256_sub_epi32(max, min);
    const __m256i v = _mm256_i32gather_epi32(value, max, 4);
    const __m256i rawS = _mm256_cvttps_epi32(
        _mm256_div_ps(_mm256_cvtepi32_ps(_mm256_mullo_epi32(delta, _mm256_set1_epi32(100))),
                      _mm256_cvtepi32_ps(_mm256_max_epi32(max, one))));
    const __m256i s = _mm256_i32gather_epi32(saturation, rawS, 4);

    // Hue numerator by the largest channel (see the portable loop).
    const __m256i redMax = _mm256_cmpeq_epi32(r, max);
    const __m256i greenMax = _mm256_andnot_si256(redMax, _mm256_cmpeq_epi32(g, max));
    const __m256i below = _mm256_and_si256(redMax, _mm256_cmpgt_epi32(b, g));
    const __m256i twoDelta = _mm256_add_epi32(delta, delta);
    const __m256i numeratorRed = _mm256_abs_epi32(_mm256_sub_epi32(g, b));
    const __m256i numeratorGreen = _mm256_sub_epi32(_mm256_add_epi32(b, twoDelta), r);
    const __m256i numeratorBlue =
        _mm256_sub_epi32(_mm256_add_epi32(r, _mm256_add_epi32(twoDelta, twoDelta)), g);
    const __m256i numerator = _mm256_blendv_epi8(
        _mm256_blendv_epi8(numeratorBlue, numeratorGreen, greenMax), numeratorRed, redMax);
    const __m256i quotient = _mm256_cvttps_epi32(
        _mm256_div_ps(_mm256_cvtepi32_ps(_mm256_mullo_epi32(numerator, _mm256_set1_epi32(60))),
                      _mm256_cvtepi32_ps(_mm256_max_epi32(delta, one))));
    const __m256i h =
        _mm256_blendv_epi8(quotient, _mm256_sub_epi32(_mm256_set1_epi32(360), quotient), below);
    const __m256i step = _mm256_i32gather_epi32(hue, h, 4);

    const __m256i m = _mm256_srli_epi32(
        _mm256_mullo_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(_mm256_set1_epi32(100), s), v),
                           _mm256_set1_epi32(41944)),
        22);
    const __m256i f = _mm256_srli_epi32(
        _mm256_mullo_epi32(
            _mm256_mullo_epi32(_mm256_and_si256(step, byteMask), _mm256_sub_epi32(v, m)),
            _mm256_set1_epi32(34953)),
        21);
    const __m256i choices =
        _mm256_or_si256(_mm256_or_si256(v, _mm256_slli_epi32(m, 8)),
                        _mm256_or_si256(_mm256_slli_epi32(_mm256_add_epi32(m, f), 16),
                                        _mm256_slli_epi32(_mm256_sub_epi32(v, f), 24)));
    const __m256i red = _mm256_and_si256(
        _mm256_srlv_epi32(choices, _mm256_and_si256(_mm256_srli_epi32(step, 8), byteMask)),
        byteMask);
    const __m256i green = _mm256_and_si256(
        _mm256_srlv_epi32(choices, _mm256_and_si256(_mm256_srli_epi32(step, 16), byteMask)),
        byteMask);
    const __m256i blue =
        _mm256_and_si256(_mm256_srlv_epi32(choices, _mm256_srli_epi32(step, 24)), byteMask);
    const __m256i colour = _mm256_or_si256(
        blue, _mm256_or_si256(_mm256_slli_epi32(green, 8), _mm256_slli_epi32(red, 16)));
    const __m256i grey = _mm256_mullo_epi32(v, _mm256_set1_epi32(0x010101));
    const __m256i shifted =
        _mm256_or_si256(_mm256_blendv_epi8(colour, grey, _mm256_cmpeq_epi32(s, zero)),
                        _mm256_slli_epi32(alpha, 24));
    const __m256i result = _mm256_blendv_epi8(shifted, pixel, _mm256_cmpeq_epi32(alpha, zero));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i * 4), result);
  }
  return wide;
}

}  // namespace

std::int32_t shiftPixelsWide(const HsvShifter::Tables& tables, const std::uint8_t* in,
                             std::uint8_t* out, std::int32_t count) {
  static const bool available = __builtin_cpu_supports("avx2");
  return available ? shiftAvx2(tables, in, out, count) : 0;
}

}  // namespace s::image::filters::colors

#else

namespace s::image::filters::colors {

std::int32_t shiftPixelsWide(const HsvShifter::Tables&, const std::uint8_t*, std::uint8_t*,
                             std::int32_t) {
  return 0;
}

}  // namespace s::image::filters::colors

#endif
