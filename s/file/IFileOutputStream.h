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
  // Closes any open file, then opens a stream for a new file at `target`
  // that appears only when complete: the bytes go to a temporary file in
  // target's folder (unnamed where the system allows), and commit() gives
  // it target's name. A stream closed without commit, a failed write or a
  // process that dies leaves no file at `target`. False, leaving the stream
  // closed, when the folder does not take a new file.
  virtual bool openNew(const IPath& target) = 0;
  // Completes a stream opened with openNew: stores the pending bytes and
  // names the file, never replacing anything that exists at the target by
  // then. False (the bytes dropped, nothing left behind, the stream closed)
  // when a write failed, the name is taken or the file cannot be named.
  // Streams opened otherwise only close.
  virtual bool commit() = 0;
  // Stores the pending bytes and makes the current position the file's end.
  virtual bool setEnd() = 0;
  // Diagnostics: system write calls made since the file was opened.
  virtual std::uint64_t getSystemWriteCount() const = 0;
};

}  // namespace s::file
