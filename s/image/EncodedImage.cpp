#include "s/image/EncodedImage.h"

#include "s/file/IFileInputStream.h"
#include "s/file/IFileOutputStream.h"
#include "s/file/win/FileOutputStream.h"
#include "s/file/win/PathWin.h"
#include "s/thread/Pool.h"

namespace s::image {

using file::win::PathWin;

bool saveEncodedImage(IEncodedImage& image, file::IPath& path) {
  // The file appears complete or not at all, and never over another one.
  auto stream = thread::obtainOwned<file::win::FileOutputStream>();
  if (stream == nullptr || !path.createParentFolders() || !stream->openNew(path)) return false;
  const bool saved = image.write(*stream) ? stream->commit() : (stream->close(), false);
  path.refresh();
  return saved;
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
