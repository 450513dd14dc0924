#include "s/image/EncodedImage.h"

#include "s/file/IFileInputStream.h"
#include "s/file/IFileOutputStream.h"
#include "s/file/win/PathWin.h"
#include "s/thread/Pool.h"

namespace s::image {

using file::win::PathWin;

bool saveEncodedImage(IEncodedImage& image, file::IPath& path) {
  if (path.exists()) return false;
  auto stream = thread::own(path.openOutputStream(false));
  if (stream == nullptr || !stream->isOpen()) return false;
  const bool written = image.write(*stream);
  const bool closed = stream->close();
  path.refresh();
  return written && closed;
}

bool saveEncodedImage(IEncodedImage& image, std::u16string_view path) {
  auto target = thread::own(PathWin::obtain(path));
  return target != nullptr && saveEncodedImage(image, *target);
}

bool loadEncodedImage(IEncodedImage& image, file::IPath& path) {
  if (!path.exists() || !path.isFile()) return false;
  auto stream = thread::own(path.openInputStream());
  if (stream == nullptr || !stream->isOpen()) return false;
  const bool read = image.read(*stream);
  stream->close();
  return read;
}

bool loadEncodedImage(IEncodedImage& image, std::u16string_view path) {
  auto source = thread::own(PathWin::obtain(path));
  return source != nullptr && loadEncodedImage(image, *source);
}

}  // namespace s::image
