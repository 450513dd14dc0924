#pragma once

// What the image targets share: reading a codec from bytes, decoding every
// picture, and checks that stop the process when a promise is broken.

#include <cstddef>
#include <cstdint>

#include "s/image/IEncodedImage.h"
#include "s/thread/Pool.h"

namespace tintery::fuzz {

// Stops the process: a promise of the code under test does not hold. A trap
// rather than abort() so that libFuzzer and the sanitizers report the
// input that caused it.
inline void require(bool condition) {
  if (!condition) __builtin_trap();
}

// Decoding converts every pixel, which under the sanitizers takes seconds
// for the largest legal pictures; a fuzzer that met such inputs often would
// hardly get anywhere. While fuzzing, files whose decoded pictures would
// hold more than the budget are read but not decoded (the fuzzer programs
// set it, see FuzzerMain.cpp; TINTERY_FUZZ_DECODE_BUDGET overrides it, 0
// for none). The regression suite has no budget.
constexpr std::int64_t kFuzzingDecodeBudget = std::int64_t{1} << 20;
void setDecodeBudget(std::int64_t pixels);  // 0: no budget
std::int64_t decodeBudget();

// The pixels of the set that codec.decode(0) gives, from what read()
// found: the screen once per frame for GIF, every entry for ICO, the one
// picture otherwise. `square` counts each picture as a square of its
// longer side (the ICO writer's entries).
std::int64_t decodedPixels(s::image::IEncodedImage& codec, bool square = false);
// Whether the codec's pictures fit the decode budget.
bool withinDecodeBudget(s::image::IEncodedImage& codec);

// A codec of `format` (one of the names of FormatDetection.h) after read()
// over the bytes; `readOk` receives read()'s result. Null only when no codec
// object could be made.
s::thread::Owned<s::image::IEncodedImage> readCodec(const char16_t* format,
                                                    const std::uint8_t* data, std::size_t size,
                                                    bool& readOk);

// Decodes everything the codec holds the ways the program does: the whole
// set, and each picture into one reused buffer. After a successful read the set holds one picture
// per picture of the codec; every picture is within the size limits.
void decodeEveryPicture(s::image::IEncodedImage& codec, bool readOk);

// The reader target of one format: read, then decodeEveryPicture within
// the decode budget.
int readAndDecode(const char16_t* format, const std::uint8_t* data, std::size_t size);

}  // namespace tintery::fuzz
