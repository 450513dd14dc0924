// The BMP reader: any bytes through the BMP codec, every picture decoded.

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"
#include "s/image/FormatDetection.h"

namespace tintery::fuzz {

int readBmp(const std::uint8_t* data, std::size_t size) {
  return readAndDecode(s::image::kFormatBmp, data, size);
}

}  // namespace tintery::fuzz
