#pragma once

// The fuzz targets: every reader and writer of file data driven by arbitrary
// bytes. Each entry takes the bytes and returns 0; it must not crash, leak or
// hang, and where the code promises an invariant (a written file reads back
// with the same pictures, say) a broken promise stops the process with
// __builtin_trap. The same functions serve the libFuzzer programs (one per
// target, see FuzzerMain.cpp) and the regression suite, which runs every
// file under tests/data/fuzz/<target name>/ through its target.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tintery::fuzz {

using Entry = int (*)(const std::uint8_t* data, std::size_t size);

// Format detection on the bytes, then the detected codec's read, decode and,
// for animations, coalesce.
int detectAndDecode(const std::uint8_t* data, std::size_t size);

// One format's codec read and the decoding of every picture, whatever the
// bytes look like.
int readBmp(const std::uint8_t* data, std::size_t size);
int readGif(const std::uint8_t* data, std::size_t size);
int readIco(const std::uint8_t* data, std::size_t size);
int readJpeg(const std::uint8_t* data, std::size_t size);
int readPng(const std::uint8_t* data, std::size_t size);

// The GIF LZW unit alone: the decoder on a raw code stream, and the coder and
// decoder together on raw indices (which must come back unchanged).
int gifLzw(const std::uint8_t* data, std::size_t size);

// Decode, encode with the format's own writer, decode again: the second
// decode must give as many pictures of the same sizes, and the same pixels
// where the writer keeps them.
int roundTripBmp(const std::uint8_t* data, std::size_t size);
int roundTripGif(const std::uint8_t* data, std::size_t size);
int roundTripIco(const std::uint8_t* data, std::size_t size);
int roundTripJpeg(const std::uint8_t* data, std::size_t size);
int roundTripPng(const std::uint8_t* data, std::size_t size);

// The XML model: parsing, every typed getter, and writing (whose output
// must parse back to the same text).
int parseXml(const std::uint8_t* data, std::size_t size);

// The settings store opening the bytes as its file, and reading every value.
int openSettings(const std::uint8_t* data, std::size_t size);

// A language pack loaded by the localizer, every language and text looked up.
int loadLangPack(const std::uint8_t* data, std::size_t size);

struct Target {
  // Also the name of the fuzzer program (fuzz_<name>) and of the folder of
  // its regression inputs.
  std::string_view name;
  Entry entry;
};

std::span<const Target> allTargets();

}  // namespace tintery::fuzz
