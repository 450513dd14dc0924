// The JPEG reader: any bytes through the JPEG codec, every picture decoded.

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"
#include "s/image/FormatDetection.h"

namespace tintery::fuzz {

int readJpeg(const std::uint8_t* data, std::size_t size) {
  return readAndDecode(s::image::kFormatJpg, data, size);
}

}  // namespace tintery::fuzz
