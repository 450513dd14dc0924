#pragma once

#include <string_view>

#include "s/io/IInputStream.h"

namespace s::file {

class IPath;

// An input stream that reads an existing regular file.
class IFileInputStream : public io::IInputStream {
 public:
  // Closes any open file, then opens `path` for reading. False, leaving the
  // stream closed, when the file does not exist, cannot be read or is not a
  // regular file. The text is handed to the system as it is (UTF-8).
  virtual bool open(std::u16string_view path) = 0;
  virtual bool open(const IPath& path) = 0;
};

}  // namespace s::file
