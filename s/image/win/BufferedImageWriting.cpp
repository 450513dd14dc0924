// Writing a BufferedImage in a file format: the codecs do the work, through
// the format's encode-setting record.

#include "s/image/EncodedImage.h"
#include "s/image/bmp/EncodeSetting.h"
#include "s/image/gif/EncodeSetting.h"
#include "s/image/jpg/EncodeSetting.h"
#include "s/image/png/EncodeSetting.h"
#include "s/image/win/BufferedImage.h"

namespace s::image::win {

bool BufferedImage::writeEncoded(io::IOutputStream& stream, IEncodeSetting& setting) {
  auto encoded = thread::own(setting.createFromImage(this));
  return encoded != nullptr && encoded->write(stream);
}

bool BufferedImage::writeEncoded(std::u16string_view path, IEncodeSetting& setting) {
  auto encoded = thread::own(setting.createFromImage(this));
  return encoded != nullptr && saveEncodedImage(*encoded, path);
}

bool BufferedImage::writeBmp(io::IOutputStream& stream, bmp::EncodeSetting& setting) {
  return writeEncoded(stream, setting);
}
bool BufferedImage::writeBmp(std::u16string_view path, bmp::EncodeSetting& setting) {
  return writeEncoded(path, setting);
}
bool BufferedImage::writeGif(io::IOutputStream& stream, gif::EncodeSetting& setting) {
  return writeEncoded(stream, setting);
}
bool BufferedImage::writeGif(std::u16string_view path, gif::EncodeSetting& setting) {
  return writeEncoded(path, setting);
}
bool BufferedImage::writeJpeg(io::IOutputStream& stream, jpg::EncodeSetting& setting) {
  return writeEncoded(stream, setting);
}
bool BufferedImage::writeJpeg(std::u16string_view path, jpg::EncodeSetting& setting) {
  return writeEncoded(path, setting);
}
bool BufferedImage::writePng(io::IOutputStream& stream, png::EncodeSetting& setting) {
  return writeEncoded(stream, setting);
}
bool BufferedImage::writePng(std::u16string_view path, png::EncodeSetting& setting) {
  return writeEncoded(path, setting);
}

}  // namespace s::image::win
