#include "s/image/png/win/PngStreams.h"

#include <cstring>

#include "s/io/IInputStream.h"
#include "s/io/IOutputStream.h"

namespace s::image::png::win {

namespace {

void noteSizeLimit(png_structp png, png_const_charp message) {
  auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
  // The library's own words for a size refused by png_set_user_limits.
  if (failure != nullptr && message != nullptr && std::strstr(message, "user limit") != nullptr) {
    failure->tooLarge = true;
  }
}

}  // namespace

void returnToCodec(png_structp png, png_const_charp message) {
  noteSizeLimit(png, message);
  png_longjmp(png, 1);
}

void noteWarning(png_structp png, png_const_charp message) {
  noteSizeLimit(png, message);
}

void readFromStream(png_structp png, png_bytep data, size_t length) {
  auto* stream = static_cast<io::IInputStream*>(png_get_io_ptr(png));
  // The library never gets a partly filled buffer: a short read ends the
  // work here instead of leaving stale bytes for it to decode.
  if (stream->readFully(data, length) != length) png_error(png, "unexpected end of file");
}

void writeToStream(png_structp png, png_bytep data, size_t length) {
  auto* stream = static_cast<io::IOutputStream*>(png_get_io_ptr(png));
  while (length > 0) {
    std::size_t taken = 0;
    if (!stream->write(data, length, &taken) || taken == 0 || taken > length) {
      png_error(png, "write failed");
    }
    data += taken;
    length -= taken;
  }
}

void flushStream(png_structp png) {
  static_cast<io::IOutputStream*>(png_get_io_ptr(png))->flush();
}

}  // namespace s::image::png::win
