#pragma once

#include <cstdint>
#include <string_view>

#include "s/io/IOutputStream.h"

namespace s::file {

class IPath;

// An output stream that writes a file through a write buffer.
class IFileOutputStream : public io::IOutputStream {
 public:
  // Closes any open file, then opens or creates `path` for reading and
  // writing: emptied, or with `append` kept and positioned at its end. False,
  // leaving the stream closed, when the file cannot be opened. Missing
  // folders are not created here (the path object's openOutputStream does).
  virtual bool open(std::u16string_view path, bool append) = 0;
  virtual bool open(const IPath& path, bool append) = 0;
  // Stores the pending bytes and makes the current position the file's end.
  virtual bool setEnd() = 0;
  // Diagnostics: system write calls made since the file was opened.
  virtual std::uint64_t getSystemWriteCount() const = 0;
};

}  // namespace s::file
