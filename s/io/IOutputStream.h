#pragma once

#include <cstddef>
#include <cstdint>

#include "s/base/IObject.h"
#include "s/io/Seeking.h"

namespace s::io {

// A sink of bytes written in order, with a 64-bit position that seeks can
// move. Failures are reported by false results, never thrown.
class IOutputStream : public base::IObject {
 public:
  // Takes `count` bytes; `written` (may be null) receives how many were
  // accepted. False when the stream is closed or the bytes could not be
  // stored. Writing 0 bytes to an open stream succeeds.
  virtual bool write(const void* bytes, std::size_t count, std::size_t* written) = 0;
  // Pushes every accepted byte to its destination and asks the system to
  // make it durable.
  virtual bool flush() = 0;

  // Seeks first store the accepted bytes, then move the position; false
  // (position unchanged) when the stream is closed, the target lies before
  // the start, or storing failed. Seeking to the current position does
  // nothing at all.
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
  // Bytes from the start of the destination; 0 when closed.
  virtual std::int64_t getPosition() const = 0;

  virtual bool isOpen() const = 0;
  // Stores what is pending and releases the destination. True when every
  // byte accepted since opening reached it.
  virtual bool close() = 0;
  // Hands the stream back to its class pool (closing it first).
  virtual void recycle() = 0;
};

}  // namespace s::io
