#pragma once

#include <cstddef>
#include <cstdint>

#include "s/base/IObject.h"
#include "s/io/Seeking.h"

namespace s::io {

// A source of bytes read in order, with a 64-bit position that seeks can
// move. Failures are reported by false results, never thrown: a closed
// stream, the end of the data and an error all read nothing and say false.
class IInputStream : public base::IObject {
 public:
  // At most one system read of up to `count` bytes into `buffer`. True exactly
  // when at least one byte arrived; `bytesRead` (may be null) receives the
  // count, 0 on every false result: at the end of the data, on an error, when
  // the stream is closed, or when `count` is 0. The position grows by the
  // count read.
  virtual bool read(void* buffer, std::size_t count, std::size_t* bytesRead) = 0;

  // Seeks move the position; false (position unchanged) when the stream is
  // closed or the target lies before the start. Moving beyond the end is
  // allowed; reads there report the end.
  virtual bool seekToStart() { return seekTo(0); }
  virtual bool seekToEnd() = 0;
  virtual bool seekTo(std::int64_t position) = 0;
  virtual bool seekForward(std::int64_t count) {
    std::int64_t target;
    return relativeSeekTarget(getPosition(), count, true, target) && seekTo(target);
  }
  virtual bool seekBackward(std::int64_t count) {
    std::int64_t target;
    return relativeSeekTarget(getPosition(), count, false, target) && seekTo(target);
  }
  // Bytes from the start of the data; 0 when closed.
  virtual std::int64_t getPosition() const = 0;

  virtual bool isOpen() const = 0;
  // Releases the source. True when nothing went wrong; closing a closed
  // stream is harmless.
  virtual bool close() = 0;
  // Hands the stream back to its class pool (closing it first).
  virtual void recycle() = 0;

  // Reads until `count` bytes have arrived or a read reports false (end of
  // data, error, closed stream). Returns the number of bytes read; decoders
  // that need whole records compare it with `count`.
  std::size_t readFully(void* buffer, std::size_t count) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::size_t total = 0;
    while (total < count) {
      std::size_t got = 0;
      if (!read(bytes + total, count - total, &got) || got == 0 || got > count - total) break;
      total += got;
    }
    return total;
  }
};

}  // namespace s::io
