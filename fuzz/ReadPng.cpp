// The PNG reader: any bytes through the PNG codec, every picture decoded.

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"
#include "s/image/FormatDetection.h"

namespace tintery::fuzz {

int readPng(const std::uint8_t* data, std::size_t size) {
  return readAndDecode(s::image::kFormatPng, data, size);
}

}  // namespace tintery::fuzz
