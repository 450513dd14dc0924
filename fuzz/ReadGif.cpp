// The GIF reader: any bytes through the GIF codec, every picture decoded.

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"
#include "s/image/FormatDetection.h"

namespace tintery::fuzz {

int readGif(const std::uint8_t* data, std::size_t size) {
  return readAndDecode(s::image::kFormatGif, data, size);
}

}  // namespace tintery::fuzz
