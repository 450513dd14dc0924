#pragma once

#include <cstdint>
#include <string_view>

#include "s/image/IImage.h"

namespace s::io {
class IInputStream;
class IOutputStream;
}  // namespace s::io
namespace s::file {
class IPath;
}

namespace s::image {

class IBufferedImage;
class IBufferedImageSet;
namespace win {
class BufferedImage;
class BufferedImageSet;
}  // namespace win

// A picture in a file format: reads and writes the format, decodes into
// buffers, and builds a new encoded picture of its own format from buffers.
class IEncodedImage : public IImage {
 public:
  // ".bmp", ".jpg", ".gif", ".png" or ".ico".
  virtual const char16_t* getExtension() const = 0;
  // One picture; into target when given (resized as needed), else into a
  // new pooled buffer. Null when there is nothing to decode.
  virtual win::BufferedImage* decodeImage(std::int32_t index, IBufferedImage* target) = 0;
  // Every picture as a new set the caller owns (empty when nothing decodes).
  virtual win::BufferedImageSet* decode(std::int32_t index) = 0;
  // Writes the file format; false when the stream did not take every byte.
  virtual bool write(io::IOutputStream& stream) = 0;
  // Reads the file format, replacing the content. False when nothing usable
  // was found; a damaged file may still decode partly (true with a problem
  // noted, see getProblem).
  virtual bool read(io::IInputStream& stream) = 0;
  virtual bool isMultiImage() const = 0;
  virtual std::int32_t getImageCount() const = 0;
  // Never replaces an existing file: false when one is there or when the
  // file cannot be written completely.
  virtual bool saveToFile(std::u16string_view path) = 0;
  virtual bool saveToFile(file::IPath& path) = 0;
  // Reads the file when the path names an existing file; false otherwise or
  // when read() fails.
  virtual bool loadFromFile(std::u16string_view path) = 0;
  virtual bool loadFromFile(file::IPath& path) = 0;
  // A new encoded picture of this format holding the pictures of set (or the
  // one image), with settings taken from this object. The caller recycles it;
  // null when it cannot be made.
  virtual IEncodedImage* encodeSetLike(IBufferedImageSet* set) = 0;
  virtual IEncodedImage* encodeLike(IBufferedImage* image) = 0;
  virtual bool find(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                    std::int32_t& index) = 0;
  virtual bool findNearestDepth(std::int32_t width, std::int32_t height,
                                std::int32_t bitsPerPixel, std::int32_t& index) = 0;
  virtual bool findNearestSize(std::int32_t width, std::int32_t height,
                               std::int32_t bitsPerPixel, std::int32_t& index) = 0;

  // What was wrong with the last file read, in a few words for the person
  // who gave it ("truncated pixel data", "unsupported compression"); empty
  // when the read went well.
  virtual std::string_view getProblem() const = 0;
  virtual void recycle() = 0;
};

}  // namespace s::image
