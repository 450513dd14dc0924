// The PNG reader: any bytes through the PNG codec, every picture decoded;
// then the same bytes with every chunk's CRC made right (PngChunks.h).

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"
#include "fuzz/PngChunks.h"
#include "s/image/FormatDetection.h"

namespace tintery::fuzz {

int readPng(const std::uint8_t* data, std::size_t size) {
  readAndDecode(s::image::kFormatPng, data, size);
  const std::vector<std::uint8_t> fixed = withChunkCrcsFixed(data, size);
  if (!fixed.empty()) readAndDecode(s::image::kFormatPng, fixed.data(), fixed.size());
  return 0;
}

}  // namespace tintery::fuzz
