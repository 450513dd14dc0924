// The ICO reader: any bytes through the ICO codec, every picture decoded.

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"
#include "s/image/FormatDetection.h"

namespace tintery::fuzz {

int readIco(const std::uint8_t* data, std::size_t size) {
  return readAndDecode(s::image::kFormatIco, data, size);
}

}  // namespace tintery::fuzz
